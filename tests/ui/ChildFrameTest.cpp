// The label document window: zoom, fit, recentre, scrolling and the wheel, the
// rulers, and saving and closing through the services.
#include "FakeServices.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "editor/EditStatus.h"
#include "editor/ObjectClipboard.h"
#include "app/Ctl.h"
#include "editor/Ruler.h"
#include "model/DocLoader.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class ChildFrameTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        auto label = std::make_unique<CLabelData>();
        label->m_fLabelWidth = 100;
        label->m_fLabelHeight = 50;
        label->m_strTitle = QStringLiteral("新建标签1.vmk");
        auto shape = std::make_unique<CRectangleGraph>();
        label->m_objects.push_back(std::move(shape));
        frame = std::make_unique<CChildFrame>(std::move(label), nullptr);
        frame->setAttribute(Qt::WA_DeleteOnClose, false); // the test owns it
        frame->resize(824, 624);
        frame->show();
    }

    int CanvasWidth() const { return frame->View().width(); }
    void Wheel(int delta)
    {
        QWheelEvent event(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(frame.get(), &event);
    }
    QString ZoomText() const { return frame->ZoomCombo().currentText(); }

    FakeServices services;
    QTemporaryDir dir;
    std::unique_ptr<CChildFrame> frame;
};

TEST_F(ChildFrameTest, ObjectsMoveToTheCanvasAndTheLayoutLeavesRoomForRulersAndBars)
{
    EXPECT_TRUE(frame->LabelData().m_objects.empty());
    EXPECT_EQ(frame->View().ObjectList().size(), 1u);
    EXPECT_EQ(frame->View().geometry().topLeft(), QPoint(24, 24));
    EXPECT_EQ(frame->HorzRuler().geometry(), QRect(24, 0, 800, 24));
    EXPECT_EQ(frame->windowTitle(), "新建标签1.vmk");
    EXPECT_EQ(frame->ZoomCombo().count(), 11);
    EXPECT_EQ(ZoomText(), "100 %");
}

TEST_F(ChildFrameTest, ZoomIsClampedAndShownAsPercent)
{
    const struct {
        float zoom;
        float applied;
        const char* text;
    } cases[] = {
        {7.0f, 5.0f, "500 %"}, {0.1f, 0.2f, "20 %"}, {1.25f, 1.25f, "125 %"},
        {0.375f, 0.375f, "37.5 %"}, {2.0f, 2.0f, "200 %"},
    };
    for (const auto& c : cases) {
        frame->SetZoom(c.zoom);
        EXPECT_FLOAT_EQ(frame->Zoom(), c.applied) << c.zoom;
        EXPECT_FLOAT_EQ(frame->View().Zoom(), c.applied);
        EXPECT_FLOAT_EQ(frame->HorzRuler().Zoom(), c.applied);
        EXPECT_EQ(ZoomText(), c.text);
        EXPECT_EQ(frame->HorzBar().maximum(), int(1500 * 96 / 25.4 * c.applied));
    }
}

TEST_F(ChildFrameTest, ZoomKeepsTheLabelCentreInPlace)
{
    frame->RecenterLabel();
    const double centreX = 944.88 + 100 * 96 / 25.4 / 2;
    EXPECT_NEAR(frame->HorzBar().value() + CanvasWidth() / 2, centreX, 1.0);
    frame->SetZoom(2.0f);
    EXPECT_NEAR(frame->HorzBar().value() + CanvasWidth() / 2, centreX * 2, 2.0);
    EXPECT_EQ(frame->HorzRuler().ScrollPos(), frame->HorzBar().value());
    EXPECT_FLOAT_EQ(frame->View().ScrollX(), frame->HorzBar().value());
}

TEST_F(ChildFrameTest, DefaultZoomComesFromTheSettingsWithinItsLimits)
{
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    const float saved = settings.m_fDefScale;
    settings.m_fDefScale = 9.0f;
    frame->ApplyDefaultZoom();
    EXPECT_FLOAT_EQ(frame->Zoom(), 5.0f);
    settings.m_fDefScale = saved;
}

