#include "barcode/Pdf417.h"

#include "barcode/Barcode2D.h"
#include "barcode/DotGrid.h"
#include "barcode/CodePage.h"
#include "barcode/Pdf417Encoder.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

namespace {

float ModuleMm(const CBarcodeSettings_PDF417& s)
{
    return s.m_fModuleWidthX * kMilToMm;
}

int RowRatio(const CBarcodeSettings_PDF417& s)
{
    return s.m_nRowHeightRatio < 1 ? 3 : s.m_nRowHeightRatio;
}

// The element widths of a pattern in modules, most significant digit first,
// backwards into digits; returns how many.
int PatternDigits(int32_t pattern, char (&digits)[12])
{
    int n = 0;
    for (int32_t p = pattern; p > 0 && n < 12; p /= 10)
        digits[n++] = char(p % 10);
    return n;
}

// The symbol's modules, a byte per module (dark not 0), row by row; empty when its
// rows are not all equally wide.
std::vector<uint8_t> ModuleCells(const CBarcodeData_PDF417& data, int width, int& columns)
{
    // No pattern is wider than the stop pattern's 18 modules.
    constexpr int kWidest = 18;
    std::vector<uint8_t> cells(size_t(std::max(data.m_nRows, 0)) * size_t(std::max(width, 0)) * kWidest);
    uint8_t* out = cells.data();
    columns = 0;
    for (int r = 0; r < data.m_nRows; ++r) {
        const uint8_t* rowStart = out;
        for (int c = 0; c < width; ++c) {
            char digits[12];
            int n = PatternDigits(data.m_arrPatternMatrix[size_t(r) * size_t(width) + size_t(c)], digits);
            int modules = 0;
            for (int i = 0; i < n; ++i)
                modules += digits[i];
            if (modules > kWidest)
                return {};
            for (int i = 0; n > 0; ++i) {
                const int w = digits[--n];
                std::memset(out, i % 2 == 0 ? 1 : 0, size_t(w));
                out += w;
            }
        }
        const int rowWidth = int(out - rowStart);
        if (r > 0 && rowWidth != columns)
            return {};
        columns = rowWidth;
    }
    cells.resize(size_t(out - cells.data()));
    return cells;
}

} // namespace

void CBarcodeImpl_PDF417::Encode()
{
    auto& s = SettingsAs<CBarcodeSettings_PDF417>();
    auto& data = static_cast<CBarcodeData_PDF417&>(*m_pData);
    data.Clear();
    data.m_strText = s.m_strContent;
    Pdf417Options options;
    options.errorLevel = s.m_nECLevel;
    options.rows = s.m_nRows;
    options.columns = s.m_nColumns;
    options.rowColumnLimit = s.m_nRowColumnLimit;
    options.truncated = s.m_bTruncated;
    // The size is left to CalcSize: after a label file is read, the stored box stays.
    EncodePdf417(ConvertToCodePage(s.m_strContent, s.m_nCodePage), options, data);
}

void CBarcodeImpl_PDF417::CalcSize()
{
    CalcWidth();
    CalcHeight();
}

void CBarcodeImpl_PDF417::CalcWidth()
{
    auto& s = SettingsAs<CBarcodeSettings_PDF417>();
    const int columns = static_cast<const CBarcodeData_PDF417&>(*m_pData).m_nColumns;
    const int modules = columns * 17 + (s.m_bTruncated ? 35 : 69);
    s.m_fWidth = float(modules) * ModuleMm(s) + 2.0f * s.m_fQuietZone;
}

void CBarcodeImpl_PDF417::CalcHeight()
{
    auto& s = SettingsAs<CBarcodeSettings_PDF417>();
    const int rows = static_cast<const CBarcodeData_PDF417&>(*m_pData).m_nRows;
    s.m_fHeight = float(rows) * ModuleMm(s) * float(RowRatio(s)) + 2.0f * s.m_fQuietZone;
}

void CBarcodeImpl_PDF417::Resize(float, float)
{
    BuildBars();
    BuildBarsFromText();
    CalcSize();
}

void CBarcodeImpl_PDF417::Draw(QPainter& graphics)
{
    if (!m_pSettings || !m_pData)
        return;
    const auto& s = SettingsAs<CBarcodeSettings_PDF417>();
    const auto& data = static_cast<const CBarcodeData_PDF417&>(*m_pData);
    const float module = ModuleMm(s);
    const float rowHeight = module * float(RowRatio(s));
    Barcode2DFrame frame(graphics, *this, module, rowHeight, QPointF(s.m_fQuietZone, s.m_fQuietZone));
    const int width = Pdf417MatrixWidth(data);
    const QColor colour = QColor::fromRgba(s.m_crBar);
    const DotGrid grid(graphics, s.m_fOutputDpi);
    const double left = frame.TopLeft().x() + s.m_fQuietZone;
    double top = frame.TopLeft().y() + s.m_fQuietZone;
    if (grid.IsActive()) {
        int columns = 0;
        const std::vector<uint8_t> cells = ModuleCells(data, width, columns);
        if (FillCellsAsPicture(graphics, grid, cells, columns, data.m_nRows, QPointF(left, top), module, rowHeight,
                               colour))
            return;
    }
    DotFiller filler(graphics, grid);
    for (int r = 0; r < data.m_nRows; ++r, top += rowHeight) {
        double x = left;
        for (int c = 0; c < width; ++c) {
            char digits[12];
            int n = PatternDigits(data.m_arrPatternMatrix[size_t(r) * size_t(width) + size_t(c)], digits);
            for (int i = 0; n > 0; ++i) {
                const double w = digits[--n] * double(module);
                if (i % 2 == 0)
                    filler.Fill(QRectF(x, top, w, rowHeight), colour);
                x += w;
            }
        }
    }
}
