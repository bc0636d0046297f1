#include "dialogs/properties/LabelSettingsDlg.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/PngControls.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/LSPreviewStatic.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/Utils.h"

#include <QCheckBox>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSize>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

// A picture from the program's PNG resources beside a radio button.
QWidget* WithPicture(QRadioButton* radio, int pictureId, int resource)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* picture = SetCtlId(new CPngStatic, pictureId);
    picture->m_nResourceId = resource;
    if (picture->LoadPng())
        picture->setFixedSize(picture->Image().size());
    else
        picture->hide();
    layout->addWidget(picture);
    layout->addWidget(radio, 1);
    return row;
}

void Connect(QLineEdit* edit, QObject* receiver, std::function<void()> handler)
{
    QObject::connect(edit, &QLineEdit::textChanged, receiver, [handler = std::move(handler)] { handler(); });
}

QVBoxLayout* PageLayout(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    return layout;
}

// Every paper size there is, for a machine without printers: a label can still be
// set up and printed to PDF.
std::vector<PaperInfo> StandardPapers()
{
    std::vector<PaperInfo> papers;
    for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
        if (id == QPageSize::Custom)
            continue;
        const QPageSize size(static_cast<QPageSize::PageSizeId>(id));
        const QSizeF mm = size.size(QPageSize::Millimeter);
        papers.push_back({size.windowsId(), size.name(), static_cast<float>(qRound(mm.width() * 10) / 10.0),
                          static_cast<float>(qRound(mm.height() * 10) / 10.0)});
    }
    return papers;
}

// "image/" and the file's suffix ("jpg" as "jpeg", "tif" as "tiff"); the content's
// type for a name without a suffix.
QString ImageTypeOf(const QString& path, const ImageHolder& image)
{
    const int dot = path.lastIndexOf(u'.');
    const int slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    if (dot < 0 || dot < slash || dot == path.size() - 1)
        return image.MimeType();
    QString extension = path.mid(dot + 1).toLower();
    if (extension == u"jpg")
        extension = QStringLiteral("jpeg");
    else if (extension == u"tif")
        extension = QStringLiteral("tiff");
    return QStringLiteral("image/") + extension;
}

} // namespace

void CLabelSettingsDlg_Base::RefreshPreview()
{
    if (m_bInitialised && m_pPreview)
        m_pPreview->Refresh();
}

// ---- Printer page ----

CLabelSettingsDlg_Printer::CLabelSettingsDlg_Printer(QWidget* parent) : CLabelSettingsDlg_Base(parent)
{
    auto* layout = PageLayout(this);
    QFormLayout* type = AddGroup(layout, QStringLiteral("打印机类型:"));
    m_ordinary = MakeRadio(QStringLiteral("普通打印机"), 1143);
    m_labelPrinter = MakeRadio(QStringLiteral("标签打印机"), 1144);
    type->addRow(WithPicture(m_ordinary, 1269, 359));
    type->addRow(WithPicture(m_labelPrinter, 1270, 360));
    GroupRadios(this, {m_ordinary, m_labelPrinter});
    QFormLayout* printer = AddGroup(layout, QStringLiteral("打印机:"));
    m_printer = SetCtlId(new QComboBox, 1001);
    m_resolution = MakeCombo(1098, {});
    m_resolution->setEditable(true);
    printer->addRow(QStringLiteral("名称:"), m_printer);
    printer->addRow(QStringLiteral("分辨率:"), m_resolution);
    layout->addStretch();

    connect(m_ordinary, &QRadioButton::clicked, this, &CLabelSettingsDlg_Printer::OnPrinterTypeClicked);
    connect(m_labelPrinter, &QRadioButton::clicked, this, &CLabelSettingsDlg_Printer::OnPrinterTypeClicked);
    connect(m_printer, &QComboBox::activated, this, &CLabelSettingsDlg_Printer::OnPrinterChanged);
}

