#include "camera/NqSystem.h"
#include "camera/NqDiscovery.h"

NqSystem::NqSystem() = default;
NqSystem::~NqSystem() = default;

NqResult NqSystem::Find()
{
    m_interfaces = NqDiscovery::discover(std::chrono::milliseconds(m_timeoutMs));
    if (m_interfaces.empty())
        return NqResult(NqResult::Code::NOT_FOUND, "No IPv4 network interface is up");
    return NqResult::Code::OK;
}
