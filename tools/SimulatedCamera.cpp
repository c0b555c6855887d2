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

#include "SimulatedCamera.h"

#include "PacketDropper.h"
#include "ResendRing.h"
#include "SimCamFeatures.h"
#include "StreamClock.h"
#include "camera/NqGvcp.h"
#include "KyNetworkLib/Gvsp.h"

#include <arv.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

using Clock = std::chrono::steady_clock;
namespace Gvsp = KyNetworkLib::Gvsp;

namespace {

constexpr uint32_t MemorySize = ARV_FAKE_CAMERA_MEMORY_SIZE;
constexpr size_t MaxDatagram = 65536;
timespec toTimespec(Clock::duration wait)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(wait, Clock::duration::zero()));
    return timespec{time_t(ns.count() / 1000000000), long(ns.count() % 1000000000)};
}

bool sameEndpoint(const sockaddr_in& a, const sockaddr_in& b)
{
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

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

struct SimulatedCamera::Impl
{
    explicit Impl(const SimulatedCameraOptions& o) : options(o) {}

    bool start();
    void stop();
    void run();

    // GVCP
    void handleDatagram(const uint8_t* data, size_t size, const sockaddr_in& from, bool broadcast);
    void receiveAll(int socket, bool broadcast);
    uint16_t writeRegister(uint32_t address, uint32_t value, const sockaddr_in& from);
    uint16_t checkedWrite(uint32_t address, uint32_t value);
    bool mayWrite(const sockaddr_in& from) const;
    bool mayRead(const sockaddr_in& from) const;
    void releaseControl();
    void sendTo(const std::vector<uint8_t>& packet, const sockaddr_in& to);
    uint32_t reg(uint32_t address) const;
    void setReg(uint32_t address, uint32_t value);
    void writeText(uint32_t address, size_t size, const std::string& text);

    // GVSP
    bool streaming() const;
    void sendFrame();
    void sendPacket(const uint8_t* data, size_t size, const sockaddr_in& to);
    void pauseUntil(Clock::time_point wakeUp);
    void serveResends();
    static uint32_t framePeriodUs(double framesPerSecond);
    static void fillPattern(ArvBuffer* buffer, void* data, guint32, guint32, ArvPixelFormat format);

    SimulatedCameraOptions options;
    uint32_t ip = 0;
    ArvFakeCamera* fake = nullptr;
    ArvBuffer* frame = nullptr;
    size_t frameSize = 0;
    int controlSocket = -1;
    int discoverySocket = -1; // broadcast discovery, when this camera answers it
    int streamSocket = -1;
    int wakeFd = -1;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::vector<uint8_t> datagram = std::vector<uint8_t>(MaxDatagram); // receive buffer of the thread

    // Guards the fake camera's memory and the privilege state below, which the
    // test thread changes through setControlPrivilege.
    mutable std::mutex mutex;
    uint32_t requestedPrivilege = 0; // applied by start()
    bool hasController = false;      // a client on the network holds the privilege
    sockaddr_in controller{};
    Clock::time_point controllerSeen;
    bool acquiring = false;
    double linkRateMbps = 0; // applied to the clock by the stream thread
    std::unique_ptr<PacketDropper> dropper;
    std::vector<uint32_t> refusedRegisters; // of options.refusedFeatures
    ResendRing resends; // stream thread only
    // The stream leaves at the pace of its link, as from a real camera: a
    // receiver drains it as it would on the wire, and cameras of concurrent
    // tests never flood loopback with whole frames at once. Packets go out in
    // short bursts between which the thread sleeps and keeps answering the
    // control channel. Used by the stream thread only.
    StreamClock clock;
    std::atomic<uint64_t> framesSent{0};
};

uint32_t SimulatedCamera::Impl::reg(uint32_t address) const
{
    guint32 value = 0;
    arv_fake_camera_read_register(fake, address, &value);
    return value;
}

void SimulatedCamera::Impl::setReg(uint32_t address, uint32_t value)
{
    arv_fake_camera_write_register(fake, address, value);
}

void SimulatedCamera::Impl::writeText(uint32_t address, size_t size, const std::string& text)
{
    std::vector<uint8_t> field(size);
    NqGvcp::putFixedText(field.data(), size, text);
    arv_fake_camera_write_memory(fake, address, uint32_t(size), field.data());
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
    setReg(simcam::RegFramePeriod, framePeriodUs(options.frameRate));
    linkRateMbps = std::max(options.linkRateMbps, 0.0);
    framesSent = 0;
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

// --- control channel -------------------------------------------------------

void SimulatedCamera::Impl::receiveAll(int socket, bool broadcast)
{
    for (;;) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n =
            ::recvfrom(socket, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n < 0)
            return;
        handleDatagram(datagram.data(), size_t(n), from, broadcast);
    }
}

bool SimulatedCamera::Impl::mayWrite(const sockaddr_in& from) const
{
    return hasController && sameEndpoint(from, controller);
}

bool SimulatedCamera::Impl::mayRead(const sockaddr_in& from) const
{
    const uint32_t privilege = reg(NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE);
    return (privilege & NqGvcp::CCP_EXCLUSIVE_ACCESS) == 0 || mayWrite(from);
}

void SimulatedCamera::Impl::releaseControl()
{
    hasController = false;
    setReg(NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, 0);
    setReg(simcam::RegAcquisition, 0);
    acquiring = false;
}

void SimulatedCamera::Impl::sendTo(const std::vector<uint8_t>& packet, const sockaddr_in& to)
{
    ::sendto(controlSocket, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

// Broadcasts only get discovery answers; acks always leave from the camera's
// own address.
void SimulatedCamera::Impl::handleDatagram(const uint8_t* data, size_t size, const sockaddr_in& from, bool broadcast)
{
    NqGvcp::Header header;
    const uint8_t* payload = nullptr;
    if (!NqGvcp::parseHeader(data, size, header, payload) || (broadcast && header.command != NqGvcp::DISCOVERY_CMD))
        return;

    std::lock_guard<std::mutex> lock(mutex);
    if (hasController && sameEndpoint(from, controller))
        controllerSeen = Clock::now();
    const bool ackRequired = (header.flags & NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE) != 0;
    std::vector<uint8_t> reply;
    uint16_t status = NqGvcp::GEV_STATUS_SUCCESS;
    uint16_t answer = 0;

    switch (header.command) {
    case NqGvcp::DISCOVERY_CMD: {
        reply.resize(NqGvcp::DISCOVERY_ACK_PAYLOAD_SIZE);
        arv_fake_camera_read_memory(fake, 0, NqGvcp::DISCOVERY_ACK_PAYLOAD_SIZE, reply.data());
        sendTo(NqGvcp::buildAck(NqGvcp::GEV_STATUS_SUCCESS, NqGvcp::DISCOVERY_ACK, header.requestId, reply), from);
        return;
    }
    case NqGvcp::READREG_CMD: {
        answer = NqGvcp::READREG_ACK;
        if (header.length % 4 != 0 || header.length == 0 || header.length > 540) {
            status = NqGvcp::GEV_STATUS_INVALID_PARAMETER;
            break;
        }
        if (!mayRead(from)) {
            status = NqGvcp::GEV_STATUS_ACCESS_DENIED;
            break;
        }
        for (size_t i = 0; i < header.length; i += 4) {
            const uint32_t address = NqGvcp::get32(payload + i);
            if (address % 4 != 0 || address >= MemorySize) {
                status = address % 4 != 0 ? NqGvcp::GEV_STATUS_BAD_ALIGNMENT : NqGvcp::GEV_STATUS_INVALID_ADDRESS;
                break;
            }
            reply.resize(reply.size() + 4);
            NqGvcp::put32(&reply[reply.size() - 4], reg(address));
        }
        break;
    }
    case NqGvcp::WRITEREG_CMD: {
        answer = NqGvcp::WRITEREG_ACK;
        if (header.length % 8 != 0 || header.length == 0 || header.length > 536) {
            status = NqGvcp::GEV_STATUS_INVALID_PARAMETER;
            reply.assign(4, 0);
            break;
        }
        uint16_t written = 0;
        for (size_t i = 0; i < header.length && status == NqGvcp::GEV_STATUS_SUCCESS; i += 8) {
            status = writeRegister(NqGvcp::get32(payload + i), NqGvcp::get32(payload + i + 4), from);
            if (status == NqGvcp::GEV_STATUS_SUCCESS)
                ++written;
        }
        reply.assign(4, 0);
        NqGvcp::put16(&reply[2], written);
        break;
    }
    case NqGvcp::READMEM_CMD: {
        answer = NqGvcp::READMEM_ACK;
        if (header.length < 8) {
            status = NqGvcp::GEV_STATUS_INVALID_PARAMETER;
            break;
        }
        const uint32_t address = NqGvcp::get32(payload);
        const uint16_t count = NqGvcp::get16(payload + 6);
        size_t xmlSize = 0;
        arv_fake_camera_get_genicam_xml(fake, &xmlSize);
        if (count == 0 || count > NqGvcp::READMEM_MAX_COUNT || count % 4 != 0 || address % 4 != 0) {
            status = NqGvcp::GEV_STATUS_INVALID_PARAMETER;
            break;
        }
        if (!mayRead(from)) {
            status = NqGvcp::GEV_STATUS_ACCESS_DENIED;
            break;
        }
        const uint64_t end = uint64_t(address) + count;
        const bool inRegisters = end <= MemorySize;
        const bool inXml = address >= simcam::XmlAddress && end <= simcam::XmlAddress + ((xmlSize + 3) & ~size_t(3));
        if (!inRegisters && !inXml) {
            status = NqGvcp::GEV_STATUS_INVALID_ADDRESS;
            break;
        }
        reply.resize(4 + count, 0);
        NqGvcp::put32(reply.data(), address);
        if (inRegisters) {
            arv_fake_camera_read_memory(fake, address, count, reply.data() + 4);
        } else {
            size_t size = 0;
            const char* text = arv_fake_camera_get_genicam_xml(fake, &size);
            const size_t offset = address - simcam::XmlAddress;
            if (offset < size)
                std::memcpy(reply.data() + 4, text + offset, std::min<size_t>(count, size - offset));
        }
        break;
    }
    case NqGvcp::WRITEMEM_CMD: {
        answer = NqGvcp::WRITEMEM_ACK;
        reply.assign(4, 0);
        if (header.length < 8 || (header.length - 4) % 4 != 0) {
            status = NqGvcp::GEV_STATUS_INVALID_PARAMETER;
            break;
        }
        const uint32_t address = NqGvcp::get32(payload);
        const size_t count = header.length - 4;
        if (address % 4 != 0 || uint64_t(address) + count > MemorySize) {
            status = address % 4 != 0 ? NqGvcp::GEV_STATUS_BAD_ALIGNMENT : NqGvcp::GEV_STATUS_INVALID_ADDRESS;
            break;
        }
        // Word by word, so registers with meaning get the same checks as WRITEREG.
        uint16_t written = 0;
        for (size_t i = 0; i < count && status == NqGvcp::GEV_STATUS_SUCCESS; i += 4) {
            status = writeRegister(address + uint32_t(i), NqGvcp::get32(payload + 4 + i), from);
            if (status == NqGvcp::GEV_STATUS_SUCCESS)
                written = uint16_t(written + 4);
        }
        NqGvcp::put16(&reply[2], written);
        break;
    }
    case NqGvcp::PACKETRESEND_CMD: {
        // Served by the stream thread between frames; never acknowledged.
        NqGvcp::PacketResend request;
        if (options.packetResend && NqGvcp::parsePacketResendCmd(data, size, request) && request.streamChannel == 0)
            resends.request(request);
        return;
    }
    default:
        answer = uint16_t(header.command + 1);
        status = NqGvcp::GEV_STATUS_NOT_IMPLEMENTED;
        break;
    }
    if (!ackRequired)
        return;
    // A failed read carries no data; a write ack always says how far it got.
    const bool isWrite = answer == NqGvcp::WRITEREG_ACK || answer == NqGvcp::WRITEMEM_ACK;
    if (status != NqGvcp::GEV_STATUS_SUCCESS && !isWrite)
        reply.clear();
    sendTo(NqGvcp::buildAck(status, answer, header.requestId, reply), from);
}

uint16_t SimulatedCamera::Impl::writeRegister(uint32_t address, uint32_t value, const sockaddr_in& from)
{
    if (address == NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE) {
        const bool heldByOther = reg(address) != 0 && !mayWrite(from);
        if (heldByOther)
            return NqGvcp::GEV_STATUS_ACCESS_DENIED;
        if (value == 0) {
            releaseControl();
        } else {
            hasController = true;
            controller = from;
            controllerSeen = Clock::now();
            setReg(address, value);
        }
        return NqGvcp::GEV_STATUS_SUCCESS;
    }
    if (!mayWrite(from))
        return NqGvcp::GEV_STATUS_ACCESS_DENIED;
    return checkedWrite(address, value);
}

// Applies a write from the controlling client, refusing what the camera's
// description refuses and keeping the image inside the binned sensor.
uint16_t SimulatedCamera::Impl::checkedWrite(uint32_t address, uint32_t value)
{
    if (std::find(refusedRegisters.begin(), refusedRegisters.end(), address) != refusedRegisters.end())
        return NqGvcp::GEV_STATUS_ACCESS_DENIED;
    const uint32_t maxWidth = reg(simcam::RegSensorWidth) / std::max<uint32_t>(1, reg(simcam::RegBinningHorizontal));
    const uint32_t maxHeight = reg(simcam::RegSensorHeight) / std::max<uint32_t>(1, reg(simcam::RegBinningVertical));
    switch (address) {
    case simcam::RegWidth:
        if (value < 8 || uint64_t(value) + reg(simcam::RegOffsetX) > maxWidth)
            return NqGvcp::GEV_STATUS_INVALID_PARAMETER;
        break;
    case simcam::RegHeight:
        if (value < 1 || uint64_t(value) + reg(simcam::RegOffsetY) > maxHeight)
            return NqGvcp::GEV_STATUS_INVALID_PARAMETER;
        break;
    case simcam::RegOffsetX:
        if (uint64_t(value) + reg(simcam::RegWidth) > maxWidth)
            return NqGvcp::GEV_STATUS_INVALID_PARAMETER;
        break;
    case simcam::RegOffsetY:
        if (uint64_t(value) + reg(simcam::RegHeight) > maxHeight)
            return NqGvcp::GEV_STATUS_INVALID_PARAMETER;
        break;
    case simcam::RegFramePeriod:
        if (value < simcam::MinFramePeriodUs || value > simcam::MaxFramePeriodUs)
            return NqGvcp::GEV_STATUS_INVALID_PARAMETER;
        break;
    default:
        if (const simcam::Feature* f = simcam::featureAt(address)) {
            if (!f->writable)
                return NqGvcp::GEV_STATUS_WRITE_PROTECT;
            if (!simcam::acceptsValue(*f, value))
                return NqGvcp::GEV_STATUS_INVALID_PARAMETER;
        }
        break;
    }

    switch (address) {
    case simcam::RegAcquisition:
        if (value > 1)
            return NqGvcp::GEV_STATUS_INVALID_PARAMETER;
        setReg(address, value);
        if (value == 1 && !acquiring)
            clock.startFrames(Clock::now());
        acquiring = value == 1;
        return NqGvcp::GEV_STATUS_SUCCESS;
    case simcam::RegDeviceReset:
        // A reboot: the stream stops and the controlling client loses the camera.
        releaseControl();
        return NqGvcp::GEV_STATUS_SUCCESS;
    case simcam::RegCameraHeadReset:
        setReg(simcam::RegAcquisition, 0);
        acquiring = false;
        return NqGvcp::GEV_STATUS_SUCCESS;
    case simcam::RegBinningHorizontal:
    case simcam::RegBinningVertical: {
        // A coarser binning shrinks the image to fit the binned sensor.
        setReg(address, value);
        const bool horizontal = address == simcam::RegBinningHorizontal;
        const uint32_t limit = (horizontal ? reg(simcam::RegSensorWidth) : reg(simcam::RegSensorHeight)) / value;
        const uint32_t sizeReg = horizontal ? simcam::RegWidth : simcam::RegHeight;
        const uint32_t offsetReg = horizontal ? simcam::RegOffsetX : simcam::RegOffsetY;
        const uint32_t size = std::min(reg(sizeReg), limit);
        setReg(sizeReg, size);
        setReg(offsetReg, std::min(reg(offsetReg), limit - size));
        return NqGvcp::GEV_STATUS_SUCCESS;
    }
    default:
        setReg(address, value);
        return NqGvcp::GEV_STATUS_SUCCESS;
    }
}

// --- stream channel --------------------------------------------------------

bool SimulatedCamera::Impl::streaming() const
{
    return acquiring && reg(NqGvcp::REG_STREAM_CHANNEL_DESTINATION_0) != 0
        && (reg(NqGvcp::REG_STREAM_CHANNEL_PORT_0) & 0xFFFF) != 0;
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

// Packets a receiver asked for again; the packet-loss choice applies to
// first sendings only.
void SimulatedCamera::Impl::serveResends()
{
    if (!resends.hasRequests())
        return;
    sockaddr_in to{};
    {
        std::lock_guard<std::mutex> lock(mutex);
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(reg(NqGvcp::REG_STREAM_CHANNEL_DESTINATION_0));
        to.sin_port = htons(uint16_t(reg(NqGvcp::REG_STREAM_CHANNEL_PORT_0) & 0xFFFF));
    }
    resends.serve([&](const uint8_t* packet, size_t size) { sendPacket(packet, size, to); });
}

// Sleeps between bursts, still answering the control channel, so a client can
// stop a large frame's acquisition or keep its heartbeat while it goes out.
void SimulatedCamera::Impl::pauseUntil(Clock::time_point wakeUp)
{
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {controlSocket, POLLIN, 0}};
    for (auto now = Clock::now(); now < wakeUp && !stopRequested; now = Clock::now()) {
        const timespec timeout = toTimespec(wakeUp - now);
        if (::ppoll(fds, 2, &timeout, nullptr) > 0) {
            if (fds[0].revents & POLLIN)
                return; // stopping
            if (fds[1].revents & POLLIN)
                receiveAll(controlSocket, false);
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
        const uint32_t period = std::max(reg(simcam::RegFramePeriod), simcam::MinFramePeriodUs);
        clock.setLinkRate(linkRateMbps * 1e6);
        clock.beginFrame(std::chrono::microseconds(period), Clock::now());

        const size_t payload = arv_fake_camera_get_payload(fake);
        if (frame == nullptr || frameSize != payload) {
            if (frame != nullptr)
                g_object_unref(frame);
            frame = arv_buffer_new(payload, nullptr);
            frameSize = payload;
        }
        arv_fake_camera_fill_buffer(fake, frame, &packetSize);
        if (arv_buffer_get_status(frame) != ARV_BUFFER_STATUS_SUCCESS)
            return;
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(reg(NqGvcp::REG_STREAM_CHANNEL_DESTINATION_0));
        to.sin_port = htons(uint16_t(reg(NqGvcp::REG_STREAM_CHANNEL_PORT_0) & 0xFFFF));
        packetSize = reg(NqGvcp::REG_STREAM_CHANNEL_PACKET_SIZE_0) & 0xFFFF;
        blockId = uint16_t(arv_buffer_get_frame_id(frame) & 0xFFFF);
        info.timestamp = arv_buffer_get_timestamp(frame);
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
        if (dropper->dropNext())
            continue;
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

uint32_t SimulatedCamera::Impl::framePeriodUs(double framesPerSecond)
{
    const double asked = std::isnan(framesPerSecond) ? 0.0 : framesPerSecond;
    const double rate = std::clamp(asked, 1e6 / simcam::MaxFramePeriodUs, 1e6 / simcam::MinFramePeriodUs);
    return uint32_t(1000000.0 / rate + 0.5);
}

// --- public interface -------------------------------------------------------

size_t SimulatedCamera::dataBytesPerPacket(uint32_t packetSize)
{
    // Before a host negotiates the size, SCPS0 may hold anything: never below
    // a minimal 576-byte datagram, never above a jumbo frame.
    return Gvsp::DataBytesPerPacket(std::clamp<uint32_t>(packetSize, 576, 9000), false);
}

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
        m_impl->setReg(simcam::RegFramePeriod, Impl::framePeriodUs(framesPerSecond));
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
