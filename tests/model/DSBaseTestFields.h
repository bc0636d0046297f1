#pragma once

#include "model/DSBase.h"
#include "model/DataSourceSection.h"
#include "platform/Archive.h"

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
        t->m_nSeparator = TextSeparatorCustom;
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

// Two descriptions are the same when they are of one class and store the same bytes.
inline void ExpectSameFields(const CDSBase& a, const CDSBase& b)
{
    const auto stored = [](const CDSBase& ds) {
        CArchiveWriter w;
        WriteDataSource(w, ds);
        return w.Data().toHex();
    };
    EXPECT_EQ(typeid(a), typeid(b));
    EXPECT_EQ(stored(a), stored(b));
}
