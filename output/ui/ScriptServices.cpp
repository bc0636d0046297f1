#include "output/ui/ScriptServices.h"

#include "app/UiServices.h"
#include "app/VXBaseDialog.h"

#include <QLabel>
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
    ProgramScriptCallbacks(QWidget* dialogParent, QWidget* mainWindow) : ui(dialogParent), quit(mainWindow) {}
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

int CServicesScriptUi::MsgBox(const QString& prompt, int buttons, const QString& title)
{
    return Services().ShowMessage(m_pParent, prompt, IconOf(buttons), ButtonsOf(buttons), title);
}

std::optional<QString> CServicesScriptUi::InputBox(const QString& prompt, const QString& title,
                                                   const QString& defaultText)
{
    CScriptInputDlg dialog(m_pParent, prompt, title, defaultText);
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}

CScriptInputDlg::CScriptInputDlg(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText)
    : QDialog(parent), m_pPrompt(new QLabel(prompt, this)), m_pEdit(new QLineEdit(defaultText, this))
{
    setWindowTitle(title.isEmpty() ? QString::fromUtf16(kAppTitle) : title);
    m_pPrompt->setObjectName(QStringLiteral("prompt"));
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
    return m_pEdit->text();
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
