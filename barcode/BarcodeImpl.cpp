#include "barcode/BarcodeImpl.h"

#include "barcode/DotGrid.h"
#include "platform/Drawing.h"
#include "platform/Numbers.h"

#include <QVarLengthArray>

#include <QPainter>
#include <algorithm>
#include <cmath>

CBarcodeImpl::~CBarcodeImpl() = default;

void CBarcodeImpl::Attach(std::unique_ptr<CBarcodeSettings> settings, std::unique_ptr<CBarcodeData> data)
{
    m_pSettings = std::move(settings);
    m_pData = std::move(data);
}

void CBarcodeImpl::CopyFrom(const CBarcodeImpl& other)
{
    if (&other == this)
        return;
    m_pSettings = other.m_pSettings ? other.m_pSettings->Clone() : nullptr;
    m_pData = other.m_pData ? other.m_pData->Clone() : nullptr;
    m_nSmoothingMode = other.m_nSmoothingMode;
}

float CBarcodeImpl::GetTextHeight() const
{
    return m_pSettings->m_fFontSize * 25.4f / 72.0f;
}

void CBarcodeImpl::CalcWidth()
{
    if (!m_pSettings)
        return;
    const CBarcodeData* data = m_pData.get();
    if (!data || data->m_arrX.empty() || data->m_arrWidth.empty()) {
        m_pSettings->m_fWidth = 0.0f;
        return;
    }
    m_pSettings->m_fWidth = data->m_arrX.back() + data->m_arrWidth.back();
}

void CBarcodeImpl::CalcHeight()
{
    if (!m_pSettings)
        return;
    CBarcodeSettings& s = *m_pSettings;
    s.m_fHeight = s.m_fBarHeight;
    if (s.m_bShowText)
        s.m_fHeight += GetTextHeight() + s.m_fTextGap;
}

void CBarcodeImpl::CalcSize()
{
    CalcWidth();
    CalcHeight();
}

namespace {

// Cuts a value to a multiple of 1/scale towards zero. The small allowance keeps
// single-precision noise (14.99999 for 15) from costing a whole step.
float TruncateTo(double value, double scale)
{
    return static_cast<float>(std::trunc(value * scale + (value >= 0 ? 1e-4 : -1e-4)) / scale);
}

} // namespace

void CBarcodeImpl::Resize(float width, float height)
{
    if (!m_pSettings)
        return;
    CBarcodeSettings& s = *m_pSettings;
    if (s.m_fWidth > 0.0f && width > 0.0f)
        s.m_fModuleWidth = TruncateTo(double(s.m_fModuleWidth) * width / s.m_fWidth, 1000.0);
    float barHeight = height;
    if (s.m_bShowText)
        barHeight -= GetTextHeight() + s.m_fTextGap;
    s.m_fBarHeight = std::max(0.0f, TruncateTo(barHeight, 100.0));
    BuildBars();
    BuildBarsFromText();
    CalcSize();
}

QString CBarcodeImpl::BuildFullText(const QString& text)
{
    QString result = text;
    if (m_pSettings->m_bAddCheckDigit) {
        m_pSettings->m_strCheckDigit = CalcCheckDigit(text);
        result += m_pSettings->m_strCheckDigit;
    }
    return GetStartText() + result + GetStopText();
}

QString CBarcodeImpl::GetDisplayText(const QString& text) const
{
    if (m_pSettings && m_pSettings->m_bAddCheckDigit)
        return text + QLatin1Char('-');
    return text;
}

float& ModuleWidthOf(CBarcodeSettings& settings)
{
    if (auto* pdf = dynamic_cast<CBarcodeSettings_PDF417*>(&settings))
        return pdf->m_fModuleWidthX;
    if (auto* qr = dynamic_cast<CBarcodeSettings_QRCode*>(&settings))
        return qr->m_fModuleWidthX;
    if (auto* dm = dynamic_cast<CBarcodeSettings_DataMatrix*>(&settings))
        return dm->m_fModuleWidthX;
    return settings.m_fModuleWidth;
}

bool HeightFollowsModule(const CBarcodeSettings& settings)
{
    return dynamic_cast<const CBarcodeSettings_PDF417*>(&settings) || dynamic_cast<const CBarcodeSettings_QRCode*>(&settings)
        || dynamic_cast<const CBarcodeSettings_DataMatrix*>(&settings);
}

