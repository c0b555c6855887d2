// GVCP and GVSP packets of our test peers: builders fed into parsers, and
// parsers fed with short or lying datagrams.

#include "GvcpWire.h"
#include "GvspWire.h"

#include <QtTest>

class TestGvcpWire : public QObject
{
    Q_OBJECT

private slots:
    void commandRoundTrip()
    {
        const std::vector<uint8_t> packet =
            gvcp::buildCommand(gvcp::ReadRegCmd, gvcp::FlagAckRequired, 0x1234, {0, 0, 0x0A, 0});
        gvcp::CommandHeader header;
        const uint8_t* payload = nullptr;
        QVERIFY(gvcp::parseCommand(packet.data(), packet.size(), header, payload));
        QCOMPARE(header.command, uint16_t(gvcp::ReadRegCmd));
        QCOMPARE(header.flags, gvcp::FlagAckRequired);
        QCOMPARE(header.requestId, uint16_t(0x1234));
        QCOMPARE(header.length, uint16_t(4));
        QCOMPARE(gvcp::get32(payload), gvcp::RegControlChannelPrivilege);
    }

    void malformedCommands_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short header") << QByteArray::fromHex("42010002000000");
        QTest::newRow("wrong key") << QByteArray::fromHex("4301000200000001");
        QTest::newRow("length beyond datagram") << QByteArray::fromHex("420100800008000100000a00");
    }
    void malformedCommands()
    {
        QFETCH(QByteArray, datagram);
        gvcp::CommandHeader header;
        const uint8_t* payload = nullptr;
        QVERIFY(!gvcp::parseCommand(reinterpret_cast<const uint8_t*>(datagram.constData()), size_t(datagram.size()),
                                    header, payload));
    }

    void ackRoundTripAndLyingLength()
    {
        std::vector<uint8_t> ack = gvcp::buildAck(gvcp::StatusAccessDenied, gvcp::WriteRegAck, 9, {0, 0, 0, 1});
        gvcp::AckHeader header;
        const uint8_t* payload = nullptr;
        QVERIFY(gvcp::parseAck(ack.data(), ack.size(), header, payload));
        QCOMPARE(header.status, uint16_t(gvcp::StatusAccessDenied));
        QCOMPARE(header.answer, uint16_t(gvcp::WriteRegAck));
        QCOMPARE(header.ackId, uint16_t(9));
        QCOMPARE(gvcp::get16(payload + 2), uint16_t(1));
        ack.pop_back();
        QVERIFY(!gvcp::parseAck(ack.data(), ack.size(), header, payload));
    }

    void discoveryDataRoundTrip()
    {
        gvcp::DiscoveryData data;
        QVERIFY(gvcp::parseIpv4("10.1.2.3", data.ip));
        QVERIFY(gvcp::parseIpv4("255.255.0.0", data.mask));
        QVERIFY(gvcp::parseIpv4("10.1.0.1", data.gateway));
        QVERIFY(gvcp::parseMac("00:11:1c:f5:0a:3b", data.mac));
        data.manufacturer = "Kessane";
        data.model = "GEV_K3370C";
        data.version = "2.5.3";
        data.serial = "SERIAL-16-CHARS!"; // fills the field exactly, no terminator
        data.userName = "a-name-too-long-for-16"; // cut to the field
        const std::vector<uint8_t> block = gvcp::encodeDiscoveryData(data);
        QCOMPARE(block.size(), size_t(gvcp::DiscoveryDataSize));
        gvcp::DiscoveryData back;
        QVERIFY(gvcp::decodeDiscoveryData(block.data(), block.size(), back));
        QCOMPARE(gvcp::formatIpv4(back.ip), std::string("10.1.2.3"));
        QCOMPARE(gvcp::formatIpv4(back.mask), std::string("255.255.0.0"));
        QCOMPARE(gvcp::formatIpv4(back.gateway), std::string("10.1.0.1"));
        QCOMPARE(gvcp::formatMac(back.mac), std::string("00:11:1c:f5:0a:3b"));
        QCOMPARE(back.model, data.model);
        QCOMPARE(back.serial, data.serial);
        QCOMPARE(back.userName, std::string("a-name-too-long-"));
        QVERIFY(!gvcp::decodeDiscoveryData(block.data(), block.size() - 1, back));
    }

    void forceIpRoundTrip()
    {
        gvcp::ForceIp request;
        QVERIFY(gvcp::parseMac("02:4b:53:00:00:01", request.mac));
        QVERIFY(gvcp::parseIpv4("192.168.7.20", request.ip));
        QVERIFY(gvcp::parseIpv4("255.255.0.0", request.mask));
        QVERIFY(gvcp::parseIpv4("192.168.0.1", request.gateway));
        const std::vector<uint8_t> payload = gvcp::encodeForceIp(request);
        QCOMPARE(payload.size(), gvcp::ForceIpPayloadSize);
        gvcp::ForceIp back;
        QVERIFY(gvcp::decodeForceIp(payload.data(), payload.size(), back));
        QCOMPARE(back.mac, request.mac);
        QCOMPARE(back.ip, request.ip);
        QCOMPARE(back.mask, request.mask);
        QCOMPARE(back.gateway, request.gateway);
        QVERIFY(!gvcp::decodeForceIp(payload.data(), payload.size() - 4, back));
    }

    void textParsers_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<bool>("valid");
        QTest::newRow("lower") << "02:4b:53:00:00:01" << true;
        QTest::newRow("upper") << "02:4B:53:0A:FF:01" << true;
        QTest::newRow("short") << "02:4b:53:00:00" << false;
        QTest::newRow("dashes") << "02-4b-53-00-00-01" << false;
        QTest::newRow("not hex") << "02:4g:53:00:00:01" << false;
    }
    void textParsers()
    {
        QFETCH(QString, mac);
        QFETCH(bool, valid);
        gvcp::Mac bytes{};
        QCOMPARE(gvcp::parseMac(mac.toStdString(), bytes), valid);
        if (valid)
            QCOMPARE(QString::fromStdString(gvcp::formatMac(bytes)), mac.toLower());
    }

    void gvspLeaderRoundTrip()
    {
        gvsp::ImageInfo info;
        info.timestamp = 0x0123456789ABCDEFull;
        info.pixelFormat = 0x01100007;
        info.width = 1608;
        info.height = 1208;
        info.offsetX = 8;
        info.offsetY = 2;
        const std::vector<uint8_t> leader = gvsp::buildLeader(65535, info);
        gvsp::Header header;
        QVERIFY(gvsp::parseHeader(leader.data(), leader.size(), header));
        QCOMPARE(header.blockId, uint16_t(65535));
        QCOMPARE(header.format, uint8_t(gvsp::FormatLeader));
        QCOMPARE(header.packetId, 0u);
        gvsp::ImageInfo back;
        QVERIFY(gvsp::parseLeader(leader.data(), leader.size(), back));
        QCOMPARE(back.timestamp, info.timestamp);
        QCOMPARE(back.pixelFormat, info.pixelFormat);
        QCOMPARE(back.width, info.width);
        QCOMPARE(back.offsetY, info.offsetY);
        QVERIFY(!gvsp::parseLeader(leader.data(), leader.size() - 1, back));

        const std::vector<uint8_t> trailer = gvsp::buildTrailer(7, 0x123456, 1208);
        QVERIFY(gvsp::parseHeader(trailer.data(), trailer.size(), header));
        QCOMPARE(header.format, uint8_t(gvsp::FormatTrailer));
        QCOMPARE(header.packetId, 0x123456u);
        QVERIFY(!gvsp::parseLeader(trailer.data(), trailer.size(), back));
        QCOMPARE(gvsp::dataPerPacket(1500), size_t(1464));
        QCOMPARE(gvsp::dataPerPacket(100), size_t(540));
    }
};

QTEST_GUILESS_MAIN(TestGvcpWire)
#include "tst_gvcpwire.moc"
