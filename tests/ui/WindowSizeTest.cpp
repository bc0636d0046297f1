// Every window the program opens fits a 1366 x 768 screen with a title bar and a
// panel: opened at no more than the largest window size, and able to shrink to it
// (what is taller scrolls inside). VC_SHOWCASE_DIR, when set, receives a picture of
// each window for a person to look at.
#include "FakeServices.h"
#include "TestSupport.h"
#include "app/HelpWindow.h"
#include "app/PasswordDlg.h"
#include "app/VXBaseDialog.h"
#include "app/VellumcraftApp.h"
#include "dialogs/datasource/DataSourceDBDlg.h"
#include "dialogs/datasource/DataSourceTXTDlg.h"
#include "dialogs/datasource/DataSourceTypesDlg.h"
#include "dialogs/datasource/DatabaseDlg.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "dialogs/properties/DataBandSettingsDlg.h"
#include "dialogs/properties/LabelSettingsDlg.h"
#include "dialogs/properties/NamedSubstringDlg.h"
#include "dialogs/properties/ObjectEdtDlg.h"
#include "editor/ObjectKinds.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "dialogs/properties/PageHeaderDlg.h"
#include "editor/ViewOptionsDlg.h"
#include "model/LabelData.h"
#include "output/ui/ExportDlg.h"
#include "output/ui/PrintDlg.h"
#include "output/ui/ScreenDataDlg.h"
#include "output/ui/ScriptEditorDlg.h"

#include <QCoreApplication>
#include <QDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct WindowCase
{
    const char* name;
    std::function<std::unique_ptr<QWidget>(CLabelData&)> make;
};

template <class T>
std::unique_ptr<QWidget> Plain(CLabelData&)
{
    return std::make_unique<T>();
}

// The property dialog of an object of the label.
std::unique_ptr<QWidget> PropertiesOf(CLabelData& label, std::unique_ptr<CBaseGraph> object)
{
    object->m_strName = QStringLiteral("对象1");
    label.m_objects.push_back(std::move(object));
    ObjectEditRequest request;
    request.object = label.m_objects.back().get();
    request.objects = {request.object};
    request.label = &label;
    return CreateObjectEdtDlg(request);
}

std::unique_ptr<CBaseGraph> Barcode()
{
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    return barcode;
}

const WindowCase kWindows[] = {
    {"about", Plain<CAboutDlg>},
    {"set-password", Plain<CSetPasswordDlg>},
    {"input-password", Plain<CInputPasswordDlg>},
    {"data-source-manager",
     [](CLabelData& label) {
         auto d = std::make_unique<CDatabaseDlg>();
         d->m_pLabelData = &label;
         return std::unique_ptr<QWidget>(std::move(d));
     }},
    {"data-source-types", Plain<CDataSourceTypesDlg>},
    {"data-source-text", Plain<CDataSourceTXTDlg>},
    {"data-source-sqlite", Plain<CDataSourceSQLiteDlg>},
    {"data-source-postgresql", Plain<CDataSourcePostgreSQLDlg>},
    {"data-source-mysql", Plain<CDataSourceMySQLDlg>},
    {"data-source-excel", Plain<CDataSourceExcelDlg>},
    {"data-source-access", Plain<CDataSourceAccessDlg>},
    {"data-source-sqlserver", Plain<CDataSourceSQLServerDlg>},
    {"data-source-sybase", Plain<CDataSourceSybaseDlg>},
    {"data-source-db2", Plain<CDataSourceDB2Dlg>},
    {"data-source-oracle", Plain<CDataSourceOracleDlg>},
    {"data-source-custom", Plain<CDataSourceCustomDlg>},
    {"label-settings",
     [](CLabelData& label) {
         auto d = std::make_unique<CLabelSettingsDlg>();
         d->m_pLabelData = &label;
         d->BindPages();
         return std::unique_ptr<QWidget>(std::move(d));
     }},
    {"page-header", Plain<CPageHeaderDlg>},
    {"page-number", Plain<CPageNoDlg>},
    {"view-options", [](CLabelData& label) { return std::unique_ptr<QWidget>(new CViewOptionsDlg(label)); }},
    {"print", Plain<CPrintDlg>},
    {"export", Plain<CExportDlg>},
    {"batch-export", Plain<CBatchExportDlg>},
    {"window-data", Plain<CScreenDataDlg>},
    {"script-editor", Plain<CScriptEditorDlg>},
    {"scripting", Plain<CScriptingDlg>},
    {"text-properties", [](CLabelData& label) { return PropertiesOf(label, std::make_unique<CTextGraph>()); }},
    {"barcode-properties", [](CLabelData& label) { return PropertiesOf(label, Barcode()); }},
    {"rectangle-properties", [](CLabelData& label) { return PropertiesOf(label, std::make_unique<CRectangleGraph>()); }},
    {"named-substrings", [](CLabelData& label) { return std::unique_ptr<QWidget>(new CNamedSubstringDlg(&label, nullptr)); }},
    {"data-band-settings",
     [](CLabelData& label) {
         label.m_objects.push_back(std::make_unique<CTextGraph>());
         auto& text = static_cast<CTextGraph&>(*label.m_objects.back());
         text.m_bands.push_back(std::make_unique<CDataBand>());
         return std::unique_ptr<QWidget>(new CDataBandSettingsDlg(text.m_bands.back().get()));
     }},
    {"help", [](CLabelData&) { return std::unique_ptr<QWidget>(CHelpWindow::ShowTopic("printing", nullptr)); }},
};

} // namespace

TEST(WindowSize, EveryWindowFitsALaptopScreen)
{
    FakeServices services;
    const QString showcase = qEnvironmentVariable("VC_SHOWCASE_DIR");
    for (const WindowCase& c : kWindows) {
        SCOPED_TRACE(c.name);
        CLabelData label;
        std::unique_ptr<QWidget> window = c.make(label);
        window->show();
        QCoreApplication::processEvents();
        const QSize opened = window->size();
        const QSize smallest = window->minimumSizeHint().expandedTo(window->minimumSize());
        EXPECT_LE(opened.width(), kMaxWindowWidth);
        EXPECT_LE(opened.height(), kMaxWindowHeight);
        EXPECT_LE(smallest.width(), kMaxWindowWidth);
        EXPECT_LE(smallest.height(), kMaxWindowHeight);
        if (!showcase.isEmpty())
            window->grab().save(QDir(showcase).filePath(QStringLiteral("window-%1.png").arg(QLatin1String(c.name))));
        window->hide();
    }
}
