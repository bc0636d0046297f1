#pragma once

#include <QString>

class CVXUnitEdit;
class QLineEdit;
class QWidget;

// The edit-with-arrows pairs the label settings sheet and its dialogs are made of.

// A length edit in millimetres (two decimals) with its spin (0 to 10000, step 1),
// named by their ids; *row receives the widget holding both, for a layout.
CVXUnitEdit* MakeLengthEdit(int id, int spinId, QWidget** row);
// A whole-number edit without unit and its spin over minimum .. maximum.
CVXUnitEdit* MakeCountEdit(int id, int spinId, float minimum, float maximum, QWidget** row);

void SetLengthText(QLineEdit* edit, float value);
// The leading number of the text; 0 when there is none.
float LengthOf(const QLineEdit* edit);
int CountOf(const QLineEdit* edit);
