#pragma once

#include <QLineEdit>

// A numeric edit box: it lets through only the characters of an integer or decimal
// number, tidies the number when it loses the focus, and shows a unit caption such
// as "毫米" inside its border at the right. The value lives in the text.
class CVXUnitEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum ValueType : int { ValueInteger = 1, ValueReal = 2 };

    explicit CVXUnitEdit(QWidget* parent = nullptr);

    // Call after changing the unit text, the show-unit flag or the value kind.
    void UpdateFrame();
    // The text a value takes when the focus leaves (what focus-out writes back).
    QString TidyText(const QString& text) const;

    bool m_bShowUnit = true;
    QString m_strUnit = QStringLiteral("毫米");
    int m_nUnitWidth = 32;
    int m_nValueType = ValueReal; // any other value: no filtering, no tidying
    bool m_bCheckMin = false;
    bool m_bCheckMax = false;
    float m_fMin = 0.0f;
    float m_fMax = 1000.0f;
    bool m_bFixedDecimals = true;
    int m_nDecimals = 2;
    bool m_bTrimZeros = true;
    bool m_bKeepOneZero = true;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString UnitCaption() const;
    bool AcceptsCharacter(QChar c) const;
};
