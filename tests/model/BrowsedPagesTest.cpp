// A preview turns the pages of a source whose order has ties (2,000 records over 10 dates,
// and rows equal in every column): page after page, back and far ahead, it shows the records
// print prints, in print's order, each once, on every route and in table mode as well as
// through the source's own statement.
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/Ado.h"
#include "platform/db/DbWait.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr int kTiedPage = 25;

// Each way the records are read and ordered: the source's own statement with ties, table
// mode sorted by a tied field, and a statement over rows alike in every column.
struct TiedReading
{
    const char* what;
    int rangeMode;
    const char* sql;
    const char* table;
    const char* sortField;
    QStringList fields;
};

const TiedReading kTiedReadings[] = {
    {"statement ordered by a date", RangeSQL, "select id, made, name from vc_tied_items order by made", "", "",
        {"id", "made", "name"}},
    {"table sorted by a date", RangeAll, "", "vc_tied_items", "made", {"id", "made", "name"}},
    {"rows alike in every column", RangeSQL, "select made, tag from vc_tied_twins order by made", "", "",
        {"made", "tag"}},
};

void Describe(CDSBase& ds, const TiedReading& reading)
{
    ds.m_nRangeMode = reading.rangeMode;
    ds.m_strSQL = QString::fromLatin1(reading.sql);
    ds.m_strTable = QString::fromLatin1(reading.table);
    ds.m_strSortField = QString::fromLatin1(reading.sortField);
    ds.m_selectedFields = reading.fields;
}

// The records of pages first..last as a list of "value|value" texts.
bool ReadPages(CDLBase& loader, const std::vector<int>& pages, QStringList& records)
{
    records.clear();
    LoaderRow rows;
    for (const int page : pages) {
        if (!loader.LoadPage(page, kTiedPage, rows))
            return false;
        for (int r = 0; r < rows.RowCount(); ++r)
            records.append(rows.Row(r).join(u'|'));
    }
    return true;
}

// What print prints and what the preview shows, page by page and jumping about, are the same
// records in the same order, each once.
void ExpectPreviewShowsWhatPrints(CDSBase& ds)
{
    std::vector<int> every;
    for (int page = 1; page <= kTiedRecords / kTiedPage + 1; ++page)
        every.push_back(page);
    for (const TiedReading& reading : kTiedReadings) {
        SCOPED_TRACE(reading.what);
        Describe(ds, reading);
        std::unique_ptr<CDLBase> print = CDLBase::CreateLoader(ds.GetType());
        print->SetDataSource(&ds);
        print->SetSequentialLoads(true);
        QStringList printed;
        ASSERT_TRUE(ReadPages(*print, every, printed)) << print->GetLastError().toStdString();
        ASSERT_EQ(printed.size(), kTiedRecords);

        std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(ds.GetType());
        preview->SetDataSource(&ds);
        preview->SetBrowsedLoads(true);
        ASSERT_EQ(preview->GetRecordCount(), kTiedRecords);
        QStringList shown;
        ASSERT_TRUE(ReadPages(*preview, every, shown)) << preview->GetLastError().toStdString();
        EXPECT_EQ(shown, printed);
        if (reading.rangeMode == RangeSQL && QByteArray(reading.sql).contains("vc_tied_items")) {
            QStringList ids;
            for (const QString& record : shown)
                ids.append(record.section(u'|', 0, 0));
            ids.removeDuplicates();
            EXPECT_EQ(ids.size(), kTiedRecords);
        }

        // A new preview that jumps far ahead first, then back and on: each page as print has it.
        preview->Close();
        ASSERT_EQ(preview->GetRecordCount(), kTiedRecords);
        const std::vector<int> jumps {57, 3, 80, 1, 40, 81};
        QStringList jumped;
        ASSERT_TRUE(ReadPages(*preview, jumps, jumped)) << preview->GetLastError().toStdString();
        QStringList expected;
        for (const int page : jumps)
            expected += printed.mid((page - 1) * kTiedPage, kTiedPage);
        EXPECT_EQ(jumped, expected);
    }
}

// The server's own source, and a user's ODBC string that reaches it (its login given as the
// string's keys %1 to %5 take it).
void ExpectEachRouteShowsWhatPrints(std::unique_ptr<CHostPortDS> native, const DbServerSettings& server,
    const QString& odbcString)
{
    StoreLogin(*native, server);
    ExpectPreviewShowsWhatPrints(*native);
    CCustomDS odbc;
    odbc.m_strConnectionString = EncryptString(
        odbcString.arg(server.host, QString::number(server.port), server.database, server.user, server.password));
    ExpectPreviewShowsWhatPrints(odbc);
}

} // namespace

TEST(BrowsedPages, PostgreSQLShowsWhatPrintsThroughItsClientAndItsOdbcDriver)
{
    VC_TEST_SERVER(server, "VC_PG");
    ASSERT_EQ(WriteTiedTables(server, true, QStringLiteral("vc_tied")), "");
    ExpectEachRouteShowsWhatPrints(std::make_unique<CPostgreSQLDS>(), server,
        QStringLiteral("Driver={PostgreSQL Unicode};Servername=%1;Port=%2;Database=%3;UID=%4;PWD=%5"));
}

