#include "ClosedPort.h"
#include "DataSourceSupport.h"
#include "DbTestEnv.h"
#include "FakeServices.h"
#include "MarkerLibrary.h"
#include "TestSupport.h"
#include "WorkbookFixtures.h"
#include "app/Ctl.h"
#include "dialogs/datasource/DataSourceDBDlg.h"
#include "model/AdoLoaders.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/Ado.h"

#include <QFile>
#include <QRegularExpression>
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

namespace {

// The rows the type's loader reads for a description: what printing gets.
QList<QStringList> LoaderRows(const CDSBase& ds, int last)
{
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
    loader->SetDataSource(&ds);
    LoaderRow rows;
    EXPECT_TRUE(loader->LoadRows(1, last, rows)) << loader->GetLastError().toStdString();
    QList<QStringList> out;
    for (int r = 0; r < rows.RowCount(); ++r)
        out.append(rows.Row(r));
    return out;
}

// A source that answers every statement with the same scripted result and keeps what
// it was asked.
class ScriptedConnection : public DbConnection
{
public:
    ScriptedConnection(QStringList* log, DbRows result) : m_log(log), m_result(std::move(result)) {}
    bool IsOpen() const override { return true; }
    void Close() override {}
    bool ListTables(QStringList& tables) override
    {
        m_log->append(QStringLiteral("<list tables>"));
        tables = {QStringLiteral("people")};
        return true;
    }
    bool ListFields(const QString&, QStringList&) override { return false; }
    bool Query(const QString& sql, DbRows& rows, qint64, qint64 maxRows) override
    {
        m_log->append(sql);
        // A statement naming the fields id and name gets the columns after the first.
        static const QRegularExpression fields(QStringLiteral("id\\W,\\Wname"));
        const int from = sql.contains(fields) ? 1 : 0;
        rows.Reset(m_result.Columns().mid(from));
        for (int r = 0; r < m_result.RowCount() && (maxRows < 0 || r < maxRows); ++r)
            rows.AppendRow(m_result.Row(r).mid(from));
        return Succeed();
    }

private:
    QStringList* m_log;
    DbRows m_result;
};

struct ProviderCase
{
    int32_t type;
    const char* caption;
    int connectId;
    const char* connectionString;
    const char* tableQuery;
    const char* probe;
    const char* preview;
};

void FillLogin(QDialog& d, int32_t type)
{
    TypeInto(&d, 1079, type == DSSQLServer || type == DSSybase ? "srv;Trusted_Connection=yes" : "db.example");
    if (type == DSOracle) {
        TypeInto(&d, 1083, "1522");
        TypeInto(&d, 1297, "LABELS");
    } else {
        TypeInto(&d, 1081, "labels");
    }
    TypeInto(&d, 1080, "vellum");
    TypeInto(&d, 1183, "p;w");
}

const QString kOracleDescriptor = QStringLiteral(
    "\t        (DESCRIPTION =\t          (ADDRESS = (PROTOCOL = TCP)(HOST = db.example)(PORT = 1522))"
    "\t          (CONNECT_DATA =\t            (SERVER = DEDICATED)\t            (SERVICE_NAME = LABELS)"
    "\t          )\t        )");

class ProviderDialog : public ::testing::TestWithParam<ProviderCase>
{
protected:
    FakeServices services;
};

} // namespace

