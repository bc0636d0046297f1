// The engine as its host uses it: named objects, a module parsed once, procedures called
// by name, errors and dialogs handed to the host.
#include "ScriptTestHost.h"

#include <gtest/gtest.h>
#include <new>
#include <sys/resource.h>

namespace {

struct Host
{
    ScriptEngine engine;
    std::vector<ScriptError> errors;
    std::shared_ptr<PropertyBag> bag = std::make_shared<PropertyBag>();

    Host()
    {
        engine.SetErrorHandler([this](const ScriptError& e) { errors.push_back(e); });
        bag->names = {QStringLiteral("Value"), QStringLiteral("Count"), QStringLiteral("Name")};
        bag->values = {ScriptValue(), ScriptValue::Int(3), ScriptValue::Str(QStringLiteral("label"))};
    }
};

} // namespace

TEST(ScriptEngine, ModuleRunsOnceAndProceduresKeepItsState)
{
    Host h;
    h.engine.AddNamedItem(QStringLiteral("Bag"), h.bag, false);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Dim n\nn = 10\nSub OnLabelStart()\n n = n + 1\n Bag.Value = n\nEnd Sub\n"
                                              "Function Add(a, b)\n Add = a + b\nEnd Function\n")));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(h.engine.Call(QStringLiteral("onlabelstart")));
    EXPECT_EQ(h.bag->values[0].ToLong(), 13);
    ScriptValue r;
    ASSERT_TRUE(h.engine.Call(QStringLiteral("Add"), {ScriptValue::Int(2), ScriptValue::Str(QStringLiteral("3"))}, &r));
    EXPECT_EQ(r.Type(), VarType::Double);
    EXPECT_EQ(r.ToDouble(), 5.0);
    EXPECT_TRUE(h.engine.HasProcedure(QStringLiteral("ADD")));
    EXPECT_FALSE(h.engine.Call(QStringLiteral("OnPageStart")));
    EXPECT_TRUE(h.errors.empty());
}

TEST(ScriptEngine, GlobalMembersOfNamedItemsAreGlobalNames)
{
    Host h;
    h.engine.AddNamedItem(QStringLiteral("Objects"), h.bag, true);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Sub S()\n Value = Name & Count\n Objects.Count = Count + 1\nEnd Sub\nValue = \"set\"\n")));
    EXPECT_EQ(h.bag->values[0].ToString(), QStringLiteral("set"));
    ASSERT_TRUE(h.engine.Call(QStringLiteral("S")));
    EXPECT_EQ(h.bag->values[0].ToString(), QStringLiteral("label3"));
    EXPECT_EQ(h.bag->values[1].ToLong(), 4);
    EXPECT_TRUE(h.errors.empty());
}

