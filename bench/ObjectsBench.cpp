// Drawing a label of 50 mixed objects into a 300-dpi image.
#include "model/ImageGraph.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/Drawing.h"

#include <benchmark/benchmark.h>

namespace {

constexpr double kLabelWidthMm = 100.0;
constexpr double kLabelHeightMm = 60.0;

template <class T>
T& Place(std::vector<std::unique_ptr<CBaseGraph>>& objects, float x, float y, float w, float h)
{
    auto object = std::make_unique<T>();
    object->m_fX = x;
    object->m_fY = y;
    object->m_fWidth = w;
    object->m_fHeight = h;
    T& ref = *object;
    objects.push_back(std::move(object));
    return ref;
}

std::vector<std::unique_ptr<CBaseGraph>> MakeLabel()
{
    std::vector<std::unique_ptr<CBaseGraph>> objects;
    // 16 texts in every mode.
    for (int i = 0; i < 10; ++i) {
        auto& text = Place<CTextGraph>(objects, 2, 2 + 5.5f * i, 40, 5);
        text.m_strText = QStringLiteral("Item %1: 6901234567892").arg(i);
        text.m_fFontSize = 8 + i % 4;
        text.m_bBold = i % 3 == 0;
        if (i % 4 == 1) {
            text.m_bGrouping = true;
            text.m_strGroupRule = "1,6,6";
            text.m_nSeparatorChoice = 3;
            text.m_fGroupGap = 1;
        }
        if (i % 4 == 2)
            text.m_fCharSpacing = 0.3f;
        if (i % 5 == 4)
            text.m_fAngle = 90;
    }
    auto& multi = Place<CTextGraph>(objects, 45, 2, 30, 15);
    multi.m_nLayoutMode = MultiLine;
    multi.m_nAlignment = 1;
    multi.m_strText = QString::fromUtf8("多行文字 wraps inside its box across lines");
    auto& fitted = Place<CTextGraph>(objects, 45, 18, 30, 8);
    fitted.m_nLayoutMode = MultiLine;
    fitted.m_bFitToBox = true;
    fitted.m_strText = "FITTED";
    auto& vertical = Place<CTextGraph>(objects, 90, 2, 8, 30);
    vertical.m_nLayoutMode = VertText;
    vertical.m_strText = QString::fromUtf8("竖排文字");
    auto& curved = Place<CTextGraph>(objects, 45, 28, 25, 25);
    curved.m_nLayoutMode = CurvedText;
    curved.m_fFontSize = 9;
    curved.m_strText = QString::fromUtf8("圆形文字 CURVED");
    auto& filled = Place<CTextGraph>(objects, 75, 48, 22, 6);
    filled.m_strText = "PRICE 12.50";
    filled.m_crFill = 0xFFFFE0A0u;
    auto& scaled = Place<CTextGraph>(objects, 75, 40, 22, 6);
    scaled.m_strText = "Scaled";
    scaled.m_fHorzScale = 1.5f;
    // 10 lines.
    for (int i = 0; i < 10; ++i) {
        auto& line = Place<CLineGraph>(objects, 0, 0, 0, 0);
        line.m_fX1 = 1;
        line.m_fY1 = 1 + 6.0f * i;
        line.m_fX2 = 99;
        line.m_fY2 = 1 + 6.0f * i;
        line.m_fLineWidth = 0.2f;
        line.m_nDashStyle = i % 5;
    }
    // 8 rectangles, 7 ellipses, 5 polygons with every kind of fill.
    for (int i = 0; i < 8; ++i) {
        auto& rect = Place<CRectangleGraph>(objects, 72 + (i % 2) * 8, 18 + (i / 2) * 5, 7, 4);
        rect.m_fCornerRadius = i % 3 == 0 ? 1.0f : 0.0f;
        rect.m_bHatch = i % 4 == 1;
        rect.m_nHatchStyle = 4 + i;
        rect.m_nGradient = i % 4 == 2 ? 3 : 0;
        rect.m_crGradient2 = 0xFFFFFFFFu;
        rect.m_crFill = i % 4 == 3 ? 0xFFC0E0FFu : 0x00FFFFFFu;
        rect.m_fAngle = i == 5 ? 15.0f : 0.0f;
    }
    for (int i = 0; i < 7; ++i) {
        auto& ellipse = Place<CEllipseGraph>(objects, 2 + 6.0f * i, 54, 5, 5);
        ellipse.m_nGradient = i % 3 == 0 ? 1 : 0;
        ellipse.m_crGradient1 = 0xFF2040C0u;
        ellipse.m_crGradient2 = 0xFFFFFFFFu;
        ellipse.m_bHatch = i % 3 == 1;
        ellipse.m_nHatchStyle = 12;
    }
    for (int i = 0; i < 5; ++i) {
        auto& polygon = Place<CPolygonGraph>(objects, 0, 0, 0, 0);
        const float x = 45 + 6.0f * i;
        polygon.m_points = {{x, 54}, {x + 5, 55}, {x + 3, 59}, {x + 1, 58}};
        polygon.RecalcBounds();
        polygon.m_crFill = 0xFF80C080u;
        polygon.m_fAngle = 30.0f * i;
        polygon.m_nAnchor = 8;
    }
    // 4 images.
    QImage picture(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, qRgb(x * 4, y * 4, 128));
    for (int i = 0; i < 4; ++i) {
        auto& image = Place<CImageGraph>(objects, 76 + (i % 2) * 11, 2 + (i / 2) * 8, 10, 7);
        image.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(picture));
        image.m_fAngle = i == 3 ? 10.0f : 0.0f;
    }
    return objects;
}

// Argument 1 draws smoothed, as on screen and in exported images; 0 unsmoothed.
void BM_DrawLabelOf50Objects(benchmark::State& state)
{
    const bool smooth = state.range(0) != 0;
    const auto objects = MakeLabel();
    QImage image = MakeImageAtDpi(kLabelWidthMm, kLabelHeightMm, 300, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, smooth);
        SetMillimetreWorld(painter);
        for (const auto& object : objects)
            object->Draw(painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["objects"] = static_cast<double>(objects.size());
    state.counters["labels/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawLabelOf50Objects)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
