#pragma once

#include "KyNetworkLib/System.h"
#include "KyTransportLayerLib/Link.h"

namespace KyTransportLayerLib {

// Which interfaces the camera SDK's filter driver serves: those a device of
// this process serves. The shipped library registers no device, so there
// every interface is served by sockets.
class LinkEnabled : public KyNetworkLib::INetworkDriverEnabled
{
public:
    bool IsDriverEnabled(const std::string& interfaceName) const override
    {
        return LinkRegistry::IsInterfaceServed(interfaceName);
    }
};

} // namespace KyTransportLayerLib
