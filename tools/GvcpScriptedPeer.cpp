#include "GvcpScriptedPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace {

// The completion time a pending acknowledge announces, and how often it is
// renewed while a write is held: well before the host's wait runs out.
constexpr uint16_t pendingMs = 1000;
constexpr auto renewEvery = std::chrono::milliseconds(300);

sockaddr_in addressOf(uint32_t ip, uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(ip);
    to.sin_port = htons(port);
    return to;
}

} // namespace

GvcpScriptedPeer::GvcpScriptedPeer(std::string listenAddress, uint16_t port)
    : m_address(std::move(listenAddress))
    , m_port(port)
{
}

GvcpScriptedPeer::~GvcpScriptedPeer()
{
    stop();
}

bool GvcpScriptedPeer::start()
{
    if (isRunning())
        return true;
    uint32_t ip = 0;
    if (!NqGvcp::parseIp(m_address, ip) || (ip >> 24) != 127)
        return false;
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ip);
    address.sin_port = htons(m_port);
    socklen_t size = sizeof address;
    if (m_socket < 0 || m_wakeFd < 0
        || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        stop();
        return false;
    }
    m_port = ntohs(address.sin_port);
    if (ip == 0x7F000001 && m_port == NqGvcp::GVCP_PORT) {
        m_broadcastSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const int on = 1;
        ::setsockopt(m_broadcastSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in broadcast{};
        broadcast.sin_family = AF_INET;
        broadcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        broadcast.sin_port = htons(NqGvcp::GVCP_PORT);
        if (m_broadcastSocket < 0
            || ::bind(m_broadcastSocket, reinterpret_cast<sockaddr*>(&broadcast), sizeof broadcast) != 0) {
            stop();
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = false;
    }
    m_thread = std::thread(&GvcpScriptedPeer::run, this);
    return true;
}

void GvcpScriptedPeer::stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        const uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) < 0) {
            // The wait is bounded; the flag ends it.
        }
        m_thread.join();
    }
    for (int* fd : {&m_socket, &m_broadcastSocket, &m_wakeFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool GvcpScriptedPeer::isRunning() const
{
    return m_thread.joinable();
}

uint16_t GvcpScriptedPeer::port() const
{
    return m_port;
}

void GvcpScriptedPeer::setIdentity(const NqGvcp::DeviceRecord& identity)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_identity = identity;
}

NqGvcp::DeviceRecord GvcpScriptedPeer::identity() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_identity;
}

void GvcpScriptedPeer::setControlPrivilege(uint32_t privilege)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_privilege = privilege;
}

std::vector<NqGvcp::ForceIp> GvcpScriptedPeer::forceIpRequests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_forceIps;
}

int GvcpScriptedPeer::discoveryCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_discoveries;
}

bool GvcpScriptedPeer::waitForForceIp(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_forceIps.size() >= count; });
}

void GvcpScriptedPeer::holdWrites(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_holdWrites = on;
    if (!on)
        release(false);
}

void GvcpScriptedPeer::holdReads(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_holdReads = on;
    if (!on)
        release(true);
}

void GvcpScriptedPeer::release(bool reads)
{
    for (auto it = m_held.begin(); it != m_held.end();) {
        const bool read = it->answer == NqGvcp::READREG_ACK || it->answer == NqGvcp::READMEM_ACK;
        if (read != reads) {
            ++it;
            continue;
        }
        const sockaddr_in to = addressOf(it->ip, it->port);
        send(NqGvcp::buildAck(NqGvcp::GEV_STATUS_SUCCESS, it->answer, it->requestId, it->reply), &to);
        it = m_held.erase(it);
    }
}

bool GvcpScriptedPeer::hold(const Held& command)
{
    if (std::find(m_held.begin(), m_held.end(), command) != m_held.end())
        return false; // a retry: the next renewal answers it
    m_held.push_back(command);
    m_pendingSent = {}; // at once
    renewPending();
    return true;
}

void GvcpScriptedPeer::answerReads(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answerReads = on;
}

int GvcpScriptedPeer::writeCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writes;
}

bool GvcpScriptedPeer::waitForWrite(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_writes >= count; });
}

void GvcpScriptedPeer::send(const std::vector<uint8_t>& packet, const void* to) const
{
    ::sendto(m_socket, packet.data(), packet.size(), 0, static_cast<const sockaddr*>(to), sizeof(sockaddr_in));
}

void GvcpScriptedPeer::renewPending()
{
    const auto now = std::chrono::steady_clock::now();
    if (m_held.empty() || now - m_pendingSent < renewEvery)
        return;
    m_pendingSent = now;
    for (const Held& w : m_held) {
        const sockaddr_in to = addressOf(w.ip, w.port);
        send(NqGvcp::buildAck(NqGvcp::GEV_STATUS_SUCCESS, NqGvcp::PENDING_ACK, w.requestId,
                              {0, 0, uint8_t(pendingMs >> 8), uint8_t(pendingMs)}),
             &to);
    }
}

