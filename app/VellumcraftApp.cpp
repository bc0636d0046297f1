#include "app/VellumcraftApp.h"

#include "app/HelpWindow.h"
#include "app/InstanceChecker.h"
#include "app/MainFrame.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "app/PasswordDlg.h"
#include "app/ResourceIcons.h"
#include "app/SourceApprovalDlg.h"
#include "app/SplashWindow.h"
#include "app/SysOptionsDlg.h"
#include "app/UiServices.h"
#include "app/VXBaseDialog.h"
#include "app/controls/DbWaitWindow.h"
#include "model/LabelData.h"
#include "model/DLBase.h"
#include "model/GlobalSettings.h"
#include "model/SourceApproval.h"
#include "platform/ImageHolder.h"
#include "platform/ScreenDpi.h"
#include "platform/VisibleText.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QScreen>
#include <QSettings>
#include <QTranslator>
#include <QVBoxLayout>
#include <clocale>
#include <cstdio>
#include <mutex>

namespace {

constexpr int kFirstRecentFile = CmdRecentFile1;
const QString kRecentGroup = QStringLiteral("Recent File List");

// The desktop of a screenshot run, which nobody watches: messages go to stderr with
// the answer that changes nothing, and no dialog or picker waits for a click.
class UnattendedUiServices : public DesktopUiServices
{
public:
    int RunModal(QDialog& dialog) override
    {
        std::fprintf(stderr, "%s: not shown in a screenshot run\n", qUtf8Printable(dialog.windowTitle()));
        return QDialog::Rejected;
    }
    QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString GetExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
    QColor GetColor(QWidget*, const QColor&) override { return {}; }
    bool GetFont(QWidget*, QFont&) override { return false; }

protected:
    int ShowMessageBox(QWidget*, const QString& text, MessageIcon, MessageButtons buttons, const QString&) override
    {
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
        switch (buttons) {
        case MessageButtons::Ok:
            return IDOK;
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel:
            return IDNO;
        default:
            return IDCANCEL;
        }
    }
};

// Qt's own Chinese catalogue. The file dialog's type names ("Folder", "File") are
// asked for under the icon provider's name, while the catalogue still files them
// under the file dialog's.
class QtChineseCatalogue : public QTranslator
{
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override
    {
        QString text = QTranslator::translate(context, source, disambiguation, n);
        if (text.isEmpty() && qstrcmp(context, "QAbstractFileIconProvider") == 0)
            text = QTranslator::translate("QFileDialog", source, nullptr, n);
        return text;
    }
};

// A message over whatever window is in front: the dialog in use, else the active window.
void ShowOverFrontWindow(const QString& text, MessageIcon icon)
{
    Services().ShowMessage(CHelpWindow::FrontWindow(), text, icon);
}

// A data loader's own message (a connection it could not open) in a message box over
// the window in front; the caller then sees it was shown and stays silent.
class MessageBoxLoaderNotifier : public CLoaderNotifier
{
public:
    void ShowError(const QString& text) override
    {
        ShowOverFrontWindow(text, MessageIcon::Stop);
    }
};

// A picture that does not decode is found while drawing: inside a paint event, a print
// job's page or an export thread. It is told from the event loop once that drawing is
// over, and the pictures that fail meanwhile are told in the same message.
class MessageBoxPictureNotifier : public QObject, public CPictureNotifier
{
public:
    void PictureFailed(const QString& text) override
    {
        const std::lock_guard guard(m_lock);
        m_pending.append(text);
        if (m_pending.size() == 1)
            QMetaObject::invokeMethod(this, [this] { ShowPending(); }, Qt::QueuedConnection);
    }

private:
    void ShowPending()
    {
        QStringList texts;
        {
            const std::lock_guard guard(m_lock);
            texts.swap(m_pending);
        }
        constexpr qsizetype kShown = 5;
        if (texts.size() > kShown) {
            const qsizetype more = texts.size() - kShown;
            texts.resize(kShown);
            texts.append(QStringLiteral("另有 %1 张图片无法解码。").arg(more));
        }
        ShowOverFrontWindow(texts.join(u'\n'), MessageIcon::Warning);
    }

