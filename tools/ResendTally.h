#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The stream packets a simulated camera left out on purpose and the packets
// it sent again on request, frame by frame: a receiver that asks for every
// packet it missed is told from one that asks for some or none, whatever
// else the machine made it lose. The stream thread records; tests read from
// their own thread.
class ResendTally
{
public:
    void clear();
    void dropped(uint16_t blockId, uint32_t packetId);
    void resent(uint16_t blockId, uint32_t packetId);

    uint64_t packetsDropped() const;
    uint64_t packetsResent() const;
    // Of the packets dropped in blocks `first` .. `last` (counted forward,
    // across the 16-bit wrap), those never sent again.
    uint64_t droppedNotResent(uint16_t first, uint16_t last) const;

    // Frames with drops that are remembered; older ones are forgotten.
    static constexpr size_t MaxFrames = 4096;

private:
    struct Frame
    {
        uint16_t blockId = 0;
        std::vector<uint32_t> dropped; // in the order sent: ascending
        std::vector<bool> resent;      // of each dropped packet
    };

    Frame* find(uint16_t blockId);

    mutable std::mutex m_mutex;
    std::deque<Frame> m_frames;
    uint64_t m_dropped = 0;
    uint64_t m_resent = 0;
};
