#include "app/Commands.h"

#include "app/HelpWindow.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "platform/VXException.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QTimer>
#include <algorithm>

namespace {

// Menu texts of the main menu, the label windows' menus and context menus, and the
// preview's toolbar; icon resources of the toolbar buttons that have their own icon.
const CommandInfo kCommands[] = {
    // Help, file and application
    {CmdHelpTopics, u"帮助主题", 0, "F1", nullptr},
    {CmdFileNew, u"新建(&N)", 318, "Ctrl+N", nullptr},
    {CmdFileOpen, u"打开(&O)...", 319, "Ctrl+O", nullptr},
    {CmdFileClose, u"关闭(&C)", 0, nullptr, nullptr},
    {CmdFileSave, u"保存(&S)", 320, "Ctrl+S", nullptr},
    {CmdFileSaveAs, u"另存为(&A)", 0, nullptr, nullptr},
    {CmdFilePrint, u"打印(&P)", 328, nullptr, nullptr},
    {CmdFilePrintPreview, u"打印预览(&V)", 327, nullptr, nullptr},
    {CmdRecentFile1, u"", 0, nullptr, nullptr},
    {CmdRecentFile2, u"", 0, nullptr, nullptr},
    {CmdRecentFile3, u"", 0, nullptr, nullptr},
    {CmdRecentFile4, u"", 0, nullptr, nullptr},
    {CmdWindowNew, u"新建标签窗口", 0, nullptr, nullptr},
    {CmdAppAbout, u"关于Vellumcraft", 0, nullptr, nullptr},
    {CmdAppExit, u"退出(&X)", 0, nullptr, nullptr},
    {CmdFileCloseAll, u"全部关闭(&E)", 0, nullptr, nullptr},
    {CmdFileSaveAll, u"全部保存(&L)", 0, nullptr, nullptr},
    {CmdWindowCloseAll, u"全部关闭", 0, nullptr, nullptr},
    {CmdWindowMinimizeAll, u"全部最小化", 0, nullptr, nullptr},
    {CmdToolCalculator, u"计算器", 0, nullptr, nullptr},
    {CmdToolPassword, u"", 0, nullptr, nullptr},
    {CmdToolOptions, u"系统设置(&G)…", 0, nullptr, nullptr},
    {CmdCustomize, u"自定义(&C)...", 0, nullptr, nullptr},
    // Toolbar and pane toggles
    {CmdBarMain, u"主工具栏", 0, nullptr, nullptr},
    {CmdBarView, u"视图工具栏", 0, nullptr, nullptr},
    {CmdBarFormat, u"格式工具栏", 0, nullptr, nullptr},
    {CmdBarColour, u"颜色工具栏", 0, nullptr, nullptr},
    {CmdBarDrawing, u"图形工具栏", 0, nullptr, nullptr},
    {CmdBarArrange, u"排列工具栏", 0, nullptr, nullptr},
    {CmdBarLook, u"查看工具栏", 0, nullptr, nullptr},
    {CmdPaneObjects, u"数据源窗口", 0, nullptr, nullptr},
    {CmdPaneResources, u"资源库窗口", 0, nullptr, nullptr},
    {CmdPaneTemplates, u"模板库窗口", 0, nullptr, nullptr},
    // Edit
    {CmdEditUndo, u"撤消(&U)", 325, "Ctrl+Z", nullptr},
    {CmdEditRedo, u"重做(&R)", 324, nullptr, nullptr},
    {CmdEditCut, u"剪切(&X)", 322, "Ctrl+X", nullptr},
    {CmdEditCopy, u"复制(&C)", 321, "Ctrl+C", nullptr},
    {CmdEditPaste, u"粘贴(&P)", 323, "Ctrl+V", nullptr},
    {CmdEditDelete, u"删除(&D)", 0, "Del", nullptr},
    {CmdEditSelectAll, u"全选(&A)", 0, "Ctrl+A", nullptr},
    {CmdEditInvertSelection, u"反选", 0, nullptr, nullptr},
    {CmdSelectBarcodes, u"条码", 0, nullptr, nullptr},
    {CmdSelectLines, u"直线", 0, nullptr, nullptr},
    {CmdSelectRectangles, u"矩形", 0, nullptr, nullptr},
    {CmdSelectEllipses, u"圆形", 0, nullptr, nullptr},
    {CmdSelectPolygons, u"多边形", 0, nullptr, nullptr},
    {CmdSelectTexts, u"文字", 0, nullptr, nullptr},
    {CmdSelectImages, u"图像", 335, nullptr, nullptr},
    {CmdEditClearClipboard, u"清空剪贴板", 0, nullptr, nullptr},
    // Label
    {CmdLabelDataSources, u"数据库设置...", 326, nullptr, nullptr},
    {CmdLabelSettings, u"页面设置...", 333, nullptr, nullptr},
    {CmdLabelScreenData, u"窗口数据设置...", 334, nullptr, nullptr},
    {CmdLabelScriptEditor, u"脚本编辑器...", 0, nullptr, nullptr},
    {CmdLabelExternalVariables, u"", 0, nullptr, u"打开外部变量设置窗口\n外部变量设置"},
    {CmdLabelScriptText, u"编写脚本...", 0, nullptr, nullptr},
    {CmdExportImage, u"导出图片(&E)...", 406, nullptr, nullptr},
    {CmdBatchExport, u"批量导出图片", 405, nullptr, nullptr},
    // View
    {CmdZoomIn, u"放大(&N)", 330, nullptr, nullptr},
    {CmdZoomOut, u"缩小(&Z)", 331, nullptr, nullptr},
    {CmdZoomActual, u"实际大小", 337, nullptr, nullptr},
    {CmdZoomFit, u"调整至窗口大小", 338, nullptr, nullptr},
    {CmdZoomCombo, u"", 0, nullptr, nullptr},
    {CmdCentreLabel, u"标签居中", 0, nullptr, nullptr},
    {CmdViewOptions, u"视图选项(&V)...", 0, nullptr, nullptr},
    // Tools
    {CmdToolSelect, u"选择", 329, nullptr, nullptr},
    {CmdToolBarcode, u"条码", 0, nullptr, nullptr},
    {CmdToolRotate, u"", 336, nullptr, u"旋转所选对象\n旋转"},
    {CmdToolLine, u"直线", 0, nullptr, nullptr},
    {CmdToolEditData, u"", 0, nullptr, u"编辑文字或条码的数据\n编辑数据"},
    {CmdToolRectangle, u"矩形", 0, nullptr, nullptr},
    {CmdToolEllipse, u"圆形", 0, nullptr, nullptr},
    {CmdToolPolygon, u"多边形", 0, nullptr, nullptr},
    {CmdToolText, u"文字", 0, nullptr, nullptr},
    {CmdToolImage, u"图像", 335, nullptr, nullptr},
    // Arrange
    {CmdAlignLeft, u"左对齐", 0, nullptr, u"将所选对象左对齐\n左对齐"},
    {CmdAlignTop, u"上对齐", 0, nullptr, u"将所选对象顶端对齐\n顶端对齐"},
    {CmdAlignRight, u"右对齐", 0, nullptr, u"将所选对象右对齐\n右对齐"},
    {CmdAlignBottom, u"下对齐", 0, nullptr, u"将所选对象底边对齐\n底边对齐"},
    {CmdCentreOnPageH, u"页面水平居中", 0, nullptr, u"将所选对象在标签视图内水平居中\n标签内水平居中"},
    {CmdCentreOnPageV, u"页面垂直剧中", 0, nullptr, u"将所选对象在标签视图内垂直居中\n标签内垂直居中"},
    {CmdAlignCentresH, u"水平居中对齐", 0, nullptr, u"将所选对象在水平方向上居中对齐\n水平居中"},
    {CmdAlignCentresV, u"垂直居中对齐", 0, nullptr, u"将所选对象在垂直方向上居中对齐\n垂直居中"},
    {CmdDistributeH, u"水平平分", 0, nullptr, u"将所选对象在水平方向上平分间距\n水平平分"},
    {CmdDistributeV, u"垂直平分", 0, nullptr, u"将所选对象在垂直方向上平分间距\n垂直平分"},
    {CmdSameWidth, u"等宽", 0, nullptr, u"将所选对象设为相同的宽度\n等宽"},
    {CmdSameHeight, u"等高", 0, nullptr, u"将所选对象设为相同的高度\n等高"},
    {CmdSameSize, u"等宽高", 0, nullptr, u"将所选对象设为相同的宽度和高度\n等宽高"},
    {CmdRotateRight90, u"右转90度", 0, nullptr, u"顺时针旋转90度\n右转90度"},
    {CmdRotateRight1, u"右转1度", 0, nullptr, u"顺时针旋转1度\n右转1度"},
    {CmdRotateLeft90, u"左转90度", 0, nullptr, u"逆时针旋转90度\n左转90度"},
    {CmdRotateLeft1, u"左转1度", 0, nullptr, u"逆时针旋转1度\n左转1度"},
    {CmdRotateNone, u"取消旋转", 0, nullptr, u"旋转0度\n旋转0度"},
    {CmdBringToFront, u"移至顶层", 0, nullptr, u"将所选对象置于顶层\n置于顶层"},
    {CmdSendToBack, u"移至底层", 0, nullptr, u"将所选对象置于底层\n置于底层"},
    {CmdSendBackward, u"下移一层", 0, nullptr, u"将所选对象下移一层位置\n下移"},
    {CmdBringForward, u"上移一层", 0, nullptr, u"将所选对象上移一层位置\n上移"},
    {CmdLock, u"锁定", 377, nullptr, u"将所选对象锁定位置\n锁定位置"},
    {CmdUnlock, u"解除锁定", 378, nullptr, u"将所选对象解除锁定位置\n解除锁定位置"},
    {CmdLockAll, u"", 0, nullptr, nullptr},
    {CmdUnlockAll, u"", 0, nullptr, nullptr},
    {CmdExcludeFromPrint, u"", 0, nullptr, nullptr},
    {CmdIncludeInPrint, u"", 0, nullptr, nullptr},
    {CmdHideBackground, u"隐藏背景", 373, nullptr, u"在设计视图中隐藏标签的背景颜色或图片\n隐藏背景"},
    {CmdShowBackground, u"显示背景", 374, nullptr, u"在设计视图中显示标签的背景颜色或图片\n显示背景"},
    // Format
    {CmdFontName, u"", 0, nullptr, nullptr},
    {CmdFontSize, u"", 0, nullptr, nullptr},
    {CmdBold, u"粗体", 0, nullptr, nullptr},
    {CmdItalic, u"斜体", 0, nullptr, nullptr},
    {CmdUnderline, u"下划线", 0, nullptr, nullptr},
    {CmdStrikeOut, u"删除线", 346, nullptr, nullptr},
    {CmdInverse, u"黑底白字", 0, nullptr, nullptr},
    {CmdSingleLine, u"单行文本", 0, nullptr, nullptr},
    {CmdMultiLine, u"多行文本", 0, nullptr, nullptr},
    {CmdVerticalText, u"垂直文本", 0, nullptr, nullptr},
    {CmdCircularText, u"圆形文本", 367, nullptr, nullptr},
    {CmdCircularText2, u"圆形文本", 366, nullptr, nullptr},
    {CmdTextAlignLeft, u"左对齐", 0, nullptr, nullptr},
    {CmdTextAlignCentre, u"居中对齐", 0, nullptr, nullptr},
    {CmdTextAlignRight, u"右对齐", 0, nullptr, nullptr},
    {CmdTextJustify, u"两端对齐", 0, nullptr, nullptr},
    {CmdFontColour, u"字体颜色", 368, nullptr, nullptr},
    {CmdFontColour + CmdColourNoneOffset, u"无", 0, nullptr, nullptr},
    {CmdFontColour + CmdColourSelectorOffset, u"", 0, nullptr, nullptr},
    {CmdFontColour + CmdColourMoreOffset, u"更多颜色...", 0, nullptr, nullptr},
    {CmdBackColour, u"背景颜色", 369, nullptr, nullptr},
    {CmdBackColour + CmdColourNoneOffset, u"无", 0, nullptr, nullptr},
    {CmdBackColour + CmdColourSelectorOffset, u"", 0, nullptr, nullptr},
    {CmdBackColour + CmdColourMoreOffset, u"更多颜色...", 0, nullptr, nullptr},
    {CmdLineColour, u"线条颜色", 371, nullptr, nullptr},
    {CmdLineColour + CmdColourNoneOffset, u"无", 0, nullptr, nullptr},
    {CmdLineColour + CmdColourSelectorOffset, u"", 0, nullptr, nullptr},
    {CmdLineColour + CmdColourMoreOffset, u"更多颜色...", 0, nullptr, nullptr},
    {CmdFillColour, u"填充颜色", 370, nullptr, nullptr},
    {CmdFillColour + CmdColourNoneOffset, u"无", 0, nullptr, nullptr},
    {CmdFillColour + CmdColourSelectorOffset, u"", 0, nullptr, nullptr},
    {CmdFillColour + CmdColourMoreOffset, u"更多颜色...", 0, nullptr, nullptr},
    // Canvas
    {CmdDragMove, u"拖动移动(&M)", 0, nullptr, nullptr},
    {CmdDragCopy, u"拖动复制(&C)", 0, nullptr, nullptr},
    {CmdDragCancel, u"取消", 0, nullptr, nullptr},
    {CmdToggleCircularFlag, u"", 0, nullptr, nullptr},
    {CmdRepaintCanvas, u"", 0, nullptr, nullptr},
    {CmdProperties, u"属性(&R)...", 0, nullptr, nullptr},
    {CmdCreateResource, u"创建为资源(&M)", 407, nullptr, nullptr},
    {CmdRestrictLine, u"限制为横竖线", 0, nullptr, nullptr},
    {CmdCreateBarcodeFromDrop, u"创建为条码", 0, nullptr, nullptr},
    {CmdCreateTextFromDrop, u"创建为文本", 0, nullptr, nullptr},
    {CmdDropCancel, u"取消", 0, nullptr, nullptr},
    {CmdResetScale, u"重置缩放比例", 0, nullptr, nullptr},
    // Resource library
    {CmdResourceNewFolder, u"新建文件夹", 0, nullptr, nullptr},
    {CmdResourceRename, u"重命名", 0, nullptr, nullptr},
    {CmdResourceAddToLabel, u"添加到标签", 0, nullptr, nullptr},
    {CmdResourceDelete, u"删除", 0, nullptr, nullptr},
    // Print preview
    {CmdPreviewPrint, u"", 0, nullptr, u"打印。\n打印"},
    {CmdPreviewFirst, u"", 0, nullptr, u"显示首页。\n首页"},
    {CmdPreviewPrevious, u"", 0, nullptr, u"显示上一页。\n上一页"},
    {CmdPreviewNext, u"", 0, nullptr, u"显示下一页。\n下一页"},
    {CmdPreviewLast, u"", 0, nullptr, u"显示最后一页。\n最后一页"},
    {CmdPreviewPage, u"", 0, nullptr, u"显示当前页码。\n页码"},
    {CmdPreviewZoomIn, u"", 0, nullptr, u"放大标签视图。\n放大"},
    {CmdPreviewZoomOut, u"", 0, nullptr, u"缩小标签视图。\n缩小"},
    {CmdPreviewZoomCombo, u"", 0, nullptr, u"按比例缩放标签视图。\n缩放比例"},
    {CmdPreviewClose, u"", 0, nullptr, u"关闭\"打印预览\"窗口。\n关闭"},
    {CmdPreviewActual, u"", 0, nullptr, u"按实际大小显示标签视图。\n实际大小"},
    {CmdPreviewStatus, u"", 0, nullptr, nullptr},
};

constexpr char kCommandIdProperty[] = "commandId";
constexpr char kFaceColourProperty[] = "faceColour";

QString PromptPart(const CommandInfo& info, bool tip)
{
    if (!info.prompt)
        return {};
    const QString prompt = QString::fromUtf16(info.prompt);
    const qsizetype nl = prompt.indexOf(u'\n');
    if (nl < 0)
        return prompt;
    return tip ? prompt.mid(nl + 1) : prompt.left(nl);
}

} // namespace