float LargestModuleWidth(const CBarcodeImpl& impl, float limitMm)
{
    if (!impl.GetSettings())
        return 0.0f;
    std::unique_ptr<CBarcodeImpl> trial = impl.Clone();
    trial->m_pLabelData = impl.m_pLabelData;
    CBarcodeSettings& s = *trial->GetSettings();
    const bool height = HeightFollowsModule(s);
    float& module = ModuleWidthOf(s);
    // The size is a multiple of the module plus what does not follow it (a quiet zone),
    // so scaling by the excess comes down to the bound in a step or two.
    for (int round = 0; round < 16 && module > 0.0f; ++round) {
        trial->Encode();
        trial->BuildBars();
        trial->BuildBarsFromText();
        trial->CalcSize();
        const float size = height ? std::max(s.m_fWidth, s.m_fHeight) : s.m_fWidth;
        if (size <= limitMm)
            return module;
        const float scaled = static_cast<float>(std::floor(double(module) * limitMm / size * 1000.0) / 1000.0);
        module = scaled < module ? scaled : module - 0.001f;
    }
    return 0.0f;
}

QPointF GetBarcodeAnchorPoint(const CBarcodeSettings& s)
{
    const float x = s.m_fX, y = s.m_fY, w = s.m_fWidth, h = s.m_fHeight;
    switch (s.m_nAnchor) {
    case 0: return {x, y};
    case 1: return {x + w / 2, y};
    case 2: return {x + w, y};
    case 3: return {x + w, y + h / 2};
    case 4: return {x + w, y + h};
    case 5: return {x + w / 2, y + h};
    case 6: return {x, y + h};
    case 7: return {x, y + h / 2};
    default: return {x + w / 2, y + h / 2};
    }
}

QStringList SplitGroupedText(const CBarcodeSettings& settings, const QString& text)
{
    QStringList groups;
    QStringView rest(text);
    const QStringList pieces = settings.m_strGroupRule.split(QLatin1Char(','));
    for (const QString& piece : pieces) {
        if (rest.isEmpty())
            break;
        if (piece.isEmpty())
            continue;
        const int k = LeadingInt(piece);
        if (k <= 0)
            continue;
        const qsizetype take = std::min<qsizetype>(k, rest.size());
        groups.append(rest.left(take).toString());
        rest = rest.mid(take);
    }
    if (!rest.isEmpty())
        groups.append(rest.toString());
    return groups;
}

QString FormatGroupedText(const CBarcodeSettings& settings, const QString& text)
{
    QString separator;
    switch (settings.m_nSeparator) {
    case SeparatorIdeographicSpace: separator = QString(QChar(0x3000)); break;
    case SeparatorCustomText: separator = settings.m_strSeparator; break;
    default: separator = QStringLiteral(" "); break;
    }
    return SplitGroupedText(settings, text).join(separator);
}

void BuildBarsFromWidths(CBarcodeData& data, const QString& pattern, float moduleWidthMil)
{
    const qsizetype bars = (pattern.size() + 1) / 2;
    data.m_arrX.resize(size_t(bars));
    data.m_arrWidth.resize(size_t(bars));
    float* xs = data.m_arrX.data();
    float* widths = data.m_arrWidth.data();
    const char16_t* digits = reinterpret_cast<const char16_t*>(pattern.constData());
    const float module = moduleWidthMil * kMilToMm;
    float x = 0.0f;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const char16_t c = digits[i];
        const float width = module * (c >= u'1' && c <= u'9' ? float(c - u'0') : 1.0f);
        if (i % 2 == 0) {
            xs[i / 2] = x;
            widths[i / 2] = width;
        }
        x += width;
    }
}

BarBand CBarcodeImpl::GetBarBand(float boxTop) const
{
    const CBarcodeSettings& s = *m_pSettings;
    BarBand band{boxTop, s.m_fHeight};
    if (s.m_bShowText) {
        const float text = s.m_fTextGap + GetTextHeight();
        band.height -= text;
        if (s.m_bTextAbove)
            band.top += text;
    }
    return band;
}

