// Loading 1,000,000 rows of 5 fields from a CSV file, an SQLite file and a
// PostgreSQL server, against the sqlite3 and psql programs printing the same rows
// to /dev/null. Counters: peak_MB is the growth of the resident set while loading
// (the tools' whole peak for them), data_MB the size of the data as CSV text.
// PostgreSQL needs the settings of scripts/dbservers.sh (source its env file).
#include "model/DSBase.h"
#include "model/DatabaseLoaders.h"
#include "model/TextLoader.h"
#include "platform/Crypt.h"
#include "platform/db/DbConnection.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 1000000;
const char* const kSelect = "select Id, Name, Amount, Code, Day from bench_rows";

struct Fixture
{
    QTemporaryDir dir;
    QString csv;
    QString sqlite;
    qint64 textBytes = 0;
    bool havePg = false;
    DbServerSettings pg;
};

// Builds the files (and the server table) once per process.
Fixture& Data()
{
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        f->csv = f->dir.filePath("rows.csv");
        f->sqlite = f->dir.filePath("rows.db");
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(f->sqlite).constData(), &db);
        sqlite3_exec(db,
                     "create table bench_rows (Id integer, Name text, Amount text, Code text, Day text);"
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000)"
                     " insert into bench_rows select i, 'name' || i, printf('%d.%02d', i % 10000, i % 100),"
                     " printf('C%07d', i), printf('2024-%02d-%02d', i % 12 + 1, i % 28 + 1) from n;",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        // The CSV file holds exactly what the SQLite file holds.
        auto connection = DbConnection::OpenSQLite(f->sqlite);
        DbRows rows;
        connection->Query(kSelect, rows);
        QFile out(f->csv);
        out.open(QIODevice::WriteOnly);
        QByteArray line;
        for (int r = 0; r < rows.RowCount(); ++r) {
            line.clear();
            for (int c = 0; c < 5; ++c) {
                if (c)
                    line += ',';
                line += rows.Utf8(r, c);
            }
            line += '\n';
            out.write(line);
        }
        f->textBytes = out.size();
        out.close();

        if (qEnvironmentVariableIsSet("VC_PG_PORT")) {
            f->pg.host = qEnvironmentVariable("VC_PG_HOST");
            f->pg.port = qEnvironmentVariableIntValue("VC_PG_PORT");
            f->pg.database = qEnvironmentVariable("VC_PG_DATABASE");
            f->pg.user = qEnvironmentVariable("VC_PG_USER");
            f->pg.password = qEnvironmentVariable("VC_PG_PASSWORD");
            // Written through psql: the program's own connections only read.
            QProcess psql;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PGPASSWORD"), f->pg.password);
            psql.setProcessEnvironment(env);
            psql.start(QStringLiteral("psql"),
                {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", f->pg.host, "-p", QString::number(f->pg.port), "-U",
                    f->pg.user, "-d", f->pg.database, "-c",
                    "drop table if exists bench_rows; "
                    "create table bench_rows as select i as \"Id\", 'name' || i as \"Name\","
                    " to_char(i % 10000, 'FM9999') || '.' || to_char(i % 100, 'FM00') as \"Amount\","
                    " 'C' || to_char(i, 'FM0000000') as \"Code\","
                    " '2024-' || to_char(i % 12 + 1, 'FM00') || '-' || to_char(i % 28 + 1, 'FM00')"
                    " as \"Day\" from generate_series(1, 1000000) as i;",
                    "-c", "vacuum analyze bench_rows"});
            f->havePg = psql.waitForFinished(300000) && psql.exitStatus() == QProcess::NormalExit
                && psql.exitCode() == 0;
            if (!f->havePg)
                std::fprintf(stderr, "PostgreSQL table not made: %s\n", psql.readAllStandardError().constData());
        }
        return f;
    }();
    return *fixture;
}

long StatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return 0;
}

// Peak growth of the resident set over one call.
template <typename F> double PeakGrowthMb(F&& work)
{
    malloc_trim(0);
    { std::ofstream("/proc/self/clear_refs") << "5"; } // resets the high-water mark
    const long before = StatusKb("VmRSS");
    work();
    return (StatusKb("VmHWM") - before) / 1024.0;
}

