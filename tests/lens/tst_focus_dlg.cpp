#include "LensControllerSim.h"
#include "ScriptedPrompt.h"
#include "focusDlg.h"
#include "pingWorker.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {
const QString ControllerAddress = QStringLiteral("127.0.17.1");
} // namespace

// The lens dialog against the simulated controller: connecting, presets and
// autofocus as a user and the remote commands drive them.
class TestFocusDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectAndControls();
    void refusedAndSilentControllers();
    void presetsSaveApplyDelete();
    void presetCancelAndBoundedWait();
    void presetRefusals();
    void autofocus();
    void autofocusRefusalsAndLogError();
    void escapeHidesAndMotorsRun();

private:
    template<typename T = QWidget>
    T* widget(const char* name) const { return dlg_->findChild<T*>(QLatin1String(name)); }
    void connectController();
    // The commands the controller received, pings left out.
    QList<QByteArray> lensCommands() const;
    // Presses Cancel of the preset's progress dialog once it shows.
    void cancelPresetSoon();
    QStringList shownTitles() const { return prompt_->titles(); }

    std::unique_ptr<LensControllerSim> sim_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<focusDlg> dlg_;
};

void TestFocusDlg::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").clear();
    sim_ = std::make_unique<LensControllerSim>();
    QVERIFY(sim_->start(ControllerAddress));
    prompt_ = std::make_unique<ScriptedPrompt>();
    dlg_ = std::make_unique<focusDlg>();
}

void TestFocusDlg::cleanup()
{
    dlg_.reset(); // stops both workers
    prompt_.reset();
    sim_.reset();
}

void TestFocusDlg::connectController()
{
    prompt_->textAnswers << ControllerAddress;
    dlg_->getLCIP();
    QTRY_VERIFY(dlg_->hasWorkers());
    // The first ping's answer gives the positions.
    QTRY_COMPARE(widget<QLineEdit>("focusVal")->text(), QString::number(sim_->lens().focus));
}

QList<QByteArray> TestFocusDlg::lensCommands() const
{
    QList<QByteArray> commands = sim_->commandTexts();
    commands.removeAll("ping");
    return commands;
}

void TestFocusDlg::cancelPresetSoon()
{
    auto* timer = new QTimer(dlg_.get());
    connect(timer, &QTimer::timeout, this, [this, timer] {
        for (QProgressDialog* p : dlg_->findChildren<QProgressDialog*>()) {
            if (p->isVisible() && p->labelText().startsWith("Setting lens positions")) {
                p->cancel();
                timer->deleteLater();
            }
        }
    });
    timer->start(50);
}

void TestFocusDlg::connectAndControls()
{
    QVERIFY(!widget("slowCloseIris")->isEnabled());
    connectController();
    QCOMPARE(prompt_->shown.first().text, QString("IP:|192.168.2.252"));
    QCOMPARE(sim_->commandTexts().first(), QByteArray("ver"));
    QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").value("LC_IP").toString(),
             ControllerAddress);
    QTRY_COMPARE(widget<QLabel>("label")->text(),
                 QString("Device: Kessane Brevan v.2.14 @127.0.17.1  Lens: <b>24-70mm f/1.4</b>"));
    QCOMPARE(widget<QLabel>("label_18")->text(), QString("1000"));
    QCOMPARE(widget<QLabel>("label_22")->text(), QString("f/1.4"));
    QCOMPARE(widget<QLineEdit>("irisVal")->text(), QString("f/4"));
    QCOMPARE(dlg_->controllerName(), QString("LC Name: <b>BENCH<b>"));
    for (const char* name : {"fastNearFocus", "focusStepSlider", "slowOpenIris", "comboProfile"})
        QVERIFY2(widget(name)->isEnabled(), name);

    // Connecting again replaces both workers.
    QSignalSpy identified(dlg_.get(), &focusDlg::isProductCorrect);
    QVERIFY(dlg_->connectLC(ControllerAddress));
    QTRY_COMPARE(identified.count(), 1);
    QVERIFY(dlg_->pinger()->isRunning() && dlg_->motorWorker()->isRunning());
    QVERIFY(prompt_->shown.size() == 1);
}

