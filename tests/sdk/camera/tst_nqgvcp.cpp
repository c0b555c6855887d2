// GVCP wire format and the buffer-status mapping: pure functions, no network.
// Builders are fed into parsers, and parsers fed with short or lying datagrams.
#include "camera/NqBufferResult.h"
#include "camera/NqGvcp.h"

#include <QtTest>

using namespace NqGvcp;

class TestNqGvcp : public QObject
{
    Q_OBJECT

private slots:
    void ipText_data();
    void ipText();
    void macText_data();
    void macText();
    void subnetTest_data();
    void subnetTest();
    void discoveryAckRoundTrip();
    void discoveryAckRejected_data();
    void discoveryAckRejected();
    void longTextsAreCutWithTerminator();
    void forceIpRoundTrip();
    void packetResendRoundTrip_data();
    void packetResendRoundTrip();
    void commandRoundTrip();
    void malformedCommands_data();
    void malformedCommands();
    void ackRoundTripAndLyingLength();
    void deviceRecordRoundTrip();
    void forceIpPayloadRoundTrip();
    void readRegAck_data();
    void readRegAck();
    void discoveryCommandAsksForAck();
    void bufferResult_data();
    void bufferResult();
    void missingBlocks_data();
    void missingBlocks();
    void frameLosses_data();
    void frameLosses();
};

void TestNqGvcp::ipText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("ip");
    QTest::newRow("loopback") << "127.0.0.1" << true << 0x7F000001u;
    QTest::newRow("max") << "255.255.255.255" << true << 0xFFFFFFFFu;
    QTest::newRow("zero") << "0.0.0.0" << true << 0u;
    QTest::newRow("octet too big") << "256.1.1.1" << false << 0u;
    QTest::newRow("three parts") << "10.0.0" << false << 0u;
    QTest::newRow("five parts") << "10.0.0.1.2" << false << 0u;
    QTest::newRow("trailing dot") << "10.0.0.1." << false << 0u;
    QTest::newRow("empty") << "" << false << 0u;
    QTest::newRow("letters") << "10.a.0.1" << false << 0u;
    QTest::newRow("four digits") << "10.0001.0.1" << false << 0u;
    QTest::newRow("blank") << " 10.0.0.1" << false << 0u;
    QTest::newRow("prefix only") << "192.168.1." << false << 0u;
}

void TestNqGvcp::ipText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(uint, ip);
    uint32_t parsed = 0xDEADBEEF;
    QCOMPARE(NqGvcp::parseIp(text.toStdString(), parsed), valid);
    if (valid) {
        QCOMPARE(parsed, uint32_t(ip));
        QCOMPARE(QString::fromStdString(formatIp(parsed)), text);
    } else {
        QCOMPARE(parsed, 0xDEADBEEFu); // untouched on failure
    }
}

void TestNqGvcp::macText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("formatted");
    QTest::newRow("colons") << "02:4b:53:00:00:01" << true << "02:4b:53:00:00:01";
    QTest::newRow("dashes upper") << "02-4B-53-00-00-FF" << true << "02:4b:53:00:00:ff";
    QTest::newRow("colons upper") << "02:4B:53:0A:FF:01" << true << "02:4b:53:0a:ff:01";
    QTest::newRow("mixed separators") << "02:4b-53:00:00:01" << false << "";
    QTest::newRow("short") << "02:4b:53:00:00" << false << "";
    QTest::newRow("not hex") << "02:4g:53:00:00:01" << false << "";
    QTest::newRow("no separators") << "024b53000001" << false << "";
}

void TestNqGvcp::macText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, formatted);
    Mac mac{};
    QCOMPARE(NqGvcp::parseMac(text.toStdString(), mac), valid);
    if (valid)
        QCOMPARE(QString::fromStdString(formatMac(mac)), formatted);
}

void TestNqGvcp::subnetTest_data()
{
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("inside");
    QTest::newRow("same /24") << "192.168.1.20" << "192.168.1.1" << "255.255.255.0" << true;
    QTest::newRow("other /24") << "192.168.2.20" << "192.168.1.1" << "255.255.255.0" << false;
    QTest::newRow("/16 holds it") << "192.168.2.20" << "192.168.1.1" << "255.255.0.0" << true;
    QTest::newRow("loopback /8") << "127.0.0.2" << "127.0.0.1" << "255.0.0.0" << true;
    QTest::newRow("link-local vs private") << "169.254.3.4" << "10.0.0.1" << "255.0.0.0" << false;
}