// Every statement the server dialogs send, and the connection string they connect
// with, which is the one their loader makes (values holding ";" stay one value).
TEST_P(ProviderDialog, SendsItsOwnStatementsOverTheLoadersConnectionString)
{
    const ProviderCase& c = GetParam();
    QStringList log;
    QString connectionString;
    QString user;
    QString password;
    DbRows result;
    result.Reset(QStringList{"TABSCHEMA", "id", "name"});
    for (int i = 1; i <= 12; ++i) {
        result.AppendText(QStringLiteral(" s%1 ").arg(i));
        result.AppendText(QString::number(i));
        if (i == 1)
            result.AppendNull();
        else
            result.AppendText(QStringLiteral("n%1").arg(i));
    }
    auto ds = RunNew(services, c.type, [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8(c.caption));
        auto& dialog = dynamic_cast<CDataSourceDBDlg&>(d);
        dialog.SetProviderOpener([&](const QString& cs, const QString& u, const QString& p) {
            connectionString = cs;
            user = u;
            password = p;
            return std::make_unique<ScriptedConnection>(&log, result);
        });
        ClickCtl(&d, c.connectId); // nothing typed yet
        FillLogin(d, c.type);
        ClickCtl(&d, c.connectId);
        ASSERT_EQ(ListTexts(&d, 1090).size(), 12);
        const QString table = ListTexts(&d, 1090)[0];
        EXPECT_EQ(ListTexts(&d, 1089), (QStringList{"TABSCHEMA", "id", "name"}));
        CheckItem(&d, 1089, "id");
        CheckItem(&d, 1089, "name");
        ChooseItem(&d, 1284, "id");
        ClickCtl(&d, 1187);
        ClickCtl(&d, 1);              // refused before a preview
        ClickCtl(&d, 1192);
        const QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 11); // header, nine rows, "..."
        EXPECT_EQ(rows[1], (QStringList{"1", "1", ""}));
        EXPECT_EQ(rows[10][0], "...");
        ClickCtl(&d, 1189);
        TypeInto(&d, 1188, "select id from people");
        ClickCtl(&d, 1192);
        EXPECT_EQ(log.size(), 4);
        EXPECT_EQ(log[0], QString::fromUtf8(c.tableQuery));
        EXPECT_EQ(table, "s1.1."); // every column of the catalogue's row, joined
        EXPECT_EQ(log[1], QString::fromUtf8(c.probe));
        EXPECT_EQ(log[2], QString::fromUtf8(c.preview));
        // Inside a select, where T-SQL cannot read a second statement after it.
        EXPECT_EQ(log[3], "select * from (select id from people\n) t");
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(services.MessageTexts(), (QStringList{"请指定数据库连接信息", "请读入数据以生成字段信息"}));
    EXPECT_EQ(connectionString, c.type == DSOracle
            ? "Provider=OraOLEDB.Oracle.1;User ID=vellum;Password=\"p;w\";Data Source=" + kOracleDescriptor
            : QString::fromUtf8(c.connectionString));
    EXPECT_EQ(user, "vellum");
    EXPECT_EQ(password, "p;w");
    EXPECT_EQ(ds->m_selectedFields, (QStringList{"TABSCHEMA", "id", "name"}));
    // A NULL keeps its place as an empty text.
    EXPECT_EQ(ds->m_sampleValues, (QStringList{" s1 ", "1", ""}));
    EXPECT_EQ(ds->m_strSortField, "id");
}

INSTANTIATE_TEST_SUITE_P(Servers, ProviderDialog,
    ::testing::Values(
        ProviderCase {DSSQLServer, "数据源_SQL Server", 1082,
            "Provider=SQLOLEDB;Server=\"srv;Trusted_Connection=yes\";Database=labels;",
            "select name from sysobjects where xtype='U'or xtype='V' order by name", "select * from [s1.1.] where 1=0",
            "select [id],[name] from [s1.1.] ORDER BY [id] DESC"},
        ProviderCase {DSSybase, "数据源_Sybase", 1082,
            "Provider=Sybase.ASEOLEDBProvider;Server Name=\"srv;Trusted_Connection=yes\";Database=labels;"
            "User ID=vellum;Password=\"p;w\";",
            "select name from sysobjects where type='U'or type='V' order by name", "select * from [s1.1.] where 1=0",
            "select [id],[name] from [s1.1.] ORDER BY [id] DESC"},
        // The catalogue lists DB2 tables as schema.table: each part is quoted.
        ProviderCase {DSDB2, "数据源_DB2", 1082,
            "Provider=IBMDADB2.DB2COPY1;Server=db.example:50000;DATABASE=labels;UID=vellum;PWD=\"p;w\";",
            "select tabschema,tabname from syscat.tables", "select * from \"s1\".\"1.\" where 1=0",
            "select \"id\",\"name\" from \"s1\".\"1.\" ORDER BY \"id\" DESC"},
        ProviderCase {DSOracle, "数据源_Oracle", 1081, "",
            "select table_name from user_tables order by table_name", "select * from \"s1.1.\" where 1=0",
            "select \"id\",\"name\" from \"s1.1.\" ORDER BY \"id\" DESC"}),
    [](const auto& info) { return std::to_string(info.param.type); });

