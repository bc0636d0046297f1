#include "dialogs/properties/BarcodeEdtPane_Base.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "dialogs/properties/SettingsControls.h"
#include "dialogs/properties/SupplementalDlg.h"
#include "model/Utils.h"
#include "platform/VXException.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace {

const QStringList kRatios = {QStringLiteral("2.00"), QStringLiteral("2.10"), QStringLiteral("2.20"),
                             QStringLiteral("2.30"), QStringLiteral("2.40"), QStringLiteral("2.50"),
                             QStringLiteral("2.60"), QStringLiteral("2.70"), QStringLiteral("2.80"),
                             QStringLiteral("2.90"), QStringLiteral("3.00")};

CVXUnitEdit* MakeMilEdit(int id)
{
    auto* edit = SetCtlId(new CVXUnitEdit, id);
    edit->m_strUnit = QStringLiteral("mil");
    edit->m_nDecimals = 3;
    edit->UpdateFrame();
    // A module width of 0 the pane's own check refuses.
    RefuseZeroIn(edit);
    return edit;
}

// Selects the item of that index; a value the list does not hold selects nothing.
void SetIndex(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

// The selected index; with nothing selected the value stays what it was, so a
// stored value the list cannot show is never replaced by -1.
int32_t IndexOr(const QComboBox* combo, int32_t keep)
{
    return combo->currentIndex() >= 0 ? combo->currentIndex() : keep;
}

QStringList Numbers(int first, int last, const char* format = "%d")
{
    QStringList items;
    for (int i = first; i <= last; ++i)
        items << QString::asprintf(format, i);
    return items;
}

bool SameWidth(float a, float b)
{
    return std::fabs(a - b) < 0.001f;
}

} // namespace

void FillTextEncodingCombo(QComboBox* combo)
{
    combo->clear();
    combo->addItem(QStringLiteral("ANSI"), 0);
    combo->addItem(QStringLiteral("UTF-8"), 65001);
    combo->addItem(QStringLiteral("简体中文(GB2312)"), 936);
    combo->addItem(QStringLiteral("繁体中文(Big5)"), 950);
}

void SelectTextEncoding(QComboBox* combo, int codePage)
{
    const int index = combo->findData(codePage);
    combo->setCurrentIndex(index >= 0 ? index : 0);
}

CLinearOptionPane::CLinearOptionPane(const LinearPaneLayout& layout, const LinearOptions& start, QWidget* parent)
    : CBarcodeEdtPane_Base(parent), m_options(start), m_layout(layout), m_snapshot(start)
{
    SetPageId(this, layout.dialogId);
    auto* form = new QFormLayout(this);
    if (layout.scale) {
        m_scale = MakeCombo(1098, {QStringLiteral("Auto"), QStringLiteral("0.80"), QStringLiteral("0.85"),
                                   QStringLiteral("0.90"), QStringLiteral("1.00"), QStringLiteral("1.10"),
                                   QStringLiteral("1.20"), QStringLiteral("1.30"), QStringLiteral("1.40"),
                                   QStringLiteral("1.50"), QStringLiteral("1.60"), QStringLiteral("1.70"),
                                   QStringLiteral("1.80"), QStringLiteral("1.90"), QStringLiteral("2.00")});
        form->addRow(QStringLiteral("缩放系数:"), m_scale);
    }
    m_moduleWidth = MakeMilEdit(1079);
    form->addRow(layout.widthCaption, m_moduleWidth);
    if (layout.ratio) {
        m_ratio = MakeCombo(1098, kRatios);
        form->addRow(QStringLiteral("宽窄比:"), m_ratio);
    }
    if (!layout.startStop.isEmpty()) {
        m_start = MakeCombo(1100, layout.startStop);
        m_stop = MakeCombo(1101, layout.startStop);
        form->addRow(QStringLiteral("起始符:"), m_start);
        form->addRow(QStringLiteral("终止符:"), m_stop);
    }
    if (layout.codeSet) {
        m_codeSet = MakeCombo(1293, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                     QStringLiteral("Auto")});
        m_codeSet->setEnabled(layout.codeSetEnabled);
        form->addRow(QStringLiteral("字符集:"), m_codeSet);
    }
    if (layout.hideParentheses) {
        m_hideParentheses = MakeCheck(QStringLiteral("不显示AI括号"), 1004);
        form->addRow(m_hideParentheses);
    }
    if (layout.check != LinearPaneLayout::CheckHidden) {
        m_checkDigit = MakeCheck(QStringLiteral("自校验"), 1057);
        m_checkDigit->setEnabled(layout.check == LinearPaneLayout::CheckEnabled);
        form->addRow(m_checkDigit);
    }
    if (layout.addon) {
        m_addon = SetCtlId(new QPushButton(QStringLiteral("附加码设置...")), 1078);
        form->addRow(m_addon);
        connect(m_addon, &QPushButton::clicked, this, &CLinearOptionPane::OnAddon);
    }
    ExchangeOptions(false);
}

