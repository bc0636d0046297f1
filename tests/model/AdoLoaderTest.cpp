// The loaders whose sources are named by provider connection strings: workbooks
// written here, an SQLite file and the throwaway PostgreSQL server through their
// ODBC drivers, and servers that cannot be reached.
#include "ClosedPort.h"
#include "CountingConnection.h"
#include "DbTestEnv.h"
#include "MarkerLibrary.h"
#include "SQLiteFile.h"
#include "WorkbookFixtures.h"
#include "model/AdoLoaders.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/VXException.h"
#include "platform/db/Ado.h"

#include "TestSupport.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

class RecordingNotifier : public CLoaderNotifier
{
public:
    RecordingNotifier() { CDLBase::SetNotifier(this); }
    ~RecordingNotifier() override { CDLBase::SetNotifier(nullptr); }
    void ShowError(const QString& text) override { shown.append(text); }
    QStringList shown;
};

class ExcelLoader : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        ds.m_strPath = dir.filePath(QStringLiteral("book.") + GetParam());
        if (QString(GetParam()) == "xlsx") {
            ASSERT_TRUE(WriteTestXlsx(ds.m_strPath));
        } else {
            QString error;
            ASSERT_TRUE(WriteTestXls(ds.m_strPath, error)) << error.toStdString();
        }
        ds.m_bHeaderRow = true;
        ds.m_strTable = "People";
        ds.m_selectedFields = QStringList {"Id", "Note", "Price"};
        ds.m_strSortField = "Id";
        loader = CDLBase::CreateLoader(DSExcel);
        loader->SetDataSource(&ds);
    }

    QTemporaryDir dir;
    CExcelDS ds;
    std::unique_ptr<CDLBase> loader;
};

// A custom source over one table of the SQLite file at path, through the SQLite ODBC
// driver, sorted by Id.
void SetSQLiteSource(CCustomDS& ds, const QString& path, const QString& table, const QStringList& fields)
{
    ds.m_strConnectionString = EncryptString("Driver=SQLite3;Database=" + path + ";");
    ds.m_strTable = table;
    ds.m_selectedFields = fields;
    ds.m_strSortField = "Id";
}

// A counting connection that tells its server and has it resolve statements, as the connection
// it wraps does: the statements are then written and judged for that server.
class ServerCountingConnection final : public CountingConnection
{
public:
    using CountingConnection::CountingConnection;
    SqlServerKind ServerKind() const override { return m_inner->ServerKind(); }
    bool QueryResolving(const QString& statement, const QString& guard, const QStringList& steps,
        const QString& question, DbRows& rows) override
    {
        const bool ok = m_inner->QueryResolving(statement, guard, steps, question, rows);
        m_strLastError = m_inner->LastError();
        return ok;
    }
};

// A loader whose connection counts the statements and cursors run on it.
class CountingCustomDL : public CCustomDL
{
public:
    bool Open() override
    {
        if (!CCustomDL::Open())
            return false;
        auto counted = std::make_unique<ServerCountingConnection>(std::move(m_connection));
        connection = counted.get();
        m_connection = std::move(counted);
        return true;
    }

    CountingConnection* connection = nullptr;
};

} // namespace

