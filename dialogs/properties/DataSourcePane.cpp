#include "dialogs/properties/DataSourcePane.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "app/controls/ComboBoxes.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "dialogs/properties/DataBandSettingsDlg.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "model/Utils.h"

#include <QAction>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextCursor>
#include <QToolBar>
#include <QVBoxLayout>
#include <climits>

const std::vector<BandKindInfo>& OfferedBandKinds()
{
    static const std::vector<BandKindInfo> kinds = {
        {BandConstant, u"常量", 355},     {BandDate, u"日期", 352},     {BandTime, u"时间", 354},
        {BandSerial, u"流水号", 353},     {BandDatabase, u"数据库", 351}, {BandWindowData, u"窗口数据", 357},
        {BandNamedSubstring, u"命名子串", 356},
    };
    return kinds;
}

int BandKindIcon(int kind)
{
    for (const BandKindInfo& info : OfferedBandKinds()) {
        if (info.kind == kind)
            return info.icon;
    }
    return OfferedBandKinds().front().icon;
}

QString BandTextForEdit(const QString& value)
{
    QString shown = value;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QString BandTextFromEdit(const QString& shown)
{
    QString value = BandTextForEdit(shown);
    value.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return value;
}

namespace {

// Selects the first item whose text equals text, ignoring case; none when no item does.
void SelectComboItemNoCase(const QString& text, QComboBox* combo)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).compare(text, Qt::CaseInsensitive) == 0) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(-1);
}

CGlobalSettings& Settings()
{
    return *CGlobalSettings::GetInstance();
}

} // namespace

// ----- Sub-panes -----

CDataSourceEdtPane_Base::CDataSourceEdtPane_Base(int pageId, QWidget* parent) : CVXPage(parent)
{
    SetPageId(this, pageId);
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    m_value = SetCtlId(new QPlainTextEdit, 1204);
    m_value->setTabChangesFocus(true);
    form->addRow(QStringLiteral("显示数据:"), m_value);
    connect(m_value, &QPlainTextEdit::textChanged, this, [this] {
        if (m_pBand) {
            m_pBand->m_strValue = BandTextFromEdit(m_value->toPlainText());
            Q_EMIT valueEdited();
        }
    });
}

void CDataSourceEdtPane_Base::AddRow(const QString& caption, QWidget* control)
{
    auto* form = static_cast<QFormLayout*>(layout());
    form->insertRow(form->rowCount() - 1, caption, control);
}

void CDataSourceEdtPane_Base::LoadBand()
{
    const QSignalBlocker blocker(m_value);
    m_value->setPlainText(m_pBand ? BandTextForEdit(m_pBand->m_strValue) : QString());
}

void CDataSourceEdtPane_Base::SetValueText(const QString& value, bool announce)
{
    {
        const QSignalBlocker blocker(m_value);
        m_value->setPlainText(BandTextForEdit(value));
    }
    if (announce && m_pBand) {
        m_pBand->m_strValue = BandTextFromEdit(m_value->toPlainText());
        Q_EMIT valueEdited();
    }
}

CDataSourceEdtPane_DateTime::CDataSourceEdtPane_DateTime(bool time, QWidget* parent)
    : CDataSourceEdtPane_Base(time ? 260 : 259, parent), m_bTime(time)
{
    m_format = SetCtlId(new QComboBox, 1148);
    const QDateTime now = Services().CurrentDateTime();
    for (const QString& format : Templates())
        m_format->addItem(FormatDateTime(format, now));
    m_format->setCurrentIndex(m_format->count() > 0 ? 0 : -1);
    m_offset = SetCtlId(new QSpinBox, 1149);
    m_offset->setRange(INT_MIN, INT_MAX);
    AddRow(QStringLiteral("格式(&F):"), m_format);
    AddRow(time ? QStringLiteral("延后分钟:") : QStringLiteral("延后天数:"), m_offset);
    connect(m_format, &QComboBox::activated, this, &CDataSourceEdtPane_DateTime::OnTemplateChange);
}

