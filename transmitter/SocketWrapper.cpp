#include "SocketWrapper.h"

#include "ResultCodes.h"

#include <cerrno>
#include <netinet/in.h>

namespace NqTransmitterRawLib {

using NzUtilsLib::Result;

constexpr int SocketWrapper::SendBufferPerRecord;

SocketWrapper::SocketWrapper(KyTransportLayerLib::TransmitEngine& engine) : m_engine(engine), m_logger(LogChannel, 0) {}

Result SocketWrapper::Open(const KyNetworkLib::IpAddress& destination, uint16_t destinationPort,
                           const KyNetworkLib::IpAddress* source, uint16_t sourcePort, bool dontFragment,
                           uint32_t recordCount)
{
    if (recordCount == 0 || recordCount > 0x7FFFFFFF / SendBufferPerRecord)
        return Result(Code::InvalidParameter);
    m_record.Reset();
    if (m_socket.Create().IsFailure())
        return Fail(Message::CreateSocket);
    if (m_socket.Bind(source, sourcePort).IsFailure())
        return Fail(Message::BindSocket);
    if (destination.IsMulticast() && m_socket.SetOption(IPPROTO_IP, IP_MULTICAST_TTL, 255).IsFailure())
        return Fail(Message::Multicast);
    // Linux sets DF by default (path-MTU discovery): fragments allowed must
    // clear it, as much as don't-fragment must set it.
    if (m_socket.SetOption(IPPROTO_IP, IP_MTU_DISCOVER, dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT).IsFailure())
        return Fail(Message::DontFragment);
    const int sendBuffer = int(recordCount) * SendBufferPerRecord;
    if (m_socket.SetOption(SOL_SOCKET, SO_SNDBUF, sendBuffer).IsFailure()) {
        const int error = m_socket.GetLastError();
        m_socket.Close();
        return NZ_LOG_RESULT(m_logger, Code::NetworkError, Message::SendBuffer, sendBuffer, error);
    }
    if (m_socket.Connect(destination, destinationPort).IsFailure())
        return Fail(Message::Connect);
    return Result::Success;
}

Result SocketWrapper::Fail(const char* format)
{
    const int error = m_socket.GetLastError();
    m_socket.Close();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    return NZ_LOG_RESULT(m_logger, Code::NetworkError, format, error);
#pragma GCC diagnostic pop
}

void SocketWrapper::Close()
{
    m_socket.Close();
    m_record.Reset();
}

std::string SocketWrapper::GetSourceIPAddress() const
{
    KyNetworkLib::IpAddress address;
    return m_socket.GetHostAddress(address) ? address.GetString() : std::string();
}

void SocketWrapper::AddPacket(const KyTransportLayerLib::Packet& packet)
{
    // A record carries the packets of one block only, so each completion is
    // credited to the block it belongs to.
    if (!m_record.IsEmpty() && (m_record.IsFull() || m_record.GetContext() != packet.context))
        SendPackets();
    m_record.Add(packet);
}

void SocketWrapper::SendPackets()
{
    if (m_record.IsEmpty())
        return;
    const uint32_t count = m_record.GetCount();
    uint32_t sent = 0;
    bool refusedOnce = false;
    bool failed = false;
    while (sent < count) {
        const int done = sendmmsg(m_socket.GetHandle(), m_record.GetMessages() + sent, count - sent, 0);
        if (done > 0) {
            sent += uint32_t(done);
            refusedOnce = false;
            continue;
        }
        if (done < 0 && errno == EINTR)
            continue;
        // A connected socket reports the port-unreachable answer to an earlier
        // datagram on the next send, which is not sent: send it again once.
        if (done < 0 && errno == ECONNREFUSED && !refusedOnce) {
            refusedOnce = true;
            continue;
        }
        NZ_LOG(m_logger, NzUtilsLib::Logger::Warning, "Fail to send %u GVSP packets. Error = %d", count - sent,
               done < 0 ? errno : 0);
        failed = true;
        break;
    }
    m_engine.SendDone(m_record.GetContext(), sent, m_record.GetPayloadBytes(sent), failed);
    m_record.Reset();
}

} // namespace NqTransmitterRawLib
