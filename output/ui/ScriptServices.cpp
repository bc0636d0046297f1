#include "output/ui/ScriptServices.h"

#include "app/UiServices.h"
#include "app/VXBaseDialog.h"
#include "platform/VisibleText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// The language's MsgBox codes: buttons in the low three bits, the icon in the next
// three.
MessageButtons ButtonsOf(int code)
{
    switch (code & 7) {
    case 1: return MessageButtons::OkCancel;
    case 2: // abort, retry, ignore: the nearest set the services offer
    case 5: return MessageButtons::RetryCancel;
    case 3: return MessageButtons::YesNoCancel;
    case 4: return MessageButtons::YesNo;
    default: return MessageButtons::Ok;
    }
}

MessageIcon IconOf(int code)
{
    switch (code & 0x70) {
    case 0x10: return MessageIcon::Stop;
    case 0x20: return MessageIcon::Question;
    case 0x30: return MessageIcon::Warning;
    case 0x40: return MessageIcon::Information;
    default: return MessageIcon::None;
    }
}

// The callbacks of the program's host, a base constructed before the host and
// destroyed after it, whose destructor still asks for the quit.
struct ProgramScriptCallbacks
{
    ProgramScriptCallbacks(QWidget* dialogParent, QWidget* mainWindow) : ui(dialogParent, mainWindow), quit(mainWindow) {}
    CServicesScriptUi ui;
    CCloseWindowQuit quit;
};

class CProgramScriptHost : private ProgramScriptCallbacks, public CHost_Proxy
{
public:
    CProgramScriptHost(QWidget* dialogParent, QWidget* mainWindow)
        : ProgramScriptCallbacks(dialogParent, mainWindow), CHost_Proxy(&ui, &quit)
    {
    }
};

} // namespace

QWidget* CServicesScriptUi::DialogParent() const
{
    // A dialog placed over a window not yet on screen lands at the screen's corner.
    if ((!m_pParent || !m_pParent->window()->isVisible()) && m_pMainWindow && m_pMainWindow->isVisible())
        return m_pMainWindow;
    return m_pParent;
}

int CServicesScriptUi::MsgBox(const QString& prompt, int buttons, const QString& title)
{
    return Services().ShowMessage(DialogParent(), prompt, IconOf(buttons), ButtonsOf(buttons), title);
}

std::optional<QString> CServicesScriptUi::InputBox(const QString& prompt, const QString& title,
                                                   const QString& defaultText)
{
    CScriptInputDlg dialog(DialogParent(), prompt, title, defaultText);
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}

ScriptJobChoice CServicesScriptUi::ScriptErrorBox(const QString& text)
{
    CScriptStopDlg dialog(DialogParent(), text, true);
    Services().RunModal(dialog);
    return dialog.Choice();
}

ScriptJobChoice CServicesScriptUi::AskStopJob(const QString& text)
{
    CScriptStopDlg dialog(DialogParent(), text, false);
    Services().RunModal(dialog);
    return dialog.Choice();
}

CScriptStopDlg::CScriptStopDlg(QWidget* parent, const QString& text, bool error)
    : QDialog(parent), m_pQuiet(new QCheckBox(QStringLiteral("本次任务不再显示脚本的消息框和错误"), this))
{
    setWindowTitle(error ? QStringLiteral("脚本错误") : QString::fromUtf16(kAppTitle));
    auto* message = new QLabel(VisibleText(text, true), this);
    message->setObjectName(QStringLiteral("text"));
    message->setTextFormat(Qt::PlainText); // a label's script wrote it
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pQuiet->setObjectName(QStringLiteral("quiet"));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* goOn = buttons->addButton(QStringLiteral("继续"), QDialogButtonBox::AcceptRole);
    goOn->setObjectName(QStringLiteral("continue"));
    goOn->setDefault(true);
    QPushButton* stop = buttons->addButton(QStringLiteral("停止任务"), QDialogButtonBox::RejectRole);
    stop->setObjectName(QStringLiteral("stop"));
    connect(goOn, &QPushButton::clicked, this, &QDialog::accept);
    connect(stop, &QPushButton::clicked, this, [this] {
        m_bStop = true;
        reject();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(m_pQuiet);
    layout->addWidget(buttons);
}

ScriptJobChoice CScriptStopDlg::Choice() const
{
    if (m_bStop)
        return ScriptJobChoice::Stop;
    return m_pQuiet->isChecked() ? ScriptJobChoice::ContinueQuietly : ScriptJobChoice::Continue;
}

CScriptInputDlg::CScriptInputDlg(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText)
    : QDialog(parent), m_pPrompt(new QLabel(VisibleText(prompt, true), this)), m_pEdit(new QLineEdit(VisibleText(defaultText), this)),
      m_strDefault(defaultText)
{
    // The prompt and title are a label's script's: shown as a message's are.
    setWindowTitle(title.isEmpty() ? QString::fromUtf16(kAppTitle) : VisibleText(title));
    m_pPrompt->setObjectName(QStringLiteral("prompt"));
    m_pPrompt->setTextFormat(Qt::PlainText);
    m_pPrompt->setWordWrap(true);
    m_pEdit->setObjectName(QStringLiteral("text"));
    m_pEdit->selectAll();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPrompt);
    layout->addWidget(m_pEdit);
    layout->addWidget(MakeDialogButtons(this));
}

QString CScriptInputDlg::Text() const
{
    // The default is shown with its control characters by code: taken as shown, it is the
    // script's own text.
    const QString text = m_pEdit->text();
    return text == VisibleText(m_strDefault) ? m_strDefault : text;
}

void CCloseWindowQuit::RequestQuit()
{
    if (m_pWindow)
        QMetaObject::invokeMethod(m_pWindow.data(), &QWidget::close, Qt::QueuedConnection);
}

std::unique_ptr<IScriptEngine> CreateProgramScriptEngine(QWidget* dialogParent, QWidget* mainWindow)
{
    return std::make_unique<CProgramScriptHost>(dialogParent, mainWindow);
}