void CLinearOptionPane::ExchangeOptions(bool save)
{
    LinearOptions& o = m_options;
    if (save) {
        o.moduleWidth = TextToFloat(m_moduleWidth->text());
        if (m_ratio && m_ratio->currentIndex() >= 0)
            o.ratio = TextToFloat(m_ratio->currentText());
        if (m_start) {
            o.startChar = IndexOr(m_start, o.startChar);
            o.stopChar = IndexOr(m_stop, o.stopChar);
        }
        if (m_checkDigit)
            o.checkDigit = m_checkDigit->isChecked();
        if (m_codeSet)
            o.codeSet = IndexOr(m_codeSet, o.codeSet);
        if (m_hideParentheses)
            o.hideParentheses = m_hideParentheses->isChecked();
        return;
    }
    m_moduleWidth->setText(FormatFloatShort3(o.moduleWidth));
    if (m_ratio)
        SelectComboItemByText(FormatFloat2(o.ratio), m_ratio);
    if (m_start) {
        SetIndex(m_start, o.startChar);
        SetIndex(m_stop, o.stopChar);
    }
    if (m_checkDigit)
        m_checkDigit->setChecked(o.checkDigit);
    if (m_codeSet)
        SetIndex(m_codeSet, o.codeSet);
    if (m_hideParentheses)
        m_hideParentheses->setChecked(o.hideParentheses);
    if (m_scale)
        m_scale->setCurrentIndex(0);
}

void CLinearOptionPane::LoadOptions(const CBarcodeSettings& settings)
{
    LinearOptions& o = m_options;
    o.moduleWidth = settings.m_fModuleWidth;
    if (m_ratio)
        o.ratio = settings.m_fRatio;
    if (m_start) {
        // Only the characters the list offers: Code 39 has one, Codabar four.
        const int last = static_cast<int>(m_start->count()) - 1;
        o.startChar = std::clamp(settings.m_nStartChar, 0, last);
        o.stopChar = std::clamp(settings.m_nStopChar, 0, last);
    }
    if (m_checkDigit)
        o.checkDigit = settings.m_bAddCheckDigit;
    if (const auto* code128 = dynamic_cast<const CBarcodeSettings_Code128*>(&settings); code128 && m_codeSet)
        o.codeSet = code128->m_nCodeSet;
    if (const auto* ean128 = dynamic_cast<const CBarcodeSettings_EAN128*>(&settings); ean128 && m_hideParentheses)
        o.hideParentheses = ean128->m_bHideParentheses;
    if (const auto* eju = dynamic_cast<const CBarcodeSettings_EJU*>(&settings); eju && m_addon) {
        o.addonKind = eju->m_nAddonKind;
        o.addonGap = eju->m_nAddonGap;
        o.addonStyle = eju->m_nAddonStyle;
    }
    ExchangeOptions(false);
    m_snapshot = m_options;
    m_bLoaded = true;
}

