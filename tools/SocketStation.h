#pragma once

#include "RemoteProtocol.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>

#include <atomic>
#include <mutex>
#include <thread>

// A stand-in station in plain sockets on a thread of its own: it answers
// every block it reads with `reply` ("Ready" and NUL, as an idle station
// does), answerMs after the block came in, and records the blocks. Its timing does not depend on the caller's
// thread, which the console under test blocks while it connects.
//
// It may start off, as a PC that is off while its address still routes, or
// one behind a firewall that drops: its socket listens with the accept queue
// full (one connection of its own that nobody takes), so the kernel drops
// every SYN and a client's connect runs into its own time-out. That needs no
// privileges, so it works in a test's network namespace. An off station can
// come up once it has dropped a SYN: the client's next SYN (the kernel's
// first retransmission, a second later) then completes, as for a station
// slow to reach. The dropped SYNs are counted for the whole network
// namespace: no other listener there may overflow meanwhile.
class SocketStation
{
public:
    enum class Start { Up, Off };

    explicit SocketStation(int answerMs = 0, const QByteArray& reply = QByteArray("Ready", 6))
        : m_answerMs(answerMs), m_reply(reply)
    {
    }
    ~SocketStation();
    SocketStation(const SocketStation&) = delete;
    SocketStation& operator=(const SocketStation&) = delete;

    // False when it cannot listen on `address`.
    bool listen(const QHostAddress& address, Start start, quint16 port = RemoteProtocol::DefaultPort);
    // An off station comes up once a SYN has been dropped from now on.
    void comeUpAfterDroppedSyn();
    // The blocks read, in the order they came in.
    QList<QByteArray> received() const;

private:
    bool fillQueue(const void* address, unsigned length);
    void serve(qint64 droppedBefore);

    const int m_answerMs;
    const QByteArray m_reply;
    int m_listening = -1;
    int m_filler = -1; // the client side of the connection that fills the queue
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    QList<QByteArray> m_received;
};
