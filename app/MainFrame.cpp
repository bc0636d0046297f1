#include "app/MainFrame.h"

#include "app/Ctl.h"
#include "app/CustomizeDlg.h"
#include "app/PasswordDlg.h"
#include "app/Panes.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "editor/ObjectClipboard.h"
#include "app/VXStatusBar.h"
#include "model/DocLoader.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "platform/VXException.h"
#include "platform/VisibleText.h"

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
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProxyStyle>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTimer>
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
    {kOpen, u"文件(&F)"}, {CmdFileNew}, {CmdFileOpen}, {CmdFileClose}, {CmdFileSave}, {CmdFileSaveAs},
    {CmdFileSaveAll}, {CmdFileCloseAll}, {kSep},
    {CmdFilePrintPreview}, {CmdFilePrint}, {kSep}, {CmdExportImage}, {CmdBatchExport}, {kSep}, {CmdRecentFile1},
    {CmdRecentFile2}, {CmdRecentFile3}, {CmdRecentFile4}, {kSep}, {CmdAppExit},
    {kClose},
    {kOpen, u"编辑(&E)"}, {CmdEditUndo}, {CmdEditRedo}, {kSep}, {CmdEditCut}, {CmdEditCopy}, {CmdEditPaste},
    {CmdEditDelete}, {CmdEditClearClipboard}, {kSep}, {CmdEditSelectAll},
    {CmdEditInvertSelection}, {kOpen, u"分类选择"}, {CmdSelectBarcodes}, {CmdSelectTexts}, {CmdSelectLines},
    {CmdSelectRectangles}, {CmdSelectEllipses}, {CmdSelectPolygons}, {CmdSelectImages}, {kClose}, {kClose},
    {kOpen, u"视图(&V)"}, {CmdZoomIn}, {CmdZoomOut}, {CmdZoomActual}, {CmdZoomFit}, {CmdCentreLabel}, {kSep}, {kOpen,
    u"工具栏"}, {CmdBarMain},
    {CmdBarDrawing}, {CmdBarView}, {CmdBarFormat}, {CmdBarColour}, {CmdBarArrange}, {CmdBarLook}, {kSep}, {CmdCustomize}, {kClose},
    {CmdPaneObjects}, {CmdPaneResources}, {CmdPaneTemplates}, {kSep}, {CmdViewOptions},
    {kClose},
    {kOpen, u"创建(&G)"}, {CmdToolSelect}, {CmdToolBarcode}, {CmdToolText}, {CmdToolLine}, {CmdToolRectangle},
    {CmdToolEllipse}, {CmdToolPolygon}, {CmdToolImage}, {kClose},
    {kOpen, u"排列(&A)"}, {kOpen, u"对齐"}, {CmdAlignLeft}, {CmdAlignTop}, {CmdAlignRight}, {CmdAlignBottom}, {kSep},
    {CmdCentreOnPageH}, {CmdCentreOnPageV}, {CmdAlignCentresH},
    {CmdAlignCentresV}, {kClose}, {kOpen, u"分布与大小"}, {CmdDistributeH}, {CmdDistributeV}, {kSep}, {CmdSameWidth},
    {CmdSameHeight}, {CmdSameSize}, {kClose},
    {kOpen, u"旋转"}, {CmdRotateRight90}, {CmdRotateRight1}, {CmdRotateLeft90}, {CmdRotateLeft1}, {CmdRotateNone},
    {kClose}, {kOpen, u"层次"}, {CmdBringToFront}, {CmdSendToBack},
    {CmdBringForward}, {CmdSendBackward}, {kClose}, {kSep}, {CmdLock}, {CmdUnlock}, {CmdHideBackground},
    {CmdShowBackground}, {kClose},
    {kOpen, u"格式(&O)"}, {CmdBold}, {CmdItalic}, {CmdUnderline}, {CmdStrikeOut}, {CmdInverse}, {kSep},
    {CmdSingleLine}, {CmdMultiLine}, {CmdVerticalText}, {CmdCircularText},
    {CmdCircularText2}, {kSep}, {CmdTextAlignLeft}, {CmdTextAlignCentre}, {CmdTextAlignRight}, {CmdTextJustify},
    {kClose},
    {kOpen, u"标签(&L)"}, {CmdLabelSettings}, {CmdLabelDataSources}, {CmdLabelScreenData}, {kSep},
    {CmdLabelScriptEditor}, {CmdLabelScriptText}, {kClose},
    {kOpen, u"工具(&T)"}, {CmdToolCalculator}, {CmdToolOptions}, {kClose},
    {kOpen, u"窗口(&W)"}, {CmdWindowNew}, {kSep}, {CmdWindowCloseAll}, {CmdWindowMinimizeAll}, {kClose},
    {kOpen, u"帮助(&H)"}, {CmdHelpTopics}, {CmdAppAbout}, {kClose},
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
    {29103, u"主工具栏", CmdBarMain, false,
     {CmdFileNew, CmdFileOpen, CmdFileSave, kSep, CmdLabelScreenData, CmdLabelDataSources, CmdLabelSettings, kSep,
     CmdFilePrintPreview, CmdFilePrint, kSep, CmdEditCut, CmdEditCopy, CmdEditPaste, kSep, CmdEditUndo,
      CmdEditRedo}},
    {29107, u"图形", CmdBarDrawing, false, {CmdToolSelect, CmdToolBarcode, CmdToolText, CmdToolLine, CmdToolRectangle,
    CmdToolEllipse, CmdToolPolygon, CmdToolImage, kSep, CmdToolRotate, CmdToolEditData}},
    {29109, u"视图", CmdBarView, false, {CmdZoomIn, CmdZoomOut, CmdZoomActual, CmdZoomFit}},
    {29105, u"格式", CmdBarFormat, true,
     {CmdFontName, CmdFontSize, CmdBold, CmdItalic, CmdUnderline, CmdStrikeOut, kSep, CmdTextAlignLeft,
     CmdTextAlignCentre, CmdTextAlignRight, CmdTextJustify, kSep, CmdCircularText, CmdCircularText2}},
    {29106, u"颜色", CmdBarColour, false, {CmdFontColour, CmdBackColour, CmdLineColour, CmdFillColour}},
    {29108, u"排列", CmdBarArrange, true,
     {CmdAlignLeft, CmdAlignRight, CmdAlignTop, CmdAlignBottom, CmdAlignCentresH, CmdAlignCentresV, kSep,
     CmdDistributeH, CmdDistributeV, CmdSameWidth, CmdSameHeight, CmdSameSize, kSep, CmdBringToFront, CmdSendToBack}},
    {178, u"查看", CmdBarLook, false, {CmdLock, CmdUnlock, CmdHideBackground, CmdShowBackground, kSep, CmdExportImage,
    CmdBatchExport, CmdCreateResource}},
};

