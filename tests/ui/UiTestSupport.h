#pragma once

#include <QString>

class QComboBox;
class QLineEdit;
class QWidget;

// Types the text into the widget key by key, as a person would; characters without
// a key of their own (Chinese) arrive as key events carrying the character.
void TypeText(QWidget* widget, const QString& text);

// Replaces the edit's whole text by typing.
void RetypeText(QLineEdit* edit, const QString& text);
// Chooses a combo item with the keyboard, as a person would, so that the combo
// reports it as the user's choice.
void ChooseItem(QComboBox* combo, int index);
// A left click near the widget's left edge; the widget must be there and enabled.
void Click(QWidget* widget);