void GvcpScriptedPeer::run()
{
    for (;;) {
        pollfd fds[3] = {{m_wakeFd, POLLIN, 0}, {m_socket, POLLIN, 0}, {m_broadcastSocket, POLLIN, 0}};
        ::poll(fds, m_broadcastSocket >= 0 ? 3 : 2, 100);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop)
                return;
            renewPending();
        }
        receiveAll(m_socket);
        if (m_broadcastSocket >= 0)
            receiveAll(m_broadcastSocket);
    }
}

void GvcpScriptedPeer::receiveAll(int socket)
{
    uint8_t datagram[2048];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n =
            ::recvfrom(socket, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n < 0)
            return;
        handle(datagram, size_t(n), &from);
    }
}

void GvcpScriptedPeer::handle(const uint8_t* data, size_t size, const void* fromAddress)
{
    const auto& from = *static_cast<const sockaddr_in*>(fromAddress);
    NqGvcp::Header header;
    const uint8_t* payload = nullptr;
    if (!NqGvcp::parseHeader(data, size, header, payload))
        return;

    const Held client{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port), 0, 0, {}};
    const std::vector<uint8_t> notImplemented =
        header.flags & NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE
            ? NqGvcp::buildAck(NqGvcp::GEV_STATUS_NOT_IMPLEMENTED, uint16_t(header.command + 1), header.requestId)
            : std::vector<uint8_t>();
    std::vector<uint8_t> ack;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        switch (header.command) {
        case NqGvcp::DISCOVERY_CMD:
            ++m_discoveries;
            ack = NqGvcp::buildAck(NqGvcp::GEV_STATUS_SUCCESS, NqGvcp::DISCOVERY_ACK, header.requestId,
                                   NqGvcp::buildDeviceRecord(m_identity));
            break;
        case NqGvcp::FORCEIP_CMD: {
            NqGvcp::ForceIp request;
            if (!NqGvcp::parseForceIpPayload(payload, header.length, request))
                return;
            m_forceIps.push_back(request);
            m_changed.notify_all();
            if (request.mac != m_identity.mac)
                return; // meant for another device
            m_identity.ip = request.ip;
            m_identity.subnetMask = request.subnetMask;
            m_identity.gateway = request.gateway;
            ack = NqGvcp::buildAck(NqGvcp::GEV_STATUS_SUCCESS, NqGvcp::FORCEIP_ACK, header.requestId);
            break;
        }
        case NqGvcp::READREG_CMD: {
            const bool privilegeOnly =
                header.length == 4 && NqGvcp::get32(payload) == NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE;
            if (!m_answerReads || (m_holdReads && privilegeOnly))
                break;
            if (header.length == 0 || header.length % 4 != 0 || header.length > 540) {
                ack = NqGvcp::buildAck(NqGvcp::GEV_STATUS_INVALID_PARAMETER, NqGvcp::READREG_ACK, header.requestId);
                break;
            }
            std::vector<uint8_t> values(header.length, 0);
            if (m_holdReads) {
                hold({client.ip, client.port, header.requestId, NqGvcp::READREG_ACK, values});
                break;
            }
            for (size_t i = 0; i < header.length; i += 4) {
                if (NqGvcp::get32(payload + i) == NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE)
                    NqGvcp::put32(&values[i], m_privilege);
            }
            ack = NqGvcp::buildAck(NqGvcp::GEV_STATUS_SUCCESS, NqGvcp::READREG_ACK, header.requestId, values);
            break;
        }
        case NqGvcp::READMEM_CMD: {
            if (!m_holdReads || header.length != 8 || NqGvcp::get16(payload + 6) > NqGvcp::READMEM_MAX_COUNT) {
                ack = notImplemented;
                break;
            }
            std::vector<uint8_t> reply(payload, payload + 4); // the address, then the bytes read
            reply.resize(4 + NqGvcp::get16(payload + 6), 0);
            hold({client.ip, client.port, header.requestId, NqGvcp::READMEM_ACK, reply});
            break;
        }
        case NqGvcp::WRITEREG_CMD:
        case NqGvcp::WRITEMEM_CMD: {
            const uint16_t answer = uint16_t(header.command + 1);
            if (!m_holdWrites) {
                ++m_writes;
                m_changed.notify_all();
                ack = NqGvcp::buildAck(NqGvcp::GEV_STATUS_NOT_IMPLEMENTED, answer, header.requestId);
                break;
            }
            if (hold({client.ip, client.port, header.requestId, answer, {0, 0, 0, 0}})) {
                ++m_writes;
                m_changed.notify_all();
            }
            break;
        }
        default:
            ack = notImplemented;
            break;
        }
    }
    if (!ack.empty())
        ::sendto(m_socket, ack.data(), ack.size(), 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
}
