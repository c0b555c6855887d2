// Throughput of NqTransmitterRaw on loopback against a raw sendmmsg loop
// sending the same GVSP packets, each measured by a receiver that counts
// what arrives (the difference is what the receiving socket dropped), and
// the rate reached with a throughput limit.
#include "NqTransmitterRaw.h"
#include "KyNetworkLib/Gvsp.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Gvsp = KyNetworkLib::Gvsp;
using Clock = std::chrono::steady_clock;

namespace {

const uint32_t kBlockSize = 4u << 20;
const int kBlocks = 64;

// Counts datagrams and bytes on 127.0.0.1 until stopped.
class CountingReceiver
{
public:
    CountingReceiver()
    {
        m_socket = socket(AF_INET, SOCK_DGRAM, 0);
        const int size = 64 << 20;
        if (setsockopt(m_socket, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
            setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local);
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length);
        m_port = ntohs(local.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~CountingReceiver()
    {
        m_stop = true;
        m_thread.join();
        close(m_socket);
    }
    uint16_t Port() const { return m_port; }
    // Waits until nothing arrived for 100 ms, then gives the datagram count.
    uint64_t Settle()
    {
        uint64_t last = ~0ull;
        while (last != m_datagrams.load()) {
            last = m_datagrams.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return last;
    }
    void Reset() { m_datagrams = 0; }

private:
    void Run()
    {
        const unsigned batch = 64;
        std::vector<uint8_t> storage(batch * 9000);
        std::vector<mmsghdr> messages(batch);
        std::vector<iovec> elements(batch);
        for (unsigned i = 0; i < batch; ++i) {
            elements[i] = {storage.data() + i * 9000, 9000};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &elements[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        while (!m_stop) {
            pollfd waiting{m_socket, POLLIN, 0};
            if (poll(&waiting, 1, 20) <= 0)
                continue;
            const int got = recvmmsg(m_socket, messages.data(), batch, MSG_DONTWAIT, nullptr);
            if (got > 0)
                m_datagrams += uint64_t(got);
        }
    }

    int m_socket = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_datagrams{0};
    std::thread m_thread;
};

uint64_t PacketsPerBlock(uint32_t packetSize)
{
    return Gvsp::DataPacketCount(kBlockSize, Gvsp::DataBytesPerPacket(packetSize, false)) + 2;
}

void Print(const char* name, uint32_t packetSize, int blocks, double seconds, uint64_t packets, uint64_t received)
{
    const double payload = double(kBlockSize) * blocks;
    std::printf("%-28s %5u B  %10.0f packets/s  %8.1f MB/s  dropped %llu of %llu\n", name, packetSize,
                double(packets) / seconds, payload / seconds / 1e6, (unsigned long long)(packets - received),
                (unsigned long long)packets);
}

void RunTransmitter(CountingReceiver& receiver, uint32_t packetSize, float throughput, int blocks, const char* name)
{
    std::vector<NqBuffer> buffers(8);
    std::vector<NqBuffer*> pointers;
    for (NqBuffer& buffer : buffers) {
        buffer.Alloc(kBlockSize);
        std::memset(buffer.GetDataPointer(), 0x5A, kBlockSize);
        pointers.push_back(&buffer);
    }
    NqTransmitterRaw transmitter;
    transmitter.LoadBufferPool(pointers.data(), uint32_t(pointers.size()));
    transmitter.SetPacketSize(packetSize);
    transmitter.SetMaxPayloadThroughput(throughput);
    if (!transmitter.Open("127.0.0.1", receiver.Port(), "", 0, false, false, 16, false).IsOK()) {
        std::printf("%s: cannot open the transmitter\n", name);
        return;
    }
    receiver.Reset();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < blocks; ++i) {
        NqBuffer* buffer = nullptr;
        transmitter.RetrieveFreeBuffer(&buffer, 10000);
        transmitter.QueueBuffer(buffer);
    }
    // Every buffer back in the pool: every block sent.
    for (size_t i = 0; i < buffers.size(); ++i) {
        NqBuffer* buffer = nullptr;
        transmitter.RetrieveFreeBuffer(&buffer, 10000);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Print(name, packetSize, blocks, seconds, PacketsPerBlock(packetSize) * uint64_t(blocks), receiver.Settle());
    if (throughput > 0)
        std::printf("%-28s limit %.0f Mb/s, reached %.1f Mb/s\n", "", throughput / 1e6,
                    double(kBlockSize) * blocks * 8 / seconds / 1e6);
}

// The same packets straight through sendmmsg, 16 a call, payload in place.
void RunRawLoop(CountingReceiver& receiver, uint32_t packetSize)
{
    std::vector<uint8_t> payload(kBlockSize, 0x5A);
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int sendBuffer = 64 * 8192;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(receiver.Port());
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    const uint32_t perPacket = Gvsp::DataBytesPerPacket(packetSize, false);
    const uint64_t dataPackets = Gvsp::DataPacketCount(kBlockSize, perPacket);
    uint8_t headers[16][Gvsp::HeaderAreaSize] = {};
    mmsghdr messages[16] = {};
    iovec elements[32];
    receiver.Reset();
    const Clock::time_point start = Clock::now();
    for (int block = 1; block <= kBlocks; ++block) {
        const uint64_t total = dataPackets + 2;
        for (uint64_t first = 0; first < total; first += 16) {
            unsigned count = 0;
            for (uint64_t id = first; id < total && count < 16; ++id, ++count) {
                Gvsp::Header header;
                header.blockId = uint64_t(block);
                header.packetId = uint32_t(id);
                header.format = id == 0 ? Gvsp::FormatLeader : id == total - 1 ? Gvsp::FormatTrailer : Gvsp::FormatPayload;
                Gvsp::WriteHeader(headers[count], header);
                uint32_t headerSize = Gvsp::StandardHeaderSize;
                if (header.format == Gvsp::FormatLeader) {
                    Gvsp::Leader leader;
                    leader.payloadSize = kBlockSize;
                    headerSize += Gvsp::WriteLeader(headers[count] + headerSize, leader);
                } else if (header.format == Gvsp::FormatTrailer) {
                    headerSize += Gvsp::WriteTrailer(headers[count] + headerSize, Gvsp::Trailer());
                }
                elements[2 * count] = {headers[count], headerSize};
                messages[count].msg_hdr.msg_iov = &elements[2 * count];
                messages[count].msg_hdr.msg_iovlen = 1;
                if (header.format == Gvsp::FormatPayload) {
                    const uint64_t offset = (id - 1) * perPacket;
                    const uint64_t length = std::min<uint64_t>(perPacket, kBlockSize - offset);
                    elements[2 * count + 1] = {payload.data() + offset, size_t(length)};
                    messages[count].msg_hdr.msg_iovlen = 2;
                }
            }
            for (unsigned sent = 0; sent < count;) {
                const int done = sendmmsg(fd, messages + sent, count - sent, 0);
                if (done <= 0)
                    break;
                sent += unsigned(done);
            }
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(fd);
    Print("raw sendmmsg loop", packetSize, kBlocks, seconds, (dataPackets + 2) * kBlocks, receiver.Settle());
}

} // namespace

int main()
{
    CountingReceiver receiver;
    std::printf("%d blocks of %u bytes to 127.0.0.1:%u\n", kBlocks, kBlockSize, receiver.Port());
    for (uint32_t packetSize : {1440u, 9000u}) {
        RunTransmitter(receiver, packetSize, 0, kBlocks, "NqTransmitterRaw");
        RunRawLoop(receiver, packetSize);
    }
    RunTransmitter(receiver, 1440, 100e6f, 4, "NqTransmitterRaw paced");
    RunTransmitter(receiver, 1440, 900e6f, 32, "NqTransmitterRaw paced");
    return 0;
}
