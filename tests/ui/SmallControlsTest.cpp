#include "TestSupport.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/FontStatic.h"
#include "app/controls/GroupCheck.h"
#include "app/controls/PngControls.h"
#include "app/controls/RadioListBox.h"
#include "platform/Drawing.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(SelectComboItemByText, ExactCaseSensitiveOrNone)
{
    QComboBox combo;
    combo.addItems({"1.00", "1.50", "abc", "1.50"});
    SelectComboItemByText(QStringLiteral("1.50"), &combo);
    EXPECT_EQ(combo.currentIndex(), 1);
    SelectComboItemByText(QStringLiteral("ABC"), &combo);
    EXPECT_EQ(combo.currentIndex(), -1);
    SelectComboItemByText(QStringLiteral("abc"), &combo);
    EXPECT_EQ(combo.currentIndex(), 2);
    SelectComboItemByText(QString(), &combo);
    EXPECT_EQ(combo.currentIndex(), -1);
}

TEST(DashStyleComboBox, StylesAndTheirItems)
{
    CDashStyleComboBox combo;
    ASSERT_EQ(combo.count(), 5);
    EXPECT_EQ(combo.itemText(0), "直线");
    EXPECT_EQ(combo.itemText(4), "双点划线");
    for (int style : {0, 1, 2, 3, 4}) {
        combo.SetDashStyle(style);
        EXPECT_EQ(combo.GetDashStyle(), style);
    }
    combo.SetDashStyle(7);
    EXPECT_EQ(combo.currentText(), "直线");
    combo.SetDashStyle(-1);
    EXPECT_EQ(combo.GetDashStyle(), 0);
}

TEST(HatchStyleComboBox, ItemsMapToHatchStyles)
{
    CHatchStyleComboBox combo;
    ASSERT_EQ(combo.count(), 44);
    EXPECT_EQ(combo.itemText(0), "无底纹");
    EXPECT_EQ(combo.itemText(43), "ZigZag");
    const struct
    {
        int style;
        const char* item; // null: the selection stays
    } cases[] = {
        {HatchStyleCross, "Cross"},          {HatchStyleHorizontal, "Horizontal"},
        {HatchStyleSolidDiamond, "SolidDiamond"}, {HatchStyleBackwardDiagonal, "BackwardDiagonal"},
        {HatchStyleZigZag, "ZigZag"},        {HatchStyleNarrowVertical, nullptr},
        {HatchStyle50Percent, nullptr},      {53, nullptr},
        {-1, nullptr},
    };
    for (const auto& c : cases) {
        combo.setCurrentIndex(5);
        combo.SetHatchStyle(c.style);
        EXPECT_EQ(combo.currentText(), QString::fromLatin1(c.item ? c.item : "DarkUpwardDiagonal")) << c.style;
        if (c.item) {
            EXPECT_EQ(combo.GetHatchStyle(), c.style);
        }
    }
    // Every named item reads back a style that selects an item of the same name or its alias.
    for (int i = 1; i < combo.count(); ++i) {
        combo.setCurrentIndex(i);
        const int style = combo.GetHatchStyle();
        combo.setCurrentIndex(0);
        combo.SetHatchStyle(style);
        EXPECT_EQ(combo.GetHatchStyle(), style) << combo.itemText(i).toStdString();
    }
    SelectComboItemByText(QStringLiteral("LargeGrid"), &combo);
    EXPECT_EQ(combo.GetHatchStyle(), HatchStyleCross);
    SelectComboItemByText(QStringLiteral("Min"), &combo);
    EXPECT_EQ(combo.GetHatchStyle(), HatchStyleHorizontal);
    SelectComboItemByText(QStringLiteral("Max"), &combo);
    EXPECT_EQ(combo.GetHatchStyle(), HatchStyleSolidDiamond);
    combo.setCurrentIndex(0);
    EXPECT_EQ(combo.GetHatchStyle(), 3);
    combo.setCurrentIndex(-1);
    EXPECT_EQ(combo.GetHatchStyle(), 3);
}

TEST(ComboBoxBold, ItemIconsFromIconResources)
{
    CComboBoxBold combo;
    combo.addItems({"常量", "日期", "时间"});
    combo.SetItemIcon(0, 355);
    combo.SetItemIcon(1, 352);
    EXPECT_FALSE(combo.itemIcon(0).isNull());
    EXPECT_FALSE(combo.itemIcon(1).isNull());
    EXPECT_TRUE(combo.itemIcon(2).isNull());
}

