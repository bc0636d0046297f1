#include "dialogs/properties/BarcodeEdtPane.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "dialogs/properties/BarcodeEdtPane_Base.h"
#include "dialogs/properties/GroupingSettingsDlg.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/BarcodeGraph.h"
#include "model/Utils.h"
#include "platform/VXException.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

QString GetBarcodeTypeName(int code)
{
    const QString name = GetSymbologyDisplayName(code);
    if (name.isEmpty())
        throw CBarcodeException(QStringLiteral("not support barcode type"));
    return name;
}

CBarcodeEdtPane::CBarcodeEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 266);
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* form = new QFormLayout;
    m_symbology = SetCtlId(new QComboBox, 1157);
    form->addRow(QStringLiteral("条码类型:"), m_symbology);
    m_barColour = SetCtlId(new CColourPicker, 1158);
    form->addRow(QStringLiteral("条码颜色:"), m_barColour);
    left->addLayout(form);

    QFormLayout* characters = AddGroup(left, QStringLiteral("字符"));
    m_showText = MakeCheck(QStringLiteral("显示字符"), 1004);
    m_textAbove = MakeCheck(QStringLiteral("字符在上方"), 1061);
    characters->addRow(m_showText);
    characters->addRow(m_textAbove);
    m_charSpacing = AddLengthRow(characters, QStringLiteral("字符间距:"), 1080);
    m_textGap = AddLengthRow(characters, QStringLiteral("字符与条码间距:"), 1081);
    m_leftBlank = AddLengthRow(characters, QStringLiteral("左侧空白:"), 1082);
    m_grouping = SetCtlId(new QPushButton(QStringLiteral("分组设置...")), 1078);
    characters->addRow(m_grouping);
    left->addStretch(1);
    layout->addLayout(left, 1);

    m_options = SetCtlId(new QGroupBox(QStringLiteral("条码参数选项")), 1160);
    new QVBoxLayout(m_options);
    layout->addWidget(m_options, 1);

    FillSymbologyCombo();
    connect(m_symbology, &QComboBox::activated, this, &CBarcodeEdtPane::OnSymbologyChanged);
    connect(m_grouping, &QPushButton::clicked, this, &CBarcodeEdtPane::OnGroupingSettings);
}

// The option panes are children of the frame; the cache owns them and ends them first.
CBarcodeEdtPane::~CBarcodeEdtPane()
{
    m_pCurrentOptions = nullptr;
    m_optionPanes.clear();
}

CBarcodeGraph& CBarcodeEdtPane::Barcode() const
{
    return static_cast<CBarcodeGraph&>(*m_pObject);
}

void CBarcodeEdtPane::FillSymbologyCombo()
{
    m_symbology->clear();
    for (int32_t code : GetListedSymbologies())
        m_symbology->addItem(GetBarcodeTypeName(code), code);
    m_symbology->setCurrentIndex(0);
}

void CBarcodeEdtPane::SelectSymbology(int code)
{
    const int index = m_symbology->findData(code);
    if (index >= 0)
        m_symbology->setCurrentIndex(index);
}

int CBarcodeEdtPane::SelectedSymbology() const
{
    return m_symbology->currentData().toInt();
}

CBarcodeEdtPane_Base* CBarcodeEdtPane::GetOptionPane(int code)
{
    const auto cached = std::find_if(m_optionPanes.begin(), m_optionPanes.end(),
                                     [code](const CachedPane& entry) { return entry.code == code; });
    if (cached != m_optionPanes.end())
        return cached->pane.get();
    std::unique_ptr<CBarcodeEdtPane_Base> pane = CreateBarcodeOptionPane(code, m_options);
    m_options->layout()->addWidget(pane.get());
    pane->hide();
    m_optionPanes.push_back({code, std::move(pane)});
    return m_optionPanes.back().pane.get();
}

void CBarcodeEdtPane::OnSymbologyChanged()
{
    CBarcodeEdtPane_Base* pane = GetOptionPane(SelectedSymbology());
    if (pane == m_pCurrentOptions)
        return;
    if (m_pCurrentOptions) {
        m_pCurrentOptions->ExchangeOptions(true);
        m_pCurrentOptions->hide();
    }
    m_pCurrentOptions = pane;
    pane->show();
    pane->ExchangeOptions(false);
}

