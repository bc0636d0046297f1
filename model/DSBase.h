#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// Kind of a data source; the code is stored in label files.
enum DataSourceType : int32_t {
    DSText = 0,
    DSExcel = 1,
    DSAccess = 2,
    DSSQLite = 3,
    DSPostgreSQL = 4,
    DSMySQL = 5,
    DSSQLServer = 6,
    DSOracle = 7,
    DSSybase = 8,
    DSDB2 = 9,
    DSOLEDB = 10,
    DSODBC = 11,
    DSCustom = 12,
};
constexpr int32_t kDataSourceTypeCount = 13;

// Which records of the table a label uses.
enum RecordRangeMode : int32_t {
    RangeAll = 0,
    RangeFromTo = 1, // m_nFrom..m_nTo, 1-based, inclusive
    RangeSQL = 2,    // the user's statement
};

// How a line of a text data file is cut into fields.
enum TextSeparatorKind : int32_t {
    TextSeparatorNone = 0, // the whole line is one field
    TextSeparatorComma = 1,
    TextSeparatorSpace = 2,
    TextSeparatorTab = 3,
    TextSeparatorBackslash = 4,
    TextSeparatorSlash = 5,
    TextSeparatorOther = 6,  // the first character of m_strOtherSeparator
    TextSeparatorCustom = 7, // m_strCustomSegments, such as "1,2,3,4"
};

// What a data source is and which part of it a label uses. A description holds no
// data and no connection; loaders read rows according to it and never own it.
// Connection fields (passwords, hosts, users, database names, connection strings)
// are held enciphered with EncryptString, exactly as they are stored in label files.
class CDSBase
{
public:
    virtual ~CDSBase() = default;
    CDSBase(const CDSBase&) = delete;
    CDSBase& operator=(const CDSBase&) = delete;

    // A new description of the given type with its defaults; null for an unknown code.
    static std::unique_ptr<CDSBase> Create(int32_t type);

    int32_t GetType() const { return m_nType; }

    // A full copy of the same class.
    std::unique_ptr<CDSBase> Clone() const;
    // Copies every field of a description of the same class. Both string lists are
    // replaced, not appended to. From another class only the shared fields come over.
    virtual void CopyFrom(const CDSBase& source);

    QString m_strName;      // listed and chosen by this name
    QString m_strTable;     // for a workbook: the sheet
    QString m_strSortField; // empty or "默认": no sorting
    int32_t m_nSortOrder = 0; // 0 ascending, else descending
    int32_t m_nRangeMode = RangeAll;
    int32_t m_nFrom = 1;
    int32_t m_nTo = 100;
    QString m_strSQL;
    QStringList m_selectedFields; // the fields the loaders return, in this order
    QStringList m_sampleValues;   // the first previewed row, one value per selected field

protected:
    explicit CDSBase(int32_t type) : m_nType(type) {}

private:
    int32_t m_nType;
};

// Sorting is off for an empty sort field and for the dialogs' "default" entry.
bool IsNoSortField(const QString& field);

class CTextDS : public CDSBase
{
public:
    CTextDS() : CDSBase(DSText) {}
    void CopyFrom(const CDSBase& source) override;

    QString m_strPath;
    int32_t m_nSeparator = TextSeparatorComma; // TextSeparatorKind
    QString m_strOtherSeparator;
    QString m_strCustomSegments;
    bool m_bHeaderRow = false; // the first line holds the field names
    int32_t m_nReserved = 0;   // kept, copied and stored
};

class CExcelDS : public CDSBase
{
public:
    CExcelDS() : CDSBase(DSExcel) {}
    void CopyFrom(const CDSBase& source) override;
    // The old binary workbook format (".xls", any case); ".xlsx" is not.
    bool IsXlsFile() const;

    QString m_strPath;
    QString m_strReserved;     // kept, copied and stored
    bool m_bHeaderRow = false; // the first row holds the column names
};

class CAccessDS : public CDSBase
{
public:
    CAccessDS() : CDSBase(DSAccess) {}
    void CopyFrom(const CDSBase& source) override;
    // The old database format (".mdb", any case).
    bool IsMdbFile() const;

    QString m_strPath;
    QString m_strPassword; // enciphered
};

class CSQLiteDS : public CDSBase
{
public:
    CSQLiteDS() : CDSBase(DSSQLite) {}
    void CopyFrom(const CDSBase& source) override;

    QString m_strPath;
    int32_t m_nVersion = 0; // 0 "SQLite 3", 1 "SQLite 2"; the loader always uses SQLite 3
};

// Servers reached by host and port: PostgreSQL, MySQL and DB2 share this layout.
class CHostPortDS : public CDSBase
{
public:
    void CopyFrom(const CDSBase& source) override;

    QString m_strHost; // enciphered
    int32_t m_nPort;
    QString m_strDatabase; // enciphered
    QString m_strUser;     // enciphered
    QString m_strPassword; // enciphered

protected:
    CHostPortDS(int32_t type, int32_t port) : CDSBase(type), m_nPort(port) {}
};

class CPostgreSQLDS : public CHostPortDS
{
public:
    CPostgreSQLDS() : CHostPortDS(DSPostgreSQL, 5432) {}
};

class CMySQLDS : public CHostPortDS
{
public:
    CMySQLDS() : CHostPortDS(DSMySQL, 3306) {}
};

class CDB2DS : public CHostPortDS
{
public:
    CDB2DS() : CHostPortDS(DSDB2, 50000) {}
};

// Servers reached by a server name: SQL Server and Sybase share this layout.
class CServerDS : public CDSBase
{
public:
    void CopyFrom(const CDSBase& source) override;

    QString m_strServer;   // enciphered
    QString m_strDatabase; // enciphered
    QString m_strUser;     // enciphered
    QString m_strPassword; // enciphered

protected:
    explicit CServerDS(int32_t type) : CDSBase(type) {}
};

class CSQLServerDS : public CServerDS
{
public:
    CSQLServerDS() : CServerDS(DSSQLServer) {}
};

class CSybaseDS : public CServerDS
{
public:
    CSybaseDS() : CServerDS(DSSybase) {}
};

class COracleDS : public CDSBase
{
public:
    COracleDS() : CDSBase(DSOracle) {}
    void CopyFrom(const CDSBase& source) override;

    int32_t m_nConnectionType = 0; // 0 "Basic", 1 "TNS"; stored, not acted on
    int32_t m_nReserved = 0;       // kept, copied and stored
    QString m_strHost;             // enciphered
    int32_t m_nPort = 1521;
    int32_t m_nNameKind = 0; // 0 "Service Name", 1 "SID"; stored, not acted on
    QString m_strServiceName; // plain
    QString m_strUser;        // enciphered
    QString m_strPassword;    // enciphered
};

// Only label files bring these two in; they have no fields and no loader.
class COLEDBDS : public CDSBase
{
public:
    COLEDBDS() : CDSBase(DSOLEDB) {}
};

class CODBCDS : public CDSBase
{
public:
    CODBCDS() : CDSBase(DSODBC) {}
};

class CCustomDS : public CDSBase
{
public:
    CCustomDS() : CDSBase(DSCustom) {}
    void CopyFrom(const CDSBase& source) override;

    QString m_strConnectionString; // enciphered
};
