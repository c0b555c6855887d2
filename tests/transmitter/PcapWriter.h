#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes UDP datagrams as a pcap file of raw IPv4 packets (link type 101),
// rebuilding the IPv4 and UDP headers around each payload.
class PcapWriter
{
public:
    struct Datagram
    {
        uint32_t sourceAddress = 0; // host order
        uint16_t sourcePort = 0;
        uint32_t destinationAddress = 0;
        uint16_t destinationPort = 0;
        uint64_t timeUs = 0;
        std::vector<uint8_t> payload;
    };

    static constexpr uint32_t LinkTypeRawIp = 101;

    // One IPv4 packet (header checksum filled in, UDP checksum 0) around the payload.
    static std::vector<uint8_t> BuildPacket(const Datagram& datagram, uint16_t ipId);
    static bool Write(const std::string& path, const std::vector<Datagram>& datagrams);
};
