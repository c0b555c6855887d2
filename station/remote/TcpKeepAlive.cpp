#include "remote/TcpKeepAlive.h"

#include <QString>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace TcpKeepAlive {

bool enable(qintptr descriptor, int idleS, int intervalS, int probes, QString* why)
{
    const int on = 1;
    const struct
    {
        int level;
        int name;
        const int* value;
        const char* text;
    } options[] = {
        {SOL_SOCKET, SO_KEEPALIVE, &on, "SO_KEEPALIVE"},
        {IPPROTO_TCP, TCP_KEEPIDLE, &idleS, "TCP_KEEPIDLE"},
        {IPPROTO_TCP, TCP_KEEPINTVL, &intervalS, "TCP_KEEPINTVL"},
        {IPPROTO_TCP, TCP_KEEPCNT, &probes, "TCP_KEEPCNT"},
    };
    for (const auto& o : options) {
        if (::setsockopt(int(descriptor), o.level, o.name, o.value, sizeof(int)) != 0) {
            *why = QStringLiteral("%1: %2").arg(QLatin1String(o.text), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    return true;
}

} // namespace TcpKeepAlive
