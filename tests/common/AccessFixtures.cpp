#include "AccessFixtures.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr int kJet4Page = 4096;

void AccessRc4(const QByteArray& key, char* data, int size)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<unsigned char>(key[i % key.size()])) & 255;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < size; ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        data[n] = static_cast<char>(data[n] ^ s[(s[i] + s[j]) & 255]);
    }
}

template <typename T> void PutAccess(QByteArray& page, int offset, T value)
{
    qToLittleEndian(value, page.data() + offset);
}

} // namespace

QByteArray ColumnHungryAccessFile()
{
    QByteArray header(kJet4Page, '\0');
    header.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    header[0x14] = 1; // Jet 4
    AccessRc4(QByteArray("\xc7\xda\x39\x6b", 4), header.data() + 0x18, 128);

    // Page 1: a data page whose rows are the catalogue's usage maps (map type 0,
    // starting at page 0, page 3 marked).
    QByteArray usage(kJet4Page, '\0');
    usage[0] = 1;
    usage[1] = 1;
    PutAccess<quint32>(usage, 4, 2);
    PutAccess<quint16>(usage, 12, 2);
    const QByteArray map = QByteArray(1, '\0') + QByteArray(4, '\0') + QByteArray(1, '\x08') + QByteArray(10, '\0');
    int end = kJet4Page;
    for (int row = 0; row < 2; ++row) {
        end -= map.size();
        usage.replace(end, map.size(), map);
        PutAccess<quint16>(usage, 14 + 2 * row, static_cast<quint16>(end));
    }

    QByteArray definition(kJet4Page, '\0');
    definition[0] = 2;
    definition[1] = 1;
    PutAccess<quint32>(definition, 4, 2); // the definition goes on on its own page
    PutAccess<quint32>(definition, 8, 4000);
    definition[40] = 0x53; // a system table
    PutAccess<quint16>(definition, 41, 65535);
    PutAccess<quint16>(definition, 45, 65535);
    PutAccess<quint32>(definition, 55, 1u << 8);
    PutAccess<quint32>(definition, 59, (1u << 8) | 1);

    return header + usage + definition + QByteArray(2 * kJet4Page, '\0');
}

bool WriteAccessFixture(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
