#pragma once

#include "app/CommandIds.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QTimer;

// One command of the menus, toolbars, accelerators and context menus.
struct CommandInfo
{
    int id;
    const char16_t* text;     // menu text with its "&" mnemonic; empty when only a button shows it
    int icon;                 // icon resource number (ResourceIcon), 0 for none
    const char* shortcut;     // portable key text ("Ctrl+C"), null for none
    const char16_t* prompt;   // "status tip\ntooltip" as the string table words it, null for none
};

// The entry of the command, null for an id the table does not know.
const CommandInfo* FindCommand(int id);
// Every command, ordered by id.
const std::vector<CommandInfo>& AllCommands();
// The prompt split into its status tip and tooltip; a prompt without "\n" is both.
QString CommandStatusTip(const CommandInfo& info);
QString CommandToolTip(const CommandInfo& info);

// What an update pass decides for one command: enabled, checked, text. Fields left
// unset keep the action as it is.
struct CommandUpdate
{
    explicit CommandUpdate(int commandId) : id(commandId) {}
    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on = true) { checked = on; }
    void SetText(const QString& value) { text = value; }
    // A colour button's face shows the colour it applies (invalid: no colour).
    void SetFaceColour(const QColor& colour) { faceColour = colour; }

    int id;
    bool enabled = true;
    std::optional<bool> checked;
    std::optional<QString> text;
    std::optional<QColor> faceColour;
};

// A window or object that handles commands. Handlers are registered by id or id
// range; a command with a handler but no update handler is enabled, as a command
// no target handles is disabled.
class CommandTarget
{
public:
    virtual ~CommandTarget() = default;

    void OnCommand(int id, std::function<void()> handler);
    void OnCommandRange(int first, int last, std::function<void(int id)> handler);
    void OnUpdate(int id, std::function<void(CommandUpdate&)> handler);
    void OnUpdateRange(int first, int last, std::function<void(CommandUpdate&)> handler);

    // True when this target took the command.
    virtual bool HandleCommand(int id);
    // True when this target has a handler for the command.
    bool HasHandler(int id) const { return m_commands.Find(id) != nullptr; }
    // True when this target decided the command's state.
    virtual bool UpdateCommand(CommandUpdate& update);

private:
    struct Range
    {
        int first;
        int last;
    };
    template <class F>
    struct Handlers
    {
        std::map<int, F> single;
        std::vector<std::pair<Range, F>> ranges;
        const F* Find(int id) const;
    };
    Handlers<std::function<void(int)>> m_commands;
    Handlers<std::function<void(CommandUpdate&)>> m_updates;
};

// The application's actions, one per command id, and the routing of their commands
// and update passes through the targets the route names, first to last (canvas,
// document window, main frame, application). Typed exceptions thrown by a handler
// are reported through the message service.
class CommandManager : public QObject
{
    Q_OBJECT
public:
    using Route = std::function<std::vector<CommandTarget*>()>;

    explicit CommandManager(QObject* parent = nullptr);
    ~CommandManager() override;

    void SetRoute(Route route);

    // The action of the command, made from the table on first use (text, icon,
    // shortcut, tips; objectName "cmd_<id>"). Ids outside the table get an action too.
    QAction* Action(int id);
    // Routes the command; false when no target took it.
    bool Execute(int id);
    // True when a target of the route has a handler for the command.
    bool IsHandled(int id) const;

    // The update pass over one action, the actions of a menu, or every action made.
    void UpdateAction(int id);
    void UpdateMenu(QMenu* menu);
    void UpdateAll();
    // Runs UpdateAll once when control returns to the event loop, however often it is
    // asked before; for focus, selection, document and window changes.
    void ScheduleUpdate();
    // Updates the menu's actions whenever it is about to show.
    void WatchMenu(QMenu* menu);

private:
    void Apply(QAction* action, const CommandUpdate& update);

    Route m_route;
    std::map<int, QAction*> m_actions;
    QTimer* m_updateTimer;
};
