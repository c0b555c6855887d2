#include "camera/NqDevice.h"
#include "camera/NqArvParameters.h"
#include "camera/NqDeviceCore.h"
#include "camera/NqDiscovery.h"
#include "camera/NqGvcpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const kInUse = "The camera is already in use by another controller";

// The local address the kernel would send to `deviceIp` from. Connecting a
// UDP socket only looks up the route; nothing is sent.
bool localAddressFor(uint32_t deviceIp, uint32_t& localIp)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(deviceIp);
    to.sin_port = htons(NqGvcp::GVCP_PORT);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0
                    && ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
    ::close(fd);
    if (ok)
        localIp = ntohl(local.sin_addr.s_addr);
    return ok;
}

// Runs on Aravis's heartbeat thread.
void onControlLost(ArvDevice*, gpointer core)
{
    static_cast<NqDeviceCore*>(core)->lost = true;
}

GInetAddress* inetAddress(uint32_t ip)
{
    return g_inet_address_new_from_string(NqGvcp::formatIp(ip).c_str());
}

} // namespace

struct NqDevice::Impl
{
    std::shared_ptr<NqDeviceCore> core = std::make_shared<NqDeviceCore>();
    NqArvParameterArray parameters{core};
    std::unique_ptr<NqDeviceInfo> info;

    NqResult connect(uint32_t deviceIp, uint32_t interfaceIp, uint32_t access, const NqDeviceInfo* discovered);
    std::unique_ptr<NqDeviceInfo> readDeviceInfo(ArvDevice* device);
};

NqDevice::NqDevice() : m_impl(std::make_unique<Impl>()) {}

NqDevice::~NqDevice()
{
    Disconnect();
}

NqResult NqDevice::Connect(const NqDeviceInfo* info, uint32_t access)
{
    if (!info)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "No camera given");
    uint32_t deviceIp = 0;
    uint32_t interfaceIp = 0;
    if (!NqGvcp::parseIp(info->GetIPAddress().GetStd(), deviceIp))
        return NqResult(NqResult::Code::INVALID_PARAMETER, "The camera has no valid IP address");
    const NqInterface* owner = info->GetInterface();
    if (!owner || !NqGvcp::parseIp(owner->GetIPAddress().GetStd(), interfaceIp))
        interfaceIp = 0;
    // `info` may be our own copy, which Disconnect frees.
    const std::unique_ptr<NqDeviceInfo> copy = NqDiscovery::detachedCopy(*info);
    Disconnect();
    return m_impl->connect(deviceIp, interfaceIp, access, copy.get());
}

NqResult NqDevice::Connect(const NqString& ipAddress, uint32_t access)
{
    uint32_t deviceIp = 0;
    if (!NqGvcp::parseIp(ipAddress.GetStd(), deviceIp))
        return NqResult(NqResult::Code::INVALID_PARAMETER, "Invalid camera IP address");
    Disconnect();
    return m_impl->connect(deviceIp, 0, access, nullptr);
}

NqResult NqDevice::Impl::connect(uint32_t deviceIp, uint32_t interfaceIp, uint32_t access,
                                 const NqDeviceInfo* discovered)
{
    if (interfaceIp == 0 && !localAddressFor(deviceIp, interfaceIp))
        return NqResult(NqResult::Code::NETWORK_ERROR, "No route to the camera");

    // Ask the camera who holds it before Aravis tries (and waits) to take it.
    uint32_t privilege = 0;
    {
        NqGvcpSocket socket;
        if (!socket.open(interfaceIp, false)
            || !socket.readRegister(deviceIp, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, privilege,
                                    NqDiscovery::nextRequestId(), std::chrono::milliseconds(300)))
            return NqResult(NqResult::Code::TIMEOUT,
                            NqString("No answer from the camera at " + NqGvcp::formatIp(deviceIp)));
    }
    if (privilege != 0 && access != AccessReadOnly)
        return NqResult(NqResult::Code::ACCESS_DENIED, kInUse);

    GInetAddress* localAddress = inetAddress(interfaceIp);
    GInetAddress* remoteAddress = inetAddress(deviceIp);
    GError* error = nullptr;
    ArvDevice* device = arv_gv_device_new(localAddress, remoteAddress, &error);
    g_object_unref(localAddress);
    g_object_unref(remoteAddress);
    if (!device)
        return nqResultFromError(error, NqResult::Code::NOT_CONNECTED);
    if (error)
        g_error_free(error);

    ArvGvDevice* gvDevice = ARV_GV_DEVICE(device);
    if (access == AccessReadOnly) {
        if (arv_gv_device_is_controller(gvDevice))
            arv_gv_device_leave_control(gvDevice, nullptr);
    } else if (!arv_gv_device_is_controller(gvDevice)) {
        g_object_unref(device);
        return NqResult(NqResult::Code::ACCESS_DENIED, kInUse);
    }

    // Invalid writes must fail as they would on the camera itself.
    arv_device_set_range_check_policy(device, ARV_RANGE_CHECK_POLICY_ENABLE);
    arv_device_set_access_check_policy(device, ARV_ACCESS_CHECK_POLICY_ENABLE);

    // A previous client may have left the camera acquiring.
    if (access != AccessReadOnly && arv_device_is_feature_available(device, "AcquisitionStop", nullptr))
        arv_device_execute_command(device, "AcquisitionStop", nullptr);

    info = discovered ? NqDiscovery::detachedCopy(*discovered) : readDeviceInfo(device);
    {
        std::lock_guard<std::recursive_mutex> lock(core->mutex);
        core->device = device;
        core->ip = NqGvcp::formatIp(deviceIp);
        core->lost = false;
        core->controlLostHandler = g_signal_connect(device, "control-lost", G_CALLBACK(onControlLost), core.get());
    }
    NqDeviceCore::publish(core);
    return NqResult::Code::OK;
}

