#include "app/MainFrame.h"

#include "app/Ctl.h"
#include "app/CustomizeDlg.h"
#include "app/PasswordDlg.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "app/VXStatusBar.h"
#include "model/DocLoader.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "platform/VXException.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontComboBox>
#include <QGridLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

namespace {

// The menu bar as a flat list: a command id, a separator, or a (sub)menu opening
// with its title and closing.
constexpr int kSep = 0;
constexpr int kOpen = -1;
constexpr int kClose = -2;
struct MenuEntry
{
    int id;
    const char16_t* title = nullptr;
};

const MenuEntry kMenuBar[] = {
    {kOpen, u"文件(&F)"}, {57600}, {57601}, {57602}, {57603}, {57604}, {30101}, {30100}, {kSep},
    {57609}, {57607}, {kSep}, {30601}, {30602}, {kSep}, {57616}, {57617}, {57618}, {57619}, {kSep}, {57665},
    {kClose},
    {kOpen, u"编辑(&E)"}, {57643}, {57644}, {kSep}, {57635}, {57634}, {57637}, {30200}, {30219}, {kSep}, {57642},
    {30201}, {kOpen, u"分类选择"}, {30202}, {30212}, {30206}, {30208}, {30209}, {30211}, {30215}, {kClose}, {kClose},
    {kOpen, u"视图(&V)"}, {30300}, {30301}, {30302}, {30303}, {40536}, {kSep}, {kOpen, u"工具栏"}, {30305},
    {30309}, {30306}, {30307}, {30308}, {30310}, {40573}, {kSep}, {35001}, {kClose}, {30312}, {30314}, {30315}, {kSep}, {40549},
    {kClose},
    {kOpen, u"创建(&G)"}, {30400}, {30401}, {30409}, {30403}, {30405}, {30406}, {30408}, {30412}, {kClose},
    {kOpen, u"排列(&A)"}, {kOpen, u"对齐"}, {30500}, {30501}, {30502}, {30503}, {kSep}, {30504}, {30505}, {30506},
    {30507}, {kClose}, {kOpen, u"分布与大小"}, {30508}, {30509}, {kSep}, {30510}, {30511}, {30512}, {kClose},
    {kOpen, u"旋转"}, {30513}, {30514}, {30515}, {30516}, {30517}, {kClose}, {kOpen, u"层次"}, {30518}, {30519},
    {30521}, {30520}, {kClose}, {kSep}, {30524}, {30525}, {30530}, {30531}, {kClose},
    {kOpen, u"格式(&O)"}, {30802}, {30803}, {30804}, {40506}, {30805}, {kSep}, {40501}, {40521}, {40520}, {40502},
    {40503}, {kSep}, {30807}, {30808}, {30809}, {30810}, {kClose},
    {kOpen, u"标签(&L)"}, {40538}, {40500}, {40539}, {kSep}, {40540}, {40542}, {kClose},
    {kOpen, u"工具(&T)"}, {30603}, {30605}, {kClose},
    {kOpen, u"窗口(&W)"}, {30700}, {30701}, {kClose},
    {kOpen, u"帮助(&H)"}, {30000}, {57664}, {kClose},
};

struct ToolBarDef
{
    int resourceId;
    const char16_t* title;
    int toggleId;
    bool newRow;
    std::vector<int> ids; // kSep between groups
};

const ToolBarDef kToolBars[] = {
    {29103, u"主工具栏", 30305, false,
     {57600, 57601, 57603, kSep, 40539, 40500, 40538, kSep, 57609, 57607, kSep, 57635, 57634, 57637, kSep, 57643,
      57644}},
    {29107, u"图形", 30309, false, {30400, 30401, 30409, 30403, 30405, 30406, 30408, 30412, kSep, 30402, 30404}},
    {29109, u"视图", 30306, false, {30300, 30301, 30302, 30303}},
    {29105, u"格式", 30307, true,
     {30800, 30801, 30802, 30803, 30804, 40506, kSep, 30807, 30808, 30809, 30810, kSep, 40502, 40503}},
    {29106, u"颜色", 30308, false, {30811, 30815, 30819, 30823}},
    {29108, u"排列", 30310, true,
     {30500, 30502, 30501, 30503, 30506, 30507, kSep, 30508, 30509, 30510, 30511, 30512, kSep, 30518, 30519}},
    {178, u"查看", 40573, false, {30524, 30525, 30530, 30531, kSep, 30601, 30602, 40533}},
};

struct PaneDef
{
    int id;
    const char16_t* title;
    int icon;
    int toggleId;
};

const PaneDef kPanes[] = {
    {PaneObjects, u"数据源", 341, 30312},
    {PaneResources, u"资源库", 343, 30314},
    {PaneTemplates, u"模板库", 345, 30315},
};

const char* const kFontSizes[] = {"6", "7", "8", "9", "10", "12", "14", "16", "18", "20", "22", "24", "36", "48", "72"};

// The colours a colour pop-up offers in its selector.
const QRgb kSelectorColours[] = {
    0xFF000000, 0xFF993300, 0xFF333300, 0xFF003300, 0xFF003366, 0xFF000080, 0xFF333399, 0xFF333333,
    0xFF800000, 0xFFFF6600, 0xFF808000, 0xFF008000, 0xFF008080, 0xFF0000FF, 0xFF666699, 0xFF808080,
    0xFFFF0000, 0xFFFF9900, 0xFF99CC00, 0xFF339966, 0xFF33CCCC, 0xFF3366FF, 0xFF800080, 0xFF999999,
    0xFFFF00FF, 0xFFFFCC00, 0xFFFFFF00, 0xFF00FF00, 0xFF00FFFF, 0xFF00CCFF, 0xFF993366, 0xFFC0C0C0,
    0xFFFF99CC, 0xFFFFCC99, 0xFFFFFF99, 0xFFCCFFCC, 0xFFCCFFFF, 0xFF99CCFF, 0xFFCC99FF, 0xFFFFFFFF,
};

const QString kLayoutKey = QStringLiteral("VellumcraftNormalLayout");
constexpr int kLayoutVersion = 1;

QString LabelFileFilter()
{
    return QStringLiteral("Vellumcraft Files (*.vmk);;All Files (*.*)");
}

// The calculator the desktop has, the first one found.
QString CalculatorProgram()
{
    for (const char* name : {"gnome-calculator", "kcalc", "galculator", "mate-calc", "xcalc"})
        if (!QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty())
            return QString::fromLatin1(name);
    return QStringLiteral("gnome-calculator");
}

} // namespace

