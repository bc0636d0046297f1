// The engine as its host uses it: named objects, a module parsed once, procedures called
// by name, errors and dialogs handed to the host.
#include "ScriptTestHost.h"

#include <gtest/gtest.h>

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
                                              "Bag.Name = \"[\" & InputBox(\"cancel\") & \"]\"")));
    EXPECT_EQ(asked, QStringList({QStringLiteral("Go on?|36|Job"), QStringLiteral("Name|T|x"), QStringLiteral("cancel||")}));
    EXPECT_EQ(h.bag->values[0].ToString(), QStringLiteral("typed"));
    EXPECT_EQ(h.bag->values[2].ToString(), QStringLiteral("[]"));
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
