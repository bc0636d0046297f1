#include "model/DSBase.h"
#include "model/TextLoader.h"
#include "model/Utils.h"
#include "platform/InputLimits.h"
#include "platform/VXException.h"

#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TextLoader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ds.m_strPath = dir.filePath("data.txt");
        ds.m_selectedFields = QStringList{"a", "b", "c"};
        loader.SetDataSource(&ds);
    }
    void Write(const QByteArray& bytes)
    {
        QFile file(ds.m_strPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QList<QStringList> Load(int first, int last)
    {
        LoaderRow rows;
        EXPECT_TRUE(loader.LoadRows(first, last, rows)) << loader.GetLastError().toStdString();
        QList<QStringList> out;
        for (int r = 0; r < rows.RowCount(); ++r)
            out.append(rows.Row(r));
        return out;
    }

    QTemporaryDir dir;
    CTextDS ds;
    CTextDL loader;
};

QByteArray Lines(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "l" + QByteArray::number(i) + ",x,y\n";
    return text;
}

} // namespace

TEST_F(TextLoader, HeaderLineIsNotARecord)
{
    Write(Lines(10));
    EXPECT_EQ(loader.GetRecordCount(), 10);
    ds.m_bHeaderRow = true;
    EXPECT_EQ(loader.GetRecordCount(), 9);
    const auto rows = Load(1, 3);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0][0], "l2");
    EXPECT_EQ(rows[2][0], "l4");
    EXPECT_EQ(Load(9, 20).size(), 1); // stops at the end of the file
    EXPECT_TRUE(Load(10, 20).isEmpty());

    Write("");
    EXPECT_EQ(loader.GetRecordCount(), 0);
    ds.m_bHeaderRow = false;
    EXPECT_EQ(loader.GetRecordCount(), 0);
    EXPECT_TRUE(Load(1, 10).isEmpty());
}

TEST_F(TextLoader, RangeModeShiftsIntoFromTo)
{
    Write(Lines(30));
    ds.m_nRangeMode = RangeFromTo;
    ds.m_nFrom = 5;
    ds.m_nTo = 8;
    EXPECT_EQ(loader.GetRecordCount(), 4);
    auto rows = Load(1, 10);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0][0], "l5");
    EXPECT_EQ(rows[3][0], "l8");
    EXPECT_TRUE(Load(5, 10).isEmpty());
    ds.m_nTo = 4;
    EXPECT_EQ(loader.GetRecordCount(), 0);
    EXPECT_TRUE(Load(1, 10).isEmpty());
}

TEST_F(TextLoader, ShortAndLongLinesAndQuotesSplitLikeSplitString)
{
    Write("a\r\na,b,c,d\r\n\"x,y\",z\n,\n\nlast");
    const auto rows = Load(1, 100);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0], (QStringList{"a", "", ""}));
    EXPECT_EQ(rows[1], (QStringList{"a", "b", "c"})); // surplus dropped, CR dropped
    EXPECT_EQ(rows[2], (QStringList{"x,y", "z", ""})); // a quoted field keeps its separator
    EXPECT_EQ(rows[3], (QStringList{"", "", ""}));
    EXPECT_EQ(rows[4], (QStringList{"", "", ""})); // an empty line is a record
    EXPECT_EQ(rows[5], (QStringList{"last", "", ""}));
    EXPECT_EQ(loader.GetRecordCount(), 6);
}

