#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>
#include <QStringList>
#include <exception>
#include <memory>
#include <vector>

class QDialog;
class QWidget;
class VXException;

// Icons of a message box.
enum class MessageIcon { None, Information, Question, Warning, Stop };

// Button sets of a message box, and the answers, numbered as the dialogs' callers
// compare them (OK 1, Cancel 2, Yes 6, No 7).
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum MessageAnswer : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// One paper a printer offers: the driver's paper code (the Windows DMPAPER number
// where there is one), its name and its size in millimetres, not turned for landscape.
struct PaperInfo
{
    int code = 0;
    QString name;
    float width = 0.0f;
    float height = 0.0f;
};

// The caption of message boxes that name no caption of their own.
inline constexpr char16_t kAppTitle[] = u"Vellumcraft";

// Everything the user interface asks of the desktop: modal runs, message boxes,
// file, folder, colour and font pickers, the printer list, opening documents and
// starting programs, and the clock. Windows and dialogs reach these only through
// Services(), so tests replace the whole desktop with a fake that fills dialogs
// through their controls and answers message boxes.
class UiServices
{
public:
    virtual ~UiServices() = default;

    // Runs the dialog modally; QDialog::Accepted (1) or QDialog::Rejected (0).
    virtual int RunModal(QDialog& dialog) = 0;
    // A message box; the answer is one of MessageAnswer. An empty caption is the
    // application's name. Messages quote what labels and servers wrote (names, fields,
    // files, a server's own words), so every character of text and caption that shows as
    // nothing or reorders what follows it is shown by its code (VisibleText), the
    // message's lines kept.
    int ShowMessage(QWidget* parent, const QString& text, MessageIcon icon = MessageIcon::Information,
                    MessageButtons buttons = MessageButtons::Ok, const QString& caption = {});

    // Pickers: an empty text or an invalid colour means the user cancelled. Filters
    // are Qt's form ("Label files (*.vmk);;All files (*)").
    virtual QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    virtual QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    // A save picker offering several types: *chosenFilter holds the one shown first
    // and receives the one the user chose. By default the plain picker, leaving it.
    virtual QString GetSaveFileNameOfType(QWidget* parent, const QString& caption, const QString& dir,
                                          const QString& filter, QString* chosenFilter)
    {
        (void)chosenFilter;
        return GetSaveFileName(parent, caption, dir, filter);
    }
    virtual QString GetExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) = 0;
    virtual QColor GetColor(QWidget* parent, const QColor& initial) = 0;
    // False when cancelled; font is then unchanged.
    virtual bool GetFont(QWidget* parent, QFont& font) = 0;

    virtual QStringList PrinterNames() = 0;
    virtual QString DefaultPrinterName() = 0;
    // The papers of a printer in its driver's order; empty for an unknown printer or
    // one that reports none.
    virtual std::vector<PaperInfo> PrinterPapers(const QString& printer) = 0;

    // Opens a document with the desktop's handler; false when the file is missing or
    // nothing could open it.
    virtual bool OpenDocument(const QString& path) = 0;
    // Starts a program detached; false when it could not be started.
    virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;

    virtual QDateTime CurrentDateTime() = 0;

    // Where the last print of this run of the program went: a printer's name or the
    // print dialog's PDF entry; empty before the first.
    QString m_strLastPrintDestination;

    // Shows the help page of the window in the program's help window (the index when
    // the window has no page of its own).
    void ShowHelp(QWidget* parent);
    // Reports a typed exception caught at an entry point (slot, command, OK).
    void ReportException(QWidget* parent, const VXException& e);
    // Reports whatever a job, a preview or a data read threw at the entry that
    // started it (out of memory included): the program's own exceptions with their
    // text, anything else as a failed task, its detail only in the log.
    void ReportException(QWidget* parent, const std::exception& e);

protected:
    // Shows the message box ShowMessage made plain.
    virtual int ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon, MessageButtons buttons,
                               const QString& caption) = 0;
};

// The services the desktop gives: Qt's dialogs and the system's handlers.
class DesktopUiServices : public UiServices
{
public:
    int RunModal(QDialog& dialog) override;
    QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString GetSaveFileNameOfType(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                  QString* chosenFilter) override;
    QString GetExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;
    QColor GetColor(QWidget* parent, const QColor& initial) override;
    bool GetFont(QWidget* parent, QFont& font) override;
    QStringList PrinterNames() override;
    QString DefaultPrinterName() override;
    std::vector<PaperInfo> PrinterPapers(const QString& printer) override;
    bool OpenDocument(const QString& path) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;
    QDateTime CurrentDateTime() override;

protected:
    int ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon, MessageButtons buttons,
                       const QString& caption) override;
};

// The services in use. The application installs them at start-up; until something
// is installed the desktop's are used.
UiServices& Services();
// Installs services and returns the previous ones (null when none were installed).
std::unique_ptr<UiServices> InstallServices(std::unique_ptr<UiServices> services);

// Makes F1 open the help page of whatever dialog has the key (the program's own, a
// message box, a picker opened from a dialog) for the rest of the run; once is enough.
void InstallDialogHelpKey();

// The message of a task that failed with an exception not of the program's own:
// out of memory, or anything else.
QString UnexpectedFailureText(const std::exception& e);

// Shows a top-level window maximised, and filling the screen's free area also where
// no window manager maximises it.
void ShowWindowMaximized(QWidget* window);

// A save dialog whose answer gets the suffix when it has none. The dialog only
// checked the name as typed, so when adding the suffix names a file that exists,
// this asks before it is replaced; No shows the dialog again. Empty when cancelled.
QString GetSaveFileNameWithSuffix(QWidget* parent, const QString& dir, const QString& filter, const QString& suffix);
