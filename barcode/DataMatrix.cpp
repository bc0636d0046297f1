#include "barcode/DataMatrix.h"

#include "barcode/Barcode2D.h"
#include "barcode/CodePage.h"
#include "platform/VXException.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <dmtx.h>

namespace {

// The standard's placement of codeword bits in the mapping matrix (row 0 at the
// top): each cell holds 8 x codeword + (bit from the most significant, 0-7) + 1,
// or -1 for the fixed dark corner; 0 means not placed.
class Ecc200Placement
{
public:
    Ecc200Placement(int rows, int columns) : m_rows(rows), m_columns(columns), m_cells(size_t(rows) * size_t(columns), 0)
    {
        int chr = 0, row = 4, col = 0;
        do {
            if (row == m_rows && col == 0)
                Corner(chr++, {{m_rows - 1, 0}, {m_rows - 1, 1}, {m_rows - 1, 2}, {0, m_columns - 2},
                               {0, m_columns - 1}, {1, m_columns - 1}, {2, m_columns - 1}, {3, m_columns - 1}});
            if (row == m_rows - 2 && col == 0 && m_columns % 4)
                Corner(chr++, {{m_rows - 3, 0}, {m_rows - 2, 0}, {m_rows - 1, 0}, {0, m_columns - 4},
                               {0, m_columns - 3}, {0, m_columns - 2}, {0, m_columns - 1}, {1, m_columns - 1}});
            if (row == m_rows - 2 && col == 0 && m_columns % 8 == 4)
                Corner(chr++, {{m_rows - 3, 0}, {m_rows - 2, 0}, {m_rows - 1, 0}, {0, m_columns - 2},
                               {0, m_columns - 1}, {1, m_columns - 1}, {2, m_columns - 1}, {3, m_columns - 1}});
            if (row == m_rows + 4 && col == 2 && m_columns % 8 == 0)
                Corner(chr++, {{m_rows - 1, 0}, {m_rows - 1, m_columns - 1}, {0, m_columns - 3}, {0, m_columns - 2},
                               {0, m_columns - 1}, {1, m_columns - 3}, {1, m_columns - 2}, {1, m_columns - 1}});
            do {
                if (row < m_rows && col >= 0 && !At(row, col))
                    Utah(row, col, chr++);
                row -= 2;
                col += 2;
            } while (row >= 0 && col < m_columns);
            row += 1;
            col += 3;
            do {
                if (row >= 0 && col < m_columns && !At(row, col))
                    Utah(row, col, chr++);
                row += 2;
                col -= 2;
            } while (row < m_rows && col >= 0);
            row += 3;
            col += 1;
        } while (row < m_rows || col < m_columns);
        if (!m_cells.back()) {
            m_cells.back() = -1;
            m_cells[m_cells.size() - size_t(m_columns) - 2] = -1;
        }
    }

    bool IsDark(size_t cell, const unsigned char* codewords) const
    {
        const int v = m_cells[cell];
        if (v <= 0)
            return v < 0;
        return (codewords[(v - 1) / 8] >> (7 - (v - 1) % 8)) & 1;
    }

private:
    int& At(int row, int col) { return m_cells[size_t(row) * size_t(m_columns) + size_t(col)]; }

    void Module(int row, int col, int chr, int bit)
    {
        if (row < 0) {
            row += m_rows;
            col += 4 - ((m_rows + 4) % 8);
        }
        if (col < 0) {
            col += m_columns;
            row += 4 - ((m_columns + 4) % 8);
        }
        At(row, col) = 8 * chr + bit + 1;
    }

    void Utah(int row, int col, int chr)
    {
        Corner(chr, {{row - 2, col - 2}, {row - 2, col - 1}, {row - 1, col - 2}, {row - 1, col - 1},
                     {row - 1, col}, {row, col - 2}, {row, col - 1}, {row, col}});
    }

    void Corner(int chr, std::initializer_list<std::pair<int, int>> places)
    {
        for (int bit = 0; bit < 8; ++bit)
            Module(places.begin()[bit].first, places.begin()[bit].second, chr, bit);
    }

