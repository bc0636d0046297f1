#pragma once

#include "model/DLBase.h"

// Loaders whose sources are named by an OLE DB provider connection string; the
// data-access layer routes each provider to a client of this system (ODBC, the
// workbook reader, the Access reader). Count and rows are the generic ones: the
// statements carry no row limit and the rows before the wanted ones are skipped,
// except on a MariaDB/MySQL server, where a page is limited in the statement.
// A failed connection shows the loader's message and leaves the loader closed.
class CAdoDL : public CDLBase
{
public:
    bool Open() override;
    DbReach Reach() const override;
    int GetRecordCount() override { return QueryRecordCount(); }
    bool LoadRows(int nFirst, int nLast, LoaderRow& rows) override { return QueryRows(nFirst, nLast, rows); }

    struct Login
    {
        QString connectionString;
        QString user;
        QString password;
    };
    // The connection string and the user id and password given beside it, with
    // the description's connection fields deciphered; empty without a description
    // of the loader's kind.
    virtual Login MakeLogin() const = 0;

protected:
    // The message shown when the connection fails.
    virtual QString FailureText() const = 0;
};

class CSQLServerDL : public CAdoDL
{
public:
    Login MakeLogin() const override;

protected:
    QString FailureText() const override;
};

class CSybaseDL : public CAdoDL
{
public:
    Login MakeLogin() const override;

protected:
    QString FailureText() const override;
};

class CDB2DL : public CAdoDL
{
public:
    Login MakeLogin() const override;

protected:
    QString FailureText() const override;
};

// The descriptor names the service, or the SID when the description chose SID.
class COracleDL : public CAdoDL
{
public:
    Login MakeLogin() const override;

protected:
    QString FailureText() const override;
};

// The user's own connection string, with no user id or password beside it.
class CCustomDL : public CAdoDL
{
public:
    Login MakeLogin() const override;

protected:
    QString FailureText() const override;
};

class CAccessDL : public CAdoDL
{
public:
    Login MakeLogin() const override;

protected:
    QString FailureText() const override;
};

class CExcelDL : public CAdoDL
{
public:
    Login MakeLogin() const override;

protected:
    QString FailureText() const override;
};