QPointF TransformToBox(QPainter& painter, const CBarcodeSettings& s)
{
    if (s.m_fAngle == 0.0f) {
        painter.translate(s.m_fOriginX, s.m_fOriginY);
        return {s.m_fX, s.m_fY};
    }
    const QPointF p = GetBarcodeAnchorPoint(s);
    painter.translate(s.m_fOriginX + p.x(), s.m_fOriginY + p.y());
    painter.rotate(s.m_fAngle);
    return {s.m_fX - p.x(), s.m_fY - p.y()};
}

void FillBoxBackground(QPainter& painter, const CBarcodeSettings& s, QPointF corner, float width)
{
    if (IsVisibleArgb(s.m_crBackground))
        painter.fillRect(QRectF(corner.x(), corner.y(), width, s.m_fHeight), ArgbToColor(s.m_crBackground));
}

QPointF BeginBoxDrawing(QPainter& painter, const CBarcodeSettings& s)
{
    const QPointF corner = TransformToBox(painter, s);
    FillBoxBackground(painter, s, corner, s.m_fWidth);
    return corner;
}

BarBand SnapBand(const BarBand& band, const DotGrid& grid)
{
    if (!grid.IsActive())
        return band;
    const double top = grid.SnapY(band.top);
    return {float(top), float(grid.SnapY(double(band.top) + band.height) - top)};
}

DrawnBars::DrawnBars(CBarcodeSettings& settings, const CBarcodeData& exact, float left, const DotGrid& grid)
    : m_settings(settings), m_exactWidth(settings.m_fWidth), m_bars(&exact)
{
    if (grid.IsActive()) {
        settings.m_fWidth = AlignBarsToDots(exact, left, m_exactWidth, grid, m_aligned);
        m_bars = &m_aligned;
    }
}

DrawnBars::~DrawnBars()
{
    m_settings.m_fWidth = m_exactWidth;
}

void CBarcodeImpl::Draw(QPainter& graphics)
{
    if (!m_pData || !m_pSettings)
        return;
    const QTransform savedTransform = graphics.worldTransform();
    const QPointF corner = TransformToBox(graphics, *m_pSettings);
    const float left = float(corner.x()), top = float(corner.y());
    const DotGrid grid(graphics, m_pSettings->m_fOutputDpi);
    const DrawnBars drawn(*m_pSettings, *m_pData, left, grid);
    const CBarcodeData& bars = drawn.Bars();
    const CBarcodeSettings& s = *m_pSettings;
    FillBoxBackground(graphics, s, corner, s.m_fWidth);
    const float textHeight = GetTextHeight();
    const BarBand band = SnapBand(GetBarBand(top), grid);

    const QPainter::RenderHints savedHints = graphics.renderHints();
    m_nSmoothingMode = int32_t(savedHints.toInt());
    graphics.setRenderHint(QPainter::Antialiasing, false);
    const QColor barColour = QColor::fromRgba(s.m_crBar);
    if (band.height > 0.0f) {
        DotFiller filler(graphics, grid);
        for (size_t i = 0; i < bars.m_arrX.size(); ++i)
            filler.Fill(QRectF(left + bars.m_arrX[i], band.top, bars.m_arrWidth[i], band.height), barColour);
    }
    graphics.setRenderHints(QPainter::RenderHints::fromInt(m_nSmoothingMode), true);
    graphics.setRenderHints(~QPainter::RenderHints::fromInt(m_nSmoothingMode), false);

    if (s.m_bShowText) {
        if (s.m_bGrouping && s.m_nSeparator == SeparatorFixedGap)
            DrawGroupedHumanReadableText(graphics, textHeight, left, top);
        else
            DrawHumanReadableText(graphics, textHeight, left, top);
    }
    graphics.setWorldTransform(savedTransform);
}

namespace {

// The characters of a line, a surrogate pair kept as one character.
QVarLengthArray<QStringView, 20> SplitCharacters(QStringView text)
{
    QVarLengthArray<QStringView, 20> chars;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        chars.append(text.mid(i, len));
        i += len;
    }
    return chars;
}

// Each character measured alone, scaled so that together they are exactly as wide
// as the whole text measured at once (kerning and shaping included). Measured
// through the painter that draws them, whose layouts are cached by text and font.
QVarLengthArray<double, 20> CharacterWidths(const TextPainter& painter, const QVarLengthArray<QStringView, 20>& chars,
                                            double total)
{
    QVarLengthArray<double, 20> widths;
    double sum = 0;
    for (QStringView c : chars) {
        widths.append(painter.Width(c.toString()));
        sum += widths.back();
    }
    for (double& w : widths)
        w = sum > 0 ? w * total / sum : total / double(widths.size());
    return widths;
}

} // namespace

