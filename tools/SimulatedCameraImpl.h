#pragma once

// The simulated camera's state, shared by the files of its front-end:
// SimulatedCamera.cpp (start, stop, the thread's loop, the public interface),
// SimulatedCamera_control.cpp (GVCP and the registers),
// SimulatedCamera_stream.cpp (GVSP frames and their pacing) and
// SimulatedCamera_resend.cpp (packets sent again on request).

#include "SimulatedCamera.h"

#include "PacketDropper.h"
#include "ResendRing.h"
#include "ResendTally.h"
#include "StreamClock.h"

#include <arv.h>

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SimulatedCamera::Impl
{
    using Clock = std::chrono::steady_clock;

    static constexpr size_t MaxDatagram = 65536;

    explicit Impl(const SimulatedCameraOptions& o) : options(o) {}

    bool start();
    void stop();
    void run();

    // GVCP
    void handleDatagram(const uint8_t* data, size_t size, const sockaddr_in& from, bool broadcast);
    void receiveAll(int socket, bool broadcast);
    uint16_t writeRegister(uint32_t address, uint32_t value, const sockaddr_in& from);
    uint16_t checkedWrite(uint32_t address, uint32_t value);
    bool mayWrite(const sockaddr_in& from) const;
    bool mayRead(const sockaddr_in& from) const;
    void releaseControl();
    void sendTo(const std::vector<uint8_t>& packet, const sockaddr_in& to);
    uint32_t reg(uint32_t address) const;
    void setReg(uint32_t address, uint32_t value);
    void writeText(uint32_t address, size_t size, const std::string& text);

    // GVSP
    bool streaming() const;
    sockaddr_in streamDestination() const;
    void sendFrame();
    void sendPacket(const uint8_t* data, size_t size, const sockaddr_in& to);
    void pauseUntil(Clock::time_point wakeUp);
    static uint32_t shortestFrameTimeUs(double framesPerSecond);
    static void fillPattern(ArvBuffer* buffer, void* data, guint32, guint32, ArvPixelFormat format);

    // Frame time: the period the settings ask for now, and the one in force
    // (FRM_TIM_ACT). A change waits for the frame in progress while streaming.
    uint32_t frameTimeUs() const;
    void updateActualFrameTime();
    void setShortestFrameTime(uint32_t us);

    // Packet resend
    void requestResend(const uint8_t* data, size_t size);
    void serveResends();

    static timespec toTimespec(Clock::duration wait);

    SimulatedCameraOptions options;
    uint32_t ip = 0;
    ArvFakeCamera* fake = nullptr;
    ArvBuffer* frame = nullptr;
    size_t frameSize = 0;
    int controlSocket = -1;
    int discoverySocket = -1; // broadcast discovery, when this camera answers it
    int streamSocket = -1;
    int wakeFd = -1;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::vector<uint8_t> datagram = std::vector<uint8_t>(MaxDatagram); // receive buffer of the thread

    // Guards the fake camera's memory and the privilege state below, which the
    // test thread changes through setControlPrivilege.
    mutable std::mutex mutex;
    uint32_t requestedPrivilege = 0; // applied by start()
    bool hasController = false;      // a client on the network holds the privilege
    sockaddr_in controller{};
    Clock::time_point controllerSeen;
    bool acquiring = false;
    double linkRateMbps = 0; // applied to the clock by the stream thread
    std::unique_ptr<PacketDropper> dropper;
    std::vector<uint32_t> refusedRegisters; // of options.refusedFeatures
    ResendRing resends; // stream thread only
    ResendTally tally;  // what was dropped and what was sent again, for tests
    bool servingResends = false;
    // The stream leaves at the pace of its link, as from a real camera: a
    // receiver drains it as it would on the wire, and cameras of concurrent
    // tests never flood loopback with whole frames at once. Packets go out in
    // short bursts between which the thread sleeps and keeps answering the
    // control channel. Used by the stream thread only.
    StreamClock clock;
    std::atomic<uint64_t> framesSent{0};
    std::atomic<uint64_t> deviceResets{0};
    std::atomic<uint64_t> headResets{0};
};
