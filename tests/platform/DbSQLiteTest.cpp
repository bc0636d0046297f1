#include "DbTestEnv.h"
#include "RowWindowCases.h"
#include "WorkbookFixtures.h"
#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// Writes a database with the SQLite library itself, so the reader is checked
// against files it did not make.
void WriteDatabase(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

class DbSQLite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("data.db");
        WriteDatabase(path,
            "create table Zeta (Id integer, Name text, Note text);"
            "create table alpha (x integer);"
            "create table \"with space\" (\"a b\" text, c text);"
            "insert into Zeta values (1, '北京', null), (2, 'two', 'n2'), (3, 'three', ''),"
            " (4, 'four', 'n4'), (5, '😀', 'n5');");
        db = DbConnection::OpenSQLite(path);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<DbConnection> db;
};

} // namespace

TEST_F(DbSQLite, ListsTablesByNameAndFieldsOfEmptyAndOddlyNamedTables)
{
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables));
    EXPECT_EQ(tables, (QStringList {"Zeta", "alpha", "with space"}));
    QStringList fields;
    ASSERT_TRUE(db->ListFields("with space", fields)); // no rows, a blank in both names
    EXPECT_EQ(fields, (QStringList {"a b", "c"}));
    ASSERT_TRUE(db->ListFields("Zeta", fields));
    EXPECT_EQ(fields, (QStringList {"Id", "Name", "Note"}));
    EXPECT_FALSE(db->ListFields("missing", fields));
    EXPECT_TRUE(fields.isEmpty());
    EXPECT_TRUE(db->LastError().contains("no such table")) << db->LastError().toStdString();
}

TEST_F(DbSQLite, QueryReturnsNamesValuesAndNullFlags)
{
    DbRows rows;
    ASSERT_TRUE(db->Query("select Name, Note as Remark from Zeta order by Id", rows));
    EXPECT_EQ(rows.Columns(), (QStringList {"Name", "Remark"}));
    ASSERT_EQ(rows.RowCount(), 5);
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("北京"));
    EXPECT_TRUE(rows.IsNull(0, 1));
    EXPECT_EQ(rows.Value(0, 1), QString());
    EXPECT_FALSE(rows.IsNull(2, 1));
    EXPECT_EQ(rows.Value(4, 0), QStringLiteral("😀"));
    EXPECT_TRUE(db->LastError().isEmpty());
}

TEST_F(DbSQLite, QueryKeepsOnlyTheAskedWindowOfRows)
{
    DbRows rows;
    ASSERT_TRUE(db->Query("select Id from Zeta order by Id", rows, 1, 2));
    ASSERT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(rows.Value(0, 0), "2");
    EXPECT_EQ(rows.Value(1, 0), "3");
    ASSERT_TRUE(db->Query("select Id from Zeta order by Id", rows, 4, 10));
    EXPECT_EQ(rows.RowCount(), 1);
    ASSERT_TRUE(db->Query("select Id from Zeta order by Id", rows, 9, -1));
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(rows.Columns(), QStringList {"Id"});
    ASSERT_TRUE(db->Query("select Id from Zeta", rows, 0, 0));
    EXPECT_EQ(rows.RowCount(), 0);
    ExpectRowWindows(*db, "select Id from Zeta order by Id", 5);
}

TEST_F(DbSQLite, FailedStatementIsAFailureWithTheDatabaseMessage)
{
    DbRows rows;
    EXPECT_FALSE(db->Query("select nope from Zeta", rows));
    EXPECT_TRUE(db->LastError().contains("nope")) << db->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 0);
    // The connection is read-only.
    EXPECT_FALSE(db->Query("insert into alpha values (1)", rows));
    ASSERT_TRUE(db->Query("select count(*) from alpha", rows));
    EXPECT_EQ(rows.Value(0, 0), "0");
    db->Close();
    db->Close();
    EXPECT_FALSE(db->IsOpen());
    EXPECT_FALSE(db->Query("select 1", rows));
}

TEST(DbSQLiteOpen, MissingOrForeignFilesFailAndNothingIsCreated)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.db");
    auto db = DbConnection::OpenSQLite(missing);
    EXPECT_FALSE(db->IsOpen());
    EXPECT_TRUE(db->LastError().contains("missing.db"));
    EXPECT_FALSE(QFile::exists(missing));

    const QString text = dir.filePath("text.db");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    db = DbConnection::OpenSQLite(text);
    EXPECT_FALSE(db->IsOpen());
    EXPECT_TRUE(db->LastError().contains("not a database")) << db->LastError().toStdString();

    EXPECT_FALSE(DbConnection::OpenSQLite(QString())->IsOpen());
    EXPECT_FALSE(DbConnection::OpenSQLite(dir.path())->IsOpen()); // a folder
}

