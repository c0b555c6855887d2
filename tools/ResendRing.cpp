#include "ResendRing.h"

#include <algorithm>
#include <cstring>

namespace Gvsp = KyNetworkLib::Gvsp;

ResendRing::ResendRing(size_t byteBudget, size_t minFrames)
    : m_byteBudget(byteBudget), m_minFrames(std::max<size_t>(minFrames, 1))
{
}

uint32_t ResendRing::Kept::trailerId() const
{
    return uint32_t(Gvsp::DataPacketCount(image.size(), uint32_t(bytesPerPacket))) + 1;
}

void ResendRing::keep(uint16_t blockId, const Gvsp::Leader& leader, const uint8_t* image, size_t size,
                      size_t bytesPerPacket)
{
    // The storage of the oldest frame is reused, so a steady stream allocates nothing.
    std::vector<uint8_t> storage;
    while (!m_frames.empty()
           && (m_frames.size() >= m_minFrames && m_bytes + size > m_byteBudget)) {
        m_bytes -= m_frames.front().image.size();
        storage = std::move(m_frames.front().image);
        m_frames.pop_front();
    }
    Kept kept;
    kept.blockId = blockId;
    kept.leader = leader;
    kept.bytesPerPacket = std::max<size_t>(bytesPerPacket, 1);
    kept.image = std::move(storage);
    kept.image.assign(image, image + size);
    m_bytes += size;
    m_frames.push_back(std::move(kept));
}

void ResendRing::request(const NqGvcp::PacketResend& request)
{
    if (m_requests.size() < MaxRequests)
        m_requests.push_back(request);
}

const ResendRing::Kept* ResendRing::find(uint64_t blockId) const
{
    for (auto it = m_frames.rbegin(); it != m_frames.rend(); ++it)
        if (it->blockId == blockId)
            return &*it;
    return nullptr;
}

size_t ResendRing::build(const Kept& frame, uint32_t packetId)
{
    m_packet.resize(Gvsp::StandardHeaderSize + std::max<size_t>(frame.bytesPerPacket, Gvsp::ImageLeaderSize));
    uint8_t* const content = m_packet.data() + Gvsp::StandardHeaderSize;
    Gvsp::Header header;
    header.blockId = frame.blockId;
    header.packetId = packetId;
    if (packetId == 0) {
        header.format = Gvsp::FormatLeader;
        Gvsp::WriteHeader(m_packet.data(), header);
        return Gvsp::StandardHeaderSize + Gvsp::WriteLeader(content, frame.leader);
    }
    if (packetId == frame.trailerId()) {
        header.format = Gvsp::FormatTrailer;
        Gvsp::WriteHeader(m_packet.data(), header);
        Gvsp::Trailer trailer;
        trailer.payloadType = frame.leader.payloadType;
        trailer.sizeY = frame.leader.sizeY;
        return Gvsp::StandardHeaderSize + Gvsp::WriteTrailer(content, trailer);
    }
    header.format = Gvsp::FormatPayload;
    Gvsp::WriteHeader(m_packet.data(), header);
    const size_t offset = size_t(packetId - 1) * frame.bytesPerPacket;
    const size_t n = std::min(frame.bytesPerPacket, frame.image.size() - offset);
    std::memcpy(content, frame.image.data() + offset, n);
    return Gvsp::StandardHeaderSize + n;
}

size_t ResendRing::serve(const std::function<void(const uint8_t*, size_t)>& send)
{
    size_t sent = 0;
    while (!m_requests.empty()) {
        const NqGvcp::PacketResend r = m_requests.front();
        m_requests.pop_front();
        const Kept* frame = r.extendedIds ? nullptr : find(r.blockId);
        if (!frame)
            continue;
        const uint32_t last = std::min(r.lastPacketId, frame->trailerId());
        for (uint32_t id = r.firstPacketId; id <= last; ++id) {
            send(m_packet.data(), build(*frame, id));
            ++sent;
        }
    }
    return sent;
}
