#include "barcode/BarcodeImpl_PostNet.h"

#include "barcode/BarcodeImpl_MSI.h"
#include "barcode/DotGrid.h"

#include <QPainter>

namespace postnet {
namespace {

constexpr const char* kPatterns[10] = {
    "11000", "00011", "00101", "00110", "01001", "01010", "01100", "10001", "10010", "10100",
};

} // namespace

QChar CheckDigit(const QString& digits)
{
    int sum = 0;
    for (QChar c : digits)
        sum += c.unicode() - u'0';
    return QChar(static_cast<char16_t>(u'0' + (10 - sum % 10) % 10));
}

QString BarPattern(const QString& digits)
{
    QString pattern;
    pattern.reserve(digits.size() * 5 + 2);
    pattern += u'1';
    for (QChar c : digits)
        pattern += QLatin1String(kPatterns[c.unicode() - u'0']);
    pattern += u'1';
    return pattern;
}

} // namespace postnet

QString CBarcodeImpl_PostNet::SanitizeText(const QString& text) const
{
    return msi::DigitsOnly(text);
}

void CBarcodeImpl_PostNet::Encode()
{
    m_strPattern = postnet::BarPattern(SetCompletedTexts(*this));
}

float CBarcodeImpl_PostNet::Pitch() const
{
    const float m = m_pSettings->m_fModuleWidth * kMilToMm;
    return 1.4f * m + m;
}

void CBarcodeImpl_PostNet::BuildBars()
{
    const float m = m_pSettings->m_fModuleWidth * kMilToMm;
    const float p = Pitch();
    m_pData->ClearBars();
    for (qsizetype i = 0; i < m_strPattern.size(); ++i)
        m_pData->AddBar(static_cast<float>(i) * p, m);
}

void CBarcodeImpl_PostNet::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl::CopyFrom(other);
    m_strPattern = static_cast<const CBarcodeImpl_PostNet&>(other).m_strPattern;
}

void CBarcodeImpl_PostNet::Draw(QPainter& graphics)
{
    if (!m_pData)
        return;
    const CBarcodeSettings& s = *m_pSettings;
    graphics.save();
    const QPointF corner = TransformToBox(graphics, s);
    const float left = corner.x();
    const float top = corner.y();
    const DotGrid grid(graphics, s.m_fOutputDpi);
    const DrawnBars drawn(*m_pSettings, *m_pData, left, grid);
    const CBarcodeData& bars = drawn.Bars();
    FillBoxBackground(graphics, s, corner, s.m_fWidth);
    const float textHeight = GetTextHeight();
    const BarBand band = SnapBand(GetBarBand(top), grid);
    const float height = band.height;
    const float barTop = band.top;
    const float shortHeight = float(grid.RoundY(height / 2));
    const QPainter::RenderHints hints = graphics.renderHints();
    graphics.setRenderHint(QPainter::Antialiasing, false);
    const QColor bar = QColor::fromRgba(s.m_crBar);
    // Short bars are half the tall ones (in whole dots), on the same baseline.
    const size_t count = std::min(bars.m_arrX.size(), size_t(m_strPattern.size()));
    {
        DotFiller filler(graphics, grid);
        for (size_t i = 0; i < count; ++i) {
            const bool tall = m_strPattern[qsizetype(i)] == u'1';
            filler.Fill(QRectF(left + bars.m_arrX[i], tall ? barTop : barTop + height - shortHeight, bars.m_arrWidth[i],
                               tall ? height : shortHeight),
                        bar);
        }
    }
    if (s.m_bShowText) {
        HumanReadableLineStyle style;
        style.grouping = false;
        style.leftBlank = false;
        style.centreCells = true;
        graphics.setRenderHints(hints);
        DrawHumanReadableText(graphics, textHeight, left, top, style);
    }
    graphics.restore();
}
