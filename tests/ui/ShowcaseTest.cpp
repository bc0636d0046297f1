// A dialog holding every shared control, grabbed to an image so a person can look at
// it: VC_SHOWCASE_DIR names the folder for the images; run under a real display
// with VC_TEST_PLATFORM=xcb (xvfb-run) to see what the desktop draws.
#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "app/PasswordDlg.h"
#include "app/VXBaseDialog.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/FontStatic.h"
#include "app/controls/GroupCheck.h"
#include "app/controls/LineNumberEdit.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/PngControls.h"
#include "app/controls/RadioListBox.h"
#include "app/controls/VXUnitEdit.h"
#include "platform/Drawing.h"

#include <QApplication>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QWidget* WithSpin(CVXUnitEdit* edit, CNumSpinCtrl* spin)
{
    spin->SetBuddy(edit);
    spin->ApplyRange();
    return EditWithSpin(edit, spin);
}

class ShowcaseDialog : public CVXBaseDialog
{
public:
    ShowcaseDialog()
    {
        setWindowTitle(QStringLiteral("共享控件"));
        auto* columns = new QHBoxLayout;
        auto* left = new QFormLayout;
        auto* right = new QVBoxLayout;
        columns->addLayout(left);
        columns->addLayout(right);

        auto* width = SetCtlId(new CVXUnitEdit, 1001);
        width->setText(QStringLiteral("12.5"));
        auto* widthSpin = new CNumSpinCtrl;
        widthSpin->m_fMax = 10000;
        left->addRow(QStringLiteral("宽度(&W)："), WithSpin(width, widthSpin));
        auto* count = SetCtlId(new CVXUnitEdit, 1002);
        count->m_nValueType = CVXUnitEdit::ValueInteger;
        count->m_bShowUnit = false;
        count->UpdateFrame();
        count->setText(QStringLiteral("3"));
        left->addRow(QStringLiteral("份数："), WithSpin(count, new CNumSpinCtrl));

        auto* red = SetCtlId(new CColourPicker, 1003);
        red->SetColour(Qt::red);
        left->addRow(QStringLiteral("线条颜色："), red);
        auto* none = SetCtlId(new CColourPicker, 1004);
        none->SetColour(QColor());
        left->addRow(QStringLiteral("填充颜色："), none);

        auto* dash = SetCtlId(new CDashStyleComboBox, 1005);
        dash->SetDashStyle(DashStyleDashDot);
        left->addRow(QStringLiteral("线型："), dash);
        auto* hatch = SetCtlId(new CHatchStyleComboBox, 1006);
        hatch->SetHatchStyle(HatchStyleCross);
        left->addRow(QStringLiteral("底纹："), hatch);
        auto* kinds = SetCtlId(new CComboBoxBold, 1098);
        const std::pair<const char16_t*, int> items[] = {{u"常量", 355}, {u"日期", 352}, {u"时间", 354},
                                                         {u"流水号", 353}, {u"数据库", 351}, {u"窗口数据", 357},
                                                         {u"命名子串", 356}};
        for (const auto& [text, icon] : items) {
            kinds->addItem(QString::fromUtf16(text));
            kinds->SetItemIcon(kinds->count() - 1, icon);
        }
        kinds->setCurrentIndex(4);
        left->addRow(QStringLiteral("数据源(&S):"), kinds);

        auto* printer = SetCtlId(new CFontStatic(QStringLiteral("打印机：PDF 打印机")), 1007);
        printer->m_nHeight = 16;
        printer->m_crText = QColor(0, 100, 0);
        printer->SetFontStyle(0x41);
        left->addRow(printer);
        auto* png = SetCtlId(new CPngStatic, 1008);
        png->setFixedSize(48, 24);
        png->m_nResourceId = 1;
        png->LoadPng();
        auto* pngRadio = SetCtlId(new CPngRadioButton(QStringLiteral("横向")), 1009);
        pngRadio->setChecked(true);
        auto* pngRow = new QHBoxLayout;
        pngRow->addWidget(png);
        pngRow->addWidget(pngRadio);
        left->addRow(QStringLiteral("方向："), pngRow);

        auto* box = new QGroupBox(QStringLiteral("页码"));
        auto* boxLayout = new QFormLayout(box);
        boxLayout->setContentsMargins(10, 24, 10, 8);
        boxLayout->addRow(QStringLiteral("格式："), new QLineEdit(QStringLiteral("第%d页")));
        auto* check = SetCtlId(new CGroupCheck(QStringLiteral("打印页码")), 1010);
        right->addWidget(box);
        auto* radios = SetCtlId(new CRadioListBox, 1011);
        radios->addItems({QStringLiteral("全部"), QStringLiteral("当前页"), QStringLiteral("选定范围")});
        radios->setCurrentRow(1);
        radios->setFixedHeight(70);
        right->addWidget(radios);
        auto* script = SetCtlId(new CLineNumberEdit, 1012);
        script->m_crBackground = QColor(0xF0, 0xF0, 0xF0);
        script->m_nFirstLineNumber = 1;
        script->m_nMaxLineNumber = 10000;
        script->SetLineNumberFormat(QStringLiteral("%d"));
        script->setPlainText(QStringLiteral("Sub OnPrintStart()\n    ' 打印开始\n    Format.Copies = 2\nEnd Sub\n"));
        right->addWidget(script);

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(columns);
        layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                                       QDialogButtonBox::Help));
        // The check box joins its box once the layout has placed the box.
        check->setParent(this);
        m_check = check;
        m_box = box;
    }

    void PlaceGroupCheck()
    {
        m_check->SetGroupbox(m_box);
        m_check->show();
    }

private:
    CGroupCheck* m_check;
    QGroupBox* m_box;
};

QString ShowcaseDir(QTemporaryDir& temp)
{
    const QString dir = qEnvironmentVariable("VC_SHOWCASE_DIR");
    return dir.isEmpty() ? temp.path() : dir;
}

} // namespace

TEST(Showcase, EverySharedControlInOneDialog)
{
    FakeServices services;
    QTemporaryDir temp;
    const QString dir = ShowcaseDir(temp);
    QDir().mkpath(dir);

    ShowcaseDialog dialog;
    dialog.show();
    dialog.resize(dialog.sizeHint());
    QCoreApplication::processEvents();
    dialog.PlaceGroupCheck();
    QTest::qWait(50);
    const QImage image = dialog.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(dir + QStringLiteral("/shared-controls.png")));

    // The colour popup as the picker opens it.
    auto* picker = ctl<CColourPicker>(&dialog, 1003);
    QTest::mouseClick(picker, Qt::LeftButton);
    ASSERT_NE(picker->Popup(), nullptr);
    QTest::qWait(50);
    EXPECT_TRUE(picker->Popup()->grab().toImage().save(dir + QStringLiteral("/colour-popup.png")));
    QTest::keyClick(picker->Popup(), Qt::Key_Escape);

    CSetPasswordDlg password;
    password.show();
    QTest::qWait(20);
    EXPECT_TRUE(password.grab().toImage().save(dir + QStringLiteral("/set-password.png")));
}
