#include "TestSupport.h"
#include "DSBaseTestFields.h"
#include "model/DSBase.h"

#include <gtest/gtest.h>

TEST(DSBase, EveryTypeStartsWithItsDefaults)
{
    for (int32_t type = 0; type < kDataSourceTypeCount; ++type) {
        std::unique_ptr<CDSBase> ds = CDSBase::Create(type);
        ASSERT_TRUE(ds) << type;
        EXPECT_EQ(ds->GetType(), type);
        EXPECT_TRUE(ds->m_strName.isEmpty());
        EXPECT_EQ(ds->m_nSortOrder, 0);
        EXPECT_EQ(ds->m_nRangeMode, RangeAll);
        EXPECT_EQ(ds->m_nFrom, 1);
        EXPECT_EQ(ds->m_nTo, 100);
        EXPECT_TRUE(ds->m_selectedFields.isEmpty());
        EXPECT_TRUE(ds->m_sampleValues.isEmpty());
    }
    EXPECT_FALSE(CDSBase::Create(13));
    EXPECT_FALSE(CDSBase::Create(-1));

    EXPECT_EQ(CPostgreSQLDS().m_nPort, 5432);
    EXPECT_EQ(CMySQLDS().m_nPort, 3306);
    EXPECT_EQ(CDB2DS().m_nPort, 50000);
    EXPECT_EQ(COracleDS().m_nPort, 1521);
    EXPECT_EQ(CTextDS().m_nSeparator, TextSeparatorComma);
    EXPECT_FALSE(CTextDS().m_bHeaderRow);
    EXPECT_EQ(CSQLiteDS().m_nVersion, 0);
}

TEST(DSBase, CopyFromReplacesBothListsInsteadOfAppending)
{
    CTextDS source;
    source.m_selectedFields = {"a", "b"};
    source.m_sampleValues = {"1", "2"};
    CTextDS target;
    target.m_selectedFields = {"x", "y", "z"};
    target.m_sampleValues = {"9"};
    target.CopyFrom(source);
    EXPECT_EQ(target.m_selectedFields, QStringList({"a", "b"}));
    EXPECT_EQ(target.m_sampleValues, QStringList({"1", "2"}));

    target.CopyFrom(target); // self-copy keeps everything
    EXPECT_EQ(target.m_selectedFields, QStringList({"a", "b"}));
}

TEST(DSBase, CloneCopiesEveryFieldOfEveryType)
{
    // OLE DB and ODBC included: the data-source manager clones the whole list.
    for (int32_t type = 0; type < kDataSourceTypeCount; ++type) {
        std::unique_ptr<CDSBase> ds = CDSBase::Create(type);
        FillEveryField(*ds);
        std::unique_ptr<CDSBase> copy = ds->Clone();
        ASSERT_TRUE(copy) << type;
        ExpectSameFields(*ds, *copy);
    }
}

TEST(DSBase, HostPortFieldsDoNotCrossBetweenServerKinds)
{
    CPostgreSQLDS pg;
    pg.m_nPort = 1;
    pg.m_strName = "n";
    CMySQLDS my;
    my.CopyFrom(pg); // another class: the shared fields only
    EXPECT_EQ(my.m_strName, "n");
    EXPECT_EQ(my.m_nPort, 3306);
    EXPECT_EQ(my.GetType(), DSMySQL);
}

TEST(DSBase, OldFileFormatsAreRecognisedByTheirLastFourCharacters)
{
    CExcelDS x;
    for (const char* path : {"a.xls", "A.XLS", "dir/b.Xls"}) {
        x.m_strPath = path;
        EXPECT_TRUE(x.IsXlsFile()) << path;
    }
    for (const char* path : {"a.xlsx", "xls", "", "a.xl"}) {
        x.m_strPath = path;
        EXPECT_FALSE(x.IsXlsFile()) << path;
    }
    CAccessDS a;
    a.m_strPath = "db.MDB";
    EXPECT_TRUE(a.IsMdbFile());
    a.m_strPath = "db.accdb";
    EXPECT_FALSE(a.IsMdbFile());

    EXPECT_TRUE(IsNoSortField(""));
    EXPECT_TRUE(IsNoSortField(QStringLiteral(u"默认")));
    EXPECT_FALSE(IsNoSortField("id"));
}
