#include "platform/script/ScriptEngine.h"

#include "platform/script/ScriptRuntime.h"

#include <algorithm>
#include <chrono>
#include <malloc.h>
#include <pthread.h>

#if defined(__SANITIZE_ADDRESS__)
#define VC_SCRIPT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VC_SCRIPT_ASAN 1
#endif
#endif
#ifdef VC_SCRIPT_ASAN
// The sanitizer's allocator replaces malloc's statistics.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Nesting stops where the thread's stack would run out, less a reserve for the
// deepest work one level does between two checks (parsing an Execute text, a nested
// expression, a library call); instrumented builds use far bigger frames.
#ifdef VC_SCRIPT_ASAN
constexpr uintptr_t kStackReserve = 3u << 20;
#else
constexpr uintptr_t kStackReserve = 512u << 10;
#endif
constexpr int kMaxDepth = 1'000'000;
constexpr int kDepthWithoutStackSize = 1000;

// The lowest frame address recursion may reach on this thread; 0 when the stack
// cannot be measured.
uintptr_t StackFloor()
{
    thread_local const uintptr_t floor = [] {
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) != 0)
            return uintptr_t(0);
        void* low = nullptr;
        size_t size = 0;
        const bool known = pthread_attr_getstack(&attr, &low, &size) == 0;
        pthread_attr_destroy(&attr);
        if (!known)
            return uintptr_t(0);
        // A small stack keeps half of itself in reserve.
        return uintptr_t(low) + (size > 2 * kStackReserve ? kStackReserve : size / 2);
    }();
    return floor;
}

// Raises 28 when this thread's stack is down to its reserve: for the recursions over
// an expression's tree, whose depth the parser bounds but which may start deep in a
// script's own calls.
void RequireStack()
{
    const uintptr_t floor = StackFloor();
    if (floor && reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < floor)
        ThrowScriptError(28);
}

// Heap bytes in use by the whole process.
int64_t HeapInUse()
{
#ifdef VC_SCRIPT_ASAN
    return int64_t(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 m = mallinfo2();
    return int64_t(m.uordblks + m.hblkhd);
#endif
}

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The runtime whose script runs on this thread, for the allocation checks of values.
thread_local ScriptRuntime* t_running = nullptr;

// Allocations smaller than this are left to the periodic check.
constexpr uint64_t kLargeAllocation = 1u << 16;

QString Key(const QString& name)
{
    return name.toLower();
}

bool IsVariableBinding(const Binding& b)
{
    return b.kind == Binding::Local || b.kind == Binding::Global || b.kind == Binding::Field;
}

// Calls the statement's collector for every Dim/ReDim/Const name of a block, nested
// blocks included (a Dim inside an If still declares for the whole procedure).
template <typename F>
void ForEachDeclared(const StmtList& list, F&& f)
{
    for (const auto& s : list) {
        switch (s->kind) {
        case StmtKind::Dim:
        case StmtKind::ReDim:
        case StmtKind::Const:
            f(*s);
            for (const auto& more : s->body)
                f(*more);
            break;
        case StmtKind::If:
        case StmtKind::Select:
            for (const Branch& b : s->branches)
                ForEachDeclared(b.body, f);
            break;
        case StmtKind::For:
        case StmtKind::ForEach:
        case StmtKind::Do:
        case StmtKind::While:
        case StmtKind::With:
            ForEachDeclared(s->body, f);
            break;
        default:
            break;
        }
    }
}

constexpr int kNameRedefined = 1041;

[[noreturn]] void ThrowNameRedefined(int line, int column, const ScriptTextCalls& calls = {})
{
    ScriptException error(kNameRedefined, ScriptErrorText(kNameRedefined), line, column);
    error.source = CompileErrorSource();
    error.calls = calls;
    throw error;
}

// Makes a frame the current one (for Eval and Execute), or a module the one whose code
// runs (for the place of an error), while it runs.
template <typename T>
struct RunningGuard
{
    T*& current;
    T* saved;
    RunningGuard(T*& c, std::type_identity_t<T>* now) : current(c), saved(c) { current = now; }
    ~RunningGuard() { current = saved; }
};

// A text given to Eval, Execute or ExecuteGlobal that does not compile: whatever the
// parser expected, the script sees a syntax error from the compiler, as the language
// reports it there, but for a name declared twice, which is "Name redefined" there as
// at the top level (scripts that include a library once test for it). Limits (nesting
// too deep, out of memory) keep their own numbers.
[[noreturn]] void ThrowTextParseError(ScriptException& error, ScriptTextCalls calls)
{
    error.calls = std::move(calls);
    if (error.number == kNameRedefined) {
        error.source = CompileErrorSource();
        throw;
    }
    if (error.number >= 1000) {
        ScriptException syntax(1002, ScriptErrorText(1002), error.line, error.column);
        syntax.source = CompileErrorSource();
        syntax.calls = std::move(error.calls);
        throw syntax;
    }
    if (error.number == 501)
        error.source = CompileErrorSource();
    throw;
}

} // namespace

QString CompileErrorSource()
{
    return QStringLiteral("Microsoft VBScript compilation error");
}

void CheckScriptMemory()
{
    if (t_running)
        t_running->CheckMemory(0);
}

void NoteScriptAllocation(uint64_t bytes)
{
    if (t_running && bytes >= kLargeAllocation)
        t_running->CheckMemory(bytes);
}

ScriptRuntime::Nesting::Nesting(ScriptRuntime& rt) : m_rt(rt)
{
    const uintptr_t floor = StackFloor();
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (++rt.m_depth > (floor ? kMaxDepth : kDepthWithoutStackSize) || here < floor) {
        --rt.m_depth;
        ThrowScriptError(28);
    }
}

void ScriptRuntime::CheckMemory(uint64_t bytes)
{
    if (!memoryLimit || !m_running)
        return;
    const int64_t held = m_memoryHeld + (HeapInUse() - m_heapAtCall);
    if (held + int64_t(bytes) > int64_t(memoryLimit))
        ThrowScriptError(7);
}

// ---------------------------------------------------------------------------------------
// Err

bool ErrObject::HasMember(const QString& name) const
{
    static const char* const names[] = {"number", "description", "source", "clear", "raise", "helpfile", "helpcontext"};
    for (const char* n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    return name.isEmpty();
}

namespace {

// The number Err.Raise raises: an HRESULT of the language's own facility is its low
// word, a few system ones have numbers of their own; past 65535 is no error number.
int32_t RaisedNumber(int32_t n)
{
    if (n > 0xFFFF)
        ThrowScriptError(5);
    if (n >= 0)
        return n;
    const uint32_t code = uint32_t(n);
    if ((code & 0xFFFF0000u) == 0x800A0000u)
        return int32_t(code & 0xFFFF);
    static const struct
    {
        uint32_t hresult;
        int32_t number;
    } system[] = {
        {0x8007000Eu, 7},   {0x80070057u, 5},  {0x80004001u, 445}, {0x80004002u, 430},
        {0x80020005u, 13},  {0x8002000Au, 6},  {0x8002000Bu, 9},   {0x80020012u, 11},
    };
    for (const auto& s : system)
        if (s.hresult == code)
            return s.number;
    return n;
}

} // namespace

bool ErrObject::Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result)
{
    const auto is = [&](const char* n) { return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; };
    if (kind != InvokeKind::Get) {
        if (args.size() != 1)
            ThrowScriptError(450);
        if (is("number") || name.isEmpty())
            number = args[0].ToLong();
        else if (is("description"))
            description = args[0].ToString();
        else if (is("source"))
            source = args[0].ToString();
        else if (is("helpfile"))
            helpFile = args[0].ToString();
        else if (is("helpcontext"))
            helpContext = args[0].ToLong();
        else
            return false;
        return true;
    }
    if (name.isEmpty() || is("number")) {
        result = ScriptValue::Lng(number);
    } else if (is("description")) {
        result = ScriptValue::Str(description);
    } else if (is("source")) {
        result = ScriptValue::Str(source);
    } else if (is("helpfile")) {
        result = ScriptValue::Str(helpFile);
    } else if (is("helpcontext")) {
        result = ScriptValue::Lng(helpContext);
    } else if (is("clear")) {
        Clear();
    } else if (is("raise")) {
        if (args.empty() || args.size() > 5)
            ThrowScriptError(450);
        const int32_t n = RaisedNumber(args[0].ToLong());
        if (n == 0)
            ThrowScriptError(5);
        // What is left out comes from the Err object when it holds something, as
        // after an earlier error no one cleared; "Err.Raise n, , text" leaves the
        // source out.
        const auto given = [&](size_t i) {
            return i < args.size() && !args[i].IsEmpty() && args[i].Type() != VarType::Error;
        };
        ScriptException e(n, description.isEmpty() ? ScriptErrorText(n) : description);
        if (e.description.isEmpty())
            e.description = QStringLiteral("Unknown runtime error");
        e.source = given(1) ? args[1].ToString() : source;
        if (given(2) && !args[2].ToString().isEmpty())
            e.description = args[2].ToString();
        e.helpFile = given(3) ? args[3].ToString() : helpFile;
        e.helpContext = given(4) ? args[4].ToLong() : helpContext;
        throw e;
    } else {
        return false;
    }
    return true;
}

