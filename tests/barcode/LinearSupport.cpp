#include "LinearSupport.h"

#include "ModuleString.h"

#include "barcode/BarcodeImpl_Code128.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/BaseGraph.h"
#include "platform/Drawing.h"
#include "TestSupport.h"

#include <ZXing/ReadBarcode.h>
#include <zint.h>

void Recompute(CBarcodeImpl& impl)
{
    impl.Encode();
    impl.BuildBars();
    impl.BuildBarsFromText();
    impl.CalcSize();
}

std::unique_ptr<CBarcodeImpl> EncodeBarcode(int symbology, const QString& content, const BarcodeOptions& options)
{
    auto impl = CreateBarcodeImpl(symbology);
    impl->GetSettings()->m_strContent = content;
    if (options)
        options(*impl->GetSettings());
    Recompute(*impl);
    return impl;
}

std::unique_ptr<CBarcodeGraph> PlaceBarcode(std::unique_ptr<CBarcodeImpl> impl, float x, float y)
{
    auto graph = std::make_unique<CBarcodeGraph>();
    const CBarcodeSettings& s = *impl->GetSettings();
    graph->m_fX = x;
    graph->m_fY = y;
    graph->m_fWidth = s.m_fWidth;
    graph->m_fHeight = s.m_fHeight;
    graph->m_pBarcodeImpl = std::move(impl);
    return graph;
}

std::string WidthsToModules(const QString& widths)
{
    std::string modules;
    for (qsizetype i = 0; i < widths.size(); ++i)
        modules.append(size_t(widths[i].digitValue()), i % 2 == 0 ? '1' : '0');
    return modules;
}

std::string ModulesOf(const CBarcodeImpl& impl)
{
    // Rebuilt from the bars, so the bar builder is checked along with the encoder.
    return ModuleString(*impl.GetData(), impl.GetSettings()->m_fModuleWidth * kMilToMm).toStdString();
}

QString Code128PatternOfValues(const std::vector<int>& values)
{
    static const char* const starts[] = {kCode128StartA, kCode128StartB, kCode128StartC};
    QString pattern = QLatin1String(starts[values.front() - 103]);
    for (size_t i = 1; i < values.size(); ++i)
        pattern += QLatin1String(Code128Patterns[values[i]]);
    return pattern + QLatin1String(kCode128Stop);
}

std::string ZintModules(int symbology, int inputMode, const QByteArray& data, int option2)
{
    zint_symbol* symbol = ZBarcode_Create();
    symbol->symbology = symbology;
    symbol->input_mode = inputMode;
    if (option2 != 0)
        symbol->option_2 = option2;
    std::string modules;
    if (ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.constData()), int(data.size())) < 5) {
        for (int i = 0; i < symbol->width; ++i)
            modules += ((symbol->encoded_data[0][i >> 3] >> (i & 7)) & 1) ? '1' : '0';
    }
    ZBarcode_Delete(symbol);
    return modules;
}

QImage RenderObject(const CBaseGraph& object, double widthMm, double heightMm, double dpi)
{
    return PaintCanvas(widthMm, heightMm, dpi, [&object](QPainter& painter) { object.Draw(painter); });
}

QRect DarkBounds(const QImage& image, const QRect& within)
{
    const QRect area = within.isNull() ? image.rect() : within & image.rect();
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(row[x]) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

std::optional<LinearRead> ReadLinear(const QImage& image, ZXing::BarcodeFormat format, bool tryRotate)
{
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryHarder(true);
    hints.setTryRotate(tryRotate);
    return ReadLinear(image, hints);
}

std::optional<LinearRead> ReadLinear(const QImage& image, const ZXing::DecodeHints& hints)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                int(grey.bytesPerLine()));
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid())
        return std::nullopt;
    const ZXing::ByteArray& bytes = result.bytes();
    return LinearRead{QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                      result.symbologyIdentifier()};
}

std::optional<LinearRead> ReadModules(const std::string& modules, ZXing::BarcodeFormat format)
{
    constexpr int pixels = 2, quiet = 10, height = 20;
    QImage image(int(modules.size() + 2 * quiet) * pixels, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    for (size_t m = 0; m < modules.size(); ++m) {
        if (modules[m] != '1')
            continue;
        for (int y = 0; y < height; ++y)
            for (int p = 0; p < pixels; ++p)
                image.setPixel(int(quiet + m) * pixels + p, y, qRgb(0, 0, 0));
    }
    return ReadLinear(image, format);
}