void CLabelSettingsDlg_Printer::Load()
{
    const CLabelData& label = *m_pLabelData;
    QStringList printers = Services().PrinterNames();
    std::sort(printers.begin(), printers.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    m_printer->clear();
    m_printer->addItems(printers);
    m_resolution->clear();
    for (const char16_t* item : {u"<默认>", u"120 DPI", u"150 DPI", u"180 DPI", u"200 DPI", u"240 DPI", u"300 DPI",
                                 u"400 DPI", u"600 DPI", u"720 DPI", u"1200 DPI", u"1440 DPI"})
        m_resolution->addItem(QString::fromUtf16(item));
    (label.m_nPrinterType == 1 ? m_labelPrinter : m_ordinary)->setChecked(label.m_nPrinterType == 0 || label.m_nPrinterType == 1);

    m_printer->setCurrentIndex(-1);
    if (!printers.isEmpty()) {
        const QString name = label.m_strPrinterName.isEmpty() ? Services().DefaultPrinterName() : label.m_strPrinterName;
        m_printer->setCurrentIndex(0);
        const int index = m_printer->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            m_printer->setCurrentIndex(index);
    }
    if (label.m_nResolution < 1) {
        m_resolution->setCurrentIndex(0);
    } else {
        const QString text = QString::asprintf("%d DPI", label.m_nResolution);
        const int index = m_resolution->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            m_resolution->setCurrentIndex(index);
        m_resolution->setEditText(text);
    }
    // Shown, not offered: the printer's resolution is whatever its driver uses.
    m_resolution->setEnabled(false);
}

void CLabelSettingsDlg_Printer::OnPrinterTypeClicked()
{
    const bool labelPrinter = m_labelPrinter->isChecked();
    if (m_pPagePage)
        m_pPagePage->EnableForPrinterType(labelPrinter);
    if (m_pLayoutPage)
        m_pLayoutPage->EnableForPrinterType(labelPrinter);
    RefreshPreview();
}

void CLabelSettingsDlg_Printer::OnPrinterChanged()
{
    if (m_printer->currentIndex() < 0 || !m_pPagePage)
        return;
    m_pPagePage->LoadPaperList(m_printer->currentText());
    m_pPagePage->FillPaperCombo();
    m_pPagePage->SelectPaper(m_pLabelData->m_strPaperName);
    m_pPagePage->OnPaperChanged();
}

void CLabelSettingsDlg_Printer::Apply()
{
    CLabelData& label = *m_pLabelData;
    label.m_nPrinterType = m_ordinary->isChecked() ? 0 : 1;
    label.m_strPrinterName = m_printer->currentIndex() >= 0 ? m_printer->currentText() : QString();
    const QString dpi = m_resolution->currentText();
    const int value = dpi == u"默认" ? -1 : static_cast<int>(TextToFloat(dpi));
    label.m_nResolution = value < 1 ? -1 : value;
}

// ---- Page page ----

CLabelSettingsDlg_Page::CLabelSettingsDlg_Page(QWidget* parent) : CLabelSettingsDlg_Base(parent)
{
    auto* layout = PageLayout(this);
    QFormLayout* paper = AddGroup(layout, QStringLiteral("纸张:"));
    m_paper = SetCtlId(new QComboBox, 1008);
    paper->addRow(m_paper);
    QWidget* row = nullptr;
    m_width = MakeLengthEdit(1009, 1011, &row);
    paper->addRow(QStringLiteral("宽度:"), row);
    m_height = MakeLengthEdit(1010, 1012, &row);
    paper->addRow(QStringLiteral("高度:"), row);
    // A page of no width or height is what the preview names as its error.
    RefuseZeroIn(m_width);
    RefuseZeroIn(m_height);
    QFormLayout* orientation = AddGroup(layout, QStringLiteral("纸张方向:"));
    m_portrait = MakeRadio(QStringLiteral("纵向"), 1013);
    m_landscape = MakeRadio(QStringLiteral("横向"), 1014);
    orientation->addRow(WithPicture(m_portrait, 1272, 362));
    orientation->addRow(WithPicture(m_landscape, 1271, 361));
    GroupRadios(this, {m_portrait, m_landscape});
    QFormLayout* margins = AddGroup(layout, QStringLiteral("物理边距:"));
    m_marginLeft = MakeLengthEdit(1015, 1017, &row);
    margins->addRow(QStringLiteral("左边距:"), row);
    m_marginTop = MakeLengthEdit(1016, 1018, &row);
    margins->addRow(QStringLiteral("上边距:"), row);
    layout->addStretch();

    connect(m_paper, &QComboBox::activated, this, &CLabelSettingsDlg_Page::OnPaperChanged);
    Connect(m_width, this, [this] { OnSizeChanged(); });
    Connect(m_height, this, [this] { OnSizeChanged(); });
    for (QRadioButton* radio : {m_portrait, m_landscape}) {
        connect(radio, &QRadioButton::clicked, this, [this] {
            if (!m_bInitialised)
                return;
            if (m_pLayoutPage)
                m_pLayoutPage->OnPageSizeChanged();
            RefreshPreview();
        });
    }
}

void CLabelSettingsDlg_Page::Load()
{
    const CLabelData& label = *m_pLabelData;
    LoadPaperList(label.m_strPrinterName);
    FillPaperCombo();
    SelectPaper(m_bNewLabel ? QStringLiteral("A4") : label.m_strPaperName);
    SetLengthText(m_width, label.m_fPaperWidth);
    SetLengthText(m_height, label.m_fPaperHeight);
    (label.m_bLandscape ? m_landscape : m_portrait)->setChecked(true);
    SetLengthText(m_marginLeft, label.m_fPaperLeftMargin);
    SetLengthText(m_marginTop, label.m_fPaperTopMargin);
    EnableForPrinterType(label.m_nPrinterType == 1);
}

void CLabelSettingsDlg_Page::LoadPaperList(const QString& printerName)
{
    m_papers.clear();
    const QString name = printerName.isEmpty() ? Services().DefaultPrinterName() : printerName;
    m_papers = name.isEmpty() ? StandardPapers() : Services().PrinterPapers(name);
}

void CLabelSettingsDlg_Page::FillPaperCombo()
{
    m_paper->clear();
    for (const PaperInfo& paper : m_papers)
        m_paper->addItem(paper.name);
}

void CLabelSettingsDlg_Page::SelectPaper(const QString& name)
{
    SelectComboItemByText(name, m_paper);
}

void CLabelSettingsDlg_Page::OnPaperChanged()
{
    const int index = m_paper->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_papers.size()))
        return;
    // Each edit's change handler follows the paper, as typing would.
    SetLengthText(m_width, m_papers[static_cast<size_t>(index)].width);
    SetLengthText(m_height, m_papers[static_cast<size_t>(index)].height);
}

void CLabelSettingsDlg_Page::OnSizeChanged()
{
    if (!m_bInitialised)
        return;
    if (m_pLayoutPage)
        m_pLayoutPage->OnPageSizeChanged();
    RefreshPreview();
    UpdatePaperSizeText();
}

void CLabelSettingsDlg_Page::EnableForPrinterType(bool labelPrinter)
{
    m_paper->setEnabled(!labelPrinter);
    m_width->setEnabled(!labelPrinter);
    m_height->setEnabled(!labelPrinter);
    m_landscape->setEnabled(!labelPrinter);
    m_portrait->setEnabled(true);
    if (labelPrinter)
        m_portrait->setChecked(true);
}

void CLabelSettingsDlg_Page::UpdatePaperSizeText()
{
    if (m_pPaperSizeText && m_pPreview)
        m_pPaperSizeText->setText(QStringLiteral("纸张大小: %1 x %2 毫米")
                                      .arg(FormatFloatShort2(m_pPreview->PageWidth()),
                                           FormatFloatShort2(m_pPreview->PageHeight())));
}

void CLabelSettingsDlg_Page::Apply()
{
    CLabelData& label = *m_pLabelData;
    const int index = m_paper->currentIndex();
    if (index >= 0 && index < static_cast<int>(m_papers.size())) {
        label.m_nPaperSize = static_cast<uint16_t>(m_papers[static_cast<size_t>(index)].code);
        label.m_strPaperName = m_papers[static_cast<size_t>(index)].name;
    }
    StoreTakenLength(m_width, label.m_fPaperWidth);
    StoreTakenLength(m_height, label.m_fPaperHeight);
    label.m_bLandscape = m_landscape->isChecked();
    StoreTakenLength(m_marginLeft, label.m_fPaperLeftMargin);
    StoreTakenLength(m_marginTop, label.m_fPaperTopMargin);
}

// ---- Shape page ----

