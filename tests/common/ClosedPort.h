#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// A TCP socket bound to a free loopback port, listening with that backlog when it is above 0;
// port receives the number (0 when nothing could be bound). The caller closes the socket.
inline int BindLoopback(int& port, int backlog = 0)
{
    port = 0;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return fd;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && (backlog <= 0 || listen(fd, backlog) == 0)
        && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    return fd;
}

// A loopback port where nothing listens: bound once to learn a free number, then
// released. 1 when no socket can be made.
inline unsigned short ClosedLoopbackPort()
{
    int port = 0;
    const int fd = BindLoopback(port);
    if (fd >= 0)
        close(fd);
    return port > 0 ? static_cast<unsigned short>(port) : 1;
}

// A loopback port that listens and tells whether anyone knocked, waiting up to waitMs for a
// knock (0 to look only at what has come).
class KnockListener
{
public:
    KnockListener() : m_fd(BindLoopback(m_port, 4)) {}
    ~KnockListener() { close(m_fd); }
    KnockListener(const KnockListener&) = delete;
    KnockListener& operator=(const KnockListener&) = delete;
    int Port() const { return m_port; }
    bool Knocked(int waitMs = 10000) const
    {
        pollfd ready {m_fd, POLLIN, 0};
        return poll(&ready, 1, waitMs) > 0;
    }

private:
    int m_port = 0;
    int m_fd = -1;
};

// The MariaDB client's local socket named (MYSQL_UNIX_PORT) while the object lives.
class ClientSocketAt
{
public:
    explicit ClientSocketAt(const QString& path)
        : m_old(qgetenv("MYSQL_UNIX_PORT")), m_had(qEnvironmentVariableIsSet("MYSQL_UNIX_PORT"))
    {
        qputenv("MYSQL_UNIX_PORT", QFile::encodeName(path));
    }
    ~ClientSocketAt()
    {
        if (m_had)
            qputenv("MYSQL_UNIX_PORT", m_old);
        else
            qunsetenv("MYSQL_UNIX_PORT");
    }
    ClientSocketAt(const ClientSocketAt&) = delete;
    ClientSocketAt& operator=(const ClientSocketAt&) = delete;

private:
    QByteArray m_old;
    bool m_had;
};

// A local socket that listens and tells whether anyone knocked, named to the MariaDB client
// as its local server's while the object lives.
class LocalServerSocket
{
public:
    LocalServerSocket() : m_path(m_dir.filePath(QStringLiteral("my.sock"))), m_named(m_path)
    {
        m_fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_path);
        std::copy_n(path.constData(), std::min<qsizetype>(path.size(), sizeof address.sun_path - 1), address.sun_path);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_fd, 4);
    }
    ~LocalServerSocket() { close(m_fd); }
    LocalServerSocket(const LocalServerSocket&) = delete;
    LocalServerSocket& operator=(const LocalServerSocket&) = delete;
    const QString& Path() const { return m_path; }
    bool Knocked(int waitMs = 10000) const
    {
        pollfd ready {m_fd, POLLIN, 0};
        return poll(&ready, 1, waitMs) > 0;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    ClientSocketAt m_named;
    int m_fd = -1;
};
