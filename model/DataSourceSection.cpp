#include "model/DataSourceSection.h"

#include "model/DSBase.h"
#include "model/LabelData.h"
#include "platform/Archive.h"
#include "platform/VXException.h"

#include <type_traits>

namespace {

// The shortest string is one byte (the 8-bit form of an empty text).
constexpr qsizetype kMinSectionStringBytes = 1;
// Type, three strings, four integers, a string and two counts.
constexpr qsizetype kMinRecordBytes = 4 + 3 * kMinSectionStringBytes + 4 * 4 + kMinSectionStringBytes + 2 * 4;

// Reading and writing walk the same field list below, so the two directions cannot
// drift apart.
struct FieldWriter
{
    CArchiveWriter& ar;
    void Str(const QString& s) { ar.WriteString(s); }
    void Int(int32_t n) { ar.WriteI32(n); }
    void Flag(bool b) { ar.WriteBool(b); }
    void List(const QStringList& list)
    {
        ar.WriteU32(static_cast<uint32_t>(list.size()));
        for (const QString& s : list)
            ar.WriteString(s);
    }
};

struct FieldReader
{
    CArchiveReader& ar;
    void Str(QString& s) { s = ar.ReadString(); }
    void Int(int32_t& n) { n = ar.ReadI32(); }
    void Flag(bool& b) { b = ar.ReadBool(); }
    void List(QStringList& list)
    {
        const uint32_t n = ar.ReadCount(kMinSectionStringBytes);
        list.reserve(list.size() + static_cast<qsizetype>(n));
        for (uint32_t i = 0; i < n; ++i)
            list.append(ar.ReadString());
    }
};

// The type code fixes the class: each constructor sets it and nothing changes it.
template <typename T, typename DS>
auto* As(DS& ds)
{
    return static_cast<std::conditional_t<std::is_const_v<DS>, const T*, T*>>(&ds);
}

// Every field of a record after its type code. DS is CDSBase or const CDSBase.
template <typename IO, typename DS>
void Fields(IO& io, DS& ds)
{
    io.Str(ds.m_strName);
    io.Str(ds.m_strTable);
    io.Str(ds.m_strSortField);
    io.Int(ds.m_nSortOrder);
    io.Int(ds.m_nRangeMode);
    io.Int(ds.m_nFrom);
    io.Int(ds.m_nTo);
    io.Str(ds.m_strSQL);
    io.List(ds.m_selectedFields);
    io.List(ds.m_sampleValues);

    switch (ds.GetType()) {
    case DSText: {
        auto* t = As<CTextDS>(ds);
        io.Str(t->m_strPath);
        io.Int(t->m_nSeparator);
        io.Str(t->m_strOtherSeparator);
        io.Str(t->m_strCustomSegments);
        io.Flag(t->m_bHeaderRow);
        io.Int(t->m_nReserved);
        break;
    }
    case DSExcel: {
        auto* x = As<CExcelDS>(ds);
        io.Str(x->m_strPath);
        io.Str(x->m_strReserved);
        io.Flag(x->m_bHeaderRow);
        break;
    }
    case DSAccess: {
        auto* a = As<CAccessDS>(ds);
        io.Str(a->m_strPath);
        io.Str(a->m_strPassword);
        break;
    }
    case DSSQLite: {
        auto* s = As<CSQLiteDS>(ds);
        io.Str(s->m_strPath);
        io.Int(s->m_nVersion);
        break;
    }
    case DSPostgreSQL:
    case DSMySQL:
    case DSDB2: {
        auto* h = As<CHostPortDS>(ds);
        io.Str(h->m_strHost);
        io.Int(h->m_nPort);
        io.Str(h->m_strDatabase);
        io.Str(h->m_strUser);
        io.Str(h->m_strPassword);
        break;
    }
    case DSSQLServer:
    case DSSybase: {
        auto* v = As<CServerDS>(ds);
        io.Str(v->m_strServer);
        io.Str(v->m_strDatabase);
        io.Str(v->m_strUser);
        io.Str(v->m_strPassword);
        break;
    }
    case DSOracle: {
        auto* o = As<COracleDS>(ds);
        io.Int(o->m_nConnectionType);
        io.Int(o->m_nReserved);
        io.Str(o->m_strHost);
        io.Int(o->m_nPort);
        io.Int(o->m_nNameKind);
        io.Str(o->m_strServiceName);
        io.Str(o->m_strUser);
        io.Str(o->m_strPassword);
        break;
    }
    case DSCustom:
        io.Str(As<CCustomDS>(ds)->m_strConnectionString);
        break;
    default: // OLE DB and ODBC: the common block only
        break;
    }
}

} // namespace

void WriteDataSource(CArchiveWriter& ar, const CDSBase& ds)
{
    FieldWriter io{ar};
    ar.WriteI32(ds.GetType());
    Fields(io, ds);
}

void WriteDataSources(CArchiveWriter& ar, const CLabelData& label)
{
    ar.WriteU32(static_cast<uint32_t>(label.m_dataSources.size()));
    for (const std::unique_ptr<CDSBase>& ds : label.m_dataSources)
        WriteDataSource(ar, *ds);
}

void ReadDataSources(CArchiveReader& ar, CLabelData& label)
{
    FieldReader io{ar};
    const uint32_t count = ar.ReadCount(kMinRecordBytes);
    for (uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<CDSBase> ds = CDSBase::Create(ar.ReadI32());
        if (!ds)
            throw CArchiveException(QStringLiteral("The file holds a data source of an unknown kind."));
        Fields(io, *ds);
        label.m_dataSources.push_back(std::move(ds));
    }
}
