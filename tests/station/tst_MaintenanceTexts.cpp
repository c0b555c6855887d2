#include "MaintenanceTexts.h"
#include "RecordingParameters.h"
#include "capture/CaptureNaming.h"

#include <QtTest>

// The camera information texts and the camera's capture sub-folder.
class TestMaintenanceTexts : public QObject
{
    Q_OBJECT

private slots:
    void temperature();
    void cameraInformation();
    void workPath_data();
    void workPath();
};

void TestMaintenanceTexts::temperature()
{
    QCOMPARE(MaintenanceTexts::temperature(40), QStringLiteral("Camera: 40") + QChar(0xB0) + QLatin1Char('C'));
    QCOMPARE(MaintenanceTexts::temperature(-5).toLatin1(), QByteArray("Camera: -5\xB0" "C"));
}

void TestMaintenanceTexts::cameraInformation()
{
    RecordingParameters p;
    p.addInteger("FirmwareVersion", 2);
    p.addInteger("FirmwareBuild", 517);
    p.addInteger("XmlVersion", 3);
    p.addInteger("IPEngineFirmwareVersionMajor", 1);
    p.addInteger("IPEngineFirmwareVersionMinor", 4);
    p.addInteger("IPEngineFirmwareVersionSubminor", 12);
    QCOMPARE(MaintenanceTexts::cameraInformation(p),
             QStringLiteral("<b>Camera Information</b><br>Firmware Version: 2 (build 517)<br>XML Version: 3<br>"
                            "IPEngine Version: 1.4.12"));
    // A version the camera does not give is not shown as 0.
    p.setReadable("FirmwareBuild", false);
    QVERIFY(MaintenanceTexts::cameraInformation(p).contains(QLatin1String("Firmware Version: 2 (build ?)")));
}

void TestMaintenanceTexts::workPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("subFolder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("no sub-folder") << "/data/run" << false << "cam a" << "/data/run";
    QTest::newRow("blank to dot") << "/data/run" << true << "cam a" << "/data/run/CAM_CAM.A";
    QTest::newRow("separators stay inside") << "/data" << true << "../x\\y" << "/data/CAM_.._X_Y";
    QTest::newRow("no work folder") << "" << true << "cam a" << "";
}

void TestMaintenanceTexts::workPath()
{
    QFETCH(QString, folder);
    QFETCH(bool, subFolder);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(workPathFor(folder, subFolder, name), path);
}

QTEST_GUILESS_MAIN(TestMaintenanceTexts)
#include "tst_MaintenanceTexts.moc"
