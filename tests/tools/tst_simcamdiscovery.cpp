// Aravis's own discovery (a broadcast from 127.0.0.1 on loopback) finds the
// simulated camera and the scripted peer on 127.0.0.1 with the identity they
// were given; cameras on other 127.x addresses stay out of it unless asked
// (LOCK simcam3956: only one process may serve 127.0.0.1:3956).

#include "GvcpScriptedPeer.h"
#include "SimulatedCamera.h"

#include <arv.h>

#include <QtTest>

#include <arpa/inet.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The index of the first listed device that `matches`, or -1. Aravis waits a
// fixed time for discovery answers, and the peers answer from threads of this
// process that a loaded machine may run late: the search is repeated until
// one matches, within a generous bound.
int discover(const std::function<bool(unsigned)>& matches)
{
    QDeadlineTimer deadline(30000);
    do {
        arv_update_device_list();
        for (unsigned i = 0; i < arv_get_n_devices(); ++i)
            if (matches(i))
                return int(i);
    } while (!deadline.hasExpired());
    return -1;
}

} // namespace

class TestSimCamDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void discoveredWithItsIdentity()
    {
        SimulatedCameraOptions options;
        options.model = "GEV_K3370M";
        options.serial = "SIM03956";
        options.mac = "02:4b:53:00:39:56";
        options.userName = "Bench";
        SimulatedCamera camera(options);
        QVERIFY(camera.start());

        const int found =
            discover([](unsigned i) { return QString::fromLatin1(arv_get_device_address(i)) == "127.0.0.1"; });
        QVERIFY2(found >= 0, "the camera was not discovered");
        QCOMPARE(QString::fromLatin1(arv_get_device_model(unsigned(found))), QString("GEV_K3370M"));
        QCOMPARE(QString::fromLatin1(arv_get_device_serial_nbr(unsigned(found))), QString("SIM03956"));
        QCOMPARE(QString::fromLatin1(arv_get_device_vendor(unsigned(found))), QString("Kessane"));
        QCOMPARE(QString::fromLatin1(arv_get_device_physical_id(unsigned(found))).toLower(),
                 QString("02:4b:53:00:39:56"));

        // ... and connects by that id.
        GError* error = nullptr;
        ArvCamera* client = arv_camera_new(arv_get_device_id(unsigned(found)), &error);
        QVERIFY2(client != nullptr, error ? error->message : "");
        QCOMPARE(QString::fromUtf8(arv_camera_get_model_name(client, &error)), QString("GEV_K3370M"));
        g_object_unref(client);
        g_clear_error(&error);
    }

    void otherAddressesAnswerBroadcastsOnlyWhenAsked()
    {
        SimulatedCameraOptions quiet;
        quiet.address = "127.0.50.10";
        quiet.serial = "QUIET";
        SimulatedCameraOptions loud = quiet;
        loud.address = "127.0.50.11";
        loud.serial = "LOUD";
        loud.broadcastDiscovery = true;
        SimulatedCamera quietCamera(quiet);
        SimulatedCamera loudCamera(loud);
        QVERIFY(quietCamera.start());
        QVERIFY(loudCamera.start());
        // In the search the loud camera answered, the quiet one did not.
        QVERIFY(discover([](unsigned i) { return QString::fromLatin1(arv_get_device_serial_nbr(i)) == "LOUD"; }) >= 0);
        QStringList serials;
        for (unsigned i = 0; i < arv_get_n_devices(); ++i)
            serials << QString::fromLatin1(arv_get_device_serial_nbr(i));
        QVERIFY(!serials.contains("QUIET"));
    }

    // A camera whose ack names a foreign subnet: Aravis lists it there, and
    // nothing is ever sent to that address (there is no route to it here).
    void scriptedPeerIsDiscoveredWithItsForeignAddress()
    {
        GvcpScriptedPeer peer("127.0.0.1");
        NqGvcp::DeviceRecord identity;
        NqGvcp::parseIp("10.1.2.3", identity.ip);
        NqGvcp::parseIp("255.255.255.0", identity.subnetMask);
        NqGvcp::parseMac("00:11:1c:00:aa:01", identity.mac);
        identity.manufacturer = "Kessane";
        identity.model = "GEV_K3370M";
        identity.serial = "FOREIGN1";
        identity.userName = "Elsewhere";
        peer.setIdentity(identity);
        QVERIFY(peer.start());
        const int found =
            discover([](unsigned i) { return QString::fromLatin1(arv_get_device_serial_nbr(i)) == "FOREIGN1"; });
        QVERIFY(found >= 0);
        QCOMPARE(QString::fromLatin1(arv_get_device_address(unsigned(found))), QString("10.1.2.3"));
        QVERIFY(peer.discoveryCount() >= 1);
    }

    // A broadcast gets a discovery answer only: a register read broadcast on
    // loopback (as a careless host would) is left unanswered. The camera
    // takes the datagrams in order, so once the discovery sent after the read
    // is answered, a read answer would have come before it.
    void broadcastReadIsNotAnswered()
    {
        SimulatedCamera camera; // 127.0.0.1
        QVERIFY(camera.start());
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        QVERIFY(fd >= 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(NqGvcp::GVCP_PORT);
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        const auto broadcast = [&](const NqGvcp::Packet& packet) {
            return ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to)
                == ssize_t(packet.size());
        };
        QVERIFY(broadcast(NqGvcp::buildReadRegCmd(1, {NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE})));
        QVERIFY(broadcast(NqGvcp::buildDiscoveryCmd(2)));
        QList<int> answers; // the answer kinds, in order
        QDeadlineTimer deadline(30000);
        while (!answers.contains(NqGvcp::DISCOVERY_ACK) && !deadline.hasExpired()) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            uint8_t datagram[1024];
            const ssize_t n = ::recv(fd, datagram, sizeof datagram, 0);
            NqGvcp::AckHeader ack;
            if (n > 0 && NqGvcp::parseAckHeader(datagram, size_t(n), ack))
                answers << int(ack.answer);
        }
        ::close(fd);
        QCOMPARE(answers, QList<int>{NqGvcp::DISCOVERY_ACK});
    }

    void cleanupTestCase() { arv_shutdown(); }
};

QTEST_GUILESS_MAIN(TestSimCamDiscovery)
#include "tst_simcamdiscovery.moc"
