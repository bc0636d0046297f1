// Labels made by editing in the running program stay inside the ranges the label file
// reader and the property dialogs take: saved, closed and opened again they read back
// with no message and as the same bytes, and each object's dialog takes its own values
// on an OK that changed nothing.
#include "SessionTestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "model/BarcodeGraph.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeSymbology.h"
#include "dialogs/properties/BarcodeEdtPane.h"
#include "dialogs/properties/BarcodeEdtPane_Base.h"
#include "dialogs/properties/SettingsControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class EditRangeSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        settings.m_bInstantSizing = false;
        settings.m_bContinueCreating = false;
    }
    void TearDown() override
    {
        settings.m_bInstantSizing = savedInstantSizing;
        settings.m_bContinueCreating = savedContinue;
        SessionTest::TearDown();
    }

    CTextGraph& TextOf(CBaseProxy* proxy) const { return static_cast<CTextGraph&>(*proxy->GetObject()); }

    // A new object of the tool's kind, selected and current, as 属性 then edits it.
    CBaseProxy* CreateCurrent(int tool)
    {
        Create(tool, 10, 10);
        EXPECT_TRUE(Trigger(CmdToolSelect));
        CBaseProxy* proxy = Last();
        View().GetSelection() = {proxy};
        View().SetCurrentObject(proxy);
        return proxy;
    }
    // A one-colour picture of that size written into the test's folder; its path.
    QString WritePicture(const QString& name, int width, int height, Qt::GlobalColor colour)
    {
        const QString path = m_dir.filePath(name);
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(colour);
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    // Where a handle of the object is drawn, in client pixels.
    QPoint HandleAt(CBaseProxy* proxy, int handle)
    {
        View().Render();
        const CanvasMapping m = View().Mapping();
        return proxy->GetHandleRect(handle).center() + m.ZoomedMargin()
               - QPoint(static_cast<int>(m.scrollX), static_cast<int>(m.scrollY));
    }
    void SetFontSize(const QString& size)
    {
        QComboBox* box = frame->FontSizeCombo();
        Settle();
        ASSERT_TRUE(box->isEnabled());
        RetypeText(box->lineEdit(), size);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        Settle();
    }
    // Saved, closed and opened again: no message, and the label the window then holds
    // is the file as written.
    void SaveAndReopen(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        services.files = {path};
        ASSERT_TRUE(Trigger(CmdFileSave));
        ASSERT_TRUE(Trigger(CmdFileClose));
        services.files = {path};
        ASSERT_TRUE(Trigger(CmdFileOpen));
        ASSERT_NE(frame->ActiveLabelWindow(), nullptr) << services.MessageTexts().join(u'|').toStdString();
        EXPECT_EQ(services.MessageTexts(), QStringList());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == LabelBytes());
        EXPECT_FALSE(Window().IsModified());
    }
    // The object's property dialog, opened with a double click and confirmed at once,
    // closes accepted with no message.
    void ExpectUntouchedOkTaken(CBaseProxy* proxy)
    {
        ASSERT_TRUE(Trigger(CmdToolSelect));
        const CBaseGraph& object = *proxy->GetObject();
        bool closed = false;
        services.OnNextDialog([&](QDialog& d) {
            ClickButton(&d, 1);
            closed = !d.isVisible() && d.result() == QDialog::Accepted;
            if (!closed)
                d.reject();
        });
        DoubleClick(At(object.GetX() + 2, object.GetY() + std::min(object.GetHeight() / 2, 2.0f)));
        Settle();
        EXPECT_TRUE(services.dialogs.empty());
        EXPECT_TRUE(closed);
        EXPECT_EQ(services.MessageTexts(), QStringList());
    }

    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    const bool savedInstantSizing = settings.m_bInstantSizing;
    const bool savedContinue = settings.m_bContinueCreating;
};

// A text pressed flat by its bottom handle is stretched wide; a large font then
// widens its box only up to the widest box a label holds.
TEST_F(EditRangeSession, AFlatTextGivenALargeFontStopsAtTheWidestBox)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* proxy = Last();
    const CTextGraph& text = TextOf(proxy);
    const QPoint bottom = HandleAt(proxy, 5);
    const int tall = static_cast<int>(proxy->GetHeightPixels());
    Drag(bottom, bottom - QPoint(0, tall));
    ASSERT_GT(text.m_fHorzScale, 20.0f);
    SetFontSize(QStringLiteral("200"));
    EXPECT_FLOAT_EQ(text.m_fFontSize, 200.0f);
    EXPECT_EQ(text.GetWidth(), kMaxLabelLengthMm);
    EXPECT_LE(text.m_fHorzScale, kMaxLabelLengthMm);

    SaveAndReopen(QStringLiteral("flat.vmk"));
    ExpectUntouchedOkTaken(Last());
    EXPECT_EQ(TextOf(Last()).GetWidth(), kMaxLabelLengthMm);
}

