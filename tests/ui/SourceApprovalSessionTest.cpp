#include "DbTestEnv.h"
#include "ScriptedPgServer.h"
#include "SessionTestSupport.h"
#include "dialogs/datasource/DataSourceDBDlg.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "model/SourceApproval.h"
#include "app/SourceApprovalDlg.h"
#include "ClosedPort.h"
#include "platform/db/DbWait.h"
#include "output/ui/PreviewFrame.h"
#include "tests/output/OutputSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QProcess>
#include <QScreen>
#include <QTcpServer>
#include <QTimer>

namespace {

// The running program opening a label whose PostgreSQL source has not been allowed on this
// machine: the question comes first, and its answer decides whether anything connects.
class SourceApprovalSessionTest : public SessionTest
{
protected:
    // A source named 远程 (or name) on host:port and a text bound to its field a.
    CPostgreSQLDS& AddServerSource(
        const DbServerSettings& server, const QString& statement, const QString& name = QStringLiteral("远程"))
    {
        CLabelData& label = Window().LabelData();
        auto source = std::make_unique<CPostgreSQLDS>();
        source->m_strName = name;
        StoreLogin(*source, server);
        source->m_nRangeMode = RangeSQL;
        source->m_strSQL = statement;
        source->m_selectedFields = QStringList {"a"};
        CPostgreSQLDS& added = *source;
        label.m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(name, "a"));
        AddText(label, "T", std::move(bands));
        return added;
    }

    // Answers the next question with a real key or click on its own buttons, keeping what it showed.
    void AnswerNextQuestion(bool allow)
    {
        services.OnNextDialog([this, allow](QDialog& dialog) {
            ++m_questions;
            EXPECT_EQ(dialog.objectName(), QStringLiteral("sourceApproval"));
            m_shown = dialog.findChild<QLabel*>("sourceApprovalText")->text();
            for (const QLabel* label : dialog.findChildren<QLabel*>())
                m_shown += u'\n' + label->text();
            for (const QPlainTextEdit* value : dialog.findChildren<QPlainTextEdit*>())
                m_shown += u'\n' + value->toPlainText();
            if (allow)
                QTest::mouseClick(dialog.findChild<QPushButton*>("allow"), Qt::LeftButton);
            else
                QTest::keyClick(&dialog, Qt::Key_Escape);
        });
    }

    static void ClosePreview()
    {
        if (CPreviewFrame* preview = OpenedPreview()) {
            preview->close();
            QCoreApplication::processEvents();
        }
    }

    int m_questions = 0;
    QString m_shown;
};

DbServerSettings ListeningSettings(const QTcpServer& listener)
{
    DbServerSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = listener.serverPort();
    settings.database = QStringLiteral("库存");
    settings.user = QStringLiteral("仓管");
    settings.password = QStringLiteral("不可示人的口令");
    return settings;
}

TEST_F(SourceApprovalSessionTest, RefusedOrClosedTheQuestionConnectsToNothingAndTheJobSaysSoOnce)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] { ++connections; });
    CPostgreSQLDS& source = AddServerSource(ListeningSettings(listener), QStringLiteral("select 1 as a"));

    AnswerNextQuestion(false);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    QTest::qWait(200); // a connect, had one been started, would have arrived by now
    EXPECT_EQ(m_questions, 1);
    EXPECT_EQ(connections, 0);
    EXPECT_FALSE(listener.hasPendingConnections());
    EXPECT_EQ(OpenedPreview(), nullptr);
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("您没有允许数据源“远程”连接数据库")))
        << services.MessageTexts()[0].toStdString();
    EXPECT_FALSE(IsSourceApproved(source));

    // The question named the label, the source, where it connects, as whom and what runs:
    // never the password.
    const QString title = Window().LabelData().m_strTitle;
    EXPECT_TRUE(m_shown.contains(QStringLiteral("标签“%1”").arg(title))) << m_shown.toStdString();
    for (const QString& part : {QStringLiteral("远程"), QStringLiteral("127.0.0.1"),
             QString::number(listener.serverPort()), QStringLiteral("库存"), QStringLiteral("仓管"),
             QStringLiteral("select 1 as a")})
        EXPECT_TRUE(m_shown.contains(part)) << part.toStdString();
    EXPECT_FALSE(m_shown.contains(QStringLiteral("不可示人的口令")));

    // Asked again next time: a refusal is not remembered as an answer.
    AnswerNextQuestion(false);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 2);
    EXPECT_EQ(connections, 0);
}

