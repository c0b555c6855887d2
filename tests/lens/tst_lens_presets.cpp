#include "LensPresets.h"

#include <QtTest>

// Preset values, names and the store beside the console's names.
class TestLensPresets : public QObject
{
    Q_OBJECT

private slots:
    void values();
    void parse_data();
    void parse();
    void names();
    void storeKeepsToItsGroup();
};

void TestLensPresets::values()
{
    QCOMPARE(LensPresets::value(35, 1200, 4), QString("35,1200,4"));
    QCOMPARE(LensPresets::value(35, 1200, 5.6f), QString("35,1200,5.6"));
    QCOMPARE(LensPresets::value(0, -3, 1.23456789f), QString("0,-3,1.23457"));
}

void TestLensPresets::parse_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("isPreset");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("preset") << "35,1200,5.6" << true << "35mm,1200,f/5.6";
    QTest::newRow("absent") << "0,0,0" << false << "";
    QTest::newRow("zeros otherwise written") << "0,0,0.0" << true << "0mm,0,f/0.0";
    QTest::newRow("two fields") << "35,1200" << false << "";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("extra field kept out") << "35,1200,5.6,9" << true << "35mm,1200,f/5.6";
}

void TestLensPresets::parse()
{
    QFETCH(QString, value);
    QFETCH(bool, isPreset);
    QFETCH(QString, toolTip);
    const auto preset = LensPresets::parse(value);
    QCOMPARE(bool(preset), isPreset);
    if (preset)
        QCOMPARE(LensPresets::toolTip(*preset), toolTip);
}

void TestLensPresets::names()
{
    QVERIFY(LensPresets::isValidName("Near"));
    QVERIFY(LensPresets::isValidName("far away, F8"));
    QVERIFY(!LensPresets::isValidName(""));
    QVERIFY(!LensPresets::isValidName("a/b"));
    QVERIFY(!LensPresets::isValidName("..\\b"));
}

// Presets are the "Profiles" group's own values; the console's names share
// the file and stay untouched; refused names change nothing.
void TestLensPresets::storeKeepsToItsGroup()
{
    QSettings shared(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis");
    shared.setValue("MultiProfiles/Near", "x");
    shared.setValue("LC_IP", "127.0.0.1");
    shared.sync();

    LensPresetStore store;
    QVERIFY(store.names().isEmpty());
    QCOMPARE(store.value("Near"), QString("0,0,0"));
    QVERIFY(store.store("Near", "35,1200,5.6"));
    QVERIFY(store.store("Far", "35,100,8"));
    QVERIFY(!store.store("a/b", "1,2,3"));
    QCOMPARE(store.names(), QStringList({"Far", "Near"}));
    QCOMPARE(store.value("Near"), QString("35,1200,5.6"));
    store.remove("");
    store.remove("Far");
    QCOMPARE(store.names(), QStringList({"Near"}));

    shared.sync();
    QCOMPARE(shared.value("MultiProfiles/Near").toString(), QString("x"));
    QCOMPARE(shared.value("Profiles/Near").toString(), QString("35,1200,5.6"));
}

QTEST_GUILESS_MAIN(TestLensPresets)
#include "tst_lens_presets.moc"
