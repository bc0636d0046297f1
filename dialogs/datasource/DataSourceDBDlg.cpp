#include "dialogs/datasource/DataSourceDBDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/RadioListBox.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/datasource/ReportList.h"
#include "model/DLBase.h"
#include "model/AdoLoaders.h"
#include "model/DSBase.h"
#include "model/DataSourceSection.h"
#include "model/SourceApproval.h"
#include "model/SqlStatements.h"
#include "platform/Archive.h"
#include "platform/Crypt.h"
#include "platform/Numbers.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString kDefaultSort = QStringLiteral("默认");
const QString kListTablesFailed = QStringLiteral("无法列出数据库中的表，请检查连接信息和数据库用户的权限。");

// The settings of a description a read depends on, as bytes to compare: neither its
// name nor its sample values, nor the fields a statement's own columns decide.
QByteArray ReadSettings(const CDSBase& ds)
{
    std::unique_ptr<CDSBase> settings = ds.Clone();
    settings->m_strName.clear();
    settings->m_sampleValues.clear();
    if (settings->m_nRangeMode == RangeSQL)
        settings->m_selectedFields.clear();
    if (IsNoSortField(settings->m_strSortField))
        settings->m_strSortField.clear();
    CArchiveWriter ar;
    WriteDataSource(ar, *settings);
    return ar.Data();
}

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

    QString FileName() const override { return m_editPath->text(); }

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

    // Without an opener the dialog connects through the type's provider string.
    ServerPanel(const QString& title, Opener open, bool portRequired = true)
        : CConnectionPanel(title), m_open(open), m_portRequired(portRequired)
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
        // A port left out stays out, where it may be.
        m_editPort->setText(ds.m_nPort > 0 || m_portRequired ? QString::number(ds.m_nPort) : QString());
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
               && (!m_portRequired || !m_editPort->text().isEmpty());
    }

    std::unique_ptr<DbConnection> Open() const override
    {
        DbServerSettings settings;
        settings.host = m_editHost->text();
        settings.port = PortOf(m_editPort);
        settings.database = m_editDatabase->text();
        settings.user = m_editUser->text();
        settings.password = m_editPassword->text();
        if (!m_open || settings.host.isEmpty() || settings.database.isEmpty() || settings.user.isEmpty())
            return nullptr;
        return m_open(settings);
    }

    void SetPort(int port) { m_editPort->setText(QString::asprintf("%d", port)); }

private:
    Opener m_open;
    bool m_portRequired;
    QLineEdit* m_editHost;
    QLineEdit* m_editPort;
    QLineEdit* m_editDatabase;
    QLineEdit* m_editUser;
    QLineEdit* m_editPassword;
};

// A file picked by "浏览..." into the path edit 1170.
class FilePanel : public CConnectionPanel
{
public:
    FilePanel(const QString& title, const QString& filter) : CConnectionPanel(title), m_filter(filter)
    {
        m_grid = new QGridLayout(this);
        m_editPath = SetCtlId(new QLineEdit, 1170);
        auto* browse = SetCtlId(new QPushButton(QStringLiteral("浏览...")), 1171);
        m_grid->addWidget(new QLabel(QStringLiteral("文件名:")), 0, 0);
        m_grid->addWidget(m_editPath, 0, 1, 1, 3);
        m_grid->addWidget(browse, 0, 4);
        m_grid->addWidget(ConnectButton(this, 1081), 1, 4);
        m_grid->setColumnStretch(3, 1);
        connect(browse, &QPushButton::clicked, this, [this] {
            const QString path = Services().GetOpenFileName(this, QString(), QString(), m_filter);
            if (!path.isEmpty())
                m_editPath->setText(path);
        });
    }

    bool HasRequiredInputs() const override { return !m_editPath->text().isEmpty(); }

protected:
    QGridLayout* m_grid;
    QLineEdit* m_editPath;

private:
    QString m_filter;
};

class ExcelPanel : public FilePanel
{
public:
    ExcelPanel()
        : FilePanel(QStringLiteral("连接 Excel 文件"), QStringLiteral("Excel数据文件 (*.xls *.xlsx)"))
    {
        m_checkHeader = SetCtlId(new QCheckBox(QStringLiteral("首行记录为标题行")), 1004);
        m_grid->addWidget(m_checkHeader, 1, 1, 1, 3);
    }

