#pragma once

#include "NzUtilsLib/Result.h"

#include <cstdint>
#include <string>

namespace KyNetworkLib {

class EthernetAddress;

// IPv4 address. GetData gives the four bytes in network order.
class IpAddress
{
public:
    enum : uint32_t { InvalidText = 16385 };

    IpAddress() = default;
    explicit IpAddress(uint32_t hostOrder) { Set(hostOrder); }

    // Dotted quad only ("a.b.c.d", each 0..255).
    NzUtilsLib::Result Set(const char* text);
    void Set(uint32_t hostOrder);

    uint32_t GetValue() const { return m_value; }
    const uint8_t* GetData() const { return m_bytes; }
    std::string GetString() const;
    bool IsMulticast() const { return (m_bytes[0] & 0xF0) == 0xE0; }
    // The Ethernet group address a multicast IP address maps to (01:00:5e + low 23 bits).
    EthernetAddress GetEthernetAddress() const;

    bool operator==(const IpAddress& other) const { return m_value == other.m_value; }
    bool operator!=(const IpAddress& other) const { return m_value != other.m_value; }

private:
    uint32_t m_value = 0;
    uint8_t m_bytes[4] = {0, 0, 0, 0};
};

} // namespace KyNetworkLib
