#pragma once

#include "SendRecord.h"
#include "KyNetworkLib/SocketUDP.h"
#include "KyTransportLayerLib/TransmitEngine.h"
#include "NzUtilsLib/Logger.h"

#include <string>

namespace NqTransmitterRawLib {

// The user-mode sender's socket: one connected UDP socket that takes the
// engine's packets a record at a time and sends each record with one
// sendmmsg call. Sends complete synchronously, so every record is reported
// to the engine (SendDone) before SendPackets returns. Used on the engine's
// thread only, and by Open/Close while that thread does not run.
class SocketWrapper : public KyTransportLayerLib::IPacketSink
{
public:
    // Send buffer granted per pending send record.
    static constexpr int SendBufferPerRecord = 8192;

    explicit SocketWrapper(KyTransportLayerLib::TransmitEngine& engine);
    ~SocketWrapper() override { Close(); }

    NzUtilsLib::Result Open(const KyNetworkLib::IpAddress& destination, uint16_t destinationPort,
                            const KyNetworkLib::IpAddress* source, uint16_t sourcePort, bool dontFragment,
                            uint32_t recordCount);
    void Close();

    uint16_t GetSourcePort() const { return m_socket.GetHostPort(); }
    // Empty when the socket has no local address.
    std::string GetSourceIPAddress() const;
    int GetHandle() const { return m_socket.GetHandle(); }

    void AddPacket(const KyTransportLayerLib::Packet& packet) override;
    void SendPackets() override;

private:
    NzUtilsLib::Result Fail(const char* format);

    KyTransportLayerLib::TransmitEngine& m_engine;
    KyNetworkLib::SocketUDP m_socket;
    SendRecord m_record;
    NzUtilsLib::Logger m_logger;
};

} // namespace NqTransmitterRawLib
