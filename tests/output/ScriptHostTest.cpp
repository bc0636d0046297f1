// The scripting host of print and preview jobs: the objects scripts see, errors shown
// once each, runaway and cancelled scripts, the user's dialogs and QuitApp.
#include "OutputSupport.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeImpl_Code128.h"
#include "platform/VXException.h"
#include "model/BarcodeGraph.h"
#include "model/TextGraph.h"
#include "output/ActiveScriptHost.h"
#include "output/PrintTarget.h"

#include <QStringList>
#include <deque>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Answers the scripts' dialogs from queues and records every box shown.
class FakeScriptUi : public IScriptUi
{
public:
    int MsgBox(const QString& prompt, int buttons, const QString& title) override
    {
        boxes << prompt;
        flags.push_back(buttons);
        titles << title;
        if (answers.empty())
            return 1;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> InputBox(const QString& prompt, const QString&, const QString& defaultText) override
    {
        inputs << prompt + u'|' + defaultText;
        if (typed.empty())
            return std::nullopt;
        QString text = typed.front();
        typed.pop_front();
        return text;
    }
    ScriptJobChoice ScriptErrorBox(const QString& text) override
    {
        errors << text;
        IScriptUi::ScriptErrorBox(text); // shown among the boxes, as a plain box would be
        return NextChoice();
    }
    ScriptJobChoice AskStopJob(const QString& text) override
    {
        questions << text;
        return NextChoice();
    }
    ScriptJobChoice NextChoice()
    {
        if (choices.empty())
            return ScriptJobChoice::Continue;
        const ScriptJobChoice choice = choices.front();
        choices.pop_front();
        return choice;
    }
    QStringList errors;    // the error boxes
    QStringList questions; // asked after a cancelled box
    std::deque<ScriptJobChoice> choices;
    QStringList boxes;
    std::vector<int> flags;
    QStringList titles;
    QStringList inputs;
    std::deque<int> answers;
    std::deque<QString> typed;
};

// Code 128 that refuses the content "ABC".
class PickyCode128 : public CBarcodeImpl_Code128
{
public:
    void Encode() override
    {
        if (GetSettings()->m_strContent == "ABC")
            throw CBarcodeException(QStringLiteral("refused"));
        CBarcodeImpl_Code128::Encode();
    }
};

class CountingQuit : public IQuitRequest
{
public:
    void RequestQuit() override { ++requests; }
    int requests = 0;
};

// A 1 x 2 label with the text Text1 and the serial barcode Code, whose scripts run in
// a preview job through the real host.
struct ScriptedJob
{
    explicit ScriptedJob(int labels = 2)
    {
        label = MakeGridLabel(1, 2);
        label->m_nPrintCount = labels;
        AddText(*label, "Text1", {}).m_strText = "plain";
        AddSerialBarcode(*label, "Code", 100, 1, 6);
    }
    void Prepare(CPrintHandler::Mode mode)
    {
        job = std::make_unique<CPrintHandler>();
        job->SetMode(mode);
        job->SetLabelData(label.get());
        auto engine = std::make_unique<CHost_Proxy>(&ui, &quit);
        host = engine.get();
        host->SetStepLimit(stepLimit);
        job->SetScriptEngine(std::move(engine));
        job->Prepare();
    }
    // Prints every page as images; returns the pages printed.
    int Print(PrintResult expected)
    {
        Prepare(CPrintHandler::ModePrint);
        int pages = 0;
        CImageTarget target(10, [&](const QImage&) { return ++pages > 0; });
        EXPECT_EQ(RunPrintJob(*job, target, {1, job->GetPageCount(), 1, true}), expected);
        return pages;
    }
    // Prepares a preview job and returns the texts of object `object` on page 1.
    QStringList Run(const QString& object = QStringLiteral("Text1"))
    {
        Prepare(CPrintHandler::ModePreview);
        QStringList texts;
        for (const PreviewCell& cell : PreviewPage(*job, 1, object))
            texts << cell.text;
        return texts;
    }
    std::unique_ptr<CLabelData> label;
    FakeScriptUi ui;
    CountingQuit quit;
    uint64_t stepLimit = CActiveScriptHost::kStepLimit;
    std::unique_ptr<CPrintHandler> job;
    CHost_Proxy* host = nullptr;
};

} // namespace

