// Access files read through the reader process: its output stream decoded strictly,
// the limits on time, output and memory ending a read with a message while the test
// process goes on, cancelling from another thread, and the staging fed by a stand-in
// reader (a script replaying frames the test wrote) as the real one feeds it.
#include "AccessFixtures.h"
#include "PeakMemory.h"
#include "platform/db/AccessReader.h"
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

std::string Frame(AccessStreamKind kind, std::string_view payload = {})
{
    std::string out;
    AppendAccessFrame(out, kind, payload);
    return out;
}

std::string Row(std::initializer_list<std::optional<std::string_view>> cells)
{
    std::string payload;
    for (const auto& cell : cells)
        AppendAccessCell(payload, cell);
    return Frame(AccessStreamKind::Row, payload);
}

// Each test leaves the reader program and its limits as it found them.
class DbAccessReader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = dir.filePath(QStringLiteral("标签 数据.mdb"));
        ASSERT_TRUE(WriteAccessFixture(database, "any bytes: the stand-in reader never opens it"));
    }
    void TearDown() override
    {
        SetAccessReaderProgram({});
        SetAccessReaderLimits({});
        SetDbLimits(savedDbLimits);
    }

    // A stand-in reader: a shell script with this body.
    void UseScript(const QString& body)
    {
        const QString path = dir.filePath(QStringLiteral("reader.sh"));
        ASSERT_TRUE(WriteAccessFixture(path, ("#!/bin/sh\n" + body + "\n").toUtf8()));
        ::chmod(QFile::encodeName(path).constData(), 0700);
        SetAccessReaderProgram(path);
    }
    // A stand-in that answers the catalogue run with catalog.bin and the run for a
    // table with <table>.bin, and notes each run's arguments and input as folders
    // (the reader may write no file).
    void UseRecordedReader(const std::string& catalog, const std::map<QString, std::string>& tables)
    {
        WriteAccessFixture(dir.filePath("catalog.bin"), QByteArray::fromStdString(catalog));
        for (const auto& [name, bytes] : tables)
            WriteAccessFixture(dir.filePath(name + ".bin"), QByteArray::fromStdString(bytes));
        UseScript(QStringLiteral("cd '%1'\nread -r pw; mkdir -p \"input-$pw\" runs\n"
                                 "mkdir \"runs/$(ls runs | wc -l):$2\"\n"
                                 "if [ $# = 1 ]; then cat catalog.bin; else cat \"$2.bin\"; fi")
                      .arg(dir.path()));
    }
    QString Runs() const
    {
        return QDir(dir.filePath("runs")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name).join(u' ');
    }
    QString Damaged(const QString& why) const
    {
        return QStringLiteral("Access数据库“%1”已损坏或无法读取：%2。").arg(database, why);
    }

    QTemporaryDir dir;
    QString database;
    const DbLimits savedDbLimits = GetDbLimits();
};

} // namespace

TEST(AccessStream, DecodesFramesFedInAnyPieces)
{
    std::string stream = Frame(AccessStreamKind::Table, "订单") + Frame(AccessStreamKind::Table, "");
    AppendAccessColumn(stream, {kAccessColumnNumeric, "数量"});
    stream += Row({"12", std::nullopt, ""}) + Frame(AccessStreamKind::End);
    for (size_t piece : {size_t(1), size_t(3), stream.size()}) {
        AccessStreamDecoder decoder;
        std::vector<std::pair<AccessStreamKind, std::string>> frames;
        for (size_t at = 0; at < stream.size(); at += piece) {
            decoder.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            AccessStreamDecoder::Frame frame;
            AccessStreamDecoder::Status status;
            while ((status = decoder.Next(frame)) == AccessStreamDecoder::Status::Frame)
                frames.emplace_back(frame.kind, std::string(frame.payload));
            ASSERT_EQ(status, AccessStreamDecoder::Status::NeedMore);
        }
        ASSERT_EQ(frames.size(), 5u) << piece;
        EXPECT_EQ(frames[0].second, "订单");
        EXPECT_EQ(frames[1].second, "");
        AccessStreamColumn column;
        ASSERT_TRUE(DecodeAccessColumn(frames[2].second, column));
        EXPECT_EQ(column.flags, kAccessColumnNumeric);
        EXPECT_EQ(column.name, "数量");
        std::vector<std::optional<std::string_view>> cells;
        ASSERT_TRUE(DecodeAccessRow(frames[3].second, 3, cells));
        EXPECT_EQ(cells[0], "12");
        EXPECT_FALSE(cells[1].has_value());
        EXPECT_EQ(cells[2], "");
        EXPECT_EQ(frames[4].first, AccessStreamKind::End);
        EXPECT_EQ(decoder.Pending(), 0u);
    }
}

