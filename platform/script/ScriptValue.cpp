#include "platform/script/ScriptValue.h"

#include <QDate>
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// The texts a Boolean converts from: "True", "False" and their "#TRUE#" forms.
std::optional<bool> BooleanText(const QString& s)
{
    const QString t = s.trimmed();
    if (t.compare(u"true", Qt::CaseInsensitive) == 0 || t.compare(u"#true#", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"false", Qt::CaseInsensitive) == 0 || t.compare(u"#false#", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

struct ErrorText
{
    int number;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {51, "Internal error"},
    {91, "Object variable not set"},
    {92, "For loop not initialized"},
    {94, "Invalid use of Null"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {438, "Object doesn't support this property or method"},
    {445, "Object doesn't support this action"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {451, "Object not a collection"},
    {458, "Variable uses an Automation type not supported in VBScript"},
    {500, "Variable is undefined"},
    {501, "Illegal assignment"},
    {505, "Invalid or unqualified reference"},
    {506, "Class not defined"},
    {5017, "Syntax error in regular expression"},
    {1002, "Syntax error"},
    {1003, "Expected ':'"},
    {1005, "Expected '('"},
    {1006, "Expected ')'"},
    {1010, "Expected identifier"},
    {1011, "Expected '='"},
    {1012, "Expected 'If'"},
    {1013, "Expected 'To'"},
    {1014, "Expected 'End'"},
    {1015, "Expected 'Function'"},
    {1016, "Expected 'Sub'"},
    {1017, "Expected 'Then'"},
    {1018, "Expected 'Wend'"},
    {1019, "Expected 'Loop'"},
    {1020, "Expected 'Next'"},
    {1021, "Expected 'Case'"},
    {1022, "Expected 'Select'"},
    {1023, "Expected expression"},
    {1024, "Expected statement"},
    {1025, "Expected end of statement"},
    {1026, "Expected integer constant"},
    {1027, "Expected 'While' or 'Until'"},
    {1028, "Expected 'While', 'Until' or end of statement"},
    {1029, "Expected 'With'"},
    {1031, "Invalid number"},
    {1032, "Invalid character"},
    {1033, "Unterminated string constant"},
    {1037, "Invalid use of 'Me' keyword"},
    {1038, "'loop' without 'do'"},
    {1039, "Invalid 'exit' statement"},
    {1041, "Name redefined"},
    {1044, "Cannot use parentheses when calling a Sub"},
    {1045, "Expected literal constant"},
    {1046, "Expected 'In'"},
    {1047, "Expected 'Class'"},
    {1048, "Must be defined inside a Class"},
    {1049, "Expected Let or Set or Get in property declaration"},
    {1050, "Expected 'Property'"},
    {1052, "Cannot have multiple default property/method in a Class"},
    {1053, "Class initialize or terminate do not have arguments"},
    {1054, "Property set or let must have at least one argument"},
    {1055, "Unexpected 'Next'"},
    {32811, "Element not found"},
};

constexpr double kMinDate = -657434.0;     // 100-01-01
constexpr double kMaxDate = 2958465.999994; // 9999-12-31 23:59:59

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

const int64_t kEpoch = DaysFromCivil(1899, 12, 30);

void CivilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(int64_t(yoe) + era * 400 + (month <= 2));
}

double RoundHalfEven(double d)
{
    return std::nearbyint(d); // the default rounding mode rounds halves to even
}

QString TrimmedNumberText(const QString& text)
{
    return text.trimmed();
}

} // namespace

ScriptValue DefaultValue(const ScriptValue& v)
{
    if (!v.RawObject())
        ThrowScriptError(91);
    ScriptValue result;
    if (!v.RawObject()->Invoke(QString(), InvokeKind::Get, {}, result))
        ThrowScriptError(438);
    if (result.IsObject())
        ThrowScriptError(13);
    return result;
}

QString ScriptErrorText(int number)
{
    for (const ErrorText& e : kErrorTexts)
        if (e.number == number)
            return QString::fromLatin1(e.text);
    return QString();
}

void ThrowScriptError(int number)
{
    QString text = ScriptErrorText(number);
    if (text.isEmpty())
        text = QStringLiteral("Unknown runtime error");
    throw ScriptException(number, text);
}

void CheckStringLength(qsizetype length)
{
    if (length > kMaxStringLength)
        ThrowScriptError(14);
}

void ThrowScriptError(int number, const QString& description)
{
    throw ScriptException(number, description);
}

std::vector<ScriptValue> ScriptObject::Enumerate()
{
    ThrowScriptError(451);
}

// ---------------------------------------------------------------------------------------

ScriptValue ScriptValue::Whole(int64_t i)
{
    if (i >= INT16_MIN && i <= INT16_MAX)
        return Int(int16_t(i));
    if (i >= INT32_MIN && i <= INT32_MAX)
        return Lng(int32_t(i));
    return Dbl(double(i));
}

bool ScriptValue::IsNumeric() const
{
    switch (m_type) {
    case VarType::Empty:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
    case VarType::Boolean:
    case VarType::Byte:
        return true;
    default:
        return false;
    }
}

ScriptArray& ScriptValue::MutableArray()
{
    // A lock holds a reference of its own; it does not make the array shared.
    if (m_arr.use_count() > 1 + m_arr->locks) {
        m_arr = std::make_shared<ScriptArray>(*m_arr);
        m_arr->locks = 0;
    }
    return *m_arr;
}

bool ScriptValue::ParseNumber(const QString& input, double& out)
{
    const QString text = TrimmedNumberText(input);
    if (text.isEmpty())
        return false;
    if (text.size() > 2 && text[0] == u'&') {
        const QChar kind = text[1].toUpper();
        const int base = kind == u'H' ? 16 : kind == u'O' ? 8 : 0;
        if (base == 0)
            return false;
        bool ok = false;
        const qulonglong v = text.mid(2).toULongLong(&ok, base);
        if (!ok || v > 0xFFFFFFFFull)
            return false;
        // A hex or octal text is a Long ("&HBEEF" is 48879), unlike a literal.
        out = double(int32_t(uint32_t(v)));
        return true;
    }
    // What the language's number reading takes besides a plain number: "(5)" and "5-"
    // for -5, and the currency symbol ("$5", "-$5", "$-5").
    QString body = text;
    bool negated = false;
    if (body.size() > 2 && body.front() == u'(' && body.back() == u')') {
        body = body.mid(1, body.size() - 2).trimmed();
        if (body.isEmpty() || body[0] == u'+' || body[0] == u'-')
            return false;
        negated = true;
    } else if (body.size() > 1 && (body.back() == u'-' || body.back() == u'+') && body[0] != u'+' && body[0] != u'-') {
        negated = body.back() == u'-';
        body.chop(1);
        body = body.trimmed();
    }
    // The currency symbol stands before or after a leading sign.
    if (body.startsWith(u'$'))
        body.remove(0, 1);
    else if (body.size() > 1 && (body[0] == u'+' || body[0] == u'-') && body[1] == u'$')
        body.remove(1, 1);
    if (body.isEmpty())
        return false;
    QString plain;
    plain.reserve(body.size() + 1);
    if (negated)
        plain += u'-';
    int i = 0;
    if (body[i] == u'+' || body[i] == u'-') {
        if (negated)
            return false;
        plain += body[i++];
    }
    bool digits = false, point = false;
    for (; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c.isDigit() && c.unicode() < 128) {
            plain += c;
            digits = true;
        } else if (c == u',' && !point && digits) {
            continue; // thousands separator
        } else if (c == u'.' && !point) {
            plain += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return false;
    if (i < body.size() && (body[i] == u'e' || body[i] == u'E' || body[i] == u'd' || body[i] == u'D')) {
        plain += u'e';
        ++i;
        if (i < body.size() && (body[i] == u'+' || body[i] == u'-'))
            plain += body[i++];
        bool expDigits = false;
        for (; i < body.size() && body[i].isDigit() && body[i].unicode() < 128; ++i) {
            plain += body[i];
            expDigits = true;
        }
        if (!expDigits)
            return false;
    }
    if (i != body.size())
        return false;
    bool ok = false;
    out = plain.toDouble(&ok);
    return ok && std::isfinite(out);
}

double ScriptValue::ToDouble() const
{
    switch (m_type) {
    case VarType::Empty:
        return 0.0;
    case VarType::Null:
        ThrowScriptError(94);
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
        return m_i;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return m_d;
    case VarType::Currency:
        return double(m_c) / 10000.0;
    case VarType::String: {
        double d = 0;
        if (ParseNumber(m_s, d))
            return d;
        double date = 0;
        if (ScriptDates::Parse(m_s, date))
            return date;
        ThrowScriptError(13);
    }
    case VarType::Object:
        return DefaultValue(*this).ToDouble();
    default:
        ThrowScriptError(13);
    }
}

int32_t ScriptValue::ToLong() const
{
    if (m_type == VarType::Integer || m_type == VarType::Long || m_type == VarType::Byte || m_type == VarType::Boolean)
        return m_i;
    if (m_type == VarType::Currency) {
        const int64_t whole = m_c / 10000, rest = m_c % 10000;
        int64_t r = whole;
        if (rest > 5000 || (rest == 5000 && (whole & 1)))
            ++r;
        else if (rest < -5000 || (rest == -5000 && (whole & 1)))
            --r;
        if (r < INT32_MIN || r > INT32_MAX)
            ThrowScriptError(6);
        return int32_t(r);
    }
    const double d = RoundHalfEven(ToDouble());
    if (!(d >= -2147483648.0 && d <= 2147483647.0))
        ThrowScriptError(6);
    return int32_t(d);
}

int16_t ScriptValue::ToInteger() const
{
    const double d = m_type == VarType::Currency ? double(ToLong()) : RoundHalfEven(ToDouble());
    if (!(d >= -32768.0 && d <= 32767.0))
        ThrowScriptError(6);
    return int16_t(d);
}

bool ScriptValue::ToBool() const
{
    switch (m_type) {
    case VarType::Empty:
        return false;
    case VarType::Null:
        ThrowScriptError(94);
    case VarType::String: {
        if (const std::optional<bool> b = BooleanText(m_s))
            return *b;
        double d = 0;
        if (ParseNumber(m_s, d))
            return d != 0.0;
        ThrowScriptError(13);
    }
    case VarType::Object:
        return DefaultValue(*this).ToBool();
    case VarType::Currency:
        return m_c != 0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return m_d != 0.0;
    case VarType::Array:
    case VarType::Error:
        ThrowScriptError(13);
    default:
        return m_i != 0;
    }
}

namespace {

QString FormatFloat(double d, int precision)
{
    if (d == 0.0)
        return QStringLiteral("0");
    QString s = QString::asprintf("%.*G", precision, d);
    return s;
}

QString FormatCurrencyText(int64_t c)
{
    const bool negative = c < 0;
    const uint64_t a = negative ? uint64_t(0) - uint64_t(c) : uint64_t(c);
    QString s = QString::number(a / 10000);
    uint64_t frac = a % 10000;
    if (frac) {
        QString f = QStringLiteral("%1").arg(frac, 4, 10, QChar(u'0'));
        while (f.endsWith(u'0'))
            f.chop(1);
        s += u'.' + f;
    }
    return negative ? u'-' + s : s;
}

} // namespace

QString ScriptValue::ToString() const
{
    switch (m_type) {
    case VarType::Empty:
        return QString();
    case VarType::Null:
        ThrowScriptError(94);
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
        return QString::number(m_i);
    case VarType::Boolean:
        return m_i ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::Single:
        return FormatFloat(m_d, 7);
    case VarType::Double:
        return FormatFloat(m_d, 15);
    case VarType::Currency:
        return FormatCurrencyText(m_c);
    case VarType::Date:
        return ScriptDates::Format(m_d);
    case VarType::String:
        return m_s;
    case VarType::Object:
        return DefaultValue(*this).ToString();
    default:
        ThrowScriptError(13);
    }
}

QString ScriptValue::ToText() const
{
    return m_type == VarType::Null ? QString() : ToString();
}

double ScriptValue::ToDate() const
{
    double d = 0;
    if (m_type == VarType::String) {
        // A number in a string is a serial: CDate("1") is the day after day 0.
        if (!ParseNumber(m_s, d) && !ScriptDates::Parse(m_s, d))
            ThrowScriptError(13);
    } else if (m_type == VarType::Boolean) {
        d = m_i;
    } else {
        d = ToDouble();
    }
    if (d < kMinDate || d > kMaxDate + 1)
        ThrowScriptError(6);
    return d;
}

int64_t ScriptValue::ToCurrency() const
{
    if (m_type == VarType::Currency)
        return m_c;
    const double d = RoundHalfEven(ToDouble() * 10000.0);
    if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18))
        ThrowScriptError(6);
    return int64_t(d);
}

// ---------------------------------------------------------------------------------------

ScriptArray::ScriptArray(std::vector<int32_t> bounds)
{
    Resize(std::move(bounds), false);
}

ScriptArray::~ScriptArray()
{
    thread_local std::vector<std::shared_ptr<ScriptArray>> later;
    thread_local bool freeing = false;
    for (ScriptValue& v : data) {
        if (v.IsArray() && v.RawArray().use_count() == 1) {
            later.push_back(v.RawArray());
            v = ScriptValue();
        }
    }
    if (freeing)
        return;
    freeing = true;
    while (!later.empty()) {
        std::shared_ptr<ScriptArray> next = std::move(later.back());
        later.pop_back();
        next.reset(); // its own nested arrays join the list
    }
    freeing = false;
}

ScriptValue* ScriptArray::At(std::span<const ScriptValue> indexes)
{
    if (indexes.size() != upper.size())
        ThrowScriptError(9);
    size_t pos = 0, stride = 1;
    for (size_t d = 0; d < upper.size(); ++d) {
        const int32_t i = indexes[d].ToLong();
        if (i < 0 || i > upper[d])
            ThrowScriptError(9);
        pos += size_t(i) * stride;
        stride *= size_t(upper[d] + 1);
    }
    return &data[pos];
}

void ScriptArray::Resize(std::vector<int32_t> bounds, bool preserve)
{
    // No dimensions at all (Dim a()): no elements.
    uint64_t count = bounds.empty() ? 0 : 1;
    for (int32_t b : bounds) {
        if (b < -1)
            ThrowScriptError(9);
        count *= uint64_t(b) + 1;
        if (count > kMaxArrayElements)
            ThrowScriptError(7);
    }
    if (count > data.size())
        NoteScriptAllocation((count - data.size()) * sizeof(ScriptValue));
    if (preserve && !upper.empty()) {
        if (bounds.size() != upper.size())
            ThrowScriptError(9);
        for (size_t d = 0; d + 1 < bounds.size(); ++d)
            if (bounds[d] != upper[d])
                ThrowScriptError(9);
        // Only the last dimension may change; it varies slowest, so the elements kept
        // are the first ones.
        data.resize(static_cast<size_t>(count));
    } else {
        data.assign(static_cast<size_t>(count), ScriptValue());
    }
    upper = std::move(bounds);
}

// ---------------------------------------------------------------------------------------

namespace ScriptOps {
namespace {

// Numeric classes in the order the result type widens.
enum class Num { Byte, Integer, Long, Single, Double, Currency, Date };

// A value ready for arithmetic: strings read as Double, Empty as Integer 0.
struct Operand
{
    Num kind;
    int64_t i = 0;
    double d = 0;
    int64_t c = 0;
};

Operand ToOperand(const ScriptValue& v)
{
    switch (v.Type()) {
    case VarType::Empty:
        return {Num::Integer, 0, 0, 0};
    case VarType::Byte:
        return {Num::Byte, v.RawInt(), double(v.RawInt()), 0};
    case VarType::Integer:
    case VarType::Boolean:
        return {Num::Integer, v.RawInt(), double(v.RawInt()), 0};
    case VarType::Long:
        return {Num::Long, v.RawInt(), double(v.RawInt()), 0};
    case VarType::Single:
        return {Num::Single, 0, v.RawDouble(), 0};
    case VarType::Double:
        return {Num::Double, 0, v.RawDouble(), 0};
    case VarType::Date:
        return {Num::Date, 0, v.RawDouble(), 0};
    case VarType::Currency:
        return {Num::Currency, 0, double(v.RawCurrency()) / 10000.0, v.RawCurrency()};
    case VarType::String:
        return {Num::Double, 0, v.ToDouble(), 0};
    case VarType::Object:
        return ToOperand(DefaultValue(v));
    case VarType::Null:
        ThrowScriptError(94);
    default:
        ThrowScriptError(13);
    }
}

ScriptValue IntegralResult(int64_t r, Num kind)
{
    if (kind == Num::Byte && r >= 0 && r <= 255)
        return ScriptValue::Byte(uint8_t(r));
    if (kind <= Num::Integer && r >= INT16_MIN && r <= INT16_MAX)
        return ScriptValue::Int(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX)
        return ScriptValue::Lng(int32_t(r));
    return ScriptValue::Dbl(double(r));
}

ScriptValue FloatResult(double r, Num kind)
{
    if (!std::isfinite(r))
        ThrowScriptError(6);
    if (kind == Num::Single) {
        if (std::fabs(r) > std::numeric_limits<float>::max())
            return ScriptValue::Dbl(r);
        return ScriptValue::Sng(float(r));
    }
    return ScriptValue::Dbl(r);
}

ScriptValue Arith(Op op, const ScriptValue& a, const ScriptValue& b)
{
    const Operand x = ToOperand(a), y = ToOperand(b);
    Num kind = std::max(x.kind, y.kind);
    if (kind == Num::Single && (x.kind == Num::Long || y.kind == Num::Long))
        kind = Num::Double;
    if (kind == Num::Date) {
        double r = op == Op::Add ? x.d + y.d : op == Op::Sub ? x.d - y.d : x.d * y.d;
        if (op == Op::Mul || (op == Op::Sub && x.kind == Num::Date && y.kind == Num::Date))
            return FloatResult(r, Num::Double);
        if (r < kMinDate || r > kMaxDate + 1)
            ThrowScriptError(6);
        return ScriptValue::Date(r);
    }
    if (kind == Num::Currency) {
        if (x.kind == Num::Double || y.kind == Num::Double || x.kind == Num::Single || y.kind == Num::Single) {
            const double r = op == Op::Add ? x.d + y.d : op == Op::Sub ? x.d - y.d : x.d * y.d;
            return FloatResult(r, Num::Double);
        }
        const int64_t cx = x.kind == Num::Currency ? x.c : x.i * 10000;
        const int64_t cy = y.kind == Num::Currency ? y.c : y.i * 10000;
        int64_t r = 0;
        if (op == Op::Add) {
            if (__builtin_add_overflow(cx, cy, &r))
                ThrowScriptError(6);
        } else if (op == Op::Sub) {
            if (__builtin_sub_overflow(cx, cy, &r))
                ThrowScriptError(6);
        } else {
            const long double p = (long double)cx * (long double)cy / 10000.0L;
            if (!(p > -9.2e18L && p < 9.2e18L))
                ThrowScriptError(6);
            r = int64_t(std::nearbyint((double)p));
        }
        return ScriptValue::Cur(r);
    }
    if (kind >= Num::Single) {
        const double r = op == Op::Add ? x.d + y.d : op == Op::Sub ? x.d - y.d : x.d * y.d;
        return FloatResult(r, kind);
    }
    const int64_t r = op == Op::Add ? x.i + y.i : op == Op::Sub ? x.i - y.i : x.i * y.i;
    return IntegralResult(r, kind);
}

// The integral class of an operand of \ and Mod: Byte, Integer or Long.
Num IntegralKind(const ScriptValue& v)
{
    switch (v.Type()) {
    case VarType::Byte:
        return Num::Byte;
    case VarType::Integer:
    case VarType::Boolean:
    case VarType::Empty:
        return Num::Integer;
    default:
        return Num::Long;
    }
}

// Operands of the logical operators: a Boolean, or a whole number for bitwise work.
int32_t LogicalOperand(const ScriptValue& v)
{
    if (v.IsString())
        if (const std::optional<bool> b = BooleanText(v.RawString()))
            return *b ? -1 : 0;
    return v.ToLong();
}

// The type an operand of a logical operator works in: a Boolean, a Byte and an Integer
// keep theirs; anything else (Empty, text, a fraction, currency, a date) is a Long.
VarType LogicalType(const ScriptValue& v)
{
    const VarType t = v.Type();
    return t == VarType::Boolean || t == VarType::Byte || t == VarType::Integer ? t : VarType::Long;
}

// The type two operands share, else Long when one is a Long, else Integer.
ScriptValue LogicalResult(int32_t r, VarType x, VarType y)
{
    const VarType t = x == y ? x : x == VarType::Long || y == VarType::Long ? VarType::Long : VarType::Integer;
    switch (t) {
    case VarType::Boolean: return ScriptValue::Bool(r != 0);
    case VarType::Byte: return ScriptValue::Byte(uint8_t(r));
    case VarType::Integer: return ScriptValue::Int(int16_t(r));
    default: return ScriptValue::Lng(r);
    }
}

ScriptValue Logical(Op op, const ScriptValue& a, const ScriptValue& b)
{
    if (a.IsObject() || b.IsObject())
        return Logical(op, a.IsObject() ? DefaultValue(a) : a, b.IsObject() ? DefaultValue(b) : b);
    const bool an = a.IsNull(), bn = b.IsNull();
    if (an || bn) {
        if (an && bn)
            return ScriptValue::Null();
        // The other side alone decides where it can, in its own type: x And Null is x
        // when x is 0, x Or Null is x when x is not 0 (whether or not all its bits are
        // set), and a Imp b is Not a Or b. Whether Not a is 0 is judged on the 32-bit
        // value before it is cut to a's type, so a Byte on the left always decides:
        // CByte(170) Imp Null is 85 and CByte(255) Imp Null is Byte 0. Else: Null.
        const ScriptValue& other = an ? b : a;
        const VarType t = LogicalType(other);
        const int32_t o = op == Op::Imp && bn ? ~LogicalOperand(other) : LogicalOperand(other);
        if (op == Op::And && o == 0)
            return LogicalResult(0, t, t);
        if ((op == Op::Or || op == Op::Imp) && o != 0)
            return LogicalResult(o, t, t);
        return ScriptValue::Null();
    }
    const int32_t x = LogicalOperand(a), y = LogicalOperand(b);
    int32_t r = 0;
    switch (op) {
    case Op::And: r = x & y; break;
    case Op::Or: r = x | y; break;
    case Op::Xor: r = x ^ y; break;
    case Op::Eqv: r = ~(x ^ y); break;
    default: r = ~x | y; break;
    }
    return LogicalResult(r, LogicalType(a), LogicalType(b));
}

bool IsNumberLike(const ScriptValue& v)
{
    return v.IsNumeric() && !v.IsEmpty();
}

ScriptValue ComparisonResult(Op op, int c)
{
    switch (op) {
    case Op::Eq: return ScriptValue::Bool(c == 0);
    case Op::Ne: return ScriptValue::Bool(c != 0);
    case Op::Lt: return ScriptValue::Bool(c < 0);
    case Op::Le: return ScriptValue::Bool(c <= 0);
    case Op::Gt: return ScriptValue::Bool(c > 0);
    default: return ScriptValue::Bool(c >= 0);
    }
}

} // namespace

int CompareValues(const ScriptValue& a0, const ScriptValue& b0, bool textCompare, bool& isNull)
{
    const ScriptValue a = a0.IsObject() ? DefaultValue(a0) : a0;
    const ScriptValue b = b0.IsObject() ? DefaultValue(b0) : b0;
    isNull = a.IsNull() || b.IsNull();
    if (isNull)
        return 0;
    if (a.IsArray() || b.IsArray())
        ThrowScriptError(13);
    if (a.IsString() || b.IsString()) {
        if (a.IsString() && b.IsString()) {
            const int c = QString::compare(a.RawString(), b.RawString(), textCompare ? Qt::CaseInsensitive : Qt::CaseSensitive);
            return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        const ScriptValue& other = a.IsString() ? b : a;
        if (other.IsEmpty()) {
            const QString& s = a.IsString() ? a.RawString() : b.RawString();
            return s.isEmpty() ? 0 : (a.IsString() ? 1 : -1);
        }
        return a.IsString() ? 1 : -1; // numbers sort before strings
    }
    if (a.Type() == VarType::Currency && b.Type() == VarType::Currency)
        return a.RawCurrency() < b.RawCurrency() ? -1 : a.RawCurrency() > b.RawCurrency() ? 1 : 0;
    if (a.IsIntegral() && b.IsIntegral())
        return a.RawInt() < b.RawInt() ? -1 : a.RawInt() > b.RawInt() ? 1 : 0;
    const double x = a.ToDouble(), y = b.ToDouble();
    // A Single meets the other side in single precision: CSng(0.1) = 0.1.
    if (a.Type() == VarType::Single || b.Type() == VarType::Single) {
        const float fx = float(x), fy = float(y);
        return fx < fy ? -1 : fx > fy ? 1 : 0;
    }
    return x < y ? -1 : x > y ? 1 : 0;
}

ScriptValue Compare(Op op, const ScriptValue& a, const ScriptValue& b, bool aLiteral, bool bLiteral)
{
    if (aLiteral != bLiteral) {
        const ScriptValue& lit = aLiteral ? a : b;
        const ScriptValue& var = aLiteral ? b : a;
        double d = 0;
        if (var.IsString() && IsNumberLike(lit) && ScriptValue::ParseNumber(var.RawString(), d)) {
            const ScriptValue n = ScriptValue::Dbl(d);
            return Compare(op, aLiteral ? a : n, aLiteral ? n : b, false, false);
        }
        if (lit.IsString() && IsNumberLike(var)) {
            const ScriptValue s = ScriptValue::Str(var.ToString());
            return Compare(op, aLiteral ? a : s, aLiteral ? s : b, false, false);
        }
    } else if (aLiteral && a.IsString() != b.IsString()) {
        // Two literals: a Boolean is compared as its text ("True" = True); the string must
        // read as the number ("42" = 42) or the date, else 13.
        const bool textFirst = a.IsString();
        const ScriptValue& text = textFirst ? a : b;
        const ScriptValue& other = textFirst ? b : a;
        if (other.Type() == VarType::Boolean) {
            const ScriptValue s = ScriptValue::Str(other.ToString());
            return Compare(op, textFirst ? a : s, textFirst ? s : b, false, false);
        }
        if (IsNumberLike(other)) {
            double d = 0;
            if (other.Type() == VarType::Date)
                d = text.ToDate();
            else if (!ScriptValue::ParseNumber(text.RawString(), d))
                ThrowScriptError(13);
            const ScriptValue n = other.Type() == VarType::Date ? ScriptValue::Date(d) : ScriptValue::Dbl(d);
            return Compare(op, textFirst ? n : a, textFirst ? b : n, false, false);
        }
    }
    bool isNull = false;
    const int c = CompareValues(a, b, false, isNull);
    return isNull ? ScriptValue::Null() : ComparisonResult(op, c);
}

ScriptValue Binary(Op op, const ScriptValue& a, const ScriptValue& b)
{
    switch (op) {
    case Op::Concat: {
        if (a.IsNull() && b.IsNull())
            return ScriptValue::Null();
        const QString x = a.ToText(), y = b.ToText();
        CheckNewString(x.size() + y.size());
        return ScriptValue::Str(x + y);
    }
    case Op::Eq:
    case Op::Ne:
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge:
        return Compare(op, a, b, false, false);
    case Op::And:
    case Op::Or:
    case Op::Xor:
    case Op::Eqv:
    case Op::Imp:
        return Logical(op, a, b);
    case Op::Is:
        if (!a.IsObject() || !b.IsObject())
            ThrowScriptError(424);
        return ScriptValue::Bool(a.RawObject() == b.RawObject());
    default:
        break;
    }
    if (a.IsNull() || b.IsNull())
        return ScriptValue::Null();
    switch (op) {
    case Op::Add:
        if (a.IsString() && (b.IsString() || b.IsEmpty())) {
            CheckNewString(a.RawString().size() + b.RawString().size());
            return ScriptValue::Str(a.RawString() + b.RawString());
        }
        if (b.IsString() && a.IsEmpty())
            return b;
        [[fallthrough]];
    case Op::Sub:
    case Op::Mul:
        if (a.IsIntegral() && b.IsIntegral() && a.Type() == b.Type() && a.Type() != VarType::Boolean) {
            const int64_t x = a.RawInt(), y = b.RawInt();
            const int64_t r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
            return IntegralResult(r, a.Type() == VarType::Byte ? Num::Byte : a.Type() == VarType::Integer ? Num::Integer : Num::Long);
        }
        return Arith(op, a, b);
    case Op::Div: {
        const double y = b.IsObject() ? DefaultValue(b).ToDouble() : b.ToDouble();
        const double x = a.IsObject() ? DefaultValue(a).ToDouble() : a.ToDouble();
        if (y == 0.0)
            ThrowScriptError(x == 0.0 ? 6 : 11);
        // Single stays Single unless a Long, Double or string takes part.
        const auto narrow = [](const ScriptValue& v) {
            return v.Type() == VarType::Single || v.Type() == VarType::Integer || v.Type() == VarType::Byte
                   || v.Type() == VarType::Boolean || v.IsEmpty();
        };
        const bool single = (a.Type() == VarType::Single || b.Type() == VarType::Single) && narrow(a) && narrow(b);
        return FloatResult(x / y, single ? Num::Single : Num::Double);
    }
    case Op::IntDiv:
    case Op::Mod: {
        const int64_t x = a.ToLong(), y = b.ToLong();
        if (y == 0)
            ThrowScriptError(11);
        const int64_t r = op == Op::IntDiv ? x / y : x % y;
        return IntegralResult(r, std::max(IntegralKind(a), IntegralKind(b)));
    }
    case Op::Pow: {
        const double x = a.ToDouble(), y = b.ToDouble();
        if (x < 0 && y != std::floor(y))
            ThrowScriptError(5);
        return FloatResult(std::pow(x, y), Num::Double);
    }
    default:
        ThrowScriptError(51);
    }
}

ScriptValue Negate(const ScriptValue& a)
{
    switch (a.Type()) {
    case VarType::Null:
        return a;
    case VarType::Empty:
        return ScriptValue::Int(0);
    case VarType::Integer:
    case VarType::Boolean:
    case VarType::Byte:
        return ScriptValue::Whole(-int64_t(a.RawInt()));
    case VarType::Long:
        return a.RawInt() == INT32_MIN ? ScriptValue::Dbl(2147483648.0) : ScriptValue::Lng(-a.RawInt());
    case VarType::Single:
        return ScriptValue::Sng(-float(a.RawDouble()));
    case VarType::Date:
        return ScriptValue::Date(-a.RawDouble());
    case VarType::Currency:
        return ScriptValue::Cur(-a.RawCurrency());
    case VarType::Object:
        return Negate(DefaultValue(a));
    default:
        return ScriptValue::Dbl(-a.ToDouble());
    }
}

ScriptValue Not(const ScriptValue& a)
{
    switch (a.Type()) {
    case VarType::Null:
        return a;
    case VarType::Boolean:
        return ScriptValue::Bool(a.RawInt() == 0);
    case VarType::Empty:
        return ScriptValue::Lng(-1);
    case VarType::Byte:
        return ScriptValue::Byte(uint8_t(~a.RawInt()));
    case VarType::Integer:
        return ScriptValue::Int(int16_t(~a.RawInt()));
    case VarType::Object:
        return Not(DefaultValue(a));
    default:
        return ScriptValue::Lng(~LogicalOperand(a));
    }
}

} // namespace ScriptOps

// ---------------------------------------------------------------------------------------

namespace ScriptDates {

Parts Split(double serial)
{
    double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    int64_t secs = int64_t(std::llround(frac * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        whole += serial < 0 ? -1 : 1;
    }
    Parts p;
    CivilFromDays(int64_t(whole) + kEpoch, p.year, p.month, p.day);
    p.hour = int(secs / 3600);
    p.minute = int(secs / 60 % 60);
    p.second = int(secs % 60);
    return p;
}

bool Serial(int year, int month, int day, double& out)
{
    // Months and days beyond their range roll over, as DateSerial does.
    int64_t y = year;
    int64_t m = month - 1;
    y += m >= 0 ? m / 12 : (m - 11) / 12;
    m = ((m % 12) + 12) % 12;
    if (y < 100 || y > 9999)
        return false;
    const int64_t days = DaysFromCivil(y, unsigned(m + 1), 1) - kEpoch + (int64_t(day) - 1);
    out = double(days);
    return out >= kMinDate && out <= kMaxDate;
}

double TimeSerial(int hour, int minute, int second)
{
    return (double(hour) * 3600.0 + double(minute) * 60.0 + double(second)) / 86400.0;
}

double Join(const Parts& p)
{
    double days = 0;
    Serial(p.year, p.month, p.day, days);
    const double t = TimeSerial(p.hour, p.minute, p.second);
    return days < 0 ? days - t : days + t;
}

namespace {

QString TimeText(const Parts& p)
{
    const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(h12)
        .arg(p.minute, 2, 10, QChar(u'0'))
        .arg(p.second, 2, 10, QChar(u'0'))
        .arg(p.hour < 12 ? u"AM" : u"PM");
}

const char* const kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                               "August", "September", "October", "November", "December"};
const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

} // namespace

QString Format(double serial)
{
    const Parts p = Split(serial);
    const bool hasTime = p.hour || p.minute || p.second;
    const QString date = QStringLiteral("%1/%2/%3").arg(p.month).arg(p.day).arg(p.year);
    if (std::trunc(serial) == 0.0 && !(p.year != 1899 || p.month != 12 || p.day != 30))
        return TimeText(p);
    return hasTime ? date + u' ' + TimeText(p) : date;
}

QString MonthName(int month, bool abbreviate)
{
    const QString name = QString::fromLatin1(kMonths[(month - 1) % 12]);
    return abbreviate ? name.left(3) : name;
}

QString WeekdayName(int weekday, bool abbreviate)
{
    const QString name = QString::fromLatin1(kWeekdays[(weekday - 1) % 7]);
    return abbreviate ? name.left(3) : name;
}

bool Parse(const QString& input, double& out)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return false;
    std::vector<int> numbers;
    std::vector<int> numberLengths;
    int monthName = 0;
    int hour = -1, minute = 0, second = 0;
    int ampm = 0; // 1 AM, 2 PM
    bool dots = false;
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        const QChar c = text[i];
        if (c.isDigit()) {
            int start = i;
            while (i < n && text[i].isDigit())
                ++i;
            if (i - start > 9)
                return false;
            const int value = text.mid(start, i - start).toInt();
            if (i < n && text[i] == u':') {
                if (hour >= 0)
                    return false;
                hour = value;
                // ":mm" and an optional ":ss", one or two digits each.
                const auto part = [&](int& out) {
                    const int from = ++i;
                    while (i < n && text[i].isDigit())
                        ++i;
                    out = text.mid(from, i - from).toInt();
                    return i > from && i - from <= 2;
                };
                if (!part(minute) || (i < n && text[i] == u':' && !part(second)))
                    return false;
                continue;
            }
            numbers.push_back(value);
            numberLengths.push_back(i - start);
        } else if (c.isLetter()) {
            const int start = i;
            while (i < n && text[i].isLetter())
                ++i;
            const QString word = text.mid(start, i - start);
            if (word.compare(u"am", Qt::CaseInsensitive) == 0 || word.compare(u"a", Qt::CaseInsensitive) == 0) {
                ampm = 1;
                continue;
            }
            if (word.compare(u"pm", Qt::CaseInsensitive) == 0 || word.compare(u"p", Qt::CaseInsensitive) == 0) {
                ampm = 2;
                continue;
            }
            bool found = false;
            for (int m = 0; m < 12 && !found; ++m) {
                const QString full = QString::fromLatin1(kMonths[m]);
                if (word.size() >= 3 && full.startsWith(word, Qt::CaseInsensitive)) {
                    monthName = m + 1;
                    found = true;
                }
            }
            for (int d = 0; d < 7 && !found; ++d)
                if (word.size() >= 3 && QString::fromLatin1(kWeekdays[d]).startsWith(word, Qt::CaseInsensitive))
                    found = true; // a weekday name adds nothing
            if (!found)
                return false;
        } else if (c == u'/' || c == u'-' || c == u'.' || c == u',' || c.isSpace()) {
            dots = dots || c == u'.';
            ++i;
        } else {
            return false;
        }
    }
    if (ampm && hour < 0 && numbers.size() == 1 && !monthName) {
        hour = numbers[0];
        numbers.clear();
    }
    if (hour >= 0) {
        if (ampm) {
            if (hour < 1 || hour > 12)
                return false;
            hour = hour % 12 + (ampm == 2 ? 12 : 0);
        }
        if (hour > 23 || minute > 59 || second > 59)
            return false;
    }
    int year = 0, month = 0, day = 0;
    const auto fixYear = [](int y, int len) { return len <= 2 ? (y < 30 ? 2000 + y : 1900 + y) : y; };
    if (monthName) {
        if (numbers.size() == 1) {
            day = numbers[0] <= 31 ? numbers[0] : 1;
            year = numbers[0] <= 31 ? QDate::currentDate().year() : numbers[0];
        } else if (numbers.size() == 2) {
            if (numbers[0] > 31 || numberLengths[0] > 2) {
                year = numbers[0];
                day = numbers[1];
            } else {
                day = numbers[0];
                year = fixYear(numbers[1], numberLengths[1]);
            }
        } else {
            return false;
        }
        month = monthName;
    } else if (numbers.size() == 3) {
        if (numberLengths[0] > 2 || numbers[0] > 31) {
            year = numbers[0];
            month = numbers[1];
            day = numbers[2];
        } else {
            month = numbers[0];
            day = numbers[1];
            year = fixYear(numbers[2], numberLengths[2]);
            // "15/3/2026" is read day first; with dots, the English (United States)
            // order is kept and "15.03.2026" is no date.
            if (month > 12 && day <= 12 && !dots)
                std::swap(month, day);
        }
    } else if (numbers.size() == 2) {
        if (numbers[1] > 31 || numberLengths[1] > 2) {
            month = numbers[0];
            day = 1;
            year = fixYear(numbers[1], numberLengths[1]);
        } else {
            month = numbers[0];
            day = numbers[1];
            year = QDate::currentDate().year();
        }
    } else if (!numbers.empty()) {
        return false;
    }
    double days = 0;
    if (month || day || year) {
        if (month < 1 || month > 12 || day < 1 || day > 31)
            return false;
        if (!QDate(year, month, day).isValid() || !Serial(year, month, day, days))
            return false;
    } else if (hour < 0) {
        return false;
    }
    const double t = hour >= 0 ? TimeSerial(hour, minute, second) : 0.0;
    out = days < 0 ? days - t : days + t;
    return true;
}

} // namespace ScriptDates
