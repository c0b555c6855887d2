#include "camera/NqDiscovery.h"
#include "camera/NqGvcpSocket.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <cerrno>

namespace {

uint32_t hostOrder(const sockaddr* address)
{
    if (!address || address->sa_family != AF_INET)
        return 0;
    return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

struct Probe
{
    NqDiscovery::LocalInterface local;
    NqGvcpSocket socket;
    uint16_t requestId = 0;
    std::vector<NqGvcp::DeviceRecord> records;
};

bool sameCamera(const NqGvcp::DeviceRecord& a, const NqGvcp::DeviceRecord& b)
{
    return a.mac == b.mac && a.ip == b.ip;
}

// Hands every datagram that reaches one of the probes' sockets before
// `deadline` to onPacket(probe, packet); true as soon as onPacket says it has
// what it waited for.
template <typename OnPacket>
bool receiveUntil(const std::vector<std::unique_ptr<Probe>>& probes, NqGvcpSocket::Clock::time_point deadline,
                  OnPacket onPacket)
{
    std::vector<pollfd> fds;
    for (const auto& probe : probes)
        fds.push_back(pollfd{probe->socket.fd(), POLLIN, 0});
    NqGvcp::Packet packet;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - NqGvcpSocket::Clock::now());
        if (left.count() <= 0)
            return false;
        for (pollfd& fd : fds)
            fd.revents = 0;
        if (::poll(fds.data(), fds.size(), int(left.count())) < 0 && errno != EINTR)
            return false;
        for (size_t i = 0; i < fds.size(); ++i) {
            // Readable already: a deadline of now reads what is queued.
            if ((fds[i].revents & POLLIN) && probes[i]->socket.receive(packet, NqGvcpSocket::Clock::now())
                && onPacket(*probes[i], packet))
                return true;
        }
    }
}

} // namespace

std::vector<NqDiscovery::LocalInterface> NqDiscovery::localInterfaces()
{
    std::vector<LocalInterface> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return result;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || !(it->ifa_flags & IFF_UP))
            continue;
        LocalInterface local;
        local.name = it->ifa_name ? it->ifa_name : "";
        local.ip = hostOrder(it->ifa_addr);
        local.mask = hostOrder(it->ifa_netmask);
        local.canBroadcast = (it->ifa_flags & IFF_BROADCAST) && !(it->ifa_flags & IFF_LOOPBACK);
        local.broadcast = local.canBroadcast ? hostOrder(it->ifa_broadaddr) : 0;
        if (local.canBroadcast && local.broadcast == 0)
            local.broadcast = local.ip | ~local.mask;
        result.push_back(local);
    }
    // The hardware address comes with the interface's AF_PACKET entry.
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_PACKET || !it->ifa_name)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
        for (LocalInterface& local : result) {
            if (local.name == it->ifa_name && link->sll_halen == 6)
                std::memcpy(local.mac.data(), link->sll_addr, 6);
        }
    }
    ::freeifaddrs(list);
    return result;
}

uint32_t NqDiscovery::broadcastTarget(const LocalInterface& local)
{
    return local.canBroadcast ? local.broadcast : local.ip;
}

uint16_t NqDiscovery::nextRequestId()
{
    static std::atomic<uint16_t> counter{0x4b00};
    uint16_t id;
    do {
        id = ++counter;
    } while (id == 0); // 0 is not a valid request id
    return id;
}

