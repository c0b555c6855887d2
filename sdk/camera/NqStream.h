#pragma once

#include "base/NqGenParameters.h"
#include "camera/NqReceiverPriority.h"

#include <cstdint>
#include <memory>

// The GVSP stream of a connected camera. Open looks up the NqDevice connected
// to `deviceIp` in this process; the stream lives on that device's channel.
// Parameters: command "Reset", float "Bandwidth" (bits received per second), integer
// "ErrorCount", enumeration "LastError" (value = result code, name = text).
class NqStream
{
public:
    NqStream();
    ~NqStream();
    NqStream(const NqStream&) = delete;
    NqStream& operator=(const NqStream&) = delete;

    NqResult Open(const NqString& deviceIp, uint16_t localPort = 0, uint32_t channel = 0,
                  const NqString& localIp = NqString(), uint32_t bufferCount = 64);
    NqResult Close(); // safe to call twice
    bool IsOpen() const;

    NqString GetLocalIPAddress() const;
    uint16_t GetLocalPort() const;
    uint32_t GetQueuedBufferMaximum() const;
    // Whether the receiving thread runs above the process, as it asks when
    // it starts; Open returns once it has asked (or after a bounded wait).
    NqReceiverPriority GetReceiverPriority() const;

    NqGenParameterArray* GetParameters();

    struct Impl;
    Impl* GetImpl() { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};
