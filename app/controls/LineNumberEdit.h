#pragma once

#include <QColor>
#include <QPlainTextEdit>

class CLineNumberEdit;

// The gutter of a line-number edit: the numbers of the visible lines; a click on a
// number selects that line.
class CLineNumberStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CLineNumberStatic(CLineNumberEdit* edit);

    void SetLineNumbers(int top, int bottom);
    int TopLineNumber() const { return m_nTopLine; }
    int BottomLineNumber() const { return m_nBottomLine; }
    // The texts painted, top to bottom.
    QStringList NumberTexts() const;

    QColor m_crText;
    QColor m_crBackground;
    QString m_strFormat = QStringLiteral("%05i");

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CLineNumberEdit* m_edit;
    int m_nTopLine = 0;
    int m_nBottomLine = 0;
};

// A multi-line edit with the numbers of its visible lines in a gutter at the left.
// Lines are not wrapped, so a line of the text is a line on the screen.
class CLineNumberEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit CLineNumberEdit(QWidget* parent = nullptr);

    void SetLineNumberFormat(const QString& format);
    // Lays the gutter out again after the owner changed the fields below.
    void UpdateLayout();
    // The gutter's width for the widest number it may show.
    int GutterWidth() const;
    CLineNumberStatic* Gutter() const { return m_gutter; }
    QString FormatNumber(int number) const;
    // Selects the text of the line shown in the given row of the gutter (0 the top
    // row), without its line break; a row below the last line selects the last.
    void SelectLine(int row);

    bool m_bUseSystemColours = false;
    QColor m_crText = Qt::black;
    QColor m_crBackground = QColor(0xFF, 0xFF, 0xF8);
    bool m_bUseSystemDisabledColours = true;
    QColor m_crDisabledText;
    QColor m_crDisabledBackground;
    int m_nMaxLineNumber = 0; // 0: no maximum
    int m_nFirstLineNumber = 0;

    // The line limit a number format is sized for when no maximum is set.
    static constexpr int kTextLimit = 30000;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class CLineNumberStatic;
    void UpdateColours();
    void UpdateNumbers();
    // The y of the line's top in gutter coordinates.
    int LineTop(int line) const;

    CLineNumberStatic* m_gutter;
    QString m_strFormat = QStringLiteral("%05i");
};
