#include "model/DSBase.h"

#include "model/DataSourceTypes.h"

std::unique_ptr<CDSBase> CDSBase::Create(int32_t type)
{
    const DataSourceTypeInfo* info = FindDataSourceType(type);
    return info ? info->makeDescription() : nullptr;
}

// Every class can be cloned, the field-less OLE DB and ODBC ones included: the
// data-source manager clones the whole list before editing and must not lose one.
std::unique_ptr<CDSBase> CDSBase::Clone() const
{
    std::unique_ptr<CDSBase> copy = Create(m_nType);
    if (copy)
        copy->CopyFrom(*this);
    return copy;
}

void CDSBase::CopyFrom(const CDSBase& source)
{
    if (&source == this)
        return;
    m_strName = source.m_strName;
    m_strTable = source.m_strTable;
    m_strSortField = source.m_strSortField;
    m_nSortOrder = source.m_nSortOrder;
    m_nRangeMode = source.m_nRangeMode;
    m_nFrom = source.m_nFrom;
    m_nTo = source.m_nTo;
    m_strSQL = source.m_strSQL;
    m_selectedFields = source.m_selectedFields;
    m_sampleValues = source.m_sampleValues;
}

bool IsNoSortField(const QString& field)
{
    return field.isEmpty() || field == QStringLiteral(u"默认");
}

namespace {

// Whether the last four characters of the path, upper-cased, are the extension.
bool HasExtension4(const QString& path, QStringView upperExtension)
{
    return path.size() >= 4 && path.right(4).toUpper() == upperExtension;
}

} // namespace

void CTextDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    if (const auto* other = dynamic_cast<const CTextDS*>(&source)) {
        m_strPath = other->m_strPath;
        m_nSeparator = other->m_nSeparator;
        m_strOtherSeparator = other->m_strOtherSeparator;
        m_strCustomSegments = other->m_strCustomSegments;
        m_bHeaderRow = other->m_bHeaderRow;
        m_nReserved = other->m_nReserved;
    }
}

void CExcelDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    if (const auto* other = dynamic_cast<const CExcelDS*>(&source)) {
        m_strPath = other->m_strPath;
        m_strReserved = other->m_strReserved;
        m_bHeaderRow = other->m_bHeaderRow;
    }
}

bool CExcelDS::IsXlsFile() const
{
    return HasExtension4(m_strPath, u".XLS");
}

void CAccessDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    if (const auto* other = dynamic_cast<const CAccessDS*>(&source)) {
        m_strPath = other->m_strPath;
        m_strPassword = other->m_strPassword;
    }
}

bool CAccessDS::IsMdbFile() const
{
    return HasExtension4(m_strPath, u".MDB");
}

void CSQLiteDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    if (const auto* other = dynamic_cast<const CSQLiteDS*>(&source)) {
        m_strPath = other->m_strPath;
        m_nVersion = other->m_nVersion;
    }
}

void CHostPortDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    const auto* other = dynamic_cast<const CHostPortDS*>(&source);
    if (other && other->GetType() == GetType()) {
        m_strHost = other->m_strHost;
        m_nPort = other->m_nPort;
        m_strDatabase = other->m_strDatabase;
        m_strUser = other->m_strUser;
        m_strPassword = other->m_strPassword;
    }
}

void CServerDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    const auto* other = dynamic_cast<const CServerDS*>(&source);
    if (other && other->GetType() == GetType()) {
        m_strServer = other->m_strServer;
        m_strDatabase = other->m_strDatabase;
        m_strUser = other->m_strUser;
        m_strPassword = other->m_strPassword;
    }
}

void COracleDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    if (const auto* other = dynamic_cast<const COracleDS*>(&source)) {
        m_nConnectionType = other->m_nConnectionType;
        m_nReserved = other->m_nReserved;
        m_strHost = other->m_strHost;
        m_nPort = other->m_nPort;
        m_nNameKind = other->m_nNameKind;
        m_strServiceName = other->m_strServiceName;
        m_strUser = other->m_strUser;
        m_strPassword = other->m_strPassword;
    }
}

void CCustomDS::CopyFrom(const CDSBase& source)
{
    CDSBase::CopyFrom(source);
    if (const auto* other = dynamic_cast<const CCustomDS*>(&source))
        m_strConnectionString = other->m_strConnectionString;
}