TEST(ScriptEngine, ErrorsReachTheHostWithNumberTextAndPosition)
{
    struct Case
    {
        const char* script;
        const char* call; // empty: the error comes from Parse
        int number;
        const char* description;
        int line;
        int column;
        bool compile;
    };
    const Case cases[] = {
        {"Sub S()\n  x = 1\n  x = x / 0\nEnd Sub", "S", 11, "Division by zero", 3, 3, false},
        {"Sub S()\n  Dim a(1)\n  a(2) = 1\nEnd Sub", "S", 9, "Subscript out of range", 3, 3, false},
        {"Sub S()\n  Bag.Missing = 1\nEnd Sub", "S", 438, "Object doesn't support this property or method", 2, 3, false},
        {"Sub S()\n  Set o = CreateObject(\"Word.Application\")\nEnd Sub", "S", 429,
         "ActiveX component can't create object: 'Word.Application'", 2, 3, false},
        {"Sub S()\n  Err.Raise 1234, \"src\", \"custom\"\nEnd Sub", "S", 1234, "custom", 2, 3, false},
        {"x = 1\nIf x Then\n  y = 2\n", "", 1014, "Expected 'End'", 4, 1, true},
        {"x = (1 + \n", "", 1023, "Expected expression", 1, 10, true},
        {"x = \"open\n", "", 1033, "Unterminated string constant", 1, 5, true},
        {"Option Explicit\nDim a\nb = 1\n", "", 500, "Variable is undefined", 3, 1, false},
        {"Sub S(a)\nEnd Sub\nS 1, 2\n", "", 450, "Wrong number of arguments or invalid property assignment", 3, 1, false},
        {"Sub S(a, b)\nEnd Sub\nS (,), 1\n", "", 450, "Wrong number of arguments or invalid property assignment", 3, 1, false},
        {"Const k = 1\nk = 2\n", "", 501, "Illegal assignment", 2, 1, true},
        {"Sub S()\n  For k = 1 To 2\n  Next\nEnd Sub\nConst k = 1\n", "S", 501, "Illegal assignment", 2, 3, false},
        {"Sub S()\n  Set k = Nothing\n  Const k = 1\nEnd Sub\n", "", 501, "Illegal assignment", 2, 7, true},
    };
    for (const Case& c : cases) {
        Host h;
        h.engine.AddNamedItem(QStringLiteral("Bag"), h.bag, false);
        const bool parsed = h.engine.Parse(QString::fromUtf8(c.script));
        if (*c.call) {
            ASSERT_TRUE(parsed) << c.script;
            EXPECT_FALSE(h.engine.Call(QString::fromUtf8(c.call))) << c.script;
        } else {
            EXPECT_FALSE(parsed) << c.script;
        }
        ASSERT_EQ(h.errors.size(), 1u) << c.script;
        const ScriptError& e = h.errors[0];
        EXPECT_EQ(e.number, c.number) << c.script;
        EXPECT_EQ(e.description, QString::fromUtf8(c.description)) << c.script;
        EXPECT_EQ(e.line, c.line) << c.script;
        EXPECT_EQ(e.column, c.column) << c.script;
        EXPECT_EQ(e.source.contains(u"compilation"), c.compile) << c.script;
    }
}

namespace {

// The calls an error names, "Execute 2:1 > Eval 1:5" for an error in an Eval text that an
// Execute text gave on its first line, the Execute being at line 2 column 1 of the host's.
std::string CallsShown(const ScriptTextCalls& calls)
{
    std::string shown;
    for (const ScriptTextCall& call : calls) {
        static const char* const kKinds[] = {"Eval", "Execute", "ExecuteGlobal"};
        shown += (shown.empty() ? "" : " > ") + std::string(kKinds[call.kind]) + ' ' + std::to_string(call.line) + ':'
                 + std::to_string(call.column);
    }
    return shown;
}

} // namespace