TEST(TextLoaderSplit, SplitStringGivesAFixedNumberOfPiecesForAnySeparator)
{
    struct Case
    {
        QString line;
        QString separator;
        int count;
        QStringList pieces;
    };
    const Case cases[] = {
        {"a,b,c", ",", 3, {"a", "b", "c"}},
        {"a,b,c,d", ",", 2, {"a", "b"}}, // the rest of the line is dropped
        {"a,b", ",", 4, {"a", "b", "", ""}},
        {"abc", ",", 2, {"abc", ""}},
        {"", ",", 3, {"", "", ""}},
        {",,", ",", 3, {"", "", ""}},
        {"a,", ",", 2, {"a", ""}},
        {",a", ",", 2, {"", "a"}},
        {" a ;\"b;c\"", ";", 3, {" a ", "b;c", ""}}, // quoted, no trimming
        {"a\"b;c\"", ";", 2, {"a\"b", "c\""}}, // a quote inside a field is a character
        {"甲\t乙", "\t", 2, {"甲", "乙"}},
        {"a,b", ",", 0, {"a"}},
        {"a\\b/c", "\\", 2, {"a", "b/c"}},
        {"a\\b/c", "/", 2, {"a\\b", "c"}},
        // Characters outside ASCII cut like any other, and only whole characters match.
        {"甲，乙，丙", "，", 3, {"甲", "乙", "丙"}},
        {"a·b", "·", 2, {"a", "b"}},
        {"x😀y😀", "😀", 3, {"x", "y", ""}},
        {"ﾌ,ﾌ", "，", 2, {"ﾌ,ﾌ", ""}},
        {"a b", "", 2, {"a b", ""}}, // no separator: the whole line
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitString(c.line, c.separator, c.count), c.pieces) << c.line.toStdString();
    EXPECT_EQ(SplitString("ABCDEFG", {}, 2, {2, 3}), (QStringList{"AB", "CDE"}));
    EXPECT_EQ(SplitString("A", {}, 2, {2, 3}), (QStringList{"A", ""}));
}

TEST(TextLoaderSplit, SeparatorOfEachKind)
{
    EXPECT_EQ(TextSeparator(TextSeparatorNone, ";"), QByteArray());
    EXPECT_EQ(TextSeparator(TextSeparatorComma, ";"), ",");
    EXPECT_EQ(TextSeparator(TextSeparatorSpace, ";"), " ");
    EXPECT_EQ(TextSeparator(TextSeparatorTab, ";"), "\t");
    EXPECT_EQ(TextSeparator(TextSeparatorBackslash, ";"), "\\");
    EXPECT_EQ(TextSeparator(TextSeparatorSlash, ";"), "/");
    EXPECT_EQ(TextSeparator(TextSeparatorOther, ";x"), ";");
    EXPECT_EQ(TextSeparator(TextSeparatorOther, ""), QByteArray());
    EXPECT_EQ(TextSeparator(TextSeparatorOther, QStringLiteral("😀!")), QStringLiteral("😀").toUtf8());
    EXPECT_EQ(TextSeparator(TextSeparatorCustom, ""), ","); // cut by widths; the comma is never used
    EXPECT_EQ(TextSeparator(42, ""), ",");
}

TEST_F(TextLoader, WholeLineOtherSeparatorAndFixedWidths)
{
    Write("a;b;c,d\nA\n中文字符集合\n");
    ds.m_nSeparator = TextSeparatorNone;
    auto rows = Load(1, 1);
    EXPECT_EQ(rows[0], QStringList{"a;b;c,d"}); // one element whatever the selected fields

    ds.m_nSeparator = TextSeparatorOther;
    ds.m_strOtherSeparator = ";x";
    rows = Load(1, 1);
    EXPECT_EQ(rows[0], (QStringList{"a", "b", "c,d"}));
    ds.m_strOtherSeparator = QStringLiteral("；"); // outside ASCII: cuts like any other
    Write(QStringLiteral("甲；乙；丙；丁\n").toUtf8());
    rows = Load(1, 1);
    EXPECT_EQ(rows[0], (QStringList{"甲", "乙", "丙"}));
    Write("a;b;c,d\nA\n中文字符集合\n");

    ds.m_nSeparator = TextSeparatorCustom;
    ds.m_strCustomSegments = "2,3";
    rows = Load(1, 3);
    EXPECT_EQ(rows[0], (QStringList{"a;", "b;c", ""}));
    EXPECT_EQ(rows[1], (QStringList{"A", "", ""}));
    EXPECT_EQ(rows[2], (QStringList{QStringLiteral("中文"), QStringLiteral("字符集"), ""})); // widths in characters
    EXPECT_EQ(ParseSegments("3,,5,-2,x"), (std::vector<int>{3, 5, 2}));
}

