#include "ConsoleDriver.h"
#include "ConsoleSettings.h"
#include "GeneratorPeer.h"
#include "ScriptedPrompt.h"
#include "TimerOrder.h"
#include "TmxPageSamples.h"
#include "generators/mastertmxdialog.h"
#include "generators/multitmxdialog.h"
#include "generators/tmxWorker.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <memory>

using Mode = PulseGeneratorSim::Mode;

namespace {

const QString DefaultApply = QStringLiteral(
    "/sg_hr_run.shtml?ts1=2&ts2=1&p1=1000&p2=1000&pn1=1&pn2=1&ch1_st1=0&ch1_st2=0&ch1_et1=10&ch1_et2=10"
    "&ch2_st1=0&ch2_st2=0&ch2_et1=10&ch2_et2=10&freq1=0&freq2=0&save=1");

template <typename T>
T* child(const QObject& parent, const char* name)
{
    auto* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

void click(const QObject& dialog, const char* button)
{
    child<QPushButton>(dialog, button)->click();
}

} // namespace

// The generator dialogs against simulated generators on 127.0.0.x: Apply to
// the master and to the slaves (order, pacing, failing slaves), the run and
// stop buttons, the profiles, and the status worker.
class GeneratorDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void master();
    void outcomeOfTheRunsOwnSettings();
    void allSlavesInOrder();
    void failingSlavesGoOn();
    void profiles();
    void profileLimit();
    void statusWorker();

private:
    std::unique_ptr<ScriptedPrompt> m_prompt;
};

void GeneratorDialogsTest::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
}

void GeneratorDialogsTest::cleanup()
{
    m_prompt.reset();
    ConsoleSettings::openGeneratorProfiles()->remove(QString());
}

void GeneratorDialogsTest::master()
{
    auto master = GeneratorPeer::start("127.0.0.2");
    mastertmxdialog dialog;
    dialog.show();
    // No master yet: nothing is sent, the user is told.
    click(dialog, "pushButton");
    QTRY_COMPARE(m_prompt->titles(), QStringList{"Master TMX's connection problem"});
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("At Master TMX did not response after 2 sec!\nCheck Ethernet connection.\n"
                            "No TMX address is set."));

    // Stop and Run Both: the apply (with its 600 ms of pacing), then the signal.
    m_prompt->shown.clear();
    dialog.setMasterIP(master->address());
    QSignalSpy run(&dialog, &mastertmxdialog::startMasterTMX);
    connect(&dialog, &mastertmxdialog::stopMasterTMX, this, [&] { QCOMPARE(master->requests().size(), 1); });
    QElapsedTimer clock;
    clock.start();
    click(dialog, "stopTMX");
    QVERIFY(clock.elapsed() >= 590);
    click(dialog, "runTMX");
    QCOMPARE(run.count(), 1);
    QCOMPARE(GeneratorPeer::targets(*master), (QStringList{DefaultApply, DefaultApply}));
    QTest::qWait(200);
    QVERIFY(m_prompt->shown.isEmpty());

    // An HTTP error is a refusal, told with the generator and its answer.
    master->setMode(Mode::Answer404);
    click(dialog, "pushButton");
    QTRY_COMPARE(m_prompt->shown.size(), 1);
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("TMX %1 refused the settings: it answered 404 Not Found.").arg(master->address()));
    m_prompt->shown.clear();

    // Silent: given up after 2000 ms, one warning.
    master->setMode(Mode::Silent);
    clock.restart();
    click(dialog, "pushButton");
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs);
    QVERIFY(clock.elapsed() >= 1990);
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("At Master TMX did not response after 2 sec!\nCheck Ethernet connection.\n"
                            "TMX %1: no answer within 2000 ms")
                 .arg(master->address()));
    QTest::qWait(300);
    QCOMPARE(m_prompt->shown.size(), 1);
    // Nor later than its own bound: a timer due 1.8 s after Apply's 600 ms
    // of pacing finds the warning shown.
    click(dialog, "pushButton");
    QVERIFY(TimerOrder::by(1800, [&] { return m_prompt->shown.size() == 2; }));
}

