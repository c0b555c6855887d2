#include "camera/NqReceiverTuning.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Requested receive buffer; the system caps it (net.core.rmem_max). At the
// link rate of GigE this bridges some 60 ms without the receiving thread.
constexpr int kSocketBufferBytes = 8 * 1024 * 1024;
// After the last packet of an unfinished frame, how long missing packets may
// still come (resent, or late because the receiving thread was held up).
constexpr guint kFrameRetentionUs = 300000;
// Between two resend requests for the same packet.
constexpr guint kPacketTimeoutUs = 50000;
// The receiving thread's nice value, where the system allows it (root, or an
// RLIMIT_NICE that reaches it): some ten times the share of a normal thread.
constexpr int kReceiverNice = -10;

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

void nqOnReceiverThread(void*, ArvStreamCallbackType type, ArvBuffer*)
{
    if (type == ARV_STREAM_CALLBACK_TYPE_INIT)
        ::setpriority(PRIO_PROCESS, id_t(::gettid()), kReceiverNice);
}
