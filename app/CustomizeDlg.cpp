#include "app/CustomizeDlg.h"

#include "app/Commands.h"
#include "app/MainFrame.h"
#include "app/UiServices.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

namespace {

const QString kGroup = QStringLiteral("VellumcraftCommandBars");
const char* const kDefaultButtons = "vc_defaultButtons";
constexpr int kIdRole = Qt::UserRole;
constexpr int kBarRole = Qt::UserRole + 1;
enum Column { ColumnCommand, ColumnShortcut, ColumnButton };

int ActionCommand(const QAction* action)
{
    const QString name = action->objectName();
    return name.startsWith(QLatin1String("cmd_")) ? name.mid(4).toInt() : 0;
}

// A menu text without its mnemonic: "打开(&O)..." reads "打开...".
QString PlainText(QString text)
{
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)"));
    text.remove(mnemonic);
    return text.remove(QLatin1Char('&'));
}

// The recent-file entries name whichever files were opened last, not a command: a
// shortcut or a button given to one would open a different file each time.
bool IsRecentFileEntry(int id)
{
    return id >= CmdRecentFile1 && id <= CmdRecentFile4;
}

// Every command of the menu bar (the main menu), by top-level menu, in menu order.
void ForEachMenuCommand(const QMainWindow& frame, const std::function<void(const QString& menu, QAction*)>& visit)
{
    const std::function<void(const QString&, const QMenu*)> walk = [&](const QString& top, const QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu())
                walk(top, action->menu());
            else if (ActionCommand(action) && !IsRecentFileEntry(ActionCommand(action)) && !action->text().isEmpty())
                visit(top, action);
        }
    };
    for (QAction* action : frame.menuBar()->actions())
        if (action->menu())
            walk(PlainText(action->text()), action->menu());
}

QList<QToolBar*> ToolBars(const QMainWindow& frame)
{
    return frame.findChildren<QToolBar*>(QString(), Qt::FindDirectChildrenOnly);
}

// The bar's buttons as the program made them, noted the first time it is asked.
QList<QAction*> DefaultButtons(QToolBar* bar)
{
    if (!bar->property(kDefaultButtons).isValid()) {
        QObjectList list;
        for (QAction* action : bar->actions())
            list.append(action);
        bar->setProperty(kDefaultButtons, QVariant::fromValue(list));
    }
    QList<QAction*> actions;
    for (QObject* object : bar->property(kDefaultButtons).value<QObjectList>())
        if (auto* action = qobject_cast<QAction*>(object))
            actions.append(action);
    return actions;
}

} // namespace

QKeySequence DefaultShortcut(int commandId)
{
    const CommandInfo* info = FindCommand(commandId);
    return info && info->shortcut ? QKeySequence(QString::fromLatin1(info->shortcut), QKeySequence::PortableText)
                                  : QKeySequence();
}

// ---- CommandBarCustomisation ---------------------------------------------------------

CommandBarCustomisation CommandBarCustomisation::Read(const QMainWindow& frame)
{
    CommandBarCustomisation state;
    for (QToolBar* bar : ToolBars(frame)) {
        const QList<QAction*> shown = bar->actions();
        for (QAction* action : DefaultButtons(bar))
            if (ActionCommand(action) && !shown.contains(action))
                state.hiddenButtons[bar->objectName()].insert(ActionCommand(action));
    }
    ForEachMenuCommand(frame, [&](const QString&, QAction* action) {
        const int id = ActionCommand(action);
        if (action->shortcut() != DefaultShortcut(id))
            state.shortcuts[id] = action->shortcut();
    });
    return state;
}

void CommandBarCustomisation::Apply(QMainWindow& frame) const
{
    for (QToolBar* bar : ToolBars(frame)) {
        const auto found = hiddenButtons.find(bar->objectName());
        const QList<QAction*> defaults = DefaultButtons(bar);
        for (qsizetype i = 0; i < defaults.size(); ++i) {
            QAction* action = defaults[i];
            const bool hide = ActionCommand(action) && found != hiddenButtons.end() && found->second.count(ActionCommand(action));
            const bool there = bar->actions().contains(action);
            if (hide && there) {
                bar->removeAction(action);
            } else if (!hide && !there) {
                // Back in its place: before the next of its neighbours still on the bar.
                QAction* before = nullptr;
                for (qsizetype j = i + 1; j < defaults.size() && !before; ++j)
                    if (bar->actions().contains(defaults[j]))
                        before = defaults[j];
                bar->insertAction(before, action);
            }
        }
    }
    ForEachMenuCommand(frame, [&](const QString&, QAction* action) {
        const int id = ActionCommand(action);
        const auto it = shortcuts.find(id);
        action->setShortcut(it != shortcuts.end() ? it->second : DefaultShortcut(id));
    });
}

