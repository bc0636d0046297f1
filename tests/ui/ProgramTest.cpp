#include "FakeServices.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "app/InstanceChecker.h"
#include "app/MainFrame.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "app/VellumcraftApp.h"
#include "dialogs/datasource/DatabaseDlg.h"
#include "model/DSBase.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <functional>
#include <unistd.h>

namespace {

// The program started as a user would, with its own settings and runtime folders.
class ProgramTest : public ShellTest
{
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("rt"));
        QFile::setPermissions(m_dir.filePath("rt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void Prepare(QProcess& process, const QString& platform = "offscreen")
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", platform);
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("rt"));
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("cfg"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }

    // The recent-file list the program keeps, as its settings file holds it.
    QString SettingsText() const
    {
        QFile file(m_dir.filePath("cfg/Vellumcraft/Vellumcraft.conf"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Where the first instance listens once its window is up.
    QString SocketPath() const
    {
        return QDir(m_dir.filePath("rt")).filePath(CInstanceChecker::BaseName("offscreen"));
    }

    static void Stop(QProcess& process)
    {
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
    }

    // The time only catches a hang: a program under the sanitizers on a loaded machine may
    // take many seconds to start.
    static bool WaitFor(const std::function<bool()>& condition, int ms = 120000)
    {
        const QDeadlineTimer deadline(ms);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            // Lets the processes report that they ended.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(20);
        }
        return true;
    }
};

class AppTest : public ShellTest
{
protected:
    void Start()
    {
        CVellumcraftApp::Options options;
        options.splash = false;
        options.instanceFolder = m_dir.path();
        ASSERT_TRUE(app.InitInstance(options));
    }
    void TearDown() override { app.ExitInstance(); }

    FakeServices services;
    CVellumcraftApp app;
};

} // namespace

TEST_F(ProgramTest, StartsOffscreenWithALabelAndSavesItsWindow)
{
    const QString label = WriteLabel("golden.vmk");
    const QString shot = m_dir.filePath("shot.png");
    QProcess program;
    Prepare(program);
    program.start(VC_PROGRAM_PATH, {"--no-splash", "--screenshot", shot, label});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(QImage(shot).isNull());
    EXPECT_TRUE(SettingsText().contains(label)); // it was opened, so it is a recent file
}

TEST_F(ProgramTest, AScreenshotRunOfADamagedLabelSaysWhyOnStderrAndStillEnds)
{
    const QString damaged = WriteDamaged("damaged.vmk");
    const QString shot = m_dir.filePath("shot.png");
    QProcess program;
    Prepare(program);
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(VC_PROGRAM_PATH, {"--no-splash", "--screenshot", shot, damaged});
    ASSERT_TRUE(program.waitForFinished(60000)); // the error box used to wait for a click forever
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);
    EXPECT_FALSE(QImage(shot).isNull());
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains(QStringLiteral("文件“%1”").arg(damaged)));
}

TEST_F(ProgramTest, StartsUnderXvfbWithTheSplash)
{
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    ASSERT_FALSE(xvfbRun.isEmpty()) << "xvfb-run is installed by scripts/deps.sh";
    const QString label = WriteLabel("golden.vmk");
    const QString shot = m_dir.filePath("shot.png");
    QProcess program;
    Prepare(program, "xcb");
    program.start(xvfbRun, {"-a", "-s", "-screen 0 1280x800x24", VC_PROGRAM_PATH, "--screenshot", shot, label});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0);
    const QImage image(shot);
    EXPECT_EQ(image.width(), 1280);
    EXPECT_TRUE(SettingsText().contains(label));
}

