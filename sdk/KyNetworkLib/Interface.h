#pragma once

#include <cstdint>
#include <string>

namespace KyNetworkLib {

// One IPv4 address of a network interface of this machine.
class Interface
{
public:
    // Served by an ordinary socket, or by the camera SDK's filter driver.
    enum Type : uint32_t { TypeSocket = 0, TypeFilterDriver = 1 };

    Interface(const std::string& name, const std::string& ip, const std::string& mac, Type type, uint32_t systemIndex)
        : m_name(name), m_ip(ip), m_mac(mac), m_type(type), m_systemIndex(systemIndex)
    {
    }

    const std::string& GetName() const { return m_name; }
    const std::string& GetIP() const { return m_ip; }
    // "aa:bb:cc:dd:ee:ff"; all zero for interfaces without a hardware address (loopback).
    const std::string& GetMAC() const { return m_mac; }
    Type GetType() const { return m_type; }
    uint32_t GetSystemIndex() const { return m_systemIndex; }

private:
    std::string m_name;
    std::string m_ip;
    std::string m_mac;
    Type m_type;
    uint32_t m_systemIndex;
};

} // namespace KyNetworkLib
