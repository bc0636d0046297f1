#pragma once

#include "output/ActiveScriptHost.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;

// The scripts' dialogs as the program shows them: message boxes through the
// services, input boxes in CScriptInputDlg run through the services. They stand over
// parent, or over mainWindow while parent is not on screen (a job's scripts run before
// its dialog or preview shows), centred as the program's other messages are.
class CServicesScriptUi : public IScriptUi
{
public:
    explicit CServicesScriptUi(QWidget* parent, QWidget* mainWindow = nullptr)
        : m_pParent(parent), m_pMainWindow(mainWindow)
    {
    }
    int MsgBox(const QString& prompt, int buttons, const QString& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    ScriptJobChoice ScriptErrorBox(const QString& text) override;
    ScriptJobChoice AskStopJob(const QString& text) override;

private:
    QWidget* DialogParent() const;

    QPointer<QWidget> m_pParent;
    QPointer<QWidget> m_pMainWindow;
};

// The input box of a script: its prompt, an edit holding the default text, OK and
// Cancel.
class CScriptInputDlg : public QDialog
{
    Q_OBJECT
public:
    CScriptInputDlg(QWidget* parent, const QString& prompt, const QString& title, const QString& defaultText);
    // What the edit holds; the default itself while it shows the default untouched.
    QString Text() const;

private:
    QLabel* m_pPrompt;
    QLineEdit* m_pEdit;
    QString m_strDefault;
};

// A script error, or a script's box the user cancelled, during a job: the text, a
// check box to show no more script boxes in this job, and the buttons to go on or
// to stop the job.
class CScriptStopDlg : public QDialog
{
    Q_OBJECT
public:
    CScriptStopDlg(QWidget* parent, const QString& text, bool error);
    ScriptJobChoice Choice() const;

private:
    QCheckBox* m_pQuiet;
    bool m_bStop = false;
};

// QuitApp's request as the program honours it: the main window is closed the normal
// way (save prompts included) from the event loop, after the job returned.
class CCloseWindowQuit : public IQuitRequest
{
public:
    explicit CCloseWindowQuit(QWidget* mainWindow) : m_pWindow(mainWindow) {}
    void RequestQuit() override;

private:
    QPointer<QWidget> m_pWindow;
};

// The script engine for the print dialog, the preview and export of the program:
// dialogs parented to dialogParent, QuitApp closing mainWindow.
std::unique_ptr<IScriptEngine> CreateProgramScriptEngine(QWidget* dialogParent, QWidget* mainWindow);