TEST_F(ProgramTest, SecondStartHandsItsFileToTheFirstAndEnds)
{
    QProcess first;
    Prepare(first);
    first.start(VC_PROGRAM_PATH, {"--no-splash"});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(SocketPath()); }));
    const QString label = WriteLabel("handed over.vmk");

    QProcess second;
    Prepare(second);
    second.start(VC_PROGRAM_PATH, {"--no-splash", label});
    ASSERT_TRUE(second.waitForFinished(120000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(WaitFor([&] { return SettingsText().contains(label); }));
    Stop(first);
}

TEST_F(ProgramTest, OfTwoQuickStartsOnlyOneRuns)
{
    QProcess a;
    QProcess b;
    Prepare(a);
    Prepare(b);
    a.start(VC_PROGRAM_PATH, {"--no-splash"});
    b.start(VC_PROGRAM_PATH, {"--no-splash"});
    ASSERT_TRUE(WaitFor([&] { return a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning; }));
    WaitFor([] { return false; }, 500);
    QProcess& ended = a.state() == QProcess::NotRunning ? a : b;
    QProcess& running = &ended == &a ? b : a;
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_EQ(running.state(), QProcess::Running);
    Stop(running);
}

TEST_F(ProgramTest, AStartAfterACrashIsTheFirstAgain)
{
    QProcess crashed;
    Prepare(crashed);
    crashed.start(VC_PROGRAM_PATH, {"--no-splash"});
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(SocketPath()); }));
    crashed.kill(); // leaves its lock file and socket behind
    crashed.waitForFinished();

    QFile::remove(SocketPath());
    QProcess next;
    Prepare(next);
    next.start(VC_PROGRAM_PATH, {"--no-splash"});
    EXPECT_TRUE(WaitFor([&] { return QFileInfo::exists(SocketPath()); })); // it listens: the first
    EXPECT_EQ(next.state(), QProcess::Running);
    Stop(next);
}

TEST_F(ProgramTest, AScreenshotRunStandsAloneBesideARunningInstance)
{
    QProcess first;
    Prepare(first);
    first.start(VC_PROGRAM_PATH, {"--no-splash"});
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(SocketPath()); }));

    const QString shot = m_dir.filePath("shot.png");
    QProcess run;
    Prepare(run);
    run.start(VC_PROGRAM_PATH, {"--no-splash", "--screenshot", shot, WriteLabel("shown.vmk")});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_FALSE(QImage(shot).isNull());
    EXPECT_EQ(first.state(), QProcess::Running);
    Stop(first);
}

TEST(InstanceChecker, OneFirstInstancePerUserAndDisplay)
{
    QTemporaryDir dir;
    CInstanceChecker display1(dir.path(), "xcb-:1");
    CInstanceChecker display2(dir.path(), "xcb-:2");
    CInstanceChecker again1(dir.path(), "xcb-:1");
    EXPECT_TRUE(display1.IsFirstInstance());
    EXPECT_TRUE(display2.IsFirstInstance()); // another display runs its own program
    EXPECT_FALSE(again1.IsFirstInstance());
    EXPECT_NE(CInstanceChecker::BaseName("xcb-:1"), CInstanceChecker::BaseName("xcb-:2"));
    EXPECT_TRUE(CInstanceChecker::SessionName().startsWith(QGuiApplication::platformName()));
}

TEST_F(AppTest, StartActionOpensTheBaseFileAsANewLabelOnlyWhenItExists)
{
    Start();
    CGlobalSettings* settings = CGlobalSettings::GetInstance();
    settings->m_nAppStartBehavior = 3;
    settings->m_strNewLabelBasedFile = m_dir.filePath("missing.vmk");
    app.PerformStartAction();
    EXPECT_TRUE(app.MainFrame()->LabelWindows().isEmpty());
    EXPECT_TRUE(services.messages.empty());

    settings->m_strNewLabelBasedFile = WriteLabel("base.vmk");
    app.PerformStartAction();
    ASSERT_EQ(app.MainFrame()->LabelWindows().size(), 1);
    EXPECT_TRUE(app.MainFrame()->LabelWindows()[0]->LabelData().m_strFilePath.isEmpty());

    settings->m_nAppStartBehavior = 7; // out of range: nothing
    app.PerformStartAction();
    EXPECT_EQ(app.MainFrame()->LabelWindows().size(), 1);
}

