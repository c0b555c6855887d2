#pragma once

#include "StratolineProtocol.h"
#include "KyTransportLayerLib/Link.h"
#include "KyTransportLayerLib/TransmitEngine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class RawUdpSink;

// An in-process stand-in for the Stratoline filter driver, registered under
// the driver's device path. It answers every I/O control of the driver's
// contract. In Send mode it packetizes each queued buffer with the library's
// own engine and sends it from the source port of the plug-in block (a raw
// socket, so it shares the port the sender's socket holds); in Hold mode it
// keeps buffers until the test completes them. Faults make it answer like a
// wrong, failing, slow or silent driver.
class TestFilterDriver : public KyTransportLayerLib::LinkDevice
{
public:
    enum class Mode { Send, Hold };

    struct Faults
    {
        // Copied as is into the 64-byte answer (no terminator added).
        std::vector<uint8_t> versionText = VersionText("4, 2, 0, 17");
        uint32_t interfaceStatus = 0;
        uint32_t driverInterfaceVersion = 2;
        uint32_t plugInInterfaceVersion = 2;
        uint32_t plugInStatus = 0;
        // A queued buffer is answered pending, or done with queueStatus.
        bool queuePending = true;
        uint32_t queueStatus = 0;
        // I/O controls whose call itself fails.
        std::set<uint32_t> failingCalls;
        // A batch waits (within its time-out) until this many completions are ready.
        uint32_t batchMinimum = 1;
        // A completion becomes visible this long after it happened.
        uint32_t completionDelayMs = 0;
        // Nothing ever completes, not even on abort.
        bool silent = false;
        // Entry count a batch claims (0: the true count).
        uint32_t claimedCount = 0;
        // Every batch fails at once with this status (0: none), handing nothing out.
        uint32_t batchStatus = 0;
    };

    explicit TestFilterDriver(Mode mode, const std::set<std::string>& interfaces = {"lo"});
    ~TestFilterDriver() override;

    static std::vector<uint8_t> VersionText(const std::string& text);
    // Whether this process may send through a raw socket (Send mode needs it).
    static bool CanSend();

    void SetFaults(const Faults& faults);
    // Hold mode: completes the `count` oldest held buffers.
    void Complete(uint32_t count, uint32_t status, uint32_t firstCount = 0, uint32_t payloadBytes = 0);
    uint32_t GetHeldCount();
    uint32_t GetCallCount(uint32_t code);
    // The latest plug-in block as the sender sent it.
    std::vector<uint8_t> GetPlugInBlock();
    // The latest queue block as the sender sent it.
    std::vector<uint8_t> GetQueueBlock();
    // Every completion batch asked for, oldest first: its time-out and the entries wanted.
    std::vector<std::pair<uint64_t, uint32_t>> GetBatchRequests();
    // Hold mode: completes a record as it stands, whether the sender queued it or not.
    void Report(uint64_t record, uint32_t status = 0);
    bool IsOpen();
    uint32_t GetOpenCount();

    bool Open() override;
    void Close() override;
    Outcome IoControl(uint32_t code, uint8_t* block, uint32_t inSize, uint32_t outSize, void* context) override;
    bool ServesInterface(const std::string& interfaceName) const override;

private:
    using Clock = std::chrono::steady_clock;
    struct Ready
    {
        NqTransmitterRawLib::Stratoline::Completion completion;
        Clock::time_point at;
    };

    Outcome LoadPlugIn(uint8_t* block, uint32_t inSize);
    Outcome Queue(uint8_t* block, uint32_t inSize, void* context);
    Outcome Retrieve(uint8_t* block, uint32_t inSize, uint32_t outSize);
    Outcome Abort(uint8_t* block, uint32_t inSize, uint32_t outSize);
    Outcome AbortOldest(uint8_t* block, uint32_t outSize);
    void Collect();
    void StopSession();
    size_t ReadyCount(Clock::time_point now) const;

    const Mode m_mode;
    const std::set<std::string> m_interfaces;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Faults m_faults;
    bool m_open = false;
    bool m_loaded = false;
    uint32_t m_opens = 0;
    std::map<uint32_t, uint32_t> m_calls;
    std::vector<uint8_t> m_plugIn;
    std::vector<uint8_t> m_queueBlock;
    std::vector<std::pair<uint64_t, uint32_t>> m_batchRequests;
    uint32_t m_capacity = 0;
    std::deque<NqTransmitterRawLib::Stratoline::Completion> m_held;
    std::deque<Ready> m_completed;

    // Send mode.
    KyTransportLayerLib::TransmitEngine m_engine;
    std::unique_ptr<RawUdpSink> m_sink;
    std::thread m_engineThread;
    std::thread m_collector;
    std::atomic<bool> m_collecting{false};
};

// Registers a device under the driver's path for the scope.
class ScopedDevice
{
public:
    explicit ScopedDevice(const std::shared_ptr<KyTransportLayerLib::LinkDevice>& device);
    ~ScopedDevice();
    ScopedDevice(const ScopedDevice&) = delete;
    ScopedDevice& operator=(const ScopedDevice&) = delete;
    bool IsRegistered() const { return m_registered; }

private:
    bool m_registered;
};
