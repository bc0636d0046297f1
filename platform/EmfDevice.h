#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QSizeF>
#include <QString>
#include <memory>

class CEmfPaintEngine;

// A paint device that records an Enhanced Metafile, so that the usual QPainter
// drawing code writes EMF. Logical units are 0.01 mm; the frame is the device's size
// in millimetres. Fills and strokes become polygons (strokes outlined first), text
// becomes glyph outlines, images become device-independent bitmaps. What a record
// cannot express (gradients, patterns, translucency) QPainter hands over as images.
//
// Draw with one QPainter, end it, then Save().
class CEmfDevice : public QPaintDevice
{
public:
    explicit CEmfDevice(const QSizeF& sizeMm);
    ~CEmfDevice() override;
    CEmfDevice(const CEmfDevice&) = delete;
    CEmfDevice& operator=(const CEmfDevice&) = delete;

    QPaintEngine* paintEngine() const override;

    // The whole file: header, the records drawn so far, end of file.
    QByteArray ToBytes() const;
    // False when the file could not be written whole (error says why).
    bool Save(const QString& path, QString* error = nullptr) const;

    // Logical units per millimetre.
    static constexpr int kUnitsPerMm = 100;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSizeF m_sizeMm;
    std::unique_ptr<CEmfPaintEngine> m_pEngine;
};