struct PaneDef
{
    int id;
    const char16_t* title;
    int icon;
    int toggleId;
};

const PaneDef kPanes[] = {
    {PaneObjects, u"数据源", 341, CmdPaneObjects},
    {PaneResources, u"资源库", 343, CmdPaneResources},
    {PaneTemplates, u"模板库", 345, CmdPaneTemplates},
};

const char* const kFontSizes[] = {"6", "7", "8", "9", "10", "12", "14", "16", "18", "20", "22", "24", "36", "48",
"72"};

// The colours a colour pop-up offers in its selector.
const QRgb kSelectorColours[] = {
    0xFF000000, 0xFF993300, 0xFF333300, 0xFF003300, 0xFF003366, 0xFF000080, 0xFF333399, 0xFF333333,
    0xFF800000, 0xFFFF6600, 0xFF808000, 0xFF008000, 0xFF008080, 0xFF0000FF, 0xFF666699, 0xFF808080,
    0xFFFF0000, 0xFFFF9900, 0xFF99CC00, 0xFF339966, 0xFF33CCCC, 0xFF3366FF, 0xFF800080, 0xFF999999,
    0xFFFF00FF, 0xFFFFCC00, 0xFFFFFF00, 0xFF00FF00, 0xFF00FFFF, 0xFF00CCFF, 0xFF993366, 0xFFC0C0C0,
    0xFFFF99CC, 0xFFFFCC99, 0xFFFFFF99, 0xFFCCFFCC, 0xFFCCFFFF, 0xFF99CCFF, 0xFFCC99FF, 0xFFFFFFFF,
};

