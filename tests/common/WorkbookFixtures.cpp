#include "WorkbookFixtures.h"

#include <QFile>
#include <QProcess>
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

bool WriteXlsxSheet(const QString& path, const QByteArray& sheetData, const QByteArray& sharedStrings)
{
    const QByteArray sheet = "<worksheet><sheetData>" + sheetData + "</sheetData></worksheet>";
    std::vector<std::pair<const char*, QByteArray>> parts = {
        {"xl/workbook.xml",
            R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
            R"(<sheets><sheet name="S" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
            R"(<Relationships><Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>)"
            R"(</Relationships>)"},
        {"xl/worksheets/sheet1.xml", sheet},
    };
    if (!sharedStrings.isEmpty())
        parts.emplace_back("xl/sharedStrings.xml", sharedStrings);
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(zip, bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
        if (!source || zip_file_add(zip, name, source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}
