#include "ResendTally.h"

#include <algorithm>

void ResendTally::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.clear();
    m_dropped = 0;
    m_resent = 0;
}

ResendTally::Frame* ResendTally::find(uint16_t blockId)
{
    for (auto it = m_frames.rbegin(); it != m_frames.rend(); ++it)
        if (it->blockId == blockId)
            return &*it;
    return nullptr;
}

ResendTally::Frame& ResendTally::frame(uint16_t blockId)
{
    if (Frame* known = find(blockId))
        return *known;
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
    f.resent.push_back(false);
}

void ResendTally::resent(uint16_t blockId, uint32_t packetId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_resent;
    Frame& f = frame(blockId);
    const auto it = std::lower_bound(f.dropped.begin(), f.dropped.end(), packetId);
    if (it != f.dropped.end() && *it == packetId)
        f.resent[size_t(it - f.dropped.begin())] = true;
    else
        f.overrun = true;
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

uint64_t ResendTally::droppedNotResent(uint16_t first, uint16_t last) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint16_t span = uint16_t(last - first);
    uint64_t missing = 0;
    for (const Frame& f : m_frames)
        if (uint16_t(f.blockId - first) <= span && !overrunNear(f.blockId))
            missing += uint64_t(std::count(f.resent.begin(), f.resent.end(), false));
    return missing;
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
