// The station's configuration and exposure sequences against the simulated
// camera, connected by IP: every feature must exist there with a type the
// writes reach, and the values must land.
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "camera/CameraConfig.h"
#include "camera/NqDevice.h"
#include "runs/ExposureControl.h"
#include "runs/ModeFeatures.h"

#include <QtTest>

namespace {
const char* const kCameraIp = "127.0.0.31";

int64_t integer(NqGenParameterArray& p, const char* name)
{
    int64_t v = -1;
    if (!p.GetIntegerValue(name, v).IsOK() && !p.GetEnumValue(name, v).IsOK())
        return -999;
    return v;
}

bool boolean(NqGenParameterArray& p, const char* name)
{
    bool v = false;
    p.GetBooleanValue(name, v);
    return v;
}
} // namespace

class TestModesSimCam : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void configurationLands();
    void triggeredModeLands_data();
    void triggeredModeLands();
    void switchesLand();
    void longExposureLands();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<NqDevice> m_device;
    NqGenParameterArray* m_params = nullptr;
};

void TestModesSimCam::initTestCase()
{
    SimulatedCameraOptions options;
    options.address = kCameraIp;
    options.pixelFormat = 0x01080001; // starts as Mono8: the configuration must change it
    m_camera = std::make_unique<SimulatedCamera>(options);
    QVERIFY(m_camera->start());
    m_device = std::make_unique<NqDevice>();
    const NqResult result = m_device->Connect(NqString(kCameraIp));
    QVERIFY2(result.IsOK(), result.GetDescription().GetAscii());
    m_params = m_device->GetGenParameters();
    QVERIFY(m_params);
}

void TestModesSimCam::cleanupTestCase()
{
    m_device.reset();
    m_camera.reset();
}

void TestModesSimCam::configurationLands()
{
    NqGenParameterArray& p = *m_params;
    // Away from the defaults first, so that every check below sees a write.
    p.SetIntegerValue("TriggerNumPulses", 77);
    p.SetIntegerValue("TriggerDelayRaw", 5);
    p.SetIntegerValue("DigitalOffsetAll", 0);
    p.SetEnumValue("VerticalSmearCorrection", int64_t(2));
    p.SetBooleanValue("FlatFieldCorrection", false);
    p.SetEnumValue("OUT1Selector", int64_t(1));

    const CameraConfig::Result r = CameraConfig::apply(p);
    QCOMPARE(r.pixelFormat, CameraConfig::StationPixelFormat);
    QCOMPARE(r.image, (ImageSize{640, 480}));
    QVERIFY(r.maxExposure > 0);
    QCOMPARE(r.minExposure, int64_t(10));
    QVERIFY(r.exposure.has_value());

    QCOMPARE(integer(p, "TriggerNumPulses"), int64_t(1));
    QCOMPARE(integer(p, "TriggerNumFrames"), int64_t(1));
    QCOMPARE(integer(p, "TriggerDelayRaw"), int64_t(0));
    QCOMPARE(integer(p, "DigitalOffsetAll"), int64_t(512));
    QCOMPARE(integer(p, "VerticalSmearCorrection"), int64_t(0));
    QCOMPARE(boolean(p, "FlatFieldCorrection"), true);
    QCOMPARE(integer(p, "OUT1Selector"), int64_t(4)); // ExposureWindow
    QCOMPARE(integer(p, "IN1Selector"), int64_t(1));  // ExternalTrigger
    QCOMPARE(integer(p, "GainRaw"), int64_t(227));
    QCOMPARE(integer(p, "ExposureMode"), int64_t(1));
}

void TestModesSimCam::triggeredModeLands_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int64_t>("typeValue");
    QTest::newRow("frame accumulation") << int(ModeFeatures::TriggerType::FrameAccumulation) << int64_t(1);
    QTest::newRow("double framing") << int(ModeFeatures::TriggerType::Double) << int64_t(2);
}

