#pragma once

#include "camera/NqGvcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

// A bare GVCP client for tests: one request, one answer, on loopback.
class GvcpTestClient
{
public:
    explicit GvcpTestClient(const std::string& localAddress = "127.0.0.1")
    {
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr);
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    ~GvcpTestClient() { ::close(m_socket); }
    GvcpTestClient(const GvcpTestClient&) = delete;
    GvcpTestClient& operator=(const GvcpTestClient&) = delete;

    // Sends `packet` and returns the first datagram that comes back within
    // `timeoutMs` (empty on time-out). The default leaves a peer on a loaded
    // machine ample time; tests that expect no answer pass a short one.
    std::vector<uint8_t> request(const std::string& address, uint16_t port, const std::vector<uint8_t>& packet,
                                 int timeoutMs = 5000)
    {
        send(address, port, packet);
        return receive(timeoutMs);
    }

    // The next datagram that comes within `timeoutMs` (empty on time-out).
    std::vector<uint8_t> receive(int timeoutMs = 5000)
    {
        pollfd fd{m_socket, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0)
            return {};
        std::vector<uint8_t> answer(2048);
        const ssize_t n = ::recv(m_socket, answer.data(), answer.size(), 0);
        answer.resize(n > 0 ? size_t(n) : 0);
        return answer;
    }

    bool readRegister(const std::string& address, uint16_t port, uint32_t reg, uint32_t& value, uint16_t& status)
    {
        std::vector<uint8_t> payload(4);
        NqGvcp::put32(payload.data(), reg);
        const std::vector<uint8_t> answer =
            request(address, port,
                    NqGvcp::buildCommand(NqGvcp::READREG_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, ++m_id, payload));
        NqGvcp::AckHeader ack;
        const uint8_t* data = nullptr;
        if (!NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, data) || ack.ackId != m_id)
            return false;
        status = ack.status;
        value = ack.length >= 4 ? NqGvcp::get32(data) : 0;
        return true;
    }

    // Sends one command and parses the ack; false on time-out or a malformed answer.
    bool command(const std::string& address, uint16_t port, uint16_t command, const std::vector<uint8_t>& payload,
                 NqGvcp::AckHeader& ack, std::vector<uint8_t>& answerPayload)
    {
        const uint16_t id = ++m_id;
        const std::vector<uint8_t> answer =
            request(address, port, NqGvcp::buildCommand(command, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, id, payload));
        const uint8_t* data = nullptr;
        if (!NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, data) || ack.ackId != id)
            return false;
        answerPayload.assign(data, data + ack.length);
        return true;
    }

    // The ack status of a one-register WRITEREG (0xFFFF on time-out).
    uint16_t writeRegister(const std::string& address, uint16_t port, uint32_t reg, uint32_t value)
    {
        std::vector<uint8_t> payload(8);
        NqGvcp::put32(payload.data(), reg);
        NqGvcp::put32(payload.data() + 4, value);
        NqGvcp::AckHeader ack;
        std::vector<uint8_t> answer;
        return command(address, port, NqGvcp::WRITEREG_CMD, payload, ack, answer) ? ack.status : 0xFFFF;
    }

    // Sends `packet`, for commands that are never answered.
    void send(const std::string& address, uint16_t port, const std::vector<uint8_t>& packet)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &to.sin_addr);
        ::sendto(m_socket, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    uint16_t nextId() { return ++m_id; }

private:
    int m_socket = -1;
    uint16_t m_id = 0;
};
