#include "barcode/Pdf417Encoder.h"

#include "barcode/BarcodeData.h"
#include "barcode/Pdf417Tables.h"
#include "platform/VXException.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kField = 929;

// Coefficients of (x - 3)(x - 3^2)...(x - 3^k) for every level, lowest power first,
// the leading 1 left out; level n starts at offset 2^(n+1) - 2.
constexpr std::array<int16_t, 1022> MakeCoefficients()
{
    std::array<int16_t, 1022> table{};
    int offset = 0;
    for (int level = 0; level <= 8; ++level) {
        const int k = 2 << level;
        std::array<int, 513> poly{};
        poly[0] = 1;
        int root = 1;
        for (int n = 0; n < k; ++n) {
            root = root * 3 % kField;
            for (int i = n + 1; i >= 0; --i) {
                const int shifted = i > 0 ? poly[i - 1] : 0;
                poly[i] = ((shifted - root * poly[i]) % kField + kField) % kField;
            }
        }
        for (int i = 0; i < k; ++i)
            table[offset + i] = static_cast<int16_t>(poly[i]);
        offset += k;
    }
    return table;
}

constexpr std::array<int16_t, 1022> kCoefficients = MakeCoefficients();
static_assert(kCoefficients[0] == 27 && kCoefficients[1] == 917);
static_assert(kCoefficients[2] == 522 && kCoefficients[3] == 568 && kCoefficients[4] == 723
              && kCoefficients[5] == 809);

[[noreturn]] void Fail(const QString& text)
{
    throw CBarcodeException(text);
}

} // namespace

std::vector<int32_t> Pdf417CompactBytes(const QByteArray& bytes)
{
    const qsizetype n = bytes.size();
    std::vector<int32_t> out;
    out.reserve(static_cast<size_t>(n / 6 * 5 + n % 6 + 1));
    out.push_back(n % 6 == 0 ? 924 : 901);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    qsizetype i = 0;
    for (; i + 6 <= n; i += 6) {
        uint64_t value = 0;
        for (int j = 0; j < 6; ++j)
            value = value << 8 | b[i + j];
        int32_t digits[5];
        for (int j = 4; j >= 0; --j) {
            digits[j] = static_cast<int32_t>(value % 900);
            value /= 900;
        }
        out.insert(out.end(), digits, digits + 5);
    }
    for (; i < n; ++i)
        out.push_back(b[i]);
    return out;
}

int Pdf417AutoErrorLevel(int dataCount)
{
    if (dataCount > 863)
        return 6;
    if (dataCount > 320)
        return 5;
    if (dataCount > 160)
        return 4;
    return dataCount > 40 ? 3 : 2;
}

std::span<const int16_t> Pdf417Coefficients(int level)
{
    if (level < 0 || level > 8)
        return {};
    return std::span<const int16_t>(kCoefficients).subspan(static_cast<size_t>((2 << level) - 2),
                                                           static_cast<size_t>(2 << level));
}

std::vector<int32_t> Pdf417ErrorCodewords(std::span<const int32_t> data, int level)
{
    const std::span<const int16_t> a = Pdf417Coefficients(level);
    const size_t k = a.size();
    std::vector<int32_t> e(k, 0);
    if (k == 0)
        return e;
    for (const int32_t c : data) {
        const int t = (c + e[k - 1]) % kField;
        for (size_t i = k - 1; i > 0; --i)
            e[i] = ((e[i - 1] - t * a[i]) % kField + kField) % kField;
        e[0] = ((-t * a[0]) % kField + kField) % kField;
    }
    std::vector<int32_t> out(k);
    for (size_t i = 0; i < k; ++i) {
        const int32_t v = e[k - 1 - i];
        out[i] = v != 0 ? kField - v : 0;
    }
    return out;
}

void Pdf417ChooseSize(int needed, const Pdf417Options& options, int& rows, int& columns)
{
    rows = options.rows;
    columns = options.columns;
    if (rows < 0 || columns < 0)
        Fail(kPdf417BadRowsColumns);
    if (rows > kPdf417MaxRows)
        Fail(kPdf417TooManyRows);
    if (columns > kPdf417MaxColumns)
        Fail(kPdf417TooManyColumns);
    if (needed > kPdf417MaxCodewords)
        Fail(kPdf417TooManyCodewords);

    // A negative limit would never let the first row in and loop forever.
    const int64_t limit = std::max(options.rowColumnLimit, 0);
    const bool fixedRows = rows > 0 && columns == 0;
    const bool fixedColumns = rows == 0 && columns > 0;
    while (int64_t(rows) * columns < needed) {
        if (fixedRows)
            ++columns;
        else if (fixedColumns)
            ++rows;
        else if (rows <= limit * columns)
            ++rows;
        else
            ++columns;
        if (rows > kPdf417MaxRows)
            Fail(kPdf417TooManyRows);
        if (columns > kPdf417MaxColumns)
            Fail(kPdf417TooManyColumns);
    }
    // Readers need at least three rows; the extra ones are padded.
    rows = std::max(rows, 3);
    if (rows * columns <= kPdf417MaxCodewords)
        return;
    // Near the limit a growth step can overshoot it (927 codewords grow to 52 x 18)
    // while a shape within it holds them (32 x 29): take the smallest such shape that
    // keeps what the options fix and the rule's row-to-column bound.
    int best = kPdf417MaxCodewords + 1;
    const int lowRows = fixedRows ? rows : std::max(options.rows, 3);
    const int highRows = fixedRows ? rows : kPdf417MaxRows;
    const int lowColumns = fixedColumns ? columns : std::max(options.columns, 1);
    const int highColumns = fixedColumns ? columns : kPdf417MaxColumns;
    for (int c = lowColumns; c <= highColumns; ++c) {
        for (int r = lowRows; r <= highRows; ++r) {
            const bool withinRule = fixedRows || fixedColumns || r <= limit * c + 1;
            if (withinRule && r * c >= needed && r * c < best) {
                best = r * c;
                rows = r;
                columns = c;
            }
        }
    }
    if (best > kPdf417MaxCodewords)
        Fail(kPdf417TooManyCodewords);
}

