// The colour pickers of the property dialogs with Qt's real colour dialog, run by the
// program's own services, driven by clicks and keys as the window system delivers them.
#include "RealWindowSupport.h"
#include "SessionTestSupport.h"

#include "app/HelpWindow.h"
#include "app/controls/ColourPicker.h"
#include "model/BaseGraph.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

class ColourDialogSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        InstallDialogHelpKey();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    }
    void TearDown() override
    {
        delete CHelpWindow::Current();
        SessionTest::TearDown();
    }

    // Shows the tab of the dialog that holds the widget, by a click on it.
    static void ShowTabOf(QWidget* widget)
    {
        for (QWidget* w = widget; w && !w->isWindow(); w = w->parentWidget()) {
            auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget() ? w->parentWidget()->parentWidget() : nullptr);
            const int index = tabs ? tabs->indexOf(w) : -1;
            if (index >= 0 && tabs->currentIndex() != index) {
                SystemClick(tabs->tabBar(), tabs->tabBar()->tabRect(index).center());
                ASSERT_EQ(tabs->currentIndex(), index);
            }
        }
    }

    // Opens the picker's popup with a click on its arrow and clicks 更多颜色...; then, in the
    // colour dialog that opens, act runs.
    void MoreColours(CColourPicker* picker, std::function<void(QColorDialog&)> act)
    {
        ShowTabOf(picker);
        SystemClick(picker, QPoint(picker->width() - 6, picker->height() / 2));
        CColourPopup* popup = picker->Popup();
        ASSERT_NE(popup, nullptr);
        ASSERT_TRUE(popup->isVisible());
        colourDialogSeen = false;
        OnNextModal([this, act](QWidget* modal) {
            auto* colours = qobject_cast<QColorDialog*>(modal);
            if (!colours)
                return;
            colourDialogSeen = true;
            act(*colours);
        });
        SystemClick(popup, popup->CellRect(CColourPopup::kCustomBox).center());
    }
    // Types #rrggbb into the colour dialog's HTML field.
    static void TypeHtml(QColorDialog& dialog, const QString& html)
    {
        QLineEdit* field = nullptr;
        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
            if (edit->text().startsWith(u'#'))
                field = edit;
        ASSERT_NE(field, nullptr);
        field->setFocus();
        SystemKey(field, Qt::Key_A, Qt::ControlModifier);
        SystemType(field, html);
    }
    static QPushButton* OkOf(QDialog& dialog)
    {
        auto* box = dialog.findChild<QDialogButtonBox*>();
        return box ? box->button(QDialogButtonBox::Ok) : nullptr;
    }

    bool colourDialogSeen = false;
};

} // namespace

TEST_F(ColourDialogSession, MoreColoursOfTheTextDialogTakesKeysClicksAndF1)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    Create(CmdToolText, 10, 10);
    CBaseProxy* text = Last();
    const uint32_t before = text->GetObject()->m_crText;
    ASSERT_EQ(before, 0xFF000000u);

    QColor afterEsc, afterEnter, afterOk;
    QString helpPage;
    bool helpBesideColourDialog = false;
    OnNextModal([&](QWidget* dialog) {
        auto* picker = Ctl<CColourPicker>(dialog, 250, 1159);
        ASSERT_NE(picker, nullptr);
        // Esc: the colour from before, the popup gone.
        MoreColours(picker, [](QColorDialog& colours) {
            if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
                QTest::qWait(300);
                colours.screen()->grabWindow(0).save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("colour-dialog.png"));
            }
            SystemKey(&colours, Qt::Key_Escape);
        });
        ASSERT_TRUE(colourDialogSeen) << "no colour dialog opened";
        afterEsc = picker->GetColour();
        EXPECT_EQ(picker->Popup(), nullptr);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        // A colour typed in its HTML field, and Enter.
        MoreColours(picker, [](QColorDialog& colours) {
            TypeHtml(colours, QStringLiteral("#123456"));
            SystemKey(&colours, Qt::Key_Return);
        });
        afterEnter = picker->GetColour();
        // F1 shows the page of the text dialog, beside the colour dialog; then 确定.
        MoreColours(picker, [&](QColorDialog& colours) {
            TypeHtml(colours, QStringLiteral("#654321"));
            SystemKey(&colours, Qt::Key_F1);
            helpPage = CHelpWindow::Current() ? CHelpWindow::Current()->CurrentPage() : QString();
            helpBesideColourDialog = CHelpWindow::Current() && CHelpWindow::Current()->parentWidget() == &colours;
            SystemClick(OkOf(colours));
        });
        afterOk = picker->GetColour();
        // The help page stays open, now with the text dialog.
        EXPECT_TRUE(CHelpWindow::Current() && CHelpWindow::Current()->parentWidget() == dialog);
        SystemClick(ctl<QPushButton>(dialog, 1));
    });
    DoubleClick(At(12, 11));
    ASSERT_FALSE(watchdog.Fired());
    EXPECT_EQ(afterEsc, QColor(Qt::black));
    EXPECT_EQ(afterEnter, QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(afterOk, QColor(0x65, 0x43, 0x21));
    EXPECT_EQ(helpPage, "qrc:/help/objects.html#properties");
    EXPECT_TRUE(helpBesideColourDialog);
    // 确定 of the text dialog puts the colour on the text.
    EXPECT_EQ(text->GetObject()->m_crText, 0xFF654321u);
}