TEST_F(ChildFrameTest, FitCentresTheLabelAndRefitsOnResizeUntilAZoomCommand)
{
    frame->FitToWindow();
    const float fitted = frame->Zoom();
    const QSizeF label = LabelPixelSize(frame->LabelData());
    EXPECT_NEAR(fitted, (CanvasWidth() - 4) / label.width(), 1e-4);
    const int ox = CanvasLabelOrigin(96, fitted, frame->View().ScrollX());
    EXPECT_NEAR(ox + label.width() * fitted / 2, CanvasWidth() / 2.0, 1.0);

    frame->resize(624, 624);
    EXPECT_LT(frame->Zoom(), fitted);
    frame->HandleCommand(30302); // actual size leaves fit mode
    EXPECT_FALSE(frame->IsFitToWindow());
    const int position = frame->HorzBar().value();
    frame->resize(700, 600);
    EXPECT_FLOAT_EQ(frame->Zoom(), 1.0f);
    EXPECT_EQ(frame->HorzBar().value(), position);
    EXPECT_EQ(frame->HorzBar().pageStep(), CanvasWidth());
}

TEST_F(ChildFrameTest, ALabelOfNoSizeFitsAtTheLargestZoom)
{
    frame->LabelData().m_nPageWidthFlag = 1;
    frame->FitToWindow();
    EXPECT_FLOAT_EQ(frame->Zoom(), 5.0f);
    frame->RecenterLabel();
    EXPECT_EQ(frame->HorzBar().value(), int(944.88189f * 5.0f) - CanvasWidth() / 2);
}

TEST_F(ChildFrameTest, WheelScrollsOnlyWholeNotches)
{
    frame->VertBar().setValue(800);
    for (const auto& [delta, expected] : {std::pair{240, 800}, {60, 800}, {120, 720}, {-120, 800}}) {
        Wheel(delta);
        EXPECT_EQ(frame->VertBar().value(), expected) << delta;
        EXPECT_FLOAT_EQ(frame->View().ScrollY(), expected);
        EXPECT_EQ(frame->VertRuler().ScrollPos(), expected);
    }
}

TEST_F(ChildFrameTest, ScrollingReachesTheMaximumAndRaisesTheFindLabelStrip)
{
    QScrollBar& bar = frame->HorzBar();
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar.value(), 40);
    bar.setValue(bar.maximum());
    EXPECT_EQ(frame->View().ScrollX(), bar.maximum());
    EXPECT_FALSE(frame->IsLabelVisible());
    EXPECT_TRUE(frame->HorzRuler().FindLabelShown());

    // Pressing the strip and releasing it outside does nothing; inside, it recentres.
    CHorzRuler& ruler = frame->HorzRuler();
    const QPoint strip(ruler.width() - 40, 12);
    QTest::mousePress(&ruler, Qt::LeftButton, {}, strip);
    QTest::mouseRelease(&ruler, Qt::LeftButton, {}, QPoint(10, 12));
    EXPECT_FALSE(frame->IsLabelVisible());
    QTest::mousePress(&ruler, Qt::LeftButton, {}, strip);
    QTest::mouseRelease(&ruler, Qt::LeftButton, {}, strip);
    EXPECT_TRUE(frame->IsLabelVisible());
    EXPECT_FALSE(ruler.FindLabelShown());
}

TEST_F(ChildFrameTest, ZoomComboEntriesSetTheZoomAndLeaveFitMode)
{
    frame->FitToWindow();
    frame->ZoomCombo().setCurrentIndex(3);
    Q_EMIT frame->ZoomCombo().activated(3);
    EXPECT_FLOAT_EQ(frame->Zoom(), 1.5f);
    EXPECT_TRUE(frame->IsFitToWindow()); // the combo leaves the flag as it is
}

