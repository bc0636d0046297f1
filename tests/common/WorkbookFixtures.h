#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

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
// An .xls of one sheet S whose column A holds XlsSharedString(0) ... (count - 1), shared
// strings spanning CONTINUE records: one-byte and two-byte texts, rich texts, and long
// ones that are split between records.
bool WriteXlsSharedStrings(const QString& path, int count, QString& error);
QString XlsSharedString(int i);
// A one-sheet .xlsx ("S") whose sheet part holds sheetData (the rows, without the
// <sheetData> element); strings are inline, or shared when sharedStrings holds the
// whole shared-string part.
bool WriteXlsxSheet(const QString& path, const QByteArray& sheetData, const QByteArray& sharedStrings = {});
// The parts WriteXlsxSheet writes, by name, to be changed before they are written.
using XlsxParts = std::vector<std::pair<QByteArray, QByteArray>>;
XlsxParts XlsxSheetParts(const QByteArray& sheetData, const QByteArray& sharedStrings = {});
bool WriteXlsxParts(const QString& path, const XlsxParts& parts);
// A workbook of two sheets, each with 1 to 50 down column A: Sheet1, whose XML is cut
// short halfway (the zip around it whole), and Good.
bool WriteXlsxWithCutShortSheet(const QString& path);

// .xls workbooks laid out by hand, for the shapes no writer makes.
// One BIFF record: its type, its length and the body.
QByteArray BiffRecord(quint16 type, const QByteArray& body);
// A BIFF8 DIMENSIONS record of `rows` and `columns` (past the last used), `length` bytes
// long (14 in the format; longer ones are padded with zeros).
QByteArray BiffDimensions(quint32 rows, quint16 columns, int length = 14);
// A BIFF8 NUMBER record.
QByteArray BiffNumber(quint16 row, quint16 column, double value);
// A BIFF8 workbook stream: the globals, listing sheets S0, S1, ... at their offsets, then
// each sheet's records between its BOF and EOF.
QByteArray BiffWorkbook(const std::vector<QByteArray>& sheets);

// A compound file put together sector by sector: runs of bytes take consecutive sectors,
// each chained to the next and the last ending its chain; the allocation table follows
// them, listed in the header.
class CompoundImage
{
public:
    explicit CompoundImage(int sectorShift = 9);
    // Appends bytes, padded to whole sectors, and returns the run's first sector.
    quint32 AddRun(const QByteArray& bytes);
    // Chains `count` sectors from `first` on that the file does not hold: their table
    // entries, not their bytes (first lies past the sectors added).
    void ChainAbsentSectors(quint32 first, quint32 count);
    void SetDirectory(quint32 firstSector) { m_directory = firstSector; }
    // The mini table's first sector and sector count, and the cutoff below which streams
    // are kept in the mini stream.
    void SetMiniTable(quint32 firstSector, quint32 sectors, quint32 cutoff = 4096);
    // The file's bytes.
    QByteArray Bytes() const;

private:
    int m_shift;
    QByteArray m_sectors;
    std::vector<quint32> m_fat;
    quint32 m_directory = 0xFFFFFFFE;
    quint32 m_miniTable = 0xFFFFFFFE;
    quint32 m_miniSectors = 0;
    quint32 m_cutoff = 4096;
};

// One 128-byte directory entry: type 5 for the root, 2 for a stream.
QByteArray CompoundEntry(const QString& name, int type, quint32 start, quint32 size);
// An .xls whose Workbook stream holds `records`, padded with zeros to 4096 bytes as
// writers do to keep it in regular sectors.
QByteArray XlsOfStream(const QByteArray& records);
bool WriteBytes(const QString& path, const QByteArray& bytes);
// An .xls of one sheet whose one shared string, in two-byte characters, is said to run on
// far past the CONTINUE record after its SST: the reader refuses it as damaged.
QByteArray XlsDamagedSharedString();
