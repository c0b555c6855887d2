#pragma once

#include "base/NqResult.h"

#include <cstdint>
#include <memory>
#include <vector>

class NqInterface;

// A camera found by discovery on one network interface.
class NqDeviceInfo
{
public:
    // -1: the camera is on another subnet; 0: free to open; 1: opened elsewhere.
    enum AccessStatus { AccessOtherSubnet = -1, AccessOpen = 0, AccessBusy = 1 };

    const NqString& GetIPAddress() const { return m_ip; }
    const NqString& GetMACAddress() const { return m_mac; }
    const NqString& GetSubnetMask() const { return m_mask; }
    const NqString& GetDefaultGateway() const { return m_gateway; }
    const NqString& GetManufacturer() const { return m_manufacturer; }
    const NqString& GetModel() const { return m_model; }
    const NqString& GetVersion() const { return m_version; }
    const NqString& GetSerialNumber() const { return m_serial; }
    const NqString& GetUserDefinedName() const { return m_userName; }
    int GetAccessStatus() const { return m_access; }
    // The interface the camera answered on; null for a copy kept by a device.
    const NqInterface* GetInterface() const { return m_interface; }

private:
    friend class NqSystem;
    friend class NqDiscovery;
    NqString m_ip, m_mac, m_mask, m_gateway, m_manufacturer, m_model, m_version, m_serial, m_userName;
    int m_access = AccessOpen;
    const NqInterface* m_interface = nullptr;
};

// One IPv4 network interface of the PC and the cameras that answered on it.
class NqInterface
{
public:
    const NqString& GetDescription() const { return m_description; }
    const NqString& GetIPAddress() const { return m_ip; }
    const NqString& GetSubnetMask() const { return m_mask; }
    const NqString& GetMACAddress() const { return m_mac; }
    uint32_t GetDeviceCount() const { return uint32_t(m_devices.size()); }
    const NqDeviceInfo* GetDeviceInfo(uint32_t index) const
    {
        return index < m_devices.size() ? m_devices[index].get() : nullptr;
    }

private:
    friend class NqSystem;
    friend class NqDiscovery;
    NqString m_description, m_ip, m_mask, m_mac;
    std::vector<std::unique_ptr<NqDeviceInfo>> m_devices;
};

// GigE Vision discovery over every IPv4 interface of the PC.
class NqSystem
{
public:
    NqSystem();
    ~NqSystem();
    NqSystem(const NqSystem&) = delete;
    NqSystem& operator=(const NqSystem&) = delete;

    void SetDetectionTimeout(uint32_t milliseconds) { m_timeoutMs = milliseconds; }
    uint32_t GetDetectionTimeout() const { return m_timeoutMs; }
    // Kept for callers that set it; discovery runs on the calling thread.
    void SetDetectionThreadsPriority(uint32_t priority) { m_priority = priority; }

    // Replaces the interface list with a fresh discovery.
    NqResult Find();

    uint32_t GetInterfaceCount() const { return uint32_t(m_interfaces.size()); }
    const NqInterface* GetInterface(uint32_t index) const
    {
        return index < m_interfaces.size() ? m_interfaces[index].get() : nullptr;
    }

private:
    uint32_t m_timeoutMs = 500;
    uint32_t m_priority = 1;
    std::vector<std::unique_ptr<NqInterface>> m_interfaces;
};