TEST(AccessStream, RefusesWhatNoReaderWrites)
{
    const auto status = [](const std::string& bytes) {
        AccessStreamDecoder decoder;
        decoder.Feed(bytes.data(), bytes.size());
        AccessStreamDecoder::Frame frame;
        return decoder.Next(frame);
    };
    EXPECT_EQ(status("X\0\0\0\0"), AccessStreamDecoder::Status::Bad);
    EXPECT_EQ(status(std::string("T\xff\xff\xff\x7f", 5)), AccessStreamDecoder::Status::Bad);
    EXPECT_EQ(status(std::string("T\x05\0\0\0abc", 8)), AccessStreamDecoder::Status::NeedMore);

    std::vector<std::optional<std::string_view>> cells;
    std::string two;
    AppendAccessCell(two, "a");
    AppendAccessCell(two, std::nullopt);
    EXPECT_TRUE(DecodeAccessRow(two, 2, cells));
    EXPECT_FALSE(DecodeAccessRow(two, 1, cells)); // more cells than columns
    EXPECT_FALSE(DecodeAccessRow(two, 3, cells)); // fewer
    EXPECT_FALSE(DecodeAccessRow(two.substr(0, 4), 1, cells)); // a length past the end
    EXPECT_FALSE(DecodeAccessRow(two.substr(0, 7), 2, cells)); // a cut length
    EXPECT_FALSE(DecodeAccessRow(std::string("\x10\0\0\0ab", 6), 1, cells));
    AccessStreamColumn column;
    EXPECT_FALSE(DecodeAccessColumn("", column));
}

