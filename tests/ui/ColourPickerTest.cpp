#include "FakeServices.h"
#include "TestSupport.h"
#include "app/controls/ColourPicker.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Every notification of the picker in the order it came, as "name colour".
class Notifications
{
public:
    explicit Notifications(CColourPicker* picker)
    {
        Record(picker, &CColourPicker::colourChanged, "changed");
        Record(picker, &CColourPicker::popupOpened, "opened");
        Record(picker, &CColourPicker::popupClosed, "closed");
        Record(picker, &CColourPicker::colourAccepted, "accepted");
        Record(picker, &CColourPicker::selectionCancelled, "cancelled");
    }
    QStringList list;

private:
    template <class Signal>
    void Record(CColourPicker* picker, Signal signal, const char* name)
    {
        QObject::connect(picker, signal, picker, [this, name](const QColor& c) {
            list << QStringLiteral("%1 %2").arg(QLatin1String(name), c.isValid() ? c.name() : QStringLiteral("none"));
        });
    }
};

struct PickerFixture
{
    PickerFixture()
    {
        window.resize(200, 100);
        picker = new CColourPicker(&window);
        picker->setGeometry(10, 10, 80, 24);
        window.show();
    }
    CColourPopup* Open()
    {
        QTest::mouseClick(picker, Qt::LeftButton);
        return picker->Popup();
    }
    QWidget window;
    CColourPicker* picker;
};

// Moves the mouse onto a point of the popup. The event goes to the popup itself:
// the offscreen platform's cursor, which QTest moves, also stands over the popup
// when it opens and would add hovers of its own.
void HoverAt(CColourPopup* popup, const QPoint& point)
{
    QMouseEvent move(QEvent::MouseMove, point, popup->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(popup, &move);
}

void HoverTo(CColourPopup* popup, int index)
{
    HoverAt(popup, popup->CellRect(index).center());
}

const QString kRed = QColor(255, 0, 0).name();
const QString kBlue = QColor(0, 0, 255).name();

} // namespace

