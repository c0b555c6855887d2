#include "capture/FrameSlotQueue.h"

bool FrameSlotQueue::offer(FrameRef frame)
{
    if (frame)
        m_pending.push_back(std::move(frame));
    return !m_passRunning;
}

size_t FrameSlotQueue::beginPass()
{
    m_passRunning = true;
    return m_pending.size();
}

FrameRef FrameSlotQueue::next()
{
    if (m_pending.empty())
        return nullptr;
    FrameRef frame = std::move(m_pending.front());
    m_pending.pop_front();
    return frame;
}

bool FrameSlotQueue::endPass()
{
    m_passRunning = false;
    return !m_pending.empty();
}
