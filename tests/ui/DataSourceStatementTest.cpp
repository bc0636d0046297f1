// A label's own statement against the real servers, through the main frame's print
// preview and print: one that tries to end the select it is sent in, add statements,
// write a file or run a command is refused with a message naming the source, and
// nothing changes on the server; ordinary queries and a procedure call still print.
// PostgreSQL is reached natively, through its ODBC driver by a Driver string, and by a
// DSN registered in an odbc.ini of the test's own that keeps the login.
#include "DbTestEnv.h"
#include "FakeDbServer.h"
#include "FakeServices.h"
#include "PgServerObjects.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "app/MainFrame.h"
#include "editor/ChildFrame.h"
#include "model/DSBase.h"
#include "model/DocWriter.h"
#include "output/ui/PreviewFrame.h"
#include "output/ui/PrintDlg.h"
#include "platform/Crypt.h"
#include "platform/db/Ado.h"
#include "platform/db/DbWait.h"
#include "tests/output/OutputSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

enum class StatementRoute { Native, OdbcDriver, OdbcDsn };

class LabelStatementTest : public ShellTest
{
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        frame = std::make_unique<CMainFrame>();
        frame->SetLabelWindowFactory(CChildFrame::Factory());
        frame->resize(1200, 800);
        frame->show();
        // A file the server's account may write, and the test may look for.
        written = QStringLiteral("/tmp/vc-written-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    }
    void TearDown() override
    {
        if (frame)
            frame->CloseAllLabels();
        qunsetenv("ODBCINI");
        QFile::remove(written);
    }

    std::unique_ptr<CDSBase> Source(StatementRoute route, int32_t type, const DbServerSettings& s)
    {
        std::unique_ptr<CDSBase> source;
        if (route == StatementRoute::Native) {
            auto server = CDSBase::Create(type);
            StoreLogin(static_cast<CHostPortDS&>(*server), s);
            source = std::move(server);
        } else {
            QString text;
            if (route == StatementRoute::OdbcDriver) {
                text = QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5")
                           .arg(s.host, QString::number(s.port), s.database, s.user, s.password);
            } else {
                const QString ini = m_dir.filePath(QStringLiteral("odbc.ini"));
                QFile file(ini);
                EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(QStringLiteral("[VcLabels]\nDriver=PostgreSQL Unicode\nServername=%1\nPort=%2\n"
                                          "Database=%3\nUsername=%4\nPassword=%5\n")
                               .arg(s.host, QString::number(s.port), s.database, s.user, s.password)
                               .toUtf8());
                file.close();
                qputenv("ODBCINI", QFile::encodeName(ini));
                text = QStringLiteral("DSN=VcLabels");
            }
            auto custom = std::make_unique<CCustomDS>();
            custom->m_strConnectionString = EncryptString(text);
            source = std::move(custom);
        }
        source->m_strName = QStringLiteral("库存");
        source->m_nRangeMode = RangeSQL;
        return source;
    }

    // Opens a one-cell label whose text prints field of the source, then previews and
    // prints it to a PDF; the messages shown, and the PDF's page texts.
    QStringList PreviewAndPrint(std::unique_ptr<CDSBase> source, const QString& sql, const QStringList& fields,
        const QString& field, QStringList* pages = nullptr)
    {
        auto label = MakeGridLabel(1, 1);
        source->m_strSQL = sql;
        source->m_selectedFields = fields;
        label->m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("库存"), field));
        AddText(*label, QStringLiteral("文本1"), std::move(bands));
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath(QStringLiteral("statement.vmk"));
        writer.m_pLabelData = label.get();
        writer.WriteDocument();
        EXPECT_NE(frame->OpenLabelFile(writer.m_strPath), nullptr);
        QSet<QWidget*> earlier;
        for (QWidget* widget : QApplication::topLevelWidgets())
            earlier.insert(widget);
        const QString pdf = m_dir.filePath(QStringLiteral("out.pdf"));
        QFile::remove(pdf);
        services.messages.clear();
        for (int command : {57609, 57607}) {
            PrintToPdfOnNextDialog(services, m_dir.filePath(QStringLiteral("out")));
            QAction* action = frame->findChild<QAction*>(QStringLiteral("cmd_%1").arg(command));
            frame->Commands().UpdateAction(command);
            EXPECT_TRUE(action && action->isEnabled()) << command;
            if (action)
                action->trigger();
            services.dialogs.clear();
            QList<QPointer<QWidget>> previews;
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (qobject_cast<CPreviewFrame*>(widget) && !earlier.contains(widget))
                    previews.append(widget);
            qDeleteAll(previews);
        }
        if (pages)
            *pages = QFile::exists(pdf) ? PdfPageTexts(pdf) : QStringList();
        EXPECT_TRUE(frame->CloseAllLabels());
        return services.MessageTexts();
    }

    void ExpectRefused(StatementRoute route, int32_t type, const DbServerSettings& s, const QString& sql, const QString& why)
    {
        SCOPED_TRACE(sql.toStdString());
        const QStringList shown = PreviewAndPrint(Source(route, type, s), sql, {"a"}, "a");
        // Once for the preview, once for the print, with what is refused and where.
        EXPECT_EQ(shown.filter(QStringLiteral("数据源“库存”的SQL语句只能是一条读取数据的查询语句，第 ")).filter(why).size(), 2)
            << shown.join(u'\n').toStdString();
    }

    void ExpectPrinted(StatementRoute route, int32_t type, const DbServerSettings& s, const QString& sql,
        const QStringList& fields, const QString& field, const QStringList& values)
    {
        SCOPED_TRACE(sql.toStdString());
        QStringList pages;
        const QStringList shown = PreviewAndPrint(Source(route, type, s), sql, fields, field, &pages);
        EXPECT_TRUE(shown.isEmpty()) << shown.join(u'\n').toStdString();
        for (QString& page : pages)
            page = page.trimmed();
        EXPECT_EQ(pages, values);
    }

    FakeServices services;
    std::unique_ptr<CMainFrame> frame;
    QString written;
};