// A text held at the widest box stays there when a handle drags it wider, whether the
// box follows the mouse or only the release, as a barcode's symbol does; dragged inward
// it follows the mouse, and the label reads back without a warning.
TEST_F(EditRangeSession, AFlatTextAtTheWidestBoxStopsThereWhenItsHandlesDragItWider)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* proxy = Last();
    const CTextGraph& text = TextOf(proxy);
    const QPoint bottom = HandleAt(proxy, 5);
    Drag(bottom, bottom - QPoint(0, static_cast<int>(proxy->GetHeightPixels())));
    SetFontSize(QStringLiteral("200"));
    ASSERT_EQ(text.GetWidth(), kMaxLabelLengthMm);
    const float x = text.GetX();
    const int scrolled = Window().HorzBar().value();
    for (const bool follows : {false, true}) {
        SCOPED_TRACE(follows ? "sized as it moves" : "sized at the release");
        settings.m_bInstantSizing = follows;
        for (const int handle : {3, 2, 4, 7, 0}) {
            SCOPED_TRACE(handle);
            const QPoint from = HandleAt(proxy, handle);
            Drag(from, from + QPoint(MovesRight(handle) ? 40 : -40, 0));
            EXPECT_EQ(text.GetWidth(), kMaxLabelLengthMm);
            EXPECT_EQ(text.GetX(), x);
        }
    }
    // The far handles lie beyond the window's edge, where the canvas scrolls along.
    Window().HorzBar().setValue(scrolled);
    const QPoint left = HandleAt(proxy, 7);
    Drag(left, left + QPoint(40, 0));
    EXPECT_LT(text.GetWidth(), kMaxLabelLengthMm - 5);
    EXPECT_NEAR(text.GetX() + text.GetWidth(), x + kMaxLabelLengthMm, 0.02);
    SaveAndReopen(QStringLiteral("flat-dragged.vmk"));
}

// Every kind a little within the bound stops at it when a handle or a move would carry it
// past: no number the reader would have to bring back, and no warning when it reads them.
TEST_F(EditRangeSession, EveryKindDraggedTowardTheBoundStopsAtIt)
{
    constexpr float kNear = kMaxLabelLengthMm - 12;
    const int scrolled = Window().HorzBar().value();
    float y = 10;
    for (const int tool : {CmdToolRectangle, CmdToolEllipse, CmdToolImage, CmdToolPolygon, CmdToolLine}) {
        SCOPED_TRACE(tool);
        CBaseProxy* proxy = CreateCurrent(tool);
        proxy->SetPosition(10, y);
        proxy->SetWidth(kNear);
        ASSERT_TRUE(proxy->WithinBounds());
        if (tool == CmdToolLine) {
            // Moved so far that its far end would pass the bound, it stops short of it.
            proxy->GetObject()->m_fLineWidth = 2;
            const QPoint body = At(12, y);
            Drag(body, body + QPoint(80, 0));
            EXPECT_TRUE(proxy->WithinBounds());
            EXPECT_GT(proxy->GetLeft(), 10.5f);
            EXPECT_NEAR(proxy->GetWidth(), kNear, 0.02);
        }
        y += 20;
        // The far handle (the line's second end) dragged outward stops at the bound.
        const float left = proxy->GetLeft();
        const bool vertices = tool == CmdToolLine || tool == CmdToolPolygon;
        const QPoint from = HandleAt(proxy, tool == CmdToolLine ? 1 : 3);
        Drag(from, from + QPoint(80, 0));
        EXPECT_TRUE(proxy->WithinBounds());
        EXPECT_GT(vertices ? left + proxy->GetWidth() : proxy->GetWidth(), kMaxLabelLengthMm - 0.5f);
        EXPECT_EQ(proxy->GetLeft(), left);
        // Inward, the handle on the near side follows the mouse (the far one lies beyond
        // the window's edge, where the canvas scrolled along).
        Window().HorzBar().setValue(scrolled);
        const float width = proxy->GetWidth();
        const QPoint near = HandleAt(proxy, tool == CmdToolLine ? 0 : 7);
        Drag(near, near + QPoint(40, 0));
        EXPECT_LT(proxy->GetWidth(), width - 5);
    }
    SaveAndReopen(QStringLiteral("near-the-bound.vmk"));
}

