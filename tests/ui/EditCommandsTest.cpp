// Copy, cut and paste between documents, the two ends of a copy drag, and the format
// and colour commands, run through the document window's command route.
#include "FakeServices.h"
#include "ProxyTestSupport.h"

#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "editor/EditStatus.h"
#include "editor/ObjectClipboard.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class EditCommandsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (auto* frame : {&first, &second}) {
            auto label = std::make_unique<CLabelData>();
            label->m_strTitle = QStringLiteral("标签.vmk");
            *frame = std::make_unique<CChildFrame>(std::move(label), nullptr);
            (*frame)->setAttribute(Qt::WA_DeleteOnClose, false);
            (*frame)->resize(600, 400);
        }
        ClearObjectClipboard(GetObjectClipboard());
    }
    void TearDown() override { ClearObjectClipboard(GetObjectClipboard()); }

    CChildView& View(CChildFrame& frame) { return frame.View(); }
    CBaseProxy* Add(CChildFrame& frame, std::unique_ptr<CBaseGraph> object)
    {
        View(frame).AddObject(std::move(object));
        return View(frame).ObjectList().back().get();
    }
    void Select(CChildFrame& frame, std::vector<CBaseProxy*> proxies)
    {
        View(frame).GetSelection() = proxies;
        View(frame).SetCurrentObject(proxies.empty() ? nullptr : proxies.back());
    }
    // The route a menu command takes: the canvas first, then its window.
    bool Run(CChildFrame& frame, int id)
    {
        return View(frame).HandleCommand(id) || frame.HandleCommand(id);
    }
    bool Enabled(CChildFrame& frame, int id)
    {
        CommandUpdate u(id);
        u.enabled = false;
        if (!View(frame).UpdateCommand(u))
            frame.UpdateCommand(u);
        return u.enabled;
    }
    bool Checked(CChildFrame& frame, int id)
    {
        CommandUpdate u(id);
        if (!View(frame).UpdateCommand(u))
            frame.UpdateCommand(u);
        return u.checked.value_or(false);
    }
    size_t Steps(CChildFrame& frame) { return View(frame).UndoManager().UndoCount(); }

    ScopedDpi dpi{96};
    FakeServices services;
    std::unique_ptr<CChildFrame> first;
    std::unique_ptr<CChildFrame> second;
};

TEST_F(EditCommandsTest, PasteStepsOnFromTheCopiedCornerWithNewNamesInAnyDocument)
{
    CBaseProxy* box = Add(*first, MakeBox<CRectangleGraph>(20, 30, 10, 5));
    box->GetObject()->m_strName = QStringLiteral("矩形 1");
    CBaseProxy* line = Add(*first, MakeLine(25, 40, 35, 40));
    EXPECT_FALSE(Enabled(*first, CmdEditPaste));
    Select(*first, {box, line});
    ASSERT_TRUE(Run(*first, CmdEditCopy));
    EXPECT_TRUE(Enabled(*first, CmdEditPaste));
    EXPECT_TRUE(Enabled(*second, CmdEditPaste)); // one clipboard for every document

    // The offset is 10 pixels past the copied corner: (10 + 75, 10 + 113) pixels.
    ASSERT_TRUE(Run(*first, CmdEditPaste));
    ASSERT_EQ(View(*first).ObjectList().size(), 4u);
    CBaseProxy* pasted = View(*first).ObjectList()[2].get();
    EXPECT_FLOAT_EQ(pasted->GetObject()->GetX(), static_cast<float>(85 * 25.4 / 96));
    EXPECT_FLOAT_EQ(pasted->GetObject()->GetY(), static_cast<float>(123 * 25.4 / 96));
    EXPECT_NE(pasted->GetObject()->m_strName, QStringLiteral("矩形 1"));
    EXPECT_FALSE(pasted->GetObject()->m_strName.isEmpty());
    // The group keeps its arrangement; the pasted ones are the selection.
    CBaseProxy* pastedLine = View(*first).ObjectList()[3].get();
    EXPECT_NEAR(pastedLine->GetLeft() - pasted->GetLeft(), 5.0f, 1e-4);
    EXPECT_EQ(View(*first).GetSelection(), ProxySelection({pasted, pastedLine}));
    ASSERT_TRUE(Run(*first, CmdEditPaste));
    EXPECT_FLOAT_EQ(View(*first).ObjectList()[4]->GetObject()->GetX(), static_cast<float>(95 * 25.4 / 96));
    // One step per paste (after the first change's marker).
    EXPECT_EQ(Steps(*first), 3u);
    View(*first).UndoManager().Undo();
    EXPECT_EQ(View(*first).ObjectList().size(), 4u);

    // Into a document where nothing was copied: at the label's corner.
    ASSERT_TRUE(Run(*second, CmdEditPaste));
    ASSERT_EQ(View(*second).ObjectList().size(), 2u);
    EXPECT_FLOAT_EQ(View(*second).ObjectList()[0]->GetObject()->GetX(), 0.0f);
    EXPECT_EQ(View(*second).ObjectList()[0]->GetObject()->m_pLabelData, &second->LabelData());

    // Cut takes them out in one step; paste brings them back 10 pixels on.
    Select(*second, {View(*second).ObjectList()[0].get()});
    ASSERT_TRUE(Run(*second, CmdEditCut));
    EXPECT_EQ(View(*second).ObjectList().size(), 1u);
    ASSERT_TRUE(Run(*second, CmdEditPaste));
    EXPECT_FLOAT_EQ(View(*second).ObjectList()[1]->GetObject()->GetX(), static_cast<float>(10 * 25.4 / 96));
}

