// The scripted GVCP responder: discovery ack with a foreign address in its
// payload, the scripted control privilege, FORCEIP recorded and acknowledged.

#include "GvcpScriptedPeer.h"
#include "GvcpTestClient.h"

#include <QtTest>

namespace {

NqGvcp::DeviceRecord foreignCamera()
{
    NqGvcp::DeviceRecord identity;
    NqGvcp::parseIp("10.1.2.3", identity.ip);
    NqGvcp::parseIp("255.255.255.0", identity.subnetMask);
    NqGvcp::parseIp("10.1.2.254", identity.gateway);
    NqGvcp::parseMac("00:11:1c:00:aa:01", identity.mac);
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
        const std::vector<uint8_t> answer =
            client.request("127.0.51.1", peer.port(),
                           NqGvcp::buildCommand(NqGvcp::DISCOVERY_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, id));
        NqGvcp::AckHeader ack;
        const uint8_t* payload = nullptr;
        QVERIFY(NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, payload));
        QCOMPARE(ack.answer, uint16_t(NqGvcp::DISCOVERY_ACK));
        QCOMPARE(ack.ackId, id);
        NqGvcp::DeviceRecord data;
        QVERIFY(NqGvcp::parseDeviceRecord(payload, ack.length, data));
        QCOMPARE(NqGvcp::formatIp(data.ip), std::string("10.1.2.3"));
        QCOMPARE(NqGvcp::formatIp(data.subnetMask), std::string("255.255.255.0"));
        QCOMPARE(NqGvcp::formatIp(data.gateway), std::string("10.1.2.254"));
        QCOMPARE(NqGvcp::formatMac(data.mac), std::string("00:11:1c:00:aa:01"));
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
        QVERIFY(client.readRegister("127.0.51.1", peer.port(), NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, value, status));
        QCOMPARE(status, uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
        QCOMPARE(value, uint32_t(privilege));
    }