// Lines end where the script editor ends them ("\r\n", "\n" or a lone "\r"), and an error
// says whose text it is in: the host's, or one the script compiled itself, and then which
// statements gave that text.
TEST(ScriptEngine, LinesEndAsTheEditorsDoAndAnErrorSaysWhoseTextItIsIn)
{
    const std::pair<const char*, ScriptPosition> ends[] = {
        {"", {1, 1}}, {"ab", {1, 3}}, {"a\r\nb", {2, 2}}, {"a\rbc\nd", {3, 2}}, {"a\r", {2, 1}}, {"a\n\r\n", {3, 1}}};
    for (const auto& [text, end] : ends) {
        EXPECT_EQ(ScriptTextEnd(QString::fromUtf8(text)).line, end.line) << text;
        EXPECT_EQ(ScriptTextEnd(QString::fromUtf8(text)).column, end.column) << text;
    }
    struct Case
    {
        const char* script;
        int line;
        int column;
        const char* calls;
    };
    const Case cases[] = {
        {"x = 1\r\ry = 1 / 0", 3, 1, ""},
        {"x = [a\rb]", 1, 5, ""},
        {"x = #1/1/2000\r#", 1, 5, ""},
        {"Execute \"x = 1\" & vbCr & \"  y = 1 / 0\"", 2, 3, "Execute 1:1"},
        // Where the procedure's text was given, not where it was called.
        {"x = 1\nExecuteGlobal \"Sub S()\" & vbLf & \"x = 1 / 0\" & vbLf & \"End Sub\"\nS", 2, 1, "ExecuteGlobal 2:1"},
        {"x = Eval(\"(1\")", 1, 3, "Eval 1:1"},
        {"x = 1\nx = Eval(\"1 / 0\")", 2, 1, ""},
        // The statement after a colon, and a text given by a text.
        {"x = 1 : Execute \"Execute \"\"a = 1\"\" & vbLf & \"\"b = 1 / 0\"\"\"", 2, 1, "Execute 1:9 > Execute 1:1"},
        {"Execute \"a = 1\" & vbLf & \"a = Eval(\"\"1 +\"\")\"", 1, 4, "Execute 1:1 > Eval 2:1"},
        {"ExecuteGlobal \"Sub P()\" & vbLf & \"  Execute \"\"z = 1 / 0\"\"\" & vbLf & \"End Sub\"\nP", 1, 1,
         "ExecuteGlobal 1:1 > Execute 2:3"},
        // The text comes from a function that ran statements of its own first.
        {"Function T()\n  T = \"a = 1 / 0\"\nEnd Function\n\nExecute T()", 1, 1, "Execute 5:1"},
        {"Const k = 1\nExecuteGlobal \"Dim a\" & vbLf & \"Const k = 2\"", 2, 1, "ExecuteGlobal 2:1"},
    };
    for (const Case& c : cases) {
        Host h;
        h.engine.Parse(QString::fromUtf8(c.script));
        ASSERT_EQ(h.errors.size(), 1u) << c.script;
        EXPECT_EQ(h.errors[0].line, c.line) << c.script;
        EXPECT_EQ(h.errors[0].column, c.column) << c.script;
        EXPECT_EQ(CallsShown(h.errors[0].calls), c.calls) << c.script;
    }
    // The same text given again by another statement names that one, and a loop that
    // gives it again and again names its own.
    Host h;
    h.engine.Parse(QStringLiteral("t = \"q = 1 / 0\"\nExecute t"));
    h.engine.Parse(QStringLiteral("\n\nExecute t"));
    h.engine.Parse(QStringLiteral("For i = 1 To 3\n  On Error Resume Next\n  Execute t\nNext\nOn Error GoTo 0\nExecute t"));
    ASSERT_EQ(h.errors.size(), 3u);
    EXPECT_EQ(CallsShown(h.errors[0].calls), "Execute 2:1");
    EXPECT_EQ(CallsShown(h.errors[1].calls), "Execute 3:1");
    EXPECT_EQ(CallsShown(h.errors[2].calls), "Execute 6:1");
}

TEST(ScriptEngine, CompileErrorKeepsNothingOfTheText)
{
    Host h;
    EXPECT_FALSE(h.engine.Parse(QStringLiteral("Sub Good()\nEnd Sub\nSub Bad(\n")));
    EXPECT_FALSE(h.engine.HasProcedure(QStringLiteral("Good")));
    // A later text still parses and runs.
    EXPECT_TRUE(h.engine.Parse(QStringLiteral("Sub Good()\nEnd Sub\n")));
    EXPECT_TRUE(h.engine.Call(QStringLiteral("Good")));
}