void GeneratorDialogsTest::outcomeOfTheRunsOwnSettings()
{
    // A run waits for the outcome of the settings it sent, not of an
    // earlier Apply's that comes meanwhile (each is answered late; a Run can
    // follow an Apply only once its 600 ms of pacing have passed).
    auto master = GeneratorPeer::start("127.0.0.2");
    mastertmxdialog dialog;
    dialog.setMasterIP(master->address());
    dialog.show();
    QSignalSpy run(&dialog, &mastertmxdialog::startMasterTMX);
    // Apply taken after 1.1 s; the run's settings refused after 1 s.
    master->setAnswerDelay(1100);
    click(dialog, "pushButton");
    master->setAnswerDelay(1000);
    master->setMode(Mode::Answer500);
    click(dialog, "runTMX");
    QCOMPARE(run.count(), 0);
    QVERIFY(m_prompt->titles().contains("Master TMX's connection problem"));
    QCOMPARE(m_prompt->shown.last().text,
             QStringLiteral("TMX %1 refused the settings: it answered 500 Internal Server Error.\n"
                            "The settings were not applied: nothing was started.")
                 .arg(master->address()));

    // Apply refused after 1.1 s; the run's settings taken after 1 s.
    m_prompt->shown.clear();
    master->setAnswerDelay(1100);
    master->setMode(Mode::Answer500);
    click(dialog, "pushButton");
    master->setAnswerDelay(1000);
    master->setMode(Mode::Answer200);
    click(dialog, "runTMX");
    QCOMPARE(run.count(), 1);
    QCOMPARE(m_prompt->titles(), QStringList{"Master TMX's connection problem"}); // the Apply's
    QCOMPARE(GeneratorPeer::targets(*master), (QStringList{DefaultApply, DefaultApply, DefaultApply, DefaultApply}));
}

void GeneratorDialogsTest::allSlavesInOrder()
{
    std::unique_ptr<PulseGeneratorSim> slaves[] = {GeneratorPeer::start("127.0.0.3"), GeneratorPeer::start("127.0.0.4"),
                                                   GeneratorPeer::start("127.0.0.5")};
    QElapsedTimer clock;
    QList<qint64> times;
    QStringList order;
    for (auto& s : slaves) {
        PulseGeneratorSim* sim = s.get();
        connect(sim, &PulseGeneratorSim::requestReceived, this, [&, sim] {
            times << clock.elapsed();
            order << sim->address();
        });
    }
    multitmxdialog dialog;
    dialog.setSlaveTMXList({slaves[0]->address(), slaves[1]->address(), slaves[2]->address()});
    QCOMPARE(child<QComboBox>(dialog, "TMXcombo")->currentText(), QStringLiteral("All Slave TMX"));
    dialog.show();
    clock.start();
    click(dialog, "pushButton");
    QCOMPARE(order, (QStringList{slaves[0]->address(), slaves[1]->address(), slaves[2]->address()}));
    // Each request goes out 300 ms after the one before it, so the k-th
    // arrives no earlier than 300 k ms after the click. (The gaps between
    // arrivals would shrink by however long a busy machine delays one.)
    for (int k = 1; k < 3; ++k)
        QVERIFY2(times[k] >= 300 * k, qPrintable(QString::number(times[k])));
    for (auto& s : slaves)
        QCOMPARE(GeneratorPeer::targets(*s), QStringList{DefaultApply});
    QVERIFY(m_prompt->shown.isEmpty());

    // One chosen slave only.
    child<QComboBox>(dialog, "TMXcombo")->setCurrentIndex(2);
    click(dialog, "pushButton");
    QCOMPARE(order.size(), 4);
    QCOMPARE(order.last(), slaves[1]->address());
    // No slaves: nothing is sent.
    dialog.setSlaveTMXList({});
    click(dialog, "pushButton");
    QCOMPARE(order.size(), 4);
}

