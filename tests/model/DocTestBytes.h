#pragma once

// Expected file bytes spelled out field by field, independent of the archive writer
// under test, so that golden files follow the layout tables and not the code.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>

class Golden
{
public:
    Golden& u8(uint8_t v)
    {
        m_bytes.append(static_cast<char>(v));
        return *this;
    }
    Golden& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Golden& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Golden& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Golden& f32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Golden& flag(bool v) { return u8(v ? 1 : 0); }
    Golden& rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) { return u8(r).u8(g).u8(b).u8(a); }
    // Short strings only: the marker, a one-byte length and UTF-16LE units.
    Golden& str(const QString& s)
    {
        u8(0xFF).u16(0xFFFE).u8(static_cast<uint8_t>(s.size()));
        for (QChar c : s)
            u16(c.unicode());
        return *this;
    }
    Golden& strs(int n)
    {
        for (int i = 0; i < n; ++i)
            str(QString());
        return *this;
    }
    Golden& raw(const QByteArray& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    Golden& header() { return u32(1).u32(3).u32(7).u32(10).str("FV1.0"); }

    const QByteArray& bytes() const { return m_bytes; }
    operator const QByteArray&() const { return m_bytes; }

private:
    QByteArray m_bytes;
};
