#include "RecordingWindow.h"
#include "remote/RemoteDispatch.h"

#include <QtTest>

using RemoteProtocol::Command;

Q_DECLARE_METATYPE(RemoteProtocol::Command)

// The remote commands as the window sees them, with the checks on values
// from the network.
class TestRemoteDispatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("kessane.station.remote.*=false")); }
    void commands_data();
    void commands();
};

void TestRemoteDispatch::commands_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("workFolder");      // a work folder is set
    QTest::addColumn<bool>("folderCreatable"); // the window can create the folder
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("blockGoesOn");

    const QStringList none;
    // Each switch as the user would flip it.
    const QList<QPair<Command, QStringList>> switches{
        {Command::NormOn, {"switch DisplayScale on"}},
        {Command::NormOff, {"switch DisplayScale off"}},
        {Command::Stop, {"switch Capture off"}},
        {Command::Split, {"switch SplitColours on"}},
        {Command::NoSplit, {"switch SplitColours off"}},
        {Command::Overclock, {"switch Turbo on"}},
        {Command::NoOverclock, {"switch Turbo off"}},
        {Command::PulseWidth, {"switch PulseWidth on"}},
        {Command::NoPulseWidth, {"switch PulseWidth off"}},
        {Command::Lut, {"switch Lut on"}},
        {Command::NoLut, {"switch Lut off"}},
        // One channel off before the other goes on: the two are exclusive.
        {Command::Sensitive, {"switch RChannel off", "switch SChannel on"}},
        {Command::Reference, {"switch SChannel off", "switch RChannel on"}},
        {Command::Preview, {"switch Run on"}},
        {Command::NoPreview, {"switch Run off"}},
        {Command::Trigger, {"switch Trigger on"}},
        {Command::NoTrigger, {"switch Trigger off"}},
    };
    for (const auto& s : switches)
        QTest::newRow(RemoteProtocol::word(s.first).constData()) << s.first << "" << true << true << s.second << true;
    QTest::newRow("start") << Command::Start << "" << true << true
                           << QStringList{"switch Run off", "switch Capture on"} << true;
    QTest::newRow("start without work folder")
        << Command::Start << "" << false << true
        << QStringList{"refused No work folder is set: the capture was not started."} << true;
    QTest::newRow("exposure") << Command::Exposure << "1500.5" << true << true << QStringList{"exposure 1500.5"}
                              << true;
    QTest::newRow("exposure nan") << Command::Exposure << "nan" << true << true << QStringList{"exposure 0"} << true;
    QTest::newRow("exposure -inf") << Command::Exposure << "-inf" << true << true << QStringList{"exposure 0"}
                                   << true;
    QTest::newRow("average") << Command::Average << "3" << true << true << QStringList{"average 3"} << true;
    QTest::newRow("frames") << Command::Frames << "20" << true << true << QStringList{"frames 20"} << true;
    QTest::newRow("camera name") << Command::CamName << "Bench 2" << true << true << QStringList{"camera Bench 2"}
                                 << true;
    QTest::newRow("prefix") << Command::Prefix << "run 7" << true << true << QStringList{"prefix run 7"} << true;
    QTest::newRow("point") << Command::Point << "p1" << true << true << QStringList{"point p1"} << true;
    QTest::newRow("prefix climbing") << Command::Prefix << "../../outside_" << true << true << none << true;
    QTest::newRow("prefix parent") << Command::Prefix << ".." << true << true << none << true;
    QTest::newRow("point parent") << Command::Point << "a..b" << true << true << none << true;
    QTest::newRow("point with separator") << Command::Point << "a\\b" << true << true << none << true;
    QTest::newRow("point with control") << Command::Point << "a\rb" << true << true << none << true;
    QTest::newRow("folder") << Command::Folder << "/data/run" << true << true << QStringList{"folder /data/run"}
                            << true;
    QTest::newRow("folder not created") << Command::Folder << "/proc/x" << true << false
                                        << QStringList{"folder /proc/x", "folder error /proc/x"} << false;
    QTest::newRow("folder relative") << Command::Folder << "../etc" << true << true
                                     << QStringList{"folder error ../etc"} << false;
    QTest::newRow("folder empty") << Command::Folder << "" << true << true << QStringList{"folder error "} << false;
    QTest::newRow("lens commands go elsewhere") << Command::LensSave << "near" << true << true << none << true;
}

void TestRemoteDispatch::commands()
{
    QFETCH(Command, command);
    QFETCH(QString, value);
    QFETCH(bool, workFolder);
    QFETCH(bool, folderCreatable);
    QFETCH(QStringList, calls);
    QFETCH(bool, blockGoesOn);
    RecordingWindow window;
    window.workFolderSet = workFolder;
    window.folderCreatable = folderCreatable;
    QCOMPARE(RemoteDispatch::execute({command, value}, window), blockGoesOn);
    QCOMPARE(window.calls, calls);
}

QTEST_GUILESS_MAIN(TestRemoteDispatch)
#include "tst_remote_dispatch.moc"