CMainFrame::CMainFrame(CommandTarget* application, QWidget* parent)
    : QMainWindow(parent),
      m_pApplication(application),
      m_pCommands(new CommandManager(this)),
      m_pStatusBar(new CVXStatusBar(this)),
      m_pMdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QString::fromUtf16(kAppTitle));
    setAcceptDrops(true);
    setDockOptions(AnimatedDocks | AllowTabbedDocks);

    m_pStatusBar->setObjectName(QStringLiteral("ctl_59393"));
    setStatusBar(m_pStatusBar);

    m_pMdiArea->setViewMode(QMdiArea::TabbedView);
    m_pMdiArea->setTabsClosable(true);
    m_pMdiArea->setTabsMovable(true);
    m_pMdiArea->setDocumentMode(true);
    // Tabs as wide as their titles, not one tab stretched over the whole window.
    if (auto* tabs = m_pMdiArea->findChild<QTabBar*>())
        tabs->setExpanding(false);
    setCentralWidget(m_pMdiArea);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, m_pCommands, &CommandManager::ScheduleUpdate);

    RegisterCommands();
    m_pCommands->SetRoute([this] { return Route(); });
    CreateMenus();
    CreateToolBars();
    CreatePanes();
    ApplyDefaultLayout();
    m_defaultLayout = saveState(kLayoutVersion);
}

