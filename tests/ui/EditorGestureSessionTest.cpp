// The edit-data tool and the handles of a barcode in the running program, with the
// program's own services: the dialogs run by exec() and are driven by clicks and keys
// as the window system delivers them, the gestures are mouse events on the real canvas.
#include "RealWindowSupport.h"
#include "SessionTestSupport.h"

#include "app/Ctl.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "dialogs/properties/BandTextEidtor.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/TextGraph.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// Acts once on every modal window as it comes to the front, and notes its class (and a
// message's text): also on a window that shows again when the one above it closes.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QWidget*)> act) : m_act(std::move(act))
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal->property("vcDriven").toBool())
                return;
            modal->setProperty("vcDriven", true);
            seen << QString::fromLatin1(modal->metaObject()->className());
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                seen.back() += u' ' + box->text();
            // Acted on from a timer of its own, so that the polling goes on to a window
            // the act opens.
            QTimer::singleShot(0, modal, [this, modal] { m_act(modal); });
        });
        m_poll.start(20);
    }

    QStringList seen;

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_poll;
};

class GestureSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    }

    // A label whose Code 128 barcode holds a constant band and a serial band, opened
    // through 文件 > 打开.
    CBaseProxy* OpenBoundBarcode()
    {
        CLabelData label;
        label.m_fLabelWidth = 80;
        label.m_fLabelHeight = 50;
        auto barcode = std::make_unique<CBarcodeGraph>();
        barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
        CBarcodeSettings& settings = *barcode->GetImpl()->GetSettings();
        auto constant = std::make_unique<CDataBand>();
        constant->m_strValue = QStringLiteral("AB");
        auto serial = std::make_unique<CDataBand>();
        serial->m_nKind = BandSerial;
        serial->m_strValue = QStringLiteral("1");
        settings.m_bandList.push_back(std::move(constant));
        settings.m_bandList.push_back(std::move(serial));
        settings.m_strContent = settings.GetBandsText();
        barcode->m_strName = settings.m_strName = QStringLiteral("条码1");
        barcode->m_fX = 10;
        barcode->m_fY = 10;
        barcode->m_pLabelData = &label;
        barcode->GetImpl()->m_pLabelData = &label;
        EncodeToSymbolBox(*barcode);
        label.m_objects.push_back(std::move(barcode));
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath(QStringLiteral("bound.vmk"));
        writer.m_pLabelData = &label;
        writer.WriteDocument();
        services.files = {writer.m_strPath};
        EXPECT_TRUE(Trigger(CmdFileOpen));
        EXPECT_EQ(services.MessageTexts(), QStringList());
        EXPECT_EQ(View().ObjectList().size(), 1u);
        return View().ObjectList().empty() ? nullptr : View().ObjectList().front().get();
    }
    static const CBarcodeGraph& BarcodeOf(const CBaseProxy* proxy)
    {
        return static_cast<const CBarcodeGraph&>(*proxy->GetObject());
    }
    static const CBarcodeSettings& SettingsOf(const CBaseProxy* proxy)
    {
        return *BarcodeOf(proxy).GetImpl()->GetSettings();
    }
    QPoint Centre(const CBaseProxy* proxy)
    {
        const CBaseGraph& object = *proxy->GetObject();
        return At(object.GetX() + object.GetWidth() / 2, object.GetY() + object.GetHeight() / 2);
    }
    // Replaces the shown band's text as typed, in the band text editor.
    static void TypeValue(CBandTextEidtor& editor, const QString& text)
    {
        editor.m_value->setFocus();
        SystemKey(editor.m_value, Qt::Key_A, Qt::ControlModifier);
        SystemType(editor.m_value, text);
    }
    // Where a handle of the object is drawn, in client pixels.
    QPoint HandleAt(CBaseProxy* proxy, int handle)
    {
        View().Render();
        const CanvasMapping m = View().Mapping();
        return proxy->GetHandleRect(handle).center() + m.ZoomedMargin()
               - QPoint(static_cast<int>(m.scrollX), static_cast<int>(m.scrollY));
    }
    // Waits until no modal window is left and the driver saw at least that many.
    static bool AllClosed(const ModalDriver& driver, int atLeast)
    {
        return QTest::qWaitFor([&] {
            return driver.seen.size() >= atLeast && !QApplication::activeModalWidget();
        }, 120000); // only a hang takes this long
    }
};

} // namespace