TEST_P(ExcelLoader, PagesRangesAndSqlModeOverASheet)
{
    EXPECT_EQ(loader->GetRecordCount(), 30) << loader->GetLastError().toStdString();
    EXPECT_TRUE(loader->IsOpen());
    LoaderRow rows;
    ASSERT_TRUE(loader->LoadPage(2, 10, rows)) << loader->GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 10);
    EXPECT_EQ(rows.Row(0), (QStringList {"11", "note 11", "11.5"}));
    EXPECT_TRUE(rows.IsNull(9, 1)); // Id 20 has no note; its price stays in place
    EXPECT_EQ(rows.Row(9), (QStringList {"20", "", "20.5"}));

    ds.m_nRangeMode = RangeFromTo;
    ds.m_nFrom = 25;
    ds.m_nTo = 40;
    EXPECT_EQ(loader->GetRecordCount(), 16);
    ASSERT_TRUE(loader->LoadRows(1, 10, rows));
    ASSERT_EQ(rows.RowCount(), 6); // the sheet ends at 30
    EXPECT_EQ(rows.Value(0, 0), "25");

    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select Name, Id, City from [People$] where Id > 27";
    ds.m_selectedFields = QStringList {"Name", "Id"};
    EXPECT_EQ(loader->GetRecordCount(), 3);
    ASSERT_TRUE(loader->LoadRows(2, 5, rows));
    ASSERT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(rows.Row(0), (QStringList {"name29", "29"}));
    // The workbook's own "top" form: counted, paged and read alike.
    ds.m_strSQL = "SELECT TOP 2 Name, Id from [People$] where Id > 25 order by Id desc;";
    EXPECT_EQ(loader->GetRecordCount(), 2) << loader->GetLastError().toStdString();
    ASSERT_TRUE(loader->LoadRows(2, 5, rows)) << loader->GetLastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"name29", "29"}));
    ds.m_strSQL = "select nope from [People$]";
    EXPECT_FALSE(loader->LoadRows(1, 5, rows));
    EXPECT_THROW(loader->GetRecordCount(), CDataSourceException);

    ds.m_nRangeMode = RangeAll;
    ds.m_strTable = "My Data";
    ds.m_selectedFields = QStringList {"Qty"};
    ds.m_strSortField = QStringLiteral("默认");
    EXPECT_EQ(loader->GetRecordCount(), 3);
    ASSERT_TRUE(loader->LoadPage(1, 10, rows));
    EXPECT_EQ(rows.Value(2, 0), "30");
    EXPECT_TRUE(loader->Close());
    EXPECT_FALSE(loader->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Formats, ExcelLoader, ::testing::Values("xlsx", "xls"));