void TestNqGvcp::subnetTest()
{
    QFETCH(QString, camera);
    QFETCH(QString, interface);
    QFETCH(QString, mask);
    QFETCH(bool, inside);
    uint32_t c = 0, i = 0, m = 0;
    QVERIFY(parseIp(camera.toStdString(), c));
    QVERIFY(parseIp(interface.toStdString(), i));
    QVERIFY(parseIp(mask.toStdString(), m));
    QCOMPARE(NqGvcp::inSubnet(c, i, m), inside);
}

static DeviceRecord sampleRecord()
{
    DeviceRecord record;
    record.mac = Mac{0x02, 0x4b, 0x53, 0x00, 0x00, 0x01};
    record.ip = 0x7F000001;
    record.subnetMask = 0xFF000000;
    record.gateway = 0x7F0000FE;
    record.manufacturer = "Kessane";
    record.model = "GEV_K3370M";
    record.version = "1.2.3";
    record.serial = "SIM00001";
    record.userName = "SimCam";
    return record;
}

void TestNqGvcp::discoveryAckRoundTrip()
{
    const DeviceRecord sent = sampleRecord();
    const Packet ack = buildDiscoveryAck(0x1234, sent);
    QCOMPARE(ack.size(), GVCP_HEADER_SIZE + DISCOVERY_ACK_PAYLOAD_SIZE);
    DeviceRecord got;
    QVERIFY(parseDiscoveryAck(ack.data(), ack.size(), 0x1234, got));
    QCOMPARE(formatMac(got.mac), formatMac(sent.mac));
    QCOMPARE(got.ip, sent.ip);
    QCOMPARE(got.subnetMask, sent.subnetMask);
    QCOMPARE(got.gateway, sent.gateway);
    QCOMPARE(got.manufacturer, sent.manufacturer);
    QCOMPARE(got.model, sent.model);
    QCOMPARE(got.version, sent.version);
    QCOMPARE(got.serial, sent.serial);
    QCOMPARE(got.userName, sent.userName);
    // The fields sit where the bootstrap registers put them.
    QCOMPARE(int(ack[GVCP_HEADER_SIZE + OFFSET_CURRENT_IP]), 0x7F);
    QCOMPARE(int(ack[GVCP_HEADER_SIZE + OFFSET_MAC_HIGH + 2]), 0x02);
    QCOMPARE(int(ack[GVCP_HEADER_SIZE + OFFSET_MAC_LOW + 3]), 0x01);
}

void TestNqGvcp::discoveryAckRejected_data()
{
    QTest::addColumn<int>("cut");       // bytes removed from the end
    QTest::addColumn<int>("ackId");
    QTest::addColumn<int>("statusHigh"); // first byte of the status
    QTest::addColumn<int>("answer");
    QTest::newRow("truncated payload") << 10 << 7 << 0 << int(DISCOVERY_ACK);
    QTest::newRow("header only") << int(DISCOVERY_ACK_PAYLOAD_SIZE) << 7 << 0 << int(DISCOVERY_ACK);
    QTest::newRow("other request") << 0 << 8 << 0 << int(DISCOVERY_ACK);
    QTest::newRow("error status") << 0 << 7 << 0x80 << int(DISCOVERY_ACK);
    QTest::newRow("other answer") << 0 << 7 << 0 << int(READREG_ACK);
}

void TestNqGvcp::discoveryAckRejected()
{
    QFETCH(int, cut);
    QFETCH(int, ackId);
    QFETCH(int, statusHigh);
    QFETCH(int, answer);
    Packet ack = buildDiscoveryAck(7, sampleRecord());
    ack[0] = uint8_t(statusHigh);
    ack[2] = uint8_t(answer >> 8);
    ack[3] = uint8_t(answer);
    ack.resize(ack.size() - size_t(cut));
    DeviceRecord got;
    QVERIFY(!parseDiscoveryAck(ack.data(), ack.size(), uint16_t(ackId), got));
}

