#pragma once

#include <chrono>
#include <cstddef>

// The simulated camera's stream schedule: when each frame is due and when each
// of its packets may leave. Frames keep their rate on average: the frame
// schedule is absolute, so a late frame is made up by the next ones (up to
// MaxFrameLag). Packets never leave faster than the link: a frame's packets
// follow the link from the moment the frame is ready (filled), or from when
// the link has carried the frames before it, whichever is later; an idle link
// saves up no credit, and of the time a late wake-up loses within a frame at
// most one burst is made up, so the stream is never more than two bursts ahead
// of the link over any stretch of a frame.
// Pure arithmetic on the times given; used by one thread.
class StreamClock
{
public:
    using Clock = std::chrono::steady_clock;

    // Framing each datagram takes on an Ethernet link beyond its UDP payload:
    // IP and UDP headers, Ethernet header, FCS, preamble and inter-frame gap.
    static constexpr size_t WireOverhead = 20 + 8 + 38;
    // How far the sender may run ahead of the link before it sleeps (it then
    // sleeps until the link has carried everything), and how much of a late
    // wake-up's deficit it may make up.
    static constexpr Clock::duration Burst = std::chrono::microseconds(130);
    // A frame schedule further behind than this restarts at the present, as a
    // sensor that cannot hold more frames would drop them.
    static constexpr Clock::duration MaxFrameLag = std::chrono::milliseconds(100);

    // bitsPerSecond 0: unpaced, every packet leaves at once.
    explicit StreamClock(double linkBitsPerSecond = 1e9);

    // Takes effect with the next frame.
    void setLinkRate(double bitsPerSecond);

    // Acquisition starts: the first frame is due at `now`.
    void startFrames(Clock::time_point now);
    Clock::time_point frameDue() const { return m_frameDue; }
    // The frame due at frameDue() is filled and ready to go at `ready`: its
    // packets follow the link from then on, and the next frame is due one
    // `period` after this one (deficit kept up to MaxFrameLag).
    void beginFrame(Clock::duration period, Clock::time_point ready);

    // Books a datagram of `bytes` (UDP payload) on the link and returns when it
    // may be handed to the socket: `now` or earlier means at once.
    Clock::time_point book(size_t bytes, Clock::time_point now);
    // When the link has carried every datagram booked so far.
    Clock::time_point linkFree() const;

private:
    // Restarts the link schedule at `start`.
    void restartLink(Clock::time_point start);

    double m_nextBitsPerSecond;
    double m_bytesPerSecond;
    Clock::time_point m_frameDue{};
    // The link schedule: bytes booked since `m_linkStart`, so rounding never
    // accumulates over a frame.
    Clock::time_point m_linkStart{};
    double m_linkBytes = 0;
};