TEST_F(TextLoader, EncodingsByByteOrderMarkElseUtf8ElseGb18030)
{
    const QString text = QStringLiteral("名字,城市\r\n张三,北京\r\n");
    const auto check = [&](const QByteArray& bytes, const char* what) {
        Write(bytes);
        const auto rows = Load(1, 5);
        ASSERT_EQ(rows.size(), 2) << what;
        EXPECT_EQ(rows[0], (QStringList{QStringLiteral("名字"), QStringLiteral("城市"), ""})) << what;
        EXPECT_EQ(rows[1], (QStringList{QStringLiteral("张三"), QStringLiteral("北京"), ""})) << what;
    };
    check(text.toUtf8(), "UTF-8");
    check("\xEF\xBB\xBF" + text.toUtf8(), "UTF-8 with BOM");
    QStringEncoder le(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    check(le(text), "UTF-16LE");
    QStringEncoder be(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
    check(be(text), "UTF-16BE");
    QStringEncoder gb("GB18030");
    const QByteArray gbBytes = gb(text);
    ASSERT_NE(gbBytes, text.toUtf8());
    check(gbBytes, "GB18030");

    // One GB18030 line far down costs only itself: the UTF-8 lines around it stay
    // UTF-8, also the first records.
    Write(QStringLiteral("名字,ascii\n").toUtf8() + Lines(5) + gbBytes + QStringLiteral("李四,上海\n").toUtf8());
    EXPECT_EQ(Load(1, 1)[0][0], QStringLiteral("名字"));
    EXPECT_EQ(Load(8, 8)[0][0], QStringLiteral("张三"));
    EXPECT_EQ(Load(9, 9)[0], (QStringList{QStringLiteral("李四"), QStringLiteral("上海"), ""}));
}

TEST_F(TextLoader, EachLineWithoutAByteOrderMarkIsUtf8OrElseGb18030)
{
    QStringEncoder gb("GB18030");
    const QByteArray gbLine = gb(QStringLiteral("张三,北京"));
    // Valid UTF-8 lines, a GB18030 line, a line with one stray byte, and again UTF-8,
    // across more lines than one index step.
    QByteArray bytes;
    for (int i = 1; i <= 150; ++i) {
        if (i % 50 == 0)
            bytes += gbLine + "\r\n";
        else if (i == 71)
            bytes += QStringLiteral("坏,").toUtf8() + "\xFF" + "x\n";
        else
            bytes += QStringLiteral("行%1,值\n").arg(i).toUtf8();
    }
    Write(bytes);
    EXPECT_EQ(loader.GetRecordCount(), 150);
    const auto rows = Load(1, 150);
    ASSERT_EQ(rows.size(), 150);
    EXPECT_EQ(rows[0][0], QStringLiteral("行1"));
    EXPECT_EQ(rows[49], (QStringList{QStringLiteral("张三"), QStringLiteral("北京"), ""}));
    EXPECT_EQ(rows[68][0], QStringLiteral("行69"));
    EXPECT_NE(rows[70][0], QStringLiteral("坏")); // not UTF-8, so read as GB18030
    EXPECT_EQ(rows[71][0], QStringLiteral("行72"));
    EXPECT_EQ(rows[149][1], QStringLiteral("北京"));
    // Pages that start past a GB18030 line decode alike.
    EXPECT_EQ(Load(100, 100)[0][0], QStringLiteral("张三"));
    EXPECT_EQ(Load(130, 130)[0][0], QStringLiteral("行130"));

    // A byte-order mark still decides for the whole file: a GB18030 line in a file
    // marked UTF-8 is UTF-8 with replacement characters.
    Write("\xEF\xBB\xBF" + QStringLiteral("甲,乙\n").toUtf8() + gbLine + "\n");
    const auto marked = Load(1, 2);
    ASSERT_EQ(marked.size(), 2);
    EXPECT_EQ(marked[0][0], QStringLiteral("甲"));
    EXPECT_TRUE(marked[1][0].contains(QChar::ReplacementCharacter));

    TextFileHead head;
    QString error;
    Write(bytes);
    ASSERT_TRUE(ReadTextFileHead(ds.m_strPath, ",", 2, head, error));
    EXPECT_EQ(head.nonUtf8Lines, 4);
    EXPECT_EQ(head.recordCount, 150);
    EXPECT_EQ(head.records, (QStringList{QStringLiteral("行1,值"), QStringLiteral("行2,值")}));
}

TEST_F(TextLoader, QuotedFieldsKeepSeparatorsQuotesAndLineBreaks)
{
    ds.m_bHeaderRow = true;
    // As a spreadsheet exports them: a separator, a doubled quote and a line break
    // inside quotes; unquoted fields read as before.
    Write("Name,City,Note\r\n"
          "\"Bar, Baz\",Paris,plain\r\n"
          "\"say \"\"hi\"\"\",\"two\r\nlines\",x\"y\r\n"
          "\"\",\"\"\"\",\"open\"tail,z\r\n"
          "last,\"never closed\nstill, inside");
    EXPECT_EQ(loader.GetRecordCount(), 5);
    const auto rows = Load(1, 10);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], (QStringList{"Bar, Baz", "Paris", "plain"}));
    EXPECT_EQ(rows[1], (QStringList{"say \"hi\"", "two\r\nlines", "x\"y"}));
    EXPECT_EQ(rows[2], (QStringList{"", "\"", "opentail"}));
    // A quote that never closes ends its field at the end of its line.
    EXPECT_EQ(rows[3], (QStringList{"last", "never closed", ""}));
    EXPECT_EQ(rows[4], (QStringList{"still", " inside", ""}));

    // Records of several lines page like any others, across index steps.
    QByteArray many = "h\n";
    for (int i = 1; i <= 200; ++i)
        many += "r" + QByteArray::number(i) + ",\"a\nb\nc\"\n";
    Write(many);
    QThread::msleep(60);
    EXPECT_EQ(loader.GetRecordCount(), 200);
    for (const int first : {130, 1, 64, 65, 129, 200}) {
        const auto page = Load(first, first);
        ASSERT_EQ(page.size(), 1) << first;
        EXPECT_EQ(page[0], (QStringList{"r" + QString::number(first), "a\nb\nc", ""})) << first;
    }

    // Neither whole lines nor fixed widths know quotes.
    ds.m_bHeaderRow = false;
    Write("\"a,b\nc\"\n");
    ds.m_nSeparator = TextSeparatorNone;
    EXPECT_EQ(loader.GetRecordCount(), 2);
    ds.m_nSeparator = TextSeparatorCustom;
    ds.m_strCustomSegments = "2,2";
    EXPECT_EQ(Load(1, 2), (QList<QStringList>{{"\"a", ",b", ""}, {"c\"", "", ""}}));
}

