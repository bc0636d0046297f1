#pragma once

#include <QByteArray>
#include <QList>
#include <atomic>
#include <mutex>
#include <thread>

// A database server on a loopback port that lets a client log in and then never answers:
// it speaks just enough of the protocol for the login (PostgreSQL: AuthenticationOk,
// BackendKeyData, ReadyForQuery; MySQL: a version 10 handshake and OK after the client's
// answer), or nothing at all (Mute: the connection is accepted and left waiting). What
// the clients send after the login is kept, so a test can see a cancel arrive. A SQL Server
// (Tds: TDS 7.4) answers every batch and transaction request with an empty DONE until a
// batch names "silent": that one, and all after it on the connection, get no answer (nor
// does an attention).
class FakeDbServer
{
public:
    enum class Protocol { PostgreSQL, MySQL, Mute, Tds };

    explicit FakeDbServer(Protocol protocol);
    ~FakeDbServer();
    FakeDbServer(const FakeDbServer&) = delete;
    FakeDbServer& operator=(const FakeDbServer&) = delete;

    unsigned short Port() const { return static_cast<unsigned short>(m_port); }
    // Clients that completed the login.
    int Logins() const { return m_logins.load(); }
    // PostgreSQL cancel requests received.
    int CancelRequests() const { return m_cancels.load(); }
    // The statements sent after a login (MySQL's COM_QUERY texts, PostgreSQL's Query and Parse texts).
    QList<QByteArray> Statements() const;
    // Connections accepted, and for Mute the bytes they sent (up to 64 KB), whatever the
    // protocol: a TDS client's prelogin shows it reached the server.
    int Connections() const { return m_connections.load(); }
    QByteArray Received() const;
    // Connections the server still holds: a client's end shut or closed lets it go.
    int OpenConnections() const { return m_open.load(); }
    // Tds batches that named "silent".
    int SilentBatches() const { return m_silent.load(); }

private:
    struct Client;
    void Run();
    // False when the client is to be dropped.
    bool Serve(Client& client);
    void ServeTds(Client& client);

    Protocol m_protocol;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<int> m_logins {0};
    std::atomic<int> m_cancels {0};
    std::atomic<int> m_connections {0};
    std::atomic<int> m_open {0};
    std::atomic<int> m_silent {0};
    mutable std::mutex m_lock;
    QList<QByteArray> m_statements;
    QByteArray m_received;
    std::thread m_thread;
};
