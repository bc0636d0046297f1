#pragma once

#include "platform/script/ScriptValue.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ScriptRuntime;

// Errors of our own, for a call the host's limits stopped (the language has none):
// reported with the line and column where the script was stopped.
constexpr int kScriptStepsExceeded = 9000;
constexpr int kScriptTimeExceeded = 9001;

// An error the engine reports to its host: compile errors while parsing, run-time
// errors that no "On Error Resume Next" handled.
struct ScriptError
{
    int number = 0;
    QString description;
    QString source; // "Microsoft VBScript compilation error" or "... runtime error"
    int line = 0;   // 1-based within the text it is in
    int column = 0; // 1-based
    // When the line and column are in a text the script itself gave to Eval, Execute or
    // ExecuteGlobal: the calls that led to that text, the first one in the host's text.
    ScriptTextCalls calls;
};

// A place in a script text as the engine reports it and the script editor numbers it:
// "\r\n", "\n" and a lone "\r" each end a line; lines and columns count from 1.
struct ScriptPosition
{
    int line = 1;
    int column = 1;
};
// The place just after the text's last character.
ScriptPosition ScriptTextEnd(QStringView text);

// What the script's MsgBox and InputBox ask of the host.
struct ScriptUi
{
    // Returns the button pressed (vbOK = 1 ...).
    std::function<int(const QString& prompt, int buttons, const QString& title)> msgBox;
    // Returns the text typed, or nothing when cancelled.
    std::function<std::optional<QString>(const QString& prompt, const QString& title, const QString& defaultText)> inputBox;
};

// A VBScript engine: the host adds its named objects, parses the module once (which runs
// its module-level code) and then calls procedures by name as often as it likes.
class ScriptEngine
{
public:
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    void SetErrorHandler(std::function<void(const ScriptError&)> handler);
    void SetUi(ScriptUi ui);
    // Stops a script after this many statements (0: no limit), for untrusted input.
    void SetStepLimit(uint64_t steps);
    // Stops a call of the host (Parse or Call) that runs longer than this (0: no limit).
    void SetTimeLimit(int64_t milliseconds);
    // The heap the script may hold across all its calls (0: no limit); past it the
    // script gets error 7, "Out of memory", and the host goes on.
    void SetMemoryLimit(uint64_t bytes);
    // Asked every few thousand statements; true stops the running call at once, with
    // no error reported (the host cancelled it). It may be called from the script's
    // thread only, but may read a flag set by any thread.
    void SetInterruptCheck(std::function<bool()> check);

    // A global name for a host object. With globalMembers its members are global names
    // too, as "Count" for "Objects.Count".
    void AddNamedItem(const QString& name, ScriptObjectPtr object, bool globalMembers);

    // Compiles the text into the module and runs its module-level statements. False on
    // a compile error (nothing of the text is kept) or a run-time error.
    bool Parse(const QString& text);
    bool HasProcedure(const QString& name) const;
    // Calls a module-level Sub or Function; false when it does not exist or failed.
    bool Call(const QString& name, std::vector<ScriptValue> args = {}, ScriptValue* result = nullptr);

private:
    std::unique_ptr<ScriptRuntime> m_runtime;
};