const QStringList& CDataSourceEdtPane_DateTime::Templates() const
{
    return m_bTime ? Settings().m_timeTemplates : Settings().m_dateTemplates;
}

void CDataSourceEdtPane_DateTime::LoadBand()
{
    CDataSourceEdtPane_Base::LoadBand();
    if (!m_pBand)
        return;
    // A band without a template takes the first; one the list does not hold stays the
    // band's own, with nothing selected.
    const QString& format = m_pBand->m_strDateTimeFormat;
    m_format->setCurrentIndex(format.isEmpty() && m_format->count() > 0 ? 0
                                                                       : static_cast<int>(Templates().indexOf(format)));
    m_offset->setValue(m_pBand->m_nDateTimeOffset);
}

void CDataSourceEdtPane_DateTime::StoreBand()
{
    if (!m_pBand)
        return;
    const int index = m_format->currentIndex();
    if (index >= 0 && index < Templates().size())
        m_pBand->m_strDateTimeFormat = Templates()[index];
    m_pBand->m_nDateTimeOffset = m_offset->value();
}

void CDataSourceEdtPane_DateTime::OnTemplateChange()
{
    if (m_bInitialised && m_format->currentIndex() >= 0)
        SetValueText(m_format->currentText(), true);
}

CDataSourceEdtPane_Database::CDataSourceEdtPane_Database(QWidget* parent) : CDataSourceEdtPane_Base(262, parent)
{
    m_source = SetCtlId(new QComboBox, 1155);
    m_field = SetCtlId(new QComboBox, 1099);
    AddRow(QStringLiteral("数据库(&D):"), m_source);
    AddRow(QStringLiteral("字段名(&F):"), m_field);
    connect(m_source, &QComboBox::activated, this, &CDataSourceEdtPane_Database::OnSourceChange);
    connect(m_field, &QComboBox::activated, this, &CDataSourceEdtPane_Database::OnFieldChange);
}

void CDataSourceEdtPane_Database::Fill()
{
    m_source->clear();
    if (m_pLabelData) {
        for (const auto& source : m_pLabelData->m_dataSources)
            m_source->addItem(source->m_strName);
    }
    m_source->setCurrentIndex(-1);
}

void CDataSourceEdtPane_Database::OnSourceChange()
{
    m_field->clear();
    const int index = m_source->currentIndex();
    if (m_pLabelData && index >= 0 && index < static_cast<int>(m_pLabelData->m_dataSources.size()))
        m_field->addItems(m_pLabelData->m_dataSources[static_cast<size_t>(index)]->m_selectedFields);
    m_field->setCurrentIndex(-1);
}

void CDataSourceEdtPane_Database::OnFieldChange()
{
    const int source = m_source->currentIndex();
    const int field = m_field->currentIndex();
    if (!m_pLabelData || source < 0 || field < 0 || source >= static_cast<int>(m_pLabelData->m_dataSources.size()))
        return;
    // The first previewed row; a shorter list gives its last value.
    const QStringList& samples = m_pLabelData->m_dataSources[static_cast<size_t>(source)]->m_sampleValues;
    const QString sample = samples.isEmpty() ? QString() : samples.value(field, samples.last());
    SetValueText(sample, true);
}

void CDataSourceEdtPane_Database::LoadBand()
{
    CDataSourceEdtPane_Base::LoadBand();
    if (!m_pBand)
        return;
    SelectComboItemNoCase(m_pBand->m_strDataSource, m_source);
    OnSourceChange();
    SelectComboItemNoCase(m_pBand->m_strFieldName, m_field);
}

void CDataSourceEdtPane_Database::StoreBand()
{
    if (!m_pBand)
        return;
    // Names are matched ignoring case; a band that matched keeps its own spelling.
    auto store = [](const QComboBox* combo, QString& name) {
        if (combo->currentIndex() >= 0 && combo->currentText().compare(name, Qt::CaseInsensitive) != 0)
            name = combo->currentText();
    };
    store(m_source, m_pBand->m_strDataSource);
    store(m_field, m_pBand->m_strFieldName);
}

