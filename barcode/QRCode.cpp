#include "barcode/QRCode.h"

#include "barcode/Barcode2D.h"
#include "barcode/CodePage.h"
#include "platform/VXException.h"

#include <cerrno>
#include <qrencode.h>

void CBarcodeImpl_QRCode::Encode()
{
    const auto& s = SettingsAs<CBarcodeSettings_QRCode>();
    m_nECLevel = s.m_nECLevel;
    m_nVersion = s.m_nVersion;
    m_nAutoExtend = s.m_bAutoExtend ? 1 : 0;
    m_nMask = s.m_nMask;
    const QByteArray bytes = ConvertToCodePage(s.m_strContent, s.m_nCodePage);
    // No content, no symbol: the box of the last one must not survive into the next
    // label as an empty grid.
    if (bytes.isEmpty()) {
        m_nModuleCount = 0;
        m_grid.clear();
        return;
    }
    m_grid.assign(size_t(m_nModuleCount) * size_t(m_nModuleCount), 0);

    const QRecLevel level = s.m_nECLevel >= 0 && s.m_nECLevel <= 3 ? QRecLevel(s.m_nECLevel) : QR_ECLEVEL_L;
    errno = 0;
    // The string call stops at a zero byte, so content holding one goes in whole as
    // 8-bit data; everything else keeps the library's own split into segments.
    QRcode* code = bytes.contains('\0')
                       ? QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.constData()),
                                           s.m_nVersion, level)
                       : QRcode_encodeString(bytes.constData(), s.m_nVersion, level, QR_MODE_8, 1);
    // libqrencode 4 keeps no tables between calls, so there is no cache to clear.
    const int error = errno;
    if (!code) {
        throw CBarcodeException(error == ERANGE ? kQRCodeTooMuchData
                                : error == EINVAL ? kQRCodeBadVersion
                                                  : kQRCodeFailed);
    }
    m_nModuleCount = code->width;
    const size_t cells = size_t(code->width) * size_t(code->width);
    m_grid.resize(cells);
    for (size_t i = 0; i < cells; ++i)
        m_grid[i] = code->data[i] & 1;
    QRcode_free(code);
}

void CBarcodeImpl_QRCode::CalcSize()
{
    auto& s = SettingsAs<CBarcodeSettings_QRCode>();
    const float module = s.m_fModuleWidthX * kMilToMm;
    s.m_fWidth = s.m_fHeight = module * float(m_nModuleCount);
}

void CBarcodeImpl_QRCode::Draw(QPainter& graphics)
{
    // Empty content has no symbol: not even the background of the last one's box.
    if (!m_pSettings || m_pSettings->m_strContent.isEmpty())
        return;
    const float module = SettingsAs<CBarcodeSettings_QRCode>().m_fModuleWidthX * kMilToMm;
    Barcode2DFrame frame(graphics, *this, module, module);
    DrawModuleGrid(graphics, *this, frame.TopLeft(), m_grid, m_nModuleCount, m_nModuleCount, module);
}

void CBarcodeImpl_QRCode::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl::CopyFrom(other);
    const auto& o = static_cast<const CBarcodeImpl_QRCode&>(other);
    m_nECLevel = o.m_nECLevel;
    m_nVersion = o.m_nVersion;
    m_nAutoExtend = o.m_nAutoExtend;
    m_nMask = o.m_nMask;
    m_nModuleCount = o.m_nModuleCount;
    m_grid = o.m_grid;
}
