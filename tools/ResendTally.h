#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The stream packets a simulated camera left out on purpose against the
// packets a receiver asked for again, frame by frame: a receiver that asks
// for every packet it missed is told from one that asks for some or none,
// whatever else the machine made it lose. Requests count as they arrive,
// before the camera's own bound on queued requests. The camera's thread
// records; tests read from their own thread.
class ResendTally
{
public:
    void clear();
    void dropped(uint16_t blockId, uint32_t packetId);
    // A request for packets `first` .. `last` of a block.
    void asked(uint16_t blockId, uint32_t first, uint32_t last);
    // A packet sent again.
    void resent();

    uint64_t packetsDropped() const;
    uint64_t packetsResent() const;
    // Of the packets dropped in blocks `first` .. `last` (counted forward,
    // across the 16-bit wrap), those never asked for in frames where others
    // were: a receiver that asks, asks for every packet of a frame it keeps.
    // Not counted: frames it asked nothing of (it gave up on them before
    // asking, held up past their retention by a busy machine, or never saw
    // them), and frames it overran: it asked for packets of them, or of the
    // frame before or after, that were never dropped (it lost them itself,
    // its socket full), so that it may have reached its own bound on requests.
    uint64_t droppedNotAskedFor(uint16_t first, uint16_t last) const;
    // Dropped packets in `first` .. `last` that were asked for.
    uint64_t droppedAskedFor(uint16_t first, uint16_t last) const;
    // Frames in `first` .. `last` the receiver overran.
    uint64_t framesOverrun(uint16_t first, uint16_t last) const;

    // Frames remembered; older ones are forgotten.
    static constexpr size_t MaxFrames = 4096;

private:
    struct Frame
    {
        uint16_t blockId = 0;
        std::vector<uint32_t> dropped; // in the order sent: ascending
        std::vector<bool> asked;       // of each dropped packet
        bool overrun = false;          // a packet never dropped was asked for
    };

    Frame& frame(uint16_t blockId); // found, or added
    bool overrunNear(uint16_t blockId) const;

    mutable std::mutex m_mutex;
    std::deque<Frame> m_frames;
    uint64_t m_dropped = 0;
    uint64_t m_resent = 0;
};
