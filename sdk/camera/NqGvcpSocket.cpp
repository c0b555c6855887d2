#include "camera/NqGvcpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

NqGvcpSocket::~NqGvcpSocket()
{
    close();
}

bool NqGvcpSocket::open(uint32_t localIp, bool broadcast, std::string* error)
{
    close();
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    const int on = 1;
    if (broadcast)
        ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(localIp);
    local.sin_port = 0;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        if (error)
            *error = std::strerror(errno);
        close();
        return false;
    }
    return true;
}

void NqGvcpSocket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool NqGvcpSocket::sendTo(const NqGvcp::Packet& packet, uint32_t ip, uint16_t port)
{
    if (m_fd < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(ip);
    to.sin_port = htons(port);
    const ssize_t sent = ::sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    return sent == ssize_t(packet.size());
}

bool NqGvcpSocket::receive(NqGvcp::Packet& packet, Clock::time_point deadline, uint32_t* fromIp)
{
    if (m_fd < 0)
        return false;
    for (;;) {
        // At least one look, so a datagram already queued is read even at the deadline.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, left > 0 ? int(left) : 0);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        packet.resize(1500);
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t size = ::recvfrom(m_fd, packet.data(), packet.size(), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            // An ICMP "port unreachable" from an earlier send: keep listening.
            if (errno == ECONNREFUSED)
                continue;
            return false;
        }
        packet.resize(size_t(size));
        if (fromIp)
            *fromIp = ntohl(from.sin_addr.s_addr);
        return true;
    }
}

bool NqGvcpSocket::readRegister(uint32_t deviceIp, uint32_t address, uint32_t& value, uint16_t requestId,
                                std::chrono::milliseconds timeout, int attempts)
{
    const NqGvcp::Packet request = NqGvcp::buildReadRegCmd(requestId, {address});
    NqGvcp::Packet answer;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!sendTo(request, deviceIp))
            return false;
        const auto deadline = Clock::now() + timeout;
        uint32_t from = 0;
        while (receive(answer, deadline, &from)) {
            std::vector<uint32_t> values;
            if (from == deviceIp && NqGvcp::parseReadRegAck(answer.data(), answer.size(), requestId, values)
                && values.size() == 1) {
                value = values[0];
                return true;
            }
        }
    }
    return false;
}
