#include "RecordingParameters.h"
#include "camera/CameraConfig.h"
#include "camera/FeatureValues.h"
#include "runs/ModeFeatures.h"

#include <QtTest>

namespace {

constexpr int64_t Mono8 = 0x01080001;
constexpr int64_t Mono12 = 0x01100005;
constexpr int64_t Mono16 = 0x01100007;
constexpr int64_t BayerGR8 = 0x01080008;

// The features of the station's mono camera as the configuration meets them.
void addCamera(RecordingParameters& p, const RecordingParameters::Entries& pixelFormats = {
                   {"Mono8", Mono8}, {"Mono12", Mono12}, {"Mono16", Mono16}})
{
    p.addEnum("SensorDigitizationTaps", 2, {{"One", 1}, {"Two", 2}});
    p.addInteger("CcdType", 0);
    p.addEnum("PixelFormat", pixelFormats.first().second, pixelFormats);
    p.addInteger("Width", 1608);
    p.addInteger("Height", 1208);
    p.addEnum("ExposureMode", 1, {{"Timed", 1}, {"TriggerWidth", 2}});
    p.addInteger("FRM_TIM_ACT", 250000);
    p.addInteger("FRR_EXP_MIN", 10);
    p.addEnum("EnhancementMode", 1);
    for (const char* name : {"BlackLevelCorrection", "VerticalSmearCorrection", "FlatFieldCorrection", "LUTEnable",
                             "ProgFrameTimeEnable"})
        p.addBoolean(name, true);
    for (const char* name : {"DefectPixelCorrection", "HotPixelCorrection", "WhiteBalanceMode", "GainSelector",
                             "GainAutoBalance", "BlackLevelSelector", "PreAmpSelector", "PreAmpRaw",
                             "TriggerDebounce", "TriggerNumFrames"})
        p.addEnum(name, 0);
    for (const char* name : {"DigitalGainAll", "DigitalOffsetAll", "GainRaw", "BlackLevelRaw", "TriggerNumPulses",
                             "TriggerDelayRaw"})
        p.addInteger(name, 3);
    p.addEnum("TriggerType", 0, {{"Standard", 0}, {"FrameAccumulation", 1}, {"Double", 2}});
    p.addEnum("TriggerOverlap", 1, {{"Off", 0}, {"ReadOut", 1}});
    p.addEnum("TriggerActivation", 1, {{"RisingEdge", 0}, {"FallingEdge", 1}});
    p.addEnum("IN1Selector", 1, {{"ExternalTrigger", 0}, {"FrameStart", 1}});
    p.addEnum("IN1Polarity", 1, {{"ActiveHigh", 0}, {"ActiveLow", 1}});
    p.addEnum("OUT1Selector", 1, {{"ExposureWindow", 0}, {"Strobe", 1}});
    p.addEnum("OUT1Polarity", 1, {{"ActiveHigh", 0}, {"ActiveLow", 1}});
    p.addInteger("ExposureTimeRaw", 5000);
    p.addEnum("TriggerSource", 0, {{"Software", 0}, {"External", 1}});
    p.addEnum("TriggerMode", 0, {{"Off", 0}, {"On", 1}});
    p.addEnum("CameraSpeed", 0, {{"Normal", 0}, {"OverClocked", 1}});
}

} // namespace

class TestCameraConfig : public QObject
{
    Q_OBJECT

private slots:
    void featureReads_data();
    void featureReads();
    void applyWritesInOrder();
    void applyTriggerActions_data();
    void applyTriggerActions();
    void depthReadBack_data();
    void depthReadBack();
    void cameraWithoutFeatures();
    void numberWritesFollowFeatureType();
    void modeFeatures_data();
    void modeFeatures();
    void sceneSize_data();
    void sceneSize();
};