CLabelSettingsDlg_Shape::CLabelSettingsDlg_Shape(QWidget* parent) : CLabelSettingsDlg_Base(parent)
{
    auto* layout = PageLayout(this);
    auto* shapes = new QGroupBox(QStringLiteral("形状:"));
    auto* grid = new QGridLayout(shapes);
    m_rectangle = MakeRadio(QStringLiteral("矩形"), 1015);
    m_roundRect = MakeRadio(QStringLiteral("圆角矩形"), 1016);
    m_ellipse = MakeRadio(QStringLiteral("椭圆"), 1017);
    const QRadioButton* radios[] = {m_rectangle, m_roundRect, m_ellipse};
    for (int shape = 0; shape < 3; ++shape) {
        grid->addWidget(SetCtlId(new CLabelShapeStatic(shape), 1062 + shape), shape, 0);
        grid->addWidget(const_cast<QRadioButton*>(radios[shape]), shape, 1);
    }
    QWidget* row = nullptr;
    m_radius = MakeLengthEdit(1023, 1024, &row);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("圆角半径:"), row), 1, 2);
    grid->addWidget(row, 1, 3);
    m_hole = MakeCheck(QStringLiteral("中心圆孔"), 1004);
    grid->addWidget(m_hole, 2, 2);
    m_diameter = MakeLengthEdit(1018, 1019, &row);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("直径:"), row), 3, 2);
    grid->addWidget(row, 3, 3);
    layout->addWidget(shapes);
    QFormLayout* border = AddGroup(layout, QStringLiteral("边框:"));
    m_border = MakeCheck(QStringLiteral("打印边框"), 1020);
    border->addRow(m_border);
    m_borderWidth = MakeLengthEdit(1021, 1022, &row);
    border->addRow(QStringLiteral("线宽:"), row);
    m_borderColour = SetCtlId(new CColourPicker, 1200);
    m_borderColour->m_strDefaultText.clear();
    border->addRow(QStringLiteral("颜色:"), m_borderColour);
    layout->addStretch();

    for (QRadioButton* radio : {m_rectangle, m_roundRect, m_ellipse}) {
        connect(radio, &QRadioButton::clicked, this, [this] {
            EnableByShape();
            RefreshPreview();
        });
    }
    Connect(m_radius, this, [this] { RefreshPreview(); });
    Connect(m_diameter, this, [this] { RefreshPreview(); });
    connect(m_hole, &QCheckBox::clicked, this, &CLabelSettingsDlg_Base::RefreshPreview);
}

void CLabelSettingsDlg_Shape::EnableByShape()
{
    m_radius->setEnabled(m_roundRect->isChecked());
    m_hole->setEnabled(m_ellipse->isChecked());
    m_diameter->setEnabled(m_ellipse->isChecked());
}

void CLabelSettingsDlg_Shape::Load()
{
    const CLabelData& label = *m_pLabelData;
    QRadioButton* radios[] = {m_rectangle, m_roundRect, m_ellipse};
    if (label.m_nShape >= 0 && label.m_nShape < 3)
        radios[label.m_nShape]->setChecked(true);
    EnableByShape();
    SetLengthText(m_radius, label.m_fCornerRadius);
    SetLengthText(m_diameter, label.m_fHoleDiameter);
    SetLengthText(m_borderWidth, label.m_fBorderWidth);
    m_hole->setChecked(label.m_bCenterHole);
    m_border->setChecked(label.m_bPrintBorder);
    m_borderColour->SetColour(QColor::fromRgb(label.m_crBorder & 0xFFFFFFu));
}

void CLabelSettingsDlg_Shape::Apply()
{
    CLabelData& label = *m_pLabelData;
    if (m_rectangle->isChecked())
        label.m_nShape = ShapeRectangle;
    else if (m_roundRect->isChecked())
        label.m_nShape = ShapeRoundRect;
    else if (m_ellipse->isChecked())
        label.m_nShape = ShapeEllipse;
    StoreTakenLength(m_radius, label.m_fCornerRadius);
    StoreTakenLength(m_diameter, label.m_fHoleDiameter);
    StoreTakenLength(m_borderWidth, label.m_fBorderWidth);
    label.m_bCenterHole = m_hole->isChecked();
    label.m_bPrintBorder = m_border->isChecked();
    const QColor colour = m_borderColour->GetColour();
    label.m_crBorder = colour.isValid() ? PickerColourToArgb(colour) : 0xFF000000u;
}

// ---- Layout page ----

CLabelSettingsDlg_Layout::CLabelSettingsDlg_Layout(QWidget* parent) : CLabelSettingsDlg_Base(parent)
{
    auto* layout = PageLayout(this);
    QWidget* row = nullptr;
    QFormLayout* size = AddGroup(layout, QStringLiteral("标签大小:"));
    m_labelWidth = MakeLengthEdit(1021, 1024, &row);
    size->addRow(QStringLiteral("宽度:"), row);
    m_labelHeight = MakeLengthEdit(1022, 1023, &row);
    size->addRow(QStringLiteral("高度:"), row);
    RefuseZeroIn(m_labelWidth);
    RefuseZeroIn(m_labelHeight);

    auto* position = new QGroupBox(QStringLiteral("标签位置:"));
    auto* grid = new QGridLayout(position);
    m_leftMargin = MakeLengthEdit(1025, 1026, &row);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("左边距:"), row), 0, 0);
    grid->addWidget(row, 0, 1);
    m_topMargin = MakeLengthEdit(1027, 1028, &row);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("上边距:"), row), 0, 2);
    grid->addWidget(row, 0, 3);
    m_horzGap = MakeLengthEdit(1029, 1032, &row);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("水平间距:"), row), 1, 0);
    grid->addWidget(row, 1, 1);
    m_vertGap = MakeLengthEdit(1030, 1031, &row);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("垂直间距:"), row), 1, 2);
    grid->addWidget(row, 1, 3);
    layout->addWidget(position);

    auto* counts = new QGroupBox(QStringLiteral("行数列数:"));
    auto* countGrid = new QGridLayout(counts);
    m_rows = MakeCountEdit(1033, 1034, 1, kMaxLabelsAcross, &row);
    countGrid->addWidget(MakeBuddyLabel(QStringLiteral("行数:"), row), 0, 0);
    countGrid->addWidget(row, 0, 1);
    m_columns = MakeCountEdit(1035, 1036, 1, kMaxLabelsAcross, &row);
    countGrid->addWidget(MakeBuddyLabel(QStringLiteral("列数:"), row), 0, 2);
    countGrid->addWidget(row, 0, 3);
    m_auto = MakeCheck(QStringLiteral("自动计算"), 1037);
    countGrid->addWidget(m_auto, 1, 0, 1, 4);
    layout->addWidget(counts);

    auto* order = new QGroupBox(QStringLiteral("排列顺序:"));
    auto* orderGrid = new QGridLayout(order);
    m_startCorner = MakeCombo(1098, {QStringLiteral("左上"), QStringLiteral("右上"), QStringLiteral("左下"),
                                     QStringLiteral("右下")});
    m_direction = MakeCombo(1099, {QStringLiteral("水平"), QStringLiteral("垂直")});
    m_sameDirection = MakeCheck(QStringLiteral("折返"), 1042);
    orderGrid->addWidget(new QLabel(QStringLiteral("起点:")), 0, 0);
    orderGrid->addWidget(m_startCorner, 0, 1);
    orderGrid->addWidget(new QLabel(QStringLiteral("方向:")), 0, 2);
    orderGrid->addWidget(m_direction, 0, 3);
    orderGrid->addWidget(m_sameDirection, 1, 0, 1, 4);
    layout->addWidget(order);
    layout->addStretch();

    for (QLineEdit* edit : {static_cast<QLineEdit*>(m_labelWidth), static_cast<QLineEdit*>(m_labelHeight),
                            static_cast<QLineEdit*>(m_leftMargin), static_cast<QLineEdit*>(m_topMargin),
                            static_cast<QLineEdit*>(m_horzGap), static_cast<QLineEdit*>(m_vertGap)})
        Connect(edit, this, [this] { OnSizeChanged(); });
    Connect(m_rows, this, [this] { OnCountChanged(); });
    Connect(m_columns, this, [this] { OnCountChanged(); });
    connect(m_auto, &QCheckBox::clicked, this, &CLabelSettingsDlg_Layout::OnAutoClicked);
    connect(m_startCorner, &QComboBox::activated, this, &CLabelSettingsDlg_Base::RefreshPreview);
    connect(m_direction, &QComboBox::activated, this, &CLabelSettingsDlg_Base::RefreshPreview);
    connect(m_sameDirection, &QCheckBox::clicked, this, &CLabelSettingsDlg_Base::RefreshPreview);
}