TEST_F(AppTest, RecentFilesKeepFourAndAGoneFileLeavesTheListSilently)
{
    Start();
    QStringList paths;
    for (const char* name : {"1.vmk", "2.vmk", "3.vmk", "4.vmk", "R&D.vmk"})
        app.MainFrame()->OpenLabelFile(paths.emplace_back(WriteLabel(name)));
    EXPECT_EQ(app.RecentFiles().Paths(), QStringList({paths[4], paths[3], paths[2], paths[1]}));
    QAction* entry = app.MainFrame()->Commands().Action(57616);
    EXPECT_TRUE(entry->isVisible());
    EXPECT_EQ(entry->text(), "&1 " + QString(paths[4]).replace("&", "&&")); // the menu shows "R&D.vmk"

    QFile::remove(paths[3]);
    app.MainFrame()->Commands().Execute(57617);
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(app.RecentFiles().Paths(), QStringList({paths[4], paths[2], paths[1]}));
    EXPECT_FALSE(app.MainFrame()->Commands().Action(57619)->isVisible());
    EXPECT_EQ(app.MainFrame()->LabelWindows().size(), 5);

    app.MainFrame()->Commands().Execute(57618); // now the third entry is 2.vmk, open already
    EXPECT_EQ(app.MainFrame()->LabelWindows().size(), 5);
    EXPECT_EQ(app.MainFrame()->ActiveLabelWindow()->windowTitle(), "2.vmk");
}

TEST_F(AppTest, AStartupPasswordMustBeGivenAndIsNeverStored)
{
    CVellumcraftApp::Options options;
    options.splash = false;
    options.instanceFolder = m_dir.path();
    const auto type = [&](const QString& password) {
        CGlobalSettings::GetInstance()->m_strStartupPassword = "secret";
        services.OnNextDialog([password](QDialog& dialog) {
            ctl<QLineEdit>(&dialog, 1183)->setText(password);
            ctl<QPushButton>(&dialog, 1)->click();
        });
    };
    for (const QString& wrong : {QString("Secret"), QString()}) {
        type(wrong);
        CVellumcraftApp refused;
        EXPECT_FALSE(refused.InitInstance(options));
        refused.ExitInstance();
    }
    type("secret");
    Start();
    EXPECT_EQ(services.dialogClasses, std::vector<QString>({"CInputPasswordDlg", "CInputPasswordDlg",
                                                            "CInputPasswordDlg"}));

    // Neither the program's settings nor sysconf.ini hold it.
    qputenv("VELLUMCRAFT_HOME", m_dir.path().toUtf8());
    ASSERT_TRUE(CGlobalSettings::GetInstance()->SaveOptions());
    app.MainFrame()->SaveLayout();
    const QString sysconf = CGlobalSettings::GetSysconfPath();
    qunsetenv("VELLUMCRAFT_HOME");
    QSettings settings;
    settings.sync();
    for (const QString& path : {sysconf, settings.fileName()}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_FALSE(file.readAll().contains("secret")) << path.toStdString();
    }
}

// A sysconf.ini that is no options file (here a link to a device) does not stop the
// start: the program says so and starts with the defaults.
TEST_F(AppTest, AnUnreadableOptionsFileStartsWithTheDefaultsAndSaysSo)
{
    qputenv("VELLUMCRAFT_HOME", m_dir.path().toUtf8());
    const QString sysconf = QDir(m_dir.path()).filePath("sysconf.ini");
    ASSERT_TRUE(QFile::link("/dev/zero", sysconf));
    CGlobalSettings::GetInstance()->m_nUndoMax = 3;
    Start();
    qunsetenv("VELLUMCRAFT_HOME");
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join('\n').toStdString();
    EXPECT_TRUE(services.messages[0].text.contains("sysconf.ini")) << services.messages[0].text.toStdString();
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(CGlobalSettings::GetInstance()->m_nUndoMax, 50);
}

