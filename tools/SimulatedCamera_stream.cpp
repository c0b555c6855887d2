// The simulated camera's stream channel: each frame, filled by the fake
// camera with our pattern, goes out as GVSP leader, data packets and trailer
// at the pace of the stream's link.

#include "SimulatedCameraImpl.h"

#include "SimCamFeatures.h"
#include "camera/NqGvcp.h"
#include "KyNetworkLib/Gvsp.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using Clock = SimulatedCamera::Impl::Clock;
namespace Gvsp = KyNetworkLib::Gvsp;

bool SimulatedCamera::Impl::streaming() const
{
    return acquiring && reg(NqGvcp::REG_STREAM_CHANNEL_DESTINATION_0) != 0
        && (reg(NqGvcp::REG_STREAM_CHANNEL_PORT_0) & 0xFFFF) != 0;
}

// Caller holds the lock.
sockaddr_in SimulatedCamera::Impl::streamDestination() const
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(reg(NqGvcp::REG_STREAM_CHANNEL_DESTINATION_0));
    to.sin_port = htons(uint16_t(reg(NqGvcp::REG_STREAM_CHANNEL_PORT_0) & 0xFFFF));
    return to;
}

void SimulatedCamera::Impl::fillPattern(ArvBuffer* buffer, void* data, guint32, guint32, ArvPixelFormat format)
{
    const Impl* self = static_cast<const Impl*>(data);
    // arv_buffer_get_data reports the received size, which the fake camera
    // sets only after filling; the allocation is ours and known.
    auto* bytes = static_cast<uint8_t*>(const_cast<void*>(arv_buffer_get_data(buffer, nullptr)));
    const uint32_t width = uint32_t(arv_buffer_get_image_width(buffer));
    const uint32_t height = uint32_t(arv_buffer_get_image_height(buffer));
    const size_t needed = SimulatedCamera::frameBytes(width, height, format);
    if (bytes == nullptr || needed == 0 || needed > self->frameSize)
        return;
    // The block id on the wire is the 16-bit frame id the fake camera assigns.
    SimulatedCamera::fillFrame(bytes, width, height, format, arv_buffer_get_frame_id(buffer) & 0xFFFF,
                               self->options.pattern);
}

