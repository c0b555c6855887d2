#include "LensControllerSim.h"
#include "ScriptedPrompt.h"
#include "SimulatedClock.h"
#include "focusDlg.h"
#include "pingWorker.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString ControllerAddress = QStringLiteral("127.0.17.1");
// Bound of a wait for what the dialog does on its own timers (the identity
// wait, a controller noticed silent), with room for a busy machine.
constexpr int WaitMs = 10000;

// The lens controller's settings, as the dialog leaves them.
QVariant stored(const QString& key)
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").value(key);
}

void store(const QString& key, const QString& value)
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").setValue(key, value);
}

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
    void presetStopsAndRefusals();
    void autofocus();
    void autofocusRefusalsAndLogError();
    void silenceThenAnswersAgain();

private:
    template<typename T = QWidget>
    T* widget(const char* name) const { return dlg_->findChild<T*>(QLatin1String(name)); }
    void connectController();
    // The commands the controller received, pings left out.
    QList<QByteArray> lensCommands() const;
    // Presses Cancel of the preset's progress dialog once it shows.
    void cancelPresetSoon();
    // The station's part, on `timer`: a score for the lens's focus, peaking
    // at 830, each time the search waits for one.
    void scoreFocus(QTimer& timer);
    const ScriptedPrompt::Shown& lastBox() const { return prompt_->shown.last(); }

    // The dialog's clock made a simulated one.
    void simulateClock();

    std::unique_ptr<LensControllerSim> sim_;
    std::unique_ptr<ScriptedPrompt> prompt_;
    std::unique_ptr<focusDlg> dlg_;
    SimulatedClock clock_;
};

void TestFocusDlg::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kessane", "Focalis").clear();
    sim_ = std::make_unique<LensControllerSim>();
    QVERIFY(sim_->start(ControllerAddress));
    prompt_ = std::make_unique<ScriptedPrompt>();
    dlg_ = std::make_unique<focusDlg>();
    clock_ = SimulatedClock();
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

