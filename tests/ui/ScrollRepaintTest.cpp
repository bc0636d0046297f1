// Scrolling a large label: the back buffer moves and only the strip that came into
// view is painted, with only the objects whose drawing reaches it, and the picture
// is the one a full repaint gives (texts and bars that stand out of their boxes
// included).
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/ChildView.h"
#include "model/BarcodeGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"

#include <gtest/gtest.h>

namespace {

// A rectangle that counts how often it is drawn.
class CountedRectangle : public CRectangleGraph
{
public:
    explicit CountedRectangle(int& draws) : m_draws(draws) {}
    void Draw(QPainter& graphics) const override
    {
        ++m_draws;
        CRectangleGraph::Draw(graphics);
    }

private:
    int& m_draws;
};

// Objects that draw outside their boxes, around (x, y) in millimetres.
void AddOverhangingObjects(CChildView& view, float x, float y, float angle)
{
    auto text = std::make_unique<CTextGraph>();
    text->m_fX = x;
    text->m_fY = y;
    text->m_fWidth = 4; // far narrower than its text, which runs on to the right
    text->m_fHeight = 2;
    text->m_fFontSize = 14;
    text->m_strText = QStringLiteral("A text much wider than its box 标签");
    text->m_fAngle = angle;
    view.AddObject(std::move(text));
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_fX = x + 2;
    barcode->m_fY = y + 9;
    barcode->m_fWidth = 3; // the bars keep their own width
    barcode->m_fHeight = 8;
    barcode->m_fAngle = angle;
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_strContent = QStringLiteral("OVERHANG-12345");
    barcode->m_pBarcodeImpl->Encode();
    barcode->m_pBarcodeImpl->BuildBars();
    barcode->m_pBarcodeImpl->BuildBarsFromText();
    view.AddObject(std::move(barcode));
}

TEST(ScrollRepaint, StepsAcrossTheLabelCornerPaintTheStripWithTheObjectsThatReachIt)
{
    CLabelData label;
    label.m_fLabelWidth = 200;
    label.m_fLabelHeight = 150;
    label.m_nShape = ShapeRectangle;
    label.m_bShowGrid = true;
    CChildView view;
    view.resize(500, 400);
    view.SetLabelData(&label);
    int draws = 0;
    constexpr int kCounted = 600;
    for (int i = 0; i < kCounted; ++i) {
        auto rectangle = std::make_unique<CountedRectangle>(draws);
        rectangle->m_fX = float(i % 30) * 6.5f;
        rectangle->m_fY = float(i / 30) * 7.0f;
        rectangle->m_fWidth = 5;
        rectangle->m_fHeight = 4;
        view.AddObject(std::move(rectangle));
    }
    for (int i = 0; i < 12; ++i)
        AddOverhangingObjects(view, 5.0f + float(i % 4) * 45.0f, 8.0f + float(i / 4) * 40.0f, i % 3 == 2 ? 90.0f : 0.0f);

    // The label's corner 20 pixels into the window; each step takes it across the edge.
    const float corner = std::trunc(CanvasMarginPixels(96) - 20.0f);
    view.SetView(1.0f, corner, corner);
    view.Render();
    for (const QPoint step : {QPoint(0, 40), QPoint(0, -40), QPoint(40, 0), QPoint(-40, 0), QPoint(0, 40),
                              QPoint(0, 40), QPoint(30, 0), QPoint(0, -40)}) {
        draws = 0;
        view.SetScroll(view.ScrollX() + float(step.x()), view.ScrollY() + float(step.y()));
        view.Render();
        // A strip 40 pixels (about 10 mm) wide crosses at most a few rows or columns.
        EXPECT_LT(draws, kCounted / 4) << step.x() << "," << step.y();
        EXPECT_GT(draws, 0) << step.x() << "," << step.y();
        const QImage scrolled = view.BackBuffer().copy();
        view.Redraw();
        view.Render();
        // Glyph edges may shade a pixel a little differently after a shift (positions
        // go through millimetres); a missing or cut object differs by far more.
        const QImage& full = view.BackBuffer();
        int differing = 0;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                differing += std::abs(qGray(scrolled.pixel(x, y)) - qGray(full.pixel(x, y))) > 40;
        EXPECT_EQ(differing, 0) << step.x() << "," << step.y();
    }
}

} // namespace