    void Show(const CDSBase& fields) override
    {
        const auto& ds = static_cast<const CExcelDS&>(fields);
        m_editPath->setText(ds.m_strPath);
        m_checkHeader->setChecked(ds.m_bHeaderRow);
    }

    void Save(CDSBase& fields) const override
    {
        auto& ds = static_cast<CExcelDS&>(fields);
        ds.m_strPath = m_editPath->text();
        ds.m_bHeaderRow = m_checkHeader->isChecked();
    }

private:
    QCheckBox* m_checkHeader;
};

class AccessPanel : public FilePanel
{
public:
    AccessPanel()
        : FilePanel(QStringLiteral("连接 Access 数据库"), QStringLiteral("Access数据库文件 (*.mdb *.accdb)"))
    {
        m_editPassword = SetCtlId(new QLineEdit, 1183);
        m_editPassword->setEchoMode(QLineEdit::Password);
        m_grid->addWidget(new QLabel(QStringLiteral("密码:")), 1, 0);
        m_grid->addWidget(m_editPassword, 1, 1);
    }

    void Show(const CDSBase& fields) override
    {
        const auto& ds = static_cast<const CAccessDS&>(fields);
        m_editPath->setText(ds.m_strPath);
        m_editPassword->setText(DecryptString(ds.m_strPassword));
    }

    void Save(CDSBase& fields) const override
    {
        auto& ds = static_cast<CAccessDS&>(fields);
        ds.m_strPath = m_editPath->text();
        ds.m_strPassword = EncryptString(m_editPassword->text());
    }

private:
    QLineEdit* m_editPassword;
};

// A server named by its address (a port may follow it as "host,port"), with a
// database and a login: SQL Server and Sybase.
class ServerNamePanel : public CConnectionPanel
{
public:
    explicit ServerNamePanel(const QString& title) : CConnectionPanel(title)
    {
        auto* grid = new QGridLayout(this);
        m_editServer = SetCtlId(new QLineEdit, 1079);
        m_editDatabase = SetCtlId(new QLineEdit, 1081);
        m_editUser = SetCtlId(new QLineEdit, 1080);
        m_editPassword = SetCtlId(new QLineEdit, 1183);
        m_editPassword->setEchoMode(QLineEdit::Password);
        grid->addWidget(new QLabel(QStringLiteral("服务器地址:")), 0, 0);
        grid->addWidget(m_editServer, 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("数据库名:")), 0, 2);
        grid->addWidget(m_editDatabase, 0, 3);
        grid->addWidget(new QLabel(QStringLiteral("用户名:")), 1, 0);
        grid->addWidget(m_editUser, 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("密码:")), 1, 2);
        grid->addWidget(m_editPassword, 1, 3);
        // The database edit holds 1081, so the button takes the next free id.
        grid->addWidget(ConnectButton(this, 1082), 1, 4);
    }

    void Show(const CDSBase& fields) override
    {
        const auto& ds = static_cast<const CServerDS&>(fields);
        m_editServer->setText(DecryptString(ds.m_strServer));
        m_editDatabase->setText(DecryptString(ds.m_strDatabase));
        m_editUser->setText(DecryptString(ds.m_strUser));
        m_editPassword->setText(DecryptString(ds.m_strPassword));
    }

    void Save(CDSBase& fields) const override
    {
        auto& ds = static_cast<CServerDS&>(fields);
        ds.m_strServer = EncryptString(m_editServer->text());
        ds.m_strDatabase = EncryptString(m_editDatabase->text());
        ds.m_strUser = EncryptString(m_editUser->text());
        ds.m_strPassword = EncryptString(m_editPassword->text());
    }

    bool HasRequiredInputs() const override
    {
        return !m_editServer->text().isEmpty() && !m_editDatabase->text().isEmpty() && !m_editUser->text().isEmpty();
    }

private:
    QLineEdit* m_editServer;
    QLineEdit* m_editDatabase;
    QLineEdit* m_editUser;
    QLineEdit* m_editPassword;
};

