// The built-in functions and constants of the script language.
#include "platform/script/ScriptRuntime.h"

#include <QDateTime>
#include <QHash>
#include <cmath>
#include <cstring>

namespace {

using Args = std::span<ScriptValue>;

bool Has(Args a, size_t i)
{
    return i < a.size() && !(a[i].Type() == VarType::Error);
}

const ScriptValue& NotNullArgument(const ScriptValue& v)
{
    if (v.IsNull())
        ThrowScriptError(94);
    return v;
}

bool AnyNull(Args a, size_t count)
{
    for (size_t i = 0; i < count && i < a.size(); ++i)
        if (a[i].IsNull())
            return true;
    return false;
}

// Arguments from the given one on that cannot be Null: 94 before any of them is read,
// so MonthName("a", Null) is 94, not 13.
void NoNullFrom(Args a, size_t first)
{
    for (size_t i = first; i < a.size(); ++i)
        NotNullArgument(a[i]);
}

int32_t Long(const ScriptValue& v)
{
    return v.ToLong();
}

// A length or count argument: whole and not negative, else error 5.
int Count(const ScriptValue& v)
{
    const int32_t n = v.ToLong();
    if (n < 0)
        ThrowScriptError(5);
    return n;
}

// The length of a string to be made.
int Length(const ScriptValue& v)
{
    const int n = Count(v);
    CheckNewString(n);
    return n;
}

// A compare-mode argument: vbBinaryCompare or vbTextCompare; Null is 94, others 5.
Qt::CaseSensitivity Compare(Args a, size_t i)
{
    if (!Has(a, i))
        return Qt::CaseSensitive;
    const int32_t mode = Long(NotNullArgument(a[i]));
    if (mode != 0 && mode != 1)
        ThrowScriptError(5);
    return mode == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive;
}

ScriptValue Str(QString s)
{
    return ScriptValue::Str(std::move(s));
}

// ---- strings

ScriptValue Len(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        return a[0];
    return ScriptValue::Lng(int32_t(a[0].ToText().size()));
}

ScriptValue Left(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        return a[0];
    return Str(a[0].ToText().left(Count(a[1])));
}

ScriptValue Right(ScriptRuntime&, Args a)
{
    const int count = Count(NotNullArgument(a[1]));
    if (a[0].IsNull())
        return a[0];
    return Str(a[0].ToText().right(count));
}

ScriptValue Mid(ScriptRuntime&, Args a)
{
    NoNullFrom(a, 1);
    const int start = Long(a[1]);
    if (start < 1)
        ThrowScriptError(5);
    const int length = Has(a, 2) ? Count(a[2]) : -1;
    if (a[0].IsNull())
        return a[0];
    return Str(a[0].ToText().mid(start - 1, length));
}

ScriptValue InStr(ScriptRuntime&, Args a)
{
    size_t i = 0;
    int start = 1;
    if (a.size() >= 3) {
        if (a[0].IsNull())
            ThrowScriptError(94);
        start = Long(a[0]);
        if (start < 1)
            ThrowScriptError(5);
        i = 1;
    }
    const Qt::CaseSensitivity cs = Compare(a, i + 2);
    if (a[i].IsNull() || a[i + 1].IsNull())
        return ScriptValue::Null();
    const QString s = a[i].ToText(), find = a[i + 1].ToText();
    if (start > s.size())
        return ScriptValue::Lng(0);
    if (find.isEmpty())
        return ScriptValue::Lng(start);
    return ScriptValue::Lng(int32_t(s.indexOf(find, start - 1, cs) + 1));
}

ScriptValue InStrRev(ScriptRuntime&, Args a)
{
    // Unlike InStr, no argument may be Null, the text searched included:
    // InStrRev(Null, "b") is 94, not Null.
    NoNullFrom(a, 0);
    int start = Has(a, 2) ? Long(a[2]) : -1;
    const Qt::CaseSensitivity cs = Compare(a, 3);
    const QString s = a[0].ToText(), find = a[1].ToText();
    if (start == 0 || start < -1)
        ThrowScriptError(5);
    if (start == -1)
        start = int(s.size());
    if (start > s.size())
        return ScriptValue::Lng(0);
    if (find.isEmpty())
        return ScriptValue::Lng(start);
    if (start - find.size() < 0)
        return ScriptValue::Lng(0);
    return ScriptValue::Lng(int32_t(s.lastIndexOf(find, start - find.size(), cs) + 1));
}

ScriptValue Replace(ScriptRuntime&, Args a)
{
    if (AnyNull(a, a.size()))
        ThrowScriptError(94);
    const QString s = a[0].ToText(), find = a[1].ToText(), with = a[2].ToText();
    const int start = Has(a, 3) ? Long(a[3]) : 1;
    int count = Has(a, 4) ? Long(a[4]) : -1;
    if (start < 1 || count < -1)
        ThrowScriptError(5);
    const Qt::CaseSensitivity cs = Compare(a, 5);
    // The text before the start position is dropped, as the language does.
    const QString rest = s.mid(start - 1);
    if (find.isEmpty() || count == 0)
        return Str(rest);
    QString out;
    qsizetype pos = 0;
    while (count != 0) {
        const qsizetype hit = rest.indexOf(find, pos, cs);
        if (hit < 0)
            break;
        out += QStringView(rest).mid(pos, hit - pos);
        CheckStringLength(out.size() + with.size());
        out += with;
        pos = hit + find.size();
        if (count > 0)
            --count;
    }
    out += QStringView(rest).mid(pos);
    return Str(out);
}

QString TrimSpaces(const QString& s, bool left, bool right)
{
    qsizetype b = 0, e = s.size();
    while (left && b < e && s[b] == u' ')
        ++b;
    while (right && e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

ScriptValue LTrim(ScriptRuntime&, Args a) { return a[0].IsNull() ? a[0] : Str(TrimSpaces(a[0].ToText(), true, false)); }
ScriptValue RTrim(ScriptRuntime&, Args a) { return a[0].IsNull() ? a[0] : Str(TrimSpaces(a[0].ToText(), false, true)); }
ScriptValue Trim(ScriptRuntime&, Args a) { return a[0].IsNull() ? a[0] : Str(TrimSpaces(a[0].ToText(), true, true)); }
ScriptValue UCase(ScriptRuntime&, Args a) { return a[0].IsNull() ? a[0] : Str(a[0].ToText().toUpper()); }
ScriptValue LCase(ScriptRuntime&, Args a) { return a[0].IsNull() ? a[0] : Str(a[0].ToText().toLower()); }

ScriptValue Space(ScriptRuntime&, Args a)
{
    return Str(QString(Length(a[0]), u' '));
}

ScriptValue String(ScriptRuntime&, Args a)
{
    const int n = Length(a[0]);
    if (a[1].IsNull())
        return a[1];
    QChar c;
    if (a[1].IsString()) {
        if (a[1].RawString().isEmpty())
            ThrowScriptError(5);
        c = a[1].RawString()[0];
    } else {
        c = QChar(char16_t(Long(a[1]) & 0xFF));
    }
    return Str(QString(n, c));
}

ScriptValue StrReverse(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        ThrowScriptError(94);
    QString s = a[0].ToText();
    std::reverse(s.begin(), s.end());
    return Str(s);
}

ScriptValue StrComp(ScriptRuntime&, Args a)
{
    if (AnyNull(a, 2))
        return ScriptValue::Null();
    const int c = QString::compare(a[0].ToText(), a[1].ToText(), Compare(a, 2));
    return ScriptValue::Int(int16_t(c < 0 ? -1 : c > 0 ? 1 : 0));
}

std::shared_ptr<ScriptArray> MakeArray(std::vector<ScriptValue> values)
{
    if (values.size() > kMaxArrayElements)
        ThrowScriptError(7);
    auto arr = std::make_shared<ScriptArray>();
    arr->upper = {int32_t(values.size()) - 1};
    arr->data = std::move(values);
    return arr;
}

ScriptValue Split(ScriptRuntime&, Args a)
{
    if (AnyNull(a, a.size()))
        ThrowScriptError(94);
    const QString s = a[0].ToText();
    const QString delim = Has(a, 1) ? a[1].ToText() : QStringLiteral(" ");
    int limit = Has(a, 2) ? Long(a[2]) : -1;
    if (limit < -1)
        ThrowScriptError(5);
    const Qt::CaseSensitivity cs = Compare(a, 3);
    std::vector<ScriptValue> parts;
    if (!s.isEmpty() && limit != 0) {
        if (delim.isEmpty()) {
            parts.push_back(Str(s));
        } else {
            qsizetype pos = 0;
            for (;;) {
                const qsizetype hit = limit == 1 ? -1 : s.indexOf(delim, pos, cs);
                if (hit < 0) {
                    parts.push_back(Str(s.mid(pos)));
                    break;
                }
                parts.push_back(Str(s.mid(pos, hit - pos)));
                pos = hit + delim.size();
                // Every part costs an element besides its text.
                if (parts.size() > kMaxArrayElements)
                    ThrowScriptError(7);
                if (parts.size() == parts.capacity())
                    NoteScriptAllocation(parts.size() * 2 * sizeof(ScriptValue));
                if (limit > 0)
                    --limit;
            }
        }
    }
    return ScriptValue::Arr(MakeArray(std::move(parts)));
}

// The array Join and Filter take: Null is 94, an object stands for its default value
// (438 when it has none), anything else that is no array 13.
std::shared_ptr<ScriptArray> ListArgument(const ScriptValue& v)
{
    const ScriptValue& list = v.IsObject() ? DefaultValue(v) : NotNullArgument(v);
    if (!list.IsArray())
        ThrowScriptError(13);
    return list.RawArray();
}

// An element of that array as text, as CStr writes it, except that Null is 13.
QString ElementText(const ScriptValue& v)
{
    if (v.IsNull())
        ThrowScriptError(13);
    return v.ToString();
}

ScriptValue Join(ScriptRuntime&, Args a)
{
    const std::shared_ptr<ScriptArray> list = ListArgument(a[0]);
    if (list->upper.size() != 1)
        ThrowScriptError(13);
    const QString delim = Has(a, 1) ? NotNullArgument(a[1]).ToString() : QStringLiteral(" ");
    QString out;
    bool first = true;
    for (const ScriptValue& v : list->data) {
        const QString text = ElementText(v);
        CheckStringLength(out.size() + delim.size() + text.size());
        if (!first)
            out += delim;
        out += text;
        first = false;
    }
    return Str(out);
}

ScriptValue Asc(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        ThrowScriptError(94);
    const QString s = a[0].ToText();
    if (s.isEmpty())
        ThrowScriptError(5);
    return ScriptValue::Int(int16_t(s[0].unicode()));
}

ScriptValue Chr(ScriptRuntime&, Args a)
{
    const int32_t n = Long(a[0]);
    if (n < 0 || n > 255)
        ThrowScriptError(5);
    return Str(QString(QChar(char16_t(n))));
}

ScriptValue ChrW(ScriptRuntime&, Args a)
{
    const int32_t n = Long(a[0]);
    if (n < -32768 || n > 65535)
        ThrowScriptError(5);
    return Str(QString(QChar(char16_t(uint16_t(n)))));
}

// ---- conversions and tests

ScriptValue NotNull(const ScriptValue& v)
{
    if (v.IsNull())
        ThrowScriptError(94);
    return v;
}

ScriptValue CStr(ScriptRuntime&, Args a) { return Str(NotNull(a[0]).ToString()); }
ScriptValue CInt(ScriptRuntime&, Args a) { return ScriptValue::Int(NotNull(a[0]).ToInteger()); }
ScriptValue CLng(ScriptRuntime&, Args a) { return ScriptValue::Lng(NotNull(a[0]).ToLong()); }
ScriptValue CDbl(ScriptRuntime&, Args a) { return ScriptValue::Dbl(NotNull(a[0]).ToDouble()); }
ScriptValue CBool(ScriptRuntime&, Args a) { return ScriptValue::Bool(NotNull(a[0]).ToBool()); }
ScriptValue CDate(ScriptRuntime&, Args a) { return ScriptValue::Date(NotNull(a[0]).ToDate()); }
ScriptValue CCur(ScriptRuntime&, Args a) { return ScriptValue::Cur(NotNull(a[0]).ToCurrency()); }

ScriptValue CSng(ScriptRuntime&, Args a)
{
    const double d = NotNull(a[0]).ToDouble();
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        ThrowScriptError(6);
    return ScriptValue::Sng(float(d));
}

ScriptValue CByte(ScriptRuntime&, Args a)
{
    // True is all bits set.
    if (a[0].Type() == VarType::Boolean)
        return ScriptValue::Byte(a[0].RawInt() ? 255 : 0);
    const double d = std::nearbyint(NotNull(a[0]).ToDouble());
    if (d < 0 || d > 255)
        ThrowScriptError(6);
    return ScriptValue::Byte(uint8_t(d));
}

// Int and Fix keep the argument's type; strings become Double.
ScriptValue Whole(const ScriptValue& v, double (*round)(double))
{
    switch (v.Type()) {
    case VarType::Null:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
        return v;
    case VarType::Empty:
        return ScriptValue::Int(0);
    case VarType::Boolean:
        return ScriptValue::Int(int16_t(v.RawInt()));
    case VarType::Single:
        return ScriptValue::Sng(float(round(v.RawDouble())));
    case VarType::Date:
        return ScriptValue::Date(round(v.RawDouble()));
    case VarType::Currency:
        return ScriptValue::Cur(int64_t(round(double(v.RawCurrency()) / 10000.0)) * 10000);
    default:
        return ScriptValue::Dbl(round(v.ToDouble()));
    }
}

ScriptValue Int(ScriptRuntime&, Args a) { return Whole(a[0], [](double d) { return std::floor(d); }); }
ScriptValue Fix(ScriptRuntime&, Args a) { return Whole(a[0], [](double d) { return std::trunc(d); }); }

ScriptValue Round(ScriptRuntime&, Args a)
{
    const ScriptValue& v = a[0];
    const int digits = Has(a, 1) ? Count(a[1]) : 0;
    if (v.IsNull() || v.IsIntegral())
        return v;
    const double d = v.ToDouble();
    const double scale = std::pow(10.0, digits);
    double r = std::nearbyint(d * scale) / scale;
    if (digits > 15 || !std::isfinite(r))
        r = d;
    switch (v.Type()) {
    case VarType::Single:
        return ScriptValue::Sng(float(r));
    case VarType::Currency:
        return ScriptValue::Cur(int64_t(std::nearbyint(r * 10000.0)));
    case VarType::Date:
        return ScriptValue::Date(r);
    default:
        return ScriptValue::Dbl(r);
    }
}

ScriptValue Abs(ScriptRuntime&, Args a)
{
    const ScriptValue& v = a[0];
    switch (v.Type()) {
    case VarType::Null:
        return v;
    case VarType::Empty:
        return ScriptValue::Int(0);
    case VarType::Integer:
    case VarType::Boolean:
        return ScriptValue::Whole(std::abs(int64_t(v.RawInt())));
    case VarType::Byte:
        return v;
    case VarType::Long:
        if (v.RawInt() == INT32_MIN)
            ThrowScriptError(6);
        return ScriptValue::Lng(std::abs(v.RawInt()));
    case VarType::Single:
        return ScriptValue::Sng(float(std::fabs(v.RawDouble())));
    case VarType::Currency:
        return ScriptValue::Cur(std::abs(v.RawCurrency()));
    default:
        return ScriptValue::Dbl(std::fabs(v.ToDouble()));
    }
}

ScriptValue Sgn(ScriptRuntime&, Args a)
{
    const double d = NotNull(a[0]).ToDouble();
    return ScriptValue::Int(int16_t(d > 0 ? 1 : d < 0 ? -1 : 0));
}

QString Radix(const ScriptValue& v, int base)
{
    uint32_t bits;
    if (v.Type() == VarType::Integer || v.Type() == VarType::Boolean || v.Type() == VarType::Byte || v.IsEmpty())
        bits = uint16_t(int16_t(v.ToLong()));
    else
        bits = uint32_t(v.ToLong());
    return QString::number(bits, base).toUpper();
}

ScriptValue Hex(ScriptRuntime&, Args a) { return a[0].IsNull() ? a[0] : Str(Radix(a[0], 16)); }
ScriptValue Oct(ScriptRuntime&, Args a) { return a[0].IsNull() ? a[0] : Str(Radix(a[0], 8)); }

ScriptValue IsNumeric(ScriptRuntime& rt, Args a)
{
    ScriptValue& v = a[0];
    // An object is numeric when its default property is.
    if (v.IsObject()) {
        ScriptValue value;
        if (!v.RawObject() || !v.RawObject()->Invoke(QString(), InvokeKind::Get, {}, value) || value.IsObject())
            return ScriptValue::Bool(false);
        return IsNumeric(rt, std::span<ScriptValue>(&value, 1));
    }
    if (v.IsString()) {
        double d = 0;
        return ScriptValue::Bool(ScriptValue::ParseNumber(v.RawString(), d));
    }
    return ScriptValue::Bool(v.IsNumeric() && v.Type() != VarType::Date);
}

ScriptValue IsDate(ScriptRuntime&, Args a)
{
    if (a[0].Type() == VarType::Date)
        return ScriptValue::Bool(true);
    double d = 0;
    return ScriptValue::Bool(a[0].IsString() && ScriptDates::Parse(a[0].RawString(), d));
}

ScriptValue IsEmpty(ScriptRuntime&, Args a) { return ScriptValue::Bool(a[0].IsEmpty()); }
ScriptValue IsNull(ScriptRuntime&, Args a) { return ScriptValue::Bool(a[0].IsNull()); }
ScriptValue IsArray(ScriptRuntime&, Args a) { return ScriptValue::Bool(a[0].IsArray()); }
ScriptValue IsObject(ScriptRuntime&, Args a) { return ScriptValue::Bool(a[0].IsObject()); }

ScriptValue VarTypeOf(ScriptRuntime&, Args a)
{
    const ScriptValue& v = a[0];
    if (v.IsArray())
        return ScriptValue::Int(int16_t(int(VarType::Array) | int(VarType::Variant)));
    return ScriptValue::Int(int16_t(v.Type()));
}

ScriptValue TypeNameOf(ScriptRuntime&, Args a)
{
    const ScriptValue& v = a[0];
    switch (v.Type()) {
    case VarType::Empty: return Str(QStringLiteral("Empty"));
    case VarType::Null: return Str(QStringLiteral("Null"));
    case VarType::Integer: return Str(QStringLiteral("Integer"));
    case VarType::Long: return Str(QStringLiteral("Long"));
    case VarType::Single: return Str(QStringLiteral("Single"));
    case VarType::Double: return Str(QStringLiteral("Double"));
    case VarType::Currency: return Str(QStringLiteral("Currency"));
    case VarType::Date: return Str(QStringLiteral("Date"));
    case VarType::String: return Str(QStringLiteral("String"));
    case VarType::Boolean: return Str(QStringLiteral("Boolean"));
    case VarType::Byte: return Str(QStringLiteral("Byte"));
    case VarType::Error: return Str(QStringLiteral("Error"));
    case VarType::Array: return Str(QStringLiteral("Variant()"));
    case VarType::Object: return Str(v.RawObject() ? v.RawObject()->TypeName() : QStringLiteral("Nothing"));
    default: return Str(QStringLiteral("Unknown"));
    }
}

// ---- formatting

// Tristate arguments: -2 (or missing) takes the default.
bool Tristate(Args a, size_t i, bool fallback)
{
    if (!Has(a, i))
        return fallback;
    const int32_t v = Long(a[i]);
    return v == -2 ? fallback : v != 0;
}

QString FormatFixed(double value, int digits, bool leadingDigit, bool parens, bool group, const QString& prefix, const QString& suffix)
{
    if (digits < -1)
        ThrowScriptError(5);
    if (digits == -1)
        digits = 2;
    const double scale = std::pow(10.0, digits);
    double r = std::round(std::fabs(value) * scale) / scale;
    QString text = QString::number(r, 'f', digits);
    const bool negative = value < 0 && r != 0.0;
    qsizetype point = text.indexOf(u'.');
    if (point < 0)
        point = text.size();
    if (group)
        for (qsizetype i = point - 3; i > 0; i -= 3)
            text.insert(i, u',');
    if (!leadingDigit && text.startsWith(QStringLiteral("0.")))
        text.remove(0, 1);
    text = prefix + text + suffix;
    if (negative)
        text = parens ? QString(u'(' + text + u')') : QString(u'-' + text);
    return text;
}

ScriptValue FormatNumber(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        ThrowScriptError(13);
    return Str(FormatFixed(a[0].ToDouble(), Has(a, 1) ? Long(a[1]) : -1, Tristate(a, 2, true), Tristate(a, 3, false),
                           Tristate(a, 4, true), QString(), QString()));
}

ScriptValue FormatCurrency(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        ThrowScriptError(13);
    return Str(FormatFixed(a[0].ToDouble(), Has(a, 1) ? Long(a[1]) : -1, Tristate(a, 2, true), Tristate(a, 3, true),
                           Tristate(a, 4, true), QStringLiteral("$"), QString()));
}

ScriptValue FormatPercent(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        ThrowScriptError(13);
    return Str(FormatFixed(a[0].ToDouble() * 100.0, Has(a, 1) ? Long(a[1]) : -1, Tristate(a, 2, true), Tristate(a, 3, false),
                           Tristate(a, 4, true), QString(), QStringLiteral("%")));
}

ScriptValue FormatDateTime(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        ThrowScriptError(13);
    const double d = a[0].ToDate();
    const int format = Has(a, 1) ? Long(a[1]) : 0;
    const ScriptDates::Parts p = ScriptDates::Split(d);
    switch (format) {
    case 0:
        return Str(ScriptDates::Format(d));
    case 1: {
        const int weekday = QDate(p.year, p.month, p.day).dayOfWeek() % 7 + 1;
        return Str(QStringLiteral("%1, %2 %3, %4")
                       .arg(ScriptDates::WeekdayName(weekday, false), ScriptDates::MonthName(p.month, false))
                       .arg(p.day)
                       .arg(p.year));
    }
    case 2:
        return Str(QStringLiteral("%1/%2/%3").arg(p.month).arg(p.day).arg(p.year));
    case 3:
        return Str(ScriptDates::Format(d - std::trunc(d)));
    case 4:
        return Str(QStringLiteral("%1:%2").arg(p.hour, 2, 10, QChar(u'0')).arg(p.minute, 2, 10, QChar(u'0')));
    default:
        ThrowScriptError(5);
    }
}

// ---- dates

double NowSerial()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    double days = 0;
    ScriptDates::Serial(d.year(), d.month(), d.day(), days);
    return days + ScriptDates::TimeSerial(t.hour(), t.minute(), t.second());
}

ScriptValue Now(ScriptRuntime&, Args) { return ScriptValue::Date(NowSerial()); }
ScriptValue Today(ScriptRuntime&, Args) { return ScriptValue::Date(std::floor(NowSerial())); }
ScriptValue TimeNow(ScriptRuntime&, Args)
{
    const double n = NowSerial();
    return ScriptValue::Date(n - std::floor(n));
}

ScriptValue Timer(ScriptRuntime&, Args)
{
    const QTime t = QTime::currentTime();
    return ScriptValue::Sng(float(t.msecsSinceStartOfDay()) / 1000.0f);
}

// A date part of the argument, or Null for Null.
template <int ScriptDates::Parts::*Field>
ScriptValue DatePartOf(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        return a[0];
    return ScriptValue::Int(int16_t(ScriptDates::Split(a[0].ToDate()).*Field));
}

int FirstDay(Args a, size_t i)
{
    const int first = Has(a, i) ? Long(NotNullArgument(a[i])) : 1;
    if (first < 0 || first > 7)
        ThrowScriptError(5);
    return first == 0 ? 1 : first;
}

// 1 = Sunday.
int WeekdayOf(double serial)
{
    const ScriptDates::Parts p = ScriptDates::Split(serial);
    return QDate(p.year, p.month, p.day).dayOfWeek() % 7 + 1;
}

int WeekdayFrom(double serial, int firstDay)
{
    return (WeekdayOf(serial) - firstDay + 7) % 7 + 1;
}

ScriptValue Weekday(ScriptRuntime&, Args a)
{
    const int first = FirstDay(a, 1);
    if (a[0].IsNull())
        return a[0];
    return ScriptValue::Int(int16_t(WeekdayFrom(a[0].ToDate(), first)));
}

ScriptValue WeekdayName(ScriptRuntime&, Args a)
{
    NoNullFrom(a, 0);
    const int n = Long(a[0]);
    if (n < 1 || n > 7)
        ThrowScriptError(5);
    const bool abbreviate = Has(a, 1) && a[1].ToBool();
    const int first = FirstDay(a, 2);
    return Str(ScriptDates::WeekdayName((n + first - 2) % 7 + 1, abbreviate));
}

ScriptValue MonthName(ScriptRuntime&, Args a)
{
    NoNullFrom(a, 0);
    const int n = Long(a[0]);
    if (n < 1 || n > 12)
        ThrowScriptError(5);
    return Str(ScriptDates::MonthName(n, Has(a, 1) && a[1].ToBool()));
}

ScriptValue DateFromParts(int year, int month, int day, double timeOfDay)
{
    double days = 0;
    if (!ScriptDates::Serial(year, 1, 1, days))
        ThrowScriptError(5);
    if (!ScriptDates::Serial(year, month, 1, days))
        ThrowScriptError(5);
    days += double(day) - 1;
    if (days < -657434.0 || days > 2958465.0)
        ThrowScriptError(5);
    return ScriptValue::Date(days < 0 ? days - timeOfDay : days + timeOfDay);
}

ScriptValue DateSerial(ScriptRuntime&, Args a)
{
    if (AnyNull(a, 3))
        ThrowScriptError(94);
    int year = Long(a[0]);
    if (year >= 0 && year < 30)
        year += 2000;
    else if (year >= 30 && year < 100)
        year += 1900;
    const int month = Long(a[1]);
    // Months beyond the year roll into the next ones before the year is checked.
    const int yearShift = month > 0 ? (month - 1) / 12 : (month - 12) / 12;
    return DateFromParts(year + yearShift, month - yearShift * 12, Long(a[2]), 0.0);
}

ScriptValue SecondsToDate(int64_t seconds)
{
    const int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const int64_t rest = seconds - days * 86400;
    const double t = double(rest) / 86400.0;
    return ScriptValue::Date(days < 0 ? double(days) - t : double(days) + t);
}

ScriptValue TimeSerial(ScriptRuntime&, Args a)
{
    if (AnyNull(a, 3))
        ThrowScriptError(94);
    const int64_t total = int64_t(Long(a[0])) * 3600 + int64_t(Long(a[1])) * 60 + Long(a[2]);
    return SecondsToDate(total);
}

ScriptValue DateValue(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        return a[0];
    return ScriptValue::Date(std::trunc(a[0].ToDate()));
}

ScriptValue TimeValue(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        return a[0];
    // From the parts: subtracting the whole days of a large serial loses digits.
    const ScriptDates::Parts p = ScriptDates::Split(a[0].ToDate());
    return ScriptValue::Date(ScriptDates::TimeSerial(p.hour, p.minute, p.second));
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval ParseInterval(const ScriptValue& v)
{
    const QString s = v.ToString().toLower();
    static const QHash<QString, Interval> table = {
        {"yyyy", Interval::Year}, {"q", Interval::Quarter},  {"m", Interval::Month},  {"y", Interval::DayOfYear},
        {"d", Interval::Day},     {"w", Interval::Weekday},  {"ww", Interval::Week},  {"h", Interval::Hour},
        {"n", Interval::Minute},  {"s", Interval::Second},
    };
    const auto it = table.constFind(s);
    if (it == table.cend())
        ThrowScriptError(5);
    return it.value();
}

ScriptValue DateAdd(ScriptRuntime&, Args a)
{
    const Interval interval = ParseInterval(a[0]);
    if (a[1].IsNull())
        ThrowScriptError(94);
    if (a[2].IsNull())
        return a[2];
    const double n = std::trunc(a[1].ToDouble());
    if (std::fabs(n) > 1e8)
        ThrowScriptError(5);
    const double d = a[2].ToDate();
    ScriptDates::Parts p = ScriptDates::Split(d);
    const double timeOfDay = ScriptDates::TimeSerial(p.hour, p.minute, p.second);
    const auto addMonths = [&](double months) {
        const int64_t total = int64_t(p.year) * 12 + (p.month - 1) + int64_t(months);
        const int year = int(total / 12), month = int(total % 12) + 1;
        if (year < 100 || year > 9999)
            ThrowScriptError(5);
        const int day = std::min(p.day, QDate(year, month, 1).daysInMonth());
        return DateFromParts(year, month, day, timeOfDay);
    };
    const auto addSeconds = [&](double seconds) {
        const double whole = std::trunc(d);
        const int64_t s = int64_t(std::llround(timeOfDay * 86400.0)) + int64_t(whole) * 86400 + int64_t(seconds);
        return SecondsToDate(s);
    };
    switch (interval) {
    case Interval::Year: return addMonths(n * 12);
    case Interval::Quarter: return addMonths(n * 3);
    case Interval::Month: return addMonths(n);
    case Interval::Week: return addSeconds(n * 7 * 86400);
    case Interval::Hour: return addSeconds(n * 3600);
    case Interval::Minute: return addSeconds(n * 60);
    case Interval::Second: return addSeconds(n);
    default: return addSeconds(n * 86400);
    }
}

int64_t FloorDiv(double a, double b)
{
    return int64_t(std::floor(a / b));
}

ScriptValue DateDiff(ScriptRuntime&, Args a)
{
    const Interval interval = ParseInterval(a[0]);
    if (a[1].IsNull() || a[2].IsNull())
        return ScriptValue::Null();
    const double d1 = a[1].ToDate(), d2 = a[2].ToDate();
    const ScriptDates::Parts p1 = ScriptDates::Split(d1), p2 = ScriptDates::Split(d2);
    const auto seconds = [](double d) {
        const ScriptDates::Parts p = ScriptDates::Split(d);
        double days = 0;
        ScriptDates::Serial(p.year, p.month, p.day, days);
        return int64_t(days) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
    };
    const int64_t s1 = seconds(d1), s2 = seconds(d2);
    int64_t r = 0;
    switch (interval) {
    case Interval::Year: r = p2.year - p1.year; break;
    case Interval::Quarter: r = (p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3); break;
    case Interval::Month: r = (p2.year * 12 + p2.month) - (p1.year * 12 + p1.month); break;
    case Interval::DayOfYear:
    case Interval::Day: r = FloorDiv(double(s2), 86400) - FloorDiv(double(s1), 86400); break;
    case Interval::Weekday: r = (FloorDiv(double(s2), 86400) - FloorDiv(double(s1), 86400)) / 7; break;
    case Interval::Week: {
        // Counts the first days of the week crossed.
        const int first = FirstDay(a, 3);
        const int64_t day1 = FloorDiv(double(s1), 86400), day2 = FloorDiv(double(s2), 86400);
        const int64_t start1 = day1 - (WeekdayFrom(d1, first) - 1), start2 = day2 - (WeekdayFrom(d2, first) - 1);
        r = (start2 - start1) / 7;
        break;
    }
    case Interval::Hour: r = FloorDiv(double(s2), 3600) - FloorDiv(double(s1), 3600); break;
    case Interval::Minute: r = FloorDiv(double(s2), 60) - FloorDiv(double(s1), 60); break;
    case Interval::Second: r = s2 - s1; break;
    }
    return ScriptValue::Lng(int32_t(r));
}

ScriptValue DatePart(ScriptRuntime&, Args a)
{
    const Interval interval = ParseInterval(a[0]);
    if (a[1].IsNull())
        return a[1];
    const double d = a[1].ToDate();
    const ScriptDates::Parts p = ScriptDates::Split(d);
    const int first = FirstDay(a, 2);
    const QDate date(p.year, p.month, p.day);
    switch (interval) {
    case Interval::Year: return ScriptValue::Int(int16_t(p.year));
    case Interval::Quarter: return ScriptValue::Int(int16_t((p.month - 1) / 3 + 1));
    case Interval::Month: return ScriptValue::Int(int16_t(p.month));
    case Interval::DayOfYear: return ScriptValue::Int(int16_t(date.dayOfYear()));
    case Interval::Day: return ScriptValue::Int(int16_t(p.day));
    case Interval::Weekday: return ScriptValue::Int(int16_t(WeekdayFrom(d, first)));
    case Interval::Week: {
        const int firstWeek = Has(a, 3) ? Long(a[3]) : 1;
        if (firstWeek < 0 || firstWeek > 3)
            ThrowScriptError(5);
        // The first day of week 1 of a year: the week holding January 1, the first week
        // with four days in the year, or the first whole week.
        const auto weekOneStart = [&](int year) {
            double jan1 = 0;
            ScriptDates::Serial(year, 1, 1, jan1);
            const int offset = WeekdayFrom(jan1, first) - 1;
            int64_t start = int64_t(jan1) - offset;
            if ((firstWeek == 2 && offset > 3) || (firstWeek == 3 && offset > 0))
                start += 7;
            return start;
        };
        // A day before week 1 belongs to the last week of the year before; the count
        // never rolls forward into week 1 of the next year.
        const int64_t day = int64_t(std::trunc(d));
        int64_t start = weekOneStart(p.year);
        if (day < start)
            start = weekOneStart(p.year - 1);
        return ScriptValue::Int(int16_t((day - start) / 7 + 1));
    }
    case Interval::Hour: return ScriptValue::Int(int16_t(p.hour));
    case Interval::Minute: return ScriptValue::Int(int16_t(p.minute));
    case Interval::Second: return ScriptValue::Int(int16_t(p.second));
    }
    return ScriptValue();
}

// ---- maths

double Arg(Args a)
{
    return NotNull(a[0]).ToDouble();
}

ScriptValue Sqr(ScriptRuntime&, Args a)
{
    const double d = Arg(a);
    if (d < 0)
        ThrowScriptError(5);
    return ScriptValue::Dbl(std::sqrt(d));
}

ScriptValue Sin(ScriptRuntime&, Args a) { return ScriptValue::Dbl(std::sin(Arg(a))); }
ScriptValue Cos(ScriptRuntime&, Args a) { return ScriptValue::Dbl(std::cos(Arg(a))); }
ScriptValue Tan(ScriptRuntime&, Args a) { return ScriptValue::Dbl(std::tan(Arg(a))); }
ScriptValue Atn(ScriptRuntime&, Args a) { return ScriptValue::Dbl(std::atan(Arg(a))); }

ScriptValue Exp(ScriptRuntime&, Args a)
{
    const double r = std::exp(Arg(a));
    if (!std::isfinite(r))
        ThrowScriptError(6);
    return ScriptValue::Dbl(r);
}

ScriptValue Log(ScriptRuntime&, Args a)
{
    const double d = Arg(a);
    if (d <= 0)
        ThrowScriptError(5);
    return ScriptValue::Dbl(std::log(d));
}

// The classic 24-bit linear congruential generator, so a seeded sequence repeats.
ScriptValue Rnd(ScriptRuntime& rt, Args a)
{
    const double x = Has(a, 0) ? NotNull(a[0]).ToDouble() : 1.0;
    // The last number given, which before the first is the seed's own.
    if (x == 0.0)
        return ScriptValue::Sng(float(rt.rndSeed) / 16777216.0f);
    if (x < 0) {
        const float f = float(x);
        uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        rt.rndSeed = (bits + (bits >> 24)) & 0xFFFFFF;
    }
    rt.rndSeed = (rt.rndSeed * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFF;
    return ScriptValue::Sng(float(rt.rndSeed) / 16777216.0f);
}

ScriptValue Randomize(ScriptRuntime& rt, Args a)
{
    const double x = Has(a, 0) ? NotNull(a[0]).ToDouble() : double(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0;
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const uint32_t hi = uint32_t(bits >> 32);
    rt.rndSeed = (rt.rndSeed & 0xFF0000FFu) | (((hi ^ (hi >> 16)) & 0xFFFF) << 8);
    return ScriptValue();
}

// ---- colours

ScriptValue Rgb(ScriptRuntime&, Args a)
{
    int32_t colour = 0;
    for (size_t i = 0; i < 3; ++i) {
        const int32_t part = Long(a[i]);
        if (part < 0)
            ThrowScriptError(5);
        colour |= std::min(part, 255) << (8 * i);
    }
    return ScriptValue::Lng(colour);
}

// ---- arrays

ScriptValue ArrayOf(ScriptRuntime&, Args a)
{
    return ScriptValue::Arr(MakeArray(std::vector<ScriptValue>(a.begin(), a.end())));
}

ScriptValue Bound(Args a, bool upper)
{
    if (!a[0].IsArray())
        ThrowScriptError(13);
    const ScriptArray& arr = *a[0].RawArray();
    const int dim = Has(a, 1) ? Long(a[1]) : 1;
    if (dim < 1 || dim > int(arr.upper.size()))
        ThrowScriptError(9);
    return ScriptValue::Lng(upper ? arr.upper[size_t(dim - 1)] : 0);
}

ScriptValue Filter(ScriptRuntime&, Args a)
{
    NotNullArgument(a[1]);
    const std::shared_ptr<ScriptArray> from = ListArgument(a[0]);
    if (from->upper.size() != 1)
        ThrowScriptError(5);
    const QString value = a[1].ToString();
    const bool include = !Has(a, 2) || a[2].ToBool();
    const Qt::CaseSensitivity cs = Compare(a, 3);
    std::vector<ScriptValue> kept;
    for (const ScriptValue& item : from->data) {
        const QString text = ElementText(item);
        if (text.contains(value, cs) == include)
            kept.push_back(ScriptValue::Str(text));
    }
    return ScriptValue::Arr(MakeArray(std::move(kept)));
}

ScriptValue UBound(ScriptRuntime&, Args a) { return Bound(a, true); }
ScriptValue LBound(ScriptRuntime&, Args a) { return Bound(a, false); }

// ---- the engine and the host

ScriptValue EvalText(ScriptRuntime& rt, Args a)
{
    if (a[0].IsNull() || a[0].IsEmpty())
        return a[0];
    return rt.Eval(a[0].ToString());
}

// Execute, ExecuteGlobal and GetRef take a string, or an object whose default member
// gives one.
QString TextArgument(const ScriptValue& v)
{
    if (v.IsObject())
        return v.ToString();
    if (!v.IsString())
        ThrowScriptError(13);
    return v.RawString();
}

ScriptValue Execute(ScriptRuntime& rt, Args a)
{
    rt.Execute(TextArgument(a[0]), false);
    return ScriptValue();
}

ScriptValue GetRef(ScriptRuntime& rt, Args a)
{
    return rt.ProcedureRef(TextArgument(a[0]));
}

ScriptValue ExecuteGlobal(ScriptRuntime& rt, Args a)
{
    rt.Execute(TextArgument(a[0]), true);
    return ScriptValue();
}

ScriptValue MsgBox(ScriptRuntime& rt, Args a)
{
    const QString prompt = a[0].ToText();
    const int buttons = Has(a, 1) ? Long(a[1]) : 0;
    const QString title = Has(a, 2) ? a[2].ToText() : QString();
    return ScriptValue::Int(int16_t(rt.ui.msgBox ? rt.ui.msgBox(prompt, buttons, title) : 1));
}

ScriptValue InputBox(ScriptRuntime& rt, Args a)
{
    const QString prompt = a[0].ToText();
    const QString title = Has(a, 1) ? a[1].ToText() : QString();
    const QString fallback = Has(a, 2) ? a[2].ToText() : QString();
    if (!rt.ui.inputBox)
        return Str(QString());
    // Cancel gives Empty, which scripts tell from an empty text with IsEmpty.
    std::optional<QString> typed = rt.ui.inputBox(prompt, title, fallback);
    return typed ? Str(std::move(*typed)) : ScriptValue();
}

// ---- the engine and its settings

ScriptValue EngineName(ScriptRuntime&, Args) { return Str(QStringLiteral("VBScript")); }
ScriptValue EngineMajorVersion(ScriptRuntime&, Args) { return ScriptValue::Lng(5); }
ScriptValue EngineMinorVersion(ScriptRuntime&, Args) { return ScriptValue::Lng(8); }
ScriptValue EngineBuildVersion(ScriptRuntime&, Args) { return ScriptValue::Lng(16384); }

// Dates, numbers and currency are written the way of English (United States), the one
// locale of the library; setting it again is accepted, any other is refused rather
// than ignored.
constexpr int32_t kEnglishUnitedStates = 1033;

ScriptValue GetLocale(ScriptRuntime&, Args) { return ScriptValue::Lng(kEnglishUnitedStates); }

ScriptValue SetLocale(ScriptRuntime&, Args a)
{
    if (Has(a, 0)) {
        const ScriptValue& v = a[0];
        bool known = false;
        if (v.IsString()) {
            const QString name = v.RawString().trimmed();
            known = name.isEmpty() || name.compare(u"en-us", Qt::CaseInsensitive) == 0
                    || name.compare(u"en_us", Qt::CaseInsensitive) == 0;
        } else {
            // 0 and the user's and the system's default locale are this one.
            const int32_t id = NotNull(v).ToLong();
            known = id == 0 || id == 1024 || id == 2048 || id == kEnglishUnitedStates;
        }
        if (!known)
            ThrowScriptError(5);
    }
    return ScriptValue::Lng(kEnglishUnitedStates);
}

// Escape leaves letters, digits and "@*_+-./" alone, writes other characters below
// 256 as %XX and the rest as %uXXXX; Unescape reads both back.
ScriptValue Escape(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        return a[0];
    const QString text = a[0].ToText();
    const auto kept = [](char16_t u) {
        return (u < 128 && QChar::isLetterOrNumber(u)) || QStringView(u"@*_+-./").contains(QChar(u));
    };
    // The length first: the budget must hear of the text before it grows.
    qsizetype length = 0;
    for (const QChar c : text)
        length += kept(c.unicode()) ? 1 : c.unicode() < 256 ? 3 : 6;
    CheckNewString(length);
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    QString out(length, Qt::Uninitialized);
    QChar* to = out.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (kept(u)) {
            *to++ = c;
            continue;
        }
        *to++ = u'%';
        if (u >= 256) {
            *to++ = u'u';
            *to++ = kHex[u >> 12];
            *to++ = kHex[(u >> 8) & 15];
        }
        *to++ = kHex[(u >> 4) & 15];
        *to++ = kHex[u & 15];
    }
    return Str(out);
}

// The value of `digits` hexadecimal digits at `at`, or -1.
int HexAt(const QString& text, qsizetype at, int digits)
{
    if (at + digits > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = int(QStringView(u"0123456789abcdef").indexOf(text[at + i].toLower()));
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

ScriptValue Unescape(ScriptRuntime&, Args a)
{
    if (a[0].IsNull())
        return a[0];
    const QString text = a[0].ToText();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'%') {
            if (const int u = i + 1 < text.size() && text[i + 1] == u'u' ? HexAt(text, i + 2, 4) : -1; u >= 0) {
                out += QChar(char16_t(u));
                i += 5;
                continue;
            }
            if (const int b = HexAt(text, i + 1, 2); b >= 0) {
                out += QChar(char16_t(b));
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return Str(out);
}

ScriptValue CreateObject(ScriptRuntime&, Args a)
{
    // There are no COM components to create on this system; RegExp is the language's
    // own class.
    const QString what = Has(a, 0) && !a[0].IsNull() ? a[0].ToText() : QString();
    if (what.trimmed().compare(u"VBScript.RegExp", Qt::CaseInsensitive) == 0)
        return ScriptValue::Obj(NewRegExp());
    ThrowScriptError(429, QStringLiteral("ActiveX component can't create object: '%1'").arg(what));
}

const BuiltinFunction kBuiltins[] = {
    {"Len", 1, 1, Len}, {"Left", 2, 2, Left}, {"Right", 2, 2, Right}, {"Mid", 2, 3, Mid},
    {"InStr", 2, 4, InStr}, {"InStrRev", 2, 4, InStrRev}, {"Replace", 3, 6, Replace},
    {"LTrim", 1, 1, LTrim}, {"RTrim", 1, 1, RTrim}, {"Trim", 1, 1, Trim}, {"UCase", 1, 1, UCase},
    {"LCase", 1, 1, LCase}, {"Space", 1, 1, Space}, {"String", 2, 2, String},
    {"StrReverse", 1, 1, StrReverse}, {"StrComp", 2, 3, StrComp}, {"Split", 1, 4, Split},
    {"Join", 1, 2, Join}, {"Asc", 1, 1, Asc}, {"AscW", 1, 1, Asc}, {"Chr", 1, 1, Chr}, {"ChrW", 1, 1, ChrW},
    {"CStr", 1, 1, CStr}, {"CInt", 1, 1, CInt}, {"CLng", 1, 1, CLng}, {"CDbl", 1, 1, CDbl},
    {"CSng", 1, 1, CSng}, {"CBool", 1, 1, CBool}, {"CDate", 1, 1, CDate}, {"CByte", 1, 1, CByte},
    {"CCur", 1, 1, CCur}, {"Int", 1, 1, Int}, {"Fix", 1, 1, Fix}, {"Round", 1, 2, Round},
    {"Abs", 1, 1, Abs}, {"Sgn", 1, 1, Sgn}, {"Hex", 1, 1, Hex}, {"Oct", 1, 1, Oct},
    {"IsNumeric", 1, 1, IsNumeric}, {"IsDate", 1, 1, IsDate}, {"IsEmpty", 1, 1, IsEmpty},
    {"IsNull", 1, 1, IsNull}, {"IsArray", 1, 1, IsArray}, {"IsObject", 1, 1, IsObject},
    {"VarType", 1, 1, VarTypeOf}, {"TypeName", 1, 1, TypeNameOf},
    {"FormatNumber", 1, 5, FormatNumber}, {"FormatCurrency", 1, 5, FormatCurrency},
    {"FormatPercent", 1, 5, FormatPercent}, {"FormatDateTime", 1, 2, FormatDateTime},
    {"Now", 0, 0, Now}, {"Date", 0, 0, Today}, {"Time", 0, 0, TimeNow}, {"Timer", 0, 0, Timer},
    {"Year", 1, 1, DatePartOf<&ScriptDates::Parts::year>}, {"Month", 1, 1, DatePartOf<&ScriptDates::Parts::month>},
    {"Day", 1, 1, DatePartOf<&ScriptDates::Parts::day>}, {"Hour", 1, 1, DatePartOf<&ScriptDates::Parts::hour>},
    {"Minute", 1, 1, DatePartOf<&ScriptDates::Parts::minute>}, {"Second", 1, 1, DatePartOf<&ScriptDates::Parts::second>},
    {"Weekday", 1, 2, Weekday}, {"WeekdayName", 1, 3, WeekdayName}, {"MonthName", 1, 2, MonthName},
    {"DateAdd", 3, 3, DateAdd}, {"DateDiff", 3, 5, DateDiff}, {"DatePart", 2, 4, DatePart},
    {"DateSerial", 3, 3, DateSerial}, {"TimeSerial", 3, 3, TimeSerial}, {"DateValue", 1, 1, DateValue},
    {"TimeValue", 1, 1, TimeValue}, {"Rnd", 0, 1, Rnd}, {"Randomize", 0, 1, Randomize},
    {"Sqr", 1, 1, Sqr}, {"Sin", 1, 1, Sin}, {"Cos", 1, 1, Cos}, {"Tan", 1, 1, Tan}, {"Atn", 1, 1, Atn},
    {"Exp", 1, 1, Exp}, {"Log", 1, 1, Log}, {"Array", 0, 1 << 16, ArrayOf}, {"UBound", 1, 2, UBound},
    {"LBound", 1, 2, LBound}, {"Filter", 2, 4, Filter}, {"RGB", 3, 3, Rgb}, {"Eval", 1, 1, EvalText}, {"Execute", 1, 1, Execute},
    {"ExecuteGlobal", 1, 1, ExecuteGlobal}, {"GetRef", 1, 1, GetRef},
    {"ScriptEngine", 0, 0, EngineName}, {"ScriptEngineMajorVersion", 0, 0, EngineMajorVersion},
    {"ScriptEngineMinorVersion", 0, 0, EngineMinorVersion}, {"ScriptEngineBuildVersion", 0, 0, EngineBuildVersion},
    {"GetLocale", 0, 0, GetLocale}, {"SetLocale", 0, 1, SetLocale}, {"Escape", 1, 1, Escape},
    {"Unescape", 1, 1, Unescape}, {"MsgBox", 1, 5, MsgBox}, {"InputBox", 1, 7, InputBox},
    {"CreateObject", 1, 2, CreateObject}, {"GetObject", 0, 2, CreateObject},
};

struct Constant
{
    const char* name;
    int32_t value;
};

constexpr Constant kNumberConstants[] = {
    {"vbTrue", -1}, {"vbFalse", 0}, {"vbUseDefault", -2}, {"vbBinaryCompare", 0}, {"vbTextCompare", 1},
    {"vbDatabaseCompare", 2}, {"vbUseSystemDayOfWeek", 0}, {"vbSunday", 1}, {"vbMonday", 2},
    {"vbTuesday", 3}, {"vbWednesday", 4}, {"vbThursday", 5}, {"vbFriday", 6}, {"vbSaturday", 7},
    {"vbUseSystem", 0}, {"vbFirstJan1", 1}, {"vbFirstFourDays", 2}, {"vbFirstFullWeek", 3},
    {"vbGeneralDate", 0}, {"vbLongDate", 1}, {"vbShortDate", 2}, {"vbLongTime", 3}, {"vbShortTime", 4},
    {"vbEmpty", 0}, {"vbNull", 1}, {"vbInteger", 2}, {"vbLong", 3}, {"vbSingle", 4}, {"vbDouble", 5},
    {"vbCurrency", 6}, {"vbDate", 7}, {"vbString", 8}, {"vbObject", 9}, {"vbError", 10},
    {"vbBoolean", 11}, {"vbVariant", 12}, {"vbDataObject", 13}, {"vbDecimal", 14}, {"vbByte", 17},
    {"vbArray", 8192}, {"vbOKOnly", 0}, {"vbOKCancel", 1}, {"vbAbortRetryIgnore", 2},
    {"vbYesNoCancel", 3}, {"vbYesNo", 4}, {"vbRetryCancel", 5}, {"vbCritical", 16}, {"vbQuestion", 32},
    {"vbExclamation", 48}, {"vbInformation", 64}, {"vbDefaultButton1", 0}, {"vbDefaultButton2", 256},
    {"vbDefaultButton3", 512}, {"vbDefaultButton4", 768}, {"vbApplicationModal", 0},
    {"vbSystemModal", 4096}, {"vbMsgBoxHelpButton", 16384}, {"vbMsgBoxSetForeground", 65536},
    {"vbMsgBoxRight", 524288}, {"vbMsgBoxRtlReading", 1048576}, {"vbOK", 1}, {"vbCancel", 2}, {"vbAbort", 3}, {"vbRetry", 4},
    {"vbIgnore", 5}, {"vbYes", 6}, {"vbNo", 7}, {"vbObjectError", -2147221504}, {"vbBlack", 0},
    {"vbRed", 255}, {"vbGreen", 65280}, {"vbBlue", 16711680}, {"vbYellow", 65535},
    {"vbMagenta", 16711935}, {"vbCyan", 16776960}, {"vbWhite", 16777215},
};

struct TextConstant
{
    const char* name;
    const char16_t* value;
};

constexpr TextConstant kTextConstants[] = {
    {"vbCrLf", u"\r\n"}, {"vbCr", u"\r"}, {"vbLf", u"\n"}, {"vbNewLine", u"\r\n"}, {"vbTab", u"\t"},
    {"vbNullString", u""}, {"vbFormFeed", u"\f"}, {"vbVerticalTab", u"\v"},
};

} // namespace

int FindBuiltin(const QString& name)
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        for (size_t i = 0; i < std::size(kBuiltins); ++i)
            h.insert(QString::fromLatin1(kBuiltins[i].name).toLower(), int(i));
        return h;
    }();
    return index.value(name.toLower(), -1);
}

const BuiltinFunction& GetBuiltin(int index)
{
    return kBuiltins[index];
}

bool IsConversionBuiltin(int index)
{
    const char* name = kBuiltins[index].name;
    static const char* const conversions[] = {"CStr", "CInt", "CLng", "CDbl", "CSng", "CBool", "CDate", "CByte", "CCur"};
    return std::any_of(std::begin(conversions), std::end(conversions), [name](const char* c) { return qstrcmp(c, name) == 0; });
}

bool IsSubBuiltin(int index)
{
    static const int randomize = FindBuiltin(QStringLiteral("Randomize"));
    return index == randomize;
}

bool FindBuiltinConstant(const QString& name, ScriptValue& out)
{
    static const QHash<QString, ScriptValue> table = [] {
        QHash<QString, ScriptValue> h;
        for (const Constant& c : kNumberConstants) {
            // The colours and the help button flag are Long whatever their size, as they
            // are in the language.
            const bool longAnyway = std::strstr("vbBlack vbRed vbGreen vbBlue vbYellow vbMagenta vbCyan vbWhite vbMsgBoxHelpButton", c.name) != nullptr;
            const bool isLong = longAnyway || c.value < INT16_MIN || c.value > INT16_MAX;
            h.insert(QString::fromLatin1(c.name).toLower(), isLong ? ScriptValue::Lng(c.value) : ScriptValue::Int(int16_t(c.value)));
        }
        for (const TextConstant& c : kTextConstants)
            h.insert(QString::fromLatin1(c.name).toLower(), ScriptValue::Str(QString::fromUtf16(c.value)));
        h.insert(QStringLiteral("vbnullchar"), ScriptValue::Str(QString(QChar(u'\0'))));
        return h;
    }();
    const auto it = table.constFind(name.toLower());
    if (it == table.cend())
        return false;
    out = it.value();
    return true;
}
