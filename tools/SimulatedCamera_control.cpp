// The simulated camera's control channel: GVCP requests on <address>:3956
// (and broadcast discovery), the control privilege and its heartbeat, and the
// checks a write to the camera's registers passes.

#include "SimulatedCameraImpl.h"

#include "SimCamFeatures.h"
#include "camera/NqGvcp.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>

using Clock = SimulatedCamera::Impl::Clock;

namespace {

constexpr uint32_t MemorySize = ARV_FAKE_CAMERA_MEMORY_SIZE;

bool sameEndpoint(const sockaddr_in& a, const sockaddr_in& b)
{
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

} // namespace

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
    updateActualFrameTime();
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
    case NqGvcp::PACKETRESEND_CMD:
        requestResend(data, size); // never acknowledged
        return;
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
    const uint16_t status = checkedWrite(address, value);
    if (status == NqGvcp::GEV_STATUS_SUCCESS)
        updateActualFrameTime();
    return status;
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
    case simcam::RegShortestFrameTime:
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
        ++deviceResets;
        releaseControl();
        return NqGvcp::GEV_STATUS_SUCCESS;
    case simcam::RegCameraHeadReset:
        ++headResets;
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