void ErrObject::Set(const ScriptException& e)
{
    number = e.number;
    description = e.description;
    source = e.source.isEmpty() ? QStringLiteral("Microsoft VBScript runtime error") : e.source;
    helpFile = e.helpFile;
    helpContext = e.helpContext;
}

void ErrObject::Clear()
{
    number = 0;
    description.clear();
    source.clear();
    helpFile.clear();
    helpContext = 0;
}

namespace {

// What GetRef returns: calling it, as "f(x)" or "Call f(x)", calls the procedure.
class ProcedureRefObject : public ScriptObject
{
public:
    ProcedureRefObject(std::shared_ptr<InstanceRegistry> registry, std::shared_ptr<ScriptModule> module, Procedure& p)
        : m_registry(std::move(registry)), m_module(std::move(module)), m_procedure(p)
    {
    }
    bool HasMember(const QString&) const override { return false; }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        ScriptRuntime* rt = m_registry->rt;
        if (!rt || !name.isEmpty() || kind != InvokeKind::Get)
            return false;
        std::vector<ScriptValue*> refs;
        refs.reserve(args.size());
        for (ScriptValue& a : args)
            refs.push_back(&a);
        result = rt->CallProcedure(&m_procedure, nullptr, refs);
        return true;
    }

private:
    std::shared_ptr<InstanceRegistry> m_registry;
    std::shared_ptr<ScriptModule> m_module; // keeps the procedure alive
    Procedure& m_procedure;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Class instances

ClassInstance::ClassInstance(std::shared_ptr<InstanceRegistry> instances, std::shared_ptr<ScriptModule> owner,
                             ClassDef& definition)
    : registry(std::move(instances)), module(std::move(owner)), def(definition)
{
    fields.resize(def.fields.size());
}

bool ClassInstance::HasMember(const QString& name) const
{
    return def.FieldIndex(name) >= 0 || def.Find(name, ProcKind::PropertyGet) || def.Find(name, ProcKind::PropertyLet)
           || def.Find(name, ProcKind::PropertySet);
}

bool ClassInstance::Inside() const
{
    // Private members answer only to code of the class itself.
    const ScriptRuntime* rt = registry->rt;
    return rt && rt->m_frame && rt->m_frame->me && &rt->m_frame->me->def == &def;
}

Procedure* ClassInstance::Method(const QString& name) const
{
    if (!registry->rt || def.FieldIndex(name) >= 0)
        return nullptr;
    Procedure* p = def.Find(name, ProcKind::PropertyGet);
    return p && (p->isPublic || Inside()) ? p : nullptr;
}

bool ClassInstance::Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result)
{
    ScriptRuntime* rt = registry->rt;
    if (!rt)
        return false;
    const bool inside = Inside();
    Procedure* p = nullptr;
    if (name.isEmpty()) {
        p = def.defaultMember;
        if (!p)
            return false;
        if (kind != InvokeKind::Get)
            p = def.Find(p->name, kind == InvokeKind::Set ? ProcKind::PropertySet : ProcKind::PropertyLet);
    } else {
        const int field = def.FieldIndex(name);
        if (field >= 0 && !def.fields[size_t(field)].isPublic && !inside)
            return false;
        if (field >= 0) {
            ScriptValue& v = fields[size_t(field)];
            // "x.Field(i)" on a field that holds an object is its default member.
            if (args.size() > (kind == InvokeKind::Get ? 0u : 1u) && v.IsObject() && v.RawObject()) {
                const ScriptObjectPtr held = v.RawObject();
                if (!held->Invoke(QString(), kind, args, result))
                    ThrowScriptError(438);
                return true;
            }
            if (kind == InvokeKind::Get) {
                if (!args.empty() && !v.IsArray())
                    ThrowScriptError(438);
                result = args.empty() ? v : *v.MutableArray().At(args);
                return true;
            }
            // A property assignment passes an object that has no value of its own;
            // a field takes no such object.
            if (kind == InvokeKind::Let && args.back().IsObject())
                ThrowScriptError(438);
            if (args.size() == 1) {
                v = args[0];
            } else {
                if (!v.IsArray())
                    ThrowScriptError(438);
                *v.MutableArray().At(args.first(args.size() - 1)) = args.back();
            }
            return true;
        }
        p = def.Find(name, kind == InvokeKind::Get ? ProcKind::PropertyGet : kind == InvokeKind::Set ? ProcKind::PropertySet : ProcKind::PropertyLet);
    }
    if (!p || (!p->isPublic && !inside))
        return false;
    std::vector<ScriptValue*> refs;
    refs.reserve(args.size());
    for (ScriptValue& a : args)
        refs.push_back(&a);
    result = rt->CallProcedure(p, this, refs);
    return true;
}

void InstanceRegistry::Release(ClassInstance* p)
{
    released.push_back(p);
    // While a script runs, the instance waits for the next safe point.
    if (!draining && !(rt && rt->m_running))
        Drain();
}

void InstanceRegistry::Drain()
{
    if (draining)
        return;
    draining = true;
    // Deleting one instance may release others: they join the list instead of
    // recursing, however long a chain of objects is.
    while (!released.empty()) {
        ClassInstance* p = released.back();
        released.pop_back();
        if (!p->terminated && rt && p->def.Find(QStringLiteral("Class_Terminate"), ProcKind::Sub)) {
            p->terminated = true;
            rt->RunTerminate(*p);
            continue;
        }
        live.erase(p);
        delete p;
    }
    draining = false;
}

// ---------------------------------------------------------------------------------------
// Compiling: binding names

struct ScriptRuntime::Scope
{
    Procedure* proc = nullptr;
    ClassDef* cls = nullptr;
    bool optionExplicit = false;
    QHash<QString, int> locals;
    QHash<QString, int> implicit; // undeclared names: a global, a host member or else a local
    bool frozen = false;          // code run inside a running procedure cannot add locals to it
};

ScriptRuntime::Scope ScriptRuntime::ScopeOf(const Frame* f) const
{
    Scope scope;
    if (f && f->proc) {
        scope.proc = f->proc;
        scope.cls = f->proc->owner;
        scope.frozen = true;
        // Declared locals bind as such; the implicit ones (names the procedure never
        // declared) are looked up when they run, as in the procedure itself.
        for (size_t i = 0; i < f->proc->slotNames.size(); ++i)
            (int(i) < f->proc->declaredSlots ? scope.locals : scope.implicit).insert(Key(f->proc->slotNames[i]), int(i));
    }
    return scope;
}

ScriptRuntime::ScriptRuntime() : err(std::make_shared<ErrObject>()), m_instances(std::make_shared<InstanceRegistry>())
{
    m_instances->rt = this;
    AddNamedItem(QStringLiteral("Err"), err, false);
}

ScriptRuntime::~ScriptRuntime()
{
    ReleaseAll();
}

// The end of the script: what the globals hold goes (each Class_Terminate runs as its
// last reference goes), then instances that only hold each other are broken apart.
void ScriptRuntime::ReleaseAll()
{
    m_steps = 0;
    m_callStarted = NowMs();
    // The host's named items stay while the last Class_Terminate runs.
    for (size_t i = 0; i < m_globals.size(); ++i)
        if (!m_namedItems.contains(int(i)))
            *m_globals[i] = ScriptValue();
    m_instances->Drain();
    for (int round = 0; round < 100 && !m_instances->live.empty(); ++round) {
        // Oldest first, so that the order of the last Class_Terminates is the same
        // on every run.
        std::vector<ClassInstance*> remaining(m_instances->live.begin(), m_instances->live.end());
        std::sort(remaining.begin(), remaining.end(), [](const ClassInstance* x, const ClassInstance* y) { return x->serial < y->serial; });
        std::vector<ScriptValue> held;
        for (ClassInstance* p : remaining)
            for (ScriptValue& v : p->fields)
                if (v.IsObject() || v.IsArray())
                    held.push_back(std::move(v));
        if (held.empty())
            break; // the rest are held by the host, and die with it
        held.clear();
        m_instances->Drain();
    }
    m_instances->rt = nullptr;
}

void ScriptRuntime::RunTerminate(ClassInstance& instance)
{
    // A new owner for the instance while its Class_Terminate runs: Me works, and when
    // this owner goes the instance is released again, for good.
    const std::shared_ptr<ClassInstance> self(&instance, [registry = m_instances](ClassInstance* p) { registry->Release(p); });
    if (m_running == 0) {
        // Released by the host between calls: a budget of its own.
        m_steps = 0;
        m_callStarted = NowMs();
        m_heapAtCall = memoryLimit ? HeapInUse() : 0;
    }
    ++m_running;
    try {
        CallProcedure(instance.def.Find(QStringLiteral("Class_Terminate"), ProcKind::Sub), &instance, {});
    } catch (const ScriptException&) {
        // The language reports nothing of an error in Class_Terminate.
    } catch (const ScriptAbort&) {
    } catch (const std::bad_alloc&) {
    }
    --m_running;
}

