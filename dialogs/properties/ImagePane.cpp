#include "dialogs/properties/ObjectPanes.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/ComboBoxes.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/DSBase.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/Utils.h"
#include "platform/ScreenDpi.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

QString ImageMimeTypeOf(const QString& path)
{
    QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty())
        return QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchContent).name();
    if (suffix == QLatin1String("jpg"))
        suffix = QStringLiteral("jpeg");
    else if (suffix == QLatin1String("tif"))
        suffix = QStringLiteral("tiff");
    return QStringLiteral("image/") + suffix;
}

namespace {

// Index of the first checked button; the last one when none is.
int CheckedIndex(QRadioButton* const (&buttons)[3])
{
    for (int i = 0; i < 2; ++i) {
        if (buttons[i]->isChecked())
            return i;
    }
    return 2;
}

void CheckIndex(QRadioButton* const (&buttons)[3], int index)
{
    buttons[index >= 0 && index < 2 ? index : 2]->setChecked(true);
}

// The picture's size in pixels; empty for one that could not be decoded.
QSize PixelsOf(const CImageGraph& image)
{
    if (!image.m_pImage || !image.m_pImage->IsDecoded())
        return {};
    const QSize pixels = image.m_pImage->SourceSize();
    return pixels.width() > 0 && pixels.height() > 0 ? pixels : QSize();
}

float ProportionalHeight(float width, QSize pixels)
{
    return width * static_cast<float>(pixels.height()) / static_cast<float>(pixels.width());
}

// The box follows the picture: its height by the picture's proportions, or its own
// pixel size at the screen's resolution. A picture that could not be decoded has no
// size and leaves the box alone.
void FitBoxToPicture(CImageGraph& image)
{
    const QSize pixels = PixelsOf(image);
    if (pixels.isEmpty())
        return;
    if (image.m_nSizeMode == ImageSizeProportional) {
        image.m_fHeight = ProportionalHeight(image.m_fWidth, pixels);
    } else if (image.m_nSizeMode == ImageSizeOriginal) {
        image.m_fWidth = static_cast<float>(pixels.width() * 25.4 / g_nScreenDpiX);
        image.m_fHeight = static_cast<float>(pixels.height() * 25.4 / g_nScreenDpiY);
    }
}

} // namespace

CImageEdtPane::CImageEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 246);
    auto* layout = new QVBoxLayout(this);
    QFormLayout* source = AddGroup(layout, QStringLiteral("图片源"));
    m_type = MakeCombo(1098, {QStringLiteral("嵌入式图片"), QStringLiteral("链接式图片"), QStringLiteral("数据源图片")});
    source->addRow(QStringLiteral("类型:"), m_type);
    auto* fileRow = new QHBoxLayout;
    m_fileLabel = SetCtlId(new QLabel(QStringLiteral("文件名:")), 1132);
    m_path = SetCtlId(new QLineEdit, 1079);
    m_choose = SetCtlId(new QPushButton(QStringLiteral("选择图片...")), 1078);
    fileRow->addWidget(m_fileLabel);
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(m_choose);
    fileRow->addStretch(0);
    source->addRow(fileRow);

    auto* sizes = new QGroupBox(QStringLiteral("图片尺寸"));
    auto* sizeLayout = new QVBoxLayout(sizes);
    m_sizeModes[0] = MakeRadio(QStringLiteral("按比例缩放"), 1127);
    m_sizeModes[1] = MakeRadio(QStringLiteral("原始图片大小"), 1126);
    m_sizeModes[2] = MakeRadio(QStringLiteral("调整到方框大小"), 1128);
    for (QRadioButton* radio : m_sizeModes)
        sizeLayout->addWidget(radio);
    layout->addWidget(sizes);

    auto* errors = new QGroupBox(QStringLiteral("打印时错误处理方法"));
    auto* errorLayout = new QVBoxLayout(errors);
    errorLayout->addWidget(new QLabel(QStringLiteral("如果图片不存在或处理出错:")));
    m_errorModes[0] = MakeRadio(QStringLiteral("忽略并继续打印"), 1129);
    m_errorModes[1] = MakeRadio(QStringLiteral("提示用户处理"), 1130);
    m_errorModes[2] = MakeRadio(QStringLiteral("终止当前打印作业"), 1131);
    for (QRadioButton* radio : m_errorModes)
        errorLayout->addWidget(radio);
    layout->addWidget(errors);
    layout->addStretch(1);
    GroupRadios(this, {m_sizeModes[0], m_sizeModes[1], m_sizeModes[2]});
    GroupRadios(this, {m_errorModes[0], m_errorModes[1], m_errorModes[2]});

    connect(m_type, &QComboBox::activated, this, &CImageEdtPane::LayoutForType);
    connect(m_choose, &QPushButton::clicked, this, &CImageEdtPane::OnChoose);
}