void TestFocusDlg::simulateClock()
{
    dlg_->setClock([this] {
        ++clock_.reads;
        return clock_.now;
    });
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

void TestFocusDlg::scoreFocus(QTimer& timer)
{
    connect(&timer, &QTimer::timeout, this, [this] {
        if (!dlg_->isWaitingForScore())
            return;
        dlg_->currentSharpScore(std::max(1, 1000 - 5 * std::abs(sim_->lens().focus - 830)));
        dlg_->setWaitForScore(false);
    });
    timer.start(5);
}

void TestFocusDlg::connectAndControls()
{
    QVERIFY(!widget("slowCloseIris")->isEnabled());
    connectController();
    QCOMPARE(prompt_->shown.first().text, QString("IP:|192.168.2.252"));
    QCOMPARE(sim_->commandTexts().first(), QByteArray("ver"));
    QCOMPARE(stored("LC_IP").toString(), ControllerAddress);
    QTRY_COMPARE(widget<QLabel>("label")->text(),
                 QString("Device: Kessane Brevan v.2.14 @127.0.17.1  Lens: <b>24-70mm f/1.4</b>"));
    QCOMPARE(widget<QLineEdit>("irisVal")->text(), QString("f/4"));
    for (const char* name : {"fastNearFocus", "focusStepSlider", "slowOpenIris", "comboProfile"})
        QVERIFY2(widget(name)->isEnabled(), name);

    // A held button repeats its move; the pinger pauses meanwhile, and the
    // release resumes it. The controller keeps silent here, so that no report
    // resumes the pinger instead (the replies it sent before are read first).
    sim_->setSilent(true);
    QTest::qWait(100);
    sim_->clearCommands();
    emit widget<QPushButton>("fastFarFocus")->pressed();
    QVERIFY(dlg_->pinger()->isPaused());
    QTRY_VERIFY(lensCommands().count("moveFocus=-10") >= 2);
    QVERIFY(dlg_->pinger()->isPaused());
    emit widget<QPushButton>("fastFarFocus")->released();
    QVERIFY(!dlg_->pinger()->isPaused());

    // Escape and the window's close hide it and pause the pinger.
    QSignalSpy closed(dlg_.get(), &focusDlg::focusClosed);
    dlg_->show();
    QTest::keyClick(dlg_.get(), Qt::Key_Escape);
    QVERIFY(dlg_->isHidden() && dlg_->pinger()->isPaused());
    dlg_->fillProfiles(true);
    dlg_->show();
    dlg_->close();
    QVERIFY(dlg_->isHidden() && dlg_->pinger()->isPaused());
    QCOMPARE(closed.count(), 2);

    // A zoom-range reply takes a miss off the pinger's count (paused here, so
    // that only the replies move it, but for a ping that was under way).
    dlg_->fillProfiles(false);
    const int misses = dlg_->pinger()->missCount();
    for (int i = 0; i < 3; ++i)
        sim_->reply("zRange=24,70");
    QTRY_VERIFY(dlg_->pinger()->missCount() <= misses - 2);
    sim_->setSilent(false);

    // Connecting again replaces both workers.
    QSignalSpy identified(dlg_.get(), &focusDlg::isProductCorrect);
    QVERIFY(dlg_->connectLC(ControllerAddress));
    QTRY_COMPARE(identified.count(), 1);
    QVERIFY(dlg_->pinger()->isRunning() && dlg_->motorWorker()->isRunning());
    QCOMPARE(prompt_->shown.size(), 1);
}

void TestFocusDlg::refusedAndSilentControllers()
{
    prompt_->textAnswers << "192.168.2.300" << QString();
    dlg_->getLCIP();
    dlg_->getLCIP(); // cancelled
    QVERIFY(!dlg_->connectLC(""));
    QCOMPARE(prompt_->titles(),
             QStringList({"Set Brevan IP:", "KT3 Error", "Set Brevan IP:", "KT3 Error", "KT3 Error"}));
    QCOMPARE(lastBox().text, QString("Wrong or empty IP!"));
    QVERIFY(dlg_->address().isEmpty());
    QVERIFY(!stored("LC_IP").isValid());

    // No identity: the error after the identity wait; the controls stay off.
    sim_->setSilent(true);
    prompt_->shown.clear();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(dlg_->connectLC(ControllerAddress));
    QTRY_VERIFY_WITH_TIMEOUT(!prompt_->shown.isEmpty(), focusDlg::IdentityWaitMs + WaitMs);
    // The identity is given 2 s (a coarse timer may end 5 % early).
    QVERIFY(clock.elapsed() >= 1900);
    QCOMPARE(lastBox().title, QString("Connecting Error"));
    QCOMPARE(lastBox().text, QString("Can't find <b>Kessane Orvane Controller</b> on <b>127.0.17.1</b>"));
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
    QCOMPARE(stored("Profiles/Near").toString(), QString("35,500,4"));

    sim_->lens().focus = 100;
    sim_->clearCommands();
    dlg_->applyProfile("Near");
    QTRY_COMPARE(lensCommands(), QList<QByteArray>({"setFocus=500", "setAper=4"}));
    QVERIFY(widget("slowCloseIris")->isEnabled());

    // A short value and an absent one are no preset: nothing sent, nothing shown.
    store("Profiles/Short", "35,500");
    sim_->clearCommands();
    dlg_->applyProfile("Short");
    dlg_->applyProfile("Missing");
    QVERIFY(lensCommands().isEmpty());
    QCOMPARE(prompt_->shown.size(), 1); // the address only

    // The user's delete asks (No by default); a remote one removes only
    // names the list shows.
    dlg_->fillProfiles(true);
    list->setCurrentIndex(list->findText("Near"));
    dlg_->deleteSelected();
    QVERIFY(lastBox().defaultNo);
    QCOMPARE(lastBox().text, QString("Are you sure you want to delete profile <b>Near</b>?"));
    store("Profiles/Hidden", "35,1,4");
    dlg_->deleteSelected("Hidden");
    dlg_->deleteSelected("Short");
    prompt_->questionAnswers << true;
    dlg_->deleteSelected();     // "Near"
    QCOMPARE(list->count(), 1); // refilled: "Hidden" shows now
    dlg_->deleteSelected("Hidden");
    QCOMPARE(list->count(), 0);
    QVERIFY(!widget("loadButton")->isEnabled() && !widget("pushButton_2")->isEnabled());
}

// Cancel in the focus phase stops the focus, still sends the aperture and
// stops it at once; a phase without its report ends the same way, with a
// warning. Only one preset runs at a time; a wrong lens is refused. (The
// reports of the presets before do not count for the later ones.)
void TestFocusDlg::presetStopsAndRefusals()
{
    store("Profiles/Tele", "100,500,4"); // a 100 mm zoom position: not on a 24-70
    dlg_->applyProfile("Tele");
    QCOMPARE(prompt_->titles(), QStringList("KT3 connection"));
    connectController();
    dlg_->applyProfile("Tele");
    QCOMPARE(lastBox().title, QString("Wrong presets"));
    QCOMPARE(lastBox().text, QString("This presets is for the different lens!"));
    // Either end of the lens's zoom range is its own.
    store("Profiles/Wide", "24,500,4");
    store("Profiles/Long", "70,500,4");
    sim_->clearCommands();
    dlg_->applyProfile("Wide");
    dlg_->applyProfile("Long");
    QCOMPARE(lensCommands(), (QList<QByteArray>{"setFocus=500", "setAper=4", "setFocus=500", "setAper=4"}));

    dlg_->saveProfileAs("Near");
    sim_->setSilent(true);
    sim_->clearCommands();
    prompt_->shown.clear();
    QTimer::singleShot(400, this, [this] {
        QVERIFY(dlg_->isBusy());
        dlg_->applyProfile("Near"); // dropped
        dlg_->loadSettings();       // refused with a warning
    });
    cancelPresetSoon();
    dlg_->applyProfile("Near");
    const QList<QByteArray> stopped{"setFocus=500", "stopFocus", "setAper=4", "stopFocus"};
    QTRY_COMPARE(lensCommands(), stopped);
    QCOMPARE(prompt_->titles(), QStringList("Canon Lens Controller"));

    // A move may take 30 s; its report missing then, it is stopped.
    simulateClock();
    sim_->clearCommands();
    BoundDriver driver(clock_, 30000, [this] { return clock_.reads > 0; },
                       [this] { return lensCommands().contains("stopFocus"); });
    dlg_->applyProfile("Near");
    QVERIFY(driver.reachedBound && !driver.endedEarly && !driver.overran);
    QTRY_COMPARE(lensCommands(), stopped);
    QCOMPARE(lastBox().title, QString("Canon Lens Controller"));
    QVERIFY(lastBox().text.contains("\"focusDone\" within 30 s"));
    QVERIFY(!dlg_->isBusy());

    // So may the aperture's, once the focus is done.
    sim_->clearCommands();
    int readsAtAperture = -1;
    QObject replier;
    connect(sim_.get(), &LensControllerSim::commandReceived, &replier, [&](const QByteArray& command) {
        if (command.startsWith("setFocus="))
            sim_->reply("focusDone");
        else if (command.startsWith("setAper="))
            readsAtAperture = clock_.reads; // the phase reads its start after this
    });
    BoundDriver apertureDriver(clock_, 30000, [&] { return readsAtAperture >= 0 && clock_.reads > readsAtAperture; },
                               [this] { return lensCommands().contains("stopFocus"); });
    dlg_->applyProfile("Near");
    QVERIFY(apertureDriver.reachedBound && !apertureDriver.endedEarly && !apertureDriver.overran);
    QTRY_COMPARE(lensCommands(), (QList<QByteArray>{"setFocus=500", "setAper=4", "stopFocus"}));
    QVERIFY(lastBox().text.contains("\"irisDone\" within 30 s"));
}

void TestFocusDlg::autofocus()
{
    const QString logPath = focusDlg::autofocusLogPath();
    QVERIFY(QDir().mkpath(QFileInfo(logPath).absolutePath()));
    QFile earlier(logPath);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier\r\n") == 9);
    earlier.close();

    connectController();
    QTimer station;
    scoreFocus(station);
    sim_->clearCommands();
    widget<QPushButton>("pushButton_3")->click();

    QTRY_COMPARE(lensCommands().last(), QByteArray("setFocus=832"));
    const QList<QByteArray> commands = lensCommands();
    QCOMPARE(commands.mid(0, 7), QList<QByteArray>({"setFocus=990", "moveFocus=-40", "moveFocus=-40", "moveFocus=-40",
                                                    "moveFocus=-40", "moveFocus=-40", "setFocus=790"}));
    QCOMPARE(commands.count("moveFocus=7"), 18); // 797 .. 916
    QCOMPARE(commands.size(), 7 + 18 + 1);
    QCOMPARE(lastBox().title, QString("title"));
    QVERIFY(lastBox().text.startsWith("Done in "));

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
    QCOMPARE(prompt_->titles(), QStringList("KT3 connection"));
    sim_->lens().focusRange = "0,30";
    connectController();
    dlg_->doAutoFocus();
    QCOMPARE(lastBox().title, QString("Autofocus"));
    QVERIFY(lastBox().text.contains("near end is 30"));

    // The controller's report may take 10 s; missing then, the search ends.
    sim_->lens().focusRange = "0,1000";
    QVERIFY(dlg_->connectLC(ControllerAddress));
    QTRY_COMPARE(widget<QLabel>("label_18")->text(), QString("1000"));
    simulateClock();
    sim_->setSilent(true);
    const int boxes = prompt_->shown.size();
    {
        BoundDriver driver(clock_, 10000, [this] { return clock_.reads > 0; },
                           [&] { return prompt_->shown.size() > boxes; });
        dlg_->doAutoFocus();
        QVERIFY(driver.reachedBound && !driver.endedEarly && !driver.overran);
    }
    QCOMPARE(lastBox().title, QString("Autofocus"));
    QCOMPARE(lastBox().text, QString("The lens controller sent no \"Focus\" report within 10 s after "
                                     "\"setFocus=990\": autofocus stopped."));
    QVERIFY(!dlg_->isBusy());

    // A score may take 20 s; missing then (no preview), the search ends. And
    // the log cannot be opened (a file stands where its folder should be): a
    // warning each.
    sim_->setSilent(false);
    const QString folder = QFileInfo(focusDlg::autofocusLogPath()).absolutePath();
    QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(QFileInfo(folder).absolutePath()));
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    {
        const int before = prompt_->shown.size();
        BoundDriver driver(clock_, 20000, [this] { return dlg_->isWaitingForScore(); },
                           [&] { return prompt_->titles().mid(before).contains("Autofocus"); });
        dlg_->doAutoFocus();
        QVERIFY(driver.reachedBound && !driver.endedEarly && !driver.overran);
    }
    QVERIFY(blocker.remove());
    QCOMPARE(prompt_->titles().mid(prompt_->shown.size() - 2), QStringList({"Log file error", "Autofocus"}));
    QVERIFY(lastBox().text.startsWith("No new sharpness score within 20 s"));
    QVERIFY(lastBox().text.endsWith("at focus position 950."));
    QVERIFY(!dlg_->isWaitingForScore() && !dlg_->isBusy());
}