void CLinearOptionPane::StoreOptions(CBarcodeSettings& settings)
{
    ExchangeOptions(true);
    const LinearOptions& o = m_options;
    settings.m_fModuleWidth = o.moduleWidth;
    if (m_ratio)
        settings.m_fRatio = o.ratio;
    if (m_start) {
        settings.m_nStartChar = o.startChar;
        settings.m_nStopChar = o.stopChar;
    }
    if (m_checkDigit)
        settings.m_bAddCheckDigit = o.checkDigit;
    if (auto* code128 = dynamic_cast<CBarcodeSettings_Code128*>(&settings); code128 && m_codeSet)
        code128->m_nCodeSet = o.codeSet;
    if (auto* ean128 = dynamic_cast<CBarcodeSettings_EAN128*>(&settings); ean128 && m_hideParentheses)
        ean128->m_bHideParentheses = o.hideParentheses;
    if (auto* eju = dynamic_cast<CBarcodeSettings_EJU*>(&settings); eju && m_addon) {
        eju->m_nAddonKind = o.addonKind;
        eju->m_nAddonGap = o.addonGap;
        eju->m_nAddonStyle = o.addonStyle;
    }
    if (m_bLoaded)
        m_bChanged = !SameAs(m_snapshot);
}

bool CLinearOptionPane::SameAs(const LinearOptions& s) const
{
    const LinearOptions& o = m_options;
    return SameWidth(o.moduleWidth, s.moduleWidth) && std::fabs(o.ratio - s.ratio) < 0.01f
        && o.startChar == s.startChar && o.stopChar == s.stopChar && o.checkDigit == s.checkDigit
        && o.codeSet == s.codeSet && o.hideParentheses == s.hideParentheses && o.addonKind == s.addonKind
        && o.addonGap == s.addonGap && o.addonStyle == s.addonStyle;
}

void CLinearOptionPane::OnAddon()
{
    CSupplementalDlg dialog(this);
    dialog.m_nAddonKind = m_options.addonKind;
    dialog.m_nQuietZone = m_options.addonGap;
    dialog.m_nStyle = m_options.addonStyle;
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return;
    m_options.addonKind = dialog.m_nAddonKind;
    m_options.addonGap = dialog.m_nQuietZone;
    m_options.addonStyle = dialog.m_nStyle;
}

namespace {

using L = LinearPaneLayout;

LinearPaneLayout Layout(int dialogId)
{
    LinearPaneLayout layout;
    layout.dialogId = dialogId;
    return layout;
}

LinearOptions Start(float width, float ratio, bool check, int codeSet = Code128SetA)
{
    LinearOptions options;
    options.moduleWidth = width;
    options.ratio = ratio;
    options.checkDigit = check;
    options.codeSet = codeSet;
    return options;
}

LinearPaneLayout Code39Layout(const QStringList& characters)
{
    LinearPaneLayout layout = Layout(267);
    layout.ratio = true;
    layout.startStop = characters;
    layout.check = L::CheckEnabled;
    return layout;
}

LinearPaneLayout TwoWidthLayout(L::Check check)
{
    LinearPaneLayout layout = Layout(380);
    layout.ratio = true;
    layout.check = check;
    return layout;
}

LinearPaneLayout Code128Layout(int dialogId, bool hideParentheses, bool codeSetEnabled)
{
    LinearPaneLayout layout = Layout(dialogId);
    if (dialogId == 385)
        layout.widthCaption = QStringLiteral("窄单元X:");
    layout.codeSet = true;
    layout.codeSetEnabled = codeSetEnabled;
    layout.hideParentheses = hideParentheses;
    layout.check = L::CheckDisabled;
    return layout;
}

LinearPaneLayout EJULayout(bool main)
{
    LinearPaneLayout layout = Layout(387);
    layout.scale = true;
    layout.check = main ? L::CheckEnabled : L::CheckHidden;
    layout.addon = main;
    return layout;
}

LinearPaneLayout WidthOnlyLayout(int dialogId)
{
    LinearPaneLayout layout = Layout(dialogId);
    layout.widthCaption = QStringLiteral("窄单元X:");
    return layout;
}

const float kEJUWidth = 12.992f;

} // namespace

