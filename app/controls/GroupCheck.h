#pragma once

#include <QCheckBox>
#include <QPointer>

class QGroupBox;

// A check box laid over a group box's caption; unchecked, it disables (and with the
// hide flag, hides) the controls inside the box.
class CGroupCheck : public QCheckBox
{
    Q_OBJECT
public:
    explicit CGroupCheck(const QString& text, QWidget* parent = nullptr);

    // Takes the box's place in its caption and updates the controls.
    void SetGroupbox(QGroupBox* box);
    // Enables or disables (and shows or hides) the controls inside the box by the
    // check state. Call after setting the state in code.
    void UpdateGroupControls();

    bool m_bHide = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceOverCaption();

    QPointer<QWidget> m_box; // read as a widget: it may be part-destroyed when an event arrives
};
