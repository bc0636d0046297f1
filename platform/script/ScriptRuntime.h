#pragma once

// The engine's inside, shared by the interpreter and the built-in library.

#include "platform/script/ScriptEngine.h"
#include "platform/script/ScriptSyntax.h"

#include <QHash>
#include <QSet>
#include <span>
#include <unordered_set>

class ScriptRuntime;
class ClassInstance;
struct InstanceRegistry;

// Aborts the script outright (step limit, or the host's interrupt check): no "On
// Error Resume Next" catches it.
struct ScriptAbort
{
    bool interrupted = false; // the host asked for it: nothing is reported
    int number = 0;           // kScriptStepsExceeded or kScriptTimeExceeded
    int line = 0;
    int column = 0;
    ScriptTextCalls calls;
};

// The source of a compile error, for the host and for Err.Source.
QString CompileErrorSource();

// The Err object.
class ErrObject : public ScriptObject
{
public:
    QString TypeName() const override { return QStringLiteral("ErrObject"); }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;
    bool HasMember(const QString& name) const override;
    void Set(const ScriptException& e);
    void Clear();
    int number = 0;
    QString description;
    QString source;
    QString helpFile;
    int32_t helpContext = 0;
};

// The built-in library: functions and constants, bound by name at compile time.
struct BuiltinFunction
{
    const char* name;
    int minArgs;
    int maxArgs;
    ScriptValue (*fn)(ScriptRuntime& rt, std::span<ScriptValue> args);
};
int FindBuiltin(const QString& name); // -1 when none
const BuiltinFunction& GetBuiltin(int index);
// CInt and the like, which give a value of a type and nothing else: as a statement, 458
// once the conversion has succeeded.
bool IsConversionBuiltin(int index);
// Randomize, which gives no value: in an expression, 13.
bool IsSubBuiltin(int index);
bool FindBuiltinConstant(const QString& name, ScriptValue& out);
// A new object of the language's own RegExp class.
ScriptObjectPtr NewRegExp();

struct Frame
{
    Procedure* proc = nullptr; // null for module-level code
    ClassInstance* me = nullptr;
    ScriptValue** slots = nullptr;
    bool resumeNext = false;
    std::vector<ScriptValue> with; // the subjects of the enclosing With blocks
};

class ScriptRuntime
{
public:
    ScriptRuntime();
    ~ScriptRuntime();

    std::function<void(const ScriptError&)> onError;
    ScriptUi ui;
    uint64_t stepLimit = 0;
    int64_t timeLimitMs = 0;
    uint64_t memoryLimit = 0;
    std::function<bool()> interrupt;
    std::shared_ptr<ErrObject> err;
    uint32_t rndSeed = 0x50000;

    void AddNamedItem(const QString& name, ScriptObjectPtr object, bool globalMembers);
    bool Parse(const QString& text);
    bool Call(const QString& name, std::vector<ScriptValue> args, ScriptValue* result);
    Procedure* FindProcedure(const QString& name) const;

    // Eval, Execute and ExecuteGlobal: module scope.
    // Eval and Execute see the locals of the running procedure; ExecuteGlobal does not.
    ScriptValue Eval(const QString& text);
    void Execute(const QString& text, bool global);
    ScriptValue CallProcedure(Procedure* p, ClassInstance* me, std::span<ScriptValue*> args);
    ScriptValue NewInstance(const QString& className);
    // GetRef: an object whose default member calls the module-level procedure.
    ScriptValue ProcedureRef(const QString& name);

    // The memory budget: raises 7 when what the script holds, plus bytes about to be
    // allocated, passes the limit.
    void CheckMemory(uint64_t bytes);
    // Every native recursion (procedure calls, Eval, Execute) counts against one
    // budget, what the thread's stack holds; past it, error 28.
    struct Nesting
    {
        explicit Nesting(ScriptRuntime& rt);
        ~Nesting() { --m_rt.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        ScriptRuntime& m_rt;
    };

private:
    friend class ClassInstance;
    enum class Flow { Normal, ExitDo, ExitFor, ExitProc };
    struct Scope;

    // Compiling.
    void Declare(ScriptModule& module, const Frame* at = nullptr);
    Scope ScopeOf(const Frame* f) const;
    void CollectGlobals(const StmtList& list);
    template <typename F>
    void ForEachConstant(const StmtList& list, F&& f);
    void ResolveProcedure(Procedure& p, bool optionExplicit);
    void ResolveBlock(StmtList& list, Scope& scope);
    void ResolveStmt(Stmt& s, Scope& scope);
    void ResolveExpr(Expr* e, Scope& scope);
    void ResolveName(Expr& e, Scope& scope);
    int AddGlobal(const QString& name);
    int GlobalIndex(const QString& name) const;

