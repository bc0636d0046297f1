#include "platform/InputLimits.h"
#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"
#include "platform/db/SQLiteStage.h"
#include "platform/db/XlsGrid.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstring>
#include <cmath>
#include <functional>
#include <new>
#include <freexl.h>
#include <zip.h>

namespace {

// The provider reads at most this many columns of a sheet.
constexpr int kMaxColumns = 255;

// The text of one row, as its cells expand: the row is bound whole before it is
// stored, and SQLite builds its record as one block too, so a row costs about twice
// this much memory while it is written.
constexpr qint64 kMaxRowTextBytes = qint64(64) << 20;

// What a sheet whose rows come out of order may hold while it is sorted: its cells
// with their texts.
constexpr qint64 kMaxHeldSheetBytes = qint64(64) << 20;

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

// A cell with a value, handed over by a sheet reader; false stops the reader (the
// visitor has set the reason).
using CellVisitor = std::function<bool(int row, int column, const Cell& value)>;

// The error a part nested deeper than kMaxWorkbookXmlDepth stops its reader with.
QString TooDeepText()
{
    return QStringLiteral("XML 元素嵌套超过 %1 层").arg(kMaxWorkbookXmlDepth);
}

// What a part's reader is stopped with when the part declares a document type (a
// workbook never does, and one of a few kilobytes could declare an entity that its cells
// name thousands of times), and when a text grows longer than any cell.
QString DocumentTypeText()
{
    return QStringLiteral("含有文档类型定义（DTD）");
}

QString CellTooLongError()
{
    return QStringLiteral("cell too long");
}

// The next token, keeping the depth of open elements: a part that nests deeper
// than any workbook stops its reader with an error before the reader's own memory
// for open elements grows with it. The document type comes before any element, so a
// part that has one stops before any entity of it is named.
QXmlStreamReader::TokenType ReadToken(QXmlStreamReader& xml, int& depth)
{
    const auto token = xml.readNext();
    if (token == QXmlStreamReader::StartElement) {
        if (++depth > kMaxWorkbookXmlDepth)
            xml.raiseError(TooDeepText());
    } else if (token == QXmlStreamReader::EndElement) {
        --depth;
    } else if (token == QXmlStreamReader::DTD) {
        xml.raiseError(DocumentTypeText());
    }
    return token;
}

// A cell's text as it is read, and its length in UTF-8 bytes, which the cell bound
// counts: a CJK character is one unit of the string and three bytes.
struct CellText
{
    QString text;
    qint64 bytes = 0;

    void clear()
    {
        text.clear();
        bytes = 0;
    }
};

qint64 Utf8Bytes(QStringView text)
{
    qint64 bytes = text.size();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Each half of a surrogate pair counts 2, the 4 bytes of its character.
        bytes += u >= 0x800 ? 2 : u >= 0x80 ? 1 : 0;
    }
    return bytes;
}

// Appends the text of the element just started (which readElementText would give)
// to `text` a piece at a time, each piece no longer than a run between two tags: false,
// with the reader stopped, when an element lies inside, or when `text` grows past any
// cell (pieces between comments add up).
bool AppendText(QXmlStreamReader& xml, int& depth, CellText& text)
{
    for (;;) {
        switch (ReadToken(xml, depth)) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text.bytes += Utf8Bytes(xml.text());
            if (text.bytes > kMaxWorkbookCellBytes) {
                xml.raiseError(CellTooLongError());
                return false;
            }
            text.text += xml.text();
            break;
        case QXmlStreamReader::EndElement: return true;
        case QXmlStreamReader::StartElement: xml.raiseError(QStringLiteral("Expected character data.")); return false;
        case QXmlStreamReader::Invalid: return false;
        default: break;
        }
    }
}

// One part of an open workbook, inflated as the XML reader asks for it, so that a part
// costs the reader's buffers, never its whole text (a workbook of megabytes may hold a
// sheet of hundreds). Each piece is looked at before the reader takes it: a run of bytes
// between two tags longer than any cell stops the read there, before the reader makes a
// string of it, and so does a part that inflates to more than its entry declares.
class ZipPart final : public QIODevice
{
public:
    enum class Fault { None, Damaged, RunTooLong };

    ZipPart(zip_file_t* file, zip_uint64_t declared) : m_file(file), m_declared(declared)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    ~ZipPart() override
    {
        close();
        zip_fclose(m_file);
    }
    ZipPart(const ZipPart&) = delete;
    ZipPart& operator=(const ZipPart&) = delete;

