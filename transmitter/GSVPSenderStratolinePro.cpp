#include "GSVPSenderStratolinePro.h"

#include "GVSPStatistic.h"
#include "PublicResult.h"
#include "ResultCodes.h"
#include "base/NqBuffer.h"
#include "KyNetworkLib/Arp.h"
#include "KyNetworkLib/GVSPPacketLeader.h"
#include "KyNetworkLib/GVSPPacketTrailer.h"
#include "KyTransportLayerLib/ResultConverter.h"
#include "NzUtilsLib/Thread.h"

#include <cstring>
#include <new>
#include <unistd.h>

namespace NqTransmitterRawLib {

using KyTransportLayerLib::ResultConverter;
using NzUtilsLib::Logger;
using NzUtilsLib::Result;

namespace {

// An I/O control call failed when its result has non-zero low 16 bits
// (a pending answer included, for the calls that must complete at once).
bool CallFailed(const Result& result)
{
    return (result.GetCode() & 0xFFFF) != 0;
}

bool CallPending(const Result& result)
{
    return (result.GetCode() & 0xFFFF) == KyTransportLayerLib::Link::IoPending;
}

} // namespace

constexpr uint32_t GSVPSenderStratolinePro::CloseAttempts;
constexpr uint32_t GSVPSenderStratolinePro::CloseWaitMs;

GSVPSenderStratolinePro::GSVPSenderStratolinePro(const KyNetworkLib::EthernetAddress& localMac,
                                                 const KyNetworkLib::IpAddress& localIp)
    : m_logger(LogChannel, 0), m_localMac(localMac), m_localIp(localIp)
{
}

GSVPSenderStratolinePro::~GSVPSenderStratolinePro()
{
    Close();
}

Result GSVPSenderStratolinePro::Open(const KyNetworkLib::IpAddress* destination, uint16_t destinationPort,
                                     const KyNetworkLib::IpAddress* source, uint16_t sourcePort, bool dontFragment,
                                     bool headerFlag, uint32_t buffersCapability, uint32_t pendingSendRecords,
                                     bool engineFlag)
{
    NZ_LOG(m_logger, Logger::Information, "Open Kyvo Stratoline GVSP Sender plug-in");
    if (m_link.IsOpen()) {
        NZ_LOG(m_logger, Logger::Information, "Open is skipped because it is already opened!");
        return Result(Code::StateError);
    }
    if (!destination || buffersCapability == 0)
        return Result(Code::InvalidParameter);

    NZ_LOG(m_logger, Logger::Information, "Compute maximun buffer size");
    const long pageSize = sysconf(_SC_PAGESIZE);
    m_maxBufferSize = Stratoline::MaxBufferSize(pageSize > 0 ? uint64_t(pageSize) : 4096);

    Result result = ResolveRemoteMac(*destination);
    if (result.IsFailure()) {
        Close();
        return result;
    }
    result = AllocateRecords(buffersCapability);
    if (result.IsFailure()) {
        Close();
        return result;
    }
    m_socket.reset(new (std::nothrow) KyNetworkLib::SocketUDP());
    if (!m_socket) {
        Close();
        return Result(Code::Uninitialized);
    }
    m_destination = *destination;
    m_destinationPort = destinationPort;
    m_headerFlag = headerFlag;

    result = OpenSocket(*destination, destinationPort, source, sourcePort);
    if (!result.IsFailure())
        result = m_link.Open(Stratoline::DevicePath);
    if (!result.IsFailure())
        result = CheckVersion();
    if (!result.IsFailure())
        result = CheckInterfaceVersion();
    if (!result.IsFailure())
        result = LoadPlugIn(dontFragment, pendingSendRecords, engineFlag);
    if (result.IsFailure()) {
        Close();
        return result;
    }
    return Result::Success;
}

Result GSVPSenderStratolinePro::ResolveRemoteMac(const KyNetworkLib::IpAddress& destination)
{
    if (destination.IsMulticast()) {
        NZ_LOG(m_logger, Logger::Information, "Revolve MAC address from multicast address");
        m_remoteMac = destination.GetEthernetAddress();
        return Result::Success;
    }
    NZ_LOG(m_logger, Logger::Information, "Revolve MAC address using arp");
    const uint32_t error = KyNetworkLib::Arp::Resolve(destination, m_remoteMac);
    if (error != 0)
        return NZ_LOG_RESULT(m_logger, Code::NetworkError, Message::ArpFailed, int(error));
    return Result::Success;
}

Result GSVPSenderStratolinePro::AllocateRecords(uint32_t capacity)
{
    m_records.reset(new (std::nothrow) Record[capacity]());
    m_free.reset(new (std::nothrow) Record*[capacity]);
    if (!m_records || !m_free)
        return Result(Code::NotEnoughMemory);
    NzUtilsLib::Gate::Locker lock(m_gate);
    for (uint32_t i = 0; i < capacity; ++i)
        m_free[i] = &m_records[i];
    m_freeCount = capacity;
    m_capacity = capacity;
    return Result::Success;
}

Result GSVPSenderStratolinePro::OpenSocket(const KyNetworkLib::IpAddress& destination, uint16_t destinationPort,
                                           const KyNetworkLib::IpAddress* source, uint16_t sourcePort)
{
    // The driver sends from this socket's port; the socket holds it for the driver.
    Result result = m_socket->Create();
    if (!result.IsFailure())
        result = m_socket->Bind(source, sourcePort);
    if (!result.IsFailure())
        result = m_socket->Connect(destination, destinationPort);
    return result;
}

Result GSVPSenderStratolinePro::CheckVersion()
{
    uint8_t text[Stratoline::VersionTextSize] = {};
    const Result result = m_link.IoControl(Stratoline::ReadVersion, text, 0, sizeof text, nullptr);
    if (CallFailed(result))
        return result;
    int numbers[4] = {0, 0, 0, 0};
    if (!Stratoline::ParseVersionText(text, sizeof text, numbers) || numbers[0] < Stratoline::MinimumMajorVersion)
        return NZ_LOG_RESULT(m_logger, Code::IncompatibleVersion, "%s", Message::DriverTooOld);
    return Result::Success;
}

Result GSVPSenderStratolinePro::CheckInterfaceVersion()
{
    uint8_t block[Stratoline::InterfaceVersionOutSize] = {};
    Stratoline::WriteU32(block, 0, Stratoline::InterfaceVersion);
    const Result result = m_link.IoControl(Stratoline::ReadInterfaceVersion, block, Stratoline::InterfaceVersionInSize,
                                           sizeof block, nullptr);
    if (CallFailed(result))
        return result;
    const uint32_t status = Stratoline::ReadU32(block, 0);
    if (status != 0)
        return NZ_LOG_RESULT(m_logger, ResultConverter::FromOSToNz(status).GetCode(), "%s", Message::InterfaceVersion);
    const uint32_t driver = Stratoline::ReadU32(block, 4);
    const uint32_t plugIn = Stratoline::ReadU32(block, 12);
    if (driver != Stratoline::InterfaceVersion || plugIn != Stratoline::InterfaceVersion)
        return NZ_LOG_RESULT(m_logger, Code::IncompatibleVersion, Message::DriverInterfaceTooOld, int(driver),
                             int(Stratoline::InterfaceVersion), int(plugIn), int(Stratoline::InterfaceVersion));
    return Result::Success;
}

Result GSVPSenderStratolinePro::LoadPlugIn(bool dontFragment, uint32_t pendingSendRecords, bool engineFlag)
{
    Stratoline::PlugIn plugIn;
    plugIn.localMac = m_localMac;
    plugIn.localIp = m_localIp;
    plugIn.sourcePort = m_socket->GetHostPort();
    plugIn.destination = m_destination;
    plugIn.remoteMac = m_remoteMac;
    plugIn.destinationPort = m_destinationPort;
    plugIn.buffersCapability = m_capacity;
    plugIn.headerFlag = m_headerFlag;
    plugIn.dontFragment = dontFragment;
    plugIn.engineFlag = engineFlag;
    plugIn.pendingSendRecords = pendingSendRecords;
    uint8_t block[Stratoline::PlugInSize];
    Stratoline::WritePlugIn(block, plugIn);
    const Result result =
        m_link.IoControl(Stratoline::LoadPlugIn, block, Stratoline::PlugInSize, Stratoline::PlugInOutSize, nullptr);
    if (CallFailed(result))
        return result;
    const uint32_t status = Stratoline::ReadU32(block, 0);
    if (status != 0)
        return NZ_LOG_RESULT(m_logger, ResultConverter::FromOSToNz(status).GetCode(), "%s", Message::PlugIn);
    return Result::Success;
}

void GSVPSenderStratolinePro::Close()
{
    if (m_link.IsOpen()) {
        AbortQueuedBuffers(0xFFFFFFFF, nullptr);
        // A driver that stops answering must not hold Close for ever.
        NqBufferLib::Buffer* buffer = nullptr;
        for (uint32_t attempt = 0; attempt < CloseAttempts && GetQueuedBufferCount() != 0; ++attempt)
            RetrieveFreeBuffer(&buffer, CloseWaitMs);
        const uint32_t kept = GetQueuedBufferCount();
        if (kept != 0)
            NZ_LOG(m_logger, Logger::Warning, "The driver did not give back %u buffers within %u ms; closing anyway",
                   kept, CloseAttempts * CloseWaitMs);
        m_link.Close();
    }
    if (m_socket) {
        m_socket->Close();
        m_socket.reset();
    }
    FreeRecords();
}

void GSVPSenderStratolinePro::FreeRecords()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    m_records.reset();
    m_free.reset();
    m_capacity = 0;
    m_freeCount = 0;
    m_left = 0;
    m_batchCount = 0;
}