TEST(ScriptEngine, DialogsGoThroughTheHost)
{
    Host h;
    QStringList asked;
    ScriptUi ui;
    ui.msgBox = [&](const QString& prompt, int buttons, const QString& title) {
        asked << QStringLiteral("%1|%2|%3").arg(prompt).arg(buttons).arg(title);
        return 6; // vbYes
    };
    ui.inputBox = [&](const QString& prompt, const QString& title, const QString& fallback) -> std::optional<QString> {
        asked << prompt + u'|' + title + u'|' + fallback;
        return prompt == u"cancel" ? std::nullopt : std::optional<QString>(QStringLiteral("typed"));
    };
    h.engine.SetUi(ui);
    h.engine.AddNamedItem(QStringLiteral("Bag"), h.bag, false);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("If MsgBox(\"Go on?\", vbYesNo + vbQuestion, \"Job\") = vbYes Then Bag.Value = InputBox(\"Name\", \"T\", \"x\")\n"
                                              "x = InputBox(\"cancel\")\nBag.Name = \"[\" & x & \"]\" & IsEmpty(x)")));
    EXPECT_EQ(asked, QStringList({QStringLiteral("Go on?|36|Job"), QStringLiteral("Name|T|x"), QStringLiteral("cancel||")}));
    EXPECT_EQ(h.bag->values[0].ToString(), QStringLiteral("typed"));
    // Cancelled, the box gives Empty, which scripts tell from an empty text.
    EXPECT_EQ(h.bag->values[2].ToString(), QStringLiteral("[]True"));
}

TEST(ScriptEngine, RunawayScriptsStop)
{
    {
        Host h;
        h.engine.SetStepLimit(10000);
        EXPECT_FALSE(h.engine.Parse(QStringLiteral("Do\nLoop")));
        ASSERT_EQ(h.errors.size(), 1u);
    }
    {
        // The host's interrupt stops the call silently, even inside On Error Resume Next.
        Host h;
        int polls = 0;
        h.engine.SetInterruptCheck([&] { return ++polls == 3; });
        EXPECT_FALSE(h.engine.Parse(QStringLiteral("On Error Resume Next\nDo\nLoop")));
        EXPECT_EQ(polls, 3);
        EXPECT_TRUE(h.errors.empty());
    }
    {
        // Unbounded recursion is a catchable "Out of stack space", not a crash.
        Host h;
        EXPECT_TRUE(h.engine.Parse(QStringLiteral("Function F(n)\n F = F(n + 1)\nEnd Function\nOn Error Resume Next\nx = F(0)\nr = Err.Number")));
        EXPECT_TRUE(h.errors.empty());
        EXPECT_TRUE(h.engine.Parse(QStringLiteral("If r <> 28 Then Err.Raise 5")));
        EXPECT_TRUE(h.errors.empty());
    }
}

TEST(ScriptEngine, ErrorInsideEventDoesNotStopLaterCalls)
{
    Host h;
    h.engine.AddNamedItem(QStringLiteral("Bag"), h.bag, false);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Sub OnLabelStart()\n Bag.Count = Bag.Count + 1\n If Bag.Count = 5 Then x = 1 / 0\nEnd Sub")));
    int failures = 0;
    for (int i = 0; i < 4; ++i)
        failures += h.engine.Call(QStringLiteral("OnLabelStart")) ? 0 : 1;
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(h.bag->values[1].ToLong(), 7);
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].line, 3);
}

TEST(ScriptEngine, MemoryIsBudgetedAcrossCallsAndRunningOutIsAnError)
{
    Host h;
    h.engine.SetMemoryLimit(uint64_t(48) << 20);
    // Each array is well under the limit; the ones kept add up past it.
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Dim keep(50), n\n"
                                              "Sub Grow()\n ReDim a(100000)\n Set keep(n) = Nothing\n keep(n) = a\n n = n + 1\nEnd Sub\n"
                                              "Sub Free()\n Erase keep\nEnd Sub\n")));
    int calls = 0;
    while (calls < 50 && h.engine.Call(QStringLiteral("Grow")))
        ++calls;
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].number, 7);
    EXPECT_EQ(h.errors[0].description, QStringLiteral("Out of memory"));
    EXPECT_EQ(h.errors[0].line, 3);
    EXPECT_GT(calls, 2);
    EXPECT_LT(calls, 20);
    // What the script lets go is free for it again.
    ASSERT_TRUE(h.engine.Call(QStringLiteral("Free")));
    EXPECT_TRUE(h.engine.Call(QStringLiteral("Grow")));
    // One string past the budget, under On Error Resume Next.
    EXPECT_TRUE(h.engine.Parse(QStringLiteral("On Error Resume Next\ns = Space(30000000)\nIf Err.Number <> 7 Then Err.Raise 5")));
    EXPECT_EQ(h.errors.size(), 1u);
}

