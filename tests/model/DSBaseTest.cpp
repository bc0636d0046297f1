#include "TestSupport.h"
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
    EXPECT_EQ(CTextDS().m_nSeparator, SeparatorComma);
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
    // Every field differs from its default, so a field the copy misses shows.
    for (int32_t type = 0; type < kDataSourceTypeCount; ++type) {
        std::unique_ptr<CDSBase> ds = CDSBase::Create(type);
        ds->m_strName = QStringLiteral(u"名称%1").arg(type);
        ds->m_strTable = "t";
        ds->m_strSortField = "f";
        ds->m_nSortOrder = 1;
        ds->m_nRangeMode = RangeSQL;
        ds->m_nFrom = 3;
        ds->m_nTo = 7;
        ds->m_strSQL = "select 1";
        ds->m_selectedFields = {"f1", "f2"};
        ds->m_sampleValues = {"v1", "v2"};
        if (auto* t = dynamic_cast<CTextDS*>(ds.get())) {
            t->m_strPath = "p";
            t->m_nSeparator = SeparatorCustom;
            t->m_strOtherSeparator = "|";
            t->m_strCustomSegments = "1,2";
            t->m_bHeaderRow = true;
            t->m_nReserved = 4;
        } else if (auto* x = dynamic_cast<CExcelDS*>(ds.get())) {
            x->m_strPath = "p.xls";
            x->m_strReserved = "r";
            x->m_bHeaderRow = true;
        } else if (auto* a = dynamic_cast<CAccessDS*>(ds.get())) {
            a->m_strPath = "p.mdb";
            a->m_strPassword = "ab";
        } else if (auto* s = dynamic_cast<CSQLiteDS*>(ds.get())) {
            s->m_strPath = "p.db";
            s->m_nVersion = 1;
        } else if (auto* h = dynamic_cast<CHostPortDS*>(ds.get())) {
            h->m_strHost = "01";
            h->m_nPort = 1;
            h->m_strDatabase = "02";
            h->m_strUser = "03";
            h->m_strPassword = "04";
        } else if (auto* v = dynamic_cast<CServerDS*>(ds.get())) {
            v->m_strServer = "01";
            v->m_strDatabase = "02";
            v->m_strUser = "03";
            v->m_strPassword = "04";
        } else if (auto* o = dynamic_cast<COracleDS*>(ds.get())) {
            o->m_nConnectionType = 1;
            o->m_nReserved = 2;
            o->m_strHost = "01";
            o->m_nPort = 3;
            o->m_nNameKind = 1;
            o->m_strServiceName = "orcl";
            o->m_strUser = "03";
            o->m_strPassword = "04";
        } else if (auto* c = dynamic_cast<CCustomDS*>(ds.get())) {
            c->m_strConnectionString = "0a0b";
        }

        std::unique_ptr<CDSBase> copy = ds->Clone();
        ASSERT_TRUE(copy) << type;
        EXPECT_EQ(typeid(*copy), typeid(*ds)) << type;
        EXPECT_EQ(copy->m_strName, ds->m_strName);
        EXPECT_EQ(copy->m_strTable, "t");
        EXPECT_EQ(copy->m_strSortField, "f");
        EXPECT_EQ(copy->m_nSortOrder, 1);
        EXPECT_EQ(copy->m_nRangeMode, RangeSQL);
        EXPECT_EQ(copy->m_nFrom, 3);
        EXPECT_EQ(copy->m_nTo, 7);
        EXPECT_EQ(copy->m_strSQL, "select 1");
        EXPECT_EQ(copy->m_selectedFields, ds->m_selectedFields);
        EXPECT_EQ(copy->m_sampleValues, ds->m_sampleValues);
        if (auto* t = dynamic_cast<CTextDS*>(copy.get())) {
            EXPECT_EQ(t->m_strPath, "p");
            EXPECT_EQ(t->m_nSeparator, SeparatorCustom);
            EXPECT_EQ(t->m_strOtherSeparator, "|");
            EXPECT_EQ(t->m_strCustomSegments, "1,2");
            EXPECT_TRUE(t->m_bHeaderRow);
            EXPECT_EQ(t->m_nReserved, 4);
        } else if (auto* x = dynamic_cast<CExcelDS*>(copy.get())) {
            EXPECT_EQ(x->m_strPath, "p.xls");
            EXPECT_EQ(x->m_strReserved, "r");
            EXPECT_TRUE(x->m_bHeaderRow);
        } else if (auto* a = dynamic_cast<CAccessDS*>(copy.get())) {
            EXPECT_EQ(a->m_strPath, "p.mdb");
            EXPECT_EQ(a->m_strPassword, "ab");
        } else if (auto* s = dynamic_cast<CSQLiteDS*>(copy.get())) {
            EXPECT_EQ(s->m_strPath, "p.db");
            EXPECT_EQ(s->m_nVersion, 1);
        } else if (auto* h = dynamic_cast<CHostPortDS*>(copy.get())) {
            EXPECT_EQ(h->m_strHost, "01");
            EXPECT_EQ(h->m_nPort, 1);
            EXPECT_EQ(h->m_strDatabase, "02");
            EXPECT_EQ(h->m_strUser, "03");
            EXPECT_EQ(h->m_strPassword, "04");
        } else if (auto* v = dynamic_cast<CServerDS*>(copy.get())) {
            EXPECT_EQ(v->m_strServer, "01");
            EXPECT_EQ(v->m_strDatabase, "02");
            EXPECT_EQ(v->m_strUser, "03");
            EXPECT_EQ(v->m_strPassword, "04");
        } else if (auto* o = dynamic_cast<COracleDS*>(copy.get())) {
            EXPECT_EQ(o->m_nConnectionType, 1);
            EXPECT_EQ(o->m_nReserved, 2);
            EXPECT_EQ(o->m_strHost, "01");
            EXPECT_EQ(o->m_nPort, 3);
            EXPECT_EQ(o->m_nNameKind, 1);
            EXPECT_EQ(o->m_strServiceName, "orcl");
            EXPECT_EQ(o->m_strUser, "03");
            EXPECT_EQ(o->m_strPassword, "04");
        } else if (auto* c = dynamic_cast<CCustomDS*>(copy.get())) {
            EXPECT_EQ(c->m_strConnectionString, "0a0b");
        }
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
