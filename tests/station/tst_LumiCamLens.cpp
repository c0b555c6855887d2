#include "LensControllerSim.h"
#include "Lumi_cam.h"
#include "RemoteClient.h"
#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camera/camSearchDlg.h"
#include "focusDlg.h"
#include "frames/CustomScene.h"
#include "remote/RemoteServer.h"

#include <QComboBox>
#include <QGraphicsSceneMouseEvent>
#include <QLineEdit>
#include <QtTest>

#include <memory>

using WindowDriver::action;
using WindowDriver::PatienceMs;

namespace {
const QString ControllerAddress = QStringLiteral("127.0.17.5");
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
    focusDlg* lens = m_window->focusDialog();
    QAction* lensAction = action(*m_window, "actionFocus");
    lensAction->setChecked(true);
    QVERIFY(lens->isVisible());
    QVERIFY(m_window->scene()->sharpnessMode());

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

    QCOMPARE(ask(("#lcconn=" + ControllerAddress).toLatin1()), QByteArray("No Camera\0", 10));
    QTRY_VERIFY_WITH_TIMEOUT(lens->hasWorkers(), PatienceMs);
    QVERIFY(lens->isVisible());
    QVERIFY(m_window->scene()->sharpnessMode());
    QTRY_VERIFY_WITH_TIMEOUT(!m_sim->commandTexts().isEmpty(), PatienceMs);
    QCOMPARE(m_sim->commandTexts().first(), QByteArray("ver"));
    QTRY_COMPARE_WITH_TIMEOUT(lens->findChild<QLineEdit*>("focusVal")->text(), QString("500"), PatienceMs);

    ask("#lcsave=Near");
    QTRY_COMPARE_WITH_TIMEOUT(lens->findChild<QComboBox*>("comboProfile")->currentText(), QString("Near"),
                              PatienceMs);

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
    ask("#lchide");
    QTRY_VERIFY_WITH_TIMEOUT(!lens->isVisible(), PatienceMs);
    QVERIFY(!m_window->scene()->sharpnessMode());

    ask("#lcdelete=Near");
    QTRY_COMPARE_WITH_TIMEOUT(lens->findChild<QComboBox*>("comboProfile")->count(), 0, PatienceMs);
    QVERIFY(m_prompt->titles().filter("KT3").isEmpty());
}

void LumiCamLensTest::sharpnessScoresFeedAutofocus()
{
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
    // Each shown frame's score lowers the autofocus's wait flag.
    focusDlg* lens = m_window->focusDialog();
    for (int i = 0; i < 3; ++i) {
        lens->setWaitForScore(true);
        QTRY_VERIFY_WITH_TIMEOUT(!lens->isWaitingForScore(), PatienceMs);
    }
    action(*m_window, "actionRun")->setChecked(false);
}

QTEST_MAIN(LumiCamLensTest)
#include "tst_LumiCamLens.moc"