TEST(ScriptEngine, CompilingBigTextsStaysWithinTheMemoryBudget)
{
    Host h;
    h.engine.SetMemoryLimit(uint64_t(64) << 20);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    // 8 MB of script: its compiled form would need far more than the budget.
    EXPECT_FALSE(h.engine.Parse(QStringLiteral("x = 1\n").repeated(1'400'000)));
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].number, 7);
    EXPECT_TRUE(h.errors[0].source.contains(u"compilation"));
    // So would a text given to Execute, which the script may catch.
    EXPECT_TRUE(h.engine.Parse(QStringLiteral("On Error Resume Next\nExecute Replace(Space(3000000), \" \", \"x=1:\")\n"
                                              "If Err.Number <> 7 Then Err.Raise 5\n")));
    EXPECT_EQ(h.errors.size(), 1u);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 400L << 10); // kilobytes
}

TEST(ScriptEngine, AnAllocationFailureAnywhereIsOutOfMemory)
{
    class Starving : public ScriptObject
    {
    public:
        bool HasMember(const QString&) const override { return true; }
        bool Invoke(const QString&, InvokeKind, std::span<ScriptValue>, ScriptValue&) override { throw std::bad_alloc(); }
    };
    Host h;
    h.engine.AddNamedItem(QStringLiteral("Starving"), std::make_shared<Starving>(), false);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("On Error Resume Next\nx = Starving.Value\nr = Err.Number\nSub S()\n y = Starving.Value\nEnd Sub")));
    EXPECT_TRUE(h.engine.Parse(QStringLiteral("If r <> 7 Then Err.Raise 5")));
    EXPECT_FALSE(h.engine.Call(QStringLiteral("S")));
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].number, 7);
    EXPECT_EQ(h.errors[0].line, 5);
}

TEST(ScriptEngine, AStoppedCallSaysWhereAndWhy)
{
    {
        Host h;
        h.engine.SetStepLimit(5000);
        EXPECT_FALSE(h.engine.Parse(QStringLiteral("x = 1\nDo\n  x = x + 1\nLoop")));
        ASSERT_EQ(h.errors.size(), 1u);
        EXPECT_EQ(h.errors[0].number, kScriptStepsExceeded);
        EXPECT_EQ(h.errors[0].description, QStringLiteral("脚本执行的语句超过 5000 条，已停止。"));
        EXPECT_GE(h.errors[0].line, 2);
        EXPECT_GE(h.errors[0].column, 1);
    }
    {
        // Few statements, each slow: the time limit stops it, inside On Error Resume Next too.
        Host h;
        h.engine.SetTimeLimit(200);
        EXPECT_FALSE(h.engine.Parse(QStringLiteral("On Error Resume Next\nDo\n  x = Eval(\"1+1\")\nLoop")));
        ASSERT_EQ(h.errors.size(), 1u);
        EXPECT_EQ(h.errors[0].number, kScriptTimeExceeded);
        EXPECT_EQ(h.errors[0].description, QStringLiteral("脚本运行超过 0.2 秒，已停止。"));
        EXPECT_TRUE(h.errors[0].line == 2 || h.errors[0].line == 3) << h.errors[0].line;
    }
}

TEST(ScriptEngine, ExecuteInALoopKeepsNoParseItNoLongerNeeds)
{
    Host h;
    h.engine.SetMemoryLimit(uint64_t(16) << 20);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Dim w, v\nFor i = 1 To 100000\n Execute \"x = 1\"\n Execute \"y = \" & (i Mod 1000)\nNext\n"
                                              "For i = 1 To 20000\n ExecuteGlobal \"Sub A(n)\" & vbLf & \"z = n\" & vbLf & \"End Sub\"\n A i\nNext\n"
                                              "Sub B()\n For i = 1 To 20000\n  ExecuteGlobal \"Sub B()\" & vbLf & \"w = \" & i & vbLf & \"End Sub\"\n  Execute \"v = i\"\n Next\nEnd Sub\n"
                                              "B\nB")));
    EXPECT_TRUE(h.errors.empty()) << h.errors[0].description.toStdString();
    // The last text's B ran second; the first B, still running then, was kept.
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("If w <> 20000 Or v <> 20000 Then Err.Raise 5")));
}

