#pragma once

// The engine's inside, shared by the interpreter and the built-in library.

#include "platform/script/ScriptEngine.h"
#include "platform/script/ScriptSyntax.h"

#include <QHash>
#include <span>

class ScriptRuntime;
class ClassInstance;

// Aborts the script outright (step limit, or the host's interrupt check): no "On
// Error Resume Next" catches it.
struct ScriptAbort
{
    bool interrupted = false; // the host asked for it: nothing is reported
};

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
bool FindBuiltinConstant(const QString& name, ScriptValue& out);

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
    std::function<bool()> interrupt;
    std::shared_ptr<ErrObject> err;
    float rndLast = 0.0f;
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

private:
    friend class ClassInstance;
    enum class Flow { Normal, ExitDo, ExitFor, ExitProc };
    struct Scope;

    // Compiling.
    void Declare(ScriptModule& module, const Frame* at = nullptr);
    Scope ScopeOf(const Frame* f) const;
    void CollectGlobals(const StmtList& list);
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
    void ExecDim(const Stmt& s, Frame& f);
    void Assign(const Expr& target, ScriptValue value, bool isSet, Frame& f);
    ScriptValue Eval(const Expr& e, Frame& f);
    ScriptValue EvalCall(const Expr& e, Frame& f);
    ScriptValue EvalIdent(const Expr& e, Frame& f);
    ScriptValue CallMember(const ScriptValue& obj, const QString& name, std::span<ScriptValue> args);
    ScriptValue Index(const ScriptValue& v, std::span<ScriptValue> args);
    bool Condition(const Expr& e, Frame& f);
    // The variable an identifier names, or null when it names none.
    ScriptValue* Variable(const Expr& e, Frame& f);
    ScriptValue* DynamicVariable(const Expr& e, Frame& f, ScriptObjectPtr* member);
    std::vector<ScriptValue> EvalArgs(const std::vector<ExprPtr>& args, Frame& f);
    ScriptValue CallBoundProcedure(Procedure* p, ClassInstance* me, const std::vector<ExprPtr>& args, Frame& f);
    void Report(const ScriptException& e, bool compile);
    // Runs a host call with a fresh step budget; errors go to the host's handler.
    template <typename F>
    bool Guarded(F&& run);
    void Step();

    std::vector<std::unique_ptr<ScriptModule>> m_modules;
    std::vector<ExprPtr> m_evalExprs;
    std::vector<std::unique_ptr<ScriptValue>> m_globals;
    QHash<QString, int> m_globalIndex; // lower-case name
    QHash<QString, Procedure*> m_procedures;
    QHash<QString, ClassDef*> m_classes;
    std::vector<ScriptObjectPtr> m_globalMembers;
    Frame* m_frame = nullptr; // the innermost running frame
    uint64_t m_steps = 0;
    uint32_t m_polls = 0;
    int m_depth = 0;
};

// An instance of a script class.
class ClassInstance : public ScriptObject
{
public:
    ClassInstance(ScriptRuntime& rt, ClassDef& def);
    QString TypeName() const override { return def.name; }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override;
    bool HasMember(const QString& name) const override;

    ScriptRuntime& rt;
    ClassDef& def;
    std::vector<ScriptValue> fields;
};
