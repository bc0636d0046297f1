#include "TestSupport.h"
#include "app/controls/LineNumberEdit.h"

#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString Lines(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(u'\n');
}

} // namespace

TEST(LineNumberEdit, GutterShowsTheVisibleLineNumbers)
{
    CLineNumberEdit edit;
    edit.resize(300, 200);
    edit.setPlainText(Lines(3));
    edit.show();
    EXPECT_EQ(edit.Gutter()->NumberTexts(), QStringList({"00000", "00001", "00002"}));

    edit.m_nFirstLineNumber = 1;
    edit.SetLineNumberFormat(QStringLiteral("%d"));
    EXPECT_EQ(edit.Gutter()->NumberTexts(), QStringList({"1", "2", "3"}));
}

TEST(LineNumberEdit, ScrollingMovesTheNumbers)
{
    CLineNumberEdit edit;
    edit.resize(300, 200);
    edit.setPlainText(Lines(100));
    edit.show();
    const int top = edit.Gutter()->TopLineNumber();
    const int rows = edit.Gutter()->BottomLineNumber() - top;
    EXPECT_EQ(top, 0);
    EXPECT_GT(rows, 3);
    edit.verticalScrollBar()->setValue(5);
    EXPECT_EQ(edit.Gutter()->TopLineNumber(), top + 5);
    EXPECT_EQ(edit.Gutter()->BottomLineNumber() - edit.Gutter()->TopLineNumber(), rows);
    // Near the end the numbers stop at the last line.
    edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
    EXPECT_EQ(edit.Gutter()->BottomLineNumber(), 100);
}

TEST(LineNumberEdit, GutterWidthFitsTheWidestNumber)
{
    CLineNumberEdit edit;
    edit.m_nMaxLineNumber = 10000;
    edit.m_nFirstLineNumber = 1;
    edit.SetLineNumberFormat(QStringLiteral("%d"));
    edit.resize(300, 200);
    edit.show();
    const int width = edit.fontMetrics().horizontalAdvance(QStringLiteral("10001")) + 5;
    EXPECT_EQ(edit.GutterWidth(), width);
    EXPECT_EQ(edit.Gutter()->width(), width);
    EXPECT_EQ(edit.viewport()->x() - edit.contentsRect().left(), width + 1);
    edit.setPlainText(Lines(20000));
    EXPECT_LE(edit.Gutter()->BottomLineNumber(), 10001);
    // No maximum: as wide as the text limit in the format.
    CLineNumberEdit plain;
    EXPECT_EQ(plain.GutterWidth(), plain.fontMetrics().horizontalAdvance(QStringLiteral("30000")) + 5);
}

TEST(LineNumberEdit, DisabledGutterTakesTheDisabledColours)
{
    CLineNumberEdit edit;
    edit.m_crBackground = QColor(0xF0, 0xF0, 0xF0);
    edit.UpdateLayout();
    EXPECT_EQ(edit.Gutter()->m_crBackground, QColor(0xF0, 0xF0, 0xF0));
    EXPECT_EQ(edit.Gutter()->m_crText, QColor(Qt::black));
    edit.setEnabled(false);
    EXPECT_EQ(edit.Gutter()->m_crBackground, edit.palette().color(QPalette::Active, QPalette::Button));
    EXPECT_EQ(edit.Gutter()->m_crText, edit.palette().color(QPalette::Disabled, QPalette::Text));
    edit.setEnabled(true);
    EXPECT_EQ(edit.Gutter()->m_crBackground, QColor(0xF0, 0xF0, 0xF0));
    // The gutter paints its background and the separating line.
    edit.resize(200, 100);
    edit.show();
    const QImage image = edit.Gutter()->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(1, image.height() - 2)), QColor(0xF0, 0xF0, 0xF0));
    EXPECT_EQ(QColor(image.pixel(image.width() - 1, 5)), QColor(Qt::black));
}

TEST(LineNumberEdit, ClickOnANumberSelectsItsLine)
{
    CLineNumberEdit edit;
    edit.resize(300, 200);
    edit.setPlainText(QStringLiteral("alpha\nbeta\ngamma\ndelta"));
    edit.show();
    const int lineHeight = edit.fontMetrics().lineSpacing();
    QTest::mouseClick(edit.Gutter(), Qt::LeftButton, {}, QPoint(5, 2 * lineHeight + lineHeight / 2 + 4));
    EXPECT_EQ(edit.textCursor().selectedText(), "gamma");
    // Below the last line: the last line.
    QTest::mouseClick(edit.Gutter(), Qt::LeftButton, {}, QPoint(5, 150));
    EXPECT_EQ(edit.textCursor().selectedText(), "delta");
    edit.verticalScrollBar()->setValue(1);
    edit.SelectLine(0);
    EXPECT_EQ(edit.textCursor().selectedText(), edit.verticalScrollBar()->value() == 1 ? "beta" : "alpha");
}
