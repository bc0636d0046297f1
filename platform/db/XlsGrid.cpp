#include "platform/db/XlsGrid.h"

#include <QHash>
#include <QIODevice>
#include <QString>

#include <algorithm>
#include <cstring>
#include <vector>

// Each step below follows a function of FreeXL 1.0's freexl.c, named where it is taken.

namespace {

constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr int kEntryBytes = 128; // one directory entry

// BIFF5 and BIFF8 records that decide what FreeXL sets aside.
constexpr quint16 kBof = 0x0809;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kBoundSheet = 0x0085;
constexpr quint16 kFormat = 0x041E;
constexpr quint16 kDimensions = 0x0200;
constexpr quint16 kNumber = 0x0203;
constexpr quint16 kLabel = 0x0204;
constexpr quint16 kBoolErr = 0x0205;
constexpr quint16 kRk = 0x027E;
constexpr quint16 kMulRk = 0x00BD;
constexpr quint16 kLabelSst = 0x00FD;
constexpr quint16 kSst = 0x00FC;

// FreeXL's record buffer, which keeps what longer records before left past a shorter one.
constexpr int kRecordBuffer = 8224;

// FreeXL refuses to set aside more than 256 MB for one range, in cells of 16 bytes.
constexpr qint64 kMostCellsOfOneRange = (qint64(256) << 20) / 16;

quint16 U16(const uchar* p)
{
    return static_cast<quint16>(p[0] | (p[1] << 8));
}

quint32 U32(const uchar* p)
{
    return U16(p) | (quint32(U16(p + 2)) << 16);
}

// The compound file a .xls workbook is, with FreeXL's tables (read_cfbf_header): sectors
// chained by an allocation table, and a directory naming the workbook stream.
class CompoundFile
{
public:
    struct Entry
    {
        quint32 start = kFreeSector;
        quint32 size = 0;
    };

    explicit CompoundFile(QIODevice& file) : m_file(file) {}

    int SectorSize() const { return m_sectorSize; }
    qint64 FileSize() const { return m_file.size(); }
    // FreeXL knows the cutoff only when the file has a mini table; streams up to it (not
    // below it) are read from the mini stream.
    quint32 MiniCutoff() const { return m_miniCutoff; }

