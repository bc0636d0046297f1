#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class CColourPicker;
class ImageHolder;
class QAbstractButton;
class QComboBox;
class QLineEdit;
class QPainter;
class QPainterPath;
class QRectF;

// The live picture beside the label settings sheet's pages: the page with every label
// cell outlined and numbered in print order, or (while the background page is
// current) one label with its background. It reads the pages' controls rather than
// the record, so it shows what is typed before OK; a number beyond what OK takes
// leaves the last one it took, and values that cannot make a layout show as a red
// error text instead, and that state refuses the sheet's OK.
class CLSPreviewStatic : public QWidget
{
    Q_OBJECT
public:
    // The page controls read; the sheet fills these once the pages exist. A missing
    // control reads as empty or unchecked.
    struct Controls
    {
        QAbstractButton* ordinaryPrinter = nullptr;
        QLineEdit* pageWidth = nullptr;
        QLineEdit* pageHeight = nullptr;
        QAbstractButton* portrait = nullptr;
        QAbstractButton* rectangle = nullptr;
        QAbstractButton* roundRect = nullptr;
        QLineEdit* cornerRadius = nullptr;
        QAbstractButton* centerHole = nullptr;
        QLineEdit* holeDiameter = nullptr;
        QLineEdit* labelWidth = nullptr;
        QLineEdit* labelHeight = nullptr;
        QLineEdit* leftMargin = nullptr;
        QLineEdit* topMargin = nullptr;
        QLineEdit* horzGap = nullptr;
        QLineEdit* vertGap = nullptr;
        QLineEdit* rows = nullptr;
        QLineEdit* columns = nullptr;
        QComboBox* startCorner = nullptr;
        QComboBox* direction = nullptr;
        QAbstractButton* sameDirection = nullptr;
        CColourPicker* background = nullptr;
        QAbstractButton* noImage = nullptr;
        QComboBox* imageFit = nullptr;
        std::function<const ImageHolder*()> image; // the background page's picture, null for none
    };

    explicit CLSPreviewStatic(QWidget* parent = nullptr);

    void SetControls(const Controls& controls) { m_controls = controls; }
    void SetBackgroundPage(bool backgroundPage) { m_bBackgroundPage = backgroundPage; }

    void ReadControls();
    void Validate();
    void FitToClient();
    // Reads, validates, fits when valid and repaints: what every change asks for.
    void Refresh();
    int GetLabelSequence(int row, int column) const;

    // The values last read, which the picture shows and the sheet's summary lines name.
    float PageWidth() const { return m_fPageWidth; }
    float PageHeight() const { return m_fPageHeight; }
    float LabelWidth() const { return m_fLabelWidth; }
    float LabelHeight() const { return m_fLabelHeight; }
    int Rows() const { return m_nRows; }
    int Columns() const { return m_nColumns; }

    bool IsValid() const { return m_bValid; }
    const QString& ErrorText() const { return m_strError; }
    float Scale() const { return m_fScale; }
    int OffsetX() const { return m_nOffsetX; }
    int OffsetY() const { return m_nOffsetY; }
    int DrawnWidth() const { return m_nDrawnWidth; }
    int DrawnHeight() const { return m_nDrawnHeight; }
    // Where the cell at row, column lies in the widget, in pixels.
    QRectF CellRect(int row, int column) const;

    bool m_bShowNumbers = true;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void DrawPage(QPainter& painter);
    void DrawLabel(QPainter& painter);
    QPainterPath ShapePath(const QRectF& box, float radius) const;
    QRectF HoleRect(const QRectF& cell) const;

    Controls m_controls;
    bool m_bBackgroundPage = false;

    bool m_bLabelPrinter = false;
    float m_fPageWidth = 0;
    float m_fPageHeight = 0;
    bool m_bLandscapeRead = false;
    int m_nShape = 0;
    float m_fCornerRadius = 0;
    bool m_bCenterHole = false;
    float m_fHoleDiameter = 0;
    float m_fLabelWidth = 0;
    float m_fLabelHeight = 0;
    float m_fLeftMargin = 0;
    float m_fTopMargin = 0;
    float m_fHorzGap = 0;
    float m_fVertGap = 0;
    int m_nRows = 0;
    int m_nColumns = 0;
    int m_nStartCorner = 0;
    int m_nDirection = 0;
    bool m_bSameDirection = true;

    bool m_bValid = false;
    QString m_strError;
    float m_fScale = 1.0f;
    int m_nOffsetX = 0;
    int m_nOffsetY = 0;
    int m_nDrawnWidth = 0;
    int m_nDrawnHeight = 0;
};

// A small sample of one label shape beside a radio button of the shape page.
class CLabelShapeStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CLabelShapeStatic(int shape, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {40, 26}; }

    int m_nShape;

protected:
    void paintEvent(QPaintEvent* event) override;
};