// Tables are read one run each, when a statement first names them, and staged as
// the reader gives them; the password goes on standard input, never on the command line.
TEST_F(DbAccessReader, StagesWhatTheReaderWritesTableByTable)
{
    std::string orders;
    AppendAccessColumn(orders, {kAccessColumnNumeric, "编号"});
    AppendAccessColumn(orders, {0, "名称"});
    AppendAccessColumn(orders, {0, "名称"});
    orders += Row({"2", "北京 😀", std::nullopt}) + Row({"10", std::nullopt, "x"}) + Frame(AccessStreamKind::End);
    UseRecordedReader(Frame(AccessStreamKind::Table, "订单") + Frame(AccessStreamKind::Table, "Other")
            + Frame(AccessStreamKind::End),
        {{QStringLiteral("订单"), orders}});
    auto db = DbConnection::OpenAccess(database, QStringLiteral("secret"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables));
    EXPECT_EQ(tables, QStringList({QStringLiteral("订单"), QStringLiteral("Other")}));
    EXPECT_EQ(Runs(), QStringLiteral("0:"));
    EXPECT_TRUE(QFileInfo(dir.filePath("input-secret")).isDir());

    DbRows rows;
    ASSERT_TRUE(db->Query(QStringLiteral("select * from 订单 order by 编号"), rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Columns(), QStringList({QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("名称1")}));
    ASSERT_EQ(rows.RowCount(), 2); // numbers sort as numbers
    EXPECT_EQ(rows.Value(0, 1), QStringLiteral("北京 😀"));
    EXPECT_TRUE(rows.IsNull(0, 2));
    EXPECT_EQ(rows.Value(1, 0), QStringLiteral("10"));
    ASSERT_TRUE(db->Query(QStringLiteral("select count(*) from 订单"), rows));
    EXPECT_EQ(Runs(), QStringLiteral("0: 1:订单"));

    // A table the reader cannot give: the statement fails, the connection goes on.
    EXPECT_FALSE(db->Query(QStringLiteral("select * from Other"), rows));
    EXPECT_EQ(db->LastError(), Damaged(QStringLiteral("读取程序异常结束（可能用尽了 1024 MB 内存）")));
    ASSERT_TRUE(db->Query(QStringLiteral("select count(*) from 订单"), rows));
    EXPECT_EQ(rows.Value(0, 0), "2");
}

TEST_F(DbAccessReader, RefusalsOfTheReaderKeepTheirMessages)
{
    const auto refusal = [](AccessStreamError error) {
        const char code = static_cast<char>(error);
        return Frame(AccessStreamKind::Error, std::string_view(&code, 1)) + Frame(AccessStreamKind::End);
    };
    const struct
    {
        AccessStreamError error;
        QString message;
    } cases[] = {
        {AccessStreamError::NotAccess, QStringLiteral("“%1”不是可读取的Access数据库。")},
        {AccessStreamError::Password, QStringLiteral("Access数据库“%1”的密码不正确。")},
        {AccessStreamError::Catalog, QStringLiteral("无法读取Access数据库“%1”：有密码保护（加密）的数据库无法读取。")},
    };
    for (const auto& c : cases) {
        UseRecordedReader(refusal(c.error), {});
        auto db = DbConnection::OpenAccess(database, {});
        EXPECT_FALSE(db->IsOpen());
        EXPECT_EQ(db->LastError(), c.message.arg(database));
    }
    UseRecordedReader(Frame(AccessStreamKind::Table, "T") + Frame(AccessStreamKind::End),
        {{QStringLiteral("T"), refusal(AccessStreamError::NoTable)}});
    auto db = DbConnection::OpenAccess(database, {});
    QStringList fields;
    EXPECT_FALSE(db->ListFields(QStringLiteral("T"), fields));
    EXPECT_EQ(db->LastError(), QStringLiteral("无法读取表“T”。"));
}

// A reader that hangs, floods its error output, writes without end or garbage, or
// crashes costs a message naming the file, within the time limit.
TEST_F(DbAccessReader, ReadersPastTheirLimitsAreEnded)
{
    SetAccessReaderLimits({qint64(1) << 30, 1, 1 << 20});
    const struct
    {
        const char* script;
        QString why;
    } cases[] = {
        {"exec sleep 30", QStringLiteral("读取超过了 1 秒")},
        {"yes 'mdb_fetch_row: warning' >&2 & exec sleep 30", QStringLiteral("读取超过了 1 秒")},
        {"printf 'T\\001\\000\\000\\000x'; exec sleep 30", QStringLiteral("读取超过了 1 秒")},
        {"p=$(head -c 200 /dev/zero | tr '\\0' x); while :; do printf 'T\\310\\000\\000\\000%s' \"$p\"; done",
            QStringLiteral("读出的数据超过了 1 MB")},
        {"printf 'garbage'; exec sleep 30", QStringLiteral("读取时出错")},
        {"printf 'R\\000\\000\\000\\000Z\\000\\000\\000\\000'", QStringLiteral("读取时出错")},
        {"printf 'T\\001\\000'; kill -SEGV $$", QStringLiteral("读取程序异常结束（可能用尽了 1024 MB 内存）")},
    };
    for (const auto& c : cases) {
        UseScript(QString::fromLatin1(c.script));
        QElapsedTimer timer;
        timer.start();
        auto db = DbConnection::OpenAccess(database, {});
        EXPECT_LT(timer.elapsed(), kHungAfterMs) << c.script;
        EXPECT_FALSE(db->IsOpen()) << c.script;
        EXPECT_EQ(db->LastError(), Damaged(c.why)) << c.script;
    }
}

TEST_F(DbAccessReader, AReadCanBeInterruptedFromAnotherThread)
{
    UseScript(QStringLiteral("exec sleep 30"));
    AccessReaderProcess reader;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        reader.Interrupt();
    });
    QElapsedTimer timer;
    timer.start();
    const auto outcome = reader.Run({database}, {}, [](const AccessStreamDecoder::Frame&) { return true; });
    canceller.join();
    EXPECT_EQ(outcome, AccessReaderProcess::Outcome::Interrupted);
    EXPECT_LT(timer.elapsed(), kHungAfterMs);
    // Nothing is left to kill afterwards, and the next read runs.
    reader.Interrupt();
    UseScript(QStringLiteral("printf 'Z\\000\\000\\000\\000'"));
    EXPECT_EQ(reader.Run({database}, {}, [](const AccessStreamDecoder::Frame&) { return true; }),
        AccessReaderProcess::Outcome::Done);

    SetAccessReaderProgram(dir.filePath("missing-reader"));
    auto db = DbConnection::OpenAccess(database, {});
    EXPECT_EQ(db->LastError(), QStringLiteral("无法启动Access数据库读取程序“%1”，无法读取Access数据库“%2”。")
                                   .arg(dir.filePath("missing-reader"), database));
}

