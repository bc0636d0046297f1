// The running program previewing a label whose statement reaches past what a read-only
// transaction holds: a login with file or program rights, routines with their owner's rights
// (called by name or through a view), on the real servers. Each is asked about again once
// connected, naming the rights or the routines, and with 不允许 nothing of it runs.
#include "PgServerObjects.h"
#include "SessionTestSupport.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "model/SourceApproval.h"
#include "output/ui/PreviewFrame.h"
#include "tests/output/OutputSupport.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>

namespace {

class RoutineCautionSessionTest : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        Create(CmdToolText, 10, 10);
    }

    // The label's only source, named 远程 and read by a text through its field a.
    template <class Source> Source& Use(std::unique_ptr<Source> source)
    {
        CLabelData& label = Window().LabelData();
        source->m_strName = QStringLiteral("远程");
        source->m_selectedFields = QStringList {"a"};
        if (source->m_strTable.isEmpty())
            source->m_nRangeMode = RangeSQL;
        Source& used = *source;
        label.m_dataSources.clear();
        label.m_dataSources.push_back(std::move(source));
        if (!m_bound) {
            std::vector<std::unique_ptr<CDataBand>> bands;
            bands.push_back(FieldBand(QStringLiteral("远程"), "a"));
            AddText(label, "T", std::move(bands));
            m_bound = true;
        }
        return used;
    }

    static std::unique_ptr<CHostPortDS> Native(bool postgres, const DbServerSettings& login, const QString& sql)
    {
        std::unique_ptr<CHostPortDS> ds;
        if (postgres)
            ds = std::make_unique<CPostgreSQLDS>();
        else
            ds = std::make_unique<CMySQLDS>();
        StoreLogin(*ds, login);
        ds->m_strSQL = sql;
        return ds;
    }

    static std::unique_ptr<CCustomDS> PsqlOdbc(const DbServerSettings& login, const QString& sql)
    {
        auto ds = std::make_unique<CCustomDS>();
        ds->m_strConnectionString = EncryptString(PsqlOdbcString(login));
        ds->m_strSQL = sql;
        return ds;
    }

    // Previews the label, answering its questions in turn with a real click or key, and keeps
    // the red cautions each showed. True when the preview opened.
    bool Preview(const QList<bool>& answers)
    {
        cautions.clear();
        services.messages.clear();
        for (const bool allow : answers) {
            services.OnNextDialog([this, allow](QDialog& dialog) {
                EXPECT_EQ(dialog.objectName(), QStringLiteral("sourceApproval"));
                QStringList shown;
                for (const QLabel* caution : dialog.findChildren<QLabel*>("sourceApprovalCaution"))
                    shown << caution->text();
                cautions << shown.join(u'\n');
                if (allow)
                    QTest::mouseClick(dialog.findChild<QPushButton*>("allow"), Qt::LeftButton);
                else
                    QTest::keyClick(&dialog, Qt::Key_Escape);
            });
        }
        EXPECT_TRUE(Trigger(CmdFilePrintPreview));
        EXPECT_EQ(cautions.size(), answers.size()) << cautions.join("|").toStdString();
        const bool opened = OpenedPreview() != nullptr;
        if (CPreviewFrame* preview = OpenedPreview()) {
            preview->close();
            QCoreApplication::processEvents();
        }
        return opened;
    }

    // Denied on the question asked once connected: the job says so and nothing of the
    // statement ran.
    void ExpectDeniedOnceConnected(const QStringList& named)
    {
        EXPECT_FALSE(Preview({true, false}));
        ASSERT_EQ(cautions.size(), 2);
        for (const QString& name : named)
            EXPECT_TRUE(cautions[1].contains(name)) << name.toStdString() << " in " << cautions[1].toStdString();
        EXPECT_FALSE(cautions[0].contains(named.last())) << cautions[0].toStdString();
        ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
        EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("您没有允许数据源“远程”")))
            << services.MessageTexts()[0].toStdString();
    }

    QStringList cautions;
    bool m_bound = false;
};

