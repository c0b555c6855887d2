#pragma once

// GigE Vision control protocol (GVCP) as our test peers speak it: the header
// layouts, the commands and bootstrap registers they serve, and builders next
// to parsers so a test can feed one into the other. Everything is big-endian
// on the wire; parsers check every length before they read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gvcp {

constexpr uint16_t Port = 3956;
constexpr uint8_t Key = 0x42;
constexpr size_t HeaderSize = 8;

constexpr uint8_t FlagAckRequired = 0x01;
constexpr uint8_t FlagAllowBroadcastAck = 0x10;

enum Command : uint16_t {
    DiscoveryCmd = 0x0002,
    DiscoveryAck = 0x0003,
    ForceIpCmd = 0x0004,
    ForceIpAck = 0x0005,
    PacketResendCmd = 0x0040,
    ReadRegCmd = 0x0080,
    ReadRegAck = 0x0081,
    WriteRegCmd = 0x0082,
    WriteRegAck = 0x0083,
    ReadMemCmd = 0x0084,
    ReadMemAck = 0x0085,
    WriteMemCmd = 0x0086,
    WriteMemAck = 0x0087,
};

enum Status : uint16_t {
    StatusSuccess = 0x0000,
    StatusNotImplemented = 0x8001,
    StatusInvalidParameter = 0x8002,
    StatusInvalidAddress = 0x8003,
    StatusWriteProtect = 0x8004,
    StatusBadAlignment = 0x8005,
    StatusAccessDenied = 0x8006,
    StatusBusy = 0x8007,
};

// Bootstrap registers.
constexpr uint32_t RegVersion = 0x0000;
constexpr uint32_t RegDeviceMode = 0x0004;
constexpr uint32_t RegMacHigh = 0x0008;
constexpr uint32_t RegMacLow = 0x000C;
constexpr uint32_t RegIpConfigOptions = 0x0010;
constexpr uint32_t RegIpConfigCurrent = 0x0014;
constexpr uint32_t RegCurrentIp = 0x0024;
constexpr uint32_t RegCurrentMask = 0x0034;
constexpr uint32_t RegCurrentGateway = 0x0044;
constexpr uint32_t RegManufacturerName = 0x0048; // 32 bytes
constexpr uint32_t RegModelName = 0x0068;        // 32 bytes
constexpr uint32_t RegDeviceVersion = 0x0088;    // 32 bytes
constexpr uint32_t RegManufacturerInfo = 0x00A8; // 48 bytes
constexpr uint32_t RegSerialNumber = 0x00D8;     // 16 bytes
constexpr uint32_t RegUserName = 0x00E8;         // 16 bytes
constexpr uint32_t DiscoveryDataSize = 0x00F8;
constexpr uint32_t RegXmlUrl0 = 0x0200; // 512 bytes
constexpr uint32_t RegPersistentIp = 0x064C;
constexpr uint32_t RegPersistentMask = 0x065C;
constexpr uint32_t RegPersistentGateway = 0x066C;
constexpr uint32_t RegHeartbeatTimeout = 0x0938;
constexpr uint32_t RegTimestampFrequencyHigh = 0x093C;
constexpr uint32_t RegControlChannelPrivilege = 0x0A00;
constexpr uint32_t RegStreamPort0 = 0x0D00;       // SCP: host port in the low 16 bits
constexpr uint32_t RegStreamPacketSize0 = 0x0D04; // SCPS: packet size in the low 16 bits
constexpr uint32_t RegStreamPacketDelay0 = 0x0D08;
constexpr uint32_t RegStreamDestination0 = 0x0D18; // SCDA

constexpr uint32_t PrivilegeExclusive = 0x1;
constexpr uint32_t PrivilegeControl = 0x2;

constexpr size_t ForceIpPayloadSize = 56;
constexpr size_t MaxReadMemCount = 536; // largest READMEM answer that fits a 576-byte datagram

using Mac = std::array<uint8_t, 6>;

inline void put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void put32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline uint16_t get16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t get32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

struct CommandHeader
{
    uint8_t flags = 0;
    uint16_t command = 0;
    uint16_t length = 0; // payload bytes after the header
    uint16_t requestId = 0;
};

struct AckHeader
{
    uint16_t status = 0;
    uint16_t answer = 0;
    uint16_t length = 0;
    uint16_t ackId = 0;
};

// Parses a command; false when the datagram is short, has the wrong key or
// announces more payload than it carries. `payload` then points after the header.
bool parseCommand(const uint8_t* data, size_t size, CommandHeader& header, const uint8_t*& payload);
std::vector<uint8_t> buildCommand(uint16_t command, uint8_t flags, uint16_t requestId,
                                  const std::vector<uint8_t>& payload = {});

bool parseAck(const uint8_t* data, size_t size, AckHeader& header, const uint8_t*& payload);
std::vector<uint8_t> buildAck(uint16_t status, uint16_t answer, uint16_t ackId,
                              const std::vector<uint8_t>& payload = {});

// The identity block a DISCOVERY ack carries (bootstrap 0x0000..0x00F7).
struct DiscoveryData
{
    uint32_t ip = 0;
    uint32_t mask = 0;
    uint32_t gateway = 0;
    Mac mac{};
    uint32_t ipConfigCurrent = 0x00000005; // persistent IP + LLA
    std::string manufacturer;
    std::string model;
    std::string version;
    std::string manufacturerInfo;
    std::string serial;
    std::string userName;
};

std::vector<uint8_t> encodeDiscoveryData(const DiscoveryData& data);
bool decodeDiscoveryData(const uint8_t* data, size_t size, DiscoveryData& out);

struct ForceIp
{
    Mac mac{};
    uint32_t ip = 0;
    uint32_t mask = 0;
    uint32_t gateway = 0;
};

std::vector<uint8_t> encodeForceIp(const ForceIp& request);
bool decodeForceIp(const uint8_t* data, size_t size, ForceIp& out);

// "02:4b:53:00:00:01" <-> bytes; false on anything but six hex pairs.
bool parseMac(const std::string& text, Mac& mac);
std::string formatMac(const Mac& mac);
// Dotted IPv4 text <-> host-order value; false on malformed text.
bool parseIpv4(const std::string& text, uint32_t& ip);
std::string formatIpv4(uint32_t ip);

// A zero-padded (not necessarily terminated) text field of a register block.
void putText(uint8_t* field, size_t fieldSize, const std::string& text);
std::string getText(const uint8_t* field, size_t fieldSize);

} // namespace gvcp
