// Where the program's own windows leave the focus and where a label's script's boxes stand:
// closing the print preview gives the main window back its keys, and the boxes of a job's
// script stand centred over the main window while the job's own window is not yet shown.
#include "RealWindowSupport.h"
#include "SessionTestSupport.h"

#include "model/LabelData.h"
#include "output/ui/PreviewFrame.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

namespace {

class WindowFocusSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        frame->setGeometry(60, 40, 1100, 760);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    }
    // Whether the box stands where the program's own messages to the main window stand:
    // centred over it.
    void ExpectPlacedAsAMessage(QWidget* box, const char* which)
    {
        const QPoint offset = box->frameGeometry().center() - m_messageCentre;
        EXPECT_LE(offset.manhattanLength(), 3) << which << ": " << offset.x() << "," << offset.y();
        EXPECT_EQ(box->parentWidget(), frame) << which;
    }
    QPoint m_messageCentre;
};

TEST_F(WindowFocusSession, ClosingThePreviewGivesTheMainWindowItsKeysBack)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    Create(CmdToolRectangle, 10, 10);
    ASSERT_EQ(View().ObjectList().size(), 1u);
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    CPreviewFrame* preview = OpenedPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(preview));
    QToolButton* close = nullptr;
    for (QToolButton* button : preview->findChildren<QToolButton*>())
        if (button->defaultAction() == preview->Commands().Action(40518))
            close = button;
    ASSERT_NE(close, nullptr);
    SystemClick(close);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(OpenedPreview(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    EXPECT_EQ(QApplication::activeWindow(), frame);
    // Ctrl+Z reaches the label at once.
    SystemKey(frame, Qt::Key_Z, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(View().ObjectList().empty());
    ASSERT_FALSE(watchdog.Fired());
}

TEST_F(WindowFocusSession, AJobsScriptBoxesStandWhereTheProgramsMessagesStand)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    OnNextModal(
        [&](QWidget* box) {
            m_messageCentre = box->frameGeometry().center();
            SystemKey(box, Qt::Key_Return);
        },
        "QMessageBox");
    Services().ShowMessage(frame, QStringLiteral("参照"));
    ASSERT_FALSE(m_messageCentre.isNull());
    Window().LabelData().m_strScripts[ScriptOnPrintStart]
        = QStringLiteral("MsgBox \"开始\"\r\nq = InputBox(\"名字\", \"输入\", \"甲\u202E乙\")\r\nq = 1 / 0");
    QString shownDefault;
    bool input = false, error = false;
    OnNextModal(
        [&](QWidget* box) {
            ExpectPlacedAsAMessage(box, "MsgBox");
            OnNextModal(
                [&](QWidget* dialog) {
                    input = true;
                    ExpectPlacedAsAMessage(dialog, "InputBox");
                    shownDefault = dialog->findChild<QLineEdit*>("text")->text();
                    OnNextModal(
                        [&](QWidget* stop) {
                            error = true;
                            ExpectPlacedAsAMessage(stop, "script error");
                            SystemClick(stop->findChild<QPushButton*>("stop"));
                        },
                        "CScriptStopDlg");
                    SystemKey(dialog, Qt::Key_Return);
                },
                "CScriptInputDlg");
            SystemKey(box, Qt::Key_Return);
        },
        "QMessageBox");
    Trigger(CmdFilePrintPreview);
    ASSERT_FALSE(watchdog.Fired());
    EXPECT_TRUE(input);
    EXPECT_TRUE(error);
    EXPECT_EQ(shownDefault, QStringLiteral("甲\\u202E乙"));
    delete OpenedPreview();
}

} // namespace
