#include "GVSPSenderUserMode.h"

#include "GVSPStatistic.h"
#include "PublicResult.h"
#include "ResultCodes.h"
#include "SocketWrapper.h"
#include "base/NqBuffer.h"
#include "KyNetworkLib/GVSPPacketLeader.h"
#include "KyNetworkLib/GVSPPacketTrailer.h"
#include "KyTransportLayerLib/ResultConverter.h"

#include <new>

namespace NqTransmitterRawLib {

using KyTransportLayerLib::ResultConverter;
using KyTransportLayerLib::TransmitEngine;
using NzUtilsLib::Result;

GVSPSenderUserMode::GVSPSenderUserMode(uint32_t threadPriority, KyTransportLayerLib::Pacer* pacer)
    : NzUtilsLib::Thread("Kyvo User Mode GVSP Sender Thread", threadPriority), m_logger(LogChannel, 0),
      m_engine(pacer)
{
}

GVSPSenderUserMode::~GVSPSenderUserMode()
{
    Close();
}

Result GVSPSenderUserMode::Open(const KyNetworkLib::IpAddress* destination, uint16_t destinationPort,
                                const KyNetworkLib::IpAddress* source, uint16_t sourcePort, bool dontFragment,
                                bool headerFlag, uint32_t buffersCapability, uint32_t pendingSendRecords,
                                bool engineFlag)
{
    if (m_open.load())
        return Result(Code::StateError);
    if (!destination)
        return Result(Code::InvalidParameter);
    m_headerFlag = headerFlag;
    m_wrapper.reset(new (std::nothrow) SocketWrapper(m_engine));
    if (!m_wrapper)
        return NZ_LOG_RESULT(m_logger, Code::NotEnoughMemory, "%s", Message::SocketWrapper);
    Result result = m_wrapper->Open(*destination, destinationPort, source, sourcePort, dontFragment, pendingSendRecords);
    if (result.IsFailure()) {
        m_wrapper.reset();
        return result;
    }
    KyTransportLayerLib::EngineParameters parameters;
    parameters.buffersCapability = buffersCapability;
    parameters.extendedHeader = headerFlag;
    parameters.engineFlag = engineFlag;
    const uint32_t status = m_engine.Open(parameters, m_wrapper.get());
    if (status != TransmitEngine::StatusSuccess) {
        m_wrapper.reset();
        return NZ_LOG_RESULT(m_logger, ResultConverter::FromOSToNz(status).GetPublicCode(), "%s", Message::EngineOpen);
    }
    result = StartThread();
    if (result.IsFailure()) {
        m_wrapper.reset();
        m_engine.Close();
        return NZ_LOG_RESULT(m_logger, result.GetCode(), "Unable to start the GVSP sender thread");
    }
    m_open.store(true);
    return Result::Success;
}

Result GVSPSenderUserMode::RunThread()
{
    m_engine.RunWork();
    return Result::Success;
}

void GVSPSenderUserMode::Close()
{
    if (!m_open.load())
        return;
    AbortQueuedBuffers(0xFFFFFFFF, nullptr);
    NqBufferLib::Buffer* buffer = nullptr;
    while (!RetrieveFreeBuffer(&buffer, 0).IsFailure()) {
    }
    m_engine.StopWork();
    StopThread();
    WaitUntilSignaled();
    // The wrapper reports to the engine, so it goes first.
    m_wrapper.reset();
    m_engine.Close();
    m_open.store(false);
}

Result GVSPSenderUserMode::QueueBuffer(NqBufferLib::Buffer* buffer)
{
    if (!m_open.load())
        return Result(Code::NotOpened);
    if (!buffer)
        return Result(Code::InvalidParameter);
    buffer->SetTimestamp(GetTickCount());

    KyTransportLayerLib::PushDescriptor descriptor;
    KyNetworkLib::GVSPPacketLeader leader;
    leader.Encode(descriptor.leader, sizeof descriptor.leader, m_headerFlag);
    leader.EncodeBuffer(*buffer);
    descriptor.leaderSize = leader.GetPacketSize();
    KyNetworkLib::GVSPPacketTrailer trailer;
    trailer.Encode(descriptor.trailer, sizeof descriptor.trailer, m_headerFlag);
    trailer.EncodeBuffer(*buffer);
    descriptor.trailerSize = trailer.GetPacketSize();
    descriptor.payloadSize = KyNetworkLib::GVSPPacketLeader::PayloadSize(*buffer);
    descriptor.payload = buffer->GetData();
    descriptor.packetSize = m_settings.PacketSize();
    descriptor.maxThroughput = m_settings.MaxThroughput();
    descriptor.context = buffer;

    ++m_queuedCount;
    const uint32_t status = m_engine.PushBuffers(1, &descriptor);
    if (status != TransmitEngine::StatusSuccess)
        --m_queuedCount;
    return ResultConverter::FromOSToNz(status);
}

Result GVSPSenderUserMode::RetrieveFreeBuffer(NqBufferLib::Buffer** buffer, uint32_t timeoutMs)
{
    if (!buffer)
        return Result(Code::InvalidParameter);
    *buffer = nullptr;
    if (!m_open.load())
        return Result(Code::NotOpened);
    KyTransportLayerLib::CompletionEntry entry;
    uint32_t count = 0;
    const uint32_t status = m_engine.WaitBuffers(1, &entry, count, timeoutMs);
    if (status != TransmitEngine::StatusSuccess)
        return ResultConverter::FromOSToNz(status);
    return Complete(entry, buffer);
}

Result GVSPSenderUserMode::AbortOldestQueuedBuffer(NqBufferLib::Buffer** buffer)
{
    if (!buffer)
        return Result(Code::InvalidParameter);
    *buffer = nullptr;
    if (!m_open.load())
        return Result(Code::NotOpened);
    KyTransportLayerLib::CompletionEntry entry;
    const uint32_t status = m_engine.AbortOlderPushedBuffer(entry);
    if (status != TransmitEngine::StatusSuccess)
        return ResultConverter::FromOSToNz(status);
    return Complete(entry, buffer);
}

Result GVSPSenderUserMode::Complete(const KyTransportLayerLib::CompletionEntry& entry, NqBufferLib::Buffer** buffer)
{
    NqBufferLib::Buffer* completed = static_cast<NqBufferLib::Buffer*>(entry.context);
    const Result result = m_operationResults.Convert(entry.status);
    completed->SetOperationResult(ToNqResult(result));
    if (GVSPStatistic* statistic = m_settings.Statistic())
        statistic->Report(result, entry.packetCount, entry.payloadBytes);
    --m_queuedCount;
    *buffer = completed;
    return Result::Success;
}

Result GVSPSenderUserMode::AbortQueuedBuffers(uint32_t value, bool* aborted)
{
    if (aborted)
        *aborted = false;
    if (!m_open.load())
        return Result(Code::NotOpened);
    bool any = false;
    const uint32_t status = m_engine.Abort(value, any);
    if (aborted)
        *aborted = any;
    return ResultConverter::FromOSToNz(status);
}

uint16_t GVSPSenderUserMode::GetSourcePort()
{
    return m_wrapper ? m_wrapper->GetSourcePort() : 0;
}

std::string GVSPSenderUserMode::GetSourceIPAddress()
{
    return m_wrapper ? m_wrapper->GetSourceIPAddress() : std::string();
}

int GVSPSenderUserMode::GetSocketHandle() const
{
    return m_wrapper ? m_wrapper->GetHandle() : -1;
}

} // namespace NqTransmitterRawLib
