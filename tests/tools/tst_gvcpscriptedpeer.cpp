// The scripted GVCP responder: discovery ack with a foreign address in its
// payload, the scripted control privilege, FORCEIP recorded and acknowledged.

#include "GvcpScriptedPeer.h"
#include "GvcpTestClient.h"

#include <QtTest>

namespace {

gvcp::DiscoveryData foreignCamera()
{
    gvcp::DiscoveryData identity;
    gvcp::parseIpv4("10.1.2.3", identity.ip);
    gvcp::parseIpv4("255.255.255.0", identity.mask);
    gvcp::parseIpv4("10.1.2.254", identity.gateway);
    gvcp::parseMac("00:11:1c:00:aa:01", identity.mac);
    identity.manufacturer = "Kessane";
    identity.model = "GEV_K8870M";
    identity.serial = "FOREIGN1";
    identity.userName = "Far away";
    return identity;
}

} // namespace

class TestGvcpScriptedPeer : public QObject
{
    Q_OBJECT

private slots:
    void refusesNonLoopback()
    {
        GvcpScriptedPeer peer("10.1.2.3", 0);
        QVERIFY(!peer.start());
        GvcpScriptedPeer alsoBad("not an address", 0);
        QVERIFY(!alsoBad.start());
    }

    void discoveryCarriesTheScriptedIdentity()
    {
        GvcpScriptedPeer peer("127.0.51.1", 0);
        peer.setIdentity(foreignCamera());
        QVERIFY(peer.start());
        QVERIFY(peer.port() != 0);

        GvcpTestClient client;
        const uint16_t id = client.nextId();
        const std::vector<uint8_t> answer = client.request(
            "127.0.51.1", peer.port(), gvcp::buildCommand(gvcp::DiscoveryCmd, gvcp::FlagAckRequired, id));
        gvcp::AckHeader ack;
        const uint8_t* payload = nullptr;
        QVERIFY(gvcp::parseAck(answer.data(), answer.size(), ack, payload));
        QCOMPARE(ack.answer, uint16_t(gvcp::DiscoveryAck));
        QCOMPARE(ack.ackId, id);
        gvcp::DiscoveryData data;
        QVERIFY(gvcp::decodeDiscoveryData(payload, ack.length, data));
        QCOMPARE(gvcp::formatIpv4(data.ip), std::string("10.1.2.3"));
        QCOMPARE(gvcp::formatIpv4(data.mask), std::string("255.255.255.0"));
        QCOMPARE(gvcp::formatIpv4(data.gateway), std::string("10.1.2.254"));
        QCOMPARE(gvcp::formatMac(data.mac), std::string("00:11:1c:00:aa:01"));
        QCOMPARE(data.model, std::string("GEV_K8870M"));
        QCOMPARE(data.serial, std::string("FOREIGN1"));
        QCOMPARE(data.userName, std::string("Far away"));
        QCOMPARE(peer.discoveryCount(), 1);
    }

    void privilegeIsScripted_data()
    {
        QTest::addColumn<uint>("privilege");
        QTest::newRow("free") << 0u;
        QTest::newRow("control") << 2u;
        QTest::newRow("exclusive") << 1u;
    }
    void privilegeIsScripted()
    {
        QFETCH(uint, privilege);
        GvcpScriptedPeer peer("127.0.51.1", 0);
        peer.setControlPrivilege(privilege);
        QVERIFY(peer.start());
        GvcpTestClient client;
        uint32_t value = 0xFFFFFFFF;
        uint16_t status = 0xFFFF;
        QVERIFY(client.readRegister("127.0.51.1", peer.port(), gvcp::RegControlChannelPrivilege, value, status));
        QCOMPARE(status, uint16_t(gvcp::StatusSuccess));
        QCOMPARE(value, uint32_t(privilege));
    }

