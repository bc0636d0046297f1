#include "app/HelpWindow.h"

#include "app/ResourceIcons.h"
#include "app/VXBaseDialog.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Windows by the class-name prefix of their topic; the first match counts, so a
// longer prefix stands before a shorter one it begins with.
struct TopicEntry
{
    const char* classPrefix;
    const char* topic;
};

// A topic is a page, or a section of one ("page#section").
constexpr TopicEntry kTopics[] = {
    {"CSysOptionsDlg", "options#system-options"},
    {"CCustomizeDlg", "options#customize"},
    {"CLabelSettingsDlg", "new-label"},
    {"CPageHeaderDlg", "new-label#page-header"},
    {"CPageNoDlg", "new-label#page-number"},
    {"CDataSourceEdt", "data-bands"},
    {"CDataBandSettingsDlg", "data-bands#more-options"},
    {"CDataBand", "data-bands"},
    {"CNamedSubstring", "data-bands#named-substrings"},
    {"CBandText", "data-bands#band-texts"},
    {"CImageDataSourceDlg", "objects#properties"},
    {"CPolygonPointEditDlg", "objects#properties"},
    {"CDataSourceTypesDlg", "data-sources#add"},
    {"CDataSource", "data-sources#settings"},
    {"CDatabaseDlg", "data-sources"},
    {"CObjectEdtDlg", "objects#properties"},
    {"CGroupingSettingsDlg", "objects#barcode-options"},
    {"CSupplementalDlg", "objects#barcode-options"},
    {"CViewOptionsDlg", "objects#view-options"},
    {"CPrintDlg", "printing"},
    {"CPreviewFrame", "printing"},
    {"CExportDlg", "export"},
    {"CBatchExportDlg", "export#batch"},
    {"CScriptEditorDlg", "scripts"},
    {"CScriptingDlg", "scripts"},
    {"CScreenData", "window-data"},
    {"CWindowDataInputDlg", "window-data"},
};

QString ResourceOf(const QString& topic)
{
    return QStringLiteral(":/help/%1.html").arg(topic);
}

} // namespace

QPointer<CHelpWindow> CHelpWindow::s_pWindow;

CHelpWindow::CHelpWindow(QWidget* owner) : QWidget(owner, Qt::Window), m_pBrowser(new QTextBrowser)
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Vellumcraft 帮助"));
    setWindowIcon(ResourceIcon(424));
    m_pBrowser->setOpenLinks(true);
    m_pBrowser->setOpenExternalLinks(false);

    auto* contents = new QPushButton(QStringLiteral("目录"));
    contents->setObjectName(QStringLiteral("helpIndex"));
    auto* back = new QPushButton(QStringLiteral("后退"));
    back->setObjectName(QStringLiteral("helpBack"));
    SetButtonIcon(back, QStyle::SP_ArrowBack);
    auto* forward = new QPushButton(QStringLiteral("前进"));
    forward->setObjectName(QStringLiteral("helpForward"));
    SetButtonIcon(forward, QStyle::SP_ArrowForward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(contents, &QPushButton::clicked, this,
            [this] { m_pBrowser->setSource(QUrl(QStringLiteral("qrc") + ResourceOf(IndexTopic()))); });
    connect(back, &QPushButton::clicked, m_pBrowser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_pBrowser, &QTextBrowser::forward);
    connect(m_pBrowser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(m_pBrowser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    connect(m_pBrowser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_pBrowser->documentTitle();
        const QString help = QStringLiteral("Vellumcraft 帮助");
        // The index is titled as the help itself: its name once, not twice.
        setWindowTitle(title.isEmpty() || title == help ? help : title + QStringLiteral(" - ") + help);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_pBrowser, 1);
    resize(720, 560);
}

CHelpWindow* CHelpWindow::ShowTopic(const QString& topic, QWidget* owner)
{
    QWidget* window = owner ? owner->window() : nullptr;
    if (!s_pWindow) {
        s_pWindow = new CHelpWindow(window);
    } else if (s_pWindow->parentWidget() != window) {
        // Moves to the window now asking, which may be a modal dialog.
        s_pWindow->MoveTo(window);
    }
    s_pWindow->m_pBrowser->setSource(QUrl(QStringLiteral("qrc") + PageOf(topic)));
    s_pWindow->show();
    s_pWindow->raise();
    s_pWindow->activateWindow();
    return s_pWindow;
}

CHelpWindow* CHelpWindow::Current()
{
    return s_pWindow;
}

void CHelpWindow::MoveTo(QWidget* window)
{
    // Qt follows the parents of a widget to their end: a loop among them never ends.
    for (const QWidget* w = window; w; w = w->parentWidget())
        if (w == this)
            return;
    const QRect geometry = this->geometry();
    setParent(window, Qt::Window);
    setGeometry(geometry);
}

void CHelpWindow::MoveFrom(const QWidget* closing, QWidget* next)
{
    if (!s_pWindow || !closing || s_pWindow->parentWidget() != closing->window())
        return;
    const bool shown = s_pWindow->isVisible();
    s_pWindow->MoveTo(next ? next->window() : nullptr);
    // A new parent hides a widget; one the user was reading stays on screen.
    if (shown)
        s_pWindow->show();
}

QWidget* CHelpWindow::FrontWindow()
{
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = QApplication::activeWindow();
    if (s_pWindow) {
        for (const QWidget* w = front; w; w = w->parentWidget())
            if (w == s_pWindow)
                return s_pWindow->parentWidget();
    }
    return front;
}

QString CHelpWindow::TopicFor(const QWidget* widget)
{
    // A window made from another (the barcode dialog from the object dialog) shares
    // its page unless it has one of its own.
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        for (const QMetaObject* type = w->metaObject(); type; type = type->superClass())
            if (const QString topic = TopicForClass(QLatin1String(type->className())); topic != IndexTopic())
                return topic;
    }
    return IndexTopic();
}

QString CHelpWindow::TopicForClass(const QString& className)
{
    for (const TopicEntry& entry : kTopics)
        if (className.startsWith(QLatin1String(entry.classPrefix)))
            return QLatin1String(entry.topic);
    return IndexTopic();
}

QString CHelpWindow::PageOf(const QString& topic)
{
    InitResourceIcons(); // the pages are among the program's resources
    const qsizetype hash = topic.indexOf(u'#');
    const QString page = ResourceOf(hash < 0 ? topic : topic.left(hash));
    if (!QFile::exists(page))
        return ResourceOf(IndexTopic());
    return hash < 0 ? page : page + topic.mid(hash);
}

QString CHelpWindow::CurrentPage() const
{
    return m_pBrowser->source().toString();
}
