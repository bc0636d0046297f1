#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// The variant of the script language: what one variable holds, with the language's own
// conversion, arithmetic and comparison rules. Dates are days since 1899-12-30 with the
// time of day as the fraction; Currency is a 64-bit integer scaled by 10,000.

enum class VarType : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Error = 10,
    Boolean = 11,
    Variant = 12,
    Byte = 17,
    Array = 0x2000,
};

// The statement that gave a text of the script's own to Eval, Execute or ExecuteGlobal.
struct ScriptTextCall
{
    enum Kind { Eval, Execute, ExecuteGlobal };
    Kind kind = Execute;
    int line = 0; // of the statement, in the text it ran in
    int column = 0;
    bool operator==(const ScriptTextCall&) const = default;
};
// How a text the script compiled itself came to be: the call that gave it, after the
// calls that gave the text that call is in. Empty for the texts the host parsed.
using ScriptTextCalls = std::vector<ScriptTextCall>;

// A run-time or compile-time error as the language reports it: number and English text.
struct ScriptException
{
    ScriptException(int n, QString text, int l = 0, int c = 0) : number(n), description(std::move(text)), line(l), column(c) {}
    int number = 0;
    QString description;
    int line = 0;   // 1-based; 0 while not yet known
    int column = 0; // 1-based
    ScriptTextCalls calls; // see ScriptError
    QString source; // set by Err.Raise
    QString helpFile;
    int32_t helpContext = 0;
};

// The language's English text for an error number ("Type mismatch" for 13); empty when
// the number has none.
QString ScriptErrorText(int number);
[[noreturn]] void ThrowScriptError(int number);
[[noreturn]] void ThrowScriptError(int number, const QString& description);

// Limits that keep a runaway script from exhausting memory: longer strings raise 14
// (out of string space), larger arrays 7 (out of memory).
constexpr qsizetype kMaxStringLength = qsizetype(1) << 26;
constexpr uint64_t kMaxArrayElements = uint64_t(1) << 22;
void CheckStringLength(qsizetype length);
// Tells the running script's memory budget that this many bytes are about to be
// allocated for it; raises 7 when they would pass the budget. Small amounts are left
// to the budget's periodic check.
void NoteScriptAllocation(uint64_t bytes);
// Checks the running script's memory budget now: for long work that allocates in
// small pieces, such as compiling.
void CheckScriptMemory();
// A new string of this length: both checks.
inline void CheckNewString(qsizetype length)
{
    CheckStringLength(length);
    NoteScriptAllocation(uint64_t(length) * sizeof(QChar));
}

class ScriptValue;

// How a member is reached: Get reads a property or calls a method (the language does not
// tell them apart), Let and Set assign.
enum class InvokeKind { Get, Let, Set };

// An automation object: the host's objects and the script's own class instances. A
// member is found by name without regard to case; the empty name is the default
// member. Throwing a ScriptException reports the error to the script.
class ScriptObject : public std::enable_shared_from_this<ScriptObject>
{
public:
    virtual ~ScriptObject() = default;
    virtual QString TypeName() const { return QStringLiteral("Object"); }
    // False when the object has no such member (the caller raises error 438). For Let
    // and Set the assigned value is the last argument. ByRef arguments may be changed.
    virtual bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) = 0;
    // True when the object has a member of that name, for objects whose members are
    // global names of the script.
    virtual bool HasMember(const QString& name) const = 0;
    // The elements For Each walks; error 451 by default.
    virtual std::vector<ScriptValue> Enumerate();
};

using ScriptObjectPtr = std::shared_ptr<ScriptObject>;

struct ScriptArray;

class ScriptValue
{
public:
    ScriptValue() = default;
    static ScriptValue Null() { ScriptValue v; v.m_type = VarType::Null; return v; }
    static ScriptValue Nothing() { ScriptValue v; v.m_type = VarType::Object; return v; }
    static ScriptValue Int(int16_t i) { ScriptValue v; v.m_type = VarType::Integer; v.m_i = i; return v; }
    static ScriptValue Lng(int32_t i) { ScriptValue v; v.m_type = VarType::Long; v.m_i = i; return v; }
    static ScriptValue Byte(uint8_t i) { ScriptValue v; v.m_type = VarType::Byte; v.m_i = i; return v; }
    static ScriptValue Bool(bool b) { ScriptValue v; v.m_type = VarType::Boolean; v.m_i = b ? -1 : 0; return v; }
    static ScriptValue Dbl(double d) { ScriptValue v; v.m_type = VarType::Double; v.m_d = d; return v; }
    static ScriptValue Sng(float d) { ScriptValue v; v.m_type = VarType::Single; v.m_d = d; return v; }
    static ScriptValue Date(double d) { ScriptValue v; v.m_type = VarType::Date; v.m_d = d; return v; }
    static ScriptValue Cur(int64_t scaled) { ScriptValue v; v.m_type = VarType::Currency; v.m_c = scaled; return v; }
    static ScriptValue Str(QString s) { ScriptValue v; v.m_type = VarType::String; v.m_s = std::move(s); return v; }
    static ScriptValue Obj(ScriptObjectPtr o) { ScriptValue v; v.m_type = VarType::Object; v.m_obj = std::move(o); return v; }
    static ScriptValue Arr(std::shared_ptr<ScriptArray> a) { ScriptValue v; v.m_type = VarType::Array; v.m_arr = std::move(a); return v; }
    static ScriptValue ErrorCode(int32_t code) { ScriptValue v; v.m_type = VarType::Error; v.m_i = code; return v; }
    // Integer when it fits, else Long, else Double: the type of a computed whole number.
    static ScriptValue Whole(int64_t i);

