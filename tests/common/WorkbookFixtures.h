#pragma once

#include <QString>

// Workbooks written by the tests themselves: the .xlsx with libxlsxwriter, the .xls
// with Python's xlwt. Both hold the same sheets:
//   People   header Id, Name, City, Note, Price, Born; 30 records; Note empty on
//            every tenth, Price i + 0.5, Born a date (2024-01-i) in the .xlsx
//   My Data  header Code, Qty; 3 records, starting at B3 (the used range)
//   Empty    no cell
// The .xlsx also has a named range Prices, which is no sheet.
bool WriteTestXlsx(const QString& path);
// False (with the reason in `error`) when Python or xlwt is missing.
bool WriteTestXls(const QString& path, QString& error);
// An .xls of `sheets` sheets S0, S1, ..., each with "first" in A1 and "last" in the last
// cell of the grid (IV65536), so that each declares the whole grid as its range.
bool WriteXlsCorners(const QString& path, int sheets, QString& error);
// A one-sheet .xlsx ("S") whose sheet part holds sheetData (the rows, without the
// <sheetData> element); strings are inline, or shared when sharedStrings holds the
// whole shared-string part.
bool WriteXlsxSheet(const QString& path, const QByteArray& sheetData, const QByteArray& sharedStrings = {});
