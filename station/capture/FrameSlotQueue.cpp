#include "capture/FrameSlotQueue.h"

bool FrameSlotQueue::offer(FrameRef frame)
{
    if (frame)
        m_pending.push_back(std::move(frame));
    if (m_draining)
        return false;
    m_draining = true;
    return true;
}

FrameRef FrameSlotQueue::next()
{
    if (m_pending.empty()) {
        m_draining = false;
        return nullptr;
    }
    FrameRef frame = std::move(m_pending.front());
    m_pending.pop_front();
    return frame;
}

bool FrameSlotQueue::endPass()
{
    if (!m_pending.empty())
        return true;
    m_draining = false;
    return false;
}
