// The simulated camera through Aravis as a client, on loopback addresses of
// its own (127.0.50.x, so no lock on 127.0.0.1:3956 is needed).

#include "ArvTestSession.h"
#include "GvcpTestClient.h"
#include "SimCamFeatures.h"
#include "SimulatedCamera.h"
#include "camera/NqReceiverTuning.h"
#include "KyNetworkLib/Gvsp.h"

#include <QDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t Mono8 = 0x01080001;
constexpr uint32_t Mono12 = 0x01100005;
constexpr uint32_t Mono16 = 0x01100007;

struct Received
{
    ArvBufferStatus status;
    guint64 frameId;
    int width;
    int height;
    ArvPixelFormat format;
    QByteArray data;
};

// Streams until `whole` frames came complete, or `limit` buffers came back,
// or a buffer is late (10 s: the camera's thread runs in this process, beside
// whatever else a loaded machine runs).
enum class Resend { Ask, Never };
std::vector<Received> grab(ArvTestSession& session, size_t whole, size_t limit, Resend resend = Resend::Ask)
{
    std::vector<Received> out;
    GError* error = nullptr;
    // Received as our SDK receives: through the stream's own UDP socket, which
    // queues packets from the moment it exists (a privileged packet-socket
    // capture starts only with the receiving thread and may miss the start of
    // the first frame), with room for a frame while a loaded machine holds the
    // thread up, and asking for lost packets again when it was held up longer
    // (as many as it lost).
    arv_camera_gv_set_stream_options(session.camera(), ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
    ArvStream* stream = arv_camera_create_stream(session.camera(), nullptr, nullptr, &error);
    if (stream == nullptr) {
        g_clear_error(&error);
        return out;
    }
    nqTuneReceiver(stream);
    g_object_set(stream, "packet-request-ratio", 1.0, nullptr);
    if (resend == Resend::Never)
        g_object_set(stream, "packet-resend", ARV_GV_STREAM_PACKET_RESEND_NEVER, nullptr);
    const guint payload = arv_camera_get_payload(session.camera(), &error);
    for (int i = 0; i < 8; ++i)
        arv_stream_push_buffer(stream, arv_buffer_new(payload, nullptr));
    arv_camera_start_acquisition(session.camera(), &error);
    size_t complete = 0;
    while (error == nullptr && complete < whole && out.size() < limit) {
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 10000000);
        if (buffer == nullptr)
            break;
        size_t size = 0;
        const void* data = arv_buffer_get_data(buffer, &size);
        const ArvBufferStatus status = arv_buffer_get_status(buffer);
        // Incomplete buffers carry no image description.
        const bool isComplete = status == ARV_BUFFER_STATUS_SUCCESS;
        complete += isComplete ? 1 : 0;
        out.push_back({status, arv_buffer_get_frame_id(buffer), isComplete ? arv_buffer_get_image_width(buffer) : 0,
                       isComplete ? arv_buffer_get_image_height(buffer) : 0,
                       isComplete ? arv_buffer_get_image_pixel_format(buffer) : 0,
                       QByteArray(static_cast<const char*>(data), int(size))});
        arv_stream_push_buffer(stream, buffer);
    }
    g_clear_error(&error);
    arv_camera_stop_acquisition(session.camera(), &error);
    g_clear_error(&error);
    g_object_unref(stream);
    return out;
}

QByteArray expectedFrame(const Received& r)
{
    QByteArray bytes(int(SimulatedCamera::frameBytes(uint32_t(r.width), uint32_t(r.height), r.format)), 0);
    SimulatedCamera::fillFrame(reinterpret_cast<uint8_t*>(bytes.data()), uint32_t(r.width), uint32_t(r.height),
                               r.format, r.frameId, SimulatedCameraOptions::Pattern::Gradient);
    return bytes;
}

int entriesIn(const char* path)
{
    return int(QDir(QString::fromLatin1(path)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size());
}

SimulatedCameraOptions optionsAt(const char* address)
{
    SimulatedCameraOptions options;
    options.address = address;
    options.width = 320;
    options.height = 240;
    options.frameRate = 50.0;
    return options;
}

} // namespace

class TestSimulatedCamera : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimulatedCamera> m_camera; // 127.0.50.3, shared by the feature tests
    std::unique_ptr<ArvTestSession> m_session;