    bool Open()
    {
        uchar header[512];
        if (!m_file.seek(0) || m_file.read(reinterpret_cast<char*>(header), sizeof header) != qint64(sizeof header)
            || std::memcmp(header, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0)
            return false;
        const int shift = U16(header + 0x1E);
        if ((shift != 9 && shift != 12) || U16(header + 0x20) != 6)
            return false;
        m_sectorSize = 1 << shift;
        m_sectors = m_file.size() / m_sectorSize + 1;
        m_scratch.resize(static_cast<size_t>(m_sectorSize));
        // Every table sector the header lists, not only as many as it counts.
        for (int i = 0; i < 109; ++i) {
            const quint32 sector = U32(header + 0x4C + 4 * i);
            if (sector != kFreeSector && !AddTableSector(sector))
                return false;
        }
        if (!ReadListBlocks(U32(header + 0x44), U32(header + 0x48)))
            return false;
        m_directory = U32(header + 0x30);
        m_miniCutoff = U32(header + 0x40) > 0 ? U32(header + 0x38) : 0;
        return !m_fat.empty();
    }

    // A sector where FreeXL reads it, whose offset it figures in 32 bits; false where
    // the file holds no whole sector.
    bool ReadSector(quint32 sector, uchar* into) const
    {
        const qint64 at = SectorOffset(sector);
        return at + m_sectorSize <= m_file.size() && m_file.seek(at)
            && m_file.read(reinterpret_cast<char*>(into), m_sectorSize) == m_sectorSize;
    }

    bool HasSector(quint32 sector) const { return SectorOffset(sector) + m_sectorSize <= m_file.size(); }

    // The sector after `sector` in its chain; false where the table has no entry for it.
    bool Next(quint32 sector, quint32& next) const
    {
        if (sector >= m_fat.size())
            return false;
        next = m_fat[sector];
        return true;
    }

    // The workbook stream, which FreeXL looks for in the directory's first sector only
    // (get_workbook_stream), and the root entry named before it, whose stream is the mini
    // stream. False when there is none, or when FreeXL fails on a name or reads past it.
    bool FindWorkbook(Entry& workbook, Entry& root, bool& haveRoot) const
    {
        std::vector<uchar> directory(static_cast<size_t>(m_sectorSize));
        if (!ReadSector(m_directory, directory.data()))
            return false;
        const int entries = m_sectorSize / kEntryBytes;
        for (int i = 0; i < entries; ++i) {
            const uchar* entry = directory.data() + static_cast<size_t>(i) * kEntryBytes;
            // FreeXL converts this many bytes from the name's place: an odd count fails,
            // and more than the name's 64 bytes reads on past them.
            const int nameBytes = U16(entry + 0x40);
            if (nameBytes % 2 != 0 || nameBytes > 64)
                return false;
            // Compared up to its first NUL.
            QString name;
            for (int c = 0; c < nameBytes / 2 && U16(entry + 2 * c) != 0; ++c)
                name.append(QChar(U16(entry + 2 * c)));
            // Of the size, FreeXL takes the low half only.
            const Entry here {U32(entry + 0x74), U32(entry + 0x78)};
            if (name == u"Root Entry") {
                root = here;
                haveRoot = true;
            } else if ((name == u"Workbook" || name == u"Book") && here.start != kFreeSector) {
                workbook = here;
                return true;
            }
        }
        return false;
    }

private:
    qint64 SectorOffset(quint32 sector) const { return quint32((sector + 1) * quint32(m_sectorSize)); }

    bool AddTableSector(quint32 sector)
    {
        if (!ReadSector(sector, m_scratch.data()))
            return false;
        for (int i = 0; i < m_sectorSize / 4; ++i)
            m_fat.push_back(U32(m_scratch.data() + 4 * i));
        return true;
    }

    // The header's list of table sectors goes on in blocks of sector numbers, each ending
    // in the next block's (read_difat_sectors). FreeXL reads as many blocks as the header
    // counts, unless an end-of-chain mark ends the list sooner, and keeps the table read so
    // far where a sector cannot be read. A file holds no more blocks, nor table sectors,
    // than its size needs: a list longer than that loops.
    bool ReadListBlocks(quint32 next, quint32 blocks)
    {
        if (blocks == 0)
            return true;
        if (blocks > m_sectors)
            return false;
        const int perSector = m_sectorSize / 4;
        const qint64 mostListed = m_sectors / perSector + 2;
        std::vector<uchar> block(static_cast<size_t>(m_sectorSize));
        qint64 listed = 0;
        quint32 read = 0;
        bool end = false;
        while (!end && read < blocks) {
            if (!ReadSector(next, block.data()))
                return true;
            ++read;
            for (int i = 0; i < perSector && !end; ++i) {
                const quint32 value = U32(block.data() + 4 * i);
                if (value == kEndOfChain) {
                    end = true;
                } else if (i == perSector - 1) {
                    next = value;
                } else if (value != kFreeSector) {
                    if (++listed > mostListed)
                        return false;
                    if (!AddTableSector(value))
                        return true;
                }
            }
        }
        return read == blocks;
    }

    QIODevice& m_file;
    int m_sectorSize = 512;
    qint64 m_sectors = 0; // in the file, counting a part of one
    quint32 m_directory = kEndOfChain;
    quint32 m_miniCutoff = 0;
    std::vector<quint32> m_fat;
    std::vector<uchar> m_scratch;
};

// How reading a record ends: with the record in the buffer, at the end FreeXL stops at
// (its first pass then completes), or where FreeXL fails on the file's streams or would
// read on past what it holds of them.
enum class Step { Record, End, Broken };

// FreeXL's read of a workbook stream kept in regular sectors (read_biff_next_record,
// read_cfbf_next_sector): two sectors at a time in one buffer, each record's bytes copied
// out of it, a record that runs on completed from the next sector of the chain.
class SectorRecords
{
public:
    SectorRecords(const CompoundFile& file, quint32 start, quint32 size)
        : m_file(file), m_sector(start), m_size(size), m_half(file.SectorSize()),
          m_buffer(static_cast<size_t>(2 * file.SectorSize()))
    {
    }

