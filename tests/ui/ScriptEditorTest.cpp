// The script editors through their controls: switching events, OK and Cancel, the
// free script text; the scripts' dialogs and QuitApp as the program shows them.
#include "FakeServices.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/controls/LineNumberEdit.h"
#include "model/LabelData.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"
#include "output/ui/PrintDlg.h"
#include "output/ui/ScriptEditorDlg.h"
#include "output/ui/ScriptServices.h"
#include "tests/output/OutputSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

CLineNumberEdit* ScriptEdit(QDialog& dialog)
{
    return ctl<CLineNumberEdit>(&dialog, 1079);
}

// Selects an event in the list as a click would, and types into the script edit.
void SelectEvent(QDialog& dialog, int event)
{
    ctl<QListWidget>(&dialog, 1089)->setCurrentRow(event);
}

void ReplaceScript(QDialog& dialog, const QString& text)
{
    CLineNumberEdit* edit = ScriptEdit(dialog);
    edit->selectAll();
    TypeText(edit, text);
}

void Click(QDialog& dialog, int id)
{
    QTest::mouseClick(ctl<QPushButton>(&dialog, id), Qt::LeftButton);
}

} // namespace

TEST(ScriptEditor, SwitchingEventsKeepsEachEditAndOkStoresThemAll)
{
    FakeServices services;
    CLabelData label;
    int changed = 0;
    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "脚本编辑器");
        auto* list = ctl<QListWidget>(&dialog, 1089);
        ASSERT_EQ(list->count(), kScriptEventCount);
        EXPECT_EQ(list->item(0)->text(), "Functions and Subs");
        EXPECT_EQ(list->item(10)->text(), "OnIdenticalCopies");
        EXPECT_EQ(list->currentRow(), 0);
        EXPECT_EQ(ScriptEdit(dialog)->toPlainText(), "'共用函数与过程");
        EXPECT_EQ(ctl<QLabel>(&dialog, 1316)->text(), "事件列表(&E):");
        EXPECT_EQ(ScriptEdit(dialog)->geometry(), QRect(170, 29, dialog.width() - 177, dialog.height() - 245));
        EXPECT_EQ(ScriptEdit(dialog)->FormatNumber(7), "7");

        SelectEvent(dialog, ScriptOnPrintStart);
        EXPECT_EQ(ScriptEdit(dialog)->toPlainText(), "'打印开始时执行此脚本");
        ReplaceScript(dialog, "Display 1");
        SelectEvent(dialog, ScriptOnPageStart);
        ReplaceScript(dialog, "Display 2");
        QTest::keyClick(ScriptEdit(dialog), Qt::Key_Return);
        TypeText(ScriptEdit(dialog), "Display 3");
        SelectEvent(dialog, ScriptOnPrintStart);
        EXPECT_EQ(ScriptEdit(dialog)->toPlainText(), "Display 1");
        SelectEvent(dialog, ScriptOnPageStart);
        EXPECT_EQ(ScriptEdit(dialog)->toPlainText(), "Display 2\nDisplay 3");
        Click(dialog, 1);
    });
    EXPECT_TRUE(EditLabelScripts(nullptr, label, [&] { ++changed; }));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(label.m_strScripts[ScriptOnPrintStart], "Display 1");
    EXPECT_EQ(label.m_strScripts[ScriptOnPageStart], "Display 2\r\nDisplay 3");
    EXPECT_EQ(label.m_strScripts[ScriptShared], "'共用函数与过程");
    EXPECT_EQ(label.m_strScripts[ScriptOnLabelStart], "'开始一个标签时执行此脚本");
}

TEST(ScriptEditor, CancelDropsEveryChangeAlsoOfEventsLeftEarlier)
{
    FakeServices services;
    CLabelData label;
    label.m_strScripts[ScriptOnLabelStart] = "x = 1\r\ny = 2";
    const auto before = label.m_strScripts;
    int changed = 0;
    services.OnNextDialog([](QDialog& dialog) {
        SelectEvent(dialog, ScriptOnLabelStart);
        EXPECT_EQ(ScriptEdit(dialog)->toPlainText(), "x = 1\ny = 2");
        ReplaceScript(dialog, "edited");
        SelectEvent(dialog, ScriptOnLabelEnd);
        ReplaceScript(dialog, "also edited");
        Click(dialog, 2);
    });
    EXPECT_FALSE(EditLabelScripts(nullptr, label, [&] { ++changed; }));
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(label.m_strScripts, before);
}

