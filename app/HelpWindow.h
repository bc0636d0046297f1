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
    // window belongs to it so that it stays usable beside a modal dialog.
    static CHelpWindow* ShowTopic(const QString& topic, QWidget* owner);
    // The help window, null before the first help or after it was closed.
    static CHelpWindow* Current();
    // When the help window belongs to a window about to go (a picker opened from a
    // dialog), it moves to next's window as it was, shown or not, rather than going
    // with it.
    static void MoveFrom(const QWidget* closing, QWidget* next);

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

private:
    explicit CHelpWindow(QWidget* owner);
    // Makes the help window a window of its own over window, where it was on screen; it
    // stays where it is rather than move under itself or a window of its own.
    void MoveTo(QWidget* window);

    QTextBrowser* m_pBrowser;
    static QPointer<CHelpWindow> s_pWindow;
};
