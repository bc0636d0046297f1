#include "dialogs/properties/ObjectPanes.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeImpl.h"
#include "dialogs/properties/GroupingSettingsDlg.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/BarcodeGraph.h"
#include "model/TextGraph.h"
#include "model/Utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

const int kPointSizes[] = {6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

enum StyleBits { StyleBold = 1, StyleItalic = 2, StyleUnderline = 4, StyleStrikeout = 8 };

// Selects the item of that text, or shows the text in the edit field with no item.
void SelectOrShow(QComboBox* combo, const QString& text)
{
    SelectComboItemByText(text, combo);
    if (combo->currentIndex() < 0)
        combo->setEditText(text);
}

QComboBox* MakeEditableCombo(int id)
{
    auto* combo = SetCtlId(new QComboBox, id);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

CColourPicker* MakePicker(int id)
{
    return SetCtlId(new CColourPicker, id);
}

} // namespace

CFontSampleTextStatic::CFontSampleTextStatic(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(60);
}

void CFontSampleTextStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(m_strFaceName);
    font.setPointSizeF(m_fSize > 0 ? m_fSize : 1.0);
    font.setBold(m_nStyle & StyleBold);
    font.setItalic(m_nStyle & StyleItalic);
    font.setUnderline(m_nStyle & StyleUnderline);
    font.setStrikeOut(m_nStyle & StyleStrikeout);
    painter.setFont(font);
    painter.setPen(m_crText);
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("简体中文ABCXYZabcxyz0123"));
}

CFontEdtPane::CFontEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 250);
    auto* layout = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    auto addList = [&](const QString& caption, QComboBox* combo) {
        auto* column = new QVBoxLayout;
        column->addWidget(MakeBuddyLabel(caption, combo));
        column->addWidget(combo);
        lists->addLayout(column, combo == m_face ? 2 : 1);
    };
    m_face = MakeEditableCombo(2);
    QStringList families = QFontDatabase::families();
    families.removeDuplicates();
    families.sort();
    m_face->addItems(families);
    m_style = SetCtlId(new QComboBox, 3);
    const QStringList styles = {QStringLiteral("常规"), QStringLiteral("粗体"), QStringLiteral("斜体"),
                                QStringLiteral("粗斜体")};
    for (int i = 0; i < styles.size(); ++i)
        m_style->addItem(styles[i], i);
    m_size = MakeEditableCombo(5);
    for (int size : kPointSizes)
        m_size->addItem(QString::asprintf("%d", size), size);
    addList(QStringLiteral("字体:"), m_face);
    addList(QStringLiteral("字体样式:"), m_style);
    addList(QStringLiteral("字体大小:"), m_size);
    layout->addLayout(lists);

    auto* effects = new QGroupBox(QStringLiteral("效果"));
    auto* effectRow = new QHBoxLayout(effects);
    m_underline = MakeCheck(QStringLiteral("下划线"), 7);
    m_strikeout = MakeCheck(QStringLiteral("删除线"), 6);
    m_whiteOnBlack = MakeCheck(QStringLiteral("黑底白字"), 1057);
    effectRow->addWidget(m_underline);
    effectRow->addWidget(m_strikeout);
    effectRow->addWidget(m_whiteOnBlack);
    QFormLayout* colours = AddGroup(layout, QStringLiteral("颜色"));
    layout->insertWidget(1, effects);
    m_textColour = MakePicker(1159);
    m_background = MakePicker(1115);
    colours->addRow(QStringLiteral("文字颜色:"), m_textColour);
    colours->addRow(QStringLiteral("背景颜色:"), m_background);
    auto* sampleGroup = new QGroupBox(QStringLiteral("示例"));
    auto* sampleLayout = new QVBoxLayout(sampleGroup);
    m_sample = SetCtlId(new CFontSampleTextStatic, 1283);
    sampleLayout->addWidget(m_sample);
    layout->addWidget(sampleGroup, 1);

    for (QComboBox* combo : {m_face, m_style, m_size})
        connect(combo, &QComboBox::activated, this, &CFontEdtPane::RefreshSample);
    for (QCheckBox* check : {m_underline, m_strikeout, m_whiteOnBlack})
        connect(check, &QCheckBox::clicked, this, &CFontEdtPane::RefreshSample);
    for (CColourPicker* picker : {m_textColour, m_background})
        connect(picker, &CColourPicker::colourAccepted, this, &CFontEdtPane::RefreshSample);
}

