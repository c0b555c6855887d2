#include "TestFilterDriver.h"

#include "RawUdpSink.h"

#include <algorithm>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Stratoline = NqTransmitterRawLib::Stratoline;
using KyTransportLayerLib::TransmitEngine;

namespace {

// Driver statuses, as the library's result converter reads them.
constexpr uint32_t StatusFull = TransmitEngine::StatusFull;
constexpr uint32_t StatusAlreadyOpen = TransmitEngine::StatusAlreadyOpen;
constexpr uint32_t StatusNothingQueued = TransmitEngine::StatusNothingQueued;
constexpr uint32_t StatusNotOpen = TransmitEngine::StatusNotOpen;

} // namespace

TestFilterDriver::TestFilterDriver(Mode mode, const std::set<std::string>& interfaces)
    : m_mode(mode), m_interfaces(interfaces)
{
}

TestFilterDriver::~TestFilterDriver()
{
    Close();
}

std::vector<uint8_t> TestFilterDriver::VersionText(const std::string& text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.resize(std::max<size_t>(bytes.size(), Stratoline::VersionTextSize), 0);
    return bytes;
}

bool TestFilterDriver::CanSend()
{
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

void TestFilterDriver::SetFaults(const Faults& faults)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = faults;
    m_changed.notify_all();
}

void TestFilterDriver::Complete(uint32_t count, uint32_t status, uint32_t firstCount, uint32_t payloadBytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Clock::time_point at = Clock::now() + std::chrono::milliseconds(m_faults.completionDelayMs);
    for (uint32_t i = 0; i < count && !m_held.empty(); ++i) {
        Stratoline::Completion completion = m_held.front();
        m_held.pop_front();
        completion.status = status;
        completion.firstCount = firstCount;
        completion.payloadBytes = payloadBytes;
        m_completed.push_back({completion, at});
    }
    m_changed.notify_all();
}

uint32_t TestFilterDriver::GetHeldCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return uint32_t(m_held.size());
}

uint32_t TestFilterDriver::GetCallCount(uint32_t code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls[code];
}

std::vector<uint8_t> TestFilterDriver::GetPlugInBlock()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugIn;
}

std::vector<uint8_t> TestFilterDriver::GetQueueBlock()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queueBlock;
}

std::vector<std::pair<uint64_t, uint32_t>> TestFilterDriver::GetBatchRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_batchRequests;
}

void TestFilterDriver::Report(uint64_t record, uint32_t status)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Stratoline::Completion completion;
    completion.record = record;
    completion.status = status;
    m_completed.push_back({completion, Clock::now()});
    m_changed.notify_all();
}

bool TestFilterDriver::IsOpen()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

uint32_t TestFilterDriver::GetOpenCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_opens;
}

bool TestFilterDriver::ServesInterface(const std::string& interfaceName) const
{
    return m_interfaces.count(interfaceName) != 0;
}

bool TestFilterDriver::Open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_open)
        return false;
    m_open = true;
    ++m_opens;
    return true;
}

void TestFilterDriver::Close()
{
    StopSession();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = false;
    m_changed.notify_all();
}

void TestFilterDriver::StopSession()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_loaded = false;
        m_held.clear();
        m_completed.clear();
        m_changed.notify_all();
    }
    if (m_engineThread.joinable()) {
        m_engine.StopWork();
        m_engineThread.join();
    }
    m_collecting.store(false);
    if (m_collector.joinable())
        m_collector.join();
    m_engine.Close();
    m_sink.reset();
}

