#include "SocketStation.h"

#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int PollMs = 20;  // how soon a stop is noticed
constexpr int Backlog = 16; // once up

// SYNs dropped by full listening queues in this network namespace; -1 when
// the kernel does not say.
qint64 droppedSyns()
{
    QFile file(QStringLiteral("/proc/net/netstat"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // A line of names, then a line of values, per protocol.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (!lines.at(i).startsWith("TcpExt:"))
            continue;
        const QList<QByteArray> names = lines.at(i).simplified().split(' ');
        const QList<QByteArray> values = lines.at(i + 1).simplified().split(' ');
        const int at = names.indexOf("ListenOverflows");
        return at > 0 && at < values.size() ? values.at(at).toLongLong() : -1;
    }
    return -1;
}

bool readable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

struct Client
{
    int fd;
    std::deque<Clock::time_point> answersDue;
};

} // namespace

SocketStation::~SocketStation()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_filler >= 0)
        ::close(m_filler);
    if (m_listening >= 0)
        ::close(m_listening);
}

bool SocketStation::listen(const QHostAddress& address, Start start, quint16 port)
{
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(address.toIPv4Address());
    m_listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (m_listening < 0 || ::setsockopt(m_listening, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || ::bind(m_listening, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0)
        return false;
    if (start == Start::Off)
        return fillQueue(&at, sizeof at);
    if (::listen(m_listening, Backlog) != 0)
        return false;
    m_thread = std::thread([this] { serve(-1); });
    return true;
}

void SocketStation::comeUpAfterDroppedSyn()
{
    m_thread = std::thread([this, before = droppedSyns()] { serve(before); });
}

bool SocketStation::fillQueue(const void* address, unsigned length)
{
    // A queue of length 0 holds one connection: this one.
    m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return ::listen(m_listening, 0) == 0 && m_filler >= 0
           && ::connect(m_filler, static_cast<const sockaddr*>(address), length) == 0
           && readable(m_listening, 10000);
}

QList<QByteArray> SocketStation::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void SocketStation::serve(qint64 droppedBefore)
{
    if (droppedBefore >= 0) {
        while (!m_stop && droppedSyns() <= droppedBefore)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        // Room in the queue for the client's next SYN; its own connection
        // closes and goes once taken.
        ::listen(m_listening, Backlog);
        ::close(m_filler);
        m_filler = -1;
    }
    std::vector<Client> clients;
    while (!m_stop) {
        int timeoutMs = PollMs;
        for (const Client& c : clients) {
            if (!c.answersDue.empty()) {
                const auto due = std::chrono::ceil<std::chrono::milliseconds>(c.answersDue.front() - Clock::now());
                timeoutMs = std::clamp(int(due.count()), 0, timeoutMs);
            }
        }
        std::vector<pollfd> fds{{m_listening, POLLIN, 0}};
        for (const Client& c : clients)
            fds.push_back({c.fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), timeoutMs);
        if (fds.front().revents & POLLIN) {
            const int fd = ::accept(m_listening, nullptr, nullptr);
            if (fd >= 0)
                clients.push_back({fd, {}});
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            Client& c = clients[i - 1];
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char block[512];
            const ssize_t n = ::recv(c.fd, block, sizeof block, 0);
            if (n <= 0) {
                ::close(c.fd);
                c.fd = -1; // closed by the client
                continue;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received << QByteArray(block, int(n));
            c.answersDue.push_back(Clock::now() + std::chrono::milliseconds(m_answerMs));
        }
        for (Client& c : clients) {
            while (c.fd >= 0 && !c.answersDue.empty() && c.answersDue.front() <= Clock::now()) {
                ::send(c.fd, m_reply.constData(), size_t(m_reply.size()), MSG_NOSIGNAL);
                c.answersDue.pop_front();
            }
        }
        clients.erase(std::remove_if(clients.begin(), clients.end(), [](const Client& c) { return c.fd < 0; }),
                      clients.end());
    }
    for (const Client& c : clients)
        ::close(c.fd);
}
