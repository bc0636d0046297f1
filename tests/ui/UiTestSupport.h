#pragma once

#include <QString>

class QWidget;

// Types the text into the widget key by key, as a person would; characters without
// a key of their own (Chinese) arrive as key events carrying the character.
void TypeText(QWidget* widget, const QString& text);
