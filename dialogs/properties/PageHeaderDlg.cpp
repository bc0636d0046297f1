#include "dialogs/properties/PageHeaderDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/VXBaseDialog.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/LabelData.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

PageHeaderSettings PageHeaderSettings::From(const CLabelData& l)
{
    return {l.m_nHeaderPosition,  l.m_nHeaderAlign,     l.m_fHeaderVertMargin, l.m_fHeaderHorzMargin,
            l.m_nHeaderKind,      l.m_strHeaderText,    l.m_strHeaderFontName, l.m_fHeaderFontSize,
            l.m_nHeaderFontStyle, l.m_strHeaderObjectName, l.m_strHeaderFilePath};
}

void PageHeaderSettings::StoreTo(CLabelData& l) const
{
    l.m_nHeaderPosition = position;
    l.m_nHeaderAlign = align;
    l.m_fHeaderVertMargin = edgeMargin;
    l.m_fHeaderHorzMargin = sideMargin;
    l.m_nHeaderKind = kind;
    l.m_strHeaderText = text;
    l.m_strHeaderFontName = fontFace;
    l.m_fHeaderFontSize = fontSize;
    l.m_nHeaderFontStyle = fontStyle;
    l.m_strHeaderObjectName = objectName;
    l.m_strHeaderFilePath = filePath;
}

PageNumberSettings PageNumberSettings::From(const CLabelData& l)
{
    return {l.m_nNumberPosition,  l.m_nNumberAlign,    l.m_fNumberVertMargin, l.m_fNumberHorzMargin,
            l.m_nNumberStyle,     l.m_strNumberFontName, l.m_fNumberFontSize, l.m_nNumberFontStyle,
            l.m_strNumberPrefix,  l.m_strNumberSuffix, l.m_nNumberRange};
}

void PageNumberSettings::StoreTo(CLabelData& l) const
{
    l.m_nNumberPosition = position;
    l.m_nNumberAlign = align;
    l.m_fNumberVertMargin = edgeMargin;
    l.m_fNumberHorzMargin = sideMargin;
    l.m_nNumberStyle = style;
    l.m_strNumberFontName = fontFace;
    l.m_fNumberFontSize = fontSize;
    l.m_nNumberFontStyle = fontStyle;
    l.m_strNumberPrefix = prefix;
    l.m_strNumberSuffix = suffix;
    l.m_nNumberRange = range;
}

bool ChooseHeaderFont(QWidget* parent, QString& face, float& size, int& style)
{
    QFont font;
    if (!Services().GetFont(parent, font))
        return false;
    face = font.family();
    size = static_cast<float>(font.pointSizeF());
    style = (font.weight() == QFont::Bold ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0);
    return true;
}

namespace {

QLabel* MakeLabel(int id)
{
    return SetCtlId(new QLabel, id);
}

} // namespace

CPageHeaderDlg::CPageHeaderDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("页眉设置"));
    auto* place = new QGroupBox(QStringLiteral("位置"));
    auto* form = new QFormLayout(place);
    m_position = MakeCombo(1098, {QStringLiteral("页面顶部"), QStringLiteral("页面底部")});
    m_align = MakeCombo(1099, {QStringLiteral("左侧"), QStringLiteral("居中"), QStringLiteral("右侧"),
                               QStringLiteral("自定义")});
    form->addRow(QStringLiteral("肩眉位置:"), m_position);
    form->addRow(QStringLiteral("对齐方式:"), m_align);
    QWidget* row = nullptr;
    m_edge = MakeLengthEdit(1079, 1253, &row);
    m_edgeLabel = MakeLabel(1252);
    form->addRow(m_edgeLabel, row);
    m_side = MakeLengthEdit(1080, 1250, &row);
    m_sideLabel = MakeLabel(1251);
    form->addRow(m_sideLabel, row);

    auto* content = new QGroupBox(QStringLiteral("内容"));
    auto* grid = new QGridLayout(content);
    m_textKind = SetCtlId(new QRadioButton(QStringLiteral("文字页眉")), 1143);
    m_objectKind = SetCtlId(new QRadioButton(QStringLiteral("图形页眉")), 1144);
    m_fileKind = SetCtlId(new QRadioButton(QStringLiteral("文件页眉")), 1145);
    m_text = SetCtlId(new QLineEdit, 1082);
    auto* font = SetCtlId(new QPushButton(QStringLiteral("字体...")), 1078);
    m_fontButton = font;
    m_object = SetCtlId(new QComboBox, 1100);
    m_file = SetCtlId(new QLineEdit, 1081);
    auto* browse = SetCtlId(new QPushButton(QStringLiteral("浏览...")), 1083);
    m_browse = browse;
    grid->addWidget(m_textKind, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("文字:")), 1, 0);
    grid->addWidget(m_text, 1, 1);
    grid->addWidget(font, 1, 2);
    grid->addWidget(m_objectKind, 2, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("图形:")), 3, 0);
    grid->addWidget(m_object, 3, 1, 1, 2);
    grid->addWidget(m_fileKind, 4, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("文件:")), 5, 0);
    grid->addWidget(m_file, 5, 1);
    grid->addWidget(browse, 5, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(place);
    layout->addWidget(content);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));

    connect(m_position, &QComboBox::activated, this, &CPageHeaderDlg::UpdateEdgeCaption);
    connect(m_align, &QComboBox::activated, this, &CPageHeaderDlg::UpdateSideCaption);
    for (QRadioButton* kind : {m_textKind, m_objectKind, m_fileKind})
        connect(kind, &QRadioButton::clicked, this, &CPageHeaderDlg::EnableByKind);
    connect(font, &QPushButton::clicked, this, [this] {
        ChooseHeaderFont(this, m_settings.fontFace, m_settings.fontSize, m_settings.fontStyle);
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = Services().GetOpenFileName(this, {}, {},
                                                        QStringLiteral("Vellumcraft Files (*.vmk);;All Files (*.*)"));
        if (!path.isEmpty())
            m_file->setText(path);
    });
}

