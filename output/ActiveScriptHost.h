#pragma once

#include "output/PrintSeams.h"
#include "platform/script/ScriptEngine.h"

#include <QString>
#include <atomic>
#include <memory>
#include <optional>

class SApplication;
class SFormat;

// MsgBox flag of the boxes that must come to the front (script errors).
constexpr int kMsgBoxSetForeground = 0x10000;

// The user's answer to a box that offers to stop the job: go on, go on without
// showing any more script boxes for this job, or stop the job.
enum class ScriptJobChoice { Continue, ContinueQuietly, Stop };

// What label scripts ask of the user: their message boxes and input boxes, and the
// host's error reports. The application answers through its services, tests through
// a fake.
class IScriptUi
{
public:
    virtual ~IScriptUi() = default;
    // buttons in the language's codes (vbYesNo + vbQuestion ...); returns the button
    // pressed (vbOK 1, vbCancel 2, vbYes 6 ...). An empty title is the program's name.
    virtual int MsgBox(const QString& prompt, int buttons, const QString& title) = 0;
    // The text typed, nothing when cancelled.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    // A script error of a job, as FormatError writes it, in a box that offers to stop
    // the job. By default a plain box, and the job goes on.
    virtual ScriptJobChoice ScriptErrorBox(const QString& text)
    {
        MsgBox(text, kMsgBoxSetForeground, QString());
        return ScriptJobChoice::Continue;
    }
    // The user cancelled a script's box during a job: whether to stop it.
    virtual ScriptJobChoice AskStopJob(const QString& text)
    {
        (void)text;
        return ScriptJobChoice::Continue;
    }
};

// Asked by a script's QuitApp once the job that ran it is over: the main window
// closes the normal way, so unsaved documents still get their save prompt.
class IQuitRequest
{
public:
    virtual ~IQuitRequest() = default;
    virtual void RequestQuit() = 0;
};

// The scripting host over our VBScript interpreter: starts the engine with the host
// object "ScriptHost", adds named items whose members are global names (looked up
// in the order they were added, after the script's own globals), parses the module
// and calls its procedures. Each error is shown once, in one message box with the
// interpreter's number, text, line and column; a run-time error ends the running
// procedure and the job goes on. A procedure that runs past the step or time limit,
// or is cancelled, stops, and no procedure runs after it in that run: a job never
// hangs on a script, and its next run (the print dialog prints again) starts afresh. The error box, and a script's box the user cancels, offer to stop the job
// or to show no more of the scripts' boxes in it, so that no job floods the user.
class CActiveScriptHost : public IScriptEngine
{
public:
    // Statements one call may run.
    static constexpr uint64_t kStepLimit = 20'000'000;
    // How long one call may run.
    static constexpr int64_t kTimeLimitMs = 10'000;
    // The heap the scripts of one job may hold.
    static constexpr uint64_t kMemoryLimit = uint64_t(512) << 20;

    explicit CActiveScriptHost(IScriptUi* ui);
    ~CActiveScriptHost() override;
    CActiveScriptHost(const CActiveScriptHost&) = delete;
    CActiveScriptHost& operator=(const CActiveScriptHost&) = delete;

    // Releases an engine already held and starts a new one with "ScriptHost".
    void StartEngine();
    void AddNamedItem(ScriptObjectPtr item, const QString& name);
    // Parses the module; its errors are reported in the label's texts.
    bool ParseText(const ScriptModuleText& module);
    // False without an engine, after the scripts were stopped, or when the procedure
    // does not exist or failed.
    bool CallProcedureChecked(const QString& name);
    void CallProcedure(const QString& name) override { CallProcedureChecked(name); }
    void Cancel() override { m_bCancelled = true; }
    void EndRun() override;
    bool StopsJob() const override { return m_bStopJob; }
    void SetStepLimit(uint64_t steps) { m_nStepLimit = steps; }
    void SetTimeLimit(int64_t milliseconds) { m_nTimeLimitMs = milliseconds; }
    void SetMemoryLimit(uint64_t bytes) { m_nMemoryLimit = bytes; }

    // The text of the error box; textName is the script editor's name of the label's
    // text the line and column are in (or, for a text the script compiled itself, the
    // first of its calls), empty when they are in no such text.
    static QString FormatError(const ScriptError& error, const QString& textName = QString());
    // Raises the language's 429, as CreateObject does: there are no components to
    // create on this system.
    [[noreturn]] static void CreateObject(const QString& progId);

protected:
    // The dispatch of "ScriptHost".
    virtual ScriptObjectPtr HostObject() = 0;
    // A box of the scripts (MsgBox, Display, ShowMsg): none once the user asked for
    // quiet, and a cancel offers to stop the job. Returns the button pressed.
    int ShowText(const QString& text, int buttons = 0, const QString& title = QString());
    // Releases the engine; subclasses call it first in their destructor, so that no
    // script code outlives the objects it reaches.
    void CloseEngine();

    IScriptUi* m_pUi;

private:
    void ApplyChoice(ScriptJobChoice choice);
    void ReportError(const ScriptError& error);

    std::unique_ptr<ScriptEngine> m_pEngine;
    ScriptModuleText m_module;
    uint64_t m_nStepLimit = kStepLimit;
    int64_t m_nTimeLimitMs = kTimeLimitMs;
    uint64_t m_nMemoryLimit = kMemoryLimit;
    std::atomic<bool> m_bCancelled = false;
    bool m_bStopped = false; // a call ran away or was cancelled
    bool m_bRanAway = false;
    bool m_bQuiet = false;   // the user wants no more script boxes in this job
    bool m_bStopJob = false; // the user chose to stop the job
};

// The host of one print or preview job, with the objects the scripts see:
// "ScriptHost" (this host: Value, Version, Display, ShowMsg, GetMsg, CreateActiveX,
// QuitApp), "Application", "Format" and "Objects".
class CHost_Proxy : public CActiveScriptHost
{
public:
    CHost_Proxy(IScriptUi* ui, IQuitRequest* quit);
    ~CHost_Proxy() override;

    // Starts the engine over the label, adds the named items and parses the module.
    void Load(CLabelData& label, const ScriptModuleText& module) override;

    bool QuitRequested() const { return m_bQuitRequested; }

    CLabelData* m_pLabelData = nullptr;
    QString m_strMsg = QStringLiteral("msg");
    QString m_strValue = QStringLiteral("val");
    QString m_strVersion = QStringLiteral("script version 1.0");

protected:
    ScriptObjectPtr HostObject() override;

private:
    friend class SScriptHost;

    IQuitRequest* m_pQuit;
    bool m_bQuitRequested = false;
    std::shared_ptr<SApplication> m_pApplication;
    std::shared_ptr<SFormat> m_pFormat;
    ScriptObjectPtr m_pDispatch;
};

// The engine a print, preview or export job of the program uses: our host, whose
// dialogs and quit request go to the given callbacks (not owned; they outlive the
// job).
std::unique_ptr<IScriptEngine> CreateLabelScriptEngine(IScriptUi* ui, IQuitRequest* quit);
