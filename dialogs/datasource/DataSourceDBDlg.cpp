#include "dialogs/datasource/DataSourceDBDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/RadioListBox.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/datasource/ReportList.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/Numbers.h"
#include "platform/db/DbConnection.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString kDefaultSort = QStringLiteral("默认");

QPushButton* ConnectButton(CConnectionPanel* panel, int id)
{
    auto* button = SetCtlId(new QPushButton(QStringLiteral("连接"), panel), id);
    QObject::connect(button, &QPushButton::clicked, panel, &CConnectionPanel::ConnectClicked);
    return button;
}

// A port typed as text: its leading number, never below 0.
int PortOf(const QLineEdit* edit)
{
    return std::max(0, LeadingInt(edit->text()));
}

// An SQLite file.
class SQLitePanel : public CConnectionPanel
{
public:
    SQLitePanel() : CConnectionPanel(QStringLiteral("连接 SQLite 数据库"))
    {
        auto* grid = new QGridLayout(this);
        m_editPath = SetCtlId(new QLineEdit, 1170);
        auto* browse = SetCtlId(new QPushButton(QStringLiteral("浏览...")), 1171);
        m_radio3 = SetCtlId(new QRadioButton(QStringLiteral("SQLite 3")), 1143);
        m_radio2 = SetCtlId(new QRadioButton(QStringLiteral("SQLite 2")), 1144);
        grid->addWidget(new QLabel(QStringLiteral("文件名:")), 0, 0);
        grid->addWidget(m_editPath, 0, 1, 1, 3);
        grid->addWidget(browse, 0, 4);
        grid->addWidget(m_radio3, 1, 1);
        grid->addWidget(m_radio2, 1, 2);
        grid->addWidget(ConnectButton(this, 1081), 1, 4);
        grid->setColumnStretch(3, 1);
        // The file is always opened as SQLite 3, so that is what a new one is.
        m_radio3->setChecked(true);
        connect(browse, &QPushButton::clicked, this, [this] { OnBrowse(); });
    }

    void Show(const CDSBase& fields) override
    {
        const auto& ds = static_cast<const CSQLiteDS&>(fields);
        m_editPath->setText(ds.m_strPath);
        (ds.m_nVersion == 0 ? m_radio3 : m_radio2)->setChecked(true);
    }

    void Save(CDSBase& fields) const override
    {
        auto& ds = static_cast<CSQLiteDS&>(fields);
        ds.m_strPath = m_editPath->text();
        ds.m_nVersion = m_radio3->isChecked() ? 0 : 1;
    }

    bool HasRequiredInputs() const override { return !m_editPath->text().isEmpty(); }

    std::unique_ptr<DbConnection> Open() const override
    {
        if (m_editPath->text().isEmpty())
            return nullptr;
        return DbConnection::OpenSQLite(m_editPath->text());
    }

private:
    void OnBrowse()
    {
        const QString path = Services().GetOpenFileName(this, QString(), QString(),
                                                        QStringLiteral("SQLite数据库文件 (*.db *.sqlite)"));
        if (!path.isEmpty())
            m_editPath->setText(path);
    }

    QLineEdit* m_editPath;
    QRadioButton* m_radio3;
    QRadioButton* m_radio2;
};

// A server reached by host and port, with a database and a login. The description
// holds host, database, user and password enciphered.
class ServerPanel : public CConnectionPanel
{
public:
    using Opener = std::unique_ptr<DbConnection> (*)(const DbServerSettings&);