    // Running.
    void RunModule(ScriptModule& module);
    Flow ExecBlock(const StmtList& list, Frame& f);
    Flow Exec(const Stmt& s, Frame& f);
    Flow ExecInner(const Stmt& s, Frame& f);
    Flow ExecFor(const Stmt& s, Frame& f);
    Flow ExecForEach(const Stmt& s, Frame& f);
    Flow ExecDo(const Stmt& s, Frame& f);
    // Under On Error Resume Next an error in a block's header resumes inside the
    // block: true when the header failed so (the error is in Err).
    template <typename F>
    bool HeaderFails(Frame& f, F&& header);
    Flow BodyOnce(const Stmt& s, Frame& f, Flow exit);
    // The same for a For or For Each: its Next then finds no loop and raises nextError
    // (92, or 451 for For Each), unless Exit For left the body.
    Flow ForBodyOnce(const Stmt& s, Frame& f, int nextError);
    void ExecDim(const Stmt& s, Frame& f);
    void CallStatement(const Expr& target, Frame& f);
    void Assign(const Expr& target, ScriptValue value, bool isSet, Frame& f);
    ScriptValue Eval(const Expr& e, Frame& f);
    ScriptValue EvalCall(const Expr& e, Frame& f);
    ScriptValue EvalIdent(const Expr& e, Frame& f);
    ScriptValue CallMember(const ScriptValue& obj, const QString& name, std::span<ScriptValue> args);
    ScriptValue Index(const ScriptValue& v, std::span<ScriptValue> args);
    bool Condition(const Expr& e, Frame& f);
    // The variable an identifier names, or null when it names none.
    ScriptValue* Variable(const Expr& e, Frame& f);
    // The array element an index expression names ("x(1)(2)"), or the variable a name
    // names; null for anything else.
    ScriptValue* Element(const Expr& e, Frame& f);
    ScriptValue* DynamicVariable(const Expr& e, Frame& f, ScriptObjectPtr* member);
    std::vector<ScriptValue> EvalArgs(const std::vector<ExprPtr>& args, Frame& f);
    ScriptValue CallBoundProcedure(Procedure* p, ClassInstance* me, const std::vector<ExprPtr>& args, Frame& f);
    void Report(const ScriptException& e, bool compile);
    // Runs a host call with a fresh step budget; errors go to the host's handler.
    template <typename F>
    bool Guarded(F&& run);
    void Step(const Stmt& at);
    void Poll(const Stmt& at);
    std::shared_ptr<ScriptModule> CompileForExecute(const QString& text, bool global);
    // How the text the running statement gives to Eval, Execute or ExecuteGlobal came to be.
    ScriptTextCalls CallsOfText(ScriptTextCall::Kind kind) const;
    void CheckRedefinitions(const ScriptModule& module, const Frame* at) const;
    void RunTerminate(ClassInstance& instance);
    void ReleaseAll();
    void DropUnreachableModules();

    std::vector<std::shared_ptr<ScriptModule>> m_modules;
    size_t m_modulesChecked = 32;
    // Parses of Execute texts by scope and text: a loop running the same text parses
    // it once, and the texts no longer used are dropped (unless they declared
    // procedures or classes, which live on in m_modules).
    struct ExecuteCacheEntry
    {
        Procedure* scope;
        QString text;
        // Its calls are the module's: a text given by another statement is parsed again, so
        // that its errors name that one.
        std::shared_ptr<ScriptModule> module;
    };
    std::vector<ExecuteCacheEntry> m_executeCache;
    std::vector<std::unique_ptr<ScriptValue>> m_globals;
    QHash<QString, int> m_globalIndex; // lower-case name
    QSet<int> m_namedItems;            // globals that hold the host's named items
    QSet<int> m_constGlobals;          // globals the script declared with Const
    QHash<QString, Procedure*> m_procedures;
    QHash<QString, ClassDef*> m_classes;
    std::vector<ScriptObjectPtr> m_globalMembers;
    Frame* m_frame = nullptr; // the innermost running frame
    const ScriptModule* m_code = nullptr; // the module whose statements run now
    const Stmt* m_stmt = nullptr;         // the statement that runs now
    ScriptTextCalls CodeCalls() const { return m_code ? m_code->calls : ScriptTextCalls(); }
    uint64_t m_steps = 0;
    uint32_t m_polls = 0;
    int m_depth = 0;
    int m_running = 0;          // host calls in progress (nested ones included)
    int64_t m_callStarted = 0;  // the clock when the outermost call began (ms)
    int64_t m_memoryHeld = 0;   // heap the script kept from earlier calls
    int64_t m_heapAtCall = 0;   // heap in use when the outermost call began
    std::shared_ptr<InstanceRegistry> m_instances;
    friend struct InstanceRegistry;
};

// An instance of a script class.
// Instances live as long as something refers to them; when the last reference goes
// their Class_Terminate runs at the next safe point of the script (the end of the
// statement or call), or at once when no script runs.
class ClassInstance : public ScriptObject
{
public:
    ClassInstance(std::shared_ptr<InstanceRegistry> registry, std::shared_ptr<ScriptModule> module, ClassDef& def);
    QString TypeName() const override { return def.name; }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;
    bool HasMember(const QString& name) const override;
    // The Sub, Function or Property Get of that name the running code may call; null
    // for fields and members it may not reach.
    Procedure* Method(const QString& name) const;

    std::shared_ptr<InstanceRegistry> registry;
    std::shared_ptr<ScriptModule> module; // keeps def alive
    ClassDef& def;
    std::vector<ScriptValue> fields;
    bool terminated = false;
    uint64_t serial = 0; // the order instances were made in

private:
    bool Inside() const;
};

// The instances of one runtime, and those whose last reference went: released one
// at a time, so long chains of objects never recurse deeply.
struct InstanceRegistry
{
    ScriptRuntime* rt = nullptr; // null once the runtime is gone
    std::unordered_set<ClassInstance*> live;
    std::vector<ClassInstance*> released;
    uint64_t created = 0;
    bool draining = false;
    void Release(ClassInstance* p);
    void Drain();
};
