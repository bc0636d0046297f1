#include "model/TextGraph.h"

#include "platform/Drawing.h"
#include "platform/Numbers.h"

#include <QVarLengthArray>
#include <cmath>

namespace {

using Characters = QVarLengthArray<QStringView, 30>;

// One entry per character; a surrogate pair stays whole.
Characters SplitTextCharacters(QStringView text)
{
    Characters characters;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        characters.append(text.mid(i, length));
        i += length - 1;
    }
    return characters;
}

// Draws a line character by character from cursor, each followed by spacing. The
// characters share the width of the whole line in proportion to their own widths,
// so that they end where the line drawn at once would. Returns the cursor after the
// last character.
double DrawCharacters(QPainter& graphics, const QFont& font, const QBrush& brush, QStringView line,
                      double cursor, double top, double height, float spacing)
{
    TextPainter painter(graphics, font, brush);
    const Characters characters = SplitTextCharacters(line);
    QVarLengthArray<QString, 30> texts(characters.size());
    QVarLengthArray<double, 30> widths(characters.size());
    double sum = 0;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        texts[i] = characters[i].toString();
        widths[i] = painter.Width(texts[i]);
        sum += widths[i];
    }
    const double factor = sum > 0 ? painter.Width(line.toString()) / sum : 0.0;
    QVarLengthArray<QRectF, 30> boxes(characters.size());
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const double width = widths[i] * factor;
        boxes[i] = QRectF(cursor, top, width, height);
        cursor += width + spacing;
    }
    painter.DrawEach(texts, boxes);
    return cursor;
}

} // namespace

CTextGraph::CTextGraph()
{
    m_nKind = KindText;
    m_strName = QStringLiteral("Text1");
    m_strText = QString::fromUtf8("样例文字");
}

CTextGraph::~CTextGraph() = default;

float CTextGraph::GetAngle() const
{
    if (m_nLayoutMode == CurvedText || m_fAngle == 0.0f)
        return 0.0f;
    return m_fAngle;
}

QFont CTextGraph::MakeTextFont() const
{
    return MakeFont(m_strFontName, m_fFontSize, m_bBold, m_bItalic, m_bUnderline, m_bStrikeout);
}

void CTextGraph::Draw(QPainter& graphics) const
{
    if (m_strText.isEmpty())
        return;
    switch (m_nLayoutMode) {
    case SingleLine: DrawSingleLine(graphics, MakeTextFont()); break;
    case MultiLine:
    case VertText: DrawBoxed(graphics, MakeTextFont()); break;
    case CurvedText: DrawCurved(graphics, MakeTextFont()); break;
    default: break;
    }
}

void CTextGraph::DrawSingleLine(QPainter& graphics, const QFont& font) const
{
    // A zero stretch leaves nothing to see and no left edge to divide.
    if (m_fHorzScale == 0.0f)
        return;
    const CDrawFrame frame(*this, graphics);
    graphics.scale(m_fHorzScale, 1.0);
    const QRectF& box = frame.Box();
    const double left = box.x() / m_fHorzScale;
    if (IsVisibleArgb(m_crFill))
        graphics.fillRect(QRectF(left, box.y(), box.width() / m_fHorzScale, box.height()), ArgbToColor(m_crFill));
    const QBrush brush(ArgbToColor(m_crText));

    if (m_bGrouping && m_nSeparatorChoice == 3) {
        QStringList groups;
        SplitGroups(groups);
        double cursor = left;
        for (const QString& group : groups) {
            cursor = DrawCharacters(graphics, font, brush, group, cursor, box.y(), box.height(), m_fCharSpacing);
            cursor += m_fGroupGap;
        }
        return;
    }
    const QString line = m_bGrouping ? GetGroupedText() : m_strText;
    if (std::abs(m_fCharSpacing) < 0.00001f)
        DrawText(graphics, line, font, QRectF(left, box.y(), box.width(), box.height()), brush);
    else
        DrawCharacters(graphics, font, brush, line, left, box.y(), box.height(), m_fCharSpacing);
}

