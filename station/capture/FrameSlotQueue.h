#pragma once

#include "camera/Frame.h"

#include <deque>
#include <utility>

// Keeps the frame slot from running inside itself. The slot processes pending
// events and may show a modal box; a frame delivered meanwhile is queued and
// handled after the current one, in arrival order. A drain runs in passes: a
// pass handles the frames queued when it starts, and while frames remain the
// drain goes on in a later pass from the event loop, so that frames arriving
// faster than they are shown never keep control from the loops further up:
//
//     if (!m_frames.offer(std::move(frame)))
//         return;                       // a drain is under way
//     for (size_t n = m_frames.pending(); n > 0; --n)
//         if (FrameRef next = m_frames.next())
//             handleFrame(*next);
//     if (m_frames.endPass())
//         scheduleNextPass();
class FrameSlotQueue
{
public:
    // Queues the frame; true when the caller is the outermost call and must
    // drain the queue with next().
    bool offer(FrameRef frame);
    // The next queued frame, or null when the queue is drained (which ends the drain).
    FrameRef next();
    // Ends a pass of the drain: true when frames remain for another pass,
    // false when the drain is over.
    bool endPass();

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
