#include "WorkbookFixtures.h"

#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstring>
#include <xlsxwriter.h>
#include <vector>
#include <zip.h>

namespace {

QByteArray City(int i)
{
    return i % 3 == 0 ? QByteArray("北京") : i % 3 == 1 ? QByteArray("Zürich") : QByteArray("city 😀");
}

} // namespace

bool WriteTestXlsx(const QString& path)
{
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* workbook = workbook_new(file.constData());
    if (!workbook)
        return false;
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "yyyy-mm-dd");
    lxw_worksheet* people = workbook_add_worksheet(workbook, "People");
    const char* header[] = {"Id", "Name", "City", "Note", "Price", "Born"};
    for (int c = 0; c < 6; ++c)
        worksheet_write_string(people, 0, static_cast<lxw_col_t>(c), header[c], nullptr);
    for (int i = 1; i <= 30; ++i) {
        const auto row = static_cast<lxw_row_t>(i);
        worksheet_write_number(people, row, 0, i, nullptr);
        worksheet_write_string(people, row, 1, QByteArray("name").append(QByteArray::number(i)).constData(), nullptr);
        worksheet_write_string(people, row, 2, City(i).constData(), nullptr);
        if (i % 10 != 0)
            worksheet_write_string(
                people, row, 3, QByteArray("note ").append(QByteArray::number(i)).constData(), nullptr);
        worksheet_write_number(people, row, 4, i + 0.5, nullptr);
        lxw_datetime born = {2024, 1, static_cast<int>(i), 0, 0, 0};
        worksheet_write_datetime(people, row, 5, &born, dateFormat);
    }
    lxw_worksheet* data = workbook_add_worksheet(workbook, "My Data");
    worksheet_write_string(data, 2, 1, "Code", nullptr);
    worksheet_write_string(data, 2, 2, "Qty", nullptr);
    for (int i = 1; i <= 3; ++i) {
        worksheet_write_string(
            data, static_cast<lxw_row_t>(2 + i), 1, QByteArray("C").append(QByteArray::number(i)).constData(), nullptr);
        worksheet_write_number(data, static_cast<lxw_row_t>(2 + i), 2, i * 10, nullptr);
    }
    workbook_add_worksheet(workbook, "Empty");
    workbook_define_name(workbook, "Prices", "=People!$E$2:$E$31");
    return workbook_close(workbook) == LXW_NO_ERROR;
}

namespace {

// Runs a Python script that writes the workbook named by its first argument with xlwt.
bool RunXlwt(const char* script, const QString& path, QString& error)
{
    QProcess python;
    // Debian's interpreter, which has python3-xlwt, before any other on the path.
    const QString interpreter = QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                                  : QStringLiteral("python3");
    python.start(interpreter, {QStringLiteral("-c"), QString::fromUtf8(script), path});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        error = QString::fromLocal8Bit(python.readAllStandardError()) + python.errorString();
        return false;
    }
    return true;
}

} // namespace

bool WriteTestXls(const QString& path, QString& error)
{
    static const char* script = R"PY(
import sys, xlwt
book = xlwt.Workbook(encoding="utf-8")
people = book.add_sheet("People")
for c, name in enumerate(["Id", "Name", "City", "Note", "Price", "Born"]):
    people.write(0, c, name)
cities = ["北京", "Zürich", "city 😀"]
for i in range(1, 31):
    people.write(i, 0, i)
    people.write(i, 1, "name%d" % i)
    people.write(i, 2, cities[i % 3])
    if i % 10:
        people.write(i, 3, "note %d" % i)
    people.write(i, 4, i + 0.5)
data = book.add_sheet("My Data")
data.write(2, 1, "Code")
data.write(2, 2, "Qty")
for i in range(1, 4):
    data.write(2 + i, 1, "C%d" % i)
    data.write(2 + i, 2, i * 10)
book.add_sheet("Empty")
book.save(sys.argv[1])
)PY";
    return RunXlwt(script, path, error);
}

bool WriteXlsCorners(const QString& path, int sheets, QString& error)
{
    const QByteArray script = "import sys, xlwt\n"
                              "book = xlwt.Workbook()\n"
                              "for i in range(" + QByteArray::number(sheets) + "):\n"
                              "    sheet = book.add_sheet('S%d' % i)\n"
                              "    sheet.write(0, 0, 'first')\n"
                              "    sheet.write(65535, 255, 'last')\n"
                              "book.save(sys.argv[1])\n";
    return RunXlwt(script.constData(), path, error);
}

QString XlsSharedString(int i)
{
    if (i % 5 == 0)
        return QStringLiteral("rich %1").arg(i);
    if (i % 5 == 1)
        return QStringLiteral("文本%1").arg(i);
    if (i % 97 == 2)
        return QStringLiteral("long %1 ").arg(i) + QString(3000, u'x');
    if (i % 89 == 3)
        return QString(2000, u'长') + QString::number(i);
    return QStringLiteral("text %1").arg(i);
}