TEST(AdoLoaderStrings, EachLoaderNamesItsProvider)
{
    CSQLServerDS server;
    server.m_strServer = EncryptString("db;1");
    server.m_strDatabase = EncryptString("Stock");
    server.m_strUser = EncryptString("sa");
    server.m_strPassword = EncryptString("pw");
    CSQLServerDL sqlServer;
    sqlServer.SetDataSource(&server);
    const auto login = sqlServer.MakeLogin();
    EXPECT_EQ(login.connectionString, "Provider=SQLOLEDB;Server=\"db;1\";Database=Stock;");
    EXPECT_EQ(login.user, "sa");
    EXPECT_EQ(login.password, "pw");

    CSybaseDS sybase;
    sybase.m_strServer = EncryptString("ase");
    sybase.m_strUser = EncryptString("u");
    CSybaseDL sybaseLoader;
    sybaseLoader.SetDataSource(&sybase);
    EXPECT_EQ(sybaseLoader.MakeLogin().connectionString,
        "Provider=Sybase.ASEOLEDBProvider;Server Name=ase;Database=;User ID=u;Password=;");

    CDB2DS db2;
    db2.m_strHost = EncryptString("h");
    db2.m_strDatabase = EncryptString("SAMPLE");
    CDB2DL db2Loader;
    db2Loader.SetDataSource(&db2);
    EXPECT_EQ(
        db2Loader.MakeLogin().connectionString, "Provider=IBMDADB2.DB2COPY1;Server=h:50000;DATABASE=SAMPLE;UID=;PWD=;");

    COracleDS oracle;
    oracle.m_strHost = EncryptString("ora");
    oracle.m_strServiceName = "ORCL";
    oracle.m_strUser = EncryptString("scott");
    COracleDL oracleLoader;
    oracleLoader.SetDataSource(&oracle);
    EXPECT_EQ(oracleLoader.MakeLogin().connectionString,
        "Provider=OraOLEDB.Oracle.1;User ID=scott;Password=;Data Source=\t        (DESCRIPTION =\t          "
        "(ADDRESS = (PROTOCOL = TCP)(HOST = ora)(PORT = 1521))\t          (CONNECT_DATA =\t            "
        "(SERVER = DEDICATED)\t            (SERVICE_NAME = ORCL)\t          )\t        )");
    oracle.m_nNameKind = 1;
    EXPECT_TRUE(oracleLoader.MakeLogin().connectionString.contains("(SID = ORCL)"));

    // A "%1" in a value is text, never a place for the next field.
    db2.m_strHost = EncryptString("h%1x");
    db2.m_strUser = EncryptString("u%2");
    EXPECT_EQ(db2Loader.MakeLogin().connectionString,
        "Provider=IBMDADB2.DB2COPY1;Server=h%1x:50000;DATABASE=SAMPLE;UID=u%2;PWD=;");
    oracle.m_strHost = EncryptString("ora%1");
    EXPECT_TRUE(oracleLoader.MakeLogin().connectionString.contains("(HOST = ora%1)(PORT = 1521)"))
        << oracleLoader.MakeLogin().connectionString.toStdString();

    CAccessDS access;
    access.m_strPath = "/d/a.MDB";
    access.m_strPassword = EncryptString("secret");
    CAccessDL accessLoader;
    accessLoader.SetDataSource(&access);
    EXPECT_EQ(accessLoader.MakeLogin().connectionString,
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.MDB;Persist Security Info=True;");
    EXPECT_EQ(accessLoader.MakeLogin().user, "admin");
    EXPECT_EQ(accessLoader.MakeLogin().password, "secret");
    access.m_strPath = "/d/a.accdb";
    EXPECT_TRUE(accessLoader.MakeLogin().connectionString.startsWith("Provider=Microsoft.ACE.OLEDB.12.0;"));

    CExcelDS excel;
    excel.m_strPath = "/d/b.XLS";
    CExcelDL excelLoader;
    excelLoader.SetDataSource(&excel);
    EXPECT_EQ(excelLoader.MakeLogin().connectionString,
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/b.XLS;Extended Properties=\"Excel 8.0;HDR=No;\";");
    excel.m_strPath = "/d/b.xlsx";
    excel.m_bHeaderRow = true;
    EXPECT_EQ(excelLoader.MakeLogin().connectionString,
        "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/b.xlsx;Extended Properties=\"Excel 12.0;HDR=Yes;\";");
}

// A workbook refused for what it holds leads with the file and what is wrong with it: no
// connection setting or driver is to blame. One that cannot be opened at all keeps what to
// check, with its reason as the detail.
TEST(AdoLoaderFailures, AWorkbookRefusedForWhatItHoldsLeadsWithTheFile)
{
    QTemporaryDir dir;
    const QString damaged = dir.filePath("damaged.xls");
    ASSERT_TRUE(WriteBytes(damaged, XlsDamagedSharedString()));
    const QString notBook = dir.filePath("notes.xls");
    ASSERT_TRUE(WriteBytes(notBook, "Id,Name\r\n1,a\r\n"));
    const QString missing = dir.filePath("gone.xls");
    const struct
    {
        QString path;
        QString shown; // the whole message, or its start when `detail` follows
        QString detail;
    } cases[] = {
        {damaged, QStringLiteral("Excel 工作簿“%1”已损坏。").arg(damaged), {}},
        {notBook, QStringLiteral("“%1”不是 Excel 工作簿。").arg(notBook), {}},
        {missing, QStringLiteral("无法连接Excel数据表，请检查连接信息，以及所需的数据库驱动程序是否已安装。"),
         QStringLiteral("工作簿“%1”不存在或无法读取。").arg(missing)},
    };
    RecordingNotifier notifier;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        CExcelDS ds;
        ds.m_strPath = c.path;
        ds.m_strTable = "S0";
        ds.m_selectedFields = {"A"};
        auto loader = CDLBase::CreateLoader(DSExcel);
        loader->SetDataSource(&ds);
        notifier.shown.clear();
        LoaderRow rows;
        EXPECT_FALSE(loader->LoadPage(1, 10, rows));
        ASSERT_EQ(notifier.shown.size(), 1);
        const QString expected = c.detail.isEmpty() ? c.shown : c.shown + QStringLiteral("\n详细信息：") + c.detail;
        EXPECT_EQ(notifier.shown.front(), expected);
        EXPECT_EQ(loader->GetLastError(), expected);
    }
}