TEST(BrowsedPages, MariaDBShowsWhatPrintsThroughItsClientAndAnOdbcString)
{
    VC_TEST_SERVER(server, "VC_MY");
    ASSERT_EQ(WriteTiedTables(server, false, QStringLiteral("vc_tied")), "");
    ExpectEachRouteShowsWhatPrints(std::make_unique<CMySQLDS>(), server,
        QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;DB=%3;User=%4;Password=%5;Option=3"));
}

TEST(BrowsedPages, SQLiteShowsWhatPrints)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tied.sqlite"));
    ASSERT_TRUE(WriteSQLiteFile(path,
        TiedTablesSql(QStringLiteral("vc_tied"), QStringLiteral("date('2026-01-01', '+' || (i * 7 % 10) || ' days')"),
            QStringLiteral("'item' || i"), QStringLiteral("'tag' || (i * 7 % 10)"))
            .toUtf8()
            .constData()));
    CSQLiteDS ds;
    ds.m_strPath = path;
    ExpectPreviewShowsWhatPrints(ds);
}

TEST(BrowsedPages, PagesPastTheTemporaryStoragesCapAreRefusedNamingTheSource)
{
    VC_TEST_SERVER(server, "VC_MY");
    ASSERT_EQ(WriteTiedTables(server, false, QStringLiteral("vc_tied")), "");
    CMySQLDS ds;
    StoreLogin(ds, server);
    ds.m_strName = QStringLiteral("库存");
    ds.m_nRangeMode = RangeSQL;
    // 4 MB of rows that hardly compress: past the kept rows' 2 MB page cache, the file takes the rest.
    ds.m_strSQL = QStringLiteral("select id, (select group_concat(md5(concat(i.id, '-', s.seq)) separator '') "
                                 "from seq_1_to_60 s) as wide from vc_tied_items i order by made");
    ds.m_selectedFields = QStringList {"id", "wide"};
    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.tempBytes = 1 << 20;
    SetDbLimits(limits);
    std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(DSMySQL);
    preview->SetDataSource(&ds);
    preview->SetBrowsedLoads(true);
    LoaderRow first;
    const bool firstShown = preview->LoadPage(1, kTiedPage, first);
    LoaderRow last;
    const bool lastShown = preview->LoadPage(kTiedRecords / kTiedPage, kTiedPage, last);
    const QString refusal = preview->GetLastError();
    LoaderRow again;
    const bool firstAgain = preview->LoadPage(1, kTiedPage, again);
    SetDbLimits(saved);
    ASSERT_TRUE(firstShown) << preview->GetLastError().toStdString();
    EXPECT_FALSE(lastShown);
    EXPECT_EQ(refusal, QStringLiteral("数据源“库存”预览过的记录超过了临时存储 1 MB 的上限，无法预览后面的记录。"));
    ASSERT_TRUE(firstAgain) << preview->GetLastError().toStdString();
    EXPECT_EQ(again.Row(0), first.Row(0));
}

TEST(BrowsedPages, AWalkTheServerEndedIsReadOnPastTheRowsKept)
{
    VC_TEST_SERVER(server, "VC_MY");
    ASSERT_EQ(WriteTiedTables(server, false, QStringLiteral("vc_tied")), "");
    CMySQLDS ds;
    StoreLogin(ds, server);
    ds.m_nRangeMode = RangeSQL;
    // 40 MB of rows, more than the sockets hold: the statement still runs while the first pages show.
    ds.m_strSQL = QStringLiteral("select id, rpad(name, 20000, '.') as wide from vc_tied_items order by made");
    ds.m_selectedFields = QStringList {"id", "wide"};
    std::vector<int> every;
    for (int page = 1; page <= kTiedRecords / kTiedPage; ++page)
        every.push_back(page);
    std::unique_ptr<CDLBase> print = CDLBase::CreateLoader(DSMySQL);
    print->SetDataSource(&ds);
    print->SetSequentialLoads(true);
    QStringList printed;
    ASSERT_TRUE(ReadPages(*print, every, printed)) << print->GetLastError().toStdString();
    print.reset();

    std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(DSMySQL);
    preview->SetDataSource(&ds);
    preview->SetBrowsedLoads(true);
    QStringList shown;
    ASSERT_TRUE(ReadPages(*preview, {1, 2}, shown)) << preview->GetLastError().toStdString();
    // The server ends the statement, as it does one left waiting past its limit.
    QProcess client;
    client.start(QStringLiteral("mariadb"),
        {"--no-defaults", "-N", "-h", server.host, "-P", QString::number(server.port), "-u", server.user,
            "--password=" + server.password, server.database, "-e",
            "select id from information_schema.processlist where info like 'select id, rpad(name, 20000%'"});
    ASSERT_TRUE(client.waitForFinished(30000));
    const QString thread = QString::fromUtf8(client.readAllStandardOutput()).trimmed();
    ASSERT_FALSE(thread.isEmpty());
    ASSERT_EQ(WriteOnTestServer(server, false, QStringLiteral("kill query %1").arg(thread)), "");
    QStringList rest;
    ASSERT_TRUE(ReadPages(*preview, std::vector<int>(every.begin() + 2, every.end()), rest))
        << preview->GetLastError().toStdString();
    EXPECT_EQ(shown + rest, printed);
}