TEST_F(SourceApprovalSessionTest, AllowedIsKeptOnThisMachineAndAChangedSourceAsksAgain)
{
    VC_TEST_SERVER(server, "VC_PG");
    CPostgreSQLDS& source = AddServerSource(server, QStringLiteral("select 'R' || 1 as a"));
    Create(CmdToolText, 10, 10);

    // The test server's login is a superuser, which can undo what holds a statement to
    // reading: once connected, the label's statement is asked about again, saying why.
    AnswerNextQuestion(true);
    AnswerNextQuestion(true);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 2);
    EXPECT_TRUE(m_shown.contains(QStringLiteral("超级用户"))) << m_shown.toStdString();
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
    ASSERT_NE(OpenedPreview(), nullptr);
    ClosePreview();
    EXPECT_TRUE(IsSourceApproved(source));

    // Not asked again, also for a copy of the label with the same source (what a saved and
    // reopened label holds).
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 2);
    ASSERT_NE(OpenedPreview(), nullptr);
    ClosePreview();
    const std::unique_ptr<CDSBase> copy = source.Clone();
    EXPECT_TRUE(IsSourceApproved(*copy));

    // A changed statement, server or user is another source.
    source.m_strSQL = QStringLiteral("select 'R' || 2 as a");
    AnswerNextQuestion(false);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 3);
    EXPECT_EQ(OpenedPreview(), nullptr);
    source.m_strSQL = QStringLiteral("select 'R' || 1 as a");
    EXPECT_TRUE(IsSourceApproved(source));
    source.m_strUser = EncryptString(QStringLiteral("postgres"));
    EXPECT_FALSE(IsSourceApproved(source));
    // The password is not part of what is approved.
    StoreLogin(source, server);
    source.m_strPassword = EncryptString(QStringLiteral("another"));
    EXPECT_TRUE(IsSourceApproved(source));
}

// Asked again once connected, the question says so, that the server parsed the statement and
// what the catalog showed; refused there, the message says the statement was parsed and nothing
// of it ran, rather than that nothing connected.
TEST_F(SourceApprovalSessionTest, TheQuestionAskedOnceConnectedSaysSoAndItsRefusalSaysNothingOfTheStatementRan)
{
    VC_TEST_SERVER(server, "VC_PG");
    AddServerSource(server, QStringLiteral("select 'R' || 1 as a"));
    Create(CmdToolText, 10, 10);
    QString first;
    services.OnNextDialog([&](QDialog& dialog) {
        first = dialog.findChild<QLabel*>("sourceApprovalText")->text();
        QTest::mouseClick(dialog.findChild<QPushButton*>("allow"), Qt::LeftButton);
    });
    AnswerNextQuestion(false);
    if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
        services.dialogs.back() = [answer = services.dialogs.back()](QDialog& dialog) {
            dialog.grab().save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("source-approval-connected.png"));
            answer(dialog);
        };
    }
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    ASSERT_EQ(m_questions, 1); // the second, once connected
    EXPECT_TRUE(first.contains(QStringLiteral("要用您在这台电脑上的登录连接数据库。"))) << first.toStdString();
    EXPECT_TRUE(m_shown.startsWith(QStringLiteral("标签“%1”中的数据源“远程”已经用您在这台电脑上的登录连接了数据库。"
                                                  "程序读取了服务器的目录，服务器解析了下面的语句以得知它调用哪些函数，"
                                                  "但还没有运行它的任何部分")
                                       .arg(Window().LabelData().m_strTitle)))
        << m_shown.toStdString();
    EXPECT_TRUE(m_shown.contains(QStringLiteral("超级用户"))) << m_shown.toStdString();
    EXPECT_EQ(OpenedPreview(), nullptr);
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_EQ(services.MessageTexts()[0],
        QStringLiteral("您没有允许数据源“远程”运行它的语句：程序已连接数据库并读取了服务器的目录，"
                       "服务器解析了这条语句以得知它调用哪些函数，但没有运行它的任何部分，"
                       "没有读取它的记录。"));
}

TEST_F(SourceApprovalSessionTest, TheQuestionTakesARealEscapeThroughTheProgramsOwnServices)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    CPostgreSQLDS& source = AddServerSource(ListeningSettings(listener), QStringLiteral("select 1 as a"));
    // A name a label wrote as markup stays text in the real message box too, and a character
    // that would turn the sentence around shows by its code.
    source.m_strName = QStringLiteral("<b>远程</b><br>") + QChar(0x202E) + QStringLiteral("<font color=green>已审核</font>");
    const std::unique_ptr<UiServices> fake = InstallServices(std::make_unique<DesktopUiServices>());

    // Esc on the question, then Return on the message that follows; each only once shown.
    QStringList seen;
    QString message;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        seen.append(modal->objectName().isEmpty() ? QString::fromLatin1(modal->metaObject()->className())
                                                  : modal->objectName());
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            message = box->text();
            if (qEnvironmentVariableIsSet("VC_SHOT_DIR"))
                box->grab().save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("source-approval-message.png"));
        }
        if (qEnvironmentVariableIsSet("VC_SHOT_DIR") && seen.size() == 1)
            modal->grab().save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("source-approval.png"));
        QTest::keyClick(modal, seen.size() == 1 ? Qt::Key_Escape : Qt::Key_Return);
    });
    poll.start(100);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    poll.stop();
    InstallServices(std::move(const_cast<std::unique_ptr<UiServices>&>(fake)));
    ASSERT_EQ(seen.size(), 2) << seen.join("|").toStdString();
    EXPECT_EQ(seen[0], QStringLiteral("sourceApproval"));
    EXPECT_EQ(seen[1], QStringLiteral("QMessageBox"));
    EXPECT_TRUE(message.contains(QStringLiteral("“<b>远程</b><br>\\u202E<font color=green>已审核</font>”")))
        << message.toStdString();
    EXPECT_FALSE(message.contains(QChar(0x202E)));
    EXPECT_FALSE(listener.hasPendingConnections());
    EXPECT_EQ(OpenedPreview(), nullptr);
}