void GeneratorDialogsTest::failingSlavesGoOn()
{
    // Each failing slave is warned of by name; the others still get the form.
    auto refusing = GeneratorPeer::start("127.0.0.3", Mode::Refuse);
    auto silent = GeneratorPeer::start("127.0.0.4", Mode::Silent);
    auto failing = GeneratorPeer::start("127.0.0.6", Mode::Answer500);
    auto redirecting = GeneratorPeer::start("127.0.0.7", Mode::Redirect);
    auto answering = GeneratorPeer::start("127.0.0.5");
    multitmxdialog dialog;
    dialog.setSlaveTMXList(
        {refusing->address(), silent->address(), failing->address(), redirecting->address(), answering->address()});
    dialog.show();
    QElapsedTimer clock;
    clock.start();
    click(dialog, "pushButton");
    QVERIFY(clock.elapsed() >= 2000);
    const QString title = QStringLiteral("Slave TMX's connection problem");
    QCOMPARE(m_prompt->titles(), (QStringList{title, title, title, title}));
    // Silent or unreachable: the time-out text; an HTTP answer: what it answered.
    const QString text =
        QStringLiteral("At least one TMX in list did not response after 2 sec!\nCheck Ethernet connection.\nTMX %1: %2");
    QVERIFY(m_prompt->shown.at(0).text.startsWith(text.arg(refusing->address(), QString())));
    QCOMPARE(m_prompt->shown.at(1).text, text.arg(silent->address(), "no answer within 2000 ms"));
    const QString refused = QStringLiteral("TMX %1 refused the settings: it answered %2.");
    QCOMPARE(m_prompt->shown.at(2).text, refused.arg(failing->address(), "500 Internal Server Error"));
    QCOMPARE(m_prompt->shown.at(3).text, refused.arg(redirecting->address(), "302 Found"));
    QCOMPARE(silent->requests().size(), 1);
    QCOMPARE(GeneratorPeer::targets(*redirecting), QStringList{DefaultApply}); // not followed
    QCOMPARE(GeneratorPeer::targets(*answering), QStringList{DefaultApply});
}

void GeneratorDialogsTest::profiles()
{
    mastertmxdialog master;
    multitmxdialog slave;
    child<QSpinBox>(master, "pulsesG1")->setValue(40000);
    child<QSpinBox>(master, "pulsesG2")->setValue(7);
    auto* masterCombo = child<QComboBox>(master, "TMXcomboProfile");
    m_prompt->textAnswers = {"B", "A", "", "a/b", "A"};
    for (int i = 0; i < 4; ++i)
        click(master, "pushButtonSave");
    QCOMPARE(m_prompt->titles(), (QStringList{"Set Profile Name", "Set Profile Name", "Set Profile Name", "Empty name",
                                              "Set Profile Name", "TMX Profile"}));
    auto store = ConsoleSettings::openGeneratorProfiles();
    QCOMPARE(store->childKeys(), (QStringList{"A", "B"}));
    QCOMPARE(store->value("A").toString(), QStringLiteral("2|1|1000|1000|40000|7|0|10|0|10|0|10|0|10|0|0"));

    // Overwriting moves the name to the end; declining keeps everything.
    masterCombo->setCurrentIndex(0);
    child<QSpinBox>(master, "pulsesG2")->setValue(8);
    m_prompt->questionAnswers = {false};
    click(master, "pushButtonSave");
    QCOMPARE(store->value("A").toString(), QStringLiteral("2|1|1000|1000|40000|7|0|10|0|10|0|10|0|10|0|0"));
    m_prompt->textAnswers = {"B"};
    m_prompt->questionAnswers = {true};
    click(master, "pushButtonSave");
    QCOMPARE(masterCombo->itemText(1), QStringLiteral("B"));
    QVERIFY(m_prompt->shown.last().defaultNo);

    // The other dialog sees them at its next fill and loads them.
    slave.fillProfiles();
    auto* slaveCombo = child<QComboBox>(slave, "TMXcomboProfile");
    QCOMPARE(slaveCombo->count(), 2);
    slaveCombo->setCurrentText("A");
    click(slave, "pushButtonLoad");
    QCOMPARE(child<QSpinBox>(slave, "pulsesG1")->value(), 40000);
    QCOMPARE(child<QSpinBox>(slave, "pulsesG2")->value(), 7);

    // Delete: No keeps it, Yes removes it from the store and the combo.
    m_prompt->shown.clear();
    masterCombo->setCurrentText("B");
    m_prompt->questionAnswers = {false, true};
    click(master, "pushButton_3");
    QVERIFY(store->contains("B"));
    click(master, "pushButton_3");
    QVERIFY(!store->contains("B"));
    QCOMPARE(masterCombo->findText("B"), -1);
    QCOMPARE(m_prompt->shown.first().text, QStringLiteral("Delete preset <b>B</b>?"));
}

