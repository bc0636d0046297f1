// Encode + module grid (or pattern matrix) per second: a QR Code of 50 characters
// and a PDF417 of 100 characters, as a label job recomputes them row by row.
// A Data Matrix of 50 characters is measured alongside for comparison. Then Data
// Matrix and PDF417 encoded and drawn on pixels beside libzint doing the same.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "platform/Drawing.h"
#include "bench/CpuTime.h"

#include <QPainter>
#include <ZXing/ReadBarcode.h>
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

// Data Matrix and PDF417 encoded and drawn on pixels (300 dpi, 2 pixels a module;
// PDF417 also at 4 pixels and with 1,000 characters) beside libzint encoding and
// rendering its bitmap of the same contents at the same module size, round by round
// in one run: CPU time of each side and their ratio. Both pictures of every content
// must decode to it first, else no ratio is reported.
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

void ZintOnPixels(zint_symbol* symbol, int symbology, int option1, int option2, int pixelsPerModule,
                  const QByteArray& text)
{
    ZBarcode_Clear(symbol);
    symbol->symbology = symbology;
    symbol->option_1 = option1;
    symbol->option_2 = option2;
    if (symbology == BARCODE_DATAMATRIX)
        symbol->option_3 = DM_SQUARE;
    symbol->scale = pixelsPerModule / 2.0f; // libzint draws 2 pixels a module at scale 1
    ZBarcode_Encode_and_Buffer(symbol, reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()), 0);
}

// The text a reader finds in a picture, set in a white margin of 20 modules.
QString DecodedText(const QImage& picture, int pixelsPerModule, ZXing::BarcodeFormat format)
{
    const int margin = 20 * pixelsPerModule;
    QImage page(picture.width() + 2 * margin, picture.height() + 2 * margin, QImage::Format_Grayscale8);
    page.fill(Qt::white);
    QPainter(&page).drawImage(margin, margin, picture);
    const ZXing::ImageView view(page.constBits(), page.width(), page.height(), ZXing::ImageFormat::Lum,
                                int(page.bytesPerLine()));
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    return result.isValid() ? QString::fromStdString(result.text()) : QString();
}

struct PixelSymbol
{
    int symbology;
    int option1;
    int option2;
    int length;
    int pixelsPerModule;
    ZXing::BarcodeFormat format;
};

// Empty when our picture and libzint's of every content decode to it; else which does not.
QString BothDecode(CBarcodeImpl& impl, zint_symbol* symbol, const PixelSymbol& kind,
                   const std::vector<QString>& contents, const std::vector<QByteArray>& bytes)
{
    QImage image;
    for (size_t k = 0; k < contents.size(); ++k) {
        DrawOnPixels(impl, contents[k], image);
        if (DecodedText(image, kind.pixelsPerModule, kind.format) != contents[k])
            return QStringLiteral("our symbol of content %1 does not decode to it").arg(k);
        ZintOnPixels(symbol, kind.symbology, kind.option1, kind.option2, kind.pixelsPerModule, bytes[k]);
        const QImage zint(symbol->bitmap, symbol->bitmap_width, symbol->bitmap_height, 3 * symbol->bitmap_width,
                          QImage::Format_RGB888);
        if (DecodedText(zint, kind.pixelsPerModule, kind.format) != contents[k])
            return QStringLiteral("libzint's symbol of content %1 does not decode to it").arg(k);
    }
    return {};
}

void RunPixelsBesideZint(benchmark::State& state, std::unique_ptr<CBarcodeImpl> impl, const PixelSymbol& kind)
{
    std::vector<QString> contents;
    std::vector<QByteArray> bytes;
    for (int i = 0; i < 8; ++i) {
        contents.push_back(Content(kind.length, i));
        bytes.push_back(contents.back().toLatin1());
    }
    zint_symbol* symbol = ZBarcode_Create();
    if (const QString error = BothDecode(*impl, symbol, kind, contents, bytes); !error.isEmpty()) {
        ZBarcode_Delete(symbol);
        const std::string reason = "the outputs differ, no ratio: " + error.toStdString();
        state.SkipWithError(reason.c_str());
        return;
    }
    QImage image;
    double ours = 0, zint = 0;
    size_t n = 0;
    for (auto _ : state) {
        const size_t k = n++ % contents.size();
        const double start = ThreadCpuSeconds();
        DrawOnPixels(*impl, contents[k], image);
        benchmark::DoNotOptimize(image.constBits());
        const double middle = ThreadCpuSeconds();
        ZintOnPixels(symbol, kind.symbology, kind.option1, kind.option2, kind.pixelsPerModule, bytes[k]);
        benchmark::DoNotOptimize(symbol->bitmap);
        ours += middle - start;
        zint += ThreadCpuSeconds() - middle;
    }
    state.counters["ours us"] = ours / double(state.iterations()) * 1e6;
    state.counters["zint us"] = zint / double(state.iterations()) * 1e6;
    state.counters["cpu ratio"] = zint > 0 ? ours / zint : 0.0;
    state.counters["ours px"] = double(image.width());
    state.counters["zint px"] = double(symbol->bitmap_width);
    state.counters["ours px high"] = double(image.height());
    state.counters["zint px high"] = double(symbol->bitmap_height);
    ZBarcode_Delete(symbol);
}

void BM_DataMatrixPixelsBesideZint(benchmark::State& state)
{
    auto impl = CreateBarcodeImpl(SymbologyDataMatrix);
    auto& s = static_cast<CBarcodeSettings_DataMatrix&>(*impl->GetSettings());
    s.m_nSizeChoice = 1; // the smallest square, as libzint's square-only choice
    s.m_fModuleWidthX = float(kPixelsPerModule * 1000 / kPixelDpi);
    RunPixelsBesideZint(state, std::move(impl),
                        {BARCODE_DATAMATRIX, 0, 0, 50, kPixelsPerModule, ZXing::BarcodeFormat::DataMatrix});
}
BENCHMARK(BM_DataMatrixPixelsBesideZint);

// PDF417 of EC level 2 in the given data columns.
void RunPdf417BesideZint(benchmark::State& state, int pixelsPerModule, int length, int columns)
{
    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    s.m_nColumns = columns;
    s.m_nECLevel = 2;
    s.m_fModuleWidthX = float(pixelsPerModule * 1000 / kPixelDpi);
    RunPixelsBesideZint(state, std::move(impl),
                        {BARCODE_PDF417, 2, columns, length, pixelsPerModule, ZXing::BarcodeFormat::PDF417});
}

void BM_Pdf417PixelsBesideZint(benchmark::State& state)
{
    RunPdf417BesideZint(state, kPixelsPerModule, 100, 6);
}
BENCHMARK(BM_Pdf417PixelsBesideZint);

// Arguments: pixels a module, characters, data columns (1,000 characters need more
// than 6 columns: a symbol has at most 90 rows).
void BM_Pdf417PixelsBesideZintAt(benchmark::State& state)
{
    RunPdf417BesideZint(state, int(state.range(0)), int(state.range(1)), int(state.range(2)));
}
BENCHMARK(BM_Pdf417PixelsBesideZintAt)->Args({4, 100, 6})->Args({2, 1000, 15})->Args({4, 1000, 15});

} // namespace