// The objects of a test on the PostgreSQL server: logins with and without rights, a function
// that runs its text, a superuser's SECURITY DEFINER function that writes a file and a view
// that calls it; where files would go.
struct PgAttack
{
    explicit PgAttack(const DbServerSettings& server)
        : objects(server,
              QStringLiteral(
                  "create role vc_rc_plain_%1 login password 'rc pass';"
                  "create role vc_rc_files_%1 login password 'rc pass' in role pg_write_server_files;"
                  "create role vc_rc_mid_%1 in role pg_execute_server_program;"
                  "create role vc_rc_prog_%1 login password 'rc pass' in role vc_rc_mid_%1;"
                  "grant select on lower to vc_rc_plain_%1;"
                  "create function vc_rc_run_%1(t text) returns text language plpgsql as $$ begin execute t; return 'ran'; end $$;"
                  "create function vc_rc_dump_%1(p text) returns text language plpgsql security definer as "
                  "$$ begin execute format('copy (select 1) to %L', p); return p; end $$;"
                  "create view vc_rc_view_%1 as select vc_rc_dump_%1('/tmp/vc_rc_%1_view') as a;"
                  "grant select on vc_rc_view_%1 to public;"),
              QStringLiteral("drop view if exists vc_rc_view_%1; drop function if exists vc_rc_run_%1, vc_rc_dump_%1;"
                             "revoke select on lower from vc_rc_plain_%1;"
                             "drop role if exists vc_rc_plain_%1, vc_rc_files_%1, vc_rc_prog_%1, vc_rc_mid_%1"))
        , server(server)
    {
    }
    ~PgAttack()
    {
        for (const QString& file : QDir(QStringLiteral("/tmp")).entryList({objects.Named("vc_rc_%1_*")}))
            QFile::remove(QStringLiteral("/tmp/") + file);
    }
    DbServerSettings Login(const char* role) const
    {
        DbServerSettings login = server;
        login.user = objects.Named(role);
        login.password = QStringLiteral("rc pass");
        return login;
    }
    QString File(const char* name) const { return objects.Named("/tmp/vc_rc_%1_") + QLatin1String(name); }

    ServerObjects objects;
    DbServerSettings server;
};

TEST_F(RoutineCautionSessionTest, ALoginWithFileOrProgramRightsIsAskedAgainNamingThem)
{
    VC_TEST_SERVER(server, "VC_PG");
    const PgAttack attack(server);
    ASSERT_TRUE(attack.objects.Error().isEmpty()) << attack.objects.Error().toStdString();
    const QString run = attack.objects.Named("vc_rc_run_%1");

    // The attack is real: allowed twice, the member of pg_write_server_files writes the file.
    const QString written = attack.File("allowed");
    Use(Native(true, attack.Login("vc_rc_files_%1"),
        QStringLiteral("select %1('copy (select 1) to ''%2''') as a").arg(run, written)));
    EXPECT_TRUE(Preview({true, true})) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(QFile::exists(written));
    ASSERT_EQ(cautions.size(), 2);
    EXPECT_TRUE(cautions[1].contains(QStringLiteral("pg_write_server_files"))) << cautions[1].toStdString();
    EXPECT_FALSE(cautions[1].contains(QStringLiteral("超级用户")));
    // Allowed, it is not asked about again.
    EXPECT_TRUE(Preview({}));

    const QString denied = attack.File("denied");
    Use(Native(true, attack.Login("vc_rc_files_%1"),
        QStringLiteral("select %1('copy (select 1) to ''%2''') as a").arg(run, denied)));
    ExpectDeniedOnceConnected({QStringLiteral("pg_write_server_files"), run});
    // A member of pg_execute_server_program through another role, through psqlODBC.
    Use(PsqlOdbc(attack.Login("vc_rc_prog_%1"),
        QStringLiteral("select %1('copy (select 1) to program ''touch %2''') as a").arg(run, denied)));
    ExpectDeniedOnceConnected({QStringLiteral("pg_execute_server_program"), run});
    EXPECT_FALSE(QFile::exists(denied));
}

