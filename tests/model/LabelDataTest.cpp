#include "DocRoundTrip.h"
#include "TestSupport.h"
#include "model/BaseGraph.h"
#include "model/DSBase.h"
#include "model/DocFormat.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "platform/ScreenDpi.h"

#include <gtest/gtest.h>

TEST(LabelData, NewRecordHasTheDocumentedDefaults)
{
    CLabelData d;
    EXPECT_EQ(d.m_strPaperName, "A4");
    EXPECT_EQ(d.m_fPaperWidth, 210.0f);
    EXPECT_EQ(d.m_fPaperHeight, 297.0f);
    EXPECT_EQ(d.m_fLabelWidth, 90.0f);
    EXPECT_EQ(d.m_fLabelHeight, 50.0f);
    EXPECT_EQ(d.m_nRows, 5);
    EXPECT_EQ(d.m_nColumns, 2);
    EXPECT_EQ(d.m_nShape, ShapeRoundRect);
    EXPECT_EQ(d.m_fCornerRadius, 2.0f);
    EXPECT_EQ(d.m_nResolution, -1);
    EXPECT_EQ(d.m_crBorder, 0xFF000000u);
    EXPECT_EQ(d.m_crBackground, 0x00FFFFFFu);
    EXPECT_TRUE(d.m_bAutoCount);
    EXPECT_TRUE(d.m_bSameDirection);
    EXPECT_EQ(d.m_strHeaderFontName, "Arial");
    EXPECT_EQ(d.m_fNumberFontSize, 8.0f);
    EXPECT_EQ(d.m_nPrintCount, 1);
    EXPECT_EQ(d.m_nCopies, 1);
    EXPECT_EQ(d.m_nPreloadPages, 1);
    EXPECT_EQ(d.m_nReservedCount, 1);
    EXPECT_EQ(d.m_fGridSize, 1.0f);
    EXPECT_EQ(d.m_strFormCaption, QString::fromUtf8("提示对话框"));
    EXPECT_EQ(d.m_nFormWidth, 500);
    EXPECT_EQ(d.m_nFormHeight, 300);
    for (int n : d.m_nReservedTail)
        EXPECT_EQ(n, 0);
    for (float f : d.m_fReservedTail)
        EXPECT_EQ(f, 0.0f);
    EXPECT_TRUE(d.m_objects.empty());
    EXPECT_FALSE(d.m_pImage);
}

TEST(LabelData, ScriptTextsStartAsTheElevenCommentLines)
{
    const char* expected[kScriptEventCount] = {
        "'共用函数与过程", "'打印开始时执行此脚本", "'打印结束时执行此脚本", "'取消打印时执行此脚本",
        "'开始一页时执行此脚本", "'完成一页时执行此脚本", "'开始一个标签时执行此脚本",
        "'结束一个标签时执行此脚本", "'打开窗口数据对话框时执行此脚本",
        "'关闭窗口数据对话框时执行此脚本", "'复制相同的打印时执行此脚本",
    };
    CLabelData d;
    for (int i = 0; i < kScriptEventCount; ++i)
        EXPECT_EQ(d.m_strScripts[i], QString::fromUtf8(expected[i])) << i;
    for (int i = kScriptEventCount; i < kScriptTextCount; ++i)
        EXPECT_TRUE(d.m_strScripts[i].isEmpty()) << i;
    EXPECT_EQ(QString::fromUtf16(g_scriptEvents[ScriptOnIdenticalCopies].procedure), "OnIdenticalCopies");
}

TEST(LabelData, PageWidthInPixelsFollowsPrinterTypeAndFlag)
{
    CLabelData d;
    // Ordinary printer: the paper width.
    EXPECT_FLOAT_EQ(d.GetPageWidthPixels(), static_cast<float>(210.0 * 96 / 25.4));
    // The width flag zeroes it for an ordinary printer only.
    d.m_nPageWidthFlag = 1;
    EXPECT_EQ(d.GetPageWidthPixels(), 0.0f);
    // Label printer: the columns of labels with margins and gaps.
    d.m_nPrinterType = 1;
    d.m_nColumns = 3;
    EXPECT_FLOAT_EQ(d.GetPageWidthPixels(), static_cast<float>((90.0 * 3 + 20.0 + 2 * 5.0) * 96 / 25.4));
    d.m_nColumns = 0;
    EXPECT_FLOAT_EQ(d.GetPageWidthPixels(), static_cast<float>(20.0 * 96 / 25.4));
}