bool WriteXlsSharedStrings(const QString& path, int count, QString& error)
{
    // The same texts as XlsSharedString; the rich ones with their number in bold.
    const QByteArray script = "import sys, xlwt\n"
                              "book = xlwt.Workbook(encoding='utf-8')\n"
                              "sheet = book.add_sheet('S')\n"
                              "bold = xlwt.Font()\n"
                              "bold.bold = True\n"
                              "for i in range(" + QByteArray::number(count) + "):\n"
                              "    if i % 5 == 0:\n"
                              "        sheet.write_rich_text(i, 0, ['rich ', ('%d' % i, bold)])\n"
                              "    elif i % 5 == 1:\n"
                              "        sheet.write(i, 0, '文本%d' % i)\n"
                              "    elif i % 97 == 2:\n"
                              "        sheet.write(i, 0, 'long %d ' % i + 'x' * 3000)\n"
                              "    elif i % 89 == 3:\n"
                              "        sheet.write(i, 0, '长' * 2000 + '%d' % i)\n"
                              "    else:\n"
                              "        sheet.write(i, 0, 'text %d' % i)\n"
                              "book.save(sys.argv[1])\n";
    return RunXlwt(script.constData(), path, error);
}

XlsxParts XlsxSheetParts(const QByteArray& sheetData, const QByteArray& sharedStrings)
{
    XlsxParts parts = {
        {"xl/workbook.xml",
            R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
            R"(<sheets><sheet name="S" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
            R"(<Relationships><Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>)"
            R"(</Relationships>)"},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + sheetData + "</sheetData></worksheet>"},
    };
    if (!sharedStrings.isEmpty())
        parts.emplace_back("xl/sharedStrings.xml", sharedStrings);
    return parts;
}

