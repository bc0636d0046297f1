#include "output/ui/ExportDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "platform/Numbers.h"
#include "platform/ScreenDpi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QStringList& ImageTypes()
{
    static const QStringList types = {QStringLiteral(".bmp"), QStringLiteral(".jpg"), QStringLiteral(".jpeg"),
                                      QStringLiteral(".gif"), QStringLiteral(".tif"), QStringLiteral(".tiff"),
                                      QStringLiteral(".png"), QStringLiteral(".emf")};
    return types;
}

QString ImageFilter()
{
    QStringList filters;
    const QStringList names = {QStringLiteral("BMP"), QStringLiteral("JPG"), QStringLiteral("JPEG"),
                               QStringLiteral("GIF"), QStringLiteral("Tif"), QStringLiteral("Tiff"),
                               QStringLiteral("PNG"), QStringLiteral("EMF")};
    for (int i = 0; i < names.size(); ++i)
        filters << QStringLiteral("%1 (*%2)").arg(names[i], ImageTypes()[i]);
    return filters.join(QStringLiteral(";;"));
}

QHBoxLayout* Row(QWidget* a, QWidget* b)
{
    auto* row = new QHBoxLayout;
    row->addWidget(a);
    row->addWidget(b, 1);
    return row;
}

} // namespace

int PrinterDpi(const QString& printerName)
{
    if (printerName.isEmpty())
        return g_nScreenDpiX;
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (info.isNull())
        return g_nScreenDpiX;
    const int dpi = QPrinter(info, QPrinter::HighResolution).resolution();
    return dpi > 0 ? dpi : g_nScreenDpiX;
}

CExportPictureControls::CExportPictureControls(QWidget* dialog, QVBoxLayout* layout)
    : QObject(dialog), m_nPrinterDpi(g_nScreenDpiX), m_nScreenDpi(g_nScreenDpiX), m_nCustomDpi(g_nScreenDpiX)
{
    auto* depthBox = new QGroupBox(QStringLiteral("颜色数"));
    auto* depthLayout = new QHBoxLayout(depthBox);
    const QStringList depthTexts = {QStringLiteral("单色"), QStringLiteral("16色"), QStringLiteral("256色"),
                                    QStringLiteral("真彩色(24位)")};
    for (int i = 0; i < 4; ++i) {
        m_depth[i] = SetCtlId(new QRadioButton(depthTexts[i]), 1143 + i);
        depthLayout->addWidget(m_depth[i]);
    }
    layout->addWidget(depthBox);

    auto* resolutionBox = new QGroupBox(QStringLiteral("分辨率"));
    auto* resolutionLayout = new QHBoxLayout(resolutionBox);
    m_pPrinter = SetCtlId(new QRadioButton(QStringLiteral("打印机")), 1147);
    m_pScreen = SetCtlId(new QRadioButton(QStringLiteral("屏幕")), 1148);
    m_pCustom = SetCtlId(new QRadioButton(QStringLiteral("自定义:")), 1149);
    m_pDpi = SetCtlId(new CVXUnitEdit, 1079);
    m_pDpi->m_strUnit = QStringLiteral("dpi ");
    m_pDpi->m_nValueType = CVXUnitEdit::ValueInteger;
    m_pDpi->UpdateFrame();
    for (QRadioButton* radio : {m_pPrinter, m_pScreen, m_pCustom}) {
        resolutionLayout->addWidget(radio);
        connect(radio, &QRadioButton::clicked, this, &CExportPictureControls::OnResolutionRadio);
    }
    resolutionLayout->addWidget(m_pDpi, 1);
    layout->addWidget(resolutionBox);

    auto* warningBox = new QGroupBox(QStringLiteral("警告"));
    auto* warningLayout = new QVBoxLayout(warningBox);
    auto* warning = new QLabel(QStringLiteral("请尽可能导出所需大小的条形码。导出非矢量条形码图像并在其它程序中"
                                              "调整其大小可能会导致无法识读的问题。"));
    warning->setWordWrap(true);
    warningLayout->addWidget(warning);
    layout->addWidget(warningBox);
}

void CExportPictureControls::SetDepth(int depth)
{
    m_depth[std::clamp(depth, 0, 3)]->setChecked(true);
}

int CExportPictureControls::Depth() const
{
    for (int i = 0; i < 3; ++i)
        if (m_depth[i]->isChecked())
            return i;
    return 3;
}

void CExportPictureControls::SetResolutionMode(int mode)
{
    (mode == 0 ? m_pPrinter : mode == 1 ? m_pScreen : m_pCustom)->setChecked(true);
    OnResolutionRadio();
}

void CExportPictureControls::OnResolutionRadio()
{
    const bool custom = m_pCustom->isChecked();
    const int dpi = m_pPrinter->isChecked() ? m_nPrinterDpi : m_pScreen->isChecked() ? m_nScreenDpi : m_nCustomDpi;
    m_pDpi->setText(QString::asprintf("%d", dpi));
    m_pDpi->setEnabled(custom);
}

