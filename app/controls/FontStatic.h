#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

// Text in its own face, height, style, colour and alignment; a click reaches the
// owner through clicked().
class CFontStatic : public QWidget
{
    Q_OBJECT
public:
    enum StyleFlag : uint8_t {
        FontBold = 1,
        FontItalic = 2,
        FontUnderline = 4,
        FontStrikeOut = 8,
        FontAntialiased = 16,
        FontCentred = 32,
        FontRight = 128,
    };

    explicit CFontStatic(QWidget* parent = nullptr);
    explicit CFontStatic(const QString& text, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_strText; }

    void SetFontStyle(uint8_t flags);
    void RecreateFont();
    Qt::Alignment TextAlignment() const;
    const QFont& TextFont() const { return m_font; }

    bool m_bBold = false;
    bool m_bItalic = false;
    bool m_bUnderline = false;
    bool m_bStrikeOut = false;
    bool m_bAntialiased = false;
    bool m_bCustomBackground = false;
    bool m_bCentred = false;
    bool m_bLeft = true;
    bool m_bRight = false;
    QString m_strFaceName = QStringLiteral("MS Sans Serif");
    QColor m_crText = Qt::black;
    QColor m_crBackground;
    int m_nHeight = 8; // pixels

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_strText;
    QFont m_font;
};
