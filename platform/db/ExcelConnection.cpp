#include "platform/InputLimits.h"
#include "platform/db/DbConnection.h"
#include "platform/db/SQLiteStage.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <functional>
#include <new>
#include <freexl.h>
#include <zip.h>

namespace {

// The provider reads at most this many columns of a sheet.
constexpr int kMaxColumns = 255;

struct Cell
{
    enum Kind { Null, Int, Double, Text };
    Kind kind = Null;
    qint64 i = 0;
    double d = 0;
    QByteArray text;

    static Cell FromNumber(double value)
    {
        Cell cell;
        // Whole numbers are stored as integers so "3" does not read back as "3.0".
        if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
            cell.kind = Int;
            cell.i = static_cast<qint64>(value);
        } else {
            cell.kind = Double;
            cell.d = value;
        }
        return cell;
    }
    static Cell FromText(QByteArray utf8)
    {
        Cell cell;
        cell.kind = Text;
        cell.text = std::move(utf8);
        return cell;
    }
    QString Display() const
    {
        switch (kind) {
        case Int: return QString::number(i);
        case Double: return QString::number(d, 'g', 15);
        case Text: return QString::fromUtf8(text);
        case Null: break;
        }
        return {};
    }
};

struct SheetCell
{
    int row;
    int column;
    Cell value;
};

// Date serials of the 1900 system count from 1899-12-30 (1900 is wrongly a leap
// year there, which only moves serials before March 1900); the 1904 system from
// 1904-01-01. Whole serials are dates, those below 1 times.
QByteArray SerialToText(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 2958466)
        return QByteArray::number(serial, 'g', 15);
    qint64 days = static_cast<qint64>(std::floor(serial));
    qint64 seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QTime time = QTime(0, 0).addSecs(static_cast<int>(seconds));
    if (days == 0 && !date1904)
        return time.toString(QStringLiteral("HH:mm:ss")).toLatin1();
    QDate base = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (!date1904 && days < 61)
        base = QDate(1899, 12, 31);
    const QString day = base.addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    if (seconds == 0)
        return day.toLatin1();
    return (day + u' ' + time.toString(QStringLiteral("HH:mm:ss"))).toLatin1();
}

// Whether a number format shows a date or time: the built-in date formats, and
// custom codes with date or time letters outside quotes, escapes and brackets.
bool IsDateFormat(int id, const QString& code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            quoted = c != u'"';
        } else if (bracket) {
            bracket = c != u']';
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'[') {
            bracket = true;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (QStringLiteral("ymdhsYMDHS").contains(c)) {
            return true;
        }
    }
    return false;
}

// A row number of decimal digits, capped just past the largest row of any format so
// that no length of digits overflows; false for anything else.
bool ParseRowNumber(QStringView digits, qint64& number)
{
    if (digits.isEmpty())
        return false;
    number = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return false;
        number = std::min<qint64>(number * 10 + (c.unicode() - '0'), qint64(kXlsxMaxRows) + 1);
    }
    return true;
}

// "BC12" to its 0-based column and row, which may lie past the sheet's grid (the
// caller checks); false for anything else.
bool ParseReference(QStringView reference, qint64& row, qint64& column)
{
    qsizetype i = 0;
    qint64 col = 0;
    while (i < reference.size() && reference[i].isLetter() && reference[i].unicode() < 128) {
        col = std::min<qint64>(col * 26 + (reference[i].toUpper().unicode() - 'A' + 1), qint64(kXlsxMaxColumns) + 1);
        ++i;
    }
    qint64 r = 0;
    if (i == 0 || !ParseRowNumber(reference.mid(i), r) || r < 1)
        return false;
    row = r - 1;
    column = col - 1;
    return true;
}

// A cell with a value, handed over by a sheet reader.
using CellVisitor = std::function<void(int row, int column, const Cell& value)>;