void TestModesSimCam::triggeredModeLands()
{
    QFETCH(int, type);
    QFETCH(int64_t, typeValue);
    NqGenParameterArray& p = *m_params;
    // Away from what the mode writes first, so that every check below sees a write.
    p.SetEnumValue("TriggerMode", int64_t(0));
    p.SetEnumValue("TriggerSource", int64_t(0));
    p.SetEnumValue("TriggerDebounce", int64_t(1));
    p.SetEnumValue("TriggerType", int64_t(0));
    p.SetIntegerValue("TriggerDelayRaw", 5);
    p.SetEnumValue("TriggerOverlap", int64_t(2));
    p.SetEnumValue("TriggerActivation", int64_t(1));
    p.SetEnumValue("ExposureMode", int64_t(1));

    ModeFeatures::writeTriggeredMode(p, ModeFeatures::TriggerType(type));
    QCOMPARE(integer(p, "TriggerMode"), int64_t(1));
    QCOMPARE(integer(p, "TriggerSource"), int64_t(1)); // External
    QCOMPARE(integer(p, "TriggerDebounce"), int64_t(0));
    QCOMPARE(integer(p, "TriggerType"), typeValue);
    QCOMPARE(integer(p, "TriggerDelayRaw"), int64_t(0));
    QCOMPARE(integer(p, "TriggerOverlap"), int64_t(0));    // Off
    QCOMPARE(integer(p, "TriggerActivation"), int64_t(0)); // RisingEdge
    QCOMPARE(integer(p, "ExposureMode"), int64_t(2));      // TriggerWidth
    ModeFeatures::writePulseCount(p, 1000);
    QCOMPARE(integer(p, "TriggerNumPulses"), int64_t(1000));
    ModeFeatures::writeExternalTrigger(p, false);
    QCOMPARE(integer(p, "TriggerMode"), int64_t(0));
    QCOMPARE(integer(p, "ExposureMode"), int64_t(1));
}

// The user's trigger, pulse-width and turbo switches.
void TestModesSimCam::switchesLand()
{
    NqGenParameterArray& p = *m_params;
    // A long exposure left the programmable frame time on: a trigger must not run at it.
    p.SetBooleanValue("ProgFrameTimeEnable", true);
    p.SetEnumValue("TriggerSource", int64_t(0));
    p.SetEnumValue("TriggerMode", int64_t(0));
    ModeFeatures::writeExternalTrigger(p, true);
    QCOMPARE(integer(p, "TriggerMode"), int64_t(1));
    QCOMPARE(boolean(p, "ProgFrameTimeEnable"), false);
    QCOMPARE(integer(p, "TriggerSource"), int64_t(1)); // External

    ModeFeatures::writeTriggerWidth(p, true);
    QCOMPARE(integer(p, "ExposureMode"), int64_t(2));
    ModeFeatures::writeTriggerWidth(p, false);
    QCOMPARE(integer(p, "ExposureMode"), int64_t(1));

    ModeFeatures::writeTurboMode(p, true);
    QCOMPARE(integer(p, "CameraSpeed"), int64_t(1)); // OverClocked
    ModeFeatures::writeTurboMode(p, false);
    QCOMPARE(integer(p, "CameraSpeed"), int64_t(0)); // Normal
}

void TestModesSimCam::longExposureLands()
{
    NqGenParameterArray& p = *m_params;
    ScriptedPrompt prompt;
    QStringList waits;
    const ExposureControl control([&](int ms) { waits << QString::number(ms); return true; }, nullptr);

    const int64_t shortest = integer(p, "FRM_TIM_MIN");
    QVERIFY(shortest > 0);
    const ExposureControl::Result longer = control.change(p, double(shortest + 500000), false);
    QCOMPARE(longer.path, ExposureControl::Path::Long);
    QCOMPARE(integer(p, "ProgFrameTimeAbs"), shortest + 500010);
    QCOMPARE(integer(p, "ExposureTimeRaw"), shortest + 500000);
    QVERIFY(prompt.shown.isEmpty());

    const ExposureControl::Result shorter = control.change(p, 5000, false);
    QCOMPARE(shorter.path, ExposureControl::Path::Short);
    QCOMPARE(boolean(p, "ProgFrameTimeEnable"), false);
    QCOMPARE(integer(p, "ExposureTimeRaw"), int64_t(5000));
    QVERIFY(waits.contains(QString::number((shortest + 500000) / 1000 + 1000)));
}

QTEST_GUILESS_MAIN(TestModesSimCam)
#include "tst_modes_simcam.moc"