void CImageEdtPane::Load()
{
    const auto& image = static_cast<const CImageGraph&>(*m_pObject);
    m_type->setCurrentIndex(image.m_nSourceKind >= 0 && image.m_nSourceKind < 3 ? image.m_nSourceKind : -1);
    LayoutForType();
    m_path->setText(image.m_strFileName);
    m_strPath = image.m_strFileName;
    m_strMimeType = image.m_strMimeType;
    m_strDataSource = image.m_strDataSource;
    m_strFieldName = image.m_strFieldName;
    m_strSuffix = image.m_strSuffix;
    m_strPrefix = image.m_strPrefix;
    CheckIndex(m_sizeModes, image.m_nSizeMode);
    CheckIndex(m_errorModes, image.m_nErrorHandling);
}

// Embedded and data-source pictures show only the button; the path edit keeps its text.
void CImageEdtPane::LayoutForType()
{
    const bool linked = m_type->currentIndex() == ImageLinked;
    m_fileLabel->setVisible(linked);
    m_path->setVisible(linked);
    m_choose->setText(m_type->currentIndex() == ImageDataSource ? QStringLiteral("设置数据源...")
                                                                : QStringLiteral("选择图片..."));
}

void CImageEdtPane::OnChoose()
{
    if (m_type->currentIndex() == ImageDataSource) {
        CImageDataSourceDlg dialog(this);
        dialog.m_pLabelData = m_pLabelData;
        dialog.m_strDataSource = m_strDataSource;
        dialog.m_strFieldName = m_strFieldName;
        dialog.m_strSuffix = m_strSuffix;
        dialog.m_strPrefix = m_strPrefix;
        if (Services().RunModal(dialog) != QDialog::Accepted)
            return;
        m_strDataSource = dialog.m_strDataSource;
        m_strFieldName = dialog.m_strFieldName;
        m_strSuffix = dialog.m_strSuffix;
        m_strPrefix = dialog.m_strPrefix;
        return;
    }
    const QString path = Services().GetOpenFileName(
        this, QString(), QString(),
        QStringLiteral("图像文件 (*.bmp *.jpg *.jpeg *.png);;Tiff图像文件 (*.tiff *.tif);;所有文件(*.*) (*)"));
    if (path.isEmpty())
        return;
    m_strPath = path;
    m_path->setText(path);
    m_strMimeType = ImageMimeTypeOf(path);
}

bool CImageEdtPane::Validate()
{
    if (m_type->currentIndex() != ImageLinked || (!m_strPath.isEmpty() && FileExists(m_strPath)))
        return true;
    Services().ShowMessage(this, QStringLiteral("请选择图片"), MessageIcon::Question);
    return false;
}

void CImageEdtPane::Apply()
{
    auto& image = static_cast<CImageGraph&>(*m_pObject);
    image.m_nSourceKind = m_type->currentIndex();
    image.m_strFileName = m_path->text();
    image.m_strMimeType = m_strMimeType;
    image.m_strDataSource = m_strDataSource;
    image.m_strFieldName = m_strFieldName;
    image.m_strSuffix = m_strSuffix;
    image.m_strPrefix = m_strPrefix;
    image.m_nSizeMode = CheckedIndex(m_sizeModes);
    image.m_nErrorHandling = CheckedIndex(m_errorModes);
    // The picture is read again from its file; a file that cannot be read any more
    // keeps the picture the object has (an embedded one may exist nowhere else).
    if ((image.m_nSourceKind == ImageEmbedded || image.m_nSourceKind == ImageLinked) && !image.m_strFileName.isEmpty()) {
        ImageHolder picture = ImageHolder::FromFile(image.m_strFileName);
        if (!picture.IsEmpty())
            image.m_pImage = std::make_unique<ImageHolder>(std::move(picture));
    }
    FitBoxToPicture(image);
}