    int m_rows;
    int m_columns;
    std::vector<int> m_cells;
};

const Ecc200Placement& PlacementOf(int sizeIdx)
{
    thread_local std::map<int, Ecc200Placement> placements;
    auto found = placements.find(sizeIdx);
    if (found == placements.end())
        found = placements
                    .emplace(sizeIdx, Ecc200Placement(dmtxGetSymbolAttribute(DmtxSymAttribMappingMatrixRows, sizeIdx),
                                                      dmtxGetSymbolAttribute(DmtxSymAttribMappingMatrixCols, sizeIdx)))
                    .first;
    return found->second;
}

// Where error codeword j of block b stands: the standard goes on dealing codewords to
// the blocks in turn across the data/error boundary.
int ErrorWordIndex(int dataWords, int blocks, int b, int j)
{
    return dataWords + ((b - dataWords) % blocks + blocks) % blocks + blocks * j;
}

// In a symbol whose blocks hold unequal numbers of data codewords (144x144), the
// standard keeps dealing codewords to the blocks in turn across the data/error
// boundary, while libdmtx restarts at block 0 for the error codewords; such a
// symbol is not readable by standard readers. Move the error codewords to their
// standard places and lay the modules out again.
void FixUnequalBlockInterleave(DmtxMessage& message, int sizeIdx)
{
    const int blocks = dmtxGetSymbolAttribute(DmtxSymAttribInterleavedBlocks, sizeIdx);
    const int dataWords = dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, sizeIdx);
    const int blockErrorWords = dmtxGetSymbolAttribute(DmtxSymAttribBlockErrorWords, sizeIdx);
    if (blocks <= 1 || dataWords % blocks == 0)
        return;
    std::vector<unsigned char> code(message.code, message.code + message.codeSize);
    for (int b = 0; b < blocks; ++b)
        for (int j = 0; j < blockErrorWords; ++j)
            code[size_t(ErrorWordIndex(dataWords, blocks, b, j))] = message.code[dataWords + b + blocks * j];
    const Ecc200Placement& placement = PlacementOf(sizeIdx);
    for (size_t i = 0; i < message.arraySize; ++i) {
        message.array[i] &= ~DmtxModuleOnRGB;
        if (placement.IsDark(i, code.data()))
            message.array[i] |= DmtxModuleOnRGB;
    }
    std::copy(code.begin(), code.end(), message.code);
}

// The symbol's modules from its mapping matrix (darkInMapping(index of a mapping
// cell)), finder and clock tracks added around each data region: what
// dmtxSymbolModuleStatus gives module by module, without its four attribute look-ups
// per module. Row 0 of `grid` is the top row.
template <typename DarkInMapping>
void LayModules(int sizeIdx, int rows, int columns, std::vector<uint8_t>& grid, DarkInMapping darkInMapping)
{
    const int regionRows = dmtxGetSymbolAttribute(DmtxSymAttribDataRegionRows, sizeIdx) + 2;
    const int regionColumns = dmtxGetSymbolAttribute(DmtxSymAttribDataRegionCols, sizeIdx) + 2;
    const int mappingColumns = dmtxGetSymbolAttribute(DmtxSymAttribMappingMatrixCols, sizeIdx);
    grid.assign(size_t(rows) * size_t(columns), 0);
    for (int top = 0; top < rows; ++top) {
        const int row = rows - 1 - top; // the library counts rows from the bottom edge
        const int mappingRow = top - 1 - 2 * (top / regionRows);
        uint8_t* out = &grid[size_t(top) * size_t(columns)];
        for (int col = 0; col < columns; ++col) {
            bool dark;
            if (row % regionRows == 0 || col % regionColumns == 0)
                dark = true; // solid finder edges
            else if ((row + 1) % regionRows == 0)
                dark = col % 2 == 0; // clock track along the top of a region
            else if ((col + 1) % regionColumns == 0)
                dark = row % 2 == 0; // clock track down its right side
            else
                dark = darkInMapping(size_t(mappingRow) * size_t(mappingColumns) + size_t(col - 1 - 2 * (col / regionColumns)));
            out[col] = dark ? 1 : 0;
        }
    }
}

void ReadModules(const DmtxMessage& message, int sizeIdx, int rows, int columns, std::vector<uint8_t>& grid)
{
    LayModules(sizeIdx, rows, columns, grid, [&](size_t i) { return (message.array[i] & DmtxModuleOnRed) != 0; });
}

// ---- ASCII encodation without the library ------------------------------------
// The library paints a picture of every symbol it makes, module by module through a
// matrix, which costs more than the encoding itself; symbols in ASCII encodation (the
// default) are made here instead, codeword for codeword what the library makes:
// digit pairs in one codeword, other bytes one each (above 127 after an upper shift),
// the smallest square (or the one size asked for) that holds them, padding scrambled by
// position, Reed-Solomon blocks dealt as the standard deals them.

constexpr int kAsciiPad = 129;
constexpr int kAsciiUpperShift = 235;

std::vector<uint8_t> AsciiCodewords(const QByteArray& bytes)
{
    std::vector<uint8_t> out;
    out.reserve(size_t(bytes.size()) + 2);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto v = static_cast<unsigned char>(bytes[i]);
        if (i + 1 < bytes.size() && digit(char(v)) && digit(bytes[i + 1])) {
            out.push_back(uint8_t(10 * (v - '0') + (bytes[i + 1] - '0') + 130));
            ++i;
        } else if (v < 128) {
            out.push_back(uint8_t(v + 1));
        } else {
            out.push_back(uint8_t(kAsciiUpperShift));
            out.push_back(uint8_t(v - 127));
        }
    }
    return out;
}