// A source the user types into the program's own dialog is the user's own: no question,
// and it is allowed from then on.
TEST_F(SourceApprovalSessionTest, ASourceTypedIntoItsDialogIsAllowedByThatAct)
{
    VC_TEST_SERVER(server, "VC_PG");
    CPostgreSQLDS typed;
    typed.m_strName = QStringLiteral("手填");
    StoreLogin(typed, server);
    ASSERT_FALSE(IsSourceApproved(typed));

    class NeverAsked : public CSourceApprover
    {
    public:
        bool Ask(const SourceQuestion&) override
        {
            ADD_FAILURE() << "asked about a source the user typed";
            return false;
        }
    } neverAsked;
    CSourceApprover* outer = InstallSourceApprover(&neverAsked);
    CDataSourcePostgreSQLDlg dialog;
    dialog.m_bNew = true;
    dialog.show();
    QCoreApplication::processEvents();
    RetypeText(ctl<QLineEdit>(&dialog, 1079), server.host);
    RetypeText(ctl<QLineEdit>(&dialog, 1083), QString::number(server.port));
    RetypeText(ctl<QLineEdit>(&dialog, 1081), server.database);
    RetypeText(ctl<QLineEdit>(&dialog, 1080), server.user);
    RetypeText(ctl<QLineEdit>(&dialog, 1183), server.password);
    ClickButton(&dialog, 1082);
    EXPECT_TRUE(dialog.IsConnected()) << services.MessageTexts().join("|").toStdString();
    InstallSourceApprover(outer);
    EXPECT_TRUE(IsSourceApproved(typed));
}

} // namespace

namespace {

// What psql prints for a query on the test server, trimmed.
QString AskTestServer(const DbServerSettings& s, const QString& sql)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    client.start(QStringLiteral("psql"), {"-X", "-At", "-h", s.host, "-p", QString::number(s.port), "-U", s.user,
        "-d", s.database, "-c", sql});
    client.waitForFinished(30000);
    return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
}

// An allowed source still reads only: each of these, tried as an attacker would through the
// program's own preview, is refused with a message and leaves nothing behind.
TEST_F(SourceApprovalSessionTest, AnAllowedSourceStillOnlyReads)
{
    VC_TEST_SERVER(pg, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    const QString pwned = m_dir.filePath(QStringLiteral("PWNED"));
    const QString object = AskTestServer(pg, QStringLiteral("select lo_from_bytea(0, 'x')::text"));
    ASSERT_FALSE(object.isEmpty());
    const QStringList postgres = {
        QStringLiteral("select ts_rewrite('a'::tsquery, 'select ''a''::tsquery, ''b''::tsquery from (select "
                       "lo_export(%1, ''%2'')) q')::text as a")
            .arg(object, pwned),
        QStringLiteral("select pg_create_physical_replication_slot('vc_label_slot', true)::text as a"),
        QStringLiteral("select pg_switch_wal()::text as a"),
        QStringLiteral("select pg_stat_reset()::text as a"),
        QStringLiteral("select pg_logical_emit_message(false, 'p', 'x')::text as a"),
        QStringLiteral("select count(pg_terminate_backend(pid))::text as a from pg_stat_activity where pid <> "
                       "pg_backend_pid()"),
        QStringLiteral("select cast(pg_read_file('/etc/hostname') as int)::text as a"),
        QStringLiteral("select set_config('role', 'none', true) || lo_export(%1, '%2')::text as a").arg(object, pwned),
        QStringLiteral("select query_to_xml('select set_config(''role'',''none'',true)', true, true, '')::text as a"),
    };
    const QStringList mariadb = {
        QStringLiteral("call sys.execute_prepared_stmt('select ''x'' into outfile ''%1''')").arg(pwned),
        QStringLiteral("select extractvalue(1, concat(0x7e, load_file('/etc/hostname'))) as a"),
        QStringLiteral("select 'x' as a into outfile '%1'").arg(pwned),
    };
    Create(CmdToolText, 10, 10);
    for (const bool onPostgres : {true, false}) {
        for (const QString& statement : onPostgres ? postgres : mariadb) {
            SCOPED_TRACE(statement.toStdString());
            CLabelData& label = Window().LabelData();
            std::unique_ptr<CHostPortDS> source;
            if (onPostgres)
                source = std::make_unique<CPostgreSQLDS>();
            else
                source = std::make_unique<CMySQLDS>();
            source->m_strName = QStringLiteral("远程");
            StoreLogin(*source, onPostgres ? pg : my);
            source->m_nRangeMode = RangeSQL;
            source->m_strSQL = statement;
            source->m_selectedFields = QStringList {"a"};
            ApproveSource(*source);
            label.m_dataSources.clear();
            label.m_dataSources.push_back(std::move(source));
            if (label.m_objects.empty()) {
                std::vector<std::unique_ptr<CDataBand>> bands;
                bands.push_back(FieldBand(QStringLiteral("远程"), "a"));
                AddText(label, "T", std::move(bands));
            }
            services.messages.clear();
            ASSERT_TRUE(Trigger(CmdFilePrintPreview));
            EXPECT_EQ(m_questions, 0);
            EXPECT_EQ(OpenedPreview(), nullptr);
            ClosePreview();
            ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
            EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("远程")))
                << services.MessageTexts()[0].toStdString();
            EXPECT_FALSE(QFile::exists(pwned));
        }
    }
    EXPECT_EQ(AskTestServer(pg, QStringLiteral("select count(*) from pg_replication_slots")), QStringLiteral("0"));
    AskTestServer(pg, QStringLiteral("select lo_unlink(%1)").arg(object));
}

} // namespace

