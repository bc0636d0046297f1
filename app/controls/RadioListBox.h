#pragma once

#include <QListWidget>

// A list whose items show as radio buttons; the selected item is the checked one.
class CRadioListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit CRadioListBox(QWidget* parent = nullptr);

    // With a transparent background the list takes the button face, as the dialog
    // around it does.
    void SetTransparent(bool transparent);
    bool IsTransparent() const { return m_bTransparent; }

private:
    bool m_bTransparent = false;
};
