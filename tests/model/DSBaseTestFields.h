#pragma once

#include "model/DSBase.h"

#include <gtest/gtest.h>

// Sets every field of a description to a value that differs from its default, so a
// field that a copy or a file round trip misses shows.
inline void FillEveryField(CDSBase& ds)
{
    ds.m_strName = QStringLiteral(u"名称%1").arg(ds.GetType());
    ds.m_strTable = "t";
    ds.m_strSortField = QStringLiteral(u"默认");
    ds.m_nSortOrder = 1;
    ds.m_nRangeMode = RangeSQL;
    ds.m_nFrom = 3;
    ds.m_nTo = 7;
    ds.m_strSQL = "select 1";
    ds.m_selectedFields = {"f1", QStringLiteral(u"字段")};
    ds.m_sampleValues = {"v1", ""};
    if (auto* t = dynamic_cast<CTextDS*>(&ds)) {
        t->m_strPath = "p.txt";
        t->m_nSeparator = SeparatorCustom;
        t->m_strOtherSeparator = "|";
        t->m_strCustomSegments = "1,2";
        t->m_bHeaderRow = true;
        t->m_nReserved = 4;
    } else if (auto* x = dynamic_cast<CExcelDS*>(&ds)) {
        x->m_strPath = "p.xls";
        x->m_strReserved = "r";
        x->m_bHeaderRow = true;
    } else if (auto* a = dynamic_cast<CAccessDS*>(&ds)) {
        a->m_strPath = "p.mdb";
        a->m_strPassword = "0a";
    } else if (auto* s = dynamic_cast<CSQLiteDS*>(&ds)) {
        s->m_strPath = "p.db";
        s->m_nVersion = 1;
    } else if (auto* h = dynamic_cast<CHostPortDS*>(&ds)) {
        h->m_strHost = "01";
        h->m_nPort = 1;
        h->m_strDatabase = "02";
        h->m_strUser = "03";
        h->m_strPassword = "04";
    } else if (auto* v = dynamic_cast<CServerDS*>(&ds)) {
        v->m_strServer = "01";
        v->m_strDatabase = "02";
        v->m_strUser = "03";
        v->m_strPassword = "04";
    } else if (auto* o = dynamic_cast<COracleDS*>(&ds)) {
        o->m_nConnectionType = 1;
        o->m_nReserved = 2;
        o->m_strHost = "01";
        o->m_nPort = 3;
        o->m_nNameKind = 1;
        o->m_strServiceName = "orcl";
        o->m_strUser = "03";
        o->m_strPassword = "04";
    } else if (auto* c = dynamic_cast<CCustomDS*>(&ds)) {
        c->m_strConnectionString = "0a0b";
    }
}

inline void ExpectSameFields(const CDSBase& a, const CDSBase& b)
{
    SCOPED_TRACE(a.GetType());
    ASSERT_EQ(typeid(a), typeid(b));
    EXPECT_EQ(a.GetType(), b.GetType());
    EXPECT_EQ(a.m_strName, b.m_strName);
    EXPECT_EQ(a.m_strTable, b.m_strTable);
    EXPECT_EQ(a.m_strSortField, b.m_strSortField);
    EXPECT_EQ(a.m_nSortOrder, b.m_nSortOrder);
    EXPECT_EQ(a.m_nRangeMode, b.m_nRangeMode);
    EXPECT_EQ(a.m_nFrom, b.m_nFrom);
    EXPECT_EQ(a.m_nTo, b.m_nTo);
    EXPECT_EQ(a.m_strSQL, b.m_strSQL);
    EXPECT_EQ(a.m_selectedFields, b.m_selectedFields);
    EXPECT_EQ(a.m_sampleValues, b.m_sampleValues);
    if (auto* t = dynamic_cast<const CTextDS*>(&a)) {
        auto* u = dynamic_cast<const CTextDS*>(&b);
        EXPECT_EQ(t->m_strPath, u->m_strPath);
        EXPECT_EQ(t->m_nSeparator, u->m_nSeparator);
        EXPECT_EQ(t->m_strOtherSeparator, u->m_strOtherSeparator);
        EXPECT_EQ(t->m_strCustomSegments, u->m_strCustomSegments);
        EXPECT_EQ(t->m_bHeaderRow, u->m_bHeaderRow);
        EXPECT_EQ(t->m_nReserved, u->m_nReserved);
    } else if (auto* x = dynamic_cast<const CExcelDS*>(&a)) {
        auto* y = dynamic_cast<const CExcelDS*>(&b);
        EXPECT_EQ(x->m_strPath, y->m_strPath);
        EXPECT_EQ(x->m_strReserved, y->m_strReserved);
        EXPECT_EQ(x->m_bHeaderRow, y->m_bHeaderRow);
    } else if (auto* p = dynamic_cast<const CAccessDS*>(&a)) {
        auto* q = dynamic_cast<const CAccessDS*>(&b);
        EXPECT_EQ(p->m_strPath, q->m_strPath);
        EXPECT_EQ(p->m_strPassword, q->m_strPassword);
    } else if (auto* s = dynamic_cast<const CSQLiteDS*>(&a)) {
        auto* r = dynamic_cast<const CSQLiteDS*>(&b);
        EXPECT_EQ(s->m_strPath, r->m_strPath);
        EXPECT_EQ(s->m_nVersion, r->m_nVersion);
    } else if (auto* h = dynamic_cast<const CHostPortDS*>(&a)) {
        auto* k = dynamic_cast<const CHostPortDS*>(&b);
        EXPECT_EQ(h->m_strHost, k->m_strHost);
        EXPECT_EQ(h->m_nPort, k->m_nPort);
        EXPECT_EQ(h->m_strDatabase, k->m_strDatabase);
        EXPECT_EQ(h->m_strUser, k->m_strUser);
        EXPECT_EQ(h->m_strPassword, k->m_strPassword);
    } else if (auto* v = dynamic_cast<const CServerDS*>(&a)) {
        auto* w = dynamic_cast<const CServerDS*>(&b);
        EXPECT_EQ(v->m_strServer, w->m_strServer);
        EXPECT_EQ(v->m_strDatabase, w->m_strDatabase);
        EXPECT_EQ(v->m_strUser, w->m_strUser);
        EXPECT_EQ(v->m_strPassword, w->m_strPassword);
    } else if (auto* o = dynamic_cast<const COracleDS*>(&a)) {
        auto* n = dynamic_cast<const COracleDS*>(&b);
        EXPECT_EQ(o->m_nConnectionType, n->m_nConnectionType);
        EXPECT_EQ(o->m_nReserved, n->m_nReserved);
        EXPECT_EQ(o->m_strHost, n->m_strHost);
        EXPECT_EQ(o->m_nPort, n->m_nPort);
        EXPECT_EQ(o->m_nNameKind, n->m_nNameKind);
        EXPECT_EQ(o->m_strServiceName, n->m_strServiceName);
        EXPECT_EQ(o->m_strUser, n->m_strUser);
        EXPECT_EQ(o->m_strPassword, n->m_strPassword);
    } else if (auto* c = dynamic_cast<const CCustomDS*>(&a)) {
        EXPECT_EQ(c->m_strConnectionString, dynamic_cast<const CCustomDS*>(&b)->m_strConnectionString);
    }
}