    std::mutex m_lock;
    QStringList m_pending;
};

// Asks in a window before a label's database source first connects, naming the label in
// front; 允许 is kept in the settings.
class DialogSourceApprover : public CSourceApprover
{
public:
    explicit DialogSourceApprover(const CVellumcraftApp& app) : m_app(app) {}

    bool Ask(const SourceQuestion& question) override
    {
        // The label by its name, never the window's title with its mark of unsaved changes.
        QString label;
        if (const CMainFrame* frame = m_app.MainFrame())
            if (const LabelDocumentWindow* window = frame->ActiveLabelWindow())
                label = window->LabelData().m_strTitle;
        CSourceApprovalDlg dialog(label, question, CHelpWindow::FrontWindow());
        if (Services().RunModal(dialog) != QDialog::Accepted)
            return false;
        ApproveQuestion(question);
        return true;
    }

private:
    const CVellumcraftApp& m_app;
};

} // namespace

// ---- RecentFileList ---------------------------------------------------------------

void RecentFileList::Load()
{
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    m_paths.clear();
    m_asNew.clear();
    for (int i = 0; i < kSize; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i + 1)).toString();
        if (!path.isEmpty()) {
            m_paths.append(path);
            m_asNew.append(settings.value(QStringLiteral("AsNew%1").arg(i + 1)).toBool());
        }
    }
}

void RecentFileList::Save() const
{
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    for (int i = 0; i < kSize; ++i) {
        const QString key = QStringLiteral("File%1").arg(i + 1);
        const QString asNewKey = QStringLiteral("AsNew%1").arg(i + 1);
        if (i < m_paths.size())
            settings.setValue(key, m_paths[i]);
        else
            settings.remove(key);
        if (i < m_paths.size() && m_asNew[i])
            settings.setValue(asNewKey, true);
        else
            settings.remove(asNewKey);
    }
}

void RecentFileList::Add(const QString& path, bool asNew)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    if (const qsizetype at = m_paths.indexOf(full); at >= 0) {
        m_paths.removeAt(at);
        m_asNew.removeAt(at);
    }
    m_paths.prepend(full);
    m_asNew.prepend(asNew);
    while (m_paths.size() > kSize) {
        m_paths.removeLast();
        m_asNew.removeLast();
    }
    Save();
}

void RecentFileList::Remove(int index)
{
    if (index < 0 || index >= m_paths.size())
        return;
    m_paths.removeAt(index);
    m_asNew.removeAt(index);
    Save();
}

// ---- CAboutDlg --------------------------------------------------------------------

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于 Vellumcraft"));
    FitWindowTitle(*this);
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(ResourceIcon(424).pixmap(32, 32));
    layout->addWidget(icon);
    layout->addWidget(new QLabel(QStringLiteral("Vellumcraft V2.1.0"), this));
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok));
}

// ---- CVellumcraftApp --------------------------------------------------------------

CVellumcraftApp::Options CVellumcraftApp::ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Designs and prints barcode labels."));
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Saves the main window as an image to <file> and exits."),
                                        QStringLiteral("file"));
    const QCommandLineOption noSplash(QStringLiteral("no-splash"), QStringLiteral("Starts without the splash window."));
    parser.addOption(screenshot);
    parser.addOption(noSplash);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A label file to open."), QStringLiteral("[file]"));
    parser.process(arguments);

    Options options;
    options.file = parser.positionalArguments().value(0);
    options.screenshot = parser.value(screenshot);
    options.splash = !parser.isSet(noSplash);
    return options;
}