namespace {

// A server that answers with one row far past the bound: the preview of an allowed source
// ends with one message naming the source, never as a finished preview of no labels, and
// the program's memory stays near the bound.
TEST_F(SourceApprovalSessionTest, AHugeRowEndsThePreviewWithAMessageAndBoundedMemory)
{
    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.sliceBytes = qint64(8) << 20;
    limits.valueBytes = qint64(8) << 20;
    SetDbLimits(limits);
    ScriptedPgServer::Script script;
    script.rows = 1;
    script.valueBytes = qint64(400) << 20;
    ScriptedPgServer server(script, false);
    CPostgreSQLDS& source = AddServerSource(server.Settings(), QStringLiteral("select big as a from t"));
    ApproveSource(source);
    Create(CmdToolText, 10, 10);

    const qint64 before = ProcessMemory("VmRSS:");
    ResetMemoryPeak();
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    const qint64 growth = ProcessMemory("VmHWM:") - before;
    SetDbLimits(saved);
    EXPECT_EQ(OpenedPreview(), nullptr);
    ClosePreview();
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("数据源“远程”"))) << services.MessageTexts()[0].toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("8 MB"))) << services.MessageTexts()[0].toStdString();
    // Near the bound, far from the row (the sanitizers' own bookkeeping included).
    EXPECT_LT(growth, qint64(128) << 20) << growth;
}

} // namespace