    VarType Type() const { return m_type; }
    bool IsEmpty() const { return m_type == VarType::Empty; }
    bool IsNull() const { return m_type == VarType::Null; }
    bool IsString() const { return m_type == VarType::String; }
    bool IsObject() const { return m_type == VarType::Object; }
    bool IsArray() const { return m_type == VarType::Array; }
    bool IsNumeric() const; // a number, Boolean, Date or Empty
    bool IsIntegral() const { return m_type == VarType::Integer || m_type == VarType::Long || m_type == VarType::Byte || m_type == VarType::Boolean; }

    // Raw access for callers that checked the type.
    int32_t RawInt() const { return m_i; }
    double RawDouble() const { return m_d; }
    int64_t RawCurrency() const { return m_c; }
    const QString& RawString() const { return m_s; }
    // For a String: appends without copying the text when no one else shares it.
    void AppendText(const QString& tail)
    {
        const qsizetype length = m_s.size() + tail.size();
        CheckStringLength(length);
        if (length > m_s.capacity())
            NoteScriptAllocation(uint64_t(length) * sizeof(QChar));
        m_s.append(tail);
    }
    const ScriptObjectPtr& RawObject() const { return m_obj; }
    const std::shared_ptr<ScriptArray>& RawArray() const { return m_arr; }
    // The array for changing its elements: copied first when another variable shares it.
    ScriptArray& MutableArray();

    // Conversions with the language's rules; they raise 13 (type mismatch), 94 (Null)
    // or 6 (overflow).
    double ToDouble() const;
    int32_t ToLong() const;   // banker's rounding
    int16_t ToInteger() const;
    bool ToBool() const;
    QString ToString() const; // CStr
    double ToDate() const;    // CDate
    int64_t ToCurrency() const;
    // The string form for concatenation and output: Null gives "".
    QString ToText() const;

    // True when the string holds a number in the language's sense (" &H1F", "1e3", "-2.5").
    static bool ParseNumber(const QString& text, double& out);

private:
    VarType m_type = VarType::Empty;
    union {
        int32_t m_i;
        int64_t m_c;
        double m_d = 0.0;
    };
    QString m_s;
    ScriptObjectPtr m_obj;
    std::shared_ptr<ScriptArray> m_arr;
};

// An array of variants: zero-based, any number of dimensions, the first dimension
// varying fastest (element (i, j) of a 3 x 4 array is at j * 3 + i), which is the
// order For Each walks.
struct ScriptArray
{
    std::vector<int32_t> upper; // upper bound per dimension
    std::vector<ScriptValue> data;
    bool fixed = false; // declared with its size: ReDim and Erase refuse it
    int locks = 0;      // elements passed ByRef to a running procedure: ReDim and Erase refuse it
    ScriptArray() = default;
    explicit ScriptArray(std::vector<int32_t> bounds);
    ScriptArray(const ScriptArray&) = default;
    ScriptArray& operator=(const ScriptArray&) = default;
    // Arrays nested in arrays are freed one after the other, however deep they nest.
    ~ScriptArray();
    ScriptValue* At(std::span<const ScriptValue> indexes); // error 9 out of range
    void Resize(std::vector<int32_t> bounds, bool preserve);
};

// The value an object stands for in an expression: its default property (91 for
// Nothing, 438 when it has none, 13 when that is an object again).
ScriptValue DefaultValue(const ScriptValue& v);

// Script operators. Each follows the language's result-type and Null rules.
namespace ScriptOps {
enum class Op { Add, Sub, Mul, Div, IntDiv, Mod, Pow, Concat, Eq, Ne, Lt, Le, Gt, Ge, And, Or, Xor, Eqv, Imp, Is };
ScriptValue Binary(Op op, const ScriptValue& a, const ScriptValue& b);
// Comparison where one side is a literal: a string compared with a numeric literal is
// read as a number, as the language does, where two variables never convert.
ScriptValue Compare(Op op, const ScriptValue& a, const ScriptValue& b, bool aLiteral, bool bLiteral);
ScriptValue Negate(const ScriptValue& a);
ScriptValue Not(const ScriptValue& a);
// -1, 0 or 1; Null when either side is Null (returned through isNull).
int CompareValues(const ScriptValue& a, const ScriptValue& b, bool textCompare, bool& isNull);
} // namespace ScriptOps

// Dates: serial day numbers, with the time of day as the fraction.
namespace ScriptDates {
struct Parts
{
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
Parts Split(double serial);
// False when a part is out of the representable range (years 100 to 9999).
bool Serial(int year, int month, int day, double& out);
double TimeSerial(int hour, int minute, int second);
double Join(const Parts& p);
// "M/D/YYYY", "h:mm:ss AM" or both, as CStr writes dates.
QString Format(double serial);
// A date and/or time in the usual forms ("2003-01-02", "1/2/2003 3:04 PM", "Jan 2 2003").
bool Parse(const QString& text, double& out);
QString MonthName(int month, bool abbreviate);
QString WeekdayName(int weekday, bool abbreviate); // 1 = Sunday
} // namespace ScriptDates