GSVPSenderStratolinePro::Record* GSVPSenderStratolinePro::TakeRecord(NqBufferLib::Buffer* buffer)
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    if (m_freeCount == 0)
        return nullptr;
    Record* record = m_free[--m_freeCount];
    std::memset(record->context, 0, sizeof record->context);
    record->buffer = buffer;
    record->inDriver = true;
    return record;
}

void GSVPSenderStratolinePro::ReleaseRecord(Record* record)
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    record->inDriver = false;
    record->buffer = nullptr;
    m_free[m_freeCount++] = record;
}

Result GSVPSenderStratolinePro::QueueBuffer(NqBufferLib::Buffer* buffer)
{
    if (!m_link.IsOpen())
        return Result(Code::NotOpened);
    if (!buffer)
        return Result(Code::InvalidParameter);
    const uint32_t payloadSize = KyNetworkLib::GVSPPacketLeader::PayloadSize(*buffer);
    if (payloadSize > m_maxBufferSize)
        return Result(Code::NotEnoughMemory);
    Record* record = TakeRecord(buffer);
    if (!record)
        return Result(Code::NoFreeRecord);

    namespace Queue = Stratoline::Queue;
    uint8_t block[Stratoline::QueueSize] = {};
    Stratoline::WriteU32(block, Queue::Status, 1);
    buffer->SetTimestamp(NzUtilsLib::Thread::GetTickCount());
    KyNetworkLib::GVSPPacketLeader leader;
    leader.Encode(block + Queue::Leader, Queue::HeaderArea, m_headerFlag);
    leader.EncodeBuffer(*buffer);
    Stratoline::WriteU32(block, Queue::LeaderSize, leader.GetPacketSize());
    KyNetworkLib::GVSPPacketTrailer trailer;
    trailer.Encode(block + Queue::Trailer, Queue::HeaderArea, m_headerFlag);
    trailer.EncodeBuffer(*buffer);
    Stratoline::WriteU32(block, Queue::TrailerSize, trailer.GetPacketSize());
    Stratoline::WriteU32(block, Queue::PayloadSize, payloadSize);
    Stratoline::WriteU64(block, Queue::Payload, uint64_t(reinterpret_cast<uintptr_t>(buffer->GetData())));
    Stratoline::WriteU32(block, Queue::PacketSize, m_settings.PacketSize());
    Stratoline::WriteU64(block, Queue::MaxThroughput, m_settings.MaxThroughput());
    Stratoline::WriteU64(block, Queue::Record, uint64_t(reinterpret_cast<uintptr_t>(record)));

    const Result result = m_link.IoControl(Stratoline::QueueBuffer, block, Stratoline::QueueSize,
                                           Stratoline::QueueOutSize, record->context);
    const uint32_t status = Stratoline::ReadU32(block, Queue::Status);
    if (CallPending(result)
        || (!CallFailed(result) && (status == Stratoline::QueueAccepted || status == Stratoline::QueueAcceptedToo))) {
        NZ_LOG(m_logger, Logger::Information, "Queue %p", static_cast<void*>(buffer));
        return Result(Code::Accepted);
    }
    NZ_LOG(m_logger, Logger::Information, "Falling Queue %p", static_cast<void*>(buffer));
    ReleaseRecord(record);
    return CallFailed(result) ? result : ResultConverter::FromOSToNz(status);
}