void CommandBarCustomisation::Save(QSettings& settings) const
{
    settings.beginGroup(kGroup);
    settings.remove(QString());
    QStringList hidden;
    for (const auto& [bar, ids] : hiddenButtons)
        for (int id : ids)
            hidden << bar + QLatin1Char(':') + QString::number(id);
    QStringList keys;
    for (const auto& [id, key] : shortcuts)
        keys << QString::number(id) + QLatin1Char('=') + key.toString(QKeySequence::PortableText);
    if (!hidden.isEmpty())
        settings.setValue(QStringLiteral("hiddenButtons"), hidden);
    if (!keys.isEmpty())
        settings.setValue(QStringLiteral("shortcuts"), keys);
    settings.endGroup();
}

CommandBarCustomisation CommandBarCustomisation::Load(QSettings& settings)
{
    CommandBarCustomisation state;
    settings.beginGroup(kGroup);
    // Entries that do not read are left out: the defaults stand for them.
    for (const QString& entry : settings.value(QStringLiteral("hiddenButtons")).toStringList()) {
        const qsizetype colon = entry.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const int id = colon > 0 ? entry.mid(colon + 1).toInt(&ok) : 0;
        if (ok && id > 0)
            state.hiddenButtons[entry.left(colon)].insert(id);
    }
    for (const QString& entry : settings.value(QStringLiteral("shortcuts")).toStringList()) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        bool ok = false;
        const int id = equals > 0 ? entry.left(equals).toInt(&ok) : 0;
        if (ok && id > 0)
            state.shortcuts[id] = QKeySequence(entry.mid(equals + 1), QKeySequence::PortableText);
    }
    settings.endGroup();
    return state;
}

void SaveCommandBarCustomisation(const QMainWindow& frame)
{
    QSettings settings;
    CommandBarCustomisation::Read(frame).Save(settings);
}

void RestoreCommandBarCustomisation(QMainWindow& frame)
{
    QSettings settings;
    CommandBarCustomisation::Load(settings).Apply(frame);
}

// ---- CCustomizeDlg ---------------------------------------------------------------------

CCustomizeDlg::CCustomizeDlg(CMainFrame& frame)
    : CVXBaseDialog(&frame), m_frame(frame), m_edited(CommandBarCustomisation::Read(frame))
{
    setWindowTitle(QStringLiteral("自定义"));
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("commandTree"));
    m_tree->setHeaderLabels({QStringLiteral("命令"), QStringLiteral("快捷键"), QStringLiteral("工具栏按钮")});
    m_tree->header()->setSectionResizeMode(ColumnCommand, QHeaderView::Stretch);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setColumnWidth(ColumnShortcut, 130);
    m_tree->setColumnWidth(ColumnButton, 110);
    m_keyEdit = new QKeySequenceEdit;
    m_keyEdit->setObjectName(QStringLiteral("shortcutEdit"));
    if (auto* line = m_keyEdit->findChild<QLineEdit*>())
        line->setPlaceholderText(QStringLiteral("按下新的快捷键"));
    auto* assign = new QPushButton(QStringLiteral("指定(&A)"));
    assign->setObjectName(QStringLiteral("assignShortcut"));
    auto* clear = new QPushButton(QStringLiteral("删除快捷键(&D)"));
    clear->setObjectName(QStringLiteral("clearShortcut"));
    auto* reset = new QPushButton(QStringLiteral("全部重置(&R)"));
    reset->setObjectName(QStringLiteral("resetAll"));
    for (QPushButton* button : {assign, clear, reset})
        button->setAutoDefault(false);

    auto* keys = new QHBoxLayout;
    keys->addWidget(new QLabel(QStringLiteral("新快捷键:")));
    keys->addWidget(m_keyEdit, 1);
    keys->addWidget(assign);
    keys->addWidget(clear);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(reset);
    bottom->addStretch();
    bottom->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("选择命令，指定它的快捷键；勾选的命令在工具栏上显示按钮。")));
    layout->addWidget(m_tree, 1);
    layout->addLayout(keys);
    layout->addLayout(bottom);
    resize(640, 560);

    Fill();
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &CCustomizeDlg::OnSelectionChanged);
    connect(m_tree, &QTreeWidget::itemChanged, this, &CCustomizeDlg::OnItemChanged);
    connect(assign, &QPushButton::clicked, this, &CCustomizeDlg::OnAssign);
    connect(clear, &QPushButton::clicked, this, &CCustomizeDlg::OnClearShortcut);
    connect(reset, &QPushButton::clicked, this, &CCustomizeDlg::OnReset);
}

