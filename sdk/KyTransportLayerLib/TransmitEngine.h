#pragma once

#include "KyNetworkLib/Gvsp.h"
#include "KyTransportLayerLib/IndexRing.h"
#include "KyTransportLayerLib/Pacer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace KyTransportLayerLib {

// One block to send, as a sender hands it to the engine.
struct PushDescriptor
{
    uint32_t leaderSize = 0;
    uint8_t leader[KyNetworkLib::Gvsp::HeaderAreaSize] = {};
    uint32_t payloadSize = 0;
    const uint8_t* payload = nullptr;
    uint32_t trailerSize = 0;
    uint8_t trailer[KyNetworkLib::Gvsp::HeaderAreaSize] = {};
    // IP datagram size of every packet.
    uint32_t packetSize = 0;
    // Payload bits per second; 0: as fast as the socket takes them.
    uint64_t maxThroughput = 0;
    // Given back with the completion (the sender's buffer).
    void* context = nullptr;
};

// How a block ended.
enum CompletionStatus : uint32_t {
    CompletionSent = 0,
    CompletionAborted = 1,
    CompletionSendFailed = 2,
    CompletionRefused = 3,
};

struct CompletionEntry
{
    uint32_t status = CompletionSent;
    void* context = nullptr;
    uint32_t packetCount = 0;
    uint32_t payloadBytes = 0;
};

// One packet handed to the sink: header bytes (to be copied) and payload
// (sent in place from the caller's buffer, valid until SendPackets returns).
struct Packet
{
    const uint8_t* header = nullptr;
    uint32_t headerSize = 0;
    const uint8_t* payload = nullptr;
    uint32_t payloadSize = 0;
    void* context = nullptr;
};

// Puts packets on the wire for the engine. Called on the engine's thread; the
// sink reports every record it sent (or failed to send) through SendDone
// before SendPackets returns.
class IPacketSink
{
public:
    virtual ~IPacketSink() = default;
    virtual void AddPacket(const Packet& packet) = 0;
    virtual void SendPackets() = 0;
};

struct EngineParameters
{
    uint32_t buffersCapability = 0;
    // Extended-id GVSP header (64-bit block id, 32-bit packet id).
    bool extendedHeader = false;
    // Reserved for the closed engine's scheduling variants; this engine has one.
    bool engineFlag = false;
};

// Packetizing engine: blocks are pushed by any thread, cut into GVSP packets
// on the thread that runs RunWork, handed to the sink in records of at most
// MaxPacketsPerRecord packets (one record never mixes two blocks; a paced
// record holds what the rate carries in Pacer::RecordSpan), paced per record,
// and their completions collected by WaitBuffers. At most
// buffersCapability blocks are in the engine between push and collection.
class TransmitEngine
{
public:
    enum Status : uint32_t {
        StatusSuccess = 0,
        StatusTimeout = 1,
        StatusNotOpen = 2,
        StatusFull = 3,
        StatusInvalidParameter = 4,
        StatusAlreadyOpen = 5,
        StatusNothingQueued = 6,
        StatusNoMemory = 7,
    };
    static constexpr uint32_t MaxPacketsPerRecord = 16;
    static constexpr uint32_t Infinite = 0xFFFFFFFF;

    // Paces with its own pacer, or with the one given (which must outlive it).
    explicit TransmitEngine(Pacer* pacer = nullptr) : m_pacer(pacer ? *pacer : m_ownPacer) {}
    TransmitEngine(const TransmitEngine&) = delete;
    TransmitEngine& operator=(const TransmitEngine&) = delete;

    uint32_t Open(const EngineParameters& parameters, IPacketSink* sink);
    // After RunWork has returned; blocks still inside are dropped.
    void Close();
    // Runs until StopWork.
    void RunWork();
    void StopWork();

    uint32_t PushBuffers(uint32_t count, const PushDescriptor* descriptors);
    // Up to maxEntries completed blocks, oldest first; StatusTimeout when none came.
    uint32_t WaitBuffers(uint32_t maxEntries, CompletionEntry* entries, uint32_t& count, uint32_t timeoutMs);
    // Aborts the `value` oldest blocks not yet collected (0xFFFFFFFF: all); the
    // one being sent stops at its next record. aborted: whether any was.
    uint32_t Abort(uint32_t value, bool& aborted);
    // Takes the oldest block not yet collected out of the engine at once.
    uint32_t AbortOlderPushedBuffer(CompletionEntry& entry);
    // The sink's report of one record.
    void SendDone(void* context, uint32_t packetCount, uint32_t payloadBytes, bool failed);

private:
    struct Slot
    {
        PushDescriptor descriptor;
        uint32_t status = CompletionSent;
        uint32_t packetsSent = 0;
        uint64_t payloadSent = 0;
        bool failed = false;
    };
    static constexpr uint32_t None = 0xFFFFFFFF;

    bool IsValid(const PushDescriptor& descriptor) const;
    uint32_t SendBlock(Slot& slot);
    // False when the block is to stop (abort or stop) before the deadline.
    bool WaitUntil(Pacer::Clock::time_point deadline);
    void Take(uint32_t index, CompletionEntry& entry);

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    bool m_open = false;
    bool m_stopping = false;
    EngineParameters m_parameters;
    IPacketSink* m_sink = nullptr;
    std::vector<Slot> m_slots;
    IndexRing m_free;
    IndexRing m_pending;
    IndexRing m_completed;
    uint32_t m_current = None;
    std::atomic<bool> m_abortCurrent{false};
    // Engine thread only.
    uint64_t m_blockId = 0;
    Pacer m_ownPacer;
    Pacer& m_pacer;
};

} // namespace KyTransportLayerLib