CDataSourceEdtPane_WindowData::CDataSourceEdtPane_WindowData(QWidget* parent) : CDataSourceEdtPane_Base(263, parent)
{
    m_item = SetCtlId(new QComboBox, 1098);
    AddRow(QStringLiteral("字段名(&F):"), m_item);
    connect(m_item, &QComboBox::activated, this, [this] {
        if (const auto* item = m_item->currentData().value<const CSDGraph*>())
            SetValueText(item->m_strText, true);
    });
}

void CDataSourceEdtPane_WindowData::Fill()
{
    m_item->clear();
    if (m_pLabelData) {
        // Static labels hold no value to bind.
        for (const auto& item : m_pLabelData->m_formItems) {
            if (item->GetKind() != SDStaticText)
                m_item->addItem(item->m_strName, QVariant::fromValue(static_cast<const CSDGraph*>(item.get())));
        }
    }
    m_item->setCurrentIndex(-1);
}

void CDataSourceEdtPane_WindowData::LoadBand()
{
    CDataSourceEdtPane_Base::LoadBand();
    if (m_pBand)
        SelectComboItemByText(m_pBand->m_strWindowItem, m_item);
}

void CDataSourceEdtPane_WindowData::StoreBand()
{
    if (m_pBand && m_item->currentIndex() >= 0)
        m_pBand->m_strWindowItem = m_item->currentText();
}

CDataSourceEdtPane_NamedSubstring::CDataSourceEdtPane_NamedSubstring(QWidget* parent)
    : CDataSourceEdtPane_Base(435, parent)
{
    m_name = SetCtlId(new QComboBox, 1317);
    AddRow(QStringLiteral("子串名(&N):"), m_name);
    connect(m_name, &QComboBox::activated, this, [this] {
        if (const auto* band = m_name->currentData().value<const CDataBand*>())
            SetValueText(band->m_strValue, true);
    });
}

void CDataSourceEdtPane_NamedSubstring::Fill()
{
    m_name->clear();
    if (m_pLabelData) {
        for (const auto& band : m_pLabelData->m_namedSubstrings)
            m_name->addItem(band->m_strName, QVariant::fromValue(static_cast<const CDataBand*>(band.get())));
    }
    m_name->setCurrentIndex(-1);
}

void CDataSourceEdtPane_NamedSubstring::LoadBand()
{
    CDataSourceEdtPane_Base::LoadBand();
    if (m_pBand)
        SelectComboItemByText(m_pBand->m_strRefBandName, m_name);
}

void CDataSourceEdtPane_NamedSubstring::StoreBand()
{
    if (m_pBand && m_name->currentIndex() >= 0)
        m_pBand->m_strRefBandName = m_name->currentText();
}

// ----- The band list -----

namespace {

struct ToolCommand
{
    int id;
    const char16_t* tip;
    int icon;
    void (CBandListPanel::*handler)();
};

const ToolCommand kToolCommands[] = {
    {40567, u"新建", 349, &CBandListPanel::OnNew},      {40568, u"复制", 321, &CBandListPanel::OnCopy},
    {40569, u"粘贴", 323, &CBandListPanel::OnPaste},    {40570, u"删除", 347, &CBandListPanel::OnDelete},
    {40571, u"上移", 350, &CBandListPanel::OnMoveUp},   {40572, u"下移", 348, &CBandListPanel::OnMoveDown},
};

} // namespace

