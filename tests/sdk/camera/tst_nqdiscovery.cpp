// Our own GVCP discovery finding the simulated camera on 127.0.0.1 (loopback
// gets the discovery unicast), with its access status.
#include "GvcpScriptedPeer.h"
#include "SimulatedCamera.h"
#include "camera/NqDevice.h"
#include "camera/NqSystem.h"

#include <QtTest>

namespace {

const NqInterface* loopback(const NqSystem& system)
{
    for (uint32_t i = 0; i < system.GetInterfaceCount(); ++i)
        if (QString(system.GetInterface(i)->GetIPAddress()) == "127.0.0.1")
            return system.GetInterface(i);
    return nullptr;
}

constexpr int AnyAccess = -1;

// The camera as a search finds it on loopback, the search repeated until it
// comes with `access` (or the last found after a generous bound): the camera
// answers the search and the access check from a thread of this process that
// a loaded machine may run after their time-outs.
const NqDeviceInfo* findCamera(NqSystem& system, int access = AnyAccess)
{
    const NqDeviceInfo* found = nullptr;
    QDeadlineTimer deadline(30000);
    do {
        const NqInterface* lo = system.Find().IsOK() ? loopback(system) : nullptr;
        found = lo && lo->GetDeviceCount() == 1 ? lo->GetDeviceInfo(0) : nullptr;
    } while ((!found || (access != AnyAccess && found->GetAccessStatus() != access)) && !deadline.hasExpired());
    return found;
}

} // namespace

class TestNqDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void findsCameraWithEveryField();
    void accessStatus();
    void connectFromDiscovery();
    void nothingToFind();
    void accessOfScriptedCameras();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
};

void TestNqDiscovery::initTestCase()
{
    m_camera = std::make_unique<SimulatedCamera>(); // 127.0.0.1
    QVERIFY(m_camera->start());
}

void TestNqDiscovery::cleanupTestCase()
{
    m_camera.reset();
}

void TestNqDiscovery::findsCameraWithEveryField()
{
    NqSystem system;
    QCOMPARE(system.GetDetectionTimeout(), 500u);
    system.SetDetectionTimeout(300);
    // A search waits out the detection time-out for answers.
    QElapsedTimer timer;
    timer.start();
    QVERIFY(system.Find().IsOK());
    QVERIFY(timer.elapsed() >= 290);
    const NqDeviceInfo* info = findCamera(system, NqDeviceInfo::AccessOpen);
    QVERIFY(info);
    const NqInterface* lo = loopback(system);
    QCOMPARE(QString(lo->GetDescription()), QString("lo"));
    QCOMPARE(QString(lo->GetSubnetMask()), QString("255.0.0.0"));
    QCOMPARE(info->GetInterface(), lo);

    const SimulatedCameraOptions& options = m_camera->options();
    QCOMPARE(QString(info->GetIPAddress()), QString("127.0.0.1"));
    QCOMPARE(QString(info->GetMACAddress()), QString::fromStdString(options.mac));
    QCOMPARE(QString(info->GetSubnetMask()), QString("255.0.0.0"));
    QCOMPARE(QString(info->GetDefaultGateway()), QString("0.0.0.0"));
    QCOMPARE(QString(info->GetManufacturer()), QString("Kessane"));
    QCOMPARE(QString(info->GetModel()), QString::fromStdString(options.model));
    QCOMPARE(QString(info->GetVersion()), QString("2.5.3"));
    QCOMPARE(QString(info->GetSerialNumber()), QString::fromStdString(options.serial));
    QCOMPARE(QString(info->GetUserDefinedName()), QString::fromStdString(options.userName));
    QCOMPARE(info->GetAccessStatus(), int(NqDeviceInfo::AccessOpen));
}