// The whole configuration as the camera sees it, with the window updates at
// the points they must happen (the exposure spin box may talk to the camera).
void TestCameraConfig::applyWritesInOrder()
{
    RecordingParameters p;
    addCamera(p);
    CameraConfig::Hooks hooks;
    hooks.imageSize = [&](const ImageSize& s) { p.note(QStringLiteral("hook image %1x%2").arg(s.width).arg(s.height)); };
    hooks.exposureLimits = [&](int64_t min, int64_t max) { p.note(QStringLiteral("hook limits %1..%2").arg(min).arg(max)); };
    hooks.exposure = [&](int64_t e) { p.note(QStringLiteral("hook exposure %1").arg(e)); };

    const CameraConfig::Result r = CameraConfig::apply(p, hooks);

    const QStringList golden{
        "SensorDigitizationTaps=One (name)", "CcdType?", "PixelFormat=17825799 (value)",
        "Width?", "Height?", "hook image 1608x1208",
        "ExposureMode=1 (value)", "FRM_TIM_ACT?", "FRR_EXP_MIN?", "hook limits 10..250000",
        "EnhancementMode=0 (value)",
        "BlackLevelCorrection=false (boolean)", "VerticalSmearCorrection=false (boolean)",
        "FlatFieldCorrection=false (boolean)",
        "DefectPixelCorrection=0 (value)", "HotPixelCorrection=0 (value)",
        "LUTEnable=false (boolean)", "WhiteBalanceMode=0 (value)",
        "FlatFieldCorrection=true (boolean)", "BlackLevelCorrection=false (boolean)",
        "DigitalGainAll=0 (integer)", "DigitalOffsetAll=512 (integer)",
        "BlackLevelCorrection=false (boolean)",
        "GainSelector=16 (value)", "GainAutoBalance=0 (value)", "GainRaw=227 (integer)",
        "BlackLevelSelector=9 (value)", "BlackLevelRaw=0 (integer)",
        "GainSelector=17 (value)", "GainAutoBalance=0 (value)", "GainRaw=227 (integer)",
        "BlackLevelSelector=10 (value)", "BlackLevelRaw=0 (integer)",
        "PreAmpSelector=0 (value)", "PreAmpRaw=1 (value)", "PreAmpSelector=1 (value)", "PreAmpRaw=1 (value)",
        "TriggerDebounce=1 (value)", "TriggerNumFrames=1 (value)", "TriggerNumPulses=1 (integer)",
        "TriggerType=Standard (name)", "TriggerDelayRaw=0 (integer)", "TriggerOverlap=0 (value)",
        "TriggerActivation=RisingEdge (name)",
        "IN1Selector=ExternalTrigger (name)", "IN1Polarity=ActiveHigh (name)",
        "OUT1Selector=ExposureWindow (name)", "OUT1Polarity=ActiveHigh (name)",
        "PixelFormat?", "ExposureTimeRaw?", "hook exposure 5000",
        "ExposureMode?", "TriggerSource?", "TriggerMode?",
    };
    QCOMPARE(p.log(), golden);
    QVERIFY(p.absent().isEmpty());

    QCOMPARE(r.image, (ImageSize{1608, 1208}));
    QCOMPARE(r.minExposure, int64_t(10));
    QCOMPARE(r.maxExposure, int64_t(250000));
    QCOMPARE(r.pixelFormat, Mono16);
    QCOMPARE(r.exposure, std::optional<int64_t>(5000));
    QCOMPARE(r.triggerActions, CameraConfig::TriggerActions::Leave);
    QVERIFY(r.depthRefreshNeeded);
}

void TestCameraConfig::applyTriggerActions_data()
{
    QTest::addColumn<int>("exposureMode");
    QTest::addColumn<int>("triggerMode");
    QTest::addColumn<int>("actions");
    QTest::addColumn<QStringList>("tail"); // writes after the last reads

    using A = CameraConfig::TriggerActions;
    QTest::newRow("timed, free running") << 1 << 0 << int(A::Leave) << QStringList();
    QTest::newRow("timed, triggered") << 1 << 1 << int(A::TriggerOnly) << QStringList();
    QTest::newRow("pulse width, triggered") << 2 << 1 << int(A::TriggerAndWidth)
                                            << QStringList{"TriggerActivation=RisingEdge (name)"};
    QTest::newRow("pulse width, free running") << 2 << 0 << int(A::Leave) << QStringList();
}

void TestCameraConfig::applyTriggerActions()
{
    QFETCH(int, exposureMode);
    QFETCH(int, triggerMode);
    QFETCH(int, actions);
    QFETCH(QStringList, tail);

    RecordingParameters p;
    addCamera(p);
    // The camera keeps the trigger state it was left in; ExposureMode is
    // forced to timed early on, so make the camera refuse that for mode 2.
    p.addEnum("TriggerMode", triggerMode, {{"Off", 0}, {"On", 1}});
    p.addEnum("ExposureMode", exposureMode, {{"Timed", 1}, {"TriggerWidth", 2}});
    if (exposureMode == 2)
        p.setWritable("ExposureMode", false);

    const CameraConfig::Result r = CameraConfig::apply(p);
    QCOMPARE(int(r.triggerActions), actions);
    QCOMPARE(r.exposureMode, int64_t(exposureMode));
    QCOMPARE(r.triggerMode, int64_t(triggerMode));
    const QStringList log = p.log();
    QCOMPARE(log.mid(log.indexOf("TriggerMode?") + 1), tail);
}