Result GSVPSenderStratolinePro::RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs)
{
    if (!buffer)
        return Result(Code::InvalidParameter);
    *buffer = nullptr;
    if (!m_link.IsOpen())
        return Result(Code::NotOpened);
    if (m_left == 0) {
        const Result fetched = FetchBatch(timeoutMs);
        if (fetched.IsFailure())
            return fetched;
    }
    const Stratoline::Completion completion = Stratoline::ReadBatchEntry(m_batch, m_batchCount - m_left);
    --m_left;
    const Result result = ProcessBufferReady(completion, buffer);
    NZ_LOG(m_logger, Logger::Information, "Retrieve %p", static_cast<void*>(*buffer));
    return result;
}

Result GSVPSenderStratolinePro::FetchBatch(uint32_t timeoutMs)
{
    Stratoline::WriteBatchRequest(m_batch, timeoutMs);
    const Result result =
        m_link.IoControl(Stratoline::RetrieveCompletions, m_batch, Stratoline::BatchInSize, Stratoline::BatchOutSize,
                         nullptr);
    if (CallFailed(result))
        return result;
    const uint32_t status = Stratoline::ReadBatchStatus(m_batch);
    if (status != 0)
        return ResultConverter::FromOSToNz(status);
    uint32_t count = Stratoline::ReadBatchCount(m_batch);
    if (count > Stratoline::MaxBatchEntries) {
        // The answer holds no more than 32 entries, whatever the count says.
        NZ_LOG(m_logger, Logger::Warning, "The driver reported %u completions in one batch; %u are read", count,
               Stratoline::MaxBatchEntries);
        count = Stratoline::MaxBatchEntries;
    }
    if (count == 0)
        return Result(Code::NoCompletion);
    m_batchCount = count;
    m_left = count;
    return Result::Success;
}

