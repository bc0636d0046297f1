#pragma once

#include <QPointF>
#include <cstdint>
#include <vector>

class CBarcodeImpl;
class QPainter;

// Drawing frame shared by the 2-D symbologies. It saves the painter's transform,
// places and turns the symbol as every barcode is placed (about its anchor point
// when the angle is not 0), fills the box with a background that is not fully
// transparent and switches smoothing off (kept in the implementation's saved mode);
// the destructor puts the painter back.
// On an output with dots the symbol is drawn scaled so that a module of moduleX by
// moduleY millimetres becomes whole dots, the module grid (from the box's corner
// plus gridOffset) starting on a dot edge; the box grows or shrinks with it.
class Barcode2DFrame
{
public:
    Barcode2DFrame(QPainter& graphics, CBarcodeImpl& impl, float moduleX, float moduleY, QPointF gridOffset = {});
    ~Barcode2DFrame();
    Barcode2DFrame(const Barcode2DFrame&) = delete;
    Barcode2DFrame& operator=(const Barcode2DFrame&) = delete;

    // Top-left corner of the box in the painter's placed world.
    QPointF TopLeft() const { return m_topLeft; }

private:
    QPainter& m_graphics;
    QPointF m_topLeft;
};

// Draws the dark cells of a row-major grid (a byte other than 0 is dark) as squares
// of `module` millimetres from topLeft, each run of dark cells of a row as one
// rectangle, in the settings' bar colour.
void DrawModuleGrid(QPainter& graphics, const CBarcodeImpl& impl, QPointF topLeft,
                    const std::vector<uint8_t>& grid, int rows, int columns, float module);
