#include "app/HelpWindow.h"

#include "app/ResourceIcons.h"
#include "app/VXBaseDialog.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

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
    {"CSourceApprovalDlg", "source-approval"},
};

QString ResourceOf(const QString& topic)
{
    return QStringLiteral(":/help/%1.html").arg(topic);
}

// Between the help window and what it keeps clear of.
constexpr int kGap = 8;
// Smaller than this the help is not worth reading beside a window: it covers more of it instead.
constexpr QSize kSmallestBeside(360, 240);

enum Side { Right, Left, Below, Above };

// The free parts of the screen on each side of keep, in the order they are tried.
std::array<QRect, 4> SpacesBeside(const QRect& keep, const QRect& screen)
{
    std::array<QRect, 4> spaces;
    spaces[Right] = QRect(QPoint(keep.right() + 1 + kGap, screen.top()), screen.bottomRight());
    spaces[Left] = QRect(screen.topLeft(), QPoint(keep.left() - 1 - kGap, screen.bottom()));
    spaces[Below] = QRect(QPoint(screen.left(), keep.bottom() + 1 + kGap), screen.bottomRight());
    spaces[Above] = QRect(screen.topLeft(), QPoint(screen.right(), keep.top() - 1 - kGap));
    return spaces;
}

// A window of size in the space on that side of keep: against keep, level with it as far as
// the space allows, and no larger than the space.
QRect PlaceIn(const QRect& space, Side side, const QRect& keep, QSize size)
{
    size = size.boundedTo(space.size());
    QRect placed(QPoint(), size);
    const auto level = [](int at, int from, int room, int length) { return std::clamp(at, from, from + room - length); };
    if (side == Right || side == Left) {
        placed.moveLeft(side == Right ? space.left() : space.right() + 1 - size.width());
        placed.moveTop(level(keep.top(), space.top(), space.height(), size.height()));
    } else {
        placed.moveTop(side == Below ? space.top() : space.bottom() + 1 - size.height());
        placed.moveLeft(level(keep.left(), space.left(), space.width(), size.width()));
    }
    return placed;
}

// Where a window of size stays clear of keep: at full size on the first side with room for
// it, else made smaller on the side with the most room; empty when no side has room enough.
QRect Beside(const QRect& keep, const QRect& screen, const QSize& size)
{
    const std::array<QRect, 4> spaces = SpacesBeside(keep, screen);
    for (int side = Right; side <= Above; ++side)
        if (spaces[side].width() >= size.width() && spaces[side].height() >= size.height())
            return PlaceIn(spaces[side], Side(side), keep, size);
    int best = -1;
    qint64 bestArea = 0;
    for (int side = Right; side <= Above; ++side) {
        const QSize fits = size.boundedTo(spaces[side].size());
        const qint64 area = qint64(fits.width()) * fits.height();
        if (fits.width() >= kSmallestBeside.width() && fits.height() >= kSmallestBeside.height() && area > bestArea) {
            best = side;
            bestArea = area;
        }
    }
    return best < 0 ? QRect() : PlaceIn(spaces[best], Side(best), keep, size);
}

// The screen rectangle of the window's own push buttons (not those of windows it holds).
QRect ButtonsOf(const QWidget* window)
{
    QRect buttons;
    for (const QPushButton* button : window->findChildren<QPushButton*>())
        if (button->window() == window && button->isVisibleTo(window))
            buttons |= QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
    return buttons;
}

// Asked for by a dialog, the help is a window of that dialog's (a transient window, which the
// window manager keeps above the dialog and so above the main window when the user clicks back
// into the dialog); asked for by another window, it is a window of its own, which the user may
// put behind it.
constexpr Qt::WindowFlags kKeptAboveFlags = Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

Qt::WindowFlags HelpWindowFlags(const QWidget* owner)
{
    return qobject_cast<const QDialog*>(owner) ? kKeptAboveFlags : Qt::Window;
}

