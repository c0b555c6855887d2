#include "TransmitterRaw.h"

#include "GSVPSenderStratolinePro.h"
#include "GVSPMemoryPool.h"
#include "GVSPSenderUserMode.h"
#include "GVSPStatistic.h"
#include "ResultCodes.h"
#include "base/NqBuffer.h"
#include "KyNetworkLib/System.h"
#include "KyTransportLayerLib/LinkEnabled.h"

#include <new>

namespace NqTransmitterRawLib {

using NzUtilsLib::Logger;
using NzUtilsLib::Result;
using NzUtilsLib::Thread;

namespace {
const char* const kNoAddress = "00.00.00.00";
} // namespace

constexpr uint32_t TransmitterRaw::PendingSendRecords;

TransmitterRaw::TransmitterRaw()
    : m_statistic(new GVSPStatistic()),
      m_poolThreadPriority(Thread::InternalPriorityTimeCritical),
      m_userModeThreadPriority(Thread::InternalPriorityTimeCritical),
      m_logger(LogChannel, 0)
{
}

TransmitterRaw::~TransmitterRaw()
{
    Close();
    if (m_pool)
        m_pool->Close();
}

Result TransmitterRaw::Open(const char* destination, uint16_t destinationPort, const char* source,
                            uint16_t sourcePort, bool dontFragment, bool headerFlag, uint32_t buffersCapability,
                            uint32_t pendingSendRecords, bool engineFlag)
{
    if (m_open)
        Close();
    m_statistic->Reset();
    if (buffersCapability - 2 > 254)
        return NZ_LOG_RESULT(m_logger, Code::OutOfRange, "%s", Message::CapabilityRange);
    if (!destination || !*destination)
        return NZ_LOG_RESULT(m_logger, Code::Uninitialized, "%s", Message::EmptyDestination);
    KyNetworkLib::IpAddress destinationAddress;
    Result parsed = destinationAddress.Set(destination);
    if (parsed.IsFailure())
        return NZ_LOG_RESULT(m_logger, parsed.GetPublicCode(), "%s", Message::InvalidDestination);
    KyNetworkLib::IpAddress sourceAddress;
    const bool hasSource = source && *source;
    if (hasSource) {
        parsed = sourceAddress.Set(source);
        if (parsed.IsFailure())
            return NZ_LOG_RESULT(m_logger, parsed.GetPublicCode(), "%s", Message::InvalidSource);
    }

    m_sender.reset(CreateGVSPSender(destinationAddress, hasSource ? &sourceAddress : nullptr));
    if (!m_sender) {
        Close();
        return NZ_LOG_RESULT(m_logger, Code::NotEnoughMemory, "%s", Message::NoSender);
    }
    if (m_pool)
        m_active = m_pool.get();
    const Result opened = m_sender->Open(&destinationAddress, destinationPort, hasSource ? &sourceAddress : nullptr,
                                         sourcePort, dontFragment, headerFlag, buffersCapability, pendingSendRecords,
                                         engineFlag);
    if (opened.IsFailure())
        return FailOpen(opened);
    if (m_pool) {
        // A pool thread that cannot start would never give a sent buffer back.
        const Result attached = m_pool->SetSender(m_sender.get());
        if (attached.IsFailure())
            return FailOpen(attached);
    } else {
        m_active = m_sender.get();
    }
    m_active->SetStatistic(m_statistic.get());
    m_active->SetMaxPayloadThroughput(m_maxPayloadThroughput);
    m_active->SetPacketSize(m_packetSize);

    m_destinationPort = destinationPort;
    m_destination = destination;
    m_open = true;
    return Result::Success;
}

Result TransmitterRaw::FailOpen(const Result& cause)
{
    if (m_pool)
        m_pool->SetSender(nullptr);
    Close();
    return NZ_LOG_RESULT(m_logger, cause.GetPublicCode(), "%s", Message::SenderOpen);
}

IGVSPSender* TransmitterRaw::CreateGVSPSender(const KyNetworkLib::IpAddress& destination,
                                              const KyNetworkLib::IpAddress* source)
{
    KyTransportLayerLib::LinkEnabled link;
    KyNetworkLib::System system(&link);
    const KyNetworkLib::Interface* chosen = nullptr;
    if (!source) {
        uint32_t bestIndex = 0;
        if (system.GetBestInterface(destination, bestIndex).IsFailure()) {
            NZ_LOG(m_logger, Logger::Warning, "%s", Message::NoBestInterface);
            return nullptr;
        }
        for (uint32_t i = 0; i < system.GetInterfaceCount() && !chosen; ++i)
            if (system.GetInterface(i)->GetSystemIndex() == bestIndex)
                chosen = system.GetInterface(i);
    } else {
        for (uint32_t i = 0; i < system.GetInterfaceCount() && !chosen; ++i) {
            KyNetworkLib::IpAddress address;
            if (!address.Set(system.GetInterface(i)->GetIP().c_str()).IsFailure() && address == *source)
                chosen = system.GetInterface(i);
        }
    }
    if (chosen)
        NZ_LOG(m_logger, Logger::Information, "Sending through %s (%s, %s)", chosen->GetName().c_str(),
               chosen->GetIP().c_str(), chosen->GetMAC().c_str());
    if (chosen && chosen->GetType() == KyNetworkLib::Interface::TypeFilterDriver) {
        KyNetworkLib::EthernetAddress mac;
        KyNetworkLib::IpAddress ip;
        if (!mac.Set(chosen->GetMAC().c_str()).IsFailure() && !ip.Set(chosen->GetIP().c_str()).IsFailure())
            return new (std::nothrow) GSVPSenderStratolinePro(mac, ip);
    }
    return new (std::nothrow) GVSPSenderUserMode(m_userModeThreadPriority);
}

Result TransmitterRaw::Close()
{
    m_destinationPort = 0;
    m_destination.clear();
    if (m_pool)
        m_pool->SetSender(nullptr);
    m_sender.reset();
    m_active = m_pool.get();
    m_open = false;
    return Result::Success;
}

Result TransmitterRaw::LoadBufferPool(NqBufferLib::Buffer** buffers, uint32_t count)
{
    if (m_sender && m_sender->GetQueuedBufferCount() != 0)
        return NZ_LOG_RESULT(m_logger, Code::Failed, "%s", Message::BuffersQueued);
    if (m_pool) {
        const Result loaded = m_pool->SetBuffers(buffers, count);
        if (loaded.IsSuccess())
            m_active = m_pool.get();
        return loaded;
    }
    std::unique_ptr<GVSPMemoryPool> pool(new (std::nothrow) GVSPMemoryPool(m_poolThreadPriority));
    if (!pool)
        return NZ_LOG_RESULT(m_logger, Code::NotEnoughMemory, "%s", Message::PoolNotCreated);
    Result result = pool->SetBuffers(buffers, count);
    if (result.IsFailure())
        return result;
    result = pool->SetSender(m_sender.get());
    if (result.IsFailure())
        return result;
    m_pool = std::move(pool);
    m_active = m_pool.get();
    return Result::Success;
}

Result TransmitterRaw::QueueBuffer(NqBufferLib::Buffer* buffer)
{
    if (!m_open)
        return Result(Code::NotOpened);
    if (!buffer)
        return Result(Code::InvalidParameter);
    buffer->SetOperationResult(NqResult(NqResult::Code::PENDING));
    return m_active->QueueBuffer(buffer);
}

Result TransmitterRaw::RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs)
{
    if (!m_open)
        return Result(Code::NotOpened);
    if (!buffer)
        return Result(Code::InvalidParameter);
    return m_active->RetrieveFreeBuffer(buffer, timeoutMs);
}

