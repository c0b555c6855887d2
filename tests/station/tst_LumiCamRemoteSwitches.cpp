#include "Lumi_cam.h"
#include "RemoteClient.h"
#include "SidePanel.h"
#include "WindowDriver.h"
#include "remote/RemoteServer.h"

#include <QCheckBox>
#include <QtTest>

// The console's switch commands against the window with a colour camera
// (simulated): each reaches the control a user would use, and only that one.
class LumiCamRemoteSwitchesTest : public QObject
{
    Q_OBJECT

private slots:
    void eachSwitchFlipsItsControl();
};

namespace {

const QByteArray ready("Ready\0", 6);

} // namespace

void LumiCamRemoteSwitchesTest::eachSwitchFlipsItsControl()
{
    SimulatedCameraOptions colour;
    colour.ccdType = 12;
    WindowDriver::Station s(colour);
    QVERIFY(s.connect());
    s.window.remoteServer()->setListenAddress(QHostAddress::LocalHost, 0);
    s.action("actionRemote_Control")->setChecked(true);
    RemoteClient console;
    QVERIFY(console.connectTo(QHostAddress::LocalHost, s.window.remoteServer()->serverPort()));

    QCheckBox* split = s.window.sidePanel().splitColors;
    // Every control a switch command may reach, by name, and its state.
    const QStringList controls{"actionDScale", "actionTurbo", "actionTrigger", "actionPulseWidth", "actionLUT",
                               "actionSChannel", "actionRChannel", "split"};
    const auto states = [&] {
        QStringList on;
        for (const QString& name : controls)
            if (name == QLatin1String("split") ? split->isChecked() : s.action(qPrintable(name))->isChecked())
                on << name;
        return on;
    };
    QVERIFY(split->isChecked()); // a colour camera's frames are split at first
    split->setChecked(false);
    s.action("actionSChannel")->setChecked(false);
    s.action("actionRChannel")->setChecked(false);
    QCOMPARE(states(), QStringList());

    // Command, then every control that is on after it, in the list's order.
    const QList<QPair<QByteArray, QStringList>> steps{
        {"#normon", {"actionDScale"}},
        {"#overclck", {"actionDScale", "actionTurbo"}},
        {"#normoff", {"actionTurbo"}},
        {"#trig", {"actionTurbo", "actionTrigger"}},
        {"#pulsew", {"actionTurbo", "actionTrigger", "actionPulseWidth"}},
        {"#nooverclck", {"actionTrigger", "actionPulseWidth"}},
        {"#lut", {"actionTrigger", "actionPulseWidth", "actionLUT"}},
        {"#nopulsew", {"actionTrigger", "actionLUT"}},
        {"#notrig", {"actionLUT"}},
        {"#sens", {"actionLUT", "actionSChannel"}},
        {"#ref", {"actionLUT", "actionRChannel"}},
        {"#nolut", {"actionRChannel"}},
        {"#split", {"actionRChannel", "split"}},
        {"#sens", {"actionSChannel", "split"}},
        {QByteArray("#nosplit\0", 9), {"actionSChannel"}},
    };
    for (const auto& step : steps) {
        QCOMPARE(WindowDriver::ask(console, step.first), ready);
        // Carried out after the reply.
        const bool settled = QTest::qWaitFor([&] { return states() == step.second; }, WindowDriver::PatienceMs);
        QVERIFY2(settled,
                 qPrintable(QString::fromLatin1(step.first) + QStringLiteral(" left on: ") + states().join(' ')));
    }
}

QTEST_MAIN(LumiCamRemoteSwitchesTest)
#include "tst_LumiCamRemoteSwitches.moc"