void TestCameraConfig::depthReadBack_data()
{
    QTest::addColumn<RecordingParameters::Entries>("formats");
    QTest::addColumn<qint64>("readBack");

    QTest::newRow("Mono16 camera") << RecordingParameters::Entries{{"Mono8", Mono8}, {"Mono16", Mono16}} << qint64(Mono16);
    QTest::newRow("Mono12 only") << RecordingParameters::Entries{{"Mono12", Mono12}} << qint64(Mono12);
    QTest::newRow("colour 8-bit only") << RecordingParameters::Entries{{"BayerGR8", BayerGR8}} << qint64(BayerGR8);
}

// The camera may refuse Mono16: the result carries what it really delivers,
// and always asks for the buffers to be rebuilt.
void TestCameraConfig::depthReadBack()
{
    QFETCH(RecordingParameters::Entries, formats);
    QFETCH(qint64, readBack);

    RecordingParameters p;
    addCamera(p, formats);
    const CameraConfig::Result r = CameraConfig::apply(p);
    QCOMPARE(r.pixelFormat, int64_t(readBack));
    QCOMPARE(p.enumValue("PixelFormat"), int64_t(readBack));
    QVERIFY(r.depthRefreshNeeded);
}

void TestCameraConfig::cameraWithoutFeatures()
{
    RecordingParameters p;
    bool exposureHook = false;
    CameraConfig::Hooks hooks;
    hooks.exposure = [&](int64_t) { exposureHook = true; };
    const CameraConfig::Result r = CameraConfig::apply(p, hooks);
    QVERIFY(p.log().isEmpty());
    QVERIFY(p.absent().contains("PixelFormat"));
    QVERIFY(!r.exposure.has_value());
    QVERIFY(!exposureHook); // the spin box keeps its value
    QCOMPARE(r.image, ImageSize());
    QCOMPARE(r.triggerActions, CameraConfig::TriggerActions::Leave);
}

// Camera models declare TriggerNumPulses and TriggerDelayRaw as integers or
// as enumerations, on/off settings as booleans or enumerations; the value must
// reach either.
void TestCameraConfig::numberWritesFollowFeatureType()
{
    RecordingParameters asEnum;
    asEnum.addEnum("TriggerNumPulses", 0);
    ModeFeatures::writePulseCount(asEnum, 40);
    QCOMPARE(asEnum.writes(), QStringList{"TriggerNumPulses=40 (value)"});

    RecordingParameters asFloat;
    asFloat.addFloat("TriggerNumPulses", 0);
    ModeFeatures::writePulseCount(asFloat, 40);
    QCOMPARE(asFloat.writes(), QStringList{"TriggerNumPulses=40 (float)"});

    RecordingParameters smear;
    smear.addEnum("VerticalSmearCorrection", 2, {{"Off", 0}, {"Standard", 1}, {"Advanced", 2}});
    smear.addBoolean("LUTEnable", true);
    FeatureValues::writeSwitch(smear, "VerticalSmearCorrection", false);
    FeatureValues::writeSwitch(smear, "LUTEnable", false);
    QCOMPARE(smear.writes(), (QStringList{"VerticalSmearCorrection=0 (value)", "LUTEnable=false (boolean)"}));

    RecordingParameters limited;
    limited.addInteger("TriggerNumPulses", 7, 1, 131071);
    ModeFeatures::writePulseCount(limited, 200000);
    QCOMPARE(limited.writes(), QStringList{"TriggerNumPulses=200000 (integer) refused"});
    QCOMPARE(limited.integer("TriggerNumPulses"), int64_t(7));
}

// Integer reads take an enumeration's value too (sidecar, image area); the
// reads with a fallback take integers only. A failed read leaves the value.
void TestCameraConfig::featureReads_data()
{
    QTest::addColumn<QString>("kind"); // how "F" is declared; "" absent, "null" no array
    QTest::addColumn<bool>("read");     // readInteger succeeds
    QTest::addColumn<qint64>("value");  // after readInteger from -1
    QTest::addColumn<qint64>("integerOr"); // integerOr with fallback -1

    QTest::newRow("integer") << "integer" << true << qint64(42) << qint64(42);
    QTest::newRow("enumeration") << "enum" << true << qint64(42) << qint64(-1);
    QTest::newRow("boolean") << "boolean" << false << qint64(-1) << qint64(-1);
    QTest::newRow("float") << "float" << false << qint64(-1) << qint64(-1);
    QTest::newRow("unreadable integer") << "unreadable" << false << qint64(-1) << qint64(-1);
    QTest::newRow("absent") << "" << false << qint64(-1) << qint64(-1);
    QTest::newRow("no array") << "null" << false << qint64(-1) << qint64(-1);
}