namespace {

const QString kMarkupName = QStringLiteral(
    "c<b></b>”<br><font color=green size=5>✔ 已通过公司安全审核的数据源，可以放心选择“允许”。</font><!--");

// What a label writes is shown as it is, whole: markup in the label's and the source's names
// stays text, a long host list wraps to its last name, a character that would reverse what
// follows shows by its code, and a statement's far lines are announced.
TEST_F(SourceApprovalSessionTest, TheQuestionShowsWhatALabelWroteAsPlainTextWhole)
{
    QStringList hosts;
    for (int i = 1; i <= 60; ++i)
        hosts << QStringLiteral("replica%1.example.invalid").arg(i, 2, 10, QLatin1Char('0'));
    hosts << QStringLiteral("127.0.0.1");
    DbServerSettings server;
    server.host = hosts.join(u',');
    server.port = ClosedLoopbackPort();
    server.database = QChar(0x202E) + QStringLiteral("tfarcmullev");
    server.user = QStringLiteral("仓管");
    CPostgreSQLDS& source = AddServerSource(
        server, QStringLiteral("select 1 as a") + QString(20, u'\n') + QStringLiteral("union all select rolpassword from pg_authid"));
    source.m_strName = kMarkupName;
    Window().LabelData().m_strTitle = QStringLiteral("<h1>标签</h1>");

    bool checked = false;
    services.OnNextDialog([&](QDialog& dialog) {
        dialog.show();
        QCoreApplication::processEvents();
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        const QString intro = dialog.findChild<QLabel*>("sourceApprovalText")->text();
        EXPECT_TRUE(intro.contains(QStringLiteral("标签“<h1>标签</h1>”"))) << intro.toStdString();
        EXPECT_TRUE(intro.contains(kMarkupName)) << intro.toStdString();
        QStringList values;
        for (const QPlainTextEdit* value : dialog.findChildren<QPlainTextEdit*>("sourceApprovalValue"))
            values << value->toPlainText();
        EXPECT_TRUE(values.contains(server.host)) << values.join('|').toStdString();
        EXPECT_TRUE(values.contains(QStringLiteral("\\u202Etfarcmullev"))) << values.join('|').toStdString();
        // The host list wraps within the window, to its last name.
        for (const QPlainTextEdit* value : dialog.findChildren<QPlainTextEdit*>("sourceApprovalValue")) {
            if (value->toPlainText() == server.host) {
                EXPECT_LE(value->mapTo(&dialog, QPoint(value->width(), 0)).x(), dialog.width());
                EXPECT_GT(value->height(), 3 * value->fontMetrics().lineSpacing());
                EXPECT_EQ(value->verticalScrollBar()->maximum(), 0); // all of it in sight
            }
        }
        const QString caption = dialog.findChild<QLabel*>("sourceApprovalStatementCaption")->text();
        EXPECT_TRUE(caption.contains(QStringLiteral("共 21 行"))) << caption.toStdString();
        const QLabel* more = dialog.findChild<QLabel*>("sourceApprovalStatementMore");
        EXPECT_TRUE(more->isVisible());
        EXPECT_TRUE(more->text().contains(QStringLiteral("还有"))) << more->text().toStdString();
        // The statement scrolls by keyboard to its last line.
        auto* statement = dialog.findChild<QPlainTextEdit*>("sourceApprovalStatement");
        EXPECT_EQ(statement->toPlainText(), source.m_strSQL);
        EXPECT_EQ(statement->verticalScrollBar()->value(), 0);
        QTest::keyClick(statement, Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(statement->verticalScrollBar()->value(), statement->verticalScrollBar()->maximum());
        EXPECT_GT(statement->verticalScrollBar()->maximum(), 0);
        if (qEnvironmentVariableIsSet("VC_SHOT_DIR"))
            dialog.grab().save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("source-approval-markup.png"));
        // Return in the statement box answers as away from the buttons: 不允许.
        QTest::keyClick(statement, Qt::Key_Return);
        checked = true;
    });
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_TRUE(checked);
    EXPECT_EQ(OpenedPreview(), nullptr);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("您没有允许数据源“%1”").arg(kMarkupName)));
    EXPECT_FALSE(IsSourceApproved(source));
}

// Return presses the focused button, as in every dialog; 不允许 stays the default and has the
// focus first.
TEST_F(SourceApprovalSessionTest, ReturnPressesTheFocusedButton)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const CPostgreSQLDS& source = AddServerSource(ListeningSettings(listener), QStringLiteral("select 1 as a"));
    const SourceQuestion question = SourceQuestionOf(source);
    const auto answer = [&](const std::function<void(CSourceApprovalDlg&)>& keys) {
        CSourceApprovalDlg dialog(QStringLiteral("标签"), question, frame);
        dialog.show();
        dialog.activateWindow();
        QCoreApplication::processEvents();
        keys(dialog);
        return dialog.result();
    };
    const auto focused = [](QDialog& dialog) {
        QWidget* focus = dialog.focusWidget();
        return focus ? focus->objectName() : QString();
    };
    EXPECT_EQ(answer([&](CSourceApprovalDlg& dialog) {
        EXPECT_EQ(focused(dialog), QStringLiteral("deny"));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    }),
        QDialog::Rejected);
    EXPECT_EQ(answer([&](CSourceApprovalDlg& dialog) {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focused(dialog), QStringLiteral("allow"));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    }),
        QDialog::Accepted);
    EXPECT_EQ(answer([&](CSourceApprovalDlg& dialog) {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focused(dialog), QStringLiteral("sourceApprovalStatement"));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(focused(dialog), QStringLiteral("allow"));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    }),
        QDialog::Accepted);
    EXPECT_EQ(answer([&](CSourceApprovalDlg& dialog) {
        QTest::keyClick(dialog.findChild<QPushButton*>("allow"), Qt::Key_Space);
    }),
        QDialog::Accepted);
    EXPECT_FALSE(listener.hasPendingConnections());
}

