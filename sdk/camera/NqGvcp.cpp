#include "camera/NqGvcp.h"

#include <cstdio>
#include <cstring>

namespace NqGvcp {

namespace {

void putMac(uint8_t* high, uint8_t* low, const Mac& mac)
{
    high[0] = mac[0];
    high[1] = mac[1];
    std::memcpy(low, &mac[2], 4);
}

Mac getMac(const uint8_t* high, const uint8_t* low)
{
    Mac mac{};
    mac[0] = high[0];
    mac[1] = high[1];
    std::memcpy(&mac[2], low, 4);
    return mac;
}

// The ack's payload when it is an acknowledge of `answer` with `ackId`, else null.
const uint8_t* ackPayload(const uint8_t* data, size_t size, uint16_t answer, uint16_t ackId,
                          size_t& payloadSize)
{
    AckHeader ack;
    if (!parseAckHeader(data, size, ack) || ack.answer != answer || ack.ackId != ackId
        || ack.status != GEV_STATUS_SUCCESS)
        return nullptr;
    payloadSize = ack.length;
    return data + GVCP_HEADER_SIZE;
}

} // namespace

Packet buildCommand(uint16_t command, uint8_t flags, uint16_t requestId, const std::vector<uint8_t>& payload)
{
    Packet packet(GVCP_HEADER_SIZE + payload.size(), 0);
    packet[0] = GVCP_KEY;
    packet[1] = flags;
    put16(&packet[2], command);
    put16(&packet[4], uint16_t(payload.size()));
    put16(&packet[6], requestId);
    if (!payload.empty())
        std::memcpy(&packet[GVCP_HEADER_SIZE], payload.data(), payload.size());
    return packet;
}

Packet buildDiscoveryCmd(uint16_t requestId)
{
    return buildCommand(DISCOVERY_CMD, GVCP_CMD_FLAG_ACKNOWLEDGE | GVCP_DISCOVERY_FLAG_ALLOW_BROADCAST_ACK, requestId);
}

Packet buildReadRegCmd(uint16_t requestId, const std::vector<uint32_t>& addresses)
{
    std::vector<uint8_t> payload(addresses.size() * 4);
    for (size_t i = 0; i < addresses.size(); ++i)
        put32(&payload[4 * i], addresses[i]);
    return buildCommand(READREG_CMD, GVCP_CMD_FLAG_ACKNOWLEDGE, requestId, payload);
}

std::vector<uint8_t> buildForceIpPayload(const ForceIp& force)
{
    std::vector<uint8_t> payload(FORCEIP_CMD_PAYLOAD_SIZE, 0);
    uint8_t* p = payload.data();
    putMac(p + FORCEIP_OFFSET_MAC_HIGH, p + FORCEIP_OFFSET_MAC_LOW, force.mac);
    put32(p + FORCEIP_OFFSET_STATIC_IP, force.ip);
    put32(p + FORCEIP_OFFSET_STATIC_SUBNET_MASK, force.subnetMask);
    put32(p + FORCEIP_OFFSET_STATIC_GATEWAY, force.gateway);
    return payload;
}

Packet buildForceIpCmd(uint16_t requestId, const ForceIp& force)
{
    return buildCommand(FORCEIP_CMD, GVCP_CMD_FLAG_ACKNOWLEDGE, requestId, buildForceIpPayload(force));
}

Packet buildAck(uint16_t status, uint16_t answer, uint16_t ackId, const std::vector<uint8_t>& payload)
{
    Packet packet(GVCP_HEADER_SIZE + payload.size(), 0);
    put16(&packet[0], status);
    put16(&packet[2], answer);
    put16(&packet[4], uint16_t(payload.size()));
    put16(&packet[6], ackId);
    if (!payload.empty())
        std::memcpy(&packet[GVCP_HEADER_SIZE], payload.data(), payload.size());
    return packet;
}

std::vector<uint8_t> buildDeviceRecord(const DeviceRecord& record)
{
    std::vector<uint8_t> payload(DISCOVERY_ACK_PAYLOAD_SIZE, 0);
    uint8_t* p = payload.data();
    put32(p + REG_VERSION, 0x00010002);     // GigE Vision 1.2
    put32(p + REG_DEVICE_MODE, 0x80000000); // big-endian registers, transmitter
    putMac(p + OFFSET_MAC_HIGH + 2, p + OFFSET_MAC_LOW, record.mac);
    put32(p + REG_SUPPORTED_IP_CONFIGURATION, 0x80000007);
    put32(p + REG_CURRENT_IP_CONFIGURATION, record.currentIpConfiguration);
    put32(p + OFFSET_CURRENT_IP, record.ip);
    put32(p + OFFSET_CURRENT_SUBNET_MASK, record.subnetMask);
    put32(p + OFFSET_CURRENT_GATEWAY, record.gateway);
    putFixedText(p + OFFSET_MANUFACTURER_NAME, LENGTH_MANUFACTURER_NAME, record.manufacturer);
    putFixedText(p + OFFSET_MODEL_NAME, LENGTH_MODEL_NAME, record.model);
    putFixedText(p + OFFSET_DEVICE_VERSION, LENGTH_DEVICE_VERSION, record.version);
    putFixedText(p + OFFSET_MANUFACTURER_INFO, LENGTH_MANUFACTURER_INFO, record.manufacturerInfo);
    putFixedText(p + OFFSET_SERIAL_NUMBER, LENGTH_SERIAL_NUMBER, record.serial);
    putFixedText(p + OFFSET_USER_DEFINED_NAME, LENGTH_USER_DEFINED_NAME, record.userName);
    return payload;
}

Packet buildDiscoveryAck(uint16_t ackId, const DeviceRecord& record)
{
    return buildAck(GEV_STATUS_SUCCESS, DISCOVERY_ACK, ackId, buildDeviceRecord(record));
}

bool parseHeader(const uint8_t* data, size_t size, Header& header)
{
    if (!data || size < GVCP_HEADER_SIZE || data[0] != GVCP_KEY)
        return false;
    header.flags = data[1];
    header.command = get16(data + 2);
    header.length = get16(data + 4);
    header.requestId = get16(data + 6);
    return size >= GVCP_HEADER_SIZE + header.length;
}

bool parseHeader(const uint8_t* data, size_t size, Header& header, const uint8_t*& payload)
{
    if (!parseHeader(data, size, header))
        return false;
    payload = data + GVCP_HEADER_SIZE;
    return true;
}

bool parseAckHeader(const uint8_t* data, size_t size, AckHeader& ack)
{
    if (!data || size < GVCP_HEADER_SIZE)
        return false;
    ack.status = get16(data);
    ack.answer = get16(data + 2);
    ack.length = get16(data + 4);
    ack.ackId = get16(data + 6);
    return size >= GVCP_HEADER_SIZE + ack.length;
}

bool parseAckHeader(const uint8_t* data, size_t size, AckHeader& ack, const uint8_t*& payload)
{
    if (!parseAckHeader(data, size, ack))
        return false;
    payload = data + GVCP_HEADER_SIZE;
    return true;
}

bool parseDeviceRecord(const uint8_t* p, size_t size, DeviceRecord& record)
{
    if (!p || size < DISCOVERY_ACK_PAYLOAD_SIZE)
        return false;
    record.mac = getMac(p + OFFSET_MAC_HIGH + 2, p + OFFSET_MAC_LOW);
    record.currentIpConfiguration = get32(p + REG_CURRENT_IP_CONFIGURATION);
    record.ip = get32(p + OFFSET_CURRENT_IP);
    record.subnetMask = get32(p + OFFSET_CURRENT_SUBNET_MASK);
    record.gateway = get32(p + OFFSET_CURRENT_GATEWAY);
    record.manufacturer = fixedText(p + OFFSET_MANUFACTURER_NAME, LENGTH_MANUFACTURER_NAME);
    record.model = fixedText(p + OFFSET_MODEL_NAME, LENGTH_MODEL_NAME);
    record.version = fixedText(p + OFFSET_DEVICE_VERSION, LENGTH_DEVICE_VERSION);
    record.manufacturerInfo = fixedText(p + OFFSET_MANUFACTURER_INFO, LENGTH_MANUFACTURER_INFO);
    record.serial = fixedText(p + OFFSET_SERIAL_NUMBER, LENGTH_SERIAL_NUMBER);
    record.userName = fixedText(p + OFFSET_USER_DEFINED_NAME, LENGTH_USER_DEFINED_NAME);
    return true;
}

bool parseDiscoveryAck(const uint8_t* data, size_t size, uint16_t ackId, DeviceRecord& record)
{
    size_t payloadSize = 0;
    const uint8_t* payload = ackPayload(data, size, DISCOVERY_ACK, ackId, payloadSize);
    return payload && parseDeviceRecord(payload, payloadSize, record);
}

bool parseReadRegAck(const uint8_t* data, size_t size, uint16_t ackId, std::vector<uint32_t>& values)
{
    size_t payloadSize = 0;
    const uint8_t* payload = ackPayload(data, size, READREG_ACK, ackId, payloadSize);
    if (!payload || payloadSize % 4 != 0)
        return false;
    values.clear();
    for (size_t i = 0; i < payloadSize; i += 4)
        values.push_back(get32(payload + i));
    return true;
}

bool parseForceIpCmd(const uint8_t* data, size_t size, ForceIp& force)
{
    Header header;
    const uint8_t* payload = nullptr;
    return parseHeader(data, size, header, payload) && header.command == FORCEIP_CMD
        && parseForceIpPayload(payload, header.length, force);
}

bool parseForceIpPayload(const uint8_t* p, size_t size, ForceIp& force)
{
    if (!p || size < FORCEIP_CMD_PAYLOAD_SIZE)
        return false;
    force.mac = getMac(p + FORCEIP_OFFSET_MAC_HIGH, p + FORCEIP_OFFSET_MAC_LOW);
    force.ip = get32(p + FORCEIP_OFFSET_STATIC_IP);
    force.subnetMask = get32(p + FORCEIP_OFFSET_STATIC_SUBNET_MASK);
    force.gateway = get32(p + FORCEIP_OFFSET_STATIC_GATEWAY);
    return true;
}

Packet buildPacketResendCmd(uint16_t requestId, const PacketResend& request)
{
    std::vector<uint8_t> payload(request.extendedIds ? PACKETRESEND_CMD_EXTENDED_PAYLOAD_SIZE
                                                     : PACKETRESEND_CMD_PAYLOAD_SIZE, 0);
    uint8_t* p = payload.data();
    put16(p, request.streamChannel);
    if (!request.extendedIds)
        put16(p + 2, uint16_t(request.blockId));
    put32(p + 4, request.firstPacketId);
    put32(p + 8, request.lastPacketId);
    if (request.extendedIds) {
        put32(p + 12, uint32_t(request.blockId >> 32));
        put32(p + 16, uint32_t(request.blockId));
    }
    return buildCommand(PACKETRESEND_CMD, request.extendedIds ? GVCP_RESEND_FLAG_EXTENDED_IDS : 0, requestId,
                        payload);
}

bool parsePacketResendCmd(const uint8_t* data, size_t size, PacketResend& request)
{
    Header header;
    const uint8_t* p = nullptr;
    if (!parseHeader(data, size, header, p) || header.command != PACKETRESEND_CMD)
        return false;
    const bool extended = (header.flags & GVCP_RESEND_FLAG_EXTENDED_IDS) != 0;
    if (header.length < (extended ? PACKETRESEND_CMD_EXTENDED_PAYLOAD_SIZE : PACKETRESEND_CMD_PAYLOAD_SIZE))
        return false;
    request.extendedIds = extended;
    request.streamChannel = get16(p);
    if (extended) {
        request.blockId = (uint64_t(get32(p + 12)) << 32) | get32(p + 16);
        request.firstPacketId = get32(p + 4);
        request.lastPacketId = get32(p + 8);
    } else {
        request.blockId = get16(p + 2);
        request.firstPacketId = get32(p + 4) & 0xFFFFFF;
        request.lastPacketId = get32(p + 8) & 0xFFFFFF;
    }
    return true;
}

bool isForceIpAck(const uint8_t* data, size_t size, uint16_t ackId)
{
    size_t payloadSize = 0;
    return ackPayload(data, size, FORCEIP_ACK, ackId, payloadSize) != nullptr;
}

std::string formatIp(uint32_t ip)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 0xFF, (ip >> 8) & 0xFF, ip & 0xFF);
    return text;
}