// Menus whose disabled entries still take the mouse, so that the status bar tells
// what an entry does before it can be used.
class MenuPromptStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
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
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateFrameTitle);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (sub)
            m_pLastCurrent = sub;
    });

    RegisterCommands();
    m_pCommands->SetRoute([this] { return Route(); });
    CreateMenus();
    CreateToolBars();
    CreatePanes();
    ApplyDefaultLayout();
    m_defaultLayout = saveState(kLayoutVersion);
}

CMainFrame::~CMainFrame()
{
    // The label windows go after this part of the frame: the activations and titles
    // they signal on their way must not reach it.
    disconnect(m_pMdiArea, nullptr, this, nullptr);
    for (LabelDocumentWindow* window : LabelWindows())
        disconnect(window, nullptr, this, nullptr);
}

std::vector<CommandTarget*> CMainFrame::Route() const
{
    LabelDocumentWindow* window = ActiveLabelWindow();
    CommandTarget* canvas = window ? window->CanvasTarget() : nullptr;
    auto* self = const_cast<CMainFrame*>(this);
    // Keys act where the keyboard focus is: a pane offers its own commands first.
    if (QDockWidget* pane = FocusedPane())
        return {dynamic_cast<CommandTarget*>(pane->widget()), &self->m_paneFocus, canvas, window, self,
                m_pApplication};
    return {canvas, window, self, m_pApplication};
}

QDockWidget* CMainFrame::FocusedPane() const
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return nullptr;
    for (const auto& [id, dock] : m_panes)
        if (dock->isAncestorOf(focus))
            return dock;
    return nullptr;
}

LabelDocumentWindow* CMainFrame::ActiveLabelWindow() const
{
    // The current sub-window, not the active one: the label in front stays the one
    // the commands speak to while a dialog, a pane or another window has the focus.
    QMdiSubWindow* sub = m_pMdiArea->currentSubWindow();
    if (!sub)
        sub = LastCurrentSubWindow();
    return sub ? qobject_cast<LabelDocumentWindow*>(sub->widget()) : nullptr;
}

QMdiSubWindow* CMainFrame::LastCurrentSubWindow() const
{
    return m_pLastCurrent && m_pMdiArea->subWindowList().contains(m_pLastCurrent.data()) ? m_pLastCurrent.data()
                                                                                         : nullptr;
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
    auto* menuStyle = new MenuPromptStyle;
    menuStyle->setParent(this);
    std::vector<QMenu*> open;
    for (const MenuEntry& entry : kMenuBar) {
        if (entry.id == kOpen) {
            const QString title = QString::fromUtf16(entry.title);
            QMenu* menu = open.empty() ? bar->addMenu(title) : open.back()->addMenu(title);
            menu->setStyle(menuStyle);
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
    for (int id = CmdRecentFile1; id <= CmdRecentFile4; ++id)
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
            else if (id == CmdFontName)
                CreateFormatControls(bar);
            else if (id == CmdFontSize)
                continue; // made with the font-name box
            else if (id == CmdFontColour || id == CmdBackColour || id == CmdLineColour || id == CmdFillColour)
                CreateColourButton(bar, id);
            else
                bar->addAction(m_pCommands->Action(id));
        }
    }
}

