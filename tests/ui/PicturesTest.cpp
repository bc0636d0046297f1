// Every picture and icon a window shows exists: the dialogs' PNG pictures, the
// program icon, and an icon on every tool-bar button of the main frame and the
// window-data designer.
#include "FakeServices.h"
#include "ShellTestSupport.h"
#include "app/Ctl.h"
#include "app/MainFrame.h"
#include "app/ResourceIcons.h"
#include "app/controls/PngControls.h"
#include "dialogs/properties/LabelSettingsDlg.h"
#include "model/LabelData.h"
#include "output/ui/PrintDlg.h"
#include "output/ui/ScreenDataDlg.h"

#include <QAction>
#include <QCoreApplication>
#include <QTabWidget>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

// An image that is more than one flat colour.
bool Drawn(const QImage& image)
{
    if (image.isNull())
        return false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != first)
                return true;
    return false;
}

void ExpectIconsOnEveryButton(const QToolBar* bar)
{
    for (QAction* action : bar->actions()) {
        if (action->isSeparator() || !action->objectName().startsWith(QLatin1String("cmd_")))
            continue;
        EXPECT_FALSE(action->icon().isNull()) << bar->windowTitle().toStdString() << " "
                                              << action->objectName().toStdString();
        EXPECT_TRUE(Drawn(action->icon().pixmap(16, 16).toImage())) << action->objectName().toStdString();
    }
}

class PicturesTest : public ShellTest
{
};

} // namespace

TEST_F(PicturesTest, EveryDialogPictureAndTheProgramIconAreDrawn)
{
    for (int id : {359, 360, 361, 362, 363}) {
        CPngStatic picture;
        picture.m_nResourceId = id;
        EXPECT_TRUE(picture.LoadPng()) << id;
        EXPECT_TRUE(Drawn(picture.Image())) << id;
    }
    for (int id : {424, 275, 29101})
        EXPECT_TRUE(Drawn(ResourceIcon(id).pixmap(32, 32).toImage())) << id;
}

TEST_F(PicturesTest, LabelSettingsAndPrintDialogShowTheirPictures)
{
    FakeServices services;
    CLabelData label;
    CLabelSettingsDlg sheet;
    sheet.m_pLabelData = &label;
    sheet.BindPages();
    sheet.show();
    QCoreApplication::processEvents();
    const std::pair<int, int> pictures[] = {{CLabelSettingsDlg::TabPrinter, 1269},
                                            {CLabelSettingsDlg::TabPrinter, 1270},
                                            {CLabelSettingsDlg::TabPage, 1271},
                                            {CLabelSettingsDlg::TabPage, 1272},
                                            {CLabelSettingsDlg::TabPrintCount, 1291}};
    for (const auto& [tab, id] : pictures) {
        sheet.Tabs()->setCurrentIndex(tab);
        if (tab == CLabelSettingsDlg::TabPrintCount)
            ctl<QTabWidget>(sheet.Page(tab), 1290)->setCurrentIndex(1); // "多份打印"
        auto* picture = ctl<CPngStatic>(sheet.Page(tab), id);
        EXPECT_TRUE(picture->isVisible()) << id;
        EXPECT_EQ(picture->size(), picture->Image().size()) << id;
    }

    CPrintDlg print;
    print.show();
    QCoreApplication::processEvents();
    auto* picture = ctl<CPngStatic>(&print, 1273);
    EXPECT_TRUE(Drawn(picture->grab().toImage()));
    EXPECT_EQ(picture->size(), picture->Image().size());
}

TEST_F(PicturesTest, EveryToolBarButtonHasAnIcon)
{
    FakeServices services;
    CMainFrame frame;
    for (QToolBar* bar : frame.findChildren<QToolBar*>())
        ExpectIconsOnEveryButton(bar);
    // Every arrange command, on the bar or only in the menu.
    for (int id = 30500; id <= 30521; ++id)
        EXPECT_TRUE(Drawn(frame.Commands().Action(id)->icon().pixmap(16, 16).toImage())) << id;

    CScreenDataDlg designer;
    QToolBar* tools = designer.findChild<QToolBar*>(QStringLiteral("Standard"));
    ASSERT_NE(tools, nullptr);
    ExpectIconsOnEveryButton(tools);
}