class OraclePanel : public CConnectionPanel
{
public:
    OraclePanel() : CConnectionPanel(QStringLiteral("连接 Oracle 数据库"))
    {
        auto* grid = new QGridLayout(this);
        m_comboType = SetCtlId(new QComboBox, 1098);
        m_comboType->addItems({QStringLiteral("Basic"), QStringLiteral("TNS")});
        m_comboType->setCurrentIndex(0);
        // Only the basic descriptor is made; a stored TNS choice is shown, not offered.
        m_comboType->setEnabled(false);
        m_editHost = SetCtlId(new QLineEdit, 1079);
        m_editPort = SetCtlId(new QLineEdit(QStringLiteral("1521")), 1083);
        m_editService = SetCtlId(new QLineEdit(QStringLiteral("ORCL")), 1297);
        m_radioService = SetCtlId(new QRadioButton(QStringLiteral("Service Name")), 1143);
        m_radioSid = SetCtlId(new QRadioButton(QStringLiteral("SID")), 1144);
        m_radioService->setChecked(true);
        m_editUser = SetCtlId(new QLineEdit, 1080);
        m_editPassword = SetCtlId(new QLineEdit, 1183);
        m_editPassword->setEchoMode(QLineEdit::Password);
        grid->addWidget(new QLabel(QStringLiteral("连接类型:")), 0, 0);
        grid->addWidget(m_comboType, 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("主机名或IP地址:")), 0, 2);
        grid->addWidget(m_editHost, 0, 3);
        grid->addWidget(new QLabel(QStringLiteral("端口:")), 0, 4);
        grid->addWidget(m_editPort, 0, 5);
        grid->addWidget(new QLabel(QStringLiteral("Service Name/SID:")), 1, 0);
        grid->addWidget(m_editService, 1, 1);
        grid->addWidget(m_radioService, 1, 2);
        grid->addWidget(m_radioSid, 1, 3);
        grid->addWidget(new QLabel(QStringLiteral("用户名:")), 2, 0);
        grid->addWidget(m_editUser, 2, 1);
        grid->addWidget(new QLabel(QStringLiteral("密码:")), 2, 2);
        grid->addWidget(m_editPassword, 2, 3);
        grid->addWidget(ConnectButton(this, 1081), 2, 5);
    }

    void Show(const CDSBase& fields) override
    {
        const auto& ds = static_cast<const COracleDS&>(fields);
        m_comboType->setCurrentIndex(ds.m_nConnectionType == 1 ? 1 : 0);
        m_editHost->setText(DecryptString(ds.m_strHost));
        m_editPort->setText(QString::asprintf("%d", ds.m_nPort));
        m_editService->setText(ds.m_strServiceName);
        (ds.m_nNameKind == 0 ? m_radioService : m_radioSid)->setChecked(true);
        m_editUser->setText(DecryptString(ds.m_strUser));
        m_editPassword->setText(DecryptString(ds.m_strPassword));
    }

    void Save(CDSBase& fields) const override
    {
        auto& ds = static_cast<COracleDS&>(fields);
        ds.m_nConnectionType = m_comboType->currentIndex();
        ds.m_strHost = EncryptString(m_editHost->text());
        ds.m_nPort = PortOf(m_editPort);
        ds.m_strServiceName = m_editService->text();
        ds.m_nNameKind = m_radioService->isChecked() ? 0 : 1;
        ds.m_strUser = EncryptString(m_editUser->text());
        ds.m_strPassword = EncryptString(m_editPassword->text());
    }

    bool HasRequiredInputs() const override
    {
        for (const QLineEdit* edit : {m_editHost, m_editPort, m_editService, m_editUser, m_editPassword}) {
            if (edit->text().isEmpty())
                return false;
        }
        return true;
    }

private:
    QComboBox* m_comboType;
    QLineEdit* m_editHost;
    QLineEdit* m_editPort;
    QLineEdit* m_editService;
    QRadioButton* m_radioService;
    QRadioButton* m_radioSid;
    QLineEdit* m_editUser;
    QLineEdit* m_editPassword;
};

// A connection string typed whole; it is kept enciphered.
class CustomPanel : public CConnectionPanel
{
public:
    CustomPanel() : CConnectionPanel(QStringLiteral("连接字符串"))
    {
        auto* layout = new QHBoxLayout(this);
        m_editString = SetCtlId(new QPlainTextEdit, 1305);
        m_editString->setMaximumHeight(80);
        layout->addWidget(m_editString, 1);
        layout->addWidget(ConnectButton(this, 1081), 0, Qt::AlignBottom);
    }

