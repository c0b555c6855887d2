#pragma once

#include "NzUtilsLib/Result.h"

#include <cstdint>
#include <string>

namespace KyNetworkLib {

// 48-bit MAC address; GetData gives the six bytes in wire order.
class EthernetAddress
{
public:
    enum : uint32_t { InvalidText = 16385 };

    // "aa:bb:cc:dd:ee:ff" or with '-' separators.
    NzUtilsLib::Result Set(const char* text);
    void Set(uint64_t value);
    void Set(const uint8_t bytes[6]);

    uint64_t GetValue() const;
    const uint8_t* GetData() const { return m_bytes; }
    std::string GetString() const;

    bool operator==(const EthernetAddress& other) const { return GetValue() == other.GetValue(); }

private:
    uint8_t m_bytes[6] = {0, 0, 0, 0, 0, 0};
};

} // namespace KyNetworkLib
