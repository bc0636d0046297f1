// Controls that the dialogs name and a person uses: the grid-size arrows of the view
// options, the spacing arrows of the curved-text pane, the named shape groups.
#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "app/controls/NumSpinCtrl.h"
#include "dialogs/properties/ObjectPanes.h"
#include "editor/ViewOptionsDlg.h"
#include "model/LabelData.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(DialogControls, GridSizeArrowsStepTheGridAndOkStoresIt)
{
    FakeServices services;
    CLabelData label;
    label.m_fGridSize = 1.5f;
    CViewOptionsDlg dialog(label);
    dialog.show();
    auto* spin = ctl<CNumSpinCtrl>(&dialog, 1092);
    EXPECT_EQ(spin->GetBuddy(), ctl<QLineEdit>(&dialog, 1079));
    spin->Step(1);
    EXPECT_EQ(ctl<QLineEdit>(&dialog, 1079)->text(), "2.5");
    QTest::mouseClick(ctl<QPushButton>(&dialog, 1), Qt::LeftButton);
    EXPECT_FLOAT_EQ(label.m_fGridSize, 2.5f);
}

TEST(DialogControls, CurvedTextSpacingArrowsAndShapeGroupsAreThere)
{
    CTextEdtPane_CurvedText curved;
    auto* spin = ctl<CNumSpinCtrl>(&curved, 1142);
    auto* angle = ctl<QLineEdit>(&curved, 1080);
    EXPECT_EQ(spin->GetBuddy(), angle);
    angle->setText(QStringLiteral("15"));
    spin->Step(-1);
    EXPECT_EQ(angle->text(), "14");

    CFilledShapeEdtPane shape(238, false);
    EXPECT_EQ(ctl<QGroupBox>(&shape, 1287)->title(), "底纹");
    EXPECT_EQ(ctl<QGroupBox>(&shape, 1288)->title(), "渐变");
}
