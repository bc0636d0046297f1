// A print job's walk over 10,500 rows of an SQLite file through the loader, pages of
// 100, with a 37-character statement and with a 10,000-character one that returns the
// same rows (constant terms with quotes, semicolons and parentheses in their texts, and
// a long comment). The statement is judged once, not on every page, so the two cost about the
// same. Counters: CPU milliseconds of each job (every thread of the process: the
// connection runs on a worker), their ratio (long over short; the target
// is within 1.05), and the microseconds of judging the long text afresh.
#include "CpuTime.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/SqlStatementCheck.h"
#include "model/SqlStatements.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

constexpr int kCheckRows = 10500;
constexpr int kCheckPageSize = 100;

struct CheckBenchData
{
    QTemporaryDir dir;
    QString path;
    QString shortSql = QStringLiteral("select Id, Name, Code from check_rows");
    QString longSql;
};

CheckBenchData& CheckData()
{
    static CheckBenchData* data = [] {
        auto* d = new CheckBenchData;
        d->path = d->dir.filePath("check.db");
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(d->path).constData(), &db);
        sqlite3_exec(db,
            "create table check_rows (Id integer, Name text, Code text);"
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 10500)"
            " insert into check_rows select i, 'name' || i, printf('C%07d', i) from n;",
            nullptr, nullptr, nullptr);
        sqlite3_close(db);
        // A few constant terms (SQLite compares each constant with every earlier one
        // when it compiles, which would weigh on the job whatever the check costs) and a
        // long comment of what would be refused outside one.
        d->longSql = d->shortSql + QStringLiteral(" where 1 = 1");
        for (int i = 0; i < 20; ++i)
            d->longSql += QStringLiteral("\n  and 'k;%1' <> 'v)%1'").arg(i);
        d->longSql += QStringLiteral("\n/* every row;");
        for (int i = 0; d->longSql.size() < 9997; ++i)
            d->longSql += QStringLiteral(" it's row %1 ) ; lo_export(%1)").arg(i);
        d->longSql += QStringLiteral(" */");
        return d;
    }();
    return *data;
}

// Every row of one job, page after page, as text; false when a load fails.
bool WalkCheckRows(const QString& sql, QStringList* all, qint64& count)
{
    CSQLiteDS ds;
    ds.m_strPath = CheckData().path;
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = sql;
    ds.m_selectedFields = QStringList {"Id", "Name", "Code"};
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSSQLite);
    loader->SetDataSource(&ds);
    loader->SetSequentialLoads(true);
    LoaderRow rows;
    count = 0;
    for (int page = 1;; ++page) {
        if (!loader->LoadPage(page, kCheckPageSize, rows))
            return false;
        if (rows.RowCount() == 0)
            return true;
        count += rows.RowCount();
        for (int r = 0; all && r < rows.RowCount(); ++r)
            all->append(rows.Row(r).join(u'|'));
    }
}

void BM_LongStatementPrintJob(benchmark::State& state)
{
    const CheckBenchData& data = CheckData();
    QStringList shortRows;
    QStringList longRows;
    qint64 count = 0;
    if (!WalkCheckRows(data.shortSql, &shortRows, count) || !WalkCheckRows(data.longSql, &longRows, count)
        || shortRows.size() != kCheckRows || shortRows != longRows) {
        state.SkipWithError("the two statements do not give the same rows");
        return;
    }
    double shortSeconds = 0;
    double longSeconds = 0;
    for (auto _ : state) {
        const double start = ProcessCpuSeconds();
        WalkCheckRows(data.shortSql, nullptr, count);
        const double middle = ProcessCpuSeconds();
        WalkCheckRows(data.longSql, nullptr, count);
        shortSeconds += middle - start;
        longSeconds += ProcessCpuSeconds() - middle;
        benchmark::DoNotOptimize(count);
    }
    // Judging the long text once, as an SQLite source's first page with a new statement does.
    const int judged = 20;
    const double judgeStart = ProcessCpuSeconds();
    for (int i = 0; i < judged; ++i)
        benchmark::DoNotOptimize(SqlStatementRefusal(
            data.longSql + QStringLiteral(" -- %1").arg(state.iterations() * judged + i), {SqlServerKind::SQLite, {}, {}, {}}));
    const double judgeSeconds = (ProcessCpuSeconds() - judgeStart) / judged;
    const double n = double(state.iterations());
    state.counters["short ms"] = shortSeconds / n * 1000;
    state.counters["long ms"] = longSeconds / n * 1000;
    state.counters["cpu ratio"] = shortSeconds > 0 ? longSeconds / shortSeconds : 0.0;
    state.counters["judge long us"] = judgeSeconds * 1e6;
    state.counters["long chars"] = double(data.longSql.size());
}
BENCHMARK(BM_LongStatementPrintJob)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// "select 1" closed by 262,136 semicolons (256 KB): judged afresh for every server and
// wrapped as the preview's statements. Checked to read as "select 1" does first.
void BM_ClosingSemicolons(benchmark::State& state)
{
    const QString closed = QStringLiteral("select 1") + QString(262136, u';');
    CPostgreSQLDS ds;
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = QStringLiteral("select 1");
    const CSqlStatements pg(DSPostgreSQL);
    const QString rows = pg.Rows(ds, 1, 10);
    const QString count = pg.Count(ds);
    ds.m_strSQL = closed;
    if (pg.Rows(ds, 1, 10) != rows || pg.Count(ds) != count || !SqlStatementRefusal(closed).isEmpty()) {
        state.SkipWithError("the closed statement does not read as select 1");
        return;
    }
    qint64 round = 0;
    for (auto _ : state) {
        // A blank after a new number of them: a text not judged before.
        ds.m_strSQL = closed + QString(int(++round % 1000), u' ') + u';';
        benchmark::DoNotOptimize(SqlStatementRefusal(ds.m_strSQL));
        benchmark::DoNotOptimize(pg.Rows(ds, 1, 10));
        benchmark::DoNotOptimize(pg.Count(ds));
    }
    state.counters["chars"] = double(closed.size());
}
BENCHMARK(BM_ClosingSemicolons)->Unit(benchmark::kMillisecond);

