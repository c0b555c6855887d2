#include "GVSPStatistic.h"

#include "NzUtilsLib/Thread.h"

namespace NqTransmitterRawLib {

GVSPStatistic::GVSPStatistic(TickSource ticks)
    : m_ticks(ticks ? std::move(ticks) : TickSource(&NzUtilsLib::Thread::GetTickCount))
{
    m_startTick = m_lastTick = m_ticks();
}

void GVSPStatistic::Report(const NzUtilsLib::Result&, uint32_t, uint32_t payloadBytes)
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    const uint64_t now = m_ticks();
    m_lastTick = now;
    m_payloadBytes += payloadBytes;
    ++m_blocks;
    m_instant.Report(now * 1000, payloadBytes);
}

void GVSPStatistic::Reset()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    m_startTick = m_lastTick = m_ticks();
    m_payloadBytes = 0;
    m_blocks = 0;
    m_instant.Reset();
}

uint64_t GVSPStatistic::GetBlocksTransmitted()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    return m_blocks;
}

uint64_t GVSPStatistic::GetSamplingTime()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    return m_ticks() - m_startTick;
}

uint64_t GVSPStatistic::GetPayloadBytesTransmitted()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    return m_payloadBytes;
}

float GVSPStatistic::GetInstantaneousPayloadThroughput()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    return m_instant.GetPayloadThroughput();
}

float GVSPStatistic::GetAveragePayloadThroughput()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    const uint64_t elapsed = m_lastTick - m_startTick;
    return elapsed ? float(double(m_payloadBytes) * 8000.0 / double(elapsed)) : 0.0f;
}

float GVSPStatistic::GetInstantaneousTransmissionRate()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    return m_instant.GetTransmissionRate();
}

float GVSPStatistic::GetAverageTransmissionRate()
{
    NzUtilsLib::Gate::Locker lock(m_gate);
    const uint64_t elapsed = m_lastTick - m_startTick;
    return elapsed ? float(double(m_blocks) * 1000.0 / double(elapsed)) : 0.0f;
}

} // namespace NqTransmitterRawLib
