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

void ResendTally::dropped(uint16_t blockId, uint32_t packetId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_dropped;
    Frame* frame = m_frames.empty() || m_frames.back().blockId != blockId ? nullptr : &m_frames.back();
    if (!frame) {
        if (m_frames.size() == MaxFrames)
            m_frames.pop_front();
        m_frames.emplace_back();
        frame = &m_frames.back();
        frame->blockId = blockId;
    }
    frame->dropped.push_back(packetId);
    frame->resent.push_back(false);
}

void ResendTally::resent(uint16_t blockId, uint32_t packetId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_resent;
    Frame* frame = find(blockId);
    if (!frame)
        return;
    const auto it = std::lower_bound(frame->dropped.begin(), frame->dropped.end(), packetId);
    if (it != frame->dropped.end() && *it == packetId)
        frame->resent[size_t(it - frame->dropped.begin())] = true;
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
    for (const Frame& frame : m_frames)
        if (uint16_t(frame.blockId - first) <= span)
            missing += uint64_t(std::count(frame.resent.begin(), frame.resent.end(), false));
    return missing;
}
