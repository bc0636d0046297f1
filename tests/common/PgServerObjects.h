#pragma once

// The psqlODBC string of a PostgreSQL login, and objects a test makes on the server.
#include "DbTestEnv.h"

#include <QString>
#include <QUuid>

inline QString PsqlOdbcString(const DbServerSettings& s, const char* extra = "")
{
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5;CommLog=0;%6")
        .arg(s.host)
        .arg(s.port)
        .arg(s.database, s.user, s.password, QLatin1String(extra));
}

// Objects a test makes on the server, under names of its own (a "%1" in the statements stands
// for their suffix), dropped again when it ends.
class ServerObjects
{
public:
    ServerObjects(const DbServerSettings& server, const QString& make, const QString& drop)
        : m_server(server), m_suffix(QUuid::createUuid().toString(QUuid::Id128).left(12)), m_drop(drop.arg(m_suffix))
    {
        m_error = WriteOnTestServer(m_server, true, make.arg(m_suffix));
    }
    ~ServerObjects() { WriteOnTestServer(m_server, true, m_drop); }

    QString Named(const char* statement) const
    {
        return QString::fromUtf8(statement).replace(QLatin1String("%1"), m_suffix);
    }
    // Empty when they were made, else the client's words.
    const QString& Error() const { return m_error; }

private:
    DbServerSettings m_server;
    QString m_suffix;
    QString m_drop;
    QString m_error;
};
