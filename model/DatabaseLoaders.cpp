#include "model/DatabaseLoaders.h"

#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbWait.h"

namespace {

// Host, database, user and password are held enciphered in the description.
DbServerSettings ServerSettings(const CDSBase* source)
{
    const auto* ds = dynamic_cast<const CHostPortDS*>(source);
    DbServerSettings settings;
    if (!ds)
        return settings;
    settings.host = DecryptString(ds->m_strHost);
    settings.port = ds->m_nPort;
    settings.database = DecryptString(ds->m_strDatabase);
    settings.user = DecryptString(ds->m_strUser);
    settings.password = DecryptString(ds->m_strPassword);
    return settings;
}

} // namespace

bool CDatabaseDL::Open()
{
    Close();
    if (!m_pDataSource)
        return Fail(QStringLiteral("没有指定数据源。"));
    if (!ApproveConnection())
        return false;
    const DbSourceScope scope(m_pDataSource->m_strName);
    std::unique_ptr<DbConnection> connection = Connect();
    if (!connection->IsOpen())
        return FailConnect(*connection);
    m_connection = std::move(connection);
    m_strLastError.clear();
    return true;
}

int CDatabaseDL::GetRecordCount()
{
    return CountRecords([this] { return Statements().Count(*m_pDataSource); });
}

bool CDatabaseDL::LoadRows(int nFirst, int nLast, LoaderRow& rows)
{
    qint64 first = 0;
    qint64 last = 0;
    if (!PrepareLoad(nFirst, nLast, rows, first, last))
        return false;
    // A window past the range reads nothing: a limit of zero or less must never
    // reach the database (SQLite reads a negative limit as "no limit").
    if (first > last)
        return true;
    if (!ReadRows(first, last, rows))
        return false;
    m_strLastError.clear();
    return true;
}

QString CDatabaseDL::FailureText() const
{
    return QStringLiteral("无法连接数据库，请检查服务器地址、端口、数据库名、用户名和密码。");
}

bool CDatabaseDL::FailConnect(const DbConnection& connection)
{
    return FailConnection(connection, FailureText());
}

QString CSQLiteDL::FailureText() const
{
    const auto* ds = dynamic_cast<const CSQLiteDS*>(m_pDataSource);
    return QStringLiteral("无法打开SQLite数据库文件“%1”，请检查文件是否存在并且是SQLite数据库。")
        .arg(ds ? ds->m_strPath : QString());
}

std::unique_ptr<DbConnection> CSQLiteDL::Connect() const
{
    const auto* ds = dynamic_cast<const CSQLiteDS*>(m_pDataSource);
    return DbConnection::OpenSQLite(ds ? ds->m_strPath : QString());
}

std::unique_ptr<DbConnection> CPostgreSQLDL::Connect() const
{
    return DbConnection::OpenPostgreSQL(ServerSettings(m_pDataSource));
}

DbReach CPostgreSQLDL::Reach() const
{
    return PostgreSQLReach(ServerSettings(m_pDataSource));
}

bool CPostgreSQLDL::FailConnect(const DbConnection& connection)
{
    // Our own refusal, or a cancel or limit, says all itself.
    if (connection.Refused() || connection.Stopped())
        return CDatabaseDL::FailConnect(connection);
    const QString check = m_pDataSource->m_strName.isEmpty()
        ? QStringLiteral("请检查服务器地址、端口、数据库名、用户名和密码。")
        : QStringLiteral("请检查数据源“%1”的服务器地址、端口、数据库名、用户名和密码。").arg(m_pDataSource->m_strName);
    return Fail(connection.LastError() + QLatin1Char('\n') + check);
}

std::unique_ptr<DbConnection> CMySQLDL::Connect() const
{
    return DbConnection::OpenMySQL(ServerSettings(m_pDataSource));
}

DbReach CMySQLDL::Reach() const
{
    return MySQLReach(ServerSettings(m_pDataSource));
}