TEST_F(TextLoader, FieldsPastTheLimitAreNotRead)
{
    // A source that names more fields than any line may hold reads no more.
    ds.m_selectedFields.clear();
    for (int i = 0; i < kMaxDataFields + 5; ++i)
        ds.m_selectedFields.append(QString::number(i));
    Write(QByteArray(kMaxDataFields + 100, ','));
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadRows(1, 1, rows));
    EXPECT_EQ(rows.ColumnCount(), kMaxDataFields);
    EXPECT_EQ(CountFields(QByteArray(50000000, ','), ",", kMaxDataFields + 1), kMaxDataFields + 1);
    EXPECT_EQ(CountFields("a,\"b,c\",d", ",", 100), 3);
    EXPECT_EQ(CountFields("", ",", 100), 1);
}

TEST_F(TextLoader, LongGb18030FileDecodesAcrossReadChunks)
{
    QString text = QStringLiteral("x"); // shifts every two-byte character across the chunk edges
    const QString line = QStringLiteral("中文数据,第二列");
    const int count = 80000;
    for (int i = 0; i < count; ++i)
        text += line + QString::number(i) + u'\n';
    QStringEncoder gb("GB18030");
    const QByteArray bytes = gb(text);
    ASSERT_GT(bytes.size(), 1 << 20);
    Write(bytes);
    ds.m_selectedFields = QStringList{"a", "b"};
    EXPECT_EQ(loader.GetRecordCount(), count);
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadRows(2, count, rows));
    ASSERT_EQ(rows.RowCount(), count - 1);
    for (int r = 0; r < rows.RowCount(); ++r) {
        if (rows.Value(r, 0) != QStringLiteral("中文数据") ||
            rows.Value(r, 1) != QStringLiteral("第二列") + QString::number(r + 1)) {
            FAIL() << "row " << r << ": " << rows.Value(r, 0).toStdString() << "," << rows.Value(r, 1).toStdString();
        }
    }
}

