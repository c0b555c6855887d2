#include "KyTransportLayerLib/Link.h"

#include <map>
#include <mutex>

namespace KyTransportLayerLib {

namespace {

std::mutex g_mutex;

std::map<std::wstring, std::shared_ptr<LinkDevice>>& Devices()
{
    static std::map<std::wstring, std::shared_ptr<LinkDevice>> devices;
    return devices;
}

} // namespace

bool LinkRegistry::Register(const std::wstring& path, const std::shared_ptr<LinkDevice>& device)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return device && Devices().emplace(path, device).second;
}

void LinkRegistry::Unregister(const std::wstring& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Devices().erase(path);
}

std::shared_ptr<LinkDevice> LinkRegistry::Find(const std::wstring& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto found = Devices().find(path);
    return found == Devices().end() ? nullptr : found->second;
}

bool LinkRegistry::IsInterfaceServed(const std::string& interfaceName)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const auto& device : Devices())
        if (device.second->ServesInterface(interfaceName))
            return true;
    return false;
}

NzUtilsLib::Result Link::Open(const std::wstring& path)
{
    if (m_device)
        return NzUtilsLib::Result(AccessDenied);
    std::shared_ptr<LinkDevice> device = LinkRegistry::Find(path);
    if (!device)
        return NzUtilsLib::Result(FileNotFound);
    if (!device->Open())
        return NzUtilsLib::Result(AccessDenied);
    m_device = std::move(device);
    return NzUtilsLib::Result::Success;
}

void Link::Close()
{
    if (!m_device)
        return;
    m_device->Close();
    m_device.reset();
}

NzUtilsLib::Result Link::IoControl(uint32_t code, void* block, uint32_t inSize, uint32_t outSize, void* context)
{
    if (!m_device)
        return NzUtilsLib::Result(InvalidHandle);
    if (!block && (inSize || outSize))
        return NzUtilsLib::Result(DeviceFailure);
    switch (m_device->IoControl(code, static_cast<uint8_t*>(block), inSize, outSize, context)) {
    case LinkDevice::Outcome::Done:
        return NzUtilsLib::Result::Success;
    case LinkDevice::Outcome::Pending:
        return NzUtilsLib::Result(IoPending);
    case LinkDevice::Outcome::Failed:
        break;
    }
    return NzUtilsLib::Result(DeviceFailure);
}

} // namespace KyTransportLayerLib
