// Long runs of what a user does to a label, mixed as a user mixes them: draw, pick,
// drag, copy-drag, nudge, size and turn by the handles, arrange, format, type in place,
// copy, cut, paste, delete, undo and redo, keys pressed in the middle of a drag. After
// every step the label as it would be written is kept by the length of the history;
// every undo must bring back exactly the label of that length, redo must bring back
// the end, and a saved and reopened file must hold it too.
#include "SessionTestSupport.h"
#include "app/Ctl.h"
#include "UiTestSupport.h"
#include "model/DocLoader.h"
#include "model/DocWriter.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>
#include <map>
#include <optional>
#include <random>

namespace {

class EditorSequenceTest : public SessionTest, public ::testing::WithParamInterface<unsigned>
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        settings.m_bContinueCreating = false;
    }
    void TearDown() override
    {
        settings.m_bContinueCreating = continueCreating;
        settings.m_bInstantMoving = instant[0];
        settings.m_bInstantSizing = instant[1];
        settings.m_bInstantRotating = instant[2];
        SessionTest::TearDown();
    }

    size_t Steps() { return View().UndoManager().UndoCount(); }
    // The objects of a stored label in words, to tell two labels apart.
    std::string Describe(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath("described.vmk");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return "?";
        file.close();
        CLabelData label;
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = &label;
        loader.LoadDocument();
        std::string out;
        for (const auto& object : label.m_objects)
            out += QString::asprintf("\n  kind %d %s x %.3f y %.3f w %.3f h %.3f angle %.1f lock %d", object->GetKind(),
                                     qPrintable(object->m_strName), object->GetX(), object->GetY(), object->GetWidth(),
                                     object->GetHeight(), object->m_fAngle, int(object->m_bLocked))
                       .toStdString();
        return out;
    }
    // Two stored labels are the same, or the difference is shown.
    void ExpectSame(const QByteArray& now, const QByteArray& expected, const std::string& when)
    {
        qsizetype at = 0;
        while (at < now.size() && at < expected.size() && now[at] == expected[at])
            ++at;
        if (now != expected)
            ADD_FAILURE() << when << ": the label differs from byte " << at << " of " << expected.size() << " ("
                          << now.mid(at, 24).toHex().toStdString() << " for " << expected.mid(at, 24).toHex().toStdString()
                          << ")\nnow:" << Describe(now) << "\nexpected:" << Describe(expected);
    }

    // A client point where the object is the topmost one hit, if any.
    std::optional<QPoint> PointOn(const CBaseProxy* proxy)
    {
        View().Render();
        const CanvasMapping m = View().Mapping();
        for (int y = 0; y < View().height(); y += 3)
            for (int x = 0; x < View().width(); x += 3) {
                const QPoint label = m.ToLabel(QPoint(x, y));
                const CBaseProxy* top = nullptr;
                for (auto it = View().ObjectList().rbegin(); it != View().ObjectList().rend(); ++it)
                    if ((*it)->HitTestBody(label)) {
                        top = it->get();
                        break;
                    }
                if (top == proxy)
                    return QPoint(x, y);
            }
        return std::nullopt;
    }
    CBaseProxy* AnyObject()
    {
        auto& list = View().ObjectList();
        return list.empty() ? nullptr : list[Pick(list.size())].get();
    }
    CBaseProxy* AnyText()
    {
        std::vector<CBaseProxy*> texts;
        for (const auto& proxy : View().ObjectList())
            if (proxy->GetObject()->GetKind() == KindText)
                texts.push_back(proxy.get());
        return texts.empty() ? nullptr : texts[Pick(texts.size())];
    }
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); }
    float Between(float a, float b) { return std::uniform_real_distribution<float>(a, b)(random); }

    // One user step; its name goes into the trace.
    std::string Step()
    {
        static const int tools[] = {CmdToolBarcode, CmdToolText,    CmdToolLine,  CmdToolRectangle,
                                    CmdToolEllipse, CmdToolPolygon, CmdToolImage};
        static const int arrange[] = {CmdAlignLeft,     CmdAlignTop,       CmdAlignRight,     CmdAlignBottom,
                                      CmdCentreOnPageH, CmdCentreOnPageV,  CmdAlignCentresH,  CmdAlignCentresV,
                                      CmdDistributeH,   CmdDistributeV,    CmdSameWidth,      CmdSameHeight,
                                      CmdSameSize,      CmdRotateRight90,  CmdRotateRight1,   CmdRotateLeft90,
                                      CmdRotateNone,    CmdBringToFront,   CmdSendToBack,     CmdSendBackward,
                                      CmdBringForward,  CmdLock,           CmdUnlock,         CmdBold,
                                      CmdItalic,        CmdUnderline,      CmdTextAlignRight, CmdExcludeFromPrint};
        switch (View().ObjectList().size() < 3 ? 0 : Pick(15)) {
        case 0: {
            const int tool = tools[Pick(std::size(tools))];
            Create(tool, Between(3, 60), Between(3, 35));
            return "create " + std::to_string(tool);
        }
        case 1: {
            CBaseProxy* target = AnyObject();
            if (const auto at = PointOn(target)) {
                QTest::mouseClick(&View(), Qt::LeftButton, Pick(2) ? Qt::KeyboardModifiers() : Qt::ShiftModifier, *at);
                return "click";
            }
            return "click (hidden)";
        }
        case 2: {
            Drag(At(Between(-8, 40), Between(-8, 20)), At(Between(45, 95), Between(25, 55)));
            return "rubber band";
        }
        case 3: {
            CBaseProxy* target = AnyObject();
            const auto at = PointOn(target);
            if (!at)
                return "drag (hidden)";
            // Now and then past the window's edge, which scrolls the canvas on the way.
            const float reach = Pick(4) == 0 ? 700.0f : 40.0f;
            const QPoint by(static_cast<int>(Between(-reach, reach)), static_cast<int>(Between(-reach, reach)));
            const bool copy = Pick(3) == 0;
            const Qt::KeyboardModifiers mods = copy ? Qt::ControlModifier : Qt::KeyboardModifiers();
            QTest::mousePress(&View(), Qt::LeftButton, mods, *at);
            QTest::mouseMove(&View(), *at + by / 2);
            QTest::mouseMove(&View(), *at + by);
            QTest::mouseRelease(&View(), Qt::LeftButton, mods, *at + by);
            return copy ? "copy drag" : "drag";
        }
        case 4: {
            static const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
            QTest::keyClick(&View(), keys[Pick(4)]);
            return "nudge";
        }
        case 5: {
            const int id = arrange[Pick(std::size(arrange))];
            return Trigger(id) ? "command " + std::to_string(id) : "command (off) " + std::to_string(id);
        }
        case 6: return Trigger(CmdEditCopy) && Trigger(CmdEditPaste) ? "copy, paste" : "copy (off)";
        case 7: return Trigger(CmdEditPaste) ? "paste" : "paste (off)";
        case 8: return Trigger(CmdEditCut) ? "cut" : "cut (off)";
        case 9: return Trigger(CmdEditDelete) ? "delete" : "delete (off)";
        case 10: {
            CBaseProxy* text = AnyText();
            const auto at = text ? PointOn(text) : std::nullopt;
            if (!at)
                return "type (no text)";
            EXPECT_TRUE(Trigger(CmdToolEditData));
            QTest::mouseClick(&View(), Qt::LeftButton, {}, *at);
            if (auto* edit = qobject_cast<QLineEdit*>(View().InPlaceEditor()); edit && edit->isVisible()) {
                edit->selectAll();
                TypeText(edit, QStringLiteral("字%1").arg(Pick(1000)));
            }
            // The next step commits it, whatever it is.
            EXPECT_TRUE(Trigger(CmdToolSelect));
            return "type in place";
        }
        case 11: {
            std::string done = "undo";
            for (size_t n = 1 + Pick(3); n > 0 && Trigger(CmdEditUndo); --n)
                done += " +";
            return done;
        }
        case 13: {
            // A handle of a selected object dragged, with the select or the rotate tool.
            const ProxySelection& selection = View().GetSelection();
            if (selection.empty())
                return "handle (nothing selected)";
            const bool rotate = Pick(3) == 0;
            EXPECT_TRUE(Trigger(rotate ? CmdToolRotate : CmdToolSelect));
            View().Render();
            CBaseProxy* proxy = selection[Pick(selection.size())];
            const int handle = static_cast<int>(Pick(8));
            if (!proxy->IsHandleEnabled(handle)) {
                EXPECT_TRUE(Trigger(CmdToolSelect));
                return "handle (off)";
            }
            const CanvasMapping m = View().Mapping();
            const QPoint at = proxy->GetHandleRect(handle).center() + m.ZoomedMargin() -
                              QPoint(static_cast<int>(m.scrollX), static_cast<int>(m.scrollY));
            const QPoint by(static_cast<int>(Between(-30, 30)), static_cast<int>(Between(-30, 30)));
            QTest::mousePress(&View(), Qt::LeftButton, {}, at);
            QTest::mouseMove(&View(), at + by / 2);
            QTest::mouseMove(&View(), at + by);
            QTest::mouseRelease(&View(), Qt::LeftButton, {}, at + by);
            EXPECT_TRUE(Trigger(CmdToolSelect));
            return (rotate ? "rotate by handle " : "size by handle ") + std::to_string(handle);
        }
        case 14: {
            // A key pressed while the button is still down: the gesture ends first.
            static const int keys[] = {CmdEditUndo, CmdEditRedo, CmdEditDelete, CmdEditSelectAll, CmdEditPaste,
                                       CmdEditCut,  CmdToolText, CmdAlignLeft,  CmdBringToFront,  CmdSameSize};
            const int command = keys[Pick(std::size(keys))];
            QPoint at = At(Between(-5, 80), Between(-5, 45));
            const bool polygon = Pick(4) == 0;
            if (polygon) {
                EXPECT_TRUE(Trigger(CmdToolPolygon));
                Click(at);
                Click(at + QPoint(30, 5));
            } else if (CBaseProxy* target = AnyObject(); target && Pick(2)) {
                at = PointOn(target).value_or(at);
            }
            const QPoint by(static_cast<int>(Between(-30, 30)), static_cast<int>(Between(-30, 30)));
            if (!polygon)
                QTest::mousePress(&View(), Qt::LeftButton, {}, at);
            QTest::mouseMove(&View(), at + by);
            const bool ran = Trigger(command);
            QTest::mouseMove(&View(), at + by * 2);
            if (!polygon)
                QTest::mouseRelease(&View(), Qt::LeftButton, {}, at + by * 2);
            else
                DoubleClick(at + by * 2);
            if (View().EditStatus().m_nTool != ToolSelect) {
                EXPECT_TRUE(Trigger(CmdToolSelect));
            }
            return std::string(polygon ? "polygon" : "gesture") + " interrupted by " + std::to_string(command) +
                   (ran ? "" : " (off)");
        }
        default: {
            std::string done = "redo";
            for (size_t n = 1 + Pick(2); n > 0 && Trigger(CmdEditRedo); --n)
                done += " +";
            return done;
        }
        }
    }

    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    bool continueCreating = settings.m_bContinueCreating;
    bool instant[3] = {settings.m_bInstantMoving, settings.m_bInstantSizing, settings.m_bInstantRotating};
    std::mt19937 random;
};