TestFilterDriver::Outcome TestFilterDriver::IoControl(uint32_t code, uint8_t* block, uint32_t inSize,
                                                      uint32_t outSize, void* context)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_calls[code];
        if (!m_open || m_faults.failingCalls.count(code))
            return Outcome::Failed;
    }
    switch (code) {
    case Stratoline::ReadVersion: {
        if (outSize < Stratoline::VersionTextSize)
            return Outcome::Failed;
        std::lock_guard<std::mutex> lock(m_mutex);
        std::memcpy(block, m_faults.versionText.data(),
                    std::min<size_t>(m_faults.versionText.size(), Stratoline::VersionTextSize));
        return Outcome::Done;
    }
    case Stratoline::ReadInterfaceVersion: {
        if (inSize < Stratoline::InterfaceVersionInSize || outSize < Stratoline::InterfaceVersionOutSize)
            return Outcome::Failed;
        std::lock_guard<std::mutex> lock(m_mutex);
        Stratoline::WriteU32(block, 0, m_faults.interfaceStatus);
        Stratoline::WriteU32(block, 4, m_faults.driverInterfaceVersion);
        Stratoline::WriteU32(block, 8, 0);
        Stratoline::WriteU32(block, 12, m_faults.plugInInterfaceVersion);
        return Outcome::Done;
    }
    case Stratoline::LoadPlugIn:
        return LoadPlugIn(block, inSize);
    case Stratoline::QueueBuffer:
        return Queue(block, inSize, context);
    case Stratoline::RetrieveCompletions:
        return Retrieve(block, inSize, outSize);
    case Stratoline::AbortQueued:
        return Abort(block, inSize, outSize);
    case Stratoline::AbortOldest:
        return AbortOldest(block, outSize);
    default:
        return Outcome::Failed;
    }
}

TestFilterDriver::Outcome TestFilterDriver::LoadPlugIn(uint8_t* block, uint32_t inSize)
{
    if (inSize < Stratoline::PlugInSize)
        return Outcome::Failed;
    const Stratoline::PlugIn plugIn = Stratoline::ReadPlugIn(block);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_plugIn.assign(block, block + Stratoline::PlugInSize);
    if (m_faults.plugInStatus != 0 || m_loaded) {
        Stratoline::WriteU32(block, 0, m_loaded ? StatusAlreadyOpen : m_faults.plugInStatus);
        return Outcome::Done;
    }
    m_capacity = plugIn.buffersCapability;
    if (m_mode == Mode::Send) {
        lock.unlock();
        std::unique_ptr<RawUdpSink> sink(new RawUdpSink(m_engine, plugIn));
        KyTransportLayerLib::EngineParameters parameters;
        parameters.buffersCapability = plugIn.buffersCapability;
        parameters.extendedHeader = plugIn.headerFlag;
        parameters.engineFlag = plugIn.engineFlag;
        const uint32_t status = sink->IsOpen() ? m_engine.Open(parameters, sink.get()) : StatusNotOpen;
        if (status != TransmitEngine::StatusSuccess) {
            Stratoline::WriteU32(block, 0, status);
            return Outcome::Done;
        }
        m_sink = std::move(sink);
        m_engineThread = std::thread([this] { m_engine.RunWork(); });
        m_collecting.store(true);
        m_collector = std::thread(&TestFilterDriver::Collect, this);
        lock.lock();
    }
    m_loaded = true;
    Stratoline::WriteU32(block, 0, 0);
    return Outcome::Done;
}

void TestFilterDriver::Collect()
{
    KyTransportLayerLib::CompletionEntry entries[Stratoline::MaxBatchEntries];
    while (m_collecting.load()) {
        uint32_t count = 0;
        if (m_engine.WaitBuffers(Stratoline::MaxBatchEntries, entries, count, 20) != TransmitEngine::StatusSuccess)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        const Clock::time_point at = Clock::now() + std::chrono::milliseconds(m_faults.completionDelayMs);
        for (uint32_t i = 0; i < count; ++i) {
            Stratoline::Completion completion;
            completion.status = entries[i].status;
            completion.record = uint64_t(reinterpret_cast<uintptr_t>(entries[i].context));
            completion.firstCount = entries[i].packetCount;
            completion.payloadBytes = entries[i].payloadBytes;
            if (!m_faults.silent)
                m_completed.push_back({completion, at});
        }
        m_changed.notify_all();
    }
}