CMainFrame::~CMainFrame() = default;

std::vector<CommandTarget*> CMainFrame::Route() const
{
    return {ActiveLabelWindow(), const_cast<CMainFrame*>(this), m_pApplication};
}

LabelDocumentWindow* CMainFrame::ActiveLabelWindow() const
{
    QMdiSubWindow* sub = m_pMdiArea->activeSubWindow();
    return sub ? qobject_cast<LabelDocumentWindow*>(sub->widget()) : nullptr;
}

QList<LabelDocumentWindow*> CMainFrame::LabelWindows() const
{
    QList<LabelDocumentWindow*> windows;
    for (QMdiSubWindow* sub : m_pMdiArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* window = qobject_cast<LabelDocumentWindow*>(sub->widget()))
            windows.append(window);
    return windows;
}

QToolBar* CMainFrame::ToolBar(int resourceId) const
{
    const auto it = m_toolBars.find(resourceId);
    return it == m_toolBars.end() ? nullptr : it->second;
}

QDockWidget* CMainFrame::Pane(int paneId) const
{
    const auto it = m_panes.find(paneId);
    return it == m_panes.end() ? nullptr : it->second;
}

QColor CMainFrame::SelectorColour(int selectorId) const
{
    const auto it = m_selectorColours.find(selectorId);
    return it == m_selectorColours.end() ? QColor() : it->second;
}

// ---- building ---------------------------------------------------------------------

void CMainFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    std::vector<QMenu*> open;
    for (const MenuEntry& entry : kMenuBar) {
        if (entry.id == kOpen) {
            const QString title = QString::fromUtf16(entry.title);
            QMenu* menu = open.empty() ? bar->addMenu(title) : open.back()->addMenu(title);
            m_pCommands->WatchMenu(menu);
            open.push_back(menu);
        } else if (entry.id == kClose) {
            open.pop_back();
        } else if (entry.id == kSep) {
            open.back()->addSeparator();
        } else {
            open.back()->addAction(m_pCommands->Action(entry.id));
        }
    }
    // Recent-file entries show only while they name a file.
    for (int id = 57616; id <= 57619; ++id)
        m_pCommands->Action(id)->setVisible(false);
}

void CMainFrame::CreateToolBars()
{
    for (const ToolBarDef& def : kToolBars) {
        if (def.newRow)
            addToolBarBreak(Qt::TopToolBarArea);
        auto* bar = new QToolBar(QString::fromUtf16(def.title), this);
        bar->setObjectName(QStringLiteral("bar_%1").arg(def.resourceId));
        bar->setIconSize(QSize(16, 16));
        addToolBar(Qt::TopToolBarArea, bar);
        m_toolBars[def.resourceId] = bar;
        for (int id : def.ids) {
            if (id == kSep)
                bar->addSeparator();
            else if (id == 30800)
                CreateFormatControls(bar);
            else if (id == 30801)
                continue; // made with the font-name box
            else if (id == 30811 || id == 30815 || id == 30819 || id == 30823)
                CreateColourButton(bar, id);
            else
                bar->addAction(m_pCommands->Action(id));
        }
    }
}

void CMainFrame::CreateFormatControls(QToolBar* bar)
{
    auto* names = SetCtlId(new QFontComboBox(bar), 30800);
    names->setEditable(false);
    names->setFixedWidth(140);
    m_pFontNameCombo = names;
    bar->addWidget(names);

    auto* sizes = SetCtlId(new QComboBox(bar), 30801);
    sizes->setFixedWidth(80);
    for (const char* size : kFontSizes)
        sizes->addItem(QString::fromLatin1(size), QString::fromLatin1(size).toInt());
    m_pFontSizeCombo = sizes;
    bar->addWidget(sizes);

    connect(names, &QComboBox::activated, this, [this] { m_pCommands->Execute(30800); });
    connect(sizes, &QComboBox::activated, this, [this] { m_pCommands->Execute(30801); });
}

