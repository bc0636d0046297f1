// The language's own RegExp class (New RegExp, CreateObject("VBScript.RegExp")) on
// QRegularExpression, with its Matches, Match and SubMatches objects.
#include "platform/script/ScriptRuntime.h"

#include <QRegularExpression>

namespace {

bool Is(const QString& name, const char* member)
{
    return name.compare(QLatin1String(member), Qt::CaseInsensitive) == 0;
}

bool IsOneOf(const QString& name, std::initializer_list<const char*> members)
{
    for (const char* m : members)
        if (Is(name, m))
            return true;
    return false;
}

// A read-only collection: Count, Item(i) as the default member, For Each.
class ReadOnlyList : public ScriptObject
{
public:
    ReadOnlyList(QString type, std::vector<ScriptValue> items) : m_type(std::move(type)), m_items(std::move(items)) {}
    QString TypeName() const override { return m_type; }
    bool HasMember(const QString& name) const override { return name.isEmpty() || IsOneOf(name, {"Count", "Item"}); }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        if (!HasMember(name))
            return false;
        if (kind != InvokeKind::Get)
            ThrowScriptError(445);
        if (Is(name, "Count")) {
            if (!args.empty())
                ThrowScriptError(450);
            result = ScriptValue::Lng(int32_t(m_items.size()));
            return true;
        }
        if (args.size() != 1)
            ThrowScriptError(450);
        const int32_t i = args[0].ToLong();
        if (i < 0 || size_t(i) >= m_items.size())
            ThrowScriptError(5);
        result = m_items[size_t(i)];
        return true;
    }
    std::vector<ScriptValue> Enumerate() override { return m_items; }

private:
    QString m_type;
    std::vector<ScriptValue> m_items;
};

class MatchObject : public ScriptObject
{
public:
    explicit MatchObject(const QRegularExpressionMatch& m)
        : m_value(m.captured(0)), m_firstIndex(int32_t(m.capturedStart(0)))
    {
        std::vector<ScriptValue> groups;
        for (int g = 1; g <= m.regularExpression().captureCount(); ++g)
            groups.push_back(m.capturedStart(g) < 0 ? ScriptValue() : ScriptValue::Str(m.captured(g)));
        m_subMatches = std::make_shared<ReadOnlyList>(QStringLiteral("ISubMatches"), std::move(groups));
    }
    QString TypeName() const override { return QStringLiteral("IMatch2"); }
    bool HasMember(const QString& name) const override
    {
        return name.isEmpty() || IsOneOf(name, {"Value", "FirstIndex", "Length", "SubMatches"});
    }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        if (!HasMember(name))
            return false;
        if (kind != InvokeKind::Get)
            ThrowScriptError(445);
        if (Is(name, "SubMatches")) {
            result = args.empty() ? ScriptValue::Obj(m_subMatches) : ScriptValue();
            if (!args.empty())
                m_subMatches->Invoke(QString(), InvokeKind::Get, args, result);
            return true;
        }
        if (!args.empty())
            ThrowScriptError(450);
        if (name.isEmpty() || Is(name, "Value"))
            result = ScriptValue::Str(m_value);
        else if (Is(name, "FirstIndex"))
            result = ScriptValue::Lng(m_firstIndex);
        else
            result = ScriptValue::Lng(int32_t(m_value.size()));
        return true;
    }

private:
    QString m_value;
    int32_t m_firstIndex;
    std::shared_ptr<ReadOnlyList> m_subMatches;
};