CBarcodeEdtPane_Code39::CBarcodeEdtPane_Code39(QWidget* parent)
    : CLinearOptionPane(Code39Layout({QStringLiteral("*")}), Start(10.0f, 2.0f, false), parent)
{
}

CBarcodeEdtPane_Codabar::CBarcodeEdtPane_Codabar(QWidget* parent)
    : CLinearOptionPane(Code39Layout({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                      QStringLiteral("D")}),
                        Start(10.0f, 2.0f, false), parent)
{
}

CBarcodeEdtPane_Code93::CBarcodeEdtPane_Code93(QWidget* parent)
    : CLinearOptionPane(
        [] {
            LinearPaneLayout layout = Layout(382);
            layout.check = L::CheckDisabled;
            return layout;
        }(),
        Start(10.0f, 2.0f, true), parent)
{
}

CBarcodeEdtPane_Code11::CBarcodeEdtPane_Code11(QWidget* parent)
    : CLinearOptionPane(TwoWidthLayout(L::CheckDisabled), Start(10.0f, 2.0f, true), parent)
{
}

CBarcodeEdtPane_Interleaved25::CBarcodeEdtPane_Interleaved25(QWidget* parent)
    : CLinearOptionPane(TwoWidthLayout(L::CheckEnabled), Start(10.0f, 2.0f, false), parent)
{
}

CBarcodeEdtPane_Industrial25::CBarcodeEdtPane_Industrial25(QWidget* parent)
    : CLinearOptionPane(TwoWidthLayout(L::CheckEnabled), Start(10.0f, 2.0f, false), parent)
{
}

CBarcodeEdtPane_Matrix25::CBarcodeEdtPane_Matrix25(QWidget* parent)
    : CLinearOptionPane(TwoWidthLayout(L::CheckEnabled), Start(10.0f, 2.0f, false), parent)
{
}

CBarcodeEdtPane_Code128::CBarcodeEdtPane_Code128(QWidget* parent)
    : CLinearOptionPane(Code128Layout(385, false, true), Start(10.0f, 2.0f, true), parent)
{
}

CBarcodeEdtPane_EAN128::CBarcodeEdtPane_EAN128(QWidget* parent)
    : CLinearOptionPane(Code128Layout(386, true, true), Start(10.0f, 2.0f, true), parent)
{
}

CBarcodeEdtPane_EAN14::CBarcodeEdtPane_EAN14(QWidget* parent)
    : CLinearOptionPane(Code128Layout(386, true, false), Start(10.0f, 2.0f, true, Code128SetC), parent)
{
}

CBarcodeEdtPane_EAN13::CBarcodeEdtPane_EAN13(QWidget* parent)
    : CLinearOptionPane(EJULayout(true), Start(kEJUWidth, 2.0f, true), parent)
{
}

CBarcodeEdtPane_EJUSupp2::CBarcodeEdtPane_EJUSupp2(QWidget* parent)
    : CLinearOptionPane(EJULayout(false), Start(kEJUWidth, 2.0f, false), parent)
{
}

CBarcodeEdtPane_MedicalCode::CBarcodeEdtPane_MedicalCode(QWidget* parent)
    : CLinearOptionPane(WidthOnlyLayout(390), Start(10.0f, 2.0f, false), parent)
{
}

CBarcodeEdtPane_MonitorCode::CBarcodeEdtPane_MonitorCode(QWidget* parent)
    : CLinearOptionPane(WidthOnlyLayout(391), Start(10.0f, 2.0f, false), parent)
{
}

CBarcodeEdtPane_PostalCode::CBarcodeEdtPane_PostalCode(QWidget* parent)
    : CLinearOptionPane(WidthOnlyLayout(392), Start(10.0f, 2.0f, false), parent)
{
}

