#include "RecordingParameters.h"
#include "camera/FeatureValues.h"
#include "dialogs/OutputLine.h"
#include "dialogs/SensorFeatures.h"

#include <QtTest>

// The sensor settings and output-line features on a recorded camera: what
// each change writes, in which order, and what the dialogs show.
namespace {

constexpr int64_t Mono8 = 0x01080001;
constexpr int64_t Mono12 = 0x01100005;
constexpr int64_t Mono14 = 0x01100007;
constexpr int64_t Bayer8 = 0x01080008;
constexpr int64_t Bayer12 = 0x01100010;

const RecordingParameters::Entries pixelFormats = {
    {"Mono8", Mono8}, {"Mono12", Mono12}, {"Mono16", Mono14}, {"BayerGR8", Bayer8}, {"BayerGR12", Bayer12}};

// A camera with the sensor dialog's features, timed exposures and a frame
// time of 40000 us.
void addSensor(RecordingParameters& p, int64_t ccdType = 0, int64_t taps = 0, int64_t pixelFormat = Mono14,
               const RecordingParameters::Entries& formats = pixelFormats)
{
    p.addInteger("CcdType", ccdType);
    p.addEnum("SensorDigitizationTaps", taps, {{"One", 0}, {"Two", 1}});
    p.addEnum("PixelFormat", pixelFormat, formats);
    p.addEnum("CameraSpeed", 0, {{"Normal", 0}, {"OverClocked", 1}});
    p.addEnum("ExposureMode", 1, {{"Timed", 1}, {"TriggerWidth", 2}});
    p.addInteger("FRM_TIM_ACT", 40000);
    p.addEnum("GainSelector", 0, {{"AnalogAll", 0}, {"AnalogTap1", 16}, {"AnalogTap2", 17}});
    p.addEnum("GainAutoBalance", 2, {{"Off", 0}, {"Once", 1}, {"Continuous", 2}});
    p.addInteger("GainRaw", 500, 0, 1023);
    p.addEnum("BlackLevelSelector", 0, {{"AnalogAll", 0}, {"AnalogTap1", 9}, {"AnalogTap2", 10}});
    p.addInteger("BlackLevelRaw", 12, 0, 1023);
    const RecordingParameters::Entries binnings = {{"X1", 1}, {"X2", 2}, {"X3", 3}, {"X4", 4}, {"X8", 8}};
    p.addEnum("BinningHorizontal", 1, binnings);
    p.addEnum("BinningVertical", 1, binnings);
    p.addInteger("WidthMax", 201);
    p.addInteger("HeightMax", 151);
    p.addInteger("Width", 640, 1, 1608);
    p.addInteger("Height", 480, 1, 1208);
    p.addBoolean("FlatFieldCorrection", true);
    p.addBoolean("BlackLevelCorrection", false);
    p.addEnum("VerticalSmearCorrection", 1, {{"Off", 0}, {"Standard", 1}, {"Advanced", 2}});
}

QString pixelFormatWrite(int64_t value)
{
    return QStringLiteral("PixelFormat=%1 (value)").arg(value);
}

} // namespace

class TestSensorFeatures : public QObject
{
    Q_OBJECT

private slots:
    void twoTapsResetDepthAndLevels();
    void depthTable_data();
    void depthTable();
    void refusedDepthIsNotReported();
    void binning();
    void speedReportsExposureLimit();
    void unlistedIndexWritesNothing();
    void loadShowsCameraAndWritesNothing_data();
    void loadShowsCameraAndWritesNothing();
    void outputLine();
    void refusedWritesAreCollected();
};

void TestSensorFeatures::twoTapsResetDepthAndLevels()
{
    RecordingParameters p;
    addSensor(p);
    const auto change = SensorFeatures::changeTaps(p, 1);
    QVERIFY(change);
    QCOMPARE(change->depthEntries, 2);
    QCOMPARE(change->depthBits, std::optional<int>(8));
    QCOMPARE(change->maxExposure, std::optional<int>(40000));
    QCOMPARE(p.writes(), (QStringList{"SensorDigitizationTaps=1 (value)", pixelFormatWrite(Mono8),
                                      "GainSelector=16 (value)", "GainAutoBalance=0 (value)", "GainRaw=227 (integer)",
                                      "BlackLevelSelector=9 (value)", "BlackLevelRaw=0 (integer)",
                                      "GainSelector=17 (value)", "GainAutoBalance=0 (value)", "GainRaw=227 (integer)",
                                      "BlackLevelSelector=10 (value)", "BlackLevelRaw=0 (integer)"}));
    // Back to one tap: the 14-bit entry returns.
    QCOMPARE(SensorFeatures::changeTaps(p, 0)->depthEntries, 3);
}