void TestNqDiscovery::accessStatus()
{
    NqSystem system;
    m_camera->setControlPrivilege(2);
    const NqDeviceInfo* info = findCamera(system, NqDeviceInfo::AccessBusy);
    QVERIFY(info);
    QCOMPARE(info->GetAccessStatus(), int(NqDeviceInfo::AccessBusy));
    m_camera->setControlPrivilege(0);
    info = findCamera(system, NqDeviceInfo::AccessOpen);
    QVERIFY(info);
    QCOMPARE(info->GetAccessStatus(), int(NqDeviceInfo::AccessOpen));

    // Held by a second controller of our own.
    NqDevice other;
    QVERIFY(other.Connect(NqString("127.0.0.1")).IsOK());
    info = findCamera(system, NqDeviceInfo::AccessBusy);
    QVERIFY(info);
    QCOMPARE(info->GetAccessStatus(), int(NqDeviceInfo::AccessBusy));
    other.Disconnect();
    info = findCamera(system, NqDeviceInfo::AccessOpen);
    QVERIFY(info);
    QCOMPARE(info->GetAccessStatus(), int(NqDeviceInfo::AccessOpen));
}

void TestNqDiscovery::connectFromDiscovery()
{
    NqSystem system;
    const NqDeviceInfo* info = findCamera(system);
    QVERIFY(info);
    NqDevice device;
    QVERIFY(device.Connect(info).IsOK());
    const NqDeviceInfo* kept = device.GetDeviceInfo();
    QVERIFY(kept && kept != info);
    QCOMPARE(QString(kept->GetSerialNumber()), QString(info->GetSerialNumber()));
    QVERIFY(!kept->GetInterface());
    // Reconnecting with the device's own copy works (the copy is replaced).
    QVERIFY(device.Connect(kept).IsOK());
    QCOMPARE(QString(device.GetDeviceInfo()->GetSerialNumber()), QString(info->GetSerialNumber()));
}

void TestNqDiscovery::nothingToFind()
{
    m_camera->stop();
    NqSystem system;
    QVERIFY(system.Find().IsOK());
    const NqInterface* lo = loopback(system);
    QVERIFY(lo);
    QCOMPARE(lo->GetDeviceCount(), 0u);
    QVERIFY(!lo->GetDeviceInfo(0));
    QVERIFY(m_camera->start());
}

// A camera that does not answer the access check is taken as held by another
// controller (connecting would fail), and one whose address lies outside the
// interface's subnet is reported as such without being asked (it could not
// be reached).
void TestNqDiscovery::accessOfScriptedCameras()
{
    m_camera->stop();
    GvcpScriptedPeer peer("127.0.0.1");
    NqGvcp::DeviceRecord identity;
    NqGvcp::parseIp("127.0.0.1", identity.ip);
    NqGvcp::parseIp("255.0.0.0", identity.subnetMask);
    NqGvcp::parseMac("02:4b:53:00:00:07", identity.mac);
    identity.serial = "SCRIPTED";
    peer.setIdentity(identity);
    peer.answerReads(false);
    QVERIFY(peer.start());
    NqSystem system;
    // Searched until found; once found, its access is what an unanswered check gives.
    const NqDeviceInfo* info = findCamera(system);
    QVERIFY(info);
    QCOMPARE(QString(info->GetSerialNumber()), QString("SCRIPTED"));
    QCOMPARE(info->GetAccessStatus(), int(NqDeviceInfo::AccessBusy));

    peer.answerReads(true);
    NqGvcp::parseIp("10.1.2.3", identity.ip);
    NqGvcp::parseIp("255.255.255.0", identity.subnetMask);
    peer.setIdentity(identity);
    info = findCamera(system, NqDeviceInfo::AccessOtherSubnet);
    QVERIFY(info);
    QCOMPARE(QString(info->GetIPAddress()), QString("10.1.2.3"));
    QCOMPARE(info->GetAccessStatus(), int(NqDeviceInfo::AccessOtherSubnet));
    peer.stop();
    QVERIFY(m_camera->start());
}

QTEST_GUILESS_MAIN(TestNqDiscovery)
#include "tst_nqdiscovery.moc"