TEST(ScriptEngine, DeepRecursionRunsAndRunawayNestingIsOutOfStackSpace)
{
    Host h;
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Function D(n)\n If n = 0 Then D = 0 Else D = 1 + D(n - 1)\nEnd Function\n"
                                              "Function Deepest(n)\n Deepest = n\n On Error Resume Next\n Deepest = Deepest(n + 1)\nEnd Function\n")));
    // As deep as the stack allows: thousands of levels, fewer in instrumented builds
    // whose frames are several times larger.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kDeep = 300;
#else
    constexpr int kDeep = 2000;
#endif
    ScriptValue r;
    ASSERT_TRUE(h.engine.Call(QStringLiteral("Deepest"), {ScriptValue::Int(0)}, &r));
    EXPECT_GT(r.ToLong(), kDeep);
    ASSERT_TRUE(h.engine.Call(QStringLiteral("D"), {ScriptValue::Int(kDeep)}, &r));
    EXPECT_EQ(r.ToLong(), kDeep);
    for (const char* text : {"s = \"Execute s\" : Execute s", "s = \"ExecuteGlobal s\" : ExecuteGlobal s",
                             "t = \"Eval(t)\" : x = Eval(t)"}) {
        h.errors.clear();
        EXPECT_FALSE(h.engine.Parse(QString::fromUtf8(text))) << text;
        ASSERT_EQ(h.errors.size(), 1u) << text;
        EXPECT_EQ(h.errors[0].number, 28) << text;
    }
}

TEST(ScriptEngine, ObjectsTheHostStillHoldsOutliveTheEngineSafely)
{
    ScriptValue kept;
    QStringList said;
    {
        Host h;
        h.engine.AddNamedItem(QStringLiteral("Bag"), h.bag, false);
        ASSERT_TRUE(h.engine.Parse(QStringLiteral("Class C\n Public v\n Private Sub Class_Terminate()\n  Bag.Name = \"gone\"\n End Sub\nEnd Class\n"
                                                  "Function Make()\n Set Make = New C\n Make.v = 3\nEnd Function")));
        ASSERT_TRUE(h.engine.Call(QStringLiteral("Make"), {}, &kept));
        ScriptValue other;
        ASSERT_TRUE(h.engine.Call(QStringLiteral("Make"), {}, &other));
        other = ScriptValue();
        said << h.bag->values[2].ToString();
    }
    // The engine is gone: the instance answers nothing and dies quietly.
    ScriptValue v;
    EXPECT_FALSE(kept.RawObject()->Invoke(QStringLiteral("v"), InvokeKind::Get, {}, v));
    kept = ScriptValue();
    EXPECT_EQ(said, QStringList{QStringLiteral("gone")});
}

TEST(ScriptEngine, LongChainsOfArraysAndObjectsAreFreedWithoutDeepRecursion)
{
    Host h;
    h.engine.SetStepLimit(0);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Dim freed\nClass Node\n Public nxt\n Private Sub Class_Terminate()\n  freed = freed + 1\n End Sub\nEnd Class\n"
                                              "a = Empty\nFor i = 1 To 200000\n a = Array(a)\nNext\na = Empty\n"
                                              "Set h = Nothing\nFor i = 1 To 200000\n Set n = New Node\n Set n.nxt = h\n Set h = n\nNext\n"
                                              "Set n = Nothing\nSet h = Nothing\n")));
    EXPECT_TRUE(h.errors.empty());
    ScriptValue freed;
    ASSERT_TRUE(h.engine.Parse(QStringLiteral("Function Terminated()\n Terminated = freed\nEnd Function")));
    ASSERT_TRUE(h.engine.Call(QStringLiteral("Terminated"), {}, &freed));
    EXPECT_EQ(freed.ToLong(), 200000) << "every Class_Terminate ran";
}

