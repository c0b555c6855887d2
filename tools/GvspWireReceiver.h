#pragma once

#include "KyNetworkLib/Gvsp.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A plain GVSP receiver on 127.0.0.1, for looking at a stream as it leaves
// its sender: each packet carries the kernel's receive time stamp, which on
// loopback is taken as the sender hands the packet over, so a receiving
// thread that is scheduled late does not change it.
class GvspWireReceiver
{
public:
    struct Packet
    {
        KyNetworkLib::Gvsp::Header header;
        size_t size = 0;   // of the datagram
        double sent = 0;   // seconds (realtime clock)
        uint64_t timestamp = 0; // the frame's time stamp, on leaders
    };

    GvspWireReceiver(); // an 8 MB receive buffer (as far as the system allows)
    ~GvspWireReceiver();
    GvspWireReceiver(const GvspWireReceiver&) = delete;
    GvspWireReceiver& operator=(const GvspWireReceiver&) = delete;

    uint16_t port() const { return m_port; } // 0 when the socket could not be bound

    // The next GVSP packet, within `timeoutMs`.
    bool next(Packet& packet, int timeoutMs = 3000);
    // The packets of the next whole frame (from its leader to its trailer):
    // leader, the data packets that came, trailer.
    bool nextFrame(std::vector<Packet>& frame, int timeoutMs = 3000);

private:
    int m_socket = -1;
    uint16_t m_port = 0;
    std::vector<uint8_t> m_datagram = std::vector<uint8_t>(9100);
};