TEST(ScriptHost, ObjectsServeItemsByNameAndIndex)
{
    ScriptedJob run;
    run.label->m_strFilePath = "/labels/box.vmk";
    run.label->m_strScripts[ScriptOnPrintStart] =
        "Display Objects.Count & \"|\" & Objects.Item(\"Text1\").Name & \"|\" & Objects.Item(1).Name & \"|\" & Objects.Item(1).Type\n"
        "Display TypeName(Objects.Item(Objects.Count)) & \"|\" & TypeName(Objects.Item(\"text1\")) & \"|\" & TypeName(Objects.Item(-1))\n"
        "a = Objects.Item(0) Is Objects.Item(\"Text1\")\nb = Format.Item(1) Is Objects.Item(\"Code\")\nc = Format.Objects Is Objects\n"
        "Display a & \"|\" & b & \"|\" & c\n"
        "Display Format.FileName & \"|\" & Count & \"|\" & Item(0).Value\n"
        "Display Application.Version & \"|\" & TypeName(Application.Version) & \"|\" & Application.BuildNumber & \"|\" & (Len(Application.ComputerName) > 0)\n"
        "Display Version & \"|\" & ScriptHost.Version & \"|\" & Value & \"|\" & GetMsg()\n";
    run.Run();
    EXPECT_EQ(run.ui.boxes, (QStringList{"2|Text1|Code|0", "Nothing|Nothing|Nothing", "True|True|True",
                                         "/labels/box.vmk|2|plain", "2|Single|1392|True",
                                         "script version 1.0|script version 1.0|val|msg"}));
}

TEST(ScriptHost, ReadOnlyMembersRefuseToBeSet)
{
    const char* const scripts[] = {
        "Application.Version = 3",  "Application.BuildNumber = 1", "Application.ComputerName = \"x\"",
        "Application.SystemUserName = \"x\"", "ScriptHost.Version = \"2\"", "Objects.Count = 0",
        "Format.FileName = \"a\"",  "Objects.Item(0).Name = \"x\"", "Objects.Item(0).Type = 2",
    };
    for (const char* script : scripts) {
        ScriptedJob run;
        run.label->m_strScripts[ScriptOnPrintStart] = QString::fromUtf8(script) + "\nDisplay \"not reached\"";
        run.Run();
        ASSERT_EQ(run.ui.boxes.size(), 1) << script;
        EXPECT_TRUE(run.ui.boxes[0].startsWith("Property is read-only")) << run.ui.boxes[0].toStdString();
        EXPECT_TRUE(run.ui.boxes[0].contains("Error:383 Scode:800a017f")) << run.ui.boxes[0].toStdString();
        EXPECT_EQ(run.label->m_objects[0]->m_strName, "Text1");
    }
}

TEST(ScriptHost, ValueChangesWhatEachLabelPrints)
{
    ScriptedJob run(4);
    run.label->m_strScripts[ScriptShared] = "Dim n\nFunction Tag(k)\n Tag = \"L\" & k\nEnd Function";
    run.label->m_strScripts[ScriptOnLabelStart] =
        "n = n + 1\nObjects.Item(\"Text1\").Value = Tag(n)\nItem(\"Code\").Value = \"C\" & (n * 11)";
    EXPECT_EQ(run.Run(), (QStringList{"L1", "L2"}));
    EXPECT_EQ(run.Run("Code").size(), 2);
    // Each label's barcode was encoded with the script's value, not the serial.
    auto* barcode = static_cast<CBarcodeGraph*>(run.label->m_objects[1].get());
    EXPECT_EQ(barcode->GetImpl()->GetSettings()->m_strContent, "C22");
    EXPECT_TRUE(run.ui.boxes.isEmpty()) << run.ui.boxes.join('\n').toStdString();
}