// A button that applies the colour last chosen, with a pop-up of "no colour" (id+1),
// a selector (id+2) and "more colours" (id+3).
void CMainFrame::CreateColourButton(QToolBar* bar, int buttonId)
{
    auto* button = SetCtlId(new QToolButton(bar), buttonId);
    button->setDefaultAction(m_pCommands->Action(buttonId));
    button->setPopupMode(QToolButton::MenuButtonPopup);
    auto* popup = new QMenu(button);
    m_pCommands->WatchMenu(popup);
    popup->addAction(m_pCommands->Action(buttonId + 1));

    const int selectorId = buttonId + 2;
    auto* grid = SetCtlId(new QWidget(popup), selectorId);
    auto* layout = new QGridLayout(grid);
    layout->setSpacing(2);
    layout->setContentsMargins(4, 4, 4, 4);
    int index = 0;
    for (QRgb rgb : kSelectorColours) {
        auto* swatch = new QToolButton(grid);
        swatch->setFixedSize(16, 16);
        swatch->setAutoRaise(false);
        swatch->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #808080;")
                                  .arg(QColor::fromRgba(rgb).name()));
        connect(swatch, &QToolButton::clicked, this, [this, popup, selectorId, rgb] {
            m_selectorColours[selectorId] = QColor::fromRgba(rgb);
            popup->close();
            m_pCommands->Execute(selectorId);
        });
        layout->addWidget(swatch, index / 8, index % 8);
        ++index;
    }
    auto* gridAction = new QWidgetAction(popup);
    gridAction->setDefaultWidget(grid);
    popup->addAction(gridAction);
    popup->addAction(m_pCommands->Action(buttonId + 3));
    button->setMenu(popup);
    bar->addWidget(button);
}

void CMainFrame::CreatePanes()
{
    for (const PaneDef& def : kPanes) {
        auto* dock = new QDockWidget(QString::fromUtf16(def.title), this);
        dock->setObjectName(QStringLiteral("pane_%1").arg(def.id));
        dock->setWindowIcon(ResourceIcon(def.icon));
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                          QDockWidget::DockWidgetFloatable);
        auto* placeholder = new QWidget(dock);
        placeholder->setMinimumSize(250, 120);
        dock->setWidget(placeholder);
        m_panes[def.id] = dock;
    }
}

void CMainFrame::ApplyDefaultLayout()
{
    for (const ToolBarDef& def : kToolBars)
        m_toolBars[def.resourceId]->show();
    // Three tabs of one container docked left, the object pane in front.
    QDockWidget* first = nullptr;
    for (const PaneDef& def : kPanes) {
        QDockWidget* dock = m_panes[def.id];
        dock->setFloating(false);
        addDockWidget(Qt::LeftDockWidgetArea, dock);
        dock->show();
        if (first)
            tabifyDockWidget(first, dock);
        else
            first = dock;
    }
    first->raise();
}

void CMainFrame::RestoreLayout()
{
    QSettings settings;
    const QByteArray state = settings.value(kLayoutKey).toByteArray();
    if (state.isEmpty() || !restoreState(state, kLayoutVersion)) {
        restoreState(m_defaultLayout, kLayoutVersion);
        ApplyDefaultLayout();
    }
    RestoreCommandBarCustomisation(*this);
}

void CMainFrame::SaveLayout()
{
    QSettings settings;
    settings.setValue(kLayoutKey, saveState(kLayoutVersion));
    SaveCommandBarCustomisation(*this);
}

// ---- commands ---------------------------------------------------------------------

