#pragma once

#include "KyNetworkLib/EthernetAddress.h"
#include "KyNetworkLib/IpAddress.h"

#include <cstdint>
#include <string>

namespace KyNetworkLib {

// The MAC address a unicast destination is reached at, from the kernel's
// neighbour table. Nothing is sent: a destination the table does not hold
// (complete) is an error.
namespace Arp {

// Returned when the table holds no complete entry for the destination.
constexpr uint32_t NotFound = 113; // EHOSTUNREACH

// 0 and the MAC; all zero for a loopback destination (127.0.0.0/8), which
// has no hardware address. Otherwise NotFound or the error reading the table.
uint32_t Resolve(const IpAddress& destination, EthernetAddress& mac);

// Looks the destination up in the text of /proc/net/arp ("IP address",
// "HW type", "Flags", "HW address", "Mask", "Device"): only entries flagged
// complete (0x2) count.
bool FindInTable(const std::string& table, const IpAddress& destination, EthernetAddress& mac);

} // namespace Arp
} // namespace KyNetworkLib