void CBarcodeEdtPane::Load()
{
    const CBarcodeImpl* impl = Barcode().GetImpl();
    if (!impl || !impl->GetSettings())
        return;
    const CBarcodeSettings& s = *impl->GetSettings();
    SelectSymbology(s.m_nSymbology);
    OnSymbologyChanged();
    m_showText->setChecked(s.m_bShowText);
    m_textAbove->setChecked(s.m_bTextAbove);
    m_charSpacing->setText(FormatFloatShort2(s.m_fCharSpacing));
    m_textGap->setText(FormatFloatShort2(s.m_fTextGap));
    m_leftBlank->setText(FormatFloatShort2(s.m_fLeftBlank));
    // The bars are always drawn: the picker offers no "no colour", and a stored
    // alpha is shown away.
    m_barColour->m_strDefaultText.clear();
    m_barColour->SetColour(QColor::fromRgb(s.m_crBar | 0xFF000000u));
    m_bGrouping = s.m_bGrouping;
    m_nSeparator = s.m_nSeparator;
    m_strSeparator = s.m_strSeparator;
    m_fGroupGap = s.m_fGroupGap;
    m_strGroupRule = s.m_strGroupRule;
    m_strGroupText = s.m_strGroupText;
    m_pCurrentOptions->LoadOptions(s);
    m_start = {s.m_nSymbology, s.m_bShowText, s.m_bTextAbove, s.m_fCharSpacing, s.m_fTextGap, s.m_fLeftBlank};
}

void CBarcodeEdtPane::OnGroupingSettings()
{
    RunGroupingSettings(this, m_bGrouping, m_nSeparator, m_strSeparator, m_fGroupGap, m_strGroupRule);
}

bool CBarcodeEdtPane::Validate()
{
    // Named by its caption and worded as the box's own range check, whichever end it
    // misses; how wide a symbol it makes the dialog checks once the content is known.
    CVXUnitEdit* width = m_pCurrentOptions ? m_pCurrentOptions->m_moduleWidth : nullptr;
    return !width || CheckPositiveNumberBox(width, kMaxTypedNumber);
}

void CBarcodeEdtPane::Apply()
{
    CBarcodeGraph& barcode = Barcode();
    if (!barcode.GetImpl() || !m_pCurrentOptions)
        return;
    // Each OK applies afresh to a new working copy.
    m_bSymbologyChanged = false;
    m_bOptionsChanged = false;
    const int code = SelectedSymbology();
    if (code != m_start.symbology) {
        // What every barcode has (content, bands, box, font, colours) carries over
        // into the new symbology; its own options start from its defaults.
        std::unique_ptr<CBarcodeImpl> old = std::move(barcode.m_pBarcodeImpl);
        CreateBarcodeImpl(code, barcode.m_pBarcodeImpl);
        CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
        settings.CBarcodeSettings::CopyFrom(*old->GetSettings());
        settings.m_nSymbology = code;
        m_bSymbologyChanged = true;
        m_bOptionsChanged = true;
    }
    CBarcodeSettings& s = *barcode.GetImpl()->GetSettings();
    s.m_bShowText = m_showText->isChecked();
    s.m_bTextAbove = m_textAbove->isChecked();
    s.m_fCharSpacing = TextToFloat(m_charSpacing->text());
    s.m_fTextGap = TextToFloat(m_textGap->text());
    s.m_fLeftBlank = TextToFloat(m_leftBlank->text());
    if (const QColor colour = m_barColour->GetColour(); colour.isValid())
        s.m_crBar = 0xFF000000u | (colour.rgb() & 0x00FFFFFFu);
    s.m_bGrouping = m_bGrouping;
    s.m_nSeparator = m_nSeparator;
    s.m_strSeparator = m_strSeparator;
    s.m_fGroupGap = m_fGroupGap;
    s.m_strGroupRule = m_strGroupRule;
    s.m_strGroupText = m_strGroupText;
    m_pCurrentOptions->StoreOptions(s);
    if (!m_bOptionsChanged) {
        m_bOptionsChanged = s.m_bShowText != m_start.showText || s.m_bTextAbove != m_start.textAbove
            || !FloatEquals2(s.m_fCharSpacing, m_start.charSpacing) || !FloatEquals2(s.m_fTextGap, m_start.textGap)
            || !FloatEquals2(s.m_fLeftBlank, m_start.leftBlank);
    }
    if (!m_bOptionsChanged && code == m_start.symbology)
        m_bOptionsChanged = m_pCurrentOptions->IsChanged();
}