bool parseIp(const std::string& text, uint32_t& ip)
{
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return false;
        uint32_t octet = 0;
        size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            octet = octet * 10 + uint32_t(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits > 3 || octet > 255)
            return false;
        value = (value << 8) | octet;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
    }
    if (i != text.size())
        return false;
    ip = value;
    return true;
}

std::string formatMac(const Mac& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

bool parseMac(const std::string& text, Mac& mac)
{
    if (text.size() != 17)
        return false;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    const char separator = text[2];
    if (separator != ':' && separator != '-')
        return false;
    Mac value{};
    for (size_t i = 0; i < 6; ++i) {
        const int high = hex(text[3 * i]);
        const int low = hex(text[3 * i + 1]);
        if (high < 0 || low < 0 || (i < 5 && text[3 * i + 2] != separator))
            return false;
        value[i] = uint8_t(high * 16 + low);
    }
    mac = value;
    return true;
}

std::string fixedText(const uint8_t* data, size_t size)
{
    size_t length = 0;
    while (length < size && data[length] != 0)
        ++length;
    return std::string(reinterpret_cast<const char*>(data), length);
}

void putFixedText(uint8_t* data, size_t size, const std::string& text)
{
    // Keep room for the terminating NUL, as cameras do.
    std::memset(data, 0, size);
    std::memcpy(data, text.data(), text.size() < size ? text.size() : size - 1);
}

bool inSubnet(uint32_t ip, uint32_t interfaceIp, uint32_t mask)
{
    return (ip & mask) == (interfaceIp & mask);
}

} // namespace NqGvcp
