// The simulated camera's control and stream front-end.
//
// Aravis's ArvGvFakeCamera binds only to addresses that an interface carries
// (in the test namespace: 127.0.0.1 alone), streams to whatever the client
// wrote into SCDA/SCP and has no packet-loss control. We therefore keep
// Aravis's ArvFakeCamera as the device model (its register memory, payload
// computation, frame ids and timestamps, and our fill pattern through
// arv_fake_camera_set_fill_pattern) and serve it ourselves: one thread answers
// GVCP on <address>:3956 and sends GVSP from <address>:<ephemeral>. Packet
// loss is therefore exact and deterministic: the sender leaves out the data
// packets a seeded PacketDropper picks (leaders and trailers always go out, so
// a receiver sees each frame begin and end). Like a real camera it sends
// packets again when asked (PACKETRESEND_CMD) from a ring of the frames it
// sent last; only first sendings are dropped, so a receiver that asks gets
// every frame complete.

#include "SimulatedCameraImpl.h"

#include "SimCamFeatures.h"
#include "camera/NqGvcp.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

int boundUdpSocket(uint32_t ip, uint16_t port, bool shared = false)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    if (shared)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ip);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

timespec SimulatedCamera::Impl::toTimespec(Clock::duration wait)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(wait, Clock::duration::zero()));
    return timespec{time_t(ns.count() / 1000000000), long(ns.count() % 1000000000)};
}

bool SimulatedCamera::Impl::start()
{
    NqGvcp::Mac mac{};
    if (!NqGvcp::parseIp(options.address, ip) || (ip >> 24) != 127 || !NqGvcp::parseMac(options.mac, mac)
        || !simcam::isSupportedPixelFormat(options.pixelFormat) || options.sensorWidth < 8 || options.sensorHeight < 1
        || options.sensorWidth > 65535 || options.sensorHeight > 65535)
        return false;
    refusedRegisters.clear();
    for (const std::string& name : options.missingFeatures)
        if (simcam::featureNamed(name) == nullptr)
            return false;
    for (const std::string& name : options.refusedFeatures) {
        const simcam::Feature* f = simcam::featureNamed(name);
        if (f == nullptr)
            return false;
        refusedRegisters.push_back(f->address);
    }

    controlSocket = boundUdpSocket(ip, NqGvcp::GVCP_PORT);
    streamSocket = boundUdpSocket(ip, 0);
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Discovery on loopback is a broadcast from 127.0.0.1 to 255.255.255.255,
    // delivered to every socket bound to that address and port (shared).
    const bool answersBroadcast = ip == 0x7F000001 || options.broadcastDiscovery;
    if (answersBroadcast)
        discoverySocket = boundUdpSocket(0xFFFFFFFF, NqGvcp::GVCP_PORT, true);
    if (controlSocket < 0 || streamSocket < 0 || wakeFd < 0 || (answersBroadcast && discoverySocket < 0)) {
        stop();
        return false;
    }
    const int sendBuffer = 4 * 1024 * 1024;
    ::setsockopt(streamSocket, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);

    // ArvFakeCamera reads its description from a file when it is built; the
    // file is not needed afterwards.
    char path[] = "/tmp/lumivar-simcam-XXXXXX.xml";
    const int xmlFd = ::mkstemps(path, 4);
    if (xmlFd < 0) {
        stop();
        return false;
    }
    const std::string xml = simcam::genicamXml(options.missingFeatures);
    const bool written = ::write(xmlFd, xml.data(), xml.size()) == ssize_t(xml.size());
    ::close(xmlFd);
    if (written)
        fake = arv_fake_camera_new_full(options.serial.c_str(), path);
    ::unlink(path);
    if (fake == nullptr) {
        stop();
        return false;
    }

    std::lock_guard<std::mutex> lock(mutex);
    char url[128];
    std::snprintf(url, sizeof url, "Local:lumivar-simcam.xml;%x;%zx", simcam::XmlAddress, xml.size());
    writeText(NqGvcp::REG_FIRST_URL, 512, url);

    NqGvcp::DeviceRecord identity;
    identity.ip = ip;
    identity.subnetMask = 0xFF000000;
    identity.gateway = 0;
    identity.mac = mac;
    identity.manufacturer = "Kessane";
    identity.model = options.model;
    identity.version = "2.5.3";
    identity.manufacturerInfo = "Simulated camera";
    identity.serial = options.serial;
    identity.userName = options.userName;
    const std::vector<uint8_t> block = NqGvcp::buildDeviceRecord(identity);
    arv_fake_camera_write_memory(fake, 0, uint32_t(block.size()), block.data());

    for (const simcam::Feature& f : simcam::features())
        if (f.type != simcam::FeatureType::Command)
            setReg(f.address, uint32_t(f.initial));
    linkRateMbps = std::max(options.linkRateMbps, 0.0);
    framesSent = 0;
    tally.clear();
    setReg(simcam::RegSensorWidth, options.sensorWidth);
    setReg(simcam::RegSensorHeight, options.sensorHeight);
    setReg(simcam::RegWidth, std::clamp<uint32_t>(options.width, 8, options.sensorWidth));
    setReg(simcam::RegHeight, std::clamp<uint32_t>(options.height, 1, options.sensorHeight));
    setReg(simcam::RegOffsetX, 0);
    setReg(simcam::RegOffsetY, 0);
    setReg(simcam::RegPixelFormat, options.pixelFormat);
    setReg(simcam::RegCcdType, uint32_t(options.ccdType));
    setReg(simcam::RegAcquisition, 0);
    setReg(NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, requestedPrivilege);
    const uint32_t capability = reg(NqGvcp::REG_GVCP_CAPABILITY) & ~NqGvcp::GVCP_CAPABILITY_PACKET_RESEND;
    setReg(NqGvcp::REG_GVCP_CAPABILITY,
           options.packetResend ? capability | NqGvcp::GVCP_CAPABILITY_PACKET_RESEND : capability);
    hasController = false;
    acquiring = false;
    setShortestFrameTime(shortestFrameTimeUs(options.frameRate));
    dropper = std::make_unique<PacketDropper>(options.packetLoss, options.packetLossSeed);
    arv_fake_camera_set_fill_pattern(fake, &Impl::fillPattern, this);

    stopRequested = false;
    thread = std::thread(&Impl::run, this);
    return true;
}

