// The print preview of a label whose records come through a data source of PostgreSQL's ODBC
// driver registered read-only (ReadOnly=1): the pages typed show their records, through the real
// window, with no message.
#include "DbTestEnv.h"
#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "model/TextGraph.h"
#include "output/ui/PreviewFrame.h"
#include "tests/output/OutputSupport.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The text of the label object "T" on the preview's first label; empty on a page of none.
QString ReadOnlyShownText(const CPreviewFrameView& view)
{
    if (view.m_items.empty())
        return {};
    for (const auto& o : view.m_items.front()->m_objects)
        if (o->m_strName == "T")
            return o->m_strText;
    return {};
}

} // namespace

TEST(PreviewReadOnlySource, TypedPagesShowTheirRecords)
{
    VC_TEST_SERVER(server, "VC_PG");
    const OwnOdbcIni ini(QStringLiteral("[VcPreviewReadOnly]\nDriver=PostgreSQL Unicode\nServername=%1\nPort=%2\n"
                                        "Database=%3\nReadOnly=1\n")
                             .arg(server.host, QString::number(server.port), server.database)
                             .toUtf8());
    for (const bool table : {true, false}) {
        SCOPED_TRACE(table ? "table" : "statement");
        FakeServices services;
        auto label = MakeGridLabel(1, 1);
        label->m_strTitle = QStringLiteral("readonly.vmk");
        auto source = std::make_unique<CCustomDS>();
        source->m_strName = QStringLiteral("人员");
        source->m_strConnectionString
            = EncryptString(QStringLiteral("DSN=VcPreviewReadOnly;UID=%1;PWD=%2").arg(server.user, server.password));
        source->m_strTable = QStringLiteral("People");
        source->m_selectedFields = QStringList {"Id", "Name", "City", "Note"};
        if (!table) {
            source->m_nRangeMode = RangeSQL;
            source->m_strSQL = QStringLiteral("select \"Id\", \"Name\" from \"People\" order by \"Id\" desc");
            source->m_selectedFields = QStringList {"Id", "Name"};
        }
        label->m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("人员"), "Name"));
        AddText(*label, "T", std::move(bands));
        std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
        ASSERT_TRUE(frame) << services.MessageTexts().join("|").toStdString();
        frame->show();
        auto* page = ctl<QLineEdit>(frame.get(), 40514);
        for (const int typed : {100, 37, 2}) {
            QTest::keyClick(page, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(page, QString::number(typed));
            QTest::keyClick(page, Qt::Key_Return);
            EXPECT_EQ(frame->View().m_nCurrentPage, typed);
            EXPECT_EQ(ReadOnlyShownText(frame->View()), QStringLiteral("name%1").arg(table ? typed : 101 - typed));
        }
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
    }
}
