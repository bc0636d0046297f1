#pragma once

#include <QPointer>
#include <QWidget>

class QTextBrowser;

// The program's help: HTML pages shipped in its resources (":/help/<topic>.html"), an
// index and a page per main task, shown in one help window per process.
class CHelpWindow : public QWidget
{
    Q_OBJECT
public:
    // Shows the topic's page in the help window, made or brought to the front; a topic
    // without a page shows the index. owner: the window asking for help; the help
    // window belongs to it so that it stays usable beside a modal dialog. Asked for by a
    // dialog, it stands beside the dialog rather than over it, and never over its buttons
    // where the screen leaves room for that; it is then the dialog's transient window, kept
    // above the dialog (and the main window) while the dialog is open.
    static CHelpWindow* ShowTopic(const QString& topic, QWidget* owner);
    // The help window, null before the first help or after it was closed.
    static CHelpWindow* Current();

    // The window in front, for a window or message that no window of its own asks for
    // (a wait window, a data source's message, a failed command): the dialog in use, else
    // the active window. Never the help window, which moves to whatever window asks it for
    // help and so must never be asked by a window of its own: the window it belongs to
    // stands in its place.
    static QWidget* FrontWindow();

    // The topic of a window: that of the first of it and its parents whose class has
    // a page; the index for any other.
    static QString TopicFor(const QWidget* widget);
    // The topic of windows of that class alone; the index for one without a page.
    static QString TopicForClass(const QString& className);
    // The resource of a topic's page with its section ("#..."), or of the index when
    // the topic has no page.
    static QString PageOf(const QString& topic);
    static QString IndexTopic() { return QStringLiteral("index"); }

    // The page shown ("qrc:/help/....html").
    QString CurrentPage() const;
    QTextBrowser* Browser() const { return m_pBrowser; }

protected:
    // A window the help belongs to that closes leaves the help open, shown or not, with the
    // window beneath it (its own parent, else the program's main window) and kept above
    // that window. Only with the program's last window does the help window go.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CHelpWindow(QWidget* owner);
    // Makes the help window a window of window's with the flags, where it was on screen; it
    // stays where it is rather than move under itself or a window of its own.
    void MoveTo(QWidget* window, Qt::WindowFlags flags);
    // Moves the help window off the dialog asking for it: beside it, or at least clear
    // of its buttons. One the user already placed clear of the dialog stays there.
    void KeepClearOf(const QWidget* dialog, bool onScreen);

    QTextBrowser* m_pBrowser;
    static QPointer<CHelpWindow> s_pWindow;
};