TEST_F(ChildFrameTest, RulerTicksFollowTheZoomBands)
{
    auto ticks = RulerTicks(1.0f, 944, 400, 96);
    ASSERT_FALSE(ticks.empty());
    // The label's left edge is 0 and stands where the label starts on the canvas.
    const auto zero = std::find_if(ticks.begin(), ticks.end(), [](const RulerTick& t) { return t.millimetres == 0; });
    ASSERT_NE(zero, ticks.end());
    EXPECT_EQ(zero->position, 0);
    EXPECT_TRUE(zero->numbered);
    EXPECT_EQ(zero->depth, 10);
    EXPECT_EQ((zero + 1)->millimetres, 1);
    EXPECT_EQ((zero + 5)->depth, 14);
    EXPECT_EQ((zero + 1)->depth, 18);

    ticks = RulerTicks(0.75f, 0, 2000, 96);
    EXPECT_EQ(ticks.front().millimetres, -250);
    EXPECT_EQ(ticks[1].millimetres - ticks[0].millimetres, 2);
    EXPECT_FALSE(ticks[1].numbered);
    EXPECT_TRUE(ticks[5].numbered); // -240
    ticks = RulerTicks(0.7f, 0, 2000, 96);
    EXPECT_EQ(ticks[1].millimetres - ticks[0].millimetres, 10);
    EXPECT_TRUE(ticks[0].numbered);  // -250
    EXPECT_FALSE(ticks[1].numbered); // -240
    EXPECT_EQ(ticks[1].depth, 18);

    // Numbered as far as the canvas reaches, either way: far past the old end, and left
    // of the margin where objects far out on that side take the canvas.
    const auto numbers = [](const std::vector<RulerTick>& ticks) {
        std::vector<int> shown;
        for (const RulerTick& t : ticks)
            if (t.numbered)
                shown.push_back(t.millimetres);
        return shown;
    };
    const int far = static_cast<int>(std::floor((250 + 9900) * 96 / 25.4 * 0.2));
    ticks = RulerTicks(0.2f, far, 400, 96); // 400 pixels: 529 mm
    EXPECT_EQ(numbers(ticks), (std::vector<int>{9900, 9950, 10000, 10050, 10100, 10150, 10200, 10250, 10300,
                                                10350, 10400}));
    EXPECT_EQ(ticks.front().position, 0);
    const int left = static_cast<int>(std::floor((250 - 4010) * 96 / 25.4));
    ticks = RulerTicks(1.0f, left, 100, 96);
    EXPECT_EQ(ticks.front().millimetres, -4010);
    EXPECT_EQ(ticks.front().position, 0);
    EXPECT_EQ(numbers(ticks), (std::vector<int>{-4010, -4000, -3990}));
    const auto minus3995 = std::find_if(ticks.begin(), ticks.end(), [](const RulerTick& t) { return t.millimetres == -3995; });
    ASSERT_NE(minus3995, ticks.end());
    EXPECT_EQ(minus3995->depth, 14);
}