class ExcelConnection : public StagedConnection
{
public:
    ExcelConnection(const QString& path, bool headerRow)
        : m_headerRow(headerRow)
    {
        QFile file(path);
        if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
            Fail(QStringLiteral("The workbook \"%1\" does not exist or cannot be read").arg(path));
            return;
        }
        const QByteArray magic = file.read(8);
        file.close();
        QStringList sheets;
        bool ok = false;
        try {
            if (magic.startsWith("PK"))
                ok = OpenXlsx(path, sheets);
            else if (magic.startsWith("\xD0\xCF\x11\xE0"))
                ok = OpenXls(path, sheets);
            else
                Fail(QStringLiteral("\"%1\" is not an Excel workbook").arg(path));
        } catch (const std::bad_alloc&) {
            ok = Fail(QStringLiteral("The workbook \"%1\" is too large to be read into memory").arg(path));
        }
        if (!ok || !OpenEngine()) {
            CloseFiles();
            return;
        }
        QStringList tables;
        for (const QString& sheet : sheets)
            tables.append(sheet + u'$');
        SetTables(tables);
        Succeed();
    }
    ~ExcelConnection() override { CloseFiles(); }

    void Close() override
    {
        StagedConnection::Close();
        CloseFiles();
    }

protected:
    bool Stage(int index) override
    {
        try {
            QByteArray part;
            if (m_zip && !ReadSheetPart(index, part))
                return false;
            return StageCells(index, [&](const CellVisitor& visit) {
                return m_zip ? ReadXlsxSheet(index, part, visit) : ReadXlsSheet(index, visit);
            });
        } catch (const std::bad_alloc&) {
            return Fail(QStringLiteral("The sheet %1 is too large to be read into memory").arg(Table(index)));
        }
    }

