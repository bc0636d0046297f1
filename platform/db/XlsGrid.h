#pragma once

#include <QtGlobal>

class QIODevice;

// FreeXL sets aside a cell for every place of a sheet's range as it opens a .xls workbook,
// before it reads any cell: a file of a few kilobytes can declare ranges that take
// gigabytes. This reads the file as FreeXL 1.0 reads it, without FreeXL: the same compound
// file tables, the same workbook stream and the same records, each field where FreeXL
// takes it whatever the record's length. It returns the cells of every range FreeXL would
// set aside (each DIMENSIONS record of a sheet, and the range it makes up for a sheet that
// declares none), or -1 when FreeXL could not read the file's streams, or would read past
// what they hold or copy a name, a number format or a text past its record. Its own time
// and memory grow with the file's size. sheets, when given, is set to the sheets the
// workbook lists, as far as it was read (FreeXL's own time grows with their square).
qint64 XlsDeclaredCells(QIODevice& file, qint64* sheets = nullptr);
