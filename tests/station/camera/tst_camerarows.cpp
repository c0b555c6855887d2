#include "Ipv4.h"
#include "camera/CameraRows.h"

#include <QtTest>

class tst_CameraRows : public QObject
{
    Q_OBJECT

private slots:
    void displayModel_data();
    void displayModel();
    void rowTexts();
    void subnetProposal_data();
    void subnetProposal();
    void ipv4_data();
    void ipv4();
};

void tst_CameraRows::displayModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("shown");
    QTest::newRow("mono") << "GEV_K3370M" << "Tarnel-M";
    QTest::newRow("colour inside a longer string") << "Kessane GEV_K3370C rev2" << "Tarnel-C";
    QTest::newRow("20 MP") << "GEV_K8870M" << "Tarnel20-M";
    QTest::newRow("other model kept") << "GEV_K8870C" << "GEV_K8870C";
    QTest::newRow("empty") << "" << "";
}

void tst_CameraRows::displayModel()
{
    QFETCH(QString, model);
    QFETCH(QString, shown);
    QCOMPARE(CameraRows::displayModel(model), shown);
}

void tst_CameraRows::rowTexts()
{
    QCOMPARE(CameraRows::interfaceText("eth0", "192.168.1.2"), QString("eth0 [192.168.1.2]"));
    QCOMPARE(CameraRows::cameraText("Tarnel-M", "192.168.1.7", "SN42", "Left"),
             QString("Cam: Tarnel-M  [192.168.1.7] #SN42 (Left)"));
    // Texts are not substituted twice.
    QCOMPARE(CameraRows::cameraText("%2", "1.2.3.4", "%1", ""), QString("Cam: %2  [1.2.3.4] #%1 ()"));
}

void tst_CameraRows::subnetProposal_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("proposal");
    QTest::newRow("one digit") << "192.168.1.7" << "192.168.1.";
    QTest::newRow("three digits") << "10.0.0.255" << "10.0.0.";
    QTest::newRow("empty") << "" << "";
}

void tst_CameraRows::subnetProposal()
{
    QFETCH(QString, ip);
    QFETCH(QString, proposal);
    QCOMPARE(CameraRows::subnetProposal(ip), proposal);
}

void tst_CameraRows::ipv4_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("normalized");
    QTest::newRow("plain") << "192.168.1.10" << true << "192.168.1.10";
    QTest::newRow("zeros") << "0.0.0.0" << true << "0.0.0.0";
    QTest::newRow("all ones") << "255.255.255.255" << true << "255.255.255.255";
    QTest::newRow("leading zeros") << "010.001.2.003" << true << "10.1.2.3";
    QTest::newRow("part above 255") << "256.1.1.1" << false << "";
    QTest::newRow("last part above 255") << "1.1.1.256" << false << "";
    QTest::newRow("four digits") << "1.2.3.1234" << false << "";
    QTest::newRow("three parts") << "1.2.3" << false << "";
    QTest::newRow("proposal only") << "192.168.1." << false << "";
    QTest::newRow("five parts") << "1.2.3.4.5" << false << "";
    QTest::newRow("leading blank") << " 1.2.3.4" << false << "";
    QTest::newRow("trailing text") << "1.2.3.4x" << false << "";
    QTest::newRow("negative") << "1.2.3.-4" << false << "";
    QTest::newRow("letters") << "a.b.c.d" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void tst_CameraRows::ipv4()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, normalized);
    QCOMPARE(Ipv4::isValid(text), valid);
    if (valid)
        QCOMPARE(Ipv4::normalized(text), normalized);
}

QTEST_GUILESS_MAIN(tst_CameraRows)
#include "tst_camerarows.moc"
