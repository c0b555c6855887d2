#include "camera/NqReceiverTuning.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

// Requested receive buffer; the system caps it (net.core.rmem_max). At the
// link rate of GigE this bridges some 60 ms without the receiving thread.
constexpr int kSocketBufferBytes = 8 * 1024 * 1024;
// After the last packet of an unfinished frame, how long missing packets may
// still come (resent, or late because the receiving thread was held up).
constexpr guint kFrameRetentionUs = 300000;
// Between two resend requests for the same packet.
constexpr guint kPacketTimeoutUs = 50000;
// How far the receiving thread lowers its nice value below the process's,
// where the system allows it (root, CAP_SYS_NICE, or an RLIMIT_NICE that
// reaches it): some ten times the share of the process's other threads,
// whatever nice value the process was started with.
constexpr int kReceiverRaise = 10;
// How long opening a stream waits for its receiving thread to have tried:
// the thread starts at once, but a loaded machine may schedule it late.
constexpr auto kRaiseWait = std::chrono::seconds(2);
const char* const kRecordKey = "nq-receiver-priority";

// A stream's record of its receiving thread's raise: written by the thread,
// read by whoever opened the stream. It lives as long as the stream object,
// whose finalizer joins the thread first.
struct PriorityRecord
{
    std::mutex mutex;
    std::condition_variable tried;
    NqReceiverPriority priority;
};

int niceOf(id_t task)
{
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, task);
    return errno == 0 ? nice : 0;
}

// Raises the calling thread above the process it runs in.
NqReceiverPriority raiseThisThread()
{
    NqReceiverPriority result;
    result.processNice = niceOf(id_t(::getpid()));
    const int wanted = std::max(result.processNice - kReceiverRaise, -20);
    if (::setpriority(PRIO_PROCESS, id_t(::gettid()), wanted) == 0) {
        result.state = NqReceiverPriority::State::Raised;
    } else {
        result.state = NqReceiverPriority::State::Refused;
        result.error = errno;
    }
    result.threadNice = niceOf(id_t(::gettid()));
    return result;
}

// The callback of every stream nqCreateStream makes; `userData` is its record.
void onReceiverThread(void* userData, ArvStreamCallbackType type, ArvBuffer*)
{
    if (type != ARV_STREAM_CALLBACK_TYPE_INIT)
        return;
    const NqReceiverPriority priority = raiseThisThread();
    if (auto* record = static_cast<PriorityRecord*>(userData)) {
        {
            std::lock_guard<std::mutex> lock(record->mutex);
            record->priority = priority;
        }
        record->tried.notify_all();
    }
}

// The stream's UDP socket: the one of this process bound to its port.
int streamSocket(ArvGvStream* stream)
{
    const guint16 port = arv_gv_stream_get_port(stream);
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == ::dirfd(dir))
            continue;
        int type = 0;
        socklen_t typeSize = sizeof type;
        sockaddr_in address{};
        socklen_t addressSize = sizeof address;
        if (::getsockopt(int(fd), SOL_SOCKET, SO_TYPE, &type, &typeSize) == 0 && type == SOCK_DGRAM
            && ::getsockname(int(fd), reinterpret_cast<sockaddr*>(&address), &addressSize) == 0
            && address.sin_family == AF_INET && ntohs(address.sin_port) == port) {
            found = int(fd);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

void nqTuneReceiver(ArvStream* stream)
{
    if (!ARV_IS_GV_STREAM(stream))
        return;
    // A fixed size: the automatic one is the size of one frame, which a
    // thread held up for a frame period already overflows. Lost packets are
    // asked for again (Aravis leaves that off for a camera that does not
    // announce it).
    g_object_set(stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_FIXED, "socket-buffer-size",
                 kSocketBufferBytes, "frame-retention", kFrameRetentionUs, "packet-timeout", kPacketTimeoutUs,
                 "packet-resend", ARV_GV_STREAM_PACKET_RESEND_ALWAYS, nullptr);
    // Aravis applies the size only when the first frame begins, and until
    // then the system default holds about a millisecond of the link: a
    // receiving thread that wakes late would lose the start of the stream.
    const int fd = streamSocket(ARV_GV_STREAM(stream));
    if (fd >= 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBufferBytes, sizeof kSocketBufferBytes);
}

ArvStream* nqCreateStream(ArvDevice* device, GError** error)
{
    auto* record = new PriorityRecord;
    ArvStream* stream = arv_device_create_stream(device, onReceiverThread, record, error);
    if (!stream) {
        delete record;
        return nullptr;
    }
    g_object_set_data_full(G_OBJECT(stream), kRecordKey, record,
                           [](gpointer data) { delete static_cast<PriorityRecord*>(data); });
    nqTuneReceiver(stream);
    std::unique_lock<std::mutex> lock(record->mutex);
    record->tried.wait_for(lock, kRaiseWait,
                           [record] { return record->priority.state != NqReceiverPriority::State::Pending; });
    return stream;
}

NqReceiverPriority nqReceiverPriority(ArvStream* stream)
{
    auto* record = stream ? static_cast<PriorityRecord*>(g_object_get_data(G_OBJECT(stream), kRecordKey)) : nullptr;
    if (!record)
        return NqReceiverPriority();
    std::lock_guard<std::mutex> lock(record->mutex);
    return record->priority;
}