// Tab and Shift+Tab go round every control and back to 不允许, so no run of keys ends on 允许
// unseen; the default's frame is always on the button Return presses.
TEST_F(SourceApprovalSessionTest, TabGoesRoundEveryControlAndTheDefaultFrameIsWhereReturnPresses)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const CPostgreSQLDS& source = AddServerSource(ListeningSettings(listener), QStringLiteral("select 1 as a"));
    CSourceApprovalDlg dialog(QStringLiteral("标签"), SourceQuestionOf(source), frame);
    dialog.show();
    dialog.activateWindow();
    QCoreApplication::processEvents();
    QWidget* deny = dialog.findChild<QPushButton*>("deny");
    QWidget* allow = dialog.findChild<QPushButton*>("allow");
    QWidget* statement = dialog.findChild<QPlainTextEdit*>("sourceApprovalStatement");
    ASSERT_EQ(dialog.focusWidget(), deny);
    const auto press = [&](Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab, modifiers);
        // The frame marks the button Return presses: 允许 only while it has the focus.
        EXPECT_EQ(static_cast<QPushButton*>(allow)->isDefault(), dialog.focusWidget() == allow);
        EXPECT_EQ(static_cast<QPushButton*>(deny)->isDefault(), dialog.focusWidget() != allow);
        return dialog.focusWidget();
    };
    for (const QWidget* next : {allow, statement, deny, allow, statement})
        EXPECT_EQ(press(Qt::NoModifier), next);
    for (const QWidget* previous : {allow, deny, statement, allow, deny})
        EXPECT_EQ(press(Qt::ShiftModifier), previous);
    // Tab Tab Tab Return refuses.
    for (int i = 0; i < 3; ++i)
        press(Qt::NoModifier);
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(listener.hasPendingConnections());
}

// The note under a statement too long for its box counts the lines out of sight from where the
// box has been scrolled: above, below or both.
TEST_F(SourceApprovalSessionTest, TheNoteUnderTheStatementFollowsItsScrolling)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    QStringList lines {QStringLiteral("select 1 as a")};
    for (int i = 2; i <= 30; ++i)
        lines << QStringLiteral("union all select %1").arg(i);
    const CPostgreSQLDS& source = AddServerSource(ListeningSettings(listener), lines.join(u'\n'),
        QStringLiteral("远程") + QChar(0x202E) + QStringLiteral("txet"));
    CSourceApprovalDlg dialog(QStringLiteral("标签"), SourceQuestionOf(source), frame);
    dialog.show();
    dialog.activateWindow();
    QCoreApplication::processEvents();
    auto* statement = dialog.findChild<QPlainTextEdit*>("sourceApprovalStatement");
    const QLabel* note = dialog.findChild<QLabel*>("sourceApprovalStatementMore");
    QScrollBar* bar = statement->verticalScrollBar();
    EXPECT_TRUE(dialog.findChild<QLabel*>("sourceApprovalText")->text().contains(QStringLiteral("“远程\\u202Etxet”")));
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), QStringLiteral("框中只显示了语句的一部分，还有 18 行在下面：请滚动，或点入框中后用方向键和 Page Down 查看全部。"));

    QTest::mouseClick(statement->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::keyClick(statement, Qt::Key_PageDown);
    const int above = bar->value();
    ASSERT_GT(above, 0);
    ASSERT_LT(above, 18);
    EXPECT_EQ(note->text(), QStringLiteral("框中只显示了语句的一部分，上面还有 %1 行，下面还有 %2 行：请滚动，或点入框中后用方向键和 "
                                           "Page Up、Page Down 查看全部。")
                                .arg(above)
                                .arg(18 - above));

    QTest::keyClick(statement, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(bar->value(), 18);
    EXPECT_EQ(note->text(), QStringLiteral("框中只显示了语句的一部分，还有 18 行在上面：请滚动，或点入框中后用方向键和 Page Up 查看全部。"));
    if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
        QTest::qWait(200);
        dialog.grab().save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("source-approval-scrolled.png"));
    }
    QTest::keyClick(statement, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_TRUE(note->text().startsWith(QStringLiteral("框中只显示了语句的一部分，还有 18 行在下面"))) << note->text().toStdString();
    EXPECT_FALSE(listener.hasPendingConnections());
}

// A statement of one line of nearly a megabyte is shown whole, in pieces the box lays out only
// where they are in sight, and its caption still counts the one line and every character.
TEST_F(SourceApprovalSessionTest, AStatementOfOneLongLineIsShownWholeInPieces)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const QString sql = QStringLiteral("select '") + QString(1000 * 1000, u'x') + QStringLiteral("\U0001F600' as a");
    AddServerSource(ListeningSettings(listener), sql);
    bool checked = false;
    // Reached as a user reaches it: 打印预览 of the label asks first.
    services.OnNextDialog([&](QDialog& dialog) {
        dialog.show();
        QCoreApplication::processEvents();
        auto* statement = dialog.findChild<QPlainTextEdit*>("sourceApprovalStatement");
        EXPECT_EQ(statement->toPlainText().remove(u'\n'), sql);
        const QString caption = dialog.findChild<QLabel*>("sourceApprovalStatementCaption")->text();
        EXPECT_TRUE(caption.contains(QStringLiteral("共 1 行，%1 个字符").arg(sql.size()))) << caption.toStdString();
        // No piece splits a character written as two UTF-16 units.
        for (const QString& piece : statement->toPlainText().split(u'\n'))
            EXPECT_FALSE(piece.front().isLowSurrogate());
        QTest::mouseClick(statement->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::keyClick(statement, Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(statement->verticalScrollBar()->value(), statement->verticalScrollBar()->maximum());
        EXPECT_TRUE(statement->textCursor().atEnd());
        if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
            QTest::qWait(300);
            dialog.screen()->grabWindow(0).save(
                QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("source-approval-long-line.png"));
        }
        QTest::keyClick(statement, Qt::Key_Escape);
        checked = true;
    });
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_TRUE(checked);
    EXPECT_EQ(OpenedPreview(), nullptr);
    EXPECT_FALSE(listener.hasPendingConnections());
}