// The symbol size of the request (the smallest square, or one size) that holds the
// codewords; -1 when none does.
int AsciiSymbolSize(int dataWords, int request)
{
    if (dataWords <= 0)
        return -1;
    int sizeIdx = request;
    if (request == DmtxSymbolSquareAuto) {
        for (sizeIdx = 0; sizeIdx < DmtxSymbolSquareCount; ++sizeIdx)
            if (dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, sizeIdx) >= dataWords)
                break;
        if (sizeIdx == DmtxSymbolSquareCount)
            return -1;
    }
    return dataWords <= dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, sizeIdx) ? sizeIdx : -1;
}

// GF(256) of the prime polynomial 301, as log and antilog tables.
struct Gf256
{
    uint8_t exp[512];
    uint8_t log[256] = {};
    Gf256()
    {
        int x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[i] = exp[i + 255] = uint8_t(x);
            log[x] = uint8_t(i);
            x <<= 1;
            if (x & 0x100)
                x ^= 301;
        }
        exp[510] = exp[0];
        exp[511] = exp[1];
    }
    uint8_t Mul(uint8_t a, uint8_t b) const { return a && b ? exp[log[a] + log[b]] : 0; }
};

// Data codewords, padded, followed by the error codewords of each block.
void AddErrorCorrection(std::vector<uint8_t>& code, int sizeIdx)
{
    static const Gf256 gf;
    const int blocks = dmtxGetSymbolAttribute(DmtxSymAttribInterleavedBlocks, sizeIdx);
    const int errorWords = dmtxGetSymbolAttribute(DmtxSymAttribBlockErrorWords, sizeIdx);
    const int dataWords = dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, sizeIdx);
    // Generator (x + a^1)(x + a^2)...(x + a^n), highest power first after the leading 1.
    std::vector<uint8_t> generator(size_t(errorWords) + 1, 0);
    generator[0] = 1;
    for (int i = 1; i <= errorWords; ++i)
        for (int j = i; j >= 1; --j)
            generator[size_t(j)] ^= gf.Mul(generator[size_t(j - 1)], gf.exp[i]);
    code.resize(size_t(dataWords) + size_t(blocks) * size_t(errorWords), 0);
    std::vector<uint8_t> remainder(static_cast<size_t>(errorWords));
    for (int b = 0; b < blocks; ++b) {
        std::fill(remainder.begin(), remainder.end(), 0);
        for (int i = b; i < dataWords; i += blocks) {
            const uint8_t feedback = code[size_t(i)] ^ remainder[0];
            std::copy(remainder.begin() + 1, remainder.end(), remainder.begin());
            remainder.back() = 0;
            if (feedback)
                for (int j = 0; j < errorWords; ++j)
                    remainder[size_t(j)] ^= gf.Mul(feedback, generator[size_t(j) + 1]);
        }
        for (int j = 0; j < errorWords; ++j)
            code[size_t(ErrorWordIndex(dataWords, blocks, b, j))] = remainder[size_t(j)];
    }
}

// Makes the symbol in ASCII encodation for a size request (the smallest square or one
// size); false when no symbol of the request holds the bytes.
bool EncodeAscii(const QByteArray& bytes, int request, int& rows, int& columns, std::vector<uint8_t>& grid)
{
    std::vector<uint8_t> code = AsciiCodewords(bytes);
    const int sizeIdx = AsciiSymbolSize(int(code.size()), request);
    if (sizeIdx < 0)
        return false;
    const int dataWords = dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, sizeIdx);
    if (int(code.size()) < dataWords)
        code.push_back(uint8_t(kAsciiPad));
    while (int(code.size()) < dataWords) {
        const int position = int(code.size()) + 1;
        int pad = kAsciiPad + (149 * position) % 253 + 1;
        if (pad > 254)
            pad -= 254;
        code.push_back(uint8_t(pad));
    }
    AddErrorCorrection(code, sizeIdx);
    rows = dmtxGetSymbolAttribute(DmtxSymAttribSymbolRows, sizeIdx);
    columns = dmtxGetSymbolAttribute(DmtxSymAttribSymbolCols, sizeIdx);
    const Ecc200Placement& placement = PlacementOf(sizeIdx);
    LayModules(sizeIdx, rows, columns, grid, [&](size_t i) { return placement.IsDark(i, code.data()); });
    return true;
}

// The library paints every symbol it makes into a picture of its own, pixel by
// pixel, at twenty times the cost of the encoding; we read the modules from its
// message instead, so the picture is kept as small as the library allows: modules of
// no pixels (of one, if a library refuses that) in a margin of one pixel.
void ShrinkLibraryPicture(DmtxEncode& enc)
{
    dmtxEncodeSetProp(&enc, DmtxPropPixelPacking, DmtxPack8bppK);
    dmtxEncodeSetProp(&enc, DmtxPropMarginSize, 1);
    if (dmtxEncodeSetProp(&enc, DmtxPropModuleSize, 0) != DmtxPass)
        dmtxEncodeSetProp(&enc, DmtxPropModuleSize, 1);
}

} // namespace

