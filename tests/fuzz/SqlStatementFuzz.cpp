#include "model/SqlStatementCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any text is judged without fault. Once connected, the reading of an unknown server is
// the strictest: what it accepts, every server we know accepts too, in each of its modes.
// Before connecting, a statement is refused only where its server, whatever it turns out
// to be and whatever its settings, would refuse it too once connected.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SqlStatementVerdict unknown = JudgeSqlStatement(sql);
    const auto kind = [](SqlServerKind::Server server, std::optional<bool> standard = {},
                          std::optional<bool> ansiQuotes = {}, std::optional<bool> noBackslash = {}) {
        SqlServerKind k;
        k.server = server;
        k.standardStrings = standard;
        k.ansiQuotes = ansiQuotes;
        k.noBackslashEscapes = noBackslash;
        return k;
    };
    // Servers as a connection tells them, settings and all.
    const SqlServerKind connected[] = {
        kind(SqlServerKind::SQLite),
        kind(SqlServerKind::PostgreSQL, true),
        kind(SqlServerKind::PostgreSQL, false),
        kind(SqlServerKind::MySQL, {}, false, false),
        kind(SqlServerKind::MySQL, {}, true, false),
        kind(SqlServerKind::MySQL, {}, false, true),
        kind(SqlServerKind::SqlServer),
    };
    // Servers as known before connecting: the kind at most.
    const SqlServerKind before[] = {
        kind(SqlServerKind::Unknown),
        kind(SqlServerKind::SQLite),
        kind(SqlServerKind::PostgreSQL),
        kind(SqlServerKind::MySQL),
        kind(SqlServerKind::SqlServer),
    };
    for (const SqlServerKind& server : connected) {
        const SqlStatementVerdict verdict = JudgeSqlStatement(sql, server);
        if (unknown.refusal.isEmpty() && !verdict.refusal.isEmpty())
            std::abort();
        if (verdict.refusal != JudgeSqlStatement(sql, server).refusal)
            std::abort(); // a remembered verdict is the verdict
    }
    for (const SqlServerKind& server : before) {
        if (SqlRefusalOfEveryReading(sql, server).isEmpty())
            continue;
        // Refused before connecting: so is it by each server of that kind once connected,
        // and by the server not known, which reads it each of their ways.
        if (JudgeSqlStatement(sql, server).refusal.isEmpty())
            std::abort();
        for (const SqlServerKind& setting : connected) {
            const bool ofKind = server.server == SqlServerKind::Unknown || setting.server == server.server;
            if (ofKind && JudgeSqlStatement(sql, setting).refusal.isEmpty())
                std::abort();
        }
    }
    return 0;
}
