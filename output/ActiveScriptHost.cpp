#include "output/ActiveScriptHost.h"

#include "model/LabelData.h"
#include "output/ScriptObjects.h"

#include <QStringList>

// The dispatch of "ScriptHost": the members of the host itself.
class SScriptHost : public SDispatch
{
public:
    explicit SScriptHost(CHost_Proxy& host) : m_host(host) {}
    QString TypeName() const override { return QStringLiteral("CHost_Proxy"); }

protected:
    std::span<const SMember> Members() const override
    {
        static constexpr SMember kMembers[] = {
            {u"CreateActiveX", SMember::Method, 1, 1},
            {u"QuitApp", SMember::Method, 0, 0},
            {u"Display", SMember::Method, 1, 1},
            {u"Value", SMember::Property},
            {u"Version", SMember::ReadOnly},
            {u"ShowMsg", SMember::Method, 1, 1},
            {u"GetMsg", SMember::Method, 0, 0},
        };
        return kMembers;
    }

    void InvokeMember(int index, InvokeKind kind, std::span<ScriptValue> args, ScriptValue& result) override
    {
        switch (index) {
        case 0: CActiveScriptHost::CreateObject(args[0].IsNull() ? QString() : args[0].ToText());
        case 1: m_host.m_bQuitRequested = true; break;
        case 2: m_host.ShowText(args[0].ToText()); break;
        case 3:
            if (kind == InvokeKind::Get)
                result = ScriptValue::Str(m_host.m_strValue);
            else
                m_host.m_strValue = args.back().ToText();
            break;
        case 4: result = ScriptValue::Str(m_host.m_strVersion); break;
        case 5:
            m_host.m_strMsg = args[0].ToText();
            m_host.ShowText(m_host.m_strMsg);
            break;
        default: result = ScriptValue::Str(m_host.m_strMsg); break;
        }
    }

private:
    CHost_Proxy& m_host;
};

CActiveScriptHost::CActiveScriptHost(IScriptUi* ui) : m_pUi(ui) {}

CActiveScriptHost::~CActiveScriptHost()
{
    CloseEngine();
}

void CActiveScriptHost::CloseEngine()
{
    m_pEngine.reset();
}

void CActiveScriptHost::StartEngine()
{
    CloseEngine();
    m_bStopped = m_bRanAway = false;
    m_pEngine = std::make_unique<ScriptEngine>();
    m_pEngine->SetStepLimit(m_nStepLimit);
    m_pEngine->SetTimeLimit(m_nTimeLimitMs);
    m_pEngine->SetMemoryLimit(m_nMemoryLimit);
    m_pEngine->SetInterruptCheck([this] { return m_bCancelled.load(); });
    m_pEngine->SetErrorHandler([this](const ScriptError& error) { ReportError(error); });
    ScriptUi ui;
    if (m_pUi) {
        ui.msgBox = [this](const QString& prompt, int buttons, const QString& title) {
            return ShowText(prompt, buttons, title);
        };
        ui.inputBox = [this](const QString& prompt, const QString& title,
                             const QString& defaultText) -> std::optional<QString> {
            if (m_bQuiet)
                return defaultText;
            std::optional<QString> typed = m_pUi->InputBox(prompt, title, defaultText);
            if (!typed)
                ApplyChoice(m_pUi->AskStopJob(QStringLiteral("脚本的输入框已取消。要停止本次任务吗？")));
            return typed;
        };
    }
    m_pEngine->SetUi(std::move(ui));
    AddNamedItem(HostObject(), QStringLiteral("ScriptHost"));
}

void CActiveScriptHost::AddNamedItem(ScriptObjectPtr item, const QString& name)
{
    if (m_pEngine)
        m_pEngine->AddNamedItem(name, std::move(item), true);
}

bool CActiveScriptHost::ParseText(const ScriptModuleText& module)
{
    if (!m_pEngine || m_bStopped)
        return false;
    m_module = module;
    const bool parsed = m_pEngine->Parse(m_module.text);
    m_bStopped = m_bRanAway || m_bCancelled;
    return parsed;
}

bool CActiveScriptHost::CallProcedureChecked(const QString& name)
{
    if (!m_pEngine || m_bStopped || name.isEmpty())
        return false;
    const bool called = m_pEngine->Call(name);
    m_bStopped = m_bRanAway || m_bCancelled;
    return called;
}

void CActiveScriptHost::EndRun()
{
    m_bCancelled = false;
    m_bStopped = m_bRanAway = false;
    m_bQuiet = false;
    m_bStopJob = false;
}