// Many letters typed in place, then the largest font: the box stops at the bound and
// the words are pressed into it.
TEST_F(EditRangeSession, LongTypedTextAtTheLargestFontStopsAtTheWidestBox)
{
    Create(CmdToolText, 10, 10);
    ASSERT_TRUE(Trigger(CmdToolEditData));
    Click(At(11, 11));
    auto* edit = qobject_cast<QLineEdit*>(View().InPlaceEditor());
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisible());
    edit->setText(QString(300, u'W'));
    Click(At(5, 60));
    ASSERT_FALSE(edit->isVisible());
    CBaseProxy* proxy = Last();
    const CTextGraph& text = TextOf(proxy);
    ASSERT_EQ(text.m_strText, QString(300, u'W'));
    ASSERT_TRUE(Trigger(CmdToolSelect));
    Click(At(11, text.GetY() + text.GetHeight() / 2));
    ASSERT_EQ(View().CurrentObject(), proxy);
    SetFontSize(QStringLiteral("1000"));
    EXPECT_FLOAT_EQ(text.m_fFontSize, 1000.0f);
    EXPECT_EQ(text.GetWidth(), kMaxLabelLengthMm);
    EXPECT_LT(text.m_fHorzScale, 1.0f);

    // Typing in place again refits the same way.
    ASSERT_TRUE(Trigger(CmdToolEditData));
    Click(At(11, text.GetY() + 5));
    ASSERT_TRUE(edit->isVisible());
    edit->setText(QString(400, u'W'));
    Click(At(5, text.GetY() + text.GetHeight() + 20));
    ASSERT_FALSE(edit->isVisible());
    EXPECT_EQ(text.GetWidth(), kMaxLabelLengthMm);

    SaveAndReopen(QStringLiteral("long.vmk"));
    ExpectUntouchedOkTaken(Last());
}

// A single-line text's font follows its box's height only up to the largest size the
// font boxes take; a taller box keeps its height.
TEST_F(EditRangeSession, AHandleDragStopsTheFontAtTheLargestSize)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* proxy = Last();
    const CTextGraph& text = TextOf(proxy);
    SetFontSize(QStringLiteral("950"));
    ASSERT_FLOAT_EQ(text.m_fFontSize, 950.0f);
    ASSERT_TRUE(Trigger(CmdZoomOut));
    ASSERT_TRUE(Trigger(CmdZoomOut));
    const float height = text.GetHeight();
    const QPoint bottom = HandleAt(proxy, 5);
    Drag(bottom, bottom + QPoint(0, 60));
    EXPECT_GT(text.GetHeight(), height * 1.1f);
    EXPECT_EQ(text.m_fFontSize, kMaxFontSize);

    SaveAndReopen(QStringLiteral("tall.vmk"));
    ASSERT_TRUE(Trigger(CmdZoomActual));
    ExpectUntouchedOkTaken(Last());
}

// Grouping turned off in the grouping dialog, from a barcode's pane and from a text's:
// the separator kept is one the file reader takes.
TEST_F(EditRangeSession, GroupingTurnedOffKeepsASeparatorTheFileHolds)
{
    Create(CmdToolBarcode, 10, 10);
    Create(CmdToolText, 10, 50);
    ASSERT_TRUE(Trigger(CmdToolSelect));
    for (CBaseProxy* proxy : {View().ObjectList()[0].get(), View().ObjectList()[1].get()}) {
        const bool barcode = proxy->GetObject()->GetKind() == KindBarcode;
        SCOPED_TRACE(barcode ? "barcode" : "text");
        const CBaseGraph& object = *proxy->GetObject();
        services.OnNextDialog([&](QDialog& d) {
            // Grouping on with the ideographic space, then off again.
            for (int pass = 0; pass < 2; ++pass) {
                services.OnNextDialog([pass](QDialog& g) {
                    Click(ctl<QCheckBox>(&g, 1151));
                    if (pass == 0)
                        ChooseItem(ctl<QComboBox>(&g, 1294), SeparatorIdeographicSpace);
                    ClickButton(&g, 1);
                });
                ClickButton(page<QWidget>(&d, barcode ? 266 : 253), 1078);
            }
            ClickButton(&d, 1);
        });
        DoubleClick(At(object.GetX() + 2, object.GetY() + 2));
        Settle();
        EXPECT_TRUE(services.dialogs.empty());
        if (barcode) {
            const CBarcodeSettings& s = *static_cast<const CBarcodeGraph&>(object).GetImpl()->GetSettings();
            EXPECT_FALSE(s.m_bGrouping);
            EXPECT_EQ(s.m_nSeparator, SeparatorIdeographicSpace);
        } else {
            EXPECT_FALSE(TextOf(proxy).m_bGrouping);
            EXPECT_EQ(TextOf(proxy).m_nSeparatorChoice, SeparatorIdeographicSpace);
        }
    }
    EXPECT_EQ(services.MessageTexts(), QStringList());
    SaveAndReopen(QStringLiteral("grouping.vmk"));
}


// ---- What the dialogs and gestures accept reads back as it was ----------------------

// The numbers a refusal names for its box: "A 到 B", "大于 0 且不超过 B", "不能大于 B".
struct NamedRange
{
    double low = -kMaxLabelLengthMm; // what a box that names only its top takes at the bottom
    double high = 0;
    bool found = false;
};

NamedRange RangeNamedBy(const QString& message)
{
    NamedRange range;
    static const QRegularExpression both(QStringLiteral("(-?[0-9.]+) 到 (-?[0-9.]+) 之间"));
    static const QRegularExpression aboveZero(QStringLiteral("大于 0 且不超过 ([0-9.]+)"));
    static const QRegularExpression upper(QStringLiteral("不(?:能)?大于 ([0-9.]+)"));
    if (const auto m = both.match(message); m.hasMatch()) {
        range = {m.captured(1).toDouble(), m.captured(2).toDouble(), true};
    } else if (const auto z = aboveZero.match(message); z.hasMatch()) {
        range = {0.01, z.captured(1).toDouble(), true};
    } else if (const auto u = upper.match(message); u.hasMatch()) {
        range.high = u.captured(1).toDouble();
        range.found = true;
    }
    return range;
}

