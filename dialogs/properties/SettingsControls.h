#pragma once

#include "app/controls/NumSpinCtrl.h" // MakeCountEdit, with the length edits below

#include <QString>
#include <QStringList>
#include <initializer_list>

class CVXUnitEdit;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

// Rows of a form inside a titled group added to the layout.
// A group box (named by its id when it has one) holding a form.
QFormLayout* AddGroup(QBoxLayout* layout, const QString& title, int id = 0);
QCheckBox* MakeCheck(const QString& text, int id);
// A caption whose "&" mnemonic moves the focus to the buddy.
QLabel* MakeBuddyLabel(const QString& text, QWidget* buddy);
QRadioButton* MakeRadio(const QString& text, int id);
QComboBox* MakeCombo(int id, const QStringList& items);
// Radio buttons in rows of their own exclude each other only in a group.
void GroupRadios(QWidget* owner, std::initializer_list<QRadioButton*> radios);
// A millimetre edit (two decimals, no bounds) as a new row of the form.
CVXUnitEdit* AddLengthRow(QFormLayout* form, const QString& label, int id);

// The edit-with-arrows pairs the label settings sheet and its dialogs are made of.

// A length edit in millimetres (two decimals) with its spin (0 to 10000, step 1),
// named by their ids; *row receives the widget holding both, for a layout.
CVXUnitEdit* MakeLengthEdit(int id, int spinId, QWidget** row);

void SetLengthText(QLineEdit* edit, float value);
// The leading number of the text; 0 when there is none.
float LengthOf(const QLineEdit* edit);
int CountOf(const QLineEdit* edit);