TEST(ScriptEditor, PlainTextModeHidesTheEventList)
{
    FakeServices services;
    CScriptEditorDlg dialog;
    dialog.m_nMode = CScriptEditorDlg::ModePlainText;
    dialog.m_strPlainText = "a\r\nb";
    services.OnNextDialog([](QDialog& shown) {
        EXPECT_FALSE(ctl<QListWidget>(&shown, 1089)->isVisible());
        EXPECT_EQ(ScriptEdit(shown)->geometry(), QRect(8, 29, shown.width() - 14, shown.height() - 245));
        EXPECT_EQ(ScriptEdit(shown)->toPlainText(), "a\nb");
        TypeText(ScriptEdit(shown), "c");
        Click(shown, 1);
    });
    EXPECT_EQ(services.RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strPlainText, "ca\r\nb");
}

TEST(ScriptEditor, ScriptTextDialogKeepsNothingButOkChangesTheDocument)
{
    FakeServices services;
    CLabelData label;
    const auto before = label.m_strScripts;
    int changed = 0;
    for (const int button : {1, 2}) {
        services.OnNextDialog([button](QDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "编写脚本");
            auto* edit = ctl<QTextEdit>(&dialog, 1080);
            EXPECT_EQ(edit->geometry().bottom(), dialog.height() - 46); // the buttons' 45 pixels below
            EXPECT_EQ(ctl<QPushButton>(&dialog, 1083)->text(), "语法检查");
            // Syntax check, OK, Cancel, Help from left to right, at the foot.
            int x = -1;
            for (int id : {1083, 1, 2, 9}) {
                const QRect button = ctl<QPushButton>(&dialog, id)->geometry();
                EXPECT_GT(button.left(), x) << id;
                EXPECT_EQ(button.bottom(), dialog.height() - 13) << id;
                x = button.right();
            }
            TypeText(edit, "Sub A()");
            Click(dialog, button);
        });
        EXPECT_EQ(EditScriptText(nullptr, label, [&] { ++changed; }), button == 1);
    }
    EXPECT_EQ(changed, 1);
    // OK kept the text as the label's free script text, Cancel kept nothing more.
    auto expected = before;
    expected[kScriptPlainText] = QStringLiteral("Sub A()");
    EXPECT_EQ(label.m_strScripts, expected);
}

TEST(ScriptEditor, ScriptDialogsAndQuitAsTheProgramShowsThem)
{
    FakeServices services;
    CServicesScriptUi ui(nullptr);
    services.answers = {IDNO};
    EXPECT_EQ(ui.MsgBox("Go on?", 4 + 32, "Job"), IDNO);
    EXPECT_EQ(ui.MsgBox("Stop", 16 + 1, ""), IDOK);
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(services.messages[0].caption, "Job");
    EXPECT_EQ(services.messages[1].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(services.messages[1].icon, MessageIcon::Stop);

    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLabel*>("prompt")->text(), "Name");
        auto* edit = dialog.findChild<QLineEdit*>("text");
        EXPECT_EQ(edit->text(), "x");
        TypeText(edit, "typed");
        Click(dialog, 1);
    });
    services.OnNextDialog([](QDialog& dialog) { Click(dialog, 2); });
    EXPECT_EQ(ui.InputBox("Name", "T", "x"), std::optional<QString>("typed"));
    EXPECT_EQ(ui.InputBox("Name", "T", "x"), std::nullopt);
    // A default the script wrote shows its control characters by code; taken untouched it is
    // the script's own text, edited it is what the edit holds.
    const QString reversing = QStringLiteral("a\u202Eb");
    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>("text")->text(), QStringLiteral("a\\u202Eb"));
        Click(dialog, 1);
    });
    EXPECT_EQ(ui.InputBox("Name", "T", reversing), std::optional<QString>(reversing));
    services.OnNextDialog([](QDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>("text");
        edit->setCursorPosition(edit->text().size());
        QTest::keyClick(edit, Qt::Key_C);
        Click(dialog, 1);
    });
    EXPECT_EQ(ui.InputBox("Name", "T", reversing), std::optional<QString>(QStringLiteral("a\\u202Ebc")));

    // QuitApp closes the main window once the job is gone and the event loop runs.
    QWidget window;
    window.show();
    {
        CLabelData label;
        label.m_strScripts[ScriptOnPrintStart] = "QuitApp";
        auto engine = CreateProgramScriptEngine(nullptr, &window);
        ScriptModuleText module;
        module.text = "\nSub OnPrintStart()\nQuitApp\nEnd Sub\n";
        engine->Load(label, module);
        engine->CallProcedure("OnPrintStart");
        QCoreApplication::processEvents();
        EXPECT_TRUE(window.isVisible());
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isVisible());
}

