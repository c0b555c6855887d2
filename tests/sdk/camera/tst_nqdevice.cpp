// NqDevice against the simulated camera, connected by IP (no discovery).
#include "GvcpScriptedPeer.h"
#include "SimulatedCamera.h"
#include "camera/NqDevice.h"

#include <QtTest>

#include <atomic>
#include <thread>

namespace {
const char* const kCameraIp = "127.0.83.2";
}

class TestNqDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void connectKeepsDeviceInfo();
    void featureRoundTrip_data();
    void featureRoundTrip();
    void absentFeatureIsNull();
    void invalidWriteFails_data();
    void invalidWriteFails();
    void commandsExecute();
    void busyCameraIsAlreadyInUse();
    void secondControllerIsAlreadyInUse();
    void packetSize();
    void streamDestination();
    void disconnectIsIdempotent();
    void featureAccessFromTwoThreads();
    void controlLostWhenTheCameraGoes();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<NqDevice> m_device;
};

void TestNqDevice::initTestCase()
{
    SimulatedCameraOptions options;
    options.address = kCameraIp;
    m_camera = std::make_unique<SimulatedCamera>(options);
    QVERIFY(m_camera->start());
}

void TestNqDevice::cleanupTestCase()
{
    m_camera.reset();
}

void TestNqDevice::init()
{
    m_device = std::make_unique<NqDevice>();
    const NqResult result = m_device->Connect(NqString(kCameraIp));
    QVERIFY2(result.IsOK(), result.GetDescription().GetAscii());
}

void TestNqDevice::cleanup()
{
    m_device.reset();
    m_camera->setControlPrivilege(0);
}

void TestNqDevice::connectKeepsDeviceInfo()
{
    QVERIFY(m_device->IsConnected());
    QCOMPARE(QString(m_device->GetIPAddress()), QString(kCameraIp));
    const NqDeviceInfo* info = m_device->GetDeviceInfo();
    QVERIFY(info);
    const SimulatedCameraOptions& options = m_camera->options();
    QCOMPARE(QString(info->GetIPAddress()), QString(kCameraIp));
    QCOMPARE(QString(info->GetMACAddress()), QString::fromStdString(options.mac));
    QCOMPARE(QString(info->GetModel()), QString::fromStdString(options.model));
    QCOMPARE(QString(info->GetSerialNumber()), QString::fromStdString(options.serial));
    QCOMPARE(QString(info->GetUserDefinedName()), QString::fromStdString(options.userName));
    QVERIFY(!info->GetManufacturer().IsEmpty());
    QVERIFY(!info->GetInterface());
}

void TestNqDevice::featureRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("written"); // as text: numbers, entry names, true/false
    QTest::addColumn<QString>("expected"); // the value as ToString gives it
    QTest::newRow("integer") << "GainRaw" << int(NqGenType::Integer) << "300" << "300";
    QTest::newRow("float") << "ExposureTimeAbs" << int(NqGenType::Float) << "20000" << "20000";
    QTest::newRow("enum by name") << "TriggerMode" << int(NqGenType::Enum) << "On" << "On";
    QTest::newRow("enum by value") << "PixelFormat" << int(NqGenType::Enum) << "#17825797" << "Mono12";
    QTest::newRow("boolean") << "LUTEnable" << int(NqGenType::Boolean) << "true" << "true";
    QTest::newRow("string") << "DeviceUserID" << int(NqGenType::String) << "Bench7" << "Bench7";
}

void TestNqDevice::featureRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(QString, written);
    QFETCH(QString, expected);
    NqGenParameterArray* features = m_device->GetGenParameters();
    const std::string featureName = name.toStdString();
    NqGenParameter* parameter = features->Get(featureName.c_str());
    QVERIFY(parameter);
    QCOMPARE(int(parameter->GetType()), type);
    QVERIFY(parameter->IsReadable());
    QVERIFY(parameter->IsWritable());
    QCOMPARE(QString(parameter->GetName()), name);

    NqResult result;
    switch (NqGenType(type)) {
    case NqGenType::Integer: {
        result = features->SetIntegerValue(featureName.c_str(), written.toLongLong());
        int64_t value = 0;
        QVERIFY(features->GetIntegerValue(featureName.c_str(), value).IsOK());
        QCOMPARE(value, written.toLongLong());
        int64_t min = 0, max = 0;
        QVERIFY(features->GetInteger(featureName.c_str())->GetMin(min).IsOK());
        QVERIFY(features->GetInteger(featureName.c_str())->GetMax(max).IsOK());
        QVERIFY(min <= value && value <= max);
        break;
    }
    case NqGenType::Float: {
        result = features->SetFloatValue(featureName.c_str(), written.toDouble());
        double value = 0;
        QVERIFY(features->GetFloatValue(featureName.c_str(), value).IsOK());
        QCOMPARE(value, written.toDouble());
        break;
    }
    case NqGenType::Enum:
        if (written.startsWith('#')) {
            result = features->SetEnumValue(featureName.c_str(), int64_t(written.mid(1).toLongLong()));
            int64_t value = 0;
            QVERIFY(features->GetEnumValue(featureName.c_str(), value).IsOK());
            QCOMPARE(value, written.mid(1).toLongLong());
        } else {
            result = features->SetEnumValue(featureName.c_str(), written.toLatin1().constData());
        }
        break;
    case NqGenType::Boolean: {
        result = features->SetBooleanValue(featureName.c_str(), written == "true");
        bool value = false;
        QVERIFY(features->GetBooleanValue(featureName.c_str(), value).IsOK());
        QCOMPARE(value, written == "true");
        break;
    }
    case NqGenType::String:
        result = features->SetStringValue(featureName.c_str(), written.toLatin1().constData());
        break;
    case NqGenType::Command:
        QFAIL("commands have their own case");
    }
    QVERIFY2(result.IsOK(), result.GetDescription().GetAscii());
    NqString text;
    QVERIFY(parameter->ToString(text).IsOK());
    if (NqGenType(type) == NqGenType::Float)
        QCOMPARE(QString(text).toDouble(), expected.toDouble());
    else
        QCOMPARE(QString(text), expected);
}

