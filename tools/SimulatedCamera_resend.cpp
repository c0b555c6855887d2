// Packets the simulated camera sends again when a receiver asks
// (PACKETRESEND_CMD): requests arrive on the control channel and are queued;
// the stream thread serves them from the ring of the frames it sent last,
// between frames and between a frame's bursts, on the same link schedule. The
// packet-loss choice applies to first sendings only.

#include "SimulatedCameraImpl.h"

#include "camera/NqGvcp.h"

void SimulatedCamera::Impl::requestResend(const uint8_t* data, size_t size)
{
    NqGvcp::PacketResend request;
    if (!options.packetResend || !NqGvcp::parsePacketResendCmd(data, size, request) || request.streamChannel != 0)
        return;
    tally.asked(uint16_t(request.blockId), request.firstPacketId, request.lastPacketId);
    resends.request(request);
}

void SimulatedCamera::Impl::serveResends()
{
    // Requests that come while resent packets wait for the link join the
    // serving under way.
    if (servingResends || !resends.hasRequests())
        return;
    servingResends = true;
    sockaddr_in to{};
    {
        std::lock_guard<std::mutex> lock(mutex);
        to = streamDestination();
    }
    resends.serve([&](const uint8_t* packet, size_t size) {
        tally.resent();
        sendPacket(packet, size, to);
    });
    servingResends = false;
}
