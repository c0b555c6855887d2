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
    void helpFileNamesAreText();
    void qePicture_data();
    void qePicture();
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

// A help file's path is shown as it is, not read as markup.
void TestMaintenanceTexts::helpFileNamesAreText()
{
    const QString path = QStringLiteral("/opt/R&D/<b>help.chm");
    QCOMPARE(MaintenanceTexts::helpMissing(path),
             QStringLiteral("The help file <b>/opt/R&amp;D/&lt;b&gt;help.chm</b> was not found."));
    QCOMPARE(MaintenanceTexts::helpNotOpened(path),
             QStringLiteral("No program could open the help file <b>/opt/R&amp;D/&lt;b&gt;help.chm</b>."));
}

// Each camera model is shown its own quantum-efficiency curve.
void TestMaintenanceTexts::qePicture_data()
{
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("picture");
    QTest::newRow("colour") << true << "GEV_K3370M" << "Color Quantum Efficiency"
                            << ":/Dravo_cam/QE_color_tarnel.png";
    QTest::newRow("K3971") << false << "IGV_K3971M" << "Monochrome Quantum Efficiency "
                           << ":/Dravo_cam/qe3971.png";
    QTest::newRow("K3370") << false << "GEV_K3370M" << "Monochrome Quantum Efficiency "
                           << ":/Dravo_cam/QE_mono_tarnel.png";
    QTest::newRow("another model keeps the picture shown") << false << "IGV_K3971" << "Monochrome Quantum Efficiency "
                                                            << "";
}

void TestMaintenanceTexts::qePicture()
{
    QFETCH(bool, colour);
    QFETCH(QString, model);
    QFETCH(QString, title);
    QFETCH(QString, picture);
    const MaintenanceTexts::QePicture qe = MaintenanceTexts::qePicture(colour, model);
    QCOMPARE(qe.title, title);
    QCOMPARE(qe.picture, picture);
}

QTEST_GUILESS_MAIN(TestMaintenanceTexts)
#include "tst_MaintenanceTexts.moc"
