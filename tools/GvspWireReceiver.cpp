#include "GvspWireReceiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

namespace Gvsp = KyNetworkLib::Gvsp;

GvspWireReceiver::GvspWireReceiver() : m_socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    const int bufferBytes = 8 * 1024 * 1024;
    const int on = 1;
    ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    ::setsockopt(m_socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(0x7F000001);
    socklen_t localSize = sizeof local;
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0
        && ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &localSize) == 0)
        m_port = ntohs(local.sin_port);
}

GvspWireReceiver::~GvspWireReceiver()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

bool GvspWireReceiver::next(Packet& packet, int timeoutMs)
{
    for (;;) {
        pollfd fd{m_socket, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0)
            return false;
        iovec io{m_datagram.data(), m_datagram.size()};
        char control[CMSG_SPACE(sizeof(timespec))];
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_socket, &message, 0);
        if (n <= 0 || !Gvsp::ReadHeader(m_datagram.data(), size_t(n), packet.header))
            continue;
        timespec stamp{};
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS)
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        packet.size = size_t(n);
        Gvsp::Leader leader;
        const size_t header = Gvsp::HeaderSize(packet.header.extended);
        packet.timestamp = packet.header.format == Gvsp::FormatLeader
                && Gvsp::ReadLeader(m_datagram.data() + header, size_t(n) - header, leader)
            ? leader.timestamp
            : 0;
        packet.sent = double(stamp.tv_sec) + double(stamp.tv_nsec) / 1e9;
        return true;
    }
}

bool GvspWireReceiver::nextFrame(std::vector<Packet>& frame, int timeoutMs)
{
    bool inFrame = false;
    Packet packet;
    while (next(packet, timeoutMs)) {
        if (packet.header.format == Gvsp::FormatLeader) {
            inFrame = true;
            frame = {packet};
        } else if (inFrame && packet.header.blockId == frame.front().header.blockId) {
            frame.push_back(packet);
            if (packet.header.format == Gvsp::FormatTrailer)
                return true;
        }
    }
    return false;
}