namespace {

// The mode list of the 2-D panes exists for the file's sake only: neither it nor
// its caption is shown.
QComboBox* AddHiddenModeRow(QFormLayout* form, const QStringList& items)
{
    QComboBox* mode = MakeCombo(1098, items);
    form->addRow(QStringLiteral("模　式:"), mode);
    form->setRowVisible(mode, false);
    return mode;
}

QComboBox* AddEncodingRow(QFormLayout* form)
{
    auto* combo = SetCtlId(new QComboBox, 1296);
    FillTextEncodingCombo(combo);
    form->addRow(QStringLiteral("编　码:"), combo);
    return combo;
}

} // namespace

CBarcodeEdtPane_PDF417::CBarcodeEdtPane_PDF417(QWidget* parent) : CBarcodeEdtPane_Base(parent)
{
    SetPageId(this, 269);
    auto* form = new QFormLayout(this);
    m_mode = AddHiddenModeRow(form, {QStringLiteral("Auto"), QStringLiteral("文本模式"), QStringLiteral("数字模式"),
                                     QStringLiteral("字节模式")});
    m_codePage = AddEncodingRow(form);
    m_level = MakeCombo(1162, QStringList{QStringLiteral("Auto")} + Numbers(0, 8));
    form->addRow(QStringLiteral("纠错等级:"), m_level);
    m_moduleWidth = MakeMilEdit(1080);
    form->addRow(QStringLiteral("模块宽X:"), m_moduleWidth);
    m_rowHeight = MakeCombo(1161, Numbers(1, 10, "%dX"));
    form->addRow(QStringLiteral("行高比:"), m_rowHeight);
    m_rows = MakeCombo(1100, QStringList{QStringLiteral("Auto")} + Numbers(3, 90));
    form->addRow(QStringLiteral("行:"), m_rows);
    m_columns = MakeCombo(1099, QStringList{QStringLiteral("Auto")} + Numbers(1, 30));
    form->addRow(QStringLiteral("列:"), m_columns);
    QWidget* row = nullptr;
    m_rowColumnRatio = MakeCountEdit(1079, 1295, 1, 100, &row);
    form->addRow(QStringLiteral("行列比:"), row);
    m_truncated = MakeCheck(QStringLiteral("截短"), 1004);
    form->addRow(m_truncated);
    connect(m_mode, &QComboBox::activated, this, &CBarcodeEdtPane_PDF417::UpdateCodePage);
    ExchangeOptions(false);
}

void CBarcodeEdtPane_PDF417::UpdateCodePage()
{
    const int mode = m_mode->currentIndex();
    m_codePage->setEnabled(mode == 0 || mode == 3);
}

void CBarcodeEdtPane_PDF417::ExchangeOptions(bool save)
{
    Options& o = m_options;
    if (save) {
        o.mode = IndexOr(m_mode, o.mode);
        if (m_codePage->currentIndex() >= 0)
            o.codePage = m_codePage->currentData().toInt();
        if (const int level = m_level->currentIndex(); level >= 0)
            o.level = level == 0 ? 9 : level - 1;
        o.moduleWidth = TextToFloat(m_moduleWidth->text());
        if (const int ratio = m_rowHeight->currentIndex(); ratio >= 0)
            o.rowHeightRatio = ratio + 1;
        if (const int rows = m_rows->currentIndex(); rows >= 0)
            o.rows = rows == 0 ? 0 : rows + 2;
        o.columns = IndexOr(m_columns, o.columns);
        o.rowColumnRatio = std::max(1, static_cast<int>(TextToFloat(m_rowColumnRatio->text())));
        o.truncated = m_truncated->isChecked();
        return;
    }
    SetIndex(m_mode, o.mode);
    SelectTextEncoding(m_codePage, o.codePage);
    SetIndex(m_level, o.level == 9 ? 0 : o.level + 1);
    m_moduleWidth->setText(FormatFloatShort3(o.moduleWidth));
    SetIndex(m_rowHeight, o.rowHeightRatio - 1);
    SetIndex(m_rows, o.rows == 0 ? 0 : o.rows - 2);
    SetIndex(m_columns, o.columns);
    m_rowColumnRatio->setText(QString::asprintf("%d", o.rowColumnRatio));
    m_truncated->setChecked(o.truncated);
    UpdateCodePage();
}