std::unique_ptr<NqDeviceInfo> NqDevice::Impl::readDeviceInfo(ArvDevice* device)
{
    // The bootstrap block has the layout of a discovery acknowledge.
    std::vector<uint8_t> bootstrap(NqGvcp::DISCOVERY_ACK_PAYLOAD_SIZE, 0);
    NqGvcp::DeviceRecord record;
    if (!arv_device_read_memory(device, 0, uint32_t(bootstrap.size()), bootstrap.data(), nullptr)
        || !NqGvcp::parseDeviceRecord(bootstrap.data(), bootstrap.size(), record))
        record = NqGvcp::DeviceRecord();
    auto result = std::make_unique<NqDeviceInfo>();
    NqDiscovery::fill(*result, record, NqDeviceInfo::AccessOpen, nullptr);
    return result;
}

NqResult NqDevice::Disconnect()
{
    NqDeviceCore::withdraw(m_impl->core.get());
    ArvDevice* device = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_impl->core->mutex);
        device = m_impl->core->device;
        m_impl->core->device = nullptr;
        if (device && m_impl->core->controlLostHandler)
            g_signal_handler_disconnect(device, m_impl->core->controlLostHandler);
        m_impl->core->controlLostHandler = 0;
    }
    if (device) {
        // A stream may still hold the device object: give the camera back now.
        ArvGvDevice* gvDevice = ARV_GV_DEVICE(device);
        if (m_impl->core->lost) {
            NqDeviceCore::releaseLater({device});
        } else {
            if (arv_gv_device_is_controller(gvDevice))
                arv_gv_device_leave_control(gvDevice, nullptr);
            g_object_unref(device);
        }
    }
    m_impl->info.reset();
    return NqResult::Code::OK;
}

bool NqDevice::IsConnected() const
{
    std::lock_guard<std::recursive_mutex> lock(m_impl->core->mutex);
    return m_impl->core->device != nullptr;
}

bool NqDevice::IsLost() const
{
    return m_impl->core->lost;
}

void NqDevice::MarkLost()
{
    m_impl->core->lost = true;
}

const NqDeviceInfo* NqDevice::GetDeviceInfo() const
{
    return m_impl->info.get();
}

NqString NqDevice::GetIPAddress() const
{
    std::lock_guard<std::recursive_mutex> lock(m_impl->core->mutex);
    return m_impl->core->device ? NqString(m_impl->core->ip) : NqString();
}

NqGenParameterArray* NqDevice::GetGenParameters()
{
    return &m_impl->parameters;
}

NqResult NqDevice::NegotiatePacketSize(uint32_t channel, uint32_t packetSize)
{
    std::lock_guard<std::recursive_mutex> lock(m_impl->core->mutex);
    ArvDevice* device = m_impl->core->device;
    if (!device)
        return NqResult(NqResult::Code::NOT_CONNECTED, "The camera is not connected");
    if (channel != 0)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "Only stream channel 0 is supported");
    GError* error = nullptr;
    if (packetSize == 0) {
        arv_gv_device_auto_packet_size(ARV_GV_DEVICE(device), &error);
        return nqResultFromError(error);
    }
    arv_device_set_integer_feature_value(device, "GevSCPSPacketSize", packetSize, &error);
    if (error)
        return nqResultFromError(error);
    const gint64 actual = arv_device_get_integer_feature_value(device, "GevSCPSPacketSize", &error);
    if (error)
        return nqResultFromError(error);
    if (actual != gint64(packetSize))
        return NqResult(NqResult::Code::OUT_OF_RANGE, "The camera did not accept the packet size");
    return NqResult::Code::OK;
}

NqResult NqDevice::SetStreamDestination(const NqString& ipAddress, uint16_t port, uint32_t channel)
{
    uint32_t ip = 0;
    if (!NqGvcp::parseIp(ipAddress.GetStd(), ip))
        return NqResult(NqResult::Code::INVALID_PARAMETER, "Invalid stream destination address");
    std::lock_guard<std::recursive_mutex> lock(m_impl->core->mutex);
    ArvDevice* device = m_impl->core->device;
    if (!device)
        return NqResult(NqResult::Code::NOT_CONNECTED, "The camera is not connected");
    const uint32_t stride = NqGvcp::STREAM_CHANNEL_STRIDE * channel;
    GError* error = nullptr;
    guint32 scp = 0;
    if (arv_device_write_register(device, NqGvcp::REG_STREAM_CHANNEL_DESTINATION_0 + stride, ip, &error)
        && arv_device_read_register(device, NqGvcp::REG_STREAM_CHANNEL_PORT_0 + stride, &scp, &error))
        arv_device_write_register(device, NqGvcp::REG_STREAM_CHANNEL_PORT_0 + stride, (scp & 0xFFFF0000u) | port,
                                  &error);
    return nqResultFromError(error);
}

NqResult NqDevice::SetIPConfiguration(const NqString& macAddress, const NqString& ipAddress,
                                      const NqString& subnetMask, const NqString& gateway)
{
    NqGvcp::ForceIp force;
    if (!NqGvcp::parseMac(macAddress.GetStd(), force.mac))
        return NqResult(NqResult::Code::INVALID_PARAMETER, "Invalid MAC address");
    if (!NqGvcp::parseIp(ipAddress.GetStd(), force.ip) || !NqGvcp::parseIp(subnetMask.GetStd(), force.subnetMask)
        || !NqGvcp::parseIp(gateway.GetStd(), force.gateway))
        return NqResult(NqResult::Code::INVALID_PARAMETER, "Invalid IP address, subnet mask or gateway");
    return NqDiscovery::forceIp(force, std::chrono::milliseconds(1000));
}