// Brings every tab that holds the box to the front, as a user would to reach it.
void RevealBox(QWidget* box)
{
    for (QWidget* w = box; w; w = w->parentWidget())
        if (auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget()))
            if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
                tabs->setCurrentWidget(w);
}

QLineEdit* TypedPart(QWidget* box)
{
    if (auto* combo = qobject_cast<QComboBox*>(box))
        return combo->lineEdit();
    return qobject_cast<QLineEdit*>(box);
}

// Every number box a user can type into on any tab of the dialog: the number edits and
// the editable lists of numbers (angles, font sizes), those shown with their tabs only.
std::vector<QWidget*> NumberBoxesOf(QDialog& dialog)
{
    std::vector<QWidget*> boxes;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        bool number = false;
        if (auto* edit = qobject_cast<CVXUnitEdit*>(w))
            number = edit->m_nValueType == CVXUnitEdit::ValueReal || edit->m_nValueType == CVXUnitEdit::ValueInteger;
        else if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->isEditable())
            combo->currentText().toDouble(&number);
        if (!number)
            continue;
        RevealBox(w);
        if (w->isEnabled() && w->isVisibleTo(&dialog))
            boxes.push_back(w);
    }
    return boxes;
}

class DialogRangeSession : public EditRangeSession
{
protected:
    // Types into each number box of the dialog the largest (or smallest) number it takes,
    // found from the message that refuses one far beyond it, then confirms: the dialog
    // must close, also when a number the boxes take makes a symbol a label cannot hold
    // (its message names the module width to take instead).
    void FillWithExtremes(QDialog& d, bool largest)
    {
        const std::vector<QWidget*> boxes = NumberBoxesOf(d);
        EXPECT_FALSE(boxes.empty());
        for (QWidget* box : boxes) {
            SCOPED_TRACE(box->objectName().toStdString());
            RevealBox(box);
            services.messages.clear();
            RetypeText(TypedPart(box), largest ? QStringLiteral("99999999999") : QStringLiteral("-99999999999"));
            ClickButton(&d, 1);
            ASSERT_TRUE(d.isVisible());
            ASSERT_EQ(services.MessageTexts().size(), 1u);
            const NamedRange range = RangeNamedBy(services.MessageTexts()[0]);
            ASSERT_TRUE(range.found) << services.MessageTexts()[0].toStdString();
            RevealBox(box);
            RetypeText(TypedPart(box), QString::number(largest ? range.high : range.low, 'g', 10));
        }
        // Numbers each box takes can still make an object larger than a label (a symbol,
        // a picture's box, a polygon's span): the message names the box and what it
        // takes then, with the reason after the colon.
        static const QRegularExpression produced(QStringLiteral("^(.+)不能大于 ([0-9.]+)(?: mil)?："));
        static const QRegularExpression between(QStringLiteral("^(.+)必须是 (-?[0-9.]+) 到 (-?[0-9.]+) 之间的数："));
        for (int attempt = 0; attempt < 4 && d.isVisible(); ++attempt) {
            services.messages.clear();
            ClickButton(&d, 1);
            if (!d.isVisible())
                break;
            ASSERT_EQ(services.MessageTexts().size(), 1u);
            const QString told = services.MessageTexts()[0];
            const auto upper = produced.match(told);
            const auto range = between.match(told);
            ASSERT_TRUE(upper.hasMatch() || range.hasMatch()) << told.toStdString();
            const QString caption = upper.hasMatch() ? upper.captured(1) : range.captured(1);
            const QString value = upper.hasMatch() ? upper.captured(2) : range.captured(largest ? 3 : 2);
            QWidget* named = nullptr;
            for (QWidget* box : NumberBoxesOf(d))
                if (NumberBoxCaption(box) == caption)
                    named = box;
            ASSERT_NE(named, nullptr) << caption.toStdString();
            RevealBox(named);
            RetypeText(TypedPart(named), value);
        }
        EXPECT_FALSE(d.isVisible());
        services.messages.clear();
    }
};

// Each object's dialog at the largest and at the smallest number of every box: the label
// saved and opened again reads back with no message and as the same bytes.
TEST_F(DialogRangeSession, EveryObjectDialogAtItsExtremesReadsBackUnchanged)
{
    for (const bool largest : {true, false}) {
        for (const int tool : {CmdToolText, CmdToolBarcode, CmdToolLine, CmdToolRectangle, CmdToolEllipse,
                               CmdToolPolygon, CmdToolImage}) {
            SCOPED_TRACE(std::to_string(tool) + (largest ? " largest" : " smallest"));
            CreateCurrent(tool);
            bool ran = false;
            services.OnNextDialog([&](QDialog& d) {
                ran = true;
                FillWithExtremes(d, largest);
                if (d.isVisible())
                    d.reject();
            });
            ASSERT_TRUE(Trigger(CmdProperties));
            EXPECT_TRUE(ran);
            SaveAndReopen(QStringLiteral("extremes-%1-%2.vmk").arg(tool).arg(largest));
            ASSERT_TRUE(Trigger(CmdFileClose));
            NewLabel();
        }
    }
}