void CTextGraph::DrawBoxed(QPainter& graphics, const QFont& font) const
{
    double sx = 1.0, sy = 1.0;
    bool fit = false;
    if (m_bFitToBox) {
        // A text that measures nothing, or a box of no size, cannot be fitted.
        const QSizeF measured = MeasureText(font, m_strText);
        if (measured.width() > 0 && measured.height() > 0 && m_fWidth != 0.0f && m_fHeight != 0.0f) {
            sx = m_fWidth / measured.width();
            sy = m_fHeight / measured.height();
            fit = true;
        }
    }
    const CDrawFrame frame(*this, graphics);
    QRectF box = frame.Box();
    if (fit) {
        graphics.scale(sx, sy);
        // The whole box is scaled back, so the stretched text fills exactly the
        // object's box rather than wrapping inside a narrower one.
        box = QRectF(box.x() / sx, box.y() / sy, box.width() / sx, box.height() / sy);
    }
    if (IsVisibleArgb(m_crFill))
        graphics.fillRect(box, ArgbToColor(m_crFill));

    TextFormat format;
    format.clip = true;
    format.wrap = true;
    if (m_nLayoutMode == VertText) {
        format.vertical = true;
        format.rightToLeft = m_nAlignment != 0;
    } else {
        const Qt::Alignment horizontal = m_nAlignment == 1 ? Qt::AlignHCenter
                                         : m_nAlignment == 2 ? Qt::AlignRight
                                                             : Qt::AlignLeft;
        const Qt::Alignment vertical = m_nVertAlignment == 1 ? Qt::AlignVCenter
                                       : m_nVertAlignment == 2 ? Qt::AlignBottom
                                                               : Qt::AlignTop;
        format.alignment = horizontal | vertical;
        // The fitted text is exactly as wide as its box; its lines end only where
        // the text breaks them.
        format.wrap = !fit;
    }
    DrawText(graphics, m_strText, font, box, QBrush(ArgbToColor(m_crText)), format);
}

void CTextGraph::UpdateAngleStep() const
{
    if (m_nLayoutMode != CurvedText || !m_bSquareBox || !m_bAutoStep)
        return;
    const Characters characters = SplitTextCharacters(m_strText);
    if (!characters.empty())
        m_fAngleStep = 360.0f / static_cast<float>(characters.size());
}

void CTextGraph::DrawCurved(QPainter& graphics, const QFont& font) const
{
    const float centreX = m_fX + m_fWidth * 0.5f + m_fOriginX;
    const float centreY = m_fY + m_fHeight * 0.5f + m_fOriginY;
    const QSizeF sample = MeasureText(font, QString::fromUtf8("国"));
    const float cw = static_cast<float>(sample.width());
    const float ch = static_cast<float>(sample.height());
    // Semi-axes of the ellipse through the cell centres.
    const float a = m_fWidth / 2 - cw / 2;
    const float b = m_fHeight / 2 - ch / 2;
    const Characters characters = SplitTextCharacters(m_strText);
    const bool clockwise = m_nWrapDirection == 0;
    const bool even = m_bSquareBox && m_bAutoStep;
    UpdateAngleStep();

    const QTransform saved = graphics.worldTransform();
    const QBrush brush(ArgbToColor(m_crText));
    TextFormat format;
    format.alignment = Qt::AlignCenter;
    float theta = clockwise ? m_fAngle - 90.0f : m_fAngle + 90.0f;
    for (QStringView character : characters) {
        const float phi = static_cast<float>((theta + 90.0f) * kPiF / 180.0);
        const float cosPhi = std::cos(phi), sinPhi = std::sin(phi);
        const float r = std::sqrt(a * a * b * b / (b * b * cosPhi * cosPhi + a * a * sinPhi * sinPhi));
        // A zero (or undefined) radius places nothing and gives no step.
        if (!even && !(r > 0.0f && std::isfinite(r)))
            break;
        QRectF cell;
        if (clockwise)
            cell = even ? QRectF(-cw / 2, -m_fWidth / 2, cw, ch) : QRectF(-cw / 2, -r - ch / 2, cw, ch);
        else
            cell = even ? QRectF(-cw / 2, m_fHeight / 2 - ch, cw, ch) : QRectF(-cw / 2, r - ch / 2, cw, ch);
        graphics.setWorldTransform(saved);
        graphics.translate(centreX, centreY);
        graphics.rotate(theta);
        DrawText(graphics, character.toString(), font, cell, brush, format);
        const float step = even ? m_fAngleStep : a / r * m_fAngleStep;
        theta += clockwise ? step : -step;
    }
    graphics.setWorldTransform(saved);
}

