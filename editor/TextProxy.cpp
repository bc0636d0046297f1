#include "editor/TextProxy.h"

#include "model/DataBand.h"
#include "model/LabelLimits.h"
#include "model/TextGraph.h"
#include "platform/Drawing.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

QFont TextFont(const CTextGraph& text)
{
    return MakeFont(text.m_strFontName, text.m_fFontSize, text.m_bBold, text.m_bItalic, text.m_bUnderline,
                    text.m_bStrikeout);
}

// Natural (unstretched) width and the height of a text, in mm.
QSizeF NaturalSize(const CTextGraph& text)
{
    const QFont font = TextFont(text);
    const bool groupGap = text.m_bGrouping && text.m_nSeparatorChoice == 3;
    const QString shown = text.m_bGrouping && !groupGap ? text.GetGroupedText() : text.m_strText;
    const QSizeF measured = MeasureText(font, shown);
    double width = measured.width();
    if (std::fabs(text.m_fCharSpacing) >= 0.00001f)
        width += std::max<qsizetype>(shown.size() - 1, 0) * static_cast<double>(text.m_fCharSpacing);
    if (groupGap) {
        QStringList groups;
        text.SplitGroups(groups);
        width += std::max<qsizetype>(groups.size() - 1, 0) * static_cast<double>(text.m_fGroupGap);
    }
    return {width, measured.height()};
}

// A stretch or a box the label file could not hold back is held at the bound; the
// sign, which tells a mirrored stretch, stays.
double WithinLengthBound(double value)
{
    return std::clamp(value, -double(kMaxLabelLengthMm), double(kMaxLabelLengthMm));
}

} // namespace

CTextGraph& CTextProxy::Text() const
{
    return static_cast<CTextGraph&>(*m_pObject);
}

bool CTextProxy::IsDataBound() const
{
    const auto& bands = Text().m_bands;
    return std::any_of(bands.begin(), bands.end(), [](const auto& band) { return band->m_nKind != BandConstant; });
}

void CTextProxy::SetWidth(float width)
{
    m_pObject->SetWidth(width);
    if (Text().m_nLayoutMode == SingleLine)
        UpdateTextScale();
}

void CTextProxy::SetHeight(float height)
{
    m_pObject->SetHeight(height);
    if (Text().m_nLayoutMode == SingleLine)
        FitTextFontToHeight();
}

void CTextProxy::SetSize(float width, float height)
{
    SetWidth(width);
    SetHeight(height);
}

float CTextProxy::GetAngle() const
{
    const float angle = m_pObject->m_fAngle;
    return angle == 0.0f || Text().m_nLayoutMode == CurvedText ? 0.0f : angle;
}

void CTextProxy::SizeBy(QPoint from, QPoint to, bool fromSaved, int handle)
{
    CBaseProxy::SizeBy(from, to, fromSaved, handle);
    CTextGraph& text = Text();
    if (text.m_nLayoutMode == CurvedText && text.m_bSquareBox) {
        const int dx = std::abs(to.x() - from.x()), dy = std::abs(to.y() - from.y());
        const bool heightFromWidth = handle == 3 || handle == 7 || (handle % 2 == 0 && dy < dx);
        if (heightFromWidth)
            text.SetHeight(text.GetWidth());
        else
            text.SetWidth(text.GetHeight());
    }
    if (text.m_nLayoutMode == SingleLine) {
        if (m_bHeightChanged)
            FitTextFontToHeight();
        UpdateTextScale();
    }
}

void CTextProxy::GetStatusPanes(QString& name, QString& position, QString& size) const
{
    GetNameAndStatus(name, position);
    size.clear();
}

void CTextProxy::FitTextFontToHeight()
{
    CTextGraph& text = Text();
    const double measured = MeasureText(TextFont(text), text.m_strText).height();
    // A box taller than the largest font fills keeps its height; the words stop there.
    if (measured > 0.0)
        text.m_fFontSize =
            std::clamp(static_cast<float>(text.GetHeight() / measured * text.m_fFontSize), 0.1f, kMaxFontSize);
    if (m_pCanvas)
        m_pCanvas->OnFontSizeChanged();
}

void CTextProxy::UpdateTextScale()
{
    CTextGraph& text = Text();
    const double natural = NaturalSize(text).width();
    // An empty text has no width to stretch; its scale stays.
    if (natural > 0.0)
        text.m_fHorzScale = static_cast<float>(WithinLengthBound(text.GetWidth() / natural));
}

void CTextProxy::FitTextBoxToText()
{
    CTextGraph& text = Text();
    const QSizeF natural = NaturalSize(text);
    // Words that would stretch past the widest box a label holds are pressed into it.
    const double width = text.m_fHorzScale * natural.width();
    const double bounded = WithinLengthBound(width);
    if (bounded != width && natural.width() > 0.0)
        text.m_fHorzScale = static_cast<float>(bounded / natural.width());
    text.SetWidth(static_cast<float>(bounded));
    text.SetHeight(static_cast<float>(WithinLengthBound(natural.height())));
}

void CTextProxy::SetShownText(const QString& shown)
{
    CTextGraph& text = Text();
    text.m_strText = shown;
    if (text.m_nLayoutMode != SingleLine)
        return;
    if (shown.isEmpty())
        text.m_strText = QStringLiteral("<空>");
    FitTextBoxToText();
}
