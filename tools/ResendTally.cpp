#include "ResendTally.h"

#include <algorithm>

void ResendTally::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.clear();
    m_dropped = 0;
    m_resent = 0;
}

ResendTally::Frame& ResendTally::frame(uint16_t blockId)
{
    for (auto it = m_frames.rbegin(); it != m_frames.rend(); ++it)
        if (it->blockId == blockId)
            return *it;
    if (m_frames.size() == MaxFrames)
        m_frames.pop_front();
    m_frames.emplace_back();
    m_frames.back().blockId = blockId;
    return m_frames.back();
}

void ResendTally::dropped(uint16_t blockId, uint32_t packetId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_dropped;
    Frame& f = frame(blockId);
    f.dropped.push_back(packetId);
    f.asked.push_back(false);
}

void ResendTally::asked(uint16_t blockId, uint32_t first, uint32_t last)
{
    if (last < first)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    Frame& f = frame(blockId);
    const auto begin = std::lower_bound(f.dropped.begin(), f.dropped.end(), first);
    const auto end = std::upper_bound(begin, f.dropped.end(), last);
    for (auto it = begin; it != end; ++it)
        f.asked[size_t(it - f.dropped.begin())] = true;
    if (uint64_t(last) - first + 1 > uint64_t(end - begin))
        f.overrun = true;
}

void ResendTally::resent()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_resent;
}

bool ResendTally::overrunNear(uint16_t blockId) const
{
    for (const Frame& f : m_frames)
        if (f.overrun && uint16_t(f.blockId - blockId + 1) <= 2)
            return true;
    return false;
}

uint64_t ResendTally::packetsDropped() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

uint64_t ResendTally::packetsResent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_resent;
}

uint64_t ResendTally::droppedNotAskedFor(uint16_t first, uint16_t last) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint16_t span = uint16_t(last - first);
    uint64_t missing = 0;
    for (const Frame& f : m_frames) {
        const auto unasked = uint64_t(std::count(f.asked.begin(), f.asked.end(), false));
        if (uint16_t(f.blockId - first) <= span && unasked < f.asked.size() && !overrunNear(f.blockId))
            missing += unasked;
    }
    return missing;
}

uint64_t ResendTally::droppedAskedFor(uint16_t first, uint16_t last) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint16_t span = uint16_t(last - first);
    uint64_t asked = 0;
    for (const Frame& f : m_frames)
        if (uint16_t(f.blockId - first) <= span)
            asked += uint64_t(std::count(f.asked.begin(), f.asked.end(), true));
    return asked;
}

uint64_t ResendTally::framesOverrun(uint16_t first, uint16_t last) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint16_t span = uint16_t(last - first);
    uint64_t overrun = 0;
    for (const Frame& f : m_frames)
        overrun += uint16_t(f.blockId - first) <= span && f.overrun ? 1 : 0;
    return overrun;
}
