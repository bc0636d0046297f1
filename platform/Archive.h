#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

class QIODevice;

// Reader of the label and component file form: little-endian integers, IEEE single
// floats, one-byte flags, colours as R, G, B, A and the length-prefixed string form
// (UTF-16 with the FF FE FF marker, or the older 8-bit form, read as GBK).
//
// The reader works on the whole file held in memory. Every read checks the bytes
// left first and throws CArchiveException instead of reading past the end, and every
// count or length is checked against the bytes left before anything is allocated, so
// a damaged file can never make the reader allocate more than the file could hold.
class CArchiveReader
{
public:
    explicit CArchiveReader(QByteArray data);

    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    int32_t ReadI32();
    float ReadF32();
    // Any non-zero byte is true.
    bool ReadBool();
    // Four bytes R, G, B, A; returns the ARGB value.
    uint32_t ReadColor();
    QString ReadString();
    // Exactly n raw bytes; n is checked against the bytes left first.
    QByteArray ReadBytes(qsizetype n);
    // A list count: a u32 read as signed, where 0 or less means an empty list. Throws
    // when count × minRecordBytes exceeds the bytes left, so a caller may reserve
    // room for the records at once.
    uint32_t ReadCount(qsizetype minRecordBytes);

    qsizetype Position() const { return m_pos; }
    qsizetype BytesLeft() const { return m_data.size() - m_pos; }
    bool AtEnd() const { return m_pos >= m_data.size(); }

private:
    const char* Take(qsizetype n);
    qsizetype ReadStringLength(bool& wide);

    QByteArray m_data;
    qsizetype m_pos = 0;
};

// Writer of the same form. Without a device the bytes collect in memory (Data());
// with a device they are passed on in blocks, and Flush() sends the rest. A device
// that refuses bytes throws CFileException.
class CArchiveWriter
{
public:
    CArchiveWriter() = default;
    explicit CArchiveWriter(QIODevice* device) : m_device(device) {}
    CArchiveWriter(const CArchiveWriter&) = delete;
    CArchiveWriter& operator=(const CArchiveWriter&) = delete;

    void WriteU8(uint8_t v);
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
    void WriteF32(float v);
    void WriteBool(bool v) { WriteU8(v ? 1 : 0); }
    void WriteColor(uint32_t argb);
    // Always the UTF-16 form with its marker.
    void WriteString(const QString& s);
    void WriteBytes(const QByteArray& bytes);
    void WriteBytes(const char* data, qsizetype n);

    void Flush();
    // Bytes not yet passed on (all of them when there is no device).
    const QByteArray& Data() const { return m_buffer; }

private:
    void MaybeFlush();

    QIODevice* m_device = nullptr;
    QByteArray m_buffer;
};
