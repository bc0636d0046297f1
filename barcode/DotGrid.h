#pragma once

#include <QColor>
#include <QRect>
#include <QRectF>
#include <QTransform>
#include <cstdint>
#include <vector>

class CBarcodeData;
class QPainter;

// The output's dots seen from a painter's current world. Symbols lay their edges on
// it so that every element is a whole number of dots and elements of one kind are
// equally wide, which a scanner needs far more than exact millimetres. It is active
// only when each world axis runs along a dot axis (the symbol turned by a multiple
// of 90 degrees) and the output has dots.
class DotGrid
{
public:
    // outputDpi is what the drawer knows of the output: 0 its dots are the device's
    // own pixels (an image, the screen at a zoom, a printer); above 0 dots per inch of
    // the page's millimetres, from the page's corner (a PDF meant for a printer);
    // below 0 it has none (a PDF file drawn exactly in millimetres).
    DotGrid(const QPainter& painter, float outputDpi);

    bool IsActive() const { return m_active; }
    // One dot in world millimetres along x and along y.
    double DotX() const { return 1.0 / m_ax; }
    double DotY() const { return 1.0 / m_ay; }
    // The dot edge nearest to a world coordinate.
    double SnapX(double x) const;
    double SnapY(double y) const;
    // A length as whole dots, at least one.
    int DotsX(double mm) const;
    int DotsY(double mm) const;
    // A length rounded to whole dots, at least one; unchanged without dots.
    double RoundX(double mm) const { return m_active ? DotsX(mm) * DotX() : mm; }
    double RoundY(double mm) const { return m_active ? DotsY(mm) * DotY() : mm; }
    // A module of a linear symbol as whole dots no wider than the module itself, at
    // least one: rounded up, a symbol would outgrow the box it was sized for and run
    // into its neighbours on the label.
    int ModuleDotsX(double mm) const;
    double ModuleX(double mm) const { return m_active ? ModuleDotsX(mm) * DotX() : mm; }

    // The world rectangle with its edges on the nearest dot edges, in the painter's
    // logical coordinates (its world matrix off).
    QRectF ToLogical(const QRectF& world) const;

    // A grid of cells (columns x rows, each cellWidth x cellHeight world millimetres
    // from topLeft) as the pixel rectangle it covers, when the dots are the pixels of
    // the painter's logical coordinates, the world neither turns nor mirrors, and
    // every cell edge lies within a small fraction of a dot of the edge ToLogical
    // rounds it to, each cell the same whole number of dots; empty otherwise.
    QRect CellPixels(QPointF topLeft, double cellWidth, double cellHeight, int columns, int rows) const;

private:
    bool m_active = false;
    QTransform m_toDots;        // world to dots
    QTransform m_dotsToLogical; // dots to the painter's logical coordinates
    // Dot coordinate along world x = ±m_ax * x + m_bx (likewise y); the other world
    // coordinate does not count.
    double m_ax = 1.0, m_bx = 0.0, m_signX = 1.0;
    double m_ay = 1.0, m_by = 0.0, m_signY = 1.0;
};

// Fills rectangles of the painter's world. On dots their edges go to the nearest dot
// edges and they are drawn with the world matrix off, so that no rasteriser rounding
// in a turned world can move an edge by a dot; without dots they are filled as they
// are. Rectangles of one colour in a row are gathered and filled in one call when
// the colour changes or the filler ends (a symbol is one fill, not one per bar), so
// nothing else may be drawn on the painter while it lives, nor its world changed.
class DotFiller
{
public:
    // The grid must have been made on the painter in its current world.
    DotFiller(QPainter& painter, const DotGrid& grid);
    ~DotFiller();
    DotFiller(const DotFiller&) = delete;
    DotFiller& operator=(const DotFiller&) = delete;

    void Fill(const QRectF& world, const QColor& colour);

private:
    void Flush();

    QPainter& m_painter;
    DotGrid m_grid;
    bool m_logical = false; // without dots, filled in the painter's logical coordinates
    QTransform m_toLogical;
    QColor m_colour;
    std::vector<QRectF> m_pending;
};

// Fills the dark cells of a grid (a byte other than 0 is dark; columns x rows, each
// cellWidth x cellHeight world millimetres from topLeft) in one opaque colour as one
// picture of a pixel per cell, scaled up by whole pixels: the pixels DotFiller gives
// the cells' rectangles, for a fraction of the cost. Only where that holds: a raster
// device whose pixels are the grid's dots (CellPixels), drawn over. Returns false,
// having drawn nothing, elsewhere.
bool FillCellsAsPicture(QPainter& painter, const DotGrid& grid, const std::vector<uint8_t>& cells, int columns,
                        int rows, QPointF topLeft, double cellWidth, double cellHeight, const QColor& colour);

// Lays the bars of a linear symbol, in a box `boxWidth` wide starting at world x
// `left`, on the grid: the narrowest element (bar or space) becomes whole dots no
// wider than itself (ModuleDotsX); every other element the whole number of dots
// nearest its multiple of it, but never wider than its own width (a wide element
// always wider than a narrow one), edges accumulated in dots from the box's left
// edge, which goes to the nearest dot edge. The space before the first bar and after
// the last (quiet zones, the room of a digit outside the bars) scale with the narrow
// element, rounded down, so the symbol as drawn is never wider than its box. `aligned` receives the bars in millimetres
// from `left`, like `exact`; returns the width of the box as drawn. With an inactive
// grid the bars are copied and the box keeps its width.
float AlignBarsToDots(const CBarcodeData& exact, float left, float boxWidth, const DotGrid& grid,
                      CBarcodeData& aligned);