    Step Next(quint16& type, quint16& length, uchar* record)
    {
        if (m_read == 0) {
            if (!m_file.ReadSector(m_sector, m_buffer.data()))
                return Step::Broken;
            m_read = m_half;
            m_end = std::min<qint64>(m_half, m_size);
        }
        if (m_at + 4 > m_end) {
            const Step step = NextSector();
            if (step != Step::Record)
                return step;
        }
        if (m_at + 4 > qint64(m_buffer.size()))
            return Step::Broken;
        type = U16(m_buffer.data() + m_at);
        length = U16(m_buffer.data() + m_at + 2);
        m_at += 4;
        if ((type == 0 && length == 0) || length > kRecordBuffer)
            return Step::End;
        if (m_at + length <= m_end)
            return Copy(record, 0, length) ? Step::Record : Step::Broken;
        if (m_end < m_at)
            return Step::End;
        // The rest of this sector, then whole sectors, then as much of the last as the
        // record still needs: read whole, it may reach past the stream's size.
        qint64 done = m_end - m_at;
        if (!Copy(record, 0, done))
            return Step::Broken;
        while (done < length) {
            const Step step = NextSector();
            if (step != Step::Record)
                return step;
            const qint64 chunk = std::min<qint64>(length - done, m_half);
            if (!Copy(record, done, chunk))
                return Step::Broken;
            done += chunk;
        }
        return Step::Record;
    }

private:
    Step NextSector()
    {
        quint32 next = 0;
        if (!m_file.Next(m_sector, next))
            return Step::Broken;
        if (next == kEndOfChain)
            return Step::End;
        // A chain that goes on past the stream's size: FreeXL's count of the bytes it holds
        // turns over, and it reads on outside its buffer.
        if (m_read >= m_size)
            return Step::Broken;
        m_sector = next;
        if (m_end > m_half) {
            if (m_at < m_half)
                return Step::Broken;
            std::memcpy(m_buffer.data(), m_buffer.data() + m_half, static_cast<size_t>(m_half));
            m_at -= m_half;
        }
        if (!m_file.ReadSector(m_sector, m_buffer.data() + m_half))
            return Step::Broken;
        m_read += m_half;
        m_end = m_read > m_size ? 2 * m_half - (m_read - m_size) : 2 * m_half;
        return Step::Record;
    }

    // The next `bytes` of the buffer into the record from `offset` on.
    bool Copy(uchar* record, qint64 offset, qint64 bytes)
    {
        if (m_at + bytes > qint64(m_buffer.size()))
            return false;
        std::memcpy(record + offset, m_buffer.data() + m_at, static_cast<size_t>(bytes));
        m_at += bytes;
        return true;
    }

    const CompoundFile& m_file;
    quint32 m_sector;
    qint64 m_size;
    qint64 m_half; // one sector
    std::vector<uchar> m_buffer;
    qint64 m_read = 0; // bytes of the stream's sectors read so far
    qint64 m_end = 0;  // where the buffer's bytes of the stream end
    qint64 m_at = 0;
};

// FreeXL's read of a workbook stream up to the cutoff (read_mini_stream,
// read_mini_biff_next_record): it copies the root's stream, the mini stream, into memory
// whole, and reads the workbook from the start of it, whichever mini sectors the
// workbook's entry names.
class MiniRecords
{
public:
    MiniRecords(const CompoundFile& file, quint32 size) : m_file(file), m_size(size), m_sector(static_cast<size_t>(file.SectorSize())) {}

    // The chain of the mini stream must end just where the root's size does. FreeXL sets
    // aside the root's size before it reads the chain, so a size past the file's is refused.
    bool Open(const CompoundFile::Entry& root)
    {
        if (root.size == 0 || root.size > m_file.FileSize() || m_size > root.size)
            return false;
        qint64 held = 0;
        for (quint32 sector = root.start;;) {
            quint32 next = 0;
            if (!m_file.HasSector(sector) || !m_file.Next(sector, next))
                return false;
            m_chain.push_back(sector);
            held += m_file.SectorSize();
            if (next == kEndOfChain)
                return held >= root.size;
            if (held >= root.size)
                return false;
            sector = next;
        }
    }

