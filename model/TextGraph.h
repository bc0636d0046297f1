#pragma once

#include "model/BaseGraph.h"
#include "model/DataBand.h"

#include <QFont>
#include <QStringList>
#include <memory>
#include <vector>

enum TextLayoutMode : int32_t {
    SingleLine = 0,
    MultiLine = 1,
    VertText = 2,
    CurvedText = 3,
};

// A text on the label, laid out in one of four modes. The text field of the base is
// what is drawn; the bands produce it (GetBandsText), the editor copies it over.
class CTextGraph : public CBaseGraph
{
public:
    CTextGraph();
    ~CTextGraph() override;

    // 0 for curved text, whose box never turns: there the angle is where the
    // characters start round the circle.
    float GetAngle() const override;
    // Nothing for an empty text or an unknown mode. Evenly spread curved text stores
    // the angle step it used.
    void Draw(QPainter& graphics) const override;
    // Evenly spread ring text takes the step of its own characters; drawing and
    // writing both do it first, so what is saved never depends on what was drawn
    // last. Other layouts, and a text without characters, keep the stored step.
    void UpdateAngleStep() const;
    std::unique_ptr<CBaseGraph> Clone() const override;
    // Every field, and copies of the source's bands in place of this object's own.
    void CopyFrom(const CBaseGraph& source) override;

    // The text cut by the grouping rule: each comma-separated length takes that many
    // characters; what remains after the rule is one last group.
    void SplitGroups(QStringList& groups) const;
    // The groups joined by the chosen separator.
    QString GetGroupedText() const;
    QString GetSeparator() const;
    QFont MakeTextFont() const;

    int32_t m_nLayoutMode = SingleLine;
    QString m_strFontName = QStringLiteral("Arial");
    float m_fFontSize = 12.0f; // points
    bool m_bBold = false;
    bool m_bItalic = false;
    bool m_bUnderline = false;
    bool m_bStrikeout = false;
    uint8_t m_byStyle5 = 0; // white on black: set by the format bar's command, cleared by a colour
    // Multi-line: 0 left, 1 centre, 2 right, 3 justified (drawn as left).
    // Vertical: 0 columns left to right, anything else right to left.
    int32_t m_nAlignment = 0;
    int32_t m_nVertAlignment = 0; // 0 top, 1 middle, 2 bottom
    float m_fCharSpacing = 0.0f;  // mm after each character of a single line
    int32_t m_nLineSpacingChoice = 0; // stored, edited, not drawn
    float m_fLineSpacing = 0.0f;      // stored, edited, not drawn
    bool m_bFitToBox = false;
    float m_fHorzScale = 1.0f;
    bool m_bGrouping = false;
    int32_t m_nSeparatorChoice = 0; // 0 space, 1 ideographic space, 2 custom, 3 group gap
    QString m_strCustomSeparator = QStringLiteral(" ");
    float m_fGroupGap = 0.0f; // mm
    QString m_strGroupRule;   // "2,3,3,2"
    QString m_strSpareText;   // stored and copied, read by nothing
    int32_t m_nWrapDirection = 0; // 0 clockwise, 1 counter-clockwise
    int32_t m_nTextDirection = 0; // 0 outward, 1 inward; stored, edited, not drawn
    bool m_bSquareBox = true;
    bool m_bAutoStep = true;
    // Degrees between neighbouring curved characters. Evenly spread text (a square
    // box with the automatic step) divides the circle by its characters, hence
    // mutable: see UpdateAngleStep.
    mutable float m_fAngleStep = 15.0f;
    std::vector<std::unique_ptr<CDataBand>> m_bands;

private:
    void DrawSingleLine(QPainter& graphics, const QFont& font) const;
    void DrawBoxed(QPainter& graphics, const QFont& font) const;
    void DrawCurved(QPainter& graphics, const QFont& font) const;
};

// The content the bands produce: their texts in order.
QString GetBandsText(const CTextGraph& text);