int ScriptRuntime::AddGlobal(const QString& name)
{
    const QString key = Key(name);
    const auto it = m_globalIndex.constFind(key);
    if (it != m_globalIndex.cend())
        return it.value();
    m_globals.push_back(std::make_unique<ScriptValue>());
    const int index = int(m_globals.size() - 1);
    m_globalIndex.insert(key, index);
    return index;
}

int ScriptRuntime::GlobalIndex(const QString& name) const
{
    return m_globalIndex.value(Key(name), -1);
}

void ScriptRuntime::AddNamedItem(const QString& name, ScriptObjectPtr object, bool globalMembers)
{
    const int index = AddGlobal(name);
    m_namedItems.insert(index);
    *m_globals[size_t(index)] = ScriptValue::Obj(object);
    if (globalMembers)
        m_globalMembers.push_back(std::move(object));
}

Procedure* ScriptRuntime::FindProcedure(const QString& name) const
{
    return m_procedures.value(Key(name), nullptr);
}

void ScriptRuntime::Declare(ScriptModule& module, const Frame* at)
{
    for (auto& p : module.procedures) {
        p->module = &module;
        m_procedures.insert(Key(p->name), p.get());
    }
    for (auto& c : module.classes) {
        for (auto& p : c->procedures)
            p->module = &module;
        m_classes.insert(Key(c->name), c.get());
    }
    CollectGlobals(module.statements);
    Scope scope = ScopeOf(at);
    scope.optionExplicit = module.optionExplicit;
    if (!scope.proc)
        ForEachDeclared(module.statements, [this](const Stmt& item) {
            const int global = GlobalIndex(item.target->name);
            if (item.kind == StmtKind::Const && !m_namedItems.contains(global))
                m_constGlobals.insert(global);
        });
    ResolveBlock(module.statements, scope);
    if (!scope.proc)
        ForEachConstant(module.statements, [&](const QString& name, const ScriptValue& value) {
            const int global = GlobalIndex(name);
            if (global >= 0 && !m_namedItems.contains(global))
                *m_globals[size_t(global)] = value;
        });
    for (auto& p : module.procedures)
        ResolveProcedure(*p, module.optionExplicit);
    for (auto& c : module.classes) {
        for (auto& p : c->procedures)
            ResolveProcedure(*p, module.optionExplicit);
        Scope fieldScope;
        for (auto& f : c->fields)
            for (auto& b : f.bounds)
                ResolveExpr(b.get(), fieldScope);
    }
}

namespace {

bool IsConstantExpr(const Expr& e)
{
    switch (e.kind) {
    case ExprKind::Literal:
        return true;
    case ExprKind::Ident:
        return e.bind.kind == Binding::Constant;
    case ExprKind::Paren:
    case ExprKind::Unary:
        return IsConstantExpr(*e.left);
    case ExprKind::Binary:
    case ExprKind::Compare:
        return IsConstantExpr(*e.left) && IsConstantExpr(*e.right);
    default:
        return false;
    }
}

} // namespace

void ScriptRuntime::CollectGlobals(const StmtList& list)
{
    ForEachDeclared(list, [this](const Stmt& item) { AddGlobal(item.target->name); });
}

void ScriptRuntime::ResolveProcedure(Procedure& p, bool optionExplicit)
{
    Scope scope;
    scope.proc = &p;
    scope.cls = p.owner;
    scope.optionExplicit = optionExplicit;
    p.slotNames.clear();
    const auto add = [&](const QString& name) {
        const QString key = Key(name);
        if (!scope.locals.contains(key)) {
            scope.locals.insert(key, int(p.slotNames.size()));
            p.slotNames.push_back(name);
        }
    };
    for (const Param& param : p.params)
        add(param.name);
    if (p.kind == ProcKind::Function || p.kind == ProcKind::PropertyGet) {
        add(p.name);
        p.resultSlot = scope.locals.value(Key(p.name));
    }
    // ReDim declares a local only when no variable of that name is in reach: inside a
    // method it resizes the class's field, elsewhere a global array.
    std::vector<QString> redims;
    ForEachDeclared(p.body, [&](const Stmt& item) {
        if (item.kind == StmtKind::ReDim)
            redims.push_back(item.target->name);
        else
            add(item.target->name);
    });
    for (const QString& name : redims)
        if (!scope.locals.contains(Key(name)) && !(p.owner && p.owner->FieldIndex(name) >= 0) && GlobalIndex(name) < 0)
            add(name);
    p.declaredSlots = int(p.slotNames.size());
    ResolveBlock(p.body, scope);
    p.constants.clear();
    ForEachConstant(p.body, [&](const QString& name, const ScriptValue& value) {
        p.constants.emplace_back(scope.locals.value(Key(name)), value);
    });
}

// Constants are known before their line runs, even in a block that never runs: each
// Const whose value needs no variable is given to the callback.
template <typename F>
void ScriptRuntime::ForEachConstant(const StmtList& list, F&& f)
{
    ForEachDeclared(list, [&](const Stmt& item) {
        if (item.kind != StmtKind::Const || !IsConstantExpr(*item.value))
            return;
        Frame none;
        try {
            f(item.target->name, Eval(*item.value, none));
        } catch (const ScriptException&) {
            // Its line raises the error when it runs.
        }
    });
}

void ScriptRuntime::ResolveBlock(StmtList& list, Scope& scope)
{
    for (auto& s : list)
        ResolveStmt(*s, scope);
}

void ScriptRuntime::ResolveStmt(Stmt& s, Scope& scope)
{
    ResolveExpr(s.target.get(), scope);
    ResolveExpr(s.value.get(), scope);
    ResolveExpr(s.to.get(), scope);
    ResolveExpr(s.step.get(), scope);
    for (auto& b : s.bounds)
        ResolveExpr(b.get(), scope);
    for (Branch& b : s.branches) {
        for (auto& c : b.conditions)
            ResolveExpr(c.get(), scope);
        ResolveBlock(b.body, scope);
    }
    ResolveBlock(s.body, scope);
    // The script's constants refuse assignments from code compiled apart from their
    // own (procedures, executed texts) when the assignment runs.
    if ((s.kind == StmtKind::Assign || s.kind == StmtKind::Set || s.kind == StmtKind::For || s.kind == StmtKind::ForEach
         || s.kind == StmtKind::ReDim || s.kind == StmtKind::Erase)
        && s.target->kind == ExprKind::Ident && s.target->bind.kind == Binding::Global && m_constGlobals.contains(s.target->bind.index))
        s.target->bind = {Binding::Constant, -1};
    if (s.kind == StmtKind::Assign && s.target->kind == ExprKind::Ident && s.value->kind == ExprKind::Binary
        && s.value->op == ScriptOps::Op::Concat && s.value->left->kind == ExprKind::Ident
        && IsVariableBinding(s.target->bind) && s.value->left->bind.kind == s.target->bind.kind
        && s.value->left->bind.index == s.target->bind.index)
        s.append = true;
}

void ScriptRuntime::ResolveExpr(Expr* e, Scope& scope)
{
    if (!e)
        return;
    if (e->kind == ExprKind::Ident)
        ResolveName(*e, scope);
    RequireStack();
    ResolveExpr(e->left.get(), scope);
    ResolveExpr(e->right.get(), scope);
    for (auto& a : e->args)
        ResolveExpr(a.get(), scope);
}

void ScriptRuntime::ResolveName(Expr& e, Scope& scope)
{
    const QString key = Key(e.name);
    if (scope.proc) {
        const auto it = scope.locals.constFind(key);
        if (it != scope.locals.cend()) {
            e.bind = {Binding::Local, it.value()};
            return;
        }
    }
    if (scope.cls) {
        const int field = scope.cls->FieldIndex(e.name);
        if (field >= 0) {
            e.bind = {Binding::Field, field};
            return;
        }
        for (const auto& p : scope.cls->procedures) {
            if (p->name.compare(e.name, Qt::CaseInsensitive) == 0) {
                e.bind = {Binding::Method, -1};
                return;
            }
        }
    }
    const int global = GlobalIndex(e.name);
    if (global >= 0) {
        e.bind = {Binding::Global, global};
        return;
    }
    if (FindBuiltinConstant(e.name, e.value)) {
        e.bind = {Binding::Constant, -1};
        return;
    }
    const int builtin = FindBuiltin(e.name);
    if (builtin >= 0 && !m_procedures.contains(key)) {
        e.bind = {Binding::Builtin, builtin};
        return;
    }
    // Anything else is found when it runs: module code may create the global later,
    // ExecuteGlobal may redefine a procedure, a host object may answer to the name.
    e.key = key;
    if (scope.optionExplicit || m_procedures.contains(key)) {
        e.bind = {Binding::Dynamic, Binding::kMustExist};
    } else if (scope.proc && (!scope.frozen || scope.implicit.contains(key))) {
        auto it = scope.implicit.constFind(key);
        if (it == scope.implicit.cend()) {
            it = scope.implicit.insert(key, int(scope.proc->slotNames.size()));
            scope.proc->slotNames.push_back(e.name);
        }
        e.bind = {Binding::Dynamic, it.value()};
    } else {
        e.bind = {Binding::Dynamic, Binding::kImplicitGlobal};
    }
}