const std::vector<CommandInfo>& AllCommands()
{
    static const std::vector<CommandInfo> all = [] {
        std::vector<CommandInfo> list(std::begin(kCommands), std::end(kCommands));
        std::sort(list.begin(), list.end(), [](const CommandInfo& a, const CommandInfo& b) { return a.id < b.id; });
        return list;
    }();
    return all;
}

const CommandInfo* FindCommand(int id)
{
    const std::vector<CommandInfo>& all = AllCommands();
    const auto it =
        std::lower_bound(all.begin(), all.end(), id, [](const CommandInfo& a, int key) { return a.id < key; });
    return it != all.end() && it->id == id ? &*it : nullptr;
}

QString CommandStatusTip(const CommandInfo& info)
{
    return PromptPart(info, false);
}

QString CommandToolTip(const CommandInfo& info)
{
    return PromptPart(info, true);
}

// ---- CommandTarget ----------------------------------------------------------------

template <class F>
const F* CommandTarget::Handlers<F>::Find(int id) const
{
    if (const auto it = single.find(id); it != single.end())
        return &it->second;
    for (const auto& [range, handler] : ranges)
        if (id >= range.first && id <= range.last)
            return &handler;
    return nullptr;
}

void CommandTarget::OnCommand(int id, std::function<void()> handler)
{
    m_commands.single[id] = [h = std::move(handler)](int) { h(); };
}

