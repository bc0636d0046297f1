#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "RecordingApprover.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/SourceApproval.h"
#include "platform/Crypt.h"
#include "platform/VXException.h"
#include "platform/db/Ado.h"
#include "platform/db/DbWait.h"

#include <QSet>
#include <gtest/gtest.h>
#include <algorithm>
#include <odbcinst.h>
#include <unistd.h>

namespace {

// Nobody to ask for the duration: what a run without a window meets.
class NoApprover
{
public:
    NoApprover() : m_outer(InstallSourceApprover(nullptr)) {}
    ~NoApprover() { InstallSourceApprover(m_outer); }

private:
    CSourceApprover* m_outer;
};

std::unique_ptr<CPostgreSQLDS> SourceOn(int port)
{
    auto ds = std::make_unique<CPostgreSQLDS>();
    ds->m_strName = QStringLiteral("别处");
    StoreLogin(*ds, {QStringLiteral("127.0.0.1"), port, QStringLiteral("db"), QStringLiteral("u"), QStringLiteral("p")});
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = QStringLiteral("select 1 as a");
    ds->m_selectedFields = {QStringLiteral("a")};
    return ds;
}

TEST(SourceApproval, WithNobodyToAskAnUnapprovedSourceIsRefusedBeforeItConnects)
{
    const NoApprover none;
    KnockListener listener;
    const std::unique_ptr<CPostgreSQLDS> ds = SourceOn(listener.Port());
    ds->m_strSQL = QStringLiteral("select 2 as a"); // a key no other test approved
    const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSPostgreSQL);
    loader->SetDataSource(ds.get());
    try {
        loader->GetRecordCount();
        ADD_FAILURE() << "counted an unapproved source";
    } catch (const CDataSourceException& e) {
        const QString text = QString::fromStdString(e.what());
        EXPECT_TRUE(text.contains(QStringLiteral("数据源“别处”要用您的登录连接数据库，但还没有得到您的允许")))
            << e.what();
        EXPECT_TRUE(text.contains(QStringLiteral("选择“允许”"))) << e.what();
    }
    DbRows rows;
    EXPECT_FALSE(loader->LoadRows(1, 5, rows));
    EXPECT_FALSE(listener.Knocked(100));

    // Approved through the store the question writes, it connects (and, nothing answering,
    // gives up at a short limit).
    ApproveSource(*ds);
    {
        const ShortConnects limits;
        EXPECT_FALSE(loader->LoadRows(1, 5, rows));
    }
    EXPECT_TRUE(listener.Knocked(0));
}

