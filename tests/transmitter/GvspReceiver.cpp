#include "GvspReceiver.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Gvsp = KyNetworkLib::Gvsp;

GvspReceiver::GvspReceiver(uint32_t packetSize, bool extended, bool capture)
    : m_packetSize(packetSize), m_extended(extended), m_capture(capture)
{
}

GvspReceiver::~GvspReceiver()
{
    Stop();
}

bool GvspReceiver::Start()
{
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return false;
    // Large enough for a whole 8 MiB block while the thread catches up.
    const int size = 64 << 20;
    if (setsockopt(m_socket, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    if (bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
        || getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return false;
    m_port = ntohs(local.sin_port);
    m_thread = std::thread(&GvspReceiver::Run, this);
    return true;
}

void GvspReceiver::Stop()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    if (m_socket >= 0)
        close(m_socket);
    m_socket = -1;
}

void GvspReceiver::Run()
{
    std::vector<uint8_t> datagram(65536);
    while (!m_stop.load()) {
        pollfd waiting{m_socket, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t size = recvfrom(m_socket, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                      reinterpret_cast<sockaddr*>(&from), &length);
        if (size < 0)
            continue;
        ++m_datagrams;
        Handle(datagram.data(), size_t(size), ntohl(from.sin_addr.s_addr), ntohs(from.sin_port));
    }
}

void GvspReceiver::Error(const std::string& text)
{
    if (m_errors.size() < 20)
        m_errors.push_back(text);
}

void GvspReceiver::Handle(const uint8_t* data, size_t size, uint32_t sourceAddress, uint16_t sourcePort)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_capture) {
        PcapWriter::Datagram d;
        d.sourceAddress = sourceAddress;
        d.sourcePort = sourcePort;
        d.destinationAddress = INADDR_LOOPBACK;
        d.destinationPort = m_port;
        d.timeUs = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count());
        d.payload.assign(data, data + size);
        m_captured.push_back(std::move(d));
    }
    Gvsp::Header header;
    if (!Gvsp::ReadHeader(data, size, header) || header.extended != m_extended) {
        Error("bad header");
        return;
    }
    const uint32_t headerSize = Gvsp::HeaderSize(m_extended);
    if (size + Gvsp::IpUdpHeaderSize > m_packetSize) {
        Error("datagram larger than the packet size");
        return;
    }
    if (header.blockId == 0) {
        Error("block id 0");
        return;
    }
    Partial& partial = m_partial[header.blockId];
    ++partial.packets;
    const uint8_t* content = data + headerSize;
    const size_t contentSize = size - headerSize;
    if (header.format == Gvsp::FormatLeader) {
        if (header.packetId != 0 || !Gvsp::ReadLeader(content, contentSize, partial.leader))
            Error("bad leader");
        partial.haveLeader = true;
        return;
    }
    if (header.format == Gvsp::FormatPayload) {
        if (header.packetId == 0 || partial.data.count(header.packetId))
            Error("bad or repeated data packet id");
        partial.data[header.packetId].assign(content, content + contentSize);
        return;
    }
    if (header.format != Gvsp::FormatTrailer) {
        Error("unknown packet format");
        return;
    }
    Block block;
    block.blockId = header.blockId;
    if (!Gvsp::ReadTrailer(content, contentSize, block.trailer))
        Error("bad trailer");
    const uint32_t perPacket = Gvsp::DataBytesPerPacket(m_packetSize, m_extended);
    const uint32_t dataPackets = header.packetId - 1;
    if (!partial.haveLeader || partial.data.size() != dataPackets) {
        Error("block " + std::to_string(header.blockId) + " incomplete: " + std::to_string(partial.data.size()) + " of "
              + std::to_string(dataPackets) + " data packets");
    } else {
        uint32_t expectedId = 1;
        for (const auto& packet : partial.data) {
            if (packet.first != expectedId
                || (expectedId < dataPackets && packet.second.size() != perPacket))
                Error("data packet " + std::to_string(packet.first) + " out of place or short");
            ++expectedId;
            block.payload.insert(block.payload.end(), packet.second.begin(), packet.second.end());
        }
    }
    block.leader = partial.leader;
    block.packets = partial.packets;
    m_partial.erase(header.blockId);
    m_blocks.push_back(std::move(block));
    ++m_completed;
    m_changed.notify_all();
}

bool GvspReceiver::WaitForBlocks(size_t count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_completed >= count; });
}

std::vector<GvspReceiver::Block> GvspReceiver::TakeBlocks()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Block> blocks;
    blocks.swap(m_blocks);
    return blocks;
}

size_t GvspReceiver::GetBlockCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_completed;
}

std::vector<std::string> GvspReceiver::GetErrors()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_errors;
}

bool GvspReceiver::WritePcap(const std::string& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return PcapWriter::Write(path, m_captured);
}
