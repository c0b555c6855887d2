#include "StationTexts.h"
#include "base/NqGenParameters.h"
#include "base/NqPixelType.h"
#include "camera/PayloadSize.h"

#include <QtTest>

#include <map>
#include <memory>
#include <string>

namespace {

// Camera features as a test sets them; every read is answered from the table.
class FakeInteger : public NqGenInteger
{
public:
    FakeInteger(std::string name, int64_t value) : m_name(std::move(name)), m_value(value) {}
    NqString GetName() const override { return m_name; }
    bool IsReadable() const override { return true; }
    bool IsWritable() const override { return true; }
    NqResult ToString(NqString& value) const override { value = std::to_string(m_value); return {}; }
    NqResult GetValue(int64_t& value) const override { value = m_value; return {}; }
    NqResult SetValue(int64_t value) override { m_value = value; return {}; }
    NqResult GetMin(int64_t& value) const override { value = INT64_MIN; return {}; }
    NqResult GetMax(int64_t& value) const override { value = INT64_MAX; return {}; }

private:
    std::string m_name;
    int64_t m_value;
};

class FakeEnum : public NqGenEnum
{
public:
    FakeEnum(std::string name, int64_t value) : m_name(std::move(name)), m_value(value) {}
    NqString GetName() const override { return m_name; }
    bool IsReadable() const override { return true; }
    bool IsWritable() const override { return true; }
    NqResult ToString(NqString& value) const override { value = std::to_string(m_value); return {}; }
    NqResult GetValue(int64_t& value) const override { value = m_value; return {}; }
    NqResult GetValue(NqString& entry) const override { return ToString(entry); }
    NqResult SetValue(int64_t value) override { m_value = value; return {}; }
    NqResult SetValue(const char*) override { return NqResult(NqResult::Code::NOT_SUPPORTED); }

private:
    std::string m_name;
    int64_t m_value;
};

class FakeFeatures : public NqGenParameterArray
{
public:
    void addInteger(const char* name, int64_t value) { m_features[name] = std::make_unique<FakeInteger>(name, value); }
    void addEnum(const char* name, int64_t value) { m_features[name] = std::make_unique<FakeEnum>(name, value); }
    NqGenParameter* Get(const char* name) override
    {
        const auto it = m_features.find(name);
        return it == m_features.end() ? nullptr : it->second.get();
    }

private:
    std::map<std::string, std::unique_ptr<NqGenParameter>> m_features;
};

} // namespace

// The frame-size rule for pipeline buffers and the station's title and
// connection texts.
class ShellFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void payloadSize_data();
    void payloadSize();
    void notConnected();
    void titles();
    void connectionTexts_data();
    void connectionTexts();
};

void ShellFormatTest::payloadSize_data()
{
    // -1 leaves the feature out.
    QTest::addColumn<qint64>("payload");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<qint64>("pixelFormat");
    QTest::addColumn<uint>("expected");

    const qint64 mono16 = NqPixelType::Mono16, mono8 = NqPixelType::Mono8, packed = NqPixelType::Mono12Packed;
    QTest::newRow("computed larger") << 1000LL << 640LL << 480LL << mono16 << 614400u;
    QTest::newRow("payload larger") << 700000LL << 640LL << 480LL << mono16 << 700000u;
    QTest::newRow("tie") << 307200LL << 640LL << 480LL << mono8 << 307200u;
    QTest::newRow("12-bit packed") << 0LL << 640LL << 480LL << packed << 460800u;
    QTest::newRow("division truncates") << 0LL << 3LL << 1LL << packed << 4u;
    QTest::newRow("no PayloadSize") << -1LL << 640LL << 480LL << mono8 << 307200u;
    QTest::newRow("no Width") << 5000LL << -1LL << 480LL << mono8 << 5000u;
    QTest::newRow("no PixelFormat") << 5000LL << 640LL << 480LL << -1LL << 5000u;
    QTest::newRow("nothing at all") << -1LL << -1LL << -1LL << -1LL << 0u;
    QTest::newRow("zero") << 0LL << 0LL << 0LL << mono8 << 0u;
    QTest::newRow("largest accepted") << 4294967294LL << 1LL << 1LL << mono8 << 4294967294u;
    QTest::newRow("one too many") << 4294967295LL << 1LL << 1LL << mono8 << 0u;
    QTest::newRow("computed too big") << 0LL << 65536LL << 65536LL << mono8 << 0u;
    QTest::newRow("overflowing 64 bits") << 100LL << (1LL << 40) << (1LL << 40) << mono16 << 0u;
    QTest::newRow("negative size") << 100LL << -640LL << -480LL << mono16 << 100u;
    QTest::newRow("negative payload") << -7LL << 2LL << 2LL << mono8 << 4u;
}

void ShellFormatTest::payloadSize()
{
    QFETCH(qint64, payload);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(qint64, pixelFormat);
    QFETCH(uint, expected);

    FakeFeatures features;
    // "negative payload" keeps -7 as the camera's value; the other -1s mean absent.
    if (payload != -1)
        features.addInteger("PayloadSize", payload);
    if (width != -1)
        features.addInteger("Width", width);
    if (height != -1)
        features.addInteger("Height", height);
    if (pixelFormat != -1)
        features.addEnum("PixelFormat", pixelFormat);
    QCOMPARE(payloadSizeOf(&features), expected);
}

void ShellFormatTest::notConnected()
{
    QCOMPARE(payloadSizeOf(nullptr), 0u);
}

void ShellFormatTest::titles()
{
    QCOMPARE(StationTexts::windowTitle(), QStringLiteral("Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
    QCOMPARE(StationTexts::connectedWindowTitle(QStringLiteral("SimCam")),
             QStringLiteral("[SimCam] - Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
    // A name holding a place marker is shown as it is.
    QCOMPARE(StationTexts::connectedWindowTitle(QStringLiteral("cam %1 %2")),
             QStringLiteral("[cam %1 %2] - Lumivar Tarnel v.2.5.3 (64-bit)  ::  Marrowind Inc. "));
}

void ShellFormatTest::connectionTexts_data()
{
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("description");
    QTest::newRow("colour") << true << "Connected: Tarnel-C  [Left]" << "Connected: Tarnel-C";
    QTest::newRow("mono") << false << "Connected: Tarnel-M  [Left]" << "Connected: Tarnel-M";
}

void ShellFormatTest::connectionTexts()
{
    QFETCH(bool, colour);
    QFETCH(QString, label);
    QFETCH(QString, description);
    QCOMPARE(StationTexts::connectionLabel(colour, QStringLiteral("Left")), label);
    QCOMPARE(StationTexts::connectionDescription(colour), description);
}

QTEST_GUILESS_MAIN(ShellFormatTest)
#include "tst_ShellFormat.moc"
