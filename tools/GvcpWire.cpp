#include "GvcpWire.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>

namespace gvcp {

bool parseCommand(const uint8_t* data, size_t size, CommandHeader& header, const uint8_t*& payload)
{
    if (data == nullptr || size < HeaderSize || data[0] != Key)
        return false;
    header.flags = data[1];
    header.command = get16(data + 2);
    header.length = get16(data + 4);
    header.requestId = get16(data + 6);
    if (size_t(header.length) > size - HeaderSize)
        return false;
    payload = data + HeaderSize;
    return true;
}

std::vector<uint8_t> buildCommand(uint16_t command, uint8_t flags, uint16_t requestId,
                                  const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> packet(HeaderSize + payload.size());
    packet[0] = Key;
    packet[1] = flags;
    put16(&packet[2], command);
    put16(&packet[4], uint16_t(payload.size()));
    put16(&packet[6], requestId);
    std::copy(payload.begin(), payload.end(), packet.begin() + HeaderSize);
    return packet;
}

bool parseAck(const uint8_t* data, size_t size, AckHeader& header, const uint8_t*& payload)
{
    if (data == nullptr || size < HeaderSize)
        return false;
    header.status = get16(data);
    header.answer = get16(data + 2);
    header.length = get16(data + 4);
    header.ackId = get16(data + 6);
    if (size_t(header.length) > size - HeaderSize)
        return false;
    payload = data + HeaderSize;
    return true;
}

std::vector<uint8_t> buildAck(uint16_t status, uint16_t answer, uint16_t ackId,
                              const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> packet(HeaderSize + payload.size());
    put16(&packet[0], status);
    put16(&packet[2], answer);
    put16(&packet[4], uint16_t(payload.size()));
    put16(&packet[6], ackId);
    std::copy(payload.begin(), payload.end(), packet.begin() + HeaderSize);
    return packet;
}

void putText(uint8_t* field, size_t fieldSize, const std::string& text)
{
    std::memset(field, 0, fieldSize);
    std::memcpy(field, text.data(), std::min(fieldSize, text.size()));
}

std::string getText(const uint8_t* field, size_t fieldSize)
{
    size_t n = 0;
    while (n < fieldSize && field[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(field), n);
}

std::vector<uint8_t> encodeDiscoveryData(const DiscoveryData& data)
{
    std::vector<uint8_t> block(DiscoveryDataSize, 0);
    put32(&block[RegVersion], 0x00010002);     // GigE Vision 1.2
    put32(&block[RegDeviceMode], 0x80000000); // big-endian registers, transmitter
    put16(&block[RegMacHigh + 2], uint16_t((data.mac[0] << 8) | data.mac[1]));
    put32(&block[RegMacLow], (uint32_t(data.mac[2]) << 24) | (uint32_t(data.mac[3]) << 16)
                                 | (uint32_t(data.mac[4]) << 8) | data.mac[5]);
    put32(&block[RegIpConfigOptions], 0x80000007);
    put32(&block[RegIpConfigCurrent], data.ipConfigCurrent);
    put32(&block[RegCurrentIp], data.ip);
    put32(&block[RegCurrentMask], data.mask);
    put32(&block[RegCurrentGateway], data.gateway);
    putText(&block[RegManufacturerName], 32, data.manufacturer);
    putText(&block[RegModelName], 32, data.model);
    putText(&block[RegDeviceVersion], 32, data.version);
    putText(&block[RegManufacturerInfo], 48, data.manufacturerInfo);
    putText(&block[RegSerialNumber], 16, data.serial);
    putText(&block[RegUserName], 16, data.userName);
    return block;
}

bool decodeDiscoveryData(const uint8_t* data, size_t size, DiscoveryData& out)
{
    if (data == nullptr || size < DiscoveryDataSize)
        return false;
    const uint16_t macHigh = get16(data + RegMacHigh + 2);
    const uint32_t macLow = get32(data + RegMacLow);
    out.mac = {uint8_t(macHigh >> 8), uint8_t(macHigh), uint8_t(macLow >> 24),
               uint8_t(macLow >> 16), uint8_t(macLow >> 8), uint8_t(macLow)};
    out.ipConfigCurrent = get32(data + RegIpConfigCurrent);
    out.ip = get32(data + RegCurrentIp);
    out.mask = get32(data + RegCurrentMask);
    out.gateway = get32(data + RegCurrentGateway);
    out.manufacturer = getText(data + RegManufacturerName, 32);
    out.model = getText(data + RegModelName, 32);
    out.version = getText(data + RegDeviceVersion, 32);
    out.manufacturerInfo = getText(data + RegManufacturerInfo, 48);
    out.serial = getText(data + RegSerialNumber, 16);
    out.userName = getText(data + RegUserName, 16);
    return true;
}

std::vector<uint8_t> encodeForceIp(const ForceIp& request)
{
    std::vector<uint8_t> payload(ForceIpPayloadSize, 0);
    put16(&payload[2], uint16_t((request.mac[0] << 8) | request.mac[1]));
    put32(&payload[4], (uint32_t(request.mac[2]) << 24) | (uint32_t(request.mac[3]) << 16)
                           | (uint32_t(request.mac[4]) << 8) | request.mac[5]);
    put32(&payload[20], request.ip);
    put32(&payload[36], request.mask);
    put32(&payload[52], request.gateway);
    return payload;
}

bool decodeForceIp(const uint8_t* data, size_t size, ForceIp& out)
{
    if (data == nullptr || size < ForceIpPayloadSize)
        return false;
    const uint16_t macHigh = get16(data + 2);
    const uint32_t macLow = get32(data + 4);
    out.mac = {uint8_t(macHigh >> 8), uint8_t(macHigh), uint8_t(macLow >> 24),
               uint8_t(macLow >> 16), uint8_t(macLow >> 8), uint8_t(macLow)};
    out.ip = get32(data + 20);
    out.mask = get32(data + 36);
    out.gateway = get32(data + 52);
    return true;
}

bool parseMac(const std::string& text, Mac& mac)
{
    if (text.size() != 17)
        return false;
    for (size_t i = 0; i < 6; ++i) {
        unsigned value = 0;
        for (size_t j = 0; j < 2; ++j) {
            const char c = text[i * 3 + j];
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = unsigned(c - 'A' + 10);
            else
                return false;
            value = value * 16 + digit;
        }
        if (i < 5 && text[i * 3 + 2] != ':')
            return false;
        mac[i] = uint8_t(value);
    }
    return true;
}

std::string formatMac(const Mac& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return text;
}

bool parseIpv4(const std::string& text, uint32_t& ip)
{
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        return false;
    ip = ntohl(address.s_addr);
    return true;
}

std::string formatIpv4(uint32_t ip)
{
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 0xFF) + "."
           + std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF);
}

} // namespace gvcp
