#pragma once

#include "KyNetworkLib/Interface.h"
#include "KyNetworkLib/IpAddress.h"
#include "NzUtilsLib/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace KyNetworkLib {

// Tells which interfaces the filter driver serves.
class INetworkDriverEnabled
{
public:
    virtual ~INetworkDriverEnabled() = default;
    virtual bool IsDriverEnabled(const std::string& interfaceName) const = 0;
};

// The IPv4 interfaces of this machine, read once at construction.
class System
{
public:
    enum : uint32_t { NoRoute = 19 };

    explicit System(const INetworkDriverEnabled* driver);

    uint32_t GetInterfaceCount() const { return uint32_t(m_interfaces.size()); }
    // Null for an index out of range.
    const Interface* GetInterface(uint32_t index) const;
    // The system index of the interface the route to the destination leaves by.
    NzUtilsLib::Result GetBestInterface(const IpAddress& destination, uint32_t& systemIndex) const;

private:
    std::vector<Interface> m_interfaces;
};

} // namespace KyNetworkLib
