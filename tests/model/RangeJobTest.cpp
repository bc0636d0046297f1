// A job of a range of records sorted by a field with ties (2,000 records over 10 dates): print,
// whose one-page job reads its records in one statement, prints the records the preview shows,
// in its order, on every server route.
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"

#include <gtest/gtest.h>

namespace {

constexpr int kRangePage = 25;

// The records of the range's first pages as "id|made" texts, read as print (sequential) or as
// the preview (browsed) reads them, each by a loader of its own.
QStringList RangePages(const CDSBase& ds, bool print, int pages)
{
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
    loader->SetDataSource(&ds);
    loader->SetSequentialLoads(print);
    loader->SetBrowsedLoads(!print);
    QStringList records;
    EXPECT_EQ(loader->GetRecordCount(), static_cast<int>(ds.m_nTo - ds.m_nFrom + 1));
    LoaderRow rows;
    for (int page = 1; page <= pages; ++page) {
        EXPECT_TRUE(loader->LoadPage(page, kRangePage, rows)) << loader->GetLastError().toStdString();
        for (int r = 0; r < rows.RowCount(); ++r)
            records.append(rows.Row(r).join(u'|'));
    }
    return records;
}

// Ranges inside a tie of 200 records, from its start and from within: one page (print reads it
// in one statement) and two (print walks).
void ExpectRangesPrintWhatThePreviewShows(std::unique_ptr<CDSBase> ds)
{
    ds->m_strTable = QStringLiteral("vc_range_items");
    ds->m_strSortField = QStringLiteral("made");
    ds->m_selectedFields = QStringList {"id", "made"};
    ds->m_nRangeMode = RangeFromTo;
    for (const int from : {1, 41}) {
        for (const int pages : {1, 2}) {
            SCOPED_TRACE(testing::Message() << "from " << from << ", " << pages << " page(s)");
            ds->m_nFrom = from;
            ds->m_nTo = from + pages * kRangePage - 1;
            const QStringList printed = RangePages(*ds, true, pages);
            ASSERT_EQ(printed.size(), pages * kRangePage);
            QStringList once = printed;
            once.removeDuplicates();
            EXPECT_EQ(once.size(), printed.size());
            EXPECT_EQ(RangePages(*ds, false, pages), printed);
        }
    }
}

} // namespace

TEST(RangeJob, PostgreSQLPrintsWhatThePreviewShowsOnEachRoute)
{
    VC_TEST_SERVER(server, "VC_PG");
    ASSERT_EQ(WriteTiedTables(server, true, QStringLiteral("vc_range")), "");
    for (const auto& [route, settings] : DirectAndPooledRoutes(server)) {
        for (const bool odbc : {false, true}) {
            SCOPED_TRACE(testing::Message() << route << (odbc ? ", ODBC" : ", libpq"));
            ExpectRangesPrintWhatThePreviewShows(ServerSource(settings, true, odbc));
        }
    }
}

TEST(RangeJob, MariaDBPrintsWhatThePreviewShowsThroughItsClientAndAnOdbcString)
{
    VC_TEST_SERVER(server, "VC_MY");
    ASSERT_EQ(WriteTiedTables(server, false, QStringLiteral("vc_range")), "");
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "ODBC string" : "client");
        ExpectRangesPrintWhatThePreviewShows(ServerSource(server, false, odbc));
    }
}