// ---------------------------------------------------------------------------------------
// Running

void ScriptRuntime::Step(const Stmt& at)
{
    if (stepLimit && ++m_steps > stepLimit)
        throw ScriptAbort{false, kScriptStepsExceeded, at.line, at.column, CodeCalls()};
    // Asked now and then only: the checks cost more than a statement.
    if ((++m_polls & 0xFFF) == 0)
        Poll(at);
}

void ScriptRuntime::Poll(const Stmt& at)
{
    if (interrupt && interrupt())
        throw ScriptAbort{true, 0, 0, 0, {}};
    if (timeLimitMs && NowMs() - m_callStarted > timeLimitMs)
        throw ScriptAbort{false, kScriptTimeExceeded, at.line, at.column, CodeCalls()};
    CheckMemory(0);
}

void ScriptRuntime::Report(const ScriptException& e, bool compile)
{
    if (!onError)
        return;
    ScriptError out;
    out.number = e.number;
    out.description = e.description;
    out.source = !e.source.isEmpty() ? e.source : compile ? CompileErrorSource() : QStringLiteral("Microsoft VBScript runtime error");
    out.line = e.line;
    out.column = e.column;
    out.calls = e.calls;
    onError(out);
}

bool ScriptRuntime::Parse(const QString& text)
{
    // Compiling counts against the memory budget, as what the script holds.
    bool compiled = false;
    const bool ran = Guarded([&] {
        std::unique_ptr<ScriptModule> module;
        try {
            module = ParseScript(text);
        } catch (const ScriptException& e) {
            Report(e, true);
            return;
        }
        // Held while it runs: its own code may replace every procedure it declared.
        const std::shared_ptr<ScriptModule> m = std::move(module);
        m_modules.push_back(m);
        Declare(*m);
        compiled = true;
        RunModule(*m);
    });
    return ran && compiled;
}

template <typename F>
bool ScriptRuntime::Guarded(F&& run)
{
    const bool outermost = m_running == 0;
    if (outermost) {
        m_steps = 0;
        m_callStarted = NowMs();
        m_heapAtCall = memoryLimit ? HeapInUse() : 0;
    }
    ScriptRuntime* const previous = std::exchange(t_running, this);
    ++m_running;
    bool ok = false;
    try {
        run();
        ok = true;
    } catch (const ScriptException& e) {
        Report(e, false);
    } catch (const ScriptAbort& abort) {
        if (!abort.interrupted) {
            const QString text = abort.number == kScriptTimeExceeded
                                     ? QStringLiteral("脚本运行超过 %1 秒，已停止。").arg(timeLimitMs / 1000.0)
                                     : QStringLiteral("脚本执行的语句超过 %1 条，已停止。").arg(stepLimit);
            ScriptException stopped(abort.number, text, abort.line, abort.column);
            stopped.calls = abort.calls;
            Report(stopped, false);
        }
    } catch (const std::bad_alloc&) {
        Report(ScriptException(7, ScriptErrorText(7)), false);
    }
    --m_running;
    m_instances->Drain();
    t_running = previous;
    if (outermost && memoryLimit)
        m_memoryHeld = std::max<int64_t>(0, m_memoryHeld + HeapInUse() - m_heapAtCall);
    return ok;
}

void ScriptRuntime::RunModule(ScriptModule& module)
{
    Frame f;
    RunningGuard current(m_frame, &f);
    RunningGuard<const ScriptModule> code(m_code, &module);
    ExecBlock(module.statements, f);
}

bool ScriptRuntime::Call(const QString& name, std::vector<ScriptValue> args, ScriptValue* result)
{
    Procedure* p = FindProcedure(name);
    if (!p)
        return false;
    std::vector<ScriptValue*> refs;
    for (ScriptValue& a : args)
        refs.push_back(&a);
    return Guarded([&] {
        ScriptValue r = CallProcedure(p, nullptr, refs);
        if (result)
            *result = std::move(r);
    });
}

ScriptValue ScriptRuntime::Eval(const QString& text)
{
    Nesting nesting(*this);
    ExprPtr e;
    try {
        e = ParseScriptExpression(text);
    } catch (ScriptException& error) {
        ThrowTextParseError(error, CallsOfText(ScriptTextCall::Eval));
    }
    Scope scope = ScopeOf(m_frame);
    ResolveExpr(e.get(), scope);
    Frame module;
    return Eval(*e, m_frame ? *m_frame : module);
}

ScriptTextCalls ScriptRuntime::CallsOfText(ScriptTextCall::Kind kind) const
{
    ScriptTextCalls calls = CodeCalls();
    calls.push_back({kind, m_stmt ? m_stmt->line : 0, m_stmt ? m_stmt->column : 0});
    return calls;
}

std::shared_ptr<ScriptModule> ScriptRuntime::CompileForExecute(const QString& text, bool global)
{
    Frame* at = global ? nullptr : m_frame;
    Procedure* scope = at ? at->proc : nullptr;
    ScriptTextCalls calls = CallsOfText(global ? ScriptTextCall::ExecuteGlobal : ScriptTextCall::Execute);
    for (size_t i = 0; i < m_executeCache.size(); ++i) {
        if (m_executeCache[i].scope == scope && m_executeCache[i].text == text && m_executeCache[i].module->calls == calls) {
            // Most recently used first.
            std::rotate(m_executeCache.begin(), m_executeCache.begin() + ptrdiff_t(i), m_executeCache.begin() + ptrdiff_t(i) + 1);
            ScriptModule& again = *m_executeCache.front().module;
            CheckRedefinitions(again, at);
            // Its procedures and classes take their names back from any text run since.
            for (auto& p : again.procedures)
                m_procedures.insert(Key(p->name), p.get());
            for (auto& c : again.classes)
                m_classes.insert(Key(c->name), c.get());
            return m_executeCache.front().module;
        }
    }
    std::shared_ptr<ScriptModule> module;
    try {
        module = ParseScript(text);
    } catch (ScriptException& error) {
        ThrowTextParseError(error, std::move(calls));
    }
    module->calls = std::move(calls);
    CheckRedefinitions(*module, at);
    Declare(*module, at);
    // Procedures and classes live on under their names.
    if (!module->procedures.empty() || !module->classes.empty()) {
        m_modules.push_back(module);
        DropUnreachableModules();
    }
    constexpr size_t kCachedTexts = 32;
    if (m_executeCache.size() == kCachedTexts)
        m_executeCache.pop_back();
    m_executeCache.insert(m_executeCache.begin(), ExecuteCacheEntry{scope, text, module});
    return module;
}

// A later text may declare a variable again (a Dim of a known name keeps it) and a Sub or
// Function again (the new one replaces it), but a constant or a class only once: naming
// a known variable, constant, procedure or class again is "Name redefined", raised before
// anything of the text is declared, as constant importers and include-once scripts expect.
void ScriptRuntime::CheckRedefinitions(const ScriptModule& module, const Frame* at) const
{
    for (const auto& c : module.classes)
        if (m_classes.contains(Key(c->name)))
            ThrowNameRedefined(0, 0);
    if (at && at->proc)
        return; // the text's constants are the procedure's own
    ForEachDeclared(module.statements, [this, &module](const Stmt& item) {
        if (item.kind != StmtKind::Const)
            return;
        const QString& name = item.target->name;
        if (GlobalIndex(name) >= 0 || m_procedures.contains(Key(name)) || m_classes.contains(Key(name)))
            ThrowNameRedefined(item.line, item.column, module.calls);
    });
}

void ScriptRuntime::Execute(const QString& text, bool global)
{
    Nesting nesting(*this);
    // Held while it runs: a nested Execute may drop it from the cache.
    const std::shared_ptr<ScriptModule> module = CompileForExecute(text, global);
    Frame* at = global ? nullptr : m_frame;
    if (at) {
        RunningGuard<const ScriptModule> code(m_code, module.get());
        ExecBlock(module->statements, *at);
    } else {
        RunModule(*module);
    }
}

ScriptValue ScriptRuntime::NewInstance(const QString& className)
{
    // The language's own RegExp comes first, whatever class a script names so.
    if (className.compare(u"RegExp", Qt::CaseInsensitive) == 0)
        return ScriptValue::Obj(NewRegExp());
    ClassDef* def = m_classes.value(Key(className), nullptr);
    if (!def) {
        // A variable is no class (506); a name nothing declares is undefined.
        const Frame* at = m_frame;
        const bool variable = m_globalIndex.contains(Key(className))
                              || (at && at->proc && std::any_of(at->proc->slotNames.begin(), at->proc->slotNames.end(), [&](const QString& n) {
                                      return n.compare(className, Qt::CaseInsensitive) == 0;
                                  }))
                              || (at && at->me && at->me->def.FieldIndex(className) >= 0);
        ThrowScriptError(variable ? 506 : 500);
    }
    std::shared_ptr<ScriptModule> owner;
    for (const auto& m : m_modules)
        for (const auto& c : m->classes)
            if (c.get() == def)
                owner = m;
    auto* created = new ClassInstance(m_instances, std::move(owner), *def);
    created->serial = ++m_instances->created;
    m_instances->live.insert(created);
    const std::shared_ptr<ClassInstance> instance(created, [registry = m_instances](ClassInstance* p) { registry->Release(p); });
    Frame f;
    for (size_t i = 0; i < def->fields.size(); ++i) {
        const ClassField& field = def->fields[i];
        if (!field.hasBounds)
            continue;
        std::vector<int32_t> bounds;
        for (const auto& b : field.bounds)
            bounds.push_back(Eval(*b, f).ToLong());
        auto arr = std::make_shared<ScriptArray>(bounds);
        arr->fixed = !bounds.empty();
        instance->fields[i] = ScriptValue::Arr(arr);
    }
    if (Procedure* init = def->Find(QStringLiteral("Class_Initialize"), ProcKind::Sub))
        CallProcedure(init, instance.get(), {});
    return ScriptValue::Obj(instance);
}

