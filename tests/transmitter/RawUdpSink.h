#pragma once

#include "StratolineProtocol.h"
#include "KyTransportLayerLib/TransmitEngine.h"

#include <cstdint>
#include <netinet/in.h>
#include <vector>

// The test filter driver's packet sink: sends the engine's packets as UDP
// datagrams whose headers it writes itself (through a raw socket), so they
// leave from the source port of the plug-in block, the port the sender's
// own socket holds.
class RawUdpSink : public KyTransportLayerLib::IPacketSink
{
public:
    RawUdpSink(KyTransportLayerLib::TransmitEngine& engine, const NqTransmitterRawLib::Stratoline::PlugIn& plugIn);
    ~RawUdpSink() override;
    RawUdpSink(const RawUdpSink&) = delete;
    RawUdpSink& operator=(const RawUdpSink&) = delete;

    // False when the raw socket could not be made.
    bool IsOpen() const { return m_socket >= 0; }

    void AddPacket(const KyTransportLayerLib::Packet& packet) override;
    void SendPackets() override;

private:
    KyTransportLayerLib::TransmitEngine& m_engine;
    int m_socket = -1;
    sockaddr_in m_destination{};
    uint16_t m_sourcePort = 0;
    uint16_t m_destinationPort = 0;
    std::vector<uint8_t> m_datagram;
    void* m_context = nullptr;
    uint32_t m_packets = 0;
    uint32_t m_payloadBytes = 0;
    bool m_failed = false;
};
