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
    // across the 16-bit wrap), those never sent again, but for frames the
    // receiver overran: it asked for packets of them, or of the frame before
    // or after, that were never dropped (it lost them itself, its socket full
    // while a busy machine held it up), so that it may have reached its own
    // bound on requests, or missed the frame whole.
    uint64_t droppedNotResent(uint16_t first, uint16_t last) const;
    // Frames in `first` .. `last` the receiver overran.
    uint64_t framesOverrun(uint16_t first, uint16_t last) const;

    // Frames with drops that are remembered; older ones are forgotten.
    static constexpr size_t MaxFrames = 4096;

private:
    struct Frame
    {
        uint16_t blockId = 0;
        std::vector<uint32_t> dropped; // in the order sent: ascending
        std::vector<bool> resent;      // of each dropped packet
        bool overrun = false;          // a packet never dropped was asked for
    };

    Frame* find(uint16_t blockId);
    Frame& frame(uint16_t blockId); // found, or added
    bool overrunNear(uint16_t blockId) const;

    mutable std::mutex m_mutex;
    std::deque<Frame> m_frames;
    uint64_t m_dropped = 0;
    uint64_t m_resent = 0;
};