// Each vertex of a polygon typed in turn at the largest (smallest) number its box takes,
// the polygon's other boxes after them: the vertices together never span more than a
// label, and the label reads back as it was.
TEST_F(DialogRangeSession, PolygonVerticesAtTheirExtremesReadBackUnchanged)
{
    for (const bool largest : {true, false}) {
        SCOPED_TRACE(largest ? "largest" : "smallest");
        CBaseProxy* proxy = CreateCurrent(CmdToolPolygon);
        const auto& polygon = static_cast<const CPolygonGraph&>(*proxy->GetObject());
        ASSERT_EQ(polygon.m_points.size(), 3u);
        int edited = 0;
        services.OnNextDialog([&](QDialog& d) {
            auto* pane = page<QWidget>(&d, 242);
            auto* list = ctl<QTableWidget>(pane, 1123);
            RevealBox(list);
            for (int row = 0; row < list->rowCount(); ++row) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualItemRect(list->item(row, 0)).center());
                ASSERT_EQ(list->currentRow(), row);
                services.OnNextDialog([&](QDialog& point) {
                    FillWithExtremes(point, largest);
                    edited += !point.isVisible() && point.result() == QDialog::Accepted;
                });
                ClickButton(pane, 1078);
            }
            FillWithExtremes(d, largest);
            if (d.isVisible())
                d.reject();
        });
        ASSERT_TRUE(Trigger(CmdProperties));
        EXPECT_EQ(edited, 3);
        // The last vertex went as far as a label reaches, the others as far as the
        // polygon's span let them.
        const double far = largest ? kMaxLabelLengthMm : -kMaxLabelLengthMm;
        EXPECT_EQ(polygon.m_points.back(), QPointF(far, far));
        EXPECT_LE(polygon.GetWidth(), kMaxLabelLengthMm);
        EXPECT_LE(polygon.GetHeight(), kMaxLabelLengthMm);
        SaveAndReopen(QStringLiteral("polygon-%1.vmk").arg(largest));
        ASSERT_TRUE(Trigger(CmdFileClose));
        NewLabel();
    }
}

// A vertex that would stretch the polygon beyond a label is refused naming the numbers
// its box takes beside the other vertices; the nearest of them is taken.
TEST_F(EditRangeSession, AVertexIsBoundedByThePolygonsSpan)
{
    CBaseProxy* proxy = CreateCurrent(CmdToolPolygon);
    const auto& polygon = static_cast<const CPolygonGraph&>(*proxy->GetObject());
    // The others' nearest ends, as two decimals the span still holds.
    const double right = std::max(polygon.m_points[1].x(), polygon.m_points[2].x());
    const double lowest = std::ceil((right - kMaxLabelLengthMm) * 100) / 100;
    QString low;
    services.OnNextDialog([&](QDialog& d) {
        auto* pane = page<QWidget>(&d, 242);
        auto* list = ctl<QTableWidget>(pane, 1123);
        RevealBox(list);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0, 0)).center());
        services.OnNextDialog([&](QDialog& point) {
            auto* x = ctl<CVXUnitEdit>(&point, 1124);
            RetypeText(x, QStringLiteral("-10000"));
            ClickButton(&point, 1);
            ASSERT_TRUE(point.isVisible());
            ASSERT_EQ(services.MessageTexts().size(), 1u);
            const QString told = services.MessageTexts()[0];
            static const QRegularExpression range(
                QStringLiteral("^X必须是 (-[0-9.]+) 到 10000 之间的数：多边形的宽度不能超过 10000 毫米，请重新输入。$"));
            const auto m = range.match(told);
            ASSERT_TRUE(m.hasMatch()) << told.toStdString();
            low = m.captured(1);
            EXPECT_NEAR(low.toDouble(), lowest, 0.011);
            EXPECT_EQ(point.focusWidget(), x);
            services.messages.clear();
            RetypeText(x, QString::number(low.toDouble() - 0.01, 'f', 2));
            ClickButton(&point, 1);
            ASSERT_TRUE(point.isVisible());
            EXPECT_EQ(services.MessageTexts().size(), 1u);
            services.messages.clear();
            RetypeText(x, low);
            ClickButton(&point, 1);
            EXPECT_FALSE(point.isVisible());
        });
        ClickButton(pane, 1078);
        EXPECT_EQ(list->item(0, 0)->text(), low);
        ClickButton(&d, 1);
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(Trigger(CmdProperties));
    EXPECT_EQ(services.MessageTexts(), QStringList());
    EXPECT_FLOAT_EQ(static_cast<float>(polygon.m_points[0].x()), low.toFloat());
    EXPECT_LE(polygon.GetWidth(), kMaxLabelLengthMm);
    SaveAndReopen(QStringLiteral("vertex.vmk"));
}

