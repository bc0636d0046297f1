#pragma once

#include "barcode/BarcodeData.h"
#include "barcode/BarcodeSettings.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <memory>

class CLabelData;
class QFont;
class QPainter;

// The encoder and renderer of one barcode. It owns one settings object and one
// data object, made together with it by CreateBarcodeImpl. It never recomputes on
// its own: after a change, callers run Encode, BuildBars, BuildBarsFromText and
// CalcSize (or the shorter orders of the editor's size rules) themselves.
// Variations of the human-readable line for symbologies that draw for themselves:
// POSTNET shows its line ungrouped, from the box's left edge for alignment 0, each
// character centred in its cell.
struct HumanReadableLineStyle
{
    bool grouping = true;   // follow the grouping settings
    bool leftBlank = true;  // alignment 0 starts at the left blank, else at the box edge
    bool centreCells = false;
};

// The band of the box the bars fill: the box less the human-readable line and its
// gap, on whichever side the line stands.
struct BarBand
{
    float top = 0.0f;
    float height = 0.0f;
};

class CBarcodeImpl
{
public:
    CBarcodeImpl() = default;
    virtual ~CBarcodeImpl();
    CBarcodeImpl(const CBarcodeImpl&) = delete;
    CBarcodeImpl& operator=(const CBarcodeImpl&) = delete;

    // Draws a linear symbol with its human-readable line on a painter whose world
    // unit is the millimetre; leaves the painter's transform and hints as it found
    // them. 2-D symbologies and the EAN/UPC family draw for themselves.
    virtual void Draw(QPainter& graphics);
    virtual void BuildBarsFromText() {}
    virtual void BuildBars() {}
    virtual void Encode() {}
    // Width = end of the last bar (0 without bars); height = bar height, plus the
    // text height and gap when the text is shown.
    virtual void CalcSize();
    virtual void CalcWidth();
    virtual void CalcHeight();
    // Scales the module width and bar height to a box, truncating both (never
    // rounding up), then rebuilds. A current width of 0 keeps the module width.
    virtual void Resize(float width, float height);
    virtual bool IsValidChar(QChar) const { return true; }
    virtual QString SanitizeText(const QString& text) const { return text; }
    // Start text + text + check digit (when the flag is set) + stop text; keeps the
    // check digit in the settings.
    virtual QString BuildFullText(const QString& text);
    virtual QString GetDisplayText(const QString& text) const;
    virtual QString CalcCheckDigit(const QString&) const { return {}; }
    virtual QString CalcCheckCharacter(const QString&) const { return {}; }
    virtual QString GetStartText() const { return {}; }
    virtual QString GetStopText() const { return {}; }
    // A new implementation of the same class with deep copies of settings and data.
    virtual std::unique_ptr<CBarcodeImpl> Clone() const = 0;

    CBarcodeSettings* GetSettings() const { return m_pSettings.get(); }
    CBarcodeData* GetData() const { return m_pData.get(); }
    // Takes ownership of both; the factory wires every implementation this way.
    void Attach(std::unique_ptr<CBarcodeSettings> settings, std::unique_ptr<CBarcodeData> data);

    // The text height of the human-readable line in millimetres (points × 25.4 / 72).
    float GetTextHeight() const;
    // The bar band of the box whose top edge is at boxTop in the placed world.
    BarBand GetBarBand(float boxTop) const;

    std::unique_ptr<CBarcodeSettings> m_pSettings;
    std::unique_ptr<CBarcodeData> m_pData;
    int32_t m_nSmoothingMode = 0; // the painter's hints, saved while bars are drawn
    // The record of the label this barcode sits on; set by the editor, neither
    // stored nor copied.
    CLabelData* m_pLabelData = nullptr;

protected:
    // Replaces settings and data by clones of the other's. Used by Clone, which
    // always pairs it with an object of the same class.
    virtual void CopyFrom(const CBarcodeImpl& other);

    template <class T>
    std::unique_ptr<CBarcodeImpl> CloneAs() const
    {
        std::unique_ptr<CBarcodeImpl> copy = std::make_unique<T>();
        copy->CopyFrom(*this);
        return copy;
    }

    // The settings as the subclass's own settings class; the factory and CopyFrom
    // only ever pair an implementation with the settings class it was made for.
    template <class T>
    T& SettingsAs() const { return static_cast<T&>(*m_pSettings); }

    void DrawHumanReadableText(QPainter& graphics, float textHeight, float left, float top,
                               const HumanReadableLineStyle& style = {});
    void DrawGroupedHumanReadableText(QPainter& graphics, float textHeight, float left, float top);
};

// The module width a symbol's size follows, in mils: the module X of PDF417, QR Code
// and Data Matrix, the narrow element of every other symbology.
float& ModuleWidthOf(CBarcodeSettings& settings);
// Whether the symbol's height follows its module width too (the 2-D symbologies); a
// linear symbol's height is its bar height and line.
bool HeightFollowsModule(const CBarcodeSettings& settings);
// The largest module width, in thousandths of a mil, at which the symbol of impl's
// content and other settings, encoded again, is at most limitMm wide (and, where the
// height follows the module, high): impl's own when it fits already, 0 when nothing
// does. impl itself is left as it is.
float LargestModuleWidth(const CBarcodeImpl& impl, float limitMm);

// The point of the settings' box named by its anchor; any unknown anchor is the centre.
QPointF GetBarcodeAnchorPoint(const CBarcodeSettings& settings);

// Moves the painter to the drawing origin and, when the angle is not 0, turns it
// about the box's anchor point; returns the box's top-left corner in that world.
QPointF TransformToBox(QPainter& painter, const CBarcodeSettings& settings);
// The same, then fills the box with the background colour unless it is transparent:
// how every symbology begins to draw.
QPointF BeginBoxDrawing(QPainter& painter, const CBarcodeSettings& settings);
// Fills the box at corner, `width` wide, with the background colour unless it is
// transparent.
void FillBoxBackground(QPainter& painter, const CBarcodeSettings& settings, QPointF corner, float width);

class DotGrid;
// The band with its top and bottom on the nearest dot edges (unchanged without dots).
BarBand SnapBand(const BarBand& band, const DotGrid& grid);

// The bars of a linear symbol as they are drawn: laid on the output's dots when the
// grid is active (see AlignBarsToDots), else the exact ones. While it lives the
// settings' box width is the width drawn, so that the box and the human-readable line
// follow the bars.
class DrawnBars
{
public:
    DrawnBars(CBarcodeSettings& settings, const CBarcodeData& exact, float left, const DotGrid& grid);
    ~DrawnBars();
    DrawnBars(const DrawnBars&) = delete;
    DrawnBars& operator=(const DrawnBars&) = delete;

    const CBarcodeData& Bars() const { return *m_bars; }

private:
    CBarcodeSettings& m_settings;
    float m_exactWidth;
    CBarcodeData m_aligned;
    const CBarcodeData* m_bars;
};

// The settings' font (face and styles) at the given size in points.
QFont MakeBarcodeFont(const CBarcodeSettings& settings, float size);

// The grouped human-readable text (separator choices 0-2) and its groups.
QString FormatGroupedText(const CBarcodeSettings& settings, const QString& text);
QStringList SplitGroupedText(const CBarcodeSettings& settings, const QString& text);

// Turns a pattern of width digits (bars and spaces alternating, bar first) into
// bars of the data, one module = module width in mils. Any digit outside 1-9 is
// one module wide.
void BuildBarsFromWidths(CBarcodeData& data, const QString& pattern, float moduleWidthMil);
