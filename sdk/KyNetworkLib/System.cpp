#include "KyNetworkLib/System.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <map>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KyNetworkLib {

namespace {

std::string MacText(const sockaddr_ll* link)
{
    unsigned char bytes[6] = {0, 0, 0, 0, 0, 0};
    if (link && link->sll_halen == 6)
        std::memcpy(bytes, link->sll_addr, 6);
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                  bytes[5]);
    return text;
}

} // namespace

System::System(const INetworkDriverEnabled* driver)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return;
    std::map<std::string, const sockaddr_ll*> links;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next)
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_PACKET)
            links[entry->ifa_name] = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        IpAddress ip(ntohl(address->sin_addr.s_addr));
        const auto link = links.find(entry->ifa_name);
        const bool served = driver && driver->IsDriverEnabled(entry->ifa_name);
        m_interfaces.emplace_back(entry->ifa_name, ip.GetString(), MacText(link == links.end() ? nullptr : link->second),
                                  served ? Interface::TypeFilterDriver : Interface::TypeSocket,
                                  if_nametoindex(entry->ifa_name));
    }
    freeifaddrs(list);
}

const Interface* System::GetInterface(uint32_t index) const
{
    return index < m_interfaces.size() ? &m_interfaces[index] : nullptr;
}

NzUtilsLib::Result System::GetBestInterface(const IpAddress& destination, uint32_t& systemIndex) const
{
    // Connecting a datagram socket makes the kernel pick the route and the
    // local address without sending anything.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return NzUtilsLib::Result(NoRoute);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(9);
    remote.sin_addr.s_addr = htonl(destination.GetValue());
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const bool routed = connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0
                        && getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
    close(fd);
    if (!routed)
        return NzUtilsLib::Result(NoRoute);
    const std::string localText = IpAddress(ntohl(local.sin_addr.s_addr)).GetString();
    for (const Interface& candidate : m_interfaces)
        if (candidate.GetIP() == localText) {
            systemIndex = candidate.GetSystemIndex();
            return NzUtilsLib::Result::Success;
        }
    return NzUtilsLib::Result(NoRoute);
}

} // namespace KyNetworkLib