private slots:
    void initTestCase()
    {
        SimulatedCameraOptions options = optionsAt("127.0.50.3");
        options.model = "GEV_K3370C";
        options.serial = "SIM00042";
        options.userName = "Colour cam";
        options.ccdType = 12;
        options.mac = "02:4b:53:00:00:42";
        m_camera = std::make_unique<SimulatedCamera>(options);
        QVERIFY(m_camera->start());
        m_session = std::make_unique<ArvTestSession>("127.0.50.3");
        QVERIFY2(m_session->isOpen(), qPrintable(m_session->lastError()));
    }

    void cleanupTestCase()
    {
        m_session.reset();
        m_camera.reset();
    }

    void refusesWhatItCannotServe_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<uint>("format");
        QTest::newRow("private network") << "192.168.1.10" << "02:4b:53:00:00:01" << uint(Mono16);
        QTest::newRow("foreign subnet") << "10.1.2.3" << "02:4b:53:00:00:01" << uint(Mono16);
        QTest::newRow("any address") << "0.0.0.0" << "02:4b:53:00:00:01" << uint(Mono16);
        QTest::newRow("just past loopback") << "128.0.0.1" << "02:4b:53:00:00:01" << uint(Mono16);
        QTest::newRow("not an address") << "camera" << "02:4b:53:00:00:01" << uint(Mono16);
        QTest::newRow("bad mac") << "127.0.50.9" << "02:4b:53" << uint(Mono16);
        QTest::newRow("unknown pixel format") << "127.0.50.9" << "02:4b:53:00:00:01" << 0x02180014u;
    }
    void refusesWhatItCannotServe()
    {
        QFETCH(QString, address);
        QFETCH(QString, mac);
        QFETCH(uint, format);
        SimulatedCameraOptions options = optionsAt("127.0.50.9");
        options.address = address.toStdString();
        options.mac = mac.toStdString();
        options.pixelFormat = format;
        SimulatedCamera camera(options);
        QVERIFY(!camera.start());
        QVERIFY(!camera.isRunning());
    }

    void oneCameraPerAddress()
    {
        SimulatedCamera first(optionsAt("127.0.50.1"));
        SimulatedCamera second(optionsAt("127.0.50.1"));
        SimulatedCamera elsewhere(optionsAt("127.0.50.2"));
        QVERIFY(first.start());
        QVERIFY(!second.start());
        QVERIFY(elsewhere.start());
        first.stop();
        QVERIFY(second.start());
    }

    void startStopLeavesNothingBehind()
    {
        SimulatedCamera warmUp(optionsAt("127.0.50.1"));
        QVERIFY(warmUp.start());
        warmUp.stop();
        const int fds = entriesIn("/proc/self/fd");
        const int threads = entriesIn("/proc/self/task");
        SimulatedCamera camera(optionsAt("127.0.50.1"));
        for (int i = 0; i < 60; ++i) {
            QVERIFY(camera.start());
            QVERIFY(camera.isRunning());
            camera.stop();
            QVERIFY(!camera.isRunning());
        }
        // The process's other threads (GLib's worker pool, the shared
        // session's) come and go on their own time; what each start left
        // behind would count sixty.
        QVERIFY2(entriesIn("/proc/self/fd") <= fds + 2, qPrintable(QString::number(entriesIn("/proc/self/fd") - fds)));
        QVERIFY2(entriesIn("/proc/self/task") <= threads + 2,
                 qPrintable(QString::number(entriesIn("/proc/self/task") - threads)));
    }

    void discoveryAckCarriesTheIdentity()
    {
        GvcpTestClient client;
        const uint16_t id = client.nextId();
        const std::vector<uint8_t> answer =
            client.request("127.0.50.3", NqGvcp::GVCP_PORT,
                           NqGvcp::buildCommand(NqGvcp::DISCOVERY_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, id));
        NqGvcp::AckHeader ack;
        const uint8_t* payload = nullptr;
        QVERIFY(NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, payload));
        QCOMPARE(ack.answer, uint16_t(NqGvcp::DISCOVERY_ACK));
        NqGvcp::DeviceRecord data;
        QVERIFY(NqGvcp::parseDeviceRecord(payload, ack.length, data));
        QCOMPARE(NqGvcp::formatIp(data.ip), std::string("127.0.50.3"));
        QCOMPARE(NqGvcp::formatMac(data.mac), std::string("02:4b:53:00:00:42"));
        QCOMPARE(data.model, std::string("GEV_K3370C"));
        QCOMPARE(data.serial, std::string("SIM00042"));
        QCOMPARE(data.userName, std::string("Colour cam"));
    }

    // The features the station uses, with the types and entries it relies on.
    void features_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");   // Integer, Enumeration, Boolean, Command, String, Float
        QTest::addColumn<QString>("detail"); // entries "Name=value,..." or range "min..max"
        QTest::addColumn<bool>("writable");
        auto row = [](const char* name, const char* type, const char* detail, bool writable) {
            QTest::newRow(name) << name << type << detail << writable;
        };
        row("PixelFormat", "Enumeration",
            "Mono8=17301505,Mono12=17825797,Mono16=17825799,BayerGR8=17301512,BayerGR12=17825808", true);
        row("CcdType", "Integer", "", false);
        row("SensorWidth", "Integer", "", false);
        row("SensorHeight", "Integer", "", false);
        row("WidthMax", "Integer", "", false);
        row("HeightMax", "Integer", "", false);
        row("Width", "Integer", "8..1608", true);
        row("Height", "Integer", "1..1208", true);
        row("OffsetX", "Integer", "0..1288", true);
        row("OffsetY", "Integer", "0..968", true);
        row("BinningHorizontal", "Enumeration", "X1=1,X2=2,X3=3,X4=4,X8=8", true);
        row("BinningVertical", "Enumeration", "X1=1,X2=2,X3=3,X4=4,X8=8", true);
        row("SensorDigitizationTaps", "Enumeration", "One=0,Two=1", true);
        row("CameraSpeed", "Enumeration", "Normal=0,OverClocked=1", true);
        row("ExposureMode", "Enumeration", "Timed=1,TriggerWidth=2", true);
        row("ExposureTimeRaw", "Integer", "10..16777215", true);
        row("ExposureTimeAbs", "Float", "", true);
        row("TriggerMode", "Enumeration", "Off=0,On=1", true);
        row("TriggerSource", "Enumeration", "Internal=0,External=1,Software=2", true);
        row("TriggerType", "Enumeration", "Standard=0,FrameAccumulation=1,Double=2", true);
        row("TriggerActivation", "Enumeration", "RisingEdge=0,FallingEdge=1", true);
        row("TriggerDebounce", "Enumeration", "Off=0,On=1", true);
        row("TriggerNumFrames", "Integer", "1..255", true);
        row("TriggerNumPulses", "Integer", "1..131071", true);
        row("TriggerDelayRaw", "Integer", "0..16777215", true);
        row("TriggerOverlap", "Enumeration", "Off=0,ReadOut=1,PreviousFrame=2", true);
        row("ProgFrameTimeEnable", "Boolean", "", true);
        row("ProgFrameTimeAbs", "Integer", "10..33554431", true);
        row("FRM_TIM_ACT", "Integer", "", false);
        row("FRM_TIM_MIN", "Integer", "", false);
        row("FRR_EXP_MIN", "Integer", "10..10", false);
        row("GainSelector", "Enumeration", "AnalogAll=0,AnalogTap1=16,AnalogTap2=17", true);
        row("GainRaw", "Integer", "0..1023", true);
        row("GainAutoBalance", "Enumeration", "Off=0,Once=1,Continuous=2", true);
        row("BlackLevelSelector", "Enumeration", "AnalogAll=0,AnalogTap1=9,AnalogTap2=10", true);
        row("BlackLevelRaw", "Integer", "0..1023", true);
        row("PreAmpSelector", "Enumeration", "Tap1=0,Tap2=1", true);
        row("PreAmpRaw", "Enumeration", "Low=0,Normal=1,High=2", true);
        row("DigitalGainAll", "Integer", "0..4095", true);
        row("DigitalOffsetAll", "Integer", "0..4095", true);
        row("EnhancementMode", "Enumeration", "Off=0,On=1", true);
        row("DefectPixelCorrection", "Enumeration", "Off=0,On=1", true);
        row("HotPixelCorrection", "Enumeration", "Off=0,On=1", true);
        row("WhiteBalanceMode", "Enumeration", "Off=0,Auto=1", true);
        row("VerticalSmearCorrection", "Enumeration", "Off=0,Standard=1,Advanced=2", true);
        row("FlatFieldCorrection", "Boolean", "", true);
        row("BlackLevelCorrection", "Boolean", "", true);
        row("LUTEnable", "Boolean", "", true);
        row("IN1Selector", "Enumeration", "None=0,ExternalTrigger=1", true);
        row("IN1Polarity", "Enumeration", "ActiveLow=0,ActiveHigh=1", true);
        row("OUT1Selector", "Enumeration",
            "None=0,ExposureStart=1,ExposureEnd=2,MidExposure=3,ExposureWindow=4,HSync=5,VSync=6,OddEvenFlag=7,"
            "Trigger=8,TriggerDelayed=9,CameraReady=10,PulseGenerator=11,Strobe1=12,Strobe2=13,OUT1Value=14,"
            "FrameTransfer=15",
            true);
        row("OUT1Polarity", "Enumeration", "ActiveLow=0,ActiveHigh=1", true);
        row("DeviceUserID", "String", "", true);
        row("DeviceModelName", "String", "", false);
        row("DeviceSerialNumber", "String", "", false);
        row("DeviceID", "String", "", false);
        row("FirmwareVersion", "Integer", "", false);
        row("FirmwareBuild", "Integer", "", false);
        row("XmlVersion", "Integer", "", false);
        row("IPEngineFirmwareVersionMajor", "Integer", "", false);
        row("IPEngineFirmwareVersionMinor", "Integer", "", false);
        row("IPEngineFirmwareVersionSubminor", "Integer", "", false);
        row("CurrentTemperature", "Integer", "", false);
        row("DeviceReset", "Command", "", true);
        row("CameraHeadReset", "Command", "", true);
        row("TLParamsLocked", "Integer", "0..1", true);
        row("PayloadSize", "Integer", "", false);
        row("AcquisitionMode", "Enumeration", "Continuous=0,SingleFrame=1,MultiFrame=2", true);
        row("AcquisitionStart", "Command", "", true);
        row("AcquisitionStop", "Command", "", true);
        row("AcquisitionFrameRate", "Float", "", true);
        row("GevSCPSPacketSize", "Integer", "576..9000", true);
        row("GevCurrentIPAddress", "Integer", "", false);
        row("GevCurrentIPConfigurationDHCP", "Boolean", "", true);
        row("GevCurrentIPConfigurationPersistentIP", "Boolean", "", true);
        row("GevHeartbeatTimeout", "Integer", "500..600000", true);
    }
    void features()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, detail);
        QFETCH(bool, writable);
        ArvGcNode* node = arv_device_get_feature(m_session->device(), name.toLatin1().constData());
        QVERIFY2(node != nullptr, "missing feature");
        QString actual;
        if (ARV_IS_GC_ENUMERATION(node))
            actual = "Enumeration";
        else if (ARV_IS_GC_BOOLEAN(node))
            actual = "Boolean";
        else if (ARV_IS_GC_COMMAND(node))
            actual = "Command";
        else if (ARV_IS_GC_STRING(node))
            actual = "String";
        else if (ARV_IS_GC_FLOAT(node) && !ARV_IS_GC_INTEGER(node))
            actual = "Float";
        else if (ARV_IS_GC_INTEGER(node))
            actual = "Integer";
        QCOMPARE(actual, type);

        const ArvGcAccessMode access = arv_gc_feature_node_get_actual_access_mode(ARV_GC_FEATURE_NODE(node));
        QCOMPARE(access == ARV_GC_ACCESS_MODE_RW || access == ARV_GC_ACCESS_MODE_WO, writable);

        GError* error = nullptr;
        if (type == "Enumeration") {
            QStringList entries;
            for (const GSList* it = arv_gc_enumeration_get_entries(ARV_GC_ENUMERATION(node)); it; it = it->next) {
                auto* entry = ARV_GC_ENUM_ENTRY(it->data);
                entries << QString("%1=%2")
                               .arg(QString::fromLatin1(arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(entry))))
                               .arg(arv_gc_enum_entry_get_value(entry, &error));
            }
            QStringList expected = detail.split(',');
            entries.sort();
            expected.sort();
            QCOMPARE(entries, expected);
            // The current value is one of the entries.
            const gint64 value = arv_gc_enumeration_get_int_value(ARV_GC_ENUMERATION(node), &error);
            QVERIFY(detail.contains(QString("=%1").arg(value)));
        } else if (type == "Integer" && !detail.isEmpty()) {
            const QStringList range = detail.split("..");
            QCOMPARE(arv_gc_integer_get_min(ARV_GC_INTEGER(node), &error), range[0].toLongLong());
            QCOMPARE(arv_gc_integer_get_max(ARV_GC_INTEGER(node), &error), range[1].toLongLong());
        }
        QVERIFY2(error == nullptr, error ? error->message : "");
    }

    void identityAndInformation()
    {
        QCOMPARE(m_session->integer("CcdType"), gint64(12));
        QCOMPARE(m_session->integer("CurrentTemperature"), gint64(40));
        QCOMPARE(m_session->integer("SensorWidth"), gint64(1608));
        QCOMPARE(m_session->integer("SensorHeight"), gint64(1208));
        QCOMPARE(m_session->integer("GevCurrentIPAddress"), gint64(0x7F003203));
        QCOMPARE(m_session->string("DeviceModelName"), QString("GEV_K3370C"));
        QCOMPARE(m_session->string("DeviceSerialNumber"), QString("SIM00042"));
        QCOMPARE(m_session->string("DeviceUserID"), QString("Colour cam"));
        // The packet size sits in the low half of its register.
        QCOMPARE(m_session->integer("GevSCPSPacketSize"), gint64(1400));
        QVERIFY(m_session->setInteger("GevSCPSPacketSize", 9000));
        QCOMPARE(m_session->integer("GevSCPSPacketSize"), gint64(9000));
        QVERIFY(m_session->setInteger("GevSCPSPacketSize", 1400));
        // The frame time follows the frame rate.
        QCOMPARE(m_session->integer("FRM_TIM_ACT"), gint64(20000));
        GError* error = nullptr;
        arv_camera_set_frame_rate(m_session->camera(), 10.0, &error);
        QVERIFY2(error == nullptr, error ? error->message : "");
        QCOMPARE(m_session->integer("FRM_TIM_ACT"), gint64(100000));
        QCOMPARE(m_session->integer("FRM_TIM_MIN"), gint64(100000));
        arv_camera_set_frame_rate(m_session->camera(), 50.0, &error);
        QVERIFY(error == nullptr);
        // The float exposure and the raw one are the same register.
        arv_camera_set_exposure_time(m_session->camera(), 5000.0, &error);
        QVERIFY2(error == nullptr, error ? error->message : "");
        QCOMPARE(m_session->integer("ExposureTimeRaw"), gint64(5000));
        QVERIFY(m_session->boolean("GevCurrentIPConfigurationPersistentIP"));
        QVERIFY(!m_session->boolean("GevCurrentIPConfigurationDHCP"));
    }

    void renamingReachesDiscovery()
    {
        QVERIFY(m_session->setString("DeviceUserID", "Station 7 cam"));
        QCOMPARE(m_session->string("DeviceUserID"), QString("Station 7 cam"));
        GvcpTestClient client;
        const std::vector<uint8_t> answer = client.request(
            "127.0.50.3", NqGvcp::GVCP_PORT,
            NqGvcp::buildCommand(NqGvcp::DISCOVERY_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, client.nextId()));
        NqGvcp::AckHeader ack;
        const uint8_t* payload = nullptr;
        NqGvcp::DeviceRecord data;
        QVERIFY(NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, payload));
        QVERIFY(NqGvcp::parseDeviceRecord(payload, ack.length, data));
        QCOMPARE(data.userName, std::string("Station 7 cam"));
        // The whole 16-byte field is usable.
        QVERIFY2(m_session->setString("DeviceUserID", "Sixteen-chars-ok"), qPrintable(m_session->lastError()));
        QCOMPARE(m_session->string("DeviceUserID"), QString("Sixteen-chars-ok"));
        QVERIFY(m_session->setString("DeviceUserID", "Colour cam"));
    }

    void writesAreStored_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("TriggerNumPulses") << "TriggerNumPulses" << 131071ll;
        QTest::newRow("OUT1Selector") << "OUT1Selector" << 12ll;
        QTest::newRow("OUT1Polarity") << "OUT1Polarity" << 0ll;
        QTest::newRow("GainSelector") << "GainSelector" << 17ll;
        QTest::newRow("DigitalOffsetAll") << "DigitalOffsetAll" << 512ll;
        QTest::newRow("ProgFrameTimeAbs") << "ProgFrameTimeAbs" << 16777225ll;
        QTest::newRow("ExposureTimeRaw") << "ExposureTimeRaw" << 16777215ll;
        QTest::newRow("TLParamsLocked") << "TLParamsLocked" << 1ll;
        QTest::newRow("AcquisitionMode") << "AcquisitionMode" << 0ll;
    }
    void writesAreStored()
    {
        QFETCH(QString, name);
        QFETCH(qlonglong, value);
        const QByteArray feature = name.toLatin1();
        QVERIFY2(m_session->setInteger(feature.constData(), value), qPrintable(m_session->lastError()));
        QCOMPARE(m_session->integer(feature.constData()), gint64(value));
    }

    void outOfRangeWritesFail_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qlonglong>("value");
        QTest::addColumn<bool>("rangeCheck"); // off: only the camera itself refuses
        for (bool check : {true, false}) {
            const char* suffix = check ? "" : " (camera check)";
            QTest::newRow(qPrintable(QString("Width too wide%1").arg(suffix))) << "Width" << 1609ll << check;
            QTest::newRow(qPrintable(QString("Width too small%1").arg(suffix))) << "Width" << 4ll << check;
            QTest::newRow(qPrintable(QString("Height too high%1").arg(suffix))) << "Height" << 1209ll << check;
            QTest::newRow(qPrintable(QString("TriggerNumPulses%1").arg(suffix))) << "TriggerNumPulses" << 131072ll
                                                                                 << check;
            QTest::newRow(qPrintable(QString("GainRaw%1").arg(suffix))) << "GainRaw" << 5000ll << check;
            QTest::newRow(qPrintable(QString("ExposureTimeRaw%1").arg(suffix))) << "ExposureTimeRaw" << 5ll << check;
            QTest::newRow(qPrintable(QString("PixelFormat%1").arg(suffix))) << "PixelFormat" << 0x01080002ll << check;
            QTest::newRow(qPrintable(QString("BinningHorizontal%1").arg(suffix))) << "BinningHorizontal" << 5ll
                                                                                  << check;
            QTest::newRow(qPrintable(QString("OUT1Selector%1").arg(suffix))) << "OUT1Selector" << 16ll << check;
        }
        QTest::newRow("read-only CcdType") << "CcdType" << 0ll << true;
        QTest::newRow("read-only SensorWidth") << "SensorWidth" << 2000ll << true;
    }
    void outOfRangeWritesFail()
    {
        QFETCH(QString, name);
        QFETCH(qlonglong, value);
        QFETCH(bool, rangeCheck);
        const QByteArray feature = name.toLatin1();
        const gint64 before = m_session->integer(feature.constData());
        arv_device_set_range_check_policy(m_session->device(),
                                          rangeCheck ? ARV_RANGE_CHECK_POLICY_ENABLE : ARV_RANGE_CHECK_POLICY_DISABLE);
        const bool written = m_session->setInteger(feature.constData(), value);
        arv_device_set_range_check_policy(m_session->device(), ARV_RANGE_CHECK_POLICY_ENABLE);
        QVERIFY(!written);
        QCOMPARE(m_session->integer(feature.constData()), before);
    }

    // A camera that lacks a feature, or refuses writes to one, as cameras
    // whose firmware differs from the station's expectations.
    void missingAndRefusedFeatures()
    {
        SimulatedCameraOptions options = optionsAt("127.0.50.5");
        options.missingFeatures = {"ProgFrameTimeEnable", "BinningHorizontal"};
        options.refusedFeatures = {"ExposureTimeRaw"};
        SimulatedCamera camera(options);
        QVERIFY(camera.start());
        ArvTestSession session("127.0.50.5");
        QVERIFY2(session.isOpen(), qPrintable(session.lastError()));
        QVERIFY(arv_device_get_feature(session.device(), "ProgFrameTimeEnable") == nullptr);
        QVERIFY(arv_device_get_feature(session.device(), "BinningHorizontal") == nullptr);
        QVERIFY(!session.setInteger("ProgFrameTimeEnable", 1));
        // What read the missing feature's register still works.
        QCOMPARE(session.integer("WidthMax"), gint64(1608));
        // A refused feature is described and readable; its writes fail,
        // also through the float feature on the same register.
        QCOMPARE(session.integer("ExposureTimeRaw"), gint64(10000));
        QVERIFY(!session.setInteger("ExposureTimeRaw", 5000));
        GError* error = nullptr;
        arv_camera_set_exposure_time(session.camera(), 5000.0, &error);
        QVERIFY(error != nullptr);
        g_clear_error(&error);
        QCOMPARE(session.integer("ExposureTimeRaw"), gint64(10000));
        QVERIFY(session.setInteger("GainRaw", 300));

        for (auto unknown : {&SimulatedCameraOptions::missingFeatures, &SimulatedCameraOptions::refusedFeatures}) {
            SimulatedCameraOptions bad = optionsAt("127.0.50.6");
            (bad.*unknown).push_back("NoSuchFeature");
            QVERIFY(!SimulatedCamera(bad).start());
        }
    }

    // A camera without ExposureTimeRaw keeps the float exposure on its
    // register: it reads back and lengthens the frame time past the shortest.
    void floatExposureWithoutTheRawFeature()
    {
        SimulatedCameraOptions options = optionsAt("127.0.50.10");
        options.missingFeatures = {"ExposureTimeRaw"};
        SimulatedCamera camera(options);
        QVERIFY(camera.start());
        ArvTestSession session("127.0.50.10");
        QVERIFY2(session.isOpen(), qPrintable(session.lastError()));
        QVERIFY(arv_device_get_feature(session.device(), "ExposureTimeRaw") == nullptr);
        GError* error = nullptr;
        arv_camera_set_exposure_time(session.camera(), 60000.0, &error);
        QVERIFY2(error == nullptr, error ? error->message : "");
        QCOMPARE(arv_camera_get_exposure_time(session.camera(), &error), 60000.0);
        QCOMPARE(session.integer("FRM_TIM_ACT"), gint64(60000));
        QCOMPARE(session.integer("FRM_TIM_MIN"), gint64(20000));
    }

    void binningShrinksTheImage()
    {
        QVERIFY(m_session->setInteger("Width", 1608));
        QVERIFY(m_session->setInteger("BinningHorizontal", 8));
        QCOMPARE(m_session->integer("WidthMax"), gint64(201));
        QCOMPARE(m_session->integer("Width"), gint64(201));
        QVERIFY(m_session->setInteger("BinningVertical", 3));
        QCOMPARE(m_session->integer("HeightMax"), gint64(402));
        QVERIFY(m_session->setInteger("Height", m_session->integer("HeightMax")));
        QVERIFY(m_session->setInteger("BinningHorizontal", 1));
        QVERIFY(m_session->setInteger("BinningVertical", 1));
        QVERIFY(m_session->setInteger("Width", 320));
        QVERIFY(m_session->setInteger("Height", 240));
        QCOMPARE(m_session->integer("PayloadSize"), gint64(320 * 240 * 2));
    }

    void streamsTheFillFramePattern_data()
    {
        QTest::addColumn<uint>("format");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("packetSize");
        QTest::newRow("Mono8") << uint(Mono8) << 320 << 240 << 1400;
        QTest::newRow("Mono12") << uint(Mono12) << 256 << 200 << 1400;
        QTest::newRow("Mono16") << uint(Mono16) << 160 << 120 << 1400;
        QTest::newRow("Mono16 full sensor") << uint(Mono16) << 1608 << 1208 << 1400;
        QTest::newRow("Mono16 full sensor, jumbo packets") << uint(Mono16) << 1608 << 1208 << 9000;
    }
    void streamsTheFillFramePattern()
    {
        QFETCH(uint, format);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, packetSize);
        QVERIFY(m_session->setInteger("GevSCPSPacketSize", packetSize));
        QVERIFY(m_session->setInteger("PixelFormat", format));
        QVERIFY(m_session->setInteger("Width", width));
        QVERIFY(m_session->setInteger("Height", height));
        // 10 frames/s leave the link idle most of the time: a receiving test
        // that a loaded machine holds up catches up between frames (back to
        // back, full-sensor frames would overrun it and its resend budget).
        GError* error = nullptr;
        arv_camera_set_frame_rate(m_session->camera(), 10.0, &error);
        QVERIFY2(error == nullptr, error ? error->message : "");
        // Within the frame time (writesAreStored left the longest exposure).
        QVERIFY(m_session->setInteger("ExposureTimeRaw", 1000));
        // A receiver held up long enough may still give up on a frame: the
        // pattern is checked on ten that came whole.
        std::vector<Received> frames = grab(*m_session, 10, 20);
        arv_camera_set_frame_rate(m_session->camera(), 50.0, &error);
        frames.erase(std::remove_if(frames.begin(), frames.end(),
                                    [](const Received& r) { return r.status != ARV_BUFFER_STATUS_SUCCESS; }),
                     frames.end());
        QCOMPARE(frames.size(), size_t(10));
        for (const Received& frame : frames) {
            QCOMPARE(frame.width, width);
            QCOMPARE(frame.height, height);
            QCOMPARE(uint(frame.format), format);
            QVERIFY(frame.frameId != 0);
            const QByteArray expected = expectedFrame(frame);
            QCOMPARE(frame.data.left(expected.size()), expected);
        }
        QVERIFY(frames.back().frameId != frames.front().frameId);
    }

    void packetLossGivesIncompleteFrames()
    {
        SimulatedCameraOptions options = optionsAt("127.0.50.4");
        options.pixelFormat = Mono8;
        options.packetLoss = 0.2;
        options.packetResend = false;
        SimulatedCamera lossy(options);
        QVERIFY(lossy.start());
        ArvTestSession session("127.0.50.4");
        QVERIFY2(session.isOpen(), qPrintable(session.lastError()));
        const std::vector<Received> frames = grab(session, 5, 5, Resend::Never);
        QCOMPARE(frames.size(), size_t(5));
        for (const Received& frame : frames)
            QCOMPARE(int(frame.status), int(ARV_BUFFER_STATUS_MISSING_PACKETS));
    }

    void controlHeldElsewhere()
    {
        SimulatedCamera camera(optionsAt("127.0.50.5"));
        QVERIFY(camera.start());
        camera.setControlPrivilege(NqGvcp::CCP_CONTROL_ACCESS);
        GvcpTestClient client;
        uint32_t privilege = 0;
        uint16_t status = 0xFFFF;
        QVERIFY(client.readRegister("127.0.50.5", NqGvcp::GVCP_PORT, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, privilege,
                                    status));
        QCOMPARE(status, uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
        QCOMPARE(privilege, NqGvcp::CCP_CONTROL_ACCESS);
        {
            // Aravis may open the device for reading, but cannot change it.
            ArvTestSession session("127.0.50.5");
            QVERIFY(!session.isOpen() || !session.setInteger("Width", 256));
        }
        camera.setControlPrivilege(0);
        ArvTestSession session("127.0.50.5");
        QVERIFY2(session.isOpen(), qPrintable(session.lastError()));
        QVERIFY(session.setInteger("Width", 256));
    }

    // The control channel as a bare client sees it: privilege rules, the
    // heartbeat, and requests that do not fit.
    void controlChannel()
    {
        SimulatedCamera camera(optionsAt("127.0.50.7"));
        QVERIFY(camera.start());
        const std::string address = "127.0.50.7";
        GvcpTestClient owner;
        GvcpTestClient other;
        QCOMPARE(other.writeRegister(address, NqGvcp::GVCP_PORT, simcam::RegWidth, 256),
                 uint16_t(NqGvcp::GEV_STATUS_ACCESS_DENIED));
        QCOMPARE(owner.writeRegister(address, NqGvcp::GVCP_PORT, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE,
                                     NqGvcp::CCP_CONTROL_ACCESS),
                 uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
        QCOMPARE(other.writeRegister(address, NqGvcp::GVCP_PORT, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE,
                                     NqGvcp::CCP_CONTROL_ACCESS),
                 uint16_t(NqGvcp::GEV_STATUS_ACCESS_DENIED));
        QCOMPARE(other.writeRegister(address, NqGvcp::GVCP_PORT, simcam::RegWidth, 256),
                 uint16_t(NqGvcp::GEV_STATUS_ACCESS_DENIED));
        QCOMPARE(owner.writeRegister(address, NqGvcp::GVCP_PORT, simcam::RegWidth, 256),
                 uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
        QCOMPARE(owner.writeRegister(address, NqGvcp::GVCP_PORT, simcam::RegWidth, 100000),
                 uint16_t(NqGvcp::GEV_STATUS_INVALID_PARAMETER));
        QCOMPARE(owner.writeRegister(address, NqGvcp::GVCP_PORT, simcam::RegCcdType, 3),
                 uint16_t(NqGvcp::GEV_STATUS_WRITE_PROTECT));

        NqGvcp::AckHeader ack;
        std::vector<uint8_t> answer;
        // The description is readable where the URL says, and nothing past it.
        std::vector<uint8_t> readXml(8, 0);
        NqGvcp::put32(readXml.data(), simcam::XmlAddress);
        NqGvcp::put16(readXml.data() + 6, 8);
        QVERIFY(other.command(address, NqGvcp::GVCP_PORT, NqGvcp::READMEM_CMD, readXml, ack, answer));
        QCOMPARE(ack.status, uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(answer.data()) + 4, 5), QByteArray("<?xml"));
        NqGvcp::put32(readXml.data(), 0x00200000);
        QVERIFY(other.command(address, NqGvcp::GVCP_PORT, NqGvcp::READMEM_CMD, readXml, ack, answer));
        QCOMPARE(ack.status, uint16_t(NqGvcp::GEV_STATUS_INVALID_ADDRESS));
        // Too much at once, unaligned, or empty.
        std::vector<uint8_t> tooLong(8, 0);
        NqGvcp::put16(tooLong.data() + 6, 1024);
        QVERIFY(other.command(address, NqGvcp::GVCP_PORT, NqGvcp::READMEM_CMD, tooLong, ack, answer));
        QCOMPARE(ack.status, uint16_t(NqGvcp::GEV_STATUS_INVALID_PARAMETER));
        QVERIFY(other.command(address, NqGvcp::GVCP_PORT, NqGvcp::READREG_CMD, {0, 0, 0, 2}, ack, answer));
        QCOMPARE(ack.status, uint16_t(NqGvcp::GEV_STATUS_BAD_ALIGNMENT));
        QVERIFY(other.command(address, NqGvcp::GVCP_PORT, NqGvcp::READREG_CMD, {}, ack, answer));
        QCOMPARE(ack.status, uint16_t(NqGvcp::GEV_STATUS_INVALID_PARAMETER));
        QVERIFY(other.command(address, NqGvcp::GVCP_PORT, 0x0100, {}, ack, answer));
        QCOMPARE(ack.status, uint16_t(NqGvcp::GEV_STATUS_NOT_IMPLEMENTED));

        // Beats further apart than the time-out lose the camera between two of them
        // (within ten: a camera thread that a loaded machine runs late may miss some).
        QCOMPARE(owner.writeRegister(address, NqGvcp::GVCP_PORT, NqGvcp::REG_HEARTBEAT_TIMEOUT, 300),
                 uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
        uint32_t privilege = 1;
        for (int beat = 0; beat < 10 && privilege != 0; ++beat) {
            uint16_t status = 0xFFFF;
            uint32_t seen = 0;
            QVERIFY(owner.readRegister(address, NqGvcp::GVCP_PORT, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, seen, status));
            QTest::qSleep(1000);
            QVERIFY(other.readRegister(address, NqGvcp::GVCP_PORT, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, privilege,
                                       status));
        }
        QCOMPARE(privilege, 0u);
        QCOMPARE(other.writeRegister(address, NqGvcp::GVCP_PORT, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE,
                                     NqGvcp::CCP_CONTROL_ACCESS),
                 uint16_t(NqGvcp::GEV_STATUS_SUCCESS));
    }

    void deviceResetDropsTheController()
    {
        SimulatedCamera camera(optionsAt("127.0.50.6"));
        QVERIFY(camera.start());
        ArvTestSession session("127.0.50.6");
        QVERIFY(session.isOpen());
        QVERIFY(session.execute("DeviceReset"));
        QVERIFY(!session.setInteger("Width", 256));
        GvcpTestClient client;
        uint32_t privilege = 1;
        uint16_t status = 0xFFFF;
        QVERIFY(client.readRegister("127.0.50.6", NqGvcp::GVCP_PORT, NqGvcp::REG_CONTROL_CHANNEL_PRIVILEGE, privilege,
                                    status));
        QCOMPARE(privilege, 0u);
    }
};

QTEST_GUILESS_MAIN(TestSimulatedCamera)
#include "tst_simulatedcamera.moc"