private:
    void CloseFiles()
    {
        if (m_zip)
            zip_discard(m_zip);
        m_zip = nullptr;
        if (m_xls)
            freexl_close(m_xls);
        m_xls = nullptr;
    }

    // Reads the sheet twice through readSheet: once for the used range (the smallest
    // box around every cell that holds a value), then to write its rows into the
    // staged table as they come. Only a sheet whose rows come out of order is held
    // whole, to be sorted first.
    bool StageCells(int index, const std::function<bool(const CellVisitor&)>& readSheet)
    {
        int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
        int lastRow = -1;
        bool ordered = true;
        if (!readSheet([&](int row, int column, const Cell&) {
                top = std::min(top, row);
                bottom = std::max(bottom, row);
                left = std::min(left, column);
                right = std::max(right, column);
                ordered = ordered && row >= lastRow;
                lastRow = row;
            }))
            return false;
        const int columnCount = bottom < 0 ? 0 : std::min(right - left + 1, kMaxColumns);
        QStringList names;
        for (int c = 0; c < columnCount; ++c)
            names.append(QString());
        const int headerRow = m_headerRow && bottom >= 0 ? top : -1;
        std::unique_ptr<TableWriter> writer;
        int written = headerRow >= 0 ? top : top - 1; // the last row stored (or the header)
        int open = -1;                                // the row whose cells are being bound
        const auto add = [&](int row, int column, const Cell& value) {
            const int c = column - left;
            if (c >= columnCount)
                return;
            if (row == headerRow) {
                names[c] = value.Display();
                return;
            }
            if (!writer)
                writer = std::make_unique<TableWriter>(*this, Table(index), UniqueColumnNames(names));
            if (row != open) {
                if (open >= 0) {
                    writer->EndRow();
                    written = open;
                }
                // Empty rows inside the used range are rows of NULLs.
                writer->AddEmptyRows(row - written - 1);
                open = row;
            }
            if (value.kind == Cell::Int)
                writer->BindInt(c, value.i);
            else if (value.kind == Cell::Double)
                writer->BindDouble(c, value.d);
            else if (value.kind == Cell::Text)
                writer->BindText(c, value.text);
        };
        if (ordered) {
            if (!readSheet(add))
                return false;
        } else {
            std::vector<SheetCell> cells;
            if (!readSheet([&](int row, int column, const Cell& value) { cells.push_back({row, column, value}); }))
                return false;
            std::stable_sort(cells.begin(), cells.end(),
                [](const SheetCell& a, const SheetCell& b) { return a.row < b.row; });
            for (const SheetCell& cell : cells)
                add(cell.row, cell.column, cell.value);
        }
        if (!writer)
            writer = std::make_unique<TableWriter>(*this, Table(index), UniqueColumnNames(names));
        if (open >= 0) {
            writer->EndRow();
            written = open;
        }
        writer->AddEmptyRows(bottom - written); // rows whose cells all lie past the last column
        return writer->Finish();
    }

    // ---- .xlsx: a zip of XML parts

    bool ReadPart(const QString& name, QByteArray& data)
    {
        const QByteArray utf8 = name.toUtf8();
        const zip_int64_t index = zip_name_locate(m_zip, utf8.constData(), ZIP_FL_NOCASE);
        if (index < 0)
            return false;
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
            || stat.size > static_cast<zip_uint64_t>(kMaxWorkbookPartBytes))
            return Fail(QStringLiteral("The workbook part %1 is damaged or too large").arg(name));
        zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
        if (!file)
            return Fail(QStringLiteral("Cannot read the workbook part %1: %2")
                            .arg(name, QString::fromUtf8(zip_strerror(m_zip))));
        data.resize(static_cast<qsizetype>(stat.size));
        const zip_int64_t read = zip_fread(file, data.data(), stat.size);
        zip_fclose(file);
        if (read != static_cast<zip_int64_t>(stat.size))
            return Fail(QStringLiteral("The workbook part %1 is damaged").arg(name));
        return true;
    }

    // Relationship ids to part names, and the first target of each type.
    QHash<QString, QString> ReadRelations(
        const QString& relsPart, const QString& folder, QHash<QString, QString>& byType)
    {
        QHash<QString, QString> targets;
        QByteArray data;
        if (!ReadPart(relsPart, data))
            return targets;
        QXmlStreamReader xml(data);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
                continue;
            const auto attributes = xml.attributes();
            QString target = attributes.value(QLatin1String("Target")).toString();
            target = target.startsWith(u'/') ? target.mid(1) : folder + target;
            targets.insert(attributes.value(QLatin1String("Id")).toString(), target);
            const QString type = attributes.value(QLatin1String("Type")).toString().section(u'/', -1);
            if (!byType.contains(type))
                byType.insert(type, target);
        }
        return targets;
    }

    bool OpenXlsx(const QString& path, QStringList& sheets)
    {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
        if (!m_zip)
            return Fail(QStringLiteral("\"%1\" is not a readable Excel workbook").arg(path));
        QByteArray workbook;
        if (!ReadPart(QStringLiteral("xl/workbook.xml"), workbook))
            return LastError().isEmpty() ? Fail(QStringLiteral("\"%1\" is not an Excel workbook").arg(path)) : false;
        QHash<QString, QString> byType;
        const QHash<QString, QString> targets
            = ReadRelations(QStringLiteral("xl/_rels/workbook.xml.rels"), QStringLiteral("xl/"), byType);
        QXmlStreamReader xml(workbook);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto attributes = xml.attributes();
            if (xml.name() == u"workbookPr") {
                const auto flag = attributes.value(QLatin1String("date1904"));
                m_date1904 = flag == u"1" || flag == u"true";
            } else if (xml.name() == u"sheet") {
                QString id;
                for (const auto& attribute : attributes) {
                    if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
                        id = attribute.value().toString();
                }
                sheets.append(attributes.value(QLatin1String("name")).toString());
                m_sheetParts.append(targets.value(id));
            }
        }
        if (xml.hasError())
            return Fail(QStringLiteral("The workbook \"%1\" is damaged: %2").arg(path, xml.errorString()));
        if (!ReadSharedStrings(byType.value(QStringLiteral("sharedStrings"), QStringLiteral("xl/sharedStrings.xml")))
            || !ReadStyles(byType.value(QStringLiteral("styles"), QStringLiteral("xl/styles.xml"))))
            return false;
        return true;
    }

    // Every string of the table, rich-text runs joined; phonetic guides left out.
    bool ReadSharedStrings(const QString& part)
    {
        QByteArray data;
        if (!ReadPart(part, data))
            return LastError().isEmpty();
        QXmlStreamReader xml(data);
        QString current;
        int phonetic = 0;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (xml.name() == u"si")
                    current.clear();
                else if (xml.name() == u"rPh")
                    ++phonetic;
                else if (xml.name() == u"t" && phonetic == 0)
                    current += xml.readElementText();
            } else if (token == QXmlStreamReader::EndElement) {
                if (xml.name() == u"si")
                    m_sharedStrings.append(current.toUtf8());
                else if (xml.name() == u"rPh")
                    --phonetic;
            }
        }
        return !xml.hasError() || Fail(QStringLiteral("The workbook's strings are damaged: %1").arg(xml.errorString()));
    }

    bool ReadStyles(const QString& part)
    {
        QByteArray data;
        if (!ReadPart(part, data))
            return LastError().isEmpty();
        QXmlStreamReader xml(data);
        QHash<int, QString> codes;
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                const auto attributes = xml.attributes();
                if (xml.name() == u"numFmt") {
                    codes.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                        attributes.value(QLatin1String("formatCode")).toString());
                } else if (xml.name() == u"cellXfs") {
                    inCellXfs = true;
                } else if (xml.name() == u"xf" && inCellXfs) {
                    const int id = attributes.value(QLatin1String("numFmtId")).toInt();
                    m_dateStyles.push_back(IsDateFormat(id, codes.value(id)));
                }
            } else if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs") {
                inCellXfs = false;
            }
        }
        return !xml.hasError() || Fail(QStringLiteral("The workbook's styles are damaged: %1").arg(xml.errorString()));
    }

    bool ReadSheetPart(int index, QByteArray& data)
    {
        const QString part = m_sheetParts.value(index);
        if (part.isEmpty() || !ReadPart(part, data))
            return LastError().isEmpty()
                ? Fail(QStringLiteral("The sheet %1 is missing from the workbook").arg(Table(index)))
                : false;
        return true;
    }

    bool BeyondGrid(int index, qint64 row, qint64 column, int maxRows, int maxColumns)
    {
        return Fail(QStringLiteral("The sheet %1 has a cell at row %2, column %3, beyond the %4 rows and %5 "
                                   "columns of its workbook format")
                        .arg(Table(index))
                        .arg(row + 1)
                        .arg(column + 1)
                        .arg(maxRows)
                        .arg(maxColumns));
    }

    bool ReadXlsxSheet(int index, const QByteArray& data, const CellVisitor& visit)
    {
        QXmlStreamReader xml(data);
        qint64 row = -1;
        qint64 column = -1;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"row") {
                qint64 r = 0;
                row = ParseRowNumber(xml.attributes().value(QLatin1String("r")), r) && r >= 1 ? r - 1 : row + 1;
                column = -1;
                if (row >= kXlsxMaxRows)
                    return BeyondGrid(index, row, 0, kXlsxMaxRows, kXlsxMaxColumns);
            } else if (xml.name() == u"c") {
                const auto attributes = xml.attributes();
                qint64 r = row;
                if (!ParseReference(attributes.value(QLatin1String("r")), r, column))
                    ++column;
                if (r >= kXlsxMaxRows || column >= kXlsxMaxColumns)
                    return BeyondGrid(index, r, column, kXlsxMaxRows, kXlsxMaxColumns);
                const QString type = attributes.value(QLatin1String("t")).toString();
                const int style = attributes.value(QLatin1String("s")).toInt();
                const Cell value = ReadCellValue(xml, type, style);
                if (value.kind != Cell::Null && !(value.kind == Cell::Text && value.text.isEmpty()) && r >= 0
                    && column >= 0)
                    visit(static_cast<int>(r), static_cast<int>(column), value);
            }
        }
        if (xml.hasError())
            return Fail(QStringLiteral("The sheet %1 is damaged: %2").arg(Table(index), xml.errorString()));
        return true;
    }

    // Reads the rest of a <c> element.
    Cell ReadCellValue(QXmlStreamReader& xml, const QString& type, int style)
    {
        QString v;
        QString inline_;
        bool haveValue = false;
        while (!(xml.readNext() == QXmlStreamReader::EndElement && xml.name() == u"c") && !xml.atEnd()) {
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"v") {
                v = xml.readElementText();
                haveValue = true;
            } else if (xml.name() == u"t") {
                inline_ += xml.readElementText();
                haveValue = true;
            }
        }
        if (!haveValue)
            return {};
        if (type == u"s") {
            bool ok = false;
            const int i = v.toInt(&ok);
            return ok && i >= 0 && i < m_sharedStrings.size() ? Cell::FromText(m_sharedStrings[i]) : Cell();
        }
        if (type == u"inlineStr")
            return Cell::FromText(inline_.toUtf8());
        if (type == u"str" || type == u"d")
            return Cell::FromText(v.toUtf8());
        if (type == u"b")
            return Cell::FromText(v.trimmed() == u"1" ? "TRUE" : "FALSE");
        if (type == u"e") // an error value such as #DIV/0! reads as NULL
            return {};
        bool ok = false;
        const double number = v.toDouble(&ok);
        if (!ok)
            return v.isEmpty() ? Cell() : Cell::FromText(v.toUtf8());
        if (style >= 0 && style < static_cast<int>(m_dateStyles.size()) && m_dateStyles[style])
            return Cell::FromText(SerialToText(number, m_date1904));
        return Cell::FromNumber(number);
    }

    // ---- .xls: the binary format, read by FreeXL

    bool OpenXls(const QString& path, QStringList& sheets)
    {
        const void* handle = nullptr;
        const int rc = freexl_open(QFile::encodeName(path).constData(), &handle);
        if (rc != FREEXL_OK) {
            if (handle)
                freexl_close(handle);
            return Fail(QStringLiteral("\"%1\" cannot be read as an Excel workbook (error %2); "
                                       "password-protected workbooks cannot be read")
                            .arg(path)
                            .arg(rc));
        }
        m_xls = handle;
        unsigned int info = 0;
        if (freexl_get_info(m_xls, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
            return Fail(QStringLiteral("The workbook \"%1\" is password-protected and cannot be read").arg(path));
        unsigned int count = 0;
        if (freexl_get_info(m_xls, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
            return Fail(QStringLiteral("\"%1\" is a damaged Excel workbook").arg(path));
        for (unsigned int i = 0; i < count && i <= 0xFFFF; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(m_xls, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
                return Fail(QStringLiteral("\"%1\" is a damaged Excel workbook").arg(path));
            sheets.append(QString::fromUtf8(name));
        }
        return true;
    }

    bool ReadXlsSheet(int index, const CellVisitor& visit)
    {
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(m_xls, static_cast<unsigned short>(index)) != FREEXL_OK
            || freexl_worksheet_dimensions(m_xls, &rows, &columns) != FREEXL_OK)
            return Fail(QStringLiteral("The sheet %1 cannot be read").arg(Table(index)));
        if (rows > static_cast<unsigned int>(kXlsMaxRows) || columns > kXlsMaxColumns)
            return BeyondGrid(index, qint64(rows) - 1, qint64(columns) - 1, kXlsMaxRows, kXlsMaxColumns);
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(m_xls, r, c, &value) != FREEXL_OK)
                    return Fail(QStringLiteral("The sheet %1 is damaged").arg(Table(index)));
                Cell cell;
                switch (value.type) {
                case FREEXL_CELL_INT: cell = Cell::FromNumber(value.value.int_value); break;
                case FREEXL_CELL_DOUBLE: cell = Cell::FromNumber(value.value.double_value); break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (value.value.text_value)
                        cell = Cell::FromText(QByteArray(value.value.text_value));
                    break;
                default: break;
                }
                if (cell.kind != Cell::Null && !(cell.kind == Cell::Text && cell.text.isEmpty()))
                    visit(static_cast<int>(r), c, cell);
            }
        }
        return true;
    }

    bool m_headerRow;
    bool m_date1904 = false;
    zip_t* m_zip = nullptr;
    const void* m_xls = nullptr;
    QStringList m_sheetParts;
    QList<QByteArray> m_sharedStrings;
    std::vector<bool> m_dateStyles;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenExcel(const QString& path, bool headerRow)
{
    return std::make_unique<ExcelConnection>(path, headerRow);
}
