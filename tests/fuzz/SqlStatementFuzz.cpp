#include "model/SqlStatementCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any text is judged without fault, and the reading of an unknown server is the strictest:
// what it accepts, every server we know accepts too, in each of its modes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SqlStatementVerdict unknown = JudgeSqlStatement(sql);
    const bool everyServer = SqlRefusalOfEveryServer(sql).isEmpty();
    const auto kind = [](SqlServerKind::Server server, std::optional<bool> standard = {},
                          std::optional<bool> ansiQuotes = {}, std::optional<bool> noBackslash = {}) {
        SqlServerKind k;
        k.server = server;
        k.standardStrings = standard;
        k.ansiQuotes = ansiQuotes;
        k.noBackslashEscapes = noBackslash;
        return k;
    };
    const SqlServerKind servers[] = {
        kind(SqlServerKind::SQLite),
        kind(SqlServerKind::PostgreSQL, true),
        kind(SqlServerKind::PostgreSQL, false),
        kind(SqlServerKind::PostgreSQL),
        kind(SqlServerKind::MySQL, {}, false, false),
        kind(SqlServerKind::MySQL, {}, true, false),
        kind(SqlServerKind::MySQL, {}, false, true),
        kind(SqlServerKind::MySQL),
        kind(SqlServerKind::SqlServer),
    };
    bool someAccepts = false;
    for (const SqlServerKind& server : servers) {
        const SqlStatementVerdict verdict = JudgeSqlStatement(sql, server);
        if (unknown.refusal.isEmpty() && !verdict.refusal.isEmpty())
            std::abort();
        if (verdict.refusal != JudgeSqlStatement(sql, server).refusal)
            std::abort(); // a remembered verdict is the verdict
        someAccepts = someAccepts || verdict.refusal.isEmpty();
    }
    // Refused before connecting only when no server would take it.
    if (!everyServer && someAccepts)
        std::abort();
    return 0;
}