// A sheet whose XML is cut short is said as the file's fault, on the count and on the rows, with
// no names or statement to check; a statement's own fault on the sound sheet still says them.
TEST(AdoLoaderFailures, ASheetCutShortLeadsWithItsWorkbookAndItsName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cut-sheet.xlsx");
    ASSERT_TRUE(WriteXlsxWithCutShortSheet(path));
    const QString damaged = QStringLiteral("工作簿“%1”的工作表“Sheet1”已损坏。").arg(path);
    RecordingNotifier notifier;
    CExcelDS ds;
    ds.m_strPath = path;
    ds.m_strTable = "Sheet1";
    ds.m_selectedFields = {"F1"};
    const auto countFailure = [](CDLBase& loader) {
        try {
            loader.GetRecordCount();
        } catch (const CDataSourceException& e) {
            return e.GetMessage();
        }
        return QStringLiteral("counted");
    };
    auto loader = CDLBase::CreateLoader(DSExcel);
    loader->SetDataSource(&ds);
    EXPECT_EQ(countFailure(*loader), damaged);
    LoaderRow rows;
    EXPECT_FALSE(loader->LoadPage(1, 10, rows));
    EXPECT_EQ(loader->GetLastError(), damaged);

    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select Nope from [Good$]";
    auto statement = CDLBase::CreateLoader(DSExcel);
    statement->SetDataSource(&ds);
    const QString told = countFailure(*statement);
    EXPECT_TRUE(told.startsWith(QStringLiteral("无法统计数据源的记录数，请检查表名、字段名和SQL语句。"))) << told.toStdString();
}

TEST(AdoLoaderFailures, UnreachableSourcesShowTheirMessageAndStayClosed)
{
    RecordingNotifier notifier;
    CSQLServerDS server;
    server.m_strServer = EncryptString(QStringLiteral("127.0.0.1,%1").arg(ClosedLoopbackPort()));
    server.m_strDatabase = EncryptString("x");
    server.m_strTable = "T";
    server.m_selectedFields = QStringList {"A"};
    auto loader = CDLBase::CreateLoader(DSSQLServer);
    loader->SetDataSource(&server);
    LoaderRow rows;
    EXPECT_FALSE(loader->LoadPage(1, 10, rows));
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_FALSE(loader->IsOpen());
    // Shown once, what failed and what to check with the driver's text as the detail;
    // the error the caller sees says it was shown.
    ASSERT_EQ(notifier.shown.size(), 1);
    EXPECT_TRUE(notifier.shown.front().startsWith(
        QStringLiteral("无法连接SQL Server数据库，请检查连接信息，以及所需的数据库驱动程序是否已安装。\n详细信息：")))
        << notifier.shown.front().toStdString();
    EXPECT_EQ(loader->GetLastError(), notifier.shown.front());
    EXPECT_TRUE(loader->ErrorShown());
    bool thrown = false;
    try {
        loader->GetRecordCount();
    } catch (const CDataSourceException& e) {
        thrown = true;
        EXPECT_TRUE(e.Shown());
    }
    EXPECT_TRUE(thrown);

    const QStringList drivers = InstalledOdbcDrivers();
    const auto hasDriver = [&](const char* name) {
        return std::any_of(drivers.begin(), drivers.end(),
            [&](const QString& d) { return d.contains(QLatin1String(name), Qt::CaseInsensitive); });
    };
    struct Case
    {
        int type;
        const char* driver;
        QString message;
    };
    const Case cases[] = {{DSDB2, "DB2", QStringLiteral("无法连接DB2数据库")},
        {DSOracle, "Oracle", QStringLiteral("无法连接Oracle数据库")},
        {DSAccess, nullptr, QStringLiteral("无法连Access接数据库")},
        {DSExcel, nullptr, QStringLiteral("无法连接Excel数据表")},
        // A string refused before any driver is looked for: the refusal alone.
        {DSCustom, nullptr, QStringLiteral("连接字符串指定的驱动程序“No Such Driver”未在 unixODBC 中注册，不允许使用：")}};
    for (const Case& c : cases) {
        if (c.driver && hasDriver(c.driver))
            continue; // a machine with the real driver installed
        auto ds = CDSBase::Create(c.type);
        ds->m_strTable = "T";
        if (auto* custom = dynamic_cast<CCustomDS*>(ds.get()))
            custom->m_strConnectionString = EncryptString("Driver=No Such Driver;");
        auto other = CDLBase::CreateLoader(c.type);
        other->SetDataSource(ds.get());
        notifier.shown.clear();
        EXPECT_FALSE(other->Open()) << c.type;
        ASSERT_EQ(notifier.shown.size(), 1) << c.type;
        const bool refused = c.type == DSCustom;
        EXPECT_TRUE(notifier.shown.front().startsWith(c.message + (refused ? QString() : QStringLiteral("，请检查"))))
            << notifier.shown.front().toStdString();
        EXPECT_EQ(notifier.shown.front().contains(QStringLiteral("\n详细信息：")), !refused);
        EXPECT_FALSE(other->LoadRows(1, 1, rows));
    }
}