TEST_F(AppTest, TheSplashShowsOnlyWhileTheSystemOptionsAskForIt)
{
    qputenv("VELLUMCRAFT_HOME", m_dir.path().toUtf8());
    CVellumcraftApp::Options options;
    options.splash = true;
    options.instanceFolder = m_dir.path();
    // Whether a splash was on the screen while the program started, with the option
    // as the system options dialog left it in sysconf.ini.
    const auto splashAtStart = [&](bool wanted) {
        CGlobalSettings::GetInstance()->m_bShowAppWelcome = wanted;
        EXPECT_TRUE(CGlobalSettings::GetInstance()->SaveOptions());
        bool seen = false;
        QTimer look;
        look.setSingleShot(true);
        QObject::connect(&look, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                seen = seen || (widget->objectName() == "splash" && widget->isVisible());
        });
        look.start(0);
        CVellumcraftApp started;
        EXPECT_TRUE(started.InitInstance(options));
        QTest::qWait(20);
        started.ExitInstance();
        return seen;
    };
    EXPECT_FALSE(splashAtStart(false));
    EXPECT_TRUE(splashAtStart(true));
    qunsetenv("VELLUMCRAFT_HOME");
}

TEST_F(AppTest, AboutShowsTheVersionAndExitClosesLikeTheWindow)
{
    Start();
    QString shown;
    services.OnNextDialog([&](QDialog& dialog) {
        shown = dialog.windowTitle();
        for (QLabel* label : dialog.findChildren<QLabel*>())
            shown += "|" + label->text();
        dialog.accept();
    });
    app.MainFrame()->Commands().Execute(57664);
    EXPECT_EQ(shown, "关于 Vellumcraft||Vellumcraft V2.1.0");

    auto* window = static_cast<CChildFrame*>(app.MainFrame()->OpenLabelFile(WriteLabel("a.vmk")));
    window->View().SetModified(true);
    services.answers = {IDCANCEL};
    app.MainFrame()->Commands().Execute(57665);
    EXPECT_TRUE(app.MainFrame()->isVisible()); // the label refused to close
    services.answers = {IDNO};
    app.MainFrame()->Commands().Execute(57665);
    EXPECT_FALSE(app.MainFrame()->isVisible());
}

TEST_F(AppTest, ExitAlsoClosesThePrintPreviews)
{
    Start();
    app.MainFrame()->OpenLabelFile(WriteLabel("a.vmk"));
    app.MainFrame()->Commands().Execute(57609);
    QPointer<QWidget> preview;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->windowTitle() == "打印预览 - a.vmk")
            preview = window;
    ASSERT_TRUE(preview);
    app.MainFrame()->Commands().Execute(57665);
    EXPECT_FALSE(app.MainFrame()->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(preview.isNull()); // not left running on its own
}

TEST_F(AppTest, ARecentFileAlreadyOpenIsShownNotOpenedTwice)
{
    Start();
    CMainFrame& frame = *app.MainFrame();
    frame.OpenLabelFile(WriteLabel("a.vmk"));
    frame.OpenLabelFile(WriteLabel("b.vmk"));
    ASSERT_EQ(frame.ActiveLabelWindow()->windowTitle(), "b.vmk");
    frame.Commands().Execute(CmdRecentFile2); // a.vmk
    EXPECT_EQ(frame.LabelWindows().size(), 2);
    EXPECT_EQ(frame.ActiveLabelWindow()->windowTitle(), "a.vmk");
}

// The program shows a data loader's own message, in its words with the driver's text as
// the detail, and the manager that asked for the rows does not show it again.
TEST_F(AppTest, ALoadersMessageReachesTheUserOnce)
{
    Start();
    CLabelData label;
    auto sheet = std::make_unique<CExcelDS>();
    sheet->m_strName = QStringLiteral("表格");
    sheet->m_strPath = m_dir.filePath("gone.xlsx");
    sheet->m_strTable = "Sheet1";
    sheet->m_selectedFields = {"A"};
    label.m_dataSources.push_back(std::move(sheet));
    services.OnNextDialog([](QDialog& d) {
        ctl<QPushButton>(&d, 4)->click(); // 加载
        ctl<QPushButton>(&d, 2)->click();
    });
    RunDataSourceManager(label, nullptr);
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join(" | ").toStdString();
    EXPECT_TRUE(services.messages[0].text.startsWith(QStringLiteral("无法连接Excel数据表，请检查")))
        << services.messages[0].text.toStdString();
    EXPECT_TRUE(services.messages[0].text.contains(QStringLiteral("\n详细信息：")));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
}
