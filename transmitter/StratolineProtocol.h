#pragma once

#include "KyNetworkLib/EthernetAddress.h"
#include "KyNetworkLib/IpAddress.h"

#include <cstddef>
#include <cstdint>

// The I/O controls of the Kyvo Stratoline filter driver: codes, block sizes
// and layouts, with builders next to readers so the sender and a test
// device share one definition. Blocks are little-endian; MAC addresses are
// in wire order, IP addresses in network order, ports big-endian.
namespace NqTransmitterRawLib {
namespace Stratoline {

extern const wchar_t* const DevicePath;

enum IoControlCode : uint32_t {
    LoadPlugIn = 0x172004,
    ReadVersion = 0x17200C,
    ReadInterfaceVersion = 0x172010,
    QueueBuffer = 0x172648,
    RetrieveCompletions = 0x17264C,
    AbortQueued = 0x172660,
    AbortOldest = 0x172664,
};

constexpr uint32_t PlugInSize = 260;
constexpr uint32_t PlugInOutSize = 4;
constexpr uint32_t VersionTextSize = 64;
constexpr uint32_t InterfaceVersionInSize = 4;
constexpr uint32_t InterfaceVersionOutSize = 16;
constexpr uint32_t QueueSize = 9480;
constexpr uint32_t QueueOutSize = 4;
constexpr uint32_t BatchInSize = 16;
constexpr uint32_t BatchOutSize = 776;
constexpr uint32_t AbortInSize = 4;
constexpr uint32_t AbortOutSize = 8;
constexpr uint32_t AbortOldestSize = 32;
constexpr uint32_t EntrySize = 24;
constexpr uint32_t MaxBatchEntries = 32;
// The asynchronous context at the head of every driver record.
constexpr uint32_t RecordContextSize = 32;

// Both interface versions the sender speaks.
constexpr uint32_t InterfaceVersion = 2;
// Queue statuses meaning accepted.
constexpr uint32_t QueueAccepted = 0;
constexpr uint32_t QueueAcceptedToo = 14;
// The lowest driver major version the sender connects to.
constexpr int MinimumMajorVersion = 4;

// Queue block offsets; the rest after RecordOffset + 8 is reserved.
namespace Queue {
constexpr uint32_t Status = 0;
constexpr uint32_t LeaderSize = 8;
constexpr uint32_t Leader = 12;
constexpr uint32_t PayloadSize = 140;
constexpr uint32_t Payload = 144;
constexpr uint32_t TrailerSize = 152;
constexpr uint32_t Trailer = 156;
constexpr uint32_t HeaderArea = 128;
constexpr uint32_t PacketSize = 284;
constexpr uint32_t MaxThroughput = 288;
constexpr uint32_t Record = 296;
} // namespace Queue

uint32_t ReadU32(const uint8_t* block, size_t offset);
uint64_t ReadU64(const uint8_t* block, size_t offset);
void WriteU32(uint8_t* block, size_t offset, uint32_t value);
void WriteU64(uint8_t* block, size_t offset, uint64_t value);

struct PlugIn
{
    KyNetworkLib::EthernetAddress localMac;
    KyNetworkLib::IpAddress localIp;
    uint16_t sourcePort = 0;
    KyNetworkLib::IpAddress destination;
    KyNetworkLib::EthernetAddress remoteMac;
    uint16_t destinationPort = 0;
    uint32_t buffersCapability = 0;
    bool headerFlag = false;
    bool dontFragment = false;
    bool engineFlag = false;
    uint32_t pendingSendRecords = 0;
};

// Fills all PlugInSize bytes.
void WritePlugIn(uint8_t* block, const PlugIn& plugIn);
PlugIn ReadPlugIn(const uint8_t* block);

// One completed buffer as the driver reports it.
struct Completion
{
    uint32_t status = 0;
    uint64_t record = 0;
    uint32_t firstCount = 0;
    uint32_t payloadBytes = 0;
};

void WriteCompletion(uint8_t* area, const Completion& completion);
Completion ReadCompletion(const uint8_t* area);

// Completion batch: request (time-out, entries wanted) and answer.
void WriteBatchRequest(uint8_t* block, uint64_t timeoutMs);
uint64_t ReadBatchTimeout(const uint8_t* block);
uint32_t ReadBatchWanted(const uint8_t* block);
// count may claim more than MaxBatchEntries; the entries are read as far as the block holds them.
void WriteBatch(uint8_t* block, uint32_t status, uint32_t count, const Completion* entries, uint32_t entryCount);
uint32_t ReadBatchStatus(const uint8_t* block);
uint32_t ReadBatchCount(const uint8_t* block);
Completion ReadBatchEntry(const uint8_t* block, uint32_t index);

// The driver's version text "%d, %d, %d, %d" in a block of `size` bytes
// that need not hold a terminator.
bool ParseVersionText(const uint8_t* text, size_t size, int numbers[4]);

// Largest payload the driver takes in one buffer.
uint64_t MaxBufferSize(uint64_t pageSize);

} // namespace Stratoline
} // namespace NqTransmitterRawLib