void CLabelSettingsDlg_Layout::Load()
{
    const CLabelData& label = *m_pLabelData;
    SetLengthText(m_labelWidth, label.m_fLabelWidth);
    SetLengthText(m_labelHeight, label.m_fLabelHeight);
    SetLengthText(m_leftMargin, label.m_fLeftMargin);
    SetLengthText(m_topMargin, label.m_fTopMargin);
    SetLengthText(m_horzGap, label.m_fHorzGap);
    SetLengthText(m_vertGap, label.m_fVertGap);
    m_rows->setText(QString::asprintf("%d", label.m_nRows));
    m_columns->setText(QString::asprintf("%d", label.m_nColumns));
    m_startCorner->setCurrentIndex(label.m_nStartCorner >= 0 && label.m_nStartCorner < 4 ? label.m_nStartCorner : -1);
    m_direction->setCurrentIndex(label.m_nFillDirection >= 0 && label.m_nFillDirection < 2 ? label.m_nFillDirection
                                                                                           : -1);
    m_sameDirection->setChecked(label.m_bSameDirection);
    EnableForPrinterType(label.m_nPrinterType == 1);
    // Typed rows and columns of an ordinary printer stay typed when the sheet opens
    // again; only a switch of printer type turns the automatic count back on.
    if (!m_bLabelPrinter && !label.m_bAutoCount) {
        m_auto->setChecked(false);
        m_rows->setEnabled(true);
        m_columns->setEnabled(true);
    }
}

bool CLabelSettingsDlg_Layout::AutoApplies() const
{
    return !m_bLabelPrinter && m_auto->isChecked();
}

void CLabelSettingsDlg_Layout::EnableForPrinterType(bool labelPrinter)
{
    m_bLabelPrinter = labelPrinter;
    if (labelPrinter) {
        // A label printer prints one row per page.
        m_vertGap->setEnabled(false);
        m_rows->setEnabled(false);
        m_auto->setEnabled(false);
        m_columns->setEnabled(true);
        m_auto->setChecked(false);
        m_rows->setText(QStringLiteral("1"));
    } else {
        m_vertGap->setEnabled(true);
        m_auto->setEnabled(true);
        m_rows->setEnabled(false);
        m_columns->setEnabled(false);
        m_auto->setChecked(true);
        m_rows->setText(QString::asprintf("%d", m_pLabelData ? m_pLabelData->m_nRows : 0));
        if (m_bInitialised)
            AutoComputeRowsColumns();
    }
}

void CLabelSettingsDlg_Layout::OnSizeChanged()
{
    if (!m_bInitialised)
        return;
    if (AutoApplies())
        AutoComputeRowsColumns();
    RefreshPreview();
    UpdateLabelSizeText();
}

void CLabelSettingsDlg_Layout::OnCountChanged()
{
    if (!m_bInitialised)
        return;
    RefreshPreview();
    UpdateLabelsPerPageText();
}

void CLabelSettingsDlg_Layout::OnAutoClicked()
{
    if (!m_bInitialised)
        return;
    if (m_auto->isChecked()) {
        m_rows->setEnabled(false);
        m_columns->setEnabled(false);
        if (!m_bLabelPrinter)
            AutoComputeRowsColumns();
        RefreshPreview();
    } else {
        m_rows->setEnabled(true);
        m_columns->setEnabled(true);
    }
}

void CLabelSettingsDlg_Layout::OnPageSizeChanged()
{
    if (!m_bInitialised)
        return;
    if (AutoApplies())
        AutoComputeRowsColumns();
    RefreshPreview();
}

namespace {

// How many labels of a size fit along a length after a leading margin: every label
// but the last needs its gap after it. A size plus gap of 0 or less fits none, and
// more than kMaxLabelsAcross are counted as that many.
int FitCount(float length, float margin, float size, float gap)
{
    const double step = double(gap) + size;
    if (step <= 0)
        return 0;
    const double room = double(length) - margin;
    double count = std::floor(room / step);
    if (room - step * count > size)
        ++count;
    return static_cast<int>(std::clamp(count, 0.0, double(kMaxLabelsAcross)));
}

} // namespace

void CLabelSettingsDlg_Layout::AutoComputeRowsColumns()
{
    // Counted from the lengths the preview shows.
    const bool landscape = m_pLandscape && m_pLandscape->isChecked();
    const float pageW = TakenLength(m_pPageWidth);
    const float pageH = TakenLength(m_pPageHeight);
    const float W = landscape ? pageH : pageW;
    const float H = landscape ? pageW : pageH;
    const int rows = FitCount(H, TakenLength(m_topMargin), TakenLength(m_labelHeight), TakenLength(m_vertGap));
    const int columns = FitCount(W, TakenLength(m_leftMargin), TakenLength(m_labelWidth), TakenLength(m_horzGap));
    m_rows->setText(QString::asprintf("%d", rows));
    m_columns->setText(QString::asprintf("%d", columns));
}

void CLabelSettingsDlg_Layout::UpdateLabelSizeText()
{
    if (m_pLabelSizeText && m_pPreview)
        m_pLabelSizeText->setText(QStringLiteral("标签大小: %1 x %2 毫米")
                                      .arg(FormatFloatShort2(m_pPreview->LabelWidth()),
                                           FormatFloatShort2(m_pPreview->LabelHeight())));
}

void CLabelSettingsDlg_Layout::UpdateLabelsPerPageText()
{
    if (m_pLabelsPerPageText && m_pPreview)
        m_pLabelsPerPageText->setText(
            QString::asprintf("每页标签数: %d x %d", m_pPreview->Rows(), m_pPreview->Columns()));
}

void CLabelSettingsDlg_Layout::Apply()
{
    CLabelData& label = *m_pLabelData;
    StoreTakenLength(m_labelWidth, label.m_fLabelWidth);
    StoreTakenLength(m_labelHeight, label.m_fLabelHeight);
    StoreTakenLength(m_leftMargin, label.m_fLeftMargin);
    StoreTakenLength(m_topMargin, label.m_fTopMargin);
    StoreTakenLength(m_horzGap, label.m_fHorzGap);
    StoreTakenLength(m_vertGap, label.m_fVertGap);
    label.m_nRows = CountOf(m_rows);
    label.m_nColumns = CountOf(m_columns);
    label.m_bAutoCount = m_auto->isChecked();
    label.m_nStartCorner = m_startCorner->currentIndex();
    label.m_nFillDirection = m_direction->currentIndex();
    label.m_bSameDirection = m_sameDirection->isChecked();
}

