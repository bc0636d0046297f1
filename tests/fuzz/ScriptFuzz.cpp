// Arbitrary script text: the lexer and parser may only report compile errors, and what
// parses runs under a step limit, reporting run-time errors and nothing worse.
#include "platform/script/ScriptEngine.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// A host object that answers to every name, so scripts reach the automation path.
class AnyObject : public ScriptObject
{
public:
    bool HasMember(const QString& name) const override { return name.startsWith(u'o', Qt::CaseInsensitive); }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        if (!HasMember(name) && !name.isEmpty())
            return false;
        if (kind == InvokeKind::Get)
            result = args.empty() ? m_value : args[0];
        else
            m_value = args.back();
        return true;
    }

private:
    ScriptValue m_value;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    ScriptEngine engine;
    engine.SetStepLimit(20000);
    engine.SetTimeLimit(2000);
    engine.SetMemoryLimit(uint64_t(256) << 20);
    engine.AddNamedItem(QStringLiteral("Host"), std::make_shared<AnyObject>(), true);
    engine.SetErrorHandler([](const ScriptError& e) {
        if (e.description.isEmpty() && e.number != 0)
            std::abort();
    });
    if (engine.Parse(text)) {
        for (const char* name : {"OnPrintStart", "OnPageStart", "OnLabelStart", "Main"})
            engine.Call(QString::fromLatin1(name));
    }
    return 0;
}