    ServerPanel(const QString& title, Opener open) : CConnectionPanel(title), m_open(open)
    {
        auto* grid = new QGridLayout(this);
        m_editHost = SetCtlId(new QLineEdit, 1079);
        m_editPort = SetCtlId(new QLineEdit, 1083);
        m_editDatabase = SetCtlId(new QLineEdit, 1081);
        m_editUser = SetCtlId(new QLineEdit, 1080);
        m_editPassword = SetCtlId(new QLineEdit, 1183);
        m_editPassword->setEchoMode(QLineEdit::Password);
        grid->addWidget(new QLabel(QStringLiteral("服务器地址:")), 0, 0);
        grid->addWidget(m_editHost, 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("端口:")), 0, 2);
        grid->addWidget(m_editPort, 0, 3);
        grid->addWidget(new QLabel(QStringLiteral("数据库名:")), 0, 4);
        grid->addWidget(m_editDatabase, 0, 5);
        grid->addWidget(new QLabel(QStringLiteral("用户名:")), 1, 0);
        grid->addWidget(m_editUser, 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("密码:")), 1, 2);
        grid->addWidget(m_editPassword, 1, 3);
        grid->addWidget(ConnectButton(this, 1082), 1, 5, Qt::AlignRight);
        grid->setColumnStretch(1, 2);
        grid->setColumnStretch(3, 1);
        grid->setColumnStretch(5, 2);
    }

    void Show(const CDSBase& fields) override
    {
        const auto& ds = static_cast<const CHostPortDS&>(fields);
        m_editHost->setText(DecryptString(ds.m_strHost));
        m_editPort->setText(QString::asprintf("%d", ds.m_nPort));
        m_editDatabase->setText(DecryptString(ds.m_strDatabase));
        m_editUser->setText(DecryptString(ds.m_strUser));
        m_editPassword->setText(DecryptString(ds.m_strPassword));
    }

    void Save(CDSBase& fields) const override
    {
        auto& ds = static_cast<CHostPortDS&>(fields);
        ds.m_strHost = EncryptString(m_editHost->text());
        ds.m_nPort = PortOf(m_editPort);
        ds.m_strDatabase = EncryptString(m_editDatabase->text());
        ds.m_strUser = EncryptString(m_editUser->text());
        ds.m_strPassword = EncryptString(m_editPassword->text());
    }

    // The password may be empty.
    bool HasRequiredInputs() const override
    {
        return !m_editHost->text().isEmpty() && !m_editDatabase->text().isEmpty() && !m_editUser->text().isEmpty()
               && !m_editPort->text().isEmpty();
    }

    std::unique_ptr<DbConnection> Open() const override
    {
        DbServerSettings settings;
        settings.host = m_editHost->text();
        settings.port = PortOf(m_editPort);
        settings.database = m_editDatabase->text();
        settings.user = m_editUser->text();
        settings.password = m_editPassword->text();
        if (settings.host.isEmpty() || settings.database.isEmpty() || settings.user.isEmpty())
            return nullptr;
        return m_open(settings);
    }

private:
    Opener m_open;
    QLineEdit* m_editHost;
    QLineEdit* m_editPort;
    QLineEdit* m_editDatabase;
    QLineEdit* m_editUser;
    QLineEdit* m_editPassword;
};

const DbDialogProfile kSQLiteProfile = {
    DSSQLite, 408, u"数据源_SQLite 数据库", u"选择排序列", u"请指定数据库文件", false, true,
};
const DbDialogProfile kPostgreSQLProfile = {
    DSPostgreSQL, 409, u"数据源_PostgreSQL", u"排序", u"请指定数据库连接信息", true, true,
};
const DbDialogProfile kMySQLProfile = {
    DSMySQL, 381, u"数据源_MySQL", u"排序", u"请指定数据库连接信息", true, false,
};

QGroupBox* Group(const QString& title, QLayout* layout)
{
    auto* group = new QGroupBox(title);
    group->setLayout(layout);
    return group;
}

QVBoxLayout* Column(std::initializer_list<QWidget*> widgets)
{
    auto* layout = new QVBoxLayout;
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    return layout;
}

} // namespace

