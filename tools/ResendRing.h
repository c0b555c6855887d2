#pragma once

#include "KyNetworkLib/Gvsp.h"
#include "camera/NqGvcp.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// The frames a simulated camera sent last, kept so that it can send packets
// of them again when a receiver asks (GVCP PACKETRESEND_CMD), as a real
// camera does from its frame memory. Requests are queued when they arrive and
// served later by the sending thread, so a request that comes in while a frame
// goes out never sends from inside that send. Single-threaded.
class ResendRing
{
public:
    // Frames are kept while they fit in `byteBudget`, but at least `minFrames`.
    explicit ResendRing(size_t byteBudget = 64u << 20, size_t minFrames = 2);

    // A copy of the frame about to be sent as block `blockId` in data packets
    // of `bytesPerPacket` image bytes; the oldest frames make room.
    void keep(uint16_t blockId, const KyNetworkLib::Gvsp::Leader& leader, const uint8_t* image, size_t size,
              size_t bytesPerPacket);

    // Queues a request; beyond a bound requests are dropped (the receiver
    // asks again when its packet still does not come).
    void request(const NqGvcp::PacketResend& request);
    bool hasRequests() const { return !m_requests.empty(); }

    // Sends the packets of every queued request through `send`, including
    // requests queued meanwhile. Requests for frames no longer kept, or for
    // extended ids, are ignored; packet ids past the trailer are cut.
    // Returns the packets sent.
    size_t serve(const std::function<void(const uint8_t* packet, size_t size)>& send);

    size_t framesKept() const { return m_frames.size(); }

    static constexpr size_t MaxRequests = 256;

private:
    struct Kept
    {
        uint16_t blockId = 0;
        KyNetworkLib::Gvsp::Leader leader;
        std::vector<uint8_t> image;
        size_t bytesPerPacket = 0;
        uint32_t trailerId() const;
    };

    const Kept* find(uint64_t blockId) const;
    // Builds packet `packetId` of `frame` into m_packet; returns its size.
    size_t build(const Kept& frame, uint32_t packetId);

    const size_t m_byteBudget;
    const size_t m_minFrames;
    size_t m_bytes = 0;
    std::deque<Kept> m_frames;
    std::deque<NqGvcp::PacketResend> m_requests;
    std::vector<uint8_t> m_packet;
};