TEST(ColourPicker, ModelColoursConvertThroughTheTwoHelpers)
{
    EXPECT_FALSE(ArgbToPickerColour(0x00FFFFFFu).isValid());
    EXPECT_FALSE(ArgbToPickerColour(0x00000000u).isValid());
    EXPECT_EQ(ArgbToPickerColour(0xFF000000u), QColor(0, 0, 0)); // opaque black, not "none"
    EXPECT_EQ(ArgbToPickerColour(0x80123456u), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(PickerColourToArgb(QColor()), 0x00FFFFFFu);
    EXPECT_EQ(PickerColourToArgb(QColor(0, 0, 0)), 0xFF000000u);
    EXPECT_EQ(PickerColourToArgb(QColor(0x12, 0x34, 0x56, 7)), 0xFF123456u);
}

TEST(ColourPicker, EnterOnTheCurrentColourAcceptsWithoutAChange)
{
    PickerFixture f;
    f.picker->SetColour(Qt::red);
    Notifications n(f.picker);
    QSignalSpy accepted(f.picker, &CColourPicker::colourAccepted);
    QPointer<CColourPopup> popup = f.Open();
    ASSERT_TRUE(popup);
    EXPECT_TRUE(f.picker->IsPopupActive());
    EXPECT_EQ(popup->ChosenSelection(), 16);
    EXPECT_EQ(popup->CurrentSelection(), 16);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_EQ(n.list, QStringList({"opened " + kRed, "closed " + kRed, "accepted " + kRed}));
    ASSERT_EQ(accepted.count(), 1);
    EXPECT_EQ(accepted[0][0].value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(f.picker->IsPopupActive());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(popup);
}

TEST(ColourPicker, ClickingAnotherCellReportsHoverThenAcceptanceAndChange)
{
    PickerFixture f;
    f.picker->SetColour(Qt::red);
    Notifications n(f.picker);
    CColourPopup* popup = f.Open();
    const QPoint blue = popup->CellRect(13).center();
    HoverTo(popup, 9);
    HoverAt(popup, blue);
    // Hovering reports, but leaves the picker's colour while tracking is off.
    EXPECT_EQ(f.picker->GetColour(), QColor(Qt::red));
    QTest::mouseRelease(popup, Qt::LeftButton, {}, blue);
    EXPECT_EQ(n.list, QStringList({"opened " + kRed, "changed #ff6820", "changed " + kBlue, "closed " + kBlue,
                                   "accepted " + kBlue, "changed " + kBlue}));
    EXPECT_EQ(f.picker->GetColour(), QColor(Qt::blue));
}

TEST(ColourPicker, TrackingSelectionFollowsTheHover)
{
    PickerFixture f;
    f.picker->m_bTrackSelection = true;
    f.picker->SetColour(Qt::red);
    CColourPopup* popup = f.Open();
    HoverTo(popup, 13);
    EXPECT_EQ(f.picker->GetColour(), QColor(Qt::blue));
    Notifications n(f.picker);
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_EQ(n.list, QStringList({"closed " + kRed, "cancelled " + kRed}));
    EXPECT_EQ(f.picker->GetColour(), QColor(Qt::red));
}

TEST(ColourPicker, ChosenSelectionOfAColourOutsideTheTable)
{
    PickerFixture f;
    f.picker->SetColour(QColor(1, 2, 3));
    CColourPopup* popup = f.Open();
    EXPECT_EQ(popup->ChosenSelection(), CColourPopup::kCustomBox);
    QTest::keyClick(popup, Qt::Key_Escape);
    f.picker->m_strCustomText.clear();
    popup = f.Open();
    EXPECT_EQ(popup->ChosenSelection(), CColourPopup::kNone);
    QTest::keyClick(popup, Qt::Key_Escape);
    f.picker->SetColour(QColor());
    popup = f.Open();
    EXPECT_EQ(popup->ChosenSelection(), CColourPopup::kDefaultBox);
    QTest::keyClick(popup, Qt::Key_Escape);
}

TEST(ColourPicker, KeyboardMovesThroughCellsAndBoxes)
{
    struct Move
    {
        bool boxes;
        int from;
        Qt::Key key;
        int to;
    } moves[] = {
        {true, 0, Qt::Key_Left, CColourPopup::kDefaultBox},
        {true, 39, Qt::Key_Right, CColourPopup::kCustomBox},
        {true, 36, Qt::Key_Down, CColourPopup::kCustomBox},
        {true, CColourPopup::kCustomBox, Qt::Key_Down, CColourPopup::kDefaultBox},
        {true, CColourPopup::kDefaultBox, Qt::Key_Down, 0},
        {true, 3, Qt::Key_Up, CColourPopup::kDefaultBox},
        {true, CColourPopup::kDefaultBox, Qt::Key_Up, CColourPopup::kCustomBox},
        {true, CColourPopup::kCustomBox, Qt::Key_Up, 39},
        {true, 8, Qt::Key_Left, 7},
        {true, 7, Qt::Key_Right, 8},
        {false, 3, Qt::Key_Up, 35},
        {false, 0, Qt::Key_Left, 39},
        {false, 39, Qt::Key_Right, 0},
        {false, 35, Qt::Key_Down, 0},
        {false, 10, Qt::Key_Down, 18},
    };
    for (const Move& m : moves) {
        PickerFixture f;
        if (!m.boxes) {
            f.picker->m_strDefaultText.clear();
            f.picker->m_strCustomText.clear();
        }
        f.picker->SetColour(m.from >= 0 ? CColourPopup::TableColour(m.from)
                            : m.from == CColourPopup::kDefaultBox ? QColor() : QColor(1, 2, 3));
        CColourPopup* popup = f.Open();
        ASSERT_EQ(popup->CurrentSelection(), m.from);
        QTest::keyClick(popup, m.key);
        EXPECT_EQ(popup->CurrentSelection(), m.to) << m.from << " key " << m.key;
        QTest::keyClick(popup, Qt::Key_Escape);
    }
}

TEST(ColourPicker, NoColourBoxAndCustomColourDialog)
{
    FakeServices services;
    PickerFixture f;
    f.picker->SetColour(Qt::red);
    Notifications n(f.picker);
    CColourPopup* popup = f.Open();
    // "更多颜色..." and a cancelled colour dialog: a cancellation with the colour from before.
    HoverTo(popup, CColourPopup::kCustomBox);
    QTest::keyClick(popup, Qt::Key_Space);
    EXPECT_EQ(n.list.mid(1), QStringList({"changed " + kRed, "closed " + kRed, "cancelled " + kRed}));
    // Confirmed: that colour is accepted.
    services.colors.push_back(QColor(1, 2, 3));
    n.list.clear();
    popup = f.Open();
    HoverTo(popup, CColourPopup::kCustomBox);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_EQ(n.list.mid(2), QStringList({"closed #010203", "accepted #010203", "changed #010203"}));
    // "透明": no colour.
    n.list.clear();
    popup = f.Open();
    HoverTo(popup, CColourPopup::kDefaultBox);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_EQ(n.list.mid(1), QStringList({"changed none", "closed none", "accepted none", "changed none"}));
    EXPECT_FALSE(f.picker->GetColour().isValid());
}

TEST(ColourPicker, ReleaseOutsideOrLeavingTheApplicationCancels)
{
    PickerFixture f;
    f.picker->SetColour(Qt::blue);
    Notifications n(f.picker);
    CColourPopup* popup = f.Open();
    HoverTo(popup, 0);
    QTest::mouseRelease(popup, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(n.list.mid(2), QStringList({"closed " + kBlue, "cancelled " + kBlue}));
    EXPECT_EQ(f.picker->GetColour(), QColor(Qt::blue));

    n.list.clear();
    popup = f.Open();
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(n.list.mid(1), QStringList({"closed " + kBlue, "cancelled " + kBlue}));
    EXPECT_FALSE(f.picker->IsPopupActive());
}

TEST(ColourPicker, NoColourShowsTheDefaultTextOnButtonFace)
{
    PickerFixture f;
    f.picker->SetColour(QColor());
    const QImage image = f.picker->grab().toImage();
    const QColor face = f.picker->palette().color(QPalette::Button);
    const QPoint centre(image.width() / 2 - 8, image.height() / 2);
    bool ink = false;
    for (int x = 6; x < 50 && !ink; ++x)
        ink = qGray(image.pixel(x, centre.y())) < 100;
    EXPECT_TRUE(ink);
    EXPECT_EQ(QColor(image.pixel(6, 5)), face);
    f.picker->SetColour(Qt::red);
    EXPECT_EQ(QColor(f.picker->grab().toImage().pixel(6, 5)), QColor(Qt::red));
}

TEST(ColourPicker, NearTheBottomOfTheScreenThePopupOpensAbove)
{
    PickerFixture f;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    f.window.move(0, screen.bottom() - 60);
    QCoreApplication::processEvents();
    CColourPopup* popup = f.Open();
    const int pickerTop = f.picker->mapToGlobal(QPoint(0, 0)).y();
    EXPECT_LT(popup->geometry().bottom(), pickerTop);
    EXPECT_LE(popup->geometry().bottom(), screen.bottom());
    QTest::keyClick(popup, Qt::Key_Escape);
}
