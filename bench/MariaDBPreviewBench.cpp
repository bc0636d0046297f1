// A preview's walk over a MariaDB source read by a statement of the user's
// ("select ... order by Id desc"), against the same walk over the table in table mode
// sorted the same way: pages of 25, the count first. 10,000 rows: every one of the 400
// pages in turn; 100,000 and 1,000,000 rows: 15 flips, forward, far ahead and back.
// Both walks must give the same rows in the same order, and the count, before a figure
// is reported.
// Counters: wall milliseconds of each walk (the server does most of the work), their
// ratio over six walks of each, taken in turn (statement over table; the target is at
// most 2), and the slowest single flip of the statement's walks. Needs the settings of scripts/dbservers.sh (source its env file).
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/DbConnection.h"

#include <QProcess>
#include <QStringList>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

namespace {

constexpr int kPreviewPageSize = 25;

struct PreviewServer
{
    bool ready = false;
    DbServerSettings settings;
    QString error;
};

// The table of `rows` rows, written once per process through the server's own client
// (the program's connections only read).
const PreviewServer& PreviewTable(int rows)
{
    static std::map<int, PreviewServer> tables;
    auto [it, made] = tables.try_emplace(rows);
    PreviewServer& server = it->second;
    if (!made)
        return server;
    if (!qEnvironmentVariableIsSet("VC_MY_PORT")) {
        server.error = QStringLiteral("no MariaDB: run scripts/dbservers.sh start and source its env file");
        return server;
    }
    server.settings.host = qEnvironmentVariable("VC_MY_HOST");
    server.settings.port = qEnvironmentVariableIntValue("VC_MY_PORT");
    server.settings.database = qEnvironmentVariable("VC_MY_DATABASE");
    server.settings.user = qEnvironmentVariable("VC_MY_USER");
    server.settings.password = qEnvironmentVariable("VC_MY_PASSWORD");
    const QString table = QStringLiteral("vc_bench_preview_%1").arg(rows);
    QProcess client;
    client.start(QStringLiteral("mariadb"),
        {"--no-defaults", "-h", server.settings.host, "-P", QString::number(server.settings.port), "-u",
            server.settings.user, "--password=" + server.settings.password, server.settings.database, "-e",
            QStringLiteral("set max_recursive_iterations = %2; drop table if exists %1; "
                           "create table %1 (Id int primary key, Name varchar(20), Code varchar(10)); "
                           "insert into %1 with recursive n(i) as (select 1 union all select i + 1 from n "
                           "where i < %2) select i, concat('name', i), concat('C', lpad(i, 7, '0')) from n; "
                           "analyze table %1;")
                .arg(table)
                .arg(rows)});
    server.ready = client.waitForFinished(300000) && client.exitStatus() == QProcess::NormalExit
        && client.exitCode() == 0;
    if (!server.ready)
        server.error = QStringLiteral("the MariaDB table was not made: ") + QString::fromUtf8(client.readAllStandardError());
    return server;
}

void DescribeServer(CMySQLDS& ds, const DbServerSettings& s)
{
    ds.m_strHost = EncryptString(s.host);
    ds.m_nPort = s.port;
    ds.m_strDatabase = EncryptString(s.database);
    ds.m_strUser = EncryptString(s.user);
    ds.m_strPassword = EncryptString(s.password);
    ds.m_selectedFields = QStringList {"Id", "Name", "Code"};
}

// The pages a preview shows, in the order it shows them.
std::vector<int> PreviewPages(int rows)
{
    const int pages = rows / kPreviewPageSize;
    std::vector<int> shown;
    if (rows <= 10000) {
        for (int page = 1; page <= pages; ++page)
            shown.push_back(page);
        return shown;
    }
    for (const double at : {0.0, 0.0, 0.0, 0.5, 0.5, 0.5, 1.0, 1.0, 0.25, 0.25, 0.75, 0.1, 0.9, 0.0, 1.0})
        shown.push_back(std::clamp(1 + int(at * (pages - 1)), 1, pages));
    // Consecutive flips where the same page repeats: the next one on.
    for (size_t k = 1; k < shown.size(); ++k) {
        if (shown[k] == shown[k - 1])
            shown[k] = std::min(shown[k] + 1, pages);
    }
    return shown;
}

struct Walk
{
    bool ok = true;
    QString error;
    int count = 0;
    QStringList rows; // when kept
    double ms = 0;
    double slowestFlipMs = 0;
};

// One preview: a loader of its own, the count, then the pages one after another.
Walk WalkPreview(const CDSBase& ds, const std::vector<int>& pages, bool keep)
{
    using Clock = std::chrono::steady_clock;
    Walk walk;
    const auto start = Clock::now();
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
    loader->SetDataSource(&ds);
    try {
        walk.count = loader->GetRecordCount();
    } catch (const std::exception& e) {
        walk.ok = false;
        walk.error = QString::fromUtf8(e.what());
        return walk;
    }
    LoaderRow rows;
    for (const int page : pages) {
        const auto flip = Clock::now();
        if (!loader->LoadPage(page, kPreviewPageSize, rows)) {
            walk.ok = false;
            walk.error = loader->GetLastError();
            return walk;
        }
        walk.slowestFlipMs = std::max(walk.slowestFlipMs,
            std::chrono::duration<double, std::milli>(Clock::now() - flip).count());
        for (int r = 0; keep && r < rows.RowCount(); ++r)
            walk.rows.append(rows.Row(r).join(u'|'));
    }
    walk.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return walk;
}

void BM_MariaDBStatementPreviewWalk(benchmark::State& state)
{
    const int records = int(state.range(0));
    const PreviewServer& server = PreviewTable(records);
    if (!server.ready) {
        state.SkipWithError(qPrintable(server.error));
        return;
    }
    const QString table = QStringLiteral("vc_bench_preview_%1").arg(records);
    CMySQLDS statement;
    DescribeServer(statement, server.settings);
    statement.m_nRangeMode = RangeSQL;
    statement.m_strSQL = QStringLiteral("select Id, Name, Code from %1 order by Id desc").arg(table);
    CMySQLDS tableMode;
    DescribeServer(tableMode, server.settings);
    tableMode.m_nRangeMode = RangeAll;
    tableMode.m_strTable = table;
    tableMode.m_strSortField = QStringLiteral("Id");
    tableMode.m_nSortOrder = 1;
    const std::vector<int> pages = PreviewPages(records);

    // Same count, same rows in the same order, each page the right one of a descending walk.
    const Walk fromStatement = WalkPreview(statement, pages, true);
    const Walk fromTable = WalkPreview(tableMode, pages, true);
    if (!fromStatement.ok || !fromTable.ok) {
        state.SkipWithError(qPrintable(fromStatement.ok ? fromTable.error : fromStatement.error));
        return;
    }
    bool right = fromStatement.count == records && fromTable.count == records && fromStatement.rows == fromTable.rows
        && fromStatement.rows.size() == qsizetype(pages.size()) * kPreviewPageSize;
    for (size_t k = 0; right && k < pages.size(); ++k) {
        const int first = records - (pages[k] - 1) * kPreviewPageSize;
        right = fromStatement.rows[qsizetype(k) * kPreviewPageSize].section(u'|', 0, 0) == QString::number(first);
    }
    if (!right) {
        state.SkipWithError("the statement and the table do not give the same rows");
        return;
    }

    double statementMs = 0;
    double tableMs = 0;
    double slowestFlip = 0;
    bool statementFirst = true;
    for (auto _ : state) {
        // Each goes first in turn, so that neither always meets a server just woken.
        Walk a;
        Walk b;
        if (statementFirst) {
            a = WalkPreview(statement, pages, false);
            b = WalkPreview(tableMode, pages, false);
        } else {
            b = WalkPreview(tableMode, pages, false);
            a = WalkPreview(statement, pages, false);
        }
        statementFirst = !statementFirst;
        if (!a.ok || !b.ok) {
            state.SkipWithError(qPrintable(a.ok ? b.error : a.error));
            return;
        }
        statementMs += a.ms;
        tableMs += b.ms;
        slowestFlip = std::max(slowestFlip, a.slowestFlipMs);
    }
    const double n = double(state.iterations());
    state.counters["pages"] = double(pages.size());
    state.counters["statement ms"] = statementMs / n;
    state.counters["table ms"] = tableMs / n;
    state.counters["ratio"] = tableMs > 0 ? statementMs / tableMs : 0.0;
    state.counters["slowest flip ms"] = slowestFlip;
}
BENCHMARK(BM_MariaDBStatementPreviewWalk)->Arg(10000)->Arg(100000)->Arg(1000000)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