void CTextGraph::SplitGroups(QStringList& groups) const
{
    QStringView rest = m_strText;
    for (QStringView token : QStringView(m_strGroupRule).split(u',', Qt::SkipEmptyParts)) {
        if (rest.isEmpty())
            break;
        const int n = LeadingInt(token);
        if (n <= 0)
            continue;
        groups.append(rest.left(n).toString());
        rest = rest.size() > n ? rest.mid(n) : QStringView();
    }
    if (!rest.isEmpty())
        groups.append(rest.toString());
}

QString CTextGraph::GetSeparator() const
{
    switch (m_nSeparatorChoice) {
    case 1: return QString(QChar(0x3000));
    case 2: return m_strCustomSeparator;
    default: return QStringLiteral(" ");
    }
}

QString CTextGraph::GetGroupedText() const
{
    QStringList groups;
    SplitGroups(groups);
    return groups.join(GetSeparator());
}

std::unique_ptr<CBaseGraph> CTextGraph::Clone() const
{
    auto copy = std::make_unique<CTextGraph>();
    copy->CopyFrom(*this);
    return copy;
}

void CTextGraph::CopyFrom(const CBaseGraph& source)
{
    CBaseGraph::CopyFrom(source);
    const auto* text = dynamic_cast<const CTextGraph*>(&source);
    if (!text || text == this)
        return;
    m_nLayoutMode = text->m_nLayoutMode;
    m_strFontName = text->m_strFontName;
    m_fFontSize = text->m_fFontSize;
    m_bBold = text->m_bBold;
    m_bItalic = text->m_bItalic;
    m_bUnderline = text->m_bUnderline;
    m_bStrikeout = text->m_bStrikeout;
    m_byStyle5 = text->m_byStyle5;
    m_nAlignment = text->m_nAlignment;
    m_nVertAlignment = text->m_nVertAlignment;
    m_fCharSpacing = text->m_fCharSpacing;
    m_nLineSpacingChoice = text->m_nLineSpacingChoice;
    m_fLineSpacing = text->m_fLineSpacing;
    m_bFitToBox = text->m_bFitToBox;
    m_fHorzScale = text->m_fHorzScale;
    m_bGrouping = text->m_bGrouping;
    m_nSeparatorChoice = text->m_nSeparatorChoice;
    m_strCustomSeparator = text->m_strCustomSeparator;
    m_fGroupGap = text->m_fGroupGap;
    m_strGroupRule = text->m_strGroupRule;
    m_strSpareText = text->m_strSpareText;
    m_nWrapDirection = text->m_nWrapDirection;
    m_nTextDirection = text->m_nTextDirection;
    m_bSquareBox = text->m_bSquareBox;
    m_bAutoStep = text->m_bAutoStep;
    m_fAngleStep = text->m_fAngleStep;
    m_bands.clear();
    m_bands.reserve(text->m_bands.size());
    for (const auto& band : text->m_bands)
        if (band)
            m_bands.push_back(band->Clone());
}

QString GetBandsText(const CTextGraph& text)
{
    QString result;
    for (const auto& band : text.m_bands)
        if (band)
            AppendBandText(result, band->GetText());
    return result;
}