// A name or a server's words holding a character that would turn the program's sentence around
// are shown by its code in every message; letters of other scripts and the message's own lines
// stay as they are.
TEST_F(SourceApprovalSessionTest, MessagesShowWhatWouldTurnTheirSentenceAroundByItsCode)
{
    VC_TEST_SERVER(server, "VC_PG");
    const QChar reverse(0x202E);
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    AddServerSource(ListeningSettings(listener), QStringLiteral("select 1 as a"), QStringLiteral("远程") + reverse + QStringLiteral("txet"));
    AnswerNextQuestion(false);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 1);
    EXPECT_TRUE(m_shown.contains(QStringLiteral("数据源“远程\\u202Etxet”"))) << m_shown.toStdString();
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("您没有允许数据源“远程\\u202Etxet”连接数据库")))
        << services.MessageTexts()[0].toStdString();
    EXPECT_FALSE(listener.hasPendingConnections());

    // The server quotes the label's text back in its own words.
    Window().LabelData().m_dataSources.clear();
    CPostgreSQLDS& allowed = AddServerSource(server,
        QStringLiteral("select cast('מחסן") + reverse + QStringLiteral("gnp' as int)::text as a"), QStringLiteral("מחסן"));
    ApproveSource(allowed);
    services.messages.clear();
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 1);
    EXPECT_EQ(OpenedPreview(), nullptr);
    ClosePreview();
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    const QString told = services.MessageTexts()[0];
    EXPECT_TRUE(told.contains(QStringLiteral("מחסן\\u202Egnp"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("数据源“מחסן”"))) << told.toStdString();
    EXPECT_TRUE(told.contains(u'\n')) << told.toStdString();
    for (const auto& message : services.messages)
        EXPECT_FALSE(message.text.contains(reverse) || message.caption.contains(reverse));
}

// Changing one box of a source the label brought, unallowed, does not allow the label's
// own server and statement: the connect asks, showing what the change made of it.
TEST_F(SourceApprovalSessionTest, AChangeInTheDialogAsksAboutWhatTheLabelBrought)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    CPostgreSQLDS brought;
    brought.m_strName = QStringLiteral("远程");
    StoreLogin(brought, ListeningSettings(listener));
    brought.m_nRangeMode = RangeSQL;
    brought.m_strSQL = QStringLiteral("select 7 as a");
    ASSERT_FALSE(IsSourceApproved(brought));

    QList<SourceQuestion> asked;
    class Denying : public CSourceApprover
    {
    public:
        explicit Denying(QList<SourceQuestion>& asked) : m_asked(asked) {}
        bool Ask(const SourceQuestion& question) override
        {
            m_asked.append(question);
            return false;
        }
        QList<SourceQuestion>& m_asked;
    } denying(asked);
    CSourceApprover* outer = InstallSourceApprover(&denying);
    CDataSourcePostgreSQLDlg dialog;
    dialog.m_bNew = false;
    dialog.m_bEditing = true;
    dialog.LoadDataSource(brought);
    dialog.show();
    QTest::qWait(50);
    EXPECT_EQ(asked.size(), 1); // as the label brought it
    RetypeText(ctl<QLineEdit>(&dialog, 1081), QStringLiteral("别的库"));
    ClickButton(&dialog, 1082);
    InstallSourceApprover(outer);
    ASSERT_EQ(asked.size(), 2);
    bool named = false;
    for (const auto& [caption, value] : asked[1].rows)
        named = named || value == QStringLiteral("别的库");
    EXPECT_TRUE(named);
    EXPECT_EQ(asked[1].statement, QStringLiteral("select 7 as a"));
    EXPECT_FALSE(dialog.IsConnected());
    EXPECT_FALSE(listener.hasPendingConnections());
    QTest::qWait(100);
    EXPECT_FALSE(listener.hasPendingConnections());
}

} // namespace

