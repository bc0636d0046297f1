// A preview's walk over a MariaDB or PostgreSQL source read by a statement of the user's
// ("select ... order by Id desc"), against the same walk over the table in table mode
// sorted the same way, both as a preview turns pages (each from one walk of the statement,
// kept as far as it went), and against the table read page by page with a limit in the
// statement, as the server pages it itself: pages of 25, the count first. 10,000 rows:
// every one of the 400 pages in turn; 100,000 and 1,000,000 rows: 15 flips, forward, far
// ahead and back. The three walks must give the same rows in the same order, and the count,
// before a figure is reported.
// Counters: wall milliseconds of each walk (the server does most of the work), their
// ratios over six walks of each, taken in turn ("ratio": statement over table, the target is
// at most 2; "ratio to paged": statement over the server's own paging), and the slowest
// single flip of the statement's walks. Needs the settings of scripts/dbservers.sh (source
// its env file).
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

namespace {

constexpr int kPreviewPageSize = 25;

struct PreviewServer
{
    bool ready = false;
    DbServerSettings settings;
    QString error;
};

// The table of `rows` rows, written once per process and server through the server's own
// client (the program's connections only read).
const PreviewServer& PreviewTable(bool postgres, int rows)
{
    static std::map<std::pair<bool, int>, PreviewServer> tables;
    auto [it, made] = tables.try_emplace(std::make_pair(postgres, rows));
    PreviewServer& server = it->second;
    if (!made)
        return server;
    const char* prefix = postgres ? "VC_PG" : "VC_MY";
    const auto setting = [prefix](const char* key) { return qEnvironmentVariable(QByteArray(prefix).append(key)); };
    if (setting("_PORT").isEmpty()) {
        server.error = QStringLiteral("no %1 server: run scripts/dbservers.sh start and source its env file")
                           .arg(QLatin1String(prefix));
        return server;
    }
    server.settings.host = setting("_HOST");
    server.settings.port = setting("_PORT").toInt();
    server.settings.database = setting("_DATABASE");
    server.settings.user = setting("_USER");
    server.settings.password = setting("_PASSWORD");
    const DbServerSettings& s = server.settings;
    const QString table = QStringLiteral("vc_bench_preview_%1").arg(rows);
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    if (postgres) {
        client.start(QStringLiteral("psql"),
            {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", s.host, "-p", QString::number(s.port), "-U", s.user, "-d",
                s.database, "-c",
                QStringLiteral("drop table if exists %1; "
                               "create table %1 (Id int primary key, Name varchar(20), Code varchar(10)); "
                               "insert into %1 select i, 'name' || i, 'C' || lpad(i::text, 7, '0') "
                               "from generate_series(1, %2) i; analyze %1;")
                    .arg(table)
                    .arg(rows)});
    } else {
        client.start(QStringLiteral("mariadb"),
            {"--no-defaults", "-h", s.host, "-P", QString::number(s.port), "-u", s.user, "--password=" + s.password,
                s.database, "-e",
                QStringLiteral("set max_recursive_iterations = %2; drop table if exists %1; "
                               "create table %1 (Id int primary key, Name varchar(20), Code varchar(10)); "
                               "insert into %1 with recursive n(i) as (select 1 union all select i + 1 from n "
                               "where i < %2) select i, concat('name', i), concat('C', lpad(i, 7, '0')) from n; "
                               "analyze table %1;")
                    .arg(table)
                    .arg(rows)});
    }
    server.ready = client.waitForFinished(300000) && client.exitStatus() == QProcess::NormalExit
        && client.exitCode() == 0;
    if (!server.ready)
        server.error = QStringLiteral("the table was not made: ") + QString::fromUtf8(client.readAllStandardError());
    return server;
}

std::unique_ptr<CHostPortDS> DescribeServer(bool postgres, const DbServerSettings& s)
{
    std::unique_ptr<CHostPortDS> ds;
    if (postgres)
        ds = std::make_unique<CPostgreSQLDS>();
    else
        ds = std::make_unique<CMySQLDS>();
    ds->m_strHost = EncryptString(s.host);
    ds->m_nPort = s.port;
    ds->m_strDatabase = EncryptString(s.database);
    ds->m_strUser = EncryptString(s.user);
    ds->m_strPassword = EncryptString(s.password);
    // PostgreSQL folds the unquoted names the table was made with.
    ds->m_selectedFields = postgres ? QStringList {"id", "name", "code"} : QStringList {"Id", "Name", "Code"};
    return ds;
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

// One preview: a loader of its own, the count, then the pages one after another; browsed as
// the preview turns pages, or each page read alone with the server's own paging.
Walk WalkPreview(const CDSBase& ds, const std::vector<int>& pages, bool browsed, bool keep)
{
    using Clock = std::chrono::steady_clock;
    Walk walk;
    const auto start = Clock::now();
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
    loader->SetDataSource(&ds);
    loader->SetBrowsedLoads(browsed);
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
    loader.reset(); // a walk left open ends with the preview
    walk.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return walk;
}

void PreviewWalk(benchmark::State& state, bool postgres)
{
    const int records = int(state.range(0));
    const PreviewServer& server = PreviewTable(postgres, records);
    if (!server.ready) {
        state.SkipWithError(qPrintable(server.error));
        return;
    }
    const QString table = QStringLiteral("vc_bench_preview_%1").arg(records);
    const std::unique_ptr<CHostPortDS> statement = DescribeServer(postgres, server.settings);
    statement->m_nRangeMode = RangeSQL;
    statement->m_strSQL = QStringLiteral("select Id, Name, Code from %1 order by Id desc").arg(table);
    const std::unique_ptr<CHostPortDS> tableMode = DescribeServer(postgres, server.settings);
    tableMode->m_nRangeMode = RangeAll;
    tableMode->m_strTable = table;
    tableMode->m_strSortField = postgres ? QStringLiteral("id") : QStringLiteral("Id");
    tableMode->m_nSortOrder = 1;
    const std::vector<int> pages = PreviewPages(records);

    // Same count, same rows in the same order, each page the right one of a descending walk.
    const Walk fromStatement = WalkPreview(*statement, pages, true, true);
    const Walk fromTable = WalkPreview(*tableMode, pages, true, true);
    const Walk fromPaged = WalkPreview(*tableMode, pages, false, true);
    for (const Walk* walk : {&fromStatement, &fromTable, &fromPaged}) {
        if (!walk->ok) {
            state.SkipWithError(qPrintable(walk->error));
            return;
        }
    }
    bool right = fromStatement.count == records && fromTable.count == records && fromPaged.count == records
        && fromStatement.rows == fromTable.rows && fromStatement.rows == fromPaged.rows
        && fromStatement.rows.size() == qsizetype(pages.size()) * kPreviewPageSize;
    for (size_t k = 0; right && k < pages.size(); ++k) {
        const int first = records - (pages[k] - 1) * kPreviewPageSize;
        right = fromStatement.rows[qsizetype(k) * kPreviewPageSize].section(u'|', 0, 0) == QString::number(first);
    }
    if (!right) {
        state.SkipWithError("the statement, the table and the paged table do not give the same rows");
        return;
    }

    double statementMs = 0;
    double tableMs = 0;
    double pagedMs = 0;
    double slowestFlip = 0;
    int turn = 0;
    for (auto _ : state) {
        // Each goes first in turn, so that none always meets a server just woken.
        Walk walks[3];
        for (int k = 0; k < 3; ++k) {
            const int which = (turn + k) % 3;
            walks[which] = WalkPreview(which == 0 ? *statement : *tableMode, pages, which != 2, false);
        }
        ++turn;
        for (const Walk& walk : walks) {
            if (!walk.ok) {
                state.SkipWithError(qPrintable(walk.error));
                return;
            }
        }
        statementMs += walks[0].ms;
        tableMs += walks[1].ms;
        pagedMs += walks[2].ms;
        slowestFlip = std::max(slowestFlip, walks[0].slowestFlipMs);
    }
    const double n = double(state.iterations());
    state.counters["pages"] = double(pages.size());
    state.counters["statement ms"] = statementMs / n;
    state.counters["table ms"] = tableMs / n;
    state.counters["paged ms"] = pagedMs / n;
    state.counters["ratio"] = tableMs > 0 ? statementMs / tableMs : 0.0;
    state.counters["ratio to paged"] = pagedMs > 0 ? statementMs / pagedMs : 0.0;
    state.counters["slowest flip ms"] = slowestFlip;
}

// The far jump: a preview of the statement opens on its last page, which a walk that cannot
// skip on the server reaches by reading every row, beside the server's own client reading every
// row of the same statement to /dev/null (psql's \copy, mariadb --quick). Routes: the native
// clients, psqlODBC, and a MariaDB ODBC string. Both sides must read the same number of rows, and
// the page must be the last one, before a figure is reported. Counters: "jump ms" (the page
// alone, the count before it not included), "client ms", "ratio" (jump over client; the target is
// at most 1.5), "read ms" and "read ratio" (every row read through the route's connection alone,
// in the walk's slices, kept nowhere: what the jump costs before the preview keeps the rows), and
// "peak MB" (the process's high-water mark of resident memory after the jumps).
enum class JumpRoute { Native, PsqlOdbc, OdbcString };

// What the server's own client reads of sql: the rows, or -1 with the reason in error. With
// toNull the rows go to /dev/null and are not counted (the timed run); psql says how many it
// copied either way.
qint64 ClientReadsAll(bool postgres, const DbServerSettings& s, const QString& sql, bool toNull, QString& error)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    if (postgres) {
        client.start(QStringLiteral("psql"),
            {"-X", "-v", "ON_ERROR_STOP=1", "-h", s.host, "-p", QString::number(s.port), "-U", s.user, "-d",
                s.database, "-c", QStringLiteral("\\copy (%1) to /dev/null").arg(sql)});
    } else {
        if (toNull)
            client.setStandardOutputFile(QProcess::nullDevice());
        client.start(QStringLiteral("mariadb"),
            {"--no-defaults", "--quick", "--batch", "--skip-column-names", "-h", s.host, "-P", QString::number(s.port),
                "-u", s.user, "--password=" + s.password, s.database, "-e", sql});
    }
    qint64 rows = 0;
    if (!postgres && !toNull) {
        // Counted as it arrives, so the pipe never fills.
        client.waitForStarted();
        while (client.state() != QProcess::NotRunning && client.waitForReadyRead(600000))
            rows += client.readAllStandardOutput().count('\n');
        rows += client.readAllStandardOutput().count('\n');
    }
    if ((client.state() != QProcess::NotRunning && !client.waitForFinished(600000)) || client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0) {
        error = QStringLiteral("the client failed: ") + QString::fromUtf8(client.readAllStandardError());
        return -1;
    }
    if (postgres) {
        const QByteArray said = client.readAllStandardOutput().trimmed();
        if (!said.startsWith("COPY ")) {
            error = QStringLiteral("psql did not say what it copied");
            return -1;
        }
        rows = said.mid(5).toLongLong();
    }
    return rows;
}

// The ODBC string of a route through a driver.
QString OdbcRouteString(bool postgres, const DbServerSettings& s)
{
    const QString driver = postgres ? QStringLiteral("PostgreSQL Unicode") : QStringLiteral("MariaDB Unicode");
    return QStringLiteral("Driver={%1};Server=%2;Port=%3;Database=%4;UID=%5;PWD=%6;%7")
        .arg(driver, s.host, QString::number(s.port), s.database, s.user, s.password,
            postgres ? QStringLiteral("CommLog=0;") : QString());
}

// The connection the route's loader opens.
std::unique_ptr<DbConnection> OpenRoute(bool postgres, JumpRoute route, const DbServerSettings& s)
{
    if (route == JumpRoute::Native)
        return postgres ? DbConnection::OpenPostgreSQL(s) : DbConnection::OpenMySQL(s);
    return DbConnection::OpenOdbc(OdbcRouteString(postgres, s));
}

// Every row of sql read through a cursor in slices, kept nowhere; -1 on failure.
qint64 ReadEveryRow(DbConnection& db, const QString& sql, QString& error)
{
    auto cursor = db.OpenCursor(sql);
    DbRows rows;
    qint64 total = 0;
    do {
        if (!cursor->Fetch(16384, rows)) {
            error = cursor->LastError();
            return -1;
        }
        total += rows.RowCount();
    } while (!rows.IsEmpty());
    return total;
}

std::unique_ptr<CDSBase> DescribeRoute(bool postgres, JumpRoute route, const DbServerSettings& s)
{
    if (route == JumpRoute::Native)
        return DescribeServer(postgres, s);
    auto ds = std::make_unique<CCustomDS>();
    ds->m_strConnectionString = EncryptString(OdbcRouteString(postgres, s));
    ds->m_selectedFields = postgres ? QStringList {"id", "name", "code"} : QStringList {"Id", "Name", "Code"};
    return ds;
}

qint64 PeakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

void FarJump(benchmark::State& state, bool postgres, JumpRoute route)
{
    using Clock = std::chrono::steady_clock;
    const int records = int(state.range(0));
    const PreviewServer& server = PreviewTable(postgres, records);
    if (!server.ready) {
        state.SkipWithError(qPrintable(server.error));
        return;
    }
    const QString sql =
        QStringLiteral("select Id, Name, Code from vc_bench_preview_%1 order by Id desc").arg(records);
    const std::unique_ptr<CDSBase> ds = DescribeRoute(postgres, route, server.settings);
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = sql;
    const int lastPage = (records + kPreviewPageSize - 1) / kPreviewPageSize;

    QString error;
    const qint64 clientRows = ClientReadsAll(postgres, server.settings, sql, false, error);
    if (clientRows != records) {
        state.SkipWithError(qPrintable(error.isEmpty() ? QStringLiteral("the client read %1 rows").arg(clientRows) : error));
        return;
    }
    const std::unique_ptr<DbConnection> reader = OpenRoute(postgres, route, server.settings);
    if (ReadEveryRow(*reader, sql, error) != records) {
        state.SkipWithError(qPrintable(error.isEmpty() ? QStringLiteral("the cursor did not read every row") : error));
        return;
    }
    double jumpMs = 0;
    double clientMs = 0;
    double readMs = 0;
    int turn = 0;
    for (auto _ : state) {
        // Each goes first in turn, so that none always meets a server just woken.
        for (int k = 0; k < 3; ++k) {
            if ((turn + k) % 3 == 2) {
                const auto start = Clock::now();
                if (ReadEveryRow(*reader, sql, error) != records) {
                    state.SkipWithError(qPrintable(error));
                    return;
                }
                readMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                continue;
            }
            if ((turn + k) % 3 == 0) {
                const auto start = Clock::now();
                if (ClientReadsAll(postgres, server.settings, sql, true, error) < 0) {
                    state.SkipWithError(qPrintable(error));
                    return;
                }
                clientMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                continue;
            }
            std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds->GetType());
            loader->SetDataSource(ds.get());
            loader->SetBrowsedLoads(true);
            int count = 0;
            try {
                count = loader->GetRecordCount();
            } catch (const std::exception& e) {
                state.SkipWithError(e.what());
                return;
            }
            LoaderRow rows;
            const auto start = Clock::now();
            const bool loaded = loader->LoadPage(lastPage, kPreviewPageSize, rows);
            jumpMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            // The last page of a descending walk ends with Id 1, after every row was read.
            const int expected = records - (lastPage - 1) * kPreviewPageSize;
            if (!loaded || count != records || rows.RowCount() != expected
                || rows.Value(rows.RowCount() - 1, 0) != QLatin1String("1")) {
                state.SkipWithError(qPrintable(loaded ? QStringLiteral("the jump did not reach the last page: %1 records, "
                                                                     "%2 rows, the last %3")
                                                          .arg(count)
                                                          .arg(rows.RowCount())
                                                          .arg(rows.Value(rows.RowCount() - 1, 0))
                                                    : loader->GetLastError()));
                return;
            }
        }
        ++turn;
    }
    const double n = double(state.iterations());
    state.counters["jump ms"] = jumpMs / n;
    state.counters["client ms"] = clientMs / n;
    state.counters["ratio"] = clientMs > 0 ? jumpMs / clientMs : 0.0;
    state.counters["read ms"] = readMs / n;
    state.counters["read ratio"] = clientMs > 0 ? readMs / clientMs : 0.0;
    state.counters["peak MB"] = double(PeakResidentKiB()) / 1024.0;
}

