#include "GvspWire.h"

#include "GvcpWire.h"

namespace gvsp {

using gvcp::get16;
using gvcp::get32;
using gvcp::put16;
using gvcp::put32;

void writeHeader(uint8_t* packet, uint16_t blockId, Format format, uint32_t packetId)
{
    put16(packet, 0);
    put16(packet + 2, blockId);
    put32(packet + 4, (uint32_t(format) << 24) | (packetId & 0x00FFFFFF));
}

bool parseHeader(const uint8_t* packet, size_t size, Header& header)
{
    if (packet == nullptr || size < HeaderSize)
        return false;
    header.status = get16(packet);
    header.blockId = get16(packet + 2);
    header.format = packet[4] & 0x0F;
    header.packetId = get32(packet + 4) & 0x00FFFFFF;
    return true;
}

std::vector<uint8_t> buildLeader(uint16_t blockId, const ImageInfo& info)
{
    std::vector<uint8_t> packet(HeaderSize + LeaderPayloadSize, 0);
    writeHeader(packet.data(), blockId, FormatLeader, 0);
    uint8_t* p = packet.data() + HeaderSize;
    put16(p + 2, PayloadTypeImage);
    put32(p + 4, uint32_t(info.timestamp >> 32));
    put32(p + 8, uint32_t(info.timestamp));
    put32(p + 12, info.pixelFormat);
    put32(p + 16, info.width);
    put32(p + 20, info.height);
    put32(p + 24, info.offsetX);
    put32(p + 28, info.offsetY);
    return packet;
}

bool parseLeader(const uint8_t* packet, size_t size, ImageInfo& info)
{
    Header header;
    if (!parseHeader(packet, size, header) || header.format != FormatLeader
        || size < HeaderSize + LeaderPayloadSize)
        return false;
    const uint8_t* p = packet + HeaderSize;
    if (get16(p + 2) != PayloadTypeImage)
        return false;
    info.timestamp = (uint64_t(get32(p + 4)) << 32) | get32(p + 8);
    info.pixelFormat = get32(p + 12);
    info.width = get32(p + 16);
    info.height = get32(p + 20);
    info.offsetX = get32(p + 24);
    info.offsetY = get32(p + 28);
    return true;
}

std::vector<uint8_t> buildTrailer(uint16_t blockId, uint32_t packetId, uint32_t height)
{
    std::vector<uint8_t> packet(HeaderSize + TrailerPayloadSize, 0);
    writeHeader(packet.data(), blockId, FormatTrailer, packetId);
    put16(packet.data() + HeaderSize + 2, PayloadTypeImage);
    put32(packet.data() + HeaderSize + 4, height);
    return packet;
}

size_t dataPerPacket(uint32_t packetSize)
{
    // Never below what a minimal 576-byte datagram carries.
    const size_t size = packetSize < 576 ? 576 : packetSize;
    return size - PacketOverhead;
}

} // namespace gvsp