namespace {

// The font fields of the edited object: a text object's own, or the human-readable
// line's in a barcode's settings, which has no strikeout or white-on-black.
struct FontFields
{
    QString* name;
    float* size;
    bool* bold;
    bool* italic;
    bool* underline;
    bool* strikeout = nullptr;
    uint8_t* whiteOnBlack = nullptr;
    uint32_t* text;
    uint32_t* background;
};

FontFields FontFieldsOf(CBaseGraph& object, int mode)
{
    if (mode == CFontEdtPane::ModeBarcode) {
        CBarcodeImpl* impl = static_cast<CBarcodeGraph&>(object).GetImpl();
        CBarcodeSettings& s = *impl->GetSettings();
        return {&s.m_strFontName, &s.m_fFontSize, &s.m_bBold,  &s.m_bItalic,       &s.m_bUnderline,
                nullptr,          nullptr,        &s.m_crText, &s.m_crBackground};
    }
    auto& t = static_cast<CTextGraph&>(object);
    return {&t.m_strFontName, &t.m_fFontSize, &t.m_bBold,  &t.m_bItalic, &t.m_bUnderline,
            &t.m_bStrikeout,  &t.m_byStyle5,  &t.m_crText, &t.m_crFill};
}

} // namespace

void CFontEdtPane::Load()
{
    const bool barcode = m_nMode == ModeBarcode;
    m_strikeout->setEnabled(!barcode);
    m_whiteOnBlack->setEnabled(!barcode);
    if (barcode && !static_cast<CBarcodeGraph&>(*m_pObject).GetImpl())
        return;
    const FontFields f = FontFieldsOf(*m_pObject, m_nMode);
    SelectOrShow(m_face, *f.name);
    m_style->setCurrentIndex(m_style->findData((*f.bold ? StyleBold : 0) | (*f.italic ? StyleItalic : 0)));
    const float size = *f.size;
    SelectOrShow(m_size, std::floor(size) == size ? QString::asprintf("%d", static_cast<int>(size))
                                                  : QString::asprintf("%.2f", static_cast<double>(size)));
    MarkLoadedText(m_size);
    m_underline->setChecked(*f.underline);
    if (f.strikeout)
        m_strikeout->setChecked(*f.strikeout);
    if (f.whiteOnBlack)
        m_whiteOnBlack->setChecked(*f.whiteOnBlack != 0);
    m_textColour->SetColour(ArgbToPickerColour(*f.text));
    m_background->SetColour(ArgbToPickerColour(*f.background));
    RefreshSample();
}

int CFontEdtPane::SelectedStyle() const
{
    return m_style->currentIndex() > 0 ? m_style->currentData().toInt() : 0;
}

// Typed sizes do not reach the sample; only a size picked from the list does.
void CFontEdtPane::RefreshSample()
{
    m_sample->m_strFaceName = m_face->currentText();
    if (m_size->currentIndex() >= 0)
        m_sample->m_fSize = TextToFloat(m_size->itemText(m_size->currentIndex()));
    m_sample->m_nStyle = SelectedStyle() | (m_underline->isChecked() ? StyleUnderline : 0)
                         | (m_strikeout->isChecked() ? StyleStrikeout : 0);
    m_sample->m_crText = m_textColour->GetColour().isValid() ? m_textColour->GetColour() : QColor(Qt::black);
    m_sample->update();
}

bool CFontEdtPane::Validate()
{
    return CheckPositiveNumberBox(m_size, kMaxFontSize);
}

