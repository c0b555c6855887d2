#include "ConsoleDriver.h"
#include "GeneratorPeer.h"
#include "ScriptedPrompt.h"
#include "TimerOrder.h"
#include "TmxPageSamples.h"
#include "generators/TmxPages.h"
#include "generators/mastertmxdialog.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtTest>

#include <memory>

using ConsoleDriver::action;
using ConsoleDriver::child;
using Mode = PulseGeneratorSim::Mode;

namespace {

const std::array<qint64, 17> SlaveFields{0, 1, 49999, 99999, 9, 0, 0, 0, 500, 1000, 100, 0, 600, 2000, 0, 1, 0};

// The log's bytes with every time stamp masked.
QByteArray maskedLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "unreadable";
    QString text = QString::fromLocal8Bit(file.readAll());
    text.replace(QRegularExpression(QStringLiteral("(^|\n)[A-Z][a-z]{2} [A-Z][a-z]{2} \\d{1,2} \\d{4} \\d\\d:\\d\\d:\\d\\d")),
                 QStringLiteral("\\1<time>"));
    return text.toLocal8Bit();
}

GeneratorForm::Values readBackSample()
{
    GeneratorForm::Values f;
    f.source[0] = 4;
    f.source[1] = 0;
    f.period[0] = 500;
    f.pulses[1] = 12;
    f.delay[1][1] = 0.125;
    f.width[0][1] = 4e-05;
    f.timeUnit[0] = 1;
    return f;
}

} // namespace

// The main window's generator requests and run log against simulated
// generators on 127.0.0.x: runs and stop, the slaves' read-back into the log,
// the master's read-back into its dialog, and their failures.
class ConsoleGeneratorsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void runsAndStop();
    void loggedRunWithSlaves();
    void logFileChoice();
    void secondRunRefused();
    void masterReadBack();
    void olderReadBackIgnored();
    void refusedRunsNotLogged_data();
    void refusedRunsNotLogged();
    void refusedSettingsStartNothing_data();
    void refusedSettingsStartNothing();

private:
    void startLogging();

    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<PulseGeneratorSim> m_master;
    std::unique_ptr<Dravo_plurica> m_window;
    QString m_logPath;
};

void ConsoleGeneratorsTest::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_master = GeneratorPeer::start("127.0.0.2");
    m_window = std::make_unique<Dravo_plurica>();
    m_window->show();
    m_window->updateMasterIP(m_master->address());
    m_logPath = QDir::current().absoluteFilePath(QStringLiteral("run.txt"));
}

void ConsoleGeneratorsTest::cleanup()
{
    m_window.reset();
    m_master.reset();
    m_prompt.reset();
    QFile::remove(m_logPath);
}

void ConsoleGeneratorsTest::startLogging()
{
    m_prompt->fileAnswers = {m_logPath};
    child<QGroupBox>(*m_window, "loggingGroup")->setChecked(true);
}

void ConsoleGeneratorsTest::runsAndStop()
{
    Dravo_plurica& w = *m_window;
    child<QPushButton>(w, "runBoth")->click();
    child<QPushButton>(w, "runTMX1")->click();
    child<QPushButton>(w, "runTMX2")->click();
    child<QPushButton>(w, "runBoth_2")->click();
    QTRY_COMPARE(m_master->requests().size(), 4);
    QStringList targets = GeneratorPeer::targets(*m_master);
    targets.sort(); // on connections of their own, in any order
    QCOMPARE(targets, (QStringList{"/sg_run.shtml?reset1=1&reset2=1", "/sg_run.shtml?sg1_run=1",
                                   "/sg_run.shtml?sg1_run=1&sg2_run=1", "/sg_run.shtml?sg2_run=1"}));

    // The master dialog's Stop applies before the stop request.
    m_master->clearRequests();
    child<QPushButton>(*w.findChild<mastertmxdialog*>(), "stopTMX")->click();
    QTRY_COMPARE(m_master->requests().size(), 2);
    QVERIFY(GeneratorPeer::targets(*m_master).at(0).startsWith("/sg_hr_run.shtml?ts1=2&ts2=1&"));
    QCOMPARE(GeneratorPeer::targets(*m_master).at(1), QStringLiteral("/sg_run.shtml?reset1=1&reset2=1"));
    QTest::qWait(200);
    QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->shown.value(0).text));

    // A silent master: the run request is given up after 1000 ms and warned of.
    m_master->setMode(Mode::Silent);
    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(w, "runBoth")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs);
    QVERIFY(clock.elapsed() >= 990);
    QCOMPARE(m_prompt->shown.first().title, QStringLiteral("TMX's connection problem"));
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("TMX at %1 did not response! \nno answer within 1000 ms").arg(m_master->address()));
    // Nor later than its own bound: a timer due 1.25 s after the press finds the warning shown.
    child<QPushButton>(w, "runBoth")->click();
    QVERIFY(TimerOrder::by(1250, [&] { return m_prompt->shown.size() == 2; }));
}