bool CImageEdtPane::FittedBoxFits(const CImageGraph& fitted, QWidget* widthBox)
{
    const float limit = kMaxLabelLengthMm;
    if (std::fabs(fitted.m_fWidth) <= limit && std::fabs(fitted.m_fHeight) <= limit)
        return true;
    const QString picture = fitted.m_strFileName.isEmpty() ? QStringLiteral("这张图片")
                                                          : QStringLiteral("图片“%1”").arg(fitted.m_strFileName);
    const QString most = QString::number(double(limit));
    const QSize pixels = PixelsOf(fitted);
    if (fitted.m_nSizeMode == ImageSizeProportional && !pixels.isEmpty()) {
        // Only the height follows: the widest box, in hundredths, whose height holds.
        double widest = std::floor(double(limit) * pixels.width() / pixels.height() * 100) / 100;
        while (widest > 0 && ProportionalHeight(static_cast<float>(widest), pixels) > limit)
            widest -= 0.01;
        return RefuseOutsideRange(
            widthBox, 0.01, widest, QStringLiteral("%1按比例缩放后高度不能超过 %2 毫米").arg(picture, most));
    }
    return RefuseNumberBox(m_sizeModes[1],
                           QStringLiteral("%1按原始大小宽 %2 毫米、高 %3 毫米，宽度和高度不能超过 %4 毫米："
                                          "请选择“按比例缩放”或“调整到方框大小”。")
                               .arg(picture, FormatFloatShort2(fitted.m_fWidth), FormatFloatShort2(fitted.m_fHeight), most));
}

CImageDataSourceDlg::CImageDataSourceDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("图片数据源"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_source = SetCtlId(new QComboBox, 1101);
    m_field = SetCtlId(new QComboBox, 1100);
    m_suffix = SetCtlId(new QLineEdit, 1225);
    m_prefix = SetCtlId(new QLineEdit, 1224);
    form->addRow(QStringLiteral("数据源:"), m_source);
    form->addRow(QStringLiteral("字段名:"), m_field);
    form->addRow(QStringLiteral("后　缀:"), m_suffix);
    form->addRow(QStringLiteral("前　缀:"), m_prefix);
    layout->addLayout(form);
    layout->addWidget(MakeDialogButtons(this));
    connect(m_source, &QComboBox::activated, this, &CImageDataSourceDlg::FillFields);
}

void CImageDataSourceDlg::showEvent(QShowEvent* event)
{
    if (!m_bLoaded) {
        m_bLoaded = true;
        if (m_pLabelData) {
            for (const auto& source : m_pLabelData->m_dataSources)
                m_source->addItem(source->m_strName, QVariant::fromValue(static_cast<void*>(source.get())));
        }
        SelectComboItemByText(m_strDataSource, m_source);
        FillFields();
        SelectComboItemByText(m_strFieldName, m_field);
        m_suffix->setText(m_strSuffix);
        m_prefix->setText(m_strPrefix);
    }
    QDialog::showEvent(event);
}

void CImageDataSourceDlg::FillFields()
{
    m_field->clear();
    m_field->setCurrentIndex(-1);
    if (m_source->currentIndex() < 0)
        return;
    const auto* source = static_cast<const CDSBase*>(m_source->currentData().value<void*>());
    m_field->addItems(source->m_selectedFields);
    m_field->setCurrentIndex(-1);
}

// Without a selection the previous names stay.
void CImageDataSourceDlg::accept()
{
    if (m_source->currentIndex() >= 0)
        m_strDataSource = m_source->currentText();
    if (m_field->currentIndex() >= 0)
        m_strFieldName = m_field->currentText();
    m_strSuffix = m_suffix->text();
    m_strPrefix = m_prefix->text();
    QDialog::accept();
}
