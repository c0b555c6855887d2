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

void StreamClock::beginFrame(Clock::duration period, Clock::time_point now)
{
    // A new rate starts a new link schedule; so does a link that went idle
    // before this frame was due.
    const double bytesPerSecond = m_nextBitsPerSecond / 8;
    if (bytesPerSecond != m_bytesPerSecond || linkFree() < m_frameDue) {
        m_linkStart = std::max(linkFree(), m_frameDue);
        m_linkBytes = 0;
        m_bytesPerSecond = bytesPerSecond;
    }
    m_frameDue += period;
    if (now - m_frameDue > MaxFrameLag)
        m_frameDue = now;
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
    const Clock::time_point free = linkFree();
    m_linkBytes += double(bytes + WireOverhead);
    // Ahead of the link by more than a burst: wait until it has carried
    // everything before this datagram. Behind it: at once.
    return free - now > Burst ? free : now;
}