// ---- Advanced page ----

CLabelSettingsDlg_Advanced::CLabelSettingsDlg_Advanced(QWidget* parent) : CLabelSettingsDlg_Base(parent)
{
    auto* layout = PageLayout(this);
    QWidget* row = nullptr;
    auto* cut = new QGroupBox(QStringLiteral("裁剪线:"));
    auto* cutGrid = new QGridLayout(cut);
    m_cutMarks = {MakeCheck(QStringLiteral("裁剪点"), 1040), MakeCheck(QStringLiteral("内裁剪线"), 1005),
                  MakeCheck(QStringLiteral("外裁剪线"), 1041)};
    for (int i = 0; i < 3; ++i)
        cutGrid->addWidget(m_cutMarks[static_cast<size_t>(i)], 0, i);
    m_cutWidth = MakeLengthEdit(1048, 1051, &row);
    cutGrid->addWidget(MakeBuddyLabel(QStringLiteral("线宽:"), row), 1, 0);
    cutGrid->addWidget(row, 1, 1, 1, 2);
    m_cutOffset = MakeLengthEdit(1042, 1043, &row);
    cutGrid->addWidget(MakeBuddyLabel(QStringLiteral("外移:"), row), 2, 0);
    cutGrid->addWidget(row, 2, 1, 1, 2);
    layout->addWidget(cut);

    auto* decoration = new QGroupBox(QStringLiteral("页眉页码:"));
    auto* decorationGrid = new QGridLayout(decoration);
    m_header = MakeCheck(QStringLiteral("页眉"), 1044);
    auto* headerSettings = SetCtlId(new QPushButton(QStringLiteral("设置(&H)")), 1046);
    m_headerSettings = headerSettings;
    m_number = MakeCheck(QStringLiteral("页码"), 1045);
    auto* numberSettings = SetCtlId(new QPushButton(QStringLiteral("设置(&N)")), 1047);
    m_numberSettings = numberSettings;
    decorationGrid->addWidget(m_header, 0, 0);
    decorationGrid->addWidget(headerSettings, 0, 1);
    decorationGrid->addWidget(m_number, 1, 0);
    decorationGrid->addWidget(numberSettings, 1, 1);
    layout->addWidget(decoration);

    QFormLayout* offsets = AddGroup(layout, QStringLiteral("印刷校正:"));
    m_offsetX = MakeLengthEdit(1049, 1050, &row);
    offsets->addRow(QStringLiteral("水平偏移:"), row);
    m_offsetY = MakeLengthEdit(1037, 1038, &row);
    offsets->addRow(QStringLiteral("垂直偏移:"), row);
    // A correction moves the print either way.
    AcceptBelowArrows(m_offsetX);
    AcceptBelowArrows(m_offsetY);
    layout->addStretch();

    for (int i = 0; i < 3; ++i)
        connect(m_cutMarks[static_cast<size_t>(i)], &QCheckBox::clicked, this, [this, i] { OnCutMarkClicked(i); });
    connect(m_header, &QCheckBox::clicked, this, [this] { m_headerSettings->setEnabled(m_header->isChecked()); });
    connect(m_number, &QCheckBox::clicked, this, [this] { m_numberSettings->setEnabled(m_number->isChecked()); });
    connect(headerSettings, &QPushButton::clicked, this, &CLabelSettingsDlg_Advanced::OnHeaderSettings);
    connect(numberSettings, &QPushButton::clicked, this, &CLabelSettingsDlg_Advanced::OnNumberSettings);
}

void CLabelSettingsDlg_Advanced::Load()
{
    const CLabelData& label = *m_pLabelData;
    for (int i = 0; i < 3; ++i)
        m_cutMarks[static_cast<size_t>(i)]->setChecked(label.m_nCutMarks == i + 1);
    EnableCutEdits();
    m_header->setChecked(label.m_bPageHeader);
    m_number->setChecked(label.m_bPageNumber);
    m_headerSettings->setEnabled(label.m_bPageHeader);
    m_numberSettings->setEnabled(label.m_bPageNumber);
    SetLengthText(m_cutWidth, label.m_fCutMarkWidth);
    SetLengthText(m_cutOffset, label.m_fCutMarkOffset);
    SetLengthText(m_offsetX, label.m_fHorzOffset);
    SetLengthText(m_offsetY, label.m_fVertOffset);
    m_headerCopy = PageHeaderSettings::From(label);
    m_numberCopy = PageNumberSettings::From(label);
}

void CLabelSettingsDlg_Advanced::OnCutMarkClicked(int index)
{
    // At most one kind of cut mark.
    if (m_cutMarks[static_cast<size_t>(index)]->isChecked())
        for (int i = 0; i < 3; ++i)
            if (i != index)
                m_cutMarks[static_cast<size_t>(i)]->setChecked(false);
    EnableCutEdits();
}

void CLabelSettingsDlg_Advanced::EnableCutEdits()
{
    const bool any = std::any_of(m_cutMarks.begin(), m_cutMarks.end(), [](QCheckBox* box) { return box->isChecked(); });
    m_cutWidth->setEnabled(any);
    m_cutOffset->setEnabled(any);
}

void CLabelSettingsDlg_Advanced::OnHeaderSettings()
{
    CPageHeaderDlg dialog(this);
    dialog.m_settings = m_headerCopy;
    if (m_pObjectNames)
        dialog.m_objectNames = *m_pObjectNames;
    dialog.Load();
    if (Services().RunModal(dialog) == QDialog::Accepted)
        m_headerCopy = dialog.m_settings;
}

void CLabelSettingsDlg_Advanced::OnNumberSettings()
{
    CPageNoDlg dialog(this);
    dialog.m_settings = m_numberCopy;
    dialog.Load();
    if (Services().RunModal(dialog) == QDialog::Accepted)
        m_numberCopy = dialog.m_settings;
}

void CLabelSettingsDlg_Advanced::Apply()
{
    CLabelData& label = *m_pLabelData;
    label.m_nCutMarks = 0;
    for (int i = 0; i < 3; ++i)
        if (m_cutMarks[static_cast<size_t>(i)]->isChecked())
            label.m_nCutMarks = i + 1;
    StoreTakenLength(m_cutWidth, label.m_fCutMarkWidth);
    StoreTakenLength(m_cutOffset, label.m_fCutMarkOffset);
    label.m_bPageHeader = m_header->isChecked();
    label.m_bPageNumber = m_number->isChecked();
    StoreTakenLength(m_offsetX, label.m_fHorzOffset);
    StoreTakenLength(m_offsetY, label.m_fVertOffset);
    m_headerCopy.StoreTo(label);
    m_numberCopy.StoreTo(label);
}

