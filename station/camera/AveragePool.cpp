#include "camera/AveragePool.h"

std::shared_ptr<AveragePool> AveragePool::create(size_t count, size_t slotBytes)
{
    return std::shared_ptr<AveragePool>(new AveragePool(count, slotBytes));
}

AveragePool::AveragePool(size_t count, size_t slotBytes)
    : m_slotBytes(slotBytes), m_slots(count, std::vector<uint8_t>(slotBytes))
{
    for (size_t i = count; i > 0; --i)
        m_free.push_back(int(i - 1));
}

size_t AveragePool::freeSlots() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_free.size();
}

int AveragePool::take()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_free.empty())
        return -1;
    const int slot = m_free.back();
    m_free.pop_back();
    return slot;
}

FrameRef AveragePool::hand(int slot, Frame frame)
{
    frame.data = data(slot);
    frame.size = uint32_t(m_slotBytes);
    std::shared_ptr<AveragePool> self = shared_from_this();
    return FrameRef(new Frame(frame), [self, slot](const Frame* f) {
        self->giveBack(slot);
        delete f;
    });
}

void AveragePool::giveBack(int slot)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_free.push_back(slot);
}
