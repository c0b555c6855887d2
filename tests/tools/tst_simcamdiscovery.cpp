// Aravis's own discovery (a broadcast from 127.0.0.1 on loopback) finds the
// simulated camera and the scripted peer on 127.0.0.1 with the identity they
// were given; cameras on other 127.x addresses stay out of it unless asked
// (LOCK simcam3956: only one process may serve 127.0.0.1:3956).

#include "GvcpScriptedPeer.h"
#include "SimulatedCamera.h"

#include <arv.h>

#include <QtTest>

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

        arv_update_device_list();
        int found = -1;
        for (unsigned i = 0; i < arv_get_n_devices(); ++i)
            if (QString::fromLatin1(arv_get_device_address(i)) == "127.0.0.1")
                found = int(i);
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
        arv_update_device_list();
        QStringList serials;
        for (unsigned i = 0; i < arv_get_n_devices(); ++i)
            serials << QString::fromLatin1(arv_get_device_serial_nbr(i));
        QVERIFY(!serials.contains("QUIET"));
        QVERIFY(serials.contains("LOUD"));
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
        arv_update_device_list();
        int found = -1;
        for (unsigned i = 0; i < arv_get_n_devices(); ++i)
            if (QString::fromLatin1(arv_get_device_serial_nbr(i)) == "FOREIGN1")
                found = int(i);
        QVERIFY(found >= 0);
        QCOMPARE(QString::fromLatin1(arv_get_device_address(unsigned(found))), QString("10.1.2.3"));
        QVERIFY(peer.discoveryCount() >= 1);
    }

    void cleanupTestCase() { arv_shutdown(); }
};

QTEST_GUILESS_MAIN(TestSimCamDiscovery)
#include "tst_simcamdiscovery.moc"