void CommandTarget::OnCommandRange(int first, int last, std::function<void(int)> handler)
{
    m_commands.ranges.push_back({Range{first, last}, std::move(handler)});
}

void CommandTarget::OnUpdate(int id, std::function<void(CommandUpdate&)> handler)
{
    m_updates.single[id] = std::move(handler);
}

void CommandTarget::OnUpdateRange(int first, int last, std::function<void(CommandUpdate&)> handler)
{
    m_updates.ranges.push_back({Range{first, last}, std::move(handler)});
}

bool CommandTarget::HandleCommand(int id)
{
    const auto* handler = m_commands.Find(id);
    if (!handler)
        return false;
    (*handler)(id);
    return true;
}

bool CommandTarget::UpdateCommand(CommandUpdate& update)
{
    if (const auto* handler = m_updates.Find(update.id)) {
        update.enabled = true;
        (*handler)(update);
        return true;
    }
    if (m_commands.Find(update.id)) {
        update.enabled = true;
        return true;
    }
    return false;
}

// ---- CommandManager ---------------------------------------------------------------

CommandManager::CommandManager(QObject* parent) : QObject(parent), m_updateTimer(new QTimer(this))
{
    m_updateTimer->setSingleShot(true);
    m_updateTimer->setInterval(0);
    connect(m_updateTimer, &QTimer::timeout, this, &CommandManager::UpdateAll);
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        connect(app, &QApplication::focusChanged, this, &CommandManager::ScheduleUpdate);
}

