#include "KyNetworkLib/EthernetAddress.h"

#include <cstdio>

namespace KyNetworkLib {

NzUtilsLib::Result EthernetAddress::Set(const char* text)
{
    unsigned int b[6];
    char separators[5];
    int consumed = 0;
    if (!text
        || std::sscanf(text, "%2x%c%2x%c%2x%c%2x%c%2x%c%2x%n", &b[0], &separators[0], &b[1], &separators[1], &b[2],
                       &separators[2], &b[3], &separators[3], &b[4], &separators[4], &b[5], &consumed) != 11
        || text[consumed] != '\0')
        return NzUtilsLib::Result(InvalidText);
    for (char separator : separators)
        if (separator != ':' && separator != '-')
            return NzUtilsLib::Result(InvalidText);
    for (int i = 0; i < 6; ++i)
        m_bytes[i] = uint8_t(b[i]);
    return NzUtilsLib::Result::Success;
}

void EthernetAddress::Set(uint64_t value)
{
    for (int i = 0; i < 6; ++i)
        m_bytes[i] = uint8_t(value >> (8 * (5 - i)));
}

void EthernetAddress::Set(const uint8_t bytes[6])
{
    for (int i = 0; i < 6; ++i)
        m_bytes[i] = bytes[i];
}

uint64_t EthernetAddress::GetValue() const
{
    uint64_t value = 0;
    for (int i = 0; i < 6; ++i)
        value = (value << 8) | m_bytes[i];
    return value;
}

std::string EthernetAddress::GetString() const
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m_bytes[0], m_bytes[1], m_bytes[2], m_bytes[3],
                  m_bytes[4], m_bytes[5]);
    return text;
}

} // namespace KyNetworkLib
