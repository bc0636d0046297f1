// The SQLite, PostgreSQL and MySQL loaders against the same People table: a file
// written here with the SQLite library, and the fixtures that scripts/dbservers.sh
// loads into its throwaway servers.
#include "CountingConnection.h"
#include "DbTestEnv.h"
#include "model/DSBase.h"
#include "model/DatabaseLoaders.h"
#include "model/SqlStatements.h"
#include "platform/Crypt.h"
#include "platform/VXException.h"

#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

enum class Kind { SQLite, PostgreSQL, MySQL };

class DatabaseLoader : public ::testing::TestWithParam<Kind>
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(s_dir->filePath("people.db")).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "create table People (Id integer, Name text, City text, Note text);"
                               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100)"
                               " insert into People select i, 'name' || i,"
                               " case i % 3 when 0 then '北京' when 1 then 'Zürich' else 'city 😀' end,"
                               " case when i % 10 = 0 then null else 'note ' || i end from n;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    // Makes the description and the loader; false (with the test failed or skipped)
    // when the server settings are missing.
    void Prepare(const std::optional<DbServerSettings>& server)
    {
        if (GetParam() == Kind::SQLite) {
            auto sqlite = std::make_unique<CSQLiteDS>();
            sqlite->m_strPath = s_dir->filePath("people.db");
            ds = std::move(sqlite);
        } else {
            std::unique_ptr<CHostPortDS> hostPort;
            if (GetParam() == Kind::PostgreSQL)
                hostPort = std::make_unique<CPostgreSQLDS>();
            else
                hostPort = std::make_unique<CMySQLDS>();
            StoreLogin(*hostPort, *server);
            ds = std::move(hostPort);
        }
        ds->m_strTable = "People";
        ds->m_selectedFields = QStringList{"Id", "Name", "Note"};
        ds->m_strSortField = "Id";
        loader = CDLBase::CreateLoader(ds->GetType());
        loader->SetDataSource(ds.get());
    }

    static const char* EnvPrefix() { return GetParam() == Kind::PostgreSQL ? "VC_PG" : "VC_MY"; }

    std::unique_ptr<CDSBase> ds;
    std::unique_ptr<CDLBase> loader;
    static QTemporaryDir* s_dir;
};

QTemporaryDir* DatabaseLoader::s_dir = nullptr;

template <class Loader> class CountingLoader : public Loader
{
public:
    CountingConnection* connection = nullptr;

protected:
    std::unique_ptr<DbConnection> Connect() const override
    {
        auto counted = std::make_unique<CountingConnection>(Loader::Connect());
        const_cast<CountingLoader*>(this)->connection = counted.get();
        return counted;
    }
};

// Declares `server` and prepares the loader; servers are needed for two of the kinds.
#define PREPARE()                                                 \
    std::optional<DbServerSettings> server;                       \
    if (GetParam() != Kind::SQLite) {                             \
        VC_TEST_SERVER(found, EnvPrefix());                       \
        server = found;                                           \
    }                                                             \
    Prepare(server)

} // namespace

TEST_P(DatabaseLoader, PagesAreCutInTheStatement)
{
    PREPARE();
    EXPECT_EQ(loader->GetRecordCount(), 100) << loader->GetLastError().toStdString();
    EXPECT_TRUE(loader->IsOpen()); // the count opened it and left it open
    LoaderRow rows;
    ASSERT_TRUE(loader->LoadPage(2, 20, rows)) << loader->GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 20);
    EXPECT_EQ(rows.Columns(), (QStringList{"Id", "Name", "Note"}));
    EXPECT_EQ(rows.Row(0), (QStringList{"21", "name21", "note 21"}));
    EXPECT_EQ(rows.Value(19, 0), "40");
    EXPECT_TRUE(rows.IsNull(9, 2)); // Id 30: NULL reads as an empty text
    EXPECT_EQ(rows.Value(9, 2), "");
    ASSERT_TRUE(loader->LoadPage(6, 20, rows));
    EXPECT_EQ(rows.RowCount(), 0);

    ds->m_nSortOrder = 1;
    ASSERT_TRUE(loader->LoadPage(1, 3, rows));
    EXPECT_EQ(rows.Value(0, 0), "100");
    ds->m_strSortField = QStringLiteral("默认"); // no ORDER BY at all
    ASSERT_TRUE(loader->LoadPage(1, 100, rows));
    EXPECT_EQ(rows.RowCount(), 100);
    EXPECT_TRUE(loader->Close());
    EXPECT_FALSE(loader->IsOpen());
    // Another description closes the connection made for the previous one.
    EXPECT_EQ(loader->GetRecordCount(), 100);
    auto other = ds->Clone();
    loader->SetDataSource(other.get());
    EXPECT_FALSE(loader->IsOpen());
}