ScriptValue ScriptRuntime::ProcedureRef(const QString& name)
{
    Procedure* p = FindProcedure(name);
    if (!p)
        ThrowScriptError(5);
    return ScriptValue::Obj(std::make_shared<ProcedureRefObject>(
        m_instances, p->module ? p->module->shared_from_this() : nullptr, *p));
}

// Modules whose procedures and classes were all declared again by later texts, and
// that nothing runs or holds, are dropped; checked as their number doubles.
void ScriptRuntime::DropUnreachableModules()
{
    if (m_modules.size() < m_modulesChecked * 2)
        return;
    std::erase_if(m_modules, [this](const std::shared_ptr<ScriptModule>& m) {
        if (m.use_count() > 1)
            return false;
        for (const auto& p : m->procedures)
            if (m_procedures.value(Key(p->name)) == p.get())
                return false;
        for (const auto& c : m->classes)
            if (m_classes.value(Key(c->name)) == c.get())
                return false;
        // Texts executed inside its procedures were bound to their locals.
        std::erase_if(m_executeCache, [&m](const ExecuteCacheEntry& entry) {
            return entry.scope && entry.scope->module == m.get();
        });
        return true;
    });
    m_modulesChecked = std::max<size_t>(m_modules.size(), 32);
}

ScriptValue ScriptRuntime::CallProcedure(Procedure* p, ClassInstance* me, std::span<ScriptValue*> args)
{
    if (args.size() != p->params.size())
        ThrowScriptError(450);
    Nesting nesting(*this);
    // The procedure's module stays while it runs, even when a text it executes
    // declares all of the module's names again.
    const std::shared_ptr<ScriptModule> module = p->module ? p->module->shared_from_this() : nullptr;
    const size_t n = p->slotNames.size();
    std::vector<ScriptValue> storage(n);
    std::vector<ScriptValue*> slots(n);
    for (size_t i = 0; i < n; ++i) {
        if (i < args.size() && p->params[i].byRef) {
            slots[i] = args[i];
        } else {
            if (i < args.size())
                storage[i] = *args[i];
            slots[i] = &storage[i];
        }
    }
    for (const auto& [slot, value] : p->constants)
        *slots[size_t(slot)] = value;
    Frame f;
    f.proc = p;
    f.me = me;
    f.slots = slots.data();
    RunningGuard current(m_frame, &f);
    RunningGuard<const ScriptModule> code(m_code, p->module ? p->module : m_code);
    ExecBlock(p->body, f);
    ScriptValue result = p->resultSlot >= 0 ? std::move(*slots[size_t(p->resultSlot)]) : ScriptValue();
    // The locals go now, and with them the instances only they held.
    storage.clear();
    if (!m_instances->released.empty())
        m_instances->Drain();
    return result;
}

ScriptRuntime::Flow ScriptRuntime::ExecBlock(const StmtList& list, Frame& f)
{
    for (const auto& s : list) {
        Flow flow;
        if (!f.resumeNext) {
            flow = Exec(*s, f);
        } else {
            try {
                flow = Exec(*s, f);
            } catch (const ScriptException& e) {
                err->Set(e);
                continue;
            }
        }
        if (flow != Flow::Normal)
            return flow;
    }
    return Flow::Normal;
}

ScriptRuntime::Flow ScriptRuntime::Exec(const Stmt& s, Frame& f)
{
    Step(s);
    RunningGuard<const Stmt> running(m_stmt, &s);
    try {
        const Flow flow = ExecInner(s, f);
        if (!m_instances->released.empty())
            m_instances->Drain();
        return flow;
    } catch (ScriptException& e) {
        if (!e.line) {
            e.line = s.line;
            e.column = s.column;
            e.calls = CodeCalls();
        }
        throw;
    } catch (const std::bad_alloc&) {
        ScriptException e(7, ScriptErrorText(7), s.line, s.column);
        e.calls = CodeCalls();
        throw e;
    }
}

bool ScriptRuntime::Condition(const Expr& e, Frame& f)
{
    const ScriptValue v = Eval(e, f);
    return !v.IsNull() && v.ToBool();
}

ScriptRuntime::Flow ScriptRuntime::ExecInner(const Stmt& s, Frame& f)
{
    switch (s.kind) {
    case StmtKind::Assign:
        if (s.append) {
            ScriptValue* var = Variable(*s.target, f);
            if (var->IsString()) {
                const ScriptValue tail = Eval(*s.value->right, f);
                if (!tail.IsNull()) {
                    var->AppendText(tail.ToText());
                    return Flow::Normal;
                }
                *var = ScriptOps::Binary(ScriptOps::Op::Concat, *var, tail);
                return Flow::Normal;
            }
        }
        Assign(*s.target, Eval(*s.value, f), false, f);
        return Flow::Normal;
    case StmtKind::Set:
        Assign(*s.target, Eval(*s.value, f), true, f);
        return Flow::Normal;
    case StmtKind::Const:
        Assign(*s.target, Eval(*s.value, f), false, f);
        for (const auto& more : s.body)
            Assign(*more->target, Eval(*more->value, f), false, f);
        return Flow::Normal;
    case StmtKind::Call:
        CallStatement(*s.target, f);
        return Flow::Normal;
    case StmtKind::Dim:
    case StmtKind::ReDim:
        ExecDim(s, f);
        for (const auto& more : s.body)
            ExecDim(*more, f);
        return Flow::Normal;
    case StmtKind::Erase: {
        ScriptValue* var = Variable(*s.target, f);
        if (!var)
            ThrowScriptError(501);
        if (!var->IsArray())
            ThrowScriptError(13);
        if (var->RawArray()->locks)
            ThrowScriptError(10);
        if (var->RawArray()->fixed) {
            auto arr = std::make_shared<ScriptArray>(var->RawArray()->upper);
            arr->fixed = true;
            *var = ScriptValue::Arr(arr);
        } else {
            *var = ScriptValue::Arr(std::make_shared<ScriptArray>());
        }
        return Flow::Normal;
    }
    case StmtKind::If:
        for (const Branch& b : s.branches) {
            if (b.conditions.empty())
                return ExecBlock(b.body, f);
            bool take;
            if (f.resumeNext) {
                // A failing condition goes on into the branch, as the language does.
                try {
                    take = Condition(*b.conditions[0], f);
                } catch (const ScriptException& e) {
                    err->Set(e);
                    take = true;
                }
            } else {
                take = Condition(*b.conditions[0], f);
            }
            if (take)
                return ExecBlock(b.body, f);
        }
        return Flow::Normal;
    case StmtKind::Select: {
        // Under On Error Resume Next a failing subject runs no Case; a failing Case
        // value goes on into that Case's statements. The subject is a value held apart,
        // never a literal: Select Case 3 meets Case "x" as a variable would.
        ScriptValue subject;
        if (HeaderFails(f, [&] { subject = Eval(*s.value, f); }))
            return Flow::Normal;
        for (const Branch& b : s.branches) {
            if (b.conditions.empty())
                return ExecBlock(b.body, f);
            for (const auto& c : b.conditions) {
                bool match = true;
                if (!HeaderFails(f, [&] {
                        const ScriptValue v = ScriptOps::Compare(ScriptOps::Op::Eq, subject, Eval(*c, f), false, c->IsLiteral());
                        match = !v.IsNull() && v.RawInt();
                    })
                    && !match)
                    continue;
                return ExecBlock(b.body, f);
            }
        }
        return Flow::Normal;
    }
    case StmtKind::For:
        return ExecFor(s, f);
    case StmtKind::ForEach:
        return ExecForEach(s, f);
    case StmtKind::Do:
        return ExecDo(s, f);
    case StmtKind::While:
        for (;;) {
            bool go = false;
            if (HeaderFails(f, [&] { go = Condition(*s.value, f); }))
                return BodyOnce(s, f, Flow::Normal);
            if (!go)
                break;
            Step(s);
            const Flow flow = ExecBlock(s.body, f);
            if (flow != Flow::Normal)
                return flow;
        }
        return Flow::Normal;
    case StmtKind::With: {
        // Under On Error Resume Next a failing subject still runs the body.
        ScriptValue subject;
        HeaderFails(f, [&] {
            subject = Eval(*s.value, f);
            if (!subject.IsObject())
                ThrowScriptError(424);
        });
        f.with.push_back(std::move(subject));
        struct Pop
        {
            std::vector<ScriptValue>& with;
            size_t size;
            ~Pop() { with.resize(size); }
        } pop{f.with, f.with.size() - 1};
        return ExecBlock(s.body, f);
    }
    case StmtKind::ExitDo:
        return Flow::ExitDo;
    case StmtKind::ExitFor:
        return Flow::ExitFor;
    case StmtKind::ExitProc:
        return Flow::ExitProc;
    case StmtKind::OnErrorResumeNext:
        f.resumeNext = true;
        err->Clear();
        return Flow::Normal;
    case StmtKind::OnErrorGoto0:
        f.resumeNext = false;
        err->Clear();
        return Flow::Normal;
    case StmtKind::Nop:
        return Flow::Normal;
    }
    return Flow::Normal;
}