// Every stream packet, leader and trailer included, takes its time on the
// link; the thread sleeps once it is a burst ahead of it. On loopback a
// receiver that falls behind fills this socket's buffer too: the packet is
// then lost, as on a link into a full receive buffer (never held back, which
// would slow the camera down to the receiver).
void SimulatedCamera::Impl::sendPacket(const uint8_t* data, size_t size, const sockaddr_in& to)
{
    const auto now = Clock::now();
    const auto sendAt = clock.book(size, now);
    if (sendAt > now)
        pauseUntil(sendAt);
    ::sendto(streamSocket, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

// Sleeps between bursts, still answering the control channel, so a client can
// stop a large frame's acquisition or keep its heartbeat while it goes out,
// and sending the packets it asks for again meanwhile (a frame that a busy
// machine stretches would otherwise outlast the receiver's wait for them).
void SimulatedCamera::Impl::pauseUntil(Clock::time_point wakeUp)
{
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {controlSocket, POLLIN, 0}};
    for (auto now = Clock::now(); now < wakeUp && !stopRequested; now = Clock::now()) {
        const timespec timeout = toTimespec(wakeUp - now);
        if (::ppoll(fds, 2, &timeout, nullptr) > 0) {
            if (fds[0].revents & POLLIN)
                return; // stopping
            if (fds[1].revents & POLLIN) {
                receiveAll(controlSocket, false);
                serveResends();
            }
        }
    }
}

void SimulatedCamera::Impl::sendFrame()
{
    sockaddr_in to{};
    Gvsp::Leader info;
    info.payloadType = Gvsp::PayloadImage;
    uint32_t packetSize = 0;
    uint16_t blockId = 0;
    const uint8_t* image = nullptr;
    size_t imageSize = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // The period read now, as this frame is filled, spaces the next one:
        // the frame being exposed when a setting changed keeps its time.
        const uint32_t period = frameTimeUs();
        setReg(simcam::RegFrameTimeActual, period);
        const auto due = std::chrono::duration_cast<std::chrono::nanoseconds>(clock.frameDue().time_since_epoch());
        clock.setLinkRate(linkRateMbps * 1e6);
        const size_t payload = arv_fake_camera_get_payload(fake);
        if (frame == nullptr || frameSize != payload) {
            if (frame != nullptr)
                g_object_unref(frame);
            frame = arv_buffer_new(payload, nullptr);
            frameSize = payload;
        }
        arv_fake_camera_fill_buffer(fake, frame, &packetSize);
        // The frame's packets follow the link from now on, when it is filled:
        // the fill's time never comes out of the link's.
        clock.beginFrame(std::chrono::microseconds(period), Clock::now());
        if (arv_buffer_get_status(frame) != ARV_BUFFER_STATUS_SUCCESS)
            return;
        to = streamDestination();
        packetSize = reg(NqGvcp::REG_STREAM_CHANNEL_PACKET_SIZE_0) & 0xFFFF;
        blockId = uint16_t(arv_buffer_get_frame_id(frame) & 0xFFFF);
        // Stamped when the frame was due, as a camera's own clock stamps its
        // exposure (1 GHz ticks), whatever delays the sending thread met.
        info.timestamp = uint64_t(due.count());
        info.pixelFormat = arv_buffer_get_image_pixel_format(frame);
        gint x = 0, y = 0, width = 0, height = 0;
        arv_buffer_get_image_region(frame, &x, &y, &width, &height);
        info.offsetX = uint32_t(x);
        info.offsetY = uint32_t(y);
        info.sizeX = uint32_t(width);
        info.sizeY = uint32_t(height);
        image = static_cast<const uint8_t*>(arv_buffer_get_data(frame, nullptr));
        imageSize = std::min(frameSize, SimulatedCamera::frameBytes(info.sizeX, info.sizeY, info.pixelFormat));
    }

    // Only this thread touches the frame buffer, so it is sent without the lock.
    // Leader, data packets and trailer are written in turn into one packet buffer.
    const size_t chunk = SimulatedCamera::dataBytesPerPacket(packetSize);
    resends.keep(blockId, info, image, imageSize, chunk);
    std::vector<uint8_t> packet(Gvsp::StandardHeaderSize + std::max<size_t>(chunk, Gvsp::ImageLeaderSize));
    uint8_t* const content = packet.data() + Gvsp::StandardHeaderSize;
    Gvsp::Header header;
    header.blockId = blockId;
    header.format = Gvsp::FormatLeader;
    Gvsp::WriteHeader(packet.data(), header);
    sendPacket(packet.data(), Gvsp::StandardHeaderSize + Gvsp::WriteLeader(content, info), to);

    header.format = Gvsp::FormatPayload;
    Gvsp::WriteHeader(packet.data(), header);
    uint32_t packetId = 1;
    for (size_t offset = 0; offset < imageSize; offset += chunk, ++packetId) {
        if (stopRequested)
            return;
        const size_t n = std::min(chunk, imageSize - offset);
        if (dropper->dropNext()) {
            tally.dropped(blockId, packetId);
            continue;
        }
        Gvsp::WriteIds(packet.data(), false, blockId, packetId);
        std::memcpy(content, image + offset, n);
        sendPacket(packet.data(), Gvsp::StandardHeaderSize + n, to);
    }

    header.format = Gvsp::FormatTrailer;
    header.packetId = packetId;
    Gvsp::WriteHeader(packet.data(), header);
    Gvsp::Trailer trailer;
    trailer.payloadType = Gvsp::PayloadImage;
    trailer.sizeY = info.sizeY;
    sendPacket(packet.data(), Gvsp::StandardHeaderSize + Gvsp::WriteTrailer(content, trailer), to);
    ++framesSent;
}

// Caller holds the lock.
uint32_t SimulatedCamera::Impl::frameTimeUs() const
{
    const uint32_t shortest = std::max(reg(simcam::RegShortestFrameTime), simcam::MinFramePeriodUs);
    const uint32_t programmed = reg(simcam::RegProgFrameTimeEnable) != 0 ? reg(simcam::RegProgFrameTime) : 0;
    return std::max({shortest, reg(simcam::RegExposureTime), programmed});
}

// Caller holds the lock. While streaming, the frame in progress keeps its
// period and sendFrame reports the new one as it takes effect.
void SimulatedCamera::Impl::updateActualFrameTime()
{
    if (!streaming())
        setReg(simcam::RegFrameTimeActual, frameTimeUs());
}

// Caller holds the lock. The frame rate of the options and of setFrameRate
// is the rate a test asks the stream to run at, so the exposure is kept
// within it; a client's AcquisitionFrameRate leaves the exposure alone.
void SimulatedCamera::Impl::setShortestFrameTime(uint32_t us)
{
    setReg(simcam::RegShortestFrameTime, us);
    setReg(simcam::RegExposureTime, std::min(reg(simcam::RegExposureTime), us));
    updateActualFrameTime();
}

uint32_t SimulatedCamera::Impl::shortestFrameTimeUs(double framesPerSecond)
{
    const double asked = std::isnan(framesPerSecond) ? 0.0 : framesPerSecond;
    const double rate = std::clamp(asked, 1e6 / simcam::MaxFramePeriodUs, 1e6 / simcam::MinFramePeriodUs);
    return uint32_t(1000000.0 / rate + 0.5);
}

size_t SimulatedCamera::dataBytesPerPacket(uint32_t packetSize)
{
    // Before a host negotiates the size, SCPS0 may hold anything: never below
    // a minimal 576-byte datagram, never above a jumbo frame.
    return Gvsp::DataBytesPerPacket(std::clamp<uint32_t>(packetSize, 576, 9000), false);
}
