#include "KyNetworkLib/Gvsp.h"

namespace KyNetworkLib {
namespace Gvsp {

namespace {

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

void Put32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

void Put64(uint8_t* p, uint64_t v)
{
    Put32(p, uint32_t(v >> 32));
    Put32(p + 4, uint32_t(v));
}

uint16_t Get16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Get32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint64_t Get64(const uint8_t* p) { return (uint64_t(Get32(p)) << 32) | Get32(p + 4); }

} // namespace

void WriteHeader(uint8_t* area, const Header& header)
{
    Put16(area, header.status);
    Put16(area + 2, 0);
    area[4] = uint8_t((header.extended ? ExtendedIdFlag : 0) | (header.format & 0x0F));
    area[5] = area[6] = area[7] = 0;
    WriteIds(area, header.extended, header.blockId, header.packetId);
}

void WriteIds(uint8_t* area, bool extended, uint64_t blockId, uint32_t packetId)
{
    if (extended) {
        Put64(area + 8, blockId);
        Put32(area + 16, packetId);
        return;
    }
    Put16(area + 2, uint16_t(blockId));
    area[5] = uint8_t(packetId >> 16);
    area[6] = uint8_t(packetId >> 8);
    area[7] = uint8_t(packetId);
}

bool ReadHeader(const uint8_t* data, size_t size, Header& header)
{
    if (size < StandardHeaderSize)
        return false;
    header.status = Get16(data);
    header.extended = (data[4] & ExtendedIdFlag) != 0;
    header.format = data[4] & 0x0F;
    if (!header.extended) {
        header.blockId = Get16(data + 2);
        header.packetId = (uint32_t(data[5]) << 16) | (uint32_t(data[6]) << 8) | data[7];
        return true;
    }
    if (size < ExtendedHeaderSize)
        return false;
    header.blockId = Get64(data + 8);
    header.packetId = Get32(data + 16);
    return true;
}

uint32_t WriteLeader(uint8_t* area, const Leader& leader)
{
    Put16(area, 0);
    Put16(area + 2, leader.payloadType);
    Put64(area + 4, leader.timestamp);
    if (leader.payloadType != PayloadImage) {
        Put64(area + 12, leader.payloadSize);
        return RawDataLeaderSize;
    }
    Put32(area + 12, leader.pixelFormat);
    Put32(area + 16, leader.sizeX);
    Put32(area + 20, leader.sizeY);
    Put32(area + 24, leader.offsetX);
    Put32(area + 28, leader.offsetY);
    Put16(area + 32, leader.paddingX);
    Put16(area + 34, leader.paddingY);
    return ImageLeaderSize;
}

bool ReadLeader(const uint8_t* data, size_t size, Leader& leader)
{
    if (size < RawDataLeaderSize)
        return false;
    leader.payloadType = Get16(data + 2);
    leader.timestamp = Get64(data + 4);
    if (leader.payloadType != PayloadImage) {
        leader.payloadSize = Get64(data + 12);
        return true;
    }
    if (size < ImageLeaderSize)
        return false;
    leader.pixelFormat = Get32(data + 12);
    leader.sizeX = Get32(data + 16);
    leader.sizeY = Get32(data + 20);
    leader.offsetX = Get32(data + 24);
    leader.offsetY = Get32(data + 28);
    leader.paddingX = Get16(data + 32);
    leader.paddingY = Get16(data + 34);
    return true;
}

uint32_t WriteTrailer(uint8_t* area, const Trailer& trailer)
{
    Put16(area, 0);
    Put16(area + 2, trailer.payloadType);
    if (trailer.payloadType != PayloadImage)
        return RawDataTrailerSize;
    Put32(area + 4, trailer.sizeY);
    return ImageTrailerSize;
}

bool ReadTrailer(const uint8_t* data, size_t size, Trailer& trailer)
{
    if (size < RawDataTrailerSize)
        return false;
    trailer.payloadType = Get16(data + 2);
    if (trailer.payloadType != PayloadImage)
        return true;
    if (size < ImageTrailerSize)
        return false;
    trailer.sizeY = Get32(data + 4);
    return true;
}

uint64_t NextBlockId(uint64_t current, bool extended)
{
    if (extended)
        return current + 1;
    return current >= MaxStandardBlockId ? 1 : current + 1;
}

uint32_t DataBytesPerPacket(uint32_t packetSize, bool extended)
{
    const uint32_t headers = IpUdpHeaderSize + HeaderSize(extended);
    if (packetSize > MaxPacketSize || packetSize <= headers)
        return 0;
    return packetSize - headers;
}

uint64_t DataPacketCount(uint64_t payloadSize, uint32_t bytesPerPacket)
{
    return bytesPerPacket ? (payloadSize + bytesPerPacket - 1) / bytesPerPacket : 0;
}

} // namespace Gvsp
} // namespace KyNetworkLib
