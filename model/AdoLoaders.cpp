#include "model/AdoLoaders.h"

#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"

namespace {

// A value placed in a connection string: quoted when it would otherwise end the
// pair early or lose its blanks, so a password holding ";" still connects.
QString AdoValue(const QString& value)
{
    if (!value.contains(u';') && !value.startsWith(u'"') && !value.startsWith(u'\'') && value.trimmed() == value)
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

bool CAdoDL::Open()
{
    Close();
    if (!m_pDataSource)
        return Fail(QStringLiteral("没有指定数据源。"));
    if (!ApproveConnection())
        return false;
    const Login login = MakeLogin();
    std::unique_ptr<DbConnection> connection
        = DbConnection::OpenAdo(login.connectionString, login.user, login.password, m_pDataSource->m_strName);
    if (!connection->IsOpen()) {
        // The loader's own message, shown here once; callers see it is shown. A refusal
        // of the string is complete in itself: no driver was looked for.
        QString sentence = FailureText();
        while (sentence.endsWith(u'!'))
            sentence.chop(1);
        FailConnection(*connection, sentence + QStringLiteral("，请检查连接信息，以及所需的数据库驱动程序是否已安装。"));
        ShowLastError();
        return false;
    }
    m_connection = std::move(connection);
    m_strLastError.clear();
    return true;
}

DbReach CAdoDL::Reach() const
{
    if (!m_pDataSource)
        return CDLBase::Reach();
    const Login login = MakeLogin();
    return AdoReach(login.connectionString, login.user, login.password, m_pDataSource->m_strName);
}

CAdoDL::Login CSQLServerDL::MakeLogin() const
{
    const auto* ds = dynamic_cast<const CServerDS*>(m_pDataSource);
    if (!ds)
        return {};
    return {QStringLiteral("Provider=SQLOLEDB;Server=%1;Database=%2;")
                .arg(AdoValue(DecryptString(ds->m_strServer)), AdoValue(DecryptString(ds->m_strDatabase))),
        DecryptString(ds->m_strUser), DecryptString(ds->m_strPassword)};
}

QString CSQLServerDL::FailureText() const
{
    return QStringLiteral("无法连接SQL Server数据库");
}

CAdoDL::Login CSybaseDL::MakeLogin() const
{
    const auto* ds = dynamic_cast<const CServerDS*>(m_pDataSource);
    if (!ds)
        return {};
    const QString user = DecryptString(ds->m_strUser);
    const QString password = DecryptString(ds->m_strPassword);
    return {QStringLiteral("Provider=Sybase.ASEOLEDBProvider;Server Name=%1;Database=%2;User ID=%3;Password=%4;")
                .arg(AdoValue(DecryptString(ds->m_strServer)), AdoValue(DecryptString(ds->m_strDatabase)),
                    AdoValue(user), AdoValue(password)),
        user, password};
}

QString CSybaseDL::FailureText() const
{
    return QStringLiteral("无法连接Sybase数据库");
}

CAdoDL::Login CDB2DL::MakeLogin() const
{
    const auto* ds = dynamic_cast<const CHostPortDS*>(m_pDataSource);
    if (!ds)
        return {};
    const QString user = DecryptString(ds->m_strUser);
    const QString password = DecryptString(ds->m_strPassword);
    return {QStringLiteral("Provider=IBMDADB2.DB2COPY1;Server=%1:%2;DATABASE=%3;UID=%4;PWD=%5;")
                .arg(AdoValue(DecryptString(ds->m_strHost)), QString::number(ds->m_nPort),
                    AdoValue(DecryptString(ds->m_strDatabase)), AdoValue(user), AdoValue(password)),
        user, password};
}

QString CDB2DL::FailureText() const
{
    return QStringLiteral("无法连接DB2数据库");
}

CAdoDL::Login COracleDL::MakeLogin() const
{
    const auto* ds = dynamic_cast<const COracleDS*>(m_pDataSource);
    if (!ds)
        return {};
    const QString user = DecryptString(ds->m_strUser);
    const QString password = DecryptString(ds->m_strPassword);
    const auto piece = [](int spaces, const QString& text) -> QString { return u'\t' + QString(spaces, u' ') + text; };
    const QString name = ds->m_nNameKind == 1 ? QStringLiteral("SID") : QStringLiteral("SERVICE_NAME");
    const QString descriptor = piece(8, QStringLiteral("(DESCRIPTION ="))
        + piece(10,
            QStringLiteral("(ADDRESS = (PROTOCOL = TCP)(HOST = %1)(PORT = %2))")
                .arg(DecryptString(ds->m_strHost), QString::number(ds->m_nPort)))
        + piece(10, QStringLiteral("(CONNECT_DATA =")) + piece(12, QStringLiteral("(SERVER = DEDICATED)"))
        + piece(12, QStringLiteral("(%1 = %2)").arg(name, ds->m_strServiceName)) + piece(10, QStringLiteral(")"))
        + piece(8, QStringLiteral(")"));
    // The descriptor stays bare as providers know it; only a ";" typed into the host
    // or the service makes it quoted, so that it cannot start a key of its own.
    return {QStringLiteral("Provider=OraOLEDB.Oracle.1;User ID=%1;Password=%2;Data Source=")
                .arg(AdoValue(user), AdoValue(password))
            + (descriptor.contains(u';') ? AdoValue(descriptor) : descriptor),
        user, password};
}

QString COracleDL::FailureText() const
{
    return QStringLiteral("无法连接Oracle数据库");
}

CAdoDL::Login CCustomDL::MakeLogin() const
{
    const auto* ds = dynamic_cast<const CCustomDS*>(m_pDataSource);
    if (!ds)
        return {};
    return {DecryptString(ds->m_strConnectionString), {}, {}};
}

QString CCustomDL::FailureText() const
{
    return QStringLiteral("无法连接到数据库!");
}

CAdoDL::Login CAccessDL::MakeLogin() const
{
    const auto* ds = dynamic_cast<const CAccessDS*>(m_pDataSource);
    if (!ds)
        return {};
    const QString provider
        = ds->IsMdbFile() ? QStringLiteral("Microsoft.Jet.OLEDB.4.0") : QStringLiteral("Microsoft.ACE.OLEDB.12.0");
    return {
        QStringLiteral("Provider=%1;Data Source=%2;Persist Security Info=True;").arg(provider, AdoValue(ds->m_strPath)),
        QStringLiteral("admin"), DecryptString(ds->m_strPassword)};
}

QString CAccessDL::FailureText() const
{
    return QStringLiteral("无法连Access接数据库");
}

CAdoDL::Login CExcelDL::MakeLogin() const
{
    const auto* ds = dynamic_cast<const CExcelDS*>(m_pDataSource);
    if (!ds)
        return {};
    const QString hdr = ds->m_bHeaderRow ? QStringLiteral("Yes") : QStringLiteral("No");
    const QString path = AdoValue(ds->m_strPath);
    return {ds->IsXlsFile()
            ? QStringLiteral(
                "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Extended Properties=\"Excel 8.0;HDR=%2;\";")
                  .arg(path, hdr)
            : QStringLiteral(
                "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=%1;Extended Properties=\"Excel 12.0;HDR=%2;\";")
                  .arg(path, hdr),
        {}, {}};
}

QString CExcelDL::FailureText() const
{
    return QStringLiteral("无法连接Excel数据表");
}