TestFilterDriver::Outcome TestFilterDriver::Queue(uint8_t* block, uint32_t inSize, void* context)
{
    namespace Q = Stratoline::Queue;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_queueBlock.assign(block, block + inSize);
    if (inSize < Stratoline::QueueSize || !m_loaded)
        return Outcome::Failed;
    // The asynchronous context comes zeroed, and the driver writes into it
    // while it holds the buffer, as the kernel does into an overlapped
    // structure: a sender must zero it again before it reuses it.
    uint8_t* asynchronous = static_cast<uint8_t*>(context);
    if (!asynchronous
        || std::any_of(asynchronous, asynchronous + Stratoline::RecordContextSize, [](uint8_t b) { return b != 0; }))
        return Outcome::Failed;
    asynchronous[0] = 1;
    const bool refused = !m_faults.queuePending && m_faults.queueStatus != Stratoline::QueueAccepted
                         && m_faults.queueStatus != Stratoline::QueueAcceptedToo;
    if (refused) {
        Stratoline::WriteU32(block, Q::Status, m_faults.queueStatus);
        return Outcome::Done;
    }
    const uint64_t record = Stratoline::ReadU64(block, Q::Record);
    if (m_mode == Mode::Hold) {
        if (m_held.size() + m_completed.size() >= m_capacity) {
            Stratoline::WriteU32(block, Q::Status, StatusFull);
            return Outcome::Done;
        }
        Stratoline::Completion held;
        held.record = record;
        m_held.push_back(held);
    } else {
        KyTransportLayerLib::PushDescriptor descriptor;
        descriptor.leaderSize = Stratoline::ReadU32(block, Q::LeaderSize);
        descriptor.trailerSize = Stratoline::ReadU32(block, Q::TrailerSize);
        if (descriptor.leaderSize > Q::HeaderArea || descriptor.trailerSize > Q::HeaderArea) {
            Stratoline::WriteU32(block, Q::Status, TransmitEngine::StatusInvalidParameter);
            return Outcome::Done;
        }
        std::memcpy(descriptor.leader, block + Q::Leader, Q::HeaderArea);
        std::memcpy(descriptor.trailer, block + Q::Trailer, Q::HeaderArea);
        descriptor.payloadSize = Stratoline::ReadU32(block, Q::PayloadSize);
        descriptor.payload = reinterpret_cast<const uint8_t*>(uintptr_t(Stratoline::ReadU64(block, Q::Payload)));
        descriptor.packetSize = Stratoline::ReadU32(block, Q::PacketSize);
        descriptor.maxThroughput = Stratoline::ReadU64(block, Q::MaxThroughput);
        descriptor.context = reinterpret_cast<void*>(uintptr_t(record));
        lock.unlock();
        const uint32_t status = m_engine.PushBuffers(1, &descriptor);
        lock.lock();
        if (status != TransmitEngine::StatusSuccess) {
            Stratoline::WriteU32(block, Q::Status, status);
            return Outcome::Done;
        }
    }
    if (m_faults.queuePending)
        return Outcome::Pending;
    Stratoline::WriteU32(block, Q::Status, m_faults.queueStatus);
    return Outcome::Done;
}

size_t TestFilterDriver::ReadyCount(Clock::time_point now) const
{
    size_t ready = 0;
    while (ready < m_completed.size() && m_completed[ready].at <= now)
        ++ready;
    return ready;
}

TestFilterDriver::Outcome TestFilterDriver::Retrieve(uint8_t* block, uint32_t inSize, uint32_t outSize)
{
    if (inSize < Stratoline::BatchInSize || outSize < Stratoline::BatchOutSize)
        return Outcome::Failed;
    const uint64_t timeoutMs = std::min<uint64_t>(Stratoline::ReadBatchTimeout(block), 3600000);
    const uint32_t wanted = std::min(Stratoline::ReadBatchWanted(block), Stratoline::MaxBatchEntries);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_batchRequests.emplace_back(Stratoline::ReadBatchTimeout(block), Stratoline::ReadBatchWanted(block));
    if (m_faults.batchStatus) {
        Stratoline::WriteBatch(block, m_faults.batchStatus, 0, nullptr, 0);
        return Outcome::Done;
    }
    size_t ready = 0;
    for (;;) {
        const Clock::time_point now = Clock::now();
        ready = m_faults.silent ? 0 : ReadyCount(now);
        if (!m_open || ready >= std::max<uint32_t>(m_faults.batchMinimum, 1) || now >= deadline)
            break;
        Clock::time_point wake = deadline;
        if (ready < m_completed.size() && !m_faults.silent)
            wake = std::min(wake, m_completed[ready].at);
        m_changed.wait_until(lock, wake);
    }
    if (!m_open)
        return Outcome::Failed;
    const uint32_t count = uint32_t(std::min<size_t>(ready, wanted));
    Stratoline::Completion entries[Stratoline::MaxBatchEntries];
    for (uint32_t i = 0; i < count; ++i) {
        entries[i] = m_completed.front().completion;
        m_completed.pop_front();
    }
    Stratoline::WriteBatch(block, 0, m_faults.claimedCount ? m_faults.claimedCount : count, entries, count);
    return Outcome::Done;
}

