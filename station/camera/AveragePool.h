#pragma once

#include "camera/Frame.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

// A few equal buffers for averaged frames, allocated once. A taken buffer is
// handed out as a FrameRef and comes back when the last copy of that FrameRef
// is gone; the pool itself lives until then, even if its owner dropped it.
class AveragePool : public std::enable_shared_from_this<AveragePool>
{
public:
    static std::shared_ptr<AveragePool> create(size_t count, size_t slotBytes);

    size_t slotBytes() const { return m_slotBytes; }
    size_t freeSlots() const;

    // A free buffer's index, or -1 when all are handed out.
    int take();
    uint8_t* data(int slot) { return m_slots[size_t(slot)].data(); }
    // Hands out taken buffer `slot` as a frame described by `frame` (its data
    // and size are set here); the buffer is free again when the ref is gone.
    FrameRef hand(int slot, Frame frame);

private:
    AveragePool(size_t count, size_t slotBytes);
    void giveBack(int slot);

    const size_t m_slotBytes;
    std::vector<std::vector<uint8_t>> m_slots;
    mutable std::mutex m_lock; // m_free is touched by whichever thread drops a frame
    std::vector<int> m_free;
};