TEST_F(RoutineCautionSessionTest, ARoutineTheDatabaseDefinesIsNamedAndRunsOnlyWhenAllowed)
{
    VC_TEST_SERVER(server, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    const PgAttack attack(server);
    ASSERT_TRUE(attack.objects.Error().isEmpty()) << attack.objects.Error().toStdString();
    const DbServerSettings plain = attack.Login("vc_rc_plain_%1");
    const QString dump = attack.objects.Named("vc_rc_dump_%1");
    const QString run = attack.objects.Named("vc_rc_run_%1");
    const QString file = attack.File("dump");

    // An ordinary login calls the superuser's SECURITY DEFINER function, natively and through
    // psqlODBC; a function that runs its text sends rows elsewhere through dblink.
    Use(Native(true, plain, QStringLiteral("select %1('%2') as a").arg(dump, file)));
    ExpectDeniedOnceConnected({dump});
    Use(PsqlOdbc(plain, QStringLiteral("select %1('%2') as a").arg(dump, file)));
    ExpectDeniedOnceConnected({dump});
    Use(PsqlOdbc(plain, QStringLiteral("select %1('select dbl' || 'ink_exec(''host=127.0.0.1'', ''insert'')') as a").arg(run)));
    ExpectDeniedOnceConnected({run});
    // A table that is a view calling it: the query the program makes of it.
    auto table = Native(true, plain, {});
    table->m_strTable = attack.objects.Named("vc_rc_view_%1");
    table->m_nRangeMode = RangeAll;
    Use(std::move(table));
    ExpectDeniedOnceConnected({dump});
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(QFile::exists(attack.File("view")));

    // MariaDB: a DEFINER function that writes with SELECT ... INTO OUTFILE, by name and through
    // a view, into the database's folder on the server.
    DbRows rows;
    ASSERT_TRUE(DbConnection::OpenMySQL(my)->Query("select concat(@@datadir, database(), '/vc_f_dump.txt')", rows));
    const QString outfile = rows.Value(0, 0);
    Use(Native(false, my, QStringLiteral("select f_dump('written by a label') as a")));
    ExpectDeniedOnceConnected({my.database + QStringLiteral(".f_dump")});
    Use(Native(false, my, QStringLiteral("select a from v_dump")));
    ExpectDeniedOnceConnected({my.database + QStringLiteral(".f_dump")});
    EXPECT_FALSE(QFile::exists(outfile));

    // Built-in functions and a table named like one ask once, with no caution, and read.
    for (const QString& sql : {QStringLiteral("select lower(now()::text) || count(*)::text as a"),
             QStringLiteral("select a from lower")}) {
        SCOPED_TRACE(sql.toStdString());
        Use(Native(true, plain, sql));
        EXPECT_TRUE(Preview({true})) << services.MessageTexts().join("|").toStdString();
        ASSERT_EQ(cautions.size(), 1);
        EXPECT_TRUE(cautions[0].isEmpty()) << cautions[0].toStdString();
    }
    Use(Native(false, my, QStringLiteral("select concat(lower('A'), now(), count(*)) as a from People")));
    EXPECT_TRUE(Preview({true})) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(cautions.value(0).isEmpty()) << cautions.value(0).toStdString();

    // A statement the user typed in the data-source dialog is the user's own: not asked again.
    CHostPortDS& typed = Use(Native(true, plain, QStringLiteral("select %1('select 1') as a").arg(run)));
    ApproveSource(typed);
    EXPECT_TRUE(Preview({})) << services.MessageTexts().join("|").toStdString();
}

// What a statement calls is what the server resolves: a refused function written "(x).f" is
// refused before anything connects; one a view hides is refused once the server has resolved the
// statement, before it is sent; a cast's definer function is named in red, and runs only when
// allowed. The login's other session, which each of them would end, lives on.
TEST_F(RoutineCautionSessionTest, WhatTheServerResolvesIsRefusedOrNamedHoweverItIsWritten)
{
    VC_TEST_SERVER(server, "VC_PG");
    const PgAttack attack(server);
    ASSERT_TRUE(attack.objects.Error().isEmpty()) << attack.objects.Error().toStdString();
    const ServerObjects more(server,
        QStringLiteral("create type vc_rc_sqltext_%1 as (t text);"
                       "create function vc_rc_cast_%1(t text) returns vc_rc_sqltext_%1 language plpgsql security definer as "
                       "$$ begin execute t; return row(t); end $$;"
                       "create cast (text as vc_rc_sqltext_%1) with function vc_rc_cast_%1(text);"
                       "create view vc_rc_term_%1 as select pg_terminate_backend(pid)::text as a from pg_stat_activity "
                       "where usename = current_user and pid <> pg_backend_pid();"
                       "grant select on vc_rc_term_%1 to public;"),
        QStringLiteral("drop view if exists vc_rc_term_%1; drop cast if exists (text as vc_rc_sqltext_%1);"
                       "drop function if exists vc_rc_cast_%1; drop type if exists vc_rc_sqltext_%1"));
    ASSERT_TRUE(more.Error().isEmpty()) << more.Error().toStdString();
    const DbServerSettings plain = attack.Login("vc_rc_plain_%1");
    const std::unique_ptr<DbConnection> victim = DbConnection::OpenPostgreSQL(plain);
    ASSERT_TRUE(victim->IsOpen()) << victim->LastError().toStdString();

    // Refused by the program's reading, before anything connects.
    for (const QString& sql :
        {QStringLiteral("select (pid).pg_terminate_backend::text as a from pg_stat_activity "
                        "where usename = current_user and pid <> pg_backend_pid()"),
            QStringLiteral("select (('select 1')::text).ts_stat::text as a")}) {
        SCOPED_TRACE(sql.toStdString());
        Use(Native(true, plain, sql));
        EXPECT_FALSE(Preview({}));
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_TRUE(services.MessageTexts()[0].contains(sql.contains(u"ts_stat") ? u"ts_stat" : u"pg_terminate_backend"))
            << services.MessageTexts()[0].toStdString();
    }
    // Hidden in a view: refused once the server resolved it, natively and through psqlODBC.
    const QString hidden = more.Named("select a from vc_rc_term_%1");
    for (bool odbc : {false, true}) {
        if (odbc)
            Use(PsqlOdbc(plain, hidden));
        else
            Use(Native(true, plain, hidden));
        EXPECT_FALSE(Preview({true}));
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("服务器的函数 pg_terminate_backend")))
            << services.MessageTexts()[0].toStdString();
    }
    DbRows rows;
    EXPECT_TRUE(victim->Query(QStringLiteral("select 1"), rows)) << victim->LastError().toStdString();

    // A cast's SECURITY DEFINER function, named by nothing but the type.
    const QString file = attack.File("cast");
    Use(Native(true, plain,
        more.Named("select ((('copy (select 1) to ''%2''')::text)::vc_rc_sqltext_%1)::text as a").replace("%2", file)));
    ExpectDeniedOnceConnected({more.Named("vc_rc_cast_%1")});
    EXPECT_FALSE(QFile::exists(file));
}

} // namespace

