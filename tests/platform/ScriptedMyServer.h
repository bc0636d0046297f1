#pragma once

// A small MariaDB server of a test's own on a loopback port: it logs every client in, answers
// the session's settings as a server in a read-only transaction does, and answers a query
// naming "endless" with rows of one column "a" without end, a hundred every few milliseconds,
// whatever it is asked meanwhile ("kill query" from a second connection included), and one
// naming "silent" with nothing at all. Each connection is served on a thread of its own.
#include "ClosedPort.h"
#include "ScriptedServer.h"
#include "platform/db/DbConnection.h"

#include <QByteArray>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

class ScriptedMyServer : public ScriptedServer
{
public:
    ScriptedMyServer()
    {
        m_listener = BindLoopback(m_port);
        Start();
    }

    ~ScriptedMyServer() override { Stop(); }

    DbServerSettings Settings() const { return {"127.0.0.1", m_port, "db", "u", "p"}; }
    // "kill query" statements received.
    int Kills() const { return m_kills.load(); }

private:
    static constexpr quint16 kReadOnlyTransaction = 0x2001; // IN_TRANS | IN_TRANS_READONLY

    static QByteArray Packet(quint8& sequence, const QByteArray& payload)
    {
        QByteArray out;
        const auto size = static_cast<quint32>(payload.size());
        out.append(char(size & 0xFF)).append(char((size >> 8) & 0xFF)).append(char((size >> 16) & 0xFF));
        out.append(char(sequence++));
        return out + payload;
    }

    static QByteArray Text(const QByteArray& text) { return char(text.size()) + text; } // under 251 bytes

    static QByteArray Ok()
    {
        return QByteArray("\x00\x00\x00", 3) + char(kReadOnlyTransaction & 0xFF) + char(kReadOnlyTransaction >> 8)
            + QByteArray(2, '\0');
    }

    static QByteArray Eof()
    {
        return QByteArray("\xFE\x00\x00", 3) + char(kReadOnlyTransaction & 0xFF) + char(kReadOnlyTransaction >> 8);
    }

    // The head of a result set of one text column: its count, its definition and the EOF after it.
    static QByteArray ResultHead(quint8& sequence, const QByteArray& name)
    {
        QByteArray column = Text("def") + Text("") + Text("") + Text("") + Text(name) + Text(name);
        column += QByteArray("\x0C\x21\x00\xFF\x00\x00\x00\xFD\x00\x00\x00\x00\x00", 13);
        return Packet(sequence, QByteArray(1, '\x01')) + Packet(sequence, column) + Packet(sequence, Eof());
    }

    static QByteArray Handshake(quint32 threadId)
    {
        // Long password, found rows, long flag, connect with db, protocol 4.1, transactions,
        // secure connection, multi statements and results, plugin auth; no TLS.
        const quint32 caps = 0x1 | 0x2 | 0x4 | 0x8 | 0x200 | 0x2000 | 0x8000 | 0x10000 | 0x20000 | 0x80000;
        QByteArray p;
        p.append('\x0a').append("5.5.5-10.11.0-MariaDB").append('\0');
        for (int shift = 0; shift < 32; shift += 8)
            p.append(char((threadId >> shift) & 0xFF));
        p.append("abcdefgh").append('\0');
        p.append(char(caps & 0xFF)).append(char((caps >> 8) & 0xFF));
        p.append('\x21').append('\x02').append('\0');
        p.append(char((caps >> 16) & 0xFF)).append(char((caps >> 24) & 0xFF));
        p.append('\x15').append(QByteArray(10, '\0'));
        p.append("ijklmnopqrst").append('\0');
        p.append("mysql_native_password").append('\0');
        quint8 sequence = 0;
        return Packet(sequence, p);
    }

    // One client packet; empty at the end.
    static QByteArray Take(int fd, QByteArray& in, quint8& sequence)
    {
        for (;;) {
            if (in.size() >= 4) {
                const qsizetype size = quint8(in[0]) | (quint8(in[1]) << 8) | (quint8(in[2]) << 16);
                if (in.size() >= 4 + size) {
                    sequence = quint8(in[3]) + 1;
                    const QByteArray payload = in.mid(4, size);
                    in.remove(0, 4 + size);
                    return payload.isEmpty() ? QByteArray(1, '\0') : payload;
                }
            }
            char buffer[65536];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return {};
            in.append(buffer, n);
        }
    }

    static bool Send(int fd, const QByteArray& bytes)
    {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }

    void Serve(int fd, quint32 thread) override
    {
        QByteArray in;
        quint8 sequence = 0;
        if (!Send(fd, Handshake(thread)) || Take(fd, in, sequence).isEmpty() || !Send(fd, Packet(sequence, Ok())))
            return;
        for (;;) {
            const QByteArray command = Take(fd, in, sequence);
            if (command.isEmpty() || command[0] == '\x01') // gone, or COM_QUIT
                return;
            const QByteArray text = command.mid(1).toLower();
            if (command[0] != '\x03') { // not a query: set option, reset, ping
                if (!Send(fd, Packet(sequence, Ok())))
                    return;
            } else if (text.contains("silent")) {
                while (!Take(fd, in, sequence).isEmpty()) { // nothing is answered again
                }
                return;
            } else if (text.contains("endless")) {
                if (!Send(fd, ResultHead(sequence, "a")))
                    return;
                while (!m_closing) {
                    QByteArray burst;
                    for (int r = 0; r < 100; ++r)
                        burst += Packet(sequence, QByteArray("\x01" "1", 2));
                    if (!Send(fd, burst))
                        return;
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                return;
            } else if (text.startsWith("select @@session.sql_mode")) {
                if (!Send(fd, ResultHead(sequence, "@@session.sql_mode") + Packet(sequence, Text(""))
                        + Packet(sequence, Eof())))
                    return;
            } else {
                if (text.startsWith("kill query"))
                    ++m_kills;
                if (!Send(fd, Packet(sequence, Ok())))
                    return;
            }
        }
    }

    int m_port = 0;
    std::atomic<int> m_kills {0};
};
