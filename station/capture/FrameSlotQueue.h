#pragma once

#include "camera/Frame.h"

#include <deque>
#include <utility>

// Keeps the frame slot from running inside itself. The slot processes pending
// events and may show a modal box; a frame delivered meanwhile is queued and
// handled after the current one, in arrival order. The slot works in passes:
// a pass handles the frames queued when it starts, so that frames arriving
// faster than they are shown never keep control from the event loops further
// up (a wait must be able to end). Frames left over start the next pass, from
// the next frame's own call or from the event loop:
//
//     if (!m_frames.offer(std::move(frame)))
//         return;                       // a pass is under way
//     for (size_t n = m_frames.beginPass(); n > 0; --n)
//         if (FrameRef next = m_frames.next())
//             handleFrame(*next);
//     if (m_frames.endPass())
//         scheduleNextPass();
class FrameSlotQueue
{
public:
    // Queues the frame; true when no pass is under way and the caller must run one.
    bool offer(FrameRef frame);
    // Starts a pass; returns how many frames it takes (those queued now).
    size_t beginPass();
    // The next queued frame, or null when none is left.
    FrameRef next();
    // Ends the pass: true when frames remain for another pass.
    bool endPass();

    // Lets the queued frames go (their buffers return to the pipeline); a
    // pass under way runs to its end.
    void discardPending() { m_pending.clear(); }
    // Hands the queued frames over to the caller, in arrival order; a pass
    // under way runs to its end.
    std::deque<FrameRef> takePending() { return std::exchange(m_pending, {}); }

    bool passRunning() const { return m_passRunning; }
    // A pass is under way or frames wait for one.
    bool busy() const { return m_passRunning || !m_pending.empty(); }
    size_t pending() const { return m_pending.size(); }

private:
    std::deque<FrameRef> m_pending;
    bool m_passRunning = false;
};