TEST(PngStatic, MissingResourcePaintsAPlainFace)
{
    CPngStatic png;
    png.resize(40, 30);
    png.m_nResourceId = 9999;
    EXPECT_FALSE(png.LoadPng());
    const QImage image = png.grab().toImage();
    const QColor face = png.palette().color(QPalette::Button);
    for (const QPoint p : {QPoint(0, 0), QPoint(20, 15), QPoint(39, 29)})
        EXPECT_EQ(QColor(image.pixel(p)), face);
}

TEST(PngRadioButton, CheckedButtonHasARedDottedFrame)
{
    CPngRadioButton radio(QStringLiteral("标签"));
    radio.resize(80, 24);
    auto redPixels = [&] {
        const QImage image = radio.grab().toImage();
        int count = 0;
        for (int x = 16; x < image.width(); ++x)
            count += image.pixel(x, 0) == qRgb(255, 0, 0);
        return count;
    };
    EXPECT_EQ(redPixels(), 0);
    radio.setChecked(true);
    EXPECT_GT(redPixels(), 10);
}

TEST(FontStatic, StyleFlags)
{
    CFontStatic text(QStringLiteral("打印机"));
    text.SetFontStyle(0x41);
    EXPECT_TRUE(text.m_bBold);
    EXPECT_FALSE(text.m_bItalic);
    EXPECT_EQ(text.TextAlignment(), Qt::AlignLeft);
    EXPECT_EQ(text.TextFont().weight(), QFont::Black);
    text.SetFontStyle(0xA0);
    EXPECT_EQ(text.TextAlignment(), Qt::AlignHCenter);
    EXPECT_FALSE(text.m_bBold);
    text.SetFontStyle(0x80 | 0x02 | 0x04 | 0x08);
    EXPECT_EQ(text.TextAlignment(), Qt::AlignRight);
    EXPECT_TRUE(text.TextFont().italic());
    EXPECT_TRUE(text.TextFont().underline());
    EXPECT_TRUE(text.TextFont().strikeOut());
    text.m_nHeight = 16;
    text.RecreateFont();
    EXPECT_EQ(text.TextFont().pixelSize(), 16);
    QSignalSpy clicked(&text, &CFontStatic::clicked);
    text.resize(60, 20);
    QTest::mouseClick(&text, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(GroupCheck, UncheckedDisablesTheControlsInTheBoxAndHidesThemWithTheFlag)
{
    QWidget dialog;
    dialog.resize(300, 200);
    auto* box = new QGroupBox(QStringLiteral("标题"), &dialog);
    box->setGeometry(10, 10, 200, 100);
    auto* inside = new QLineEdit(&dialog);
    inside->setGeometry(20, 40, 100, 20);
    auto* child = new QLineEdit(box);
    child->setGeometry(10, 60, 100, 20);
    auto* outside = new QLineEdit(&dialog);
    outside->setGeometry(20, 150, 100, 20);
    auto* check = new CGroupCheck(QStringLiteral("使用分页"), &dialog);
    check->SetGroupbox(box);
    dialog.show();
    EXPECT_TRUE(box->title().isEmpty());
    EXPECT_EQ(check->pos(), QPoint(20, 10));
    EXPECT_FALSE(inside->isEnabled());
    EXPECT_FALSE(child->isEnabled());
    EXPECT_TRUE(outside->isEnabled());
    EXPECT_TRUE(inside->isVisible());

    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
    EXPECT_TRUE(check->isChecked());
    EXPECT_TRUE(inside->isEnabled());
    EXPECT_TRUE(child->isEnabled());

    check->m_bHide = true;
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
    EXPECT_FALSE(inside->isEnabled());
    EXPECT_FALSE(inside->isVisible());
    EXPECT_FALSE(box->isVisible());
    EXPECT_TRUE(check->isVisible());
    EXPECT_TRUE(outside->isVisible());
}

TEST(RadioListBox, SelectedItemIsTheCheckedRadio)
{
    CRadioListBox list;
    list.addItems({"全部", "当前页", "选定范围"});
    list.resize(150, 80);
    list.show();
    const QRect second = list.visualItemRect(list.item(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(list.currentRow(), 1);
    EXPECT_TRUE(list.item(1)->isSelected());
    // The radio of the selected row is drawn filled: darker than the others'.
    const QImage image = list.viewport()->grab().toImage();
    auto ink = [&](const QRect& row) {
        int dark = 0;
        for (int x = row.left() + 2; x < row.left() + row.height() - 3; ++x)
            for (int y = row.top() + 2; y < row.bottom() - 2; ++y)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    EXPECT_GT(ink(second), ink(list.visualItemRect(list.item(0))));
    list.SetTransparent(true);
    EXPECT_EQ(list.palette().color(QPalette::Base), list.palette().color(QPalette::Button));
}