// A double click with the edit-data tool is one gesture: one band text editor opens,
// and no property dialog of its own. Its 数据源 goes on to the property dialog, whose
// 确定 replaces the barcode's bands; nothing is left open on the bands it replaced.
TEST_F(GestureSession, ADoubleClickWithTheEditDataToolOpensOneEditor)
{
    CBaseProxy* barcode = OpenBoundBarcode();
    ASSERT_NE(barcode, nullptr);
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    ASSERT_TRUE(Trigger(CmdToolEditData));
    ModalDriver driver([](QWidget* modal) {
        if (auto* editor = qobject_cast<CBandTextEidtor*>(modal)) {
            TypeValue(*editor, QStringLiteral("XY"));
            SystemClick(editor->m_dataSource);
        } else {
            SystemClick(ctl<QPushButton>(modal, 1));
        }
    });
    DoubleClick(Centre(barcode));
    ASSERT_TRUE(AllClosed(driver, 2)) << driver.seen.join(u' ').toStdString();
    Settle();
    ASSERT_FALSE(watchdog.Fired()) << driver.seen.join(u' ').toStdString();
    EXPECT_EQ(driver.seen.join(u' ').toStdString(), "CBandTextEidtor CBarcodeEdtDlg");
    const CBarcodeSettings& settings = SettingsOf(barcode);
    ASSERT_EQ(settings.m_bandList.size(), 2u);
    EXPECT_EQ(settings.m_bandList[0]->m_strValue, QStringLiteral("XY"));
    EXPECT_EQ(settings.m_strContent, QStringLiteral("XY1"));
    // The typed text and the dialog's 确定: a step each.
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(SettingsOf(barcode).m_bandList[0]->m_strValue, QStringLiteral("XY"));
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(SettingsOf(barcode).m_bandList[0]->m_strValue, QStringLiteral("AB"));
    EXPECT_EQ(SettingsOf(barcode).m_strContent, QStringLiteral("AB1"));
    EXPECT_FALSE(Window().IsModified());
}

// The tool's single press, the everyday way in: one editor, and its 确定 edits the
// barcode as one step that undo gives back.
TEST_F(GestureSession, APressWithTheEditDataToolEditsTheBandsOnce)
{
    CBaseProxy* barcode = OpenBoundBarcode();
    ASSERT_NE(barcode, nullptr);
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    const float width = barcode->GetObject()->GetWidth();
    ASSERT_TRUE(Trigger(CmdToolEditData));
    ModalDriver driver([](QWidget* modal) {
        auto* editor = qobject_cast<CBandTextEidtor*>(modal);
        ASSERT_NE(editor, nullptr);
        TypeValue(*editor, QStringLiteral("ABCDEFGH"));
        SystemClick(ctl<QPushButton>(modal, 1));
    });
    Click(Centre(barcode));
    ASSERT_TRUE(AllClosed(driver, 1));
    Settle();
    ASSERT_FALSE(watchdog.Fired());
    EXPECT_EQ(driver.seen.join(u' ').toStdString(), "CBandTextEidtor");
    EXPECT_EQ(SettingsOf(barcode).m_strContent, QStringLiteral("ABCDEFGH1"));
    EXPECT_GT(barcode->GetObject()->GetWidth(), width);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(SettingsOf(barcode).m_strContent, QStringLiteral("AB1"));
    EXPECT_FLOAT_EQ(barcode->GetObject()->GetWidth(), width);
    EXPECT_FALSE(Window().IsModified());
}

// On a text of one band the edit-data tool edits in place: a double click leaves that
// editor open, opens no dialog, and what is typed there is the text's.
TEST_F(GestureSession, ADoubleClickWithTheEditDataToolOnATextEditsItInPlace)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* text = Last();
    ASSERT_TRUE(Trigger(CmdToolEditData));
    const size_t dialogs = services.dialogClasses.size();
    DoubleClick(Centre(text));
    Settle();
    EXPECT_EQ(services.dialogClasses.size(), dialogs);
    auto* edit = qobject_cast<QLineEdit*>(View().InPlaceEditor());
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisible());
    edit->selectAll();
    TypeText(edit, QStringLiteral("甲乙"));
    ASSERT_TRUE(Trigger(CmdToolSelect)); // commits
    EXPECT_EQ(static_cast<const CTextGraph&>(*text->GetObject()).m_strText, QStringLiteral("甲乙"));
}