CVellumcraftApp::CVellumcraftApp()
{
    OnCommandRange(kFirstRecentFile, kFirstRecentFile + RecentFileList::kSize - 1,
                   [this](int id) { OnOpenRecentFile(id); });
    OnCommand(CmdAppExit, [this] {
        if (m_pMainFrame)
            m_pMainFrame->close();
    });
    OnCommand(CmdAppAbout, [this] {
        CAboutDlg about(m_pMainFrame.get());
        Services().RunModal(about);
    });
}

CVellumcraftApp::~CVellumcraftApp()
{
    if (m_pLoaderNotifier)
        CDLBase::SetNotifier(nullptr);
    if (m_pPictureNotifier)
        ImageHolder::SetNotifier(nullptr);
    if (m_pDbWaiter)
        InstallDbWaiter(nullptr);
    if (m_pSourceApprover)
        InstallSourceApprover(m_pOuterApprover);
}

bool CVellumcraftApp::InitInstance(const Options& options)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vellumcraft"));
    QCoreApplication::setApplicationName(QStringLiteral("Vellumcraft"));
    std::setlocale(LC_NUMERIC, "C");
    if (!options.screenshot.isEmpty())
        InstallServices(std::make_unique<UnattendedUiServices>());
    const QString file = options.file.isEmpty() ? QString() : QFileInfo(options.file).absoluteFilePath();
    m_pLoaderNotifier = std::make_unique<MessageBoxLoaderNotifier>();
    CDLBase::SetNotifier(m_pLoaderNotifier.get());
    m_pPictureNotifier = std::make_unique<MessageBoxPictureNotifier>();
    ImageHolder::SetNotifier(m_pPictureNotifier.get());
    m_pDbWaiter = std::make_unique<CDbWaitUi>();
    InstallDbWaiter(m_pDbWaiter.get());
    // Nobody answers a screenshot run: a source not yet allowed is refused there.
    if (options.screenshot.isEmpty()) {
        m_pSourceApprover = std::make_unique<DialogSourceApprover>(*this);
        m_pOuterApprover = InstallSourceApprover(m_pSourceApprover.get());
    }

    // A screenshot run stands alone: it neither hands its file over nor takes others'.
    if (options.screenshot.isEmpty()) {
        m_pChecker = std::make_unique<CInstanceChecker>(options.instanceFolder);
        if (!m_pChecker->IsFirstInstance()) {
            m_pChecker->ActivatePreviousInstance(file);
            return false;
        }
    }

    // Standard buttons and dialogs in Chinese, as every text of the program.
    auto* translator = new QtChineseCatalogue(qApp);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    InitResourceIcons();
    InstallDialogHelpKey();

    // The options first: one of them says whether the splash is wanted at all.
    CGlobalSettings* settings = CGlobalSettings::GetInstance();
    settings->Init();
    if (const QString trouble = settings->LoadOptions(); !trouble.isEmpty())
        Services().ShowMessage(nullptr, trouble, MessageIcon::Warning);
    if (options.splash && settings->m_bShowAppWelcome)
        CSplashWindow::ShowSplashScreen(CSplashWindow::RandomHoldMs());

    // The password lives only in this process; it is never written anywhere.
    if (!settings->m_strStartupPassword.isEmpty()) {
        CInputPasswordDlg prompt;
        Services().RunModal(prompt);
        if (!prompt.m_bAccept)
            return false;
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        g_nScreenDpiX = qRound(screen->logicalDotsPerInchX());
        g_nScreenDpiY = qRound(screen->logicalDotsPerInchY());
    }

    m_recentFiles.Load();
    m_pMainFrame = std::make_unique<CMainFrame>(this);
    m_pMainFrame->SetLabelWindowFactory(CChildFrame::Factory());
    m_pMainFrame->SetNewLabelPrompt(CChildFrame::NewLabelPrompt(m_pMainFrame.get()));
    m_pMainFrame->SetSysOptionsDialog([frame = m_pMainFrame.get()](CGlobalSettings& settings, QWidget* parent) {
        auto dialog = std::make_unique<CSysOptionsDlg>(settings, parent);
        // The canvases draw from their back buffers: a new surround colour needs a
        // fresh frame in every label window, not only a repaint.
        connect(dialog.get(), &QDialog::accepted, frame, [frame] {
            for (LabelDocumentWindow* window : frame->LabelWindows())
                if (auto* child = qobject_cast<CChildFrame*>(window))
                    child->View().Redraw();
        });
        return dialog;
    });
    connect(m_pMainFrame.get(), &CMainFrame::labelFileOpened, this, [this](const QString& path, bool asNew) {
        m_recentFiles.Add(path, asNew);
        RefreshRecentFileActions();
    });
    // Exit ends the program: the print previews, windows of their own, go with the frame.
    connect(m_pMainFrame.get(), &CMainFrame::closed, this, [this] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != m_pMainFrame.get() && window->isVisible())
                window->close();
    });
    RefreshRecentFileActions();
    m_pMainFrame->RestoreLayout();
    ShowWindowMaximized(m_pMainFrame.get());

    if (m_pChecker) {
        connect(m_pChecker.get(), &CInstanceChecker::fileHandedOver, this, &CVellumcraftApp::OpenHandedOverFile);
        m_pChecker->TrackFirstInstanceRunning();
    }

    if (!file.isEmpty())
        m_bFileOpened = m_pMainFrame->OpenLabelFile(file) != nullptr;
    else
        PerformStartAction();
    return true;
}

