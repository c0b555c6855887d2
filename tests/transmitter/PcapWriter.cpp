#include "PcapWriter.h"

#include <cstdio>

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v)
{
    out[at] = uint8_t(v >> 8);
    out[at + 1] = uint8_t(v);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    Put16(out, at, uint16_t(v >> 16));
    Put16(out, at + 2, uint16_t(v));
}

// pcap headers are in the writer's byte order; the magic number tells readers which.
template <typename T>
void Native(FILE* file, T value)
{
    std::fwrite(&value, sizeof value, 1, file);
}

} // namespace

std::vector<uint8_t> PcapWriter::BuildPacket(const Datagram& d, uint16_t ipId)
{
    const size_t total = 20 + 8 + d.payload.size();
    std::vector<uint8_t> packet(total, 0);
    packet[0] = 0x45;
    Put16(packet, 2, uint16_t(total));
    Put16(packet, 4, ipId);
    packet[8] = 64;
    packet[9] = 17;
    Put32(packet, 12, d.sourceAddress);
    Put32(packet, 16, d.destinationAddress);
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum += uint32_t(packet[i] << 8 | packet[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    Put16(packet, 10, uint16_t(~sum));
    Put16(packet, 20, d.sourcePort);
    Put16(packet, 22, d.destinationPort);
    Put16(packet, 24, uint16_t(8 + d.payload.size()));
    std::copy(d.payload.begin(), d.payload.end(), packet.begin() + 28);
    return packet;
}

bool PcapWriter::Write(const std::string& path, const std::vector<Datagram>& datagrams)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    Native<uint32_t>(file, 0xa1b2c3d4);
    Native<uint16_t>(file, 2);
    Native<uint16_t>(file, 4);
    Native<int32_t>(file, 0);
    Native<uint32_t>(file, 0);
    Native<uint32_t>(file, 65535);
    Native<uint32_t>(file, LinkTypeRawIp);
    uint16_t id = 0;
    for (const Datagram& d : datagrams) {
        const std::vector<uint8_t> packet = BuildPacket(d, id++);
        Native<uint32_t>(file, uint32_t(d.timeUs / 1000000));
        Native<uint32_t>(file, uint32_t(d.timeUs % 1000000));
        Native<uint32_t>(file, uint32_t(packet.size()));
        Native<uint32_t>(file, uint32_t(packet.size()));
        std::fwrite(packet.data(), 1, packet.size(), file);
    }
    return std::fclose(file) == 0;
}
