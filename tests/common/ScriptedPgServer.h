#pragma once

// A small PostgreSQL server of a test's own (TCP or a local socket) that answers with what the
// test scripts, and the process's memory as the kernel counts it.
#include "ClosedPort.h"
#include "ScriptedServer.h"
#include "platform/db/DbConnection.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

inline void PutPgInt32(QByteArray& out, qint64 value)
{
    const auto v = static_cast<quint32>(value);
    out.append(static_cast<char>(v >> 24)).append(static_cast<char>(v >> 16));
    out.append(static_cast<char>(v >> 8)).append(static_cast<char>(v));
}

inline void PutPgInt16(QByteArray& out, int value)
{
    out.append(static_cast<char>((value >> 8) & 0xFF)).append(static_cast<char>(value & 0xFF));
}

inline quint32 PgInt32At(const QByteArray& in, qsizetype at)
{
    return (quint32(quint8(in[at])) << 24) | (quint32(quint8(in[at + 1])) << 16) | (quint32(quint8(in[at + 2])) << 8)
        | quint32(quint8(in[at + 3]));
}

inline QByteArray PgMessageOf(char type, const QByteArray& body)
{
    QByteArray out(1, type);
    PutPgInt32(out, body.size() + 4);
    return out + body;
}

inline bool SendAllTo(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

inline bool SendAllTo(int fd, const QByteArray& data)
{
    return SendAllTo(fd, data.constData(), data.size());
}

// A PostgreSQL server that speaks the extended protocol just far enough: it logs every client
// in, reports the parameters it was given, and answers each statement that is not the
// transaction's own (BEGIN, SET, ROLLBACK, select set_config) with `rows` rows of one text column "big" holding
// `valueBytes` x's, streamed (rows < 0: rows without end, whatever the client asks, until it
// goes). The statement "select fail" fails. Each connection is served on
// a thread of its own, so a cancel request is taken while a row is on its way.
class ScriptedPgServer : public ScriptedServer
{
public:
    struct Script
    {
        QByteArray version = "15.4";
        QByteArray superuser = "off"; // empty: not reported
        QByteArray standardStrings = "on"; // empty: not reported
        int rows = 3; // < 0: without end
        qint64 valueBytes = 4;
        QByteArray refusal; // refuses every login with this message when set
        QByteArray severalStatements; // a Parse of a text that holds it is refused as of several statements
    };

    ScriptedPgServer(const Script& script, bool local) : m_script(script)
    {
        if (local) {
            m_listener = socket(AF_UNIX, SOCK_STREAM, 0);
            m_port = 5432;
            sockaddr_un address {};
            address.sun_family = AF_UNIX;
            const QByteArray path = QFile::encodeName(m_dir.filePath(".s.PGSQL.5432"));
            qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
            if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                m_port = 0;
        } else {
            m_listener = BindLoopback(m_port);
        }
        m_host = local ? m_dir.path() : QStringLiteral("127.0.0.1");
        Start();
    }

    ~ScriptedPgServer() override { Stop(); }

    DbServerSettings Settings() const { return {m_host, m_port, "db", "u", "p"}; }
    // The times a client waited for the server: a sync, or a simple query.
    int RoundTrips() const { return m_roundTrips.load(); }
    int Cancels() const { return m_cancels.load(); }
    // The round trips whose whole answer has been sent.
    int Answered() const { return m_answered.load(); }
    // The statements of the Parse and Query messages, in order.
    QList<QByteArray> Statements() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_statements;
    }

private:
    // Reads one message of the given header length (the startup has no type byte); empty at the end.
    static QByteArray Take(int fd, QByteArray& in, bool typed)
    {
        const int head = typed ? 5 : 4;
        for (;;) {
            if (in.size() >= head) {
                const qsizetype size = PgInt32At(in, typed ? 1 : 0) + (typed ? 1 : 0);
                if (in.size() >= size) {
                    const QByteArray message = in.left(size);
                    in.remove(0, size);
                    return message;
                }
            }
            char buffer[65536];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return {};
            in.append(buffer, n);
        }
    }

    void Serve(int fd, quint32) override
    {
        QByteArray in;
        for (;;) { // the startup, after refused requests for encryption
            const QByteArray startup = Take(fd, in, false);
            if (startup.size() < 8)
                return;
            const quint32 code = PgInt32At(startup, 4);
            if (code == 80877103 || code == 80877104) {
                SendAllTo(fd, "N");
                continue;
            }
            if (code == 80877102) {
                ++m_cancels;
                return;
            }
            break;
        }
        if (!m_script.refusal.isEmpty()) {
            SendAllTo(fd, PgMessageOf('E', "SFATAL\0VFATAL\0C53300\0M" + m_script.refusal + QByteArray("\0\0", 2)));
            return;
        }
        QByteArray out = PgMessageOf('R', QByteArray(4, '\0'));
        const auto parameter = [&out](const char* name, const QByteArray& value) {
            if (!value.isEmpty())
                out += PgMessageOf('S', QByteArray(name) + '\0' + value + '\0');
        };
        parameter("server_version", m_script.version);
        parameter("client_encoding", "UTF8");
        parameter("standard_conforming_strings", m_script.standardStrings);
        parameter("is_superuser", m_script.superuser);
        parameter("integer_datetimes", "on");
        QByteArray key;
        PutPgInt32(key, 4242);
        PutPgInt32(key, 7);
        out += PgMessageOf('K', key) + PgMessageOf('Z', "I");
        if (!SendAllTo(fd, out))
            return;
        out.clear();
        char transaction = 'I';
        bool skipping = false; // after an error, up to the sync
        QByteArray statement;
        for (;;) {
            const QByteArray message = Take(fd, in, true);
            if (message.isEmpty() || message[0] == 'X')
                return;
            const char type = message[0];
            const QByteArray body = message.mid(5);
            if (type == 'S' || type == 'Q') {
                ++m_roundTrips;
                if (type == 'Q') {
                    const QByteArray text = body.left(body.indexOf('\0'));
                    Record(text);
                    transaction = 'I'; // only ever a ROLLBACK
                    out += PgMessageOf('C', text + '\0');
                }
                skipping = false;
                out += PgMessageOf('Z', QByteArray(1, transaction));
                if (!SendAllTo(fd, out))
                    return;
                out.clear();
                ++m_answered;
                continue;
            }
            if (skipping)
                continue;
            if (type == 'P') {
                const QByteArray text = body.mid(body.indexOf('\0') + 1);
                statement = text.left(text.indexOf('\0'));
                Record(statement);
                if (!m_script.severalStatements.isEmpty() && statement.contains(m_script.severalStatements)) {
                    QByteArray error;
                    for (const char* field : {"SERROR", "VERROR", "C42601",
                             "Mcannot insert multiple commands into a prepared statement"})
                        error += QByteArray(field) + '\0';
                    out += PgMessageOf('E', error + '\0');
                    skipping = true;
                    continue;
                }
                out += PgMessageOf('1', {});
            } else if (type == 'B') {
                out += PgMessageOf('2', {});
            } else if (type == 'D') {
                out += IsOwn(statement) ? PgMessageOf('n', {}) : RowDescription();
            } else if (type == 'E') {
                if (statement == "select fail") {
                    out += PgMessageOf('E', QByteArray("SERROR\0VERROR\0C22012\0Mdivision by zero\0\0", 40));
                    skipping = true;
                    // Ended at the sync, unless a BEGIN opened it.
                    if (transaction == 'T')
                        transaction = 'E';
                    continue;
                }
                if (statement.startsWith("BEGIN"))
                    transaction = 'T';
                if (statement == "ROLLBACK")
                    transaction = 'I';
                if (IsOwn(statement)) {
                    out += PgMessageOf('C', statement.left(statement.indexOf(' ')) + '\0');
                    continue;
                }
                if (!SendAllTo(fd, out))
                    return;
                out.clear();
                if (!SendRows(fd))
                    return;
            }
        }
    }

    static bool IsOwn(const QByteArray& statement)
    {
        return statement.startsWith("BEGIN") || statement.startsWith("SET ") || statement == "ROLLBACK"
            || statement.startsWith("select set_config(");
    }

    static QByteArray RowDescription()
    {
        QByteArray body;
        PutPgInt16(body, 1);
        body += QByteArray("big") + '\0';
        PutPgInt32(body, 0);
        PutPgInt16(body, 0);
        PutPgInt32(body, 25); // text
        PutPgInt16(body, -1);
        PutPgInt32(body, -1);
        PutPgInt16(body, 0);
        return PgMessageOf('T', body);
    }

    // The rows, each value streamed a megabyte at a time; false once the client has gone.
    bool SendRows(int fd) const
    {
        const QByteArray chunk(1 << 20, 'x');
        for (int r = 0; m_script.rows < 0 || r < m_script.rows; ++r) {
            QByteArray head(1, 'D');
            PutPgInt32(head, 4 + 2 + 4 + m_script.valueBytes);
            PutPgInt16(head, 1);
            PutPgInt32(head, m_script.valueBytes);
            if (!SendAllTo(fd, head))
                return false;
            for (qint64 left = m_script.valueBytes; left > 0; left -= chunk.size())
                if (!SendAllTo(fd, chunk.constData(), std::min<qint64>(left, chunk.size())))
                    return false;
        }
        return SendAllTo(fd, PgMessageOf('C', "SELECT " + QByteArray::number(m_script.rows) + '\0'));
    }

    void Record(const QByteArray& statement)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_statements.append(statement);
    }

    Script m_script;
    QTemporaryDir m_dir;
    QString m_host;
    int m_port = 0;
    std::atomic<int> m_roundTrips {0};
    std::atomic<int> m_cancels {0};
    std::atomic<int> m_answered {0};
    QList<QByteArray> m_statements;
};

// The process's resident memory in bytes ("VmRSS", "VmHWM").
inline qint64 ProcessMemory(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLongLong() << 10;
    return -1;
}

// Starts the peak of resident memory afresh from what is resident now.
inline void ResetMemoryPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

