#include "TestSupport.h"
#include "UiTestSupport.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct TidyCase
{
    int valueType;
    int decimals;
    bool keepOneZero;
    bool checks;
    const char* text;
    const char* tidy;
};

// Focus leaves the edit for a sibling, as a Tab press would.
void LeaveFocus(QWidget* edit)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &out);
}

} // namespace

TEST(VXUnitEdit, TidiesTheNumberWhenFocusLeaves)
{
    const TidyCase cases[] = {
        {2, 2, true, false, "3.14159", "3.14"},
        {2, 2, true, false, "2", "2.0"},
        {2, 2, true, false, "2.50", "2.5"},
        {2, 2, true, false, "abc", "0.0"},
        {2, 2, false, false, "2", "2"},
        {2, 3, true, false, "1.2345", "1.234"},
        {2, 0, true, false, "12.7", "12"},  // no trailing point
        {2, 0, true, false, "-3", "-3"},
        {2, 2, true, true, "0.5", "1.0"},
        {2, 2, true, true, "12", "10.0"},
        {1, 2, true, false, "2.6", "2"},
        {1, 2, true, false, "-2.6", "-2"},
        {1, 2, true, false, "-4", "-4"},
        {1, 2, true, false, "1e12", "2147483647"}, // beyond int: the nearest int
        {1, 2, true, false, "-99999999999", "-2147483648"},
        {3, 2, true, false, "x1", "x1"},            // other kinds: untouched
    };
    for (const TidyCase& c : cases) {
        CVXUnitEdit edit;
        edit.m_nValueType = c.valueType;
        edit.m_nDecimals = c.decimals;
        edit.m_bKeepOneZero = c.keepOneZero;
        edit.m_bCheckMin = edit.m_bCheckMax = c.checks;
        edit.m_fMin = 1;
        edit.m_fMax = 10;
        edit.setText(QString::fromLatin1(c.text));
        LeaveFocus(&edit);
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.tidy)) << c.text << " kind " << c.valueType;
    }
}

TEST(VXUnitEdit, LetsThroughOnlyTheCharactersOfItsKind)
{
    struct TypingCase
    {
        int valueType;
        const char* typed;
        const char* text;
    } cases[] = {
        {2, "1a2.3.4", "12.34"},
        {2, "-1-", "-1-"}, // the minus sign anywhere
        {1, "12.5x", "125"},
        {3, "ab.c", "ab.c"},
    };
    for (const TypingCase& c : cases) {
        CVXUnitEdit edit;
        edit.m_nValueType = c.valueType;
        TypeText(&edit, QString::fromLatin1(c.typed));
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.text)) << c.typed;
    }
    // Editing keys pass.
    CVXUnitEdit edit;
    TypeText(&edit, QStringLiteral("12"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "1");
}

TEST(VXUnitEdit, UnitCaptionTakesRoomAtTheRight)
{
    CVXUnitEdit edit;
    edit.resize(120, 24);
    EXPECT_EQ(edit.m_nUnitWidth, edit.fontMetrics().horizontalAdvance(QStringLiteral("毫米 ")));
    EXPECT_EQ(edit.textMargins().right(), edit.m_nUnitWidth);
    edit.m_bShowUnit = false;
    edit.UpdateFrame();
    EXPECT_EQ(edit.textMargins().right(), 0);
    // The caption is painted inside the border.
    edit.m_bShowUnit = true;
    edit.m_strUnit = QStringLiteral(" 像素 ");
    edit.UpdateFrame();
    EXPECT_EQ(edit.m_nUnitWidth, edit.fontMetrics().horizontalAdvance(QStringLiteral("像素 ")));
    const QImage image = edit.grab().toImage();
    bool ink = false;
    for (int x = 120 - edit.m_nUnitWidth; x < 118 && !ink; ++x)
        for (int y = 4; y < 20 && !ink; ++y)
            ink = qGray(image.pixel(x, y)) < 128;
    EXPECT_TRUE(ink);
}

