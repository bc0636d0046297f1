#pragma once

#include <QImage>
#include <QRadioButton>
#include <QWidget>

// Paints an image from the program's "PNG" resources (":/png/<id>.png") on the
// button face.
class CPngStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CPngStatic(QWidget* parent = nullptr);

    // Loads the resource of m_nResourceId; false (and no image) when it is missing
    // or cannot be read.
    bool LoadPng();
    const QImage& Image() const { return m_image; }
    // The picture's own size, so that layouts give it its room.
    QSize sizeHint() const override;

    int m_nResourceId = 0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

// A radio button that marks its checked state with a red dotted frame around its
// caption.
class CPngRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    using QRadioButton::QRadioButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};
