#pragma once

#include "base/NqResult.h"
#include "camera/NqGvcp.h"
#include "camera/NqSystem.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Our own GVCP discovery over the PC's IPv4 interfaces: Aravis's device list
// cannot tell the interface, the subnet test or the control privilege.
class NqDiscovery
{
public:
    struct LocalInterface
    {
        std::string name;
        uint32_t ip = 0;
        uint32_t mask = 0;
        uint32_t broadcast = 0;
        bool canBroadcast = false;
        NqGvcp::Mac mac{};
    };

    // Every IPv4 interface that is up, in the system's order.
    static std::vector<LocalInterface> localInterfaces();
    // Where GVCP broadcasts of this interface go: its broadcast address, or
    // the interface address itself where broadcast is not possible (loopback).
    static uint32_t broadcastTarget(const LocalInterface& local);

    // Sends DISCOVERY_CMD on every interface and collects acks until the
    // time-out, then checks the access status of every camera found.
    static std::vector<std::unique_ptr<NqInterface>> discover(std::chrono::milliseconds timeout);

    // Sends FORCEIP_CMD on every interface and waits for one ack.
    static NqResult forceIp(const NqGvcp::ForceIp& force, std::chrono::milliseconds timeout);

    // -1 other subnet, else the CCP register read: 0 free, 1 held elsewhere
    // (also when the camera does not answer the read).
    static int accessStatus(uint32_t deviceIp, uint32_t interfaceIp, uint32_t interfaceMask);

    static void fill(NqDeviceInfo& info, const NqGvcp::DeviceRecord& record, int access,
                     const NqInterface* owner);
    // A copy that belongs to no interface (kept by a connected device).
    static std::unique_ptr<NqDeviceInfo> detachedCopy(const NqDeviceInfo& info);

    static uint16_t nextRequestId();
};