void TestNqGvcp::longTextsAreCutWithTerminator()
{
    DeviceRecord record = sampleRecord();
    record.serial = std::string(40, 'S');
    record.userName = std::string(16, 'U');
    const Packet ack = buildDiscoveryAck(1, record);
    DeviceRecord got;
    QVERIFY(parseDiscoveryAck(ack.data(), ack.size(), 1, got));
    QCOMPARE(got.serial, std::string(15, 'S'));
    QCOMPARE(got.userName, std::string(15, 'U'));
    QCOMPARE(got.model, record.model); // neighbours untouched
}

void TestNqGvcp::forceIpRoundTrip()
{
    ForceIp sent;
    QVERIFY(parseMac("02:4b:53:00:00:09", sent.mac));
    QVERIFY(parseIp("169.254.10.20", sent.ip));
    QVERIFY(parseIp("255.255.0.0", sent.subnetMask));
    QVERIFY(parseIp("169.254.0.1", sent.gateway));
    const Packet command = buildForceIpCmd(0x55, sent);
    QCOMPARE(command.size(), GVCP_HEADER_SIZE + FORCEIP_CMD_PAYLOAD_SIZE);
    Header header;
    QVERIFY(parseHeader(command.data(), command.size(), header));
    QCOMPARE(header.command, uint16_t(FORCEIP_CMD));
    QCOMPARE(header.requestId, uint16_t(0x55));
    QVERIFY(header.flags & GVCP_CMD_FLAG_ACKNOWLEDGE);
    ForceIp got;
    QVERIFY(parseForceIpCmd(command.data(), command.size(), got));
    QCOMPARE(formatMac(got.mac), formatMac(sent.mac));
    QCOMPARE(got.ip, sent.ip);
    QCOMPARE(got.subnetMask, sent.subnetMask);
    QCOMPARE(got.gateway, sent.gateway);
    QVERIFY(!parseForceIpCmd(command.data(), command.size() - 1, got));
    // The same payload under another command is no IP configuration.
    Packet other = command;
    put16(&other[2], DISCOVERY_CMD);
    QVERIFY(!parseForceIpCmd(other.data(), other.size(), got));

    const Packet ack = buildAck(GEV_STATUS_SUCCESS, FORCEIP_ACK, 0x55, {});
    QVERIFY(isForceIpAck(ack.data(), ack.size(), 0x55));
    QVERIFY(!isForceIpAck(ack.data(), ack.size(), 0x56));
    const Packet refused = buildAck(GEV_STATUS_ACCESS_DENIED, FORCEIP_ACK, 0x55, {});
    QVERIFY(!isForceIpAck(refused.data(), refused.size(), 0x55));
}

void TestNqGvcp::packetResendRoundTrip_data()
{
    QTest::addColumn<bool>("extended");
    QTest::addColumn<qulonglong>("blockId");
    QTest::addColumn<uint>("first");
    QTest::addColumn<uint>("parsedFirst");
    QTest::addColumn<uint>("last");
    QTest::addColumn<uint>("parsedLast");
    // Standard ids are 24 bits: the reserved top byte is not part of them.
    QTest::newRow("standard") << false << 0xFFFEull << 0xCD000003u << 3u << 0xAB000005u << 5u;
    QTest::newRow("extended") << true << 0x123456789Aull << 0x01000003u << 0x01000003u << 0x01000010u << 0x01000010u;
}

void TestNqGvcp::packetResendRoundTrip()
{
    QFETCH(bool, extended);
    QFETCH(qulonglong, blockId);
    QFETCH(uint, first);
    QFETCH(uint, parsedFirst);
    QFETCH(uint, last);
    QFETCH(uint, parsedLast);
    PacketResend sent;
    sent.extendedIds = extended;
    sent.blockId = blockId;
    sent.firstPacketId = first;
    sent.lastPacketId = last;
    const Packet command = buildPacketResendCmd(9, sent);
    PacketResend got;
    QVERIFY(parsePacketResendCmd(command.data(), command.size(), got));
    QCOMPARE(got.extendedIds, extended);
    QCOMPARE(qulonglong(got.blockId), blockId);
    QCOMPARE(uint(got.firstPacketId), parsedFirst);
    QCOMPARE(uint(got.lastPacketId), parsedLast);
    // Too short for its kind: a cut datagram, or the extended flag on a standard payload.
    QVERIFY(!parsePacketResendCmd(command.data(), command.size() - 1, got));
    Packet lying = command;
    lying[1] = GVCP_RESEND_FLAG_EXTENDED_IDS;
    QCOMPARE(parsePacketResendCmd(lying.data(), lying.size(), got), extended);
    // A read request of the same length is no resend request.
    Packet other = command;
    put16(&other[2], READREG_CMD);
    QVERIFY(!parsePacketResendCmd(other.data(), other.size(), got));
}

