#include "LensControllerSim.h"
#include "Lumi_cam.h"
#include "RemoteClient.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camera/camSearchDlg.h"
#include "focusDlg.h"
#include "pingWorker.h"
#include "frames/CustomScene.h"
#include "remote/RemoteServer.h"

#include <QComboBox>
#include <QGraphicsSceneMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <memory>

using WindowDriver::action;
using WindowDriver::PatienceMs;

namespace {
const QString ControllerAddress = QStringLiteral("127.0.17.5");

// A preset stored before the station shows its lens dialog.
void storePreset(const QString& name)
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").setValue("Profiles/" + name, "35,1,4");
}
} // namespace

// The station's lens hooks: the lens action, the dialog's close, and the
// console's lens commands reaching the simulated controller (no camera
// needed); the ROI's sharpness scores reaching the autofocus.
class LumiCamLensTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lensActionAndClose();
    void remoteLensCommands();
    void sharpnessScoresFeedAutofocus();

private:
    QByteArray ask(const QByteArray& bytes) { return WindowDriver::ask(m_client, bytes); }

    std::unique_ptr<LensControllerSim> m_sim;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Lumi_cam> m_window;
    RemoteClient m_client;
};

void LumiCamLensTest::init()
{
    m_sim = std::make_unique<LensControllerSim>();
    QVERIFY(m_sim->start(ControllerAddress));
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_window = std::make_unique<Lumi_cam>();
    m_window->findChild<camSearchDlg*>()->close();
}

void LumiCamLensTest::cleanup()
{
    m_client.disconnectFromStation();
    m_window.reset();
    m_prompt.reset();
    m_sim.reset();
}

void LumiCamLensTest::lensActionAndClose()
{
    storePreset("Far");
    focusDlg* lens = m_window->focusDialog();
    QAction* lensAction = action(*m_window, "actionFocus");
    lensAction->setChecked(true);
    QVERIFY(lens->isVisible());
    QVERIFY(m_window->scene()->sharpnessMode());
    QCOMPARE(lens->findChild<QComboBox*>("comboProfile")->currentText(), QString("Far")); // the list refilled

    QTest::keyClick(lens, Qt::Key_Escape);
    QVERIFY(!lens->isVisible());
    QVERIFY(!lensAction->isChecked());
    QVERIFY(!m_window->scene()->sharpnessMode());
}

