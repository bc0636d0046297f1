#pragma once

#include <QComboBox>

// Selects the first item whose text equals text exactly (case-sensitive); none
// selected when no item does.
void SelectComboItemByText(const QString& text, QComboBox* combo);

// A combo box whose items show a 16 x 16 icon before their text.
class CComboBoxBold : public QComboBox
{
    Q_OBJECT
public:
    explicit CComboBoxBold(QWidget* parent = nullptr);

    // The icon resource shown beside the item.
    void SetItemIcon(int item, int iconId);
};

// The five line dash styles; the selected index is the dash style.
class CDashStyleComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CDashStyleComboBox(QWidget* parent = nullptr);

    // Styles 0 to 4 select their item, anything else the solid line.
    void SetDashStyle(int style);
    int GetDashStyle() const { return currentIndex(); }
};

// "无底纹" and the hatch styles by name. No hatch is not a hatch style: the owner
// keeps a hatched flag (index not 0) and asks GetHatchStyle only when it is set.
class CHatchStyleComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CHatchStyleComboBox(QWidget* parent = nullptr);

    // The hatch style of the selected item; 3 for "无底纹" and for no selection.
    int GetHatchStyle() const;
    // Selects the item of the style; styles without an item leave the selection.
    void SetHatchStyle(int style);
};