void SetCounters(benchmark::State& state, double peakMb)
{
    const double dataMb = Data().textBytes / (1024.0 * 1024.0);
    state.counters["peak_MB"] = peakMb;
    state.counters["data_MB"] = dataMb;
    state.counters["peak_per_data"] = peakMb / dataMb;
}

void RunLoader(benchmark::State& state, CDLBase& loader)
{
    double peak = 0;
    for (auto _ : state) {
        peak = std::max(peak, PeakGrowthMb([&] {
            LoaderRow rows;
            if (!loader.LoadRows(1, kRows, rows) || rows.RowCount() != kRows)
                state.SkipWithError(qPrintable(loader.GetLastError()));
            benchmark::DoNotOptimize(rows);
        }));
    }
    SetCounters(state, peak);
}

const QStringList kFields{"Id", "Name", "Amount", "Code", "Day"};

void BM_LoadCsv(benchmark::State& state)
{
    CTextDS ds;
    ds.m_strPath = Data().csv;
    ds.m_selectedFields = kFields;
    CTextDL loader;
    loader.SetDataSource(&ds);
    RunLoader(state, loader);
}

void BM_LoadSQLite(benchmark::State& state)
{
    CSQLiteDS ds;
    ds.m_strPath = Data().sqlite;
    ds.m_strTable = "bench_rows";
    ds.m_selectedFields = kFields;
    CSQLiteDL loader;
    loader.SetDataSource(&ds);
    RunLoader(state, loader);
}

void BM_LoadPostgreSQL(benchmark::State& state)
{
    if (!Data().havePg) {
        state.SkipWithError("no PostgreSQL: run scripts/dbservers.sh start and source its env file");
        return;
    }
    CPostgreSQLDS ds;
    ds.m_strHost = EncryptString(Data().pg.host);
    ds.m_nPort = Data().pg.port;
    ds.m_strDatabase = EncryptString(Data().pg.database);
    ds.m_strUser = EncryptString(Data().pg.user);
    ds.m_strPassword = EncryptString(Data().pg.password);
    ds.m_strTable = "bench_rows";
    ds.m_selectedFields = kFields;
    CPostgreSQLDL loader;
    loader.SetDataSource(&ds);
    RunLoader(state, loader);
}

// Runs a program with its output to /dev/null; its peak resident set in MB and
// the processor time it used in ms.
double RunTool(const std::vector<std::string>& args, const std::vector<std::string>& env, double& cpuMs)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        for (const std::string& e : env)
            putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss / 1024.0 : -1;
}

void RunToolBenchmark(benchmark::State& state, const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {})
{
    double peak = 0;
    double cpuMs = 0;
    double totalCpuMs = 0;
    for (auto _ : state) {
        peak = RunTool(args, env, cpuMs);
        totalCpuMs += cpuMs;
        if (peak < 0)
            state.SkipWithError(("failed: " + args[0]).c_str());
    }
    SetCounters(state, peak);
    state.counters["tool_cpu_ms"] = totalCpuMs / std::max<double>(1, state.iterations());
}

void BM_Sqlite3Program(benchmark::State& state)
{
    RunToolBenchmark(state, {"sqlite3", "-readonly", Data().sqlite.toStdString(),
                             std::string(kSelect) + " limit 1000000 offset 0"});
}

void BM_PsqlProgram(benchmark::State& state)
{
    if (!Data().havePg) {
        state.SkipWithError("no PostgreSQL: run scripts/dbservers.sh start and source its env file");
        return;
    }
    const DbServerSettings& pg = Data().pg;
    RunToolBenchmark(state,
                     {"psql", "-X", "-q", "-A", "-t", "-h", pg.host.toStdString(), "-p", std::to_string(pg.port), "-U",
                      pg.user.toStdString(), "-d", pg.database.toStdString(), "-c",
                      "select \"Id\", \"Name\", \"Amount\", \"Code\", \"Day\" from \"bench_rows\" limit 1000000 "
                      "offset 0"},
                     {"PGPASSWORD=" + pg.password.toStdString()});
}

} // namespace

BENCHMARK(BM_LoadCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoadSQLite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Sqlite3Program)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoadPostgreSQL)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PsqlProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