// A statement of kilobytes given as the argument, made of what real statements hold (qualified
// and quoted names, calls, literals with doubled quotes, comments, Chinese names), judged afresh
// for an unknown server (every reading) and read for its names. Counters: milliseconds per MB
// of each; the peak memory per byte is read from outside (the process's peak with one size
// against another). Checked to be accepted first: a refusal would stop the reading early.
QString OrdinaryStatementOfSize(qsizetype bytes)
{
    QString sql = QStringLiteral("select o.id, o.\"名称\", c.code");
    for (qsizetype size = 0, i = 0; size < bytes - 200; ++i) {
        const QString term
            = QStringLiteral("\n  , case when o.qty_%1 > %1 then lower(c.\"客户 %1\") else 'it''s %1' end as v%1"
                             " -- 第 %1 列\n  , coalesce(sum(o.price) over (partition by c.id), 0.5) /* x */ as s%1")
                  .arg(i);
        size += term.toUtf8().size();
        sql += term;
    }
    return sql + QStringLiteral("\nfrom orders o join customers c on c.id = o.customer_id where o.note <> '北京'");
}

// Judges sql afresh each round, for an unknown server (every reading), and reads its names.
// Counters: milliseconds per MB of each, and the text's bytes.
void JudgeAfresh(benchmark::State& state, const QString& sql)
{
    double judgeSeconds = 0;
    double namesSeconds = 0;
    qint64 round = 0;
    for (auto _ : state) {
        // A blank after a new number of them: a text not judged before.
        const QString fresh = sql + QString(int(++round % 100), u' ');
        const double start = ThreadCpuSeconds();
        benchmark::DoNotOptimize(SqlStatementRefusal(fresh));
        const double middle = ThreadCpuSeconds();
        benchmark::DoNotOptimize(SqlNamesOf(fresh));
        judgeSeconds += middle - start;
        namesSeconds += ThreadCpuSeconds() - middle;
    }
    const double megabytes = double(sql.toUtf8().size()) / (1024 * 1024) * double(state.iterations());
    state.counters["judge ms/MB"] = judgeSeconds * 1000 / megabytes;
    state.counters["names ms/MB"] = namesSeconds * 1000 / megabytes;
    state.counters["bytes"] = double(sql.toUtf8().size());
}

void BM_MegabyteStatement(benchmark::State& state)
{
    const QString sql = OrdinaryStatementOfSize(qsizetype(state.range(0)) * 1024);
    if (!SqlStatementRefusal(sql).isEmpty() || SqlNamesOf(sql).names.isEmpty()) {
        state.SkipWithError("the statement is not read as an ordinary one");
        return;
    }
    JudgeAfresh(state, sql);
}
BENCHMARK(BM_MegabyteStatement)->Arg(1000)->Unit(benchmark::kMillisecond);

// Statements of the kilobytes given, shaped as the checks once read in the square of their
// length: a literal of refused names each followed by a comment that never ends (0), calls of
// ts_rewrite nested as deep as the text allows (1), one line with no blank (2). Judged afresh for
// an unknown server and read for names (JudgeAfresh); milliseconds per MB stay flat as the size
// grows when the checks are linear.
void BM_SlowShapedStatement(benchmark::State& state)
{
    const qsizetype bytes = qsizetype(state.range(1)) * 1024;
    QString sql = QStringLiteral("select ");
    if (state.range(0) == 1) {
        int depth = 0;
        while (sql.size() < bytes / 2 - 64) {
            sql += QStringLiteral("ts_rewrite(");
            ++depth;
        }
        sql += QStringLiteral("'a'") + QString(depth, u')') + QStringLiteral(" as a");
    } else {
        const QString part = state.range(0) == 0 ? QStringLiteral("ts_stat/*''") : QStringLiteral("abcdefghij");
        sql += u'\'';
        while (sql.size() < bytes - 64)
            sql += part;
        sql += QStringLiteral("' as a");
    }
    JudgeAfresh(state, sql);
}
BENCHMARK(BM_SlowShapedStatement)
    ->ArgsProduct({{0, 1, 2}, {250, 1000}})
    ->Unit(benchmark::kMillisecond);

} // namespace