void CFontEdtPane::Apply()
{
    if (m_nMode == ModeBarcode && !static_cast<CBarcodeGraph&>(*m_pObject).GetImpl())
        return;
    const FontFields f = FontFieldsOf(*m_pObject, m_nMode);
    const int style = SelectedStyle();
    *f.name = m_face->currentText();
    *f.bold = style & StyleBold;
    *f.italic = style & StyleItalic;
    StoreNumber(m_size, *f.size);
    *f.underline = m_underline->isChecked();
    if (f.strikeout)
        *f.strikeout = m_strikeout->isChecked();
    if (f.whiteOnBlack)
        *f.whiteOnBlack = m_whiteOnBlack->isChecked() ? 1 : 0;
    *f.text = PickerColourToArgb(m_textColour->GetColour());
    *f.background = PickerColourToArgb(m_background->GetColour());
}

CTextEdtPane_SingleLine::CTextEdtPane_SingleLine(QWidget* parent) : CVXPage(parent)
{
    SetPageId(this, 253);
    auto* form = new QFormLayout(this);
    QWidget* row = nullptr;
    m_charSpacing = MakeLengthEdit(1209, 1265, &row);
    form->addRow(QStringLiteral("字符间距:"), row);
    m_grouping = SetCtlId(new QPushButton(QStringLiteral("分组设置...")), 1078);
    form->addRow(m_grouping);
    connect(m_grouping, &QPushButton::clicked, this, &CTextEdtPane_SingleLine::OnGroupingSettings);
}

void CTextEdtPane_SingleLine::OnGroupingSettings()
{
    RunGroupingSettings(this, m_bGrouping, m_nSeparatorChoice, m_strSeparator, m_fGroupGap, m_strGroupRule);
}

CTextEdtPane_MultiLine::CTextEdtPane_MultiLine(QWidget* parent) : CVXPage(parent)
{
    SetPageId(this, 254);
    auto* form = new QFormLayout(this);
    m_horizontal = MakeCombo(1098, {QStringLiteral("左对齐"), QStringLiteral("右对齐"), QStringLiteral("居中对齐"),
                                    QStringLiteral("两端对齐")});
    m_vertical = MakeCombo(1099, {QStringLiteral("顶端对齐"), QStringLiteral("中间对齐"), QStringLiteral("底端对齐")});
    m_lineSpacing = MakeCombo(1100, {QStringLiteral("单倍行距"), QStringLiteral("一倍半行距"),
                                     QStringLiteral("两倍行距"), QStringLiteral("自定义")});
    // A widget, not a layout, so that the row's label has its buddy for "&L".
    auto* spacing = new QWidget;
    auto* spacingRow = new QHBoxLayout(spacing);
    spacingRow->setContentsMargins(0, 0, 0, 0);
    spacingRow->addWidget(m_lineSpacing, 1);
    m_customSpacing = SetCtlId(new CVXUnitEdit, 1210);
    m_customSpacing->UpdateFrame();
    spacingRow->addWidget(m_customSpacing, 1);
    form->addRow(QStringLiteral("水平对齐(&A):"), m_horizontal);
    form->addRow(QStringLiteral("垂直对齐(&V):"), m_vertical);
    form->addRow(QStringLiteral("行距(&L):"), spacing);
    connect(m_lineSpacing, &QComboBox::activated, this, &CTextEdtPane_MultiLine::UpdateSpacingEdit);
}

void CTextEdtPane_MultiLine::UpdateSpacingEdit()
{
    m_customSpacing->setVisible(m_lineSpacing->currentIndex() == 3);
}

CTextEdtPane_CurvedText::CTextEdtPane_CurvedText(QWidget* parent) : CVXPage(parent)
{
    SetPageId(this, 256);
    auto* form = new QFormLayout(this);
    m_direction = MakeCombo(1207, {QStringLiteral("顺时针"), QStringLiteral("逆时针")});
    m_orientation = MakeCombo(1208, {QStringLiteral("向外"), QStringLiteral("向内")});
    m_angleStep = SetCtlId(new CVXUnitEdit, 1080);
    m_angleStep->m_strUnit = QStringLiteral("度");
    m_angleStep->UpdateFrame();
    m_autoStep = MakeCheck(QStringLiteral("自动计算间隔度"), 1005);
    m_square = MakeCheck(QStringLiteral("限制文本框为正方形"), 1004);
    form->addRow(QStringLiteral("环绕方向(&A):"), m_direction);
    form->addRow(QStringLiteral("文字方向(&V):"), m_orientation);
    // The arrows step the angle by whole degrees and keep its fraction.
    CNumSpinCtrl* angleSpin = MakeSpin(1142, m_angleStep, 0.0f, 360.0f);
    angleSpin->m_nDecimals = -1;
    angleSpin->ApplyRange();
    form->addRow(QStringLiteral("间隔度(&G):"), EditWithSpin(m_angleStep, angleSpin));
    form->addRow(m_autoStep);
    form->addRow(m_square);
}

