#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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

// A loopback port that listens and tells whether anyone knocked.
class KnockListener
{
public:
    KnockListener() : m_fd(BindLoopback(m_port, 4)) {}
    ~KnockListener() { close(m_fd); }
    KnockListener(const KnockListener&) = delete;
    KnockListener& operator=(const KnockListener&) = delete;
    int Port() const { return m_port; }
    bool Knocked(int waitMs = 100) const
    {
        pollfd ready {m_fd, POLLIN, 0};
        return poll(&ready, 1, waitMs) > 0;
    }

private:
    int m_port = 0;
    int m_fd = -1;
};