void CMainFrame::CreateFormatControls(QToolBar* bar)
{
    auto* names = SetCtlId(new QFontComboBox(bar), CmdFontName);
    names->setEditable(false);
    names->setFixedWidth(140);
    m_pFontNameCombo = names;
    bar->addWidget(names);

    auto* sizes = SetCtlId(new QComboBox(bar), CmdFontSize);
    sizes->setFixedWidth(80);
    // Any size can be typed; Return applies it.
    sizes->setEditable(true);
    sizes->setInsertPolicy(QComboBox::NoInsert);
    for (const char* size : kFontSizes)
        sizes->addItem(QString::fromLatin1(size), QString::fromLatin1(size).toInt());
    m_pFontSizeCombo = sizes;
    bar->addWidget(sizes);

    // Nothing is in hand until a label window fills them.
    names->setCurrentIndex(-1);
    sizes->setCurrentIndex(-1);
    connect(names, &QComboBox::activated, this, [this] { m_pCommands->Execute(CmdFontName); });
    // A size picked from the list or typed and confirmed with Return applies once,
    // however many of the box's signals one key press sets off.
    const auto applySize = [this] {
        if (m_bFontSizePending)
            return;
        m_bFontSizePending = true;
        QTimer::singleShot(0, this, [this] {
            m_bFontSizePending = false;
            m_pCommands->Execute(CmdFontSize);
        });
    };
    connect(sizes, &QComboBox::activated, this, applySize);
    connect(sizes->lineEdit(), &QLineEdit::returnPressed, this, applySize);
    // The boxes follow their commands' update pass like buttons: off without a text or
    // barcode in hand, and the document window fills them as the current object changes.
    for (QComboBox* box : {static_cast<QComboBox*>(names), sizes}) {
        QAction* action = m_pCommands->Action(box == sizes ? CmdFontSize : CmdFontName);
        connect(action, &QAction::changed, box, [box, action] { box->setEnabled(action->isEnabled()); });
        box->setEnabled(false);
    }
}

// A button that applies the colour last chosen, with a pop-up of "no colour" (id+1),
// a selector (id+2) and "more colours" (id+3).
void CMainFrame::CreateColourButton(QToolBar* bar, int buttonId)
{
    auto* button = SetCtlId(new QToolButton(bar), buttonId);
    // Not the action's own button: that one goes off with the face's command, and the
    // pop-up must open whatever is selected.
    QAction* face = m_pCommands->Action(buttonId);
    const auto follow = [button, face] {
        button->setIcon(face->icon());
        button->setToolTip(face->toolTip());
        button->setStatusTip(face->statusTip());
    };
    follow();
    connect(face, &QAction::changed, button, follow);
    connect(button, &QToolButton::clicked, face, [face] {
        if (face->isEnabled())
            face->trigger();
    });
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
        dock->setWidget(CreatePaneWidget(def.id, *this, dock));
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
    OnCommand(CmdFileNew, [this] { OnFileNew(); });
    OnCommand(CmdWindowNew, [this] { OnFileNew(); });
    OnUpdate(CmdFileNew, [this](CommandUpdate& u) {
        u.Enable();
        if (m_pStatusBar->ShowsPanes())
            UpdatePrinterPane();
    });
    OnCommand(CmdFileOpen, [this] { OnFileOpen(); });
    OnCommand(CmdFileCloseAll, [this] { CloseAllLabels(); });
    OnCommand(CmdWindowCloseAll, [this] { CloseAllLabels(); });
    OnCommand(CmdFileSaveAll, [this] { OnFileSaveAll(); });
    // The labels are tabs of this window: minimising them all is minimising it.
    OnCommand(CmdWindowMinimizeAll, [this] { showMinimized(); });
    for (int id : {CmdFileCloseAll, CmdFileSaveAll, CmdWindowCloseAll, CmdWindowMinimizeAll})
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

    // The editing commands of the 编辑 menu and their keys; in a pane they do what the
    // pane offers, or nothing.
    for (int id : {CmdEditCut, CmdEditCopy, CmdEditPaste, CmdEditDelete, CmdEditSelectAll, CmdEditInvertSelection,
                   CmdSelectBarcodes, CmdSelectTexts, CmdSelectLines, CmdSelectRectangles, CmdSelectEllipses,
                   CmdSelectPolygons, CmdSelectImages}) {
        m_paneFocus.OnCommand(id, [] {});
        m_paneFocus.OnUpdate(id, [](CommandUpdate& u) { u.Enable(false); });
    }

    OnCommand(CmdEditClearClipboard, [] { ClearObjectClipboard(GetObjectClipboard()); });
    OnUpdate(CmdEditClearClipboard, [](CommandUpdate& u) { u.Enable(!GetObjectClipboard().empty()); });
    OnCommand(CmdToolCalculator, [this] {
        if (!Services().StartProgram(CalculatorProgram(), {}))
            Services().ShowMessage(this, QStringLiteral("无法启动计算器：本机没有找到计算器程序。"), MessageIcon::Warning);
    });
    OnCommand(CmdToolOptions, [this] { OnSysOptions(); });
    OnUpdate(CmdToolOptions, [this](CommandUpdate& u) { u.Enable(bool(m_sysOptionsDialog)); });
    OnCommand(CmdToolPassword, [this] {
        CSetPasswordDlg dialog(this);
        Services().RunModal(dialog);
    });
    OnCommand(CmdHelpTopics, [this] { Services().ShowHelp(this); });
    OnCommand(CmdCustomize, [this] { RunCustomizeDlg(*this); });
}

