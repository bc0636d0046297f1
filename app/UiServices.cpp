#include "app/UiServices.h"

#include "app/HelpWindow.h"
#include "model/Utils.h"
#include "platform/VXException.h"
#include "platform/VisibleText.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QFileInfo>
#include <QApplication>
#include <QFontDialog>
#include <QKeyEvent>
#include <QPointer>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <new>

namespace {

std::unique_ptr<UiServices>& Installed()
{
    static std::unique_ptr<UiServices> services;
    return services;
}

struct ButtonAnswer
{
    QMessageBox::StandardButton button;
    int answer;
    const char16_t* text;
};

// Qt's own button texts are English without a translation; the program's are these.
constexpr ButtonAnswer kAnswerButtons[] = {
    {QMessageBox::Ok, IDOK, u"确定"},          {QMessageBox::Cancel, IDCANCEL, u"取消"},
    {QMessageBox::Yes, IDYES, u"是(&Y)"},      {QMessageBox::No, IDNO, u"否(&N)"},
    {QMessageBox::Retry, IDRETRY, u"重试(&R)"}, {QMessageBox::Abort, IDABORT, u"中止(&A)"},
    {QMessageBox::Ignore, IDIGNORE, u"忽略(&I)"},
};

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// F1 in any dialog opens its page: the program's own dialogs, its message boxes and
// Qt's pickers, whose page is that of the window that opened them. Watched before any
// control of the dialog sees the key: some keep every key they are given (the file
// picker's name box), and many dialogs have no key handling of their own.
class DialogHelpKey : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
            return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (!qobject_cast<QDialog*>(window))
            return false;
        Services().ShowHelp(window);
        return true;
    }
};

// Runs one of Qt's pickers modally, made with the opener as its parent: a help window
// opened from it then stays open with the opener's window once the picker is gone.
bool RunPicker(QDialog& picker)
{
    return picker.exec() == QDialog::Accepted;
}

// Qt's own file picker rather than the platform's native one, which no key of ours
// reaches (and which need not speak the program's language).
QString PickFile(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                 QFileDialog::AcceptMode mode, QFileDialog::FileMode files, QString* chosenFilter = nullptr)
{
    QFileDialog picker(parent, caption, dir, filter);
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setAcceptMode(mode);
    picker.setFileMode(files);
    if (files == QFileDialog::Directory)
        picker.setOption(QFileDialog::ShowDirsOnly);
    if (chosenFilter && !chosenFilter->isEmpty())
        picker.selectNameFilter(*chosenFilter);
    if (!RunPicker(picker))
        return {};
    if (chosenFilter)
        *chosenFilter = picker.selectedNameFilter();
    return picker.selectedFiles().value(0);
}

} // namespace

void UiServices::ShowHelp(QWidget* parent)
{
    CHelpWindow::ShowTopic(CHelpWindow::TopicFor(parent), parent);
}

void InstallDialogHelpKey()
{
    static QPointer<DialogHelpKey> installed;
    if (installed || !qApp)
        return;
    installed = new DialogHelpKey(qApp);
    qApp->installEventFilter(installed);
}

void UiServices::ReportException(QWidget* parent, const VXException& e)
{
    // A data source's failure its loader already showed is not shown twice.
    if (const auto* source = dynamic_cast<const CDataSourceException*>(&e); source && source->Shown())
        return;
    ShowMessage(parent, e.GetMessage(), MessageIcon::Stop);
}

void UiServices::ReportException(QWidget* parent, const std::exception& e)
{
    if (const auto* own = dynamic_cast<const VXException*>(&e))
        return ReportException(parent, *own);
    qWarning("Task failed: %s", e.what());
    ShowMessage(parent, UnexpectedFailureText(e), MessageIcon::Stop);
}

QString UnexpectedFailureText(const std::exception& e)
{
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("内存不足，无法完成此任务。");
    return QStringLiteral("发生意外错误，无法完成此任务。");
}

int DesktopUiServices::RunModal(QDialog& dialog)
{
    return dialog.exec();
}

int UiServices::ShowMessage(QWidget* parent, const QString& text, MessageIcon icon, MessageButtons buttons,
                            const QString& caption)
{
    return ShowMessageBox(parent, VisibleText(text, true), icon, buttons, VisibleText(caption));
}