void TestNqGvcp::commandRoundTrip()
{
    const std::vector<uint8_t> packet = buildCommand(READREG_CMD, GVCP_CMD_FLAG_ACKNOWLEDGE, 0x1234, {0, 0, 0x0A, 0});
    Header header;
    const uint8_t* payload = nullptr;
    QVERIFY(parseHeader(packet.data(), packet.size(), header, payload));
    QCOMPARE(header.command, uint16_t(READREG_CMD));
    QCOMPARE(header.flags, GVCP_CMD_FLAG_ACKNOWLEDGE);
    QCOMPARE(header.requestId, uint16_t(0x1234));
    QCOMPARE(header.length, uint16_t(4));
    QCOMPARE(get32(payload), REG_CONTROL_CHANNEL_PRIVILEGE);
}

void TestNqGvcp::malformedCommands_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short header") << QByteArray::fromHex("42010002000000");
    QTest::newRow("wrong key") << QByteArray::fromHex("4301000200000001");
    QTest::newRow("length beyond datagram") << QByteArray::fromHex("420100800008000100000a00");
}

void TestNqGvcp::malformedCommands()
{
    QFETCH(QByteArray, datagram);
    Header header;
    const uint8_t* payload = nullptr;
    QVERIFY(!parseHeader(reinterpret_cast<const uint8_t*>(datagram.constData()), size_t(datagram.size()),
                         header, payload));
}

void TestNqGvcp::ackRoundTripAndLyingLength()
{
    std::vector<uint8_t> ack = buildAck(GEV_STATUS_ACCESS_DENIED, WRITEREG_ACK, 9, {0, 0, 0, 1});
    AckHeader header;
    const uint8_t* payload = nullptr;
    QVERIFY(parseAckHeader(ack.data(), ack.size(), header, payload));
    QCOMPARE(header.status, uint16_t(GEV_STATUS_ACCESS_DENIED));
    QCOMPARE(header.answer, uint16_t(WRITEREG_ACK));
    QCOMPARE(header.ackId, uint16_t(9));
    QCOMPARE(get16(payload + 2), uint16_t(1));
    ack.pop_back();
    QVERIFY(!parseAckHeader(ack.data(), ack.size(), header, payload));
}

void TestNqGvcp::deviceRecordRoundTrip()
{
    DeviceRecord data;
    QVERIFY(parseIp("10.1.2.3", data.ip));
    QVERIFY(parseIp("255.255.0.0", data.subnetMask));
    QVERIFY(parseIp("10.1.0.1", data.gateway));
    QVERIFY(parseMac("00:11:1c:f5:0a:3b", data.mac));
    data.manufacturer = "Kessane";
    data.model = "GEV_K3370C";
    data.version = "2.5.3";
    data.manufacturerInfo = "Simulated camera";
    data.currentIpConfiguration = 0x00000006; // DHCP + LLA
    data.serial = "SERIAL-16-CHARS!"; // as long as the field: cut to keep the terminator
    data.userName = "a-name-too-long-for-16"; // cut to the field, terminator kept
    const std::vector<uint8_t> block = buildDeviceRecord(data);
    QCOMPARE(block.size(), size_t(DISCOVERY_ACK_PAYLOAD_SIZE));
    DeviceRecord back;
    QVERIFY(parseDeviceRecord(block.data(), block.size(), back));
    QCOMPARE(formatIp(back.ip), std::string("10.1.2.3"));
    QCOMPARE(formatIp(back.subnetMask), std::string("255.255.0.0"));
    QCOMPARE(formatIp(back.gateway), std::string("10.1.0.1"));
    QCOMPARE(formatMac(back.mac), std::string("00:11:1c:f5:0a:3b"));
    QCOMPARE(back.model, data.model);
    QCOMPARE(back.manufacturerInfo, data.manufacturerInfo);
    QCOMPARE(back.currentIpConfiguration, data.currentIpConfiguration);
    QCOMPARE(back.serial, std::string("SERIAL-16-CHARS"));
    QCOMPARE(back.userName, std::string("a-name-too-long"));
    QVERIFY(!parseDeviceRecord(block.data(), block.size() - 1, back));
}