TEST(ScriptHost, ABarcodeValueItCannotEncodeKeepsTheLabelsOwnSymbol)
{
    ScriptedJob run(1);
    auto* barcode = static_cast<CBarcodeGraph*>(run.label->m_objects[1].get());
    auto picky = std::make_unique<PickyCode128>();
    picky->Attach(barcode->GetImpl()->GetSettings()->Clone(), barcode->GetImpl()->GetData()->Clone());
    barcode->m_pBarcodeImpl = std::move(picky);
    run.label->m_strScripts[ScriptOnLabelStart] = "Objects.Item(\"Code\").Value = \"ABC\"\nDisplay \"not reached\"";
    run.Run();
    ASSERT_EQ(run.ui.boxes.size(), 1);
    EXPECT_TRUE(run.ui.boxes[0].contains("条码“Code”无法编码“ABC”")) << run.ui.boxes[0].toStdString();
    EXPECT_EQ(barcode->GetImpl()->GetSettings()->m_strContent, "100");
    EXPECT_GT(barcode->m_fWidth, 0.0f);
}

TEST(ScriptHost, ErrorsAreShownOnceEachAndTheJobGoesOn)
{
    {
        // A syntax error: one box at preparation, no procedure afterwards.
        ScriptedJob run(4);
        run.label->m_strScripts[ScriptOnLabelStart] = "If Then";
        run.label->m_strScripts[ScriptOnPageEnd] = "Display \"page\"";
        EXPECT_EQ(run.Run(), (QStringList{"plain", "plain"}));
        ASSERT_EQ(run.ui.boxes.size(), 1);
        EXPECT_EQ(run.ui.boxes[0], "Expected expression\nSrc: Microsoft VBScript compilation error\n"
                                   "事件脚本: OnLabelStart\nLine:1 Column:4 Error:1023 Scode:800a03ff");
        EXPECT_EQ(run.ui.flags[0], kMsgBoxSetForeground);
        EXPECT_EQ(run.ui.titles[0], "");
    }
    {
        // A run-time error ends the procedure; the next label runs it again.
        ScriptedJob run(4);
        run.label->m_strScripts[ScriptShared] = "Dim n";
        run.label->m_strScripts[ScriptOnLabelStart] = "n = n + 1\nIf n = 1 Then x = 1 / 0\nText1Value n";
        run.label->m_strScripts[ScriptShared] += "\nSub Text1Value(k)\n Objects.Item(\"Text1\").Value = \"n\" & k\nEnd Sub";
        EXPECT_EQ(run.Run(), (QStringList{"plain", "n2"}));
        ASSERT_EQ(run.ui.boxes.size(), 1);
        EXPECT_TRUE(run.ui.boxes[0].startsWith(
            "Division by zero\nSrc: Microsoft VBScript runtime error\n事件脚本: OnLabelStart\nLine:2 Column:15 "))
            << run.ui.boxes[0].toStdString();
        EXPECT_TRUE(run.ui.boxes[0].endsWith("Error:11 Scode:800a000b"));
    }
    {
        // A script's own error keeps its source, and its number is the scode.
        ScriptedJob run(1);
        run.label->m_strScripts[ScriptOnLabelStart] = "Err.Raise vbObjectError + 513, \"Lot check\", \"lot missing\"";
        run.Run();
        ASSERT_EQ(run.ui.boxes.size(), 1);
        EXPECT_EQ(run.ui.boxes[0],
                  "lot missing\nSrc: Lot check\n事件脚本: OnLabelStart\nLine:1 Column:1 Error:-2147220991 Scode:80040201");
    }
}