void ScriptRuntime::CallStatement(const Expr& t, Frame& f)
{
    const Expr& name = t.kind == ExprKind::Call ? *t.left : t;
    if (name.kind == ExprKind::Ident && name.bind.kind == Binding::Builtin) {
        const BuiltinFunction& b = GetBuiltin(name.bind.index);
        if (int(t.args.size()) < b.minArgs || int(t.args.size()) > b.maxArgs)
            ThrowScriptError(450);
        std::vector<ScriptValue> args = EvalArgs(t.args, f);
        b.fn(*this, args);
        // A conversion converts first: only the value it then has nowhere to go is 458.
        if (IsConversionBuiltin(name.bind.index))
            ThrowScriptError(458);
        return;
    }
    if (t.kind == ExprKind::Call) {
        EvalCall(t, f);
        return;
    }
    // A variable named alone: what GetRef gave, or an object whose default member is
    // a Sub or Function, is called; anything else is no procedure.
    const bool result = t.kind == ExprKind::Ident && t.bind.kind == Binding::Local && f.proc && t.bind.index == f.proc->resultSlot;
    if (t.kind == ExprKind::Ident && !result && (IsVariableBinding(t.bind) || t.bind.kind == Binding::Dynamic)) {
        ScriptObjectPtr member;
        const ScriptValue* var = t.bind.kind == Binding::Dynamic ? DynamicVariable(t, f, &member) : Variable(t, f);
        if (var) {
            if (!var->IsObject())
                ThrowScriptError(13);
            const auto* instance = dynamic_cast<ClassInstance*>(var->RawObject().get());
            const Procedure* byDefault = instance ? instance->def.defaultMember : nullptr;
            if (dynamic_cast<ProcedureRefObject*>(var->RawObject().get())
                || (byDefault && (byDefault->kind == ProcKind::Sub || byDefault->kind == ProcKind::Function)))
                CallMember(*var, QString(), {});
            return;
        }
    }
    Eval(t, f);
}

void ScriptRuntime::ExecDim(const Stmt& s, Frame& f)
{
    if (!s.hasBounds && s.kind == StmtKind::Dim)
        return;
    ScriptValue* var = Variable(*s.target, f);
    if (!var)
        ThrowScriptError(501);
    // A fixed array refuses ReDim before its bounds are read, and ReDim Preserve once
    // they are (a bound that is no number fails first).
    const auto refuseFixed = [&] {
        if (s.kind == StmtKind::ReDim && var->IsArray() && (var->RawArray()->fixed || var->RawArray()->locks))
            ThrowScriptError(10);
    };
    if (!s.preserve)
        refuseFixed();
    std::vector<int32_t> bounds;
    for (const auto& b : s.bounds)
        bounds.push_back(Eval(*b, f).ToLong());
    if (s.preserve)
        refuseFixed();
    if (s.kind == StmtKind::Dim) {
        auto arr = std::make_shared<ScriptArray>(bounds);
        arr->fixed = !bounds.empty();
        *var = ScriptValue::Arr(arr);
        return;
    }
    if (s.preserve && var->IsArray())
        var->MutableArray().Resize(bounds, true);
    else
        *var = ScriptValue::Arr(std::make_shared<ScriptArray>(bounds));
}

template <typename F>
bool ScriptRuntime::HeaderFails(Frame& f, F&& header)
{
    if (!f.resumeNext) {
        header();
        return false;
    }
    try {
        header();
        return false;
    } catch (const ScriptException& e) {
        err->Set(e);
        return true;
    }
}

ScriptRuntime::Flow ScriptRuntime::BodyOnce(const Stmt& s, Frame& f, Flow exit)
{
    const Flow flow = ExecBlock(s.body, f);
    return flow == exit ? Flow::Normal : flow;
}

ScriptRuntime::Flow ScriptRuntime::ForBodyOnce(const Stmt& s, Frame& f, int nextError)
{
    const Flow flow = ExecBlock(s.body, f);
    if (flow == Flow::ExitFor)
        return Flow::Normal;
    if (flow != Flow::Normal)
        return flow;
    ThrowScriptError(nextError);
}

ScriptRuntime::Flow ScriptRuntime::ExecFor(const Stmt& s, Frame& f)
{
    ScriptValue start, end, step;
    ScriptValue* var = nullptr;
    if (HeaderFails(f, [&] {
            start = Eval(*s.value, f);
            end = Eval(*s.to, f);
            step = s.step ? Eval(*s.step, f) : ScriptValue::Int(1);
            var = Variable(*s.target, f);
            if (!var)
                ThrowScriptError(s.target->bind.kind == Binding::Constant ? 501 : 1040);
        }))
        return ForBodyOnce(s, f, 92);
    // One pass at a time: store the counter, test it, run the body, read the counter
    // back (the body may change it) and step it.
    const auto loop = [&](auto&& store, auto&& done, auto&& advance) {
        for (;;) {
            store();
            if (done())
                return Flow::Normal;
            Step(s);
            const Flow flow = ExecBlock(s.body, f);
            if (flow == Flow::ExitFor)
                return Flow::Normal;
            if (flow != Flow::Normal)
                return flow;
            var = Variable(*s.target, f);
            advance();
        }
    };
    if (start.IsIntegral() && end.IsIntegral() && step.IsIntegral()) {
        const bool narrow = start.Type() == VarType::Integer && end.Type() != VarType::Long && step.Type() != VarType::Long;
        int64_t cur = start.RawInt();
        const int64_t last = end.RawInt(), st = step.RawInt();
        return loop([&] { *var = narrow && cur <= INT16_MAX && cur >= INT16_MIN ? ScriptValue::Int(int16_t(cur)) : ScriptValue::Lng(int32_t(cur)); },
                    [&] { return st >= 0 ? cur > last : cur < last; },
                    [&] {
                        cur = int64_t(var->ToLong()) + st;
                        if (cur > INT32_MAX || cur < INT32_MIN)
                            ThrowScriptError(6);
                    });
    }
    const double stepValue = step.ToDouble();
    ScriptValue cur = start.IsString() ? ScriptValue::Dbl(start.ToDouble()) : start;
    const ScriptValue limit = end.IsString() ? ScriptValue::Dbl(end.ToDouble()) : end;
    return loop([&] { *var = cur; },
                [&] {
                    bool isNull = false;
                    const int c = ScriptOps::CompareValues(cur, limit, false, isNull);
                    if (isNull)
                        ThrowScriptError(94);
                    return stepValue >= 0 ? c > 0 : c < 0;
                },
                [&] { cur = ScriptOps::Binary(ScriptOps::Op::Add, *var, step); });
}

ScriptRuntime::Flow ScriptRuntime::ExecForEach(const Stmt& s, Frame& f)
{
    std::vector<ScriptValue> items;
    if (HeaderFails(f, [&] {
            const ScriptValue group = Eval(*s.value, f);
            if (group.IsArray())
                items = group.RawArray()->data;
            else if (group.IsObject() && group.RawObject())
                items = group.RawObject()->Enumerate();
            else
                ThrowScriptError(group.IsObject() ? 91 : 451);
        }))
        return ForBodyOnce(s, f, 451);
    for (ScriptValue& item : items) {
        // Objects are taken as themselves, as Set would.
        const bool isObject = item.IsObject();
        Assign(*s.target, std::move(item), isObject, f);
        Step(s);
        const Flow flow = ExecBlock(s.body, f);
        if (flow == Flow::ExitFor)
            return Flow::Normal;
        if (flow != Flow::Normal)
            return flow;
    }
    // A loop that ran to its end leaves its variable Empty.
    if (!items.empty())
        Assign(*s.target, ScriptValue(), false, f);
    return Flow::Normal;
}

ScriptRuntime::Flow ScriptRuntime::ExecDo(const Stmt& s, Frame& f)
{
    for (;;) {
        bool stop = false;
        if (s.value && !s.testAtEnd && HeaderFails(f, [&] { stop = Condition(*s.value, f) == s.until; }))
            return BodyOnce(s, f, Flow::ExitDo);
        if (stop)
            break;
        Step(s);
        const Flow flow = ExecBlock(s.body, f);
        if (flow == Flow::ExitDo)
            break;
        if (flow != Flow::Normal)
            return flow;
        if (s.value && s.testAtEnd && Condition(*s.value, f) == s.until)
            break;
    }
    return Flow::Normal;
}

