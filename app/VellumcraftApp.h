#pragma once

#include "app/Commands.h"

#include <QDialog>
#include <QObject>
#include <QStringList>
#include <memory>

class CInstanceChecker;
class CLoaderNotifier;
class CPictureNotifier;
class DbWaiter;
class CSourceApprover;
class CMainFrame;

// The four most recently opened label files, newest first, kept in the settings.
class RecentFileList
{
public:
    static constexpr int kSize = 4;

    void Load();
    // asNew: the file was used as the model of a new label (a template), and opens so
    // again from the list; opening the file itself makes it a plain entry.
    void Add(const QString& path, bool asNew = false);
    void Remove(int index);
    QString Path(int index) const { return m_paths.value(index); }
    bool OpensAsNew(int index) const { return m_asNew.value(index); }
    const QStringList& Paths() const { return m_paths; }

private:
    void Save() const;
    QStringList m_paths;
    QList<bool> m_asNew;
};

// The about box.
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// Brings the program up (single instance, splash, settings, screen resolution,
// main window, the file of the command line or the start-up action) and down, and
// takes the recent-file, exit and about commands.
class CVellumcraftApp : public QObject, public CommandTarget
{
    Q_OBJECT
public:
    struct Options
    {
        QString file;       // the label file named on the command line
        QString screenshot; // save the main window there once it shows, then quit
        bool splash = true;
        QString instanceFolder; // where the single-instance lock and socket live; empty: the runtime folder
    };
    // Exits with usage text on a bad command line, as QCommandLineParser does.
    static Options ParseCommandLine(const QStringList& arguments);

    CVellumcraftApp();
    ~CVellumcraftApp() override;

    // False when the program is to end at once: another instance runs (it was handed
    // the file), the start-up password was not given, or the window cannot be made.
    // A screenshot run answers every message on stderr and opens no dialog, so that
    // it always reaches its picture.
    bool InitInstance(const Options& options);
    int ExitInstance();

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    // False when the file named on the command line did not open.
    bool CommandLineFileOpened() const { return m_bFileOpened; }
    RecentFileList& RecentFiles() { return m_recentFiles; }

    void PerformStartAction();
    void OnOpenRecentFile(int id);

private:
    void RefreshRecentFileActions();
    void OpenHandedOverFile(const QString& path);

    std::unique_ptr<CInstanceChecker> m_pChecker;
    std::unique_ptr<CLoaderNotifier> m_pLoaderNotifier;
    std::unique_ptr<CPictureNotifier> m_pPictureNotifier;
    std::unique_ptr<DbWaiter> m_pDbWaiter;
    std::unique_ptr<CSourceApprover> m_pSourceApprover;
    CSourceApprover* m_pOuterApprover = nullptr; // put back when the program ends
    std::unique_ptr<CMainFrame> m_pMainFrame;
    RecentFileList m_recentFiles;
    bool m_bFileOpened = true;
};
