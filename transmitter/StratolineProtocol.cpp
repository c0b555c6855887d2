#include "StratolineProtocol.h"

#include <cstdio>
#include <cstring>

namespace NqTransmitterRawLib {
namespace Stratoline {

const wchar_t* const DevicePath = L"\\\\.\\kyStratolinePro";

namespace {

namespace PlugInOffset {
constexpr size_t Status = 0;
constexpr size_t LocalMac = 4;
constexpr size_t Constant1 = 12;
constexpr size_t Constant2 = 40;
constexpr size_t Capability = 68;
constexpr size_t HeaderFlag = 72;
constexpr size_t DontFragment = 76;
constexpr size_t EngineFlag = 80;
constexpr size_t Destination = 88;
constexpr size_t RemoteMac = 104;
constexpr size_t DestinationPort = 110;
constexpr size_t LocalIp = 116;
constexpr size_t LocalMacAgain = 132;
constexpr size_t SourcePort = 138;
constexpr size_t PendingSendRecords = 140;
} // namespace PlugInOffset

// The driver's own constants of the plug-in block.
constexpr uint32_t PlugInConstant = 2;

namespace EntryOffset {
constexpr size_t Status = 0;
constexpr size_t Record = 8;
constexpr size_t FirstCount = 16;
constexpr size_t PayloadBytes = 20;
} // namespace EntryOffset

constexpr size_t BatchEntries = 8;

void WritePort(uint8_t* at, uint16_t port)
{
    at[0] = uint8_t(port >> 8);
    at[1] = uint8_t(port);
}

uint16_t ReadPort(const uint8_t* at)
{
    return uint16_t((at[0] << 8) | at[1]);
}

KyNetworkLib::IpAddress ReadIp(const uint8_t* at)
{
    return KyNetworkLib::IpAddress((uint32_t(at[0]) << 24) | (uint32_t(at[1]) << 16) | (uint32_t(at[2]) << 8) | at[3]);
}

KyNetworkLib::EthernetAddress ReadMac(const uint8_t* at)
{
    KyNetworkLib::EthernetAddress mac;
    mac.Set(at);
    return mac;
}

} // namespace

uint32_t ReadU32(const uint8_t* block, size_t offset)
{
    const uint8_t* at = block + offset;
    return uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) | (uint32_t(at[3]) << 24);
}

uint64_t ReadU64(const uint8_t* block, size_t offset)
{
    return uint64_t(ReadU32(block, offset)) | (uint64_t(ReadU32(block, offset + 4)) << 32);
}

void WriteU32(uint8_t* block, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        block[offset + i] = uint8_t(value >> (8 * i));
}

void WriteU64(uint8_t* block, size_t offset, uint64_t value)
{
    WriteU32(block, offset, uint32_t(value));
    WriteU32(block, offset + 4, uint32_t(value >> 32));
}

void WritePlugIn(uint8_t* block, const PlugIn& p)
{
    using namespace PlugInOffset;
    std::memset(block, 0, PlugInSize);
    WriteU32(block, Status, PlugInConstant);
    std::memcpy(block + LocalMac, p.localMac.GetData(), 6);
    WriteU32(block, Constant1, PlugInConstant);
    WriteU32(block, Constant2, PlugInConstant);
    WriteU32(block, Capability, p.buffersCapability);
    WriteU32(block, HeaderFlag, p.headerFlag ? 1 : 0);
    WriteU32(block, DontFragment, p.dontFragment ? 1 : 0);
    WriteU32(block, EngineFlag, p.engineFlag ? 1 : 0);
    std::memcpy(block + Destination, p.destination.GetData(), 4);
    std::memcpy(block + RemoteMac, p.remoteMac.GetData(), 6);
    WritePort(block + DestinationPort, p.destinationPort);
    std::memcpy(block + LocalIp, p.localIp.GetData(), 4);
    std::memcpy(block + LocalMacAgain, p.localMac.GetData(), 6);
    WritePort(block + SourcePort, p.sourcePort);
    WriteU32(block, PendingSendRecords, p.pendingSendRecords);
}

PlugIn ReadPlugIn(const uint8_t* block)
{
    using namespace PlugInOffset;
    PlugIn p;
    p.localMac = ReadMac(block + LocalMac);
    p.localIp = ReadIp(block + LocalIp);
    p.sourcePort = ReadPort(block + SourcePort);
    p.destination = ReadIp(block + Destination);
    p.remoteMac = ReadMac(block + RemoteMac);
    p.destinationPort = ReadPort(block + DestinationPort);
    p.buffersCapability = ReadU32(block, Capability);
    p.headerFlag = ReadU32(block, HeaderFlag) != 0;
    p.dontFragment = ReadU32(block, DontFragment) != 0;
    p.engineFlag = ReadU32(block, EngineFlag) != 0;
    p.pendingSendRecords = ReadU32(block, PendingSendRecords);
    return p;
}

void WriteCompletion(uint8_t* area, const Completion& c)
{
    std::memset(area, 0, EntrySize);
    WriteU32(area, EntryOffset::Status, c.status);
    WriteU64(area, EntryOffset::Record, c.record);
    WriteU32(area, EntryOffset::FirstCount, c.firstCount);
    WriteU32(area, EntryOffset::PayloadBytes, c.payloadBytes);
}

Completion ReadCompletion(const uint8_t* area)
{
    Completion c;
    c.status = ReadU32(area, EntryOffset::Status);
    c.record = ReadU64(area, EntryOffset::Record);
    c.firstCount = ReadU32(area, EntryOffset::FirstCount);
    c.payloadBytes = ReadU32(area, EntryOffset::PayloadBytes);
    return c;
}

void WriteBatchRequest(uint8_t* block, uint64_t timeoutMs)
{
    std::memset(block, 0, BatchInSize);
    WriteU64(block, 0, timeoutMs);
    WriteU32(block, 8, MaxBatchEntries);
}

uint64_t ReadBatchTimeout(const uint8_t* block)
{
    return ReadU64(block, 0);
}

uint32_t ReadBatchWanted(const uint8_t* block)
{
    return ReadU32(block, 8);
}

void WriteBatch(uint8_t* block, uint32_t status, uint32_t count, const Completion* entries, uint32_t entryCount)
{
    std::memset(block, 0, BatchOutSize);
    WriteU32(block, 0, status);
    WriteU32(block, 4, count);
    for (uint32_t i = 0; i < entryCount && i < MaxBatchEntries; ++i)
        WriteCompletion(block + BatchEntries + i * EntrySize, entries[i]);
}

uint32_t ReadBatchStatus(const uint8_t* block)
{
    return ReadU32(block, 0);
}

uint32_t ReadBatchCount(const uint8_t* block)
{
    return ReadU32(block, 4);
}

Completion ReadBatchEntry(const uint8_t* block, uint32_t index)
{
    return index < MaxBatchEntries ? ReadCompletion(block + BatchEntries + index * EntrySize) : Completion();
}

bool ParseVersionText(const uint8_t* text, size_t size, int numbers[4])
{
    // The driver fills the block without promising a terminator.
    char terminated[VersionTextSize + 1] = {};
    std::memcpy(terminated, text, size < VersionTextSize ? size : VersionTextSize);
    return std::sscanf(terminated, "%d, %d, %d, %d", &numbers[0], &numbers[1], &numbers[2], &numbers[3]) == 4;
}

uint64_t MaxBufferSize(uint64_t pageSize)
{
    return (pageSize * 65487) >> 3;
}

} // namespace Stratoline
} // namespace NqTransmitterRawLib