CTextEdtPane_VertText::CTextEdtPane_VertText(QWidget* parent) : CVXPage(parent)
{
    SetPageId(this, 255);
    auto* form = new QFormLayout(this);
    m_alignment = MakeCombo(1098, {QStringLiteral("左对齐"), QStringLiteral("右对齐")});
    form->addRow(QStringLiteral("水平对齐(&A):"), m_alignment);
}

namespace {

// Multi-line horizontal items are not in code order: item 1 is right (2), item 2 centre (1).
int HorizontalItemOfCode(int code)
{
    switch (code) {
    case 0: return 0;
    case 1: return 2;
    case 2: return 1;
    case 3: return 3;
    default: return 0;
    }
}

int HorizontalCodeOfItem(int item)
{
    return item == 1 ? 2 : item == 2 ? 1 : item == 3 ? 3 : 0;
}

} // namespace

CTextEdtPane::CTextEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 248);
    auto* layout = new QVBoxLayout(this);
    auto* kinds = new QGroupBox(QStringLiteral("类型"));
    auto* kindRow = new QHBoxLayout(kinds);
    m_singleLine = MakeRadio(QStringLiteral("单行"), 1133);
    m_multiLine = MakeRadio(QStringLiteral("多行"), 1134);
    m_curved = MakeRadio(QStringLiteral("圆形"), 1136);
    m_vertical = MakeRadio(QStringLiteral("竖排"), 1135);
    for (QRadioButton* radio : {m_singleLine, m_multiLine, m_curved, m_vertical}) {
        kindRow->addWidget(radio);
        connect(radio, &QRadioButton::clicked, this, &CTextEdtPane::ShowSubPane);
    }
    layout->addWidget(kinds);
    auto* options = SetCtlId(new QGroupBox(QStringLiteral("属性")), 1202);
    auto* optionLayout = new QVBoxLayout(options);
    m_singlePane = new CTextEdtPane_SingleLine;
    m_multiPane = new CTextEdtPane_MultiLine;
    m_curvedPane = new CTextEdtPane_CurvedText;
    m_vertPane = new CTextEdtPane_VertText;
    for (QWidget* pane : {static_cast<QWidget*>(m_singlePane), static_cast<QWidget*>(m_multiPane),
                          static_cast<QWidget*>(m_curvedPane), static_cast<QWidget*>(m_vertPane)}) {
        optionLayout->addWidget(pane);
        pane->hide();
    }
    optionLayout->addStretch(1);
    layout->addWidget(options, 1);
}