void LumiCamLensTest::remoteLensCommands()
{
    m_window->remoteServer()->setListenAddress(QHostAddress::LocalHost, 0);
    action(*m_window, "actionRemote_Control")->setChecked(true);
    QVERIFY(m_client.connectTo(QHostAddress::LocalHost, m_window->remoteServer()->serverPort()));
    focusDlg* lens = m_window->focusDialog();
    storePreset("Far");

    QCOMPARE(ask(("#lcconn=" + ControllerAddress).toLatin1()), QByteArray("No Camera\0", 10));
    QTRY_VERIFY_WITH_TIMEOUT(lens->hasWorkers(), PatienceMs);
    QVERIFY(lens->isVisible());
    QVERIFY(m_window->scene()->sharpnessMode());
    auto* presets = lens->findChild<QComboBox*>("comboProfile");
    QCOMPARE(presets->currentText(), QString("Far")); // the list refilled
    QTRY_VERIFY_WITH_TIMEOUT(!m_sim->commandTexts().isEmpty(), PatienceMs);
    QCOMPARE(m_sim->commandTexts().first(), QByteArray("ver"));
    QTRY_COMPARE_WITH_TIMEOUT(lens->findChild<QLineEdit*>("focusVal")->text(), QString("500"), PatienceMs);

    ask("#lcsave=Near");
    QTRY_COMPARE_WITH_TIMEOUT(presets->currentText(), QString("Near"), PatienceMs);

    m_sim->lens().focus = 100;
    m_sim->clearCommands();
    ask("#lcload=Near");
    const auto moves = [this] {
        QList<QByteArray> commands = m_sim->commandTexts();
        commands.removeAll("ping");
        return commands;
    };
    QTRY_COMPARE_WITH_TIMEOUT(moves(), QList<QByteArray>({"setFocus=500", "setAper=4"}), PatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(!lens->isBusy(), PatienceMs);

    ask("#lcshow");
    QTRY_VERIFY_WITH_TIMEOUT(action(*m_window, "actionFocus")->isChecked(), PatienceMs);
    // Hidden, the dialog pauses its pinger. (The controller keeps silent
    // from here, so that no answer resumes it; those sent before are read first.)
    m_sim->setSilent(true);
    QTest::qWait(100);
    ask("#lchide");
    QTRY_VERIFY_WITH_TIMEOUT(!lens->isVisible(), PatienceMs);
    QVERIFY(!m_window->scene()->sharpnessMode());
    QVERIFY(lens->pinger()->isPaused());

    ask("#lcdelete=Near");
    QTRY_COMPARE_WITH_TIMEOUT(presets->count(), 1, PatienceMs);
    QCOMPARE(presets->itemText(0), QString("Far"));
    QVERIFY(m_prompt->titles().filter("KT3").isEmpty());
}

// The autofocus on the station's scores: a lens whose focus range ends at
// 31 has the search measure three positions (20, then 21 and 22), and the
// log shows the scores the station computed for them.
void LumiCamLensTest::sharpnessScoresFeedAutofocus()
{
    m_sim->lens().focusRange = "0,31";
    SimulatedCamera camera;
    QVERIFY(camera.start());
    action(*m_window, "actionOpenCam")->setChecked(true); // searches again
    QVERIFY(WindowDriver::pick(*m_window, QStringLiteral("127.0.0.1")));
    action(*m_window, "actionRun")->setChecked(true);
    CustomScene& scene = *m_window->scene();
    QTRY_VERIFY_WITH_TIMEOUT(scene.frameShown(), PatienceMs);
    action(*m_window, "actionFocus")->setChecked(true);
    // The user draws an ROI.
    for (const auto& [type, pos] : {std::pair(QEvent::GraphicsSceneMousePress, QPointF(10, 10)),
                                    std::pair(QEvent::GraphicsSceneMouseMove, QPointF(60, 60)),
                                    std::pair(QEvent::GraphicsSceneMouseRelease, QPointF(60, 60))}) {
        QGraphicsSceneMouseEvent event(type);
        event.setScenePos(pos);
        event.setButton(type == QEvent::GraphicsSceneMouseMove ? Qt::NoButton : Qt::LeftButton);
        event.setButtons(type == QEvent::GraphicsSceneMouseRelease ? Qt::NoButton : Qt::LeftButton);
        QCoreApplication::sendEvent(&scene, &event);
    }
    focusDlg* lens = m_window->focusDialog();
    QVERIFY(lens->connectLC(ControllerAddress));
    QTRY_COMPARE_WITH_TIMEOUT(lens->findChild<QLabel*>("label_18")->text(), QString("31"), PatienceMs);

    // Each shown frame's score goes to the dialog and ends its wait for one.
    QObject receiver;
    QList<QByteArray> scores;
    connect(m_window.get(), &Lumi_cam::currentSHARPNESS, &receiver,
            [&](double score) { scores << QByteArray::number(score, 'g', 6); });
    lens->doAutoFocus();
    action(*m_window, "actionRun")->setChecked(false);
    QVERIFY2(m_prompt->shown.last().text.startsWith("Done in "), qPrintable(m_prompt->shown.last().text));

    QFile log(focusDlg::autofocusLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // the last one empty
    const QList<QByteArray> positions{"20,", "21, ", "22, "};
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(lines.at(i).startsWith(positions.at(i)) && lines.at(i).endsWith('\r'), lines.at(i).constData());
        const QByteArray score = lines.at(i).mid(positions.at(i).size()).chopped(1);
        QVERIFY2(scores.contains(score) && score.toDouble() > 0, score.constData());
    }
}

QTEST_MAIN(LumiCamLensTest)
#include "tst_LumiCamLens.moc"
