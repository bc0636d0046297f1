#pragma once

#include "app/controls/NumSpinCtrl.h" // MakeCountEdit, with the length edits below
#include "model/LabelLimits.h"

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

// A length edit in millimetres (two decimals) with its spin (0 to kMaxLabelLengthMm, step 1),
// named by their ids; *row receives the widget holding both, for a layout.
CVXUnitEdit* MakeLengthEdit(int id, int spinId, QWidget** row);

// Shows the value with two decimals, remembered as the text the box was loaded with.
void SetLengthText(QLineEdit* edit, float value);
// Remembers the box's present text (a line edit's or an editable combo's) as loaded.
void MarkLoadedText(QWidget* box);
// Stores the box's number into the field, unless the box still shows the text it was
// loaded with: a value shown with two decimals keeps all its digits when the user
// left it alone, and an OK that changed nothing else changes nothing.
void StoreNumber(const QWidget* box, float& field);
// The leading number of the text; 0 when there is none. A count beyond int reads as
// the nearest int.
float LengthOf(const QLineEdit* edit);
int CountOf(const QLineEdit* edit);
// Stores the edit's length into the field when the edit's range check takes it. OK checks
// only the boxes that are enabled: a box disabled after a number was typed into it (a
// corner radius once the label is no longer rounded) keeps the field as it was instead
// of storing a number the check never saw.
void StoreTakenLength(const CVXUnitEdit* edit, float& field);
// The box's length while it lies within kMaxLabelLengthMm either way (beyond that OK
// refuses it), else the last such length the box held; one below 0, or no box, reads
// as 0, which the preview names. The live preview and the counted rows and columns
// follow only these, so a number on its way to another, or one far beyond any page,
// neither stalls them nor overflows their arithmetic.
float TakenLength(QLineEdit* edit);

// Numbers typed into a box are read as the stored value will be read (the leading
// number). The box (a line edit or an editable combo) must then hold a finite number
// from minimum to maximum; otherwise its tab comes to the front, the user is told
// which numbers it takes, the focus goes to the box with its text selected, and the
// answer is false.
bool CheckNumberBox(QWidget* box, double minimum, double maximum);
// The same for a box that takes numbers above 0 up to maximum.
bool CheckPositiveNumberBox(QWidget* box, double maximum);
// Refuses the box's number with a message of the caller's: the box's tab comes to the
// front, the message is shown, the focus goes to the box with its text selected; false.
bool RefuseNumberBox(QWidget* box, const QString& message);
// The caption of the box's form row (or of the row holding it and its arrows), without
// its mnemonic and colon; empty when it has none.
QString NumberBoxCaption(QWidget* box);
// A range end as a refusal names a bound that depends on other values: to the hundredth.
QString HundredthsText(double value);
// Refuses the box's number naming the numbers it takes beside the other values and why
// ("X必须是 a 到 b 之间的数：<why>，请重新输入。"), as RefuseNumberBox does.
bool RefuseOutsideRange(QWidget* box, double low, double high, const QString& why);
// The same for every enabled number edit of the page that shows with its tabs: the
// range of its arrows when it has them, else the edit's own bounds, else lengths
// and angles up to kMaxTypedNumber either way and counts up to a billion.
bool CheckNumberBoxes(QWidget* page);
// For a box that takes numbers below its arrows' minimum too (a page that raises them
// when it stores them, an offset that goes either way): below, only what is as far
// out as the default bounds is refused.
void AcceptBelowArrows(QWidget* box);
// For a box whose 0 a later check refuses with a message of its own (the sheet's
// preview, a pane's own check): below 0 it is refused with a message that says 0 is
// not taken either.
void RefuseZeroIn(QWidget* box);
inline constexpr double kMaxTypedNumber = kMaxLabelLengthMm;
