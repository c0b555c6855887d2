#include "StreamClock.h"

#include <algorithm>

constexpr size_t StreamClock::WireOverhead;
constexpr StreamClock::Clock::duration StreamClock::Burst;
constexpr StreamClock::Clock::duration StreamClock::MaxFrameLag;

StreamClock::StreamClock(double linkBitsPerSecond)
    : m_nextBitsPerSecond(linkBitsPerSecond), m_bytesPerSecond(linkBitsPerSecond / 8)
{
}

void StreamClock::setLinkRate(double bitsPerSecond)
{
    m_nextBitsPerSecond = bitsPerSecond > 0 ? bitsPerSecond : 0;
}

void StreamClock::startFrames(Clock::time_point now)
{
    m_frameDue = now;
}

void StreamClock::restartLink(Clock::time_point start)
{
    m_linkStart = start;
    m_linkBytes = 0;
}

void StreamClock::beginFrame(Clock::duration period, Clock::time_point ready)
{
    // The link carries what was booked before at the old rate; this frame
    // follows at the new one.
    restartLink(std::max(linkFree(), ready));
    m_bytesPerSecond = m_nextBitsPerSecond / 8;
    m_frameDue += period;
    if (ready - m_frameDue > MaxFrameLag)
        m_frameDue = ready;
}

StreamClock::Clock::time_point StreamClock::linkFree() const
{
    if (m_bytesPerSecond <= 0)
        return m_linkStart;
    return m_linkStart + std::chrono::round<Clock::duration>(std::chrono::duration<double>(m_linkBytes / m_bytesPerSecond));
}

StreamClock::Clock::time_point StreamClock::book(size_t bytes, Clock::time_point now)
{
    if (m_bytesPerSecond <= 0)
        return now;
    Clock::time_point free = linkFree();
    // Behind the link by more than a burst (the thread woke late): the rest
    // of the deficit is time the link stood idle, never made up in a rush.
    if (now - free > Burst) {
        free = now - Burst;
        restartLink(free);
    }
    m_linkBytes += double(bytes + WireOverhead);
    // Ahead of the link by more than a burst: wait until it has carried
    // everything before this datagram. Otherwise at once.
    return free - now > Burst ? free : now;
}
