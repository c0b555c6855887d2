#include "RawUdpSink.h"

#include <arpa/inet.h>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr uint32_t UdpHeaderSize = 8;
} // namespace

RawUdpSink::RawUdpSink(KyTransportLayerLib::TransmitEngine& engine,
                       const NqTransmitterRawLib::Stratoline::PlugIn& plugIn)
    : m_engine(engine), m_sourcePort(plugIn.sourcePort), m_destinationPort(plugIn.destinationPort)
{
    m_destination.sin_family = AF_INET;
    m_destination.sin_addr.s_addr = htonl(plugIn.destination.GetValue());
    m_socket = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_socket < 0)
        return;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(plugIn.localIp.GetValue());
    bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local);
    // It would also receive every UDP datagram of the host: keep none.
    const int small = 1;
    setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const int large = 8 << 20;
    setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, &large, sizeof large);
    m_datagram.resize(65536);
}

RawUdpSink::~RawUdpSink()
{
    if (m_socket >= 0)
        close(m_socket);
}

void RawUdpSink::AddPacket(const KyTransportLayerLib::Packet& packet)
{
    m_context = packet.context;
    const size_t size = UdpHeaderSize + packet.headerSize + packet.payloadSize;
    uint8_t* d = m_datagram.data();
    d[0] = uint8_t(m_sourcePort >> 8);
    d[1] = uint8_t(m_sourcePort);
    d[2] = uint8_t(m_destinationPort >> 8);
    d[3] = uint8_t(m_destinationPort);
    d[4] = uint8_t(size >> 8);
    d[5] = uint8_t(size);
    d[6] = d[7] = 0; // no checksum
    std::memcpy(d + UdpHeaderSize, packet.header, packet.headerSize);
    if (packet.payloadSize)
        std::memcpy(d + UdpHeaderSize + packet.headerSize, packet.payload, packet.payloadSize);
    const bool sent =
        sendto(m_socket, d, size, 0, reinterpret_cast<const sockaddr*>(&m_destination), sizeof m_destination)
        == ssize_t(size);
    m_failed = m_failed || !sent;
    ++m_packets;
    m_payloadBytes += packet.payloadSize;
}

void RawUdpSink::SendPackets()
{
    if (m_packets)
        m_engine.SendDone(m_context, m_packets, m_payloadBytes, m_failed);
    m_packets = 0;
    m_payloadBytes = 0;
    m_failed = false;
}
