#pragma once

#include <QWidget>
#include <optional>

class CVXUnitEdit;
class QLineEdit;
class QToolButton;

// Up and down arrows that step a floating-point value in their buddy edit box. The
// value lives in the buddy's text; the control keeps only its own position in
// 0 .. integer range, as a scroll bar would.
class CNumSpinCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit CNumSpinCtrl(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const { return m_buddy; }

    // Call after storing minimum, maximum and step.
    void ApplyRange();
    // The buddy's text read as a leading number; 0 without a buddy.
    float GetValue() const;
    void SetValue(float value);
    void SetPos(float value);
    int GetPos() const { return m_nPos; }
    QString FormatValue(float value) const;
    // One step up (delta > 0) or down (delta < 0), as a click on an arrow does.
    void Step(int delta);

    float m_fMin = 0.0f;
    float m_fMax = 100.0f;
    float m_fStep = 1.0f;
    int m_nIntRange = 100;
    int m_nDecimals = -1; // -1: "%g"
    QString m_strFormat;  // when set, the printf format of the buddy's text
    bool m_bTrimZeros = true;
    char m_cDecimalPoint;
    bool m_bWrap = false; // stepping past one end continues from the other

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_nPos = 0;
};

// An integer edit for counts and row numbers: no unit text.
CVXUnitEdit* MakeIntegerEdit(int id);
// Arrows of that id stepping the edit by whole numbers from min to max.
CNumSpinCtrl* MakeSpin(int id, QLineEdit* buddy, float min = 0.0f, float max = 100.0f);
void SetSpinRange(CNumSpinCtrl* spin, float min, float max);
// The edit with its arrows beside it, as one row.
QWidget* EditWithSpin(QLineEdit* edit, CNumSpinCtrl* spin);
// The whole-number edit every dialog uses for counts and row numbers: no unit, arrows
// stepping it over minimum .. maximum, named by their ids; *row receives the widget
// holding both, for a layout.
CVXUnitEdit* MakeCountEdit(int id, int spinId, float minimum, float maximum, QWidget** row);

// The whole number an edit holds ("12", " 12 ", "+12", "-3"); nothing for any other
// text ("70.0013.5", "1e3", "") or one beyond an int.
std::optional<int> ReadWholeNumber(const QLineEdit* edit);
// The whole number the spin's buddy holds, when its text is one ("12", " 12 ", "+12")
// within the arrows' minimum .. maximum; nothing for any other text ("70.0013.5",
// "1e3", "") or a number outside the range: a box whose arrows stop at a limit takes
// no typed number beyond it either.
std::optional<int> SpinWholeValue(const CNumSpinCtrl* spin);
// What a dialog says of a box that holds no such number.
QString SpinRangeMessage(const CNumSpinCtrl* spin);
