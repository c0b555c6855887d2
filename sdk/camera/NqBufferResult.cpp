#include "camera/NqBufferResult.h"

#include <arv.h>

NqResult nqBufferResult(int arvBufferStatus)
{
    using Code = NqResult::Code;
    const uint32_t internal = uint32_t(arvBufferStatus);
    switch (arvBufferStatus) {
    case ARV_BUFFER_STATUS_SUCCESS:
        return NqResult(Code::OK, internal, NqString());
    case ARV_BUFFER_STATUS_TIMEOUT:
        return NqResult(Code::TIMEOUT, internal, "The frame timed out before all its packets arrived");
    case ARV_BUFFER_STATUS_MISSING_PACKETS:
        return NqResult(Code::MISSING_PACKETS, internal, "Packets of the frame were lost");
    case ARV_BUFFER_STATUS_WRONG_PACKET_ID:
        return NqResult(Code::MISSING_PACKETS, internal, "The frame had packets with a wrong packet id");
    case ARV_BUFFER_STATUS_SIZE_MISMATCH:
        return NqResult(Code::BUFFER_TOO_SMALL, internal, "The frame did not fit in the buffer");
    case ARV_BUFFER_STATUS_ABORTED:
        return NqResult(Code::ABORTED, internal, "The frame was aborted before completion");
    case ARV_BUFFER_STATUS_CLEARED:
    case ARV_BUFFER_STATUS_FILLING:
        return NqResult(Code::NO_COMPLETION, internal, "The frame was not completed");
    default:
        return NqResult(Code::NOT_OK, internal, "The frame failed for an unknown reason");
    }
}

uint64_t nqMissingBlocks(uint64_t previous, uint64_t current)
{
    if (!nqBlockFollows(previous, current) || previous == 0)
        return 0;
    if (current > previous)
        return current - previous - 1;
    // A 16-bit GVSP block id wraps from 65535 to 1 (0 is never used).
    return (0xFFFF - previous) + (current - 1);
}

bool nqBlockFollows(uint64_t previous, uint64_t current)
{
    if (current == 0)
        return false;
    return previous == 0 || current > previous || (previous > 0xFF00 && previous <= 0xFFFF && current < 0x100);
}

void NqFrameLossCounter::frame(uint64_t blockId, bool complete)
{
    if (!complete) {
        ++m_failedSince;
        return;
    }
    if (!nqBlockFollows(m_lastComplete, blockId))
        return; // a late frame: neither lost nor a new position
    const uint64_t missing = nqMissingBlocks(m_lastComplete, blockId);
    m_lost += missing > m_failedSince ? missing - m_failedSince : 0;
    m_lastComplete = blockId;
    m_failedSince = 0;
}

void NqFrameLossCounter::forgetPosition()
{
    m_lastComplete = 0;
    m_failedSince = 0;
}

void NqFrameLossCounter::clear()
{
    forgetPosition();
    m_lost = 0;
}