void TestSensorFeatures::depthTable_data()
{
    QTest::addColumn<int>("ccdType");
    QTest::addColumn<int>("taps");
    QTest::addColumn<int>("index");
    QTest::addColumn<qint64>("written"); // 0: nothing written
    QTest::addColumn<int>("bits");       // 0: no setDepth

    QTest::newRow("colour 8-bit") << 12 << 0 << 0 << qint64(Bayer8) << 8;
    QTest::newRow("colour 12-bit") << 12 << 0 << 1 << qint64(Bayer12) << 16;
    QTest::newRow("colour 14-bit, two taps") << 12 << 1 << 2 << qint64(Mono14) << 16;
    QTest::newRow("mono 8-bit") << 0 << 0 << 0 << qint64(Mono8) << 8;
    QTest::newRow("mono 12-bit, two taps") << 0 << 1 << 1 << qint64(Mono12) << 16;
    QTest::newRow("mono 14-bit, one tap") << 0 << 0 << 2 << qint64(Mono14) << 16;
    QTest::newRow("mono 14-bit, two taps") << 0 << 1 << 2 << qint64(0) << 0;
    QTest::newRow("list cleared") << 0 << 0 << -1 << qint64(0) << 0;
    QTest::newRow("past the list") << 12 << 0 << 3 << qint64(0) << 0;
}

void TestSensorFeatures::depthTable()
{
    QFETCH(int, ccdType);
    QFETCH(int, taps);
    QFETCH(int, index);
    QFETCH(qint64, written);
    QFETCH(int, bits);
    RecordingParameters p;
    addSensor(p, ccdType, taps, Mono12);
    const std::optional<int> reported = SensorFeatures::changeDepth(p, index);
    QCOMPARE(p.writes(), written ? QStringList{pixelFormatWrite(written)} : QStringList());
    QCOMPARE(reported, bits ? std::optional<int>(bits) : std::nullopt);
}

void TestSensorFeatures::refusedDepthIsNotReported()
{
    // A camera without the 12-bit format keeps its own: no new depth.
    RecordingParameters p;
    addSensor(p, 0, 0, Mono8, {{"Mono8", Mono8}, {"Mono16", Mono14}});
    QCOMPARE(SensorFeatures::changeDepth(p, 1), std::nullopt);
    QCOMPARE(p.writes(), QStringList{pixelFormatWrite(Mono12) + " refused"});
}

void TestSensorFeatures::binning()
{
    RecordingParameters p;
    addSensor(p);
    QCOMPARE(SensorFeatures::changeBinning(p, 4), std::optional<int>(8));
    QCOMPARE(p.writes(), (QStringList{"BinningHorizontal=8 (value)", "BinningVertical=8 (value)",
                                      "Width=201 (integer)", "Height=151 (integer)"}));
}

void TestSensorFeatures::speedReportsExposureLimit()
{
    // Timed exposures (1) are bounded by the new frame time; pulse-width ones (2) are not.
    for (const int mode : {1, 2}) {
        RecordingParameters p;
        addSensor(p);
        p.addEnum("ExposureMode", mode);
        p.addInteger("FRM_TIM_ACT", 25000);
        QCOMPARE(SensorFeatures::changeSpeed(p, 1), mode == 1 ? std::optional<int>(25000) : std::nullopt);
        QCOMPARE(p.writes(), QStringList{"CameraSpeed=1 (value)"});
    }
}

void TestSensorFeatures::unlistedIndexWritesNothing()
{
    // -1 comes with a cleared list or a camera value the list lacks; a
    // binning factor of 0 is never written.
    RecordingParameters p;
    addSensor(p);
    for (int index : {-1, 99}) {
        QCOMPARE(SensorFeatures::changeTaps(p, index), std::nullopt);
        QCOMPARE(SensorFeatures::changeSpeed(p, index), std::nullopt);
        QCOMPARE(SensorFeatures::changeBinning(p, index), std::nullopt);
        QCOMPARE(SensorFeatures::changeDepth(p, index), std::nullopt);
        SensorFeatures::changeFlatField(p, index);
        SensorFeatures::changeBlackLevel(p, index);
        SensorFeatures::changeVerticalSmear(p, index);
        OutputLine::writeSelector(p, index);
        OutputLine::writePolarity(p, index);
    }
    QCOMPARE(p.writes(), QStringList());
}

