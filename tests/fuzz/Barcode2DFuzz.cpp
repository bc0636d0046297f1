#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "barcode/DataMatrix.h"
#include "barcode/Pdf417Encoder.h"
#include "barcode/QRCode.h"
#include "platform/VXException.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Any settings a label file can hold and any content either encode into a symbol
// whose parts agree with each other or throw the barcode error; then it draws.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

namespace {

struct Input
{
    const uint8_t* data;
    size_t size;

    int32_t Int()
    {
        int32_t v = 0;
        const size_t n = std::min(size, sizeof v);
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
    // Mostly small values, now and then anything.
    int32_t Small(int range) { const int32_t v = Int(); return (v & 0x100) ? v : (v & 0xFF) % range - 2; }
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size};
    const int32_t codes[] = {SymbologyPDF417, SymbologyQRCode, SymbologyDataMatrix};
    const int32_t code = codes[uint32_t(in.Int()) % 3];
    auto impl = CreateBarcodeImpl(code);
    CBarcodeSettings& base = *impl->GetSettings();
    if (code == SymbologyPDF417) {
        auto& s = static_cast<CBarcodeSettings_PDF417&>(base);
        s.m_nECLevel = in.Small(12);
        s.m_nRows = in.Small(100);
        s.m_nColumns = in.Small(35);
        s.m_nRowColumnLimit = in.Small(8);
        s.m_nCodePage = in.Small(3) == 0 ? 936 : 65001;
        s.m_bTruncated = in.Int() & 1;
    } else if (code == SymbologyQRCode) {
        auto& s = static_cast<CBarcodeSettings_QRCode&>(base);
        s.m_nECLevel = in.Small(8);
        s.m_nVersion = in.Small(44);
        s.m_nCodePage = in.Small(3) == 0 ? 950 : 0;
    } else {
        auto& s = static_cast<CBarcodeSettings_DataMatrix&>(base);
        s.m_nEncodation = in.Small(8);
        s.m_nSizeChoice = in.Small(36);
    }
    base.m_strContent = QString::fromUtf8(reinterpret_cast<const char*>(in.data), qsizetype(in.size));
    try {
        impl->Encode();
    } catch (const CBarcodeException&) {
        return 0;
    }
    impl->CalcSize();

    if (code == SymbologyPDF417) {
        const auto& d = static_cast<const CBarcodeData_PDF417&>(*impl->GetData());
        Check(d.m_nRows >= 3 && d.m_nRows <= kPdf417MaxRows && d.m_nColumns >= 1 && d.m_nColumns <= kPdf417MaxColumns);
        Check(d.m_nRows * d.m_nColumns <= kPdf417MaxCodewords);
        Check(int(d.m_arrAllCodewords.size()) == d.m_nRows * d.m_nColumns);
        Check(d.m_arrPatternMatrix.size() == size_t(d.m_nRows) * size_t(Pdf417MatrixWidth(d)));
    } else if (code == SymbologyQRCode) {
        const auto& qr = static_cast<const CBarcodeImpl_QRCode&>(*impl);
        Check(qr.m_grid.size() == size_t(qr.m_nModuleCount) * size_t(qr.m_nModuleCount));
        Check(qr.m_nModuleCount == 0 || (qr.m_nModuleCount >= 21 && qr.m_nModuleCount <= 177));
    } else {
        const auto& dm = static_cast<const CBarcodeImpl_DataMatrix&>(*impl);
        Check(dm.m_grid.size() == size_t(dm.m_nRows) * size_t(dm.m_nColumns));
        Check(dm.m_nRows <= 144 && dm.m_nColumns <= 144);
    }
    QImage image(64, 64, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.scale(2, 2);
    impl->Draw(painter);
    return 0;
}