    void Show(const CDSBase& fields) override
    {
        m_editString->setPlainText(DecryptString(static_cast<const CCustomDS&>(fields).m_strConnectionString));
    }

    void Save(CDSBase& fields) const override
    {
        static_cast<CCustomDS&>(fields).m_strConnectionString = EncryptString(m_editString->toPlainText());
    }

    bool HasRequiredInputs() const override { return !m_editString->toPlainText().isEmpty(); }

private:
    QPlainTextEdit* m_editString;
};

const DbDialogProfile kSQLiteProfile = {
    DSSQLite, 408, u"数据源_SQLite 数据库", u"选择排序列", u"请指定数据库文件", true, true,
};
const DbDialogProfile kPostgreSQLProfile = {
    DSPostgreSQL, 409, u"数据源_PostgreSQL", u"排序", u"请指定数据库连接信息", true, true,
};
const DbDialogProfile kMySQLProfile = {
    DSMySQL, 381, u"数据源_MySQL", u"排序", u"请指定数据库连接信息", true, false,
};

const ProviderQueries kExcelQueries = {nullptr, true, 10, nullptr};
const ProviderQueries kAccessQueries = {nullptr, false, 9, nullptr};
const ProviderQueries kSQLServerQueries = {
    u"select name from sysobjects where xtype='U'or xtype='V' order by name", false, 9, u"请输入连接信息",
};
const ProviderQueries kSybaseQueries = {
    u"select name from sysobjects where type='U'or type='V' order by name", false, 9, u"请输入连接信息",
};
const ProviderQueries kDB2Queries = {u"select tabschema,tabname from syscat.tables", false, 9, u"请输入连接信息"};
const ProviderQueries kOracleQueries = {
    u"select table_name from user_tables order by table_name", false, 9, u"请输入连接信息",
};
const ProviderQueries kCustomQueries = {nullptr, false, 9, nullptr};

const DbDialogProfile kExcelProfile = {
    DSExcel, 375, u"数据源_Excel 文件", u"选择排序列", u"请指定Excel数据文件", false, true, &kExcelQueries,
};
const DbDialogProfile kAccessProfile = {
    DSAccess, 274, u"数据源_Access 数据库", u"选择排序列", u"请指定数据库文件", false, true, &kAccessQueries,
};
const DbDialogProfile kSQLServerProfile = {
    DSSQLServer, 275, u"数据源_SQL Server", u"排序", u"请指定数据库连接信息", false, true, &kSQLServerQueries,
};
const DbDialogProfile kSybaseProfile = {
    DSSybase, 425, u"数据源_Sybase", u"排序", u"请指定数据库连接信息", false, true, &kSybaseQueries,
};
const DbDialogProfile kDB2Profile = {
    DSDB2, 426, u"数据源_DB2", u"排序", u"请指定数据库连接信息", false, true, &kDB2Queries,
};
const DbDialogProfile kOracleProfile = {
    DSOracle, 410, u"数据源_Oracle", u"排序", u"请指定数据库连接信息", false, true, &kOracleQueries,
};
const DbDialogProfile kCustomProfile = {
    DSCustom, 419, u"数据源_自定义", u"选择排序列", u"请输入连接字符串", false, true, &kCustomQueries,
};

// The port is not required: an empty one is port 0. A new description starts at 50000.
CConnectionPanel* MakeDB2Panel()
{
    auto* panel = new ServerPanel(QStringLiteral("连接 DB2 数据库"), nullptr, false);
    panel->SetPort(CDB2DS().m_nPort);
    return panel;
}

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
    // A statement may take several lines: Enter starts a new one there, never presses OK.
    m_editSQL = SetCtlId(new QPlainTextEdit, 1188);
    m_editSQL->setTabChangesFocus(true);
    m_editSQL->setMaximumHeight(m_editSQL->fontMetrics().lineSpacing() * 4 + 12);
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
    resize(720, 620);

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
    // An edited description holds what it was read with.
    m_readSettings = ReadSettings(*m_pFields);
    ShowDataSource();
}

void CDataSourceDBDlg::ShowDataSource()
{
    m_pPanel->Show(*m_pFields);
    // Read back as a connect reads the panel, so that showing a value changes no key.
    m_strArrivedKey = SourceApprovalKey(*PanelSource());
    // Once the dialog stands where it is shown: the question, or a refusal, comes over it.
    QTimer::singleShot(0, this, &CDataSourceDBDlg::ConnectAndList);
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
    ConnectAndList();
}