    Step Next(quint16& type, quint16& length, uchar* record)
    {
        uchar head[4];
        if (m_at + 4 > m_size)
            return Step::End;
        if (!Read(head, 4))
            return Step::Broken;
        type = U16(head);
        length = U16(head + 2);
        if (length >= 8192 || m_at + length > m_size)
            return Step::Broken;
        return Read(record, length) ? Step::Record : Step::Broken;
    }

private:
    bool Read(uchar* into, qint64 bytes)
    {
        const int sectorSize = m_file.SectorSize();
        while (bytes > 0) {
            const qint64 index = m_at / sectorSize;
            const qint64 within = m_at % sectorSize;
            if (index != m_loaded) {
                if (index >= qint64(m_chain.size()) || !m_file.ReadSector(m_chain[static_cast<size_t>(index)], m_sector.data()))
                    return false;
                m_loaded = index;
            }
            const qint64 take = std::min<qint64>(bytes, sectorSize - within);
            std::memcpy(into, m_sector.data() + within, static_cast<size_t>(take));
            into += take;
            bytes -= take;
            m_at += take;
        }
        return true;
    }

    const CompoundFile& m_file;
    qint64 m_size;
    std::vector<quint32> m_chain;
    std::vector<uchar> m_sector;
    qint64 m_loaded = -1;
    qint64 m_at = 0;
};

// FreeXL's walk over the shared strings (parse_SST), which reads the SST record and each
// CONTINUE after it (and any later SST) as it comes, string by string: a string's count of
// characters and its options, then its characters, then as many bytes as its formatting
// runs and phonetic data take. It reads a count or the options wherever the sizes before
// lead it, even past the record, and copies the rest of a string of two-byte characters
// split at a record's end without looking at the next record's length: up to 128 KB from
// the memory after its buffer.
class SharedStrings
{
public:
    // Read on; FreeXL stops with an error; it reads past the record.
    enum class Walk { Read, Stop, Damaged };

    Walk Record(const uchar* record, qint64 size)
    {
        // 64 bits: the skips move FreeXL's pointer up to 4 GB on, past the record.
        qint64 at = 0;
        if (!m_started) {
            if (size < 8)
                return Walk::Damaged;
            m_count = U32(record + 4);
            if (m_count > 1024 * 1024)
                return Walk::Stop;
            m_started = true;
            at = 8;
        } else if (m_pending > 0) {
            // The rest of a split string, with options of its own for the width.
            if (size < 1)
                return Walk::Damaged;
            const bool wide = record[0] & 0x01;
            at = 1 + qint64(m_pending - m_pendingDone) * (wide ? 2 : 1);
            // One-byte characters are copied one by one, each checked against the record.
            if (at > size)
                return wide ? Walk::Damaged : Walk::Stop;
            at += m_skip;
            // What reaches past this record is kept where the next string never looks.
            m_skip = at >= size ? quint32(at - size) : 0;
            m_carry = 0;
            m_pending = 0;
            m_pendingDone = 0;
            ++m_index;
        }
        for (; m_index < m_count; ++m_index) {
            if (quint32(at) >= size)
                return Walk::Read;
            at += m_carry;
            if (at + 3 > size)
                return Walk::Damaged;
            const quint32 characters = U16(record + at);
            const uchar options = record[at + 2];
            at += 3;
            const int fields = ((options & 0x08) ? 2 : 0) + ((options & 0x04) ? 4 : 0);
            if (at + fields > size)
                return Walk::Damaged;
            const quint32 runs = (options & 0x08) ? U16(record + at) : 0;
            const quint32 phonetic = (options & 0x04) ? U32(record + at + fields - 4) : 0;
            at += fields;
            m_skip = phonetic + runs * 4; // turns over in 32 bits, as FreeXL's sum does
            m_carry = 0;
            const bool wide = options & 0x01;
            const qint64 bytes = qint64(characters) * (wide ? 2 : 1);
            if (bytes > size - at) {
                m_pending = characters;
                m_pendingDone = quint32(wide ? (size - at) / 2 : size - at);
                return Walk::Read;
            }
            if (characters == 0)
                return Walk::Stop;
            at += bytes + m_skip;
            m_carry = at >= size ? quint32(at - size) : 0;
            m_skip = 0;
        }
        return Walk::Read;
    }

private:
    bool m_started = false;
    quint32 m_count = 0;
    quint32 m_index = 0;
    quint32 m_pending = 0;     // characters of the string split at the last record's end
    quint32 m_pendingDone = 0; // of them, those that record held
    quint32 m_skip = 0;        // the string's runs and phonetic data, after its characters
    quint32 m_carry = 0;       // what the last string's skip reached past its record
};

// FreeXL's first pass over the records (parse_biff_record), as far as it sets ranges
// aside: the sheets the workbook lists, the one each BOF opens, the range of each of its
// DIMENSIONS records (each is set aside, however many a sheet has), and the cells that
// make up a range for a sheet that declares none. A record is read into one buffer,
// over as much of it as the record holds, and its fields are taken where they lie in
// BIFF5 or BIFF8: a short record's are what the records before it left there.
class FirstPass
{
public:
    uchar* RecordBuffer() { return m_record; }
    qint64 Cells() const { return m_cells; }
    qint64 Sheets() const { return qint64(m_sheets.size()); }
    // A sheet's name, a number format, a cell's text or a shared string reaches past its
    // record: FreeXL would copy out what lies after its record buffer, up to 128 KB a
    // record, and keep the cell's.
    bool IsDamaged() const { return m_damaged; }