// ---- Background page ----

CLabelSettingsDlg_Background::CLabelSettingsDlg_Background(QWidget* parent) : CLabelSettingsDlg_Base(parent)
{
    auto* layout = PageLayout(this);
    QFormLayout* colour = AddGroup(layout, QStringLiteral("背景颜色:"));
    m_colour = SetCtlId(new CColourPicker, 1201);
    colour->addRow(m_colour);
    auto* image = new QGroupBox(QStringLiteral("背景图片:"));
    auto* imageGrid = new QGridLayout(image);
    m_noImage = MakeRadio(QStringLiteral("无图片"), 1054);
    m_embedded = MakeRadio(QStringLiteral("内嵌图片"), 1052);
    m_linked = MakeRadio(QStringLiteral("链接图片"), 1053);
    auto* choose = SetCtlId(new QPushButton(QStringLiteral("选择图片...")), 1055);
    m_choose = choose;
    m_fit = MakeCombo(1060, {QStringLiteral("原始大小"), QStringLiteral("标签宽度"), QStringLiteral("标签高度"),
                             QStringLiteral("拉伸")});
    imageGrid->addWidget(m_noImage, 0, 0);
    imageGrid->addWidget(m_embedded, 1, 0);
    imageGrid->addWidget(m_linked, 2, 0);
    imageGrid->addWidget(choose, 0, 1);
    imageGrid->addWidget(m_fit, 1, 1);
    layout->addWidget(image);
    QFormLayout* options = AddGroup(layout, QStringLiteral("选项:"));
    m_onPrint = MakeCheck(QStringLiteral("打印时输出背景色和图片"), 1056);
    m_onPreview = MakeCheck(QStringLiteral("预览时显示背景色和图片"), 1057);
    m_onDesign = MakeCheck(QStringLiteral("设计时显示背景色和图片"), 1061);
    options->addRow(m_onPrint);
    options->addRow(m_onPreview);
    options->addRow(m_onDesign);
    layout->addStretch();

    connect(m_colour, &CColourPicker::colourChanged, this, &CLabelSettingsDlg_Base::RefreshPreview);
    for (QRadioButton* radio : {m_noImage, m_embedded, m_linked})
        connect(radio, &QRadioButton::clicked, this, &CLabelSettingsDlg_Background::OnImageModeClicked);
    connect(m_fit, &QComboBox::activated, this, &CLabelSettingsDlg_Base::RefreshPreview);
    connect(choose, &QPushButton::clicked, this, &CLabelSettingsDlg_Background::OnChoosePicture);
}

const ImageHolder* CLabelSettingsDlg_Background::Image() const
{
    return m_pImage && !m_pImage->IsEmpty() ? m_pImage.get() : nullptr;
}

void CLabelSettingsDlg_Background::Load()
{
    const CLabelData& label = *m_pLabelData;
    m_colour->SetColour(ArgbToPickerColour(label.m_crBackground));
    QRadioButton* modes[] = {m_noImage, m_embedded, m_linked};
    if (label.m_nBackgroundSource >= 0 && label.m_nBackgroundSource < 3)
        modes[label.m_nBackgroundSource]->setChecked(true);
    m_fit->setCurrentIndex(label.m_nImagePlacement >= 0 && label.m_nImagePlacement < 4 ? label.m_nImagePlacement : -1);
    m_pImage.reset();
    if (label.m_nBackgroundSource == 1) {
        m_strImageType = label.m_strImageMimeType;
        m_strImagePath = label.m_strImagePath;
        if (label.m_pImage)
            m_pImage = std::make_unique<ImageHolder>(*label.m_pImage);
    } else if (label.m_nBackgroundSource == 2) {
        m_strImageType = label.m_strImageMimeType;
        m_strImagePath = label.m_strImagePath;
        if (FileExists(m_strImagePath))
            m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromFile(m_strImagePath));
    }
    m_onPrint->setChecked(label.m_bPrintBackground);
    m_onPreview->setChecked(label.m_bPreviewBackground);
    m_onDesign->setChecked(label.m_bDesignBackground);
    m_choose->setEnabled(!m_noImage->isChecked());
    m_fit->setEnabled(!m_noImage->isChecked());
    RefreshPreview();
}

void CLabelSettingsDlg_Background::OnImageModeClicked()
{
    m_choose->setEnabled(!m_noImage->isChecked());
    m_fit->setEnabled(!m_noImage->isChecked());
    RefreshPreview();
}

void CLabelSettingsDlg_Background::OnChoosePicture()
{
    const QString path = Services().GetOpenFileName(
        this, {}, {},
        QStringLiteral("图像文件 (*.bmp *.jpg *.jpeg *.png);;Tiff图像文件 (*.tiff *.tif);;所有文件(*.*)"));
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromFile(path));
    m_strImagePath = path;
    m_strImageType = ImageTypeOf(path, *m_pImage);
    RefreshPreview();
}

void CLabelSettingsDlg_Background::Apply()
{
    CLabelData& label = *m_pLabelData;
    label.m_crBackground = PickerColourToArgb(m_colour->GetColour());
    if (m_noImage->isChecked()) {
        label.m_nBackgroundSource = 0;
        label.m_strImageMimeType.clear();
        label.m_strImagePath.clear();
        label.m_pImage.reset();
    } else {
        label.m_nBackgroundSource = m_embedded->isChecked() ? 1 : 2;
        label.m_strImageMimeType = m_strImageType;
        label.m_strImagePath = m_strImagePath;
        label.m_pImage = m_pImage ? std::make_unique<ImageHolder>(*m_pImage) : nullptr;
    }
    label.m_nImagePlacement = m_fit->currentIndex();
    label.m_bPrintBackground = m_onPrint->isChecked();
    label.m_bPreviewBackground = m_onPreview->isChecked();
    label.m_bDesignBackground = m_onDesign->isChecked();
}

// ---- Print-count page ----

