#include "ScriptTestHost.h"

namespace {

class ConsoleObject : public ScriptObject
{
public:
    explicit ConsoleObject(QString& out) : m_out(out) {}
    QString TypeName() const override { return QStringLiteral("Object"); }
    bool HasMember(const QString& name) const override { return name.compare(u"Echo", Qt::CaseInsensitive) == 0; }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue&) override
    {
        if (name.compare(u"Echo", Qt::CaseInsensitive) != 0 || kind != InvokeKind::Get)
            return false;
        QStringList parts;
        for (const ScriptValue& a : args)
            // The console host prints Booleans as numbers and Null as "null".
            parts << (a.IsNull() ? QStringLiteral("null") : a.Type() == VarType::Boolean ? QString::number(a.RawInt()) : a.ToText());
        m_out += parts.join(u' ') + u'\n';
        return true;
    }

private:
    QString& m_out;
};

} // namespace

QString RunConsoleScript(const QString& text)
{
    QString out;
    {
        // The engine ends before the output is returned: what Class_Terminate prints
        // at the end of the script belongs to it.
        ScriptEngine engine;
        engine.SetStepLimit(50'000'000);
        engine.AddNamedItem(QStringLiteral("WScript"), std::make_shared<ConsoleObject>(out), false);
        engine.SetErrorHandler([&](const ScriptError& e) {
            const bool compile = e.source.contains(u"compilation");
            out += QStringLiteral("!error (%1, %2) %3: %4\n")
                       .arg(e.line)
                       .arg(e.column)
                       .arg(compile ? u"compilation" : u"runtime", e.description);
        });
        engine.Parse(text);
    }
    return out;
}

bool PropertyBag::HasMember(const QString& name) const
{
    return names.contains(name, Qt::CaseInsensitive);
}

bool PropertyBag::Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result)
{
    qsizetype i = 0;
    while (i < names.size() && names[i].compare(name, Qt::CaseInsensitive) != 0)
        ++i;
    if (i == names.size())
        return false;
    if (kind == InvokeKind::Get) {
        result = values[size_t(i)];
        return true;
    }
    values[size_t(i)] = args.back();
    ++sets;
    return true;
}