void CExportPictureControls::ShowCustomDpi(int dpi)
{
    if (m_pCustom->isChecked())
        m_pDpi->setText(QString::asprintf("%d", dpi));
}

void CExportPictureControls::ReadResolution(int* mode, int* dpi) const
{
    if (m_pPrinter->isChecked()) {
        *mode = 0;
        *dpi = m_nPrinterDpi;
    } else if (m_pScreen->isChecked()) {
        *mode = 1;
        *dpi = m_nScreenDpi;
    } else {
        *mode = 2;
        *dpi = std::clamp(LeadingInt(m_pDpi->text()), 20, 3000);
    }
}

CExportDlgBase::CExportDlgBase(QWidget* parent) : CVXBaseDialog(parent), m_nDpi(g_nScreenDpiX) {}

void CExportDlgBase::showEvent(QShowEvent* event)
{
    if (!m_bLoaded) {
        m_bLoaded = true;
        m_pPicture->m_nPrinterDpi = PrinterDpi(m_strPrinterName);
        Load();
    }
    CVXBaseDialog::showEvent(event);
}

CExportDlg::CExportDlg(QWidget* parent) : CExportDlgBase(parent)
{
    setWindowTitle(QStringLiteral("导出图片"));
    auto* layout = new QVBoxLayout(this);

    auto* destinationBox = new QGroupBox(QStringLiteral("目的地"));
    auto* grid = new QGridLayout(destinationBox);
    m_pClipboard = SetCtlId(new QRadioButton(QStringLiteral("剪贴板")), 1137);
    m_pFile = SetCtlId(new QRadioButton(QStringLiteral("文件:")), 1131);
    m_pPath = SetCtlId(new QLineEdit, 1279);
    m_pPath->setMinimumWidth(280);
    m_pBrowse = SetCtlId(new QPushButton(QStringLiteral("...")), 1280);
    m_pBrowse->setFixedWidth(32);
    grid->addWidget(m_pClipboard, 0, 0);
    grid->addWidget(m_pFile, 1, 0);
    grid->addWidget(m_pPath, 1, 1);
    grid->addWidget(m_pBrowse, 1, 2);
    layout->addWidget(destinationBox);

    m_pPicture = new CExportPictureControls(this, layout);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));

    for (QRadioButton* radio : {m_pClipboard, m_pFile})
        connect(radio, &QRadioButton::clicked, this, &CExportDlg::UpdateDestination);
    connect(m_pBrowse, &QPushButton::clicked, this, &CExportDlg::OnBrowse);
}

void CExportDlg::Load()
{
    m_pPicture->m_nCustomDpi = m_pPicture->m_nPrinterDpi / 2;
    (ExportSettings::s_nDestination == 1 ? m_pFile : m_pClipboard)->setChecked(true);
    m_pPath->setText(ExportSettings::s_strFilePath);
    UpdateDestination();
    m_pPicture->SetDepth(ExportSettings::s_nColourDepth);
    m_pPicture->SetResolutionMode(ExportSettings::s_nResolutionMode);
    m_pPicture->ShowCustomDpi(ExportSettings::s_nDpi);
}

void CExportDlg::UpdateDestination()
{
    const bool file = !m_pClipboard->isChecked();
    m_pPath->setEnabled(file);
    m_pBrowse->setEnabled(file);
}

void CExportDlg::OnBrowse()
{
    // The picker opens on the type of the path already there, and a name typed
    // without a suffix takes the type chosen in it.
    const QStringList filters = ImageFilter().split(QStringLiteral(";;"));
    const qsizetype known = ImageTypes().indexOf(u'.' + QFileInfo(m_pPath->text()).suffix().toLower());
    QString chosen = filters.value(std::max<qsizetype>(known, 0));
    QString path =
        Services().GetSaveFileNameOfType(this, QStringLiteral("导出图片"), m_pPath->text(), ImageFilter(), &chosen);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += ImageTypes().value(std::max<qsizetype>(filters.indexOf(chosen), 0));
    m_pPath->setText(path);
}

bool CExportDlg::OnOK()
{
    const bool file = m_pFile->isChecked();
    if (file && m_pPath->text().trimmed().isEmpty()) {
        Services().ShowMessage(this, QStringLiteral("请指定输出文件路径和名称"), MessageIcon::Information);
        m_pPath->setFocus();
        return false;
    }
    m_nDestination = file ? 1 : 0;
    if (file)
        m_strFilePath = m_pPath->text();
    m_nColourDepth = m_pPicture->Depth();
    m_pPicture->ReadResolution(&m_nResolutionMode, &m_nDpi);

    ExportSettings::s_nDestination = m_nDestination;
    ExportSettings::s_strFilePath = m_strFilePath;
    ExportSettings::s_nColourDepth = m_nColourDepth;
    ExportSettings::s_nResolutionMode = m_nResolutionMode;
    ExportSettings::s_nDpi = m_nDpi;
    return true;
}