// A new Oracle dialog starts at the basic descriptor; a stored TNS choice is shown and
// kept, and the name kind is shown as stored.
TEST(OracleDialog, DefaultsAndTheStoredConnectionType)
{
    FakeServices services;
    COracleDS stored;
    stored.m_nConnectionType = 1;
    stored.m_strHost = EncryptString("db.example");
    stored.m_nPort = 1522;
    stored.m_strServiceName = "LABELS";
    stored.m_nNameKind = 1;
    stored.m_strUser = EncryptString("vellum");
    stored.m_strPassword = EncryptString("");
    stored.m_strTable = "PEOPLE";
    auto ds = RunNew(services, DSOracle, [&](QDialog& d) {
        auto* combo = ctl<QComboBox>(&d, 1098);
        EXPECT_FALSE(combo->isEnabled());
        EXPECT_EQ(combo->currentText(), "Basic");
        EXPECT_EQ(ctl<QLineEdit>(&d, 1083)->text(), "1521");
        EXPECT_EQ(ctl<QLineEdit>(&d, 1297)->text(), "ORCL");
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1143)->isChecked());
        EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
        FillLogin(d, DSOracle);
        TypeInto(&d, 1183, "");
        ClickCtl(&d, 1081); // the password is required here
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    // Editing with an empty stored password: the connect refuses before reaching out.
    QStringList log;
    auto edited = RunEdit(services, stored, [&](QDialog& d) {
        EXPECT_EQ(ctl<QComboBox>(&d, 1098)->currentText(), "TNS");
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1144)->isChecked());
        EXPECT_EQ(ctl<QLineEdit>(&d, 1079)->text(), "db.example");
        ClickCtl(&d, 1192);
        auto& dialog = dynamic_cast<CDataSourceDBDlg&>(d);
        DbRows result;
        result.Reset(QStringList{"TABLE_NAME"});
        result.AppendText(u"people");
        dialog.SetProviderOpener([&](const QString&, const QString&, const QString&) {
            return std::make_unique<ScriptedConnection>(&log, result);
        });
        TypeInto(&d, 1183, "pw");
        ClickCtl(&d, 1081);
        EXPECT_EQ(ListTexts(&d, 1090), QStringList{"people"});
        CheckItem(&d, 1089, "TABLE_NAME");
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
    });
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(services.MessageTexts(), (QStringList{"请指定数据库连接信息", "请输入连接信息", "未连接数据库"}));
    EXPECT_EQ(services.messages[1].icon, MessageIcon::Stop);
    const auto& oracle = static_cast<const COracleDS&>(*edited);
    EXPECT_EQ(oracle.m_nConnectionType, 1);
    EXPECT_EQ(oracle.m_nNameKind, 1);
    EXPECT_EQ(oracle.m_nPort, 1522);
    EXPECT_EQ(oracle.m_strServiceName, "LABELS");
    EXPECT_EQ(DecryptString(oracle.m_strPassword), "pw");
}

// Without a scripted source the dialogs reach out for real: no DB2 or Oracle driver
// is installed here, and FreeTDS finds nothing listening on a closed port. Each
// failure is one message carrying the driver's reason; the lists stay empty.
TEST(ProviderFailures, MissingDriversAndAClosedPortReportTheReason)
{
    struct Case
    {
        int32_t type;
        int connectId;
        const char* driver; // a driver that would serve the type
    };
    const QString closed = "127.0.0.1," + QString::number(ClosedLoopbackPort());
    const QString drivers = InstalledOdbcDrivers().join(u',');
    for (const Case& c : {Case {DSSQLServer, 1082, "TDS"}, Case {DSSybase, 1082, "TDS"}, Case {DSDB2, 1082, "DB2"},
             Case {DSOracle, 1081, "Oracle"}}) {
        SCOPED_TRACE(c.type);
        const bool installed = drivers.contains(QLatin1String(c.driver), Qt::CaseInsensitive);
        if ((c.type == DSDB2 || c.type == DSOracle) && installed)
            continue; // it would try a real server
        const bool tds = c.type == DSSQLServer || c.type == DSSybase;
        FakeServices services;
        auto ds = RunNew(services, c.type, [&](QDialog& d) {
            FillLogin(d, c.type);
            if (tds) {
                TypeInto(&d, 1079, closed);
                // A password that would need quoting is refused as it stands, naming its field.
                ClickCtl(&d, c.connectId);
                TypeInto(&d, 1183, "p w'd");
            }
            ClickCtl(&d, c.connectId);
            EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
            ClickCtl(&d, 1192);
            ClickCtl(&d, 2);
        });
        EXPECT_EQ(ds, nullptr);
        if (tds) {
            ASSERT_EQ(services.messages.size(), 3u);
            const auto refusal = services.messages.front();
            EXPECT_TRUE(refusal.text.startsWith(QStringLiteral("“密码”的值含有 {、}、;、=、控制字符或首尾空格，不允许使用")))
                << refusal.text.toStdString();
            EXPECT_FALSE(refusal.text.contains(QStringLiteral("详细信息")));
            services.messages.erase(services.messages.begin());
        }
        ASSERT_EQ(services.messages.size(), 2u);
        const QString reason = services.messages[0].text;
        EXPECT_TRUE(reason.startsWith(
            QStringLiteral("无法连接数据库，请检查连接信息，以及所需的数据库驱动程序是否已安装。\n详细信息：")))
            << "the driver's reason is missing";
        if (!installed) {
            EXPECT_TRUE(reason.contains(QLatin1String(c.driver))) << reason.toStdString();
        }
        EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
        EXPECT_EQ(services.messages[1].text, "未连接数据库");
    }
}