void CBarcodeEdtPane_PDF417::LoadOptions(const CBarcodeSettings& settings)
{
    if (const auto* pdf = dynamic_cast<const CBarcodeSettings_PDF417*>(&settings)) {
        m_options = {pdf->m_nMode,           pdf->m_nCodePage, pdf->m_nECLevel, pdf->m_fModuleWidthX,
                     pdf->m_nRowHeightRatio, pdf->m_nRows,     pdf->m_nColumns, pdf->m_nRowColumnLimit,
                     pdf->m_bTruncated,      pdf->m_nSpareFlag};
    }
    ExchangeOptions(false);
    m_snapshot = m_options;
    m_bLoaded = true;
}

void CBarcodeEdtPane_PDF417::StoreOptions(CBarcodeSettings& settings)
{
    ExchangeOptions(true);
    const Options& o = m_options;
    if (auto* pdf = dynamic_cast<CBarcodeSettings_PDF417*>(&settings)) {
        pdf->m_nMode = o.mode;
        pdf->m_nCodePage = o.codePage;
        pdf->m_nECLevel = o.level;
        pdf->m_fModuleWidthX = o.moduleWidth;
        pdf->m_nRowHeightRatio = o.rowHeightRatio;
        pdf->m_nRows = o.rows;
        pdf->m_nColumns = o.columns;
        pdf->m_nRowColumnLimit = o.rowColumnRatio;
        pdf->m_bTruncated = o.truncated;
        pdf->m_nSpareFlag = o.spare;
    }
    if (!m_bLoaded)
        return;
    const Options& s = m_snapshot;
    m_bChanged = o.mode != s.mode || o.codePage != s.codePage || o.level != s.level
        || !SameWidth(o.moduleWidth, s.moduleWidth) || o.rowHeightRatio != s.rowHeightRatio || o.rows != s.rows
        || o.columns != s.columns || o.rowColumnRatio != s.rowColumnRatio || o.truncated != s.truncated;
}

CBarcodeEdtPane_QRCode::CBarcodeEdtPane_QRCode(QWidget* parent) : CBarcodeEdtPane_Base(parent)
{
    SetPageId(this, 393);
    auto* form = new QFormLayout(this);
    m_mode = AddHiddenModeRow(form, {QStringLiteral("Auto"), QStringLiteral("数字模式"), QStringLiteral("字母数字模式"),
                                     QStringLiteral("8 位字节模式"), QStringLiteral("中国汉字模式")});
    m_codePage = AddEncodingRow(form);
    m_level = MakeCombo(1162, {QStringLiteral("L 7%"), QStringLiteral("M 15%"), QStringLiteral("Q 25%"),
                               QStringLiteral("H 30%")});
    form->addRow(QStringLiteral("纠错等级:"), m_level);
    m_moduleWidth = MakeMilEdit(1080);
    form->addRow(QStringLiteral("模块宽X:"), m_moduleWidth);
    m_mask = MakeCombo(1297, QStringList{QStringLiteral("Auto")} + Numbers(0, 7));
    form->addRow(QStringLiteral("掩　码:"), m_mask);
    m_version = MakeCombo(1298, QStringList{QStringLiteral("Auto")} + Numbers(1, 40));
    form->addRow(QStringLiteral("版　本:"), m_version);
    m_autoExtend = MakeCheck(QStringLiteral("自动扩展"), 1004);
    form->addRow(m_autoExtend);
    connect(m_mode, &QComboBox::activated, this, &CBarcodeEdtPane_QRCode::UpdateCodePage);
    ExchangeOptions(false);
}

void CBarcodeEdtPane_QRCode::UpdateCodePage()
{
    const int mode = m_mode->currentIndex();
    m_codePage->setEnabled(mode == 0 || mode == 3);
}