class PostgreSQLStatement : public LabelStatementTest, public ::testing::WithParamInterface<StatementRoute>
{
};

} // namespace

TEST_P(PostgreSQLStatement, AttacksAreRefusedAndChangeNothingWhileQueriesPrint)
{
    VC_TEST_SERVER(server, "VC_PG");
    const StatementRoute route = GetParam();
    const QString closing = QStringLiteral("右括号多于左括号");
    ExpectRefused(route, DSPostgreSQL, server,
        QStringLiteral("select 'x' as a) t; copy (select 1) to program 'id > %1'; select 1 from (select 1").arg(written),
        closing);
    ExpectRefused(route, DSPostgreSQL, server,
        QStringLiteral("select 'x' as a) t; create table pwned(x int); select 1 from (select 1"), closing);
    ExpectRefused(route, DSPostgreSQL, server,
        QStringLiteral("select case when exists(select 1 from pg_largeobject_metadata where oid=424242) then "
                       "lo_export(424242,'%1')::text else lo_from_bytea(424242, convert_to('x','UTF8'))::text end as a")
            .arg(written),
        QStringLiteral("不能使用“lo_export”"));
    ExpectRefused(route, DSPostgreSQL, server,
        QStringLiteral("select 'a\\') t; create table pwned(x int); --' as a"), closing);
    ExpectRefused(route, DSPostgreSQL, server,
        QStringLiteral("select 'x' as a /* ) */ ) t; create table pwned(x int); select 1 from (select 1"), closing);
    ExpectRefused(route, DSPostgreSQL, server,
        QStringLiteral("select lo_from_bytea(424242, convert_to('x','UTF8'))::text as a, "
                       "set_config('default_transaction_read_only', 'off', false) as b"),
        QStringLiteral("不能使用“lo_from_bytea”"));
    ExpectRefused(route, DSPostgreSQL, server,
        QStringLiteral("select ts_rewrite('a'::tsquery, 'select ''a''::tsquery, ''b''::tsquery from (select "
                       "lo_export(424243, ''%1'')) q')::text as a")
            .arg(written),
        QStringLiteral("不能使用“lo_export”"));

    ExpectPrinted(route, DSPostgreSQL, server,
        QStringLiteral("select \"Name\" as a from \"People\" where \"Id\" <= 2 and \"City\" <> ';)' order by \"Id\";"),
        {"a"}, "a", {"name1", "name2"});
    // Read as PostgreSQL reads it: a comment with no blank after "--", an E'' text.
    if (route == StatementRoute::Native)
        ExpectPrinted(route, DSPostgreSQL, server,
            QStringLiteral("select \"Name\" as a from \"People\" where \"Id\" <= 2 --don't\n"
                           "and \"Name\" <> E'it\\'s' order by \"Id\" desc"),
            {"a"}, "a", {"name2", "name1"});
    ExpectPrinted(route, DSPostgreSQL, server, QStringLiteral("select 'u1' as a union select '北京' order by 1"), {"a"},
        "a", {"u1", QStringLiteral("北京")});
    ExpectPrinted(route, DSPostgreSQL, server,
        QStringLiteral("with n as (select 'w1' as a) -- a comment )\nselect a from n"), {"a"}, "a", {"w1"});

    auto db = DbConnection::OpenPostgreSQL(server);
    DbRows rows;
    ASSERT_TRUE(db->Query("select (select count(*) from pg_class where relname = 'pwned'), "
                          "(select count(*) from pg_largeobject_metadata where oid = 424242)",
        rows))
        << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"0", "0"}));
    EXPECT_FALSE(QFile::exists(written));
}