// Only the object's own kind loads from the object; the other sub-panes show their
// defaults.
void CTextEdtPane::Load()
{
    const auto& text = static_cast<const CTextGraph&>(*m_pObject);
    float charSpacing = 0.0f;
    int horizontal = 0, vertical = 0, lineSpacing = 0, direction = 0, orientation = 0, vertAlignment = 0;
    float customSpacing = 0.0f, angleStep = 15.0f;
    bool autoStep = true, square = true;
    switch (text.m_nLayoutMode) {
    case SingleLine:
        m_singleLine->setChecked(true);
        charSpacing = text.m_fCharSpacing;
        m_singlePane->m_bGrouping = text.m_bGrouping;
        m_singlePane->m_nSeparatorChoice = text.m_nSeparatorChoice;
        m_singlePane->m_strSeparator = text.m_strCustomSeparator;
        m_singlePane->m_fGroupGap = text.m_fGroupGap;
        m_singlePane->m_strGroupRule = text.m_strGroupRule;
        break;
    case MultiLine:
        m_multiLine->setChecked(true);
        horizontal = HorizontalItemOfCode(text.m_nAlignment);
        vertical = text.m_nVertAlignment;
        lineSpacing = text.m_nLineSpacingChoice;
        customSpacing = text.m_fLineSpacing;
        break;
    case CurvedText:
        m_curved->setChecked(true);
        direction = text.m_nWrapDirection;
        orientation = text.m_nTextDirection;
        angleStep = text.m_fAngleStep;
        square = text.m_bSquareBox;
        autoStep = text.m_bAutoStep;
        break;
    case VertText:
        m_vertical->setChecked(true);
        vertAlignment = text.m_nAlignment != 0 ? 1 : 0;
        break;
    default:
        break;
    }
    SetLengthText(m_singlePane->m_charSpacing, charSpacing);
    m_multiPane->m_horizontal->setCurrentIndex(horizontal);
    m_multiPane->m_vertical->setCurrentIndex(vertical);
    m_multiPane->m_lineSpacing->setCurrentIndex(lineSpacing);
    SetLengthText(m_multiPane->m_customSpacing, customSpacing);
    m_multiPane->UpdateSpacingEdit();
    m_curvedPane->m_direction->setCurrentIndex(direction);
    m_curvedPane->m_orientation->setCurrentIndex(orientation);
    SetLengthText(m_curvedPane->m_angleStep, angleStep);
    m_curvedPane->m_autoStep->setChecked(autoStep);
    m_curvedPane->m_square->setChecked(square);
    m_vertPane->m_alignment->setCurrentIndex(vertAlignment);
    ShowSubPane();
}

void CTextEdtPane::ShowSubPane()
{
    m_singlePane->setVisible(m_singleLine->isChecked());
    m_multiPane->setVisible(m_multiLine->isChecked());
    m_curvedPane->setVisible(m_curved->isChecked());
    m_vertPane->setVisible(m_vertical->isChecked());
}

// Only the chosen kind's fields are written; the other kinds' stay in the object.
void CTextEdtPane::Apply()
{
    auto& text = static_cast<CTextGraph&>(*m_pObject);
    if (m_singleLine->isChecked()) {
        text.m_nLayoutMode = SingleLine;
        text.m_fCharSpacing = LengthOf(m_singlePane->m_charSpacing);
        text.m_bGrouping = m_singlePane->m_bGrouping;
        text.m_nSeparatorChoice = m_singlePane->m_nSeparatorChoice;
        text.m_strCustomSeparator = m_singlePane->m_strSeparator;
        text.m_fGroupGap = m_singlePane->m_fGroupGap;
        text.m_strGroupRule = m_singlePane->m_strGroupRule;
    } else if (m_multiLine->isChecked()) {
        text.m_nLayoutMode = MultiLine;
        text.m_nAlignment = HorizontalCodeOfItem(m_multiPane->m_horizontal->currentIndex());
        text.m_nVertAlignment = m_multiPane->m_vertical->currentIndex();
        text.m_nLineSpacingChoice = m_multiPane->m_lineSpacing->currentIndex();
        text.m_fLineSpacing = LengthOf(m_multiPane->m_customSpacing);
    } else if (m_curved->isChecked()) {
        text.m_nLayoutMode = CurvedText;
        text.m_nWrapDirection = m_curvedPane->m_direction->currentIndex();
        text.m_nTextDirection = m_curvedPane->m_orientation->currentIndex();
        text.m_fAngleStep = LengthOf(m_curvedPane->m_angleStep);
        text.m_bSquareBox = m_curvedPane->m_square->isChecked();
        text.m_bAutoStep = m_curvedPane->m_autoStep->isChecked();
        if (text.m_bSquareBox && text.m_bAutoStep)
            text.m_fHeight = text.m_fWidth;
        text.m_nAlignment = 0;
    } else if (m_vertical->isChecked()) {
        text.m_nLayoutMode = VertText;
        text.m_nAlignment = m_vertPane->m_alignment->currentIndex() != 0 ? 2 : 0;
        text.m_bFitToBox = false;
    }
}
