#include "barcode/Barcode2D.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/DotGrid.h"

#include <QPainter>

Barcode2DFrame::Barcode2DFrame(QPainter& graphics, CBarcodeImpl& impl, float moduleX, float moduleY,
                               QPointF gridOffset)
    : m_graphics(graphics)
{
    graphics.save();
    const CBarcodeSettings& s = *impl.GetSettings();
    m_topLeft = TransformToBox(graphics, s);
    const DotGrid grid(graphics, s.m_fOutputDpi);
    if (grid.IsActive() && moduleX > 0.0f && moduleY > 0.0f) {
        const QPointF start = m_topLeft + gridOffset;
        graphics.translate(grid.SnapX(start.x()), grid.SnapY(start.y()));
        graphics.scale(grid.RoundX(moduleX) / moduleX, grid.RoundY(moduleY) / moduleY);
        graphics.translate(-start);
    }
    FillBoxBackground(graphics, s, m_topLeft, s.m_fWidth);
    impl.m_nSmoothingMode = int32_t(graphics.renderHints().toInt());
    graphics.setRenderHint(QPainter::Antialiasing, false);
}

Barcode2DFrame::~Barcode2DFrame()
{
    // restore() brings back the transform and the hints saved with it.
    m_graphics.restore();
}

void DrawModuleGrid(QPainter& graphics, const CBarcodeImpl& impl, QPointF topLeft,
                    const std::vector<uint8_t>& grid, int rows, int columns, float module)
{
    if (rows <= 0 || columns <= 0 || grid.size() < size_t(rows) * size_t(columns))
        return;
    const QColor colour = QColor::fromRgba(impl.GetSettings()->m_crBar);
    const DotGrid dots(graphics, impl.GetSettings()->m_fOutputDpi);
    if (FillCellsAsPicture(graphics, dots, grid, columns, rows, topLeft, module, module, colour))
        return;
    DotFiller filler(graphics, dots);
    for (int r = 0; r < rows; ++r) {
        const uint8_t* row = &grid[size_t(r) * size_t(columns)];
        for (int c = 0; c < columns;) {
            if (!row[c]) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < columns && row[c])
                ++c;
            filler.Fill(QRectF(topLeft.x() + start * module, topLeft.y() + r * module, (c - start) * module, module),
                        colour);
        }
    }
}