int CVellumcraftApp::ExitInstance()
{
    m_pMainFrame.reset();
    CDLBase::SetNotifier(nullptr);
    m_pLoaderNotifier.reset();
    ImageHolder::SetNotifier(nullptr);
    m_pPictureNotifier.reset();
    InstallDbWaiter(nullptr);
    m_pDbWaiter.reset();
    if (m_pSourceApprover)
        InstallSourceApprover(m_pOuterApprover);
    m_pSourceApprover.reset();
    CGlobalSettings::DestroyInstance();
    m_pChecker.reset();
    return 0;
}

void CVellumcraftApp::PerformStartAction()
{
    CGlobalSettings* settings = CGlobalSettings::GetInstance();
    switch (settings->m_nAppStartBehavior) {
    case 1:
        m_pMainFrame->OnFileNew();
        break;
    case 2:
        m_pMainFrame->OnFileOpen();
        break;
    case 3:
        m_pMainFrame->OpenAsNewLabel(settings->m_strNewLabelBasedFile);
        break;
    default:
        break;
    }
}

void CVellumcraftApp::OnOpenRecentFile(int id)
{
    const int index = id - kFirstRecentFile;
    const QString path = m_recentFiles.Path(index);
    if (QFileInfo(path).isFile()) {
        // A template used for a new label makes a new label again: it is never
        // opened for editing (and saving over it) from here.
        if (m_recentFiles.OpensAsNew(index))
            m_pMainFrame->OpenAsNewLabel(path);
        else
            m_pMainFrame->ShowLabelFile(path);
    } else {
        m_recentFiles.Remove(index);
        RefreshRecentFileActions();
    }
}

void CVellumcraftApp::RefreshRecentFileActions()
{
    for (int i = 0; i < RecentFileList::kSize; ++i) {
        QAction* action = m_pMainFrame->Commands().Action(kFirstRecentFile + i);
        const QString path = m_recentFiles.Path(i);
        // An ampersand of the path is shown, not taken for the entry's access key.
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(VisibleText(path).replace(u'&', QStringLiteral("&&"))));
        action->setVisible(!path.isEmpty());
    }
}

void CVellumcraftApp::OpenHandedOverFile(const QString& path)
{
    m_pMainFrame->BringToFront();
    if (!path.isEmpty())
        m_pMainFrame->ShowLabelFile(path);
}
