#pragma once

#include "model/DLBase.h"

// Loaders for databases that the data-access layer reaches natively. A load pages in
// the statement ("limit n offset m"); sequential loads walk one statement instead
// (see SetSequentialLoads). They give one element per result column. Count and load open the connection on first
// use and leave it open until Close or destruction.
class CDatabaseDL : public CDLBase
{
public:
    bool Open() override;
    int GetRecordCount() override;
    bool LoadRows(int nFirst, int nLast, LoaderRow& rows) override;

protected:
    virtual std::unique_ptr<DbConnection> Connect() const = 0;
    // What failed and what to check when the connection fails.
    virtual QString FailureText() const;
    // Fails for a connection that did not open: FailureText with the connection's words as
    // its detail (FailConnection).
    virtual bool FailConnect(const DbConnection& connection);
};

// An SQLite file, opened read-only.
class CSQLiteDL : public CDatabaseDL
{
protected:
    std::unique_ptr<DbConnection> Connect() const override;
    QString FailureText() const override;
};

// A login that fails leads with the connection's own words: the server's refusal (a
// pooler's rule among them), told apart from a server that could not be reached.
class CPostgreSQLDL : public CDatabaseDL
{
public:
    DbReach Reach() const override;

protected:
    std::unique_ptr<DbConnection> Connect() const override;
    bool FailConnect(const DbConnection& connection) override;
};

class CMySQLDL : public CDatabaseDL
{
public:
    DbReach Reach() const override;

protected:
    std::unique_ptr<DbConnection> Connect() const override;
};
