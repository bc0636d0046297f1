// The canvas's picture at 96 dpi: label shape, surround, background, grid, hole and
// guide lines, and label objects drawn as the print pipeline draws them.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/ChildView.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/PrintHandler.h"
#include "platform/Drawing.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

constexpr int kCanvasOrigin = 10; // label corner in client pixels, from the scroll set below

class CanvasTest : public testing::Test
{
protected:
    void SetUp() override
    {
        label.m_fLabelWidth = 50;  // 188 pixels
        label.m_fLabelHeight = 30; // 113 pixels
        label.m_nShape = ShapeRectangle;
        view.resize(300, 200);
        view.SetLabelData(&label);
        // 944.88 - 934 truncates to 10.
        view.SetView(1.0f, 934.0f, 934.0f);
    }

    const QImage& Frame()
    {
        view.Redraw();
        view.Render();
        return view.BackBuffer();
    }
    QRgb Pixel(int x, int y) { return Frame().pixel(x, y) | 0xFF000000u; }
    QRgb Surround() const { return CGlobalSettings::GetInstance()->m_crLbkgnd | 0xFF000000u; }

    // Pure black pixels well inside the label box (the outline left out).
    int InteriorDots()
    {
        const QImage& image = Frame();
        const QSize box = CanvasLabelBox(label, 1.0f);
        int dots = 0;
        for (int y = kCanvasOrigin + 2; y < kCanvasOrigin + box.height() - 2; ++y)
            for (int x = kCanvasOrigin + 2; x < kCanvasOrigin + box.width() - 2; ++x)
                dots += (image.pixel(x, y) & 0xFFFFFFu) == 0;
        return dots;
    }

    CLabelData label;
    CChildView view;
};

TEST_F(CanvasTest, OriginAndBoxFollowZoomScrollAndSizeMode)
{
    EXPECT_EQ(CanvasLabelOrigin(96, 1.0f, 0), 944);
    EXPECT_EQ(CanvasLabelOrigin(96, 2.0f, 0), 1889);
    EXPECT_EQ(CanvasLabelOrigin(96, 1.0f, 934), 10);
    EXPECT_EQ(CanvasLabelBox(label, 1.0f), QSize(188, 113));
    EXPECT_EQ(CanvasGuidePixels(10.0f, 96, 1.0f, 934), 48); // 982.68 - 934
    label.m_nPageWidthFlag = 1;
    EXPECT_EQ(CanvasLabelBox(label, 1.0f), QSize(0, 0));
}

TEST_F(CanvasTest, LabelIsWhiteOnTheSurroundWithABlackOutline)
{
    EXPECT_EQ(Pixel(3, 3), Surround());
    EXPECT_EQ(Pixel(kCanvasOrigin + 90, kCanvasOrigin + 50), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(kCanvasOrigin + 200, kCanvasOrigin + 50), Surround());
    EXPECT_LT(qGray(Pixel(kCanvasOrigin, kCanvasOrigin + 50)), 160); // the outline
    EXPECT_EQ(InteriorDots(), 0);
}

TEST_F(CanvasTest, GridDotsOnlyAtInteriorPointsThinnedWhenDense)
{
    label.m_bShowGrid = true;
    label.m_fGridSize = 1.0f;
    EXPECT_EQ(InteriorDots(), 49 * 29);
    label.m_fGridSize = 60.0f; // larger than the label
    EXPECT_EQ(InteriorDots(), 0);
    for (float step : {0.0f, -1.0f}) {
        label.m_fGridSize = step;
        EXPECT_EQ(InteriorDots(), 0) << step;
    }
    // A tenth of a millimetre is under half a pixel: every sixth point is drawn, and
    // no two dots touch.
    label.m_fGridSize = 0.1f;
    const int dots = InteriorDots();
    EXPECT_GT(dots, 1000);
    const QImage& image = Frame();
    for (int y = kCanvasOrigin + 2; y < kCanvasOrigin + 100; ++y)
        for (int x = kCanvasOrigin + 2; x < kCanvasOrigin + 180; ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) == 0) {
                ASSERT_NE(image.pixel(x + 1, y) & 0xFFFFFFu, 0u) << x << "," << y;
            }
}

TEST_F(CanvasTest, BackgroundColourOnlyWhenShownAndVisible)
{
    label.m_crBackground = 0xFFFF0000u;
    EXPECT_EQ(Pixel(kCanvasOrigin + 90, kCanvasOrigin + 50), qRgb(255, 255, 255)); // not for design
    label.m_bDesignBackground = true;
    EXPECT_EQ(Pixel(kCanvasOrigin + 90, kCanvasOrigin + 50), qRgb(255, 0, 0));
    EXPECT_EQ(Pixel(kCanvasOrigin + 200, kCanvasOrigin + 50), Surround());
    label.m_crBackground = 0x00FF0000u;
    EXPECT_EQ(Pixel(kCanvasOrigin + 90, kCanvasOrigin + 50), qRgb(255, 255, 255));
}

TEST_F(CanvasTest, RoundedCornersHideTheBackground)
{
    label.m_nShape = ShapeRoundRect;
    label.m_fCornerRadius = 5;
    label.m_crBackground = 0xFFFF0000u;
    label.m_bDesignBackground = true;
    EXPECT_EQ(Pixel(kCanvasOrigin + 1, kCanvasOrigin + 1), Surround());
    EXPECT_EQ(Pixel(kCanvasOrigin + 20, kCanvasOrigin + 20), qRgb(255, 0, 0));
}