int DataMatrixSizeRequest(int32_t sizeChoice)
{
    if (sizeChoice == 0)
        return DataMatrixSizeRectAuto;
    if (sizeChoice == 2)
        return DataMatrixSizeShapeAuto;
    if (sizeChoice >= 3 && sizeChoice <= 32)
        return sizeChoice - 3;
    return DataMatrixSizeSquareAuto;
}

int DataMatrixScheme(int32_t encodation)
{
    switch (encodation) {
    case 1:
        return DmtxSchemeC40;
    case 2:
        return DmtxSchemeText;
    case 3:
        return DmtxSchemeX12;
    case 4:
        return DmtxSchemeBase256;
    default:
        return DmtxSchemeAscii;
    }
}

void CBarcodeImpl_DataMatrix::Encode()
{
    const auto& s = SettingsAs<CBarcodeSettings_DataMatrix>();
    m_nEncodation = s.m_nEncodation;
    m_nSizeChoice = s.m_nSizeChoice;
    m_nColumns = m_nRows = 0;
    m_grid.clear();
    QByteArray bytes = ConvertToCodePage(s.m_strContent, CodePageUTF8);
    if (bytes.isEmpty())
        return;
    const int request = DataMatrixSizeRequest(s.m_nSizeChoice);
    // The library's own choice among rectangles (and its default shape) are left to it.
    if (DataMatrixScheme(s.m_nEncodation) == DmtxSchemeAscii
        && (request == DataMatrixSizeSquareAuto || request >= 0)) {
        int rows = 0, columns = 0;
        if (!EncodeAscii(bytes, request, rows, columns, m_grid))
            throw CBarcodeException(kDataMatrixCannotEncode);
        m_nRows = rows;
        m_nColumns = columns;
        return;
    }

    DmtxEncode* enc = dmtxEncodeCreate();
    if (!enc)
        throw CBarcodeException(kDataMatrixCannotEncode);
    ShrinkLibraryPicture(*enc);
    dmtxEncodeSetProp(enc, DmtxPropScheme, DataMatrixScheme(s.m_nEncodation));
    if (request != DataMatrixSizeShapeAuto)
        dmtxEncodeSetProp(enc, DmtxPropSizeRequest, request);
    const DmtxPassFail result = dmtxEncodeDataMatrix(enc, int(bytes.size()), reinterpret_cast<unsigned char*>(bytes.data()));
    const int rows = enc->region.symbolRows;
    const int columns = enc->region.symbolCols;
    if (result != DmtxPass || !enc->message || rows < 1 || columns < 1) {
        dmtxEncodeDestroy(&enc);
        throw CBarcodeException(kDataMatrixCannotEncode);
    }
    m_nRows = rows;
    m_nColumns = columns;
    const int sizeIdx = enc->region.sizeIdx;
    FixUnequalBlockInterleave(*enc->message, sizeIdx);
    ReadModules(*enc->message, sizeIdx, rows, columns, m_grid);
    dmtxEncodeDestroy(&enc);
}

void CBarcodeImpl_DataMatrix::CalcSize()
{
    CalcWidth();
    CalcHeight();
}

void CBarcodeImpl_DataMatrix::CalcWidth()
{
    auto& s = SettingsAs<CBarcodeSettings_DataMatrix>();
    s.m_fWidth = s.m_fModuleWidthX * kMilToMm * float(m_nColumns);
}

void CBarcodeImpl_DataMatrix::CalcHeight()
{
    auto& s = SettingsAs<CBarcodeSettings_DataMatrix>();
    s.m_fHeight = s.m_fModuleWidthX * kMilToMm * float(m_nRows);
}

void CBarcodeImpl_DataMatrix::Draw(QPainter& graphics)
{
    if (!m_pSettings)
        return;
    const float module = SettingsAs<CBarcodeSettings_DataMatrix>().m_fModuleWidthX * kMilToMm;
    Barcode2DFrame frame(graphics, *this, module, module);
    DrawModuleGrid(graphics, *this, frame.TopLeft(), m_grid, m_nRows, m_nColumns, module);
}

void CBarcodeImpl_DataMatrix::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl::CopyFrom(other);
    const auto& o = static_cast<const CBarcodeImpl_DataMatrix&>(other);
    m_nEncodation = o.m_nEncodation;
    m_nSizeChoice = o.m_nSizeChoice;
    m_nColumns = o.m_nColumns;
    m_nRows = o.m_nRows;
    m_grid = o.m_grid;
}
