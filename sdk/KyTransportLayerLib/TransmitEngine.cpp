#include "KyTransportLayerLib/TransmitEngine.h"

#include <sys/prctl.h>

#include <algorithm>
#include <cstring>

namespace KyTransportLayerLib {

namespace Gvsp = KyNetworkLib::Gvsp;

constexpr uint32_t TransmitEngine::MaxPacketsPerRecord;

uint32_t TransmitEngine::Open(const EngineParameters& parameters, IPacketSink* sink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_open)
        return StatusAlreadyOpen;
    if (parameters.buffersCapability == 0 || !sink)
        return StatusInvalidParameter;
    try {
        m_slots.assign(parameters.buffersCapability, Slot());
        m_free.Reset(parameters.buffersCapability);
        m_pending.Reset(parameters.buffersCapability);
        m_completed.Reset(parameters.buffersCapability);
    } catch (const std::bad_alloc&) {
        return StatusNoMemory;
    }
    for (uint32_t i = 0; i < parameters.buffersCapability; ++i)
        m_free.Push(i);
    m_parameters = parameters;
    m_sink = sink;
    m_current = None;
    m_blockId = 0;
    m_stopping = false;
    m_open = true;
    return StatusSuccess;
}

void TransmitEngine::Close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = false;
    m_stopping = true;
    m_slots.clear();
    m_free.Clear();
    m_pending.Clear();
    m_completed.Clear();
    m_sink = nullptr;
    m_work.notify_all();
    m_done.notify_all();
}

void TransmitEngine::RunWork()
{
    // Paced records wait for deadlines a few tens of microseconds apart: the
    // default 50 us of timer slack would blur them.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_open && !m_stopping) {
        if (m_pending.IsEmpty()) {
            m_work.wait(lock);
            continue;
        }
        const uint32_t index = m_pending.Pop();
        m_current = index;
        m_abortCurrent.store(false);
        lock.unlock();
        const uint32_t status = SendBlock(m_slots[index]);
        lock.lock();
        m_slots[index].status = status;
        m_current = None;
        m_completed.Push(index);
        m_done.notify_all();
    }
}

void TransmitEngine::StopWork()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
    m_work.notify_all();
}

bool TransmitEngine::IsValid(const PushDescriptor& d) const
{
    const bool extended = m_parameters.extendedHeader;
    const uint32_t headerSize = Gvsp::HeaderSize(extended);
    const uint32_t perPacket = Gvsp::DataBytesPerPacket(d.packetSize, extended);
    if (perPacket == 0 || d.packetSize < Gvsp::MinPacketSize)
        return false;
    if (d.leaderSize < headerSize || d.leaderSize > Gvsp::HeaderAreaSize || d.trailerSize < headerSize
        || d.trailerSize > Gvsp::HeaderAreaSize)
        return false;
    if (d.payloadSize && !d.payload)
        return false;
    // The trailer's packet id (data packets + 1) must fit the header's field.
    const uint64_t lastId = Gvsp::DataPacketCount(d.payloadSize, perPacket) + 1;
    return lastId <= (extended ? uint64_t(0xFFFFFFFF) : uint64_t(Gvsp::MaxStandardPacketId));
}

uint32_t TransmitEngine::PushBuffers(uint32_t count, const PushDescriptor* descriptors)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open)
        return StatusNotOpen;
    if (!descriptors)
        return StatusInvalidParameter;
    for (uint32_t i = 0; i < count; ++i)
        if (!IsValid(descriptors[i]))
            return StatusInvalidParameter;
    if (m_free.GetSize() < count)
        return StatusFull;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t index = m_free.Pop();
        Slot& slot = m_slots[index];
        slot.descriptor = descriptors[i];
        slot.status = CompletionSent;
        slot.packetsSent = 0;
        slot.payloadSent = 0;
        slot.failed = false;
        m_pending.Push(index);
    }
    m_work.notify_all();
    return StatusSuccess;
}

