#include "CommandLog.h"
#include "ConsoleDriver.h"
#include "ScriptedPrompt.h"
#include "SocketStation.h"

#include <QStatusBar>
#include <QtTest>

#include <memory>

using namespace RemoteProtocol;
using Commands = QList<RemoteCommand>;
using CommandLog::SentLog;
using ConsoleDriver::action;
using ConsoleDriver::child;

namespace {

// What Sync sends with the form as it starts, in the order sent.
const QString SyncCommands = QStringLiteral(
    "#fr=10, #pre=run_0, #pnt=angle, #exp=100, #folder=/var/tmp/Test/, #aver=1, #sens, #split, #lut, #nooverclck");

const Commands SyncSent{{Command::Frames, "10"},     {Command::Prefix, "run_0"},
                        {Command::Point, "angle"},   {Command::Exposure, "100"},
                        {Command::Folder, "/var/tmp/Test/"}, {Command::Average, "1"},
                        {Command::Sensitive, {}},    {Command::Split, {}},
                        {Command::Lut, {}},          {Command::NoOverclock, {}}};

} // namespace

Q_DECLARE_METATYPE(FakeStation::Fault)

// Which commands count as delivered, and which warnings name whom: stations
// that answer late, stay silent, hang up or reset, and stations that are off
// (connections that never complete) beside healthy ones.
class ConsoleDeliveryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deliveredOnlyWhenAnswered_data();
    void deliveredOnlyWhenAnswered();
    void syncToSilentStations();
    void oneWarningPerPress();
    void repliesWithoutTheirEnd_data();
    void repliesWithoutTheirEnd();
    void stationOffListedFirst();
    void stationSlowToReach();

private:
    void startWindow();
    // Stations on 127.0.0.2 and 127.0.0.3 listed with `aliases`; the status
    // list is closed, and every command of Set is confirmed, so that no reply
    // of it is still on its way when a test changes a station's faults.
    void startWithTwoStations(const char* aliases);

    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<FakeStation> m_a;
    std::unique_ptr<FakeStation> m_b;
    std::unique_ptr<Dravo_plurica> m_window;
};

void ConsoleDeliveryTest::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
}

void ConsoleDeliveryTest::cleanup()
{
    m_window.reset();
    m_a.reset();
    m_b.reset();
    m_prompt.reset();
    ConsoleSettings::open()->clear();
}

void ConsoleDeliveryTest::startWindow()
{
    m_window = std::make_unique<Dravo_plurica>();
    m_window->show();
    m_prompt->shown.clear();
}

void ConsoleDeliveryTest::startWithTwoStations(const char* aliases)
{
    m_a = CommandLog::station("127.0.0.2");
    m_b = CommandLog::station("127.0.0.3");
    startWindow();
    SentLog sent;
    ConsoleDriver::setLists(*m_window, "127.0.0.2,127.0.0.3", aliases, "127.0.0.9");
    action(*m_window, "actionCamStatus")->setChecked(false);
    QTRY_COMPARE(sent.lines.size(), 3); // both names, the lens controller to the first station
    QTRY_VERIFY(m_a->executed.size() == 1 && m_b->executed.size() == 1);
}

void ConsoleDeliveryTest::deliveredOnlyWhenAnswered_data()
{
    QTest::addColumn<FakeStation::Fault>("fault");
    QTest::addColumn<int>("lateMs");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("answers") << FakeStation::Fault::None << 0 << true;
    QTest::newRow("answers at once") << FakeStation::Fault::Late << 300 << true;
    // Its event loop held for two seconds by a slow disk or camera.
    QTest::newRow("answers after two seconds") << FakeStation::Fault::Late << 2000 << true;
    // Just inside the bound, which counts from the writing on the clock.
    QTest::newRow("answers after 2.9 s") << FakeStation::Fault::Late << 2900 << true;
    QTest::newRow("answers after the bound") << FakeStation::Fault::Late << 4000 << false;
    QTest::newRow("silent") << FakeStation::Fault::Silent << 0 << false;
    QTest::newRow("hangs up") << FakeStation::Fault::HangUp << 0 << false;
    QTest::newRow("resets") << FakeStation::Fault::Reset << 0 << false;
}