void TestFocusDlg::refusedAndSilentControllers()
{
    prompt_->textAnswers << "192.168.2.300" << QString();
    dlg_->getLCIP();
    dlg_->getLCIP(); // cancelled
    QVERIFY(!dlg_->connectLC(""));
    QCOMPARE(shownTitles(), QStringList({"Set Brevan IP:", "KT3 Error", "Set Brevan IP:", "KT3 Error", "KT3 Error"}));
    QCOMPARE(prompt_->shown.last().text, QString("Wrong or empty IP!"));
    QVERIFY(dlg_->address().isEmpty());
    QVERIFY(!QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").contains("LC_IP"));

    // No identity: the error after the identity wait, controls stay off.
    sim_->setSilent(true);
    prompt_->shown.clear();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(dlg_->connectLC(ControllerAddress));
    QTRY_VERIFY_WITH_TIMEOUT(!prompt_->shown.isEmpty(), 5000);
    QVERIFY(clock.elapsed() >= focusDlg::IdentityWaitMs - 100);
    QCOMPARE(prompt_->shown.first().title, QString("Connecting Error"));
    QCOMPARE(prompt_->shown.first().text,
             QString("Can't find <b>Kessane Orvane Controller</b> on <b>127.0.17.1</b>"));
    QVERIFY(!dlg_->hasWorkers());
    QVERIFY(!widget("slowCloseIris")->isEnabled());
}

void TestFocusDlg::presetsSaveApplyDelete()
{
    connectController();
    dlg_->fillProfiles(true);
    dlg_->saveProfileAs("Near");
    dlg_->saveProfileAs("a/b"); // refused: the settings would take it for a group
    auto* list = widget<QComboBox>("comboProfile");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->currentText(), QString("Near"));
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis");
    QCOMPARE(store.value("Profiles/Near").toString(), QString("35,500,4"));

    sim_->lens().focus = 100;
    sim_->clearCommands();
    dlg_->applyProfile("Near");
    QTRY_COMPARE(lensCommands(), QList<QByteArray>({"setFocus=500", "setAper=4"}));
    QVERIFY(prompt_->shown.size() == 1); // the address only
    QVERIFY(widget("slowCloseIris")->isEnabled());

    // Absent and short values are no preset: nothing is sent, nothing shown.
    store.setValue("Profiles/Short", "35,500");
    store.sync();
    sim_->clearCommands();
    dlg_->applyProfile("Short");
    dlg_->applyProfile("Missing");
    QVERIFY(lensCommands().isEmpty());
    QVERIFY(prompt_->shown.size() == 1);

    // The user's delete asks (No by default); a remote one removes only
    // names the list shows.
    dlg_->fillProfiles(true);
    list->setCurrentIndex(list->findText("Near"));
    dlg_->deleteSelected();
    QVERIFY(prompt_->shown.last().defaultNo);
    QCOMPARE(prompt_->shown.last().text, QString("Are you sure you want to delete profile <b>Near</b>?"));
    QCOMPARE(list->count(), 2);
    store.setValue("Profiles/Hidden", "35,1,4");
    store.sync();
    dlg_->deleteSelected("Hidden");
    QVERIFY(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").contains("Profiles/Hidden"));
    dlg_->deleteSelected("Short");
    prompt_->questionAnswers << true;
    dlg_->deleteSelected(); // "Near", selected once "Short" went
    QCOMPARE(list->count(), 1); // refilled: "Hidden" shows now
    dlg_->deleteSelected("Hidden");
    QCOMPARE(list->count(), 0);
    QSettings after(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis");
    after.beginGroup("Profiles");
    QVERIFY(after.childKeys().isEmpty());
    QVERIFY(!widget("loadButton")->isEnabled());
    QVERIFY(!widget("pushButton_2")->isEnabled());
}

// Cancel in the focus phase stops the focus, still sends the aperture and
// stops it at once; a phase without its report ends the same way, with a warning.
void TestFocusDlg::presetCancelAndBoundedWait()
{
    connectController();
    dlg_->saveProfileAs("Near");
    sim_->setSilent(true);
    sim_->clearCommands();
    cancelPresetSoon();
    dlg_->applyProfile("Near");
    const QList<QByteArray> stopped{"setFocus=500", "stopFocus", "setAper=4", "stopFocus"};
    QTRY_COMPARE(lensCommands(), stopped);
    QCOMPARE(prompt_->shown.size(), 1);

    focusDlg::WaitLimits limits;
    limits.presetPhaseMs = 400;
    dlg_->setWaitLimits(limits);
    sim_->clearCommands();
    QElapsedTimer clock;
    clock.start();
    dlg_->applyProfile("Near");
    QVERIFY(clock.elapsed() < 3000);
    QTRY_COMPARE(lensCommands(), stopped);
    QCOMPARE(prompt_->shown.last().title, QString("Canon Lens Controller"));
    QVERIFY(prompt_->shown.last().text.contains("\"focusDone\" within 0.4 s"));
    QVERIFY(!dlg_->isBusy());
}

void TestFocusDlg::presetRefusals()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis");
    store.setValue("Profiles/Tele", "100,500,4"); // a 100 mm zoom position: not on a 24-70
    store.setValue("Profiles/Near", "35,500,4");
    store.sync();
    dlg_->applyProfile("Near");
    QCOMPARE(shownTitles(), QStringList("KT3 connection"));

    connectController();
    dlg_->applyProfile("Tele");
    QCOMPARE(prompt_->shown.last().title, QString("Wrong presets"));
    QCOMPARE(prompt_->shown.last().text, QString("This presets is for the different lens!"));

    // One lens sequence at a time: a remote load is dropped, the user's is
    // refused with a warning.
    sim_->setSilent(true);
    sim_->clearCommands();
    prompt_->shown.clear();
    QTimer::singleShot(300, this, [this] {
        QVERIFY(dlg_->isBusy());
        dlg_->applyProfile("Near");
        dlg_->fillProfiles(true);
        widget<QComboBox>("comboProfile")->setCurrentIndex(0);
        dlg_->loadSettings();
        QCOMPARE(shownTitles(), QStringList("Canon Lens Controller"));
    });
    cancelPresetSoon();
    dlg_->applyProfile("Near");
    QCOMPARE(lensCommands().count("setFocus=500"), 1);
}

void TestFocusDlg::autofocus()
{
    const QString logPath = focusDlg::autofocusLogPath();
    QVERIFY(QDir().mkpath(QFileInfo(logPath).absolutePath()));
    QFile earlier(logPath);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier\r\n") == 9);
    earlier.close();

    connectController();
    // The station's part: a score for the lens's focus, peaking at 830, each
    // time the search waits for one.
    QTimer station;
    connect(&station, &QTimer::timeout, this, [this] {
        if (!dlg_->isWaitingForScore())
            return;
        dlg_->currentSharpScore(std::max(1, 1000 - 5 * std::abs(sim_->lens().focus - 830)));
        dlg_->setWaitForScore(false);
    });
    station.start(5);
    sim_->clearCommands();
    widget<QPushButton>("pushButton_3")->click();

    QList<QByteArray> expected{"setFocus=990"};
    for (int i = 0; i < 5; ++i)
        expected << "moveFocus=-40";
    expected << "setFocus=790";
    for (int p = 797; p <= 916; p += 7)
        expected << "moveFocus=7";
    expected << "setFocus=832";
    QTRY_COMPARE(lensCommands(), expected);
    QCOMPARE(sim_->lens().focus, 832);
    QCOMPARE(prompt_->shown.last().title, QString("title"));
    QVERIFY(prompt_->shown.last().text.startsWith("Done in "));

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    QVERIFY2(bytes.startsWith("earlier\r\n950,400\r\n910,600\r\n870,800\r\n830,1000\r\n790,800\r\n797, 835\r\n"),
             bytes.constData());
    QVERIFY(bytes.endsWith("909, 605\r\n916, 570\r\n"));
    QCOMPARE(bytes.count("\r\n"), 1 + 5 + 18);
}

void TestFocusDlg::autofocusRefusalsAndLogError()
{
    dlg_->doAutoFocus();
    QCOMPARE(shownTitles(), QStringList("KT3 connection"));

    sim_->lens().focusRange = "0,30";
    connectController();
    dlg_->doAutoFocus();
    QCOMPARE(prompt_->shown.last().title, QString("Autofocus"));
    QVERIFY(prompt_->shown.last().text.contains("near end is 30"));

    // No score comes (no preview): the search ends after its bound.
    sim_->lens().focusRange = "0,1000";
    QVERIFY(dlg_->connectLC(ControllerAddress));
    QTRY_COMPARE(widget<QLabel>("label_18")->text(), QString("1000"));
    focusDlg::WaitLimits limits;
    limits.scoreMs = 300;
    dlg_->setWaitLimits(limits);
    // And the log cannot be opened: a file stands where its folder should be.
    const QString folder = QFileInfo(focusDlg::autofocusLogPath()).absolutePath();
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    dlg_->doAutoFocus();
    QVERIFY(blocker.remove());
    const QStringList titles = shownTitles().mid(shownTitles().size() - 2);
    QCOMPARE(titles, QStringList({"Log file error", "Autofocus"}));
    QVERIFY(prompt_->shown.last().text.startsWith("No new sharpness score within 0.3 s"));
    QVERIFY(!dlg_->isWaitingForScore());
    QVERIFY(!dlg_->isBusy());
}

void TestFocusDlg::escapeHidesAndMotorsRun()
{
    connectController();
    dlg_->show();
    QSignalSpy closed(dlg_.get(), &focusDlg::focusClosed);
    QTest::keyClick(dlg_.get(), Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!dlg_->isVisible());
    QVERIFY(dlg_->pinger()->isPaused());

    // A held button repeats its move until released.
    sim_->clearCommands();
    auto* near = widget<QPushButton>("slowNearFocus");
    emit near->pressed();
    QTRY_VERIFY(lensCommands().count("moveFocus=5") >= 2);
    emit near->released();
    QVERIFY(!dlg_->pinger()->isPaused());
    QTest::qWait(zoomWorker::CommandPauseMs + 100);
    const int sent = lensCommands().count("moveFocus=5");
    QTest::qWait(2 * zoomWorker::CommandPauseMs);
    QCOMPARE(lensCommands().count("moveFocus=5"), sent);
}

QTEST_MAIN(TestFocusDlg)
#include "tst_focus_dlg.moc"
