#include "KyNetworkLib/SocketUDP.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KyNetworkLib {

namespace {

sockaddr_in Endpoint(uint32_t hostOrderAddress, uint16_t port)
{
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    endpoint.sin_addr.s_addr = htonl(hostOrderAddress);
    return endpoint;
}

bool LocalEndpoint(int handle, sockaddr_in& endpoint)
{
    socklen_t length = sizeof endpoint;
    return handle >= 0 && getsockname(handle, reinterpret_cast<sockaddr*>(&endpoint), &length) == 0;
}

} // namespace

NzUtilsLib::Result SocketUDP::Create()
{
    Close();
    m_handle = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    return m_handle < 0 ? Failed() : NzUtilsLib::Result::Success;
}

NzUtilsLib::Result SocketUDP::Bind(const IpAddress* local, uint16_t port)
{
    const sockaddr_in endpoint = Endpoint(local ? local->GetValue() : INADDR_ANY, port);
    if (bind(m_handle, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0)
        return Failed();
    return NzUtilsLib::Result::Success;
}

NzUtilsLib::Result SocketUDP::SetOption(int level, int name, int value)
{
    if (setsockopt(m_handle, level, name, &value, sizeof value) != 0)
        return Failed();
    return NzUtilsLib::Result::Success;
}

NzUtilsLib::Result SocketUDP::Connect(const IpAddress& remote, uint16_t port)
{
    const sockaddr_in endpoint = Endpoint(remote.GetValue(), port);
    if (connect(m_handle, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0)
        return Failed();
    return NzUtilsLib::Result::Success;
}

void SocketUDP::Close()
{
    if (m_handle >= 0)
        close(m_handle);
    m_handle = -1;
}

uint16_t SocketUDP::GetHostPort() const
{
    sockaddr_in endpoint{};
    return LocalEndpoint(m_handle, endpoint) ? ntohs(endpoint.sin_port) : 0;
}

bool SocketUDP::GetHostAddress(IpAddress& address) const
{
    sockaddr_in endpoint{};
    if (!LocalEndpoint(m_handle, endpoint))
        return false;
    address.Set(ntohl(endpoint.sin_addr.s_addr));
    return true;
}

NzUtilsLib::Result SocketUDP::Failed()
{
    m_lastError = errno;
    return NzUtilsLib::Result(NetworkError);
}

} // namespace KyNetworkLib