void TestNqDevice::absentFeatureIsNull()
{
    NqGenParameterArray* features = m_device->GetGenParameters();
    QVERIFY(!features->Get("NoSuchFeature"));
    QVERIFY(!features->Get(""));
    QVERIFY(!features->Get(nullptr));
    QVERIFY(!features->GetInteger("PixelFormat")); // an enumeration, not an integer
    QVERIFY(!features->GetCommand("GainRaw"));
    int64_t value = 0;
    QCOMPARE(features->GetIntegerValue("NoSuchFeature", value).GetCode(), uint32_t(NqResult::Code::NOT_FOUND));
    QCOMPARE(features->ExecuteCommand("NoSuchCommand").GetCode(), uint32_t(NqResult::Code::NOT_FOUND));
}

void TestNqDevice::invalidWriteFails_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::newRow("integer above max") << "GainRaw" << "5000";
    QTest::newRow("integer below min") << "TriggerNumFrames" << "0";
    QTest::newRow("enum unknown value") << "PixelFormat" << "#74565";
    QTest::newRow("enum unknown name") << "PixelFormat" << "Mono99";
    QTest::newRow("read-only integer") << "CcdType" << "12";
    QTest::newRow("string too long") << "DeviceUserID" << QString(80, 'x');
}

void TestNqDevice::invalidWriteFails()
{
    QFETCH(QString, name);
    QFETCH(QString, written);
    NqGenParameterArray* features = m_device->GetGenParameters();
    const std::string featureName = name.toStdString();
    NqGenParameter* parameter = features->Get(featureName.c_str());
    QVERIFY(parameter);
    NqString before;
    QVERIFY(parameter->ToString(before).IsOK());

    NqResult result;
    switch (parameter->GetType()) {
    case NqGenType::Integer:
        result = features->SetIntegerValue(featureName.c_str(), written.toLongLong());
        break;
    case NqGenType::Enum:
        result = written.startsWith('#')
                     ? features->SetEnumValue(featureName.c_str(), int64_t(written.mid(1).toLongLong()))
                     : features->SetEnumValue(featureName.c_str(), written.toLatin1().constData());
        break;
    case NqGenType::String:
        result = features->SetStringValue(featureName.c_str(), written.toLatin1().constData());
        break;
    default:
        QFAIL("no such case in the table");
    }
    QVERIFY(result.IsFailure());
    QVERIFY(!result.GetDescription().IsEmpty());
    NqString after;
    QVERIFY(parameter->ToString(after).IsOK());
    QCOMPARE(QString(after), QString(before));
}

void TestNqDevice::commandsExecute()
{
    NqGenParameterArray* features = m_device->GetGenParameters();
    NqGenCommand* start = features->GetCommand("AcquisitionStart");
    QVERIFY(start);
    QVERIFY(start->Execute().IsOK());
    QVERIFY(features->ExecuteCommand("AcquisitionStop").IsOK());
}

void TestNqDevice::busyCameraIsAlreadyInUse()
{
    m_device.reset();
    m_camera->setControlPrivilege(2); // held by a controller elsewhere
    NqDevice device;
    const NqResult result = device.Connect(NqString(kCameraIp));
    QVERIFY(result.IsFailure());
    QVERIFY2(QString(result.GetDescription()).contains("already in use"), result.GetDescription().GetAscii());
    QVERIFY(!device.IsConnected());
    QVERIFY(!device.GetGenParameters()->Get("GainRaw"));

    m_camera->setControlPrivilege(0);
    QVERIFY(device.Connect(NqString(kCameraIp)).IsOK());
}

void TestNqDevice::secondControllerIsAlreadyInUse()
{
    NqDevice second;
    const NqResult result = second.Connect(NqString(kCameraIp));
    QVERIFY(QString(result.GetDescription()).contains("already in use"));
    // Once the first lets go, the second gets it.
    m_device->Disconnect();
    QVERIFY(second.Connect(NqString(kCameraIp)).IsOK());
}

