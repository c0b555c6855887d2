#pragma once

#include <cstddef>
#include <cstdint>

// GigE Vision stream protocol (GVSP) packets as this library writes them:
// builders and parsers side by side, all fields big-endian.
//
// Standard header (8 bytes): status u16, block id u16, EI bit + format u8,
// packet id u24. Extended-id header (20 bytes): status u16, flags u16,
// EI bit + format u8, 3 reserved bytes, block id u64, packet id u32.
// A block is the leader (packet id 0), data packets 1..N and the trailer N+1.
namespace KyNetworkLib {
namespace Gvsp {

constexpr uint32_t IpUdpHeaderSize = 28;
constexpr uint32_t StandardHeaderSize = 8;
constexpr uint32_t ExtendedHeaderSize = 20;
// Room every header template gets (header plus leader or trailer fields).
constexpr uint32_t HeaderAreaSize = 128;
constexpr uint8_t ExtendedIdFlag = 0x80;
constexpr uint32_t MaxStandardPacketId = 0xFFFFFF;
constexpr uint16_t MaxStandardBlockId = 0xFFFF;
// The packet size is the size of the IP datagram.
constexpr uint32_t MaxPacketSize = 65535;

enum PacketFormat : uint8_t { FormatLeader = 1, FormatTrailer = 2, FormatPayload = 3 };
enum PayloadType : uint16_t { PayloadImage = 0x0001, PayloadRawData = 0x0002 };

constexpr uint32_t ImageLeaderSize = 36;
constexpr uint32_t RawDataLeaderSize = 20;
constexpr uint32_t ImageTrailerSize = 8;
constexpr uint32_t RawDataTrailerSize = 4;

struct Header
{
    uint16_t status = 0;
    bool extended = false;
    uint8_t format = 0;
    uint64_t blockId = 0;
    uint32_t packetId = 0;
};

// Leader fields; the image fields are meaningful for PayloadImage only,
// payloadSize for PayloadRawData only.
struct Leader
{
    uint16_t payloadType = PayloadRawData;
    uint64_t timestamp = 0;
    uint32_t pixelFormat = 0;
    uint32_t sizeX = 0;
    uint32_t sizeY = 0;
    uint32_t offsetX = 0;
    uint32_t offsetY = 0;
    uint16_t paddingX = 0;
    uint16_t paddingY = 0;
    uint64_t payloadSize = 0;
};

struct Trailer
{
    uint16_t payloadType = PayloadRawData;
    uint32_t sizeY = 0;
};

inline uint32_t HeaderSize(bool extended) { return extended ? ExtendedHeaderSize : StandardHeaderSize; }

// Writes HeaderSize(header.extended) bytes.
void WriteHeader(uint8_t* area, const Header& header);
// Rewrites block and packet id of a written header.
void WriteIds(uint8_t* area, bool extended, uint64_t blockId, uint32_t packetId);
bool ReadHeader(const uint8_t* data, size_t size, Header& header);

// Leader and trailer fields after the header; return the bytes written.
uint32_t WriteLeader(uint8_t* area, const Leader& leader);
bool ReadLeader(const uint8_t* data, size_t size, Leader& leader);
uint32_t WriteTrailer(uint8_t* area, const Trailer& trailer);
bool ReadTrailer(const uint8_t* data, size_t size, Trailer& trailer);

// The block id after `current`: 16-bit ids run 1..65535 and wrap to 1 (0 is
// never used), 64-bit ids just count up from 1.
uint64_t NextBlockId(uint64_t current, bool extended);
// Payload bytes a data packet carries at this packet size; 0 when the
// headers leave no room.
uint32_t DataBytesPerPacket(uint32_t packetSize, bool extended);
// Smallest packet size that carries the largest leader in either header mode.
constexpr uint32_t MinPacketSize = IpUdpHeaderSize + ExtendedHeaderSize + ImageLeaderSize;
// Data packets of a payload (0 for an empty payload).
uint64_t DataPacketCount(uint64_t payloadSize, uint32_t bytesPerPacket);

} // namespace Gvsp
} // namespace KyNetworkLib