TEST(CustomLoader, OdbcStringsReachSQLiteAndPostgreSQL)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("custom.db");
    ASSERT_TRUE(WriteSQLiteFile(path,
        "create table T (Id integer, Name text, Note text);"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 25)"
        " insert into T select i, 'name' || i, case when i % 5 = 0 then null else 'n' end from n;"));

    CCustomDS ds;
    SetSQLiteSource(ds, path, "T", {"Id", "Note", "Name"});
    ds.m_nSortOrder = 1;
    auto loader = CDLBase::CreateLoader(DSCustom);
    loader->SetDataSource(&ds);
    EXPECT_EQ(loader->GetRecordCount(), 25) << loader->GetLastError().toStdString();
    LoaderRow rows;
    ASSERT_TRUE(loader->LoadPage(1, 3, rows)) << loader->GetLastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"25", "", "name25"}));
    EXPECT_TRUE(rows.IsNull(0, 1));
    EXPECT_EQ(rows.Row(1), (QStringList {"24", "n", "name24"}));
    ASSERT_TRUE(loader->LoadPage(9, 3, rows)); // records 25..27: only 25 exists
    EXPECT_EQ(rows.RowCount(), 1);
    EXPECT_EQ(rows.Value(0, 0), "1");
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select Id from T";
    EXPECT_FALSE(loader->LoadRows(1, 5, rows)); // fewer columns than selected fields
    EXPECT_EQ(rows.RowCount(), 0);

    VC_TEST_SERVER(server, "VC_PG");
    CCustomDS pg;
    pg.m_strConnectionString
        = EncryptString(QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;"
                                       "Database=%3;UID=%4;PWD=%5;CommLog=0;Debug=0;")
                            .arg(server.host)
                            .arg(server.port)
                            .arg(server.database, server.user, server.password));
    // Names as the catalogue lists them: the loader quotes them in the driver's quotes.
    pg.m_strTable = "People";
    pg.m_selectedFields = QStringList {"Id", "Note", "City"};
    pg.m_strSortField = "Id";
    CCustomDL pgLoader;
    pgLoader.SetDataSource(&pg);
    EXPECT_EQ(pgLoader.GetRecordCount(), 100) << pgLoader.GetLastError().toStdString();
    ASSERT_TRUE(pgLoader.LoadPage(3, 5, rows)) << pgLoader.GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 5);
    EXPECT_EQ(rows.Row(0), (QStringList {"11", "note 11", "city 😀"}));
    EXPECT_EQ(rows.Row(4), (QStringList {"15", "note 15", QStringLiteral("北京")}));
    ASSERT_TRUE(pgLoader.LoadPage(4, 5, rows));
    EXPECT_EQ(rows.Row(4), (QStringList {"20", "", "city 😀"}));
    EXPECT_TRUE(rows.IsNull(4, 1));
    EXPECT_TRUE(pgLoader.Close());
    EXPECT_FALSE(pgLoader.IsOpen());
}

// A label's statement with a jsonb operator spelt with '?', which psqlODBC takes for a parameter
// marker, is refused in the program's words, naming the source and what to write, by the count
// and by a page, read one by one or walked; written with the operator's function it reads.
TEST(CustomLoader, AQuestionMarkOperatorThroughPsqlOdbcIsRefusedInTheProgramsWords)
{
    VC_TEST_SERVER(server, "VC_PG");
    CCustomDS pg;
    pg.m_strName = QStringLiteral("库存");
    pg.m_strConnectionString = EncryptString(QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;"
                                                            "Database=%3;UID=%4;PWD=%5;CommLog=0;")
                                                 .arg(server.host)
                                                 .arg(server.port)
                                                 .arg(server.database, server.user, server.password));
    pg.m_nRangeMode = RangeSQL;
    pg.m_selectedFields = QStringList {"Id"};
    pg.m_strSQL = "select \"Id\" from \"People\" where jsonb_build_object(\"City\", 1) ? 'Zürich' order by \"Id\"";
    const QString refusal = QStringLiteral("数据源“库存”的SQL语句在引号和注释之外含有问号（?），PostgreSQL 的 ODBC "
                                           "驱动程序把它当作参数标记，语句没有发送。请把 jsonb 的运算符 ?、?| 和 ?& "
                                           "分别改写为函数 jsonb_exists(值, 键)、jsonb_exists_any(值, 键数组) 和 "
                                           "jsonb_exists_all(值, 键数组)。");
    for (bool walk : {false, true}) {
        SCOPED_TRACE(walk);
        CCustomDL loader;
        loader.SetDataSource(&pg);
        loader.SetSequentialLoads(walk);
        try {
            loader.GetRecordCount();
            ADD_FAILURE() << "counted";
        } catch (const CDataSourceException& e) {
            EXPECT_EQ(e.GetMessage(), refusal);
        }
        LoaderRow rows;
        EXPECT_FALSE(loader.LoadPage(1, 3, rows));
        EXPECT_EQ(loader.GetLastError(), refusal);
    }
    pg.m_strSQL
        = "select \"Id\" from \"People\" where jsonb_exists(jsonb_build_object(\"City\", 1), 'Zürich') order by \"Id\"";
    CCustomDL loader;
    loader.SetDataSource(&pg);
    EXPECT_EQ(loader.GetRecordCount(), 34) << loader.GetLastError().toStdString();
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadPage(1, 3, rows)) << loader.GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Value(2, 0), "7");
}