TEST(NumSpinCtrl, RangeStepAndWrap)
{
    QLineEdit buddy;
    CNumSpinCtrl spin;
    spin.SetBuddy(&buddy);
    spin.m_fMin = 0;
    spin.m_fMax = 10000;
    spin.m_fStep = 1;
    buddy.setText(QStringLiteral("10000"));
    spin.ApplyRange();
    EXPECT_EQ(spin.m_nIntRange, 10000);
    EXPECT_EQ(spin.GetPos(), 10000);
    spin.Step(1);
    EXPECT_EQ(buddy.text(), "10000");
    spin.m_bWrap = true;
    spin.Step(1);
    EXPECT_EQ(buddy.text(), "0");
    spin.Step(-1);
    EXPECT_EQ(buddy.text(), "10000");
    spin.m_bWrap = false;
    buddy.setText(QStringLiteral("0.5"));
    spin.Step(-1);
    EXPECT_EQ(buddy.text(), "0");

    spin.m_fMax = 100000;
    spin.ApplyRange();
    EXPECT_EQ(spin.m_nIntRange, 32767);
    buddy.setText(QStringLiteral("50000"));
    spin.SetPos(spin.GetValue());
    EXPECT_EQ(spin.GetPos(), 16384);
    // A step of 0 leaves no range rather than dividing by zero; equal ends set no position.
    spin.m_fStep = 0;
    spin.ApplyRange();
    EXPECT_EQ(spin.m_nIntRange, 0);
    spin.m_fMin = spin.m_fMax = 5;
    spin.m_fStep = 0;
    spin.ApplyRange();
    EXPECT_EQ(spin.m_nIntRange, 0);
}

TEST(NumSpinCtrl, ArrowsAndKeysStepTheBuddy)
{
    QWidget dialog;
    auto* buddy = new QLineEdit(&dialog);
    auto* spin = new CNumSpinCtrl(&dialog);
    spin->SetBuddy(buddy);
    spin->m_fStep = 0.5f;
    spin->ApplyRange();
    buddy->setText(QStringLiteral("1"));
    const QList<QToolButton*> arrows = spin->findChildren<QToolButton*>();
    ASSERT_EQ(arrows.size(), 2);
    dialog.show();
    QTest::mouseClick(arrows[0], Qt::LeftButton);
    EXPECT_EQ(buddy->text(), "1.5");
    QTest::mouseClick(arrows[1], Qt::LeftButton);
    QTest::mouseClick(arrows[1], Qt::LeftButton);
    EXPECT_EQ(buddy->text(), "0.5");
    QTest::keyClick(buddy, Qt::Key_Up);
    EXPECT_EQ(buddy->text(), "1");
    spin->m_fMax = 1;
    QTest::keyClick(buddy, Qt::Key_Up);
    EXPECT_EQ(buddy->text(), "1");
}

TEST(NumSpinCtrl, FormatsByDecimalsAndFormat)
{
    CNumSpinCtrl spin;
    const struct
    {
        int decimals;
        bool trim;
        float value;
        const char* text;
    } cases[] = {
        {-1, true, 2.5f, "2.5"}, {-1, true, 3.0f, "3"},   {2, true, 1.5f, "1.5"},
        {2, true, 1.0f, "1"},    {2, false, 1.5f, "1.50"}, {2, true, 1.5e20f, "1.5e+20"},
        {0, true, 7.0f, "7"},
    };
    for (const auto& c : cases) {
        spin.m_nDecimals = c.decimals;
        spin.m_bTrimZeros = c.trim;
        EXPECT_EQ(spin.FormatValue(c.value), QString::fromLatin1(c.text)) << c.value;
    }
    QLineEdit buddy;
    spin.SetBuddy(&buddy);
    spin.m_strFormat = QStringLiteral("%.3f mm");
    spin.SetValue(2.5f);
    EXPECT_EQ(buddy.text(), "2.500 mm");
    EXPECT_FLOAT_EQ(spin.GetValue(), 2.5f);
}
