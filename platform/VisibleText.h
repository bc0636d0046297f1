#pragma once

#include <QString>

// Text that a label or a server wrote, made safe to quote in the program's own words: each
// control, format and separator character is written as its code (\u202E, \U000E0001), so
// that nothing quoted shows as nothing or turns the sentence around it. With keepLines, line
// feeds and tabs stay (and a "\r\n" is one line feed). A text shown so once stays the same
// when shown so again.
QString VisibleText(const QString& text, bool keepLines = false);