std::vector<std::unique_ptr<NqInterface>> NqDiscovery::discover(std::chrono::milliseconds timeout)
{
    std::vector<std::unique_ptr<Probe>> probes;
    for (const LocalInterface& local : localInterfaces()) {
        auto probe = std::make_unique<Probe>();
        probe->local = local;
        probe->requestId = nextRequestId();
        if (probe->socket.open(local.ip, local.canBroadcast))
            probe->socket.sendTo(NqGvcp::buildDiscoveryCmd(probe->requestId), broadcastTarget(local));
        probes.push_back(std::move(probe));
    }

    // Collect acks on every socket until the detection time-out.
    receiveUntil(probes, NqGvcpSocket::Clock::now() + timeout, [](Probe& probe, const NqGvcp::Packet& packet) {
        NqGvcp::DeviceRecord record;
        if (!NqGvcp::parseDiscoveryAck(packet.data(), packet.size(), probe.requestId, record))
            return false;
        bool known = false;
        for (const auto& other : probe.records)
            known = known || sameCamera(other, record);
        if (!known)
            probe.records.push_back(record);
        return false;
    });

    std::vector<std::unique_ptr<NqInterface>> interfaces;
    for (const auto& probe : probes) {
        auto item = std::make_unique<NqInterface>();
        item->m_description = probe->local.name;
        item->m_ip = NqGvcp::formatIp(probe->local.ip);
        item->m_mask = NqGvcp::formatIp(probe->local.mask);
        item->m_mac = NqGvcp::formatMac(probe->local.mac);
        for (const auto& record : probe->records) {
            auto info = std::make_unique<NqDeviceInfo>();
            fill(*info, record, accessStatus(record.ip, probe->local.ip, probe->local.mask), item.get());
            item->m_devices.push_back(std::move(info));
        }
        interfaces.push_back(std::move(item));
    }
    return interfaces;
}

int NqDiscovery::accessStatus(uint32_t deviceIp, uint32_t interfaceIp, uint32_t interfaceMask)
{
    if (!NqGvcp::inSubnet(deviceIp, interfaceIp, interfaceMask))
        return NqDeviceInfo::AccessOtherSubnet;
    NqGvcpSocket socket;
    uint32_t privilege = 0;
    if (!socket.open(interfaceIp, false)
        || !socket.readRegister(deviceIp, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, privilege, nextRequestId(),
                                std::chrono::milliseconds(200)))
        return NqDeviceInfo::AccessBusy;
    return privilege == 0 ? NqDeviceInfo::AccessOpen : NqDeviceInfo::AccessBusy;
}

NqResult NqDiscovery::forceIp(const NqGvcp::ForceIp& force, std::chrono::milliseconds timeout)
{
    std::vector<std::unique_ptr<Probe>> probes;
    for (const LocalInterface& local : localInterfaces()) {
        auto probe = std::make_unique<Probe>();
        probe->local = local;
        probe->requestId = nextRequestId();
        if (!probe->socket.open(local.ip, local.canBroadcast))
            continue;
        probe->socket.sendTo(NqGvcp::buildForceIpCmd(probe->requestId, force), broadcastTarget(local));
        probes.push_back(std::move(probe));
    }
    if (probes.empty())
        return NqResult(NqResult::Code::NETWORK_ERROR, "No network interface to send the IP configuration on");

    const bool acknowledged = receiveUntil(
        probes, NqGvcpSocket::Clock::now() + timeout, [](Probe& probe, const NqGvcp::Packet& packet) {
            return NqGvcp::isForceIpAck(packet.data(), packet.size(), probe.requestId);
        });
    if (acknowledged)
        return NqResult::Code::OK;
    return NqResult(NqResult::Code::TIMEOUT, "The camera did not acknowledge the new IP configuration");
}

void NqDiscovery::fill(NqDeviceInfo& info, const NqGvcp::DeviceRecord& record, int access, const NqInterface* owner)
{
    info.m_ip = NqGvcp::formatIp(record.ip);
    info.m_mac = NqGvcp::formatMac(record.mac);
    info.m_mask = NqGvcp::formatIp(record.subnetMask);
    info.m_gateway = NqGvcp::formatIp(record.gateway);
    info.m_manufacturer = record.manufacturer;
    info.m_model = record.model;
    info.m_version = record.version;
    info.m_serial = record.serial;
    info.m_userName = record.userName;
    info.m_access = access;
    info.m_interface = owner;
}

std::unique_ptr<NqDeviceInfo> NqDiscovery::detachedCopy(const NqDeviceInfo& info)
{
    auto copy = std::make_unique<NqDeviceInfo>(info);
    copy->m_interface = nullptr;
    return copy;
}