int CActiveScriptHost::ShowText(const QString& text, int buttons, const QString& title)
{
    // The buttons of each kind of box, in order; an unseen box answers with its default.
    static const std::vector<int> kButtons[] = {{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}, {1}, {1}};
    const std::vector<int>& offered = kButtons[buttons & 7];
    if (!m_pUi || m_bQuiet)
        return offered[std::min<size_t>(size_t((buttons >> 8) & 3), offered.size() - 1)];
    // A box with only OK gets Cancel as well: the way out of a job that shows one
    // for every label.
    const bool okOnly = (buttons & 7) == 0;
    const int answer = m_pUi->MsgBox(text, okOnly ? buttons | 1 : buttons, title);
    if (answer != 2)
        return answer;
    ApplyChoice(m_pUi->AskStopJob(QStringLiteral("脚本的消息框已取消。要停止本次任务吗？")));
    return okOnly ? 1 : answer;
}

void CActiveScriptHost::ReportError(const ScriptError& error)
{
    // A cancelled call reports nothing; a runaway one is the last report.
    m_bRanAway = error.number == kScriptStepsExceeded || error.number == kScriptTimeExceeded;
    if (!m_pUi || m_bQuiet)
        return;
    // The user sees the label's texts, not the module the job made of them. A text the
    // script compiled itself has its own lines: the place of the statement that gave it
    // is in the label's text.
    ScriptError shown = error;
    int& line = shown.calls.empty() ? shown.line : shown.calls.front().line;
    int& column = shown.calls.empty() ? shown.column : shown.calls.front().column;
    QString textName;
    const ScriptModuleText::Place place = m_module.Locate(line, column);
    if (place.script >= 0) {
        line = place.line;
        column = place.column;
        textName = QString::fromUtf16(g_scriptEvents[size_t(place.script)].listed);
    }
    ApplyChoice(m_pUi->ScriptErrorBox(FormatError(shown, textName)));
}

void CActiveScriptHost::ApplyChoice(ScriptJobChoice choice)
{
    if (choice == ScriptJobChoice::Continue)
        return;
    m_bQuiet = true;
    if (choice == ScriptJobChoice::Stop) {
        m_bStopJob = true;
        m_bCancelled = true;
    }
}

QString CActiveScriptHost::FormatError(const ScriptError& error, const QString& textName)
{
    // The language's errors are numbered within its facility, as the scode shows them;
    // a script's own error whose number is a failure code (vbObjectError + n) is its scode.
    const uint32_t scode = error.number > 0 && error.number < 0x10000 ? 0x800A0000u | uint32_t(error.number)
                           : error.number < 0                         ? uint32_t(error.number)
                                                                      : 0u;
    QString where = textName.isEmpty() ? QString() : QStringLiteral("事件脚本: ") + textName + u'\n';
    // Then the statements that gave the texts the line and column are in, each in the
    // text before.
    QStringList calls;
    for (const ScriptTextCall& call : error.calls) {
        static constexpr const char16_t* kKinds[] = {u"Eval", u"Execute", u"ExecuteGlobal"};
        calls << QStringLiteral("第 %1 行第 %2 列 %3 的文本")
                     .arg(call.line)
                     .arg(call.column)
                     .arg(QString::fromUtf16(kKinds[call.kind]));
    }
    if (!calls.isEmpty())
        where += calls.join(QStringLiteral("，其中")) + u'\n';
    // In one pass: a "%1" in the script's own description is text, not a place holder.
    return QStringLiteral("%1\nSrc: %2\n%3Line:%4 Column:%5 Error:%6 Scode:%7")
        .arg(error.description, error.source, where, QString::number(error.line), QString::number(error.column),
             QString::number(error.number), QString::number(scode, 16));
}

void CActiveScriptHost::CreateObject(const QString& progId)
{
    ThrowScriptError(429, QStringLiteral("ActiveX component can't create object: '%1'").arg(progId));
}

CHost_Proxy::CHost_Proxy(IScriptUi* ui, IQuitRequest* quit)
    : CActiveScriptHost(ui),
      m_pQuit(quit),
      m_pApplication(std::make_shared<SApplication>()),
      m_pFormat(std::make_shared<SFormat>())
{
}

CHost_Proxy::~CHost_Proxy()
{
    CloseEngine();
    // The job is over: now the program may close.
    if (m_bQuitRequested && m_pQuit)
        m_pQuit->RequestQuit();
}

ScriptObjectPtr CHost_Proxy::HostObject()
{
    if (!m_pDispatch)
        m_pDispatch = std::make_shared<SScriptHost>(*this);
    return m_pDispatch;
}

void CHost_Proxy::Load(CLabelData& label, const ScriptModuleText& module)
{
    StartEngine();
    m_pLabelData = &label;
    m_pFormat->SetLabelData(&label);
    AddNamedItem(m_pApplication, QStringLiteral("Application"));
    AddNamedItem(m_pFormat, QStringLiteral("Format"));
    AddNamedItem(m_pFormat->GetObjects(), QStringLiteral("Objects"));
    if (!module.text.isEmpty())
        ParseText(module);
}

std::unique_ptr<IScriptEngine> CreateLabelScriptEngine(IScriptUi* ui, IQuitRequest* quit)
{
    return std::make_unique<CHost_Proxy>(ui, quit);
}