void ConsoleDeliveryTest::deliveredOnlyWhenAnswered()
{
    QFETCH(FakeStation::Fault, fault);
    QFETCH(int, lateMs);
    QFETCH(bool, delivered);
    startWithTwoStations("Good,Odd");
    Dravo_plurica& w = *m_window;
    m_b->fault = fault;
    m_b->lateMs = lateMs;
    m_a->executed.clear();

    SentLog sent;
    action(w, "actionCapture")->trigger();
    QTRY_COMPARE(m_a->executed, (Commands{{Command::Start, {}}}));
    QTRY_COMPARE(w.statusBar()->currentMessage(), QStringLiteral("Capture started"));
    const QString good = SentLog::line(fixedCommandBytes(Command::Start), "127.0.0.2");
    const QString odd = SentLog::line(fixedCommandBytes(Command::Start), "127.0.0.3");
    if (delivered) {
        QTRY_COMPARE_WITH_TIMEOUT(sent.lines.size(), 2, ConsoleDriver::WaitMs);
        QVERIFY(sent.lines.contains(odd));
    } else {
        // The station's warning, as for one that cannot be reached.
        QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs);
        QCOMPARE(m_prompt->shown.first().text,
                 QStringLiteral("Connection problem with PC <b>Odd</b>: #start<br>Please fix it and try again!"));
        QCOMPARE(sent.lines, QStringList{good});
    }
    // Both commands are settled: a warning of the press would be queued by now.
    QCoreApplication::processEvents();
    QCOMPARE(m_prompt->shown.size(), delivered ? 0 : 1);
}

void ConsoleDeliveryTest::syncToSilentStations()
{
    // Two stations that take every connection and answer nothing: Sync
    // returns without waiting for them, and once its commands are given up
    // on, one box names both with every command.
    startWithTwoStations("Left,Right");
    Dravo_plurica& w = *m_window;
    m_a->fault = m_b->fault = FakeStation::Fault::Silent;

    SentLog sent;
    child<QPushButton>(w, "pushButton")->click();
    QVERIFY(m_prompt->shown.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs);
    QCOMPARE(m_prompt->titles(), QStringList{"Connection Error"});
    QCOMPARE(m_prompt->shown.first().text, QStringLiteral("Connection problem with <b>Left</b>: %1<br>"
                                                          "Connection problem with <b>Right</b>: %1<br>"
                                                          "Please fix it and try again!")
                                               .arg(SyncCommands));
    QCOMPARE(w.statusBar()->currentMessage(), QString()); // shown for a command a station took
    QVERIFY(m_a->executed.size() == 1 && m_b->executed.size() == 1);
    // Every command was given up on before that box: no other comes.
    QCOMPARE(sent.undelivered.size(), 2 * 10);
    QCoreApplication::processEvents();
    QCOMPARE(m_prompt->shown.size(), 1);
}

void ConsoleDeliveryTest::oneWarningPerPress()
{
    // A station whose event loop is held for two seconds (it answers status
    // polls at once, commands late) and one that hangs up. Sync: one box,
    // for the one that hung up, with every command.
    startWithTwoStations("Slow,Gone");
    Dravo_plurica& w = *m_window;
    m_a->fault = FakeStation::Fault::LateCommands;
    m_a->lateMs = 2000;
    m_b->fault = FakeStation::Fault::HangUp;

    SentLog sent;
    child<QPushButton>(w, "pushButton")->click();
    // The slow station's, all confirmed.
    QTRY_COMPARE_WITH_TIMEOUT(sent.lines.size(), 10, ConsoleDriver::WaitMs);
    QTRY_COMPARE(m_prompt->shown.size(), 1);
    QCOMPARE(m_prompt->titles(), QStringList{"Connection Error"});
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("Connection problem with <b>Gone</b>: %1<br>Please fix it and try again!")
                 .arg(SyncCommands));

    // Capture while previewing: "#start" names the station as a PC, the
    // "#nopreview" that goes with it by its alias; one box still, with one
    // line for the station, named as the first command names it.
    m_prompt->shown.clear();
    sent.lines.clear();
    action(w, "actionPreview")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs); // a press of its own
    action(w, "actionCapture")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(sent.lines.size(), 3, ConsoleDriver::WaitMs);
    QTRY_COMPARE(m_prompt->shown.size(), 2);
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("Connection problem with <b>Gone</b>: #preview<br>Please fix it and try again!"));
    QCOMPARE(m_prompt->shown.last().text,
             QStringLiteral("Connection problem with PC <b>Gone</b>: #start, #nopreview<br>"
                            "Please fix it and try again!"));
}

void ConsoleDeliveryTest::repliesWithoutTheirEnd_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("why");
    QTest::newRow("no NUL") << QByteArray("Ready") << "no reply within 3000 ms";
    QTest::newRow("more than a reply") << QByteArray(600, 'x') << "bytes without a reply's end";
}