// A print job reads page after page through ODBC as through the other databases: one
// statement walks the rows; a count between pages, or a page before the last one read,
// starts another.
TEST(CustomLoader, SequentialLoadsWalkOneStatement)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("walk.db");
    ASSERT_TRUE(WriteSQLiteFile(path,
        "create table People (Id integer, Name text, Note text);"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100)"
        " insert into People select i, 'name' || i, case when i % 10 = 0 then null else 'note ' || i end from n;"));

    CCustomDS ds;
    SetSQLiteSource(ds, path, "People", {"Id", "Name", "Note"});
    CountingCustomDL loader;
    loader.SetDataSource(&ds);
    loader.SetSequentialLoads(true);
    ASSERT_EQ(loader.GetRecordCount(), 100) << loader.GetLastError().toStdString();
    ASSERT_NE(loader.connection, nullptr);
    LoaderRow rows;
    for (int page = 1; page <= 10; ++page) {
        ASSERT_TRUE(loader.LoadPage(page, 10, rows)) << loader.GetLastError().toStdString();
        ASSERT_EQ(rows.RowCount(), 10) << page;
        EXPECT_EQ(rows.Value(0, 0), QString::number(page * 10 - 9));
        EXPECT_EQ(rows.Value(9, 1), "name" + QString::number(page * 10));
        EXPECT_TRUE(rows.IsNull(9, 2)); // every tenth note is NULL
    }
    ASSERT_TRUE(loader.LoadPage(11, 10, rows));
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(loader.connection->cursors, 1);
    EXPECT_EQ(loader.connection->queries, 1); // the count

    // Back to an earlier page, a count in between, and on again.
    ASSERT_TRUE(loader.LoadPage(3, 10, rows));
    EXPECT_EQ(rows.Value(0, 0), "21");
    EXPECT_EQ(loader.GetRecordCount(), 100);
    ASSERT_TRUE(loader.LoadPage(4, 10, rows)) << loader.GetLastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "31");
    ASSERT_TRUE(loader.LoadPage(6, 10, rows));
    EXPECT_EQ(rows.Value(0, 0), "51");
    EXPECT_EQ(loader.connection->cursors, 3);

    // The pages come from one run of the statement: ten pages of a random order hold
    // every record once.
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select Id, Name, Note from People order by random()";
    QSet<QString> ids;
    for (int page = 1; page <= 10; ++page) {
        ASSERT_TRUE(loader.LoadPage(page, 10, rows)) << loader.GetLastError().toStdString();
        for (int r = 0; r < rows.RowCount(); ++r)
            ids.insert(rows.Value(r, 0));
    }
    EXPECT_EQ(ids.size(), 100);

    // A failing statement says so in the program's words.
    ds.m_strSQL = "select Id, Nope, Note from People";
    EXPECT_FALSE(loader.LoadPage(1, 10, rows));
    EXPECT_TRUE(loader.GetLastError().contains("Nope", Qt::CaseInsensitive)) << loader.GetLastError().toStdString();
    EXPECT_TRUE(loader.GetLastError().startsWith(QStringLiteral("无法从数据源读取记录")));
}