// The language's pattern syntax where PCRE reads it otherwise: "\uXXXX", "$" that
// only ends the text unless Multiline is set, and with Multiline, "^" and "$" that meet
// a carriage return as well as a line feed (text from CR LF files).
QString TranslatePattern(const QString& pattern, bool multiline)
{
    QString out;
    out.reserve(pattern.size() + 8);
    bool inClass = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\\' && i + 1 < pattern.size()) {
            const QChar n = pattern[i + 1];
            if (n == u'u' && i + 5 < pattern.size()) {
                bool ok = false;
                pattern.mid(i + 2, 4).toUShort(&ok, 16);
                if (ok) {
                    out += QStringLiteral("\\x{") + pattern.mid(i + 2, 4) + u'}';
                    i += 5;
                    continue;
                }
            }
            out += c;
            out += n;
            ++i;
            continue;
        }
        if (inClass) {
            if (c == u']')
                inClass = false;
            out += c;
            continue;
        }
        if (c == u'[') {
            inClass = true;
            out += c;
            // A "]" right after "[" or "[^" is a member of the class.
            if (i + 1 < pattern.size() && pattern[i + 1] == u'^')
                out += pattern[++i];
            if (i + 1 < pattern.size() && pattern[i + 1] == u']')
                out += QStringLiteral("\\]"), ++i;
            continue;
        }
        if (c == u'$') {
            out += multiline ? QStringLiteral("(?![^\\r\\n])") : QStringLiteral("\\z");
            continue;
        }
        if (c == u'^' && multiline) {
            out += QStringLiteral("(?<![^\\r\\n])");
            continue;
        }
        out += c;
    }
    return out;
}

// "$1" .. "$99", "$&", "$`", "$'" and "$$" in a replacement text.
QString Expand(const QString& replacement, const QRegularExpressionMatch& m, const QString& subject)
{
    QString out;
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement[i];
        if (c != u'$' || i + 1 == replacement.size()) {
            out += c;
            continue;
        }
        const QChar n = replacement[i + 1];
        if (n == u'$') {
            out += u'$';
            ++i;
        } else if (n == u'&') {
            out += m.captured(0);
            ++i;
        } else if (n == u'`') {
            out += subject.left(m.capturedStart(0));
            ++i;
        } else if (n == u'\'') {
            out += subject.mid(m.capturedEnd(0));
            ++i;
        } else if (n.isDigit() && n.unicode() < 128) {
            const int groups = m.regularExpression().captureCount();
            int group = n.digitValue();
            qsizetype used = 1;
            if (i + 2 < replacement.size() && replacement[i + 2].isDigit() && replacement[i + 2].unicode() < 128
                && group * 10 + replacement[i + 2].digitValue() <= groups) {
                group = group * 10 + replacement[i + 2].digitValue();
                used = 2;
            }
            if (group == 0 || group > groups) {
                out += c; // not a group: the text stays
                continue;
            }
            out += m.captured(group);
            i += used;
        } else {
            out += c;
        }
    }
    return out;
}

class RegExpObject : public ScriptObject
{
public:
    QString TypeName() const override { return QStringLiteral("IRegExp2"); }
    bool HasMember(const QString& name) const override
    {
        return IsOneOf(name, {"Pattern", "Global", "IgnoreCase", "Multiline", "Test", "Replace", "Execute"});
    }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        if (!HasMember(name))
            return false;
        if (kind != InvokeKind::Get) {
            if (args.size() != 1 || IsOneOf(name, {"Test", "Replace", "Execute"}))
                ThrowScriptError(450);
            if (Is(name, "Pattern"))
                m_pattern = args[0].ToText();
            else if (Is(name, "Global"))
                m_global = args[0].ToBool();
            else if (Is(name, "IgnoreCase"))
                m_ignoreCase = args[0].ToBool();
            else
                m_multiline = args[0].ToBool();
            return true;
        }
        if (Is(name, "Pattern"))
            result = ScriptValue::Str(m_pattern);
        else if (Is(name, "Global"))
            result = ScriptValue::Bool(m_global);
        else if (Is(name, "IgnoreCase"))
            result = ScriptValue::Bool(m_ignoreCase);
        else if (Is(name, "Multiline"))
            result = ScriptValue::Bool(m_multiline);
        else if (Is(name, "Test"))
            result = ScriptValue::Bool(Compiled(args, 1).match(args[0].ToText()).hasMatch());
        else if (Is(name, "Execute"))
            result = Execute(args);
        else
            result = Replace(args);
        return true;
    }

