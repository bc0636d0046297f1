#include "barcode/BarcodeImpl_Interleaved25.h"

#include "barcode/DotGrid.h"

#include <QPainter>
#include <QPen>

namespace twooffive {
namespace {

constexpr const char* kPatterns[10] = {
    "00110", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010",
};

} // namespace

const char* DigitPattern(QChar c)
{
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9' ? kPatterns[u - u'0'] : "00000";
}

QString DigitsOnly(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c >= u'0' && c <= u'9')
            out += c;
    return out;
}

QChar CheckDigit(const QString& text)
{
    int sum = 0;
    int weight = 3;
    for (auto it = text.crbegin(); it != text.crend(); ++it) {
        sum += weight * (static_cast<signed char>(LowByte(*it)) - 48);
        weight = 4 - weight;
    }
    const int c = sum % 10 == 0 ? 0 : 10 * (sum / 10) - sum + 10;
    return QChar(static_cast<char16_t>(48 + c));
}

QString Complete(const QString& text, bool addCheckDigit)
{
    QString out = text;
    if (addCheckDigit)
        out += CheckDigit(text);
    if (out.size() % 2 != 0)
        out.prepend(u'0');
    return out;
}

std::vector<unsigned char> InterleavedElements(const QString& text)
{
    std::vector<unsigned char> e;
    e.reserve(static_cast<size_t>(text.size()) * 5);
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        const char* bars = DigitPattern(text[i]);
        const char* spaces = DigitPattern(text[i + 1]);
        for (int j = 0; j < 5; ++j) {
            e.push_back(bars[j] == '1');
            e.push_back(spaces[j] == '1');
        }
    }
    return e;
}

std::vector<unsigned char> IndustrialElements(const QString& text)
{
    std::vector<unsigned char> e;
    e.reserve(static_cast<size_t>(text.size()) * 5);
    for (QChar c : text) {
        const char* p = DigitPattern(c);
        for (int j = 0; j < 5; ++j)
            e.push_back(p[j] == '1');
    }
    return e;
}

std::vector<unsigned char> MatrixElements(const QString& text)
{
    std::vector<unsigned char> e;
    e.reserve(static_cast<size_t>(text.size()) * 6);
    for (QChar c : text) {
        const char* p = DigitPattern(c);
        for (int j = 0; j < 5; ++j)
            e.push_back(p[j] == '1');
        e.push_back(0);
    }
    return e;
}

void BuildInterleavedBars(const std::vector<unsigned char>& e, float m, float w, CBarcodeData& bars)
{
    bars.AddBar(0.0f, m);
    bars.AddBar(2 * m, m);
    float cursor = 4 * m;
    for (size_t i = 0; i < e.size(); ++i) {
        const float width = e[i] ? w : m;
        if (i % 2 == 0)
            bars.AddBar(cursor, width);
        cursor += width;
    }
    bars.AddBar(cursor, w);
    bars.AddBar(cursor + w + m, m);
}

void BuildIndustrialBars(const std::vector<unsigned char>& e, float m, float w, CBarcodeData& bars)
{
    bars.AddBar(0.0f, w);
    bars.AddBar(w + m, w);
    bars.AddBar(2 * w + 2 * m, m);
    float cursor = 2 * w + 4 * m;
    for (unsigned char entry : e) {
        const float width = entry ? w : m;
        bars.AddBar(cursor, width);
        cursor += width + m;
    }
    bars.AddBar(cursor, w);
    bars.AddBar(cursor + w + m, m);
    bars.AddBar(cursor + w + 3 * m, w);
}

void BuildMatrixBars(const std::vector<unsigned char>& e, float m, float w, CBarcodeData& bars)
{
    bars.AddBar(0.0f, 4 * m);
    bars.AddBar(5 * m, m);
    bars.AddBar(7 * m, m);
    float cursor = 9 * m;
    for (size_t i = 0; i < e.size(); ++i) {
        const float width = e[i] ? w : m;
        if (i % 2 == 0)
            bars.AddBar(cursor, width);
        cursor += width;
    }
    bars.AddBar(cursor, 4 * m);
    bars.AddBar(cursor + 5 * m, m);
    bars.AddBar(cursor + 7 * m, m);
}

QString Itf14Digits(const QString& text, bool addCheckDigit)
{
    const int length = addCheckDigit ? 13 : 14;
    QString digits = DigitsOnly(text);
    if (digits.size() < length)
        digits.prepend(QString(length - digits.size(), u'0'));
    return digits.left(length);
}

} // namespace twooffive

void CBarcodeImpl_TwoOfFive::Encode()
{
    Elements() = MakeElements(SetCompletedTexts(*this));
}

QString CBarcodeImpl_TwoOfFive::BuildFullText(const QString& text)
{
    return twooffive::Complete(text, m_pSettings->m_bAddCheckDigit);
}

std::vector<uint8_t> CBarcodeImpl_Interleaved25::MakeElements(const QString& text) const
{
    return twooffive::InterleavedElements(text);
}

void CBarcodeImpl_Interleaved25::BuildBars()
{
    m_pData->ClearBars();
    twooffive::BuildInterleavedBars(Elements(), Narrow(), Wide(), *m_pData);
}

std::vector<uint8_t> CBarcodeImpl_Industrial25::MakeElements(const QString& text) const
{
    return twooffive::IndustrialElements(text);
}

void CBarcodeImpl_Industrial25::BuildBars()
{
    m_pData->ClearBars();
    twooffive::BuildIndustrialBars(Elements(), Narrow(), Wide(), *m_pData);
}

std::vector<uint8_t> CBarcodeImpl_Matrix25::MakeElements(const QString& text) const
{
    return twooffive::MatrixElements(text);
}

void CBarcodeImpl_Matrix25::BuildBars()
{
    m_pData->ClearBars();
    twooffive::BuildMatrixBars(Elements(), Narrow(), Wide(), *m_pData);
}

QString CBarcodeImpl_ITF14::SanitizeText(const QString& text) const
{
    return twooffive::Itf14Digits(text, m_pSettings->m_bAddCheckDigit);
}

void CBarcodeImpl_ITF14::BuildBars()
{
    CBarcodeImpl_Interleaved25::BuildBars();
    const float shift = kQuietModules * Narrow();
    for (float& x : m_pData->m_arrX)
        x += shift;
}

void CBarcodeImpl_ITF14::CalcWidth()
{
    CBarcodeImpl_Interleaved25::CalcWidth();
    m_pSettings->m_fWidth += kQuietModules * Narrow();
}

void CBarcodeImpl_ITF14::Draw(QPainter& graphics)
{
    if (!m_pData)
        return;
    CBarcodeImpl_Interleaved25::Draw(graphics);
    const CBarcodeSettings& s = *m_pSettings;
    graphics.save();
    const QPointF corner = TransformToBox(graphics, *m_pSettings);
    // The bearer box follows the bars as the base drew them.
    const DotGrid grid(graphics, s.m_fOutputDpi);
    const DrawnBars drawn(*m_pSettings, *m_pData, float(corner.x()), grid);
    const BarBand band = SnapBand(GetBarBand(float(corner.y())), grid);
    QPen pen(QColor::fromRgba(s.m_crBar));
    pen.setWidthF(2 * grid.ModuleX(Narrow()));
    pen.setJoinStyle(Qt::MiterJoin);
    graphics.setPen(pen);
    graphics.setBrush(Qt::NoBrush);
    graphics.drawRect(QRectF(corner.x(), band.top, s.m_fWidth, band.height));
    graphics.restore();
}