void TestSensorFeatures::loadShowsCameraAndWritesNothing_data()
{
    QTest::addColumn<int>("taps");
    QTest::addColumn<qint64>("pixelFormat");
    QTest::addColumn<int>("binning");
    QTest::addColumn<int>("smear");
    QTest::addColumn<int>("depthEntries");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("binningIndex"); // -1: no selection
    QTest::addColumn<int>("smearIndex");   // -1: no selection

    QTest::newRow("colour 12-bit") << 0 << qint64(Bayer12) << 1 << 0 << 3 << 1 << 0 << 0;
    QTest::newRow("mono 14-bit, x8") << 0 << qint64(Mono14) << 8 << 2 << 3 << 2 << 4 << 2;
    QTest::newRow("two taps cannot show 14-bit") << 1 << qint64(Mono14) << 3 << 1 << 2 << -1 << 2 << 1;
    QTest::newRow("values the lists lack") << 0 << qint64(0x02180014) << 5 << 7 << 3 << 1 << -1 << -1;
}

void TestSensorFeatures::loadShowsCameraAndWritesNothing()
{
    QFETCH(int, taps);
    QFETCH(qint64, pixelFormat);
    QFETCH(int, binning);
    QFETCH(int, smear);
    QFETCH(int, depthEntries);
    QFETCH(int, depth);
    QFETCH(int, binningIndex);
    QFETCH(int, smearIndex);
    RecordingParameters p;
    addSensor(p, 0, taps, pixelFormat, {});
    p.addEnum("BinningVertical", binning);
    p.addEnum("VerticalSmearCorrection", smear);
    p.addEnum("CameraSpeed", 1);
    const SensorFeatures::Shown shown = SensorFeatures::load(p);
    QCOMPARE(shown.taps, taps);
    QCOMPARE(shown.speed, 1);
    QCOMPARE(shown.depthEntries, depthEntries);
    QCOMPARE(shown.depth, depth);
    QCOMPARE(shown.binning, binningIndex);
    QCOMPARE(shown.verticalSmear, smearIndex);
    QCOMPARE(shown.flatField, 1);
    QCOMPARE(shown.blackLevel, 0);
    QCOMPARE(p.writes(), QStringList());
}

void TestSensorFeatures::outputLine()
{
    // Entries in value order: the index read is the index shown; a value the
    // lists lack selects nothing and writes nothing back.
    RecordingParameters p;
    p.addEnum("OUT1Selector", 12);
    p.addEnum("OUT1Polarity", 3);
    QCOMPARE(OutputLine::load(p).selector, 12);
    QCOMPARE(OutputLine::load(p).polarity, -1);
    OutputLine::writePolarity(p, 0);
    QCOMPARE(p.writes(), QStringList{"OUT1Polarity=0 (value)"});
}

void TestSensorFeatures::refusedWritesAreCollected()
{
    // A camera without flat-field correction or binning whose output selector
    // is locked: each refused feature is named once, in order, to the
    // innermost collector only; what the camera lacks is shown as no selection.
    RecordingParameters p;
    addSensor(p);
    RecordingParameters lacking;
    lacking.addEnum("OUT1Selector", 4);
    lacking.setWritable("OUT1Selector", false);
    lacking.addBoolean("BlackLevelCorrection", false);
    SensorFeatures::changeFlatField(lacking, 1); // outside a collector: only logged
    {
        const FeatureValues::RefusedWrites refused;
        SensorFeatures::changeFlatField(lacking, 1);
        OutputLine::writeSelector(lacking, 12);
        SensorFeatures::changeFlatField(lacking, 0);
        {
            const FeatureValues::RefusedWrites inner;
            SensorFeatures::changeBinning(lacking, 1);
            QCOMPARE(inner.features(), (QStringList{"BinningHorizontal", "BinningVertical"}));
        }
        SensorFeatures::changeBlackLevel(lacking, 1); // taken
        SensorFeatures::changeFlatField(p, 0);        // taken
        QCOMPARE(refused.features(), (QStringList{"FlatFieldCorrection", "OUT1Selector"}));
        QCOMPARE(refused.text(), QStringLiteral("The camera refused FlatFieldCorrection, OUT1Selector"));
    }
    QVERIFY(FeatureValues::RefusedWrites().text().isEmpty());
    QCOMPARE(lacking.boolean("BlackLevelCorrection"), true);
    QCOMPARE(OutputLine::load(lacking).selector, 4);

    const SensorFeatures::Shown shown = SensorFeatures::load(lacking);
    QCOMPARE(shown.flatField, -1);
    QCOMPARE(shown.binning, -1);
    QCOMPARE(shown.verticalSmear, -1);
    QCOMPARE(shown.blackLevel, 1);
}

QTEST_GUILESS_MAIN(TestSensorFeatures)
#include "tst_SensorFeatures.moc"