// An ordinary login's label whose text the server reads as several statements (it closes the
// select it is sent in, commits and writes), or that calls a procedure that commits, makes
// a new transaction one that writes and writes: on every route each is refused with a message,
// and the table takes nothing. A quote that holds a ';' and a call of a
// procedure with INOUT arguments still print.
TEST_P(PostgreSQLStatement, WhatTheServerReadsAsMoreThanAReadWritesNothing)
{
    VC_TEST_SERVER(admin, "VC_PG");
    const ServerObjects objects(admin,
        QStringLiteral("create role vc_label_%1 login password 'label pass';"
                       "create table vc_marks_%1 (t text); grant select, insert on vc_marks_%1 to vc_label_%1;"
                       "create procedure vc_own_tx_%1() language plpgsql as $$ begin commit; "
                       "set transaction read write; insert into vc_marks_%1 values ('procedure'); commit; end $$;"
                       "create procedure vc_inout_%1(inout n int, inout t text) language plpgsql as "
                       "$$ begin n := n + 1; t := t || ';' || n; end $$;"),
        QStringLiteral("drop procedure if exists vc_own_tx_%1(), vc_inout_%1(int, text);"
                       "drop table if exists vc_marks_%1; drop role if exists vc_label_%1;"));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    DbServerSettings login = admin;
    login.user = objects.Named("vc_label_%1");
    login.password = QStringLiteral("label pass");
    const StatementRoute route = GetParam();
    for (const QString& sql :
        {objects.Named("select $٣$'$٣$ as a) t; commit; insert into vc_marks_%1 values "
                       "($٣$written by a label$٣$); commit; select * from (select $٣$'$٣$ as a"),
            objects.Named("call vc_own_tx_%1()")}) {
        SCOPED_TRACE(sql.toStdString());
        const QStringList shown = PreviewAndPrint(Source(route, DSPostgreSQL, login), sql, {"a"}, "a");
        EXPECT_EQ(shown.size(), 2) << shown.join(u'\n').toStdString(); // the preview's and the print's
    }
    ExpectPrinted(route, DSPostgreSQL, login, QStringLiteral("select $q$;'$q$ as a"), {"a"}, "a", {";'"});
    ExpectPrinted(route, DSPostgreSQL, login, objects.Named("call vc_inout_%1(41, 'n')"), {"n", "t"}, "t", {"n;42"});

    auto db = DbConnection::OpenPostgreSQL(admin);
    DbRows rows;
    ASSERT_TRUE(db->Query(objects.Named("select count(*)::text from vc_marks_%1"), rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "0");
}

INSTANTIATE_TEST_SUITE_P(Routes, PostgreSQLStatement,
    ::testing::Values(StatementRoute::Native, StatementRoute::OdbcDriver, StatementRoute::OdbcDsn), [](const auto& info) {
        return std::string(info.param == StatementRoute::Native ? "Native" : info.param == StatementRoute::OdbcDriver ? "Driver" : "Dsn");
    });

TEST_F(LabelStatementTest, MariaDBAttacksAreRefusedWhileQueriesAndACallPrint)
{
    VC_TEST_SERVER(server, "VC_MY");
    const QString closing = QStringLiteral("右括号多于左括号");
    ExpectRefused(StatementRoute::Native, DSMySQL, server,
        QStringLiteral("select 'x' as a) t; create table pwned(x int); select 1 from (select 1"), closing);
    ExpectRefused(StatementRoute::Native, DSMySQL, server,
        QStringLiteral("select Name as a from People into outfile '%1'").arg(written),
        QStringLiteral("不能使用“into outfile”"));
    ExpectRefused(StatementRoute::Native, DSMySQL, server,
        QStringLiteral("select 1 as a /*!) t; create table pwned(x int); select 1 from (select 1 */"),
        QStringLiteral("不能使用“/*!”"));
    ExpectRefused(StatementRoute::Native, DSMySQL, server,
        QStringLiteral("call sys.execute_prepared_stmt('select ''x'' into outfile ''%1''')").arg(written),
        QStringLiteral("不能调用“sys”中的存储过程"));
    ExpectRefused(StatementRoute::Native, DSMySQL, server, QStringLiteral("select 1 as a #\n) t; create table pwned(x int); -- x"),
        closing);

    ExpectPrinted(StatementRoute::Native, DSMySQL, server,
        QStringLiteral("select Name as a from People where Id <= 2 and City <> ';)' order by Id"), {"a"}, "a",
        {"name1", "name2"});
    // Read as MariaDB reads it, in the statement's order.
    ExpectPrinted(StatementRoute::Native, DSMySQL, server,
        QStringLiteral("select Name as a from People where Id <= 3 # it's a comment\norder by Id desc"), {"a"}, "a",
        {"name3", "name2", "name1"});
    ExpectPrinted(StatementRoute::Native, DSMySQL, server, QStringLiteral("select 'u1' as a union select 'u2'"), {"a"}, "a",
        {"u1", "u2"});
    ExpectPrinted(StatementRoute::Native, DSMySQL, server, QStringLiteral("with n as (select 'w1' as a) select a from n"),
        {"a"}, "a", {"w1"});
    ExpectPrinted(StatementRoute::Native, DSMySQL, server, QStringLiteral("call TwoSets()"), {"Id", "Name"}, "Name",
        {"name1", "name2", "name3"});

    auto db = DbConnection::OpenMySQL(server);
    DbRows rows;
    ASSERT_TRUE(db->Query("select count(*) from information_schema.tables where table_name = 'pwned'", rows))
        << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "0");
    EXPECT_FALSE(QFile::exists(written));
}

