#include "platform/db/DbConnection.h"

#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <zip.h>

namespace {

const char* const kParts[] = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml", "xl/workbook.xml",
    "xl/_rels/workbook.xml.rels"};

const char* const kDefaults[]
    = {R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1"><v>2</v></c></row>)"
       R"(<row r="2"><c r="A2" s="1"><v>45000.5</v></c><c r="C2" t="inlineStr"><is><t>x</t></is></c></row>)"
       R"(</sheetData></worksheet>)",
        R"(<sst><si><t>Id</t></si><si><r><t>a</t></r><rPh><t>p</t></rPh></si></sst>)",
        R"(<styleSheet><numFmts><numFmt numFmtId="164" formatCode="yyyy\-mm"/></numFmts>)"
        R"(<cellXfs><xf numFmtId="0"/><xf numFmtId="164"/></cellXfs></styleSheet>)",
        R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        R"(<sheets><sheet name="S" r:id="rId1"/></sheets></workbook>)",
        R"(<Relationships><Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>)"
        R"(<Relationship Id="rId2" Type="x/sharedStrings" Target="sharedStrings.xml"/></Relationships>)"};

} // namespace

// A workbook whose part chosen by the first byte holds the rest of the input:
// opening, listing and reading every sheet must fail or succeed in order.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t target = data[0] % 5;
    const QString path = QDir::temp().filePath(QStringLiteral("vc-workbook-fuzz-%1.xlsx").arg(getpid()));
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        std::abort();
    for (size_t i = 0; i < 5; ++i) {
        const void* bytes = i == target ? static_cast<const void*>(data + 1) : kDefaults[i];
        const size_t length = i == target ? size - 1 : strlen(kDefaults[i]);
        zip_source_t* source = zip_source_buffer(zip, bytes, length, 0);
        if (!source || zip_file_add(zip, kParts[i], source, ZIP_FL_OVERWRITE) < 0)
            std::abort();
    }
    if (zip_close(zip) != 0)
        std::abort();
    for (bool header : {true, false}) {
        auto db = DbConnection::OpenExcel(path, header);
        QStringList tables;
        if (!db->IsOpen() || !db->ListTables(tables))
            continue;
        for (const QString& table : tables) {
            DbRows rows;
            db->Query(QStringLiteral("select * from [%1]").arg(table), rows);
            for (int r = 0; r < rows.RowCount(); ++r)
                (void)rows.Row(r);
        }
    }
    QFile::remove(path);
    return 0;
}
