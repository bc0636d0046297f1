#pragma once

#include <QtGlobal>

class QIODevice;

// FreeXL sets aside a cell for every place of each sheet's declared range as it opens a
// .xls workbook, before it reads any cell: a file of a few kilobytes can declare ranges
// that take gigabytes. This reads the declarations (the DIMENSIONS records of the workbook
// stream) from the compound file without FreeXL and returns the cells of all the ranges
// together, or -1 when the file is no compound file whose workbook stream can be read.
qint64 XlsDeclaredCells(QIODevice& file);