QFont MakeBarcodeFont(const CBarcodeSettings& s, float size)
{
    return MakeFont(s.m_strFontName, size, s.m_bBold, s.m_bItalic, s.m_bUnderline, s.m_bStrikeout);
}

void CBarcodeImpl::DrawHumanReadableText(QPainter& graphics, float textHeight, float left, float top,
                                         const HumanReadableLineStyle& style)
{
    const CBarcodeSettings& s = *m_pSettings;
    QString text = GetDisplayText(s.m_strFullText);
    if (s.m_bGrouping && style.grouping)
        text = FormatGroupedText(s, text);
    const auto chars = SplitCharacters(text);
    const qsizetype n = chars.size();
    if (n == 0)
        return;
    TextPainter painter(graphics, MakeBarcodeFont(s, s.m_fFontSize), QBrush(ArgbToColor(s.m_crText)));
    const double textWidth = painter.Width(text);
    const auto widths = CharacterWidths(painter, chars, textWidth);
    const double lineTop = s.m_bTextAbove ? top : top + s.m_fHeight - textHeight;
    const double boxWidth = s.m_fWidth;
    double start = 0;
    double spacing = s.m_fCharSpacing;
    switch (s.m_nTextAlign) {
    case 0: start = style.leftBlank ? s.m_fLeftBlank : 0.0; break;
    case 1: start = (boxWidth - textWidth - double(n - 1) * spacing) * 0.5; break;
    case 2: start = boxWidth - textWidth - double(n - 1) * spacing; break;
    case 3: spacing = n > 1 ? (boxWidth - textWidth) / double(n - 1) : 0.0; break;
    default: break;
    }
    QVarLengthArray<QString, 20> texts;
    QVarLengthArray<QRectF, 20> boxes;
    double x = left + start;
    for (qsizetype i = 0; i < n; ++i) {
        texts.append(chars[i].toString());
        boxes.append(QRectF(x, lineTop, widths[i], textHeight));
        x += widths[i] + spacing;
    }
    painter.DrawEach(texts, boxes, style.centreCells ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
}

void CBarcodeImpl::DrawGroupedHumanReadableText(QPainter& graphics, float textHeight, float left, float top)
{
    const CBarcodeSettings& s = *m_pSettings;
    const QString text = GetDisplayText(s.m_strFullText);
    const qsizetype n = SplitCharacters(text).size();
    const QStringList groups = SplitGroupedText(s, text);
    if (groups.isEmpty())
        return;
    TextPainter painter(graphics, MakeBarcodeFont(s, s.m_fFontSize), QBrush(ArgbToColor(s.m_crText)));
    QVarLengthArray<double, 20> groupWidths;
    double sumWidths = 0;
    for (const QString& group : groups) {
        groupWidths.append(painter.Width(group));
        sumWidths += groupWidths.back();
    }
    const double gap = s.m_fGroupGap;
    const double gaps = double(groups.size() - 1) * gap;
    const double boxWidth = s.m_fWidth;
    double spacing = s.m_fCharSpacing;
    double start = 0;
    const double spread = sumWidths + double(n - 1) * spacing + gaps;
    switch (s.m_nTextAlign) {
    case 0: start = s.m_fLeftBlank; break;
    case 1: start = (boxWidth - spread) * 0.5; break;
    case 2: start = boxWidth - spread; break;
    case 3: spacing = n > 1 ? (boxWidth - (sumWidths + gaps)) / double(n - 1) : 0.0; break;
    default: break;
    }
    const double lineTop = s.m_bTextAbove ? top : top + s.m_fHeight - textHeight;
    QVarLengthArray<QString, 20> texts;
    QVarLengthArray<QRectF, 20> boxes;
    double x = left + start;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const auto chars = SplitCharacters(groups[g]);
        const auto widths = CharacterWidths(painter, chars, groupWidths[g]);
        for (qsizetype i = 0; i < chars.size(); ++i) {
            texts.append(chars[i].toString());
            boxes.append(QRectF(x, lineTop, widths[i], textHeight));
            x += widths[i] + spacing;
        }
        x += gap;
    }
    painter.DrawEach(texts, boxes);
}