void TestNqGvcp::forceIpPayloadRoundTrip()
{
    ForceIp request;
    QVERIFY(parseMac("02:4b:53:00:00:01", request.mac));
    QVERIFY(parseIp("192.168.7.20", request.ip));
    QVERIFY(parseIp("255.255.0.0", request.subnetMask));
    QVERIFY(parseIp("192.168.0.1", request.gateway));
    const std::vector<uint8_t> payload = buildForceIpPayload(request);
    QCOMPARE(payload.size(), FORCEIP_CMD_PAYLOAD_SIZE);
    ForceIp back;
    QVERIFY(parseForceIpPayload(payload.data(), payload.size(), back));
    QCOMPARE(back.mac, request.mac);
    QCOMPARE(back.ip, request.ip);
    QCOMPARE(back.subnetMask, request.subnetMask);
    QCOMPARE(back.gateway, request.gateway);
    QVERIFY(!parseForceIpPayload(payload.data(), payload.size() - 4, back));
}

void TestNqGvcp::readRegAck_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("value");
    QTest::newRow("one register") << QByteArray::fromHex("00000002") << true << 2u;
    QTest::newRow("free") << QByteArray::fromHex("00000000") << true << 0u;
    QTest::newRow("odd length") << QByteArray::fromHex("000002") << false << 0u;
}

void TestNqGvcp::readRegAck()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, valid);
    QFETCH(uint, value);
    const Packet request = buildReadRegCmd(9, {REG_CONTROL_CHANNEL_PRIVILEGE});
    Header header;
    QVERIFY(parseHeader(request.data(), request.size(), header));
    QCOMPARE(header.command, uint16_t(READREG_CMD));
    QCOMPARE(header.length, uint16_t(4));
    QCOMPARE(int(request[GVCP_HEADER_SIZE + 2]), 0x0A);

    const Packet ack = buildAck(GEV_STATUS_SUCCESS, READREG_ACK, 9,
                                std::vector<uint8_t>(payload.begin(), payload.end()));
    std::vector<uint32_t> values;
    QCOMPARE(parseReadRegAck(ack.data(), ack.size(), 9, values), valid);
    if (valid) {
        QCOMPARE(values.size(), size_t(1));
        QCOMPARE(values[0], uint32_t(value));
    }
    // A length field claiming more than arrived is refused.
    Packet lying = ack;
    lying[5] = uint8_t(lying[5] + 4);
    QVERIFY(!parseReadRegAck(lying.data(), lying.size(), 9, values));
}

void TestNqGvcp::discoveryCommandAsksForAck()
{
    const Packet command = buildDiscoveryCmd(3);
    QCOMPARE(command.size(), GVCP_HEADER_SIZE);
    Header header;
    QVERIFY(parseHeader(command.data(), command.size(), header));
    QCOMPARE(header.command, uint16_t(DISCOVERY_CMD));
    QVERIFY(header.flags & GVCP_CMD_FLAG_ACKNOWLEDGE);
    QVERIFY(header.flags & GVCP_DISCOVERY_FLAG_ALLOW_BROADCAST_ACK);
    QVERIFY(!parseHeader(command.data(), 7, header));
}