    void forceIpRoundTrip()
    {
        // The standard GVCP port on an address of its own.
        GvcpScriptedPeer peer("127.0.51.2");
        peer.setIdentity(foreignCamera());
        QVERIFY(peer.start());
        QCOMPARE(peer.port(), gvcp::Port);

        gvcp::ForceIp request;
        request.mac = foreignCamera().mac;
        gvcp::parseIpv4("192.168.5.7", request.ip);
        gvcp::parseIpv4("255.255.0.0", request.mask);
        gvcp::parseIpv4("192.168.0.1", request.gateway);
        GvcpTestClient client;
        const uint16_t id = client.nextId();
        const std::vector<uint8_t> answer = client.request(
            "127.0.51.2", gvcp::Port,
            gvcp::buildCommand(gvcp::ForceIpCmd, gvcp::FlagAckRequired, id, gvcp::encodeForceIp(request)));
        gvcp::AckHeader ack;
        const uint8_t* payload = nullptr;
        QVERIFY(gvcp::parseAck(answer.data(), answer.size(), ack, payload));
        QCOMPARE(ack.answer, uint16_t(gvcp::ForceIpAck));
        QCOMPARE(ack.status, uint16_t(gvcp::StatusSuccess));
        QCOMPARE(ack.ackId, id);

        QVERIFY(peer.waitForForceIp(1, 1000));
        const std::vector<gvcp::ForceIp> received = peer.forceIpRequests();
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received[0].mac, request.mac);
        QCOMPARE(gvcp::formatIpv4(received[0].ip), std::string("192.168.5.7"));
        QCOMPARE(gvcp::formatIpv4(received[0].mask), std::string("255.255.0.0"));
        QCOMPARE(gvcp::formatIpv4(received[0].gateway), std::string("192.168.0.1"));
        // The device took the new address: the next discovery says so.
        QCOMPARE(gvcp::formatIpv4(peer.identity().ip), std::string("192.168.5.7"));
    }

    void forceIpForAnotherMacIsRecordedButNotAcknowledged()
    {
        GvcpScriptedPeer peer("127.0.51.1", 0);
        peer.setIdentity(foreignCamera());
        QVERIFY(peer.start());
        gvcp::ForceIp request;
        gvcp::parseMac("00:11:1c:00:aa:02", request.mac);
        request.ip = 0x0A000001;
        GvcpTestClient client;
        const std::vector<uint8_t> answer = client.request(
            "127.0.51.1", peer.port(),
            gvcp::buildCommand(gvcp::ForceIpCmd, gvcp::FlagAckRequired, client.nextId(), gvcp::encodeForceIp(request)),
            300);
        QVERIFY(answer.empty());
        QCOMPARE(peer.forceIpRequests().size(), size_t(1));
        QCOMPARE(gvcp::formatIpv4(peer.identity().ip), std::string("10.1.2.3"));
    }

    void malformedCommandsAreIgnored()
    {
        GvcpScriptedPeer peer("127.0.51.1", 0);
        QVERIFY(peer.start());
        GvcpTestClient client;
        // A FORCEIP that claims more payload than it carries, then a short one.
        std::vector<uint8_t> lying = gvcp::buildCommand(gvcp::ForceIpCmd, gvcp::FlagAckRequired, 1,
                                                        std::vector<uint8_t>(gvcp::ForceIpPayloadSize));
        lying.resize(20);
        QVERIFY(client.request("127.0.51.1", peer.port(), lying, 200).empty());
        QVERIFY(client.request("127.0.51.1", peer.port(),
                               gvcp::buildCommand(gvcp::ForceIpCmd, gvcp::FlagAckRequired, 2, {1, 2, 3, 4}), 200)
                    .empty());
        QVERIFY(peer.forceIpRequests().empty());
        // Still answering afterwards.
        uint32_t value = 0;
        uint16_t status = 0;
        QVERIFY(client.readRegister("127.0.51.1", peer.port(), gvcp::RegControlChannelPrivilege, value, status));
    }

    void startStopRepeatedly()
    {
        for (int i = 0; i < 20; ++i) {
            GvcpScriptedPeer peer("127.0.51.3");
            QVERIFY(peer.start());
            GvcpScriptedPeer clash("127.0.51.3");
            QVERIFY(!clash.start()); // the port is taken
            peer.stop();
            QVERIFY(!peer.isRunning());
        }
    }
};

QTEST_GUILESS_MAIN(TestGvcpScriptedPeer)
#include "tst_gvcpscriptedpeer.moc"
