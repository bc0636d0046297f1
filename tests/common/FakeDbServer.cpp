#include "FakeDbServer.h"

#include "ClosedPort.h"

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

void SendAll(int fd, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

void PutBig32(QByteArray& out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

quint32 Big32(const QByteArray& in, qsizetype at)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(in[at + i]);
    return value;
}

quint32 Little24(const QByteArray& in, qsizetype at)
{
    return static_cast<unsigned char>(in[at]) | (static_cast<unsigned char>(in[at + 1]) << 8)
        | (static_cast<unsigned char>(in[at + 2]) << 16);
}

// One PostgreSQL backend message: type, length (itself included), body.
QByteArray PgMessage(char type, const QByteArray& body)
{
    QByteArray out(1, type);
    PutBig32(out, static_cast<quint32>(body.size() + 4));
    return out + body;
}

// One MySQL packet: 3-byte little-endian length, sequence number, payload.
QByteArray MyPacket(quint8 sequence, const QByteArray& payload)
{
    QByteArray out;
    const auto size = static_cast<quint32>(payload.size());
    out.append(static_cast<char>(size & 0xFF)).append(static_cast<char>((size >> 8) & 0xFF));
    out.append(static_cast<char>((size >> 16) & 0xFF)).append(static_cast<char>(sequence));
    return out + payload;
}

QByteArray MyHandshake(quint32 threadId)
{
    // Long password, found rows, long flag, connect with db, protocol 4.1, transactions,
    // secure connection, multi statements and results, plugin auth; no TLS.
    const quint32 caps = 0x1 | 0x2 | 0x4 | 0x8 | 0x200 | 0x2000 | 0x8000 | 0x10000 | 0x20000 | 0x80000;
    QByteArray p;
    p.append('\x0a').append("5.5.5-10.11.0-MariaDB").append('\0');
    p.append(reinterpret_cast<const char*>(&threadId), 4); // little-endian on every test machine
    p.append("abcdefgh").append('\0');
    p.append(static_cast<char>(caps & 0xFF)).append(static_cast<char>((caps >> 8) & 0xFF));
    p.append('\x21'); // utf8
    p.append('\x02').append('\0'); // autocommit
    p.append(static_cast<char>((caps >> 16) & 0xFF)).append(static_cast<char>((caps >> 24) & 0xFF));
    p.append('\x15'); // 21 bytes of scramble
    p.append(QByteArray(10, '\0'));
    p.append("ijklmnopqrst").append('\0');
    p.append("mysql_native_password").append('\0');
    return MyPacket(0, p);
}

// One TDS reply packet, the last of its message.
QByteArray TdsPacket(const QByteArray& payload)
{
    const auto size = static_cast<quint16>(payload.size() + 8);
    QByteArray out("\x04\x01", 2);
    out.append(static_cast<char>(size >> 8)).append(static_cast<char>(size & 0xFF));
    out.append(QByteArray("\x00\x00\x01\x00", 4));
    return out + payload;
}

QByteArray TdsDone()
{
    return QByteArray("\xFD\x00\x00\x00\x00", 5) + QByteArray(8, '\0');
}

QByteArray TdsPreloginReply()
{
    // VERSION at 11, 6 bytes; ENCRYPTION at 17, 1 byte: not supported.
    return TdsPacket(QByteArray("\x00\x00\x0B\x00\x06\x01\x00\x11\x00\x01\xFF", 11)
        + QByteArray("\x10\x00\x07\xD0\x00\x00", 6) + QByteArray("\x02", 1));
}

QByteArray TdsLoginReply()
{
    const QByteArray name = QByteArray("S\0Q\0L\0", 6);
    QByteArray ack("\x01\x74\x00\x00\x04", 5); // T-SQL, TDS 7.4
    ack.append(static_cast<char>(name.size() / 2)).append(name).append(QByteArray("\x10\x00\x07\xD0", 4));
    QByteArray token("\xAD", 1);
    token.append(static_cast<char>(ack.size() & 0xFF)).append(static_cast<char>(ack.size() >> 8)).append(ack);
    return TdsPacket(token + TdsDone());
}

} // namespace

struct FakeDbServer::Client
{
    int fd = -1;
    QByteArray in;
    bool loggedIn = false;
    QByteArray message; // TDS: the packets of the message under way
    bool silent = false;
};

FakeDbServer::FakeDbServer(Protocol protocol) : m_protocol(protocol)
{
    m_listener = BindLoopback(m_port, 16);
    if (pipe(m_wake) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_thread = std::thread(&FakeDbServer::Run, this);
}

FakeDbServer::~FakeDbServer()
{
    if (m_wake[1] >= 0 && write(m_wake[1], "x", 1) < 0)
        perror("FakeDbServer");
    m_thread.join();
    for (int fd : {m_listener, m_wake[0], m_wake[1]})
        if (fd >= 0)
            close(fd);
}

QList<QByteArray> FakeDbServer::Statements() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_statements;
}