// A million and five million rows, on each route.
void FarJumpSizes(benchmark::internal::Benchmark* b)
{
    b->Arg(1000000)->Arg(5000000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK_CAPTURE(FarJump, PostgreSQL, true, JumpRoute::Native)->Apply(FarJumpSizes);
BENCHMARK_CAPTURE(FarJump, PsqlOdbc, true, JumpRoute::PsqlOdbc)->Apply(FarJumpSizes);
BENCHMARK_CAPTURE(FarJump, MariaDB, false, JumpRoute::Native)->Apply(FarJumpSizes);
BENCHMARK_CAPTURE(FarJump, MariaDBOdbcString, false, JumpRoute::OdbcString)->Apply(FarJumpSizes);

// A page turned after the user read the page before for a while (VC_BENCH_IDLE_SECONDS, 5 by
// default), shorter than the walk's idle bound: the turn alone is timed, and each page must show
// the rows it should before a figure is reported. 100,000 rows, the statement's own order. With
// VC_BENCH_IDLE_BOUND_MS the walk's idle bound is set to it: shorter than the pause, each turn
// then runs the walk again, the cost the bound spares a reader.
void IdleTurn(benchmark::State& state, bool postgres, JumpRoute route)
{
    const DbLimits saved = GetDbLimits();
    if (const int bound = qEnvironmentVariableIntValue("VC_BENCH_IDLE_BOUND_MS"); bound > 0) {
        DbLimits limits = saved;
        limits.walkIdleMs = bound;
        SetDbLimits(limits);
    }
    const struct Restore
    {
        DbLimits limits;
        ~Restore() { SetDbLimits(limits); }
    } restore {saved};
    const PreviewServer& server = PreviewTable(postgres, 100000);
    if (!server.ready) {
        state.SkipWithError(server.error.toUtf8().constData());
        return;
    }
    const std::unique_ptr<CDSBase> ds = DescribeRoute(postgres, route, server.settings);
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = QStringLiteral("select Id, Name, Code from vc_bench_preview_100000 order by Id");
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds->GetType());
    loader->SetDataSource(ds.get());
    loader->SetBrowsedLoads(true);
    const int idleSeconds = qEnvironmentVariableIntValue("VC_BENCH_IDLE_SECONDS") > 0
        ? qEnvironmentVariableIntValue("VC_BENCH_IDLE_SECONDS")
        : 5;
    LoaderRow rows;
    int page = 1;
    if (!loader->LoadPage(page, kPreviewPageSize, rows)) {
        state.SkipWithError(loader->GetLastError().toUtf8().constData());
        return;
    }
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        ++page;
        const auto start = std::chrono::steady_clock::now();
        const bool read = loader->LoadPage(page, kPreviewPageSize, rows);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!read || rows.RowCount() != kPreviewPageSize
            || rows.Value(0, 0).toInt() != (page - 1) * kPreviewPageSize + 1) {
            state.SkipWithError(("page " + std::to_string(page) + " is wrong: " + loader->GetLastError().toStdString()).c_str());
            return;
        }
    }
}
void IdleTurnRuns(benchmark::internal::Benchmark* b)
{
    b->Iterations(6)->Unit(benchmark::kMillisecond)->UseManualTime();
}
BENCHMARK_CAPTURE(IdleTurn, PostgreSQL, true, JumpRoute::Native)->Apply(IdleTurnRuns);
BENCHMARK_CAPTURE(IdleTurn, PsqlOdbc, true, JumpRoute::PsqlOdbc)->Apply(IdleTurnRuns);
BENCHMARK_CAPTURE(IdleTurn, MariaDB, false, JumpRoute::Native)->Apply(IdleTurnRuns);
BENCHMARK_CAPTURE(IdleTurn, MariaDBOdbcString, false, JumpRoute::OdbcString)->Apply(IdleTurnRuns);

