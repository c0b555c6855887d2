#pragma once

#include "camera/Frame.h"

#include <deque>
#include <utility>

// Keeps the frame slot from running inside itself. The slot processes pending
// events and may show a modal box; a frame delivered meanwhile is queued and
// handled by the outer call after the current one, in arrival order:
//
//     if (!m_frames.offer(std::move(frame)))
//         return;
//     while (FrameRef next = m_frames.next())
//         handleFrame(*next);
class FrameSlotQueue
{
public:
    // Queues the frame; true when the caller is the outermost call and must
    // drain the queue with next().
    bool offer(FrameRef frame);
    // The next queued frame, or null when the queue is drained (which ends the drain).
    FrameRef next();

    // Lets the queued frames go (their buffers return to the pipeline) and
    // leaves a drain in progress running to its end.
    void discardPending() { m_pending.clear(); }
    // Hands the queued frames over to the caller, in arrival order, and leaves
    // a drain in progress running to its end.
    std::deque<FrameRef> takePending() { return std::exchange(m_pending, {}); }

    bool draining() const { return m_draining; }
    size_t pending() const { return m_pending.size(); }

private:
    std::deque<FrameRef> m_pending;
    bool m_draining = false;
};