void CBarcodeEdtPane_QRCode::ExchangeOptions(bool save)
{
    Options& o = m_options;
    if (save) {
        if (const int mode = m_mode->currentIndex(); mode >= 0)
            o.mode = mode == 0 ? 5 : mode - 1;
        if (m_codePage->currentIndex() >= 0)
            o.codePage = m_codePage->currentData().toInt();
        o.level = IndexOr(m_level, o.level);
        o.moduleWidth = TextToFloat(m_moduleWidth->text());
        if (const int mask = m_mask->currentIndex(); mask >= 0)
            o.mask = mask - 1;
        o.version = IndexOr(m_version, o.version);
        o.autoExtend = m_autoExtend->isChecked();
        return;
    }
    SetIndex(m_mode, o.mode >= 0 && o.mode < 5 ? o.mode + 1 : 0);
    SelectTextEncoding(m_codePage, o.codePage);
    SetIndex(m_level, o.level);
    m_moduleWidth->setText(FormatFloatShort3(o.moduleWidth));
    SetIndex(m_mask, o.mask < 0 ? 0 : o.mask + 1);
    SetIndex(m_version, o.version);
    m_autoExtend->setChecked(o.autoExtend);
    UpdateCodePage();
}

void CBarcodeEdtPane_QRCode::LoadOptions(const CBarcodeSettings& settings)
{
    if (const auto* qr = dynamic_cast<const CBarcodeSettings_QRCode*>(&settings)) {
        m_options = {qr->m_nMode, qr->m_nCodePage,   qr->m_nECLevel,    qr->m_nMask,
                     qr->m_nVersion, qr->m_bAutoExtend, qr->m_fModuleWidthX};
    }
    ExchangeOptions(false);
    m_snapshot = m_options;
    m_bLoaded = true;
}

void CBarcodeEdtPane_QRCode::StoreOptions(CBarcodeSettings& settings)
{
    ExchangeOptions(true);
    const Options& o = m_options;
    if (auto* qr = dynamic_cast<CBarcodeSettings_QRCode*>(&settings)) {
        qr->m_nMode = o.mode;
        qr->m_nCodePage = o.codePage;
        qr->m_nECLevel = o.level;
        qr->m_nMask = o.mask;
        qr->m_nVersion = o.version;
        qr->m_bAutoExtend = o.autoExtend;
        qr->m_fModuleWidthX = o.moduleWidth;
    }
    if (!m_bLoaded)
        return;
    const Options& s = m_snapshot;
    m_bChanged = o.mode != s.mode || o.codePage != s.codePage || o.level != s.level || o.mask != s.mask
        || o.version != s.version || o.autoExtend != s.autoExtend || !SameWidth(o.moduleWidth, s.moduleWidth);
}

CBarcodeEdtPane_DataMatrix::CBarcodeEdtPane_DataMatrix(QWidget* parent) : CBarcodeEdtPane_Base(parent)
{
    SetPageId(this, 438);
    auto* form = new QFormLayout(this);
    // Each entry names what its stored value encodes: labels hold the values, so
    // the names follow the encoder (4 is Base 256, 5 ASCII as the default).
    m_encodation = MakeCombo(1098, {QStringLiteral("ASCII (默认)"), QStringLiteral("C40 (大写 + 数字)"),
                                    QStringLiteral("Text (小写 + 数字)"), QStringLiteral("X12"),
                                    QStringLiteral("Base 256"), QStringLiteral("ASCII (同默认)")});
    form->addRow(QStringLiteral("字符集:"), m_encodation);
    QStringList sizes = {QStringLiteral("自动长方形"), QStringLiteral("自动正方形"), QStringLiteral("自动方形")};
    for (int side : {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144})
        sizes << QString::asprintf("%dx%d", side, side);
    sizes << QStringLiteral("8x18") << QStringLiteral("8x32") << QStringLiteral("12x26") << QStringLiteral("12x36")
          << QStringLiteral("16x36") << QStringLiteral("16x48");
    m_size = MakeCombo(1100, sizes);
    form->addRow(QStringLiteral("大    小:"), m_size);
    m_moduleWidth = MakeMilEdit(1080);
    form->addRow(QStringLiteral("模块宽X:"), m_moduleWidth);
    ExchangeOptions(false);
}