// The real reader on a damaged file whose catalogue asks libmdb for more memory than
// the reader may have: libmdb aborts in the reader, the program gets a message.
TEST_F(DbAccessReader, ADamagedFileEndsTheReaderNotTheProgram)
{
    ASSERT_TRUE(WriteAccessFixture(database, ColumnHungryAccessFile()));
    auto db = DbConnection::OpenAccess(database, {});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_TRUE(db->LastError().contains(QStringLiteral("“%1”").arg(database))) << db->LastError().toStdString();

    SetAccessReaderLimits({qint64(24) << 20, 60, qint64(1) << 30});
    db = DbConnection::OpenAccess(database, {});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_EQ(db->LastError(), Damaged(QStringLiteral("读取程序异常结束（可能用尽了 24 MB 内存）")));
}

// The MDBTools driver would open whatever follows the first "DBQ" it finds, here a
// FIFO given as the password: the program reads the checked DBQ itself.
TEST_F(DbAccessReader, AnMdbToolsStringOpensOnlyItsCheckedFile)
{
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString text = QStringLiteral("Driver=MDBTools;UID=DBQ;PWD=%1;DBQ=%2").arg(fifo, database);
    OdbcRegistry registry;
    registry.drivers = {{"MDBTools", "/usr/lib/x86_64-linux-gnu/odbc/libmdbodbc.so"}};
    registry.dataSources = {{"Stock", "MDBTools", {}}};
    const OdbcRequest request = CheckOdbcString(text, {}, registry);
    EXPECT_TRUE(request.text.isEmpty());
    EXPECT_TRUE(request.refusal.isEmpty());
    EXPECT_EQ(request.accessFile, QFileInfo(database).canonicalFilePath());
    EXPECT_EQ(request.accessPassword, fifo);
    EXPECT_EQ(CheckOdbcString(QStringLiteral("DSN=Stock;Database=%1").arg(database), {}, registry).accessFile,
        QFileInfo(database).canonicalFilePath());

    if (!InstalledOdbcDrivers().contains(QStringLiteral("MDBTools")))
        GTEST_SKIP() << "the MDBTools driver is not registered";
    UseRecordedReader(Frame(AccessStreamKind::Table, "T") + Frame(AccessStreamKind::End), {});
    auto db = DbConnection::OpenOdbc(text, QStringLiteral("库存"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    EXPECT_EQ(Runs(), QStringLiteral("0:"));
}

namespace {

// A catalogue of the tables named.
std::string AccessCatalog(const std::vector<std::string>& tables)
{
    std::string out;
    for (const std::string& table : tables)
        out += Frame(AccessStreamKind::Table, table);
    return out + Frame(AccessStreamKind::End);
}

// A table of `columns` text columns C1, C2, ... and one row of "x" in each.
std::string AccessTable(int columns, size_t nameBytes = 0)
{
    std::string out;
    std::string row;
    for (int c = 1; c <= columns; ++c) {
        const std::string name = "C" + std::to_string(c);
        AppendAccessColumn(out, {0, nameBytes ? name + std::string(nameBytes - name.size(), 'n') : name});
        AppendAccessCell(row, "x");
    }
    return out + Frame(AccessStreamKind::Row, row) + Frame(AccessStreamKind::End);
}

} // namespace

// Names and columns are kept before anything is staged: a reader that writes more of
// them than an Access file holds is reading a damaged file, said so by what it wrote.
TEST_F(DbAccessReader, MoreTablesColumnsOrLongerNamesThanAccessHoldsAreDamage)
{
    std::vector<std::string> many;
    for (int i = 0; i < 32768; ++i)
        many.push_back("t" + std::to_string(i));
    UseRecordedReader(AccessCatalog(many), {});
    auto db = DbConnection::OpenAccess(database, {});
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables));
    EXPECT_EQ(tables.size(), 32768);
    many.push_back("one more");
    UseRecordedReader(AccessCatalog(many), {});
    db = DbConnection::OpenAccess(database, {});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_EQ(db->LastError(), Damaged(QStringLiteral("目录中的表多于 32768 个")));

    UseRecordedReader(AccessCatalog({std::string(257, 'n')}), {});
    db = DbConnection::OpenAccess(database, {});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_EQ(db->LastError(), Damaged(QStringLiteral("目录中有长于 256 字节的表名")));

    UseRecordedReader(AccessCatalog({std::string(256, 'n'), "Wide", "Wider", "LongNames", "Names"}),
        {{QStringLiteral("Wide"), AccessTable(255)}, {QStringLiteral("Wider"), AccessTable(256)},
            {QStringLiteral("LongNames"), AccessTable(2, 257)}, {QStringLiteral("Names"), AccessTable(2, 256)}});
    db = DbConnection::OpenAccess(database, {});
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query(QStringLiteral("select C1, C255 from Wide"), rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"x", "x"}));
    EXPECT_FALSE(db->Query(QStringLiteral("select * from Wider"), rows));
    EXPECT_EQ(db->LastError(), Damaged(QStringLiteral("表“Wider”的列多于 255 个")));
    QStringList fields;
    EXPECT_FALSE(db->ListFields(QStringLiteral("LongNames"), fields));
    EXPECT_EQ(db->LastError(), Damaged(QStringLiteral("表“LongNames”有长于 256 字节的列名")));
    ASSERT_TRUE(db->ListFields(QStringLiteral("Names"), fields)) << db->LastError().toStdString();
    EXPECT_EQ(fields.value(1).size(), 256);
}

