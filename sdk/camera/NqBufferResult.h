#pragma once

#include "base/NqResult.h"

#include <cstdint>

// Accounting of received buffers: pure functions, tested without a camera.

// The operation result of a received buffer from Aravis's buffer status
// (an ArvBufferStatus value): OK for a complete frame, else a failure code
// with a text the station can show. The internal code keeps the status.
NqResult nqBufferResult(int arvBufferStatus);

// Whether block id `current` comes after `previous` (0: none yet), counting
// the 16-bit wrap. A failed frame may come back late with an older id.
bool nqBlockFollows(uint64_t previous, uint64_t current);
// Frames missing between `previous` and a following `current`; 0 when the
// ids are unknown (0) or `current` does not follow.
uint64_t nqMissingBlocks(uint64_t previous, uint64_t current);

// Counts the frames that never came, from the block ids of complete frames
// less the failed frames between them. Frames lost for want of a free buffer
// show only this way (Aravis counts those per packet). A failed frame's own
// block id is not trusted: Aravis may leave the id of the buffer's previous
// frame there.
class NqFrameLossCounter
{
public:
    void frame(uint64_t blockId, bool complete);
    // The next frame starts a new count (after a start, or frames dropped on purpose).
    void forgetPosition();
    void clear();
    uint64_t lost() const { return m_lost; }

private:
    uint64_t m_lost = 0;
    uint64_t m_lastComplete = 0; // 0: none since the position was forgotten
    uint64_t m_failedSince = 0;
};
