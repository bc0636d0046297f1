#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/SourceApproval.h"
#include "platform/Crypt.h"
#include "platform/VXException.h"
#include "platform/db/DbWait.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Nobody to ask for the duration: what a run without a window meets.
class NoApprover
{
public:
    NoApprover() : m_outer(InstallSourceApprover(nullptr)) {}
    ~NoApprover() { InstallSourceApprover(m_outer); }

private:
    CSourceApprover* m_outer;
};

std::unique_ptr<CPostgreSQLDS> SourceOn(int port)
{
    auto ds = std::make_unique<CPostgreSQLDS>();
    ds->m_strName = QStringLiteral("别处");
    StoreLogin(*ds, {QStringLiteral("127.0.0.1"), port, QStringLiteral("db"), QStringLiteral("u"), QStringLiteral("p")});
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = QStringLiteral("select 1 as a");
    ds->m_selectedFields = {QStringLiteral("a")};
    return ds;
}

TEST(SourceApproval, WithNobodyToAskAnUnapprovedSourceIsRefusedBeforeItConnects)
{
    const NoApprover none;
    KnockListener listener;
    const std::unique_ptr<CPostgreSQLDS> ds = SourceOn(listener.Port());
    ds->m_strSQL = QStringLiteral("select 2 as a"); // a key no other test approved
    const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSPostgreSQL);
    loader->SetDataSource(ds.get());
    try {
        loader->GetRecordCount();
        ADD_FAILURE() << "counted an unapproved source";
    } catch (const CDataSourceException& e) {
        const QString text = QString::fromStdString(e.what());
        EXPECT_TRUE(text.contains(QStringLiteral("数据源“别处”要用您的登录连接数据库，但还没有得到您的允许")))
            << e.what();
        EXPECT_TRUE(text.contains(QStringLiteral("选择“允许”"))) << e.what();
    }
    DbRows rows;
    EXPECT_FALSE(loader->LoadRows(1, 5, rows));
    EXPECT_FALSE(listener.Knocked());

    // Approved through the store the question writes, it connects (and, nothing answering,
    // gives up at a short limit).
    ApproveSource(*ds);
    const DbLimits saved = GetDbLimits();
    DbLimits shortConnect = saved;
    shortConnect.connectMs = 300;
    SetDbLimits(shortConnect);
    EXPECT_FALSE(loader->LoadRows(1, 5, rows));
    SetDbLimits(saved);
    EXPECT_TRUE(listener.Knocked(0));
}

TEST(SourceApproval, OnlySourcesThatReachAServerAreAsked)
{
    for (int32_t type : {DSPostgreSQL, DSMySQL, DSSQLServer, DSOracle, DSSybase, DSDB2})
        EXPECT_TRUE(SourceNeedsApproval(*CDSBase::Create(type))) << type;
    for (int32_t type : {DSText, DSExcel, DSAccess, DSSQLite})
        EXPECT_FALSE(SourceNeedsApproval(*CDSBase::Create(type))) << type;

    QTemporaryDir dir;
    const QString file = dir.filePath("local.sqlite");
    ASSERT_TRUE(WriteSQLiteFile(file, "create table t(a);"));
    const struct
    {
        QString string;
        bool asked;
    } cases[] = {
        {QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=d;UID=u;PWD=p"), true},
        {QStringLiteral("Driver={MariaDB Unicode};Server=127.0.0.1;Database=d;UID=u"), true},
        {QStringLiteral("DSN=nowhere-registered"), false}, // refused before anything connects
        {QStringLiteral("Driver=SQLite3;Database=") + file, false},
        {QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + dir.filePath("a.xlsx")
                + QStringLiteral(";Extended Properties=\"Excel 12.0;HDR=Yes\""),
            false},
    };
    for (const auto& c : cases) {
        CCustomDS custom;
        custom.m_strConnectionString = EncryptString(c.string);
        EXPECT_EQ(SourceNeedsApproval(custom), c.asked) << c.string.toStdString();
    }
}

TEST(SourceApproval, TheKeyFollowsWhatConnectsAndWhatRunsButNotThePassword)
{
    const std::unique_ptr<CPostgreSQLDS> a = SourceOn(5432);
    const QString key = SourceApprovalKey(*a);
    const auto changed = [&](auto change) {
        std::unique_ptr<CDSBase> b = a->Clone();
        change(static_cast<CPostgreSQLDS&>(*b));
        return SourceApprovalKey(*b) != key;
    };
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strHost = EncryptString(QStringLiteral("10.0.0.1")); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_nPort = 5433; }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strDatabase = EncryptString(QStringLiteral("postgres")); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strUser = EncryptString(QStringLiteral("postgres")); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_strSQL += QStringLiteral(" union select 2"); }));
    EXPECT_TRUE(changed([](CPostgreSQLDS& b) { b.m_nRangeMode = RangeAll; }));
    EXPECT_FALSE(changed([](CPostgreSQLDS& b) { b.m_strPassword = EncryptString(QStringLiteral("x")); }));
    EXPECT_FALSE(changed([](CPostgreSQLDS& b) { b.m_strName = QStringLiteral("改名"); }));
    // Another kind on the same fields is another source.
    CMySQLDS mysql;
    mysql.CopyFrom(*a);
    EXPECT_NE(SourceApprovalKey(mysql), key);
    // A connection string's password is not kept either, in whatever spelling.
    CCustomDS one;
    one.m_strConnectionString = EncryptString(QStringLiteral("Driver={PostgreSQL Unicode};Server=h;PWD=1"));
    CCustomDS two;
    two.m_strConnectionString = EncryptString(QStringLiteral("Driver={PostgreSQL Unicode};Server=h;Password=2"));
    EXPECT_EQ(SourceApprovalKey(one), SourceApprovalKey(two));
}

} // namespace
