#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any bytes parse; a value set afterwards reads back and survives a second parse.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    IniFile ini;
    ini.Parse(bytes);
    (void)ini.GetInt(QStringLiteral("General"), QStringLiteral("UndoMax"), 50);
    ini.SetString(QStringLiteral("Others"), QStringLiteral("DefScale"), QStringLiteral("1.50"));
    IniFile again;
    again.Parse(ini.Serialize());
    if (again.GetString(QStringLiteral("others"), QStringLiteral("defscale"), QString()) != QStringLiteral("1.50"))
        std::abort();
    return 0;
}