void CCustomizeDlg::Fill()
{
    m_bFilling = true;
    const int selected = SelectedCommand();
    m_tree->clear();
    // The bar each command's button belongs to.
    std::map<int, QToolBar*> barOf;
    for (QToolBar* bar : ToolBars(m_frame))
        for (QAction* action : DefaultButtons(bar))
            if (ActionCommand(action))
                barOf.emplace(ActionCommand(action), bar);

    std::map<QString, QTreeWidgetItem*> menus;
    ForEachMenuCommand(m_frame, [&](const QString& menu, QAction* action) {
        QTreeWidgetItem*& top = menus[menu];
        if (!top) {
            top = new QTreeWidgetItem(m_tree, QStringList{menu});
            top->setFlags(Qt::ItemIsEnabled);
            top->setExpanded(true);
        }
        const int id = ActionCommand(action);
        auto* item = new QTreeWidgetItem(top, QStringList{PlainText(action->text())});
        item->setIcon(ColumnCommand, action->icon());
        item->setData(ColumnCommand, kIdRole, id);
        const auto key = m_edited.shortcuts.find(id);
        item->setText(ColumnShortcut, (key != m_edited.shortcuts.end() ? key->second : DefaultShortcut(id))
                                          .toString(QKeySequence::NativeText));
        if (const auto bar = barOf.find(id); bar != barOf.end()) {
            const QString name = bar->second->objectName();
            const auto hidden = m_edited.hiddenButtons.find(name);
            const bool shown = hidden == m_edited.hiddenButtons.end() || !hidden->second.count(id);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(ColumnButton, shown ? Qt::Checked : Qt::Unchecked);
            item->setText(ColumnButton, bar->second->windowTitle());
            item->setData(ColumnButton, kBarRole, name);
        }
        if (id == selected)
            m_tree->setCurrentItem(item);
    });
    m_tree->expandAll();
    m_bFilling = false;
    OnSelectionChanged();
}

int CCustomizeDlg::SelectedCommand() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item ? item->data(ColumnCommand, kIdRole).toInt() : 0;
}

QString CCustomizeDlg::CommandText(int id) const
{
    return PlainText(m_frame.Commands().Action(id)->text());
}

void CCustomizeDlg::OnSelectionChanged()
{
    const int id = SelectedCommand();
    const auto key = m_edited.shortcuts.find(id);
    m_keyEdit->setKeySequence(id == 0 ? QKeySequence()
                                      : key != m_edited.shortcuts.end() ? key->second : DefaultShortcut(id));
    m_keyEdit->setEnabled(id != 0);
}

void CCustomizeDlg::OnAssign()
{
    const int id = SelectedCommand();
    if (id == 0) {
        Services().ShowMessage(this, QStringLiteral("请先选择一个命令。"), MessageIcon::Information);
        return;
    }
    const QKeySequence key = m_keyEdit->keySequence();
    if (key.isEmpty()) {
        OnClearShortcut();
        return;
    }
    // One shortcut, one command.
    int owner = 0;
    ForEachMenuCommand(m_frame, [&](const QString&, QAction* action) {
        const int other = ActionCommand(action);
        const auto it = m_edited.shortcuts.find(other);
        if (other != id && (it != m_edited.shortcuts.end() ? it->second : DefaultShortcut(other)) == key)
            owner = other;
    });
    if (owner) {
        Services().ShowMessage(this,
                               QStringLiteral("快捷键“%1”已分配给命令“%2”。")
                                   .arg(key.toString(QKeySequence::NativeText), CommandText(owner)),
                               MessageIcon::Warning);
        return;
    }
    if (key == DefaultShortcut(id))
        m_edited.shortcuts.erase(id);
    else
        m_edited.shortcuts[id] = key;
    Fill();
}

void CCustomizeDlg::OnClearShortcut()
{
    const int id = SelectedCommand();
    if (id == 0)
        return;
    if (DefaultShortcut(id).isEmpty())
        m_edited.shortcuts.erase(id);
    else
        m_edited.shortcuts[id] = QKeySequence();
    Fill();
}

void CCustomizeDlg::OnReset()
{
    m_edited = CommandBarCustomisation();
    Fill();
}

void CCustomizeDlg::OnItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_bFilling || column != ColumnButton)
        return;
    const int id = item->data(ColumnCommand, kIdRole).toInt();
    const QString bar = item->data(ColumnButton, kBarRole).toString();
    if (!id || bar.isEmpty())
        return;
    std::set<int>& hidden = m_edited.hiddenButtons[bar];
    if (item->checkState(ColumnButton) == Qt::Checked)
        hidden.erase(id);
    else
        hidden.insert(id);
    if (hidden.empty())
        m_edited.hiddenButtons.erase(bar);
}

bool CCustomizeDlg::OnOK()
{
    m_edited.Apply(m_frame);
    SaveCommandBarCustomisation(m_frame);
    return true;
}

bool RunCustomizeDlg(CMainFrame& frame)
{
    CCustomizeDlg dialog(frame);
    return Services().RunModal(dialog) == QDialog::Accepted;
}