TEST_F(ColourDialogSession, EveryPickerOfThePropertyDialogsOpensAColourDialogThatWorks)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    int tested = 0;
    QStringList failures;
    const auto everyPicker = [&](QWidget* dialog) {
        for (CColourPicker* picker : dialog->findChildren<CColourPicker*>()) {
            const QString name = QStringLiteral("%1 %2").arg(QLatin1String(dialog->metaObject()->className()),
                                                             picker->objectName());
            ShowTabOf(picker);
            if (!picker->isVisible() || !picker->isEnabled())
                continue;
            const QColor before = picker->GetColour();
            MoreColours(picker, [](QColorDialog& colours) { SystemKey(&colours, Qt::Key_Escape); });
            if (!colourDialogSeen || picker->GetColour() != before)
                failures << name + QStringLiteral(" Esc");
            MoreColours(picker, [](QColorDialog& colours) {
                TypeHtml(colours, QStringLiteral("#0a0b0c"));
                SystemClick(OkOf(colours));
            });
            if (picker->GetColour() != QColor(0x0a, 0x0b, 0x0c))
                failures << name + QStringLiteral(" 确定");
            ++tested;
        }
        static_cast<QDialog*>(dialog)->reject();
    };
    for (const int tool : {CmdToolText, CmdToolLine, CmdToolRectangle, CmdToolEllipse, CmdToolBarcode}) {
        Create(tool, 10, 10);
        View().ClearSelection();
        View().SelectAll();
        View().SetCurrentObject(Last());
        OnNextModal(everyPicker);
        ASSERT_TRUE(Trigger(CmdProperties)) << tool;
        ASSERT_FALSE(watchdog.Fired()) << tool;
        ASSERT_TRUE(Trigger(CmdEditDelete));
    }
    OnNextModal(everyPicker);
    ASSERT_TRUE(Trigger(CmdLabelSettings));
    ASSERT_FALSE(watchdog.Fired());
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'|').toStdString();
    // Text and background of text and barcode, line of a line, line and fill of the shapes, the label's.
    EXPECT_GE(tested, 10);
}

// A colour picked with the mouse, from the grid or through 更多颜色... (the services' colour
// dialog), leaves the keyboard focus where it was: Esc then cancels the dialog as before, and
// nothing of the colour is kept. Every picker of the property dialogs, the label settings and the
// system options.
TEST_F(ColourDialogSession, EscCancelsTheDialogAfterAColourWasPicked)
{
    QStringList failures;
    int tested = 0;
    // Opens the dialog, picks a colour with its picker number index and presses Esc: false when
    // the dialog has no such picker. One that cannot be used (a hatch colour without a hatch) is
    // passed over.
    const auto pickThenEsc = [&](const std::function<void()>& open, int index, bool more) {
        bool found = false;
        const QByteArray before = LabelBytes();
        services.OnNextDialog([&](QDialog& dialog) {
            const QList<CColourPicker*> pickers = dialog.findChildren<CColourPicker*>();
            if (index >= pickers.size())
                return dialog.reject();
            found = true;
            CColourPicker* picker = pickers[index];
            ShowTabOf(picker);
            if (!picker->isVisible() || !picker->isEnabled())
                return dialog.reject();
            const QString name = QStringLiteral("%1 %2%3").arg(QLatin1String(dialog.metaObject()->className()),
                                                               picker->objectName(), more ? " 更多颜色" : "");
            const QColor was = picker->GetColour();
            SystemClick(picker, QPoint(picker->width() - 6, picker->height() / 2));
            CColourPopup* popup = picker->Popup();
            if (!popup) {
                failures << name + " no popup";
                return dialog.reject();
            }
            // A colour other than the picker's own, so that there is something to lose.
            const int cell = CColourPopup::TableColour(13) == was ? 16 : 13;
            if (more)
                services.colors.push_back(QColor(0x0a, 0x0b, 0x0c));
            SystemClick(popup, popup->CellRect(more ? CColourPopup::kCustomBox : cell).center());
            if (picker->GetColour() == was)
                failures << name + " picked nothing";
            if (picker->hasFocus())
                failures << name + " took the focus";
            SystemKey(&dialog, Qt::Key_Escape);
            if (dialog.isVisible()) {
                failures << name + " stayed open";
                dialog.reject();
            }
            ++tested;
        });
        open();
        if (LabelBytes() != before)
            failures << QStringLiteral("picker %1 changed the label").arg(index);
        return found;
    };
    for (const int tool : {CmdToolText, CmdToolLine, CmdToolRectangle, CmdToolEllipse, CmdToolBarcode}) {
        Create(tool, 10, 10);
        const auto open = [&] {
            View().ClearSelection();
            View().SelectAll();
            View().SetCurrentObject(Last());
            ASSERT_TRUE(Trigger(CmdProperties)) << tool;
        };
        for (int index = 0; pickThenEsc(open, index, false); ++index)
            pickThenEsc(open, index, true);
        ASSERT_TRUE(Trigger(CmdEditDelete));
    }
    for (const int dialog : {CmdLabelSettings, CmdToolOptions}) {
        const auto open = [&] { ASSERT_TRUE(Trigger(dialog)) << dialog; };
        for (int index = 0; pickThenEsc(open, index, false); ++index)
            pickThenEsc(open, index, true);
    }
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'|').toStdString();
    EXPECT_GE(tested, 22);
}
