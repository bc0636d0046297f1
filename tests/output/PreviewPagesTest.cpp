// A preview job's pages of a server source whose order has ties hold the labels a print
// job prints, page for page, also when the preview turns back and jumps ahead.
#include "DbTestEnv.h"
#include "OutputSupport.h"

#include "model/DSBase.h"
#include "output/PrintHandler.h"

#include <gtest/gtest.h>

namespace {

constexpr int kShownPerPage = 25;

// The text each label of the pages shows, page after page, from a job of the mode given.
QStringList JobPages(CLabelData& label, int mode, const std::vector<int>& pages)
{
    CPrintHandler job;
    job.SetMode(mode);
    job.SetLabelData(&label);
    job.Prepare();
    EXPECT_EQ(job.GetPageCount(), kTiedRecords / kShownPerPage);
    QStringList texts;
    for (const int page : pages) {
        for (const PreviewCell& cell : PreviewPage(job, page))
            texts.append(cell.text);
    }
    return texts;
}

void ExpectPreviewJobShowsWhatPrints(std::unique_ptr<CHostPortDS> source, const DbServerSettings& server)
{
    StoreLogin(*source, server);
    source->m_strName = QStringLiteral("S");
    source->m_nRangeMode = RangeSQL;
    source->m_strSQL = QStringLiteral("select id, made from vc_shown_items order by made");
    source->m_selectedFields = QStringList {"id", "made"};
    auto label = MakeGridLabel(1, kShownPerPage);
    label->m_dataSources.push_back(std::move(source));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("S"), QStringLiteral("id")));
    AddText(*label, QStringLiteral("T"), std::move(bands));

    std::vector<int> every;
    for (int page = 1; page <= kTiedRecords / kShownPerPage; ++page)
        every.push_back(page);
    const QStringList printed = JobPages(*label, CPrintHandler::ModePrint, every);
    ASSERT_EQ(printed.size(), kTiedRecords);
    QStringList once = printed;
    once.removeDuplicates();
    EXPECT_EQ(once.size(), kTiedRecords);
    EXPECT_EQ(JobPages(*label, CPrintHandler::ModePreview, every), printed);

    const std::vector<int> jumps {60, 2, 80, 1, 33};
    QStringList expected;
    for (const int page : jumps)
        expected += printed.mid((page - 1) * kShownPerPage, kShownPerPage);
    EXPECT_EQ(JobPages(*label, CPrintHandler::ModePreview, jumps), expected);
}

} // namespace

TEST(PreviewPages, ATiedOrderShowsWhatPrintsOnPostgreSQLAndMariaDB)
{
    VC_TEST_SERVER(pg, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    ASSERT_EQ(WriteTiedTables(pg, true, QStringLiteral("vc_shown")), "");
    ASSERT_EQ(WriteTiedTables(my, false, QStringLiteral("vc_shown")), "");
    {
        SCOPED_TRACE("PostgreSQL");
        ExpectPreviewJobShowsWhatPrints(std::make_unique<CPostgreSQLDS>(), pg);
    }
    {
        SCOPED_TRACE("MariaDB");
        ExpectPreviewJobShowsWhatPrints(std::make_unique<CMySQLDS>(), my);
    }
}
