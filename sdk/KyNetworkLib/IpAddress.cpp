#include "KyNetworkLib/IpAddress.h"
#include "KyNetworkLib/EthernetAddress.h"

#include <arpa/inet.h>
#include <cstdio>

namespace KyNetworkLib {

NzUtilsLib::Result IpAddress::Set(const char* text)
{
    in_addr address;
    // inet_pton accepts exactly the dotted quad of four decimal numbers.
    if (!text || inet_pton(AF_INET, text, &address) != 1)
        return NzUtilsLib::Result(InvalidText);
    Set(ntohl(address.s_addr));
    return NzUtilsLib::Result::Success;
}

void IpAddress::Set(uint32_t hostOrder)
{
    m_value = hostOrder;
    m_bytes[0] = uint8_t(hostOrder >> 24);
    m_bytes[1] = uint8_t(hostOrder >> 16);
    m_bytes[2] = uint8_t(hostOrder >> 8);
    m_bytes[3] = uint8_t(hostOrder);
}

std::string IpAddress::GetString() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", m_bytes[0], m_bytes[1], m_bytes[2], m_bytes[3]);
    return text;
}

EthernetAddress IpAddress::GetEthernetAddress() const
{
    const uint8_t bytes[6] = {0x01, 0x00, 0x5E, uint8_t(m_bytes[1] & 0x7F), m_bytes[2], m_bytes[3]};
    EthernetAddress mac;
    mac.Set(bytes);
    return mac;
}

} // namespace KyNetworkLib
