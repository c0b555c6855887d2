#pragma once

#include "camera/NqGvcp.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A GigE Vision device that only answers what discovery and IP assignment
// ask, with scripted content: DISCOVERY gets the scripted identity (whatever
// address, subnet and gateway it names: those stay inside the ack payload,
// nothing is ever sent there), READREG of the control-channel privilege gets
// the scripted privilege, and FORCEIP is recorded, acknowledged and, when it
// names our MAC, adopted into the identity as a device would. Replies go only
// to the sender of each command. Listening on 127.0.0.1:3956 it also hears
// broadcasts (discovery and FORCEIP go to 255.255.255.255 on loopback), like
// the simulated camera at that address. Other commands are not implemented,
// except that writes and reads may be held (see holdWrites).
class GvcpScriptedPeer
{
public:
    // `listenAddress` must lie in 127.0.0.0/8; port 0 picks a free port.
    explicit GvcpScriptedPeer(std::string listenAddress, uint16_t port = NqGvcp::GVCP_PORT);
    ~GvcpScriptedPeer(); // stops

    bool start(); // false when the address is not loopback or cannot be bound
    void stop();
    bool isRunning() const;
    uint16_t port() const; // the bound port once started

    void setIdentity(const NqGvcp::DeviceRecord& identity);
    NqGvcp::DeviceRecord identity() const;
    void setControlPrivilege(uint32_t privilege);

    std::vector<NqGvcp::ForceIp> forceIpRequests() const;
    int discoveryCount() const;
    // Waits until at least `count` FORCEIP commands arrived; false on time-out.
    bool waitForForceIp(size_t count, int timeoutMs) const;

    // While on, each WRITEREG and WRITEMEM is answered with PENDING_ACK, again before each
    // one runs out, as a device does while a write takes it long: the host
    // keeps waiting for as long as the peer holds it. Switched off, every
    // held write is acknowledged (success).
    void holdWrites(bool on);
    // The same for READREG and READMEM (held reads are then answered with
    // zeros), except a READREG of the control privilege alone, which goes
    // unanswered: a host's heartbeat fails, as with a camera that hangs.
    void holdReads(bool on);
    // Off, READREG goes unanswered (even the control privilege): a host's
    // heartbeat then fails, as with a camera that is gone.
    void answerReads(bool on);
    // The writes that arrived (the retries of a held one counted once).
    int writeCount() const;
    bool waitForWrite(int count, int timeoutMs) const;

private:
    void run();
    void receiveAll(int socket);
    void handle(const uint8_t* data, size_t size, const void* from);
    // Renews the pending acknowledges that are due (lock held).
    void renewPending();
    void send(const std::vector<uint8_t>& packet, const void* to) const;

    struct Held
    {
        uint32_t ip = 0;
        uint16_t port = 0;
        uint16_t requestId = 0;
        uint16_t answer = 0;         // the acknowledge it is given when let go
        std::vector<uint8_t> reply;  // and its payload
        bool operator==(const Held& o) const { return ip == o.ip && port == o.port && requestId == o.requestId; }
    };
    // Holds a command (lock held); false for a retry of one held already.
    bool hold(const Held& command);
    // Acknowledges the held reads, or writes (lock held).
    void release(bool reads);

    std::string m_address;
    uint16_t m_port;
    int m_socket = -1;
    int m_broadcastSocket = -1;
    int m_wakeFd = -1;
    std::thread m_thread;
    bool m_stop = false;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    NqGvcp::DeviceRecord m_identity;
    uint32_t m_privilege = 0;
    std::vector<NqGvcp::ForceIp> m_forceIps;
    int m_discoveries = 0;
    bool m_holdWrites = false;
    bool m_holdReads = false;
    bool m_answerReads = true;
    std::vector<Held> m_held;
    std::chrono::steady_clock::time_point m_pendingSent;
    int m_writes = 0;
};