// A name declared twice is "Name redefined" (1041) in a text given to Execute or
// ExecuteGlobal as at the top level, and so is a constant or a class that a later text
// declares again; a Dim of a known variable and a Sub declared again are taken, and a
// text that does not compile is still a syntax error (1002). Scripts rely on 1041 to
// include a library once and to import constants.
TEST(ScriptEngine, NamesDeclaredAgainByExecutedTextsAreNameRedefined)
{
    Host h;
    h.engine.AddNamedItem(QStringLiteral("Bag"), h.bag, false);
    ASSERT_TRUE(h.engine.Parse(QStringLiteral(
        "On Error Resume Next\n"
        "Dim log, libraryRuns\n"
        "Sub Note(what)\n log = log & what & \"=\" & Err.Number & \";\"\n Err.Clear\nEnd Sub\n"
        "Execute \"Dim a\" & vbCrLf & \"Dim a\" : Note \"dim twice\"\n"
        "ExecuteGlobal \"Const k = 1, k = 2\" : Note \"const twice\"\n"
        "ExecuteGlobal \"Class C1 : End Class\" & vbCrLf & \"Class C1 : End Class\" : Note \"class twice\"\n"
        "ExecuteGlobal \"Sub P(a)\" & vbCrLf & \"Dim a\" & vbCrLf & \"End Sub\" : Note \"dim of a parameter\"\n"
        "lib = \"Const LibVersion = 3\" & vbCrLf & \"Class LibThing : End Class\" & vbCrLf & \"libraryRuns = libraryRuns + 1\"\n"
        "ExecuteGlobal lib : Note \"library\"\n"
        "ExecuteGlobal lib : Note \"library again\"\n"
        "ExecuteGlobal \"Const Imported = 5\" : Note \"import\"\n"
        "ExecuteGlobal \"Const Imported = 6\" : Note \"import again\"\n"
        "ExecuteGlobal \"Const log = 1\" : Note \"const of a variable\"\n"
        "ExecuteGlobal \"Const Note = 1\" : Note \"const of a sub\"\n"
        "ExecuteGlobal \"Class LibThing2 : End Class\" : Note \"another class\"\n"
        "ExecuteGlobal \"Dim libraryRuns\" : Note \"dim again\"\n"
        "ExecuteGlobal \"Function Twice() : Twice = 1 : End Function\" : Note \"function\"\n"
        "ExecuteGlobal \"Function Twice() : Twice = 2 : End Function\" : Note \"function again\"\n"
        "Execute \"x = \" : Note \"incomplete\"\n"
        "Bag.Value = log & \"runs=\" & libraryRuns & \";v=\" & LibVersion & \";i=\" & Imported & \";t=\" & Twice()\n")));
    EXPECT_EQ(h.bag->values[0].ToString(),
              QStringLiteral("dim twice=1041;const twice=1041;class twice=1041;dim of a parameter=1041;library=0;"
                             "library again=1041;import=0;import again=1041;const of a variable=1041;"
                             "const of a sub=1041;another class=0;dim again=0;function=0;function again=0;"
                             "incomplete=1002;runs=1;v=3;i=5;t=2"));
    EXPECT_TRUE(h.errors.empty());

    // Unhandled, it reaches the host as the compiler's error.
    Host again;
    ASSERT_FALSE(again.engine.Parse(QStringLiteral("ExecuteGlobal \"Const c = 1\"\nExecuteGlobal \"Const c = 1\"\n")));
    ASSERT_EQ(again.errors.size(), 1u);
    EXPECT_EQ(again.errors[0].number, 1041);
    EXPECT_EQ(again.errors[0].description, QStringLiteral("Name redefined"));
    EXPECT_EQ(again.errors[0].source, QStringLiteral("Microsoft VBScript compilation error"));
}
