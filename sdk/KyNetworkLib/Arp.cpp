#include "KyNetworkLib/Arp.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace KyNetworkLib {
namespace Arp {

namespace {
constexpr unsigned long CompleteFlag = 0x2;
} // namespace

uint32_t Resolve(const IpAddress& destination, EthernetAddress& mac)
{
    if (destination.GetData()[0] == 127) {
        mac.Set(uint64_t(0));
        return 0;
    }
    std::ifstream file("/proc/net/arp");
    if (!file)
        return errno ? uint32_t(errno) : NotFound;
    const std::string table((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return FindInTable(table, destination, mac) ? 0 : NotFound;
}

bool FindInTable(const std::string& table, const IpAddress& destination, EthernetAddress& mac)
{
    std::istringstream lines(table);
    std::string line;
    std::getline(lines, line); // column titles
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string ip, type, flags, hardware;
        if (!(fields >> ip >> type >> flags >> hardware))
            continue;
        IpAddress address;
        if (address.Set(ip.c_str()).IsFailure() || address != destination)
            continue;
        char* end = nullptr;
        const unsigned long flagValue = std::strtoul(flags.c_str(), &end, 16);
        EthernetAddress found;
        if (*end || !(flagValue & CompleteFlag) || found.Set(hardware.c_str()).IsFailure() || found.GetValue() == 0)
            continue;
        mac = found;
        return true;
    }
    return false;
}

} // namespace Arp
} // namespace KyNetworkLib
