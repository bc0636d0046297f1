#pragma once

#include "model/DLBase.h"

// Loaders for databases that the data-access layer reaches natively. They page in
// the statement ("limit n offset m"), so a page costs the same wherever it lies, and
// give one element per result column. Count and load open the connection on first
// use and leave it open until Close or destruction.
class CDatabaseDL : public CDLBase
{
public:
    bool Open() override;
    int GetRecordCount() override;
    bool LoadRows(int nFirst, int nLast, LoaderRow& rows) override;

protected:
    virtual std::unique_ptr<DbConnection> Connect() const = 0;
    // How this database wants table and field names written.
    virtual QString (*NameQuote() const)(const QString&) { return &AsIs; }
};

// An SQLite file, opened read-only.
class CSQLiteDL : public CDatabaseDL
{
protected:
    std::unique_ptr<DbConnection> Connect() const override;
};

// Names are double-quoted, so they keep their letter case.
class CPostgreSQLDL : public CDatabaseDL
{
protected:
    std::unique_ptr<DbConnection> Connect() const override;
    QString (*NameQuote() const)(const QString&) override;
};

class CMySQLDL : public CDatabaseDL
{
protected:
    std::unique_ptr<DbConnection> Connect() const override;
};