TEST_F(CanvasTest, EllipseHoleShowsTheSurroundInsideABlackRing)
{
    label.m_nShape = ShapeEllipse;
    label.m_bCenterHole = true;
    label.m_fHoleDiameter = 10; // 37 pixels
    const int cx = kCanvasOrigin + 188 / 2;
    const int cy = kCanvasOrigin + 113 / 2;
    EXPECT_EQ(Pixel(cx, cy), Surround());
    EXPECT_EQ(Pixel(cx + 30, cy), qRgb(255, 255, 255));
    EXPECT_LT(qGray(Pixel(cx - 19 + 1, cy)), 200);
    EXPECT_EQ(Pixel(kCanvasOrigin + 1, kCanvasOrigin + 1), Surround()); // outside the ellipse
    label.m_bCenterHole = false;
    EXPECT_EQ(Pixel(cx, cy), qRgb(255, 255, 255));
}

TEST_F(CanvasTest, NoLabelBoxInSizeModeOnlyTheSurround)
{
    label.m_nPageWidthFlag = 1;
    EXPECT_EQ(Pixel(kCanvasOrigin + 90, kCanvasOrigin + 50), Surround());
}

TEST_F(CanvasTest, GuideLinesCrossTheCanvasInPurpleTheActiveOneCyan)
{
    view.BeginGuideDrag(false, 49); // a vertical line at 10 mm
    ASSERT_EQ(view.Guides().size(), 1u);
    EXPECT_NEAR(view.Guides()[0]->m_fPosition, 10.0f, 0.3f);
    const int x = CanvasGuidePixels(view.Guides()[0]->m_fPosition, 96, 1.0f, 934);
    auto count = [&](QRgb colour) {
        int n = 0;
        for (int y = 0; y < 200; ++y)
            n += Pixel(x, y) == colour;
        return n;
    };
    EXPECT_GT(count(qRgb(0, 255, 255)), 50);
    view.BeginGuideDrag(true, 30);
    EXPECT_GT(count(qRgb(0x80, 0, 0x80)), 50);
    EXPECT_LE(count(qRgb(0, 255, 255)), 1); // where the new, active line crosses it
}

// The label of the comparison: a frame, a text and a barcode.
void AddMixedObjects(ObjectList& objects, float dx, float dy)
{
    auto frame = std::make_unique<CRectangleGraph>();
    frame->m_fX = 2 + dx;
    frame->m_fY = 2 + dy;
    frame->m_fWidth = 46;
    frame->m_fHeight = 26;
    frame->m_fLineWidth = 0.5f;
    objects.push_back(std::move(frame));
    auto text = std::make_unique<CTextGraph>();
    text->m_fX = 4 + dx;
    text->m_fY = 4 + dy;
    text->m_fWidth = 40;
    text->m_fHeight = 6;
    text->m_fFontSize = 10;
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandConstant;
    band->m_strValue = QStringLiteral("Vellumcraft 标签");
    text->m_bands.push_back(std::move(band));
    objects.push_back(std::move(text));
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_fX = 4 + dx;
    barcode->m_fY = 12 + dy;
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    objects.push_back(std::move(barcode));
}

void AddMixedObjects(CChildView& view, float dx, float dy)
{
    ObjectList objects;
    AddMixedObjects(objects, dx, dy);
    for (auto& object : objects)
        view.AddObject(std::move(object));
}

TEST_F(CanvasTest, ObjectsAtActualSizeMatchThePrintImageAtScreenResolution)
{
    AddMixedObjects(view, 0, 0);
    view.SetView(1.0f, 924.0f, 924.0f); // the label's corner at (20, 20)
    const QImage canvas = Frame().copy(20, 20, 188, 113);

    ObjectList printed;
    AddMixedObjects(printed, 0, 0);
    QImage image = MakeImageAtDpi(50, 30, 96, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        SetMillimetreWorld(painter);
        for (auto& object : printed) {
            object->m_pLabelData = &label;
            DrawObjectAt(*object, painter, 0, 0);
        }
    }
    int inked = 0;
    int differing = 0;
    for (int y = 3; y < 110; ++y)
        for (int x = 3; x < 185; ++x) {
            const int a = qGray(canvas.pixel(x, y));
            const int b = qGray(image.pixel(x, y));
            inked += b < 128;
            differing += std::abs(a - b) > 96;
        }
    EXPECT_GT(inked, 500); // the objects are there
    EXPECT_LT(differing, inked / 50) << differing << " of " << inked;
}

TEST_F(CanvasTest, ScrollingRedrawsTheExposedStripToTheSamePicture)
{
    label.m_bShowGrid = true;
    view.BeginGuideDrag(false, 100);
    view.BeginGuideDrag(true, 60);
    AddMixedObjects(view, 0, 0);
    view.SetView(1.0f, 900.0f, 900.0f);
    view.Render();
    for (const QPoint step : {QPoint(13, 0), QPoint(0, -27), QPoint(-40, 31)}) {
        view.SetScroll(view.ScrollX() + step.x(), view.ScrollY() + step.y());
        view.Render();
        const QImage scrolled = view.BackBuffer().copy();
        EXPECT_EQ(scrolled, Frame()) << step.x() << "," << step.y();
    }
}

} // namespace
