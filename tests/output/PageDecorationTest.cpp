// Page header and page number: texts, fonts and where they sit on the page.
#include "OutputSupport.h"
#include "TestSupport.h"

#include "model/DocWriter.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/Drawing.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CTextGraph* FindItem(const CPrintHandler& job, const QString& name)
{
    for (CBaseGraph* item : job.GetPageItems()) {
        if (item->m_strName == name)
            return static_cast<CTextGraph*>(item);
    }
    return nullptr;
}

struct PageJob
{
    std::unique_ptr<CLabelData> label = MakeGridLabel(1, 1);
    CPrintHandler job;

    PageJob()
    {
        label->m_nPrintCount = 5;
        job.SetMode(CPrintHandler::ModePreview);
        job.SetLabelData(label.get());
    }
    void Run(int page = 1)
    {
        job.Prepare();
        PreviewPage(job, page);
    }
};

} // namespace

TEST(PageNumber, TextByStyleNumberingAndAffixes)
{
    PageJob p;
    p.label->m_bPageNumber = true;
    p.label->m_strNumberPrefix = "P";
    p.label->m_strNumberSuffix = "页";
    p.job.Prepare();
    p.job.m_nFirstPrintedPage = 3;
    EXPECT_EQ(p.job.FormatPageNumber(3), "P3页");
    p.label->m_nNumberRange = 1;
    EXPECT_EQ(p.job.FormatPageNumber(3), "P1页");
    p.label->m_nNumberStyle = 1;
    p.label->m_strNumberPrefix.clear();
    p.label->m_strNumberSuffix.clear();
    EXPECT_EQ(p.job.FormatPageNumber(4), "- 2 -");
}

TEST(PageNumber, OwnFontAndPlacementOnEachEdge)
{
    struct Case
    {
        int position, align;
    };
    for (const Case c : {Case{0, 1}, Case{1, 2}, Case{2, 0}, Case{3, 0}, Case{3, 1}, Case{3, 2}}) {
        PageJob p;
        p.label->m_bPageNumber = true;
        p.label->m_fHeaderFontSize = 40.0f;
        p.label->m_fNumberFontSize = 10.0f;
        p.label->m_nNumberFontStyle = FontStyleBold;
        p.label->m_nNumberPosition = c.position;
        p.label->m_nNumberAlign = c.align;
        p.label->m_fNumberVertMargin = 4.0f;
        p.label->m_fNumberHorzMargin = 7.0f;
        p.Run(2);
        const CTextGraph* number = FindItem(p.job, "_PageNo");
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->m_strText, "2");
        EXPECT_FLOAT_EQ(number->m_fFontSize, 10.0f);
        EXPECT_TRUE(number->m_bBold);
        const QSizeF size = MeasureText(number->MakeTextFont(), "2");
        const double w = size.width(), h = size.height();
        // The box as it lies on the page, turned about its anchor.
        QTransform turn;
        const QPointF anchor = number->GetAnchorPoint();
        turn.translate(anchor.x(), anchor.y()).rotate(number->m_fAngle).translate(-anchor.x(), -anchor.y());
        const QRectF onPage = turn.mapRect(QRectF(number->m_fX, number->m_fY, number->m_fWidth, number->m_fHeight));
        const std::string where = "position " + std::to_string(c.position) + " align " + std::to_string(c.align);
        switch (c.position) {
        case 0:
            EXPECT_NEAR(onPage.bottom(), 297.0 - 4.0, 1e-3) << where;
            EXPECT_NEAR(onPage.center().x(), 105.0, 1e-3) << where;
            break;
        case 1:
            EXPECT_NEAR(onPage.top(), 4.0, 1e-3) << where;
            EXPECT_NEAR(onPage.right(), 210.0 - 7.0, 1e-3) << where;
            break;
        case 2:
            EXPECT_NEAR(onPage.left(), 4.0, 1e-3) << where;
            EXPECT_NEAR(onPage.top(), 7.0, 1e-3) << where;
            EXPECT_NEAR(onPage.height(), w, 1e-3) << where;
            break;
        default:
            EXPECT_NEAR(onPage.right(), 210.0 - 4.0, 1e-3) << where;
            EXPECT_NEAR(onPage.width(), h, 1e-3) << where;
            if (c.align == 0)
                EXPECT_NEAR(onPage.top(), 7.0, 1e-3) << where;
            else if (c.align == 1)
                EXPECT_NEAR(onPage.center().y(), 297.0 / 2, 1e-3) << where;
            else
                EXPECT_NEAR(onPage.bottom(), 297.0 - 7.0, 1e-3) << where;
        }
    }
}

TEST(PageHeader, TextObjectAndFileHeaders)
{
    PageJob text;
    text.label->m_bPageHeader = true;
    text.label->m_strHeaderText = "Batch A";
    text.label->m_nHeaderPosition = 1;
    text.label->m_nHeaderAlign = 2;
    text.label->m_bLandscape = true;
    text.Run();
    const CTextGraph* header = FindItem(text.job, "_PageHeaderText");
    ASSERT_NE(header, nullptr);
    EXPECT_NEAR(header->m_fX + header->m_fWidth, 297.0 - 5.0, 1e-3) << "landscape pages are 297 wide";
    EXPECT_NEAR(header->m_fY + header->m_fHeight, 210.0 - 5.0, 1e-3);

    // A label object borrowed as header: placed for the job, back after it, and not
    // drawn in the labels.
    auto label = MakeGridLabel(1, 1);
    auto logo = std::make_unique<CRectangleGraph>();
    logo->m_strName = "Logo";
    logo->m_fX = 3;
    logo->m_fY = 4;
    logo->m_fWidth = 50;
    CBaseGraph& logoRef = *logo;
    label->m_objects.push_back(std::move(logo));
    label->m_bPageHeader = true;
    label->m_nHeaderKind = 1;
    label->m_strHeaderObjectName = "Logo";
    label->m_nHeaderAlign = 1;
    {
        CPrintHandler job;
        job.SetMode(CPrintHandler::ModePreview);
        job.SetLabelData(label.get());
        job.Prepare();
        ASSERT_EQ(job.GetPageItems().size(), 1u);
        EXPECT_FLOAT_EQ(logoRef.m_fX, 80.0f);
        EXPECT_FLOAT_EQ(logoRef.m_fY, 5.0f);
        GeneratedLabels items;
        job.DrawPreviewPage(items, 1);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_TRUE(items[0]->m_objects.empty());
    }
    EXPECT_FLOAT_EQ(logoRef.m_fX, 3.0f);
    EXPECT_FLOAT_EQ(logoRef.m_fY, 4.0f);

    // A label file: its objects join the page items; a missing file adds nothing.
    QTemporaryDir dir;
    CLabelData headerLabel;
    auto line = std::make_unique<CLineGraph>();
    line->m_strName = "Rule";
    headerLabel.m_objects.push_back(std::move(line));
    CDocWriterV1_0 writer;
    writer.m_strPath = dir.filePath("header.vmk");
    writer.m_pLabelData = &headerLabel;
    writer.WriteDocument();
    for (const QString& path : {dir.filePath("header.vmk"), dir.filePath("missing.vmk")}) {
        PageJob file;
        file.label->m_bPageHeader = true;
        file.label->m_nHeaderKind = 2;
        file.label->m_strHeaderFilePath = path;
        file.Run();
        const bool exists = path.endsWith("header.vmk");
        ASSERT_EQ(file.job.GetPageItems().size(), exists ? 1u : 0u);
        if (exists) {
            EXPECT_EQ(file.job.GetPageItems()[0]->m_strName, "Rule");
        }
    }
}