CLabelSettingsDlg_PrintCount::CLabelSettingsDlg_PrintCount(QWidget* parent) : CLabelSettingsDlg_Base(parent)
{
    auto* layout = PageLayout(this);
    m_tabs = SetCtlId(new QTabWidget, 1290);
    layout->addWidget(m_tabs);
    QWidget* row = nullptr;

    auto* single = SetPageId(new QWidget, 383);
    auto* singleLayout = new QVBoxLayout(single);
    auto* singleForm = new QFormLayout;
    m_quantity = MakeCountEdit(1081, 1215, 1, kMaxLabelCopies, &row);
    singleForm->addRow(QStringLiteral("打印数量:"), row);
    singleLayout->addLayout(singleForm);
    auto* note = new QLabel(QStringLiteral("说明：当未连接数据库时，标签的打印数量在此处手动设定；连接数据库时，标签的打印数量等于"
                                           "数据库记录数，此处的设定无效。"));
    note->setWordWrap(true);
    singleLayout->addWidget(note);
    auto* preloadForm = new QFormLayout;
    m_preload = MakeCountEdit(1082, 1216, 1, kMaxPreloadPages, &row);
    preloadForm->addRow(QStringLiteral("预加载数据页数:"), row);
    singleLayout->addLayout(preloadForm);
    auto* preloadNote = new QLabel(QStringLiteral("说明：一次加载多页数据以提高打印速度。"));
    preloadNote->setWordWrap(true);
    singleLayout->addWidget(preloadNote);
    singleLayout->addStretch();
    m_tabs->addTab(single, QStringLiteral("常规"));

    auto* multi = SetPageId(new QWidget, 384);
    auto* multiGrid = new QGridLayout(multi);
    m_fixedCopies = MakeRadio(QStringLiteral("单条复制:"), 1143);
    m_copies = MakeCountEdit(1081, 1292, 1, kMaxLabelCopies, &row);
    // Fewer than one copy, label or page is stored as one.
    for (CVXUnitEdit* count : {m_quantity, m_preload, m_copies})
        AcceptBelowArrows(count);
    multiGrid->addWidget(m_fixedCopies, 0, 0);
    multiGrid->addWidget(row, 0, 1);
    auto* picture = SetCtlId(new CPngStatic, 1291);
    picture->m_nResourceId = 363;
    if (picture->LoadPng())
        multiGrid->addWidget(picture, 0, 2);
    else
        delete picture;
    m_fieldCopies = MakeRadio(QStringLiteral("数据库数量字段打印"), 1144);
    multiGrid->addWidget(m_fieldCopies, 1, 0, 1, 3);
    m_dataSource = SetCtlId(new QComboBox, 1101);
    m_field = SetCtlId(new QComboBox, 1100);
    multiGrid->addWidget(new QLabel(QStringLiteral("数据源:")), 2, 0);
    multiGrid->addWidget(m_dataSource, 2, 1, 1, 2);
    multiGrid->addWidget(new QLabel(QStringLiteral("字段名:")), 3, 0);
    multiGrid->addWidget(m_field, 3, 1, 1, 2);
    m_forceBreak = MakeCheck(QStringLiteral("强制分页"), 1004);
    multiGrid->addWidget(m_forceBreak, 4, 0, 1, 3);
    auto* multiNote =
        new QLabel(QStringLiteral("说明：当连接数据库并指定一个数量字段时，可以根据这个字段的数值打印多个相同的标签。"));
    multiNote->setWordWrap(true);
    multiGrid->addWidget(multiNote, 5, 0, 1, 3);
    multiGrid->setRowStretch(6, 1);
    m_tabs->addTab(multi, QStringLiteral("多份打印"));

    connect(m_fixedCopies, &QRadioButton::clicked, this, &CLabelSettingsDlg_PrintCount::OnCopyModeClicked);
    connect(m_fieldCopies, &QRadioButton::clicked, this, &CLabelSettingsDlg_PrintCount::OnCopyModeClicked);
    connect(m_dataSource, &QComboBox::activated, this, &CLabelSettingsDlg_PrintCount::FillFields);
}

void CLabelSettingsDlg_PrintCount::Load()
{
    const CLabelData& label = *m_pLabelData;
    m_tabs->setCurrentIndex(0);
    m_quantity->setText(QString::asprintf("%d", label.m_nPrintCount));
    m_preload->setText(QString::asprintf("%d", label.m_nPreloadPages));
    m_strCopiesDataSource = label.m_strCopiesDataSource;
    m_strCopiesField = label.m_strCopiesField;
    (label.m_nCopyMode == 0 ? m_fixedCopies : m_fieldCopies)->setChecked(true);
    m_copies->setText(QString::asprintf("%d", label.m_nCopies));
    OnCopyModeClicked();
    m_forceBreak->setChecked(label.m_bForcePageBreak);
}

void CLabelSettingsDlg_PrintCount::OnCopyModeClicked()
{
    m_dataSource->clear();
    m_field->clear();
    if (m_fixedCopies->isChecked()) {
        m_copies->setEnabled(true);
        m_dataSource->setEnabled(false);
        m_field->setEnabled(false);
        return;
    }
    m_copies->setEnabled(false);
    m_dataSource->setEnabled(true);
    m_field->setEnabled(true);
    for (const auto& source : m_pLabelData->m_dataSources)
        m_dataSource->addItem(source->m_strName);
    SelectComboItemByText(m_strCopiesDataSource, m_dataSource);
    FillFields();
    SelectComboItemByText(m_strCopiesField, m_field);
}

void CLabelSettingsDlg_PrintCount::FillFields()
{
    m_field->clear();
    if (m_dataSource->currentIndex() < 0)
        return;
    const QString name = m_dataSource->currentText();
    for (const auto& source : m_pLabelData->m_dataSources) {
        if (source->m_strName == name) {
            m_field->addItems(source->m_selectedFields);
            break;
        }
    }
}

void CLabelSettingsDlg_PrintCount::Apply()
{
    CLabelData& label = *m_pLabelData;
    label.m_nPrintCount = std::max(CountOf(m_quantity), 1);
    label.m_nPreloadPages = std::max(CountOf(m_preload), 1);
    if (m_fixedCopies->isChecked()) {
        label.m_nCopyMode = 0;
        label.m_nCopies = std::max(CountOf(m_copies), 1);
        label.m_strCopiesDataSource.clear();
        label.m_strCopiesField.clear();
    } else {
        label.m_nCopyMode = 1;
        label.m_nCopies = 1;
        label.m_strCopiesDataSource = m_dataSource->currentIndex() >= 0 ? m_dataSource->currentText() : QString();
        label.m_strCopiesField = m_field->currentIndex() >= 0 ? m_field->currentText() : QString();
    }
    label.m_bForcePageBreak = m_forceBreak->isChecked();
}

// ---- The sheet ----