bool WriteXlsxParts(const QString& path, const XlsxParts& parts)
{
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(zip, bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
        if (!source || zip_file_add(zip, name.constData(), source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

bool WriteXlsxSheet(const QString& path, const QByteArray& sheetData, const QByteArray& sharedStrings)
{
    return WriteXlsxParts(path, XlsxSheetParts(sheetData, sharedStrings));
}

bool WriteXlsxWithCutShortSheet(const QString& path)
{
    QByteArray rows;
    for (int r = 1; r <= 50; ++r)
        rows += QStringLiteral(R"(<row r="%1"><c r="A%1"><v>%1</v></c></row>)").arg(r).toUtf8();
    XlsxParts parts = XlsxSheetParts(rows);
    parts[0].second.replace(R"(<sheet name="S" r:id="rId1"/>)",
                            R"(<sheet name="Sheet1" r:id="rId1"/><sheet name="Good" r:id="rId2"/>)");
    parts[1].second.replace("</Relationships>",
                            R"(<Relationship Id="rId2" Type="x/worksheet" Target="worksheets/sheet2.xml"/>)"
                            "</Relationships>");
    parts.emplace_back("xl/worksheets/sheet2.xml", parts[2].second);
    parts[2].second.truncate(parts[2].second.size() / 2);
    return WriteXlsxParts(path, parts);
}

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;

QByteArray Le16(quint16 value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char(value & 0xFF);
    bytes[1] = char(value >> 8);
    return bytes;
}

QByteArray Le32(quint32 value)
{
    return Le16(quint16(value & 0xFFFF)) + Le16(quint16(value >> 16));
}

void Put32(QByteArray& bytes, qsizetype at, quint32 value)
{
    bytes.replace(at, 4, Le32(value));
}

} // namespace

QByteArray BiffRecord(quint16 type, const QByteArray& body)
{
    return Le16(type) + Le16(quint16(body.size())) + body;
}

QByteArray BiffDimensions(quint32 rows, quint16 columns, int length)
{
    QByteArray body = Le32(0) + Le32(rows) + Le16(0) + Le16(columns) + Le16(0);
    body.resize(length, '\0');
    return BiffRecord(0x0200, body);
}

QByteArray BiffNumber(quint16 row, quint16 column, double value)
{
    QByteArray bits(8, '\0');
    std::memcpy(bits.data(), &value, 8);
    return BiffRecord(0x0203, Le16(row) + Le16(column) + Le16(0) + bits);
}

QByteArray BiffWorkbook(const std::vector<QByteArray>& sheets)
{
    const auto bof = [](quint16 kind) { return BiffRecord(0x0809, Le16(0x0600) + Le16(kind) + QByteArray(12, '\0')); };
    const QByteArray eof = BiffRecord(0x000A, {});
    const auto listing = [](quint32 offset, size_t i) {
        const QByteArray name = "S" + QByteArray::number(qulonglong(i));
        return BiffRecord(0x0085, Le32(offset) + QByteArray(2, '\0') + char(name.size()) + '\0' + name);
    };
    qsizetype offset = bof(0x0005).size() + eof.size();
    for (size_t i = 0; i < sheets.size(); ++i)
        offset += listing(0, i).size();
    QByteArray stream = bof(0x0005);
    QByteArray bodies;
    for (size_t i = 0; i < sheets.size(); ++i) {
        stream += listing(quint32(offset + bodies.size()), i);
        bodies += bof(0x0010) + sheets[i] + eof;
    }
    return stream + eof + bodies;
}

CompoundImage::CompoundImage(int sectorShift) : m_shift(sectorShift) {}

quint32 CompoundImage::AddRun(const QByteArray& bytes)
{
    const qsizetype size = qsizetype(1) << m_shift;
    const auto first = quint32(m_sectors.size() / size);
    const auto count = quint32(std::max<qsizetype>(1, (bytes.size() + size - 1) / size));
    QByteArray padded = bytes;
    padded.resize(count * size, '\0');
    m_sectors += padded;
    m_fat.resize(std::max<size_t>(m_fat.size(), first + count), kFreeSector);
    for (quint32 i = 0; i < count; ++i)
        m_fat[first + i] = i + 1 < count ? first + i + 1 : kEndOfChain;
    return first;
}

void CompoundImage::ChainAbsentSectors(quint32 first, quint32 count)
{
    m_fat.resize(std::max<size_t>(m_fat.size(), first + count), kFreeSector);
    for (quint32 i = 0; i < count; ++i)
        m_fat[first + i] = i + 1 < count ? first + i + 1 : kEndOfChain;
}

void CompoundImage::SetMiniTable(quint32 firstSector, quint32 sectors, quint32 cutoff)
{
    m_miniTable = firstSector;
    m_miniSectors = sectors;
    m_cutoff = cutoff;
}

QByteArray CompoundImage::Bytes() const
{
    const qsizetype size = qsizetype(1) << m_shift;
    const auto perSector = quint32(size / 4);
    std::vector<quint32> fat = m_fat;
    // The table's sectors follow the data's, numbered as they lie.
    const auto data = quint32(m_sectors.size() / size);
    quint32 tables = 1;
    while (tables * perSector < std::max<quint32>(quint32(fat.size()), data + tables))
        ++tables;
    fat.resize(size_t(tables) * perSector, kFreeSector);
    for (quint32 i = 0; i < tables; ++i)
        fat[data + i] = 0xFFFFFFFD;
    QByteArray header(size, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    header.replace(0x18, 8, QByteArray(Le16(0x3E) + Le16(m_shift == 9 ? 3 : 4) + Le16(0xFFFE) + Le16(quint16(m_shift))));
    header.replace(0x20, 2, Le16(6));
    Put32(header, 0x2C, tables);
    Put32(header, 0x30, m_directory);
    Put32(header, 0x38, m_cutoff);
    Put32(header, 0x3C, m_miniTable);
    Put32(header, 0x40, m_miniSectors);
    Put32(header, 0x44, kEndOfChain);
    for (quint32 i = 0; i < 109; ++i)
        Put32(header, 0x4C + 4 * i, i < tables ? data + i : kFreeSector);
    QByteArray table;
    for (const quint32 entry : fat)
        table += Le32(entry);
    return header + m_sectors + table;
}

QByteArray CompoundEntry(const QString& name, int type, quint32 start, quint32 size)
{
    QByteArray entry(128, '\0');
    for (qsizetype i = 0; i < name.size(); ++i)
        entry.replace(2 * i, 2, Le16(name[i].unicode()));
    entry.replace(0x40, 4, QByteArray(Le16(quint16((name.size() + 1) * 2)) + char(type) + char(1)));
    entry.replace(0x44, 12, QByteArray(12, '\xFF'));
    Put32(entry, 0x74, start);
    Put32(entry, 0x78, size);
    return entry;
}

QByteArray XlsOfStream(const QByteArray& records)
{
    QByteArray workbook = records;
    workbook.resize(std::max<qsizetype>(workbook.size(), 4096), '\0');
    CompoundImage image;
    const quint32 stream = image.AddRun(workbook);
    image.SetDirectory(image.AddRun(CompoundEntry(QStringLiteral("Root Entry"), 5, kEndOfChain, 0)
        + CompoundEntry(QStringLiteral("Workbook"), 2, stream, quint32(workbook.size()))));
    return image.Bytes();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray XlsDamagedSharedString()
{
    // Counts, then 65,535 characters of which the SST holds two.
    const QByteArray sst = QByteArray("\x01\0\0\0\x01\0\0\0", 8) + QByteArray("\xff\xff\x01" "a\0b\0", 7);
    const QByteArray labelSst(10, '\0'); // A1: the first shared string
    return XlsOfStream(BiffWorkbook({BiffDimensions(1, 1) + BiffRecord(0x00FC, sst)
        + BiffRecord(0x003C, "\x01" + QByteArray(10, 'c')) + BiffRecord(0x00FD, labelSst)}));
}