// A picture drawn in the label's own proportions: its box's width at the extremes its
// boxes take (a picture's box has a size: the smallest is a hundredth), the height
// following the picture, reads back as it was.
TEST_F(DialogRangeSession, ATallPictureAtItsExtremesReadsBackUnchanged)
{
    const QString path = WritePicture(QStringLiteral("tall.png"), 10, 40, Qt::darkGreen);
    for (const bool largest : {true, false}) {
        SCOPED_TRACE(largest ? "largest" : "smallest");
        CBaseProxy* proxy = CreateCurrent(CmdToolImage);
        services.OnNextDialog([&](QDialog& d) {
            services.files = {path};
            ClickButton(page<QWidget>(&d, 246), 1078);
            FillWithExtremes(d, largest);
            if (d.isVisible())
                d.reject();
        });
        ASSERT_TRUE(Trigger(CmdProperties));
        const CBaseGraph& image = *proxy->GetObject();
        EXPECT_EQ(image.GetWidth(), largest ? 2500.0f : 0.01f);
        EXPECT_FLOAT_EQ(image.GetHeight(), largest ? kMaxLabelLengthMm : 0.04f);
        SaveAndReopen(QStringLiteral("tall-%1.vmk").arg(largest));
        ASSERT_TRUE(Trigger(CmdFileClose));
        NewLabel();
    }
}

