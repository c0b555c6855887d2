#pragma once

#include "KyNetworkLib/IpAddress.h"
#include "NzUtilsLib/Result.h"

#include <cstdint>

namespace KyNetworkLib {

// Blocking IPv4 UDP socket. Failed steps return code 19 (network error) and
// keep the system error for the caller's message (GetLastError).
class SocketUDP
{
public:
    enum : uint32_t { NetworkError = 19 };

    SocketUDP() = default;
    ~SocketUDP() { Close(); }
    SocketUDP(const SocketUDP&) = delete;
    SocketUDP& operator=(const SocketUDP&) = delete;

    NzUtilsLib::Result Create();
    // Null local address: any local address; port 0: the system chooses.
    NzUtilsLib::Result Bind(const IpAddress* local, uint16_t port);
    NzUtilsLib::Result SetOption(int level, int name, int value);
    NzUtilsLib::Result Connect(const IpAddress& remote, uint16_t port);
    void Close();

    bool IsOpen() const { return m_handle >= 0; }
    int GetHandle() const { return m_handle; }
    int GetLastError() const { return m_lastError; }
    // Local port and address once bound; 0 and false when unknown.
    uint16_t GetHostPort() const;
    bool GetHostAddress(IpAddress& address) const;

private:
    NzUtilsLib::Result Failed();

    int m_handle = -1;
    int m_lastError = 0;
};

} // namespace KyNetworkLib