void CPageHeaderDlg::Load()
{
    m_object->clear();
    m_object->addItem(QStringLiteral("<选择图形对象>"));
    m_object->addItems(m_objectNames);
    m_object->setCurrentIndex(0);
    m_position->setCurrentIndex(m_settings.position);
    m_align->setCurrentIndex(m_settings.align);
    SetLengthText(m_edge, m_settings.edgeMargin);
    SetLengthText(m_side, m_settings.sideMargin);
    (m_settings.kind == 0 ? m_textKind : m_settings.kind == 1 ? m_objectKind : m_fileKind)->setChecked(true);
    m_text->setText(m_settings.text);
    if (!m_settings.objectName.isEmpty())
        SelectComboItemByText(m_settings.objectName, m_object);
    m_file->setText(m_settings.filePath);
    UpdateEdgeCaption();
    UpdateSideCaption();
    EnableByKind();
}

void CPageHeaderDlg::UpdateEdgeCaption()
{
    m_edgeLabel->setText(m_position->currentIndex() == 1 ? QStringLiteral("底边距:") : QStringLiteral("顶边距:"));
}

void CPageHeaderDlg::UpdateSideCaption()
{
    m_sideLabel->setText(m_align->currentIndex() == 2 ? QStringLiteral("右边距:") : QStringLiteral("左边距:"));
}

int CPageHeaderDlg::Kind() const
{
    return m_textKind->isChecked() ? 0 : m_objectKind->isChecked() ? 1 : 2;
}

void CPageHeaderDlg::EnableByKind()
{
    const int kind = Kind();
    m_text->setEnabled(kind == 0);
    m_fontButton->setEnabled(kind == 0);
    m_object->setEnabled(kind == 1);
    m_file->setEnabled(kind == 2);
    m_browse->setEnabled(kind == 2);
}

void CPageHeaderDlg::accept()
{
    if (!CheckNumberBoxes(this))
        return;
    m_settings.position = m_position->currentIndex();
    m_settings.align = m_align->currentIndex();
    m_settings.edgeMargin = LengthOf(m_edge);
    m_settings.sideMargin = LengthOf(m_side);
    m_settings.kind = Kind();
    // Only the content of the chosen kind keeps a value.
    m_settings.text = m_settings.kind == 0 ? m_text->text() : QString();
    m_settings.objectName = m_settings.kind == 1 && m_object->currentIndex() > 0 ? m_object->currentText() : QString();
    m_settings.filePath = m_settings.kind == 2 ? m_file->text() : QString();
    QDialog::accept();
}