uint32_t TransmitEngine::SendBlock(Slot& slot)
{
    const PushDescriptor& d = slot.descriptor;
    const bool extended = m_parameters.extendedHeader;
    const uint32_t perPacket = Gvsp::DataBytesPerPacket(d.packetSize, extended);
    const uint64_t dataPackets = Gvsp::DataPacketCount(d.payloadSize, perPacket);
    const uint64_t total = dataPackets + 2;
    const uint32_t perRecord = Pacer::PacketsPerRecord(d.packetSize, d.maxThroughput, MaxPacketsPerRecord);
    m_blockId = Gvsp::NextBlockId(m_blockId, extended);

    // The sink copies each header: one template per kind, only the ids change.
    uint8_t leader[Gvsp::HeaderAreaSize];
    uint8_t trailer[Gvsp::HeaderAreaSize];
    uint8_t data[Gvsp::HeaderAreaSize];
    std::memcpy(leader, d.leader, d.leaderSize);
    std::memcpy(trailer, d.trailer, d.trailerSize);
    Gvsp::Header dataHeader;
    dataHeader.extended = extended;
    dataHeader.format = Gvsp::FormatPayload;
    Gvsp::WriteHeader(data, dataHeader);
    const uint32_t dataHeaderSize = Gvsp::HeaderSize(extended);

    for (uint64_t first = 0; first < total; first += perRecord) {
        const uint64_t end = std::min<uint64_t>(total, first + perRecord);
        const uint64_t firstData = std::max<uint64_t>(first, 1);
        const uint64_t endData = std::min<uint64_t>(end, dataPackets + 1);
        const uint64_t dataFrom = endData > firstData ? (firstData - 1) * perPacket : 0;
        const uint64_t dataTo = endData > firstData ? std::min<uint64_t>(d.payloadSize, (endData - 1) * perPacket) : 0;
        if (!WaitUntil(m_pacer.Reserve(dataTo - dataFrom, d.maxThroughput, Pacer::Clock::now())))
            return CompletionAborted;
        for (uint64_t id = first; id < end; ++id) {
            Packet packet;
            packet.context = &slot;
            uint8_t* header = data;
            packet.headerSize = dataHeaderSize;
            if (id == 0) {
                header = leader;
                packet.headerSize = d.leaderSize;
            } else if (id == total - 1) {
                header = trailer;
                packet.headerSize = d.trailerSize;
            } else {
                const uint64_t offset = (id - 1) * perPacket;
                packet.payload = d.payload + offset;
                packet.payloadSize = uint32_t(std::min<uint64_t>(perPacket, d.payloadSize - offset));
            }
            Gvsp::WriteIds(header, extended, m_blockId, uint32_t(id));
            packet.header = header;
            m_sink->AddPacket(packet);
        }
        m_sink->SendPackets();
    }
    return slot.failed ? CompletionSendFailed : CompletionSent;
}

bool TransmitEngine::WaitUntil(Pacer::Clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto interrupted = [this] { return m_stopping || m_abortCurrent.load(); };
    if (Pacer::Clock::now() < deadline)
        m_work.wait_until(lock, deadline, interrupted);
    return !interrupted();
}

void TransmitEngine::SendDone(void* context, uint32_t packetCount, uint32_t payloadBytes, bool failed)
{
    // Only the engine's own slots: a context from anywhere else is ignored.
    Slot* slot = static_cast<Slot*>(context);
    if (m_slots.empty() || slot < &m_slots.front() || slot > &m_slots.back())
        return;
    slot->packetsSent += packetCount;
    slot->payloadSent += payloadBytes;
    slot->failed = slot->failed || failed;
}

void TransmitEngine::Take(uint32_t index, CompletionEntry& entry)
{
    const Slot& slot = m_slots[index];
    entry.status = slot.status;
    entry.context = slot.descriptor.context;
    entry.packetCount = slot.packetsSent;
    entry.payloadBytes = uint32_t(std::min<uint64_t>(slot.payloadSent, 0xFFFFFFFF));
    m_free.Push(index);
}

uint32_t TransmitEngine::WaitBuffers(uint32_t maxEntries, CompletionEntry* entries, uint32_t& count, uint32_t timeoutMs)
{
    count = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_open)
        return StatusNotOpen;
    if (!entries || maxEntries == 0)
        return StatusInvalidParameter;
    const auto ready = [this] { return !m_open || !m_completed.IsEmpty(); };
    if (timeoutMs == Infinite)
        m_done.wait(lock, ready);
    else
        m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    if (!m_open)
        return StatusNotOpen;
    while (count < maxEntries && !m_completed.IsEmpty())
        Take(m_completed.Pop(), entries[count++]);
    return count ? StatusSuccess : StatusTimeout;
}

uint32_t TransmitEngine::Abort(uint32_t value, bool& aborted)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    aborted = false;
    if (!m_open)
        return StatusNotOpen;
    uint32_t count = 0;
    if (value > 0 && m_current != None) {
        m_abortCurrent.store(true);
        ++count;
    }
    while (count < value && !m_pending.IsEmpty()) {
        const uint32_t index = m_pending.Pop();
        m_slots[index].status = CompletionAborted;
        m_completed.Push(index);
        ++count;
    }
    aborted = count > 0;
    m_work.notify_all();
    m_done.notify_all();
    return StatusSuccess;
}

uint32_t TransmitEngine::AbortOlderPushedBuffer(CompletionEntry& entry)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_open)
        return StatusNotOpen;
    if (m_completed.IsEmpty() && m_current != None) {
        // The block being sent stops at its next record and completes.
        m_abortCurrent.store(true);
        m_work.notify_all();
        m_done.wait(lock, [this] { return !m_open || !m_completed.IsEmpty(); });
        if (!m_open)
            return StatusNotOpen;
    }
    if (!m_completed.IsEmpty()) {
        Take(m_completed.Pop(), entry);
        return StatusSuccess;
    }
    if (m_pending.IsEmpty())
        return StatusNothingQueued;
    const uint32_t index = m_pending.Pop();
    m_slots[index].status = CompletionAborted;
    Take(index, entry);
    return StatusSuccess;
}

} // namespace KyTransportLayerLib
