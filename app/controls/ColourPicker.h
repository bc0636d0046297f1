#pragma once

#include <QColor>
#include <QPushButton>
#include <QRect>
#include <cstdint>

// Model colours are ARGB; a picker's colour is a QColor, invalid for "no colour".
// An ARGB colour with alpha 0 is "no colour"; any other is shown opaque. Back, "no
// colour" is written as 0x00FFFFFF and a colour as opaque ARGB (0xFF000000 is opaque
// black, never "none").
QColor ArgbToPickerColour(uint32_t argb);
uint32_t PickerColourToArgb(const QColor& colour);

class CColourPopup;

// A button showing a colour swatch and a drop-down arrow; a click opens the colour
// popup. What happens in the popup reaches the owner through the signals, in the
// order the popup reports it: on acceptance popupClosed, colourAccepted and, when
// the colour differs from before, colourChanged; on cancellation popupClosed and
// selectionCancelled with the colour from before.
class CColourPicker : public QPushButton
{
    Q_OBJECT
public:
    enum Mode : int { ModeText = 1, ModeBackground = 2 };

    explicit CColourPicker(QWidget* parent = nullptr);

    void SetColour(const QColor& colour);
    QColor GetColour() const;
    bool IsPopupActive() const { return m_bPopupActive; }
    // The open popup, null when none is open.
    CColourPopup* Popup() const { return m_popup; }

    bool m_bTrackSelection = false;
    int m_nMode = ModeBackground;
    QString m_strDefaultText = QStringLiteral("透明");
    QString m_strCustomText = QStringLiteral("更多颜色...");

    QSize sizeHint() const override;

Q_SIGNALS:
    void colourChanged(const QColor& colour);
    void popupOpened(const QColor& colour);
    void popupClosed(const QColor& colour);
    void colourAccepted(const QColor& colour);
    void selectionCancelled(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class CColourPopup;
    void OpenPopup();
    void OnSelEndOK(const QColor& colour);
    void OnSelEndCancel(const QColor& colour);
    // 更多颜色... in the popup, which has gone: the colour dialog decides.
    void ChooseCustomColour(const QColor& initial);
    void OnSelChange(const QColor& colour);

    bool m_bPopupActive = false;
    QColor m_crColourBk;
    QColor m_crColourText;
    CColourPopup* m_popup = nullptr;
};

// The popup grid of 40 named colours, with a "no colour" box above it and a box
// below it that opens the colour dialog, each present when its text is not empty.
class CColourPopup : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kColours = 40;
    static constexpr int kColumns = 8;
    static constexpr int kDefaultBox = -3;
    static constexpr int kCustomBox = -2;
    static constexpr int kNone = -1;

    CColourPopup(const QPoint& topLeft, const QColor& colour, CColourPicker* picker, const QString& defaultText,
                 const QString& customText);

    static QColor TableColour(int index);
    static QString TableName(int index);

    int CurrentSelection() const { return m_nCurrentSel; }
    int ChosenSelection() const { return m_nChosenColourSel; }
    // The rectangle of a cell (0 .. 39) or box (kDefaultBox, kCustomBox).
    QRect CellRect(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Layout(const QPoint& topLeft);
    void ChangeSelection(int index);
    void EndSelection(bool accept);
    int Last() const { return kColours - 1; }
    int Rows() const { return (kColours + kColumns - 1) / kColumns; }
    bool HasDefault() const { return !m_strDefaultText.isEmpty(); }
    bool HasCustom() const { return !m_strCustomText.isEmpty(); }
    int HitTest(const QPoint& point) const;
    void DrawCell(QPainter& painter, int index);

    CColourPicker* m_picker;
    QString m_strDefaultText;
    QString m_strCustomText;
    QColor m_crInitialColour;
    QColor m_crColour;
    int m_nBoxSize = 18;
    int m_nMargin = 2;
    int m_nCurrentSel = kNone;
    int m_nChosenColourSel = kNone;
    QRect m_defaultTextRect;
    QRect m_customTextRect;
    bool m_bEnded = false;
};