ScriptValue* ScriptRuntime::DynamicVariable(const Expr& e, Frame& f, ScriptObjectPtr* member)
{
    const auto it = m_globalIndex.constFind(e.key);
    if (it != m_globalIndex.cend())
        return m_globals[size_t(it.value())].get();
    for (const auto& item : m_globalMembers) {
        if (item->HasMember(e.name)) {
            if (member)
                *member = item;
            return nullptr;
        }
    }
    if (m_procedures.contains(e.key))
        return nullptr;
    if (e.bind.index >= 0)
        return f.slots[e.bind.index];
    if (e.bind.index == Binding::kImplicitGlobal)
        return m_globals[size_t(AddGlobal(e.name))].get();
    ThrowScriptError(500);
}

ScriptValue* ScriptRuntime::Variable(const Expr& e, Frame& f)
{
    switch (e.bind.kind) {
    case Binding::Local:
        return f.slots[e.bind.index];
    case Binding::Global:
        return m_globals[size_t(e.bind.index)].get();
    case Binding::Field:
        return &f.me->fields[size_t(e.bind.index)];
    case Binding::Dynamic: {
        ScriptObjectPtr member;
        return DynamicVariable(e, f, &member);
    }
    default:
        return nullptr;
    }
}

void ScriptRuntime::Assign(const Expr& target, ScriptValue value, bool isSet, Frame& f)
{
    if (isSet) {
        if (!value.IsObject())
            ThrowScriptError(424);
    } else if (value.IsObject()) {
        if (!value.RawObject())
            ThrowScriptError(91);
    } else if (value.IsArray() && value.RawArray()->fixed) {
        // Only the variable declared with its size is fixed, not a copy of it.
        auto copy = std::make_shared<ScriptArray>(*value.RawArray());
        copy->fixed = false;
        copy->locks = 0;
        value = ScriptValue::Arr(std::move(copy));
    }
    const InvokeKind kind = isSet ? InvokeKind::Set : InvokeKind::Let;
    // Without Set an object gives its default value, except to a script class's Property
    // Let, which is given the object itself. A property is given an object that has no
    // default value as itself too, and its receiver decides; a variable refuses it.
    const auto letValue = [&](const ScriptObject* receiver, const QString& member) {
        if (isSet || !value.IsObject())
            return;
        const auto* instance = dynamic_cast<const ClassInstance*>(receiver);
        if (instance && instance->def.Find(member, ProcKind::PropertyLet))
            return;
        ScriptValue v;
        if (value.RawObject()->Invoke(QString(), InvokeKind::Get, {}, v))
            value = std::move(v);
        else if (!receiver)
            ThrowScriptError(438);
    };
    switch (target.kind) {
    case ExprKind::Ident:
        letValue(target.bind.kind == Binding::Method ? f.me : nullptr, target.name);
        switch (target.bind.kind) {
        case Binding::Local:
        case Binding::Global:
        case Binding::Field:
            *Variable(target, f) = std::move(value);
            return;
        case Binding::Dynamic: {
            ScriptObjectPtr member;
            if (ScriptValue* var = DynamicVariable(target, f, &member)) {
                *var = std::move(value);
                return;
            }
            if (!member)
                ThrowScriptError(501);
            ScriptValue ignored;
            if (!member->Invoke(target.name, kind, std::span<ScriptValue>(&value, 1), ignored))
                ThrowScriptError(438);
            return;
        }
        case Binding::Method: {
            Procedure* p = f.me ? f.me->def.Find(target.name, isSet ? ProcKind::PropertySet : ProcKind::PropertyLet) : nullptr;
            if (!p)
                ThrowScriptError(501);
            ScriptValue* ref = &value;
            CallProcedure(p, f.me, std::span<ScriptValue*>(&ref, 1));
            return;
        }
        default:
            ThrowScriptError(501);
        }
    case ExprKind::Member: {
        const ScriptValue obj = Eval(*target.left, f);
        if (!obj.IsObject() || !obj.RawObject())
            ThrowScriptError(424);
        letValue(obj.RawObject().get(), target.name);
        ScriptValue ignored;
        if (!obj.RawObject()->Invoke(target.name, kind, std::span<ScriptValue>(&value, 1), ignored))
            ThrowScriptError(438);
        return;
    }
    case ExprKind::Call: {
        const Expr& t = *target.left;
        std::vector<ScriptValue> args = EvalArgs(target.args, f);
        if (t.kind == ExprKind::Member) {
            const ScriptValue obj = Eval(*t.left, f);
            if (!obj.IsObject() || !obj.RawObject())
                ThrowScriptError(424);
            letValue(obj.RawObject().get(), t.name);
            args.push_back(std::move(value));
            ScriptValue ignored;
            if (!obj.RawObject()->Invoke(t.name, kind, args, ignored))
                ThrowScriptError(438);
            return;
        }
        if (t.kind == ExprKind::Ident && t.bind.kind == Binding::Method) {
            Procedure* p = f.me ? f.me->def.Find(t.name, isSet ? ProcKind::PropertySet : ProcKind::PropertyLet) : nullptr;
            if (!p)
                ThrowScriptError(501);
            // p is the Property Let (or Set) itself: the object goes to it as it is.
            args.push_back(std::move(value));
            std::vector<ScriptValue*> refs;
            for (ScriptValue& a : args)
                refs.push_back(&a);
            CallProcedure(p, f.me, refs);
            return;
        }
        letValue(nullptr, QString());
        // "x(0)(1) = v": the element of an element.
        ScriptValue held;
        ScriptValue* var = t.kind == ExprKind::Ident ? Variable(t, f) : t.kind == ExprKind::Call ? Element(t, f) : nullptr;
        if (!var && t.kind == ExprKind::Call) {
            held = Eval(t, f);
            var = &held;
        }
        if (!var)
            ThrowScriptError(501);
        if (var->IsArray()) {
            *var->MutableArray().At(args) = std::move(value);
            return;
        }
        if (var->IsObject() && var->RawObject()) {
            args.push_back(std::move(value));
            ScriptValue ignored;
            if (!var->RawObject()->Invoke(QString(), kind, args, ignored))
                ThrowScriptError(438);
            return;
        }
        ThrowScriptError(13);
    }
    default:
        ThrowScriptError(501);
    }
}

ScriptValue* ScriptRuntime::Element(const Expr& e, Frame& f)
{
    std::vector<const Expr*> calls; // outermost first
    const Expr* root = &e;
    while (root->kind == ExprKind::Call && !root->args.empty()) {
        calls.push_back(root);
        root = root->left.get();
    }
    if (root->kind != ExprKind::Ident || !(IsVariableBinding(root->bind) || root->bind.kind == Binding::Dynamic))
        return nullptr;
    // Every index is read before any element is reached: reading one may resize the
    // arrays.
    std::vector<std::vector<ScriptValue>> indexes;
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        indexes.push_back(EvalArgs((*it)->args, f));
    ScriptValue* v = Variable(*root, f);
    for (const auto& at : indexes) {
        if (!v || !v->IsArray())
            return nullptr;
        v = v->MutableArray().At(at);
    }
    return v;
}

std::vector<ScriptValue> ScriptRuntime::EvalArgs(const std::vector<ExprPtr>& args, Frame& f)
{
    std::vector<ScriptValue> out;
    out.reserve(args.size());
    for (const auto& a : args) {
        if (!a)
            out.push_back(ScriptValue::ErrorCode(int32_t(0x80020004))); // a missing argument
        else
            out.push_back(Eval(*a, f));
    }
    return out;
}

ScriptValue ScriptRuntime::CallBoundProcedure(Procedure* p, ClassInstance* me, const std::vector<ExprPtr>& args, Frame& f)
{
    if (!p)
        ThrowScriptError(438);
    if (args.size() != p->params.size())
        ThrowScriptError(450);
    constexpr size_t kInline = 8;
    ScriptValue inlineTemps[kInline];
    std::vector<ScriptValue> moreTemps(args.size() > kInline ? args.size() : 0);
    ScriptValue* temps = args.size() > kInline ? moreTemps.data() : inlineTemps;
    ScriptValue* inlineRefs[kInline];
    std::vector<ScriptValue*> moreRefs(args.size() > kInline ? args.size() : 0);
    ScriptValue** refs = args.size() > kInline ? moreRefs.data() : inlineRefs;
    // Arrays whose elements are passed ByRef: locked until the call returns.
    struct Locks
    {
        std::vector<std::shared_ptr<ScriptArray>> arrays;
        ~Locks()
        {
            for (auto& a : arrays)
                --a->locks;
        }
    } locks;
    const auto variable = [&](const Expr& name) -> ScriptValue* {
        if (name.kind != ExprKind::Ident || !(IsVariableBinding(name.bind) || name.bind.kind == Binding::Dynamic))
            return nullptr;
        ScriptObjectPtr member;
        return name.bind.kind == Binding::Dynamic ? DynamicVariable(name, f, &member) : Variable(name, f);
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const Expr* a = args[i].get();
        if (!a)
            ThrowScriptError(450);
        ScriptValue* var = variable(*a);
        if (!var && a->kind == ExprKind::Call && !a->args.empty() && p->params[i].byRef) {
            ScriptValue* array = variable(*a->left);
            if (array && array->IsArray()) {
                const std::vector<ScriptValue> indexes = EvalArgs(a->args, f);
                var = array->MutableArray().At(indexes);
                locks.arrays.push_back(array->RawArray());
                ++locks.arrays.back()->locks;
            }
        }
        if (var) {
            refs[i] = var;
        } else {
            temps[i] = Eval(*a, f);
            refs[i] = &temps[i];
        }
    }
    return CallProcedure(p, me, std::span<ScriptValue*>(refs, args.size()));
}

