#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbWait.h"

#include "platform/db/DbCall.h"

#include <algorithm>
#include <future>

namespace {

// For a database that cannot hold a statement open between calls: each slice runs the
// statement again and skips to where the last one stopped.
class RequeryCursor final : public DbCursor
{
public:
    RequeryCursor(DbConnection& connection, const QString& sql) : m_connection(connection), m_sql(sql) {}

    bool Skip(qint64 count) override
    {
        m_position += std::max<qint64>(count, 0);
        return true;
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        if (!m_connection.Query(m_sql, rows, m_position, maxRows))
            return Fail(m_connection.LastError());
        m_position += rows.RowCount();
        return true;
    }

private:
    DbConnection& m_connection;
    QString m_sql;
};

class UnavailableConnection final : public DbConnection
{
public:
    UnavailableConnection(const QString& why, bool refused)
    {
        if (refused)
            Refuse(why);
        else
            Fail(why);
    }
    bool IsOpen() const override { return false; }
    void Close() override { }
    bool ListTables(QStringList& tables) override
    {
        tables.clear();
        return false;
    }
    bool ListFields(const QString&, QStringList& fields) override
    {
        fields.clear();
        return false;
    }
    bool Query(const QString&, DbRows& rows, qint64, qint64) override
    {
        rows.Clear();
        return false;
    }
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::Unavailable(const QString& why, bool refused)
{
    return std::make_unique<UnavailableConnection>(why, refused);
}

bool IsDbPort(qint64 port)
{
    return port >= 1 && port <= 65535;
}

QString DbPortFault(const QString& port)
{
    return QStringLiteral("端口“%1”不在 1 到 65535 之间").arg(port);
}

QString DbPortAdvice()
{
    return QStringLiteral("客户端会把这样的端口换算成另一个端口（例如 124481 成为 58945），连接的就不是询问时显示的端口。"
                          "请改用 1 到 65535 之间的端口。");
}

QString DbPortRefusal(const QString& port)
{
    const QString name = DbSourceScope::Current();
    const QString whose = name.isEmpty() ? QString() : QStringLiteral("数据源“%1”的").arg(name);
    return whose + DbPortFault(port) + QStringLiteral("，没有连接：") + DbPortAdvice();
}

bool DbRowCursor::Skip(qint64 count)
{
    for (; count > 0 && Next(); --count)
        ++m_position;
    return m_strLastError.isEmpty();
}

bool DbRowCursor::Fetch(qint64 maxRows, DbRows& rows)
{
    rows.Reset(m_names);
    for (qint64 n = 0; (maxRows < 0 || n < maxRows) && Next() && AppendRow(rows); ++n)
        ++m_position;
    if (!m_strLastError.isEmpty()) {
        rows.Clear();
        return false;
    }
    return true;
}

bool DbCursor::FetchInto(qint64 maxRows, qint64 firstSlice, const std::function<bool(const DbRows&)>& take)
{
    // Slices of about this many bytes, never more rows than kMaxSliceRows unless firstSlice asks.
    constexpr qint64 kSliceBytes = qint64(4) << 20;
    constexpr qint64 kMaxSliceRows = 16384;
    firstSlice = std::max<qint64>(firstSlice, 1);
    qint64 slice = firstSlice;
    // Each slice is taken on a thread of its own while the next one is read, so that what take
    // costs (a preview keeping the rows, compressed) hides behind the server's sending. One take
    // runs at a time, in order, and the last has ended when this returns.
    DbRows taking;
    std::future<bool> taken;
    const auto takenSoFar = [&taken] { return !taken.valid() || taken.get(); };
    for (qint64 left = maxRows; left > 0;) {
        if (DbStep::Over()) {
            takenSoFar();
            return Fail(QStringLiteral("已停止读取记录"));
        }
        const qint64 wanted = std::min(slice, left);
        DbRows rows;
        if (!Fetch(wanted, rows)) {
            takenSoFar();
            return false;
        }
        left -= rows.RowCount();
        const bool end = rows.RowCount() < wanted;
        slice = std::clamp<qint64>(rows.RowCount() * kSliceBytes / std::max<qint64>(rows.MemoryUsed(), 1), firstSlice,
            std::max(firstSlice, kMaxSliceRows));
        if (!takenSoFar())
            return true;
        taking = std::move(rows);
        taken = std::async(std::launch::async, [&take, &taking] { return take(taking); });
        if (end)
            break;
    }
    takenSoFar();
    return true;
}

std::unique_ptr<DbCursor> DbConnection::OpenCursor(const QString& sql)
{
    return std::make_unique<RequeryCursor>(*this, sql);
}

bool DbConnection::QueryResolving(const QString&, const QString&, const QStringList&, const QString&, DbRows& rows)
{
    rows.Clear();
    return Fail(QStringLiteral("这种连接不能请服务器先解析语句"));
}

bool DbConnection::QueryFirstColumn(const QString& sql, QStringList& values)
{
    values.clear();
    DbRows rows;
    if (!Query(sql, rows))
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        values.append(rows.Value(r, 0));
    return true;
}