Result GSVPSenderStratolinePro::ProcessBufferReady(const Stratoline::Completion& completion,
                                                   NqBufferLib::Buffer** buffer)
{
    NqBufferLib::Buffer* completed = nullptr;
    {
        // Only a record of ours that is in the driver can complete.
        NzUtilsLib::Gate::Locker lock(m_gate);
        const uintptr_t first = reinterpret_cast<uintptr_t>(m_records.get());
        const uintptr_t pointer = uintptr_t(completion.record);
        const bool inArray = m_records && pointer >= first && pointer < first + uintptr_t(m_capacity) * sizeof(Record)
                             && (pointer - first) % sizeof(Record) == 0;
        Record* record = inArray ? &m_records[(pointer - first) / sizeof(Record)] : nullptr;
        if (record && record->inDriver) {
            completed = record->buffer;
            record->inDriver = false;
            record->buffer = nullptr;
            m_free[m_freeCount++] = record;
        }
    }
    if (!completed)
        return NZ_LOG_RESULT(m_logger, Code::Failed, "The driver completed an unknown record %p",
                             reinterpret_cast<void*>(uintptr_t(completion.record)));
    NZ_LOG(m_logger, Logger::Information, "Processing for completion %p", static_cast<void*>(completed));
    const Result result = m_operationResults.Convert(completion.status);
    completed->SetOperationResult(ToNqResult(result));
    if (GVSPStatistic* statistic = m_settings.Statistic())
        statistic->Report(result, completion.firstCount, completion.payloadBytes);
    *buffer = completed;
    return Result::Success;
}

Result GSVPSenderStratolinePro::AbortQueuedBuffers(uint32_t value, bool* aborted)
{
    if (aborted)
        *aborted = false;
    if (!m_link.IsOpen())
        return Result(Code::NotOpened);
    uint8_t block[Stratoline::AbortOutSize] = {};
    Stratoline::WriteU32(block, 0, value);
    const Result result =
        m_link.IoControl(Stratoline::AbortQueued, block, Stratoline::AbortInSize, Stratoline::AbortOutSize, nullptr);
    // A failed call wrote nothing back: its own failure is the answer.
    if (CallFailed(result))
        return result;
    if (aborted)
        *aborted = Stratoline::ReadU32(block, 4) != 0;
    return Result::Success;
}

Result GSVPSenderStratolinePro::AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer)
{
    if (!buffer)
        return Result(Code::InvalidParameter);
    *buffer = nullptr;
    if (!m_link.IsOpen())
        return Result(Code::NotOpened);
    uint8_t block[Stratoline::AbortOldestSize] = {};
    const Result result = m_link.IoControl(Stratoline::AbortOldest, block, 0, sizeof block, nullptr);
    if (CallFailed(result))
        return result;
    const uint32_t status = Stratoline::ReadU32(block, 0);
    if (status != 0)
        return ResultConverter::FromOSToNz(status);
    return ProcessBufferReady(Stratoline::ReadCompletion(block + 8), buffer);
}

uint32_t GSVPSenderStratolinePro::GetQueuedBufferCount()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    return m_capacity - m_freeCount;
}

uint16_t GSVPSenderStratolinePro::GetSourcePort()
{
    return m_socket ? m_socket->GetHostPort() : 0;
}

std::string GSVPSenderStratolinePro::GetSourceIPAddress()
{
    KyNetworkLib::IpAddress address;
    return m_socket && m_socket->GetHostAddress(address) ? address.GetString() : std::string();
}

Result GSVPSenderStratolinePro::SetThreadPriority(uint32_t)
{
    return NZ_LOG_RESULT(m_logger, Code::AccessDenied, "%s", Message::DriverPriority);
}

} // namespace NqTransmitterRawLib
