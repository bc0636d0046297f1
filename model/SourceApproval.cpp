#include "model/SourceApproval.h"

#include "model/DSBase.h"
#include "model/DataSourceTypes.h"
#include "platform/Crypt.h"
#include "platform/db/Ado.h"
#include "platform/db/DbWait.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>
#include <QSettings>

namespace {

CSourceApprover* g_pSourceApprover = nullptr;

const QString kApprovalGroup = QStringLiteral("ApprovedDataSources");

bool IsPasswordKey(const QString& key)
{
    const QString k = key.trimmed().toLower();
    return k == u"pwd" || k == u"password";
}

// A connection string's pairs without the password: what connects, and what is shown.
QList<QPair<QString, QString>> ConnectionPairs(const CCustomDS& ds)
{
    QList<QPair<QString, QString>> pairs;
    const AdoConnectionString string(DecryptString(ds.m_strConnectionString));
    for (const auto& item : string.Items()) {
        if (!IsPasswordKey(item.first))
            pairs.append({item.first.trimmed(), item.second});
    }
    return pairs;
}

// Whether a connection string reaches a server: one that names a local file is read by
// the program itself, and one that is refused connects to nothing.
bool CustomReachesServer(const CCustomDS& ds)
{
    const AdoRoute route
        = RouteAdo(DecryptString(ds.m_strConnectionString), {}, {}, InstalledOdbcDrivers(), ds.m_strName);
    if (route.kind != AdoRoute::Odbc)
        return false;
    const OdbcRequest request = CheckOdbcString(route.odbc, ds.m_strName, InstalledOdbcRegistry());
    return request.refusal.isEmpty() && request.sqliteFile.isEmpty() && request.accessFile.isEmpty();
}

QString TypeCaption(const CDSBase& ds)
{
    const DataSourceTypeInfo* info = FindDataSourceType(ds.GetType());
    if (info && info->typeName)
        return QString::fromUtf16(info->typeName);
    return ds.GetType() == DSCustom ? QStringLiteral("自定义数据源") : QString::number(ds.GetType());
}

// The connection fields that say where the source connects and as whom, in a fixed order.
QStringList ConnectionFields(const CDSBase& ds)
{
    if (const auto* hp = dynamic_cast<const CHostPortDS*>(&ds))
        return {DecryptString(hp->m_strHost), QString::number(hp->m_nPort), DecryptString(hp->m_strDatabase),
            DecryptString(hp->m_strUser)};
    if (const auto* server = dynamic_cast<const CServerDS*>(&ds))
        return {DecryptString(server->m_strServer), DecryptString(server->m_strDatabase),
            DecryptString(server->m_strUser)};
    if (const auto* oracle = dynamic_cast<const COracleDS*>(&ds))
        return {DecryptString(oracle->m_strHost), QString::number(oracle->m_nPort),
            QString::number(oracle->m_nNameKind), oracle->m_strServiceName, DecryptString(oracle->m_strUser)};
    if (const auto* custom = dynamic_cast<const CCustomDS*>(&ds)) {
        QStringList fields;
        for (const auto& pair : ConnectionPairs(*custom))
            fields << pair.first.toLower() << pair.second;
        return fields;
    }
    return {};
}

QString UserStatement(const CDSBase& ds)
{
    return ds.m_nRangeMode == RangeSQL ? ds.m_strSQL : QString();
}

} // namespace

bool SourceNeedsApproval(const CDSBase& ds)
{
    switch (ds.GetType()) {
    case DSPostgreSQL:
    case DSMySQL:
    case DSSQLServer:
    case DSOracle:
    case DSSybase:
    case DSDB2:
        return true;
    case DSCustom:
        return CustomReachesServer(static_cast<const CCustomDS&>(ds));
    default:
        return false;
    }
}

QString SourceApprovalKey(const CDSBase& ds)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << QStringLiteral("vellumcraft data source 1") << static_cast<qint32>(ds.GetType()) << ConnectionFields(ds)
        << static_cast<qint32>(ds.m_nRangeMode == RangeSQL) << UserStatement(ds);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

bool IsSourceApproved(const CDSBase& ds)
{
    QSettings settings;
    settings.beginGroup(kApprovalGroup);
    return settings.contains(SourceApprovalKey(ds));
}

void ApproveSource(const CDSBase& ds)
{
    if (!SourceNeedsApproval(ds))
        return;
    QSettings settings;
    settings.beginGroup(kApprovalGroup);
    settings.setValue(SourceApprovalKey(ds), true);
}

QList<QPair<QString, QString>> SourceApprovalDetails(const CDSBase& ds)
{
    QList<QPair<QString, QString>> lines {{QStringLiteral("类型"), TypeCaption(ds)}};
    const auto add = [&lines](const char16_t* caption, const QString& value) {
        lines.append({QString::fromUtf16(caption), value});
    };
    if (const auto* hp = dynamic_cast<const CHostPortDS*>(&ds)) {
        add(u"服务器", DecryptString(hp->m_strHost));
        add(u"端口", QString::number(hp->m_nPort));
        add(u"数据库", DecryptString(hp->m_strDatabase));
        add(u"用户", DecryptString(hp->m_strUser));
    } else if (const auto* server = dynamic_cast<const CServerDS*>(&ds)) {
        add(u"服务器", DecryptString(server->m_strServer));
        add(u"数据库", DecryptString(server->m_strDatabase));
        add(u"用户", DecryptString(server->m_strUser));
    } else if (const auto* oracle = dynamic_cast<const COracleDS*>(&ds)) {
        add(u"服务器", DecryptString(oracle->m_strHost));
        add(u"端口", QString::number(oracle->m_nPort));
        add(u"数据库", oracle->m_strServiceName);
        add(u"用户", DecryptString(oracle->m_strUser));
    } else if (const auto* custom = dynamic_cast<const CCustomDS*>(&ds)) {
        const AdoConnectionString cs(DecryptString(custom->m_strConnectionString));
        const auto value = [&cs](std::initializer_list<const char*> keys) { return cs.Value(keys).trimmed(); };
        add(u"驱动程序或 DSN", value({"Driver", "DSN", "Provider"}));
        add(u"服务器", value({"Server", "Servername", "Hostname", "Host", "Data Source"}));
        add(u"端口", value({"Port"}));
        add(u"数据库", value({"Database", "DB", "Initial Catalog", "DBQ"}));
        add(u"用户", value({"UID", "User ID", "User", "Username"}));
    }
    return lines;
}

QString SourceApprovalName(const CDSBase& ds)
{
    return ds.m_strName.isEmpty() ? DbSourceScope::Current() : ds.m_strName;
}

CSourceApprover* InstallSourceApprover(CSourceApprover* approver)
{
    CSourceApprover* previous = g_pSourceApprover;
    g_pSourceApprover = approver;
    return previous;
}

QString SourceApprovalRefusal(const CDSBase& ds)
{
    if (!SourceNeedsApproval(ds) || IsSourceApproved(ds))
        return {};
    if (!g_pSourceApprover)
        return QStringLiteral("数据源“%1”要用您的登录连接数据库，但还没有得到您的允许，没有连接。"
                              "请在程序中打开这个标签，在询问是否允许时选择“允许”。")
            .arg(SourceApprovalName(ds));
    if (g_pSourceApprover->Ask(ds))
        return {};
    return QStringLiteral("您没有允许数据源“%1”连接数据库，没有读取它的记录。").arg(SourceApprovalName(ds));
}