void CMainFrame::RegisterCommands()
{
    OnCommand(57600, [this] { OnFileNew(); });
    OnCommand(57648, [this] { OnFileNew(); });
    OnUpdate(57600, [this](CommandUpdate& u) {
        u.Enable();
        if (m_pStatusBar->ShowsPanes())
            UpdatePrinterPane();
    });
    OnCommand(57601, [this] { OnFileOpen(); });
    OnCommand(30100, [this] { CloseAllLabels(); });
    OnCommand(30700, [this] { CloseAllLabels(); });
    OnCommand(30101, [this] { OnFileSaveAll(); });
    OnCommand(30701, [] {}); // minimising makes nothing smaller in tabbed view
    for (int id : {30100, 30101, 30700, 30701})
        OnUpdate(id, [](CommandUpdate& u) { u.Enable(false); });

    for (const ToolBarDef& def : kToolBars) {
        const int barId = def.resourceId;
        OnCommand(def.toggleId, [this, barId] {
            QToolBar* bar = m_toolBars[barId];
            bar->setVisible(!bar->isVisible());
        });
        OnUpdate(def.toggleId, [this, barId](CommandUpdate& u) { u.SetCheck(m_toolBars[barId]->isVisible()); });
    }
    for (const PaneDef& def : kPanes) {
        const int paneId = def.id;
        OnCommand(def.toggleId, [this, paneId] {
            QDockWidget* dock = m_panes[paneId];
            if (dock->toggleViewAction()->isChecked())
                dock->close();
            else
                ShowPane(paneId);
        });
        OnUpdate(def.toggleId,
                 [this, paneId](CommandUpdate& u) { u.SetCheck(m_panes[paneId]->toggleViewAction()->isChecked()); });
    }

    OnCommand(30603, [] { Services().StartProgram(CalculatorProgram(), {}); });
    OnCommand(30605, [this] { OnSysOptions(); });
    OnUpdate(30605, [this](CommandUpdate& u) { u.Enable(bool(m_sysOptionsDialog)); });
    OnCommand(30604, [this] {
        CSetPasswordDlg dialog(this);
        Services().RunModal(dialog);
    });
    OnCommand(30000, [this] { Services().ShowHelp(this); });
    OnCommand(35001, [this] { RunCustomizeDlg(*this); });
}

void CMainFrame::OnFileNew()
{
    auto label = std::make_unique<CLabelData>();
    if (m_newLabelPrompt && !m_newLabelPrompt(*label))
        return;
    ++m_nNewLabelCount;
    label->m_strFilePath.clear();
    label->m_strTitle = QStringLiteral("新建标签%1.vmk").arg(m_nNewLabelCount);
    AddLabelWindow(std::move(label));
}

bool CMainFrame::IsLabelFileName(const QString& path)
{
    return path.right(4).toUpper() == QLatin1String(".VMK");
}

void CMainFrame::OnFileOpen()
{
    const QString path = Services().GetOpenFileName(this, {}, {}, LabelFileFilter());
    if (!path.isEmpty() && IsLabelFileName(path))
        OpenLabelFile(path);
}

void CMainFrame::OpenDroppedFiles(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && IsLabelFileName(path))
            OpenLabelFile(path);
    }
}

LabelDocumentWindow* CMainFrame::OpenLabelFile(const QString& path)
{
    auto label = std::make_unique<CLabelData>();
    label->m_strFilePath = path;
    label->m_strTitle = QFileInfo(path).fileName();
    try {
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = label.get();
        loader.LoadDocument();
    } catch (const VXException& e) {
        Services().ReportException(this, e);
        return nullptr;
    }
    LabelDocumentWindow* window = AddLabelWindow(std::move(label));
    for (int code : {3, 4, 5, 6, 7})
        Q_EMIT objectPaneUpdate(window, code);
    Q_EMIT labelFileOpened(path);
    return window;
}

LabelDocumentWindow* CMainFrame::OpenAsNewLabel(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return nullptr;
    // The window just opened, never whatever happens to be active: a failed read
    // opens nothing and must leave other labels' paths alone.
    LabelDocumentWindow* window = OpenLabelFile(path);
    if (window)
        window->LabelData().m_strFilePath.clear();
    return window;
}