void ConsoleGeneratorsTest::loggedRunWithSlaves()
{
    auto answering = GeneratorPeer::start("127.0.0.3");
    answering->setPage("/index.shtml", TmxPageSamples::slavePage(SlaveFields));
    auto refusing = GeneratorPeer::start("127.0.0.4", Mode::Refuse);
    auto unmatched = GeneratorPeer::start("127.0.0.5");
    Dravo_plurica& w = *m_window;
    child<QLineEdit>(w, "lineEdit")->setText("run_%6"); // before any station is listed
    w.updatePCList({"127.0.0.20", "127.0.0.21"}, {"A", "B"});
    w.updateTMXList({answering->address(), refusing->address(), unmatched->address()});
    startLogging();
    QCOMPARE(m_prompt->shown.first().text, QDir::homePath() + QStringLiteral("|*.txt"));
    QCOMPARE(child<QLineEdit>(w, "logNameEdit")->text(), QDir::toNativeSeparators(m_logPath));
    QVERIFY(child<QPlainTextEdit>(w, "plainTextEdit")->isEnabled());
    child<QPlainTextEdit>(w, "plainTextEdit")->setPlainText("line one\nline two");

    child<QPushButton>(w, "runBoth")->click();
    QCOMPARE(m_prompt->titles(), (QStringList{"Kessane log file name", "Slave TMX's connection problem"}));
    QCOMPARE(GeneratorPeer::targets(*answering), QStringList{"/index.shtml"});
    const QByteArray expected =
        "<time> Start logging\r\n<time>\r\n Comments: line one line two\r\n"
        " Camlist = 127.0.0.20,127.0.0.21\r\n SlaveTMXlist = " + answering->address().toLatin1() + ","
        + refusing->address().toLatin1() + "," + unmatched->address().toLatin1() + "\r\n MasterTMX = "
        + m_master->address().toLatin1() + "\r\n Exposure=100us\r\n Frames=10\r\n Folder=/var/tmp/Test/\r\n"
        " File_prefix=run_%6\r\n Point=angle\r\n\r\n"
        " TMX:" + answering->address().toLatin1() + "\r\n"
        "\tPulses1=10\r\n\tPulses2=1\r\n\tPeriod1=0.99998ms\r\n\tPeriod2=3.99996ms\r\n"
        "\tTrigger_Source1=(Software)\r\n\tTrigger_Source2=(Generator 1 Slave)\r\n"
        "\tdelay1=0ms width1=0.01ms\r\n\tdelay2=0.002ms width2=0.01ms\r\n"
        "\tdelay3=0ms width3=0.04ms\r\n\tdelay4=0ms width4=0.08ms\r\n"
        " TMX:" + refusing->address().toLatin1() + "\r\n TMX:" + unmatched->address().toLatin1() + "\r\n\r\n";
    QCOMPARE(maskedLog(m_logPath), expected);
    QVERIFY(child<QPushButton>(w, "runBoth")->isEnabled());
}