void CBarcodeEdtPane_DataMatrix::ExchangeOptions(bool save)
{
    Options& o = m_options;
    if (save) {
        o.encodation = IndexOr(m_encodation, o.encodation);
        o.size = IndexOr(m_size, o.size);
        o.moduleWidth = TextToFloat(m_moduleWidth->text());
        return;
    }
    SetIndex(m_encodation, o.encodation);
    SetIndex(m_size, o.size);
    m_moduleWidth->setText(FormatFloatShort3(o.moduleWidth));
}

void CBarcodeEdtPane_DataMatrix::LoadOptions(const CBarcodeSettings& settings)
{
    if (const auto* dm = dynamic_cast<const CBarcodeSettings_DataMatrix*>(&settings))
        m_options = {dm->m_nEncodation, dm->m_nSizeChoice, dm->m_fModuleWidthX};
    ExchangeOptions(false);
    m_snapshot = m_options;
    m_bLoaded = true;
}

void CBarcodeEdtPane_DataMatrix::StoreOptions(CBarcodeSettings& settings)
{
    ExchangeOptions(true);
    const Options& o = m_options;
    if (auto* dm = dynamic_cast<CBarcodeSettings_DataMatrix*>(&settings)) {
        dm->m_nEncodation = o.encodation;
        dm->m_nSizeChoice = o.size;
        dm->m_fModuleWidthX = o.moduleWidth;
    }
    if (m_bLoaded) {
        const Options& s = m_snapshot;
        m_bChanged = o.encodation != s.encodation || o.size != s.size || !SameWidth(o.moduleWidth, s.moduleWidth);
    }
}

std::unique_ptr<CBarcodeEdtPane_Base> CreateBarcodeOptionPane(int code, QWidget* parent)
{
    const SymbologyInfo* row = FindSymbology(code);
    switch (row ? row->options : SymbologyOptions::None) {
    case SymbologyOptions::Code39: return std::make_unique<CBarcodeEdtPane_Code39>(parent);
    case SymbologyOptions::Codabar: return std::make_unique<CBarcodeEdtPane_Codabar>(parent);
    case SymbologyOptions::Code93: return std::make_unique<CBarcodeEdtPane_Code93>(parent);
    case SymbologyOptions::Code11: return std::make_unique<CBarcodeEdtPane_Code11>(parent);
    case SymbologyOptions::Interleaved25: return std::make_unique<CBarcodeEdtPane_Interleaved25>(parent);
    case SymbologyOptions::Industrial25: return std::make_unique<CBarcodeEdtPane_Industrial25>(parent);
    case SymbologyOptions::Matrix25: return std::make_unique<CBarcodeEdtPane_Matrix25>(parent);
    case SymbologyOptions::Code128: return std::make_unique<CBarcodeEdtPane_Code128>(parent);
    case SymbologyOptions::EAN128: return std::make_unique<CBarcodeEdtPane_EAN128>(parent);
    case SymbologyOptions::EAN14: return std::make_unique<CBarcodeEdtPane_EAN14>(parent);
    case SymbologyOptions::EAN13: return std::make_unique<CBarcodeEdtPane_EAN13>(parent);
    case SymbologyOptions::EJUSupp: return std::make_unique<CBarcodeEdtPane_EJUSupp2>(parent);
    case SymbologyOptions::MedicalCode: return std::make_unique<CBarcodeEdtPane_MedicalCode>(parent);
    case SymbologyOptions::MonitorCode: return std::make_unique<CBarcodeEdtPane_MonitorCode>(parent);
    case SymbologyOptions::PostalCode: return std::make_unique<CBarcodeEdtPane_PostalCode>(parent);
    case SymbologyOptions::PDF417: return std::make_unique<CBarcodeEdtPane_PDF417>(parent);
    case SymbologyOptions::QRCode: return std::make_unique<CBarcodeEdtPane_QRCode>(parent);
    case SymbologyOptions::DataMatrix: return std::make_unique<CBarcodeEdtPane_DataMatrix>(parent);
    case SymbologyOptions::None: break;
    }
    throw CBarcodeException(QStringLiteral("not supported barcode type"));
}
