// A procedure call is counted by reading its rows: a read stopped at its time limit says
// so in its own words, not as a statement the user should check.
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/VXException.h"
#include "platform/db/DbWait.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

TEST(ProcedureCount, AStoppedCountShowsItsOwnMessageAndACountThatEndsCounts)
{
    VC_TEST_SERVER(server, "VC_MY");
    const QString suffix = QString::number(QCoreApplication::applicationPid());
    const QString written = WriteOnTestServer(server, false,
        QStringLiteral("drop procedure if exists vc_slow_count_%1; drop procedure if exists vc_two_rows_%1;\n"
                       "create procedure vc_slow_count_%1() select sleep(4) as s;\n"
                       "create procedure vc_two_rows_%1() select 1 as n union all select 2;")
            .arg(suffix));
    ASSERT_TRUE(written.isEmpty()) << written.toStdString();

    CMySQLDS ds;
    StoreLogin(ds, server);
    ds.m_nRangeMode = RangeSQL;
    ds.m_selectedFields = QStringList {"n"};
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSMySQL);
    loader->SetDataSource(&ds);

    ds.m_strSQL = QStringLiteral("call vc_two_rows_%1()").arg(suffix);
    EXPECT_EQ(loader->GetRecordCount(), 2) << loader->GetLastError().toStdString();
    loader->Close();

    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.statementMs = 1000;
    SetDbLimits(limits);
    ds.m_strSQL = QStringLiteral("call vc_slow_count_%1()").arg(suffix);
    QString message;
    try {
        loader->GetRecordCount();
    } catch (const CDataSourceException& e) {
        message = e.GetMessage();
    }
    loader->Close();
    SetDbLimits(saved);
    EXPECT_TRUE(message.endsWith(QStringLiteral("的记录超过了 1 秒的时限，已停止。"))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("无法统计"))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("interrupted"), Qt::CaseInsensitive)) << message.toStdString();

    WriteOnTestServer(server, false,
        QStringLiteral("drop procedure vc_slow_count_%1; drop procedure vc_two_rows_%1;").arg(suffix));
}