// The controller falls silent for 3 s and answers again: the dialog shows
// it lost, then its identity, lens and ranges again, and autofocus (from the
// kept focus range) and presets run without a new connect.
void TestFocusDlg::silenceThenAnswersAgain()
{
    connectController();
    const QString device = widget<QLabel>("label")->text();
    QVERIFY(device.contains("Lens: <b>24-70mm f/1.4</b>"));
    const QStringList ranges{"0", "1000", "f/1.4", "f/22"};
    const auto shownRanges = [this] {
        QStringList texts;
        for (const char* name : {"label_20", "label_18", "label_22", "label_21"})
            texts << widget<QLabel>(name)->text();
        return texts;
    };
    QCOMPARE(shownRanges(), ranges);
    dlg_->saveProfileAs("Mid");

    sim_->setSilent(true);
    QTRY_COMPARE_WITH_TIMEOUT(widget<QLineEdit>("focusVal")->text(), QString("N/A"), WaitMs);
    QCOMPARE(shownRanges(), QStringList({"", "", "", ""}));
    QVERIFY(!widget("slowNearFocus")->isEnabled());
    QTest::qWait(3000);
    sim_->clearCommands();
    sim_->setSilent(false); // the next ping is answered

    QTRY_COMPARE(widget<QLineEdit>("focusVal")->text(), QString::number(sim_->lens().focus));
    QCOMPARE(shownRanges(), ranges);
    QCOMPARE(widget<QLabel>("label")->text(), device);
    QVERIFY(widget("slowNearFocus")->isEnabled() && widget("slowOpenIris")->isEnabled());

    QTimer station;
    scoreFocus(station);
    dlg_->doAutoFocus();
    station.stop();
    QCOMPARE(lensCommands().first(), QByteArray("setFocus=990")); // 10 below the kept near end
    QCOMPARE(lensCommands().last(), QByteArray("setFocus=832"));
    QVERIFY(!lensCommands().contains("ver"));
    QCOMPARE(lastBox().title, QString("title"));

    sim_->clearCommands();
    dlg_->applyProfile("Mid");
    QTRY_COMPARE(lensCommands(), QList<QByteArray>({"setFocus=500", "setAper=4"}));
    QCOMPARE(prompt_->titles(), QStringList({"Set Brevan IP:", "title"}));
}

QTEST_MAIN(TestFocusDlg)
#include "tst_focus_dlg.moc"