void CDataSourceDBDlg::ConnectAndList()
{
    // A provider source that fails stops here, and the lists keep what they held.
    if (!Connect() && m_profile.provider)
        return;
    if (!LoadTables())
        return;
    SelectTable();
    ApplyFieldSelection();
}

std::unique_ptr<CDSBase> CDataSourceDBDlg::PanelSource() const
{
    std::unique_ptr<CDSBase> source = m_pFields->Clone();
    m_pPanel->Save(*source);
    return source;
}

std::unique_ptr<DbConnection> CDataSourceDBDlg::OpenProvider() const
{
    // The connection string is the one the type's loader makes from the same fields,
    // so the dialog reaches exactly what printing will.
    std::unique_ptr<CDSBase> probe = PanelSource();
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(probe->GetType());
    auto* ado = dynamic_cast<CAdoDL*>(loader.get());
    if (!ado)
        return nullptr;
    ado->SetDataSource(probe.get());
    const CAdoDL::Login login = ado->MakeLogin();
    if (m_openProvider)
        return m_openProvider(login.connectionString, login.user, login.password);
    return DbConnection::OpenAdo(login.connectionString, login.user, login.password, probe->m_strName);
}

bool CDataSourceDBDlg::AllowConnection(const CDSBase& source)
{
    // A source made here, or changed from one the user had allowed, is the user's own. A
    // change to one the label brought unallowed leaves the label's own server, login or
    // statement in it: that is asked about, with what the change made of it.
    const bool arrivedAllowed = m_bNew || IsSourceKeyApproved(m_strArrivedKey);
    if (arrivedAllowed && SourceApprovalKey(source) != m_strArrivedKey) {
        ApproveSource(source);
        return true;
    }
    const QString refusal = SourceApprovalRefusal(source);
    return refusal.isEmpty() || ReportFailure(refusal, {});
}

bool CDataSourceDBDlg::ReportFailure(const QString& sentence, const QString& detail)
{
    Services().ShowMessage(this, FailureMessage(sentence, detail), MessageIcon::Stop);
    return false;
}

bool CDataSourceDBDlg::ReportCallFailure(const QString& sentence, const DbConnection& connection)
{
    // A cancelled step, or one past its limit, says so itself; nothing is to be checked.
    if (connection.Stopped()) {
        Services().ShowMessage(this, connection.LastError(), MessageIcon::Stop);
        return false;
    }
    return ReportFailure(sentence, connection.LastError());
}

bool CDataSourceDBDlg::Connect()
{
    // A new attempt always ends the old connection, so a failed one leaves none.
    CloseConnection();
    const DbSourceScope scope(m_pFields->m_strName);
    const ProviderQueries* provider = m_profile.provider;
    if (provider && !m_pPanel->HasRequiredInputs()) {
        if (provider->connectMissing)
            Services().ShowMessage(this, QString::fromUtf16(provider->connectMissing), MessageIcon::Stop);
        return false;
    }
    if (!AllowConnection(*PanelSource()))
        return false;
    std::unique_ptr<DbConnection> connection = provider ? OpenProvider() : m_pPanel->Open();
    if (!connection)
        return false;
    if (!connection->IsOpen()) {
        if (connection->Refused() || connection->Unreadable())
            return ReportFailure(connection->LastError(), {});
        if (connection->Stopped())
            return ReportCallFailure({}, *connection);
        // What failed and what to check, the database's own reason as the detail.
        if (provider)
            return ReportCallFailure(
                QStringLiteral("无法连接数据库，请检查连接信息，以及所需的数据库驱动程序是否已安装。"), *connection);
        if (m_profile.reportsRefusal) {
            const QString file = m_pPanel->FileName();
            ReportFailure(file.isEmpty()
                              ? QStringLiteral("无法连接数据库，请检查服务器地址、端口、数据库名、用户名和密码。")
                              : QStringLiteral("无法连接数据库，请检查文件“%1”是否存在并且是数据库文件。").arg(file),
                          connection->LastError());
        }
        return false;
    }
    m_connection = std::move(connection);
    return true;
}