TEST_P(EditorSequenceTest, EveryUndoBringsBackItsLabelAndTheEndSurvivesSaveAndReopen)
{
    random.seed(GetParam());
    // Half the runs change the objects while the mouse moves, as the options allow.
    settings.m_bInstantMoving = settings.m_bInstantSizing = settings.m_bInstantRotating = GetParam() % 2 == 0;
    // Some runs draw zoomed in or out.
    if (GetParam() % 4 == 1) {
        ASSERT_TRUE(Trigger(CmdZoomIn));
    } else if (GetParam() % 4 == 3) {
        ASSERT_TRUE(Trigger(CmdZoomOut));
    }
    // A third of the runs snap to a grid of 1.5 mm, set in the view options.
    if (GetParam() % 3 == 0) {
        services.OnNextDialog([](QDialog& dialog) {
            ctl<QCheckBox>(&dialog, 1004)->setChecked(true);
            RetypeText(ctl<QLineEdit>(&dialog, 1079), QStringLiteral("1.5"));
            dialog.accept();
        });
        ASSERT_TRUE(Trigger(CmdViewOptions));
        ASSERT_TRUE(Window().LabelData().m_bSnapToGrid);
        // The grid is saved with the label: saved now, the walk starts from a clean one.
        services.files = {m_dir.filePath("walk.vmk")};
        ASSERT_TRUE(Trigger(CmdFileSave));
        ASSERT_FALSE(Window().IsModified());
    }
    std::map<size_t, QByteArray> labels;
    labels[Steps()] = LabelBytes();
    std::string trace;
    for (int i = 0; i < 40 && !HasFailure(); ++i) {
        const size_t before = Steps();
        const std::string step = Step();
        trace += std::to_string(i) + ": " + step + "\n";
        SCOPED_TRACE(trace);
        // No gesture leaves a size or place that is not a number.
        for (const auto& proxy : View().ObjectList()) {
            const CBaseGraph& o = *proxy->GetObject();
            EXPECT_TRUE(std::isfinite(o.GetX() + o.GetY() + o.GetWidth() + o.GetHeight() + o.m_fAngle))
                << o.m_strName.toStdString();
        }
        const QByteArray now = LabelBytes();
        const size_t steps = Steps();
        // An undo or redo lands on a label already seen at that length.
        if (step.rfind("undo", 0) == 0 || step.rfind("redo", 0) == 0) {
            if (labels.count(steps))
                ExpectSame(now, labels[steps], "after " + step);
        } else if (steps != before || step.find("interrupted") != std::string::npos) {
            // A new history above: what was kept for longer ones is gone with the redo
            // list, and a step that made two records leaves the one between unseen.
            labels.erase(labels.upper_bound(std::min(before, steps)), labels.end());
        }
        labels[steps] = now;
        // Undo is off exactly when nothing can be undone.
        EXPECT_EQ(Enabled(CmdEditUndo), steps > 0);
        EXPECT_LT(steps, 50u) << "the walk outgrew the history";
    }
    SCOPED_TRACE(trace);
    // What was undone last is brought back first, each step as it was.
    while (Trigger(CmdEditRedo))
        if (labels.count(Steps()))
            ExpectSame(LabelBytes(), labels[Steps()], "redone to " + std::to_string(Steps()));
    const QByteArray end = LabelBytes();
    const size_t endSteps = Steps();

    // All the way back, one step at a time, each matching what was there.
    while (Trigger(CmdEditUndo)) {
        const size_t steps = Steps();
        if (labels.count(steps))
            ExpectSame(LabelBytes(), labels[steps], "undone to " + std::to_string(steps));
    }
    ExpectSame(LabelBytes(), labels.begin()->second, "all undone");
    EXPECT_FALSE(Window().IsModified());
    while (Trigger(CmdEditRedo)) {
    }
    EXPECT_EQ(Steps(), endSteps);
    ExpectSame(LabelBytes(), end, "all redone");

    // Saved, closed and opened again: the same label.
    const QString path = m_dir.filePath("walk.vmk");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    ASSERT_TRUE(Trigger(CmdFileClose));
    ASSERT_TRUE(frame->LabelWindows().isEmpty());
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileOpen));
    ASSERT_NE(frame->ActiveLabelWindow(), nullptr);
    ExpectSame(LabelBytes(), end, "reopened");
    EXPECT_FALSE(Window().IsModified());
}

INSTANTIATE_TEST_SUITE_P(Seeds, EditorSequenceTest, ::testing::Range(1u, 25u));

} // namespace
