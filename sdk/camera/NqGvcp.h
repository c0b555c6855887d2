#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// GigE Vision control protocol (GVCP) wire format, for both ends: our own
// discovery, access check and IP forcing, and the test peers that answer
// them (simulated camera, scripted peer). Builders sit next to parsers so a
// test can feed one into the other. Every parser checks lengths first, since
// anything from the network is untrusted. Multi-byte fields are big-endian on
// the wire.
namespace NqGvcp {

constexpr uint16_t GVCP_PORT = 3956;
constexpr uint8_t GVCP_KEY = 0x42;
constexpr size_t GVCP_HEADER_SIZE = 8;

// Command header flags.
constexpr uint8_t GVCP_CMD_FLAG_ACKNOWLEDGE = 0x01;
constexpr uint8_t GVCP_DISCOVERY_FLAG_ALLOW_BROADCAST_ACK = 0x10;
// PACKETRESEND_CMD with 64-bit block ids and 32-bit packet ids.
constexpr uint8_t GVCP_RESEND_FLAG_EXTENDED_IDS = 0x10;

enum Command : uint16_t {
    DISCOVERY_CMD = 0x0002,
    DISCOVERY_ACK = 0x0003,
    FORCEIP_CMD = 0x0004,
    FORCEIP_ACK = 0x0005,
    PACKETRESEND_CMD = 0x0040,
    READREG_CMD = 0x0080,
    READREG_ACK = 0x0081,
    WRITEREG_CMD = 0x0082,
    WRITEREG_ACK = 0x0083,
    READMEM_CMD = 0x0084,
    READMEM_ACK = 0x0085,
    WRITEMEM_CMD = 0x0086,
    WRITEMEM_ACK = 0x0087,
    PENDING_ACK = 0x0089,
};

enum Status : uint16_t {
    GEV_STATUS_SUCCESS = 0x0000,
    GEV_STATUS_NOT_IMPLEMENTED = 0x8001,
    GEV_STATUS_INVALID_PARAMETER = 0x8002,
    GEV_STATUS_INVALID_ADDRESS = 0x8003,
    GEV_STATUS_WRITE_PROTECT = 0x8004,
    GEV_STATUS_BAD_ALIGNMENT = 0x8005,
    GEV_STATUS_ACCESS_DENIED = 0x8006,
    GEV_STATUS_BUSY = 0x8007,
    GEV_STATUS_ERROR = 0x8FFF,
};

// Bootstrap registers.
constexpr uint32_t REG_VERSION = 0x0000;
constexpr uint32_t REG_DEVICE_MODE = 0x0004;
constexpr uint32_t REG_SUPPORTED_IP_CONFIGURATION = 0x0010;
constexpr uint32_t REG_CURRENT_IP_CONFIGURATION = 0x0014;
constexpr uint32_t REG_FIRST_URL = 0x0200; // 512 bytes
constexpr uint32_t REG_GVCP_CAPABILITY = 0x0934;
constexpr uint32_t REG_HEARTBEAT_TIMEOUT = 0x0938;
constexpr uint32_t REG_CONTROL_CHANNEL_PRIVILEGE = 0x0A00;    // CCP
constexpr uint32_t REG_STREAM_CHANNEL_PORT_0 = 0x0D00;        // SCP0, host port in bits 0..15
constexpr uint32_t REG_STREAM_CHANNEL_PACKET_SIZE_0 = 0x0D04; // SCPS0, packet size in bits 0..15
constexpr uint32_t REG_STREAM_CHANNEL_DESTINATION_0 = 0x0D18; // SCDA0
constexpr uint32_t STREAM_CHANNEL_STRIDE = 0x40;

// Bit of the GVCP capability register: the device answers PACKETRESEND_CMD.
constexpr uint32_t GVCP_CAPABILITY_PACKET_RESEND = 0x4;

// Bits of the control channel privilege register.
constexpr uint32_t CCP_EXCLUSIVE_ACCESS = 0x1;
constexpr uint32_t CCP_CONTROL_ACCESS = 0x2;

// A DISCOVERY_ACK payload has the layout of bootstrap registers 0x0000..0x00F7.
constexpr size_t DISCOVERY_ACK_PAYLOAD_SIZE = 0xF8;
constexpr size_t FORCEIP_CMD_PAYLOAD_SIZE = 56;
constexpr size_t PACKETRESEND_CMD_PAYLOAD_SIZE = 12;
constexpr size_t PACKETRESEND_CMD_EXTENDED_PAYLOAD_SIZE = 20;
// Standard packet ids have 24 bits; this last id asks for the rest of the block.
constexpr uint32_t PACKETRESEND_TO_END = 0xFFFFFF;
// The largest READMEM answer that fits a 576-byte datagram.
constexpr size_t READMEM_MAX_COUNT = 536;

// Offsets inside a DISCOVERY_ACK payload (= bootstrap register addresses).
constexpr size_t OFFSET_MAC_HIGH = 0x08;
constexpr size_t OFFSET_MAC_LOW = 0x0C;
constexpr size_t OFFSET_CURRENT_IP = 0x24;
constexpr size_t OFFSET_CURRENT_SUBNET_MASK = 0x34;
constexpr size_t OFFSET_CURRENT_GATEWAY = 0x44;
constexpr size_t OFFSET_MANUFACTURER_NAME = 0x48;
constexpr size_t OFFSET_MODEL_NAME = 0x68;
constexpr size_t OFFSET_DEVICE_VERSION = 0x88;
constexpr size_t OFFSET_MANUFACTURER_INFO = 0xA8;
constexpr size_t OFFSET_SERIAL_NUMBER = 0xD8;
constexpr size_t OFFSET_USER_DEFINED_NAME = 0xE8;
constexpr size_t LENGTH_MANUFACTURER_NAME = 32;
constexpr size_t LENGTH_MODEL_NAME = 32;
constexpr size_t LENGTH_DEVICE_VERSION = 32;
constexpr size_t LENGTH_MANUFACTURER_INFO = 48;
constexpr size_t LENGTH_SERIAL_NUMBER = 16;
constexpr size_t LENGTH_USER_DEFINED_NAME = 16;

// Offsets inside a FORCEIP_CMD payload.
constexpr size_t FORCEIP_OFFSET_MAC_HIGH = 2;
constexpr size_t FORCEIP_OFFSET_MAC_LOW = 4;
constexpr size_t FORCEIP_OFFSET_STATIC_IP = 20;
constexpr size_t FORCEIP_OFFSET_STATIC_SUBNET_MASK = 36;
constexpr size_t FORCEIP_OFFSET_STATIC_GATEWAY = 52;

using Mac = std::array<uint8_t, 6>;
using Packet = std::vector<uint8_t>;

// Big-endian field accessors; callers check the length first.
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
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Command header (host order). For an acknowledge the same eight bytes read
// as status, answer, length, ack id.
struct Header
{
    uint8_t flags = 0;
    uint16_t command = 0;
    uint16_t length = 0;
    uint16_t requestId = 0;
};

struct AckHeader
{
    uint16_t status = 0;
    uint16_t answer = 0;
    uint16_t length = 0;
    uint16_t ackId = 0;
};

// What a DISCOVERY_ACK (or the bootstrap block) says about a camera. IPv4
// addresses are in host order.
struct DeviceRecord
{
    Mac mac{};
    uint32_t ip = 0;
    uint32_t subnetMask = 0;
    uint32_t gateway = 0;
    uint32_t currentIpConfiguration = 0x00000005; // persistent IP + LLA
    std::string manufacturer, model, version, manufacturerInfo, serial, userName;
};

struct ForceIp
{
    Mac mac{};
    uint32_t ip = 0;
    uint32_t subnetMask = 0;
    uint32_t gateway = 0;
};

// A receiver's request to send packets first..last of one block again.
struct PacketResend
{
    uint16_t streamChannel = 0;
    uint64_t blockId = 0; // 16 bits unless extendedIds
    uint32_t firstPacketId = 0;
    uint32_t lastPacketId = 0;
    bool extendedIds = false;
};

// Builders.
Packet buildCommand(uint16_t command, uint8_t flags, uint16_t requestId, const std::vector<uint8_t>& payload = {});
Packet buildDiscoveryCmd(uint16_t requestId);
Packet buildReadRegCmd(uint16_t requestId, const std::vector<uint32_t>& addresses);
Packet buildForceIpCmd(uint16_t requestId, const ForceIp& force);
std::vector<uint8_t> buildForceIpPayload(const ForceIp& force);
Packet buildAck(uint16_t status, uint16_t answer, uint16_t ackId, const std::vector<uint8_t>& payload = {});
Packet buildDiscoveryAck(uint16_t ackId, const DeviceRecord& record);
std::vector<uint8_t> buildDeviceRecord(const DeviceRecord& record);
// No acknowledge is asked for: a device never answers a resend request.
Packet buildPacketResendCmd(uint16_t requestId, const PacketResend& request);

// Parsers: false when the packet is short, malformed or of another kind. The
// header parsers also refuse a length field that claims more than arrived;
// `payload` then points after the header.
bool parseHeader(const uint8_t* data, size_t size, Header& header);
bool parseHeader(const uint8_t* data, size_t size, Header& header, const uint8_t*& payload);
bool parseAckHeader(const uint8_t* data, size_t size, AckHeader& ack);
bool parseAckHeader(const uint8_t* data, size_t size, AckHeader& ack, const uint8_t*& payload);
bool parseDeviceRecord(const uint8_t* data, size_t size, DeviceRecord& record);
bool parseDiscoveryAck(const uint8_t* data, size_t size, uint16_t ackId, DeviceRecord& record);
bool parseReadRegAck(const uint8_t* data, size_t size, uint16_t ackId, std::vector<uint32_t>& values);
bool parseForceIpCmd(const uint8_t* data, size_t size, ForceIp& force);
bool parseForceIpPayload(const uint8_t* data, size_t size, ForceIp& force);
// Standard ids keep the low 24 bits of the packet ids.
bool parsePacketResendCmd(const uint8_t* data, size_t size, PacketResend& request);
// A successful FORCEIP_ACK with this ack id.
bool isForceIpAck(const uint8_t* data, size_t size, uint16_t ackId);

// Text forms: "a.b.c.d" and "xx:xx:xx:xx:xx:xx" (':' or '-' accepted when parsing).
std::string formatIp(uint32_t ip);
bool parseIp(const std::string& text, uint32_t& ip);
std::string formatMac(const Mac& mac);
bool parseMac(const std::string& text, Mac& mac);
// A fixed-size, NUL-padded text field; stops at the first NUL.
std::string fixedText(const uint8_t* data, size_t size);
// Writes `text` into such a field, cut so that a terminating NUL always fits.
void putFixedText(uint8_t* data, size_t size, const std::string& text);

// True when `ip` lies in the subnet of `interfaceIp`/`mask`.
bool inSubnet(uint32_t ip, uint32_t interfaceIp, uint32_t mask);

} // namespace NqGvcp
