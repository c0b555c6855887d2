#pragma once

#include "KyNetworkLibSystem.h"

namespace KyTransportLayerLib {

// Which interfaces the camera SDK's filter driver serves. The driver is not
// installed on this platform, so every interface is served by sockets.
class LinkEnabled : public KyNetworkLib::INetworkDriverEnabled
{
public:
    bool IsDriverEnabled(const std::string&) const override { return false; }
};

} // namespace KyTransportLayerLib
