// The in-place text editor over a text on the real canvas shows the text as the canvas
// draws it at the current zoom: the same font at the same size on screen, in the
// object's box.
#include "SessionTestSupport.h"
#include "model/TextGraph.h"
#include "platform/ScreenDpi.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

class InPlaceEditorZoomTest : public SessionTest
{
protected:
    CTextGraph& Text() const { return static_cast<CTextGraph&>(*Last()->GetObject()); }

    // Opens the editor with the edit-data tool on the text's middle.
    QWidget* OpenEditor()
    {
        const CTextGraph& text = Text();
        EXPECT_TRUE(Trigger(CmdToolEditData));
        Click(At(text.GetX() + text.GetWidth() / 2, text.GetY() + text.GetHeight() / 2));
        QWidget* edit = View().InPlaceEditor();
        EXPECT_TRUE(edit && edit->isVisible());
        return edit;
    }
    void CloseEditor()
    {
        View().CommitPendingEdits();
        ASSERT_TRUE(Trigger(CmdToolSelect));
    }
    // The height in screen pixels of the editor's font, as the widget renders it.
    static double FontPixels(const QWidget* edit) { return edit->font().pointSizeF() * edit->logicalDpiY() / 72.0; }
    // The canvas's height of a font of that many points at the zoom.
    static double CanvasPixels(float points, float zoom) { return points * g_nScreenDpiY * zoom / 72.0; }
    // The object's box in client pixels, as the canvas places it.
    QRect ObjectBox()
    {
        const CTextGraph& text = Text();
        const QPoint corner = At(text.GetX(), text.GetY());
        const float zoom = View().Zoom();
        return {corner, QSize(static_cast<int>(Last()->GetWidthPixels() * zoom),
                              static_cast<int>(Last()->GetHeightPixels() * zoom))};
    }
};

} // namespace

TEST_F(InPlaceEditorZoomTest, TheEditorDrawsTheTextAtTheCanvasZoomOverTheObject)
{
    Create(CmdToolText, 30, 10);
    // Bold, 18 pt (its box refitted) from the format bar, in a colour of its own.
    ASSERT_TRUE(Trigger(CmdBold));
    QComboBox* size = frame->FontSizeCombo();
    RetypeText(size->lineEdit(), QStringLiteral("18"));
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    Settle();
    ASSERT_FLOAT_EQ(Text().m_fFontSize, 18.0f);
    ASSERT_TRUE(Text().m_bBold);
    Text().m_crText = 0xFFC00000u;

    QWidget* edit = OpenEditor();
    ASSERT_NE(qobject_cast<QLineEdit*>(edit), nullptr);
    const double atActual = FontPixels(edit);
    EXPECT_NEAR(atActual, CanvasPixels(18.0f, 1.0f), 0.01);
    EXPECT_TRUE(edit->font().bold());
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0xC0, 0, 0));
    EXPECT_FALSE(static_cast<QLineEdit*>(edit)->hasFrame());
    EXPECT_EQ(edit->geometry(), ObjectBox());
    CloseEditor();

    // 200 % through the view menu's command, then the editor again.
    ASSERT_TRUE(Trigger(CmdZoomIn));
    ASSERT_TRUE(Trigger(CmdZoomIn));
    ASSERT_FLOAT_EQ(View().Zoom(), 2.0f);
    edit = OpenEditor();
    EXPECT_NEAR(FontPixels(edit), 2 * atActual, 0.01);
    EXPECT_NEAR(FontPixels(edit), CanvasPixels(18.0f, 2.0f), 0.01);
    EXPECT_EQ(edit->geometry(), ObjectBox());
    EXPECT_EQ(edit->geometry().size(), QSize(static_cast<int>(Last()->GetWidthPixels() * 2),
                                             static_cast<int>(Last()->GetHeightPixels() * 2)));

    // The zoom commands end the editing first; a zoom that leaves the editor open (the
    // window's own) takes it along.
    Window().SetZoom(1.0f);
    ASSERT_TRUE(edit->isVisible());
    EXPECT_NEAR(FontPixels(edit), atActual, 0.01);
    EXPECT_EQ(edit->geometry(), ObjectBox());
    CloseEditor();
    // To look at: the text drawn by the canvas at 200 %, then the editor over it.
    const QString shot = qEnvironmentVariable("VC_INPLACE_SCREENSHOT");
    if (!shot.isEmpty()) {
        ASSERT_TRUE(Trigger(CmdZoomIn));
        ASSERT_TRUE(Trigger(CmdZoomIn));
        View().grab().save(shot + QStringLiteral(".drawn.png"));
        static_cast<QLineEdit*>(OpenEditor())->deselect();
        View().grab().save(shot);
    }
}

TEST_F(InPlaceEditorZoomTest, AStretchedLineAndAnAlignedBlockKeepTheirLookInTheEditor)
{
    Create(CmdToolText, 10, 10);
    Text().m_fHorzScale = 0.5f;
    QWidget* edit = OpenEditor();
    EXPECT_EQ(edit->font().stretch(), 50);
    CloseEditor();

    Text().m_nLayoutMode = MultiLine;
    Text().m_nAlignment = 2;
    Text().m_fHorzScale = 1.0f;
    edit = OpenEditor();
    auto* multi = qobject_cast<QPlainTextEdit*>(edit);
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_NEAR(FontPixels(edit), CanvasPixels(Text().m_fFontSize, 1.0f), 0.01);
    CloseEditor();
}