void ConsoleGeneratorsTest::logFileChoice()
{
    Dravo_plurica& w = *m_window;
    auto* logging = child<QGroupBox>(w, "loggingGroup");
    // Cancelled: logging stays off.
    m_prompt->fileAnswers = {QString()};
    logging->setChecked(true);
    QVERIFY(!logging->isChecked());
    QVERIFY(!child<QPlainTextEdit>(w, "plainTextEdit")->isEnabled());

    // Unwritable: a warning now and at every write of a run.
    m_prompt->shown.clear();
    m_prompt->fileAnswers = {QDir::current().absoluteFilePath("no-such-folder/run.txt")};
    logging->setChecked(true);
    QVERIFY(logging->isChecked());
    QCOMPARE(m_prompt->titles(), (QStringList{"Kessane log file name", "Log file error"}));
    QCOMPARE(m_prompt->shown.last().text, QStringLiteral("Warning: Can't open log file for writing!"));
    QVERIFY(child<QLineEdit>(w, "logNameEdit")->text().isEmpty());
    child<QPushButton>(w, "runBoth")->click();
    QCOMPARE(m_prompt->titles().count("Log file error"), 5);

    // An existing file starts anew; without slaves an entry ends in two empty lines.
    QFile old(m_logPath);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older runs\r\n");
    old.close();
    logging->setChecked(false);
    startLogging();
    QCOMPARE(maskedLog(m_logPath), QByteArray("<time> Start logging\r\n"));
    child<QPushButton>(w, "runTMX2")->click();
    QVERIFY(maskedLog(m_logPath).endsWith(" File_prefix=run_0\r\n Point=angle\r\n\r\n\r\n"));
    QCOMPARE(maskedLog(m_logPath).count("<time>"), 2);

    // Switched off: the next run writes nothing, the notes box is disabled.
    logging->setChecked(false);
    QVERIFY(!child<QPlainTextEdit>(w, "plainTextEdit")->isEnabled());
    QVERIFY(child<QLineEdit>(w, "logNameEdit")->text().isEmpty());
    child<QPushButton>(w, "runTMX2")->click();
    QCOMPARE(maskedLog(m_logPath).count("<time>"), 2);
}

void ConsoleGeneratorsTest::secondRunRefused()
{
    auto silent = GeneratorPeer::start("127.0.0.3", Mode::Silent);
    Dravo_plurica& w = *m_window;
    w.updateTMXList({silent->address()});
    startLogging();
    // The run goes out at the press; the slaves' read-back for its log entry
    // comes after it and does not hold it back.
    int slaveWarningsAtRun = -1;
    QObject listening;
    connect(m_master.get(), &PulseGeneratorSim::requestReceived, &listening,
            [&] { slaveWarningsAtRun = m_prompt->titles().count("Slave TMX's connection problem"); });
    bool disabledMeanwhile = false;
    QTimer::singleShot(300, this, [&] {
        disabledMeanwhile = !child<QPushButton>(w, "runBoth")->isEnabled();
        w.runMaster1();
    });
    child<QPushButton>(w, "runBoth")->click();
    QVERIFY(disabledMeanwhile);
    QVERIFY(child<QPushButton>(w, "runBoth")->isEnabled());
    QCOMPARE(GeneratorPeer::targets(*m_master), QStringList{"/sg_run.shtml?sg1_run=1&sg2_run=1"});
    QCOMPARE(slaveWarningsAtRun, 0);
    QCOMPARE(m_prompt->titles().count("Slave TMX's connection problem"), 1);
    QCOMPARE(m_prompt->shown.last().text,
             QStringLiteral("At least one TMX in list did not response after 2 sec!\nCheck Ethernet connection.\n"
                            "TMX %1: no answer within 2000 ms")
                 .arg(silent->address()));
    QCOMPARE(maskedLog(m_logPath).count("<time>"), 2);
}