TEST(SourceApproval, OnlySourcesThatReachAServerAreAsked)
{
    for (int32_t type : {DSPostgreSQL, DSMySQL, DSSQLServer, DSSybase})
        EXPECT_TRUE(SourceNeedsApproval(*CDSBase::Create(type))) << type;
    // With no driver of theirs installed nothing of them connects, so nothing is asked.
    const QStringList drivers = InstalledOdbcDrivers();
    for (int32_t type : {DSOracle, DSDB2}) {
        const bool installed = std::any_of(drivers.begin(), drivers.end(),
            [&](const QString& driver) { return driver.contains(type == DSOracle ? "Oracle" : "DB2"); });
        EXPECT_EQ(SourceNeedsApproval(*CDSBase::Create(type)), installed) << type;
    }
    for (int32_t type : {DSText, DSExcel, DSAccess, DSSQLite})
        EXPECT_FALSE(SourceNeedsApproval(*CDSBase::Create(type))) << type;

    QTemporaryDir dir;
    const QString file = dir.filePath("local.sqlite");
    ASSERT_TRUE(WriteSQLiteFile(file, "create table t(a);"));
    const struct
    {
        QString string;
        bool asked;
    } cases[] = {
        {QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=d;UID=u;PWD=p"), true},
        {QStringLiteral("Driver={MariaDB Unicode};Server=127.0.0.1;Database=d;UID=u"), true},
        {QStringLiteral("DSN=nowhere-registered"), false}, // refused before anything connects
        {QStringLiteral("Driver=SQLite3;Database=") + file, false},
        {QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + dir.filePath("a.xlsx")
                + QStringLiteral(";Extended Properties=\"Excel 12.0;HDR=Yes\""),
            false},
    };
    for (const auto& c : cases) {
        CCustomDS custom;
        custom.m_strConnectionString = EncryptString(c.string);
        EXPECT_EQ(SourceNeedsApproval(custom), c.asked) << c.string.toStdString();
    }
}

TEST(SourceApproval, TheKeyFollowsWhatConnectsAndWhatRunsButNotThePassword)
{
    const std::unique_ptr<CPostgreSQLDS> a = SourceOn(5432);
    const QString key = SourceApprovalKey(*a);
    const auto changed = [&](auto change) {
        std::unique_ptr<CDSBase> b = a->Clone();
        change(static_cast<CPostgreSQLDS&>(*b));
        return SourceApprovalKey(*b) != key;
    };
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strHost = EncryptString(QStringLiteral("10.0.0.1")); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_nPort = 5433; }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strDatabase = EncryptString(QStringLiteral("postgres")); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strUser = EncryptString(QStringLiteral("postgres")); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strSQL += QStringLiteral(" union select 2"); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_nRangeMode = RangeAll; }));
    EXPECT_FALSE(changed([](CPostgreSQLDS& b) { b.m_strPassword = EncryptString(QStringLiteral("x")); }));
    EXPECT_FALSE(changed([](CPostgreSQLDS& b) { b.m_strName = QStringLiteral("改名"); }));
    // Another kind on the same fields is another source.
    CMySQLDS mysql;
    mysql.CopyFrom(*a);
    EXPECT_NE(SourceApprovalKey(mysql), key);
    // A connection string's password is not kept either, in whatever spelling.
    CCustomDS one;
    one.m_strConnectionString = EncryptString(QStringLiteral("Driver={PostgreSQL Unicode};Server=h;PWD=1"));
    CCustomDS two;
    two.m_strConnectionString = EncryptString(QStringLiteral("Driver={PostgreSQL Unicode};Server=h;Password=2"));
    EXPECT_EQ(SourceApprovalKey(one), SourceApprovalKey(two));
}

std::unique_ptr<CCustomDS> CustomSource(const QString& string)
{
    auto ds = std::make_unique<CCustomDS>();
    ds->m_strName = QStringLiteral("别处");
    ds->m_strConnectionString = EncryptString(string);
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = QStringLiteral("select 1 as a");
    return ds;
}

// The question's value in a row whose caption starts with caption.
QString Row(const SourceQuestion& question, const QString& caption)
{
    for (const auto& [shown, value] : question.rows) {
        if (shown.startsWith(caption))
            return value;
    }
    return QStringLiteral("<no row %1>").arg(caption);
}

