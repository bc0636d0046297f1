#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any bytes parse and serialise back unchanged (a UTF-16 file cut in the middle of
// a code unit loses that half); setting a key to the value it has changes nothing;
// a new value reads back and survives a second parse.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    IniFile ini;
    ini.Parse(bytes);
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    if (!(utf16 && size % 2 != 0) && ini.Serialize() != bytes)
        std::abort();
    (void)ini.GetInt(QStringLiteral("General"), QStringLiteral("UndoMax"), 50);
    const QString path = ini.GetString(QStringLiteral("Create"), QStringLiteral("NewLabelBasedFile"), QString());
    if (!path.isEmpty() && !path.contains(u'\r') && !path.contains(u'\n')) {
        const QByteArray before = ini.Serialize();
        ini.SetString(QStringLiteral("Create"), QStringLiteral("NewLabelBasedFile"), path);
        if (ini.Serialize() != before)
            std::abort();
    }
    ini.SetString(QStringLiteral("Others"), QStringLiteral("DefScale"), QStringLiteral("1.50"));
    IniFile again;
    again.Parse(ini.Serialize());
    if (again.GetString(QStringLiteral("others"), QStringLiteral("defscale"), QString()) != QStringLiteral("1.50"))
        std::abort();
    return 0;
}