// No Access database can be made on this system, so only the ways it fails are seen.
TEST(AccessDialog, ErrorPaths)
{
    FakeServices services;
    QTemporaryDir dir;
    auto ds = RunNew(services, DSAccess, [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "数据源_Access 数据库");
        EXPECT_EQ(ctl<QLineEdit>(&d, 1183)->echoMode(), QLineEdit::Password);
        ClickCtl(&d, 1081);
        TypeInto(&d, 1170, dir.filePath("missing.accdb"));
        TypeInto(&d, 1183, "secret");
        ClickCtl(&d, 1081);
        EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    ASSERT_EQ(services.messages.size(), 4u);
    EXPECT_EQ(services.messages[0].text, "请指定数据库文件");
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(services.messages[1].text.contains("missing.accdb")) << services.messages[1].text.toStdString();
    EXPECT_EQ(services.messages[2].text, "未连接数据库");
    EXPECT_EQ(services.messages[3].text, "请读入数据以生成字段信息");
}

class ExcelDialog : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        if (GetParam()) {
            path = dir.filePath("book.xlsx");
            ASSERT_TRUE(WriteTestXlsx(path));
        } else {
            path = dir.filePath("book.xls");
            QString error;
            if (!WriteTestXls(path, error))
                GTEST_SKIP() << error.toStdString();
        }
    }

    QTemporaryDir dir;
    QString path;
    FakeServices services;
};

TEST_P(ExcelDialog, HeaderRowSheetsPreviewSqlModeAndThePrintedRows)
{
    services.files.push_back(path);
    auto ds = RunNew(services, DSExcel, [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "数据源_Excel 文件");
        ClickCtl(&d, 1081);
        ClickCtl(&d, 1171);
        ClickCtl(&d, 1004);
        ClickCtl(&d, 1081);
        // Sheets only, blanks included; the named range is no sheet.
        const QStringList sheets = ListTexts(&d, 1090);
        EXPECT_TRUE(sheets.contains("People"));
        EXPECT_TRUE(sheets.contains("My Data"));
        EXPECT_FALSE(sheets.contains("Prices"));
        SelectRow(&d, 1090, "People");
        EXPECT_EQ(ListTexts(&d, 1089), (QStringList{"Id", "Name", "City", "Note", "Price", "Born"}));
        CheckItem(&d, 1089, "Id");
        CheckItem(&d, 1089, "Note");
        ClickCtl(&d, 1192);
        QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 12); // header, ten rows, "..."
        EXPECT_EQ(rows[10][1], "10");
        EXPECT_EQ(rows[10][2], ""); // the empty note keeps its column
        EXPECT_EQ(rows[11][0], "...");
        ChooseItem(&d, 1284, "Id");
        ClickCtl(&d, 1187);
        ClickCtl(&d, 1192);
        rows = ReportRows(&d, 1179);
        EXPECT_EQ(rows[1][1], "30");
        EXPECT_EQ(rows[1][2], "");

        ClickCtl(&d, 1189);
        TypeInto(&d, 1188, "select Qty, Code from [My Data$]");
        ClickCtl(&d, 1192);
        rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 5);
        EXPECT_EQ(rows[0], (QStringList{"序号", "Qty", "Code"}));
        ClickCtl(&d, 1175);
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(services.MessageTexts(), QStringList{"请指定Excel数据文件"});
    const auto& excel = static_cast<const CExcelDS&>(*ds);
    EXPECT_EQ(excel.m_strPath, path);
    EXPECT_TRUE(excel.m_bHeaderRow);
    EXPECT_EQ(excel.m_strTable, "People");
    // Back in table mode the checked fields are the used ones again.
    EXPECT_EQ(excel.m_selectedFields, (QStringList{"Id", "Note"}));
    EXPECT_EQ(excel.m_nRangeMode, RangeAll);
    EXPECT_EQ(excel.m_sampleValues, (QStringList{"30", ""}));
    EXPECT_EQ(LoaderRows(excel, 1).value(0), excel.m_sampleValues);
}