CDataSourceDBDlg::CDataSourceDBDlg(const DbDialogProfile& profile, std::unique_ptr<CDSBase> fields,
                                   CConnectionPanel* panel, QWidget* parent)
    : CDataSourceDlg(profile.resourceId, std::move(fields), parent), m_profile(profile), m_pPanel(panel)
{
    setWindowTitle(QString::fromUtf16(profile.caption));

    m_listTables = SetCtlId(new CRadioListBox, 1090);
    m_listFields = SetCtlId(new QListWidget, 1089);
    m_comboSort = SetCtlId(new QComboBox, 1284);
    m_radioAscending = SetCtlId(new QRadioButton(QStringLiteral("升序")), 1186);
    m_radioDescending = SetCtlId(new QRadioButton(QStringLiteral("降序")), 1187);
    m_radioAll = SetCtlId(new QRadioButton(QStringLiteral("全部记录")), 1175);
    m_radioFromTo = SetCtlId(new QRadioButton(QStringLiteral("序号从")), 1176);
    m_radioSQL = SetCtlId(new QRadioButton(QStringLiteral("SQL语句:")), 1189);
    m_editSQL = SetCtlId(new QLineEdit, 1188);
    m_listPreview = SetCtlId(new CReportList, 1179);
    auto* readData = SetCtlId(new QPushButton(QStringLiteral("读入数据")), 1192);

    auto* sortLayout = new QVBoxLayout;
    sortLayout->addWidget(m_comboSort);
    auto* orderRow = new QHBoxLayout;
    orderRow->addWidget(m_radioAscending);
    orderRow->addWidget(m_radioDescending);
    orderRow->addStretch();
    sortLayout->addLayout(orderRow);
    sortLayout->addStretch();
    // The two order radios and the three range radios are separate groups.
    auto* sortGroup = Group(QString::fromUtf16(profile.sortGroup), sortLayout);

    auto* rangeLayout = new QGridLayout;
    rangeLayout->addWidget(m_radioAll, 0, 0);
    rangeLayout->addWidget(m_radioFromTo, 1, 0);
    rangeLayout->addWidget(MakeRowEdit(1177, 1285, m_editFrom), 1, 1);
    rangeLayout->addWidget(new QLabel(QStringLiteral("到")), 1, 2);
    rangeLayout->addWidget(MakeRowEdit(1178, 1286, m_editTo), 1, 3);
    rangeLayout->addWidget(m_radioSQL, 2, 0);
    rangeLayout->addWidget(m_editSQL, 2, 1, 1, 3);
    rangeLayout->setColumnStretch(1, 1);
    rangeLayout->setColumnStretch(3, 1);
    auto* rangeGroup = Group(QStringLiteral("过滤条件"), rangeLayout);

    auto* lists = new QHBoxLayout;
    lists->addWidget(Group(QStringLiteral("选择连接的表"), Column({m_listTables})));
    lists->addWidget(Group(QStringLiteral("选择使用的列"), Column({m_listFields})));
    auto* options = new QHBoxLayout;
    options->addWidget(sortGroup, 1);
    options->addWidget(rangeGroup, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(readData);
    bottom->addStretch();
    bottom->addWidget(
        MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPanel);
    layout->addLayout(lists, 2);
    layout->addLayout(options);
    layout->addWidget(m_listPreview, 4);
    layout->addLayout(bottom);
    resize(720, 720);

    connect(m_pPanel, &CConnectionPanel::ConnectClicked, this, &CDataSourceDBDlg::OnConnect);
    connect(m_listTables, &QListWidget::currentRowChanged, this, &CDataSourceDBDlg::OnTableSelChange);
    for (QRadioButton* radio : {m_radioAll, m_radioFromTo, m_radioSQL})
        connect(radio, &QRadioButton::clicked, this, &CDataSourceDBDlg::UpdateRangeControls);
    connect(readData, &QPushButton::clicked, this, &CDataSourceDBDlg::OnReadData);
}

CDataSourceDBDlg::~CDataSourceDBDlg()
{
    // The lists outlive the members they report to.
    m_listTables->blockSignals(true);
}

bool CDataSourceDBDlg::IsConnected() const
{
    return m_connection && m_connection->IsOpen();
}

void CDataSourceDBDlg::OnInitDialog()
{
    if (m_bNew) {
        m_radioAscending->setChecked(true);
        m_radioAll->setChecked(true);
        UpdateRangeControls();
        return;
    }
    ShowDataSource();
}

void CDataSourceDBDlg::ShowDataSource()
{
    m_pPanel->Show(*m_pFields);
    Connect();
    LoadTables();
    SelectTable();
    ApplyFieldSelection();
    (m_pFields->m_nSortOrder != 0 ? m_radioDescending : m_radioAscending)->setChecked(true);
    switch (m_pFields->m_nRangeMode) {
    case RangeAll:
        m_radioAll->setChecked(true);
        break;
    case RangeFromTo:
        m_radioFromTo->setChecked(true);
        break;
    default:
        m_radioSQL->setChecked(true);
        break;
    }
    UpdateRangeControls();
}

void CDataSourceDBDlg::OnConnect()
{
    if (!m_pPanel->HasRequiredInputs()) {
        Services().ShowMessage(this, QString::fromUtf16(m_profile.missingInputs), MessageIcon::Information);
        return;
    }
    Connect();
    LoadTables();
    SelectTable();
    ApplyFieldSelection();
}

void CDataSourceDBDlg::Connect()
{
    // A new attempt always ends the old connection, so a failed one leaves none.
    CloseConnection();
    std::unique_ptr<DbConnection> connection = m_pPanel->Open();
    if (!connection)
        return;
    if (!connection->IsOpen()) {
        if (m_profile.reportsRefusal)
            Services().ShowMessage(this, QStringLiteral("无法连接数据库"), MessageIcon::Stop);
        return;
    }
    m_connection = std::move(connection);
}

void CDataSourceDBDlg::CloseConnection()
{
    if (m_connection)
        m_connection->Close();
    m_connection.reset();
}

void CDataSourceDBDlg::LoadTables()
{
    const QSignalBlocker blockTables(m_listTables);
    m_comboSort->clear();
    m_listFields->clear();
    m_listTables->clear();
    m_nLastTable = -1;
    QStringList tables;
    if (IsConnected() && m_connection->ListTables(tables))
        m_listTables->addItems(tables);
}

void CDataSourceDBDlg::SelectTableRow(int row)
{
    const QSignalBlocker block(m_listTables);
    m_listTables->setCurrentRow(row);
}

void CDataSourceDBDlg::SelectTable()
{
    if (m_listTables->count() == 0)
        return;
    if (!m_pFields->m_strTable.isEmpty()) {
        const QString wanted = m_pFields->m_strTable.toUpper();
        for (int i = 0; i < m_listTables->count(); ++i) {
            if (m_listTables->item(i)->text().toUpper() == wanted) {
                SelectTableRow(i);
                break;
            }
        }
    }
    if (m_listTables->currentRow() < 0)
        SelectTableRow(0);
}

void CDataSourceDBDlg::OnTableSelChange()
{
    const int row = m_listTables->currentRow();
    if (row >= 0 && row != m_nLastTable)
        ApplyFieldSelection();
}

void CDataSourceDBDlg::LoadFields()
{
    if (m_listTables->count() == 0)
        return;
    if (m_listTables->currentRow() < 0)
        SelectTableRow(0);
    const QString table = m_listTables->currentItem()->text();
    m_nLastTable = m_listTables->currentRow();
    m_comboSort->clear();
    m_listFields->clear();
    QStringList fields;
    if (!IsConnected() || !m_connection->ListFields(table, fields))
        return;
    m_comboSort->addItem(kDefaultSort);
    for (const QString& field : fields) {
        auto* item = new QListWidgetItem(field, m_listFields);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        m_comboSort->addItem(field);
    }
}

void CDataSourceDBDlg::ApplyFieldSelection()
{
    LoadFields();
    for (int i = 0; i < m_listFields->count(); ++i) {
        QListWidgetItem* item = m_listFields->item(i);
        if (m_pFields->m_selectedFields.contains(item->text(), Qt::CaseInsensitive))
            item->setCheckState(Qt::Checked);
    }
    if (m_comboSort->count() == 0)
        return;
    if (m_pFields->m_strSortField.isEmpty()) {
        if (m_comboSort->currentIndex() < 0)
            m_comboSort->setCurrentIndex(0);
        return;
    }
    const int index = m_comboSort->findText(m_pFields->m_strSortField, Qt::MatchFixedString);
    m_comboSort->setCurrentIndex(index >= 0 ? index : 0);
}

void CDataSourceDBDlg::UpdateRangeControls()
{
    // The edits take the stored fields, not what was typed before.
    const bool fromTo = !m_radioAll->isChecked() && m_radioFromTo->isChecked();
    const bool sql = !m_radioAll->isChecked() && !m_radioFromTo->isChecked();
    m_editFrom->setText(fromTo ? QString::asprintf("%d", m_pFields->m_nFrom) : QString());
    m_editTo->setText(fromTo ? QString::asprintf("%d", m_pFields->m_nTo) : QString());
    m_editSQL->setText(sql ? m_pFields->m_strSQL : QString());
    m_editFrom->setEnabled(fromTo);
    m_editTo->setEnabled(fromTo);
    m_editSQL->setEnabled(sql);
}

void CDataSourceDBDlg::SaveControls()
{
    CDSBase& ds = *m_pFields;
    m_pPanel->Save(ds);
    const QListWidgetItem* table = m_listTables->currentItem();
    ds.m_strTable = table ? table->text() : QString();
    ds.m_selectedFields.clear();
    for (int i = 0; i < m_listFields->count(); ++i) {
        if (m_listFields->item(i)->checkState() == Qt::Checked)
            ds.m_selectedFields.append(m_listFields->item(i)->text());
    }
    ds.m_strSortField = m_comboSort->currentIndex() < 1 ? QString() : m_comboSort->currentText();
    ds.m_nSortOrder = m_radioAscending->isChecked() ? 0 : 1;
    if (m_radioAll->isChecked()) {
        ds.m_nRangeMode = RangeAll;
    } else if (m_radioFromTo->isChecked()) {
        ds.m_nRangeMode = RangeFromTo;
        ds.m_nFrom = std::max(1, LeadingInt(m_editFrom->text()));
        ds.m_nTo = std::max(1, LeadingInt(m_editTo->text()));
    } else {
        ds.m_nRangeMode = RangeSQL;
        ds.m_strSQL = m_editSQL->text();
    }
}

void CDataSourceDBDlg::OnReadData()
{
    SaveControls();
    if (!IsConnected()) {
        Services().ShowMessage(this, QStringLiteral("未连接数据库"), MessageIcon::Stop);
        return;
    }
    PreviewRows();
}

void CDataSourceDBDlg::PreviewRows()
{
    // The preview reads through the loader that prints, on a copy that starts at the
    // first row: what it shows is what a label gets.
    std::unique_ptr<CDSBase> probe = m_pFields->Clone();
    if (probe->m_nRangeMode == RangeFromTo)
        probe->m_nRangeMode = RangeAll;
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(probe->GetType());
    loader->SetDataSource(probe.get());
    LoaderRow rows;
    const bool read = loader->LoadRows(1, kPreviewRows, rows);
    loader.reset();

    CDSBase& ds = *m_pFields;
    if (ds.m_nRangeMode == RangeSQL)
        ds.m_selectedFields = read ? rows.Columns() : QStringList();
    ds.m_sampleValues.clear();
    QList<QStringList> shown;
    for (int r = 0; read && r < rows.RowCount() && r < kPreviewRows; ++r) {
        QStringList values;
        // A NULL value is an empty text in its own place, so values never shift
        // against their fields.
        for (int c = 0; c < ds.m_selectedFields.size(); ++c)
            values.append(rows.Value(r, c));
        if (r == 0)
            ds.m_sampleValues = values;
        shown.append(values);
    }
    m_listPreview->ShowRows(ds.m_selectedFields, shown, 1, QStringLiteral("..."));
}

bool CDataSourceDBDlg::OnOK()
{
    if (m_profile.okNeedsPreview && m_pFields->m_sampleValues.isEmpty()) {
        Services().ShowMessage(this, QStringLiteral("请读入数据以生成字段信息"), MessageIcon::Warning);
        return false;
    }
    CloseConnection();
    return true;
}

void CDataSourceDBDlg::reject()
{
    CloseConnection();
    CDataSourceDlg::reject();
}

CDataSourceSQLiteDlg::CDataSourceSQLiteDlg(QWidget* parent)
    : CDataSourceDBDlg(kSQLiteProfile, std::make_unique<CSQLiteDS>(), new SQLitePanel, parent)
{
}

CDataSourcePostgreSQLDlg::CDataSourcePostgreSQLDlg(QWidget* parent)
    : CDataSourceDBDlg(kPostgreSQLProfile, std::make_unique<CPostgreSQLDS>(),
                       new ServerPanel(QStringLiteral("连接 PostgreSQL 数据库"), &DbConnection::OpenPostgreSQL), parent)
{
}

CDataSourceMySQLDlg::CDataSourceMySQLDlg(QWidget* parent)
    : CDataSourceDBDlg(kMySQLProfile, std::make_unique<CMySQLDS>(),
                       new ServerPanel(QStringLiteral("连接 MySQL 数据库"), &DbConnection::OpenMySQL), parent)
{
}
