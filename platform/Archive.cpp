#include "platform/Archive.h"

#include "platform/VXException.h"

#include <QIODevice>
#include <QStringDecoder>
#include <bit>
#include <cstring>

namespace {

constexpr qsizetype kBlockSize = 4096;

[[noreturn]] void ThrowDamaged()
{
    throw CArchiveException(QStringLiteral("The file ends early or is damaged."));
}

template <typename T> T LoadLE(const char* p)
{
    T v = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        v |= static_cast<T>(static_cast<T>(static_cast<uint8_t>(p[i])) << (8 * i));
    return v;
}

} // namespace

CArchiveReader::CArchiveReader(QByteArray data) : m_data(std::move(data)) {}

const char* CArchiveReader::Take(qsizetype n)
{
    if (n < 0 || n > BytesLeft())
        ThrowDamaged();
    const char* p = m_data.constData() + m_pos;
    m_pos += n;
    return p;
}

uint8_t CArchiveReader::ReadU8() { return static_cast<uint8_t>(*Take(1)); }
uint16_t CArchiveReader::ReadU16() { return LoadLE<uint16_t>(Take(2)); }
uint32_t CArchiveReader::ReadU32() { return LoadLE<uint32_t>(Take(4)); }
int32_t CArchiveReader::ReadI32() { return static_cast<int32_t>(ReadU32()); }
float CArchiveReader::ReadF32() { return std::bit_cast<float>(ReadU32()); }
bool CArchiveReader::ReadBool() { return ReadU8() != 0; }

uint32_t CArchiveReader::ReadColor()
{
    const char* p = Take(4);
    const auto b = [p](int i) { return static_cast<uint32_t>(static_cast<uint8_t>(p[i])); };
    return b(3) << 24 | b(0) << 16 | b(1) << 8 | b(2);
}

QByteArray CArchiveReader::ReadBytes(qsizetype n)
{
    const char* p = Take(n);
    return QByteArray(p, n);
}

uint32_t CArchiveReader::ReadCount(qsizetype minRecordBytes)
{
    const int32_t count = ReadI32();
    if (count <= 0)
        return 0;
    if (minRecordBytes > 0 && static_cast<qint64>(count) > BytesLeft() / minRecordBytes)
        ThrowDamaged();
    return static_cast<uint32_t>(count);
}

// The length prefix: a byte below FF, else a u16 below FFFE, else a u32 below
// FFFFFFFF, else a u64. A u16 FFFE in the first place is the marker of the wide form,
// after which the length starts again.
qsizetype CArchiveReader::ReadStringLength(bool& wide)
{
    wide = false;
    uint8_t b = ReadU8();
    if (b < 0xFF)
        return b;
    uint16_t w = ReadU16();
    if (w == 0xFFFE) {
        wide = true;
        b = ReadU8();
        if (b < 0xFF)
            return b;
        w = ReadU16();
    }
    if (w < 0xFFFE)
        return w;
    const uint32_t d = ReadU32();
    if (d < 0xFFFFFFFFu)
        return static_cast<qsizetype>(d);
    const uint64_t q = LoadLE<uint64_t>(Take(8));
    if (q > static_cast<uint64_t>(BytesLeft()))
        ThrowDamaged();
    return static_cast<qsizetype>(q);
}

QString CArchiveReader::ReadString()
{
    bool wide = false;
    const qsizetype length = ReadStringLength(wide);
    if (length > (wide ? BytesLeft() / 2 : BytesLeft()))
        ThrowDamaged();
    if (!wide) {
        const char* p = Take(length);
        QStringDecoder gbk("GBK");
        if (!gbk.isValid())
            return QString::fromLatin1(p, length);
        return gbk.decode(QByteArrayView(p, length));
    }
    const char* p = Take(length * 2);
    QString s(length, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(s.data());
    for (qsizetype i = 0; i < length; ++i)
        out[i] = LoadLE<char16_t>(p + 2 * i);
    return s;
}

void CArchiveWriter::MaybeFlush()
{
    if (m_device && m_buffer.size() >= kBlockSize)
        Flush();
}

void CArchiveWriter::Flush()
{
    if (!m_device || m_buffer.isEmpty())
        return;
    if (m_device->write(m_buffer) != m_buffer.size())
        throw CFileException(QStringLiteral("无法写入文件。\n详细信息：%1").arg(m_device->errorString()));
    m_buffer.clear();
}

void CArchiveWriter::WriteBytes(const char* data, qsizetype n)
{
    m_buffer.append(data, n);
    MaybeFlush();
}

void CArchiveWriter::WriteBytes(const QByteArray& bytes) { WriteBytes(bytes.constData(), bytes.size()); }

void CArchiveWriter::WriteU8(uint8_t v)
{
    m_buffer.append(static_cast<char>(v));
    MaybeFlush();
}

void CArchiveWriter::WriteU16(uint16_t v)
{
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    WriteBytes(b, 2);
}

void CArchiveWriter::WriteU32(uint32_t v)
{
    const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    WriteBytes(b, 4);
}

void CArchiveWriter::WriteF32(float v) { WriteU32(std::bit_cast<uint32_t>(v)); }

void CArchiveWriter::WriteColor(uint32_t argb)
{
    const char b[4] = {static_cast<char>((argb >> 16) & 0xFF), static_cast<char>((argb >> 8) & 0xFF),
                       static_cast<char>(argb & 0xFF), static_cast<char>(argb >> 24)};
    WriteBytes(b, 4);
}

void CArchiveWriter::WriteString(const QString& s)
{
    const qsizetype n = s.size();
    WriteU8(0xFF);
    WriteU16(0xFFFE);
    if (n < 0xFF) {
        WriteU8(static_cast<uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(static_cast<uint16_t>(n));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(static_cast<uint32_t>(n));
    }
    const char16_t* units = reinterpret_cast<const char16_t*>(s.utf16());
    QByteArray bytes(n * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i) {
        bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
    WriteBytes(bytes);
}
