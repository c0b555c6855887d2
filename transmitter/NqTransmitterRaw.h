#pragma once

#include "base/NqBuffer.h"
#include "base/NqResult.h"
#include "base/NqString.h"

#define NQTRANSMITTERRAW_API __attribute__((visibility("default")))

namespace NqTransmitterRawLib {
class TransmitterRaw;
}

// Sends caller-filled buffers as GigE Vision stream blocks (GVSP over UDP)
// to one destination, and hands every buffer back once it has been sent.
//
// Usage: optionally LoadBufferPool; Open; then RetrieveFreeBuffer (from the
// pool), fill, QueueBuffer, and so on; Close. Without a pool the caller
// queues its own buffers and retrieves them after sending. Copies share one
// transmitter. Operations on a closed transmitter answer code 23 or neutral
// values.
class NQTRANSMITTERRAW_API NqTransmitterRaw
{
public:
    NqTransmitterRaw();
    NqTransmitterRaw(const NqTransmitterRaw& other);
    NqTransmitterRaw& operator=(const NqTransmitterRaw& other);
    virtual ~NqTransmitterRaw();

    // Destination address and port, source address (empty: chosen by the
    // route) and port (0: chosen by the system), don't-fragment, extended-id
    // GVSP header, buffers in the transmitter at once (2..256), engine flag.
    NqResult Open(NqString destinationAddress, unsigned short destinationPort, NqString sourceAddress,
                  unsigned short sourcePort, bool dontFragment, bool headerFlag, unsigned int buffersCapability,
                  bool engineFlag);
    // Always OK.
    NqResult Close();
    bool IsOpen() const;

    NqResult LoadBufferPool(NqBuffer** buffers, unsigned int count);
    // Queued: OK through a socket, 0xFFFF (pending) through the filter driver. The
    // buffer's operation result is 0xFFFF until it completes.
    NqResult QueueBuffer(NqBuffer* buffer);
    // *buffer is null when none came back within the time-out.
    NqResult RetrieveFreeBuffer(NqBuffer** buffer, unsigned int timeoutMs);
    unsigned int GetQueuedBufferCount();
    // Aborts the `value` oldest queued buffers (0xFFFFFFFF: all).
    NqResult AbortQueuedBuffers(unsigned int value, bool* aborted);

    // IP datagram size of every packet, default 1440.
    unsigned int GetPacketSize();
    NqResult SetPacketSize(unsigned int packetSize);
    // Payload bits per second, 0 (default) for no limit.
    float GetMaxPayloadThroughput();
    NqResult SetMaxPayloadThroughput(float bitsPerSecond);

    NqString GetDestinationIPAddress();
    unsigned short GetDestinationPort();
    NqString GetSourceIPAddress();
    unsigned short GetSourcePort();

    unsigned int GetUserModeTransmitterThreadPriority() const;
    NqResult SetUserModeTransmitterThreadPriority(unsigned int priority);
    unsigned int GetBufferPoolThreadPriority() const;
    NqResult SetBufferPoolThreadPriority(unsigned int priority);

    void ResetStats();
    unsigned long long GetBlocksTransmitted() const;
    // Milliseconds since the last reset.
    unsigned long long GetSamplingTime() const;
    unsigned long long GetPayloadBytesTransmitted() const;
    float GetInstantaneousPayloadThroughput() const;
    float GetAveragePayloadThroughput() const;
    float GetInstantaneousTransmissionRate() const;
    float GetAverageTransmissionRate() const;

private:
    NqTransmitterRawLib::TransmitterRaw* m_impl;
};
