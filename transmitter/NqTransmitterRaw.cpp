#include "NqTransmitterRaw.h"

#include "GVSPStatistic.h"
#include "PublicResult.h"
#include "ResultCodes.h"
#include "TransmitterRaw.h"

#include <cstdlib>

using NqTransmitterRawLib::ToNqResult;
using NqTransmitterRawLib::TransmitterRaw;

NqTransmitterRaw::NqTransmitterRaw() : m_impl(new TransmitterRaw()) {}

NqTransmitterRaw::NqTransmitterRaw(const NqTransmitterRaw& other) : m_impl(other.m_impl)
{
    m_impl->AddReference();
}

NqTransmitterRaw& NqTransmitterRaw::operator=(const NqTransmitterRaw& other)
{
    if (m_impl != other.m_impl) {
        other.m_impl->AddReference();
        if (m_impl->ReleaseReference())
            delete m_impl;
        m_impl = other.m_impl;
    }
    return *this;
}

NqTransmitterRaw::~NqTransmitterRaw()
{
    if (m_impl->ReleaseReference())
        delete m_impl;
}

NqResult NqTransmitterRaw::Open(NqString destinationAddress, unsigned short destinationPort, NqString sourceAddress,
                                unsigned short sourcePort, bool dontFragment, bool headerFlag,
                                unsigned int buffersCapability, bool engineFlag)
{
    return ToNqResult(m_impl->Open(destinationAddress.GetAscii(), destinationPort, sourceAddress.GetAscii(), sourcePort,
                                   dontFragment, headerFlag, buffersCapability, TransmitterRaw::PendingSendRecords,
                                   engineFlag));
}

NqResult NqTransmitterRaw::Close()
{
    m_impl->Close();
    return NqResult(NqResult::Code::OK);
}

bool NqTransmitterRaw::IsOpen() const
{
    return m_impl->IsOpen();
}

NqResult NqTransmitterRaw::LoadBufferPool(NqBuffer** buffers, unsigned int count)
{
    if (!buffers || count == 0)
        return NqResult(NqResult::Code::INVALID_PARAMETER);
    for (unsigned int i = 0; i < count; ++i)
        if (!buffers[i])
            return NqResult(NqResult::Code::INVALID_PARAMETER);
    auto* internals = static_cast<NqBufferLib::Buffer**>(std::malloc(sizeof(NqBufferLib::Buffer*) * count));
    if (!internals)
        return NqResult(NqTransmitterRawLib::Code::NotEnoughMemory,
                        NqString(NqTransmitterRawLib::Message::WrapPointerList));
    for (unsigned int i = 0; i < count; ++i)
        internals[i] = buffers[i]->GetInternal();
    const NzUtilsLib::Result result = m_impl->LoadBufferPool(internals, count);
    std::free(internals);
    return ToNqResult(result);
}

NqResult NqTransmitterRaw::QueueBuffer(NqBuffer* buffer)
{
    if (!buffer)
        return NqResult(NqResult::Code::INVALID_PARAMETER);
    if (buffer->GetSize() == 0)
        return NqResult(NqResult::Code::BUFFER_TOO_SMALL);
    return ToNqResult(m_impl->QueueBuffer(buffer->GetInternal()));
}

NqResult NqTransmitterRaw::RetrieveFreeBuffer(NqBuffer** buffer, unsigned int timeoutMs)
{
    if (!buffer)
        return NqResult(NqResult::Code::INVALID_PARAMETER);
    NqBufferLib::Buffer* internal = nullptr;
    const NzUtilsLib::Result result = m_impl->RetrieveFreeBuffer(&internal, timeoutMs);
    *buffer = internal ? internal->GetOwner() : nullptr;
    return ToNqResult(result);
}

unsigned int NqTransmitterRaw::GetQueuedBufferCount()
{
    return m_impl->GetQueuedBufferCount();
}

NqResult NqTransmitterRaw::AbortQueuedBuffers(unsigned int value, bool* aborted)
{
    return ToNqResult(m_impl->AbortQueuedBuffers(value, aborted));
}

unsigned int NqTransmitterRaw::GetPacketSize()
{
    return m_impl->GetPacketSize();
}

NqResult NqTransmitterRaw::SetPacketSize(unsigned int packetSize)
{
    return ToNqResult(m_impl->SetPacketSize(packetSize));
}

float NqTransmitterRaw::GetMaxPayloadThroughput()
{
    return m_impl->GetMaxPayloadThroughput();
}

NqResult NqTransmitterRaw::SetMaxPayloadThroughput(float bitsPerSecond)
{
    return ToNqResult(m_impl->SetMaxPayloadThroughput(bitsPerSecond));
}

NqString NqTransmitterRaw::GetDestinationIPAddress()
{
    return NqString(m_impl->GetDestinationIPAddress());
}

unsigned short NqTransmitterRaw::GetDestinationPort()
{
    return m_impl->GetDestinationPort();
}

NqString NqTransmitterRaw::GetSourceIPAddress()
{
    return NqString(m_impl->GetSourceIPAddress());
}

unsigned short NqTransmitterRaw::GetSourcePort()
{
    return m_impl->GetSourcePort();
}

unsigned int NqTransmitterRaw::GetUserModeTransmitterThreadPriority() const
{
    return m_impl->GetUserModeTransmitterThreadPriority();
}

NqResult NqTransmitterRaw::SetUserModeTransmitterThreadPriority(unsigned int priority)
{
    return ToNqResult(m_impl->SetUserModeTransmitterThreadPriority(priority));
}

unsigned int NqTransmitterRaw::GetBufferPoolThreadPriority() const
{
    return m_impl->GetBufferPoolThreadPriority();
}

NqResult NqTransmitterRaw::SetBufferPoolThreadPriority(unsigned int priority)
{
    return ToNqResult(m_impl->SetBufferPoolThreadPriority(priority));
}

void NqTransmitterRaw::ResetStats()
{
    m_impl->GetStatistic().Reset();
}

unsigned long long NqTransmitterRaw::GetBlocksTransmitted() const
{
    return m_impl->GetStatistic().GetBlocksTransmitted();
}

unsigned long long NqTransmitterRaw::GetSamplingTime() const
{
    return m_impl->GetStatistic().GetSamplingTime();
}

unsigned long long NqTransmitterRaw::GetPayloadBytesTransmitted() const
{
    return m_impl->GetStatistic().GetPayloadBytesTransmitted();
}

float NqTransmitterRaw::GetInstantaneousPayloadThroughput() const
{
    return m_impl->GetStatistic().GetInstantaneousPayloadThroughput();
}

float NqTransmitterRaw::GetAveragePayloadThroughput() const
{
    return m_impl->GetStatistic().GetAveragePayloadThroughput();
}

float NqTransmitterRaw::GetInstantaneousTransmissionRate() const
{
    return m_impl->GetStatistic().GetInstantaneousTransmissionRate();
}

float NqTransmitterRaw::GetAverageTransmissionRate() const
{
    return m_impl->GetStatistic().GetAverageTransmissionRate();
}