private:
    const QRegularExpression& Compiled(std::span<ScriptValue> args, size_t count)
    {
        if (args.size() != count)
            ThrowScriptError(450);
        QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption;
        if (m_ignoreCase)
            options |= QRegularExpression::CaseInsensitiveOption;
        const QString pattern = TranslatePattern(m_pattern, m_multiline);
        if (m_compiled.pattern() != pattern || m_compiled.patternOptions() != options) {
            m_compiled = QRegularExpression(pattern, options);
            m_compiled.optimize();
        }
        if (!m_compiled.isValid())
            ThrowScriptError(5017);
        return m_compiled;
    }

    ScriptValue Execute(std::span<ScriptValue> args)
    {
        const QRegularExpression& re = Compiled(args, 1);
        const QString subject = args[0].ToText();
        std::vector<ScriptValue> matches;
        QRegularExpressionMatchIterator it = re.globalMatch(subject);
        while (it.hasNext()) {
            matches.push_back(ScriptValue::Obj(std::make_shared<MatchObject>(it.next())));
            if (!m_global)
                break;
            // A match costs far more than its text: count them against the budget.
            if (matches.size() > kMaxArrayElements)
                ThrowScriptError(7);
            if ((matches.size() & 0xFFF) == 0)
                NoteScriptAllocation(0x1000 * 512);
        }
        return ScriptValue::Obj(std::make_shared<ReadOnlyList>(QStringLiteral("IMatchCollection2"), std::move(matches)));
    }

    ScriptValue Replace(std::span<ScriptValue> args)
    {
        const QRegularExpression& re = Compiled(args, 2);
        const QString subject = args[0].ToText();
        // What GetRef gave, in place of a text, is called for each match with the
        // match, its submatches, its position and the whole text, and returns the text.
        const ScriptObjectPtr callback = args[1].IsObject() ? args[1].RawObject() : nullptr;
        // The replacement is read as a number reads: True is "-1".
        const QString replacement = callback                                ? QString()
                                    : args[1].Type() == VarType::Boolean ? QString::number(args[1].RawInt())
                                                                          : args[1].ToText();
        QString out;
        qsizetype grownTo = 0;
        qsizetype done = 0;
        QRegularExpressionMatchIterator it = re.globalMatch(subject);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            out += QStringView(subject).mid(done, m.capturedStart(0) - done);
            out += callback ? Called(*callback, m, subject) : Expand(replacement, m, subject);
            CheckStringLength(out.size());
            if (out.capacity() != grownTo) {
                grownTo = out.capacity();
                NoteScriptAllocation(uint64_t(grownTo) * sizeof(QChar));
            }
            done = m.capturedEnd(0);
            if (!m_global)
                break;
        }
        out += QStringView(subject).mid(done);
        return ScriptValue::Str(out);
    }

    static QString Called(ScriptObject& callback, const QRegularExpressionMatch& m, const QString& subject)
    {
        std::vector<ScriptValue> args;
        args.push_back(ScriptValue::Str(m.captured(0)));
        for (int g = 1; g <= m.regularExpression().captureCount(); ++g)
            args.push_back(m.capturedStart(g) < 0 ? ScriptValue() : ScriptValue::Str(m.captured(g)));
        args.push_back(ScriptValue::Lng(int32_t(m.capturedStart(0))));
        args.push_back(ScriptValue::Str(subject));
        ScriptValue result;
        if (!callback.Invoke(QString(), InvokeKind::Get, args, result))
            ThrowScriptError(438);
        return result.ToText();
    }

    QString m_pattern;
    bool m_global = false;
    bool m_ignoreCase = false;
    bool m_multiline = false;
    QRegularExpression m_compiled;
};

} // namespace

ScriptObjectPtr NewRegExp()
{
    return std::make_shared<RegExpObject>();
}
