#include "DbTestEnv.h"
#include "SessionTestSupport.h"
#include "dialogs/datasource/DataSourceDBDlg.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "model/SourceApproval.h"
#include "output/ui/PreviewFrame.h"
#include "tests/output/OutputSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTimer>

namespace {

// The running program opening a label whose PostgreSQL source has not been allowed on this
// machine: the question comes first, and its answer decides whether anything connects.
class SourceApprovalSessionTest : public SessionTest
{
protected:
    // A source named 远程 on host:port and a text bound to its field a.
    CPostgreSQLDS& AddServerSource(const DbServerSettings& server, const QString& statement)
    {
        CLabelData& label = Window().LabelData();
        auto source = std::make_unique<CPostgreSQLDS>();
        source->m_strName = QStringLiteral("远程");
        StoreLogin(*source, server);
        source->m_nRangeMode = RangeSQL;
        source->m_strSQL = statement;
        source->m_selectedFields = QStringList {"a"};
        CPostgreSQLDS& added = *source;
        label.m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("远程"), "a"));
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
            if (auto* statement = dialog.findChild<QPlainTextEdit*>("sourceApprovalStatement"))
                m_shown += u'\n' + statement->toPlainText();
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
    const QString title = Window().windowTitle().remove(QStringLiteral("[*]"));
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

    AnswerNextQuestion(true);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 1);
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
    ASSERT_NE(OpenedPreview(), nullptr);
    ClosePreview();
    EXPECT_TRUE(IsSourceApproved(source));

    // Not asked again, also for a copy of the label with the same source (what a saved and
    // reopened label holds).
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 1);
    ASSERT_NE(OpenedPreview(), nullptr);
    ClosePreview();
    const std::unique_ptr<CDSBase> copy = source.Clone();
    EXPECT_TRUE(IsSourceApproved(*copy));

    // A changed statement, server or user is another source.
    source.m_strSQL = QStringLiteral("select 'R' || 2 as a");
    AnswerNextQuestion(false);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    EXPECT_EQ(m_questions, 2);
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

TEST_F(SourceApprovalSessionTest, TheQuestionTakesARealEscapeThroughTheProgramsOwnServices)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    AddServerSource(ListeningSettings(listener), QStringLiteral("select 1 as a"));
    const std::unique_ptr<UiServices> fake = InstallServices(std::make_unique<DesktopUiServices>());

    // Esc on the question, then Return on the message that follows; each only once shown.
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        seen.append(modal->objectName().isEmpty() ? QString::fromLatin1(modal->metaObject()->className())
                                                  : modal->objectName());
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
        bool Ask(const CDSBase&) override
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