// SQL Server takes several statements in one batch with no ";" between them, and no
// transaction stops xp_cmdshell: a statement that leaves its select never reaches the
// server, while an ordinary one does (FreeTDS's prelogin arrives) and, the server
// saying nothing, ends at the connect limit.
TEST_F(LabelStatementTest, AnEscapingStatementNeverReachesASqlServer)
{
    if (!InstalledOdbcDrivers().contains(QStringLiteral("FreeTDS")))
        GTEST_SKIP() << "the FreeTDS driver is not registered";
    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.connectMs = limits.statementMs = 1500;
    limits.graceMs = 1000;
    SetDbLimits(limits);
    const struct Restore
    {
        DbLimits limits;
        ~Restore() { SetDbLimits(limits); }
    } restore {saved};
    FakeDbServer server(FakeDbServer::Protocol::Mute);
    const auto source = [&] {
        auto ds = CDSBase::Create(DSSQLServer);
        auto& login = static_cast<CServerDS&>(*ds);
        login.m_strServer = EncryptString(QStringLiteral("127.0.0.1,%1").arg(server.Port()));
        login.m_strDatabase = EncryptString(QStringLiteral("stock"));
        login.m_strUser = EncryptString(QStringLiteral("sa"));
        login.m_strPassword = EncryptString(QStringLiteral("secret"));
        ds->m_strName = QStringLiteral("库存");
        ds->m_nRangeMode = RangeSQL;
        return ds;
    };

    for (const QString& sql : {QStringLiteral("select 'x' as a) t; exec xp_cmdshell 'id'; select 1 from (select 1"),
             QStringLiteral("select 'x' as a) t exec xp_cmdshell 'id' select 1 from (select 1"),
             QStringLiteral("exec master..xp_cmdshell 'id'")}) {
        SCOPED_TRACE(sql.toStdString());
        const QStringList shown = PreviewAndPrint(source(), sql, {"a"}, "a");
        EXPECT_EQ(shown.filter(QStringLiteral("数据源“库存”的SQL语句只能是一条读取数据的查询语句，")).size(), 2)
            << shown.join(u'\n').toStdString();
    }
    EXPECT_EQ(server.Connections(), 0);

    QElapsedTimer clock;
    clock.start();
    const QStringList shown = PreviewAndPrint(source(), QStringLiteral("select name as a from goods"), {"a"}, "a");
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_LT(clock.elapsed(), kHungAfterMs);
    EXPECT_GT(server.Connections(), 0);
    ASSERT_FALSE(server.Received().isEmpty());
    EXPECT_EQ(server.Received().front(), '\x12'); // a TDS prelogin packet
}
