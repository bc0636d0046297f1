#include "dialogs/properties/DataBandSettingsDlg.h"

#include "app/Ctl.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/DataBand.h"
#include "platform/Numbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

char BandCharFromText(const QString& text, char previous)
{
    if (text.isEmpty() || text.front().isNull())
        return '0';
    const char16_t c = text.front().unicode();
    return c <= 0x7F ? static_cast<char>(c) : previous;
}

namespace {

struct SerialBaseItem
{
    const char16_t* text;
    int code;
    const char16_t* alphabet; // null: the band's own
};

const SerialBaseItem kSerialBases[] = {
    {u"10进制(0~9)", SerialDecimal, u"0123456789"},
    {u"16进制(0~9,A~F)", SerialHex, u"0123456789ABCDEF"},
    {u"26个字母(A~Z)", SerialLetters, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
    {u"36进制(数字+字母)", SerialBase36, u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
    {u"32进制(去除I,L,O,Q)", SerialNoIOLQ, u"ABCDEFGHJKMNPRSTUVWXYZ"},
    {u"10进制(去除I,O,Q,U)", SerialNoIOQU, u"ABCDEFGHJKLMNPRSTVWXYZ"},
    {u"10进制(去除I,O)", SerialNoIO, u"ABCDEFGHJKLMNPQRSTUVWXYZ"},
    {u"自定义", SerialCustomAlphabet, nullptr},
};

QLineEdit* MakeCharEdit(int id)
{
    auto* edit = SetCtlId(new QLineEdit, id);
    edit->setMaxLength(1);
    return edit;
}

// A NUL pad character shows as an empty field.
QString CharText(char c)
{
    return c ? QString(CDataBand::WidenChar(c)) : QString();
}

int IntOf(const QLineEdit* edit)
{
    return LeadingInt(edit->text());
}

QComboBox* MakeSideCombo(int id)
{
    return MakeCombo(id, {QStringLiteral("左侧"), QStringLiteral("右侧")});
}

void SetEnabled(const std::vector<QWidget*>& widgets, bool on)
{
    for (QWidget* widget : widgets)
        widget->setEnabled(on);
}

} // namespace

// ----- "流水号" -----

CDataBandSettings_Serial::CDataBandSettings_Serial(QWidget* parent) : CDataBandSettings_Base(parent)
{
    SetPageId(this, 312);
    auto* form = new QFormLayout(this);
    m_base = SetCtlId(new QComboBox, 1150);
    for (const SerialBaseItem& item : kSerialBases)
        m_base->addItem(QString::fromUtf16(item.text), item.code);
    m_alphabet = SetCtlId(new QLineEdit, 1216);
    form->addRow(QStringLiteral("样式(&T):"), m_base);
    form->addRow(QStringLiteral("码表(&C):"), m_alphabet);
    m_up = MakeRadio(QStringLiteral("递增"), 1143);
    m_down = MakeRadio(QStringLiteral("递减"), 1144);
    auto* direction = new QHBoxLayout;
    direction->addWidget(m_up);
    direction->addWidget(m_down);
    direction->addStretch(1);
    form->addRow(direction);
    QWidget* row = nullptr;
    m_step = MakeCountEdit(1217, 1218, 1, 10000, &row);
    form->addRow(QStringLiteral("步长(&S):"), row);
    m_length = MakeCountEdit(1085, 1219, 1, 100, &row);
    auto* lengthRow = new QHBoxLayout;
    lengthRow->addWidget(row, 1);
    lengthRow->addWidget(new QLabel(QStringLiteral("位")));
    form->addRow(MakeBuddyLabel(QStringLiteral("长度(&L):"), m_length), lengthRow);
    m_pad = MakeCheck(QStringLiteral("长度不足填补(&P):"), 1226);
    m_padChar = MakeCharEdit(1220);
    form->addRow(m_pad, m_padChar);
    m_start = SetCtlId(new QLineEdit, 1221);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(m_start, 1);
    startRow->addWidget(new QLabel(QStringLiteral("(10进制数)")));
    form->addRow(MakeBuddyLabel(QStringLiteral("初始值(&N):"), m_start), startRow);
    m_threshold = MakeCheck(QStringLiteral("阈值"), 1222);
    m_thresholdValue = SetCtlId(new QLineEdit, 1084);
    auto* thresholdRow = new QHBoxLayout;
    thresholdRow->addWidget(m_thresholdValue, 1);
    thresholdRow->addWidget(new QLabel(QStringLiteral("(10进制数)")));
    form->addRow(m_threshold, thresholdRow);
    m_cyclic = MakeCheck(QStringLiteral("循环流水号"), 1223);
    form->addRow(QString(), m_cyclic);
    GroupRadios(this, {m_up, m_down});

    connect(m_base, &QComboBox::activated, this, &CDataBandSettings_Serial::OnBaseChange);
    connect(m_pad, &QCheckBox::clicked, this, &CDataBandSettings_Serial::OnPadCheck);
    connect(m_threshold, &QCheckBox::clicked, this, &CDataBandSettings_Serial::OnThresholdCheck);
}

void CDataBandSettings_Serial::LoadFromBand()
{
    const CDataBand& band = *m_pBand;
    m_base->setCurrentIndex(m_base->findData(band.m_nSerialBase));
    m_alphabet->setText(band.m_strCustomAlphabet);
    (band.m_bCountUp ? m_up : m_down)->setChecked(true);
    m_step->setText(QString::asprintf("%d", band.m_nSerialStep));
    m_length->setText(QString::asprintf("%d", band.m_nSerialPadWidth));
    m_pad->setChecked(band.m_bSerialPad);
    m_padChar->setText(CharText(band.m_chSerialPad));
    m_start->setText(band.m_strStartValue);
    m_threshold->setChecked(band.m_bHasEndValue);
    m_thresholdValue->setText(band.m_strEndValue);
    m_cyclic->setChecked(band.m_bRestart);
}

void CDataBandSettings_Serial::UpdateChecks()
{
    OnBaseChange();
    OnPadCheck();
    OnThresholdCheck();
}

void CDataBandSettings_Serial::OnBaseChange()
{
    const int index = m_base->currentIndex();
    if (index < 0)
        return;
    const SerialBaseItem& item = kSerialBases[index];
    m_alphabet->setText(item.alphabet ? QString::fromUtf16(item.alphabet) : m_pBand->m_strCustomAlphabet);
    m_alphabet->setReadOnly(item.alphabet != nullptr);
}

void CDataBandSettings_Serial::OnPadCheck()
{
    if (m_pad->isChecked()) {
        m_padChar->setEnabled(true);
        m_padChar->setText(CharText(m_pBand->m_chSerialPad));
    } else {
        if (!m_padChar->text().isEmpty())
            m_pBand->m_chSerialPad = BandCharFromText(m_padChar->text(), m_pBand->m_chSerialPad);
        m_padChar->setEnabled(false);
        m_padChar->clear();
    }
}

void CDataBandSettings_Serial::OnThresholdCheck()
{
    const bool on = m_threshold->isChecked();
    if (on) {
        m_thresholdValue->setText(m_pBand->m_strEndValue);
    } else {
        if (m_thresholdValue->isEnabled())
            m_pBand->m_strEndValue = m_thresholdValue->text();
        m_thresholdValue->clear();
    }
    m_thresholdValue->setEnabled(on);
    m_cyclic->setEnabled(on);
}

void CDataBandSettings_Serial::StoreToBand()
{
    CDataBand& band = *m_pBand;
    // A stored code the list does not offer stays as it was.
    if (m_base->currentIndex() >= 0)
        band.m_nSerialBase = m_base->currentData().toInt();
    // Whatever base is chosen, so that the alphabet shown is the one kept.
    band.m_strCustomAlphabet = m_alphabet->text();
    band.m_bCountUp = m_up->isChecked();
    band.m_nSerialStep = IntOf(m_step);
    band.m_nSerialPadWidth = IntOf(m_length);
    band.m_bSerialPad = m_pad->isChecked();
    if (band.m_bSerialPad)
        band.m_chSerialPad = BandCharFromText(m_padChar->text(), band.m_chSerialPad);
    band.m_strStartValue = m_start->text();
    band.m_bHasEndValue = m_threshold->isChecked();
    if (band.m_bHasEndValue)
        band.m_strEndValue = m_thresholdValue->text();
    band.m_bRestart = m_cyclic->isChecked();
}

// ----- "常规" -----

CDataBandSettings_Comm::CDataBandSettings_Comm(QWidget* parent) : CDataBandSettings_Base(parent)
{
    SetPageId(this, 313);
    auto* layout = new QVBoxLayout(this);
    QFormLayout* form = AddGroup(layout, QStringLiteral("前后缀"));
    m_prefix = SetCtlId(new QLineEdit, 1224);
    m_suffix = SetCtlId(new QLineEdit, 1225);
    form->addRow(QStringLiteral("前缀(&P):"), m_prefix);
    form->addRow(QStringLiteral("后缀(&S):"), m_suffix);
    layout->addStretch(1);
}

void CDataBandSettings_Comm::LoadFromBand()
{
    m_prefix->setText(m_pBand->m_strPrefix);
    m_suffix->setText(m_pBand->m_strSuffix);
}

void CDataBandSettings_Comm::StoreToBand()
{
    m_pBand->m_strPrefix = m_prefix->text();
    m_pBand->m_strSuffix = m_suffix->text();
}

// ----- "字符数" -----

CDataBandSettings_Char::CDataBandSettings_Char(QWidget* parent) : CDataBandSettings_Base(parent)
{
    SetPageId(this, 309);
    auto* layout = new QVBoxLayout(this);
    auto addLimit = [&](const QString& title, QCheckBox* check) {
        auto* group = new QGroupBox(title);
        auto* form = new QFormLayout(group);
        form->addRow(check);
        layout->addWidget(group);
        return form;
    };
    auto addRow = [](QFormLayout* form, const QString& caption, QWidget* control, std::vector<QWidget*>& controls,
                     QWidget* buddy = nullptr) {
        QLabel* label = MakeBuddyLabel(caption, buddy ? buddy : control);
        form->addRow(label, control);
        controls.push_back(label);
        controls.push_back(control);
    };
    QWidget* row = nullptr;
    m_minimum = MakeCheck(QStringLiteral("限制最小字符数(&S)"), 1227);
    QFormLayout* min = addLimit(QStringLiteral("长度下限"), m_minimum);
    m_minLength = MakeCountEdit(1228, 1229, 1, 1000, &row);
    addRow(min, QStringLiteral("最小字符数(&N):"), row, m_minControls, m_minLength);
    m_fillSide = MakeSideCombo(1230);
    addRow(min, QStringLiteral("长度不足时(&T):"), m_fillSide, m_minControls);
    m_fillChar = MakeCharEdit(1079);
    addRow(min, QStringLiteral("填充字符(&C):"), m_fillChar, m_minControls);

    m_maximum = MakeCheck(QStringLiteral("限制最大字符数(&S)"), 1231);
    QFormLayout* max = addLimit(QStringLiteral("长度上限"), m_maximum);
    m_maxLength = MakeCountEdit(1232, 1233, 1, 1000, &row);
    addRow(max, QStringLiteral("最大字符数(&M):"), row, m_maxControls, m_maxLength);
    m_cutSide = MakeSideCombo(1099);
    auto* cut = new QWidget;
    auto* cutLayout = new QHBoxLayout(cut);
    cutLayout->setContentsMargins(0, 0, 0, 0);
    cutLayout->addWidget(m_cutSide, 1);
    cutLayout->addWidget(new QLabel(QStringLiteral("多余字符")));
    addRow(max, QStringLiteral("长超过时截去(&W):"), cut, m_maxControls, m_cutSide);
    layout->addStretch(1);

    connect(m_minimum, &QCheckBox::clicked, this, &CDataBandSettings_Char::OnMinimumCheck);
    connect(m_maximum, &QCheckBox::clicked, this, &CDataBandSettings_Char::OnMaximumCheck);
}

void CDataBandSettings_Char::LoadFromBand()
{
    const CDataBand& band = *m_pBand;
    m_minimum->setChecked(band.m_bPadToLength);
    m_minLength->setText(QString::asprintf("%d", band.m_nMinLength));
    m_fillSide->setCurrentIndex(band.m_bPadLeft ? 0 : 1);
    m_fillChar->setText(CharText(band.m_chPad));
    m_maximum->setChecked(band.m_bCutToLength);
    m_maxLength->setText(QString::asprintf("%d", band.m_nMaxLength));
    // Cutting on the left keeps the right part.
    m_cutSide->setCurrentIndex(band.m_bKeepRight ? 0 : 1);
}

void CDataBandSettings_Char::UpdateChecks()
{
    OnMinimumCheck();
    OnMaximumCheck();
}

void CDataBandSettings_Char::OnMinimumCheck()
{
    CDataBand& band = *m_pBand;
    const bool on = m_minimum->isChecked();
    if (on) {
        m_minLength->setText(QString::asprintf("%d", band.m_nMinLength));
        m_fillSide->setCurrentIndex(band.m_bPadLeft ? 0 : 1);
        m_fillChar->setText(CharText(band.m_chPad));
    } else if (m_fillSide->currentIndex() >= 0) {
        band.m_nMinLength = IntOf(m_minLength);
        band.m_bPadLeft = m_fillSide->currentIndex() == 0;
        if (!m_fillChar->text().isEmpty())
            band.m_chPad = BandCharFromText(m_fillChar->text(), band.m_chPad);
        m_minLength->clear();
        m_fillChar->clear();
        m_fillSide->setCurrentIndex(-1);
    }
    SetEnabled(m_minControls, on);
}

void CDataBandSettings_Char::OnMaximumCheck()
{
    CDataBand& band = *m_pBand;
    const bool on = m_maximum->isChecked();
    if (on) {
        m_maxLength->setText(QString::asprintf("%d", band.m_nMaxLength));
        m_cutSide->setCurrentIndex(band.m_bKeepRight ? 0 : 1);
    } else if (m_cutSide->currentIndex() >= 0) {
        band.m_nMaxLength = IntOf(m_maxLength);
        band.m_bKeepRight = m_cutSide->currentIndex() == 0;
        m_maxLength->clear();
        m_cutSide->setCurrentIndex(-1);
    }
    SetEnabled(m_maxControls, on);
}

void CDataBandSettings_Char::StoreToBand()
{
    CDataBand& band = *m_pBand;
    band.m_bPadToLength = m_minimum->isChecked();
    if (band.m_bPadToLength) {
        band.m_nMinLength = IntOf(m_minLength);
        band.m_bPadLeft = m_fillSide->currentIndex() == 0;
        band.m_chPad = BandCharFromText(m_fillChar->text(), band.m_chPad);
    }
    band.m_bCutToLength = m_maximum->isChecked();
    if (band.m_bCutToLength) {
        band.m_nMaxLength = IntOf(m_maxLength);
        band.m_bKeepRight = m_cutSide->currentIndex() == 0;
    }
}

// ----- "截短" -----

CDataBandSettings_Truc::CDataBandSettings_Truc(QWidget* parent) : CDataBandSettings_Base(parent)
{
    SetPageId(this, 310);
    auto* form = new QFormLayout(this);
    m_trimLeft = MakeCheck(QStringLiteral("删除左侧空格(&L)"), 1240);
    m_trimRight = MakeCheck(QStringLiteral("删除右侧空格(&R)"), 1241);
    form->addRow(m_trimLeft);
    form->addRow(m_trimRight);
    struct Def
    {
        const char16_t* caption;
        int check, edit, spin;
        bool CDataBand::*flag;
        int32_t CDataBand::*count;
    };
    const Def defs[] = {
        {u"丢弃左侧(&D):", 1006, 1080, 1243, &CDataBand::m_bDropLeading, &CDataBand::m_nDropLeadingCount},
        {u"丢弃右侧(&C):", 1007, 1082, 1094, &CDataBand::m_bDropTrailing, &CDataBand::m_nDropTrailingCount},
        {u"保留左侧(&K):", 1008, 1245, 1246, &CDataBand::m_bKeepFirst, &CDataBand::m_nKeepFirstCount},
        {u"保留右侧(&P):", 1009, 1083, 1095, &CDataBand::m_bKeepLast, &CDataBand::m_nKeepLastCount},
    };
    for (const Def& def : defs) {
        Count count;
        count.check = MakeCheck(QString::fromUtf16(def.caption), def.check);
        QWidget* spinRow = nullptr;
        count.edit = MakeCountEdit(def.edit, def.spin, 0, 1000, &spinRow);
        count.row = new QWidget;
        auto* rowLayout = new QHBoxLayout(count.row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->addWidget(spinRow, 1);
        rowLayout->addWidget(new QLabel(QStringLiteral("个字符")));
        count.flag = def.flag;
        count.count = def.count;
        form->addRow(count.check, count.row);
        m_counts.push_back(count);
    }
    for (const Count& count : m_counts)
        connect(count.check, &QCheckBox::clicked, this, [this, count] { OnCountCheck(count); });
}

void CDataBandSettings_Truc::LoadFromBand()
{
    const CDataBand& band = *m_pBand;
    m_trimLeft->setChecked(band.m_bTrimLeft);
    m_trimRight->setChecked(band.m_bTrimRight);
    for (const Count& count : m_counts) {
        count.check->setChecked(band.*count.flag);
        count.edit->setText(QString::asprintf("%d", band.*count.count));
    }
}

void CDataBandSettings_Truc::UpdateChecks()
{
    for (const Count& count : m_counts)
        OnCountCheck(count);
}

void CDataBandSettings_Truc::OnCountCheck(const Count& count)
{
    const bool on = count.check->isChecked();
    if (on) {
        count.edit->setText(QString::asprintf("%d", m_pBand->*count.count));
    } else if (count.row->isEnabled()) {
        m_pBand->*count.count = IntOf(count.edit);
        count.edit->clear();
    }
    count.row->setEnabled(on);
}

void CDataBandSettings_Truc::StoreToBand()
{
    CDataBand& band = *m_pBand;
    band.m_bTrimLeft = m_trimLeft->isChecked();
    band.m_bTrimRight = m_trimRight->isChecked();
    for (const Count& count : m_counts) {
        band.*count.flag = count.check->isChecked();
        if (band.*count.flag)
            band.*count.count = IntOf(count.edit);
    }
}

// ----- "转换" -----

CDataBandSettings_Num::CDataBandSettings_Num(QWidget* parent) : CDataBandSettings_Base(parent)
{
    SetPageId(this, 311);
    auto* layout = new QVBoxLayout(this);
    QFormLayout* chars = AddGroup(layout, QStringLiteral("字符转换"));
    m_upper = MakeCheck(QStringLiteral("转换为大写"), 1061);
    m_lower = MakeCheck(QStringLiteral("转换为小写"), 1062);
    chars->addRow(m_upper);
    chars->addRow(m_lower);
    QFormLayout* numbers = AddGroup(layout, QStringLiteral("数值转换"));
    m_decimalsOn = MakeCheck(QStringLiteral("保留小数位数(&N):"), 1004);
    QWidget* row = nullptr;
    m_decimals = MakeCountEdit(1081, 1249, 0, 10, &row);
    numbers->addRow(m_decimalsOn, row);
    m_round = MakeCheck(QStringLiteral("四舍五入"), 1005);
    m_thousands = MakeCheck(QStringLiteral("使用千分位分隔符,"), 1006);
    numbers->addRow(m_round);
    numbers->addRow(m_thousands);
    m_conversion = MakeCombo(1098, {QStringLiteral("不做转换"), QStringLiteral("数值转换成大写繁体"),
                                    QStringLiteral("数值转换成大写简体"), QStringLiteral("数值转换成金额繁体"),
                                    QStringLiteral("数值转换成金额简体")});
    numbers->addRow(QStringLiteral("转换(&T):"), m_conversion);
    layout->addStretch(1);
    connect(m_decimalsOn, &QCheckBox::clicked, this, &CDataBandSettings_Num::OnDecimalsCheck);
}

void CDataBandSettings_Num::LoadFromBand()
{
    const CDataBand& band = *m_pBand;
    m_upper->setChecked(band.m_bUpperCase);
    m_lower->setChecked(band.m_bLowerCase);
    m_decimalsOn->setChecked(band.m_bNumberFormat);
    m_decimals->setText(QString::asprintf("%d", band.m_nDecimals));
    m_round->setChecked(band.m_bRound);
    m_thousands->setChecked(band.m_bThousands);
    m_conversion->setCurrentIndex(band.m_nChineseMode < m_conversion->count() ? band.m_nChineseMode : -1);
}

void CDataBandSettings_Num::UpdateChecks()
{
    OnDecimalsCheck();
}

void CDataBandSettings_Num::OnDecimalsCheck()
{
    const bool on = m_decimalsOn->isChecked();
    if (on) {
        m_decimals->setText(QString::asprintf("%d", m_pBand->m_nDecimals));
    } else if (m_decimals->isEnabled()) {
        m_pBand->m_nDecimals = IntOf(m_decimals);
        m_decimals->clear();
    }
    m_decimals->setEnabled(on);
    m_round->setEnabled(on);
}

void CDataBandSettings_Num::StoreToBand()
{
    CDataBand& band = *m_pBand;
    band.m_bUpperCase = m_upper->isChecked();
    band.m_bLowerCase = m_lower->isChecked();
    band.m_bNumberFormat = m_decimalsOn->isChecked();
    if (band.m_bNumberFormat)
        band.m_nDecimals = IntOf(m_decimals);
    band.m_bRound = m_round->isChecked();
    band.m_bThousands = m_thousands->isChecked();
    // A stored conversion the list does not offer stays as it was.
    if (m_conversion->currentIndex() >= 0)
        band.m_nChineseMode = m_conversion->currentIndex();
}

void CDataBandSettings_Base::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        QWidget::keyPressEvent(event); // ignored, so the dialog sees it
    else
        CVXPage::keyPressEvent(event);
}

// ----- The dialog -----

CDataBandSettingsDlg::CDataBandSettingsDlg(CDataBand* band, QWidget* parent)
    : QDialog(parent), m_pBand(band), m_work(band->Clone())
{
    setWindowTitle(QStringLiteral("更多数据源选项"));
    auto* layout = new QVBoxLayout(this);
    m_tabs = SetCtlId(new QTabWidget, 1117);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                                  | QDialogButtonBox::Help));
    auto add = [this](CDataBandSettings_Base* page, const QString& caption) {
        page->m_pBand = m_work.get();
        m_pages.push_back(page);
        m_tabs->addTab(page, caption);
    };
    if (band->m_nKind == BandSerial)
        add(new CDataBandSettings_Serial, QStringLiteral("流水号"));
    add(new CDataBandSettings_Comm, QStringLiteral("常规"));
    add(new CDataBandSettings_Char, QStringLiteral("字符数"));
    add(new CDataBandSettings_Truc, QStringLiteral("截短"));
    add(new CDataBandSettings_Num, QStringLiteral("转换"));
    for (CDataBandSettings_Base* page : m_pages) {
        page->LoadFromBand();
        page->UpdateChecks();
    }
    m_tabs->setCurrentIndex(0);
}

CDataBandSettingsDlg::~CDataBandSettingsDlg() = default;

void CDataBandSettingsDlg::accept()
{
    if (!CheckNumberBoxes(this))
        return;
    for (CDataBandSettings_Base* page : m_pages)
        page->StoreToBand();
    m_pBand->CopyFrom(*m_work);
    QDialog::accept();
}