// The rows of a table go into the staged copy as they arrive, never gathered first:
// a reader that writes without end fills the copy up to the cap on temporary storage
// and is ended there, with a message naming the file and the table, and the
// connection goes on.
TEST_F(DbAccessReader, AReaderWritingWithoutEndIsStoppedAtTheCap)
{
    std::string head;
    AppendAccessColumn(head, {kAccessColumnNumeric, "Id"});
    AppendAccessColumn(head, {0, "Note"});
    std::string rows;
    for (int i = 0; i < 16; ++i)
        rows += Row({std::to_string(i), std::string(60000, 'n')});
    WriteAccessFixture(dir.filePath("catalog.bin"), QByteArray::fromStdString(AccessCatalog({"Endless", "Small"})));
    WriteAccessFixture(dir.filePath("head.bin"), QByteArray::fromStdString(head));
    WriteAccessFixture(dir.filePath("rows.bin"), QByteArray::fromStdString(rows));
    WriteAccessFixture(dir.filePath("Small.bin"), QByteArray::fromStdString(AccessTable(1)));
    UseScript(QStringLiteral("cd '%1'\nread -r pw\n"
                             "case \"$2\" in\n'') cat catalog.bin ;;\nSmall) cat Small.bin ;;\n"
                             "*) cat head.bin; while :; do cat rows.bin; done ;;\nesac")
                  .arg(dir.path()));
    const QString refusal = QStringLiteral("Access数据库“%1”的表 Endless 的副本超过了临时存储 %2 MB 的上限，无法读取。");

    DbLimits limits = savedDbLimits;
    limits.tempBytes = 4 << 20;
    SetDbLimits(limits);
    auto db = DbConnection::OpenAccess(database, {});
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows result;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(db->Query(QStringLiteral("select count(*) from Endless"), result));
    EXPECT_LT(timer.elapsed(), kHungAfterMs);
    EXPECT_EQ(db->LastError(), refusal.arg(database).arg(4));
    ASSERT_TRUE(db->Query(QStringLiteral("select C1 from Small"), result)) << db->LastError().toStdString();
    EXPECT_EQ(result.Row(0), QStringList {"x"});

#if !defined(__SANITIZE_ADDRESS__)
    // Memory grows by a fraction of what the copy holds.
    db.reset(); // its worker thread too, before the fork
    limits.tempBytes = 96 << 20;
    SetDbLimits(limits);
    EXPECT_EXIT(RunWithinPeakMemory(qint64(48) << 20, qint64(1) << 30,
                    [&] {
                        auto endless = DbConnection::OpenAccess(database, {});
                        DbRows counted;
                        QElapsedTimer clock;
                        clock.start();
                        if (endless->Query(QStringLiteral("select count(*) from Endless"), counted)
                            || endless->LastError() != refusal.arg(database).arg(96) || clock.elapsed() > kHungAfterMs) {
                            std::fprintf(stderr, "%s after %lld ms\n", qUtf8Printable(endless->LastError()),
                                static_cast<long long>(clock.elapsed()));
                            return false;
                        }
                        return true;
                    }),
        ::testing::ExitedWithCode(0), "");
#endif
}