TestFilterDriver::Outcome TestFilterDriver::Abort(uint8_t* block, uint32_t inSize, uint32_t outSize)
{
    if (inSize < Stratoline::AbortInSize || outSize < Stratoline::AbortOutSize)
        return Outcome::Failed;
    const uint32_t value = Stratoline::ReadU32(block, 0);
    std::unique_lock<std::mutex> lock(m_mutex);
    bool aborted = false;
    if (m_faults.silent) {
        // Takes the request and never acts on it.
    } else if (m_mode == Mode::Hold) {
        const Clock::time_point at = Clock::now() + std::chrono::milliseconds(m_faults.completionDelayMs);
        for (uint32_t i = 0; i < value && !m_held.empty(); ++i) {
            Stratoline::Completion completion = m_held.front();
            m_held.pop_front();
            completion.status = KyTransportLayerLib::CompletionAborted;
            m_completed.push_back({completion, at});
            aborted = true;
        }
        m_changed.notify_all();
    } else if (m_loaded) {
        lock.unlock();
        m_engine.Abort(value, aborted);
        lock.lock();
    }
    Stratoline::WriteU32(block, 0, 0);
    Stratoline::WriteU32(block, 4, aborted ? 1 : 0);
    return Outcome::Done;
}

TestFilterDriver::Outcome TestFilterDriver::AbortOldest(uint8_t* block, uint32_t outSize)
{
    if (outSize < Stratoline::AbortOldestSize)
        return Outcome::Failed;
    std::unique_lock<std::mutex> lock(m_mutex);
    std::memset(block, 0, Stratoline::AbortOldestSize);
    Stratoline::Completion completion;
    bool found = false;
    if (m_faults.silent) {
    } else if (!m_completed.empty()) {
        completion = m_completed.front().completion;
        m_completed.pop_front();
        found = true;
    } else if (m_mode == Mode::Hold && !m_held.empty()) {
        completion = m_held.front();
        m_held.pop_front();
        completion.status = KyTransportLayerLib::CompletionAborted;
        found = true;
    } else if (m_mode == Mode::Send && m_loaded) {
        lock.unlock();
        KyTransportLayerLib::CompletionEntry entry;
        found = m_engine.AbortOlderPushedBuffer(entry) == TransmitEngine::StatusSuccess;
        completion.status = entry.status;
        completion.record = uint64_t(reinterpret_cast<uintptr_t>(entry.context));
        completion.firstCount = entry.packetCount;
        completion.payloadBytes = entry.payloadBytes;
        lock.lock();
    }
    Stratoline::WriteU32(block, 0, found ? 0 : StatusNothingQueued);
    if (found)
        Stratoline::WriteCompletion(block + 8, completion);
    return Outcome::Done;
}

ScopedDevice::ScopedDevice(const std::shared_ptr<KyTransportLayerLib::LinkDevice>& device)
    : m_registered(KyTransportLayerLib::LinkRegistry::Register(Stratoline::DevicePath, device))
{
}

ScopedDevice::~ScopedDevice()
{
    if (m_registered)
        KyTransportLayerLib::LinkRegistry::Unregister(Stratoline::DevicePath);
}