    // False where FreeXL stops with an error, or the record is damaged.
    bool Read(quint16 type, quint16 length)
    {
        const quint32 at = m_offset;
        m_offset += quint32(length) + 4;
        if (type == kContinue)
            return m_previous == kSst ? ReadStrings(length) : true;
        m_previous = type;
        if (m_expect != Expect::Nothing) {
            if (type != kBof)
                return false;
            if (m_expect == Expect::Workbook) {
                const quint16 version = U16(m_record);
                if (version != 0x0500 && version != 0x0600)
                    return false;
                m_biff8 = version == 0x0600;
            } else {
                const auto sheet = m_sheetAt.constFind(at);
                m_active = sheet == m_sheetAt.cend() ? -1 : *sheet;
            }
            m_expect = Expect::Nothing;
            return true;
        }
        switch (type) {
        case kEof:
            m_expect = Expect::Sheet;
            break;
        case kSst:
            return ReadStrings(length);
        case kBoundSheet:
            if (m_record[6] == 0) // a name of no characters
                return false;
            if ((m_biff8 ? 8 + m_record[6] * (m_record[7] == 0 ? 1 : 2) : 7 + m_record[6]) > length)
                return Damaged();
            if (!m_sheetAt.contains(U32(m_record)))
                m_sheetAt.insert(U32(m_record), static_cast<int>(m_sheets.size()));
            m_sheets.push_back({});
            break;
        case kDimensions:
            if (m_active >= 0) {
                Sheet& sheet = m_sheets[static_cast<size_t>(m_active)];
                sheet.rows = m_biff8 ? U32(m_record + 4) : U16(m_record + 2);
                sheet.columns = U16(m_record + (m_biff8 ? 10 : 6));
                if (!SetAside(sheet))
                    return false;
                sheet.declared = true;
            }
            break;
        case kFormat:
            if (m_biff8 && TextEnd(2) > length)
                return Damaged();
            break;
        case kLabel:
            if ((m_biff8 ? TextEnd(6) : 8 + U16(m_record + 6)) > length)
                return Damaged();
            [[fallthrough]];
        case kLabelSst:
        case kNumber:
        case kBoolErr:
        case kRk:
        case kMulRk:
            if (m_active >= 0 && (type != kLabelSst || m_biff8)) {
                Sheet& sheet = m_sheets[static_cast<size_t>(m_active)];
                if (!sheet.declared) {
                    sheet.rows = std::max<quint32>(sheet.rows, U16(m_record));
                    sheet.columns = std::max(sheet.columns, U16(m_record + 2));
                }
            }
            break;
        default: break;
        }
        return true;
    }

