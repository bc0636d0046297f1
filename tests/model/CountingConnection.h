#pragma once

#include "platform/db/DbConnection.h"

#include <memory>

// A connection that counts the statements run on it and the cursors opened on it, and keeps the
// statements' texts.
class CountingConnection : public DbConnection
{
public:
    explicit CountingConnection(std::unique_ptr<DbConnection> inner)
        : m_inner(std::move(inner))
    {
    }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    void Close() override { m_inner->Close(); }
    bool ListTables(QStringList& tables) override { return m_inner->ListTables(tables); }
    bool ListFields(const QString& table, QStringList& fields) override { return m_inner->ListFields(table, fields); }
    bool Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows) override
    {
        ++queries;
        sent.append(sql);
        const bool ok = m_inner->Query(sql, rows, skip, maxRows);
        m_strLastError = m_inner->LastError();
        return ok;
    }
    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override
    {
        ++cursors;
        return m_inner->OpenCursor(sql);
    }
    QString IdentifierQuote() const override { return m_inner->IdentifierQuote(); }

    int queries = 0;
    int cursors = 0;
    QStringList sent;

protected:
    std::unique_ptr<DbConnection> m_inner;
};
