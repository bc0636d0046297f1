#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// How much untrusted input the readers accept. Every reader of label files,
// pictures, workbooks and text data files takes its bounds from here, so one page
// says what a file can cost.

// A label or component file is read whole before it is parsed.
inline constexpr int64_t kMaxLabelFileBytes = int64_t(512) << 20;
// The program's options file (sysconf.ini): a few dozen short lines.
inline constexpr int64_t kMaxSettingsFileBytes = int64_t(1) << 20;
// A picture file named by a label (linked picture) or by a data row.
inline constexpr int64_t kMaxPictureFileBytes = int64_t(64) << 20;
// Decoded pixels of one picture at its own size, in MiB. A picture is decoded when
// it is first drawn, not when its label is opened, so a document costs only the
// pictures it shows; a picture above this is drawn as the placeholder, and the label
// file's reader says so. Decoding may pass through the picture's own size once.
inline constexpr int kMaxPictureDecodedMiB = 256;
// Decoded pictures kept at once, in MiB. A picture is kept at the size it is drawn
// (never above its own), one copy for the canvas, the preview and the print job; the
// pictures drawn longest ago give way to new ones.
inline constexpr int kMaxPicturesKeptMiB = 256;
// Numbers of a label or component file: one that is not finite makes the file
// damaged, and the ranges of the others are the label's own (model/LabelLimits.h).

// One line of a text data file, in bytes after conversion to UTF-8.
inline constexpr int64_t kMaxTextLineBytes = int64_t(1) << 30;
// An .xlsx workbook is a zip of XML parts, each inflated as it is read: one part, and
// all the parts read from one workbook, uncompressed. A few kilobytes of zip inflate
// to gigabytes, so these are checked against the sizes the zip declares, before
// anything is inflated.
inline constexpr int64_t kMaxWorkbookPartBytes = int64_t(256) << 20;
inline constexpr int64_t kMaxWorkbookBytes = int64_t(512) << 20;
// Strings of a workbook's shared-string table.
inline constexpr int kMaxSharedStrings = 1 << 22;
// Nesting of the XML elements of a part: real workbooks nest about ten deep.
inline constexpr int kMaxWorkbookXmlDepth = 256;
// One cell's text, and any run of a part's XML between two tags, in bytes (a cell
// holds at most 32767 characters in the format's own programs).
inline constexpr int64_t kMaxWorkbookCellBytes = int64_t(1) << 20;
// Fields of one data source: the columns of a sheet, the fields of a text file's line.
// A text line with more is read up to this many.
inline constexpr int kMaxDataFields = 16384;
// The sheet grid of each workbook format: a cell beyond it makes the sheet unreadable.
inline constexpr int kXlsxMaxRows = 1048576;
inline constexpr int kXlsxMaxColumns = kMaxDataFields;
inline constexpr int kXlsMaxRows = 65536;
inline constexpr int kXlsMaxColumns = 256;
// The cells of all the ranges the sheets of an .xls workbook declare: its reader sets
// aside 16 bytes for each as it opens the file, before it reads any.
inline constexpr int64_t kMaxXlsDeclaredCells = int64_t(kXlsMaxRows) * kXlsMaxColumns;
// The cells one sheet of an .xlsx workbook may hold, empty ones included: a few hundred
// kilobytes of zip inflate to tens of millions of them, each read in turn.
inline constexpr int64_t kMaxXlsxSheetCells = kMaxXlsDeclaredCells;
// The sheets an .xls workbook may list, counted before its reader opens it: that reader
// walks its list of sheets from the first to open each one and to name it, so its time
// grows with the square of their count (seconds for 65,536 sheets).
inline constexpr int kMaxXlsSheets = 4096;

// Opens a regular file for reading: a device, a pipe or a socket is refused without
// waiting for a writer. The descriptor (the caller closes it), or -1 with the reason
// (in the program's language, for a message that names the file).
int OpenRegularFile(const QString& path, QString& reason);

// Reads a whole regular file of at most maxBytes, no more than the size it reports
// when opened: a file that reports 0 bytes (as those under /proc do) reads as empty
// without being read at all. Nothing on failure, with the reason in `reason`.
std::optional<QByteArray> ReadRegularFile(const QString& path, int64_t maxBytes, QString& reason);
