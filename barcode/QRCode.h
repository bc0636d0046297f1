#pragma once

#include "barcode/BarcodeImpl.h"

#include <vector>

inline const QString kQRCodeTooMuchData = QStringLiteral("数据太多，超出 QR Code 所选版本的容量。");
inline const QString kQRCodeBadVersion = QStringLiteral("QR Code 版本设置不正确。");
inline const QString kQRCodeFailed = QStringLiteral("QR Code 无法生成。");

// QR Code through libqrencode: the content in the settings' code page, 8-bit hint,
// case kept, mask and (for version 0) version chosen by the library.
class CBarcodeImpl_QRCode : public CBarcodeImpl
{
public:
    void Draw(QPainter& graphics) override;
    // Content to module grid. Content the library cannot encode (too much data for
    // the version and level, a version outside 0-40) leaves the grid all light and
    // the module count as it was, then throws CBarcodeException so the caller can
    // tell the user; empty content simply makes no symbol (no modules, no size) and
    // draws nothing.
    void Encode() override;
    // Side = module count × X; no quiet zone.
    void CalcSize() override;
    void CalcWidth() override { CalcSize(); }
    void CalcHeight() override { CalcSize(); }
    void Resize(float, float) override {}
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_QRCode>(); }

    // Copies of the settings taken by Encode.
    int32_t m_nECLevel = 0;
    int32_t m_nVersion = 0;
    int32_t m_nAutoExtend = 0;
    int32_t m_nMask = 0;
    int32_t m_nModuleCount = 0;
    // m_nModuleCount² bytes, row-major, 1 dark.
    std::vector<uint8_t> m_grid;

protected:
    void CopyFrom(const CBarcodeImpl& other) override;
};
