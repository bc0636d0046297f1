// A preview whose walk was given back while it idled, and then run again after another client
// laid the table's rows out anew (CLUSTER), or moved some of them (an UPDATE that changes no
// value the label shows), meets the rows that tie in the order in another order. Every record
// still shows exactly once, the pages shown before as they were, and each page holds records of
// the order's values where print has them; a shown row whose value really changed is told.
#include "DbTestEnv.h"
#include "PgServerObjects.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/db/DbWait.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int kTiePage = 25;
constexpr char kTieSessionName[] = "vc_ties_given_back";
const QString kTieSourceName = QStringLiteral("分组");

// A PostgreSQL table (id, grp = id % groups, name) of the test's own, dropped when it ends. Each
// name is padded to `width` characters: a small table's result then outgrows what the sockets
// hold, and a walk that streams it is still under way after page 2.
class TieTable
{
public:
    TieTable(const DbServerSettings& server, int rows, int groups, int width)
        : m_objects(server,
            QStringLiteral("create table vc_ties_%1 (id int primary key, grp int, name text); insert into vc_ties_%1 "
                           "select i, i % GROUPS, rpad('name' || i, WIDTH, '.') from generate_series(1, ROWS) i; "
                           "analyze vc_ties_%1")
                .replace(QStringLiteral("GROUPS"), QString::number(groups))
                .replace(QStringLiteral("WIDTH"), QString::number(width))
                .replace(QStringLiteral("ROWS"), QString::number(rows)),
            QStringLiteral("drop table if exists vc_ties_%1"))
    {
    }

    QString Name() const { return m_objects.Named("vc_ties_%1"); }
    const QString& Error() const { return m_objects.Error(); }

private:
    ServerObjects m_objects;
};

// The label's source: the table sorted by grp alone, or the statement that reads it so.
std::unique_ptr<CDSBase> TieSource(const DbServerSettings& s, bool odbc, bool statement, const QString& table)
{
    std::unique_ptr<CDSBase> ds = ServerSource(s, true, odbc);
    ds->m_strName = kTieSourceName;
    ds->m_selectedFields = QStringList {"id", "grp", "name"};
    if (statement) {
        ds->m_nRangeMode = RangeSQL;
        ds->m_strSQL = QStringLiteral("select id, grp, name from %1 order by grp").arg(table);
    } else {
        ds->m_strTable = table;
        ds->m_strSortField = QStringLiteral("grp");
    }
    return ds;
}

// Records first..last (1-based) as "id|grp|name", the name cut to what tells it apart from the
// others, read in calls of `pages` pages.
bool TiePages(CDLBase& loader, int firstPage, int lastPage, QStringList& records, int pages = 1)
{
    LoaderRow rows;
    for (int page = firstPage; page <= lastPage; page += pages) {
        if (!loader.LoadPages(page, kTiePage, std::min(pages, lastPage - page + 1), rows))
            return false;
        for (int r = 0; r < rows.RowCount(); ++r)
            records.append(rows.Value(r, 0) + u'|' + rows.Value(r, 1) + u'|' + rows.Value(r, 2).left(16));
    }
    return true;
}

QString GroupOf(const QString& record)
{
    return record.section(u'|', 1, 1);
}

// Empty when the preview's records are every printed record exactly once, each page holding the
// same values of the order as print's page; else what differs.
QString SamePagesAsPrint(const QStringList& shown, const QStringList& printed)
{
    if (shown.size() != printed.size())
        return QStringLiteral("%1 records shown, %2 printed").arg(shown.size()).arg(printed.size());
    for (qsizetype start = 0; start < shown.size(); start += kTiePage) {
        QStringList shownGroups;
        QStringList printedGroups;
        for (qsizetype r = start; r < std::min(start + kTiePage, shown.size()); ++r) {
            shownGroups.append(GroupOf(shown[r]));
            printedGroups.append(GroupOf(printed[r]));
        }
        if (shownGroups != printedGroups)
            return QStringLiteral("page %1 shows %2, print %3")
                .arg(start / kTiePage + 1)
                .arg(shownGroups.join(u','), printedGroups.join(u','));
    }
    QStringList sortedShown = shown;
    QStringList sortedPrinted = printed;
    sortedShown.sort();
    sortedPrinted.sort();
    for (qsizetype r = 0; r < sortedShown.size(); ++r)
        if (sortedShown[r] != sortedPrinted[r])
            return QStringLiteral("%1 shown where print has %2")
                .arg(sortedShown[r].section(u'|', 0, 1), sortedPrinted[r].section(u'|', 0, 1));
    return {};
}