    void forceIpRoundTrip()
    {
        // The standard GVCP port on an address of its own.
        GvcpScriptedPeer peer("127.0.51.2");
        peer.setIdentity(foreignCamera());
        QVERIFY(peer.start());
        QCOMPARE(peer.port(), NqGvcp::GVCP_PORT);

        NqGvcp::ForceIp request;
        request.mac = foreignCamera().mac;
        NqGvcp::parseIp("192.168.5.7", request.ip);
        NqGvcp::parseIp("255.255.0.0", request.subnetMask);
        NqGvcp::parseIp("192.168.0.1", request.gateway);
        GvcpTestClient client;
        const uint16_t id = client.nextId();
        const std::vector<uint8_t> answer =
            client.request("127.0.51.2", NqGvcp::GVCP_PORT,
                           NqGvcp::buildCommand(NqGvcp::FORCEIP_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, id,
                                                NqGvcp::buildForceIpPayload(request)));
        NqGvcp::AckHeader ack;
        const uint8_t* payload = nullptr;
        QVERIFY(NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, payload));
        QCOMPARE(ack.answer, uint16_t(NqGvcp::FORCEIP_ACK));
        QCOMPARE(ack.status, uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
        QCOMPARE(ack.ackId, id);

        QVERIFY(peer.waitForForceIp(1, 5000));
        const std::vector<NqGvcp::ForceIp> received = peer.forceIpRequests();
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received[0].mac, request.mac);
        QCOMPARE(NqGvcp::formatIp(received[0].ip), std::string("192.168.5.7"));
        QCOMPARE(NqGvcp::formatIp(received[0].subnetMask), std::string("255.255.0.0"));
        QCOMPARE(NqGvcp::formatIp(received[0].gateway), std::string("192.168.0.1"));
        // The device took the new address: the next discovery says so.
        QCOMPARE(NqGvcp::formatIp(peer.identity().ip), std::string("192.168.5.7"));
    }

    void forceIpForAnotherMacIsRecordedButNotAcknowledged()
    {
        GvcpScriptedPeer peer("127.0.51.1", 0);
        peer.setIdentity(foreignCamera());
        QVERIFY(peer.start());
        NqGvcp::ForceIp request;
        NqGvcp::parseMac("00:11:1c:00:aa:02", request.mac);
        request.ip = 0x0A000001;
        GvcpTestClient client;
        client.send("127.0.51.1", peer.port(),
                    NqGvcp::buildCommand(NqGvcp::FORCEIP_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, client.nextId(),
                                         NqGvcp::buildForceIpPayload(request)));
        // The peer answers in turn: the first answer to come back is the read's.
        uint32_t value = 0;
        uint16_t status = 0;
        QVERIFY(client.readRegister("127.0.51.1", peer.port(), NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, value, status));
        QCOMPARE(peer.forceIpRequests().size(), size_t(1));
        QCOMPARE(NqGvcp::formatIp(peer.identity().ip), std::string("10.1.2.3"));
    }

    void malformedCommandsAreIgnored()
    {
        GvcpScriptedPeer peer("127.0.51.1", 0);
        QVERIFY(peer.start());
        GvcpTestClient client;
        // A FORCEIP that claims more payload than it carries, then a short one.
        std::vector<uint8_t> lying = NqGvcp::buildCommand(NqGvcp::FORCEIP_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE,
                                                          client.nextId(),
                                                          std::vector<uint8_t>(NqGvcp::FORCEIP_CMD_PAYLOAD_SIZE));
        lying.resize(20);
        client.send("127.0.51.1", peer.port(), lying);
        client.send("127.0.51.1", peer.port(),
                    NqGvcp::buildCommand(NqGvcp::FORCEIP_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, client.nextId(),
                                         {1, 2, 3, 4}));
        // Still answering afterwards, in turn: the first answer to come back
        // is the read's, and the two before it were taken and dropped.
        uint32_t value = 0;
        uint16_t status = 0;
        QVERIFY(client.readRegister("127.0.51.1", peer.port(), NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, value, status));
        QVERIFY(peer.forceIpRequests().empty());
    }

    // A held write or read is answered "pending" again and again, a write's
    // retries are not new writes, and once let go it is acknowledged.
    void heldWritesArePendingUntilReleased()
    {
        GvcpScriptedPeer peer("127.0.51.4", 0);
        QVERIFY(peer.start());
        GvcpTestClient client;
        const uint32_t ccp = NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE;
        QCOMPARE(client.writeRegister("127.0.51.4", peer.port(), ccp, 0), uint16_t(NqGvcp::GEV_STATUS_NOT_IMPLEMENTED));

        peer.holdWrites(true);
        std::vector<uint8_t> payload(8);
        NqGvcp::put32(payload.data(), ccp);
        const uint16_t id = client.nextId();
        const std::vector<uint8_t> write =
            NqGvcp::buildCommand(NqGvcp::WRITEREG_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, id, payload);
        const auto answerTo = [id](const std::vector<uint8_t>& answer) {
            NqGvcp::AckHeader ack;
            const uint8_t* data = nullptr;
            if (!NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, data) || ack.ackId != id)
                return uint32_t(0);
            // A pending ack says when the write is to end (ms, bits 0..15).
            return ack.answer == NqGvcp::PENDING_ACK && ack.length == 4 ? (0x10000u | NqGvcp::get32(data))
                                                                        : uint32_t(ack.answer);
        };
        QCOMPARE(answerTo(client.request("127.0.51.4", peer.port(), write)), 0x10000u | 1000u);
        client.send("127.0.51.4", peer.port(), write); // the host's retry
        QCOMPARE(answerTo(client.receive()), 0x10000u | 1000u);
        QCOMPARE(answerTo(client.receive()), 0x10000u | 1000u); // renewed while held
        QCOMPARE(peer.writeCount(), 2);

        peer.holdWrites(false);
        uint32_t answer = 0;
        for (int i = 0; i < 5 && (answer == 0 || answer > 0xFFFF); ++i)
            answer = answerTo(client.receive());
        QCOMPARE(answer, uint32_t(NqGvcp::WRITEREG_ACK));
        QVERIFY(client.receive(400).empty()); // past a renewal: renewals end with the hold

        // Held reads: the privilege alone (a heartbeat) goes unanswered.
        peer.holdReads(true);
        uint32_t value = 0;
        uint16_t status = 0;
        QVERIFY(!client.readRegister("127.0.51.4", peer.port(), ccp, value, status));
        std::vector<uint8_t> registers(8);
        NqGvcp::put32(registers.data(), ccp);
        NqGvcp::put32(registers.data() + 4, NqGvcp::REG_HEARTBEAT_TIMEOUT);
        const uint16_t readId = client.nextId();
        const std::vector<uint8_t> read =
            NqGvcp::buildCommand(NqGvcp::READREG_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, readId, registers);
        NqGvcp::AckHeader ack;
        const std::vector<uint8_t> pending = client.request("127.0.51.4", peer.port(), read);
        QVERIFY(NqGvcp::parseAckHeader(pending.data(), pending.size(), ack));
        QCOMPARE(ack.answer, uint16_t(NqGvcp::PENDING_ACK));
        QCOMPARE(ack.ackId, readId);
        peer.holdReads(false);
        std::vector<uint8_t> done;
        for (int i = 0; i < 5 && ack.answer == NqGvcp::PENDING_ACK; ++i) {
            done = client.receive();
            QVERIFY(NqGvcp::parseAckHeader(done.data(), done.size(), ack));
        }
        QCOMPARE(ack.answer, uint16_t(NqGvcp::READREG_ACK));
        QCOMPARE(ack.length, uint16_t(8));
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