void SimulatedCamera::Impl::stop()
{
    if (thread.joinable()) {
        stopRequested = true;
        const uint64_t one = 1;
        if (::write(wakeFd, &one, sizeof one) < 0) {
            // The flag alone ends the wait within its 100 ms bound.
        }
        thread.join();
    }
    for (int* fd : {&controlSocket, &discoverySocket, &streamSocket, &wakeFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (frame != nullptr)
        g_object_unref(frame);
    frame = nullptr;
    frameSize = 0;
    if (fake != nullptr)
        g_object_unref(fake);
    fake = nullptr;
    hasController = false;
    acquiring = false;
}

void SimulatedCamera::Impl::run()
{
    while (!stopRequested) {
        Clock::duration wait = std::chrono::milliseconds(100);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (streaming())
                wait = std::min(wait, clock.frameDue() - Clock::now());
        }
        pollfd fds[3] = {{wakeFd, POLLIN, 0}, {controlSocket, POLLIN, 0}, {discoverySocket, POLLIN, 0}};
        const timespec timeout = toTimespec(wait);
        ::ppoll(fds, discoverySocket >= 0 ? 3 : 2, &timeout, nullptr);
        if (stopRequested)
            break;
        if (fds[1].revents & POLLIN)
            receiveAll(controlSocket, false);
        if (discoverySocket >= 0 && (fds[2].revents & POLLIN))
            receiveAll(discoverySocket, true);
        serveResends();

        bool frameDue = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            // A controller that stops its heartbeat loses the camera, as on a real device.
            if (hasController) {
                const auto timeout = std::chrono::milliseconds(reg(NqGvcp::REG_HEARTBEAT_TIMEOUT));
                if (Clock::now() - controllerSeen > timeout)
                    releaseControl();
            }
            frameDue = streaming() && Clock::now() >= clock.frameDue();
        }
        if (frameDue)
            sendFrame();
    }
}

// --- public interface -------------------------------------------------------

SimulatedCamera::SimulatedCamera(const SimulatedCameraOptions& options)
    : m_impl(std::make_unique<Impl>(options))
{
}

SimulatedCamera::~SimulatedCamera()
{
    stop();
}

bool SimulatedCamera::start()
{
    if (isRunning())
        return true;
    return m_impl->start();
}

void SimulatedCamera::stop()
{
    m_impl->stop();
}

bool SimulatedCamera::isRunning() const
{
    return m_impl->thread.joinable();
}

const SimulatedCameraOptions& SimulatedCamera::options() const
{
    return m_impl->options;
}

void SimulatedCamera::setFrameRate(double framesPerSecond)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->options.frameRate = framesPerSecond;
    if (m_impl->fake != nullptr)
        m_impl->setShortestFrameTime(Impl::shortestFrameTimeUs(framesPerSecond));
}

void SimulatedCamera::setLinkRate(double megabitsPerSecond)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->options.linkRateMbps = megabitsPerSecond;
    m_impl->linkRateMbps = std::max(megabitsPerSecond, 0.0);
}

uint64_t SimulatedCamera::framesSent() const
{
    return m_impl->framesSent.load();
}

uint64_t SimulatedCamera::packetsDropped() const
{
    return m_impl->tally.packetsDropped();
}

uint64_t SimulatedCamera::packetsResent() const
{
    return m_impl->tally.packetsResent();
}

uint64_t SimulatedCamera::droppedNotAskedFor(uint64_t firstBlock, uint64_t lastBlock) const
{
    return m_impl->tally.droppedNotAskedFor(uint16_t(firstBlock), uint16_t(lastBlock));
}

uint64_t SimulatedCamera::droppedAskedFor(uint64_t firstBlock, uint64_t lastBlock) const
{
    return m_impl->tally.droppedAskedFor(uint16_t(firstBlock), uint16_t(lastBlock));
}

uint64_t SimulatedCamera::deviceResets() const
{
    return m_impl->deviceResets.load();
}

uint64_t SimulatedCamera::headResets() const
{
    return m_impl->headResets.load();
}

uint64_t SimulatedCamera::framesOverrun(uint64_t firstBlock, uint64_t lastBlock) const
{
    return m_impl->tally.framesOverrun(uint16_t(firstBlock), uint16_t(lastBlock));
}

void SimulatedCamera::setControlPrivilege(uint32_t privilege)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->requestedPrivilege = privilege;
    if (m_impl->fake == nullptr)
        return;
    // Held by a controller that is not on our network: it never times out.
    if (privilege == 0) {
        m_impl->releaseControl();
    } else {
        m_impl->hasController = false;
        m_impl->setReg(NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, privilege);
    }
}