int DesktopUiServices::ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon, MessageButtons buttons,
                                      const QString& caption)
{
    QMessageBox box(IconOf(icon), caption.isEmpty() ? QString::fromUtf16(kAppTitle) : caption, text,
                    ButtonsOf(buttons), parent);
    // Messages quote labels' names and servers' words: never markup.
    box.setTextFormat(Qt::PlainText);
    for (const ButtonAnswer& b : kAnswerButtons)
        if (QAbstractButton* button = box.button(b.button))
            button->setText(QString::fromUtf16(b.text));
    const int chosen = box.exec();
    for (const ButtonAnswer& b : kAnswerButtons)
        if (chosen == b.button)
            return b.answer;
    // Closing the box by its title bar answers like its Cancel (or only) button.
    return buttons == MessageButtons::Ok ? IDOK : buttons == MessageButtons::YesNo ? IDNO : IDCANCEL;
}

QString DesktopUiServices::GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                           const QString& filter)
{
    return PickFile(parent, caption, dir, filter, QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
}

QString DesktopUiServices::GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                           const QString& filter)
{
    return PickFile(parent, caption, dir, filter, QFileDialog::AcceptSave, QFileDialog::AnyFile);
}

QString DesktopUiServices::GetSaveFileNameOfType(QWidget* parent, const QString& caption, const QString& dir,
                                                 const QString& filter, QString* chosenFilter)
{
    return PickFile(parent, caption, dir, filter, QFileDialog::AcceptSave, QFileDialog::AnyFile, chosenFilter);
}

QString DesktopUiServices::GetExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return PickFile(parent, caption, dir, {}, QFileDialog::AcceptOpen, QFileDialog::Directory);
}

QColor DesktopUiServices::GetColor(QWidget* parent, const QColor& initial)
{
    QColorDialog picker(initial.isValid() ? initial : QColor(Qt::white), parent);
    picker.setOption(QColorDialog::DontUseNativeDialog);
    return RunPicker(picker) ? picker.selectedColor() : QColor();
}

bool DesktopUiServices::GetFont(QWidget* parent, QFont& font)
{
    QFontDialog picker(font, parent);
    picker.setOption(QFontDialog::DontUseNativeDialog);
    if (!RunPicker(picker))
        return false;
    font = picker.selectedFont();
    return true;
}

QStringList DesktopUiServices::PrinterNames()
{
    return QPrinterInfo::availablePrinterNames();
}

QString DesktopUiServices::DefaultPrinterName()
{
    return QPrinterInfo::defaultPrinterName();
}

std::vector<PaperInfo> DesktopUiServices::PrinterPapers(const QString& printer)
{
    std::vector<PaperInfo> papers;
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    if (info.isNull())
        return papers;
    for (const QPageSize& size : info.supportedPageSizes()) {
        // Drivers list sizes in tenths of a millimetre.
        const QSizeF mm = size.size(QPageSize::Millimeter);
        papers.push_back({size.windowsId(), size.name(), static_cast<float>(qRound(mm.width() * 10) / 10.0),
                          static_cast<float>(qRound(mm.height() * 10) / 10.0)});
    }
    return papers;
}

bool DesktopUiServices::OpenDocument(const QString& path)
{
    return QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopUiServices::StartProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

QDateTime DesktopUiServices::CurrentDateTime()
{
    return QDateTime::currentDateTime();
}

UiServices& Services()
{
    std::unique_ptr<UiServices>& services = Installed();
    if (!services)
        services = std::make_unique<DesktopUiServices>();
    return *services;
}

std::unique_ptr<UiServices> InstallServices(std::unique_ptr<UiServices> services)
{
    std::unique_ptr<UiServices> previous = std::move(Installed());
    Installed() = std::move(services);
    return previous;
}

void ShowWindowMaximized(QWidget* window)
{
    if (const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen())
        window->setGeometry(screen->availableGeometry());
    window->showMaximized();
}

QString GetSaveFileNameWithSuffix(QWidget* parent, const QString& dir, const QString& filter, const QString& suffix)
{
    QString start = dir;
    for (;;) {
        QString path = Services().GetSaveFileName(parent, {}, start, filter);
        if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
            return path;
        path += u'.' + suffix;
        if (!QFileInfo::exists(path))
            return path;
        const QString question =
            QStringLiteral("%1 已存在。\n要替换它吗？").arg(QDir::toNativeSeparators(QFileInfo(path).fileName()));
        const int answer = Services().ShowMessage(parent, question, MessageIcon::Warning, MessageButtons::YesNo);
        if (answer == IDYES)
            return path;
        start = path;
    }
}