TEST(ScriptEditor, ScreenshotOfTheScriptEditor)
{
    FakeServices services;
    QTemporaryDir temp;
    const QString env = qEnvironmentVariable("VC_SHOWCASE_DIR");
    const QString dir = env.isEmpty() ? temp.path() : env;
    QDir().mkpath(dir);
    CLabelData label;
    label.m_strScripts[ScriptOnLabelStart] = "n = n + 1\r\nObjects.Item(\"Text1\").Value = \"No. \" & n\r\n"
                                            "If n Mod 10 = 0 Then\r\n    ShowMsg \"十张\"\r\nEnd If";
    services.OnNextDialog([&](QDialog& dialog) {
        SelectEvent(dialog, ScriptOnLabelStart);
        QTest::qWait(50);
        const QImage image = dialog.grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(dir + QStringLiteral("/script-editor.png")));
        Click(dialog, 2);
    });
    EditLabelScripts(nullptr, label, {});
}

// The script dialogs' buttons read like every other dialog's: the shared buttons'
// icons, room round their texts, a margin round the content and aligned captions.
TEST(ScriptEditor, ButtonsAndCaptionsLineUpLikeTheOtherDialogs)
{
    const auto sameIcon = [](QPushButton* button, QStyle::StandardPixmap pixmap) {
        const QImage shown = button->icon().pixmap(16, 16).toImage();
        const QImage shared = button->style()->standardIcon(pixmap, nullptr, button).pixmap(16, 16).toImage();
        return !shown.isNull() && shown == shared;
    };
    const auto checkShared = [&](QDialog& dialog) {
        EXPECT_TRUE(sameIcon(ctl<QPushButton>(&dialog, 1), QStyle::SP_DialogOkButton));
        EXPECT_TRUE(sameIcon(ctl<QPushButton>(&dialog, 2), QStyle::SP_DialogCancelButton));
        EXPECT_TRUE(sameIcon(ctl<QPushButton>(&dialog, 9), QStyle::SP_DialogHelpButton));
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    };

    CScriptEditorDlg editor;
    editor.show();
    QCoreApplication::processEvents();
    checkShared(editor);
    EXPECT_EQ(ctl<QWidget>(&editor, 1312)->y(), ctl<QLabel>(&editor, 1314)->y()); // "描述" beside "类别"
    EXPECT_EQ(ctl<QWidget>(&editor, 1312)->geometry().bottom(), ctl<QWidget>(&editor, 1311)->geometry().bottom());

    CScriptingDlg scripting;
    scripting.show();
    QCoreApplication::processEvents();
    checkShared(scripting);
    const QRect edit = ctl<QWidget>(&scripting, 1080)->geometry();
    EXPECT_GE(edit.left(), 6);
    EXPECT_GE(edit.top(), 6);
    EXPECT_LE(edit.right(), scripting.width() - 7);
}

TEST(ScriptEditor, AScriptErrorInAPrintOffersToStopTheJob)
{
    QTemporaryDir temp;
    const QString env = qEnvironmentVariable("VC_SHOWCASE_DIR");
    const QString dir = env.isEmpty() ? temp.path() : env;
    QDir().mkpath(dir);
    for (const char* answer : {"stop", "quiet"}) {
        FakeServices services;
        services.printers = {QStringLiteral("Office")};
        auto label = MakeGridLabel(1, 1);
        label->m_nPrintCount = 5;
        label->m_strScripts[ScriptOnLabelStart] = "x = 1 / 0";
        CPrintDlg dialog;
        dialog.SetLabelData(label.get());
        dialog.CreatePrintHandler();
        int pages = 0;
        dialog.SetTargetFactory([&](const QString&, const QString&) {
            return std::make_unique<CImageTarget>(10, [&](const QImage&) { return ++pages > 0; });
        });
        int boxes = 0;
        services.OnNextDialog([&](QDialog& box) {
            ++boxes;
            EXPECT_EQ(box.windowTitle(), "脚本错误");
            EXPECT_TRUE(box.findChild<QLabel*>("text")->text().startsWith("Division by zero\n"));
            EXPECT_EQ(box.findChild<QCheckBox*>("quiet")->text(), "本次任务不再显示脚本的消息框和错误");
            if (QByteArray(answer) == "stop") {
                box.adjustSize();
                EXPECT_TRUE(box.grab().toImage().save(dir + QStringLiteral("/script-error-box.png")));
                Click(box.findChild<QPushButton*>("stop"));
            } else {
                Click(box.findChild<QCheckBox*>("quiet"));
                Click(box.findChild<QPushButton*>("continue"));
            }
        });
        dialog.show();
        ctl<QPushButton>(&dialog, 1)->click();
        EXPECT_EQ(boxes, 1) << answer;
        EXPECT_EQ(pages, QByteArray(answer) == "stop" ? 1 : 5) << answer;
        EXPECT_EQ(dialog.isVisible(), QByteArray(answer) == "stop") << "a stopped job leaves the dialog open";
    }
}