CBatchExportDlg::CBatchExportDlg(QWidget* parent) : CExportDlgBase(parent)
{
    m_nColourDepth = 0;
    setWindowTitle(QStringLiteral("批量导出图片"));
    auto* layout = new QVBoxLayout(this);

    auto* batchBox = new QGroupBox(QStringLiteral("批量导出"));
    auto* grid = new QGridLayout(batchBox);
    m_pFolder = SetCtlId(new QLineEdit, 1274);
    m_pFolder->setMinimumWidth(260);
    auto* browse = SetCtlId(new QPushButton(QStringLiteral("...")), 1275);
    browse->setFixedWidth(32);
    grid->addWidget(new QLabel(QStringLiteral("保存目录:")), 0, 0);
    grid->addLayout(Row(m_pFolder, browse), 0, 1, 1, 3);

    m_pType = SetCtlId(new QComboBox, 1098);
    m_pType->addItems(ImageTypes());
    grid->addWidget(new QLabel(QStringLiteral("图像类型:")), 1, 0);
    grid->addWidget(m_pType, 1, 1);

    m_pStartName = SetCtlId(new QLineEdit, 1080);
    m_pExtension = SetCtlId(new QLabel(ImageTypes().first()), 1276);
    m_pNameAfterObject = SetCtlId(new QCheckBox(QStringLiteral("以选定对象为名")), 1004);
    grid->addWidget(new QLabel(QStringLiteral("起始名称:")), 2, 0);
    grid->addWidget(m_pStartName, 2, 1);
    grid->addWidget(m_pExtension, 2, 2);
    grid->addWidget(m_pNameAfterObject, 2, 3);

    m_pFrom = MakeIntegerEdit(1081);
    m_pTo = MakeIntegerEdit(1082);
    grid->addWidget(new QLabel(QStringLiteral("数据范围:")), 3, 0);
    m_pFromSpin = MakeSpin(1277, m_pFrom, 1, kMaxRow);
    m_pToSpin = MakeSpin(1278, m_pTo, 1, kMaxRow);
    grid->addWidget(EditWithSpin(m_pFrom, m_pFromSpin), 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("到:")), 3, 2, Qt::AlignRight);
    grid->addWidget(EditWithSpin(m_pTo, m_pToSpin), 3, 3);
    layout->addWidget(batchBox);

    m_pPicture = new CExportPictureControls(this, layout);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));

    connect(browse, &QPushButton::clicked, this, [this] {
        const QString folder = Services().GetExistingDirectory(this, QString(), m_pFolder->text());
        if (!folder.isEmpty())
            m_pFolder->setText(folder);
    });
    connect(m_pType, &QComboBox::activated, this, [this] { m_pExtension->setText(m_pType->currentText()); });
}

void CBatchExportDlg::Load()
{
    m_pType->setCurrentIndex(0);
    m_pExtension->setText(m_pType->currentText());
    m_pFrom->setText(QStringLiteral("1"));
    m_pTo->setText(QStringLiteral("1"));
    m_pPicture->SetDepth(0);
    m_pPicture->SetResolutionMode(0);
}

bool CBatchExportDlg::OnOK()
{
    if (m_pFolder->text().trimmed().isEmpty()) {
        Services().ShowMessage(this, QStringLiteral("请指定保存目录"), MessageIcon::Information);
        m_pFolder->setFocus();
        return false;
    }
    // Rows are whole numbers up to the arrows' limit: a stray "70.0013.5" is no row
    // 700135, and no run writes a million files because of a typing slip. A typed 0
    // or less starts at the first row.
    for (CNumSpinCtrl* spin : {m_pFromSpin, m_pToSpin}) {
        const std::optional<int> row = ReadWholeNumber(spin->GetBuddy());
        if (!row || *row > kMaxRow || (spin == m_pToSpin && *row < 1)) {
            Services().ShowMessage(this, SpinRangeMessage(spin), MessageIcon::Information);
            spin->GetBuddy()->setFocus();
            return false;
        }
    }
    m_strFolder = m_pFolder->text();
    m_nImageType = m_pType->currentIndex();
    m_strExtension = m_pExtension->text();
    m_strStartName = m_pStartName->text();
    m_bNameAfterObject = m_pNameAfterObject->isChecked();
    m_nFromRow = std::max(1, *ReadWholeNumber(m_pFrom));
    m_nToRow = *ReadWholeNumber(m_pTo);
    m_nColourDepth = m_pPicture->Depth();
    m_pPicture->ReadResolution(&m_nResolutionMode, &m_nDpi);
    return true;
}