    // After the records, FreeXL makes up the range of each sheet that declared none from
    // the last cell its records named (common_open), but sets it aside for the sheet
    // opened last, as large as that one's range is by then.
    void End()
    {
        for (Sheet& sheet : m_sheets) {
            if (sheet.declared)
                continue;
            ++sheet.rows;
            ++sheet.columns;
            if (m_active < 0 || !SetAside(m_sheets[static_cast<size_t>(m_active)]))
                return;
            sheet.declared = true;
        }
    }

private:
    // Where a BIFF8 text whose count of characters lies at `count` ends: its characters,
    // one byte or two each, after the options that flag and size them.
    int TextEnd(int count) const
    {
        const int characters = U16(m_record + count);
        const uchar options = m_record[count + 2];
        return count + 3 + ((options & 0x08) ? 2 : 0) + ((options & 0x04) ? 4 : 0)
            + characters * ((options & 0x01) ? 2 : 1);
    }

    bool Damaged()
    {
        m_damaged = true;
        return false;
    }

    bool ReadStrings(quint16 length)
    {
        switch (m_strings.Record(m_record, length)) {
        case SharedStrings::Walk::Read: return true;
        case SharedStrings::Walk::Stop: return false;
        case SharedStrings::Walk::Damaged: return Damaged();
        }
        return false;
    }

    struct Sheet
    {
        quint32 rows = 0;
        quint16 columns = 0;
        bool declared = false;
    };
    enum class Expect { Workbook, Sheet, Nothing };

    // False where FreeXL refuses the range and stops.
    bool SetAside(const Sheet& sheet)
    {
        // Past any total that is refused, so that adding more never overflows.
        constexpr qint64 kPlenty = qint64(1) << 56;
        const qint64 cells = qint64(sheet.rows) * sheet.columns;
        m_cells = std::min(kPlenty, m_cells + cells);
        return cells <= kMostCellsOfOneRange;
    }

    uchar m_record[kRecordBuffer] = {};
    quint32 m_offset = 0; // of the next record in the stream
    quint16 m_previous = 0; // the type of the last record but a CONTINUE
    SharedStrings m_strings;
    Expect m_expect = Expect::Workbook;
    bool m_biff8 = false;
    std::vector<Sheet> m_sheets;
    QHash<quint32, int> m_sheetAt; // the first sheet listed at each offset
    int m_active = -1;
    qint64 m_cells = 0;
    bool m_damaged = false;
};

template <typename Records>
qint64 ReadRecords(Records& records, qint64* sheets)
{
    FirstPass pass;
    const auto done = [&](qint64 cells) {
        if (sheets)
            *sheets = pass.Sheets();
        return cells;
    };
    for (;;) {
        quint16 type = 0;
        quint16 length = 0;
        switch (records.Next(type, length, pass.RecordBuffer())) {
        case Step::Broken: return done(-1);
        case Step::End: pass.End(); return done(pass.Cells());
        case Step::Record:
            if (!pass.Read(type, length))
                return done(pass.IsDamaged() ? -1 : pass.Cells());
            break;
        }
    }
}

} // namespace

qint64 XlsDeclaredCells(QIODevice& file, qint64* sheets)
{
    if (sheets)
        *sheets = 0;
    CompoundFile compound(file);
    CompoundFile::Entry workbook;
    CompoundFile::Entry root;
    bool haveRoot = false;
    if (!compound.Open() || !compound.FindWorkbook(workbook, root, haveRoot) || workbook.size > file.size())
        return -1;
    if (workbook.size <= compound.MiniCutoff()) {
        MiniRecords records(compound, workbook.size);
        return haveRoot && records.Open(root) ? ReadRecords(records, sheets) : -1;
    }
    SectorRecords records(compound, workbook.start, workbook.size);
    return ReadRecords(records, sheets);
}