TEST_P(DatabaseLoader, RangeModeOneShiftsTheOffsetAndNeverAsksForANegativeLimit)
{
    PREPARE();
    ds->m_nRangeMode = RangeFromTo;
    ds->m_nFrom = 11;
    ds->m_nTo = 45;
    EXPECT_EQ(loader->GetRecordCount(), 35);
    LoaderRow rows;
    ASSERT_TRUE(loader->LoadPage(2, 20, rows)); // records 31..45 of the table
    ASSERT_EQ(rows.RowCount(), 15);
    EXPECT_EQ(rows.Value(0, 0), "31");
    EXPECT_EQ(rows.Value(14, 0), "45");
    ASSERT_TRUE(loader->LoadPage(3, 20, rows)); // past "to": nothing, not the whole table
    EXPECT_EQ(rows.RowCount(), 0);
    ds->m_nTo = 5;
    EXPECT_EQ(loader->GetRecordCount(), 0);
    ASSERT_TRUE(loader->LoadPage(1, 20, rows));
    EXPECT_EQ(rows.RowCount(), 0);
}

TEST_P(DatabaseLoader, SqlModeGivesTheStatementsColumnsAndUnicode)
{
    PREPARE();
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = GetParam() == Kind::PostgreSQL ? "select \"City\", \"Id\" from \"People\" where \"Id\" <= 7"
                                                  : "select City, Id from People where Id <= 7";
    EXPECT_EQ(loader->GetRecordCount(), 7);
    LoaderRow rows;
    ASSERT_TRUE(loader->LoadRows(2, 4, rows)) << loader->GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3);
    ASSERT_EQ(rows.ColumnCount(), 2); // one element per result column
    QStringList cities;
    for (int r = 0; r < 3; ++r)
        cities.append(rows.Value(r, 0));
    cities.sort();
    EXPECT_EQ(cities, (QStringList{QStringLiteral("Zürich"), QStringLiteral("city 😀"), QStringLiteral("北京")}));
}

TEST_P(DatabaseLoader, FailuresCarryTheDatabaseMessage)
{
    PREPARE();
    ds->m_selectedFields = QStringList{"Id", "Nope"};
    LoaderRow rows;
    EXPECT_FALSE(loader->LoadPage(1, 10, rows));
    EXPECT_TRUE(loader->GetLastError().contains("Nope", Qt::CaseInsensitive)) << loader->GetLastError().toStdString();
    // In the program's words first, with the database's own text as the detail. A PostgreSQL
    // server already refuses to resolve the statement, which then does not run.
    const auto said = [&](const char* words) {
        const QString error = loader->GetLastError();
        if (GetParam() != Kind::PostgreSQL)
            return error.startsWith(QString::fromUtf8(words));
        return error.contains(QStringLiteral("的语句没有运行："))
            && error.contains(QStringLiteral("请检查表名、字段名和SQL语句。\n详细信息："));
    };
    EXPECT_TRUE(said("无法从数据源读取记录，请检查表名、字段名和SQL语句。\n详细信息："))
        << loader->GetLastError().toStdString();
    ds->m_strTable = "Missing";
    EXPECT_THROW(loader->GetRecordCount(), CDataSourceException);
    EXPECT_TRUE(said("无法统计数据源的记录数，请检查表名、字段名和SQL语句。\n详细信息："))
        << loader->GetLastError().toStdString();

    // A source that cannot be opened.
    if (auto* sqlite = dynamic_cast<CSQLiteDS*>(ds.get()))
        sqlite->m_strPath = s_dir->filePath("missing.db");
    else
        static_cast<CHostPortDS*>(ds.get())->m_strPassword = EncryptString("wrong");
    auto fresh = CDLBase::CreateLoader(ds->GetType());
    fresh->SetDataSource(ds.get());
    EXPECT_FALSE(fresh->LoadPage(1, 10, rows));
    if (GetParam() == Kind::PostgreSQL) // the server answered: its refusal leads, what to check follows
        EXPECT_TRUE(fresh->GetLastError().startsWith(QStringLiteral("PostgreSQL服务器拒绝了连接："))
                    && fresh->GetLastError().contains(QStringLiteral("\n请检查")))
            << fresh->GetLastError().toStdString();
    else
        EXPECT_TRUE(fresh->GetLastError().startsWith(QStringLiteral("无法")) && fresh->GetLastError().contains("，请检查")
                    && fresh->GetLastError().contains(QStringLiteral("\n详细信息：")))
            << fresh->GetLastError().toStdString();
    EXPECT_THROW(fresh->GetRecordCount(), CDataSourceException);
    EXPECT_FALSE(fresh->IsOpen());
    EXPECT_FALSE(QFile::exists(s_dir->filePath("missing.db")));
}