QByteArray FakeDbServer::Received() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_received;
}

void FakeDbServer::Run()
{
    std::vector<Client> clients;
    quint32 nextThread = 1;
    for (;;) {
        std::vector<pollfd> fds {{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (const Client& client : clients)
            fds.push_back({client.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            Client client;
            client.fd = accept(m_listener, nullptr, nullptr);
            if (client.fd >= 0) {
                ++m_connections;
                ++m_open;
                if (m_protocol == Protocol::MySQL)
                    SendAll(client.fd, MyHandshake(nextThread++));
                clients.push_back(client);
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            Client& client = clients[i - 2];
            char buffer[4096];
            const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
            if (n > 0)
                client.in.append(buffer, n);
            if (n <= 0 || !Serve(client)) {
                close(client.fd);
                client.fd = -1;
                --m_open;
            }
        }
        std::erase_if(clients, [](const Client& client) { return client.fd < 0; });
    }
    for (const Client& client : clients)
        close(client.fd);
}

void FakeDbServer::ServeTds(Client& client)
{
    while (client.in.size() >= 8) {
        const int size = (static_cast<unsigned char>(client.in[2]) << 8) | static_cast<unsigned char>(client.in[3]);
        if (size < 8 || client.in.size() < size)
            return;
        const char type = client.in[0];
        const bool last = client.in[1] & 0x01;
        client.message.append(client.in.mid(8, size - 8));
        client.in.remove(0, size);
        if (!last)
            continue;
        if (type == '\x12') {
            SendAll(client.fd, TdsPreloginReply());
        } else if (type == '\x10') {
            ++m_logins;
            SendAll(client.fd, TdsLoginReply());
        } else if (type == '\x01' || type == '\x0E') { // a batch, a transaction request
            if (type == '\x01'
                && QString::fromUtf16(reinterpret_cast<const char16_t*>(client.message.constData()),
                       client.message.size() / 2)
                       .contains(QLatin1String("silent"))) {
                client.silent = true;
                ++m_silent;
            }
            if (!client.silent)
                SendAll(client.fd, TdsPacket(TdsDone()));
        }
        client.message.clear();
    }
}

bool FakeDbServer::Serve(Client& client)
{
    if (m_protocol == Protocol::Tds) {
        ServeTds(client);
        return true;
    }
    if (m_protocol == Protocol::Mute) {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_received.append(client.in.left(std::max<qsizetype>(0, (64 << 10) - m_received.size())));
        client.in.clear();
        return true;
    }
    if (m_protocol == Protocol::MySQL) {
        while (client.in.size() >= 4 && client.in.size() >= 4 + Little24(client.in, 0)) {
            const qsizetype size = Little24(client.in, 0);
            const QByteArray payload = client.in.mid(4, size);
            const quint8 sequence = static_cast<quint8>(client.in[3]);
            client.in.remove(0, 4 + size);
            if (!client.loggedIn) {
                client.loggedIn = true;
                ++m_logins;
                SendAll(client.fd, MyPacket(sequence + 1, QByteArray("\x00\x00\x00\x02\x00\x00\x00", 7)));
            } else if (!payload.isEmpty() && payload[0] == '\x03') {
                std::lock_guard<std::mutex> guard(m_lock);
                m_statements.append(payload.mid(1));
            } else if (!payload.isEmpty() && payload[0] == '\x01') { // COM_QUIT
                return false;
            }
        }
        return true;
    }
    // PostgreSQL: a startup packet (length, code), then typed messages.
    while (!client.loggedIn && client.in.size() >= 8 && client.in.size() >= Big32(client.in, 0)) {
        const quint32 size = Big32(client.in, 0);
        const quint32 code = Big32(client.in, 4);
        client.in.remove(0, size);
        if (code == 80877103 || code == 80877104) { // TLS or GSS encryption asked: refused
            SendAll(client.fd, "N");
        } else if (code == 80877102) { // a cancel request: taken, and the connection closed
            ++m_cancels;
            return false;
        } else {
            client.loggedIn = true;
            ++m_logins;
            QByteArray key;
            PutBig32(key, 4242);
            PutBig32(key, 1234567);
            SendAll(client.fd, PgMessage('R', QByteArray(4, '\0')) + PgMessage('K', key) + PgMessage('Z', "I"));
        }
    }
    while (client.loggedIn && client.in.size() >= 5 && client.in.size() >= 1 + Big32(client.in, 1)) {
        const quint32 size = Big32(client.in, 1);
        const char type = client.in[0];
        const QByteArray body = client.in.mid(5, size - 4);
        client.in.remove(0, 1 + size);
        if (type == 'X')
            return false;
        if (type == 'Q' || type == 'P') {
            std::lock_guard<std::mutex> guard(m_lock);
            // A Parse holds the statement's name before its text.
            const QByteArray text = type == 'Q' ? body : body.mid(body.indexOf('\0') + 1);
            m_statements.append(text.left(text.indexOf('\0')));
        }
    }
    return true;
}
