#include "app/Commands.h"

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
    {30000, u"帮助主题", 0, "F1", nullptr},
    {57600, u"新建(&N)", 318, "Ctrl+N", nullptr},
    {57601, u"打开(&O)...", 319, "Ctrl+O", nullptr},
    {57602, u"关闭(&C)", 0, nullptr, nullptr},
    {57603, u"保存(&S)", 320, "Ctrl+S", nullptr},
    {57604, u"另存为(&A)", 0, nullptr, nullptr},
    {57607, u"打印(&P)", 328, nullptr, nullptr},
    {57609, u"打印预览(&V)", 327, nullptr, nullptr},
    {57616, u"", 0, nullptr, nullptr},
    {57617, u"", 0, nullptr, nullptr},
    {57618, u"", 0, nullptr, nullptr},
    {57619, u"", 0, nullptr, nullptr},
    {57648, u"新建标签窗口", 0, nullptr, nullptr},
    {57664, u"关于Vellumcraft", 0, nullptr, nullptr},
    {57665, u"退出(&X)", 0, nullptr, nullptr},
    {30100, u"全部关闭(&E)", 0, nullptr, nullptr},
    {30101, u"全部保存(&L)", 0, nullptr, nullptr},
    {30700, u"全部关闭", 0, nullptr, nullptr},
    {30701, u"全部最小化", 0, nullptr, nullptr},
    {30603, u"计算器", 0, nullptr, nullptr},
    {30604, u"", 0, nullptr, nullptr},
    {30605, u"系统设置(&G)…", 0, nullptr, nullptr},
    {35001, u"自定义(&C)...", 0, nullptr, nullptr},
    // Toolbar and pane toggles
    {30305, u"主工具栏", 0, nullptr, nullptr},
    {30306, u"视图工具栏", 0, nullptr, nullptr},
    {30307, u"格式工具栏", 0, nullptr, nullptr},
    {30308, u"颜色工具栏", 0, nullptr, nullptr},
    {30309, u"图形工具栏", 0, nullptr, nullptr},
    {30310, u"排列工具栏", 0, nullptr, nullptr},
    {40573, u"查看工具栏", 0, nullptr, nullptr},
    {30312, u"数据源窗口", 0, nullptr, nullptr},
    {30314, u"资源库窗口", 0, nullptr, nullptr},
    {30315, u"模板库窗口", 0, nullptr, nullptr},
    // Edit
    {57643, u"撤消(&U)", 325, "Ctrl+Z", nullptr},
    {57644, u"重做(&R)", 324, nullptr, nullptr},
    {57635, u"剪切(&X)", 322, "Ctrl+X", nullptr},
    {57634, u"复制(&C)", 321, "Ctrl+C", nullptr},
    {57637, u"粘贴(&P)", 323, "Ctrl+V", nullptr},
    {30200, u"删除(&D)", 0, "Del", nullptr},
    {57642, u"全选(&A)", 0, "Ctrl+A", nullptr},
    {30201, u"反选", 0, nullptr, nullptr},
    {30202, u"条码", 0, nullptr, nullptr},
    {30206, u"直线", 0, nullptr, nullptr},
    {30208, u"矩形", 0, nullptr, nullptr},
    {30209, u"圆形", 0, nullptr, nullptr},
    {30211, u"多边形", 0, nullptr, nullptr},
    {30212, u"文字", 0, nullptr, nullptr},
    {30215, u"图像", 335, nullptr, nullptr},
    {30219, u"清空剪贴板", 0, nullptr, nullptr},
    // Label
    {40500, u"数据库设置...", 326, nullptr, nullptr},
    {40538, u"页面设置...", 333, nullptr, nullptr},
    {40539, u"窗口数据设置...", 334, nullptr, nullptr},
    {40540, u"脚本编辑器...", 0, nullptr, nullptr},
    {40541, u"", 0, nullptr, u"打开外部变量设置窗口\n外部变量设置"},
    {40542, u"编写脚本...", 0, nullptr, nullptr},
    {30601, u"导出图片(&E)...", 406, nullptr, nullptr},
    {30602, u"批量导出图片", 405, nullptr, nullptr},
    // View
    {30300, u"放大(&N)", 330, nullptr, nullptr},
    {30301, u"缩小(&Z)", 331, nullptr, nullptr},
    {30302, u"实际大小", 337, nullptr, nullptr},
    {30303, u"调整至窗口大小", 338, nullptr, nullptr},
    {30304, u"", 0, nullptr, nullptr},
    {40536, u"标签居中", 0, nullptr, nullptr},
    {40549, u"视图选项(&V)...", 0, nullptr, nullptr},
    // Tools
    {30400, u"选择", 329, nullptr, nullptr},
    {30401, u"条码", 0, nullptr, nullptr},
    {30402, u"", 336, nullptr, nullptr},
    {30403, u"直线", 0, nullptr, nullptr},
    {30404, u"", 0, nullptr, nullptr},
    {30405, u"矩形", 0, nullptr, nullptr},
    {30406, u"圆形", 0, nullptr, nullptr},
    {30408, u"多边形", 0, nullptr, nullptr},
    {30409, u"文字", 0, nullptr, nullptr},
    {30412, u"图像", 335, nullptr, nullptr},
    // Arrange
    {30500, u"左对齐", 0, nullptr, nullptr},
    {30501, u"上对齐", 0, nullptr, nullptr},
    {30502, u"右对齐", 0, nullptr, nullptr},
    {30503, u"下对齐", 0, nullptr, nullptr},
    {30504, u"页面水平居中", 0, nullptr, nullptr},
    {30505, u"页面垂直剧中", 0, nullptr, nullptr},
    {30506, u"水平居中对齐", 0, nullptr, nullptr},
    {30507, u"垂直居中对齐", 0, nullptr, nullptr},
    {30508, u"水平平分", 0, nullptr, nullptr},
    {30509, u"垂直平分", 0, nullptr, nullptr},
    {30510, u"等宽", 0, nullptr, nullptr},
    {30511, u"等高", 0, nullptr, nullptr},
    {30512, u"等宽高", 0, nullptr, nullptr},
    {30513, u"右转90度", 0, nullptr, nullptr},
    {30514, u"右转1度", 0, nullptr, nullptr},
    {30515, u"左转90度", 0, nullptr, nullptr},
    {30516, u"左转1度", 0, nullptr, nullptr},
    {30517, u"取消旋转", 0, nullptr, nullptr},
    {30518, u"移至顶层", 0, nullptr, nullptr},
    {30519, u"移至底层", 0, nullptr, nullptr},
    {30520, u"下移一层", 0, nullptr, nullptr},
    {30521, u"上移一层", 0, nullptr, nullptr},
    {30524, u"锁定", 377, nullptr, nullptr},
    {30525, u"解除锁定", 378, nullptr, nullptr},
    {30526, u"", 0, nullptr, nullptr},
    {30527, u"", 0, nullptr, nullptr},
    {30528, u"", 0, nullptr, nullptr},
    {30529, u"", 0, nullptr, nullptr},
    {30530, u"隐藏背景", 373, nullptr, nullptr},
    {30531, u"显示背景", 374, nullptr, nullptr},
    // Format
    {30800, u"", 0, nullptr, nullptr},
    {30801, u"", 0, nullptr, nullptr},
    {30802, u"粗体", 0, nullptr, nullptr},
    {30803, u"斜体", 0, nullptr, nullptr},
    {30804, u"下划线", 0, nullptr, nullptr},
    {40506, u"删除线", 346, nullptr, nullptr},
    {30805, u"黑底白字", 0, nullptr, nullptr},
    {40501, u"单行文本", 0, nullptr, nullptr},
    {40521, u"多行文本", 0, nullptr, nullptr},
    {40520, u"垂直文本", 0, nullptr, nullptr},
    {40502, u"圆形文本", 367, nullptr, nullptr},
    {40503, u"圆形文本", 366, nullptr, nullptr},
    {30807, u"左对齐", 0, nullptr, nullptr},
    {30808, u"居中对齐", 0, nullptr, nullptr},
    {30809, u"右对齐", 0, nullptr, nullptr},
    {30810, u"两端对齐", 0, nullptr, nullptr},
    {30811, u"字体颜色", 368, nullptr, nullptr},
    {30812, u"无", 0, nullptr, nullptr},
    {30813, u"", 0, nullptr, nullptr},
    {30814, u"更多颜色...", 0, nullptr, nullptr},
    {30815, u"背景颜色", 369, nullptr, nullptr},
    {30816, u"无", 0, nullptr, nullptr},
    {30817, u"", 0, nullptr, nullptr},
    {30818, u"更多颜色...", 0, nullptr, nullptr},
    {30819, u"线条颜色", 371, nullptr, nullptr},
    {30820, u"无", 0, nullptr, nullptr},
    {30821, u"", 0, nullptr, nullptr},
    {30822, u"更多颜色...", 0, nullptr, nullptr},
    {30823, u"填充颜色", 370, nullptr, nullptr},
    {30824, u"无", 0, nullptr, nullptr},
    {30825, u"", 0, nullptr, nullptr},
    {30826, u"更多颜色...", 0, nullptr, nullptr},
    // Canvas
    {40524, u"拖动移动(&M)", 0, nullptr, nullptr},
    {40525, u"拖动复制(&C)", 0, nullptr, nullptr},
    {40530, u"", 0, nullptr, nullptr},
    {40531, u"", 0, nullptr, nullptr},
    {40532, u"属性(&R)...", 0, nullptr, nullptr},
    {40533, u"创建为资源(&M)", 407, nullptr, nullptr},
    {40534, u"限制为横竖线", 0, nullptr, nullptr},
    {40565, u"创建为条码", 0, nullptr, nullptr},
    {40566, u"创建为文本", 0, nullptr, nullptr},
    {40576, u"重置缩放比例", 0, nullptr, nullptr},
    // Resource library
    {40554, u"新建文件夹", 0, nullptr, nullptr},
    {40555, u"重命名", 0, nullptr, nullptr},
    {40556, u"添加到标签", 0, nullptr, nullptr},
    {40557, u"删除", 0, nullptr, nullptr},
    // Print preview
    {40508, u"", 0, nullptr, u"打印。\n打印"},
    {40510, u"", 0, nullptr, u"显示首页。\n首页"},
    {40511, u"", 0, nullptr, u"显示上一页。\n上一页"},
    {40512, u"", 0, nullptr, u"显示下一页。\n下一页"},
    {40513, u"", 0, nullptr, u"显示最后一页。\n最后一页"},
    {40514, u"", 0, nullptr, u"显示当前页码。\n页码"},
    {40515, u"", 0, nullptr, u"放大标签视图。\n放大"},
    {40516, u"", 0, nullptr, u"缩小标签视图。\n缩小"},
    {40517, u"", 0, nullptr, u"按比例缩放标签视图。\n缩放比例"},
    {40518, u"", 0, nullptr, u"关闭\"打印预览\"窗口。\n关闭"},
    {40519, u"", 0, nullptr, u"按实际大小显示标签视图。\n实际大小"},
    {40537, u"", 0, nullptr, nullptr},
};

constexpr char kCommandIdProperty[] = "commandId";

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
        } catch (const VXException& e) {
            Services().ReportException(QApplication::activeWindow(), e);
            ScheduleUpdate();
            return true;
        }
    }
    return false;
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