    bool isSequential() const override { return true; }
    Fault Failure() const { return m_fault; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_fault != Fault::None || maxSize <= 0)
            return m_fault != Fault::None ? -1 : 0;
        const zip_int64_t read = zip_fread(m_file, data, static_cast<zip_uint64_t>(maxSize));
        if (read < 0 || (read == 0 && m_inflated != m_declared)
            || static_cast<zip_uint64_t>(read) > m_declared - m_inflated)
            return Stop(Fault::Damaged);
        m_inflated += static_cast<zip_uint64_t>(read);
        for (qint64 from = 0; from < read;) {
            const void* lt = std::memchr(data + from, '<', static_cast<size_t>(read - from));
            const qint64 at = lt ? static_cast<const char*>(lt) - data : read;
            m_run += at - from;
            if (m_run > kMaxWorkbookCellBytes)
                return Stop(Fault::RunTooLong);
            if (lt)
                m_run = 0;
            from = at + 1;
        }
        return read;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 Stop(Fault fault)
    {
        m_fault = fault;
        return -1;
    }

    zip_file_t* m_file;
    zip_uint64_t m_declared;
    zip_uint64_t m_inflated = 0;
    qint64 m_run = 0; // bytes since the last '<'
    Fault m_fault = Fault::None;
};

class ExcelConnection : public StagedConnection
{
public:
    ExcelConnection(const QString& path, bool headerRow)
        : m_headerRow(headerRow), m_path(path)
    {
        QFile file(path);
        if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
            Fail(QStringLiteral("工作簿“%1”不存在或无法读取。").arg(path));
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
                Fail(NotAWorkbookText(path));
        } catch (const std::bad_alloc&) {
            ok = Fail(QStringLiteral("工作簿“%1”太大，无法读入内存。").arg(path));
        }
        // The file was there and was read: what it holds was refused, and the message says
        // which file and what is wrong with it. No connection setting or driver is to blame.
        m_bUnreadable = !ok;
        SetSourceText(QStringLiteral("工作簿“%1”").arg(path));
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
            return StageCells(index, [&](const CellVisitor& visit) {
                return m_zip ? ReadXlsxSheet(index, visit) : ReadXlsSheet(index, visit);
            });
        } catch (const std::bad_alloc&) {
            return Fail(QStringLiteral("工作表 %1 太大，无法读入内存。").arg(Table(index)));
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
    // whole, to be sorted first. A few kilobytes of sheet can name one long shared
    // string in every cell, so what the cells expand to is counted on the first
    // read: a sheet whose text alone is more than the staged copies may hold in all
    // is refused before any of it is written.
    bool StageCells(int index, const std::function<bool(const CellVisitor&)>& readSheet)
    {
        int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
        int lastRow = -1;
        bool ordered = true;
        const qint64 maxText = GetDbLimits().tempBytes;
        qint64 text = 0;
        if (!readSheet([&](int row, int column, const Cell& value) {
                top = std::min(top, row);
                bottom = std::max(bottom, row);
                left = std::min(left, column);
                right = std::max(right, column);
                ordered = ordered && row >= lastRow;
                lastRow = row;
                text += value.text.size();
                if (text <= maxText)
                    return true;
                return Fail(QStringLiteral("工作簿“%1”的工作表 %2 展开后的文字多于临时存储 %3 MB 的上限，无法读取。")
                                .arg(m_path, Table(index))
                                .arg(maxText >> 20));
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
        qint64 openText = 0;                          // the text bound for it so far
        const auto add = [&](int row, int column, const Cell& value) {
            const int c = column - left;
            if (c >= columnCount)
                return true;
            if (row == headerRow) {
                names[c] = value.Display();
                return true;
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
                openText = 0;
            }
            openText += value.text.size();
            if (openText > kMaxRowTextBytes)
                return Fail(QStringLiteral("工作簿“%1”的工作表 %2 第 %3 行的文字多于 %4 MB，无法读取。")
                                .arg(m_path, Table(index))
                                .arg(row + 1)
                                .arg(kMaxRowTextBytes >> 20));
            if (value.kind == Cell::Int)
                writer->BindInt(c, value.i);
            else if (value.kind == Cell::Double)
                writer->BindDouble(c, value.d);
            else if (value.kind == Cell::Text)
                writer->BindText(c, value.text);
            // A failed write (past the cap on temporary storage) stops the read at once.
            return writer->IsOk();
        };
        if (ordered) {
            if (!readSheet(add))
                return false;
        } else {
            std::vector<SheetCell> cells;
            qint64 held = 0;
            if (!readSheet([&](int row, int column, const Cell& value) {
                    held += qint64(sizeof(SheetCell)) + value.text.size();
                    if (held > kMaxHeldSheetBytes)
                        return Fail(QStringLiteral("工作簿“%1”的工作表 %2 的行不按次序排列，且多于 %3 MB，无法读取。")
                                        .arg(m_path, Table(index))
                                        .arg(kMaxHeldSheetBytes >> 20));
                    cells.push_back({row, column, value});
                    return true;
                }))
                return false;
            std::stable_sort(cells.begin(), cells.end(),
                [](const SheetCell& a, const SheetCell& b) { return a.row < b.row; });
            for (const SheetCell& cell : cells) {
                if (!add(cell.row, cell.column, cell.value))
                    return false;
            }
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

    // Opens a part to be read through an XML reader. False when the workbook has no such
    // part (LastError() empty) or it cannot be read (LastError() says why).
    bool OpenPart(const QString& name, std::unique_ptr<ZipPart>& part)
    {
        part.reset();
        const QByteArray utf8 = name.toUtf8();
        const zip_int64_t index = zip_name_locate(m_zip, utf8.constData(), ZIP_FL_NOCASE);
        if (index < 0)
            return false;
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return Fail(PartDamagedText(name));
        // The declared size bounds what is inflated (a part that inflates to more is
        // damaged), so these checks come before any of it is. A part read again (a sheet
        // is read twice for each copy) counts once.
        if (stat.size > static_cast<zip_uint64_t>(kMaxWorkbookPartBytes))
            return Fail(QStringLiteral("工作簿“%1”的部件 %2 解压后大于 %3 MB，无法读取。")
                            .arg(m_path, name)
                            .arg(kMaxWorkbookPartBytes >> 20));
        const bool counted = m_countedParts.contains(name);
        if (!counted && m_inflated + static_cast<int64_t>(stat.size) > kMaxWorkbookBytes)
            return Fail(QStringLiteral("工作簿“%1”解压后大于 %2 MB，无法读取。").arg(m_path).arg(kMaxWorkbookBytes >> 20));
        zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
        if (!file) {
            qWarning("Cannot read the workbook part %s: %s", qUtf8Printable(name), zip_strerror(m_zip));
            return Fail(PartDamagedText(name));
        }
        if (!counted) {
            m_inflated += static_cast<int64_t>(stat.size);
            m_countedParts.insert(name);
        }
        part = std::make_unique<ZipPart>(file, stat.size);
        return true;
    }

    // Why the read of a part stopped: the part itself (damaged, or a run past any cell),
    // else the XML reader, which names `what`. True when it did not fail.
    bool PartFailure(const QString& name, const ZipPart& part, const QXmlStreamReader& xml, const QString& what)
    {
        switch (part.Failure()) {
        case ZipPart::Fault::Damaged: return Fail(PartDamagedText(name));
        case ZipPart::Fault::RunTooLong: return Fail(CellTooLongText(name));
        case ZipPart::Fault::None: break;
        }
        if (xml.errorString() == DocumentTypeText())
            return Fail(QStringLiteral("工作簿“%1”的部件 %2 %3，无法读取。").arg(m_path, name, DocumentTypeText()));
        if (xml.errorString() == CellTooLongError())
            return Fail(CellTooLongText(name));
        return !xml.hasError() || XmlFailure(what, xml);
    }

    QString NotAWorkbookText(const QString& path) const
    {
        return QStringLiteral("“%1”不是 Excel 工作簿。").arg(path);
    }

    QString PartDamagedText(const QString& part) const
    {
        return QStringLiteral("工作簿“%1”的部件 %2 已损坏。").arg(m_path, part);
    }

    QString CellTooLongText(const QString& part) const
    {
        return QStringLiteral("工作簿“%1”的部件 %2 中有单元格的文字长于 %3 字节，无法读取。")
            .arg(m_path, part)
            .arg(kMaxWorkbookCellBytes);
    }

    // A part the XML reader stopped in: nested too deep, or damaged (the reader's
    // own words go to the log).
    bool XmlFailure(const QString& what, const QXmlStreamReader& xml)
    {
        if (xml.errorString() == TooDeepText())
            return Fail(QStringLiteral("%1的 %2，无法读取。").arg(what, TooDeepText()));
        qWarning("%s: %s", qUtf8Printable(m_path), qUtf8Printable(xml.errorString()));
        return Fail(QStringLiteral("%1已损坏。").arg(what));
    }

    // Relationship ids to part names, and the first target of each type; none, with
    // LastError() set, when the part cannot be read or declares a document type.
    QHash<QString, QString> ReadRelations(
        const QString& relsPart, const QString& folder, QHash<QString, QString>& byType)
    {
        QHash<QString, QString> targets;
        std::unique_ptr<ZipPart> part;
        if (!OpenPart(relsPart, part))
            return targets;
        QXmlStreamReader xml(part.get());
        int depth = 0;
        while (!xml.atEnd()) {
            if (ReadToken(xml, depth) != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
                continue;
            const auto attributes = xml.attributes();
            QString target = attributes.value(QLatin1String("Target")).toString();
            target = target.startsWith(u'/') ? target.mid(1) : folder + target;
            targets.insert(attributes.value(QLatin1String("Id")).toString(), target);
            const QString type = attributes.value(QLatin1String("Type")).toString().section(u'/', -1);
            if (!byType.contains(type))
                byType.insert(type, target);
        }
        if (part->Failure() != ZipPart::Fault::None || xml.errorString() == DocumentTypeText()) {
            PartFailure(relsPart, *part, xml, {});
            targets.clear();
            byType.clear();
        }
        return targets;
    }

    bool OpenXlsx(const QString& path, QStringList& sheets)
    {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
        if (!m_zip)
            return Fail(QStringLiteral("“%1”不是可读取的 Excel 工作簿。").arg(path));
        const QString workbookPart = QStringLiteral("xl/workbook.xml");
        std::unique_ptr<ZipPart> workbook;
        if (!OpenPart(workbookPart, workbook))
            return LastError().isEmpty() ? Fail(NotAWorkbookText(path)) : false;
        QHash<QString, QString> byType;
        const QHash<QString, QString> targets
            = ReadRelations(QStringLiteral("xl/_rels/workbook.xml.rels"), QStringLiteral("xl/"), byType);
        if (!LastError().isEmpty())
            return false;
        QXmlStreamReader xml(workbook.get());
        int depth = 0;
        while (!xml.atEnd()) {
            if (ReadToken(xml, depth) != QXmlStreamReader::StartElement)
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
        if (!PartFailure(workbookPart, *workbook, xml, QStringLiteral("工作簿“%1”").arg(path)))
            return false;
        workbook.reset();
        if (!ReadSharedStrings(byType.value(QStringLiteral("sharedStrings"), QStringLiteral("xl/sharedStrings.xml")))
            || !ReadStyles(byType.value(QStringLiteral("styles"), QStringLiteral("xl/styles.xml"))))
            return false;
        return true;
    }

    // Every string of the table, rich-text runs joined; phonetic guides left out.
    bool ReadSharedStrings(const QString& part)
    {
        std::unique_ptr<ZipPart> data;
        if (!OpenPart(part, data))
            return LastError().isEmpty();
        QXmlStreamReader xml(data.get());
        CellText current;
        int phonetic = 0;
        int depth = 0;
        while (!xml.atEnd()) {
            const auto token = ReadToken(xml, depth);
            if (token == QXmlStreamReader::StartElement) {
                if (xml.name() == u"si") {
                    current.clear();
                } else if (xml.name() == u"rPh") {
                    ++phonetic;
                } else if (xml.name() == u"t" && phonetic == 0) {
                    // Runs of a rich string add up to one cell.
                    if (!AppendText(xml, depth, current))
                        break;
                }
            } else if (token == QXmlStreamReader::EndElement) {
                if (xml.name() == u"si") {
                    if (m_stringEnds.size() >= static_cast<size_t>(kMaxSharedStrings))
                        return Fail(QStringLiteral("工作簿“%1”的共享字符串多于 %2 个，无法读取。")
                                        .arg(m_path)
                                        .arg(kMaxSharedStrings));
                    m_stringData += current.text.toUtf8();
                    m_stringEnds.push_back(m_stringData.size());
                } else if (xml.name() == u"rPh") {
                    --phonetic;
                }
            }
        }
        return PartFailure(part, *data, xml, QStringLiteral("工作簿“%1”的字符串表").arg(m_path));
    }

    // The string in place, not a copy: a sheet may name one long string in every
    // cell, and the table is not changed while the workbook is open.
    QByteArray SharedString(qsizetype i) const
    {
        const qsizetype begin = i == 0 ? 0 : m_stringEnds[static_cast<size_t>(i) - 1];
        return QByteArray::fromRawData(m_stringData.constData() + begin, m_stringEnds[static_cast<size_t>(i)] - begin);
    }

    bool ReadStyles(const QString& part)
    {
        std::unique_ptr<ZipPart> data;
        if (!OpenPart(part, data))
            return LastError().isEmpty();
        QXmlStreamReader xml(data.get());
        QHash<int, QString> codes;
        bool inCellXfs = false;
        int depth = 0;
        while (!xml.atEnd()) {
            const auto token = ReadToken(xml, depth);
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
        return PartFailure(part, *data, xml, QStringLiteral("工作簿“%1”的样式表").arg(m_path));
    }

    bool OpenSheetPart(int index, std::unique_ptr<ZipPart>& data)
    {
        const QString part = m_sheetParts.value(index);
        if (part.isEmpty() || !OpenPart(part, data))
            return LastError().isEmpty()
                ? Fail(QStringLiteral("工作簿“%1”中没有工作表 %2。").arg(m_path, Table(index)))
                : false;
        return true;
    }

    // A sheet in the user's words: its workbook, and its name as the workbook shows it,
    // without the `$` that statements name its table by.
    QString SheetText(int index) const
    {
        QString sheet = Table(index);
        sheet.chop(1);
        return QStringLiteral("工作簿“%1”的工作表“%2”").arg(m_path, sheet);
    }

    bool BeyondGrid(int index, qint64 row, qint64 column, int maxRows, int maxColumns)
    {
        return Fail(QStringLiteral("工作表 %1 在第 %2 行第 %3 列有单元格，超出了其工作簿格式的 %4 行、%5 列。")
                        .arg(Table(index))
                        .arg(row + 1)
                        .arg(column + 1)
                        .arg(maxRows)
                        .arg(maxColumns));
    }

    bool ReadXlsxSheet(int index, const CellVisitor& visit)
    {
        std::unique_ptr<ZipPart> data;
        if (!OpenSheetPart(index, data))
            return false;
        QXmlStreamReader xml(data.get());
        qint64 row = -1;
        qint64 column = -1;
        qint64 cells = 0;
        int depth = 0;
        while (!xml.atEnd()) {
            if (ReadToken(xml, depth) != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"row") {
                qint64 r = 0;
                row = ParseRowNumber(xml.attributes().value(QLatin1String("r")), r) && r >= 1 ? r - 1 : row + 1;
                column = -1;
                if (row >= kXlsxMaxRows)
                    return BeyondGrid(index, row, 0, kXlsxMaxRows, kXlsxMaxColumns);
            } else if (xml.name() == u"c") {
                if (++cells > kMaxXlsxSheetCells)
                    return Fail(QStringLiteral("工作簿“%1”的工作表 %2 有多于 %3 个单元格（空单元格也计在内），无法读取。")
                                    .arg(m_path, Table(index))
                                    .arg(kMaxXlsxSheetCells));
                const auto attributes = xml.attributes();
                qint64 r = row;
                if (!ParseReference(attributes.value(QLatin1String("r")), r, column))
                    ++column;
                if (r >= kXlsxMaxRows || column >= kXlsxMaxColumns)
                    return BeyondGrid(index, r, column, kXlsxMaxRows, kXlsxMaxColumns);
                const QString type = attributes.value(QLatin1String("t")).toString();
                const int style = attributes.value(QLatin1String("s")).toInt();
                const Cell value = ReadCellValue(xml, depth, type, style);
                if (xml.hasError())
                    break;
                if (value.kind != Cell::Null && !(value.kind == Cell::Text && value.text.isEmpty()) && r >= 0
                    && column >= 0 && !visit(static_cast<int>(r), static_cast<int>(column), value))
                    return false;
            }
        }
        return PartFailure(m_sheetParts.value(index), *data, xml, SheetText(index));
    }

    // Reads the rest of a <c> element.
    Cell ReadCellValue(QXmlStreamReader& xml, int& depth, const QString& type, int style)
    {
        CellText value;
        CellText inlineText;
        bool haveValue = false;
        while (!(ReadToken(xml, depth) == QXmlStreamReader::EndElement && xml.name() == u"c") && !xml.atEnd()) {
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"v") {
                value.clear();
                if (!AppendText(xml, depth, value))
                    return {};
                haveValue = true;
            } else if (xml.name() == u"t") {
                if (!AppendText(xml, depth, inlineText))
                    return {};
                haveValue = true;
            }
        }
        if (!haveValue)
            return {};
        const QString& v = value.text;
        const QString& inline_ = inlineText.text;
        if (type == u"s") {
            bool ok = false;
            const int i = v.toInt(&ok);
            return ok && i >= 0 && static_cast<size_t>(i) < m_stringEnds.size() ? Cell::FromText(SharedString(i)) : Cell();
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
        // What FreeXL will set aside is judged before it is asked to open the file.
        QFile file(path);
        qint64 listed = 0;
        const qint64 cells = file.open(QIODevice::ReadOnly) ? XlsDeclaredCells(file, &listed) : -1;
        file.close();
        if (cells < 0)
            return Fail(QStringLiteral("Excel 工作簿“%1”已损坏。").arg(path));
        if (cells > kMaxXlsDeclaredCells)
            return Fail(QStringLiteral("工作簿“%1”的工作表共占 %2 个单元格的范围，多于 %3 个，无法读取。")
                            .arg(path)
                            .arg(cells)
                            .arg(kMaxXlsDeclaredCells));
        if (listed > kMaxXlsSheets)
            return Fail(QStringLiteral("工作簿“%1”有 %2 张工作表，多于 %3 张，无法读取。")
                            .arg(path)
                            .arg(listed)
                            .arg(kMaxXlsSheets));
        const void* handle = nullptr;
        const int rc = freexl_open(QFile::encodeName(path).constData(), &handle);
        if (rc != FREEXL_OK) {
            if (handle)
                freexl_close(handle);
            return Fail(QStringLiteral("“%1”无法作为 Excel 工作簿读取（错误 %2）；有密码保护的工作簿无法读取。")
                            .arg(path)
                            .arg(rc));
        }
        m_xls = handle;
        unsigned int info = 0;
        if (freexl_get_info(m_xls, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
            return Fail(QStringLiteral("工作簿“%1”有密码保护，无法读取。").arg(path));
        unsigned int count = 0;
        if (freexl_get_info(m_xls, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
            return Fail(QStringLiteral("Excel 工作簿“%1”已损坏。").arg(path));
        for (unsigned int i = 0; i < count && i <= 0xFFFF; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(m_xls, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
                return Fail(QStringLiteral("Excel 工作簿“%1”已损坏。").arg(path));
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
            return Fail(SheetText(index) + QStringLiteral("无法读取。"));
        if (rows > static_cast<unsigned int>(kXlsMaxRows) || columns > kXlsMaxColumns)
            return BeyondGrid(index, qint64(rows) - 1, qint64(columns) - 1, kXlsMaxRows, kXlsMaxColumns);
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(m_xls, r, c, &value) != FREEXL_OK)
                    return Fail(SheetText(index) + QStringLiteral("已损坏。"));
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
                if (cell.kind != Cell::Null && !(cell.kind == Cell::Text && cell.text.isEmpty())
                    && !visit(static_cast<int>(r), c, cell))
                    return false;
            }
        }
        return true;
    }

    bool m_headerRow;
    QString m_path;
    int64_t m_inflated = 0; // bytes of the parts read so far, each counted once
    QSet<QString> m_countedParts;
    bool m_date1904 = false;
    zip_t* m_zip = nullptr;
    const void* m_xls = nullptr;
    QStringList m_sheetParts;
    // The shared strings end to end, and where each ends: one block, not a string
    // object each.
    QByteArray m_stringData;
    std::vector<qsizetype> m_stringEnds;
    std::vector<bool> m_dateStyles;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenExcel(const QString& path, bool headerRow)
{
    return OpenOnWorker(QFileInfo(path).fileName(), [path, headerRow]() -> std::unique_ptr<DbConnection> {
        return std::make_unique<ExcelConnection>(path, headerRow);
    });
}
