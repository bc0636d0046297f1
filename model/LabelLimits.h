#pragma once

// The ranges of a label's own numbers. The label settings sheet and the prompt-form
// designer take a typed value only inside them, and the label file reader brings a
// stored one into them, so a label the program saved reads back as it was and a
// damaged file cannot hand the drawing, the preview or the print job a number they
// cannot work with.

// Every length, position and size in millimetres lies within this either way (paper
// and label sizes are not negative). It keeps every pixel count the canvas, the
// preview and the print job derive from a label well inside int.
inline constexpr float kMaxLabelLengthMm = 10000.0f;
// Rows and columns of labels on a page, typed or counted from the page: the preview
// outlines every cell, and ten thousand cells are as many as it draws at a keystroke.
inline constexpr int kMaxLabelsAcross = 100;
// Labels to print, and copies of each.
inline constexpr int kMaxLabelCopies = 1000000;
// Pages of data rows loaded at once while printing; a load never asks for more rows
// than its source holds.
inline constexpr int kMaxPreloadPages = 1000000;
// The largest font size of a text or a barcode's line, in points: what the property
// dialogs take, and where a refit or a handle drag on a text stops.
inline constexpr float kMaxFontSize = 1000.0f;
// A printer resolution stored with the label, in dots per inch.
inline constexpr int kMaxPrinterDpi = 9600;
// The prompt form's width and height, in pixels: what a screen shows.
inline constexpr int kMaxFormSize = 4096;
// The places and sizes of the prompt form's items, in pixels.
inline constexpr int kMaxFormItemPixels = 10000;
