// NqTransmitterRaw on loopback beside a raw sendmmsg loop of the same GVSP
// packets (16 a call, payload in place), each counted by the same receiver:
// unpaced at 1440 and 9000 bytes (runs of 2 s, 3 repeats, interleaved), then
// paced, the rate measured where the packets arrive. The library's sending
// thread and the raw loop run on one pinned CPU, the receiver on another, the
// caller and the library's pool thread on a third.
#include "BenchTable.h"
#include "NqTransmitterRaw.h"
#include "KyNetworkLib/Gvsp.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

namespace Gvsp = KyNetworkLib::Gvsp;
using bench::Clock;

namespace {

constexpr uint32_t kBlockSize = 4u << 20;
constexpr double kRunSeconds = 2.0;
constexpr int kRepeats = 3;
constexpr int kPoolBuffers = 8;

struct Cpus
{
    int receiver = -1;
    int sender = -1;
    int caller = -1;
};

// Counts the datagrams and bytes that arrive on 127.0.0.1, and when the first
// and the last of a run came.
class CountingReceiver
{
public:
    explicit CountingReceiver(int cpu)
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
        m_thread = std::thread([this, cpu] {
            if (cpu >= 0)
                bench::pinThisThread(cpu);
            Run();
        });
    }
    ~CountingReceiver()
    {
        m_stop = true;
        m_thread.join();
        close(m_socket);
    }
    uint16_t Port() const { return m_port; }
    void Reset()
    {
        m_datagrams = 0;
        m_bytes = 0;
        m_first = m_last = 0;
    }
    // Waits until nothing arrived for 200 ms.
    void Settle()
    {
        uint64_t last = ~0ull;
        while (last != m_datagrams.load()) {
            last = m_datagrams.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    uint64_t Datagrams() const { return m_datagrams; }
    // Bytes per second from the first datagram to the last.
    double Rate() const
    {
        const double span = double(m_last - m_first) / 1e9;
        return span > 0 ? double(m_bytes) / span : 0;
    }

private:
    static int64_t Now() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }
    void Run()
    {
        // Only the GVSP header is copied out; MSG_TRUNC still reports each
        // datagram's length. So counting costs far less than sending, and the
        // sender, not the receiver, sets the pace.
        const unsigned batch = 256;
        const unsigned keep = 64;
        std::vector<uint8_t> storage(batch * keep);
        std::vector<mmsghdr> messages(batch);
        std::vector<iovec> elements(batch);
        for (unsigned i = 0; i < batch; ++i) {
            elements[i] = {storage.data() + i * keep, keep};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &elements[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        while (!m_stop) {
            pollfd waiting{m_socket, POLLIN, 0};
            if (poll(&waiting, 1, 20) <= 0)
                continue;
            const int got = recvmmsg(m_socket, messages.data(), batch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
            if (got <= 0)
                continue;
            const int64_t now = Now();
            if (m_datagrams == 0)
                m_first = now;
            m_last = now;
            uint64_t bytes = 0;
            for (int i = 0; i < got; ++i)
                bytes += messages[i].msg_len;
            m_bytes += bytes;
            m_datagrams += uint64_t(got);
        }
    }

    int m_socket = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_datagrams{0};
    std::atomic<uint64_t> m_bytes{0};
    std::atomic<int64_t> m_first{0};
    std::atomic<int64_t> m_last{0};
    std::thread m_thread;
};

uint64_t PacketsPerBlock(uint32_t packetSize)
{
    return Gvsp::DataPacketCount(kBlockSize, Gvsp::DataBytesPerPacket(packetSize, false)) + 2;
}

// Pins the threads of this process whose name begins with `name`.
void PinThreadsNamed(const char* name, int cpu)
{
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string text;
        std::getline(comm, text);
        if (text.rfind(name, 0) != 0)
            continue;
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(cpu, &set);
        sched_setaffinity(pid_t(std::atoi(entry->d_name)), sizeof set, &set);
    }
    closedir(dir);
}

struct Run
{
    bool ok = false;
    uint64_t sent = 0;
    uint64_t received = 0;
    double rate = 0; // bytes per second at the receiver
};

// Queues blocks for `seconds`, then waits for every buffer to come back.
Run RunTransmitter(CountingReceiver& receiver, const Cpus& cpus, uint32_t packetSize, float throughput,
                   double seconds)
{
    Run run;
    std::vector<NqBuffer> buffers(kPoolBuffers);
    std::vector<NqBuffer*> pointers;
    for (NqBuffer& buffer : buffers) {
        if (!buffer.Alloc(kBlockSize).IsOK())
            return run;
        std::memset(buffer.GetDataPointer(), 0x5A, kBlockSize);
        pointers.push_back(&buffer);
    }
    NqTransmitterRaw transmitter;
    if (!transmitter.LoadBufferPool(pointers.data(), uint32_t(pointers.size())).IsOK()
        || !transmitter.SetPacketSize(packetSize).IsOK() || !transmitter.SetMaxPayloadThroughput(throughput).IsOK()
        || !transmitter.Open("127.0.0.1", receiver.Port(), "", 0, false, false, 16, false).IsOK())
        return run;
    PinThreadsNamed("Kyvo User Mode", cpus.sender);
    PinThreadsNamed("Kyvo Transmitte", cpus.caller);
    receiver.Reset();
    uint64_t blocks = 0;
    bool failed = false;
    const Clock::time_point start = Clock::now();
    while (bench::secondsSince(start) < seconds) {
        NqBuffer* buffer = nullptr;
        if (!transmitter.RetrieveFreeBuffer(&buffer, 10000).IsOK() || !buffer) {
            failed = true;
            break;
        }
        if (blocks >= kPoolBuffers && !buffer->GetOperationResult().IsOK())
            failed = true;
        if (!transmitter.QueueBuffer(buffer).IsOK()) {
            failed = true;
            break;
        }
        ++blocks;
    }
    // Every buffer back in the pool: every block sent.
    for (int i = 0; i < kPoolBuffers && !failed; ++i) {
        NqBuffer* buffer = nullptr;
        if (!transmitter.RetrieveFreeBuffer(&buffer, 10000).IsOK() || !buffer
            || !buffer->GetOperationResult().IsOK())
            failed = true;
    }
    receiver.Settle();
    transmitter.Close();
    run.ok = !failed;
    run.sent = PacketsPerBlock(packetSize) * blocks;
    run.received = receiver.Datagrams();
    run.rate = receiver.Rate();
    return run;
}

// The same packets straight through sendmmsg, 16 a call, headers written per
// packet, payload in place from blocks taken in turn.
Run RunRawLoop(CountingReceiver& receiver, int cpu, uint32_t packetSize, double seconds)
{
    Run run;
    receiver.Reset();
    std::thread sender([&] {
        bench::pinThisThread(cpu);
        // As many blocks as the library's pool, sent in turn: the same memory traffic.
        std::vector<std::vector<uint8_t>> payloads(kPoolBuffers, std::vector<uint8_t>(kBlockSize, 0x5A));
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        const int sendBuffer = 64 * 8192;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_port = htons(receiver.Port());
        remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
            close(fd);
            return;
        }
        const uint32_t perPacket = Gvsp::DataBytesPerPacket(packetSize, false);
        const uint64_t total = Gvsp::DataPacketCount(kBlockSize, perPacket) + 2;
        uint8_t headers[16][Gvsp::HeaderAreaSize] = {};
        mmsghdr messages[16] = {};
        iovec elements[32];
        bool failed = false;
        uint64_t blocks = 0;
        const Clock::time_point start = Clock::now();
        for (uint64_t block = 1; !failed && bench::secondsSince(start) < seconds; ++block, ++blocks) {
            const uint8_t* const payload = payloads[block % kPoolBuffers].data();
            for (uint64_t first = 0; first < total && !failed; first += 16) {
                unsigned count = 0;
                for (uint64_t id = first; id < total && count < 16; ++id, ++count) {
                    Gvsp::Header header;
                    header.blockId = Gvsp::NextBlockId(block - 1, false);
                    header.packetId = uint32_t(id);
                    header.format = id == 0 ? Gvsp::FormatLeader
                                            : id == total - 1 ? Gvsp::FormatTrailer : Gvsp::FormatPayload;
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
                        elements[2 * count + 1] = {const_cast<uint8_t*>(payload) + offset, size_t(length)};
                        messages[count].msg_hdr.msg_iovlen = 2;
                    }
                }
                for (unsigned sent = 0; sent < count;) {
                    const int done = sendmmsg(fd, messages + sent, count - sent, 0);
                    if (done <= 0 && errno != EINTR) {
                        failed = true;
                        break;
                    }
                    sent += unsigned(std::max(done, 0));
                }
            }
        }
        close(fd);
        run.ok = !failed;
        run.sent = total * blocks;
    });
    sender.join();
    receiver.Settle();
    run.received = receiver.Datagrams();
    run.rate = receiver.Rate();
    return run;
}

std::string Figure(const std::vector<Run>& runs)
{
    std::vector<double> rates;
    uint64_t lost = 0;
    bool ok = true;
    for (const Run& run : runs) {
        rates.push_back(run.rate / 1e6);
        lost += run.sent - std::min(run.sent, run.received);
        ok = ok && run.ok;
    }
    if (!ok)
        return "failed";
    std::string text = bench::spreadText(bench::spread(rates), "MB/s");
    if (lost)
        text += bench::format(", %llu lost", static_cast<unsigned long long>(lost));
    return text;
}

double Median(const std::vector<Run>& runs)
{
    std::vector<double> rates;
    for (const Run& run : runs)
        rates.push_back(run.rate);
    return bench::spread(rates).median;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : kRunSeconds;
    const std::vector<int> allowed = bench::allowedCpus();
    Cpus cpus;
    if (allowed.size() >= 3) {
        cpus.receiver = allowed[allowed.size() - 1];
        cpus.sender = allowed[allowed.size() - 2];
        cpus.caller = allowed[allowed.size() - 3];
        bench::pinThisThread(cpus.caller);
    }
    CountingReceiver receiver(cpus.receiver);

    for (uint32_t packetSize : {1440u, 9000u}) {
        std::vector<Run> library;
        std::vector<Run> raw;
        for (int i = 0; i < kRepeats; ++i) {
            library.push_back(RunTransmitter(receiver, cpus, packetSize, 0, seconds));
            raw.push_back(RunRawLoop(receiver, cpus.sender, packetSize, seconds));
        }
        bench::row(bench::format("transmitter unpaced, %u B packets (at receiver)", packetSize), Figure(library),
                   Figure(raw), bench::ratio(Median(library), Median(raw)), ">= 0.90x raw sendmmsg loop");
    }

    for (const double limit : {100e6, 900e6, 1000e6}) {
        const Run run = RunTransmitter(receiver, cpus, 1440, float(limit), seconds);
        // Payload bits per second at the receiver, without the GVSP headers.
        const double perPacket = Gvsp::DataBytesPerPacket(1440, false);
        const double payloadRate = run.rate * perPacket / (perPacket + Gvsp::StandardHeaderSize) * 8;
        std::string figure = run.ok ? bench::format("%.1f Mb/s", payloadRate / 1e6) : std::string("failed");
        if (run.ok && run.sent != run.received)
            figure += bench::format(", %llu lost", static_cast<unsigned long long>(run.sent - run.received));
        bench::row(bench::format("transmitter paced %.0f Mb/s, 1440 B (at receiver)", limit / 1e6), figure,
                   bench::format("%.0f Mb/s set", limit / 1e6), bench::ratio(payloadRate, limit),
                   "1.00x +-1 %, lossless");
    }
    return 0;
}