TEST(LabelData, SnappingTruncatesOrRoundsAndIgnoresAZeroGrid)
{
    CLabelData d;
    EXPECT_EQ(d.SnapToGrid(-1.5f), -1.0f);
    EXPECT_EQ(d.SnapToGrid(1.9f), 1.0f);
    EXPECT_EQ(d.SnapPointToGrid(1.6f, -1.6f), std::make_pair(2.0f, -2.0f));
    // Halves go away from zero on both sides.
    EXPECT_EQ(d.SnapPointToGrid(2.5f, -2.5f), std::make_pair(3.0f, -3.0f));
    d.m_fGridSize = 0.5f;
    EXPECT_EQ(d.SnapToGrid(1.7f), 1.5f);
    EXPECT_EQ(d.SnapPointToGrid(1.7f, -0.2f), std::make_pair(1.5f, -0.0f));
    for (float grid : {0.0f, -1.0f}) {
        d.m_fGridSize = grid;
        EXPECT_EQ(d.SnapToGrid(1.7f), 1.7f);
        EXPECT_EQ(d.SnapPointToGrid(1.7f, 2.3f), std::make_pair(1.7f, 2.3f));
    }
}

namespace {
int g_liveObjects = 0;
struct CountedGraph : CBaseGraph
{
    CountedGraph() { ++g_liveObjects; }
    ~CountedGraph() override { --g_liveObjects; }
};
} // namespace

TEST(LabelData, DeleteObjectsAndDestructorFreeEveryObjectOnce)
{
    {
        CLabelData d;
        for (int i = 0; i < 3; ++i)
            d.m_objects.push_back(std::make_unique<CountedGraph>());
        EXPECT_EQ(g_liveObjects, 3);
        d.DeleteObjects();
        EXPECT_EQ(g_liveObjects, 0);
        EXPECT_TRUE(d.m_objects.empty());
        d.m_objects.push_back(std::make_unique<CountedGraph>());
    }
    EXPECT_EQ(g_liveObjects, 0);
}

namespace {

// Gives every settings field of the file its own value, unlike its default.
class SettingsFiller
{
public:
    template <typename T> void operator()(T& v)
    {
        ++m_n;
        if constexpr (std::is_same_v<T, bool>)
            v = !v;
        else if constexpr (std::is_same_v<T, QString>)
            v = QStringLiteral("value %1").arg(m_n);
        else if constexpr (std::is_floating_point_v<T>)
            v = static_cast<T>(m_n) + T(0.5);
        else
            v = static_cast<T>(m_n % 100 + 7);
    }
    void operator()(Colour c) { c.value = 0xFF000000u + static_cast<uint32_t>(++m_n); }

private:
    int m_n = 0;
};

} // namespace

// The label settings sheet edits a copy made by CopyLabelSettings and stores it back
// the same way: every field the file keeps must travel, and nothing else may.
TEST(CopyLabelSettings, CopiesEverySettingAndNothingElse)
{
    CLabelData source;
    SettingsFiller filler;
    TransferLabelSettingsHead(filler, source);
    TransferLabelSettingsTail(filler, source);
    CLabelData blank;
    ASSERT_NE(DocumentBytes(source), DocumentBytes(blank));
    CopyLabelSettings(source, blank);
    EXPECT_EQ(DocumentBytes(blank), DocumentBytes(source));

    CLabelData target;
    target.m_objects.push_back(std::make_unique<CEllipseGraph>());
    target.m_dataSources.push_back(std::make_unique<CTextDS>());
    target.m_strFormCaption = "form";
    target.m_nSettingsTab = 3;
    CopyLabelSettings(source, target);
    EXPECT_EQ(target.m_objects.size(), 1u);
    EXPECT_EQ(target.m_dataSources.size(), 1u);
    EXPECT_EQ(target.m_strFormCaption, "form");
    EXPECT_EQ(target.m_nSettingsTab, 3);
    EXPECT_EQ(target.m_fLabelWidth, source.m_fLabelWidth);
}