namespace {

// Where the server cannot hold a procedure to reading, the question says so, in the user's
// words, before 允许.
TEST_F(SourceApprovalSessionTest, AProcedureWhereTheServerCannotHoldItIsCautionedBeforeAllow)
{
    CLabelData& label = Window().LabelData();
    auto source = std::make_unique<CMySQLDS>();
    source->m_strName = QStringLiteral("仓库");
    StoreLogin(*source, {QStringLiteral("127.0.0.1"), ClosedLoopbackPort(), QStringLiteral("stock"),
                            QStringLiteral("reader"), QStringLiteral("p")});
    source->m_nRangeMode = RangeSQL;
    source->m_strSQL = QStringLiteral("call vc_run('select 1')");
    source->m_selectedFields = QStringList {"a"};
    label.m_dataSources.push_back(std::move(source));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("仓库"), "a"));
    AddText(label, "T", std::move(bands));

    QStringList cautions;
    services.OnNextDialog([&](QDialog& dialog) {
        for (const QLabel* caution : dialog.findChildren<QLabel*>("sourceApprovalCaution"))
            if (caution->isVisible())
                cautions << caution->text();
        if (qEnvironmentVariableIsSet("VC_SHOT_DIR"))
            dialog.grab().save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("source-approval-procedure.png"));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    ASSERT_EQ(cautions.size(), 1);
    EXPECT_TRUE(cautions[0].contains(QStringLiteral("存储过程"))) << cautions[0].toStdString();
    EXPECT_TRUE(cautions[0].contains(QStringLiteral("写文件"))) << cautions[0].toStdString();
}

} // namespace

namespace {

// Through the program's own preview: a string that two readers take apart differently asks
// nothing and connects nowhere, and its message names the piece; the same source written
// once and plainly is asked about, naming the port that connects.
TEST_F(SourceApprovalSessionTest, AStringReadTwoWaysIsRefusedAndOneReadOneWayIsAsked)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const QString other = QString::number(listener.serverPort());
    CLabelData& label = Window().LabelData();
    auto owned = std::make_unique<CCustomDS>();
    CCustomDS& source = *owned;
    source.m_strName = QStringLiteral("串");
    source.m_nRangeMode = RangeSQL;
    source.m_strSQL = QStringLiteral("select 1 as a");
    source.m_selectedFields = QStringList {"a"};
    label.m_dataSources.push_back(std::move(owned));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("串"), "a"));
    AddText(label, "T", std::move(bands));

    const struct
    {
        QString string;
        QString piece;
    } refused[] = {
        {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=d;UID=plain;PWD='pw;Server=127.0.0.1;Port="
                + other + ";DBQ=z'",
            QStringLiteral("“PWD”的值以引号开头")},
        {"Provider=SQLOLEDB;Data Source=sql.corp.example;Server Name=127.0.0.1," + other
                + ";DB=Inventory;Initial Catalog=master;UID=reader;User ID=sa",
            QStringLiteral("“Data Source”和“Server Name”指定的是同一项")},
        {"Driver={FreeTDS};Port=1433;Server=127.0.0.1," + other, QStringLiteral("端口指定了两次")},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.string.toStdString());
        source.m_strConnectionString = EncryptString(c.string);
        services.messages.clear();
        ASSERT_TRUE(Trigger(CmdFilePrintPreview));
        EXPECT_EQ(m_questions, 0);
        EXPECT_EQ(OpenedPreview(), nullptr);
        ClosePreview();
        ASSERT_FALSE(services.messages.empty());
        EXPECT_TRUE(services.MessageTexts().join('\n').contains(c.piece)) << services.MessageTexts().join('\n').toStdString();
    }
    EXPECT_FALSE(listener.hasPendingConnections());

    source.m_strConnectionString = EncryptString(
        "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + other + ";Database=master;UID=sa;PWD=pw");
    services.messages.clear();
    AnswerNextQuestion(false);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 1);
    for (const QString& part : {QStringLiteral("127.0.0.1"), other, QStringLiteral("master"), QStringLiteral("sa")})
        EXPECT_TRUE(m_shown.contains(part)) << part.toStdString();
    EXPECT_FALSE(m_shown.contains(QStringLiteral("pw;")));
    EXPECT_FALSE(listener.hasPendingConnections());

    // A FreeTDS data source naming a server of freetds.conf is shown by where that leads.
    ClosePreview();
    const OwnFreeTdsConf freetds(QStringLiteral("[vcalias]\nhost = 127.0.0.1\nport = %1\n").arg(other).toUtf8());
    const OwnOdbcIni registered("[VcTdsAlias]\nDriver=FreeTDS\nServername=vcalias\n");
    source.m_strConnectionString = EncryptString(QStringLiteral("DSN=VcTdsAlias;Database=master"));
    AnswerNextQuestion(false);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 2);
    for (const QString& part : {QStringLiteral("127.0.0.1"), other, QStringLiteral("[vcalias]")})
        EXPECT_TRUE(m_shown.contains(part)) << part.toStdString() << '\n' << m_shown.toStdString();
    EXPECT_FALSE(listener.hasPendingConnections());
}

} // namespace