// A print job whose records all lie in its one page reads no more than them: in one statement
// where the statement takes a limit (psqlODBC holds a result read in one go whole, to the table's
// end), else through the walk, whose first block is as far as it reads. Never the table unlimited.
TEST(CustomLoader, AOnePageRangeJobReadsNoMoreThanItsRecords)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("range.db");
    ASSERT_TRUE(WriteSQLiteFile(path,
        "create table People (Id integer, Name text);"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100)"
        " insert into People select i, 'name' || i from n;"));
    const auto job = [](CCustomDS& ds, qint64 from, CountingCustomDL& loader, LoaderRow& rows) {
        ds.m_nRangeMode = RangeFromTo;
        ds.m_nFrom = from;
        ds.m_nTo = from + 9;
        loader.SetDataSource(&ds);
        loader.SetSequentialLoads(true);
        ASSERT_EQ(loader.GetRecordCount(), 10);
        ASSERT_TRUE(loader.LoadPage(1, 10, rows)) << loader.GetLastError().toStdString();
        ASSERT_NE(loader.connection, nullptr);
        ASSERT_EQ(rows.RowCount(), 10);
        EXPECT_EQ(rows.Value(0, 0), QString::number(from));
        EXPECT_EQ(rows.Value(9, 0), QString::number(from + 9));
    };
    {
        // A route whose statement takes no limit here walks, as every other print job does.
        CCustomDS ds;
        SetSQLiteSource(ds, path, "People", {"Id", "Name"});
        CountingCustomDL loader;
        LoaderRow rows;
        ASSERT_NO_FATAL_FAILURE(job(ds, 41, loader, rows));
        EXPECT_EQ(loader.connection->queries, 0);
        EXPECT_EQ(loader.connection->cursors, 1);
    }

    VC_TEST_SERVER(server, "VC_PG");
    CCustomDS pg;
    pg.m_strConnectionString = EncryptString(QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;"
                                                            "Database=%3;UID=%4;PWD=%5;CommLog=0;Debug=0;")
                                                 .arg(server.host)
                                                 .arg(server.port)
                                                 .arg(server.database, server.user, server.password));
    pg.m_strTable = "People";
    pg.m_selectedFields = QStringList {"Id", "Note"};
    pg.m_strSortField = "Id";
    for (const qint64 from : {1, 41}) {
        SCOPED_TRACE(from);
        CountingCustomDL loader;
        LoaderRow rows;
        ASSERT_NO_FATAL_FAILURE(job(pg, from, loader, rows));
        EXPECT_EQ(loader.connection->cursors, 0);
        ASSERT_EQ(loader.connection->sent.size(), 1);
        EXPECT_TRUE(loader.connection->sent[0].endsWith(QStringLiteral(" limit 10 offset %1").arg(from - 1)))
            << loader.connection->sent[0].toStdString();
    }
}

// A label's custom source that names a library by path or a file keyword is refused
// with a message naming the source, and the library is never loaded.
TEST(CustomLoader, AStringNamingALibraryOrAFileIsRefusedWithTheSourcesName)
{
    QTemporaryDir dir;
    MarkerLibrary evil;
    QString error;
    if (!BuildMarkerLibrary(dir.path(), evil, error))
        GTEST_SKIP() << error.toStdString();
    RecordingNotifier notifier;
    for (const QString& text : QStringList {"Driver=" + evil.path + ";Database=x;",
             "Driver=SQLite3;LoadExt=" + evil.path, "Driver=SQLite3;SAVEFILE=" + dir.filePath("saved.dsn")}) {
        CCustomDS ds;
        ds.m_strName = QStringLiteral("库存");
        ds.m_strConnectionString = EncryptString(text);
        ds.m_strTable = "T";
        ds.m_selectedFields = QStringList {"A"};
        CCustomDL loader;
        loader.SetDataSource(&ds);
        LoaderRow rows;
        EXPECT_FALSE(loader.LoadRows(1, 5, rows));
        EXPECT_TRUE(loader.GetLastError().contains(QStringLiteral("数据源“库存”的连接字符串")))
            << loader.GetLastError().toStdString();
        EXPECT_THROW(loader.GetRecordCount(), CDataSourceException);
    }
    EXPECT_FALSE(QFile::exists(evil.marker));
    EXPECT_FALSE(QFile::exists(dir.filePath("saved.dsn")));
}
