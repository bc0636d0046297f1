// The customise dialog as a person uses it from the menu: tool-bar buttons hidden and
// shown, shortcuts changed (one command per shortcut), everything reset, and the
// result kept with the window layout.
#include "DataSourceSupport.h"
#include "FakeServices.h"
#include "ShellTestSupport.h"
#include "app/CustomizeDlg.h"
#include "app/MainFrame.h"

#include <QAction>
#include <QDir>
#include <QKeySequenceEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

namespace {

QTreeWidgetItem* CommandItem(QDialog& d, int id)
{
    auto* tree = d.findChild<QTreeWidget*>("commandTree");
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        for (int j = 0; j < tree->topLevelItem(i)->childCount(); ++j)
            if (tree->topLevelItem(i)->child(j)->data(0, Qt::UserRole).toInt() == id)
                return tree->topLevelItem(i)->child(j);
    ADD_FAILURE() << "no command " << id;
    return nullptr;
}

void Select(QDialog& d, int id)
{
    d.findChild<QTreeWidget*>("commandTree")->setCurrentItem(CommandItem(d, id));
}

void Press(QDialog& d, const char* name)
{
    QTest::mouseClick(d.findChild<QPushButton*>(name), Qt::LeftButton);
}

void AssignKey(QDialog& d, int id, const QKeySequence& key)
{
    Select(d, id);
    d.findChild<QKeySequenceEdit*>("shortcutEdit")->setKeySequence(key);
    Press(d, "assignShortcut");
}

// The customise entry of the View menu's tool-bar submenu.
QAction* CustomiseEntry(CMainFrame& frame)
{
    for (QAction* top : frame.menuBar()->actions())
        for (QAction* sub : top->menu()->actions())
            if (sub->menu())
                for (QAction* action : sub->menu()->actions())
                    if (action->objectName() == "cmd_35001")
                        return action;
    return nullptr;
}

class CustomizeTest : public ShellTest
{
protected:
    FakeServices services;
};

} // namespace

TEST_F(CustomizeTest, HiddenButtonsAndChangedShortcutsAreAppliedAndKeptWithTheLayout)
{
    const QKeySequence mine(QStringLiteral("Ctrl+Shift+L"));
    {
        CMainFrame frame;
        frame.RestoreLayout();
        QToolBar* main = frame.ToolBar(29103);
        QAction* newLabel = frame.Commands().Action(57600);
        ASSERT_TRUE(main->actions().contains(newLabel));
        QAction* entry = CustomiseEntry(frame);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->text(), "自定义(&C)...");

        // As the program names them once labels were opened: files, not commands.
        frame.Commands().Action(57616)->setText("&1 /labels/a.vmk");
        frame.Commands().Action(57617)->setText("&2 ");
        services.OnNextDialog([&](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "自定义");
            auto* tree = d.findChild<QTreeWidget*>("commandTree");
            for (QTreeWidgetItemIterator it(tree); *it; ++it) {
                const int id = (*it)->data(0, Qt::UserRole).toInt();
                EXPECT_FALSE(id >= 57616 && id <= 57619) << qPrintable((*it)->text(0));
            }
            QTreeWidgetItem* item = CommandItem(d, 57600);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->text(0), "新建");
            EXPECT_EQ(item->text(1), QKeySequence("Ctrl+N").toString(QKeySequence::NativeText));
            EXPECT_EQ(item->text(2), "主工具栏");
            item->setCheckState(2, Qt::Unchecked);
            AssignKey(d, 30500, mine); // 左对齐, in a submenu of 排列
            // A shortcut another command has is refused with a message.
            AssignKey(d, 30501, QKeySequence("Ctrl+N"));
            EXPECT_EQ(services.MessageTexts().value(0), "快捷键“" + QKeySequence("Ctrl+N").toString(QKeySequence::NativeText)
                                                            + "”已分配给命令“新建”。");
            Select(d, 57601); // 打开: its Ctrl+O taken away
            Press(d, "clearShortcut");
            if (!qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR")) // a picture for a person to look at
                d.grab().save(QDir(qEnvironmentVariable("VC_SHOWCASE_DIR")).filePath("window-customise.png"));
            ClickCtl(&d, 1);
        });
        entry->trigger();
        EXPECT_FALSE(main->actions().contains(newLabel));
        EXPECT_TRUE(newLabel->isVisible()); // still in the menu
        EXPECT_EQ(frame.Commands().Action(30500)->shortcut(), mine);
        EXPECT_TRUE(frame.Commands().Action(30501)->shortcut().isEmpty());
        EXPECT_TRUE(frame.Commands().Action(57601)->shortcut().isEmpty());
        frame.SaveLayout();
    }
    {
        CMainFrame frame;
        frame.RestoreLayout();
        EXPECT_FALSE(frame.ToolBar(29103)->actions().contains(frame.Commands().Action(57600)));
        EXPECT_EQ(frame.Commands().Action(30500)->shortcut(), mine);
        EXPECT_TRUE(frame.Commands().Action(57601)->shortcut().isEmpty());

        // Shown again, and in its old place (the first button).
        services.OnNextDialog([&](QDialog& d) {
            CommandItem(d, 57600)->setCheckState(2, Qt::Checked);
            ClickCtl(&d, 1);
        });
        CustomiseEntry(frame)->trigger();
        EXPECT_EQ(frame.ToolBar(29103)->actions().value(0), frame.Commands().Action(57600));

        // Reset brings every default back; Cancel would have changed nothing.
        services.OnNextDialog([&](QDialog& d) {
            Press(d, "resetAll");
            ClickCtl(&d, 2);
        });
        CustomiseEntry(frame)->trigger();
        EXPECT_EQ(frame.Commands().Action(30500)->shortcut(), mine);
        services.OnNextDialog([&](QDialog& d) {
            Press(d, "resetAll");
            ClickCtl(&d, 1);
        });
        CustomiseEntry(frame)->trigger();
        EXPECT_TRUE(frame.Commands().Action(30500)->shortcut().isEmpty());
        EXPECT_EQ(frame.Commands().Action(57601)->shortcut(), QKeySequence("Ctrl+O"));
        EXPECT_EQ(CommandBarCustomisation::Read(frame), CommandBarCustomisation());
    }
}

TEST_F(CustomizeTest, ADamagedStoredCustomisationLeavesTheDefaults)
{
    {
        QSettings settings;
        settings.beginGroup("VellumcraftCommandBars");
        settings.setValue("hiddenButtons", QStringList{"bar_29103", ":", "bar_29103:x", "nobar:57600"});
        settings.setValue("shortcuts", QStringList{"=Ctrl+K", "abc=Ctrl+K", "99999=Ctrl+K"});
    }
    CMainFrame frame;
    frame.RestoreLayout();
    EXPECT_TRUE(frame.ToolBar(29103)->actions().contains(frame.Commands().Action(57600)));
    EXPECT_EQ(frame.Commands().Action(57600)->shortcut(), QKeySequence("Ctrl+N"));
}