void ConsoleGeneratorsTest::masterReadBack()
{
    Dravo_plurica& w = *m_window;
    auto* dialog = w.findChild<mastertmxdialog*>();
    m_master->setPage("/sg_hr_setup2.shtml", TmxPageSamples::masterPage(readBackSample()));
    action(w, "actionMaster_TMX")->trigger();
    QVERIFY(dialog->isVisible());
    // Said once the page filled the dialog, during the trigger's wait or after it.
    QTRY_COMPARE(w.statusBar()->currentMessage(), QStringLiteral("Master TMX recieved the command."));
    QVERIFY(dialog->values() == readBackSample());

    // A page that is not understood leaves the form as it was.
    GeneratorForm::Values shown = readBackSample();
    shown.pulses[0] = 99;
    dialog->setValues(shown);
    m_master->setPage("/sg_hr_setup2.shtml", "<html><body>Not Found</body></html>");
    action(w, "actionMaster_TMX")->trigger();
    QTRY_VERIFY(w.statusBar()->currentMessage().contains("not understood"));
    QVERIFY(dialog->values() == shown);

    // A page answered 404 is a refusal, told as one; a connection refused
    // gets the connection warning.
    m_master->setMode(Mode::Answer404);
    action(w, "actionMaster_TMX")->trigger();
    QTRY_COMPARE(m_prompt->titles(), QStringList{"Master TMX's connection problem"});
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("Master TMX at %1 refused the read-back of its settings: it answered 404 Not Found.")
                 .arg(m_master->address()));
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Master TMX refused the read-back of its settings."));
    m_prompt->shown.clear();
    m_master->setMode(Mode::Refuse);
    action(w, "actionMaster_TMX")->trigger();
    QTRY_COMPARE(m_prompt->titles(), QStringList{"Master TMX's connection problem"});
    QVERIFY(m_prompt->shown.first().text.startsWith(
        QStringLiteral("At Master TMX with IP %1 did not response after 2 sec!\nCheck Ethernet connection.\n")
            .arg(m_master->address())));
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Master TMX connection error."));
    QVERIFY(dialog->values() == shown);

    // An endless page is given up, not read.
    m_prompt->shown.clear();
    m_master->setMode(Mode::Flood);
    action(w, "actionMaster_TMX")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->titles(), QStringList{"Master TMX's connection problem"},
                              ConsoleDriver::WaitMs);
    QVERIFY2(m_prompt->shown.first().text.endsWith(
                 QStringLiteral("\nthe answer is larger than %1 bytes").arg(TmxPages::MaxPageBytes)),
             qPrintable(m_prompt->shown.first().text));
    QVERIFY(m_master->floodedBytes() < (qint64(16) << 20));
}

void ConsoleGeneratorsTest::olderReadBackIgnored()
{
    // A read-back answered after a newer one has filled the dialog changes
    // nothing: the dialog keeps the newer settings.
    Dravo_plurica& w = *m_window;
    auto* dialog = w.findChild<mastertmxdialog*>();
    GeneratorForm::Values older = readBackSample();
    older.pulses[0] = 77;
    m_master->setPage("/sg_hr_setup2.shtml", TmxPageSamples::masterPage(older));
    m_master->setAnswerDelay(1500);
    action(w, "actionMaster_TMX")->trigger(); // its 700 ms pass before the page comes
    m_master->setAnswerDelay(0);
    m_master->setPage("/sg_hr_setup2.shtml", TmxPageSamples::masterPage(readBackSample()));
    action(w, "actionMaster_TMX")->trigger();
    QTRY_VERIFY(dialog->values() == readBackSample());
    // The older page comes 1.5 s after its request, within its 2 s bound:
    // that bound waited out, with room.
    QTest::qWait(2000);
    QVERIFY(dialog->values() == readBackSample());
    QVERIFY(m_prompt->shown.isEmpty());
    QCOMPARE(m_master->requests().size(), 2);
}

Q_DECLARE_METATYPE(PulseGeneratorSim::Mode)

void ConsoleGeneratorsTest::refusedRunsNotLogged_data()
{
    QTest::addColumn<PulseGeneratorSim::Mode>("mode");
    QTest::addColumn<QString>("warning"); // its start, "%1" the master
    const QString refused = QStringLiteral("TMX at %1 refused the request: it answered %2.");
    QTest::newRow("404") << Mode::Answer404 << refused.arg("%1", "404 Not Found");
    QTest::newRow("500") << Mode::Answer500 << refused.arg("%1", "500 Internal Server Error");
    QTest::newRow("302") << Mode::Redirect << refused.arg("%1", "302 Found");
    // Not taken either: no answer within the bound, or the connection closed at once.
    QTest::newRow("silent") << Mode::Silent << "TMX at %1 did not response! \nno answer within 1000 ms";
    QTest::newRow("hangs up") << Mode::Refuse << "TMX at %1 did not response! \n";
}