TEST(PostgreSQLLoader, QuotedNamesKeepTheirCase)
{
    VC_TEST_SERVER(server, "VC_PG");
    CPostgreSQLDS ds;
    StoreLogin(ds, server);
    CPostgreSQLDL loader;
    loader.SetDataSource(&ds);
    ds.m_strTable = "people"; // a different table from "People"
    ds.m_selectedFields = QStringList{"name"};
    EXPECT_EQ(loader.GetRecordCount(), 1);
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadPage(1, 10, rows));
    EXPECT_EQ(rows.Value(0, 0), "lower");
    ds.m_strTable = "People";
    ds.m_selectedFields = QStringList{"Name"};
    ds.m_strSortField = "Id";
    ASSERT_TRUE(loader.LoadPage(1, 1, rows)) << loader.GetLastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "name1");
    ds.m_selectedFields = QStringList{"name"}; // the case matters
    EXPECT_FALSE(loader.LoadPage(1, 1, rows));
}

INSTANTIATE_TEST_SUITE_P(Databases, DatabaseLoader,
                         ::testing::Values(Kind::SQLite, Kind::PostgreSQL, Kind::MySQL),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::SQLite       ? std::string("SQLite")
                                    : info.param == Kind::PostgreSQL ? std::string("PostgreSQL")
                                                                     : std::string("MySQL");
                         });

// Names that only work quoted, each in its database's own quotes: blanks, both quote
// characters, a reserved word. The table is made through the same quoting and must
// then be listed under its plain name, so a name that was mangled cannot pass.
TEST_P(DatabaseLoader, NamesNeedingQuotesAreQuoted)
{
    PREPARE();
    std::unique_ptr<DbConnection> db = GetParam() == Kind::SQLite
        ? nullptr
        : (GetParam() == Kind::PostgreSQL ? DbConnection::OpenPostgreSQL(*server) : DbConnection::OpenMySQL(*server));
    QTemporaryDir dir;
    if (GetParam() == Kind::SQLite) {
        const QString path = dir.filePath("odd.db");
        sqlite3* file = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &file), SQLITE_OK);
        sqlite3_close(file);
        static_cast<CSQLiteDS&>(*ds).m_strPath = path;
        db = DbConnection::OpenSQLite(path); // read-only: the writer below is the library's
        sqlite3_open(QFile::encodeName(path).constData(), &file);
        const CSqlStatements sql(DSSQLite);
        const QByteArray ddl = QStringLiteral("create table %1 (%2 integer, %3 text, %4 text);"
                                              "insert into %1 values (2, 'b', 'y'), (1, 'a', 'x'), (3, 'c', null);")
                                   .arg(sql.Name("odd \"t`able\""), sql.Name("select"), sql.Name("two words"),
                                       sql.Name("it's \"q\" `b`"))
                                   .toUtf8();
        ASSERT_EQ(sqlite3_exec(file, ddl.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(file);
    } else {
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        const CSqlStatements sql(ds->GetType());
        const bool postgres = GetParam() == Kind::PostgreSQL;
        const QString error = WriteOnTestServer(*server, postgres,
            QStringLiteral("drop table if exists %1; create table %1 (%2 integer, %3 varchar(10), %4 varchar(10)); "
                           "insert into %1 values (2, 'b', 'y'), (1, 'a', 'x'), (3, 'c', null)")
                .arg(sql.Name("odd \"t`able\""), sql.Name("select"), sql.Name("two words"),
                    sql.Name("it's \"q\" `b`")));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables));
    EXPECT_TRUE(tables.contains("odd \"t`able\"")) << tables.join(u'|').toStdString();
    QStringList fields;
    ASSERT_TRUE(db->ListFields("odd \"t`able\"", fields)) << db->LastError().toStdString();
    EXPECT_EQ(fields, (QStringList{"select", "two words", "it's \"q\" `b`"}));

    loader->Close();
    ds->m_strTable = "odd \"t`able\"";
    ds->m_selectedFields = QStringList{"it's \"q\" `b`", "select"};
    ds->m_strSortField = "select";
    ds->m_nSortOrder = 1;
    EXPECT_EQ(loader->GetRecordCount(), 3) << loader->GetLastError().toStdString();
    LoaderRow rows;
    ASSERT_TRUE(loader->LoadPage(1, 2, rows)) << loader->GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(rows.Row(0), (QStringList{"", "3"}));
    EXPECT_EQ(rows.Row(1), (QStringList{"y", "2"}));
    // A field the table does not have fails, never reads as its own name.
    ds->m_selectedFields = QStringList{"two  words"};
    EXPECT_FALSE(loader->LoadPage(1, 2, rows));
    if (GetParam() != Kind::SQLite) {
        db.reset(); // MariaDB waits for the reader's metadata lock before it drops
        loader->Close();
        WriteOnTestServer(*server, GetParam() == Kind::PostgreSQL,
            QStringLiteral("drop table %1").arg(CSqlStatements(ds->GetType()).Name("odd \"t`able\"")));
    }
}