int Pdf417LeftIndicator(int row, int rows, int columns, int level)
{
    const int base = 30 * (row / 3);
    switch (row % 3) {
    case 0:
        return base + (rows - 1) / 3;
    case 1:
        return base + 3 * level + (rows - 1) % 3;
    default:
        return base + columns - 1;
    }
}

int Pdf417RightIndicator(int row, int rows, int columns, int level)
{
    const int base = 30 * (row / 3);
    switch (row % 3) {
    case 0:
        return base + columns - 1;
    case 1:
        return base + (rows - 1) / 3;
    default:
        return base + 3 * level + (rows - 1) % 3;
    }
}

void EncodePdf417(const QByteArray& bytes, const Pdf417Options& options, CBarcodeData_PDF417& data)
{
    // A failed encode must not leave the size of the previous symbol behind.
    data.m_nECLevel = data.m_nECCount = data.m_nRows = data.m_nColumns = data.m_nPadCount = 0;
    data.m_arrDataCodewords = Pdf417CompactBytes(bytes);
    data.m_arrDataCodewords.insert(data.m_arrDataCodewords.begin(), 0);
    const int dataCount = static_cast<int>(std::min<size_t>(data.m_arrDataCodewords.size(), 1u << 30));

    const int level = options.errorLevel == kPdf417AutoLevel ? Pdf417AutoErrorLevel(dataCount)
                                                             : options.errorLevel;
    data.m_nECLevel = level;
    if (level < 0 || level > 8)
        Fail(kPdf417BadLevel);
    data.m_nECCount = 2 << level;

    const int needed = std::min(data.m_nECCount + dataCount, kPdf417MaxCodewords + 1);
    int rows = 0, columns = 0;
    Pdf417ChooseSize(needed, options, rows, columns);
    data.m_nRows = rows;
    data.m_nColumns = columns;

    data.m_nPadCount = rows * columns - data.m_nECCount - dataCount;
    const int described = dataCount + data.m_nPadCount;
    data.m_arrDataCodewords[0] = described;
    data.m_arrDataAndPad = data.m_arrDataCodewords;
    data.m_arrDataAndPad.resize(static_cast<size_t>(described), 900);

    data.m_arrECCodewords = Pdf417ErrorCodewords(data.m_arrDataAndPad, level);
    data.m_arrAllCodewords = data.m_arrDataAndPad;
    data.m_arrAllCodewords.insert(data.m_arrAllCodewords.end(), data.m_arrECCodewords.begin(),
                                  data.m_arrECCodewords.end());

    const int width = columns + (options.truncated ? 3 : 4);
    data.m_arrCodewordMatrix.assign(static_cast<size_t>(rows * width), 0);
    data.m_arrPatternMatrix.assign(static_cast<size_t>(rows * width), 0);
    for (int r = 0; r < rows; ++r) {
        int32_t* cw = &data.m_arrCodewordMatrix[static_cast<size_t>(r * width)];
        int32_t* pat = &data.m_arrPatternMatrix[static_cast<size_t>(r * width)];
        const auto& cluster = kPdf417Clusters[static_cast<size_t>(r % 3)];
        cw[1] = Pdf417LeftIndicator(r, rows, columns, level);
        std::copy_n(data.m_arrAllCodewords.begin() + r * columns, columns, cw + 2);
        if (!options.truncated)
            cw[columns + 2] = Pdf417RightIndicator(r, rows, columns, level);
        pat[0] = kPdf417StartPattern;
        const int last = options.truncated ? columns + 1 : columns + 2;
        for (int c = 1; c <= last; ++c)
            pat[c] = static_cast<int32_t>(cluster[static_cast<size_t>(cw[c])]);
        pat[width - 1] = options.truncated ? kPdf417TruncatedStop : kPdf417StopPattern;
    }
}

int Pdf417MatrixWidth(const CBarcodeData_PDF417& data)
{
    return data.m_nRows > 0 ? static_cast<int>(data.m_arrPatternMatrix.size() / static_cast<size_t>(data.m_nRows)) : 0;
}
