#pragma once

// What the Access reader program (tools/mdbreader.cpp) writes to its standard output
// and how the program reads it back. Access files are read by libmdb in that separate
// process, since a damaged file can make libmdb take all memory or run for ever; its
// output is therefore untrusted: the decoder checks every length and reads nothing
// past the end of what it was given.
//
// The stream is a sequence of frames, each a kind byte, a payload length (4 bytes,
// little-endian) and the payload:
//   'T'  a user table's name (UTF-8), in catalogue order
//   'C'  a column: a flags byte (AccessStreamColumn), then its name (UTF-8)
//   'R'  a row: for each column a length (4 bytes) and that many bytes of UTF-8 text,
//        or the length 0xFFFFFFFF for NULL
//   'E'  the reader's refusal: one AccessStreamError byte
//   'Z'  the end (empty): a stream without it was cut short
// No Qt here: the reader program links libmdb and this alone.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class AccessStreamKind : char
{
    Table = 'T',
    Column = 'C',
    Row = 'R',
    Error = 'E',
    End = 'Z',
};

enum class AccessStreamError : std::uint8_t
{
    NotAccess = 1, // libmdb does not take the file for an Access database
    Password = 2, // an Access 97 file whose password is not the one given
    Catalog = 3, // the catalogue cannot be read (an encrypted file)
    NoTable = 4, // the table asked for is not in the catalogue
    Table = 5, // the table's definition cannot be read
    Usage = 6, // the reader was started wrongly
};

// Column flag bits.
enum : std::uint8_t
{
    kAccessColumnNumeric = 1, // stored as a number (staged with NUMERIC affinity)
};

struct AccessStreamColumn
{
    std::uint8_t flags = 0;
    std::string_view name;
};

// The longest frame either side accepts: a row of 255 columns of 64 KB each fits.
constexpr std::uint32_t kAccessStreamLongestFrame = 32u * 1024 * 1024;
constexpr std::uint32_t kAccessStreamNull = 0xFFFFFFFFu;

void AppendAccessFrame(std::string& out, AccessStreamKind kind, std::string_view payload);
void AppendAccessColumn(std::string& out, const AccessStreamColumn& column);
// A row's payload: one cell per column, nullopt for NULL.
void AppendAccessCell(std::string& rowPayload, std::optional<std::string_view> cell);

// Reads frames from bytes given a piece at a time, as they come through a pipe.
class AccessStreamDecoder
{
public:
    struct Frame
    {
        AccessStreamKind kind {};
        std::string_view payload; // valid until the next Feed or Next
    };
    enum class Status
    {
        Frame, // frame is filled
        NeedMore, // the bytes so far end inside a frame (or at its start)
        Bad, // a kind or length no reader writes: the stream is damaged
    };

    void Feed(const char* data, std::size_t size);
    Status Next(Frame& frame);
    // Bytes fed and not yet taken as frames.
    std::size_t Pending() const { return m_buffer.size() - m_read; }

private:
    std::string m_buffer;
    std::size_t m_read = 0;
};

bool DecodeAccessColumn(std::string_view payload, AccessStreamColumn& column);
// The cells of a row payload, exactly `columns` of them; false when the payload holds
// more, fewer or a length past its end.
bool DecodeAccessRow(
    std::string_view payload, std::size_t columns, std::vector<std::optional<std::string_view>>& cells);