void CMainFrame::OnFileNew()
{
    // The system options say what a new label starts from: the settings sheet, a
    // label the user picks, or the label file named there.
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    if (settings.m_nNewLabelBehavior == 1) {
        const QString path = Services().GetOpenFileName(this, {}, {}, LabelFileFilter());
        if (!path.isEmpty() && IsLabelFileName(path))
            ReadLabelWindow(path, true);
        return;
    }
    if (settings.m_nNewLabelBehavior == 2) {
        const QString& path = settings.m_strNewLabelBasedFile;
        if (QFileInfo(path).isFile()) {
            if (ReadLabelWindow(path, true))
                return;
        } else {
            Services().ShowMessage(
                this, QStringLiteral("找不到新建标签所基于的标签格式文件“%1”。\n请在标签设置中设定新标签。").arg(path),
                MessageIcon::Warning);
        }
    }
    auto label = std::make_unique<CLabelData>();
    if (m_newLabelPrompt && !m_newLabelPrompt(*label))
        return;
    AddNewLabelWindow(std::move(label));
}

LabelDocumentWindow* CMainFrame::AddNewLabelWindow(std::unique_ptr<CLabelData> label)
{
    ++m_nNewLabelCount;
    label->m_strFilePath.clear();
    label->m_strTitle = QStringLiteral("新建标签%1.vmk").arg(m_nNewLabelCount);
    return AddLabelWindow(std::move(label));
}

std::unique_ptr<CLabelData> CMainFrame::ReadLabel(const QString& path, QStringList* warnings)
{
    auto label = std::make_unique<CLabelData>();
    label->m_strFilePath = path;
    label->m_strTitle = QFileInfo(path).fileName();
    try {
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = label.get();
        loader.LoadDocument();
        if (warnings)
            *warnings = loader.m_pReader->GetWarnings();
    } catch (const VXException& e) {
        Services().ReportException(this, e);
        return nullptr;
    }
    return label;
}

bool CMainFrame::IsLabelFileName(const QString& path)
{
    return path.right(4).toUpper() == QLatin1String(".VMK");
}

void CMainFrame::OnFileOpen()
{
    const QString path = Services().GetOpenFileName(this, {}, {}, LabelFileFilter());
    if (!path.isEmpty() && IsLabelFileName(path))
        ShowLabelFile(path);
}

void CMainFrame::OpenDroppedFiles(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && IsLabelFileName(path))
            ShowLabelFile(path);
    }
}

LabelDocumentWindow* CMainFrame::OpenLabelFile(const QString& path)
{
    LabelDocumentWindow* window = ReadLabelWindow(path);
    if (window)
        Q_EMIT labelFileOpened(path);
    return window;
}

LabelDocumentWindow* CMainFrame::ReadLabelWindow(const QString& path, bool newLabel)
{
    QStringList warnings;
    std::unique_ptr<CLabelData> label = ReadLabel(path, &warnings);
    if (!label)
        return nullptr;
    LabelDocumentWindow* window = newLabel ? AddNewLabelWindow(std::move(label)) : AddLabelWindow(std::move(label));
    if (!warnings.isEmpty())
        Services().ShowMessage(this, warnings.join(QLatin1Char('\n')), MessageIcon::Warning);
    for (int code : {3, 4, 5, 6, 7})
        Q_EMIT objectPaneUpdate(window, code);
    return window;
}