// An error names the label's text it is in and the line and column there, as the script
// editor numbers them, not those of the module the job wraps the texts in; a text the script
// compiled itself (Execute, ExecuteGlobal, Eval) has its own lines, after the label's text
// and line of the statement that gave it.
TEST(ScriptHost, AnErrorIsPlacedInTheTextTheUserWrote)
{
    struct Case
    {
        const char* what;
        const char* shared; // null: the initial text, left out of the module
        int event;
        const char* text;
        const char* where; // the box's lines from the text's name on
    };
    const Case cases[] = {
        {"a run-time error on line 2 of OnPrintStart", nullptr, ScriptOnPrintStart, "x = 1\r\n  y = x / 0",
         "事件脚本: OnPrintStart\nLine:2 Column:3 Error:11 Scode:800a000b"},
        {"after a shared part of three lines", "Dim a\r\nDim b\r\nDim c", ScriptOnPrintStart, "x = 1\r\n  y = x / 0",
         "事件脚本: OnPrintStart\nLine:2 Column:3 Error:11"},
        {"in a shared procedure an event calls", "Dim a\r\nSub Fail()\r\n    a = 1 / 0\r\nEnd Sub", ScriptOnLabelStart,
         "Fail", "事件脚本: Functions and Subs\nLine:3 Column:5 Error:11"},
        {"a compile error in the shared part", "Dim a\r\na = (1 +", ScriptOnLabelStart, "a = 1",
         "事件脚本: Functions and Subs\nLine:2 Column:9 Error:1023"},
        {"a compile error in a later event", "Dim a", ScriptOnLabelEnd, "a = 2\r\n\r\na = 3 +",
         "事件脚本: OnLabelEnd\nLine:3 Column:8 Error:1023"},
        {"a block the event leaves open: at the end of its text", nullptr, ScriptOnPageStart, "If True Then\r\n  x = 1",
         "事件脚本: OnPageStart\nLine:2 Column:8 Error:"},
        {"a lone carriage return ends a line, as in the editor", nullptr, ScriptOnPrintStart, "x = 1\ry = x / 0",
         "事件脚本: OnPrintStart\nLine:2 Column:1 Error:11"},
        {"a line continued", nullptr, ScriptOnPrintStart, "x = 1 + _\r\n    2\r\ny = x / 0",
         "事件脚本: OnPrintStart\nLine:3 Column:1 Error:11"},
        {"in the text given to ExecuteGlobal", nullptr, ScriptOnPrintStart,
         "x = 1\r\nExecuteGlobal \"a = 1\" & vbCrLf & \"b = a / 0\"",
         "事件脚本: OnPrintStart\n第 2 行第 1 列 ExecuteGlobal 的文本\nLine:2 Column:1 Error:11"},
        {"a compile error of an Execute text", nullptr, ScriptOnPrintStart, "x = 1\r\nExecute \"a = 1\" & vbLf & \"b = (\"",
         "事件脚本: OnPrintStart\n第 2 行第 1 列 Execute 的文本\nLine:2 Column:6 Error:1002"},
        {"of an Eval text", nullptr, ScriptOnPrintStart, "x = 1\r\nx = Eval(\"1 +\")",
         "事件脚本: OnPrintStart\n第 2 行第 1 列 Eval 的文本\nLine:1 Column:4 Error:1002"},
        {"in a procedure ExecuteGlobal made, called later", nullptr, ScriptOnLabelStart,
         "ExecuteGlobal \"Sub Late()\" & vbCrLf & \"  z = 1 / 0\" & vbCrLf & \"End Sub\"\r\nLate",
         "事件脚本: OnLabelStart\n第 1 行第 1 列 ExecuteGlobal 的文本\nLine:2 Column:3 Error:11"},
        {"a text an Execute text gave, from a shared procedure", "Dim a\r\nSub Run(t)\r\n  Execute t\r\nEnd Sub",
         ScriptOnPrintStart, "x = 1\r\nRun \"a = 2 : Execute \"\"a = 1 / 0\"\"\"",
         "事件脚本: Functions and Subs\n第 3 行第 3 列 Execute 的文本，其中第 1 行第 9 列 Execute 的文本\n"
         "Line:1 Column:1 Error:11"},
        {"an Eval that fails as it runs: the line that called it", nullptr, ScriptOnPrintStart,
         "x = 1\r\nx = Eval(\"1 / 0\")", "事件脚本: OnPrintStart\nLine:2 Column:1 Error:11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedJob run(1);
        if (c.shared)
            run.label->m_strScripts[ScriptShared] = QString::fromUtf8(c.shared);
        run.label->m_strScripts[c.event] = QString::fromUtf8(c.text);
        run.Run();
        ASSERT_EQ(run.ui.errors.size(), 1) << run.ui.errors.join("\n---\n").toStdString();
        // After the description and the source; a text of the script's own names no label text.
        const QString place = run.ui.errors[0].section(u'\n', 2);
        EXPECT_TRUE(place.startsWith(QString::fromUtf8(c.where))) << run.ui.errors[0].toStdString();
    }
    {
        // The event's line that ran the text, and the line within the text, in the box.
        ScriptedJob run(1);
        run.label->m_strScripts[ScriptOnPrintStart] =
            "Dim q\r\nq = 0\r\n\r\n' then\r\nExecute \"q = 1\" & vbCrLf & \"q = 1 / 0\"";
        run.Run();
        ASSERT_EQ(run.ui.errors.size(), 1);
        EXPECT_EQ(run.ui.errors[0], "Division by zero\nSrc: Microsoft VBScript runtime error\n事件脚本: OnPrintStart\n"
                                    "第 5 行第 1 列 Execute 的文本\nLine:2 Column:1 Error:11 Scode:800a000b");
    }
    {
        // A runaway text is stopped in its own lines too.
        ScriptedJob run(1);
        run.stepLimit = 1000;
        run.label->m_strScripts[ScriptOnLabelStart] = "x = 1\r\nExecute \"Do\" & vbCrLf & \"  x = x + 1\" & vbCrLf & \"Loop\"";
        run.Run();
        ASSERT_EQ(run.ui.errors.size(), 1);
        EXPECT_TRUE(run.ui.errors[0].contains("\n事件脚本: OnLabelStart\n第 2 行第 1 列 Execute 的文本\nLine:2 Column:3 Error:9000"))
            << run.ui.errors[0].toStdString();
    }
    // A description is the script's own text, "%1" and all.
    ScriptedJob run(1);
    run.label->m_strScripts[ScriptOnPrintStart] = "Err.Raise 5, \"%1 %2\", \"100%1 done\"";
    run.Run();
    ASSERT_EQ(run.ui.errors.size(), 1);
    EXPECT_EQ(run.ui.errors[0], "100%1 done\nSrc: %1 %2\n事件脚本: OnPrintStart\nLine:1 Column:1 Error:5 Scode:800a0005");
}

TEST(ScriptHost, RunawayAndCancelledScriptsStopAndNoneRunsAfter)
{
    {
        ScriptedJob run(4);
        run.stepLimit = 50000;
        run.label->m_strScripts[ScriptOnLabelStart] = "Display \"label\"\nDo\nLoop";
        run.Run();
        EXPECT_EQ(run.ui.boxes.size(), 2); // the first label's text, then the runaway's report
        EXPECT_TRUE(run.ui.boxes.back().startsWith("脚本执行的语句超过 50000 条，已停止。\n"));
        EXPECT_TRUE(run.ui.boxes.back().contains("事件脚本: OnLabelStart\nLine:2 Column:1 Error:9000"))
            << run.ui.boxes.back().toStdString();
    }
    {
        // A cancel from another thread reaches a script that never ends by itself.
        ScriptedJob run(4);
        run.stepLimit = 0;
        run.label->m_strScripts[ScriptOnLabelStart] = "Display \"label\"\nDo\nLoop";
        run.label->m_strScripts[ScriptOnPageEnd] = "Display \"page\"";
        std::thread canceller;
        run.ui.answers = {1};
        struct CancelOnBox : IScriptUi
        {
            FakeScriptUi* inner;
            std::thread* thread;
            CHost_Proxy** host;
            int MsgBox(const QString& p, int b, const QString& t) override
            {
                *thread = std::thread([h = *host] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    h->Cancel();
                });
                return inner->MsgBox(p, b, t);
            }
            std::optional<QString> InputBox(const QString&, const QString&, const QString&) override { return {}; }
        } cancelling;
        cancelling.inner = &run.ui;
        cancelling.thread = &canceller;
        cancelling.host = &run.host;
        run.job = std::make_unique<CPrintHandler>();
        run.job->SetMode(CPrintHandler::ModePreview);
        run.job->SetLabelData(run.label.get());
        auto engine = std::make_unique<CHost_Proxy>(&cancelling, nullptr);
        run.host = engine.get();
        run.host->SetStepLimit(0);
        run.host->SetTimeLimit(120'000); // only a watchdog: the cancel ends the loop
        run.job->SetScriptEngine(std::move(engine));
        run.job->Prepare();
        PreviewPage(*run.job, 1);
        canceller.join();
        EXPECT_EQ(run.ui.boxes, QStringList{"label"}) << "nothing reported, nothing run after the cancel";
    }
}

TEST(ScriptHost, DialogsQuitAndForeignObjectsGoThroughTheHost)
{
    ScriptedJob run(1);
    run.ui.answers = {1, 6};
    run.ui.typed = {"typed"};
    run.label->m_strScripts[ScriptOnPrintStart] =
        "ShowMsg \"hello\"\n"
        "If MsgBox(\"Go?\", vbYesNo + vbQuestion, \"Job\") = vbYes Then Value = InputBox(\"Name\", \"T\", \"x\")\n"
        "Display Value & \"|\" & GetMsg\n"
        "On Error Resume Next\n"
        "Set o = CreateActiveX(\"Excel.Application\")\n"
        "Display Err.Number & \"|\" & Err.Description\n"
        "QuitApp";
    run.Run();
    EXPECT_EQ(run.ui.boxes, (QStringList{"hello", "Go?", "typed|hello",
                                         "429|ActiveX component can't create object: 'Excel.Application'"}));
    EXPECT_EQ(run.ui.flags[1], 36);
    EXPECT_EQ(run.ui.titles[1], "Job");
    EXPECT_EQ(run.ui.inputs, QStringList{"Name|x"});
    EXPECT_TRUE(run.host->QuitRequested());
    EXPECT_EQ(run.quit.requests, 0) << "not while the job lives";
    run.job.reset();
    EXPECT_EQ(run.quit.requests, 1);
}

TEST(ScriptHost, WrappersOfObjectsTheDocumentReplacedAreNotUsed)
{
    ScriptedJob run(1);
    run.label->m_strScripts[ScriptShared] = "Dim kept";
    run.label->m_strScripts[ScriptOnLabelStart] =
        "If IsEmpty(kept) Then Set kept = Objects.Item(\"Text1\")\nkept.Value = \"x\"";
    run.Run();
    EXPECT_TRUE(run.ui.boxes.isEmpty());
    // The document swaps its objects for new clones while the preview lives on.
    auto fresh = run.label->m_objects[0]->Clone();
    fresh->m_strText = "fresh";
    const auto old = std::move(run.label->m_objects[0]); // kept, so its address is not reused
    run.label->m_objects[0] = std::move(fresh);
    PreviewPage(*run.job, 1);
    ASSERT_EQ(run.ui.boxes.size(), 1);
    EXPECT_TRUE(run.ui.boxes[0].startsWith("Object variable not set")) << run.ui.boxes[0].toStdString();
    EXPECT_EQ(run.label->m_objects[0]->m_strText, "fresh");
}

TEST(ScriptHost, AFailingEventOffersToStopTheJobOrToShowNoMoreBoxes)
{
    {
        // "Don't show again": the job and its scripts go on, without boxes.
        ScriptedJob run(6);
        run.label->m_strScripts[ScriptShared] = "Dim n";
        run.label->m_strScripts[ScriptOnLabelStart] = "n = n + 1\nObjects.Item(\"Text1\").Value = n\nx = 1 / 0";
        run.ui.choices = {ScriptJobChoice::ContinueQuietly};
        EXPECT_EQ(run.Print(PrintResult::Success), 3);
        EXPECT_EQ(run.ui.errors.size(), 1);
        EXPECT_TRUE(run.ui.errors[0].startsWith("Division by zero\n")) << run.ui.errors[0].toStdString();
        EXPECT_EQ(run.ui.boxes.size(), 1);
    }
    {
        // "Stop": no script runs after it and the print job ends after the page.
        ScriptedJob run(6);
        run.label->m_strScripts[ScriptOnLabelStart] = "x = 1 / 0";
        run.label->m_strScripts[ScriptOnPageEnd] = "Display \"page\"";
        run.ui.choices = {ScriptJobChoice::Stop};
        EXPECT_EQ(run.Print(PrintResult::Cancelled), 1);
        EXPECT_EQ(run.ui.boxes, run.ui.errors);
    }
    {
        // A box with only OK can be cancelled during a job, which asks whether to stop.
        ScriptedJob run(6);
        run.label->m_strScripts[ScriptOnLabelStart] = "r = MsgBox(\"label\")\nDisplay \"answer \" & r";
        run.ui.answers = {1, 1, 2, 1, 2};
        run.ui.choices = {ScriptJobChoice::Continue, ScriptJobChoice::Stop};
        EXPECT_EQ(run.Print(PrintResult::Cancelled), 2);
        EXPECT_EQ(run.ui.boxes, (QStringList{"label", "answer 1", "label", "answer 1", "label"}));
        EXPECT_EQ(run.ui.flags[0], 1) << "OK and Cancel";
        EXPECT_EQ(run.ui.questions.size(), 2);
    }
}
