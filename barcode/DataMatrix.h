#pragma once

#include "barcode/BarcodeImpl.h"

#include <vector>

inline const QString kDataMatrixCannotEncode =
    QStringLiteral("Data Matrix 无法生成：数据超出所选尺寸的容量，或含有所选编码方式不能表示的字符。");

// Size requests of the property pane's size list, in libdmtx's terms.
enum DataMatrixSizeChoice : int32_t
{
    DataMatrixSizeRectAuto = -3,
    DataMatrixSizeSquareAuto = -2,
    DataMatrixSizeShapeAuto = -1,  // never written into the library: its default stays
};

// The library size request for a size choice of the settings (0-32).
int DataMatrixSizeRequest(int32_t sizeChoice);
// The libdmtx scheme for an encodation code of the settings.
int DataMatrixScheme(int32_t encodation);

// Data Matrix (ECC 200) through libdmtx, from the content's UTF-8 bytes.
class CBarcodeImpl_DataMatrix : public CBarcodeImpl
{
public:
    void Draw(QPainter& graphics) override;
    // Content to module grid, row 0 at the top. When the library makes no symbol
    // (too much data for the size, characters the scheme cannot hold) rows and
    // columns become 0 and CBarcodeException is thrown so the caller can tell the
    // user; empty content simply makes no symbol.
    void Encode() override;
    void CalcSize() override;
    void CalcWidth() override;
    void CalcHeight() override;
    void Resize(float, float) override {}
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_DataMatrix>(); }

    // Copies of the settings taken by Encode.
    int32_t m_nEncodation = 0;
    int32_t m_nSizeChoice = 0;
    // Symbol size in modules, finder pattern included.
    int32_t m_nColumns = 0;
    int32_t m_nRows = 0;
    // m_nRows × m_nColumns bytes, row-major, row 0 at the top, non-zero dark.
    std::vector<uint8_t> m_grid;

protected:
    void CopyFrom(const CBarcodeImpl& other) override;
};