TEST_F(TextLoader, AMissingFileIsAFailureNotZeroRecords)
{
    ds.m_strPath = dir.filePath("missing.txt");
    LoaderRow rows;
    EXPECT_FALSE(loader.LoadRows(1, 10, rows));
    EXPECT_TRUE(loader.GetLastError().contains("missing.txt"));
    EXPECT_THROW(loader.GetRecordCount(), CDataSourceException);
    ds.m_nRangeMode = RangeFromTo; // the count of a range needs no file
    EXPECT_EQ(loader.GetRecordCount(), 100);
}

namespace {

// Bytes this process has read through read() so far.
qint64 BytesReadByProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

} // namespace

TEST_F(TextLoader, AJobOfManyPagesReadsTheFileAboutOnce)
{
    const int records = 21000;
    const int perPage = 21;
    Write("name,b,c\n" + Lines(records));
    ds.m_bHeaderRow = true;
    const qint64 size = QFileInfo(ds.m_strPath).size();
    QThread::msleep(60); // lets the file rest, as a file written before a job has
    const qint64 before = BytesReadByProcess();
    ASSERT_GE(before, 0);
    ASSERT_EQ(loader.GetRecordCount(), records);
    LoaderRow rows;
    for (int page = 1; page <= records / perPage; ++page) {
        ASSERT_TRUE(loader.LoadPage(page, perPage, rows));
        ASSERT_EQ(rows.RowCount(), perPage);
        ASSERT_EQ(rows.Value(0, 0), QStringLiteral("l%1").arg((page - 1) * perPage + 1));
    }
    EXPECT_LE(BytesReadByProcess() - before, 2 * size + 4096); // reading /proc/self/io counts too
}

