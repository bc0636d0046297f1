// Repainting the label canvas: a full frame with 500 (and 2,000) mixed objects at
// 100 % and 400 %, and a scroll step, which moves the back buffer and paints only the
// strip that came into view with the objects that reach it. Arguments: zoom in
// percent, objects.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/ChildView.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"

#include <benchmark/benchmark.h>

namespace {

std::unique_ptr<CBaseGraph> MakeObject(int i)
{
    std::unique_ptr<CBaseGraph> object;
    switch (i % 5) {
    case 0: object = std::make_unique<CRectangleGraph>(); break;
    case 1: object = std::make_unique<CEllipseGraph>(); break;
    case 2: object = std::make_unique<CLineGraph>(); break;
    case 3: {
        auto text = std::make_unique<CTextGraph>();
        text->m_fFontSize = 8;
        auto band = std::make_unique<CDataBand>();
        band->m_strValue = QStringLiteral("Text %1").arg(i);
        text->m_bands.push_back(std::move(band));
        object = std::move(text);
        break;
    }
    default: {
        auto barcode = std::make_unique<CBarcodeGraph>();
        barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
        object = std::move(barcode);
        break;
    }
    }
    // A grid of places 20 wide, 10 x 6 mm apart, over a label 200 mm wide.
    object->m_fX = static_cast<float>((i % 20) * 10);
    object->m_fY = static_cast<float>((i / 20) * 6);
    object->m_fWidth = 9;
    object->m_fHeight = 5;
    return object;
}

struct Canvas
{
    Canvas(float zoom, int objects)
    {
        label.m_fLabelWidth = 200;
        label.m_fLabelHeight = float(objects / 20 * 6);
        label.m_bShowGrid = true;
        view.SetLabelData(&label);
        for (int i = 0; i < objects; ++i)
            view.AddObject(MakeObject(i));
        view.resize(1400, 900);
        // The label's corner near the top-left of the window.
        const float corner = CanvasMarginPixels(96) * zoom - 20.0f;
        view.SetView(zoom, std::trunc(corner), std::trunc(corner));
        view.Render();
    }
    CLabelData label;
    CChildView view;
};

void BM_CanvasFullRepaint(benchmark::State& state)
{
    Canvas canvas(static_cast<float>(state.range(0)) / 100.0f, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        canvas.view.Redraw();
        canvas.view.Render();
    }
}
BENCHMARK(BM_CanvasFullRepaint)->Args({100, 500})->Args({400, 500})->Args({100, 2000})->Unit(benchmark::kMillisecond);

void BM_CanvasScrollStep(benchmark::State& state)
{
    Canvas canvas(static_cast<float>(state.range(0)) / 100.0f, static_cast<int>(state.range(1)));
    float step = 40.0f;
    for (auto _ : state) {
        canvas.view.SetScroll(canvas.view.ScrollX(), canvas.view.ScrollY() + step);
        canvas.view.Render();
        step = -step;
    }
}
BENCHMARK(BM_CanvasScrollStep)
    ->Args({100, 500})
    ->Args({100, 2000})
    ->Args({400, 500})
    ->Args({400, 2000})
    ->Unit(benchmark::kMillisecond);

} // namespace
