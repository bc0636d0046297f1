// A barcode on the canvas is as wide, in the label's millimetres, at every zoom as it
// prints: its modules are not cut to whole screen pixels.
#include "editor/ChildView.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"

#include <gtest/gtest.h>

namespace {

// The millimetres between the first and the last dark pixel of the canvas row that
// crosses the bars of the barcode.
float DrawnBarsMm(CChildView& view, const CBarcodeGraph& barcode, float zoom)
{
    view.SetZoom(zoom);
    const QPoint margin = view.Mapping().ZoomedMargin(); // the label's corner near the window's
    view.SetView(zoom, float(margin.x() - 20), float(margin.y() - 20));
    view.Render();
    const CanvasMapping m = view.Mapping();
    const auto client = [&](float x, float y) { return m.FromLabel(QPointF(x * m.dpiX / 25.4, y * m.dpiY / 25.4)); };
    const QImage& image = view.BackBuffer();
    const int row = client(0, barcode.GetY() + barcode.GetHeight() * 0.3f).y();
    const int from = std::max(0, client(barcode.GetX() - 3, 0).x());
    const int to = std::min(image.width() - 1, client(barcode.GetX() + barcode.GetWidth() + 3, 0).x());
    int first = -1, last = -1;
    for (int x = from; x <= to; ++x)
        if (qGray(image.pixel(x, row)) < 100) {
            if (first < 0)
                first = x;
            last = x;
        }
    return first < 0 ? 0.0f : float(last - first + 1) * 25.4f / (float(m.dpiX) * zoom);
}

TEST(CanvasSymbolWidth, BarsKeepTheirPrintedWidthAtEveryZoom)
{
    for (const int resolution : {-1, 203}) {
        CLabelData label;
        label.m_fLabelWidth = 100;
        label.m_fLabelHeight = 60;
        if (resolution > 0) {
            label.m_strPrinterName = QStringLiteral("Label Printer");
            label.m_nResolution = resolution;
        }
        CChildView view;
        view.resize(1400, 1000);
        view.SetLabelData(&label);
        const QString content = QStringLiteral("WIDTH-0123456789");
        auto band = std::make_unique<CDataBand>();
        band->m_nKind = BandConstant;
        band->m_strValue = content;
        auto made = NewBarcode(content, std::move(band));
        EncodeToSymbolBox(*made);
        made->SetX(5);
        made->SetY(5);
        const CBarcodeGraph& barcode = *made;
        view.AddObject(std::move(made));

        const float actual = DrawnBarsMm(view, barcode, 1.0f);
        ASSERT_GT(actual, 20.0f) << resolution;
        // Ten-mil modules are 0.96 screen pixels at 100 % and 1.92 at 200 %: cut to
        // whole pixels the symbol came out wider than its box at one zoom and half
        // of it at the other.
        EXPECT_LE(actual, barcode.GetWidth() + 0.5f) << resolution;
        for (const float zoom : {2.0f, 3.0f})
            EXPECT_NEAR(DrawnBarsMm(view, barcode, zoom), actual, actual * 0.05f) << resolution << " " << zoom;
    }
}

} // namespace
