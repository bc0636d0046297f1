// The script engine: a tight loop of integer arithmetic and string building, and the
// per-label cost of a scripted job (an event procedure setting three object values),
// both under the limits a print job's host sets (steps, time, memory).
#include "platform/script/ScriptEngine.h"

#include <benchmark/benchmark.h>

namespace {

// A label object as scripts see it: one Value property.
class BenchObject : public ScriptObject
{
public:
    bool HasMember(const QString& name) const override { return name.compare(u"Value", Qt::CaseInsensitive) == 0; }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        if (!HasMember(name))
            return false;
        if (kind == InvokeKind::Get)
            result = ScriptValue::Str(value);
        else
            value = args.back().ToString();
        return true;
    }
    QString value;
};

// The label's object list: Item(name).
class BenchObjects : public ScriptObject
{
public:
    BenchObjects()
    {
        for (const char* name : {"Text1", "Barcode1", "Text2"})
            objects.emplace_back(QString::fromLatin1(name), std::make_shared<BenchObject>());
    }
    bool HasMember(const QString& name) const override { return name.compare(u"Item", Qt::CaseInsensitive) == 0; }
    bool Invoke(const QString& name, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        if (!HasMember(name) || kind != InvokeKind::Get || args.size() != 1)
            return false;
        const QString wanted = args[0].ToString();
        result = ScriptValue::Nothing();
        for (const auto& [objectName, object] : objects)
            if (objectName == wanted)
                result = ScriptValue::Obj(object);
        return true;
    }
    std::vector<std::pair<QString, std::shared_ptr<BenchObject>>> objects;
};

// The limits of the program's script host.
void LimitAsTheHostDoes(ScriptEngine& engine)
{
    engine.SetStepLimit(20'000'000);
    engine.SetTimeLimit(10'000);
    engine.SetMemoryLimit(uint64_t(512) << 20);
}

void BM_ScriptLoopMillion(benchmark::State& state)
{
    ScriptEngine engine;
    LimitAsTheHostDoes(engine);
    engine.Parse(QStringLiteral("Function Work()\n"
                                "  Dim i, n, s\n"
                                "  For i = 1 To 1000000\n"
                                "    n = (n + i * 3) Mod 1000007\n"
                                "    s = \"item\" & i\n"
                                "  Next\n"
                                "  Work = n & s\n"
                                "End Function\n"));
    ScriptValue result;
    for (auto _ : state) {
        engine.Call(QStringLiteral("Work"), {}, &result);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ScriptLoopMillion)->Unit(benchmark::kMillisecond);

void BM_ScriptEventSetsThreeProperties(benchmark::State& state)
{
    ScriptEngine engine;
    LimitAsTheHostDoes(engine);
    auto objects = std::make_shared<BenchObjects>();
    engine.AddNamedItem(QStringLiteral("Objects"), objects, true);
    engine.Parse(QStringLiteral("Dim n\n"
                                "Sub OnLabelStart()\n"
                                "  n = n + 1\n"
                                "  Objects.Item(\"Text1\").Value = \"Serial \" & n\n"
                                "  Objects.Item(\"Barcode1\").Value = Right(\"000000\" & n, 6)\n"
                                "  Item(\"Text2\").Value = FormatNumber(n * 1.5, 2)\n"
                                "End Sub\n"));
    for (auto _ : state)
        engine.Call(QStringLiteral("OnLabelStart"));
    if (objects->objects[1].second->value.size() != 6)
        state.SkipWithError("the event procedure did not run");
}
BENCHMARK(BM_ScriptEventSetsThreeProperties)->Unit(benchmark::kMicrosecond);

} // namespace