void TestNqDevice::packetSize()
{
    int64_t max = 0;
    NqGenInteger* size = m_device->GetGenParameters()->GetInteger("GevSCPSPacketSize");
    QVERIFY(size);
    QVERIFY(size->GetMax(max).IsOK());
    // A size beyond what the camera allows fails and changes nothing.
    int64_t before = 0;
    QVERIFY(size->GetValue(before).IsOK());
    QVERIFY(m_device->NegotiatePacketSize(0, uint32_t(max + 4)).IsFailure());
    int64_t after = 0;
    QVERIFY(size->GetValue(after).IsOK());
    QCOMPARE(after, before);
    // 9000 works exactly when the camera's range holds it.
    QCOMPARE(m_device->NegotiatePacketSize(0, 9000).IsOK(), max >= 9000);
    QVERIFY(m_device->NegotiatePacketSize(0, 0).IsOK());
    QVERIFY(m_device->NegotiatePacketSize(1, 1500).IsFailure());
}

void TestNqDevice::streamDestination()
{
    QVERIFY(m_device->SetStreamDestination("127.0.0.1", 40000).IsOK());
    NqGenParameterArray* features = m_device->GetGenParameters();
    int64_t port = 0, address = 0;
    QVERIFY(features->GetIntegerValue("GevSCPHostPort", port).IsOK());
    QVERIFY(features->GetIntegerValue("GevSCDA", address).IsOK());
    QCOMPARE(port, int64_t(40000));
    QCOMPARE(address, int64_t(0x7F000001));
    QCOMPARE(m_device->SetStreamDestination("not an ip", 1).GetCode(), uint32_t(NqResult::Code::INVALID_PARAMETER));
}

void TestNqDevice::disconnectIsIdempotent()
{
    NqGenInteger* gain = m_device->GetGenParameters()->GetInteger("GainRaw");
    QVERIFY(gain);
    QVERIFY(m_device->Disconnect().IsOK());
    QVERIFY(m_device->Disconnect().IsOK());
    QVERIFY(!m_device->IsConnected());
    QVERIFY(!m_device->GetDeviceInfo());
    int64_t value = 0;
    // A parameter kept from before fails cleanly instead of touching a gone camera.
    QCOMPARE(gain->GetValue(value).GetCode(), uint32_t(NqResult::Code::NOT_CONNECTED));
    QVERIFY(!m_device->GetGenParameters()->Get("GainRaw"));
    QVERIFY(m_device->NegotiatePacketSize(0, 0).IsFailure());
    // The same parameter object works again after a reconnect.
    QVERIFY(m_device->Connect(NqString(kCameraIp)).IsOK());
    QVERIFY(gain->GetValue(value).IsOK());
}

// The heartbeat notices a camera that went away; disconnecting it then does
// not wait for the camera. Its address then answers every write with "still
// busy" for as long as the test lets it: a disconnect that talked to the
// camera itself would wait all that time.
void TestNqDevice::controlLostWhenTheCameraGoes()
{
    SimulatedCameraOptions options;
    options.address = "127.0.83.20";
    SimulatedCamera camera(options);
    QVERIFY(camera.start());
    NqDevice device;
    QVERIFY(device.Connect(NqString(options.address)).IsOK());
    QTest::qWait(1500); // heartbeats answered
    QVERIFY(!device.IsLost());
    camera.stop();
    QTRY_VERIFY_WITH_TIMEOUT(device.IsLost(), 15000);
    QVERIFY(device.IsConnected());

    GvcpScriptedPeer busy(options.address);
    QVERIFY(busy.start());
    busy.holdWrites(true);
    std::atomic<bool> disconnected{false};
    std::thread caller([&] {
        device.Disconnect();
        disconnected = true;
    });
    const bool returned = QTest::qWaitFor([&] { return disconnected.load(); }, 20000);
    busy.holdWrites(false);
    caller.join();
    QVERIFY(returned);
    QVERIFY(!device.IsConnected());
    // Handing the camera back is still tried, on a thread of its own.
    QVERIFY(busy.waitForWrite(1, 20000));
    busy.stop();

    // Back again: a new connection starts with control.
    QVERIFY(camera.start());
    QVERIFY(device.Connect(NqString(options.address)).IsOK());
    QVERIFY(!device.IsLost());
}

void TestNqDevice::featureAccessFromTwoThreads()
{
    // The acquisition thread reads the temperature while the GUI thread writes.
    NqGenParameterArray* features = m_device->GetGenParameters();
    std::atomic<int> readFailures{0};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            int64_t temperature = 0;
            if (!features->GetIntegerValue("CurrentTemperature", temperature).IsOK())
                ++readFailures;
        }
    });
    int writeFailures = 0;
    for (int i = 0; i < 200; ++i) {
        if (!features->SetIntegerValue("GainRaw", i).IsOK())
            ++writeFailures;
        int64_t value = -1;
        features->GetIntegerValue("GainRaw", value);
        if (value != i)
            ++writeFailures;
    }
    done = true;
    reader.join();
    QCOMPARE(writeFailures, 0);
    QCOMPARE(readFailures.load(), 0);
}

QTEST_GUILESS_MAIN(TestNqDevice)
#include "tst_nqdevice.moc"
