#include "camera/StreamWatch.h"

namespace {

// A limit that replaces a longer one. Watching that begins (from 0) or ends
// (to 0) does so at once.
bool shorter(unsigned limit, unsigned inForce)
{
    return limit != 0 && inForce != 0 && limit < inForce;
}

} // namespace

void StreamWatch::setLimit(unsigned ms, qint64 now)
{
    if (shorter(ms, m_limit)) {
        m_lowerLimit = ms;
        m_framesBeforeLower = 2;
        return;
    }
    m_limit = ms;
    m_framesBeforeLower = 0;
    m_lastFrame = now;
}

bool StreamWatch::frame(bool complete, qint64 now)
{
    m_lastFrame = now;
    if (m_framesBeforeLower > 0 && --m_framesBeforeLower == 0)
        m_limit = m_lowerLimit;
    if (complete) {
        m_incomplete = 0;
        return false;
    }
    if (m_incomplete++ == 0)
        m_firstIncomplete = now;
    if (m_reported)
        return false;
    const bool ended = m_limit == 0 ? m_incomplete >= UntimedIncompleteRow : now - m_firstIncomplete > qint64(m_limit);
    m_reported = ended;
    return ended;
}

void StreamWatch::newRun()
{
    m_incomplete = 0;
    m_reported = false;
}

bool StreamWatch::silent(qint64 now) const
{
    return m_limit > 0 && now - m_lastFrame > qint64(m_limit);
}