void ConsoleGeneratorsTest::refusedRunsNotLogged()
{
    QFETCH(PulseGeneratorSim::Mode, mode);
    QFETCH(QString, warning);
    Dravo_plurica& w = *m_window;
    startLogging();
    m_prompt->shown.clear();
    QStringList said; // the status line's messages
    QObject listening;
    connect(w.statusBar(), &QStatusBar::messageChanged, &listening, [&](const QString& m) { said << m; });
    m_master->setMode(mode);
    child<QPushButton>(w, "runBoth")->click();
    child<QPushButton>(w, "runBoth_2")->click(); // stop
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 2, ConsoleDriver::WaitMs);
    for (const ScriptedPrompt::Shown& box : qAsConst(m_prompt->shown)) {
        QCOMPARE(box.title, QStringLiteral("TMX's connection problem"));
        QVERIFY2(box.text.startsWith(warning.arg(m_master->address())), qPrintable(box.text));
    }
    QCOMPARE(maskedLog(m_logPath), QByteArray("<time> Start logging\r\n"));
    QVERIFY(said.contains(QStringLiteral("The master TMX did not take the run: it is not logged.")));
}

void ConsoleGeneratorsTest::refusedSettingsStartNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<PulseGeneratorSim::Mode>("mode");
    QTest::addColumn<QString>("after"); // the request that follows the apply, if any
    QTest::newRow("#1, 500") << "runTMX1" << Mode::Answer500 << QString();
    QTest::newRow("#2, 404") << "runTMX2" << Mode::Answer404 << QString();
    QTest::newRow("Run Both, silent") << "runTMX" << Mode::Silent << QString();
    QTest::newRow("Stop, 500") << "stopTMX" << Mode::Answer500 << "/sg_run.shtml?reset1=1&reset2=1";
}

void ConsoleGeneratorsTest::refusedSettingsStartNothing()
{
    // The master dialog's run buttons ask for the run only once the master
    // took the settings; its Stop stops whatever became of them.
    QFETCH(QString, button);
    QFETCH(PulseGeneratorSim::Mode, mode);
    QFETCH(QString, after);
    Dravo_plurica& w = *m_window;
    startLogging();
    m_prompt->shown.clear();
    m_master->setMode(mode);
    auto* dialog = w.findChild<mastertmxdialog*>();
    dialog->show();
    child<QPushButton>(*dialog, button.toLatin1())->click();

    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), after.isEmpty() ? 1 : 2, ConsoleDriver::WaitMs);
    const QStringList targets = GeneratorPeer::targets(*m_master);
    QVERIFY(targets.first().startsWith("/sg_hr_run.shtml?"));
    QCOMPARE(targets.mid(1), after.isEmpty() ? QStringList() : QStringList{after});
    const ScriptedPrompt::Shown& box = m_prompt->shown.first();
    QCOMPARE(box.title, QStringLiteral("Master TMX's connection problem"));
    const QString address = m_master->address();
    if (after.isEmpty()) {
        const QString why = mode == Mode::Silent
                                ? QStringLiteral("At Master TMX did not response after 2 sec!\nCheck Ethernet "
                                                 "connection.\nTMX %1: no answer within 2000 ms")
                                      .arg(address)
                                : QStringLiteral("TMX %1 refused the settings: it answered %2.")
                                      .arg(address, mode == Mode::Answer404 ? "404 Not Found"
                                                                            : "500 Internal Server Error");
        QCOMPARE(box.text, why + QStringLiteral("\nThe settings were not applied: nothing was started."));
    } else {
        QCOMPARE(box.text, QStringLiteral("TMX %1 refused the settings: it answered 500 Internal Server Error.")
                               .arg(address));
    }
    QTest::qWait(300); // no run request comes late
    QCOMPARE(GeneratorPeer::targets(*m_master).size(), targets.size());
    QCOMPARE(maskedLog(m_logPath), QByteArray("<time> Start logging\r\n"));
}

QTEST_MAIN(ConsoleGeneratorsTest)
#include "tst_console_generators.moc"
