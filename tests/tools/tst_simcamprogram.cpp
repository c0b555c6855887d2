// The lumivar-simcam program: ready line, identity on the wire, clean stop on
// SIGTERM and SIGINT.

#include "GvcpTestClient.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

// A program started and stopped on a loaded machine may take its time.
constexpr int ProgramWaitMs = 30000;

class TestSimCamProgram : public QObject
{
    Q_OBJECT

private slots:
    void runsUntilSignalled_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void runsUntilSignalled()
    {
        QFETCH(int, signal);
        QProcess program;
        program.start(QString::fromLocal8Bit(qgetenv("KESSANE_BINARY_DIR")) + "/tools/lumivar-simcam",
                      {"--address", "127.0.50.8", "--colour", "--serial", "PRG00001", "--user-name", "From CLI",
                       "--mac", "02:4b:53:00:00:08", "--size", "320x240"});
        QVERIFY(program.waitForStarted());
        QVERIFY(program.waitForReadyRead(ProgramWaitMs));
        const QString ready = QString::fromLocal8Bit(program.readLine()).trimmed();
        QVERIFY2(ready.startsWith("lumivar-simcam: listening on 127.0.50.8 "), qPrintable(ready));
        QVERIFY2(ready.contains("320x240"), qPrintable(ready)); // the image size asked for

        GvcpTestClient client;
        const std::vector<uint8_t> answer = client.request(
            "127.0.50.8", NqGvcp::GVCP_PORT,
            NqGvcp::buildCommand(NqGvcp::DISCOVERY_CMD, NqGvcp::GVCP_CMD_FLAG_ACKNOWLEDGE, client.nextId()));
        NqGvcp::AckHeader ack;
        const uint8_t* payload = nullptr;
        NqGvcp::DeviceRecord data;
        QVERIFY(NqGvcp::parseAckHeader(answer.data(), answer.size(), ack, payload));
        QVERIFY(NqGvcp::parseDeviceRecord(payload, ack.length, data));
        QCOMPARE(data.model, std::string("GEV_K3370C"));
        QCOMPARE(data.serial, std::string("PRG00001"));
        QCOMPARE(data.userName, std::string("From CLI"));
        QCOMPARE(NqGvcp::formatMac(data.mac), std::string("02:4b:53:00:00:08"));

        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(ProgramWaitMs));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(program.readAll().contains("stopped"));
    }

    void refusesForeignAddresses()
    {
        QProcess program;
        program.start(QString::fromLocal8Bit(qgetenv("KESSANE_BINARY_DIR")) + "/tools/lumivar-simcam",
                      {"--address", "192.168.0.10"});
        QVERIFY(program.waitForFinished(ProgramWaitMs));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains("--address"));
    }
};

QTEST_GUILESS_MAIN(TestSimCamProgram)
#include "tst_simcamprogram.moc"
