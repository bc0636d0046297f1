#pragma once

#include <QCursor>
#include <QIcon>

// Bitmaps, icons and cursors are named by resource number throughout the program.
// These map a number to what stands for it here: a standard icon of the desktop's
// icon theme where one fits, our own drawing from the resources otherwise.

// Makes the theme icons findable (a fallback theme when the desktop names none)
// and the program's own resources available. Safe to call again.
void InitResourceIcons();

// The icon of an icon resource; a null icon for a number that has none.
QIcon ResourceIcon(int resourceId);
// The image a toolbar strip gives a command that has no icon resource of its own;
// a null icon when there is none.
QIcon ToolbarButtonIcon(int commandId);
// A colour button's face: the icon resource with its colour strip in the colour the
// button applies; an invalid colour (no colour) leaves the strip an empty frame.
QIcon ColourFaceIcon(int resourceId, const QColor& colour);
// The cursor of a cursor resource (the creation tools, rotation, edit data, drag
// and guide cursors); the arrow for a number that has none.
QCursor ResourceCursor(int resourceId);
