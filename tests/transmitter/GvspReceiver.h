#pragma once

#include "PcapWriter.h"
#include "KyNetworkLib/Gvsp.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// GVSP receiver for tests on 127.0.0.1: reassembles every block from its
// leader, data and trailer packets, checks the packet layout against the
// expected packet size and header mode, and can keep every datagram for a
// pcap file.
class GvspReceiver
{
public:
    struct Block
    {
        uint64_t blockId = 0;
        KyNetworkLib::Gvsp::Leader leader;
        KyNetworkLib::Gvsp::Trailer trailer;
        std::vector<uint8_t> payload;
        uint32_t packets = 0;
    };

    GvspReceiver(uint32_t packetSize, bool extended, bool capture = false);
    ~GvspReceiver();

    // Binds 127.0.0.1 on an ephemeral port and starts receiving.
    bool Start();
    void Stop();
    uint16_t GetPort() const { return m_port; }

    // True once `count` blocks are complete in total.
    bool WaitForBlocks(size_t count, int timeoutMs);
    std::vector<Block> TakeBlocks();
    size_t GetBlockCount();
    uint64_t GetDatagramCount() const { return m_datagrams.load(); }
    // Layout faults seen so far (wrong sizes, ids, formats, mixed modes).
    std::vector<std::string> GetErrors();
    bool WritePcap(const std::string& path);

private:
    struct Partial
    {
        bool haveLeader = false;
        KyNetworkLib::Gvsp::Leader leader;
        std::map<uint32_t, std::vector<uint8_t>> data;
        uint32_t packets = 0;
    };

    void Run();
    void Handle(const uint8_t* data, size_t size, uint32_t sourceAddress, uint16_t sourcePort);
    void Error(const std::string& text);

    const uint32_t m_packetSize;
    const bool m_extended;
    const bool m_capture;
    int m_socket = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_datagrams{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<uint64_t, Partial> m_partial;
    std::vector<Block> m_blocks;
    size_t m_completed = 0;
    std::vector<std::string> m_errors;
    std::vector<PcapWriter::Datagram> m_captured;
};