// Has the preview's walk given back at once past its idle bound, and waits (a minute at most)
// until the server shows nothing of it held.
QString GiveTheWalkBack(const DbServerSettings& s)
{
    const ScopedDbLimits bound([](DbLimits& limits) {
        limits.watchMs = 200;
        limits.walkIdleMs = 200;
        limits.standbyIdleMs = 200;
    });
    QElapsedTimer watchdog;
    watchdog.start();
    QString held = HeldBySessions(s, kTieSessionName);
    while (held != u"0" && watchdog.elapsed() < 60000) {
        QThread::msleep(100);
        held = HeldBySessions(s, kTieSessionName);
    }
    return held;
}

// Ways the tied rows come in another order once the walk runs again, each the table's own.
QString Reordered(const QString& how, const QString& table)
{
    if (how == u"cluster")
        return QStringLiteral("alter table %1 add column extra int; create index %1_back on %1 (id desc); "
                              "cluster %1 using %1_back")
            .arg(table);
    return QStringLiteral("update %1 set name = name where grp = 0").arg(table);
}

struct TieCase
{
    DbServerSettings reached;
    bool odbc;
    bool statement;
    int rows;
    int width; // of each name
    QString reorder; // "cluster", "update", or "changed" for the control
    bool standby = false; // reached is a standby of the server, which replays what it writes
};

// Waits (a minute at most) until the standby has replayed all that the primary wrote so far.
QString ReplayedOn(const DbServerSettings& primary, const DbServerSettings& standby)
{
    const QString written = ReadOnTestServer(primary, true, QStringLiteral("select pg_current_wal_lsn()"));
    const QString ask = QStringLiteral("select pg_last_wal_replay_lsn() >= '%1'::pg_lsn").arg(written);
    QElapsedTimer watchdog;
    watchdog.start();
    QString replayed = ReadOnTestServer(standby, true, ask);
    while (replayed != u"t" && watchdog.elapsed() < 60000) {
        QThread::msleep(100);
        replayed = ReadOnTestServer(standby, true, ask);
    }
    return replayed;
}

void ExpectEveryRecordOnceAfterAGiveBack(const DbServerSettings& server, const TieCase& c, int groups)
{
    const TieTable table(server, c.rows, groups, c.width);
    ASSERT_EQ(table.Error(), "");
    // Where the preview's sessions are, and what it reads once the server wrote.
    const DbServerSettings& sessions = c.standby ? c.reached : server;
    const auto write = [&](const QString& sql) {
        const QString error = WriteOnTestServer(server, true, sql);
        return !error.isEmpty() || !c.standby ? error : ReplayedOn(server, c.reached) == u"t" ? QString() : "not replayed";
    };
    ASSERT_EQ(write(QStringLiteral("select 1")), "");
    const std::unique_ptr<CDSBase> ds = TieSource(c.reached, c.odbc, c.statement, table.Name());
    const int pages = (c.rows + kTiePage - 1) / kTiePage;
    // Never given back while the test shows pages, unless it asks for it.
    const ScopedDbLimits held([](DbLimits& limits) {
        limits.watchMs = 200;
        limits.walkIdleMs = 600000;
        limits.standbyIdleMs = 600000;
    });
    std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(ds->GetType());
    preview->SetDataSource(ds.get());
    preview->SetBrowsedLoads(true);
    QStringList before;
    ASSERT_TRUE(TiePages(*preview, 1, 2, before)) << preview->GetLastError().toStdString();
    ASSERT_EQ(GiveTheWalkBack(sessions), "0");
    const QString change = c.reorder == u"changed"
        ? QStringLiteral("update %1 set name = name || '*' where id = %2").arg(table.Name(), before[40].section(u'|', 0, 0))
        : Reordered(c.reorder, table.Name());
    ASSERT_EQ(write(change), "");

    const int half = pages / 2;
    const int slice = c.rows > 1000 ? 40 : 1;
    QStringList middle;
    const bool read = TiePages(*preview, 3, half, middle, slice);
    if (c.reorder == u"changed") {
        EXPECT_FALSE(read);
        EXPECT_EQ(preview->GetLastError(),
            QStringLiteral("数据源“分组”的记录在预览期间有了变化，预览将从现在的记录重新开始，请重新翻页。"));
        return;
    }
    ASSERT_TRUE(read) << preview->GetLastError().toStdString();
    // Given back again halfway, and another group's rows moved: the walk runs once more.
    ASSERT_EQ(GiveTheWalkBack(sessions), "0");
    ASSERT_EQ(write(QStringLiteral("update %1 set name = name where grp = 1").arg(table.Name())), "");
    QStringList rest;
    ASSERT_TRUE(TiePages(*preview, half + 1, pages, rest, slice)) << preview->GetLastError().toStdString();
    // The pages shown before each run again show as they were.
    QStringList again;
    ASSERT_TRUE(TiePages(*preview, 1, 2, again)) << preview->GetLastError().toStdString();
    EXPECT_EQ(again, before);
    QStringList middleAgain;
    ASSERT_TRUE(TiePages(*preview, 3, half, middleAgain, slice)) << preview->GetLastError().toStdString();
    EXPECT_EQ(middleAgain, middle);
    preview.reset();

    std::unique_ptr<CDLBase> print = CDLBase::CreateLoader(ds->GetType());
    print->SetDataSource(ds.get());
    print->SetSequentialLoads(true);
    QStringList printed;
    ASSERT_TRUE(TiePages(*print, 1, pages, printed, slice)) << print->GetLastError().toStdString();
    EXPECT_EQ(SamePagesAsPrint(before + middle + rest, printed), "");
}

