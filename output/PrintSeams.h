#pragma once

#include <QString>
#include <memory>
#include <vector>

class CLabelData;
class CSDGraph;

// What the print job needs from the world outside it, each behind an interface so
// that the job never opens a window: the application wires the dialog and the script
// engine, tests answer with fakes.

// One item of the label's screen-data form and the value typed for it.
class CWindowDataInputTag
{
public:
    explicit CWindowDataInputTag(const CSDGraph* item) : m_pItem(item) {}
    virtual ~CWindowDataInputTag() = default;

    const CSDGraph* m_pItem; // the form's item, not owned; its name is the field name
    QString m_strValue;      // empty until something is typed
};

using WindowDataTags = std::vector<std::unique_ptr<CWindowDataInputTag>>;

// Asks for the window data of one label, modally. Whatever it writes into the tags'
// values feeds that label; a prompt that is cancelled leaves the previous values.
class IWindowDataPrompt
{
public:
    virtual ~IWindowDataPrompt() = default;
    // caption, width and height are the form's, in pixels. The result is not used.
    virtual bool Prompt(const QString& caption, int width, int height, WindowDataTags& tags) = 0;
};

// The module of a job's scripts: the label's texts, each between the lines the job
// wraps around it, and where each text stands in it, so that an error is reported at
// the line and column of the text the user wrote, as the script editor numbers them.
struct ScriptModuleText
{
    struct Piece
    {
        int script = 0;    // index into the label's scripts
        int firstLine = 0; // the module's line of the text's first line
        int lines = 0;     // the text's lines
        int endColumn = 0; // the column after its last character
    };
    // A place in one of the label's texts; script is -1 for none.
    struct Place
    {
        int script = -1;
        int line = 0;
        int column = 0;
    };

    QString text;
    std::vector<Piece> pieces;

    // Adds one of the label's texts with what the job wraps around it.
    void Append(int script, const QString& scriptText, const QString& before, const QString& after);
    // The place of a module's line and column in the label's texts. A line the job
    // added after a text (an End Sub a block the text left open runs into) is the end
    // of that text.
    Place Locate(int line, int column) const;
};

// The engine that runs the label's event scripts. The job builds the module text
// and decides which procedures to call and when; the engine only runs them.
class IScriptEngine
{
public:
    virtual ~IScriptEngine() = default;
    // Starts the engine over the label (the objects the scripts see) and parses the
    // module. An engine that fails to start or parse leaves later calls without effect.
    virtual void Load(CLabelData& label, const ScriptModuleText& module) = 0;
    // Runs a Sub of the module without arguments; errors are the engine's to report.
    virtual void CallProcedure(const QString& name) = 0;
    // Stops the running procedure soon and every later call of this run; safe from any
    // thread.
    virtual void Cancel() {}
    // A run of the job (one print of the dialog) is over: its cancel or stop does not
    // reach the next run.
    virtual void EndRun() {}
    // True once the user chose, in a script's box, to stop the whole job.
    virtual bool StopsJob() const { return false; }
};

// No scripts: the job still decides what to call, nothing runs.
class CNullScriptEngine : public IScriptEngine
{
public:
    void Load(CLabelData&, const ScriptModuleText&) override {}
    void CallProcedure(const QString&) override {}
};
