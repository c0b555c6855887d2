#pragma once

#include "camera/NqGvcp.h"

#include <chrono>
#include <cstdint>
#include <string>

// One UDP socket for GVCP requests, bound to a local IPv4 address. Addresses
// are in host order. Not thread-safe: one owner at a time.
class NqGvcpSocket
{
public:
    using Clock = std::chrono::steady_clock;

    NqGvcpSocket() = default;
    ~NqGvcpSocket();
    NqGvcpSocket(const NqGvcpSocket&) = delete;
    NqGvcpSocket& operator=(const NqGvcpSocket&) = delete;

    // Binds to `localIp` on an ephemeral port; broadcast allowed when asked.
    bool open(uint32_t localIp, bool broadcast, std::string* error = nullptr);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    bool sendTo(const NqGvcp::Packet& packet, uint32_t ip, uint16_t port = NqGvcp::GVCP_PORT);
    // Receives one datagram before `deadline`; false on time-out or error.
    bool receive(NqGvcp::Packet& packet, Clock::time_point deadline, uint32_t* fromIp = nullptr);

    // READREG of one register, with retries; false when no valid ack came.
    bool readRegister(uint32_t deviceIp, uint32_t address, uint32_t& value, uint16_t requestId,
                      std::chrono::milliseconds timeout, int attempts = 2);

private:
    int m_fd = -1;
};