LabelDocumentWindow* CMainFrame::AddLabelWindow(std::unique_ptr<CLabelData> label)
{
    if (!m_windowFactory)
        return nullptr;
    LabelDocumentWindow* window = m_windowFactory(std::move(label), *this);
    Q_EMIT objectPaneUpdate(window, 0);
    QMdiSubWindow* sub = m_pMdiArea->addSubWindow(window);
    sub->setWindowIcon(ResourceIcon(275));
    sub->showMaximized();
    m_pMdiArea->setActiveSubWindow(sub);
    window->ApplyDefaultZoom();
    m_pCommands->ScheduleUpdate();
    return window;
}

void CMainFrame::OnFileSaveAll()
{
    QList<QMdiSubWindow*> subs = m_pMdiArea->subWindowList(QMdiArea::CreationOrder);
    QMdiSubWindow* first = m_pMdiArea->activeSubWindow();
    if (!first)
        return;
    // From the active window on through the others, as the tabs cycle.
    const qsizetype start = subs.indexOf(first);
    for (qsizetype i = 0; i < subs.size(); ++i) {
        QMdiSubWindow* sub = subs[(start + i) % subs.size()];
        m_pMdiArea->setActiveSubWindow(sub);
        if (auto* window = qobject_cast<LabelDocumentWindow*>(sub->widget()))
            window->SaveLabel(); // a failure is reported by the window; the others are still saved
    }
    m_pMdiArea->setActiveSubWindow(first);
}

bool CMainFrame::CloseAllLabels()
{
    for (;;) {
        const QList<QMdiSubWindow*> subs = m_pMdiArea->subWindowList();
        if (subs.isEmpty())
            return true;
        QMdiSubWindow* sub = m_pMdiArea->activeSubWindow();
        if (!sub || !subs.contains(sub))
            sub = subs.first();
        if (!sub->close() || m_pMdiArea->subWindowList().contains(sub))
            return false;
    }
}

void CMainFrame::OnSysOptions()
{
    if (!m_sysOptionsDialog)
        return;
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    std::unique_ptr<QDialog> dialog = m_sysOptionsDialog(settings, this);
    if (Services().RunModal(*dialog) != QDialog::Accepted)
        return;
    if (LabelDocumentWindow* window = ActiveLabelWindow())
        window->update();
    if (!settings.SaveOptions())
        Services().ShowMessage(this, QStringLiteral("无法保存设置文件：\n%1").arg(CGlobalSettings::GetSysconfPath()),
                               MessageIcon::Warning);
}

void CMainFrame::UpdatePrinterPane()
{
    LabelDocumentWindow* window = ActiveLabelWindow();
    const QStringList objectTexts = window ? window->ObjectStatusTexts() : QStringList();
    m_pStatusBar->SetPaneText(
        0, window ? QStringLiteral("打印机：%1").arg(window->LabelData().m_strPrinterName) : QString());
    for (int i = 0; i < 3; ++i)
        m_pStatusBar->SetPaneText(i + 1, objectTexts.value(i));
    m_pStatusBar->SetShowPanes(true);
}

void CMainFrame::ShowPane(int paneId)
{
    if (QDockWidget* dock = Pane(paneId)) {
        dock->show();
        dock->raise();
    }
}

void CMainFrame::BringToFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = this;
    front->raise();
    front->activateWindow();
}

// ---- events -----------------------------------------------------------------------

bool CMainFrame::event(QEvent* event)
{
    // Menu and toolbar prompts replace the panes while shown; an empty prompt is the
    // idle state, which brings the panes back.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (tip.isEmpty()) {
            m_pStatusBar->SetShowPanes(true);
        } else {
            m_pStatusBar->SetMessageText(tip);
            m_pStatusBar->SetShowPanes(false);
        }
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!CloseAllLabels()) {
        event->ignore();
        return;
    }
    SaveLayout();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    OpenDroppedFiles(urls);
}
