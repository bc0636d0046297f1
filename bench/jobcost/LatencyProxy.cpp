#include "LatencyProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <list>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk
{
    Clock::time_point due;
    std::vector<char> bytes; // empty: the sender's end, passed on as the end of writing
    size_t at = 0;
};

struct Direction
{
    int from = -1;
    int to = -1;
    std::deque<Chunk> held;
    bool ended = false; // nothing more comes from `from`
    bool passedEnd = false;
};

struct Pair
{
    size_t number = 0; // counted from 1 in the order the client connected
    Direction up; // client to server
    Direction down; // server to client
    bool clientTurn = true; // the client's next send is a new round trip
    int64_t trip = 0; // the round trip the server answers next
    Clock::time_point asked; // when that round trip's first bytes reached the server
    bool Done() const { return up.passedEnd && down.passedEnd; }
};

void NonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

int ConnectTo(const std::string& host, int port)
{
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0 && connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

// Reads what is there into a held chunk; false when the reader should stop reading (its end).
void Take(Direction& d, Clock::time_point due)
{
    if (d.ended)
        return;
    std::vector<char> buffer(64 << 10);
    const ssize_t n = recv(d.from, buffer.data(), buffer.size(), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        d.ended = true;
        d.held.push_back({due, {}, 0});
        return;
    }
    buffer.resize(static_cast<size_t>(n));
    d.held.push_back({due, std::move(buffer), 0});
}

// Passes on what is due; true when something is still held.
void Pass(Direction& d, Clock::time_point now)
{
    while (!d.held.empty() && d.held.front().due <= now) {
        Chunk& c = d.held.front();
        if (c.bytes.empty()) {
            shutdown(d.to, SHUT_WR);
            d.passedEnd = true;
            d.held.pop_front();
            continue;
        }
        const ssize_t n = send(d.to, c.bytes.data() + c.at, c.bytes.size() - c.at, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) { // the other side is gone: drop what is held
            d.held.clear();
            d.ended = true;
            d.passedEnd = true;
            return;
        }
        c.at += static_cast<size_t>(n);
        if (c.at < c.bytes.size())
            return;
        d.held.pop_front();
    }
}

// The first bytes of what the client sent, printable ones as they are and the others as '.':
// enough to tell a protocol message's kind and the start of its text.
void LogTrip(int64_t trip, size_t connection, const std::vector<char>& bytes)
{
    std::string shown;
    for (size_t i = 0; i < bytes.size() && shown.size() < 160; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        shown += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '.';
    }
    std::fprintf(
        stderr, "  trip %lld on connection %zu: %s\n", static_cast<long long>(trip), connection, shown.c_str());
}

} // namespace

LatencyProxy::LatencyProxy(const std::string& host, int port, int delayMs)
    : m_host(host), m_targetPort(port), m_delayMs(delayMs)
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(m_listen, 16) != 0 || getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0
        || pipe2(m_wake, O_CLOEXEC) != 0) {
        if (m_listen >= 0)
            close(m_listen);
        m_listen = -1;
        return;
    }
    m_port = ntohs(address.sin_port);
    NonBlocking(m_listen);
    m_thread = std::thread([this] { Run(); });
}

LatencyProxy::~LatencyProxy()
{
    if (m_thread.joinable()) {
        const char stop = 1;
        (void)!write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_listen, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            close(fd);
    }
}

void LatencyProxy::Run()
{
    const auto delay = std::chrono::milliseconds(m_delayMs);
    std::list<Pair> pairs;
    size_t connections = 0;
    for (;;) {
        const auto now = Clock::now();
        for (Pair& p : pairs) {
            Pass(p.up, now);
            Pass(p.down, now);
        }
        for (auto it = pairs.begin(); it != pairs.end();) {
            if (it->Done()) {
                close(it->up.from);
                close(it->up.to);
                it = pairs.erase(it);
            } else {
                ++it;
            }
        }
        std::vector<pollfd> fds {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        auto next = Clock::time_point::max();
        for (Pair& p : pairs) {
            for (Direction* d : {&p.up, &p.down}) {
                short events = d->ended ? 0 : POLLIN;
                if (!d->held.empty()) {
                    if (d->held.front().due <= now)
                        fds.push_back({d->to, POLLOUT, 0});
                    else
                        next = std::min(next, d->held.front().due);
                }
                fds.push_back({d->from, events, 0});
            }
        }
        int timeout = -1;
        if (next != Clock::time_point::max())
            timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
        poll(fds.data(), fds.size(), timeout);
        if (fds[1].revents)
            break;
        const auto arrived = Clock::now();
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0)
                    break;
                const int server = ConnectTo(m_host, m_targetPort);
                if (server < 0) {
                    close(client);
                    continue;
                }
                NonBlocking(client);
                NonBlocking(server);
                Pair& p = pairs.emplace_back();
                p.number = ++connections;
                p.up.from = p.down.to = client;
                p.up.to = p.down.from = server;
                const int64_t trip = ++m_trips; // the connection's own handshake
                if (m_log)
                    std::fprintf(stderr, "  trip %lld: connection %zu opens\n", static_cast<long long>(trip), p.number);
            }
        }
        for (Pair& p : pairs) {
            const size_t before = p.up.held.size();
            Take(p.up, arrived + delay);
            if (p.up.held.size() > before && !p.up.held.back().bytes.empty() && p.clientTurn) {
                p.trip = ++m_trips;
                p.asked = arrived + delay;
                p.clientTurn = false;
                if (m_log)
                    LogTrip(p.trip, p.number, p.up.held.back().bytes);
            }
            const size_t answered = p.down.held.size();
            Take(p.down, arrived + delay);
            if (p.down.held.size() > answered && !p.clientTurn) {
                p.clientTurn = true;
                if (m_log) // the server's own time, and what the relay took besides
                    std::fprintf(stderr, "  trip %lld answered %.2f ms after it reached the server\n",
                        static_cast<long long>(p.trip),
                        std::chrono::duration<double, std::milli>(arrived - p.asked).count());
            }
        }
    }
    for (Pair& p : pairs) {
        close(p.up.from);
        close(p.up.to);
    }
}
