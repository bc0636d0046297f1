// Repainting the label canvas: a full frame with 500 (and 2,000) mixed objects at
// 100 % and 400 % (rectangles, ellipses, lines, texts and Code 128 symbols as a label
// holds them), beside a plain QPainter floor drawing the same shapes, and a scroll step, which moves the back buffer and paints only the
// strip that came into view with the objects that reach it. Arguments: zoom in
// percent, objects.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeData.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/ChildView.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "bench/CpuTime.h"

#include <QPainter>
#include <QVarLengthArray>
#include <benchmark/benchmark.h>

namespace {

std::unique_ptr<CDataBand> ConstantBand(const QString& value)
{
    auto band = std::make_unique<CDataBand>();
    band->m_strValue = value;
    return band;
}

// Objects as a label holds them: shapes with a pen, lines with a length, texts with
// their own words, Code 128 symbols of their own serials encoded to their box.
std::unique_ptr<CBaseGraph> MakeObject(int i)
{
    // A grid of places 20 wide, 10 x 6 mm apart, over a label 200 mm wide.
    const float x = static_cast<float>((i % 20) * 10);
    const float y = static_cast<float>((i / 20) * 6);
    switch (i % 5) {
    case 2: {
        auto line = std::make_unique<CLineGraph>();
        line->m_fX1 = x;
        line->m_fY1 = y + 5;
        line->m_fX2 = x + 9;
        line->m_fY2 = y;
        return line;
    }
    case 4: {
        auto barcode = std::make_unique<CBarcodeGraph>();
        barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
        const QString serial = QString::number(100000 + i);
        barcode->m_pBarcodeImpl->GetSettings()->m_strContent = serial;
        barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(ConstantBand(serial));
        barcode->m_pBarcodeImpl->GetSettings()->m_fFontSize = 5;
        EncodeToSymbolBox(*barcode);
        barcode->m_pBarcodeImpl->Resize(9, 5);
        TakeSymbolBox(*barcode);
        barcode->m_fX = x;
        barcode->m_fY = y;
        return barcode;
    }
    default: break;
    }
    std::unique_ptr<CBaseGraph> object;
    if (i % 5 == 3) {
        auto text = std::make_unique<CTextGraph>();
        text->m_fFontSize = 8;
        text->m_bands.push_back(ConstantBand(QStringLiteral("Lot %1").arg(i)));
        text->m_strText = GetBandsText(*text);
        object = std::move(text);
    } else if (i % 5 == 1) {
        object = std::make_unique<CEllipseGraph>();
    } else {
        object = std::make_unique<CRectangleGraph>();
    }
    object->m_fX = x;
    object->m_fY = y;
    object->m_fWidth = 9;
    object->m_fHeight = 5;
    return object;
}

struct Canvas
{
    Canvas(float zoom, int objects, bool grid = true)
    {
        label.m_fLabelWidth = 200;
        label.m_fLabelHeight = float(objects / 20 * 6);
        label.m_bShowGrid = grid;
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

// The floor: plain QPainter calls drawing the objects the canvas shows into an
// image of the window's size at the same zoom, antialiased like the canvas, in the
// image's pixels: the label's white box, each object that reaches the window with
// its pen, font and bars (no grid, handles or rulers; the canvas beside it has its
// grid off).
void DrawFloor(QImage& image, const CLabelData& label, const std::vector<const CBaseGraph*>& objects, float zoom)
{
    const double scale = 96.0 * zoom / 25.4;
    const auto pixels = [&](double x, double y, double w, double h) {
        return QRectF(20 + x * scale, 20 + y * scale, w * scale, h * scale);
    };
    image.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF window(0, 0, image.width(), image.height());
    painter.fillRect(pixels(0, 0, label.m_fLabelWidth, label.m_fLabelHeight).intersected(window), Qt::white);
    const QPen pen(Qt::black, 0.3 * scale, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    // Points on the image's 96 dpi, at the zoom.
    QFont font(QStringLiteral("Arial"));
    for (const CBaseGraph* object : objects) {
        const QRectF box = pixels(object->GetX(), object->GetY(), object->GetWidth(), object->GetHeight());
        if (!box.adjusted(-4, -4, 4, 4).intersects(window))
            continue;
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        switch (object->m_nKind) {
        case KindRectangle: painter.drawRect(box); break;
        case KindEllipse: painter.drawEllipse(box); break;
        case KindLine: {
            const auto& line = static_cast<const CLineGraph&>(*object);
            painter.drawLine(pixels(line.m_fX1, line.m_fY1, line.m_fX2 - line.m_fX1, line.m_fY2 - line.m_fY1).topLeft(),
                             pixels(line.m_fX1, line.m_fY1, line.m_fX2 - line.m_fX1, line.m_fY2 - line.m_fY1).bottomRight());
            break;
        }
        case KindText: {
            const auto& text = static_cast<const CTextGraph&>(*object);
            font.setPointSizeF(text.m_fFontSize * zoom);
            painter.setFont(font);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text.m_strText);
            break;
        }
        default: {
            const CBarcodeImpl& impl = *static_cast<const CBarcodeGraph&>(*object).GetImpl();
            const CBarcodeSettings& s = *impl.GetSettings();
            const CBarcodeData& data = *impl.GetData();
            const double textHeight = s.m_fFontSize * 25.4 / 72 * scale;
            QVarLengthArray<QRectF, 64> bars;
            for (size_t b = 0; b < data.m_arrX.size(); ++b)
                bars.append(QRectF(box.x() + data.m_arrX[b] * scale, box.y(), data.m_arrWidth[b] * scale,
                                   box.height() - textHeight));
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawRects(bars.data(), int(bars.size()));
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(Qt::black);
            font.setPointSizeF(s.m_fFontSize * zoom);
            painter.setFont(font);
            painter.drawText(QRectF(box.x(), box.bottom() - textHeight, box.width(), textHeight),
                             Qt::AlignHCenter | Qt::AlignTop, s.m_strFullText);
            break;
        }
        }
    }
}

// A full repaint of the canvas and the floor in turn, round by round in one run:
// CPU seconds of each and their ratio (canvas over floor).
void BM_CanvasRepaintBesideFloor(benchmark::State& state)
{
    const float zoom = static_cast<float>(state.range(0)) / 100.0f;
    Canvas canvas(zoom, static_cast<int>(state.range(1)), false);
    std::vector<const CBaseGraph*> objects;
    for (const auto& object : canvas.view.ObjectList())
        objects.push_back(object->GetObject());
    QImage floorImage(canvas.view.size(), QImage::Format_RGB32);
    double ours = 0, floor = 0;
    for (auto _ : state) {
        const double start = ThreadCpuSeconds();
        canvas.view.Redraw();
        canvas.view.Render();
        const double middle = ThreadCpuSeconds();
        DrawFloor(floorImage, canvas.label, objects, zoom);
        ours += middle - start;
        floor += ThreadCpuSeconds() - middle;
    }
    const double n = double(state.iterations());
    state.counters["canvas cpu ms"] = ours / n * 1000;
    state.counters["floor cpu ms"] = floor / n * 1000;
    state.counters["cpu ratio"] = floor > 0 ? ours / floor : 0.0;
}
BENCHMARK(BM_CanvasRepaintBesideFloor)->Args({100, 500})->Args({100, 2000})->Args({400, 2000})->Unit(benchmark::kMillisecond);

} // namespace
