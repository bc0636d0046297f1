#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "app/ResourceIcons.h"
#include "platform/VXException.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

// A target recording what reached it.
struct Recorder : CommandTarget
{
    std::vector<int> handled;
};

} // namespace

TEST(CommandTable, EntriesCarryTheMenuTextsShortcutsAndIcons)
{
    CommandManager commands;
    QAction* select = commands.Action(30400);
    EXPECT_EQ(select->text(), "选择");
    EXPECT_EQ(select->objectName(), "cmd_30400");
    EXPECT_FALSE(select->icon().isNull());
    EXPECT_EQ(commands.Action(40500)->text(), "数据库设置...");
    EXPECT_EQ(commands.Action(57634)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(commands.Action(30200)->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_TRUE(commands.Action(57644)->shortcut().isEmpty()); // redo has no key
    // A prompt gives the status tip and the tooltip; a button without menu text shows the tooltip.
    QAction* first = commands.Action(40510);
    EXPECT_EQ(first->statusTip(), "显示首页。");
    EXPECT_EQ(first->toolTip(), "首页");
    EXPECT_EQ(first->text(), "首页");
    EXPECT_EQ(commands.Action(40518)->statusTip(), "关闭\"打印预览\"窗口。");
    // Ids are unique and every icon resource the table names has an icon.
    const auto& all = AllCommands();
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(all[i - 1].id, all[i].id);
    for (const CommandInfo& info : all) {
        if (info.icon) {
            EXPECT_FALSE(ResourceIcon(info.icon).isNull()) << info.id;
        }
    }
    EXPECT_EQ(FindCommand(12345), nullptr);
}

TEST(CommandTable, IconAndCursorResourcesResolve)
{
    for (int id : {318, 319, 320, 321, 322, 323, 324, 325, 326, 327, 328, 329, 330, 331, 333, 334, 335, 336, 337,
                   338, 341, 343, 345, 346, 347, 348, 349, 350, 351, 352, 353, 354, 355, 356, 357, 366, 367, 368,
                   369, 370, 371, 373, 374, 377, 378, 405, 406, 407}) {
        const QIcon icon = ResourceIcon(id);
        EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << id;
    }
    EXPECT_TRUE(ResourceIcon(1).isNull());
    for (int id : {30401, 30403, 30405, 30406, 30408, 30409, 30802})
        EXPECT_FALSE(ToolbarButtonIcon(id).pixmap(16, 16).isNull()) << id;
    // The creation cursors are our drawings, with the hot spot at the cross hair.
    for (int id : {180, 181, 182, 183, 184, 185, 186, 187, 202, 293, 296}) {
        const QCursor cursor = ResourceCursor(id);
        EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << id;
        EXPECT_EQ(cursor.hotSpot(), QPoint(16, 16)) << id;
    }
    EXPECT_EQ(ResourceCursor(298).shape(), Qt::ForbiddenCursor);
    EXPECT_EQ(ResourceCursor(1).shape(), Qt::ArrowCursor);
}

TEST(CommandRouting, FirstTargetThatHandlesTakesTheCommand)
{
    Recorder canvas, window, frame, app;
    canvas.OnCommand(30200, [&] { canvas.handled.push_back(30200); });
    window.OnCommand(30200, [&] { window.handled.push_back(30200); });
    window.OnCommandRange(30400, 30414, [&](int id) { window.handled.push_back(id); });
    frame.OnCommand(57600, [&] { frame.handled.push_back(57600); });
    app.OnCommand(57665, [&] { app.handled.push_back(57665); });

    CommandManager commands;
    commands.SetRoute([&] { return std::vector<CommandTarget*>{&canvas, &window, &frame, &app}; });
    EXPECT_TRUE(commands.Execute(30200));
    EXPECT_TRUE(commands.Execute(30409));
    EXPECT_TRUE(commands.Execute(57600));
    EXPECT_TRUE(commands.Execute(57665));
    EXPECT_FALSE(commands.Execute(30000));
    EXPECT_EQ(canvas.handled, std::vector<int>{30200});
    EXPECT_EQ(window.handled, std::vector<int>{30409});
    EXPECT_EQ(frame.handled, std::vector<int>{57600});
    EXPECT_EQ(app.handled, std::vector<int>{57665});

    // Triggering the action routes the same way.
    commands.UpdateAll();
    commands.Action(57600)->trigger();
    EXPECT_EQ(frame.handled.size(), 2u);
}

TEST(CommandRouting, UpdatePassSetsEnabledCheckedAndText)
{
    Recorder window, frame;
    int tool = 30409;
    bool hasUndo = false;
    window.OnCommandRange(30400, 30414, [&](int id) { tool = id; });
    window.OnUpdateRange(30400, 30414, [&](CommandUpdate& u) { u.SetCheck(u.id == tool); });
    window.OnUpdate(57643, [&](CommandUpdate& u) { u.Enable(hasUndo); });
    frame.OnCommand(57643, [] {});
    frame.OnUpdate(40537, [](CommandUpdate& u) { u.SetText(QStringLiteral("共%1页").arg(3)); });
    frame.OnCommand(30100, [] {});
    frame.OnUpdate(30100, [](CommandUpdate& u) { u.Enable(false); });

    CommandManager commands;
    commands.SetRoute([&] { return std::vector<CommandTarget*>{&window, &frame}; });
    for (int id : {30400, 30409, 57643, 40537, 30100, 30000, 30101})
        commands.Action(id);
    commands.UpdateAll();
    EXPECT_TRUE(commands.Action(30409)->isChecked());
    EXPECT_FALSE(commands.Action(30400)->isChecked());
    // The window's update handler decides before the frame's command handler.
    EXPECT_FALSE(commands.Action(57643)->isEnabled());
    EXPECT_EQ(commands.Action(40537)->text(), "共3页");
    EXPECT_FALSE(commands.Action(30100)->isEnabled());
    // No target handles these: disabled.
    EXPECT_FALSE(commands.Action(30000)->isEnabled());
    EXPECT_FALSE(commands.Action(30101)->isEnabled());

    commands.Action(30400)->trigger();
    hasUndo = true;
    commands.UpdateAction(30400);
    commands.UpdateAction(30409);
    commands.UpdateAction(57643);
    EXPECT_TRUE(commands.Action(30400)->isChecked());
    EXPECT_FALSE(commands.Action(30409)->isChecked());
    EXPECT_TRUE(commands.Action(57643)->isEnabled());
}

TEST(CommandRouting, ScheduledUpdatesCoalesceAndMenusUpdateBeforeShowing)
{
    Recorder frame;
    int passes = 0;
    bool enabled = false;
    frame.OnUpdate(30219, [&](CommandUpdate& u) {
        ++passes;
        u.Enable(enabled);
    });
    CommandManager commands;
    commands.SetRoute([&] { return std::vector<CommandTarget*>{&frame}; });
    commands.Action(30219);
    QCoreApplication::processEvents();
    passes = 0;
    enabled = true;
    commands.ScheduleUpdate();
    commands.ScheduleUpdate();
    commands.ScheduleUpdate();
    EXPECT_EQ(passes, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(passes, 1);
    EXPECT_TRUE(commands.Action(30219)->isEnabled());

    QMenu menu;
    menu.addAction(commands.Action(30219));
    commands.WatchMenu(&menu);
    enabled = false;
    Q_EMIT menu.aboutToShow();
    EXPECT_EQ(passes, 2);
    EXPECT_FALSE(commands.Action(30219)->isEnabled());
}

TEST(CommandRouting, TypedExceptionOfAHandlerIsReported)
{
    FakeServices services;
    Recorder frame;
    frame.OnCommand(57601, [] { throw CArchiveException(QStringLiteral("文件格式错误")); });
    CommandManager commands;
    commands.SetRoute([&] { return std::vector<CommandTarget*>{&frame}; });
    EXPECT_TRUE(commands.Execute(57601));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "文件格式错误");
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
}