CPageNoDlg::CPageNoDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("页码设置"));
    auto* place = new QGroupBox(QStringLiteral("位置样式"));
    auto* form = new QFormLayout(place);
    m_position = MakeCombo(1254, {QStringLiteral("页面底部"), QStringLiteral("页面顶部"), QStringLiteral("页面左侧"),
                                  QStringLiteral("页面右侧")});
    m_align = SetCtlId(new QComboBox, 1255);
    form->addRow(QStringLiteral("页码位置:"), m_position);
    form->addRow(QStringLiteral("对齐方式:"), m_align);
    QWidget* row = nullptr;
    m_edge = MakeLengthEdit(1257, 1258, &row);
    m_edgeLabel = MakeLabel(1256);
    form->addRow(m_edgeLabel, row);
    m_side = MakeLengthEdit(1260, 1261, &row);
    m_sideLabel = MakeLabel(1259);
    form->addRow(m_sideLabel, row);
    m_style = MakeCombo(1100, {QStringLiteral("1, 2, 3, ……"), QStringLiteral("- 1 -, - 2 -, - 3 -, ……")});
    form->addRow(QStringLiteral("数字样式:"), m_style);
    auto* font = SetCtlId(new QPushButton(QStringLiteral("字体...")), 1078);
    form->addRow(QString(), font);

    auto* affixes = new QGroupBox(QStringLiteral("前缀后缀"));
    auto* affixForm = new QFormLayout(affixes);
    m_prefix = SetCtlId(new QLineEdit, 1081);
    m_suffix = SetCtlId(new QLineEdit, 1082);
    affixForm->addRow(QStringLiteral("页码前缀:"), m_prefix);
    affixForm->addRow(QStringLiteral("页码后缀:"), m_suffix);

    auto* range = new QGroupBox(QStringLiteral("生成方式"));
    auto* rangeLayout = new QVBoxLayout(range);
    m_wholeRange = SetCtlId(new QRadioButton(QStringLiteral("全局数据范围内生成页码")), 1143);
    m_printRange = SetCtlId(new QRadioButton(QStringLiteral("当前打印范围内生成页码")), 1144);
    rangeLayout->addWidget(m_wholeRange);
    rangeLayout->addWidget(m_printRange);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(place);
    layout->addWidget(affixes);
    layout->addWidget(range);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));

    connect(m_position, &QComboBox::activated, this, &CPageNoDlg::OnPositionChanged);
    connect(m_align, &QComboBox::activated, this, &CPageNoDlg::UpdateSideCaption);
    connect(font, &QPushButton::clicked, this, [this] {
        ChooseHeaderFont(this, m_settings.fontFace, m_settings.fontSize, m_settings.fontStyle);
    });
}

void CPageNoDlg::Load()
{
    m_position->setCurrentIndex(m_settings.position);
    m_style->setCurrentIndex(m_settings.style);
    SetLengthText(m_edge, m_settings.edgeMargin);
    SetLengthText(m_side, m_settings.sideMargin);
    m_prefix->setText(m_settings.prefix);
    m_suffix->setText(m_settings.suffix);
    (m_settings.range != 0 ? m_printRange : m_wholeRange)->setChecked(true);
    OnPositionChanged();
    m_align->setCurrentIndex(m_settings.align);
    UpdateSideCaption();
}

void CPageNoDlg::OnPositionChanged()
{
    static constexpr const char16_t* kEdge[] = {u"底边距:", u"顶边距:", u"左边距:", u"右边距:"};
    const int position = m_position->currentIndex();
    m_edgeLabel->setText(position >= 0 && position < 4 ? QString::fromUtf16(kEdge[position]) : QString());
    m_align->clear();
    const bool side = position == 2 || position == 3;
    for (const char16_t* item : {side ? u"顶边" : u"左侧", u"居中", side ? u"底边" : u"右侧", u"自定义"})
        m_align->addItem(QString::fromUtf16(item));
    m_align->setCurrentIndex(0);
    UpdateSideCaption();
}

void CPageNoDlg::UpdateSideCaption()
{
    const int position = m_position->currentIndex();
    const bool far = m_align->currentIndex() == 2;
    if (position == 2 || position == 3)
        m_sideLabel->setText(far ? QStringLiteral("下边距:") : QStringLiteral("上边距:"));
    else
        m_sideLabel->setText(far ? QStringLiteral("右边距:") : QStringLiteral("左边距:"));
}

void CPageNoDlg::accept()
{
    if (!CheckNumberBoxes(this))
        return;
    m_settings.position = m_position->currentIndex();
    m_settings.align = m_align->currentIndex();
    m_settings.style = m_style->currentIndex();
    m_settings.edgeMargin = LengthOf(m_edge);
    m_settings.sideMargin = LengthOf(m_side);
    m_settings.prefix = m_prefix->text();
    m_settings.suffix = m_suffix->text();
    m_settings.range = m_wholeRange->isChecked() ? 0 : 1;
    QDialog::accept();
}