uint32_t TransmitterRaw::GetQueuedBufferCount()
{
    return m_open ? m_active->GetQueuedBufferCount() : 0;
}

Result TransmitterRaw::AbortQueuedBuffers(uint32_t value, bool* aborted)
{
    if (!m_open)
        return Result(Code::NotOpened);
    return m_active->AbortQueuedBuffers(value, aborted);
}

Result TransmitterRaw::SetPacketSize(uint32_t packetSize)
{
    if (!SendParameters::IsPacketSizeValid(packetSize))
        return Result(Code::InvalidParameter);
    m_packetSize = packetSize;
    return m_open ? m_active->SetPacketSize(packetSize) : Result(Result::Success);
}

Result TransmitterRaw::SetMaxPayloadThroughput(float bitsPerSecond)
{
    uint32_t checked = 0;
    if (!SendParameters::ThroughputFromFloat(bitsPerSecond, checked))
        return Result(Code::InvalidParameter);
    m_maxPayloadThroughput = bitsPerSecond;
    return m_open ? m_active->SetMaxPayloadThroughput(bitsPerSecond) : Result(Result::Success);
}

std::string TransmitterRaw::GetDestinationIPAddress() const
{
    return m_open ? m_destination : kNoAddress;
}

uint16_t TransmitterRaw::GetDestinationPort() const
{
    return m_open ? m_destinationPort : 0;
}

std::string TransmitterRaw::GetSourceIPAddress()
{
    return m_open ? m_active->GetSourceIPAddress() : kNoAddress;
}

uint16_t TransmitterRaw::GetSourcePort()
{
    return m_open ? m_active->GetSourcePort() : 0;
}

uint32_t TransmitterRaw::GetUserModeTransmitterThreadPriority() const
{
    return m_sender ? m_sender->GetThreadPriority() : m_userModeThreadPriority;
}

Result TransmitterRaw::SetUserModeTransmitterThreadPriority(uint32_t priority)
{
    NZ_LOG(m_logger, Logger::Information, Message::TransmitterPriority, priority);
    if (!Thread::IsPriorityValid(priority))
        return NZ_LOG_RESULT(m_logger, Code::InvalidParameter, Message::PriorityRange, priority,
                             uint32_t(Thread::InternalPriorityMinimum), uint32_t(Thread::InternalPriorityMaximum));
    m_userModeThreadPriority = priority;
    return m_sender ? m_sender->SetThreadPriority(priority) : Result(Result::Success);
}

uint32_t TransmitterRaw::GetBufferPoolThreadPriority() const
{
    return m_pool ? m_pool->GetPriority() : m_poolThreadPriority;
}

Result TransmitterRaw::SetBufferPoolThreadPriority(uint32_t priority)
{
    NZ_LOG(m_logger, Logger::Information, Message::PoolPriority, priority);
    if (!Thread::IsPriorityValid(priority))
        return NZ_LOG_RESULT(m_logger, Code::InvalidParameter, Message::PriorityRange, priority,
                             uint32_t(Thread::InternalPriorityMinimum), uint32_t(Thread::InternalPriorityMaximum));
    m_poolThreadPriority = priority;
    return m_pool ? m_pool->SetThreadPriority(priority) : Result(Result::Success);
}

} // namespace NqTransmitterRawLib