// A print job reads page after page: one statement walks the rows, whatever page it is
// on; a count between pages, or a page before the last one read, starts another.
TEST_P(DatabaseLoader, SequentialLoadsWalkOneStatement)
{
    PREPARE();
    std::unique_ptr<CDLBase> counting;
    CountingConnection* const* connection = nullptr;
    switch (GetParam()) {
    case Kind::SQLite: {
        auto l = std::make_unique<CountingLoader<CSQLiteDL>>();
        connection = &l->connection;
        counting = std::move(l);
        break;
    }
    case Kind::PostgreSQL: {
        auto l = std::make_unique<CountingLoader<CPostgreSQLDL>>();
        connection = &l->connection;
        counting = std::move(l);
        break;
    }
    case Kind::MySQL: {
        auto l = std::make_unique<CountingLoader<CMySQLDL>>();
        connection = &l->connection;
        counting = std::move(l);
        break;
    }
    }
    counting->SetDataSource(ds.get());
    counting->SetSequentialLoads(true);
    ASSERT_EQ(counting->GetRecordCount(), 100) << counting->GetLastError().toStdString();
    LoaderRow rows;
    for (int page = 1; page <= 10; ++page) {
        ASSERT_TRUE(counting->LoadPage(page, 10, rows)) << counting->GetLastError().toStdString();
        ASSERT_EQ(rows.RowCount(), 10) << page;
        EXPECT_EQ(rows.Value(0, 0), QString::number(page * 10 - 9));
        EXPECT_EQ(rows.Value(9, 1), "name" + QString::number(page * 10));
        EXPECT_TRUE(rows.IsNull(9, 2)); // every tenth note is NULL
    }
    ASSERT_TRUE(counting->LoadPage(11, 10, rows));
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ((*connection)->cursors, 1);
    EXPECT_EQ((*connection)->queries, 1); // the count

    // Back to an earlier page, a count in between, and on again.
    ASSERT_TRUE(counting->LoadPage(3, 10, rows));
    EXPECT_EQ(rows.Value(0, 0), "21");
    EXPECT_EQ(counting->GetRecordCount(), 100);
    ASSERT_TRUE(counting->LoadPage(4, 10, rows)) << counting->GetLastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "31");
    ASSERT_TRUE(counting->LoadPage(6, 10, rows));
    EXPECT_EQ(rows.Value(0, 0), "51");
    EXPECT_EQ((*connection)->cursors, 3);

    // A job whose every record lies in the rows asked for (a small job's one page) reads them in
    // one statement, begins no walk; one page fewer walks again. So does a range of records.
    EXPECT_EQ(counting->GetRecordCount(), 100);
    const int queries = (*connection)->queries;
    ASSERT_TRUE(counting->LoadPages(1, 10, 10, rows)) << counting->GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 100);
    EXPECT_EQ(rows.Value(99, 1), "name100");
    EXPECT_TRUE(rows.IsNull(99, 2));
    EXPECT_EQ((*connection)->queries, queries + 1);
    EXPECT_EQ(counting->GetRecordCount(), 100);
    ASSERT_TRUE(counting->LoadPages(1, 10, 9, rows)) << counting->GetLastError().toStdString();
    EXPECT_EQ(rows.Value(89, 0), "90");
    EXPECT_EQ((*connection)->cursors, 4);
    ds->m_nRangeMode = RangeFromTo;
    ds->m_nFrom = 91;
    ds->m_nTo = 100;
    EXPECT_EQ(counting->GetRecordCount(), 10);
    ASSERT_TRUE(counting->LoadPage(1, 10, rows)) << counting->GetLastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "91");
    EXPECT_EQ(rows.Value(9, 0), "100");
    ASSERT_TRUE(counting->LoadPage(2, 10, rows));
    EXPECT_TRUE(rows.IsEmpty());
    EXPECT_EQ((*connection)->cursors, 4);
    ds->m_nRangeMode = RangeAll;

    // A failing statement says so in the program's words.
    ds->m_selectedFields = QStringList{"Id", "Nope"};
    EXPECT_FALSE(counting->LoadPage(1, 10, rows));
    EXPECT_TRUE(counting->GetLastError().contains("Nope", Qt::CaseInsensitive));
    EXPECT_TRUE(counting->GetLastError().startsWith(QStringLiteral("无法从数据源读取记录")));
}
