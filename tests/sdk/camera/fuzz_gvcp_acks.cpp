// libFuzzer target: the GVCP acknowledges our discovery, register reads and
// IP forcing accept from the network, and the FORCEIP command the simulated
// camera accepts. Built with -DKESSANE_FUZZ=ON and clang.

#include "camera/NqGvcp.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace NqGvcp;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A text field read back as it is written again: cut to leave room for a NUL.
std::string rewritten(const std::string& text, size_t field)
{
    return text.substr(0, field - 1);
}

void discovery(const uint8_t* data, size_t size, uint16_t ackId, const AckHeader& ack)
{
    DeviceRecord record;
    if (!parseDiscoveryAck(data, size, ackId, record))
        return;
    check(ack.answer == DISCOVERY_ACK && ack.status == GEV_STATUS_SUCCESS);
    check(ack.length >= DISCOVERY_ACK_PAYLOAD_SIZE);
    check(record.manufacturer.size() <= LENGTH_MANUFACTURER_NAME && record.model.size() <= LENGTH_MODEL_NAME
          && record.version.size() <= LENGTH_DEVICE_VERSION
          && record.manufacturerInfo.size() <= LENGTH_MANUFACTURER_INFO
          && record.serial.size() <= LENGTH_SERIAL_NUMBER && record.userName.size() <= LENGTH_USER_DEFINED_NAME);
    // What the simulated camera would answer with this record reads back the same.
    const Packet again = buildDiscoveryAck(ackId, record);
    DeviceRecord back;
    check(parseDiscoveryAck(again.data(), again.size(), ackId, back));
    check(back.mac == record.mac && back.ip == record.ip && back.subnetMask == record.subnetMask
          && back.gateway == record.gateway && back.currentIpConfiguration == record.currentIpConfiguration);
    check(back.model == rewritten(record.model, LENGTH_MODEL_NAME)
          && back.serial == rewritten(record.serial, LENGTH_SERIAL_NUMBER)
          && back.userName == rewritten(record.userName, LENGTH_USER_DEFINED_NAME));
}

void readRegisters(const uint8_t* data, size_t size, uint16_t ackId, const AckHeader& ack)
{
    std::vector<uint32_t> values;
    if (!parseReadRegAck(data, size, ackId, values))
        return;
    check(ack.answer == READREG_ACK && ack.status == GEV_STATUS_SUCCESS);
    check(values.size() * 4 == ack.length);
    std::vector<uint8_t> payload(values.size() * 4);
    for (size_t i = 0; i < values.size(); ++i)
        put32(&payload[4 * i], values[i]);
    const Packet again = buildAck(GEV_STATUS_SUCCESS, READREG_ACK, ackId, payload);
    std::vector<uint32_t> back;
    check(parseReadRegAck(again.data(), again.size(), ackId, back) && back == values);
}

void forceIp(const uint8_t* data, size_t size, uint16_t ackId, const AckHeader& ack, bool acknowledged)
{
    if (isForceIpAck(data, size, ackId))
        check(acknowledged && ack.answer == FORCEIP_ACK && ack.status == GEV_STATUS_SUCCESS);
    // Read as the command a camera receives.
    ForceIp force;
    if (parseForceIpCmd(data, size, force)) {
        const Packet again = buildForceIpCmd(0, force);
        ForceIp back;
        check(parseForceIpCmd(again.data(), again.size(), back));
        check(back.mac == force.mac && back.ip == force.ip && back.subnetMask == force.subnetMask
              && back.gateway == force.gateway);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly the received bytes, so that reading past them is caught.
    const std::vector<uint8_t> packet(data, data + size);
    const uint8_t* p = packet.data();
    AckHeader ack;
    const bool acknowledged = parseAckHeader(p, size, ack);
    if (acknowledged)
        check(size >= GVCP_HEADER_SIZE + ack.length);
    // The id the packet carries, so that the parsers get past the id check;
    // another id never parses.
    const uint16_t ackId = size >= GVCP_HEADER_SIZE ? get16(p + 6) : 0;
    discovery(p, size, ackId, ack);
    readRegisters(p, size, ackId, ack);
    forceIp(p, size, ackId, ack, acknowledged);
    DeviceRecord record;
    std::vector<uint32_t> values;
    check(!parseDiscoveryAck(p, size, uint16_t(ackId + 1), record));
    check(!parseReadRegAck(p, size, uint16_t(ackId + 1), values));
    check(!isForceIpAck(p, size, uint16_t(ackId + 1)));
    return 0;
}