CommandManager::~CommandManager() = default;

void CommandManager::SetRoute(Route route)
{
    m_route = std::move(route);
    ScheduleUpdate();
}

QAction* CommandManager::Action(int id)
{
    if (const auto it = m_actions.find(id); it != m_actions.end())
        return it->second;
    auto* action = new QAction(this);
    action->setObjectName(QStringLiteral("cmd_%1").arg(id));
    action->setProperty(kCommandIdProperty, id);
    if (const CommandInfo* info = FindCommand(id)) {
        const QString tip = CommandToolTip(*info);
        action->setText(info->text[0] ? QString::fromUtf16(info->text) : tip);
        if (!tip.isEmpty())
            action->setToolTip(tip);
        action->setStatusTip(CommandStatusTip(*info));
        if (info->shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(info->shortcut), QKeySequence::PortableText));
        if (info->icon)
            action->setIcon(ResourceIcon(info->icon));
        else
            action->setIcon(ToolbarButtonIcon(id));
    }
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions.emplace(id, action);
    return action;
}

bool CommandManager::Execute(int id)
{
    if (!m_route)
        return false;
    for (CommandTarget* target : m_route()) {
        if (!target)
            continue;
        try {
            if (target->HandleCommand(id)) {
                ScheduleUpdate();
                return true;
            }
        } catch (const std::exception& e) {
            // Whatever a command's job threw ends that job, never the program.
            Services().ReportException(CHelpWindow::FrontWindow(), e);
            ScheduleUpdate();
            return true;
        }
    }
    return false;
}