void TestCameraConfig::featureReads()
{
    QFETCH(QString, kind);
    QFETCH(bool, read);
    QFETCH(qint64, value);
    QFETCH(qint64, integerOr);

    RecordingParameters p;
    if (kind == "integer" || kind == "unreadable")
        p.addInteger("F", 42);
    else if (kind == "enum")
        p.addEnum("F", 42);
    else if (kind == "boolean")
        p.addBoolean("F", true);
    else if (kind == "float")
        p.addFloat("F", 42.0);
    if (kind == "unreadable")
        p.setReadable("F", false);
    NqGenParameterArray* params = kind == "null" ? nullptr : &p;

    int64_t got = -1;
    QCOMPARE(FeatureValues::readInteger(params, "F", got), read);
    QCOMPARE(qint64(got), value);
    QCOMPARE(qint64(FeatureValues::integerOr(p, "F", -1)), integerOr);
}

void TestCameraConfig::modeFeatures_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QStringList>("writes");

    const QStringList triggeredHead{"TriggerMode=On (name)", "TriggerSource=External (name)",
                                    "TriggerDebounce=0 (value)"};
    const QStringList triggeredTail{"TriggerDelayRaw=0 (integer)", "TriggerOverlap=Off (name)",
                                    "TriggerActivation=RisingEdge (name)", "ExposureMode=TriggerWidth (name)"};
    QTest::newRow("frame accumulation") << "triggered FrameAccumulation"
                                        << triggeredHead + QStringList{"TriggerType=FrameAccumulation (name)"} + triggeredTail;
    QTest::newRow("double framing") << "triggered Double"
                                    << triggeredHead + QStringList{"TriggerType=Double (name)"} + triggeredTail;
    QTest::newRow("turbo on") << "turbo on" << QStringList{"CameraSpeed=OverClocked (name)"};
    QTest::newRow("turbo off") << "turbo off" << QStringList{"CameraSpeed=Normal (name)"};
    QTest::newRow("external trigger on")
        << "trigger on"
        << QStringList{"TriggerMode=1 (value)", "ProgFrameTimeEnable=false (boolean)", "TriggerSource=External (name)"};
    QTest::newRow("external trigger off") << "trigger off"
                                          << QStringList{"TriggerMode=0 (value)", "ExposureMode=1 (value)"};
    QTest::newRow("trigger width on") << "width on" << QStringList{"ExposureMode=2 (value)"};
    QTest::newRow("trigger width off") << "width off" << QStringList{"ExposureMode=1 (value)"};
    QTest::newRow("gate pulse count") << "pulses 1000" << QStringList{"TriggerNumPulses=1000 (integer)"};
}

void TestCameraConfig::modeFeatures()
{
    QFETCH(QString, call);
    QFETCH(QStringList, writes);

    RecordingParameters p;
    addCamera(p);
    using namespace ModeFeatures;
    if (call == "triggered FrameAccumulation")
        writeTriggeredMode(p, TriggerType::FrameAccumulation);
    else if (call == "triggered Double")
        writeTriggeredMode(p, TriggerType::Double);
    else if (call.startsWith("turbo"))
        writeTurboMode(p, call.endsWith("on"));
    else if (call.startsWith("trigger"))
        writeExternalTrigger(p, call.endsWith("on"));
    else if (call.startsWith("width"))
        writeTriggerWidth(p, call.endsWith("on"));
    else
        writePulseCount(p, call.section(' ', 1).toLongLong());
    QCOMPARE(p.log(), writes); // no reads either
    QVERIFY(p.absent().isEmpty());
}

void TestCameraConfig::sceneSize_data()
{
    QTest::addColumn<bool>("colour");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<qint64>("sceneWidth");
    QTest::addColumn<qint64>("sceneHeight");

    QTest::newRow("mono") << false << qint64(1608) << qint64(1208) << qint64(1608) << qint64(1208);
    QTest::newRow("colour") << true << qint64(1608) << qint64(1208) << qint64(804) << qint64(604);
    QTest::newRow("colour, odd ROI") << true << qint64(641) << qint64(3) << qint64(320) << qint64(1);
}

void TestCameraConfig::sceneSize()
{
    QFETCH(bool, colour);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(qint64, sceneWidth);
    QFETCH(qint64, sceneHeight);

    RecordingParameters p;
    p.addInteger("Width", width);
    p.addInteger("Height", height);
    QCOMPARE(sceneSizeFor(readImageSize(p), colour), (ImageSize{sceneWidth, sceneHeight}));
}

QTEST_GUILESS_MAIN(TestCameraConfig)
#include "tst_cameraconfig.moc"