CBandListPanel::CBandListPanel(const Options& options, QWidget* parent) : QWidget(parent), m_options(options)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* kindRow = new QHBoxLayout;
    m_kind = SetCtlId(new CComboBoxBold, 1098);
    kindRow->addWidget(MakeBuddyLabel(QStringLiteral("数据源(&S):"), m_kind));
    kindRow->addWidget(m_kind, 1);
    for (const BandKindInfo& info : OfferedBandKinds()) {
        if (options.namedSubstrings && info.kind == BandNamedSubstring)
            continue;
        m_kind->addItem(QString::fromUtf16(info.text), info.kind);
        m_kind->SetItemIcon(m_kind->count() - 1, info.icon);
    }
    connect(m_kind, &QComboBox::activated, this, &CBandListPanel::OnKindChange);

    auto* body = new QHBoxLayout;
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(new QLabel(options.namedSubstrings ? QStringLiteral("命名子串:") : QStringLiteral("子串列表")));
    m_toolBar = SetCtlId(new QToolBar, 1211);
    m_toolBar->setIconSize(QSize(16, 16));
    for (const ToolCommand& command : kToolCommands) {
        QAction* action = m_toolBar->addAction(ResourceIcon(command.icon), QString::fromUtf16(command.tip));
        action->setObjectName(CtlName(command.id));
        action->setToolTip(QString::fromUtf16(command.tip));
        connect(action, &QAction::triggered, this, command.handler);
    }
    listColumn->addWidget(m_toolBar);
    m_list = SetCtlId(new QListWidget, 1169);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(16, 16));
    connect(m_list, &QListWidget::currentRowChanged, this, &CBandListPanel::OnRowChange);
    listColumn->addWidget(m_list, 1);
    body->addLayout(listColumn, 2);

    auto* group = new QGroupBox(QStringLiteral("子串设置"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(kindRow);
    auto* stack = SetCtlId(new QWidget, 1203);
    auto* stackLayout = new QVBoxLayout(stack);
    stackLayout->setContentsMargins(0, 0, 0, 0);
    m_fixed = new CDataSourceEdtPane_Fixed;
    m_date = new CDataSourceEdtPane_DateTime(false);
    m_time = new CDataSourceEdtPane_DateTime(true);
    m_serial = new CDataSourceEdtPane_Serial;
    m_database = new CDataSourceEdtPane_Database;
    m_windowData = new CDataSourceEdtPane_WindowData;
    if (!options.namedSubstrings)
        m_namedSubstring = new CDataSourceEdtPane_NamedSubstring;
    for (CDataSourceEdtPane_Base* pane : SubPanes()) {
        stackLayout->addWidget(pane);
        pane->hide();
        connect(pane, &CDataSourceEdtPane_Base::valueEdited, this, &CBandListPanel::OnValueEdited);
    }
    stackLayout->addStretch(1);
    groupLayout->addWidget(stack, 1);
    m_more = SetCtlId(new QPushButton(QStringLiteral("更多选项(&O)...")), 1078);
    m_more->setAutoDefault(false);
    connect(m_more, &QPushButton::clicked, this, &CBandListPanel::OnMoreOptions);
    groupLayout->addWidget(m_more, 0, Qt::AlignRight);
    body->addWidget(group, 3);
    layout->addLayout(body, 1);
}

std::vector<CDataSourceEdtPane_Base*> CBandListPanel::SubPanes() const
{
    std::vector<CDataSourceEdtPane_Base*> panes = {m_fixed, m_date, m_time, m_serial, m_database, m_windowData};
    if (m_namedSubstring)
        panes.push_back(m_namedSubstring);
    return panes;
}

CDataSourceEdtPane_Base* CBandListPanel::SubPaneOf(int kind) const
{
    switch (kind) {
    case BandConstant:
        return m_fixed;
    case BandDate:
        return m_date;
    case BandTime:
        return m_time;
    case BandSerial:
        return m_serial;
    case BandDatabase:
        return m_database;
    case BandWindowData:
        return m_windowData;
    case BandNamedSubstring:
        if (m_namedSubstring)
            return m_namedSubstring;
        [[fallthrough]];
    default:
        // A kind the list does not offer keeps its kind; its value text stays editable.
        return m_fixed;
    }
}

QString CBandListPanel::RowText(const CDataBand& band) const
{
    QString text = m_options.namedSubstrings ? band.m_strName : band.m_strValue;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return text;
}

void CBandListPanel::Load(CLabelData* label, const BandVector& bands, const CDataBand* select)
{
    for (CDataSourceEdtPane_Base* pane : SubPanes()) {
        pane->m_pLabelData = label;
        pane->m_bInitialised = false;
    }
    m_database->Fill();
    m_windowData->Fill();
    if (m_namedSubstring)
        m_namedSubstring->Fill();
    m_controller.Load(bands, select);
    FillRows();
    LoadCurrent();
    // From here on a date or time band that becomes current shows today's sample.
    for (CDataSourceEdtPane_Base* pane : SubPanes())
        pane->m_bInitialised = true;
}

void CBandListPanel::FillRows()
{
    m_bUpdating = true;
    m_list->clear();
    for (const auto& band : m_controller.Bands())
        new QListWidgetItem(ResourceIcon(BandKindIcon(band->m_nKind)), RowText(*band), m_list);
    m_list->setCurrentRow(m_controller.CurrentIndex());
    m_bUpdating = false;
}

void CBandListPanel::StoreCurrent()
{
    CDataBand* band = m_controller.Current();
    if (!band)
        return;
    CDataSourceEdtPane_Base* pane = SubPaneOf(band->m_nKind);
    pane->m_pBand = band;
    pane->StoreBand();
}

void CBandListPanel::OnRowChange(int row)
{
    if (m_bUpdating)
        return;
    StoreCurrent();
    if (row >= 0)
        m_controller.SetCurrent(row);
    LoadCurrent();
}

void CBandListPanel::ShowSubPane(int kind)
{
    CDataSourceEdtPane_Base* shown = m_controller.Current() ? SubPaneOf(kind) : nullptr;
    for (CDataSourceEdtPane_Base* pane : SubPanes())
        pane->setVisible(pane == shown);
}

void CBandListPanel::LoadCurrent()
{
    CDataBand* band = m_controller.Current();
    m_kind->setEnabled(band);
    m_more->setEnabled(band);
    for (CDataSourceEdtPane_Base* pane : SubPanes())
        pane->setEnabled(band);
    if (!band) {
        m_kind->setCurrentIndex(-1);
        ShowSubPane(-1);
        Q_EMIT contentChanged();
        return;
    }
    m_kind->setCurrentIndex(m_kind->findData(band->m_nKind));
    CDataSourceEdtPane_Base* pane = SubPaneOf(band->m_nKind);
    pane->m_pBand = band;
    pane->LoadBand();
    ShowSubPane(band->m_nKind);
    // A date or time band shows the sample of its template once the list is up.
    if (pane == m_date || pane == m_time)
        static_cast<CDataSourceEdtPane_DateTime*>(pane)->OnTemplateChange();
    Q_EMIT contentChanged();
}

void CBandListPanel::OnKindChange()
{
    CDataBand* band = m_controller.Current();
    if (!band || m_kind->currentIndex() < 0)
        return;
    band->m_nKind = m_kind->currentData().toInt();
    LoadCurrent();
    m_bUpdating = true;
    if (QListWidgetItem* item = m_list->item(m_controller.CurrentIndex()))
        item->setIcon(ResourceIcon(BandKindIcon(band->m_nKind)));
    m_bUpdating = false;
}

void CBandListPanel::OnValueEdited()
{
    CDataBand* band = m_controller.Current();
    if (band && !m_options.namedSubstrings) {
        m_bUpdating = true;
        if (QListWidgetItem* item = m_list->item(m_controller.CurrentIndex()))
            item->setText(RowText(*band));
        m_bUpdating = false;
    }
    Q_EMIT contentChanged();
}

void CBandListPanel::OnNew()
{
    if (!m_options.newBand)
        return;
    std::unique_ptr<CDataBand> band = m_options.newBand();
    if (!band)
        return;
    StoreCurrent();
    m_controller.Append(std::move(band));
    FillRows();
    LoadCurrent();
}

void CBandListPanel::OnCopy()
{
    StoreCurrent();
    m_controller.Copy();
}

void CBandListPanel::OnPaste()
{
    if (!m_controller.HasCopy())
        return;
    StoreCurrent();
    m_controller.Paste();
    FillRows();
    LoadCurrent();
}

void CBandListPanel::OnDelete()
{
    // The band being deleted needs nothing stored.
    if (!m_controller.Delete(!m_options.namedSubstrings))
        return;
    FillRows();
    LoadCurrent();
}

void CBandListPanel::OnMoveUp()
{
    StoreCurrent();
    if (!m_controller.MoveUp())
        return;
    FillRows();
    LoadCurrent();
}

void CBandListPanel::OnMoveDown()
{
    StoreCurrent();
    if (!m_controller.MoveDown())
        return;
    FillRows();
    LoadCurrent();
}

void CBandListPanel::OnMoreOptions()
{
    CDataBand* band = m_controller.Current();
    if (!band)
        return;
    StoreCurrent();
    CDataBandSettingsDlg dialog(band, this);
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return;
    if (band->m_nKind == BandSerial) {
        m_serial->m_pBand = band;
        m_serial->SetValueText(band->GetSerialText(), true);
    } else {
        Q_EMIT contentChanged();
    }
}

// ----- The pane -----

CDataSourceEdtPane::CDataSourceEdtPane(bool barcode, QWidget* parent) : CObjectPane(parent), m_bBarcode(barcode)
{
    SetPageId(this, 249);
    auto* layout = new QVBoxLayout(this);
    CBandListPanel::Options options;
    options.newBand = [barcode] {
        auto band = std::make_unique<CDataBand>();
        band->m_strValue = barcode ? QStringLiteral("12345678") : QStringLiteral("样例文字");
        return band;
    };
    m_panel = new CBandListPanel(options);
    layout->addWidget(m_panel, 1);
    auto* sampleGroup = new QGroupBox(QStringLiteral("示例"));
    auto* sampleLayout = new QVBoxLayout(sampleGroup);
    m_sample = SetCtlId(new QPlainTextEdit, 1079);
    m_sample->setReadOnly(true);
    m_sample->setMaximumHeight(80);
    sampleLayout->addWidget(m_sample);
    layout->addWidget(sampleGroup);
    connect(m_panel, &CBandListPanel::contentChanged, this, &CDataSourceEdtPane::UpdateSample);
}

BandVector* CDataSourceEdtPane::TargetBands() const
{
    if (!m_pObject)
        return nullptr;
    if (m_bBarcode) {
        auto* barcode = dynamic_cast<CBarcodeGraph*>(m_pObject);
        return barcode && barcode->GetImpl() ? &barcode->GetImpl()->GetSettings()->m_bandList : nullptr;
    }
    auto* text = dynamic_cast<CTextGraph*>(m_pObject);
    return text ? &text->m_bands : nullptr;
}

void CDataSourceEdtPane::Load()
{
    static const BandVector kNone;
    const BandVector* bands = TargetBands();
    m_panel->Load(m_pLabelData, bands ? *bands : kNone, m_pBandToSelect);
    UpdateSample();
}

void CDataSourceEdtPane::Apply()
{
    m_panel->StoreCurrent();
    BandVector* bands = TargetBands();
    // The last band cannot be deleted here, so an empty list is an object that came
    // without bands: its content stays as it is rather than being emptied.
    if (!bands || m_panel->Controller().Count() == 0)
        return;
    m_panel->Controller().ApplyTo(*bands);
    if (m_bBarcode) {
        CBarcodeSettings& settings = *static_cast<CBarcodeGraph*>(m_pObject)->GetImpl()->GetSettings();
        settings.m_strContent = settings.GetBandsText();
    } else {
        auto& text = static_cast<CTextGraph&>(*m_pObject);
        text.m_strText = GetBandsText(text);
    }
}

void CDataSourceEdtPane::UpdateSample()
{
    const CBandListController& bands = m_panel->Controller();
    m_sample->setPlainText(bands.SampleText());
    QTextCursor cursor = m_sample->textCursor();
    cursor.setPosition(bands.SampleStart());
    cursor.setPosition(bands.SampleStart() + bands.SampleLength(), QTextCursor::KeepAnchor);
    m_sample->setTextCursor(cursor);
    m_sample->ensureCursorVisible();
}