CLabelSettingsDlg::CLabelSettingsDlg(QWidget* parent) : CVXBaseDialog(parent)
{
    setWindowTitle(QStringLiteral("页面设置"));
    setWindowIcon(ResourceIcon(333));
    m_tabs = SetCtlId(new QTabWidget, 1058);
    m_printerPage = SetPageId(new CLabelSettingsDlg_Printer, 294);
    m_pagePage = SetPageId(new CLabelSettingsDlg_Page, 206);
    m_shapePage = SetPageId(new CLabelSettingsDlg_Shape, 207);
    m_layoutPage = SetPageId(new CLabelSettingsDlg_Layout, 208);
    m_advancedPage = SetPageId(new CLabelSettingsDlg_Advanced, 209);
    m_backgroundPage = SetPageId(new CLabelSettingsDlg_Background, 210);
    m_printCountPage = SetPageId(new CLabelSettingsDlg_PrintCount, 295);
    m_pages = {m_printerPage, m_pagePage, m_shapePage, m_layoutPage, m_advancedPage, m_backgroundPage, m_printCountPage};
    static constexpr const char16_t* kCaptions[] = {u"打印机", u"页面", u"形状", u"布局", u"高级", u"背景", u"打印"};
    for (int tab = 0; tab < TabCount; ++tab)
        m_tabs->addTab(m_pages[static_cast<size_t>(tab)], QString::fromUtf16(kCaptions[tab]));

    auto* previewGroup = new QGroupBox(QStringLiteral("预览"));
    auto* previewLayout = new QVBoxLayout(previewGroup);
    m_preview = SetCtlId(new CLSPreviewStatic, 1199);
    m_paperSize = SetCtlId(new QLabel(QStringLiteral("纸张大小:")), 1068);
    m_labelSize = SetCtlId(new QLabel(QStringLiteral("标签大小:")), 1069);
    m_labelsPerPage = SetCtlId(new QLabel(QStringLiteral("行列数:")), 1070);
    previewLayout->addWidget(m_preview, 1);
    previewLayout->addWidget(m_paperSize);
    previewLayout->addWidget(m_labelSize);
    previewLayout->addWidget(m_labelsPerPage);

    auto* columns = new QHBoxLayout;
    columns->addWidget(m_tabs, 3);
    columns->addWidget(previewGroup, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));

    // The preview reads what the pages show, not the record.
    CLSPreviewStatic::Controls c;
    c.ordinaryPrinter = m_printerPage->m_ordinary;
    c.pageWidth = m_pagePage->m_width;
    c.pageHeight = m_pagePage->m_height;
    c.portrait = m_pagePage->m_portrait;
    c.rectangle = m_shapePage->m_rectangle;
    c.roundRect = m_shapePage->m_roundRect;
    c.cornerRadius = m_shapePage->m_radius;
    c.centerHole = m_shapePage->m_hole;
    c.holeDiameter = m_shapePage->m_diameter;
    c.labelWidth = m_layoutPage->m_labelWidth;
    c.labelHeight = m_layoutPage->m_labelHeight;
    c.leftMargin = m_layoutPage->m_leftMargin;
    c.topMargin = m_layoutPage->m_topMargin;
    c.horzGap = m_layoutPage->m_horzGap;
    c.vertGap = m_layoutPage->m_vertGap;
    c.rows = m_layoutPage->m_rows;
    c.columns = m_layoutPage->m_columns;
    c.startCorner = m_layoutPage->m_startCorner;
    c.direction = m_layoutPage->m_direction;
    c.sameDirection = m_layoutPage->m_sameDirection;
    c.background = m_backgroundPage->m_colour;
    c.noImage = m_backgroundPage->m_noImage;
    c.imageFit = m_backgroundPage->m_fit;
    c.image = [page = m_backgroundPage] { return page->Image(); };
    m_preview->SetControls(c);
    for (CLabelSettingsDlg_Base* page : m_pages)
        page->m_pPreview = m_preview;
    m_pagePage->m_pPaperSizeText = m_paperSize;
    m_layoutPage->m_pLabelSizeText = m_labelSize;
    m_layoutPage->m_pLabelsPerPageText = m_labelsPerPage;
    m_layoutPage->m_pPageWidth = m_pagePage->m_width;
    m_layoutPage->m_pPageHeight = m_pagePage->m_height;
    m_layoutPage->m_pLandscape = m_pagePage->m_landscape;
    m_printerPage->m_pPagePage = m_pagePage;
    m_printerPage->m_pLayoutPage = m_layoutPage;
    m_pagePage->m_pLayoutPage = m_layoutPage;

    connect(m_tabs, &QTabWidget::currentChanged, this, &CLabelSettingsDlg::OnTabChanged);
}

CLabelSettingsDlg::~CLabelSettingsDlg() = default;

void CLabelSettingsDlg::BindPages()
{
    m_work = std::make_unique<CLabelData>();
    CopyLabelSettings(*m_pLabelData, *m_work);
    for (const auto& source : m_pLabelData->m_dataSources)
        m_work->m_dataSources.push_back(source->Clone());
    m_advancedPage->m_pObjectNames = m_pObjectNames;
    for (CLabelSettingsDlg_Base* page : m_pages) {
        page->m_bInitialised = false;
        page->m_bNewLabel = m_bNewLabel;
        page->SetLabelSettings(m_work.get());
        page->Load();
    }
    m_preview->Refresh();
    m_pagePage->UpdatePaperSizeText();
    m_layoutPage->UpdateLabelSizeText();
    m_layoutPage->UpdateLabelsPerPageText();
    // A tab outside the seven, which only a damaged record can hold, opens the first.
    const int tab = m_pLabelData->m_nSettingsTab;
    const int shown = tab >= 0 && tab < TabCount ? tab : TabPrinter;
    if (m_tabs->currentIndex() == shown)
        OnTabChanged(shown);
    else
        m_tabs->setCurrentIndex(shown);
    for (CLabelSettingsDlg_Base* page : m_pages)
        page->m_bInitialised = true;
}

void CLabelSettingsDlg::OnTabChanged(int index)
{
    if (!m_pLabelData || index < 0)
        return;
    m_preview->SetBackgroundPage(index == TabBackground);
    m_preview->Refresh();
    // Kept at once, also when the sheet is cancelled later.
    m_pLabelData->m_nSettingsTab = index;
}

bool CLabelSettingsDlg::OnOK()
{
    for (int tab : {TabPrinter, TabPage, TabShape, TabLayout, TabAdvanced, TabPrintCount, TabBackground})
        if (!CheckNumberBoxes(Page(tab)) || !Page(tab)->Validate())
            return false;
    m_preview->Refresh();
    if (!m_preview->IsValid()) {
        // Show the page whose values the preview complains about.
        const bool pageSize = m_preview->ErrorText().contains(QStringLiteral("页面"));
        m_tabs->setCurrentIndex(pageSize ? TabPage : TabLayout);
        Services().ShowMessage(this, QStringLiteral("请调整设置以消除预览中提示的错误!"), MessageIcon::Stop);
        return false;
    }
    // A page that throws leaves the caller's record as it was.
    for (int tab : {TabPrinter, TabPage, TabShape, TabLayout, TabAdvanced, TabPrintCount, TabBackground})
        Page(tab)->Apply();
    CopyLabelSettings(*m_work, *m_pLabelData);
    return true;
}

bool RunLabelSettingsDlg(CLabelData& label, const QStringList* objectNames, bool newLabel, QWidget* parent)
{
    CLabelSettingsDlg sheet(parent);
    sheet.m_pLabelData = &label;
    sheet.m_pObjectNames = objectNames;
    sheet.m_bNewLabel = newLabel;
    sheet.BindPages();
    return Services().RunModal(sheet) == QDialog::Accepted;
}