TEST_F(TextLoader, PagesInAnyOrderInEveryEncoding)
{
    QString text;
    for (int i = 1; i <= 300; ++i)
        text += QStringLiteral("行%1,x\r\n").arg(i);
    QStringEncoder le(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QStringEncoder gb("GB18030");
    const std::pair<QByteArray, const char*> files[] = {
        {text.toUtf8(), "UTF-8"}, {"\xEF\xBB\xBF" + text.toUtf8(), "UTF-8 with BOM"},
        {le(text), "UTF-16LE"}, {gb(text), "GB18030"}};
    for (const auto& [bytes, what] : files) {
        Write(bytes);
        QThread::msleep(60);
        EXPECT_EQ(loader.GetRecordCount(), 300) << what;
        for (const int first : {1, 200, 64, 65, 129, 3, 280, 281, 300, 130}) {
            const auto rows = Load(first, first + 9);
            ASSERT_EQ(rows.size(), std::min(10, 301 - first)) << what << " from " << first;
            EXPECT_EQ(rows[0][0], QStringLiteral("行%1").arg(first)) << what << " from " << first;
            EXPECT_EQ(rows.back()[0], QStringLiteral("行%1").arg(first + rows.size() - 1)) << what;
        }
    }
    // A rewritten file is read again.
    Write(Lines(5));
    EXPECT_EQ(loader.GetRecordCount(), 5);
    EXPECT_EQ(Load(2, 2)[0][0], "l2");
}

// A last line holding only a byte that is not UTF-8 (the file reads as GB18030): the
// count and the rows loaded agree.
TEST_F(TextLoader, CountAgreesWithTheRowsOfAFileEndingInAStrayByte)
{
    ds.m_nSeparator = 1;
    ds.m_bHeaderRow = true;
    Write(QByteArray("Id,Name\r\n1b,c,d\n\xc8"));
    const auto rows = Load(1, INT_MAX);
    EXPECT_EQ(rows.size(), loader.GetRecordCount());
}

TEST_F(TextLoader, AQuoteThatNeverClosesEndsAtItsLineEnd)
{
    QString error;
    TextFileHead head;
    ds.m_selectedFields = QStringList{"a", "b"};
    Write("\"unterminated,1\nb,2\nc,3\n");
    EXPECT_EQ(loader.GetRecordCount(), 3);
    EXPECT_EQ(Load(1, 10), (QList<QStringList>{{"unterminated,1", ""}, {"b", "2"}, {"c", "3"}}));
    ASSERT_TRUE(ReadTextFileHead(ds.m_strPath, ",", 10, head, error));
    EXPECT_EQ(head.recordCount, 3);
    EXPECT_EQ(head.openQuoteLine, 1);

    // A quote that closes several lines on still holds them; a stray one far from any
    // closing quote stands alone, whatever lies past the bound, and paging across
    // the index steps finds the same records.
    QByteArray text = "a,\"one\ntwo\nthree\"\n";
    text += "b,\"stray\n";
    for (int i = 1; i <= 150; ++i)
        text += "r" + QByteArray::number(i) + ",x\n";
    text += "c,\"late\"\n";
    Write(text);
    QThread::msleep(60);
    EXPECT_EQ(loader.GetRecordCount(), 153);
    EXPECT_EQ(Load(1, 3), (QList<QStringList>{{"a", "one\ntwo\nthree"}, {"b", "stray"}, {"r1", "x"}}));
    EXPECT_EQ(Load(130, 130), (QList<QStringList>{{"r128", "x"}}));
    EXPECT_EQ(Load(153, 153), (QList<QStringList>{{"c", "late"}}));
    ASSERT_TRUE(ReadTextFileHead(ds.m_strPath, ",", 3, head, error));
    EXPECT_EQ(head.openQuoteLine, 4);
}

TEST_F(TextLoader, APreviewKeepsABoundedPartOfAHugeLine)
{
    // A line far past the bound, of two-byte characters, then an ordinary one.
    QByteArray huge;
    huge.reserve(3 * kMaxPreviewRecordBytes + 16);
    while (huge.size() < 3 * kMaxPreviewRecordBytes)
        huge += "\xC3\xA9";
    Write("x" + huge + "\nlast,1\n");
    QString error;
    TextFileHead head;
    ASSERT_TRUE(ReadTextFileHead(ds.m_strPath, ",", 2, head, error)) << error.toStdString();
    ASSERT_EQ(head.records.size(), 2);
    EXPECT_EQ(head.recordCount, 2);
    EXPECT_LE(head.records[0].toUtf8().size(), kMaxPreviewRecordBytes);
    EXPECT_GT(head.records[0].size(), kMaxPreviewRecordBytes / 4);
    EXPECT_FALSE(head.records[0].contains(QChar::ReplacementCharacter));
    EXPECT_EQ(head.records[1], "last,1");
}
