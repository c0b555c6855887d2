#pragma once

// What the engine's tests share: a capturing sink, descriptors of a buffer,
// the engine's work loop on a thread of its own.
#include "base/NqBuffer.h"
#include "KyNetworkLib/Gvsp.h"
#include "KyNetworkLib/GVSPPacketLeader.h"
#include "KyNetworkLib/GVSPPacketTrailer.h"
#include "KyTransportLayerLib/TransmitEngine.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace EngineBench {

using namespace KyTransportLayerLib;
namespace Gvsp = KyNetworkLib::Gvsp;

// Checks every record as the engine hands it over and keeps the headers.
class CaptureSink : public IPacketSink
{
public:
    explicit CaptureSink(TransmitEngine& engine) : m_engine(engine) {}

    void AddPacket(const Packet& packet) override
    {
        if (count == 0)
            context = packet.context;
        else if (packet.context != context)
            mixedRecords = true;
        Gvsp::Header header;
        Gvsp::ReadHeader(packet.header, packet.headerSize, header);
        if (header.format == Gvsp::FormatLeader)
            leaderIds.push_back(header.blockId);
        if (keepHeaders)
            headers.push_back(header);
        ++count;
        bytes += packet.payloadSize;
    }
    void SendPackets() override
    {
        if (count > TransmitEngine::MaxPacketsPerRecord)
            oversizedRecords = true;
        recordSizes.push_back(count);
        recordBytes.push_back(bytes);
        recordContexts.push_back(context);
        m_engine.SendDone(context, count, bytes, recordSizes.size() <= failingRecords);
        count = bytes = 0;
        ++records;
    }

    bool keepHeaders = false;
    // The first records the sink fails to send.
    uint32_t failingRecords = 0;
    std::atomic<uint32_t> records{0};
    std::vector<uint64_t> leaderIds;
    std::vector<Gvsp::Header> headers;
    std::vector<uint32_t> recordSizes;
    std::vector<uint32_t> recordBytes;
    std::vector<void*> recordContexts;
    bool mixedRecords = false;
    bool oversizedRecords = false;

private:
    TransmitEngine& m_engine;
    void* context = nullptr;
    uint32_t count = 0;
    uint32_t bytes = 0;
};

inline PushDescriptor Descriptor(NqBuffer& buffer, uint32_t packetSize, bool extended, uint64_t throughput = 0)
{
    PushDescriptor d;
    KyNetworkLib::GVSPPacketLeader leader;
    leader.Encode(d.leader, sizeof d.leader, extended);
    leader.EncodeBuffer(*buffer.GetInternal());
    d.leaderSize = leader.GetPacketSize();
    KyNetworkLib::GVSPPacketTrailer trailer;
    trailer.Encode(d.trailer, sizeof d.trailer, extended);
    trailer.EncodeBuffer(*buffer.GetInternal());
    d.trailerSize = trailer.GetPacketSize();
    d.payload = buffer.GetDataPointer();
    d.payloadSize = buffer.GetSize();
    d.packetSize = packetSize;
    d.maxThroughput = throughput;
    d.context = &buffer;
    return d;
}

// Runs the engine's work loop for the scope.
class Worker
{
public:
    explicit Worker(TransmitEngine& engine) : m_engine(engine), m_thread([this] { m_engine.RunWork(); }) {}
    ~Worker()
    {
        m_engine.StopWork();
        m_thread.join();
    }

private:
    TransmitEngine& m_engine;
    std::thread m_thread;
};

inline EngineParameters Parameters(uint32_t capacity, bool extended = false)
{
    EngineParameters parameters;
    parameters.buffersCapability = capacity;
    parameters.extendedHeader = extended;
    return parameters;
}

// Collects `n` completions into `entries`, however the engine splits them
// over its returns; false when a wait fails.
inline bool WaitAll(TransmitEngine& engine, uint32_t n, CompletionEntry* entries, uint32_t timeoutMs)
{
    for (uint32_t total = 0; total < n;) {
        uint32_t count = 0;
        if (engine.WaitBuffers(n - total, entries + total, count, timeoutMs) != TransmitEngine::StatusSuccess)
            return false;
        total += count;
    }
    return true;
}

} // namespace EngineBench