// The window beneath one that closes: its parent's, else the program's main window.
QWidget* WindowBeneath(const QWidget* closing)
{
    if (QWidget* parent = closing->parentWidget())
        return parent->window();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != closing && window->isVisible() && qobject_cast<QMainWindow*>(window))
            return window;
    return nullptr;
}

} // namespace

QPointer<CHelpWindow> CHelpWindow::s_pWindow;

CHelpWindow::CHelpWindow(QWidget* owner) : QWidget(owner, HelpWindowFlags(owner)), m_pBrowser(new QTextBrowser)
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
    if (owner)
        owner->installEventFilter(this);
}

CHelpWindow* CHelpWindow::ShowTopic(const QString& topic, QWidget* owner)
{
    QWidget* window = owner ? owner->window() : nullptr;
    const bool onScreen = s_pWindow && s_pWindow->isVisible();
    if (!s_pWindow) {
        s_pWindow = new CHelpWindow(window);
    } else if (s_pWindow->parentWidget() != window
               || s_pWindow->windowType() != (HelpWindowFlags(window) & Qt::WindowType_Mask)) {
        // Moves to the window now asking, which may be a modal dialog; kept above the
        // main window since its dialog closed, it is a window of its own again once the
        // main window asks for it.
        s_pWindow->MoveTo(window, HelpWindowFlags(window));
    }
    s_pWindow->m_pBrowser->setSource(QUrl(QStringLiteral("qrc") + PageOf(topic)));
    if (qobject_cast<QDialog*>(window) && s_pWindow->parentWidget() == window)
        s_pWindow->KeepClearOf(window, onScreen);
    s_pWindow->show();
    s_pWindow->raise();
    s_pWindow->activateWindow();
    return s_pWindow;
}

CHelpWindow* CHelpWindow::Current()
{
    return s_pWindow;
}

void CHelpWindow::MoveTo(QWidget* window, Qt::WindowFlags flags)
{
    // Qt follows the parents of a widget to their end: a loop among them never ends.
    for (const QWidget* w = window; w; w = w->parentWidget())
        if (w == this)
            return;
    const QRect geometry = this->geometry();
    if (QWidget* owner = parentWidget())
        owner->removeEventFilter(this);
    setParent(window, flags);
    setGeometry(geometry);
    if (window)
        window->installEventFilter(this);
}

bool CHelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A dialog hides as it ends and as it is destroyed, its children still there; a window
    // the user minimises hides on its own and keeps its help.
    if (event->type() == QEvent::Hide && !event->spontaneous() && watched == parentWidget()) {
        if (QWidget* beneath = WindowBeneath(parentWidget())) {
            const bool shown = isVisible();
            // The help the user was reading beside the dialog stays in sight: above the
            // window beneath, which takes the focus back (and, with some window managers,
            // comes to the front) as the dialog and its messages go.
            MoveTo(beneath, kKeptAboveFlags);
            // A new parent hides a widget; one the user was reading stays on screen.
            if (shown)
                show();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CHelpWindow::KeepClearOf(const QWidget* dialog, bool onScreen)
{
    const QRect asking = dialog->frameGeometry();
    const QRect inner = dialog->geometry();
    // The help window's title bar and borders are those of the dialog, also before the help
    // window was first shown and its own are known.
    const QMargins frame(inner.left() - asking.left(), inner.top() - asking.top(), asking.right() - inner.right(),
                         asking.bottom() - inner.bottom());
    const QRect now = geometry().marginsAdded(frame);
    if (onScreen && !now.intersects(asking))
        return;
    const QScreen* screen = dialog->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    QRect placed = Beside(asking, room, now.size());
    if (placed.isEmpty()) {
        // No room beside the dialog: over its upper part, but never over its buttons.
        const QRect buttons = ButtonsOf(dialog);
        if (!buttons.isEmpty())
            placed = Beside(buttons, room, now.size());
    }
    if (!placed.isEmpty())
        setGeometry(placed.marginsRemoved(frame));
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
