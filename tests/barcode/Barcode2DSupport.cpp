#include "Barcode2DSupport.h"

#include "LinearSupport.h"
#include "barcode/BarcodeImpl.h"
#include "platform/Drawing.h"
#include "platform/VXException.h"

#include <QPainter>
#include <cstring>
#include <dmtx.h>

std::optional<QByteArray> DecodeWithZXing(const QImage& image, ZXing::BarcodeFormat format)
{
    if (std::optional<LinearRead> read = ReadLinear(image, format))
        return read->text;
    return std::nullopt;
}

QString EncodeError(CBarcodeImpl& impl)
{
    try {
        impl.Encode();
    } catch (const CBarcodeException& e) {
        return e.GetMessage();
    }
    return {};
}

QImage RenderBarcode(CBarcodeImpl& impl, double dpi, double quietMm)
{
    CBarcodeSettings& s = *impl.GetSettings();
    QImage image = MakeImageAtDpi(s.m_fWidth + 2 * quietMm, s.m_fHeight + 2 * quietMm, dpi, QImage::Format_RGB32);
    image.fill(Qt::white);
    s.m_fX = float(quietMm);
    s.m_fY = float(quietMm);
    QPainter painter(&image);
    SetMillimetreWorld(painter, dpi, dpi);
    impl.Draw(painter);
    return image;
}

std::optional<QByteArray> DecodeWithLibdmtx(const QImage& image, int* firstCodeword)
{
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    // libdmtx wants rows without padding.
    std::vector<unsigned char> pixels(size_t(grey.width()) * size_t(grey.height()));
    for (int y = 0; y < grey.height(); ++y)
        std::memcpy(&pixels[size_t(y) * size_t(grey.width())], grey.constScanLine(y), size_t(grey.width()));
    DmtxImage* img = dmtxImageCreate(pixels.data(), grey.width(), grey.height(), DmtxPack8bppK);
    DmtxDecode* dec = dmtxDecodeCreate(img, 1);
    std::optional<QByteArray> out;
    DmtxTime timeout = dmtxTimeAdd(dmtxTimeNow(), 5000);
    if (DmtxRegion* reg = dmtxRegionFindNext(dec, &timeout)) {
        if (DmtxMessage* msg = dmtxDecodeMatrixRegion(dec, reg, DmtxUndefined)) {
            out = QByteArray(reinterpret_cast<const char*>(msg->output), qsizetype(msg->outputIdx));
            if (firstCodeword)
                *firstCodeword = msg->codeSize > 0 ? msg->code[0] : -1;
            dmtxMessageDestroy(&msg);
        }
        dmtxRegionDestroy(&reg);
    }
    dmtxDecodeDestroy(&dec);
    dmtxImageDestroy(&img);
    return out;
}