// Strings that one reader takes apart one way and the route that connects another: each is
// refused by name before anything connects, with nothing asked, and the server the hidden
// part names is never reached.
TEST(SourceApproval, AStringTwoReadingsTakeApartDifferentlyConnectsNowhere)
{
    RecordingApprover approver(true);
    KnockListener listener;
    const QString other = QString::number(listener.Port());
    const QString pg = QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;");
    const struct
    {
        QString string;
        QString why;
    } cases[] = {
        {pg + "Port=5432;Database=d;UID=plain;PWD='pw;Server=127.0.0.1;Port=" + other + ";DBQ=z'",
            QStringLiteral("“PWD”的值以引号开头")},
        {pg + "Port=" + other + ";Database;UID=u;PWD=p", QStringLiteral("“Database”没有“=”")},
        {pg + "Port=5432;Database=d;Port=" + other, QStringLiteral("“Port”出现了不止一次")},
        {"Driver={PostgreSQL Unicode};Server=db.example;Servername=127.0.0.1;Port=" + other,
            QStringLiteral("“Server”和“Servername”指定的是同一项")},
        {"Provider=SQLOLEDB;Data Source=sql.corp.example;Server Name=127.0.0.1," + other
                + ";DB=Inventory;Initial Catalog=master;UID=reader;User ID=sa",
            QStringLiteral("“Data Source”和“Server Name”指定的是同一项")},
        {"Provider=SQLOLEDB;Server=127.0.0.1," + other + ";Database;UID=u", QStringLiteral("“Database”没有“=”")},
        {"Provider=SQLOLEDB;Server=127.0.0.1," + other + ";DB=Inventory;UID=u",
            QStringLiteral("“DB”不是这个提供程序读取的关键字")},
        {"Provider=SQLOLEDB;Server=127.0.0.1,1433;Port=" + other + ";UID=u", QStringLiteral("端口指定了两次")},
        {"Driver={FreeTDS};Port=1433;Server=127.0.0.1," + other, QStringLiteral("端口指定了两次")},
        {"Provider=MSDASQL.1;Extended Properties=\"" + pg + "Port=" + other + ";Database=d\";Initial Catalog=master",
            QStringLiteral("“Initial Catalog”指定的数据库与“Extended Properties”中指定的数据库不同")},
        {"Provider=MSDASQL;Data Source=VcPg;Extended Properties=\"" + pg + "Port=" + other + "\"",
            QStringLiteral("“Data Source”不是这个提供程序读取的关键字")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.string.toStdString());
        const std::unique_ptr<CCustomDS> ds = CustomSource(c.string);
        EXPECT_FALSE(SourceNeedsApproval(*ds));
        const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSCustom);
        loader->SetDataSource(ds.get());
        EXPECT_FALSE(loader->Open());
        EXPECT_TRUE(loader->GetLastError().contains(c.why)) << loader->GetLastError().toStdString();
        EXPECT_TRUE(loader->GetLastError().contains(QStringLiteral("数据源“别处”"))) << loader->GetLastError().toStdString();
    }
    EXPECT_TRUE(approver.asked.isEmpty());
    EXPECT_FALSE(listener.Knocked(100));
}

// The question names what the connection really uses, however the string spells it, and
// allowing it sends the program to that very server.
TEST(SourceApproval, TheQuestionShowsWhatTheConnectionSends)
{
    KnockListener listener;
    const QString port = QString::number(listener.Port());
    const struct
    {
        QString string;
        QStringList shown; // server, port, database, user
    } cases[] = {
        {"Provider=MSDASQL;Extended Properties=\"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port
                + ";Database=inv;UID=reader;PWD=secret\"",
            {"127.0.0.1", port, "inv", "reader"}},
        {"Provider=SQLOLEDB;Data Source=127.0.0.1," + port + ";Initial Catalog=master;User ID=sa;Password=secret",
            {"127.0.0.1", port, "master", "sa"}},
        {"Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + port + ";DB=inv;UID=reader;PWD=secret",
            {"127.0.0.1", port, "inv", "reader"}},
        // FreeTDS reads the port after the server's name.
        {"Driver={FreeTDS};Server=127.0.0.1," + port + ";Database=inv;UID=reader;PWD=secret",
            {"127.0.0.1," + port, port, "inv", "reader"}},
        // As a Data Link dialog writes them, with and without the database inside too.
        {"Provider=MSDASQL.1;Persist Security Info=False;User ID=reader;Extended Properties=\"Driver={PostgreSQL "
         "Unicode};Server=127.0.0.1;Port=" + port + ";PWD=secret\";Initial Catalog=inv",
            {"127.0.0.1", port, "inv", "reader"}},
        {"Provider=MSDASQL.1;Persist Security Info=False;User ID=reader;Extended Properties=\"Driver={PostgreSQL "
         "Unicode};Server=127.0.0.1;Port=" + port + ";Database=inv\";Initial Catalog=inv",
            {"127.0.0.1", port, "inv", "reader"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.string.toStdString());
        const std::unique_ptr<CCustomDS> ds = CustomSource(c.string);
        ASSERT_TRUE(SourceNeedsApproval(*ds));
        const SourceQuestion question = SourceQuestionOf(*ds);
        EXPECT_EQ(Row(question, QStringLiteral("服务器")), c.shown[0]);
        EXPECT_EQ(Row(question, QStringLiteral("端口")), c.shown[1]);
        EXPECT_EQ(Row(question, QStringLiteral("数据库")), c.shown[2]);
        EXPECT_EQ(Row(question, QStringLiteral("用户")), c.shown[3]);
        for (const auto& [caption, value] : question.rows)
            EXPECT_FALSE(value.contains(QStringLiteral("secret"))) << caption.toStdString();
        EXPECT_EQ(question.statement, QStringLiteral("select 1 as a"));
    }

    // Allowed, the connection goes where the question said.
    RecordingApprover approver(true);
    const std::unique_ptr<CCustomDS> ds = CustomSource(cases[0].string);
    const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSCustom);
    loader->SetDataSource(ds.get());
    {
        const ShortConnects limits;
        EXPECT_FALSE(loader->Open());
    }
    ASSERT_EQ(approver.asked.size(), 1);
    EXPECT_EQ(Row(approver.asked[0], QStringLiteral("端口")), port);
    EXPECT_TRUE(listener.Knocked(0));
}