TEST_F(ChildFrameTest, RulerMarkerFollowsTheMouseAndAGuideIsPulledOutOnce)
{
    QTest::mouseMove(&frame->View(), QPoint(123, 45));
    EXPECT_EQ(frame->HorzRuler().Marker(), 123);
    EXPECT_EQ(frame->VertRuler().Marker(), 45);

    CHorzRuler& ruler = frame->HorzRuler();
    QSignalSpy begun(&ruler, &CRuler::beginGuideDrag);
    QTest::mousePress(&ruler, Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mouseMove(&ruler, QPoint(200, 20)); // along the ruler: nothing
    EXPECT_EQ(begun.count(), 0);
    QTest::mouseMove(&ruler, QPoint(200, 60));
    QTest::mouseMove(&ruler, QPoint(200, 80));
    EXPECT_EQ(begun.count(), 1);
    QTest::mouseRelease(&ruler, Qt::LeftButton, {}, QPoint(200, 80));
    ASSERT_EQ(frame->View().Guides().size(), 1u);
    EXPECT_EQ(frame->View().Guides()[0]->m_nOrientation, 1);
    EXPECT_EQ(CanvasGuidePixels(frame->View().Guides()[0]->m_fPosition, 96, frame->Zoom(),
                                frame->View().ScrollY()),
              80 - 24 - 1);
    EXPECT_FALSE(frame->EditStatus().m_bGuideDrag);
}

TEST_F(ChildFrameTest, SavingANewLabelAsksForAPathOnce)
{
    const QString path = dir.filePath("first");
    services.files = {path};
    frame->View().SetModified(true);
    EXPECT_EQ(frame->windowTitle(), "新建标签1.vmk *");
    EXPECT_TRUE(frame->SaveLabel());
    EXPECT_EQ(frame->LabelData().m_strFilePath, path + ".vmk");
    EXPECT_EQ(frame->windowTitle(), "first.vmk");
    EXPECT_FALSE(frame->IsModified());
    EXPECT_TRUE(frame->LabelData().m_objects.empty());
    EXPECT_EQ(frame->View().ObjectList().size(), 1u);

    CLabelData reread;
    CDocLoader loader;
    loader.m_strPath = path + ".vmk";
    loader.m_pLabelData = &reread;
    loader.LoadDocument();
    EXPECT_EQ(reread.m_objects.size(), 1u);

    EXPECT_TRUE(frame->SaveLabel()); // no second dialog: the queue is empty
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(ChildFrameTest, SaveAsCancelledChangesNothing)
{
    EXPECT_FALSE(frame->SaveLabelAs());
    EXPECT_TRUE(frame->LabelData().m_strFilePath.isEmpty());
    EXPECT_EQ(frame->LabelData().m_strTitle, "新建标签1.vmk");
}

TEST_F(ChildFrameTest, ClosingAsksOnlyWhenModifiedAndKeepsTheWindowWhenTheSaveDoesNotHappen)
{
    // Yes, then a cancelled save dialog: the window stays.
    frame->View().SetModified(true);
    services.answers = {IDYES};
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "是否保存对标签文件 新建标签1.vmk 的修改？");
    EXPECT_EQ(services.messages[0].buttons, MessageButtons::YesNoCancel);

    // A failed write: reported, still modified, still open.
    services.answers = {IDYES};
    services.files = {dir.filePath("missing/folder/a.vmk")};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(services.messages.size(), 3u);
    EXPECT_TRUE(services.messages[2].text.startsWith(
        QStringLiteral("无法创建文件“%1”。\n详细信息：").arg(QDir::toNativeSeparators(dir.filePath("missing/folder/a.vmk")))))
        << services.messages[2].text.toStdString();
    EXPECT_TRUE(frame->IsModified());

    services.answers = {IDCANCEL};
    EXPECT_FALSE(frame->close());
    services.answers = {IDNO};
    EXPECT_TRUE(frame->close());

    frame->show();
    frame->View().SetModified(false);
    services.messages.clear();
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(services.messages.empty());
}

} // namespace

namespace {

TEST_F(ChildFrameTest, ViewOptionsEditTheGridAndRepaint)
{
    frame->LabelData().m_fGridSize = 1.5f;
    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "视图选项");
        EXPECT_EQ(ctl<QLineEdit>(&dialog, 1079)->text(), "1.5");
        ctl<QCheckBox>(&dialog, 1061)->setChecked(true);
        ctl<QLineEdit>(&dialog, 1079)->setText("abc");
        dialog.accept();
    });
    frame->HandleCommand(40549);
    EXPECT_TRUE(frame->LabelData().m_bShowGrid);
    EXPECT_FALSE(frame->LabelData().m_bSnapToGrid);
    EXPECT_EQ(frame->LabelData().m_fGridSize, 0.0f); // taken, and drawn as no grid

    services.OnNextDialog([](QDialog& dialog) {
        ctl<QCheckBox>(&dialog, 1004)->setChecked(true);
        dialog.reject();
    });
    frame->HandleCommand(40549);
    EXPECT_FALSE(frame->LabelData().m_bSnapToGrid);
}

TEST(ObjectClipboard, CopiesReplaceTheContentsAndOutliveTheirDocument)
{
    ObjectClipboard& clipboard = GetObjectClipboard();
    EXPECT_EQ(&clipboard, g_pObjectClipboard);
    {
        auto rectangle = std::make_unique<CRectangleGraph>();
        rectangle->m_fX = 7;
        std::unique_ptr<CBaseProxy> proxy = CreateProxy(std::move(rectangle));
        CopyToObjectClipboard(clipboard, {proxy.get(), proxy.get()});
        ASSERT_EQ(clipboard.size(), 2u);
        EXPECT_NE(clipboard[0]->GetObject(), proxy->GetObject());
    }
    EXPECT_FLOAT_EQ(clipboard[1]->GetObject()->m_fX, 7.0f);
    CopyToObjectClipboard(clipboard, {});
    EXPECT_TRUE(clipboard.empty());
}

} // namespace
