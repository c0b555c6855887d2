#include "StationSettings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// Side-panel values read from a settings store: defaults for absent keys and
// numbers brought into the widgets' ranges.
class StationSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void freshStoreGivesDefaults();
    void storedValues_data();
    void storedValues();
    void storeIsKessaneLumivar();

private:
    QTemporaryDir m_dir;
    int m_files = 0;
};

void StationSettingsTest::freshStoreGivesDefaults()
{
    QSettings empty(m_dir.filePath(QStringLiteral("empty.ini")), QSettings::IniFormat);
    const StationSettings::SidePanelValues v = StationSettings::readSidePanel(empty);
    QCOMPARE(v.exposure, 100.0);
    QCOMPARE(v.frames, 10);
    QCOMPARE(v.average, 1);
    QCOMPARE(v.extTrigger, true);
    QCOMPARE(v.prefix, QStringLiteral("run_0"));
    QCOMPARE(v.point, QStringLiteral("point_0"));
    QCOMPARE(v.workFolder, QString());
    const QStringList gate1 = {v.gate[0].exposure, QString::number(v.gate[0].count), v.gate[0].period,
                               v.gate[0].delay, v.gate[0].ledWidth};
    const QStringList gate2 = {v.gate[1].exposure, QString::number(v.gate[1].count), v.gate[1].period,
                               v.gate[1].delay, v.gate[1].ledWidth};
    QCOMPARE(gate1, QStringList({"30", "1000", "1000", "0", "30"}));
    QCOMPARE(gate2, QStringList({"30", "1000", "1000", "30", "30"}));
}

void StationSettingsTest::storedValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected"); // the field as text

    QTest::newRow("exposure kept") << "LAST_EXP" << "2500" << "2500";
    QTest::newRow("exposure below range") << "LAST_EXP" << "3" << "10";
    QTest::newRow("exposure above range") << "LAST_EXP" << "20000000" << "16777215";
    QTest::newRow("exposure not a number") << "LAST_EXP" << "fast" << "10";
    QTest::newRow("exposure nan") << "LAST_EXP" << "nan" << "10";
    QTest::newRow("count 1 above range") << "LAST_CNT_G1" << "200000" << "131071";
    QTest::newRow("count 2 below range") << "LAST_CNT_G2" << "0" << "1";
    QTest::newRow("count 2 kept") << "LAST_CNT_G2" << "77" << "77";
    QTest::newRow("frames above range") << "LAST_FRM" << "10001" << "10000";
    QTest::newRow("frames negative") << "LAST_FRM" << "-5" << "1";
    QTest::newRow("average above range") << "LAST_AVG" << "101" << "100";
    QTest::newRow("average below range") << "LAST_AVG" << "0" << "1";
    QTest::newRow("average kept") << "LAST_AVG" << "8" << "8";
    QTest::newRow("trigger off") << "LAST_TRG" << "0" << "0";
    QTest::newRow("trigger false") << "LAST_TRG" << "false" << "0";
    QTest::newRow("trigger true") << "LAST_TRG" << "true" << "1";
    QTest::newRow("gate text as stored") << "LAST_PRD_G2" << "12.5x" << "12.5x";
    QTest::newRow("delay 1") << "LAST_DLY_G1" << "7" << "7";
    QTest::newRow("width 2") << "LAST_WDT_G2" << "44" << "44";
    QTest::newRow("gate exposure 1") << "LAST_EXP_G1" << "55" << "55";
    QTest::newRow("prefix") << "LAST_PRT" << "shot_7" << "shot_7";
    QTest::newRow("point") << "LAST_PNT" << "p 3" << "p 3";
    QTest::newRow("folder") << "LAST_PTH" << "/data/run" << "/data/run";
}

void StationSettingsTest::storedValues()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, expected);

    const QString path = m_dir.filePath(QStringLiteral("s%1.ini").arg(++m_files));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[General]\n%1=%2\n").arg(key, stored).toUtf8());
    }
    QSettings settings(path, QSettings::IniFormat);
    const StationSettings::SidePanelValues v = StationSettings::readSidePanel(settings);
    const QHash<QString, QString> fields = {
        {"LAST_EXP", QString::number(v.exposure, 'f', 0)},
        {"LAST_CNT_G1", QString::number(v.gate[0].count)},
        {"LAST_CNT_G2", QString::number(v.gate[1].count)},
        {"LAST_EXP_G1", v.gate[0].exposure},
        {"LAST_PRD_G2", v.gate[1].period},
        {"LAST_DLY_G1", v.gate[0].delay},
        {"LAST_WDT_G2", v.gate[1].ledWidth},
        {"LAST_FRM", QString::number(v.frames)},
        {"LAST_AVG", QString::number(v.average)},
        {"LAST_TRG", QString::number(int(v.extTrigger))},
        {"LAST_PRT", v.prefix},
        {"LAST_PNT", v.point},
        {"LAST_PTH", v.workFolder},
    };
    QVERIFY2(fields.contains(key), qPrintable(key));
    QCOMPARE(fields.value(key), expected);
}

void StationSettingsTest::storeIsKessaneLumivar()
{
    // The station's store is the user's native Kessane/Lumivar store.
    const std::unique_ptr<QSettings> store = StationSettings::open();
    QCOMPARE(store->organizationName(), QStringLiteral("Kessane"));
    QCOMPARE(store->applicationName(), QStringLiteral("Lumivar"));
    QCOMPARE(store->format(), QSettings::NativeFormat);
    QCOMPARE(store->scope(), QSettings::UserScope);
}

QTEST_GUILESS_MAIN(StationSettingsTest)
#include "tst_StationSettings.moc"