void TestNqGvcp::bufferResult_data()
{
    // Status values as Aravis numbers them (ArvBufferStatus).
    QTest::addColumn<int>("status");
    QTest::addColumn<uint>("code");
    QTest::newRow("success") << 0 << uint(NqResult::Code::OK);
    QTest::newRow("cleared") << 1 << uint(NqResult::Code::NO_COMPLETION);
    QTest::newRow("timeout") << 2 << uint(NqResult::Code::TIMEOUT);
    QTest::newRow("missing packets") << 3 << uint(NqResult::Code::MISSING_PACKETS);
    QTest::newRow("wrong packet id") << 4 << uint(NqResult::Code::MISSING_PACKETS);
    QTest::newRow("size mismatch") << 5 << uint(NqResult::Code::BUFFER_TOO_SMALL);
    QTest::newRow("filling") << 6 << uint(NqResult::Code::NO_COMPLETION);
    QTest::newRow("aborted") << 7 << uint(NqResult::Code::ABORTED);
    QTest::newRow("unknown") << -1 << uint(NqResult::Code::NOT_OK);
}

void TestNqGvcp::bufferResult()
{
    QFETCH(int, status);
    QFETCH(uint, code);
    const NqResult result = nqBufferResult(status);
    QCOMPARE(result.GetCode(), uint32_t(code));
    QCOMPARE(result.GetInternalCode(), uint32_t(status));
    QCOMPARE(result.GetDescription().IsEmpty(), result.IsOK());
}

void TestNqGvcp::missingBlocks_data()
{
    QTest::addColumn<qulonglong>("previous");
    QTest::addColumn<qulonglong>("current");
    QTest::addColumn<qulonglong>("missing");
    QTest::addColumn<bool>("follows");
    QTest::newRow("next") << 10ull << 11ull << 0ull << true;
    QTest::newRow("two lost") << 10ull << 13ull << 2ull << true;
    QTest::newRow("first frame") << 0ull << 500ull << 0ull << true;
    QTest::newRow("no id") << 10ull << 0ull << 0ull << false;
    QTest::newRow("wrap, none lost") << 65535ull << 1ull << 0ull << true;
    QTest::newRow("wrap, three lost") << 65534ull << 3ull << 3ull << true;
    QTest::newRow("camera restarted") << 4000ull << 2ull << 0ull << false;
    QTest::newRow("same again") << 7ull << 7ull << 0ull << false;
    QTest::newRow("64-bit ids") << 70000ull << 70002ull << 1ull << true;
    QTest::newRow("late failed frame") << 446ull << 439ull << 0ull << false;
}

void TestNqGvcp::missingBlocks()
{
    QFETCH(qulonglong, previous);
    QFETCH(qulonglong, current);
    QFETCH(qulonglong, missing);
    QFETCH(bool, follows);
    QCOMPARE(qulonglong(nqMissingBlocks(previous, current)), missing);
    QCOMPARE(nqBlockFollows(previous, current), follows);
}

void TestNqGvcp::frameLosses_data()
{
    // Frames as "id" (complete), "id!" (failed) or "|" (position forgotten).
    QTest::addColumn<QString>("frames");
    QTest::addColumn<qulonglong>("lost");
    QTest::newRow("in order") << "5 6 7 8" << 0ull;
    QTest::newRow("gap") << "5 6 9" << 2ull;
    QTest::newRow("failed frame fills the gap") << "5 6! 7" << 0ull;
    QTest::newRow("failed frame with a stale id") << "446 447! 506 507" << 58ull;
    QTest::newRow("stale failed frame after a reset") << "446 | 446! 549 550" << 0ull;
    QTest::newRow("late complete frame ignored") << "10 11 9 12" << 0ull;
    QTest::newRow("wrap") << "65534 65535 2" << 1ull;
    QTest::newRow("dropped on purpose") << "5 | 40 41" << 0ull;
}

void TestNqGvcp::frameLosses()
{
    QFETCH(QString, frames);
    QFETCH(qulonglong, lost);
    NqFrameLossCounter counter;
    for (const QString& frame : frames.split(' ')) {
        if (frame == "|")
            counter.forgetPosition();
        else if (frame.endsWith('!'))
            counter.frame(frame.chopped(1).toULongLong(), false);
        else
            counter.frame(frame.toULongLong(), true);
    }
    QCOMPARE(qulonglong(counter.lost()), lost);
    counter.clear();
    QCOMPARE(counter.lost(), uint64_t(0));
}

QTEST_GUILESS_MAIN(TestNqGvcp)
#include "tst_nqgvcp.moc"