// A barcode at its widest symbol cannot grow: its left handle dragged further left
// leaves the symbol where it is, whether the box follows the mouse or only the release.
// Dragged the other way it narrows about its right edge, which stays put.
TEST_F(GestureSession, ABarcodeThatCannotGrowStaysWhereItIsWhenItsLeftHandleIsDragged)
{
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    const bool instant = settings.m_bInstantSizing;
    for (const bool follows : {true, false}) {
        SCOPED_TRACE(follows ? "sized as it moves" : "sized at the release");
        settings.m_bInstantSizing = follows;
        Create(CmdToolBarcode, 10, 10);
        ASSERT_TRUE(Trigger(CmdToolSelect));
        CBaseProxy* proxy = Last();
        const CBaseGraph& barcode = *proxy->GetObject();
        View().SelectObject(proxy);
        const QPoint right = HandleAt(proxy, 3);
        Drag(right, right + QPoint(60000, 0), 4);
        Settle();
        ASSERT_GT(barcode.GetWidth(), kMaxLabelLengthMm * 0.99f);
        const float x = barcode.GetX(), width = barcode.GetWidth();

        for (const int handle : {7, 0, 6}) {
            SCOPED_TRACE(handle);
            // A corner also takes the bar height from the box, cut to hundredths.
            const float top = barcode.GetY(), bottom = top + barcode.GetHeight();
            const QPoint from = HandleAt(proxy, handle);
            Drag(from, from - QPoint(40, 0));
            Settle();
            EXPECT_EQ(barcode.GetX(), x);
            EXPECT_EQ(barcode.GetWidth(), width);
            EXPECT_NEAR(barcode.GetY(), top, 0.011);
            EXPECT_NEAR(barcode.GetY() + barcode.GetHeight(), bottom, 0.011);
        }
        const float rightEdge = barcode.GetX() + barcode.GetWidth();
        const QPoint from = HandleAt(proxy, 7);
        Drag(from, from + QPoint(3000, 0));
        Settle();
        EXPECT_LT(barcode.GetWidth(), width);
        EXPECT_NEAR(barcode.GetX() + barcode.GetWidth(), rightEdge, 0.011);
        ASSERT_TRUE(Trigger(CmdEditDelete));
    }
    settings.m_bInstantSizing = instant;
}

// An ordinary barcode takes the width its modules make, not the mouse's: dragged by its
// left or top handle, the edge across from the handle stays where it was.
TEST_F(GestureSession, ABarcodeResizedFromItsLeftOrTopKeepsTheEdgeAcross)
{
    for (const int symbology : {int(SymbologyCode128), int(SymbologyQRCode)}) {
        SCOPED_TRACE(symbology);
        Create(CmdToolBarcode, 20, 20);
        ASSERT_TRUE(Trigger(CmdToolSelect));
        CBaseProxy* proxy = Last();
        const CBaseGraph& barcode = *proxy->GetObject();
        services.OnNextDialog([&](QDialog& d) {
            auto* combo = Ctl<QComboBox>(&d, 266, 1157);
            ChooseItem(combo, combo->findData(symbology));
            ClickButton(&d, 1);
        });
        View().SelectObject(proxy);
        ASSERT_TRUE(Trigger(CmdProperties));
        ASSERT_EQ(SettingsOf(proxy).m_nSymbology, symbology);
        for (const QPoint by : {QPoint(-37, 0), QPoint(23, 0), QPoint(0, -29), QPoint(0, 11)}) {
            const int handle = by.x() ? 7 : 1;
            const float right = barcode.GetX() + barcode.GetWidth();
            const float bottom = barcode.GetY() + barcode.GetHeight();
            const float width = barcode.GetWidth(), height = barcode.GetHeight();
            const QPoint from = HandleAt(proxy, handle);
            Drag(from, from + by);
            Settle();
            EXPECT_TRUE(barcode.GetWidth() != width || barcode.GetHeight() != height) << by.x() << "," << by.y();
            if (by.x())
                EXPECT_NEAR(barcode.GetX() + barcode.GetWidth(), right, 0.011) << by.x();
            else
                EXPECT_NEAR(barcode.GetY() + barcode.GetHeight(), bottom, 0.011) << by.y();
        }
        ASSERT_TRUE(Trigger(CmdEditDelete));
    }
}