bool CommandManager::IsHandled(int id) const
{
    if (!m_route)
        return false;
    const std::vector<CommandTarget*> route = m_route();
    return std::any_of(route.begin(), route.end(), [id](CommandTarget* t) { return t && t->HasHandler(id); });
}

void CommandManager::Apply(QAction* action, const CommandUpdate& update)
{
    action->setEnabled(update.enabled);
    if (update.checked) {
        action->setCheckable(true);
        action->setChecked(*update.checked);
    }
    if (update.text)
        action->setText(*update.text);
    if (update.faceColour) {
        // Drawn again only when the colour changes: a new icon repaints every button.
        const QString key = update.faceColour->isValid() ? update.faceColour->name() : QStringLiteral("none");
        if (action->property(kFaceColourProperty).toString() != key) {
            action->setProperty(kFaceColourProperty, key);
            const CommandInfo* info = FindCommand(update.id);
            action->setIcon(ColourFaceIcon(info ? info->icon : 0, *update.faceColour));
        }
    }
}

void CommandManager::UpdateAction(int id)
{
    QAction* action = Action(id);
    CommandUpdate update(id);
    update.enabled = false;
    if (m_route) {
        for (CommandTarget* target : m_route()) {
            if (target && target->UpdateCommand(update))
                break;
            update.enabled = false;
        }
    }
    Apply(action, update);
}

void CommandManager::UpdateMenu(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        const QVariant id = action->property(kCommandIdProperty);
        if (id.isValid() && m_actions.count(id.toInt()) && m_actions[id.toInt()] == action)
            UpdateAction(id.toInt());
    }
}

void CommandManager::UpdateAll()
{
    m_updateTimer->stop();
    for (const auto& entry : m_actions)
        UpdateAction(entry.first);
}

void CommandManager::ScheduleUpdate()
{
    if (!m_updateTimer->isActive())
        m_updateTimer->start();
}

void CommandManager::WatchMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
}
