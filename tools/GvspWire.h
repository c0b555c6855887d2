#pragma once

// GigE Vision stream packets (standard 16-bit block ids, 24-bit packet ids)
// as the simulated camera sends them: a leader, the payload split into data
// packets, a trailer.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gvsp {

constexpr size_t HeaderSize = 8;
// IPv4 + UDP headers plus the GVSP header: what a packet size leaves for data.
constexpr size_t PacketOverhead = 20 + 8 + HeaderSize;
constexpr size_t LeaderPayloadSize = 36;
constexpr size_t TrailerPayloadSize = 8;

enum Format : uint8_t { FormatLeader = 1, FormatTrailer = 2, FormatData = 3 };
constexpr uint16_t PayloadTypeImage = 0x0001;

struct ImageInfo
{
    uint64_t timestamp = 0;
    uint32_t pixelFormat = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t offsetX = 0;
    uint32_t offsetY = 0;
};

struct Header
{
    uint16_t status = 0;
    uint16_t blockId = 0;
    uint8_t format = 0;
    uint32_t packetId = 0;
};

void writeHeader(uint8_t* packet, uint16_t blockId, Format format, uint32_t packetId);
bool parseHeader(const uint8_t* packet, size_t size, Header& header);

std::vector<uint8_t> buildLeader(uint16_t blockId, const ImageInfo& info);
bool parseLeader(const uint8_t* packet, size_t size, ImageInfo& info);
std::vector<uint8_t> buildTrailer(uint16_t blockId, uint32_t packetId, uint32_t height);

// Bytes of image data one data packet carries for a negotiated packet size.
size_t dataPerPacket(uint32_t packetSize);

} // namespace gvsp