std::vector<std::pair<std::string, DbServerSettings>> TieRoutes(const DbServerSettings& server)
{
    std::vector<std::pair<std::string, DbServerSettings>> routes;
    for (const auto& [name, reached] : DirectAndPooledRoutes(server))
        routes.emplace_back(name, reached);
    return routes;
}

} // namespace

// 200 rows in three groups: on the seeking walk (PostgreSQL reached itself) and the kept one
// (through PgBouncer), both clients, the table sorted and the statement, ties reordered by
// CLUSTER and by an UPDATE of a column the order does not name; the control changes a shown row.
TEST(BrowsedTiesGivenBack, EveryRecordShowsOnceOnPrintsPageAfterTiesComeInAnotherOrder)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kTieSessionName);
    if (TieRoutes(server).size() < 2 && qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    for (const auto& [route, reached] : TieRoutes(server)) {
        for (const bool odbc : {false, true}) {
            for (const bool statement : {true, false}) {
                for (const char* reorder : {"cluster", "update", "changed"}) {
                    if (!statement && QByteArray(reorder) == "changed")
                        continue;
                    SCOPED_TRACE(route + (odbc ? ", psqlODBC" : ", libpq") + (statement ? ", statement" : ", table")
                        + ", " + reorder);
                    // Through the pooler a walk streams the statement by itself: 40 MB of rows, more than
                    // the sockets hold, keep it under way while the preview idles.
                    const int width = route == "direct" ? 8 : 200000;
                    ExpectEveryRecordOnceAfterAGiveBack(
                        server, {reached, odbc, statement, 200, width, QString::fromLatin1(reorder)}, 3);
                }
            }
        }
    }
}

// 100,000 rows in seven groups, the shown rows thousands of places away from theirs in the run
// again: the seeking walk of PostgreSQL's own client.
TEST(BrowsedTiesGivenBack, EveryRecordShowsOnceOverAHundredThousandRows)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kTieSessionName);
    ExpectEveryRecordOnceAfterAGiveBack(server, {server, false, true, 100000, 8, QStringLiteral("cluster")}, 7);
}

// A reporting login's standby, which gives the walk back after a few seconds' idling: the primary's
// UPDATE that moves tied rows, replayed there, leaves every record once; a changed row is told.
TEST(BrowsedTiesGivenBack, EveryRecordShowsOnceOnAStandbyAfterThePrimaryMovedTiedRows)
{
    VC_TEST_SERVER(primary, "VC_PG");
    VC_TEST_SERVER(standby, "VC_PGS");
    const TestSessionName named(kTieSessionName);
    for (const bool odbc : {false, true}) {
        for (const char* reorder : {"update", "changed"}) {
            SCOPED_TRACE(std::string(odbc ? "psqlODBC, " : "libpq, ") + reorder);
            TieCase c {standby, odbc, true, 200, 8, QString::fromLatin1(reorder)};
            c.standby = true;
            ExpectEveryRecordOnceAfterAGiveBack(primary, c, 3);
        }
    }
}
