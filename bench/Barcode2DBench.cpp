// Encode + module grid (or pattern matrix) per second: a QR Code of 50 characters
// and a PDF417 of 100 characters, as a label job recomputes them row by row.
// A Data Matrix of 50 characters is measured alongside for comparison. Then Data
// Matrix and PDF417 encoded and drawn on pixels beside libzint doing the same.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "platform/Drawing.h"
#include "bench/CpuTime.h"

#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <zint.h>

namespace {

QString Content(int length, int seed)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text.append(QChar(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-./: "[(i * 7 + seed) % 67]));
    return text;
}

void RunEncode(benchmark::State& state, int32_t symbology, int length)
{
    const auto impl = CreateBarcodeImpl(symbology);
    // A few contents in turn, so no two neighbouring encodes see the same text.
    const QString contents[] = {Content(length, 0), Content(length, 1), Content(length, 2), Content(length, 3)};
    size_t n = 0;
    for (auto _ : state) {
        impl->GetSettings()->m_strContent = contents[n++ % 4];
        impl->Encode();
        impl->CalcSize();
        benchmark::DoNotOptimize(impl->GetSettings()->m_fWidth);
    }
    state.SetItemsProcessed(state.iterations());
}

void QRCode50(benchmark::State& state)
{
    RunEncode(state, SymbologyQRCode, 50);
}

void Pdf417_100(benchmark::State& state)
{
    RunEncode(state, SymbologyPDF417, 100);
}

void DataMatrix50(benchmark::State& state)
{
    RunEncode(state, SymbologyDataMatrix, 50);
}

} // namespace

BENCHMARK(QRCode50);
BENCHMARK(Pdf417_100);
BENCHMARK(DataMatrix50);

// Data Matrix and PDF417 encoded and drawn on pixels (300 dpi, 2 pixels a module)
// beside libzint encoding and rendering its bitmap of the same contents at the same
// module size, round by round in one run: CPU time of each side and their ratio.
namespace {

constexpr double kPixelDpi = 300;
constexpr int kPixelsPerModule = 2;

// Encodes the content and draws the symbol on a white picture of its size.
void DrawOnPixels(CBarcodeImpl& impl, const QString& content, QImage& image)
{
    CBarcodeSettings& s = *impl.GetSettings();
    s.m_strContent = content;
    impl.Encode();
    impl.CalcSize();
    const QSize size(int(std::ceil(s.m_fWidth * kPixelDpi / kMmPerInch)) + 2,
                     int(std::ceil(s.m_fHeight * kPixelDpi / kMmPerInch)) + 2);
    if (image.size() != size)
        image = MakeImageAtDpi(size.width() * kMmPerInch / kPixelDpi, size.height() * kMmPerInch / kPixelDpi,
                               kPixelDpi, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    SetMillimetreWorld(painter);
    s.m_fOutputDpi = 0;
    impl.Draw(painter);
}

void ZintOnPixels(zint_symbol* symbol, int symbology, int option1, int option2, const QByteArray& text)
{
    ZBarcode_Clear(symbol);
    symbol->symbology = symbology;
    symbol->option_1 = option1;
    symbol->option_2 = option2;
    if (symbology == BARCODE_DATAMATRIX)
        symbol->option_3 = DM_SQUARE;
    symbol->scale = kPixelsPerModule / 2.0f; // libzint draws 2 pixels a module at scale 1
    ZBarcode_Encode_and_Buffer(symbol, reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()), 0);
}

void RunPixelsBesideZint(benchmark::State& state, std::unique_ptr<CBarcodeImpl> impl, int symbology, int option1,
                         int option2, int length)
{
    std::vector<QString> contents;
    std::vector<QByteArray> bytes;
    for (int i = 0; i < 8; ++i) {
        contents.push_back(Content(length, i));
        bytes.push_back(contents.back().toLatin1());
    }
    zint_symbol* symbol = ZBarcode_Create();
    QImage image;
    double ours = 0, zint = 0;
    size_t n = 0;
    for (auto _ : state) {
        const size_t k = n++ % contents.size();
        const double start = ThreadCpuSeconds();
        DrawOnPixels(*impl, contents[k], image);
        benchmark::DoNotOptimize(image.constBits());
        const double middle = ThreadCpuSeconds();
        ZintOnPixels(symbol, symbology, option1, option2, bytes[k]);
        benchmark::DoNotOptimize(symbol->bitmap);
        ours += middle - start;
        zint += ThreadCpuSeconds() - middle;
    }
    state.counters["ours us"] = ours / double(state.iterations()) * 1e6;
    state.counters["zint us"] = zint / double(state.iterations()) * 1e6;
    state.counters["cpu ratio"] = zint > 0 ? ours / zint : 0.0;
    state.counters["ours px"] = double(image.width());
    state.counters["zint px"] = double(symbol->bitmap_width);
    ZBarcode_Delete(symbol);
}

void BM_DataMatrixPixelsBesideZint(benchmark::State& state)
{
    auto impl = CreateBarcodeImpl(SymbologyDataMatrix);
    auto& s = static_cast<CBarcodeSettings_DataMatrix&>(*impl->GetSettings());
    s.m_nSizeChoice = 1; // the smallest square, as libzint's square-only choice
    s.m_fModuleWidthX = float(kPixelsPerModule * 1000 / kPixelDpi);
    RunPixelsBesideZint(state, std::move(impl), BARCODE_DATAMATRIX, 0, 0, 50);
}
BENCHMARK(BM_DataMatrixPixelsBesideZint);

void BM_Pdf417PixelsBesideZint(benchmark::State& state)
{
    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    s.m_nColumns = 6;
    s.m_nECLevel = 2;
    s.m_fModuleWidthX = float(kPixelsPerModule * 1000 / kPixelDpi);
    RunPixelsBesideZint(state, std::move(impl), BARCODE_PDF417, 2, 6, 100);
}
BENCHMARK(BM_Pdf417PixelsBesideZint);

} // namespace