TEST_F(EditCommandsTest, TheDropMenuMovesOrCopiesByTheDrag)
{
    CBaseProxy* box = Add(*first, MakeBox<CRectangleGraph>(10, 10, 10, 5));
    Select(*first, {box});
    CEditStatus& status = first->EditStatus();
    status.m_startPoint = QPoint(100, 100);
    status.m_scrollAtStart = status.m_scrollNow = QPoint();
    status.m_currentPoint = QPoint(103, 97); // within 3 pixels: nothing
    ASSERT_TRUE(Run(*first, CmdDragCopy));
    ASSERT_TRUE(Run(*first, CmdDragMove));
    EXPECT_EQ(View(*first).ObjectList().size(), 1u);
    EXPECT_FLOAT_EQ(box->GetObject()->GetX(), 10.0f);
    EXPECT_FALSE(View(*first).UndoManager().CanUndo());

    View(*first).Render(); // the proxies measure with the view's zoom
    status.m_currentPoint = QPoint(138, 100);
    ASSERT_TRUE(Run(*first, CmdDragCopy));
    ASSERT_EQ(View(*first).ObjectList().size(), 2u);
    CBaseProxy* copy = View(*first).ObjectList()[1].get();
    EXPECT_FLOAT_EQ(box->GetObject()->GetX(), 10.0f);
    EXPECT_NEAR(copy->GetObject()->GetX(), 20.0f, 0.3f);
    EXPECT_EQ(View(*first).GetSelection(), ProxySelection({copy}));
    ASSERT_TRUE(Run(*first, CmdDragMove));
    EXPECT_NEAR(copy->GetObject()->GetX(), 30.0f, 0.3f);
    View(*first).UndoManager().Undo();
    EXPECT_NEAR(copy->GetObject()->GetX(), 20.0f, 0.3f);
    EXPECT_TRUE(Run(*first, CmdDragCancel));
}

TEST_F(EditCommandsTest, FormatCommandsAreOneStepEachOnTheCurrentObject)
{
    auto made = MakeBox<CTextGraph>(10, 10, 30, 8);
    made->m_strText = QStringLiteral("Hello");
    CBaseProxy* proxy = Add(*first, std::move(made));
    auto& text = static_cast<CTextGraph&>(*proxy->GetObject());
    CBaseProxy* box = Add(*first, MakeBox<CRectangleGraph>(50, 10, 10, 5));

    Select(*first, {});
    for (const int id : {CmdBold, CmdInverse, CmdFontColour, CmdTextAlignRight, CmdMultiLine})
        EXPECT_FALSE(Enabled(*first, id)) << id;
    Select(*first, {proxy});
    ASSERT_TRUE(Run(*first, CmdBold));
    EXPECT_TRUE(text.m_bBold);
    EXPECT_TRUE(Checked(*first, CmdBold));
    EXPECT_EQ(Steps(*first), 2u);

    // White on black sets, twice is still white on black; a font colour clears it.
    ASSERT_TRUE(Run(*first, CmdInverse));
    ASSERT_TRUE(Run(*first, CmdInverse));
    EXPECT_EQ(text.m_crText, 0xFFFFFFFFu);
    EXPECT_EQ(text.m_crFill, 0xFF000000u);
    EXPECT_TRUE(Checked(*first, CmdInverse));
    ASSERT_TRUE(Run(*first, CmdFontColour)); // the remembered colour starts as black
    EXPECT_EQ(text.m_crText, 0xFF000000u);
    EXPECT_FALSE(Checked(*first, CmdInverse));
    EXPECT_EQ(Steps(*first), 5u);

    // "无", then "更多颜色..." with OK applies the chosen colour; with Cancel nothing.
    ASSERT_TRUE(Run(*first, CmdFontColour + CmdColourNoneOffset));
    EXPECT_EQ(text.m_crText, 0x00FFFFFFu);
    services.colors = {QColor(0x12, 0x34, 0x56)};
    ASSERT_TRUE(Run(*first, CmdFontColour + CmdColourMoreOffset));
    EXPECT_EQ(text.m_crText, 0xFF123456u);
    ASSERT_TRUE(Run(*first, CmdFontColour + CmdColourNoneOffset));
    const size_t noneSteps = Steps(*first);
    ASSERT_TRUE(Run(*first, CmdFontColour + CmdColourMoreOffset)); // cancelled
    EXPECT_EQ(text.m_crText, 0x00FFFFFFu);
    EXPECT_EQ(Steps(*first), noneSteps);

    // Single line on a single-line text records nothing; the layouts check.
    const size_t steps = Steps(*first);
    ASSERT_TRUE(Run(*first, CmdSingleLine));
    EXPECT_EQ(Steps(*first), steps);
    ASSERT_TRUE(Run(*first, CmdCircularText2));
    EXPECT_TRUE(Checked(*first, CmdCircularText2));
    EXPECT_FALSE(Checked(*first, CmdCircularText));
    View(*first).UndoManager().Undo();
    EXPECT_EQ(text.m_nLayoutMode, SingleLine);
    EXPECT_EQ(text.m_nWrapDirection, 0);

    // The fill button before any choice makes the fill transparent.
    Select(*first, {box});
    EXPECT_FALSE(Enabled(*first, CmdBold));
    EXPECT_TRUE(Enabled(*first, CmdFillColour));
    box->GetObject()->m_crFill = 0xFF808080u;
    ASSERT_TRUE(Run(*first, CmdFillColour));
    EXPECT_EQ(box->GetObject()->m_crFill, 0x00FFFFFFu);
    View(*first).UndoManager().Undo();
    EXPECT_EQ(box->GetObject()->m_crFill, 0xFF808080u);
}

} // namespace
