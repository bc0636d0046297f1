#pragma once

#include "platform/script/ScriptValue.h"

#include <QString>
#include <memory>
#include <vector>

// The syntax tree of a script module. The parser builds it once; the engine then binds
// each name to a slot (local, global, field, procedure, built-in) so that running a
// procedure never looks a name up by text unless the script created it at run time.

struct Binding
{
    enum Kind : uint8_t {
        Unbound,
        Local,     // index into the frame's slots
        Global,    // index into the engine's globals
        Field,     // index into the class instance's fields (Me)
        Method,    // a procedure of the enclosing class, called on Me
        Builtin,   // index into the library table
        Constant,  // value held by the expression itself
        // Looked up by name when it runs (globals the script may create later, members of
        // host objects, procedures): index is the slot of the procedure's implicit local,
        // kImplicitGlobal at module level, kMustExist under Option Explicit.
        Dynamic,
    };
    Kind kind = Unbound;
    int index = -1;
    static constexpr int kImplicitGlobal = -1;
    static constexpr int kMustExist = -2;
};

enum class ExprKind : uint8_t { Literal, Ident, Member, Call, Paren, Unary, Binary, Compare, New, Me, With };

struct Expr
{
    ExprKind kind;
    int line = 0;
    int column = 0;
    ScriptOps::Op op = ScriptOps::Op::Add; // Unary: Sub = negate, Xor = Not
    Binding bind;                          // Ident
    bool parens = false;                   // Call: written with parentheses
    QString name;                          // Ident, Member, New
    QString key;                           // Ident: the name in lower case
    ScriptValue value;                     // Literal, bound constants
    std::unique_ptr<Expr> left;            // Member/Call/Paren target, operands
    std::unique_ptr<Expr> right;
    std::vector<std::unique_ptr<Expr>> args;
    int depth = 1; // of the tree below, itself included

    Expr(ExprKind k, int l, int c) : kind(k), line(l), column(c) {}
    bool IsLiteral() const { return kind == ExprKind::Literal || (kind == ExprKind::Ident && bind.kind == Binding::Constant); }
};

using ExprPtr = std::unique_ptr<Expr>;

enum class StmtKind : uint8_t {
    Assign, Set, Call, Dim, ReDim, Erase, If, Select, For, ForEach, Do, While, With,
    ExitDo, ExitFor, ExitProc, OnErrorResumeNext, OnErrorGoto0, Const, Nop,
};

struct Stmt;
using StmtList = std::vector<std::unique_ptr<Stmt>>;

struct Branch
{
    std::vector<ExprPtr> conditions; // If: one; Case: the values; Case Else / Else: none
    StmtList body;
};

struct Stmt
{
    StmtKind kind;
    int line = 0;
    int column = 0;
    bool preserve = false;     // ReDim Preserve
    bool testAtEnd = false;    // Do ... Loop While
    bool until = false;        // Do Until
    bool append = false;       // x = x & y: appended in place
    ExprPtr target;            // Assign/Set target, Call expression, For variable, Dim/ReDim/Erase/Const item
    ExprPtr value;             // Assign/Set/Const value, Select/With subject, For start, For Each group, Do condition
    ExprPtr to, step;          // For
    std::vector<ExprPtr> bounds; // Dim/ReDim
    bool hasBounds = false;      // Dim a() declares a dynamic array
    std::vector<Branch> branches; // If, Select
    StmtList body;                // loops, With

    Stmt(StmtKind k, int l, int c) : kind(k), line(l), column(c) {}
};

enum class ProcKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Param
{
    QString name;
    bool byRef = true;
};

struct ClassDef;
struct ScriptModule;

struct Procedure
{
    QString name;
    ProcKind kind = ProcKind::Sub;
    bool isPublic = true;
    bool isDefault = false;
    int line = 0;
    std::vector<Param> params;
    std::vector<QString> slotNames; // params first, then the result (functions), then locals
    int resultSlot = -1;
    int declaredSlots = 0; // slots of params, the result and Dim/Const/ReDim names
    std::vector<std::pair<int, ScriptValue>> constants; // Const slots, set before the body runs
    StmtList body;
    ClassDef* owner = nullptr;
    ScriptModule* module = nullptr; // the module it was declared in
};

struct ClassField
{
    QString name;
    bool isPublic = true;
    std::vector<ExprPtr> bounds; // Dim x(3) in a class
    bool hasBounds = false;
};

struct ClassDef
{
    QString name;
    std::vector<ClassField> fields;
    std::vector<std::unique_ptr<Procedure>> procedures;
    Procedure* defaultMember = nullptr;
    int FieldIndex(const QString& name) const;
    // The procedure of that name and kind family: Sub/Function/Get for reading and
    // calling, Let or Set for assigning.
    Procedure* Find(const QString& name, ProcKind kind) const;
};

// One parsed piece of script: its module-level statements, procedures and classes.
struct ScriptModule : std::enable_shared_from_this<ScriptModule>
{
    bool optionExplicit = false;
    ScriptTextCalls calls; // a text given to Execute or ExecuteGlobal: how; empty for the host's
    StmtList statements;
    std::vector<std::unique_ptr<Procedure>> procedures;
    std::vector<std::unique_ptr<ClassDef>> classes;
};

// Parses a whole module; throws ScriptException (compile errors, 1002 and up) with line
// and column set.
std::unique_ptr<ScriptModule> ParseScript(const QString& text);
// Parses a single expression (Eval).
ExprPtr ParseScriptExpression(const QString& text);