// A data source named alone is shown, and remembered, by what its registration holds: one
// that changes after it was allowed is asked about again.
TEST(SourceApproval, ADataSourceNameIsShownAndKeptByItsRegistration)
{
    const auto ini = [](int port) {
        return QStringLiteral("[VcAsk]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\nDatabase=inv\n"
                              "Username=reader\nPassword=secret\n")
            .arg(port)
            .toUtf8();
    };
    const std::unique_ptr<CCustomDS> ds = CustomSource(QStringLiteral("DSN=VcAsk"));
    const OwnOdbcIni registered(ini(5432));
    ASSERT_TRUE(SourceNeedsApproval(*ds));
    const SourceQuestion question = SourceQuestionOf(*ds);
    EXPECT_EQ(Row(question, QStringLiteral("服务器")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Row(question, QStringLiteral("端口")), QStringLiteral("5432"));
    EXPECT_EQ(Row(question, QStringLiteral("数据库")), QStringLiteral("inv"));
    EXPECT_EQ(Row(question, QStringLiteral("用户")), QStringLiteral("reader"));
    bool fromRegistration = false;
    for (const auto& [caption, value] : question.rows) {
        EXPECT_FALSE(value.contains(QStringLiteral("secret")));
        fromRegistration = fromRegistration || caption.contains(QStringLiteral("VcAsk"));
    }
    EXPECT_TRUE(fromRegistration);
    // Changed as odbcinst changes it.
    SQLWritePrivateProfileString("VcAsk", "Port", "6543", "odbc.ini");
    EXPECT_NE(SourceApprovalKey(*ds), question.key);
}

// A FreeTDS data source may name a server of freetds.conf: the question shows the host and port
// it stands for, and the approval is kept under them, so a server moved to another port is asked
// about again before anything knocks there.
TEST(SourceApproval, AFreeTdsServerOfFreetdsConfIsShownAndKeptByWhereItLeads)
{
    KnockListener first;
    KnockListener moved;
    KnockListener refused;
    const auto conf = [](int port) {
        return QStringLiteral("[global]\n\tport = 1\n[VcAlias]\n\thost = 127.0.0.1\n\tport = %1 ; moved\n")
            .arg(port)
            .toUtf8();
    };
    OwnFreeTdsConf freetds(conf(first.Port()));
    const OwnOdbcIni registered("[VcTds]\nDriver=FreeTDS\nServername=vcalias\nTDS_Version=7.4\n");
    const std::unique_ptr<CCustomDS> ds = CustomSource(QStringLiteral("DSN=VcTds"));
    ds->m_strSQL = QStringLiteral("select 3 as a"); // a key no other test approved
    const SourceQuestion question = SourceQuestionOf(*ds);
    EXPECT_EQ(Row(question, QStringLiteral("服务器")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Row(question, QStringLiteral("端口")), QString::number(first.Port()));
    bool namesTheServer = false;
    for (const auto& [caption, value] : question.rows)
        namesTheServer = namesTheServer || (caption.contains(QStringLiteral("[vcalias]")) && caption.contains(QStringLiteral("freetds.conf")));
    EXPECT_TRUE(namesTheServer);
    // The string's own port stands over the server's.
    EXPECT_EQ(Row(SourceQuestionOf(*CustomSource(QStringLiteral("DSN=VcTds;Port=1444"))), QStringLiteral("端口")),
        QStringLiteral("1444"));

    const ShortConnects limits;
    const auto open = [&] {
        const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSCustom);
        loader->SetDataSource(ds.get());
        loader->Open();
    };
    {
        RecordingApprover allow(true);
        open();
        open();
        EXPECT_EQ(allow.asked.size(), 1);
        EXPECT_TRUE(first.Knocked());
        freetds.Write(conf(moved.Port()));
        open();
        ASSERT_EQ(allow.asked.size(), 2);
        EXPECT_EQ(Row(allow.asked[1], QStringLiteral("端口")), QString::number(moved.Port()));
        EXPECT_TRUE(moved.Knocked());
    }
    {
        RecordingApprover deny(false);
        freetds.Write(conf(refused.Port()));
        open();
        EXPECT_EQ(deny.asked.size(), 1);
        EXPECT_FALSE(refused.Knocked(100));
    }
}

// What is read is part of what is allowed: another table, other fields, another order or
// range is another question, and the question shows the query the program sends.
TEST(SourceApproval, ATablesQueryIsShownAndKept)
{
    std::unique_ptr<CPostgreSQLDS> ds = SourceOn(5432);
    ds->m_nRangeMode = RangeAll;
    ds->m_strTable = QStringLiteral("t");
    ds->m_strSortField = QStringLiteral("a");
    const SourceQuestion question = SourceQuestionOf(*ds);
    EXPECT_TRUE(question.statement.contains(QStringLiteral("\"t\""))) << question.statement.toStdString();
    const auto changed = [&](auto change) {
        std::unique_ptr<CDSBase> b = ds->Clone();
        change(*b);
        return SourceApprovalKey(*b) != question.key;
    };
    EXPECT_TRUE(changed([](CDSBase& b) { b.m_strTable = QStringLiteral("secret_t"); }));
    EXPECT_TRUE(changed([](CDSBase& b) { b.m_strTable = QStringLiteral("pg_authid"); }));
    EXPECT_TRUE(changed([](CDSBase& b) { b.m_selectedFields = {QStringLiteral("rolpassword")}; }));
    EXPECT_TRUE(changed([](CDSBase& b) { b.m_nSortOrder = 1; }));
    EXPECT_TRUE(changed([](CDSBase& b) { b.m_strSortField = QStringLiteral("b"); }));
    EXPECT_TRUE(changed([](CDSBase& b) {
        b.m_nRangeMode = RangeFromTo;
        b.m_nFrom = 5;
    }));
    EXPECT_FALSE(changed([](CDSBase& b) { b.m_strName = QStringLiteral("改名"); }));
}

// What a server tells once connected.
DbStatementFacts Told(bool superuser, const QStringList& rights, const QStringList& routines, bool unknown = false)
{
    DbStatementFacts facts;
    facts.superuser = superuser;
    facts.loginRights = rights;
    facts.routines = routines;
    facts.routinesUnknown = unknown;
    return facts;
}

// Where the server cannot hold a procedure to reading, the question says so before 允许; a
// PostgreSQL server holds it to its read-only transaction.
TEST(SourceApproval, AProcedureCallIsCautionedWhereTheServerCannotHoldIt)
{
    CMySQLDS mysql;
    mysql.CopyFrom(*SourceOn(3306));
    mysql.m_strSQL = QStringLiteral("call vc_run('select 1')");
    ASSERT_EQ(SourceQuestionOf(mysql).cautions.size(), 1);
    EXPECT_TRUE(SourceQuestionOf(mysql).cautions[0].contains(QStringLiteral("存储过程")));
    mysql.m_strSQL = QStringLiteral("select 1 as a");
    EXPECT_TRUE(SourceQuestionOf(mysql).cautions.isEmpty());

    std::unique_ptr<CPostgreSQLDS> pg = SourceOn(5432);
    pg->m_strSQL = QStringLiteral("call p()");
    EXPECT_TRUE(SourceQuestionOf(*pg).cautions.isEmpty());
    // A superuser login is asked about apart, with the reason.
    const SourceQuestion superuser = SourceQuestionOf(*pg, Told(true, {}, {}));
    ASSERT_EQ(superuser.cautions.size(), 1);
    EXPECT_TRUE(superuser.cautions[0].contains(QStringLiteral("超级用户")));
    EXPECT_NE(superuser.key, SourceQuestionOf(*pg).key);
}

// What the server tells once connected is asked about apart, each with its reason: the login's
// file or program rights by name, apart from a superuser's; the routines by name, also for a
// table's query, whose login is not the statement's to use. A connection that tells nothing new
// asks nothing new, also where the route could not tell the server before connecting.
TEST(SourceApproval, WhatTheServerTellsOnceConnectedIsCautionedWithItsReason)
{
    std::unique_ptr<CPostgreSQLDS> pg = SourceOn(5432);
    pg->m_strSQL = QStringLiteral("select vc_run('copy ...') as a");
    const SourceQuestion before = SourceQuestionOf(*pg);
    EXPECT_TRUE(before.cautions.isEmpty());
    EXPECT_EQ(SourceQuestionOf(*pg, DbStatementFacts {}).key, before.key);

    const SourceQuestion rights
        = SourceQuestionOf(*pg, Told(false, {"pg_write_server_files", "pg_execute_server_program"}, {}));
    ASSERT_EQ(rights.cautions.size(), 1);
    for (const QString& part : {QStringLiteral("pg_write_server_files"), QStringLiteral("pg_execute_server_program"),
             QStringLiteral("写入服务器上的文件"), QStringLiteral("在服务器上运行程序")})
        EXPECT_TRUE(rights.cautions[0].contains(part)) << part.toStdString();
    EXPECT_FALSE(rights.cautions[0].contains(QStringLiteral("超级用户")));
    const SourceQuestion superuser = SourceQuestionOf(*pg, Told(true, {"pg_write_server_files"}, {}));
    ASSERT_EQ(superuser.cautions.size(), 1);
    EXPECT_TRUE(superuser.cautions[0].contains(QStringLiteral("超级用户")));

    const DbStatementFacts routines = Told(false, {}, {"public.vc_run", "public.dblink_exec"});
    const SourceQuestion called = SourceQuestionOf(*pg, routines);
    ASSERT_EQ(called.cautions.size(), 1);
    EXPECT_TRUE(called.cautions[0].contains(QStringLiteral("public.vc_run、public.dblink_exec")));
    EXPECT_TRUE(called.cautions[0].contains(QStringLiteral("所有者的权限")));
    DbStatementFacts hidden;
    hidden.unreadViews = {"db.v_dump"};
    const SourceQuestion unread = SourceQuestionOf(*pg, hidden);
    ASSERT_EQ(unread.cautions.size(), 1);
    EXPECT_TRUE(unread.cautions[0].contains(QStringLiteral("视图 db.v_dump"))) << unread.cautions[0].toStdString();
    const QStringList keys {before.key, rights.key, superuser.key, called.key, unread.key};
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());

    pg->m_nRangeMode = RangeAll;
    pg->m_strTable = QStringLiteral("v_calls");
    EXPECT_TRUE(SourceQuestionOf(*pg, Told(true, {"pg_write_server_files"}, {})).cautions.isEmpty());
    EXPECT_EQ(SourceQuestionOf(*pg, routines).cautions.size(), 1);

    // FreeTDS reaches servers the route cannot tell: said before connecting, and not again.
    const std::unique_ptr<CCustomDS> tds
        = CustomSource(QStringLiteral("Driver={FreeTDS};Server=127.0.0.1;Port=1433;Database=d;UID=u;PWD=p"));
    const SourceQuestion unknown = SourceQuestionOf(*tds);
    ASSERT_EQ(unknown.cautions.size(), 1);
    EXPECT_TRUE(unknown.cautions[0].contains(QStringLiteral("不一定能得知"))) << unknown.cautions[0].toStdString();
    EXPECT_EQ(SourceQuestionOf(*tds, Told(false, {}, {}, true)).key, unknown.key);
    EXPECT_EQ(SourceQuestionOf(*tds, Told(false, {}, {"dbo.f"})).cautions.size(), 2);
}

} // namespace