// A box a tall picture would stretch beyond a label in its proportions is refused
// naming the widths it takes and the picture; one a hundredth within is taken.
TEST_F(EditRangeSession, AProportionalPictureIsBoundedByItsHeight)
{
    const QString path = WritePicture(QStringLiteral("tall.png"), 10, 40, Qt::darkBlue);
    CBaseProxy* proxy = CreateCurrent(CmdToolImage);
    services.OnNextDialog([&](QDialog& d) {
        services.files = {path};
        ClickButton(page<QWidget>(&d, 246), 1078);
        auto* width = Ctl<CVXUnitEdit>(&d, 233, 1079);
        RevealBox(width);
        RetypeText(width, QStringLiteral("2500.01"));
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(2);
        ClickButton(&d, 1);
        ASSERT_TRUE(d.isVisible());
        EXPECT_EQ(ctl<QTabWidget>(&d, 1117)->currentIndex(), 1);
        EXPECT_EQ(d.focusWidget(), width);
        EXPECT_EQ(services.MessageTexts(),
                  QStringList{QStringLiteral("宽度必须是 0.01 到 2500 之间的数：图片“%1”按比例缩放后高度不能超过 "
                                             "10000 毫米，请重新输入。")
                                  .arg(path)});
        services.messages.clear();
        RetypeText(width, QStringLiteral("2499.99"));
        ClickButton(&d, 1);
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(Trigger(CmdProperties));
    EXPECT_EQ(services.MessageTexts(), QStringList());
    EXPECT_FLOAT_EQ(proxy->GetObject()->GetHeight(), 2499.99f * 4);
    SaveAndReopen(QStringLiteral("proportional.vmk"));
}

// A picture's box has a size: a width or height of 0 or below is refused on its tab,
// naming the numbers the box takes, and the picture is left as it was; a positive size
// is taken.
TEST_F(EditRangeSession, APictureBoxOfNoSizeIsRefused)
{
    const QString path = WritePicture(QStringLiteral("square.png"), 20, 20, Qt::darkRed);
    CBaseProxy* proxy = CreateCurrent(CmdToolImage);
    const CBaseGraph& image = *proxy->GetObject();
    const float width = image.GetWidth(), height = image.GetHeight();
    services.OnNextDialog([&](QDialog& d) {
        services.files = {path};
        ClickButton(page<QWidget>(&d, 246), 1078);
        Click(Ctl<QRadioButton>(&d, 246, 1128)); // 调整到方框大小: both sizes as typed
        auto* tabs = ctl<QTabWidget>(&d, 1117);
        auto* widthBox = Ctl<CVXUnitEdit>(&d, 233, 1079);
        auto* heightBox = Ctl<CVXUnitEdit>(&d, 233, 1081);
        const struct
        {
            CVXUnitEdit* box;
            const char* typed;
            const char* told;
        } refused[] = {
            {widthBox, "-10", "宽度必须大于 0 且不超过 10000，请重新输入。"},
            {widthBox, "0", "宽度必须大于 0 且不超过 10000，请重新输入。"},
            {heightBox, "-0.5", "高度必须大于 0 且不超过 10000，请重新输入。"},
            {heightBox, "0", "高度必须大于 0 且不超过 10000，请重新输入。"},
        };
        for (const auto& each : refused) {
            SCOPED_TRACE(each.typed);
            tabs->setCurrentIndex(1);
            RetypeText(widthBox, QStringLiteral("12"));
            RetypeText(heightBox, QStringLiteral("8"));
            RetypeText(each.box, QString::fromUtf8(each.typed));
            tabs->setCurrentIndex(0);
            services.messages.clear();
            ClickButton(&d, 1);
            ASSERT_TRUE(d.isVisible());
            EXPECT_EQ(services.MessageTexts(), QStringList{QString::fromUtf8(each.told)});
            EXPECT_EQ(tabs->currentIndex(), 1);
            EXPECT_EQ(d.focusWidget(), each.box);
        }
        EXPECT_EQ(image.GetWidth(), width);
        EXPECT_EQ(image.GetHeight(), height);
        services.messages.clear();
        RetypeText(heightBox, QStringLiteral("0.01"));
        ClickButton(&d, 1);
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(Trigger(CmdProperties));
    EXPECT_EQ(services.MessageTexts(), QStringList());
    EXPECT_FLOAT_EQ(image.GetWidth(), 12.0f);
    EXPECT_FLOAT_EQ(image.GetHeight(), 0.01f);
    SaveAndReopen(QStringLiteral("thin.vmk"));
}

// A picture wider than a label at its own pixel size is refused in that size, naming
// the picture; in its proportions it is taken.
TEST_F(EditRangeSession, APictureWiderThanALabelIsRefusedAtItsOwnSize)
{
    const QString path = WritePicture(QStringLiteral("wide.png"), 40000, 1, Qt::darkRed);
    CBaseProxy* proxy = CreateCurrent(CmdToolImage);
    services.OnNextDialog([&](QDialog& d) {
        auto* pane = page<QWidget>(&d, 246);
        services.files = {path};
        ClickButton(pane, 1078);
        Click(ctl<QRadioButton>(pane, 1126));
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(1);
        ClickButton(&d, 1);
        ASSERT_TRUE(d.isVisible());
        EXPECT_EQ(ctl<QTabWidget>(&d, 1117)->currentIndex(), 0);
        ASSERT_EQ(services.MessageTexts().size(), 1u);
        const QString told = services.MessageTexts()[0];
        EXPECT_TRUE(told.startsWith(QStringLiteral("图片“%1”按原始大小宽 ").arg(path))) << told.toStdString();
        EXPECT_TRUE(told.endsWith(QStringLiteral("毫米，宽度和高度不能超过 10000 毫米：请选择“按比例缩放”或“调整到方框大小”。")))
            << told.toStdString();
        services.messages.clear();
        Click(ctl<QRadioButton>(pane, 1127));
        ClickButton(&d, 1);
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(Trigger(CmdProperties));
    EXPECT_EQ(services.MessageTexts(), QStringList());
    EXPECT_LT(proxy->GetObject()->GetHeight(), 0.01f);
    SaveAndReopen(QStringLiteral("wide.vmk"));
}

// The label settings sheet at the largest and the smallest number of each box in turn
// (all at once no page holds its labels, which the sheet refuses as such).
TEST_F(DialogRangeSession, TheLabelSettingsSheetAtItsExtremesReadsBackUnchanged)
{
    int boxes = 1, accepted = 0;
    for (int index = 0; index < boxes; ++index) {
        for (const bool largest : {true, false}) {
            SCOPED_TRACE(std::to_string(index) + (largest ? " largest" : " smallest"));
            bool closed = false;
            services.OnNextDialog([&](QDialog& d) {
                const std::vector<QWidget*> all = NumberBoxesOf(d);
                boxes = int(all.size());
                ASSERT_LT(index, boxes);
                QWidget* box = all[size_t(index)];
                RevealBox(box);
                RetypeText(TypedPart(box), largest ? QStringLiteral("99999999999") : QStringLiteral("-99999999999"));
                ClickButton(&d, 1);
                ASSERT_TRUE(d.isVisible());
                ASSERT_EQ(services.MessageTexts().size(), 1u);
                const NamedRange range = RangeNamedBy(services.MessageTexts()[0]);
                ASSERT_TRUE(range.found) << services.MessageTexts()[0].toStdString();
                services.messages.clear();
                RevealBox(box);
                RetypeText(TypedPart(box), QString::number(largest ? range.high : range.low, 'g', 10));
                ClickButton(&d, 1);
                closed = !d.isVisible();
                if (!closed) {
                    // Only a layout no page holds is refused then, never the number itself.
                    EXPECT_EQ(services.MessageTexts(),
                              QStringList{QStringLiteral("请调整设置以消除预览中提示的错误!")});
                    d.reject();
                }
                services.messages.clear();
            });
            ASSERT_TRUE(Trigger(CmdLabelSettings));
            if (closed) {
                ++accepted;
                SaveAndReopen(QStringLiteral("sheet.vmk")); // saved again where it was opened from
            }
        }
    }
    EXPECT_GT(boxes, 15);
    EXPECT_GT(accepted, boxes);
}

// A module width the box takes but whose symbol would be wider than a label is refused
// naming the box and the widest it takes for this content; that one is taken, and the
// label reads back as it was.
TEST_F(EditRangeSession, AModuleWidthIsBoundedByTheSymbolItMakes)
{
    Create(CmdToolBarcode, 10, 10);
    ASSERT_TRUE(Trigger(CmdToolSelect));
    CBaseProxy* proxy = Last();
    const auto& barcode = static_cast<const CBarcodeGraph&>(*proxy->GetObject());
    QString largest;
    services.OnNextDialog([&](QDialog& d) {
        auto* pane = static_cast<CBarcodeEdtPane*>(page<QWidget>(&d, 266));
        ChooseItem(pane->m_symbology, pane->m_symbology->findData(int(SymbologyCode128)));
        CVXUnitEdit* module = pane->CurrentOptionPane()->m_moduleWidth;
        RetypeText(module, QStringLiteral("10000"));
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(3);
        ClickButton(&d, 1);
        ASSERT_TRUE(d.isVisible());
        EXPECT_EQ(ctl<QTabWidget>(&d, 1117)->currentIndex(), 0);
        ASSERT_EQ(services.MessageTexts().size(), 1u);
        static const QRegularExpression told(
            QStringLiteral("^窄单元X不能大于 ([0-9.]+) mil：这个条码的宽度不能超过 10000 毫米，请重新输入。$"));
        const auto m = told.match(services.MessageTexts()[0]);
        ASSERT_TRUE(m.hasMatch()) << services.MessageTexts()[0].toStdString();
        largest = m.captured(1);
        services.messages.clear();
        // A mil more is still refused; the width named is taken.
        RetypeText(module, QString::number(largest.toDouble() + 1, 'f', 3));
        ClickButton(&d, 1);
        ASSERT_TRUE(d.isVisible());
        EXPECT_EQ(services.MessageTexts().size(), 1u);
        services.messages.clear();
        RetypeText(module, largest);
        ClickButton(&d, 1);
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(Trigger(CmdProperties));
    EXPECT_EQ(services.MessageTexts(), QStringList());
    ASSERT_EQ(barcode.GetImpl()->GetSettings()->m_nSymbology, SymbologyCode128);
    EXPECT_FLOAT_EQ(barcode.GetImpl()->GetSettings()->m_fModuleWidth, largest.toFloat());
    EXPECT_LE(barcode.GetWidth(), kMaxLabelLengthMm);
    EXPECT_GT(barcode.GetWidth(), kMaxLabelLengthMm * 0.999f);
    SaveAndReopen(QStringLiteral("widest.vmk"));
}

// A barcode dragged wider than a label can be stops at the widest symbol.
TEST_F(EditRangeSession, ABarcodeDraggedBeyondTheWidestSymbolStopsThere)
{
    Create(CmdToolBarcode, 10, 10);
    ASSERT_TRUE(Trigger(CmdToolSelect));
    CBaseProxy* proxy = Last();
    const CBaseGraph& barcode = *proxy->GetObject();
    View().SelectObject(proxy);
    const QPoint right = HandleAt(proxy, 3);
    Drag(right, right + QPoint(60000, 0), 4);
    Settle();
    EXPECT_GT(barcode.GetWidth(), kMaxLabelLengthMm * 0.99f);
    EXPECT_LE(barcode.GetWidth(), kMaxLabelLengthMm);
    SaveAndReopen(QStringLiteral("dragged.vmk"));
}

// A number refused in a box that is then disabled (圆角半径 once the label is a plain
// rectangle) is not stored by OK: the radius stays as it was.
TEST_F(EditRangeSession, ARefusedRadiusLeftInADisabledBoxIsNotStored)
{
    const float radius = Window().LabelData().m_fCornerRadius;
    services.OnNextDialog([&](QDialog& d) {
        auto* round = d.findChild<QRadioButton*>(QStringLiteral("ctl_1016"));
        auto* plain = d.findChild<QRadioButton*>(QStringLiteral("ctl_1015"));
        ASSERT_TRUE(round && plain);
        RevealBox(round);
        Click(round);
        auto* box = d.findChild<CVXUnitEdit*>(QStringLiteral("ctl_1023"));
        ASSERT_TRUE(box && box->isEnabled());
        RetypeText(box, QStringLiteral("99999"));
        ClickButton(&d, 1);
        ASSERT_TRUE(d.isVisible());
        EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("圆角半径必须是 0 到 10000 之间的数，请重新输入。")});
        services.messages.clear();
        RevealBox(plain);
        Click(plain);
        EXPECT_FALSE(box->isEnabled());
        ClickButton(&d, 1);
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(Trigger(CmdLabelSettings));
    EXPECT_EQ(services.MessageTexts(), QStringList());
    EXPECT_EQ(Window().LabelData().m_nShape, ShapeRectangle);
    EXPECT_EQ(Window().LabelData().m_fCornerRadius, radius);
    SaveAndReopen(QStringLiteral("radius.vmk"));
}

} // namespace