TEST_P(ExcelDialog, WithoutHeaderRowTheColumnsAreNumberedAndEditingReconnects)
{
    CExcelDS stored;
    stored.m_strPath = path;
    stored.m_bHeaderRow = false;
    stored.m_strTable = "my data";
    stored.m_selectedFields = {"F1", "F2"};
    auto ds = RunEdit(services, stored, [&](QDialog& d) {
        EXPECT_FALSE(ctl<QAbstractButton>(&d, 1004)->isChecked());
        EXPECT_EQ(CheckedTexts(&d, 1089), (QStringList{"F1", "F2"}));
        ClickCtl(&d, 1192);
        const QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 6); // the header line is a row of its own
        EXPECT_EQ(rows[1], (QStringList{"1", "Code", "Qty"}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    EXPECT_EQ(ds->m_strTable, "My Data");
    EXPECT_EQ(ds->m_sampleValues, (QStringList{"Code", "Qty"}));
    EXPECT_FALSE(static_cast<const CExcelDS&>(*ds).m_bHeaderRow);
    // What the dialog showed first is what printing reads first.
    EXPECT_EQ(LoaderRows(*ds, 1).value(0), ds->m_sampleValues);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExcelDialog, ::testing::Values(true, false),
    [](const auto& info) { return info.param ? "xlsx" : "xls"; });

// Connecting to a workbook refused for what it holds says so, naming the file, and nothing
// about connection settings or drivers; a file that is not there keeps what to check.
TEST(ExcelDialogFailures, ADamagedWorkbookIsNamedAndCalledDamaged)
{
    QTemporaryDir dir;
    const QString damaged = dir.filePath("damaged.xls");
    ASSERT_TRUE(WriteBytes(damaged, XlsDamagedSharedString()));
    const QString missing = dir.filePath("gone.xls");
    for (const QString& path : {damaged, missing}) {
        SCOPED_TRACE(path.toStdString());
        FakeServices services;
        services.files.push_back(path);
        auto ds = RunNew(services, DSExcel, [&](QDialog& d) {
            ClickCtl(&d, 1171);
            ClickCtl(&d, 1081);
            EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
            ClickCtl(&d, 2);
        });
        EXPECT_EQ(ds, nullptr);
        ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join(" | ").toStdString();
        EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
        if (path == damaged)
            EXPECT_EQ(services.messages[0].text, QStringLiteral("Excel 工作簿“%1”已损坏。").arg(damaged));
        else
            EXPECT_EQ(services.messages[0].text,
                QStringLiteral("无法连接数据库，请检查连接信息，以及所需的数据库驱动程序是否已安装。\n详细信息："
                               "工作簿“%1”不存在或无法读取。").arg(missing));
    }
}

// A connection string as typed, through the SQLite ODBC driver: only its text is
// stored (enciphered), and a driver that does not exist is reported with its reason.
TEST(CustomDialog, SQLiteOdbcEndToEnd)
{
    QTemporaryDir dir;
    const QString file = MakeSQLiteFixture(dir.path());
    const QString text = "Driver=SQLite3;Database=" + file + ";";
    FakeServices services;
    auto ds = RunNew(services, DSCustom, [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "数据源_自定义");
        ClickCtl(&d, 1081);
        TypeInto(&d, 1305, "Driver=NoSuchDriver;");
        ClickCtl(&d, 1081);
        EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
        TypeInto(&d, 1305, text);
        ClickCtl(&d, 1081);
        EXPECT_TRUE(ListTexts(&d, 1090).contains("people"));
        SelectRow(&d, 1090, "people");
        CheckItem(&d, 1089, "id");
        CheckItem(&d, 1089, "note");
        ClickCtl(&d, 1192);
        const QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 11);
        EXPECT_EQ(rows[1], (QStringList{"1", "1", ""}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[0].text, "请输入连接字符串");
    EXPECT_NE(services.messages[1].text, "无法连接数据库");
    const auto& custom = static_cast<const CCustomDS&>(*ds);
    EXPECT_NE(custom.m_strConnectionString, text);
    EXPECT_EQ(DecryptString(custom.m_strConnectionString), text);
    EXPECT_EQ(custom.m_sampleValues, (QStringList{"1", ""}));
    EXPECT_EQ(LoaderRows(custom, 1).value(0), custom.m_sampleValues);

    auto again = RunEdit(services, custom, [&](QDialog& d) {
        EXPECT_EQ(ctl<QPlainTextEdit>(&d, 1305)->toPlainText(), text);
        EXPECT_TRUE(ListTexts(&d, 1090).contains("people"));
        EXPECT_EQ(CheckedTexts(&d, 1089), (QStringList{"id", "note"}));
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(again, nullptr);
}

// A connection string typed into the custom dialog follows the rule a label's does: a
// driver by path or a file keyword is refused with the reason, nothing is loaded or
// written, and a registered driver then connects.
TEST(CustomDialog, ADriverByPathOrAFileKeyIsRefused)
{
    QTemporaryDir dir;
    MarkerLibrary evil;
    QString error;
    if (!BuildMarkerLibrary(dir.path(), evil, error))
        GTEST_SKIP() << error.toStdString();
    const QString file = MakeSQLiteFixture(dir.path());
    const QString saved = dir.filePath("saved.dsn");
    FakeServices services;
    auto ds = RunNew(services, DSCustom, [&](QDialog& d) {
        for (const QString& text : QStringList {"Driver=" + evil.path + ";Database=" + file + ";",
                 "driver = {" + evil.path + "}", "Driver=SQLite3;Database=" + file + ";SAVEFILE=" + saved + ";"}) {
            TypeInto(&d, 1305, text);
            ClickCtl(&d, 1081);
            EXPECT_TRUE(ListTexts(&d, 1090).isEmpty()) << text.toStdString();
        }
        TypeInto(&d, 1305, "Driver={sqlite3};Database=" + file + ";");
        ClickCtl(&d, 1081);
        EXPECT_TRUE(ListTexts(&d, 1090).contains("people"));
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    const QStringList shown = services.MessageTexts();
    ASSERT_EQ(shown.size(), 3) << shown.join('\n').toStdString();
    const QString refused = QStringLiteral("连接字符串");
    EXPECT_EQ(shown[0],
        refused + QStringLiteral("以路径指定驱动程序库，不允许使用：只能使用在 unixODBC 中注册的驱动程序和数据源。"));
    EXPECT_TRUE(shown[1].startsWith(refused + QStringLiteral("中“driver”的值含有"))) << shown[1].toStdString();
    EXPECT_TRUE(shown[2].startsWith(refused + QStringLiteral("含有不接受的关键字“SAVEFILE”")))
        << shown[2].toStdString();
    EXPECT_FALSE(QFile::exists(evil.marker));
    EXPECT_FALSE(QFile::exists(saved));
}

TEST(CustomDialog, PostgreSQLOdbcEndToEnd)
{
    VC_TEST_SERVER(server, "VC_PG");
    const QString text = QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;Uid=%4;Pwd=%5;")
                             .arg(server.host, QString::number(server.port), server.database, server.user,
                                  server.password);
    FakeServices services;
    auto ds = RunNew(services, DSCustom, [&](QDialog& d) {
        TypeInto(&d, 1305, text);
        ClickCtl(&d, 1081);
        ClickCtl(&d, 1189);
        TypeInto(&d, 1188, "select 1 as one, null as nothing, 'x' as third");
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr) << services.MessageTexts().join('\n').toStdString();
    EXPECT_EQ(ds->m_selectedFields, (QStringList{"one", "nothing", "third"}));
    EXPECT_EQ(ds->m_sampleValues, (QStringList{"1", "", "x"}));
}

// Values typed into the login never reach the driver as more than one value: a value
// that would need quoting refuses the connection, naming the field it was typed into.
TEST(ProviderConnectionStrings, TypedValuesCannotInjectKeys)
{
    struct Case
    {
        int32_t type;
        int connectId;
        int edit;
        const char* key; // the key the value would have injected
        const char* driver;
        const char16_t* field;
    };
    for (const Case& c : {Case {DSSQLServer, 1082, 1079, "Driver", "FreeTDS", u"服务器"},
             Case {DSSybase, 1082, 1183, "Driver", "FreeTDS", u"密码"},
             Case {DSDB2, 1082, 1081, "Driver", "IBM DB2", u"数据库"},
             Case {DSOracle, 1081, 1079, "Driver", "Oracle 19", u"数据源"}}) {
        SCOPED_TRACE(c.type);
        QString cs;
        QString user;
        QString password;
        FakeServices services;
        RunNew(services, c.type, [&](QDialog& d) {
            dynamic_cast<CDataSourceDBDlg&>(d).SetProviderOpener(
                [&](const QString& s, const QString& u, const QString& p) {
                    cs = s;
                    user = u;
                    password = p;
                    return std::unique_ptr<DbConnection>();
                });
            FillLogin(d, c.type);
            if (c.type == DSSybase)
                TypeInto(&d, 1079, "srv"); // the password's field is the one tried
            TypeInto(&d, c.edit, "x}; Driver={evil};y{");
            ClickCtl(&d, c.connectId);
            ClickCtl(&d, 2);
        });
        EXPECT_FALSE(AdoConnectionString(cs).Has(c.key)) << cs.toStdString();
        const AdoRoute route = RouteAdo(cs, user, password, {QString::fromLatin1(c.driver)}, QStringLiteral("库存"));
        EXPECT_EQ(route.kind, AdoRoute::Unavailable) << route.odbc.toStdString();
        EXPECT_TRUE(route.refused);
        EXPECT_TRUE(route.error.startsWith(QStringLiteral("数据源“库存”的“%1”的值含有").arg(QString::fromUtf16(c.field))))
            << route.error.toStdString();
    }
}

// A sheet and columns whose names only work quoted (both quote characters, a blank,
// a reserved word): the dialog lists, previews and sorts them with the statements
// printing uses, and printing reads what the preview showed.
TEST(ExcelDialogNames, NamesNeedingQuotesPreviewAndPrint)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("odd.xlsx");
    const char* sheetName = "it's \"odd\" `q`";
    {
        lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
        ASSERT_NE(book, nullptr);
        lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName);
        worksheet_write_string(sheet, 0, 0, "select", nullptr);
        worksheet_write_string(sheet, 0, 1, "two \"words\"", nullptr);
        const char* words[] = {"b", "a", "c"};
        for (int r = 0; r < 3; ++r) {
            worksheet_write_number(sheet, r + 1, 0, (r + 1) % 3 + 1, nullptr);
            worksheet_write_string(sheet, r + 1, 1, words[r], nullptr);
        }
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    }
    FakeServices services;
    services.files.push_back(path);
    auto ds = RunNew(services, DSExcel, [&](QDialog& d) {
        ClickCtl(&d, 1171);
        ClickCtl(&d, 1004); // the first row names the columns
        ClickCtl(&d, 1081);
        ASSERT_EQ(ListTexts(&d, 1090), QStringList{QString::fromUtf8(sheetName)});
        EXPECT_EQ(ListTexts(&d, 1089), (QStringList{"select", "two \"words\""}));
        CheckItem(&d, 1089, "two \"words\"");
        CheckItem(&d, 1089, "select");
        ChooseItem(&d, 1284, "select");
        ClickCtl(&d, 1187);
        ClickCtl(&d, 1192);
        const QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 5) << services.MessageTexts().join(u'\n').toStdString(); // header, three rows, "..."
        EXPECT_EQ(rows[1].mid(1), (QStringList{"3", "a"}));
        EXPECT_EQ(rows[3].mid(1), (QStringList{"1", "c"}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr) << services.MessageTexts().join('\n').toStdString();
    EXPECT_EQ(ds->m_strTable, QString::fromUtf8(sheetName));
    EXPECT_EQ(ds->m_sampleValues, (QStringList{"3", "a"}));
    EXPECT_EQ(LoaderRows(*ds, 3), (QList<QStringList>{{"3", "a"}, {"2", "b"}, {"1", "c"}}));
}