void CDataSourceDBDlg::CloseConnection()
{
    if (m_connection)
        m_connection->Close();
    m_connection.reset();
}

bool CDataSourceDBDlg::LoadTables()
{
    const QSignalBlocker blockTables(m_listTables);
    m_comboSort->clear();
    m_listFields->clear();
    m_listTables->clear();
    m_nLastTable = -1;
    if (!IsConnected())
        return true;
    const ProviderQueries* provider = m_profile.provider;
    QStringList tables;
    if (provider && provider->tableQuery) {
        DbRows rows;
        if (!m_connection->Query(QString::fromUtf16(provider->tableQuery), rows))
            return ReportCallFailure(kListTablesFailed, *m_connection);
        for (int r = 0; r < rows.RowCount(); ++r) {
            QStringList parts;
            for (int c = 0; c < rows.ColumnCount(); ++c)
                parts.append(rows.Value(r, c).trimmed());
            tables.append(parts.join(u'.'));
        }
    } else if (!m_connection->ListTables(tables)) {
        return provider || m_connection->Stopped() ? ReportCallFailure(kListTablesFailed, *m_connection) : true;
    }
    if (provider && provider->sheetsOnly) {
        // A sheet is listed as "name$"; anything else (a named range) is no sheet.
        QStringList sheets;
        for (const QString& table : std::as_const(tables)) {
            if (table.endsWith(u'$'))
                sheets.append(table.chopped(1));
        }
        tables = sheets;
    }
    m_listTables->addItems(tables);
    return true;
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
        // A server that keeps the case of names may list "People" beside people: the
        // table of the very name first, then one that differs only in case.
        for (const Qt::MatchFlags match : {Qt::MatchFixedString | Qt::MatchCaseSensitive,
                                           Qt::MatchFlags(Qt::MatchFixedString)}) {
            const QList<QListWidgetItem*> found = m_listTables->findItems(m_pFields->m_strTable, match);
            if (!found.isEmpty()) {
                SelectTableRow(m_listTables->row(found.first()));
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
    if (!IsConnected())
        return;
    if (m_profile.provider) {
        DbRows probe;
        if (!m_connection->Query(CSqlStatements(m_profile.type, m_connection.get()).FieldProbe(table), probe, 0, 0)) {
            ReportCallFailure(
                QStringLiteral("无法读取表“%1”的字段，请检查表名和数据库用户的权限。").arg(table), *m_connection);
            return;
        }
        fields = probe.Columns();
    } else if (!m_connection->ListFields(table, fields)) {
        if (m_connection->Stopped())
            ReportCallFailure({}, *m_connection);
        return;
    }
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
    m_editSQL->setPlainText(sql ? m_pFields->m_strSQL : QString());
    m_editFrom->setEnabled(fromTo);
    m_editTo->setEnabled(fromTo);
    m_editSQL->setEnabled(sql);
}

void CDataSourceDBDlg::SaveControls()
{
    SaveControlsTo(*m_pFields);
}

void CDataSourceDBDlg::SaveControlsTo(CDSBase& ds) const
{
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
        ds.m_strSQL = m_editSQL->toPlainText();
    }
}

void CDataSourceDBDlg::OnReadData()
{
    SaveControls();
    if (!IsConnected()) {
        Services().ShowMessage(this, QStringLiteral("未连接数据库"), MessageIcon::Stop);
        return;
    }
    if (!AllowConnection(*m_pFields))
        return;
    PreviewRows();
}

bool CDataSourceDBDlg::ProviderPreview(DbRows& rows)
{
    // Judged as the open connection's server reads it.
    const CSqlStatements statements(m_profile.type, m_connection.get());
    QString refusal = statements.Refusal(*m_pFields);
    if (refusal.isEmpty())
        refusal = ConnectedStatementRefusal(*m_pFields, *m_connection);
    if (!refusal.isEmpty()) {
        Services().ShowMessage(this, refusal, MessageIcon::Stop);
        return false;
    }
    const QString sql = statements.Rows(*m_pFields);
    if (m_connection->Query(sql, rows, 0, m_profile.provider->shownRows))
        return true;
    ReportCallFailure(QStringLiteral("无法读入数据，请检查表名、字段名和SQL语句。"), *m_connection);
    return false;
}

bool CDataSourceDBDlg::PreviewRows()
{
    LoaderRow rows;
    bool read = false;
    int shownRows = kPreviewRows;
    try {
        if (m_profile.provider) {
            read = ProviderPreview(rows);
            shownRows = m_profile.provider->shownRows;
        } else {
            // The preview reads through the loader that prints, on a copy that starts
            // at the first row: what it shows is what a label gets.
            std::unique_ptr<CDSBase> probe = m_pFields->Clone();
            if (probe->m_nRangeMode == RangeFromTo) {
                probe->m_nRangeMode = RangeAll;
                ApproveCopy(*probe, *m_pFields);
            }
            std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(probe->GetType());
            loader->SetDataSource(probe.get());
            read = loader->LoadRows(1, kPreviewRows, rows);
            // An empty preview alone would not tell a mistyped statement from an empty table.
            if (!read && !loader->ErrorShown())
                Services().ShowMessage(this, loader->GetLastError(), MessageIcon::Stop);
        }
    } catch (const std::exception& e) {
        Services().ReportException(this, e);
        return false;
    }

    CDSBase& ds = *m_pFields;
    if (ds.m_nRangeMode == RangeSQL)
        ds.m_selectedFields = read ? rows.Columns() : QStringList();
    ds.m_sampleValues.clear();
    QList<QStringList> shown;
    for (int r = 0; read && r < rows.RowCount() && r < shownRows; ++r) {
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
    if (read) {
        m_readSettings = ReadSettings(ds);
        m_bRead = true;
    }
    return read;
}

bool CDataSourceDBDlg::OnOK()
{
    // What the dialog shows must be what was read: a statement, table or field changed
    // since (or never read at all) would otherwise be dropped for the older settings.
    std::unique_ptr<CDSBase> shown = m_pFields->Clone();
    SaveControlsTo(*shown);
    if (m_readSettings.isEmpty() || ReadSettings(*shown) != m_readSettings) {
        Services().ShowMessage(this,
                               m_bRead ? QStringLiteral("设置在上次读入数据后有改动，请再次读入数据")
                                       : QStringLiteral("请读入数据以生成字段信息"),
                               MessageIcon::Warning);
        return false;
    }
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

// The port may be cleared: "localhost" without one reaches the local server through its socket.
CDataSourceMySQLDlg::CDataSourceMySQLDlg(QWidget* parent)
    : CDataSourceDBDlg(kMySQLProfile, std::make_unique<CMySQLDS>(),
                       new ServerPanel(QStringLiteral("连接 MySQL 数据库"), &DbConnection::OpenMySQL, false), parent)
{
}

CDataSourceExcelDlg::CDataSourceExcelDlg(QWidget* parent)
    : CDataSourceDBDlg(kExcelProfile, std::make_unique<CExcelDS>(), new ExcelPanel, parent)
{
}

CDataSourceAccessDlg::CDataSourceAccessDlg(QWidget* parent)
    : CDataSourceDBDlg(kAccessProfile, std::make_unique<CAccessDS>(), new AccessPanel, parent)
{
}

CDataSourceSQLServerDlg::CDataSourceSQLServerDlg(QWidget* parent)
    : CDataSourceDBDlg(kSQLServerProfile, std::make_unique<CSQLServerDS>(),
                       new ServerNamePanel(QStringLiteral("连接 SQL Server 数据库")), parent)
{
}

CDataSourceSybaseDlg::CDataSourceSybaseDlg(QWidget* parent)
    : CDataSourceDBDlg(kSybaseProfile, std::make_unique<CSybaseDS>(),
                       new ServerNamePanel(QStringLiteral("连接 Sybase 数据库")), parent)
{
}

CDataSourceDB2Dlg::CDataSourceDB2Dlg(QWidget* parent)
    : CDataSourceDBDlg(kDB2Profile, std::make_unique<CDB2DS>(), MakeDB2Panel(), parent)
{
}

CDataSourceOracleDlg::CDataSourceOracleDlg(QWidget* parent)
    : CDataSourceDBDlg(kOracleProfile, std::make_unique<COracleDS>(), new OraclePanel, parent)
{
}

CDataSourceCustomDlg::CDataSourceCustomDlg(QWidget* parent)
    : CDataSourceDBDlg(kCustomProfile, std::make_unique<CCustomDS>(), new CustomPanel, parent)
{
}