namespace {

// MariaDB: a login reads a view whose text it may read, and through it a view of a schema it
// cannot see, which calls a DEFINER routine that writes a server file. The hidden view is named
// once connected and, denied, nothing is written; a view over a table the login sees asks once.
TEST_F(RoutineCautionSessionTest, AViewBehindAViewTheLoginCannotSeeIsNamed)
{
    VC_TEST_SERVER(my, "VC_MY");
    DbRows rows;
    ASSERT_TRUE(DbConnection::OpenMySQL(my)->Query("select concat(@@datadir, 'vc_hidden/vc_hidden_dump.txt')", rows));
    const QString outfile = rows.Value(0, 0);
    DbServerSettings viewer = my;
    viewer.user = QStringLiteral("vc_viewer");
    viewer.password = QStringLiteral("viewer pass");

    Use(Native(false, viewer, QStringLiteral("select a from v_behind")));
    ExpectDeniedOnceConnected({QStringLiteral("vc_hidden.v_inner")});
    EXPECT_TRUE(cautions[1].contains(QStringLiteral("看不到"))) << cautions[1].toStdString();
    EXPECT_FALSE(QFile::exists(outfile));

    Use(Native(false, viewer, QStringLiteral("select a from v_names")));
    EXPECT_TRUE(Preview({true})) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(cautions.value(0).isEmpty()) << cautions.value(0).toStdString();
}

} // namespace
