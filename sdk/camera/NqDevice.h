#pragma once

#include "base/NqGenParameters.h"
#include "camera/NqSystem.h"

#include <cstdint>
#include <memory>

// A connected GigE Vision camera: control channel and GenICam features.
class NqDevice
{
public:
    enum AccessType { AccessReadOnly = 0, AccessControl = 1, AccessExclusive = 2 };

    NqDevice();
    ~NqDevice(); // disconnects
    NqDevice(const NqDevice&) = delete;
    NqDevice& operator=(const NqDevice&) = delete;

    // Opens the control channel. When another controller holds the camera the
    // result's description contains "already in use". An acquisition left
    // running by a previous client is stopped.
    NqResult Connect(const NqDeviceInfo* info, uint32_t access = AccessControl);
    NqResult Connect(const NqString& ipAddress, uint32_t access = AccessControl);
    // Safe to call when not connected and to call twice.
    NqResult Disconnect();
    bool IsConnected() const;
    // True once the camera stopped answering the heartbeat of the control
    // channel (or another controller took it), or MarkLost was called, since
    // it was connected. The device stays connected until Disconnect, which
    // then does not wait for the camera.
    bool IsLost() const;
    // The application found the camera gone by other means (its stream went
    // silent while acquiring).
    void MarkLost();

    // Copy of the discovery record taken at connect (valid while connected).
    const NqDeviceInfo* GetDeviceInfo() const;
    NqString GetIPAddress() const;

    // The camera's features; the array lives as long as the device. While not
    // connected every lookup returns null.
    NqGenParameterArray* GetGenParameters();

    // Packet size of stream channel `channel`: `packetSize` bytes, or the
    // largest size the path carries when 0.
    NqResult NegotiatePacketSize(uint32_t channel, uint32_t packetSize);
    NqResult SetStreamDestination(const NqString& ipAddress, uint16_t port, uint32_t channel = 0);

    // GVCP FORCEIP to the camera with this MAC address (no connection needed).
    static NqResult SetIPConfiguration(const NqString& macAddress, const NqString& ipAddress,
                                       const NqString& subnetMask, const NqString& gateway);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