ScriptValue ScriptRuntime::CallMember(const ScriptValue& obj, const QString& name, std::span<ScriptValue> args)
{
    // A member of Nothing is "Object required" too.
    if (!obj.IsObject() || !obj.RawObject())
        ThrowScriptError(424);
    ScriptValue result;
    if (!obj.RawObject()->Invoke(name, InvokeKind::Get, args, result))
        ThrowScriptError(438);
    return result;
}

ScriptValue ScriptRuntime::Index(const ScriptValue& v, std::span<ScriptValue> args)
{
    if (v.IsArray()) {
        if (args.empty())
            return v;
        return *const_cast<ScriptArray&>(*v.RawArray()).At(args);
    }
    if (v.IsObject()) {
        // "f()" calls what GetRef gave and the default member of a script object;
        // other objects are themselves.
        const auto* instance = dynamic_cast<ClassInstance*>(v.RawObject().get());
        if (args.empty() && !dynamic_cast<ProcedureRefObject*>(v.RawObject().get()) && !(instance && instance->def.defaultMember))
            return v;
        return CallMember(v, QString(), args);
    }
    if (args.empty())
        return v;
    ThrowScriptError(13);
}

ScriptValue ScriptRuntime::EvalIdent(const Expr& e, Frame& f)
{
    switch (e.bind.kind) {
    case Binding::Local:
        return *f.slots[e.bind.index];
    case Binding::Global:
        return *m_globals[size_t(e.bind.index)];
    case Binding::Field:
        return f.me->fields[size_t(e.bind.index)];
    case Binding::Constant:
        return e.value;
    case Binding::Method:
        return CallBoundProcedure(f.me ? f.me->def.Find(e.name, ProcKind::PropertyGet) : nullptr, f.me, {}, f);
    case Binding::Builtin: {
        const BuiltinFunction& b = GetBuiltin(e.bind.index);
        if (b.minArgs > 0)
            ThrowScriptError(450);
        if (IsSubBuiltin(e.bind.index))
            ThrowScriptError(13);
        return b.fn(*this, {});
    }
    case Binding::Dynamic: {
        ScriptObjectPtr member;
        if (ScriptValue* var = DynamicVariable(e, f, &member))
            return *var;
        if (member)
            return CallMember(ScriptValue::Obj(member), e.name, {});
        return CallBoundProcedure(FindProcedure(e.name), nullptr, {}, f);
    }
    default:
        ThrowScriptError(500);
    }
}

ScriptValue ScriptRuntime::EvalCall(const Expr& e, Frame& f)
{
    const Expr& t = *e.left;
    if (t.kind == ExprKind::Ident) {
        switch (t.bind.kind) {
        case Binding::Method:
            return CallBoundProcedure(f.me ? f.me->def.Find(t.name, ProcKind::PropertyGet) : nullptr, f.me, e.args, f);
        case Binding::Builtin: {
            const BuiltinFunction& b = GetBuiltin(t.bind.index);
            if (int(e.args.size()) < b.minArgs || int(e.args.size()) > b.maxArgs)
                ThrowScriptError(450);
            std::vector<ScriptValue> args = EvalArgs(e.args, f);
            if (IsSubBuiltin(t.bind.index))
                ThrowScriptError(13);
            return b.fn(*this, args);
        }
        case Binding::Constant:
            if (!e.args.empty())
                ThrowScriptError(13);
            return t.value;
        case Binding::Dynamic: {
            ScriptObjectPtr member;
            ScriptValue* var = DynamicVariable(t, f, &member);
            if (var) {
                std::vector<ScriptValue> args = EvalArgs(e.args, f);
                return Index(*var, args);
            }
            if (member) {
                std::vector<ScriptValue> args = EvalArgs(e.args, f);
                return CallMember(ScriptValue::Obj(member), t.name, args);
            }
            return CallBoundProcedure(FindProcedure(t.name), nullptr, e.args, f);
        }
        default: {
            // Inside a function its own name with arguments calls it again.
            if (t.bind.kind == Binding::Local && f.proc && t.bind.index == f.proc->resultSlot && !e.args.empty())
                return CallBoundProcedure(f.proc, f.me, e.args, f);
            ScriptValue* var = Variable(t, f);
            std::vector<ScriptValue> args = EvalArgs(e.args, f);
            if (var && var->IsArray() && !args.empty())
                return *var->MutableArray().At(args);
            return Index(var ? *var : EvalIdent(t, f), args);
        }
        }
    }
    if (t.kind == ExprKind::Member) {
        const ScriptValue obj = Eval(*t.left, f);
        // A method of a script class takes its ByRef arguments as the variables
        // themselves, as when the class calls it.
        if (obj.IsObject())
            if (auto* instance = dynamic_cast<ClassInstance*>(obj.RawObject().get()))
                if (Procedure* p = instance->Method(t.name))
                    return CallBoundProcedure(p, instance, e.args, f);
        std::vector<ScriptValue> args = EvalArgs(e.args, f);
        return CallMember(obj, t.name, args);
    }
    const ScriptValue v = Eval(t, f);
    std::vector<ScriptValue> args = EvalArgs(e.args, f);
    return Index(v, args);
}

ScriptValue ScriptRuntime::Eval(const Expr& e, Frame& f)
{
    switch (e.kind) {
    case ExprKind::Literal:
        return e.value;
    case ExprKind::Ident:
        return EvalIdent(e, f);
    case ExprKind::Member:
        RequireStack();
        return CallMember(Eval(*e.left, f), e.name, {});
    case ExprKind::Call:
        RequireStack();
        return EvalCall(e, f);
    case ExprKind::Paren:
        RequireStack();
        return Eval(*e.left, f);
    case ExprKind::Unary: {
        RequireStack();
        const ScriptValue v = Eval(*e.left, f);
        return e.op == ScriptOps::Op::Sub ? ScriptOps::Negate(v) : ScriptOps::Not(v);
    }
    case ExprKind::Binary: {
        RequireStack();
        const ScriptValue a = Eval(*e.left, f);
        const ScriptValue b = Eval(*e.right, f);
        return ScriptOps::Binary(e.op, a, b);
    }
    case ExprKind::Compare: {
        RequireStack();
        const ScriptValue a = Eval(*e.left, f);
        const ScriptValue b = Eval(*e.right, f);
        return ScriptOps::Compare(e.op, a, b, e.left->IsLiteral(), e.right->IsLiteral());
    }
    case ExprKind::New:
        return NewInstance(e.name);
    case ExprKind::Me:
        if (!f.me)
            ThrowScriptError(424);
        return ScriptValue::Obj(f.me->shared_from_this());
    case ExprKind::With:
        if (f.with.empty())
            ThrowScriptError(505);
        return f.with.back();
    }
    ThrowScriptError(51);
}

// ---------------------------------------------------------------------------------------

ScriptEngine::ScriptEngine() : m_runtime(std::make_unique<ScriptRuntime>()) {}

ScriptEngine::~ScriptEngine() = default;

void ScriptEngine::SetErrorHandler(std::function<void(const ScriptError&)> handler)
{
    m_runtime->onError = std::move(handler);
}

void ScriptEngine::SetUi(ScriptUi ui)
{
    m_runtime->ui = std::move(ui);
}

void ScriptEngine::SetStepLimit(uint64_t steps)
{
    m_runtime->stepLimit = steps;
}

void ScriptEngine::SetTimeLimit(int64_t milliseconds)
{
    m_runtime->timeLimitMs = milliseconds;
}

void ScriptEngine::SetMemoryLimit(uint64_t bytes)
{
    m_runtime->memoryLimit = bytes;
}

void ScriptEngine::SetInterruptCheck(std::function<bool()> check)
{
    m_runtime->interrupt = std::move(check);
}

void ScriptEngine::AddNamedItem(const QString& name, ScriptObjectPtr object, bool globalMembers)
{
    m_runtime->AddNamedItem(name, std::move(object), globalMembers);
}

bool ScriptEngine::Parse(const QString& text)
{
    return m_runtime->Parse(text);
}

bool ScriptEngine::HasProcedure(const QString& name) const
{
    return m_runtime->FindProcedure(name) != nullptr;
}

bool ScriptEngine::Call(const QString& name, std::vector<ScriptValue> args, ScriptValue* result)
{
    return m_runtime->Call(name, std::move(args), result);
}
