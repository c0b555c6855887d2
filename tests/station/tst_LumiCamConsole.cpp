#include "Dravo_plurica.h"
#include "Lumi_cam.h"
#include "ScriptedPrompt.h"
#include "SidePanel.h"
#include "SimulatedCamera.h"
#include "WindowDriver.h"
#include "camstatusdialog.h"
#include "ipsettingsdialog.h"
#include "remote/RemoteServer.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The console steering a station with the simulated camera, both in this
// process: the station listens on 127.0.0.1 at the remote-control port, the
// console starts with the demo's address lists.
class LumiCamConsoleTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void demoListShowsStationReady();
    void syncAndCaptureWriteSeries();

private:
    template <typename T>
    T* consoleChild(const char* name) const
    {
        return m_console->findChild<T*>(QLatin1String(name));
    }

    std::unique_ptr<SimulatedCamera> m_camera;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Lumi_cam> m_station;
    std::unique_ptr<Dravo_plurica> m_console;
};

using WindowDriver::PatienceMs;

void LumiCamConsoleTest::initTestCase()
{
    m_camera = std::make_unique<SimulatedCamera>();
    QVERIFY(m_camera->start());
}

void LumiCamConsoleTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(WindowDriver::writeSettings({{"LAST_FRM", 2}, {"LAST_AVG", 1}, {"LAST_EXP", 1000}}));
    // The console's settings as the demo writes them.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                           + QStringLiteral("/Kessane/Orchestrel.conf");
    QFile::remove(config);
    QVERIFY(QFile::copy(qEnvironmentVariable("KESSANE_SOURCE_DIR") + "/scripts/demo-orchestrel.conf", config));
    QVERIFY(QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner));

    m_prompt = std::make_unique<ScriptedPrompt>();
    m_station = std::make_unique<Lumi_cam>();
    QVERIFY(WindowDriver::pick(*m_station, QStringLiteral("127.0.0.1")));
    m_station->remoteServer()->setListenAddress(QHostAddress::LocalHost, 1910);
    WindowDriver::action(*m_station, "actionRemote_Control")->setChecked(true);
    QVERIFY(m_station->remoteServer()->isListening());

    m_console = std::make_unique<Dravo_plurica>();
    m_console->show();
    // The user presses Set in the IP settings the console opens with.
    auto* ipDialog = m_console->findChild<ipsettingsdialog*>();
    QVERIFY(ipDialog->isVisible());
    ipDialog->findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
    m_prompt->shown.clear();
}

void LumiCamConsoleTest::cleanup()
{
    m_console.reset();
    m_station.reset();
    m_prompt.reset();
}

void LumiCamConsoleTest::demoListShowsStationReady()
{
    QCOMPARE(m_console->stationAddresses(), QStringList{"127.0.0.1"});
    auto* status = m_console->findChild<camstatusdialog*>();
    QVERIFY(status->isVisible()); // Set opens the status list
    QListWidget* rows = status->findChild<QListWidget*>();
    QCOMPARE(rows->count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rows->item(0)->text(), QStringLiteral("Station1 - Ready"), PatienceMs);
    QCOMPARE(rows->item(0)->background().color(), QColor(Qt::green));
    // Set also named the station's camera after its alias.
    QTRY_VERIFY_WITH_TIMEOUT(m_station->windowTitle().startsWith(QStringLiteral("[Station1] - Lumivar")), PatienceMs);
    QVERIFY(m_prompt->shown.isEmpty());
}

void LumiCamConsoleTest::syncAndCaptureWriteSeries()
{
    const QString folder = m_dir->filePath(QStringLiteral("series")) + QLatin1Char('/');
    consoleChild<QLineEdit>("folder_edit")->setText(folder);
    consoleChild<QLineEdit>("lineEdit")->setText(QStringLiteral("run_7"));
    consoleChild<QLineEdit>("pointEdit")->setText(QStringLiteral("p1"));
    consoleChild<QSpinBox>("spinBox")->setValue(3);
    consoleChild<QPushButton>("pushButton")->click(); // Sync
    const SidePanel& panel = m_station->sidePanel();
    // Each setting may come on a connection of its own.
    QTRY_COMPARE_WITH_TIMEOUT(panel.workFolder->text(), folder, PatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(panel.frames->value(), 3, PatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(panel.prefix->text(), QStringLiteral("run_7"), PatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(panel.point->text(), QStringLiteral("p1"), PatienceMs);

    QAction* capture = m_console->findChild<QAction*>(QStringLiteral("actionCapture"));
    capture->trigger();
    QVERIFY(capture->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(QDir(folder).entryList({QStringLiteral("*.tif")}, QDir::Files).size() == 3,
                             PatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(!m_station->isCapturing(), PatienceMs);
    // The station, seen capturing or done, is ready again: the console's
    // Capture pops out.
    QTRY_VERIFY_WITH_TIMEOUT(!capture->isChecked(), PatienceMs);
    QCOMPARE(QDir(folder).entryList({QStringLiteral("*.settings")}, QDir::Files), QStringList{"run_7_p1.settings"});
    QVERIFY(m_prompt->shown.isEmpty());
}

QTEST_MAIN(LumiCamConsoleTest)
#include "tst_LumiCamConsole.moc"