LabelDocumentWindow* CMainFrame::LabelWindowOf(const QString& path) const
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    if (wanted.isEmpty())
        return nullptr;
    for (LabelDocumentWindow* window : LabelWindows())
        if (QFileInfo(window->LabelData().m_strFilePath).canonicalFilePath() == wanted)
            return window;
    return nullptr;
}

bool CMainFrame::ActivateLabelWindow(const QString& path)
{
    LabelDocumentWindow* window = LabelWindowOf(path);
    for (QMdiSubWindow* sub : m_pMdiArea->subWindowList())
        if (window && sub->widget() == window) {
            m_pMdiArea->setActiveSubWindow(sub);
            return true;
        }
    return false;
}

bool CMainFrame::ShowLabelFile(const QString& path)
{
    return ActivateLabelWindow(path) || OpenLabelFile(path) != nullptr;
}

LabelDocumentWindow* CMainFrame::OpenAsNewLabel(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return nullptr;
    // The window just opened, never whatever happens to be active: a failed read
    // opens nothing and must leave other labels' paths alone.
    LabelDocumentWindow* window = ReadLabelWindow(path);
    if (window) {
        window->LabelData().m_strFilePath.clear();
        Q_EMIT labelFileOpened(path, true);
    }
    return window;
}

LabelDocumentWindow* CMainFrame::AddLabelWindow(std::unique_ptr<CLabelData> label)
{
    if (!m_windowFactory)
        return nullptr;
    LabelDocumentWindow* window = m_windowFactory(std::move(label), *this);
    connect(window, &QWidget::windowTitleChanged, this, &CMainFrame::UpdateFrameTitle);
    Q_EMIT objectPaneUpdate(window, 0);
    QMdiSubWindow* sub = m_pMdiArea->addSubWindow(window);
    sub->setWindowIcon(ResourceIcon(275));
    sub->showMaximized();
    m_pMdiArea->setActiveSubWindow(sub);
    window->ApplyDefaultZoom();
    m_pCommands->ScheduleUpdate();
    return window;
}

void CMainFrame::UpdateFrameTitle()
{
    const LabelDocumentWindow* window = ActiveLabelWindow();
    const QString app = QString::fromUtf16(kAppTitle);
    setWindowTitle(window ? app + QStringLiteral(" - ") + window->windowTitle() : app);
}

void CMainFrame::OnFileSaveAll()
{
    QList<QMdiSubWindow*> subs = m_pMdiArea->subWindowList(QMdiArea::CreationOrder);
    QMdiSubWindow* first = m_pMdiArea->currentSubWindow();
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
        QMdiSubWindow* sub = m_pMdiArea->currentSubWindow();
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
        Services().ShowMessage(this, QStringLiteral("无法保存设置文件“%1”。").arg(CGlobalSettings::GetSysconfPath()),
                               MessageIcon::Warning);
}

void CMainFrame::UpdatePrinterPane()
{
    LabelDocumentWindow* window = ActiveLabelWindow();
    const QStringList objectTexts = window ? window->ObjectStatusTexts() : QStringList();
    m_pStatusBar->SetPaneText(
        0, window ? QStringLiteral("打印机：%1").arg(VisibleText(window->LabelData().m_strPrinterName)) : QString());
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

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Back from minimised, the label that was current is current again.
    if (event->type() != QEvent::WindowStateChange || isMinimized() || m_pMdiArea->currentSubWindow())
        return;
    if (QMdiSubWindow* last = LastCurrentSubWindow()) {
        m_pMdiArea->setActiveSubWindow(last);
        m_pCommands->ScheduleUpdate();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!CloseAllLabels()) {
        event->ignore();
        return;
    }
    SaveLayout();
    event->accept();
    Q_EMIT closed();
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