void GeneratorDialogsTest::profileLimit()
{
    auto store = ConsoleSettings::openGeneratorProfiles();
    for (int i = 0; i < 10; ++i)
        store->setValue(QStringLiteral("P%1").arg(i), "0|0|1|1|1|1|0|1|0|1|0|1|0|1|0|0");
    store->sync();
    multitmxdialog dialog;
    m_prompt->textAnswers = {"P3", "New"};
    click(dialog, "pushButtonSave");
    click(dialog, "pushButtonSave");
    QCOMPARE(m_prompt->titles(), (QStringList{"Set Profile Name", "TMX", "Set Profile Name", "TMX"}));
    QCOMPARE(m_prompt->shown.last().text, QStringLiteral("Only 10 TMX profiles could be created!"));
    QCOMPARE(store->childKeys().size(), 10);

    store->remove(QString());
    dialog.fillProfiles();
    m_prompt->shown.clear();
    click(dialog, "pushButtonLoad");
    click(dialog, "pushButton_3");
    QCOMPARE(m_prompt->titles(), (QStringList{"Presets", "Presets"}));
    QCOMPARE(m_prompt->shown.last().text, QStringLiteral("Nothing to delete!"));
}

void GeneratorDialogsTest::statusWorker()
{
    auto generator = GeneratorPeer::start("127.0.0.6");
    generator->setPage("/sg_status.shtml", TmxPageSamples::statusPage("Running", "Stopped"));
    auto refusing = GeneratorPeer::start("127.0.0.7", Mode::Refuse);
    auto silent = GeneratorPeer::start("127.0.0.8", Mode::Silent);
    QStringList reports;
    QElapsedTimer clock;
    clock.start();
    qint64 silentAt = 0;
    std::unique_ptr<tmxWorker> workers[3];
    const QString addresses[] = {generator->address(), refusing->address(), silent->address()};
    for (int i = 0; i < 3; ++i) {
        workers[i] = std::make_unique<tmxWorker>(addresses[i]);
        // Received here, on the test's thread.
        connect(workers[i].get(), &tmxWorker::answerStatus, this, [&](const QString& address, int g1, int g2) {
            if (address == silent->address() && !silentAt)
                silentAt = clock.elapsed();
            reports << QStringLiteral("%1 %2 %3").arg(address).arg(g1).arg(g2);
        });
        workers[i]->start();
    }
    QTRY_VERIFY_WITH_TIMEOUT(reports.contains(generator->address() + " 1 0"), ConsoleDriver::WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(reports.contains(refusing->address() + " 2 2"), ConsoleDriver::WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(reports.contains(silent->address() + " 2 2"), ConsoleDriver::WaitMs);
    QVERIFY(silentAt >= 1990);
    // One request at a time: the silent generator was never asked twice at
    // once. (A connection is taken a moment before its request is read.)
    QTRY_COMPARE(silent->requests().size(), silent->connectionCount());
    QCOMPARE(GeneratorPeer::targets(*generator).first(), QStringLiteral("/sg_status.shtml"));

    // A stop drops the request under way without waiting for it: once the
    // silent generator has been asked again, no report of it comes after the stop.
    const QString silentReport = silent->address() + " 2 2";
    QTRY_VERIFY_WITH_TIMEOUT(silent->requests().size() > reports.count(silentReport), ConsoleDriver::WaitMs);
    const int silentReports = reports.count(silentReport);
    for (auto& w : workers)
        w->stop();
    QCoreApplication::processEvents(); // what the threads queued before they ended
    QCOMPARE(reports.count(silentReport), silentReports);
    // Stopped right after its start.
    tmxWorker quick(generator->address());
    quick.start();
    quick.stop();
    QVERIFY(quick.isFinished());
}

QTEST_MAIN(GeneratorDialogsTest)
#include "tst_generator_dialogs.moc"