// A preview of a million rows sorted by a value seven groups share (rows that tie): the first
// page, page turns, a far jump to the last page, then page turns after the walk was given back
// while it idled (VC_BENCH_GIVE_BACK_MS of idling, 1500 by default, past a bound of 300), and a
// far jump after a second give-back. Each page must hold 25 records of the order's values, and no
// record may show twice, before a figure is reported. Peak memory is the process's: run one
// route alone in a process to read it.
void TiesGivenBack(benchmark::State& state, JumpRoute route)
{
    using Clock = std::chrono::steady_clock;
    constexpr int records = 1000000;
    const PreviewServer& server = PreviewTable(true, records);
    if (!server.ready) {
        state.SkipWithError(qPrintable(server.error));
        return;
    }
    const std::unique_ptr<CDSBase> ds = DescribeRoute(true, route, server.settings);
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = QStringLiteral("select Id, Name, Code, Id % 7 as grp from vc_bench_preview_%1 order by grp").arg(records);
    ds->m_selectedFields = QStringList {"id", "name", "code", "grp"};
    const int lastPage = records / kPreviewPageSize;
    const int idleMs = qEnvironmentVariableIntValue("VC_BENCH_GIVE_BACK_MS") > 0
        ? qEnvironmentVariableIntValue("VC_BENCH_GIVE_BACK_MS")
        : 1500;
    const DbLimits saved = GetDbLimits();
    const auto giveBack = [&] {
        DbLimits limits = saved;
        limits.watchMs = 100;
        limits.walkIdleMs = 300;
        SetDbLimits(limits);
        std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
        SetDbLimits(saved);
    };
    double firstMs = 0, turnMs = 0, jumpMs = 0, backTurnMs = 0, backTurnsMs = 0, backJumpMs = 0;
    for (auto _ : state) {
        std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds->GetType());
        loader->SetDataSource(ds.get());
        loader->SetBrowsedLoads(true);
        std::map<QString, int> shown;
        QString wrong;
        // Page page, timed into ms; the expected value of the order for each of its records.
        const auto page = [&](int number, double& ms) {
            LoaderRow rows;
            const auto start = Clock::now();
            const bool read = loader->LoadPage(number, kPreviewPageSize, rows);
            ms += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (!read || rows.RowCount() != kPreviewPageSize) {
                wrong = QStringLiteral("page %1: %2").arg(number).arg(read ? QStringLiteral("short") : loader->GetLastError());
                return;
            }
            for (int r = 0; r < rows.RowCount(); ++r) {
                const qint64 at = qint64(number - 1) * kPreviewPageSize + r;
                // Records 1..N hold Id % 7 = 0 for the first N/7 places, and so on.
                int group = 0;
                for (qint64 before = 0; group < 7; ++group) {
                    before += records / 7 + (group >= 1 && group <= records % 7 ? 1 : 0);
                    if (at < before)
                        break;
                }
                if (rows.Value(r, 3).toInt() != group || ++shown[rows.Value(r, 0)] > 1)
                    wrong = QStringLiteral("page %1 row %2: %3 in group %4").arg(number).arg(r).arg(rows.Value(r, 0), rows.Value(r, 3));
            }
        };
        page(1, firstMs);
        for (int p = 2; p <= 10; ++p)
            page(p, turnMs);
        page(lastPage, jumpMs);
        giveBack();
        page(11, backTurnMs);
        for (int p = 12; p <= 20; ++p)
            page(p, backTurnsMs);
        giveBack();
        page(lastPage - 1, backJumpMs);
        if (!wrong.isEmpty()) {
            state.SkipWithError(qPrintable(wrong));
            return;
        }
    }
    const double n = double(state.iterations());
    state.counters["first ms"] = firstMs / n;
    state.counters["turn ms"] = turnMs / n / 9;
    state.counters["jump ms"] = jumpMs / n;
    state.counters["given back: turn ms"] = backTurnMs / n;
    state.counters["then turn ms"] = backTurnsMs / n / 9;
    state.counters["given back: jump ms"] = backJumpMs / n;
    state.counters["peak MB"] = double(PeakResidentKiB()) / 1024.0;
}
void TiesGivenBackRuns(benchmark::internal::Benchmark* b)
{
    b->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK_CAPTURE(TiesGivenBack, PostgreSQL, JumpRoute::Native)->Apply(TiesGivenBackRuns);
BENCHMARK_CAPTURE(TiesGivenBack, PsqlOdbc, JumpRoute::PsqlOdbc)->Apply(TiesGivenBackRuns);

void BM_MariaDBStatementPreviewWalk(benchmark::State& state)
{
    PreviewWalk(state, false);
}
BENCHMARK(BM_MariaDBStatementPreviewWalk)->Arg(10000)->Arg(100000)->Arg(1000000)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PostgreSQLStatementPreviewWalk(benchmark::State& state)
{
    PreviewWalk(state, true);
}
BENCHMARK(BM_PostgreSQLStatementPreviewWalk)->Arg(10000)->Arg(100000)->Arg(1000000)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
