#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <QtGlobal>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// What the tests' own database servers share: a listening socket whose clients are each
// served on a thread of their own until the server goes. A server binds m_listener, then
// starts; it stops in its own destructor, before the members its Serve uses go.
class ScriptedServer
{
public:
    ScriptedServer() = default;
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    virtual ~ScriptedServer() = default;

protected:
    void Start()
    {
        listen(m_listener, 16);
        m_acceptor = std::thread([this] { Accept(); });
    }

    // Ends every client's connection and waits for their threads.
    void Stop()
    {
        m_closing = true;
        shutdown(m_listener, SHUT_RDWR);
        m_acceptor.join();
        {
            std::lock_guard<std::mutex> guard(m_lock);
            for (int fd : m_clients)
                shutdown(fd, SHUT_RDWR);
        }
        for (std::thread& client : m_threads)
            client.join();
        close(m_listener);
    }

    // Serves one client; client counts them from 1.
    virtual void Serve(int fd, quint32 client) = 0;

    int m_listener = -1;
    std::atomic<bool> m_closing {false};
    mutable std::mutex m_lock;

private:
    void Accept()
    {
        quint32 next = 1;
        for (;;) {
            const int fd = accept(m_listener, nullptr, nullptr);
            if (fd < 0 || m_closing) {
                if (fd >= 0)
                    close(fd);
                return;
            }
            std::lock_guard<std::mutex> guard(m_lock);
            m_clients.push_back(fd);
            const quint32 client = next++;
            m_threads.emplace_back([this, fd, client] {
                Serve(fd, client);
                close(fd);
            });
        }
    }

    std::vector<int> m_clients;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};
