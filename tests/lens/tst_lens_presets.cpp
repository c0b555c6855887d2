#include "LensPresets.h"

#include <QtTest>

// Preset values and names, and the store beside the console's names.
class TestLensPresets : public QObject
{
    Q_OBJECT

private slots:
    void valuesAndNames();
    void storeKeepsToItsGroup();
};

void TestLensPresets::valuesAndNames()
{
    QCOMPARE(LensPresets::value(35, 1200, 4), QString("35,1200,4"));
    QCOMPARE(LensPresets::value(35, 1200, 5.6f), QString("35,1200,5.6"));
    // Value -> tooltip; none for no preset.
    const QList<QPair<QString, QString>> cases{
        {"35,1200,5.6", "35mm,1200,f/5.6"}, {"0,0,0.0", "0mm,0,f/0.0"}, {"35,1200,5.6,9", "35mm,1200,f/5.6"},
        {"0,0,0", ""},                      {"35,1200", ""},            {"", ""}};
    for (const auto& c : cases) {
        const auto preset = LensPresets::parse(c.first);
        QCOMPARE(preset ? LensPresets::toolTip(*preset) : QString(), c.second);
    }
    QVERIFY(LensPresets::isValidName("far away, F8"));
    for (const char* name : {"", "a/b", "..\\b"})
        QVERIFY2(!LensPresets::isValidName(name), name);
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
    QCOMPARE(store.value("Near"), QString("0,0,0"));
    QVERIFY(store.store("Near", "35,1200,5.6"));
    {
        // In the file at once, for the console's process that shares it.
        QFile file(shared.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("35,1200,5.6"));
    }
    QVERIFY(store.store("Far", "35,100,8"));
    QVERIFY(!store.store("a/b", "1,2,3"));
    QCOMPARE(store.names(), QStringList({"Far", "Near"}));
    // Nor is such a name read: it would name a value below the group's own.
    shared.setValue("Profiles/a/b", "1,2,3");
    shared.sync();
    QCOMPARE(store.value("a/b"), QString("0,0,0"));
    store.remove(""); // would name the whole group
    store.remove("Far");
    QCOMPARE(store.names(), QStringList({"Near"}));

    shared.sync();
    QCOMPARE(shared.value("MultiProfiles/Near").toString(), QString("x"));
    QCOMPARE(shared.value("Profiles/Near").toString(), QString("35,1200,5.6"));
}

QTEST_GUILESS_MAIN(TestLensPresets)
#include "tst_lens_presets.moc"