// A file is opened as the file its name says, whatever characters the name holds, and
// a database in WAL mode whose side files are gone is read without creating them.
TEST(DbSQLiteOpen, NamesAreFilesAndAWalDatabaseGetsNoSideFiles)
{
    QTemporaryDir dir;
    for (const QString& name : {QStringLiteral("wal ?x=1#y%20.db"), QStringLiteral("file:a.db")}) {
        const QString path = dir.filePath(name);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(
                      QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
            SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "pragma journal_mode=wal; create table T (x); insert into T values (7);", nullptr,
                      nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db); // the last connection: the side files go
        ASSERT_FALSE(QFile::exists(path + "-wal"));

        auto connection = DbConnection::OpenSQLite(path);
        ASSERT_TRUE(connection->IsOpen()) << connection->LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(connection->Query("select x from T", rows)) << connection->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "7");
        connection.reset();
        EXPECT_FALSE(QFile::exists(path + "-wal")) << name.toStdString();
        EXPECT_FALSE(QFile::exists(path + "-shm")) << name.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

// A statement's values and the rows one call keeps are bounded as on the servers: past a
// bound the call is refused with our message, not read, and the connection goes on.
TEST_F(DbSQLite, ValuesAndSlicesPastTheirBoundsAreRefused)
{
    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.valueBytes = qint64(1) << 20;
    limits.sliceBytes = qint64(2) << 20;
    SetDbLimits(limits);
    const char* fiveRows = "with recursive n(i) as (select 1 union all select i + 1 from n where i < 5) ";
    struct Case
    {
        QString sql;
        QString message;
    };
    const Case cases[] = {
        {"select 1 as Id, hex(zeroblob(750000)) as Big",
            QStringLiteral("数据源“data.db”的字段“Big”的值超过了 1 MB 的上限，没有读取。")},
        {QString::fromLatin1(fiveRows) + "select hex(zeroblob(450000)) as Part from n",
            QStringLiteral("数据源“data.db”一次读取的记录超过了 2 MB 的上限，没有读取。")},
    };
    for (bool cursor : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.sql.toStdString() + (cursor ? " (cursor)" : ""));
            ExpectRefusedPastBound(*db, c.sql, cursor, c.message);
            DbRows rows;
            ASSERT_TRUE(db->Query("select count(*) from Zeta", rows)) << db->LastError().toStdString();
            EXPECT_FALSE(db->Stopped());
            EXPECT_EQ(rows.Value(0, 0), "5");
        }
    }
    // Within the bounds, slice by slice, the same rows read; a slice's count starts afresh.
    auto walk = db->OpenCursor(QString::fromLatin1(fiveRows) + "select hex(zeroblob(450000)) as Part from n");
    DbRows rows;
    for (int slice = 0; slice < 3; ++slice)
        ASSERT_TRUE(walk->Fetch(2, rows)) << walk->LastError().toStdString();
    EXPECT_EQ(walk->Position(), 5);
    walk.reset();
    SetDbLimits(saved);
}

namespace {

// A sum of `terms` constant values of `bytes` each, which SQLite builds once and keeps
// until the statement ends.
QString HeldValuesStatement(int terms, qint64 bytes)
{
    QStringList parts;
    for (int i = 0; i < terms; ++i)
        parts.append(QStringLiteral("length(hex(zeroblob(%1)))").arg(bytes / 2));
    return QStringLiteral("select ") + parts.join(u'+') + QStringLiteral(" as a");
}

// Over a SQLite file and over a workbook's staged copy alike, a statement's values are
// held within SQLite's length bound each and its memory bound together: past either it
// fails at once with our message, before its memory reaches half a gigabyte, and the
// connection goes on; a statement of large values within the bounds still reads.
void ExpectStatementMemoryBounded(DbConnection& db, const QString& source, const QString& check)
{
    ASSERT_TRUE(SQLiteStatementMemory::Bounded());
    const qint64 statementMb = GetDbLimits().statementBytes >> 20;
    const QString tooLong = QStringLiteral("数据源“%1”的语句中有值或行长于 128 MB 的上限，没有执行完。").arg(source);
    const QString tooMuch
        = QStringLiteral("数据源“%1”的语句使用的内存超过了 %2 MB 的上限，没有执行完。").arg(source).arg(statementMb);
    struct Case
    {
        QString sql;
        QString message;
    };
    const Case cases[] = {
        {"select length(hex(zeroblob(499999999)))+length(hex(zeroblob(499999999)))+length(hex(zeroblob(499999999))) as a",
            tooLong},
        {HeldValuesStatement(12, qint64(60) << 20), tooMuch},
    };
    for (bool cursor : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.sql.left(60).toStdString() + (cursor ? " (cursor)" : ""));
            sqlite3_memory_highwater(1);
            ExpectRefusedPastBound(db, c.sql, cursor, c.message);
            EXPECT_LT(sqlite3_memory_highwater(0), qint64(512) << 20);
            DbRows rows;
            ASSERT_TRUE(db.Query(check, rows)) << db.LastError().toStdString();
            EXPECT_FALSE(db.Stopped());
        }
    }
    DbRows rows;
    ASSERT_TRUE(db.Query(HeldValuesStatement(2, qint64(60) << 20), rows)) << db.LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QString::number(qint64(120) << 20));
}

} // namespace

TEST_F(DbSQLite, AStatementsOwnValuesAreHeldWithinLengthAndMemoryBounds)
{
    ExpectStatementMemoryBounded(*db, "data.db", "select count(*) from Zeta");
}

TEST(DbSQLiteStaged, AStatementOverAWorkbooksCopyIsHeldWithinLengthAndMemoryBounds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xlsx");
    ASSERT_TRUE(WriteTestXlsx(path));
    auto db = DbConnection::OpenExcel(path, true);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    ExpectStatementMemoryBounded(*db, "book.xlsx", "select count(*) from [People$]");
}
