#pragma once

// A TCP relay on loopback that holds every chunk it passes for a fixed time each way, as a
// distant server would, and counts the client's turns: each time the client sends after the
// server last answered on its connection (or sends first on a new one) is one round trip, and so
// is each new connection (the wait for its handshake). Pipelined messages sent back to back
// count once. For measuring only; it runs on a thread of its own until destroyed. Where asked, it
// writes a line for each round trip to standard error, with the first bytes the client sent in it,
// so that what each one is can be read.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class LatencyProxy
{
public:
    // Relays 127.0.0.1:Port() to host:port, holding each chunk delayMs each way.
    LatencyProxy(const std::string& host, int port, int delayMs);
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;

    bool Ok() const { return m_listen >= 0; }
    int Port() const { return m_port; }
    int64_t RoundTrips() const { return m_trips.load(); }
    void ResetRoundTrips() { m_trips = 0; }
    void LogRoundTrips(bool log) { m_log = log; }

private:
    void Run();

    std::string m_host;
    int m_targetPort;
    int m_delayMs;
    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::atomic<int64_t> m_trips {0};
    std::atomic<bool> m_log {false};
    std::thread m_thread;
};