void ConsoleDeliveryTest::repliesWithoutTheirEnd()
{
    // A peer that answers what is no station's reply did not confirm.
    QFETCH(QByteArray, reply);
    QFETCH(QString, why);
    SocketStation odd(0, reply);
    QVERIFY(odd.listen(QHostAddress("127.0.0.3"), SocketStation::Start::Up));
    startWindow();
    SentLog sent;
    ConsoleDriver::setLists(*m_window, "127.0.0.3", "Odd", "");
    action(*m_window, "actionCamStatus")->setChecked(false);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs);
    QCOMPARE(m_prompt->shown.first().text,
             QStringLiteral("Connection problem with <b>Odd</b>: #camname=Odd<br>Please fix it and try again!"));
    QCOMPARE(sent.undelivered.size(), 1);
    QVERIFY2(sent.undelivered.first().contains(why), qPrintable(sent.undelivered.first()));
    QVERIFY(sent.lines.isEmpty());
}

void ConsoleDeliveryTest::stationOffListedFirst()
{
    // A station that is off listed before one whose event loop is held for
    // two seconds (on a thread of its own: the console holds the test's
    // thread while it connects): each command's connection to the second
    // completes while the first's is waited for, and its reply bound starts
    // once the command is written. Set and Sync: the second gets every
    // command, and only the first is named.
    SocketStation off;
    QVERIFY(off.listen(QHostAddress("127.0.0.5"), SocketStation::Start::Off));
    SocketStation alive(2000);
    QVERIFY(alive.listen(QHostAddress("127.0.0.2"), SocketStation::Start::Up));
    startWindow();
    Dravo_plurica& w = *m_window;
    SentLog sent;
    // The lens controller goes to the first station only: the press of Set
    // starts with a command to the dead station alone.
    ConsoleDriver::setLists(w, "127.0.0.5,127.0.0.2", "Dead,Alive", "127.0.0.8");
    action(w, "actionCamStatus")->setChecked(false);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs);
    QCOMPARE(m_prompt->shown.first().text, QStringLiteral("Connection problem with <b>Dead</b>: "
                                                          "#lcconn=127.0.0.8, #camname=Dead<br>"
                                                          "Please fix it and try again!"));
    child<QPushButton>(w, "pushButton")->click(); // Sync
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 2, ConsoleDriver::WaitMs);
    QCOMPARE(m_prompt->shown.last().text,
             QStringLiteral("Connection problem with <b>Dead</b>: %1<br>Please fix it and try again!")
                 .arg(SyncCommands));

    QList<QByteArray> all{parameterCommandBytes(Command::CamName, "Alive")};
    for (const RemoteCommand& c : SyncSent)
        all << (c.value.isNull() ? fixedCommandBytes(c.command) : parameterCommandBytes(c.command, c.value));
    QList<QByteArray> commands = alive.received();
    commands.removeAll(StatusWord); // the status list's, until it closed
    QCOMPARE(commands, all);
    QCOMPARE(sent.lines.size(), all.size());
    QCOMPARE(sent.undelivered.size(), all.size() + 1); // the dead station's, with the lens controller
    QVERIFY(sent.undelivered.filter(QStringLiteral("127.0.0.2")).isEmpty());
}

void ConsoleDeliveryTest::stationSlowToReach()
{
    // A station whose first SYN is lost: the connection completes with the
    // kernel's retransmission a second later, within the command's bound.
    SocketStation slow;
    QVERIFY(slow.listen(QHostAddress("127.0.0.5"), SocketStation::Start::Off));
    SocketStation quick;
    QVERIFY(quick.listen(QHostAddress("127.0.0.2"), SocketStation::Start::Up));
    startWindow();
    Dravo_plurica& w = *m_window;
    ConsoleDriver::setLists(w, "127.0.0.5,127.0.0.2", "Slow,Quick", "127.0.0.9");
    action(w, "actionCamStatus")->setChecked(false); // no other connections to it
    QTRY_COMPARE_WITH_TIMEOUT(m_prompt->shown.size(), 1, ConsoleDriver::WaitMs); // Set's, while it was off
    m_prompt->shown.clear();

    SentLog sent;
    slow.comeUpAfterDroppedSyn();
    action(w, "actionCapture")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(sent.lines.size(), 2, ConsoleDriver::WaitMs);
    QCOMPARE(slow.received(), QList<QByteArray>{fixedCommandBytes(Command::Start)});
    QCOMPARE(sent.undelivered, QStringList{});
    QCoreApplication::processEvents(); // a warning of the press would be queued by now
    QVERIFY(m_prompt->shown.isEmpty());
}

QTEST_MAIN(ConsoleDeliveryTest)
#include "tst_console_delivery.moc"
