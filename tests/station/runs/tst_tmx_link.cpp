#include "LogLines.h"
#include "PulseGeneratorSim.h"
#include "ScriptedPrompt.h"
#include "runs/TmxLink.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(PulseGeneratorSim::Mode)

using Query = QList<QPair<QString, QString>>;

// How long a test waits for what the link and the generator do, on a busy
// machine too.
constexpr int waitMs = 10000;
// The second the generator has to answer a request, as the user is promised.
constexpr int deadlineMs = 1000;
// The first line of a repeated failure: later ones are counted, a line a
// minute at most, or a generator that a run asks with every frame would fill
// the log.
const QString firstOfMany = QStringLiteral("the first; repeats are counted, a line per 60 s at most");

class TestTmxLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusProbe();
    void runRequest();
    void programRequest_data();
    void programRequest();
    void programRefused_data();
    void programRefused();
    void controlOff();
    void watchdog_data();
    void watchdog();
    void eachRequestHasItsDeadline();
    void failedRepliesAreCounted();
    void requestsSettleByNumber();
    void floodedAnswerIsNotKept();

private:
    bool waitForRequests(int count);
    // Waits until every request made so far was answered or given up: no
    // deadline is left to run out.
    bool waitForSettled();
    // Waits until every request made so far settled, then waits out a
    // deadline's own second (and some) more: a deadline an answer left
    // running would have failed its request and shown a box by then.
    bool noDeadlineLeft();

    ScriptedPrompt* prompt_ = nullptr;
    PulseGeneratorSim* generator_ = nullptr;
    TmxLink* link_ = nullptr;
    QSignalSpy* failed_ = nullptr; // requestFailed, from the link's start
};

void TestTmxLink::init()
{
    QSettings("Kessane", "Lumivar").clear();
    prompt_ = new ScriptedPrompt;
    generator_ = new PulseGeneratorSim;
    QVERIFY(generator_->start());
    generator_->setDefaultBody("<html><body>Generator 1<b>:Stopped</b>  Generator 2:<b>Stopped</b><br></body>");
    link_ = new TmxLink;
    failed_ = new QSignalSpy(link_, &TmxLink::requestFailed);
}

void TestTmxLink::cleanup()
{
    delete failed_;
    delete link_;
    delete generator_;
    delete prompt_;
}

bool TestTmxLink::waitForRequests(int count)
{
    return QTest::qWaitFor([&] { return generator_->requests().size() >= count; }, waitMs)
           && generator_->requests().size() == count;
}

bool TestTmxLink::waitForSettled()
{
    return QTest::qWaitFor([this] { return link_->settledUpTo(link_->lastRequest()); }, waitMs);
}

bool TestTmxLink::noDeadlineLeft()
{
    if (!waitForSettled())
        return false;
    const int failed = failed_->size();
    const int shown = prompt_->shown.size();
    QTest::qWait(deadlineMs + 300);
    if (failed_->size() == failed && prompt_->shown.size() == shown)
        return true;
    qWarning() << "after the answers:" << failed_->size() - failed << "requests failed,"
               << prompt_->titles().mid(shown);
    return false;
}

void TestTmxLink::statusProbe()
{
    link_->setTMXIP(generator_->address(), true);
    QVERIFY(link_->isControlling());
    QVERIFY(link_->isExternallyTriggered());
    QVERIFY(waitForRequests(1));
    const auto requests = generator_->requests();
    QCOMPARE(requests.first().line, QByteArray("GET /sg_status.shtml HTTP/1.1"));
    QVERIFY(requests.first().query.isEmpty());
    const QSettings settings("Kessane", "Lumivar");
    QCOMPARE(settings.value("LAST_TMX_IP").toString(), generator_->address());
    QCOMPARE(settings.value("LAST_TMX_EXT").toBool(), true);
    // Answered: no box, not even a second later.
    QVERIFY(noDeadlineLeft());
    QVERIFY(prompt_->shown.isEmpty());
    QCOMPARE(failed_->size(), 0);
}

void TestTmxLink::runRequest()
{
    link_->setTMXIP(generator_->address(), false);
    QVERIFY(waitForRequests(1));
    link_->sendTMXRun();
    QVERIFY(waitForRequests(2));
    const auto requests = generator_->requests();
    QCOMPARE(requests.at(1).line, QByteArray("GET /sg_run.shtml?sg1_run=1 HTTP/1.1"));
    QCOMPARE(requests.at(1).query, (Query{{"sg1_run", "1"}}));
    QVERIFY(noDeadlineLeft());
    QVERIFY(prompt_->shown.isEmpty());
}

void TestTmxLink::programRequest_data()
{
    QTest::addColumn<bool>("external");
    QTest::addColumn<double>("period");
    QTest::addColumn<quint64>("pulses");
    QTest::addColumn<double>("ledWidth");
    QTest::addColumn<double>("delay");
    QTest::addColumn<double>("exposure");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("worked example")
        << false << 1000.0 << quint64(1000) << 30.0 << 0.0 << 30.0
        << QByteArray("GET /sg_run.shtml?ts1=0&p1=49999&pn1=999&ch1_st1=0&ch1_et1=1500&ch2_st1=0"
                      "&ch2_et1=1500&freq1=0&save=1&sg1_run=1 HTTP/1.1");
    QTest::newRow("delay 30 us, one pulse, external trigger")
        << true << 1000.0 << quint64(1) << 30.0 << 30.0 << 30.0
        << QByteArray("GET /sg_run.shtml?ts1=2&p1=49999&pn1=0&ch1_st1=0&ch1_et1=1500&ch2_st1=1500"
                      "&ch2_et1=3000&freq1=0&save=1&sg1_run=1 HTTP/1.1");
}

void TestTmxLink::programRequest()
{
    QFETCH(bool, external);
    QFETCH(double, period);
    QFETCH(quint64, pulses);
    QFETCH(double, ledWidth);
    QFETCH(double, delay);
    QFETCH(double, exposure);
    QFETCH(QByteArray, line);

    link_->setTMXIP(generator_->address(), external);
    QVERIFY(waitForRequests(1));
    QVERIFY(link_->sendTMXProgram(period, pulses, 0, ledWidth, delay, exposure));
    QVERIFY(waitForRequests(2));
    const auto requests = generator_->requests();
    QCOMPARE(requests.at(1).line, line);
    QStringList keys;
    for (const auto& item : requests.at(1).query)
        keys << item.first;
    QCOMPARE(keys, (QStringList{"ts1", "p1", "pn1", "ch1_st1", "ch1_et1", "ch2_st1", "ch2_et1",
                                "freq1", "save", "sg1_run"}));
    QVERIFY(noDeadlineLeft());
    QVERIFY(prompt_->shown.isEmpty());
    QCOMPARE(failed_->size(), 0);
}

void TestTmxLink::programRefused_data()
{
    QTest::addColumn<double>("period");
    QTest::addColumn<quint64>("pulses");
    QTest::addColumn<double>("delay");

    QTest::newRow("period 0") << 0.0 << quint64(10) << 0.0;
    QTest::newRow("no pulse") << 1000.0 << quint64(0) << 0.0;
    QTest::newRow("delay not a number") << 1000.0 << quint64(10) << qQNaN();
}

void TestTmxLink::programRefused()
{
    QFETCH(double, period);
    QFETCH(quint64, pulses);
    QFETCH(double, delay);

    link_->setTMXIP(generator_->address(), false);
    QVERIFY(waitForRequests(1));
    QSignalSpy failed(link_, &TmxLink::requestFailed);
    QVERIFY(!link_->sendTMXProgram(period, pulses, 0, 30, delay, 30));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(prompt_->titles(), QStringList{"TMX settings error"});
    QCOMPARE(prompt_->shown.first().kind, QStringLiteral("warning"));
    // Nothing went out: the request made next is the generator's second.
    link_->sendTMXRun();
    QVERIFY(waitForRequests(2));
    QCOMPARE(generator_->requests().at(1).path, QStringLiteral("/sg_run.shtml"));
    QCOMPARE(generator_->requests().at(1).query, (Query{{"sg1_run", "1"}}));
    // The answered requests leave no deadline running.
    QVERIFY(noDeadlineLeft());
    QCOMPARE(prompt_->shown.size(), 1);
    QCOMPARE(failed.size(), 1);
}

void TestTmxLink::controlOff()
{
    link_->setTMXIP(QString(), true);
    QVERIFY(!link_->isControlling());
    QVERIFY(!link_->isExternallyTriggered());
    QTest::qWait(deadlineMs + 300);
    QCOMPARE(generator_->connectionCount(), 0);
    QVERIFY(prompt_->shown.isEmpty());
    const QSettings settings("Kessane", "Lumivar");
    QVERIFY(!settings.contains("LAST_TMX_IP"));
    QVERIFY(!settings.contains("LAST_TMX_EXT"));
}

void TestTmxLink::watchdog_data()
{
    QTest::addColumn<PulseGeneratorSim::Mode>("mode");
    QTest::addColumn<bool>("box");

    QTest::newRow("answers 200") << PulseGeneratorSim::Mode::Answer200 << false;
    QTest::newRow("answers 404") << PulseGeneratorSim::Mode::Answer404 << true;
    QTest::newRow("silent") << PulseGeneratorSim::Mode::Silent << true;
    QTest::newRow("refuses") << PulseGeneratorSim::Mode::Refuse << true;
    QTest::newRow("redirects") << PulseGeneratorSim::Mode::Redirect << true;
}

void TestTmxLink::watchdog()
{
    QFETCH(PulseGeneratorSim::Mode, mode);
    QFETCH(bool, box);

    generator_->setMode(mode);
    int settled = 0;
    connect(link_, &TmxLink::settled, this, [&settled] { ++settled; });
    QSignalSpy failed(link_, &TmxLink::requestFailed);
    const auto waiting = [this] { return !link_->settledUpTo(link_->lastRequest()); };
    QElapsedTimer clock;
    clock.start();
    link_->setTMXIP(generator_->address(), false);
    QVERIFY(waiting());
    // The request's deadline is a second, and a precise one: a coarse timer
    // may run out up to 5 % early. (Its length is read, not timed: a busy
    // machine may fire any timer late.)
    const auto deadlines = link_->findChildren<QTimer*>();
    QCOMPARE(deadlines.size(), 1);
    QVERIFY(deadlines.first()->isActive());
    QVERIFY(deadlines.first()->isSingleShot());
    QCOMPARE(deadlines.first()->interval(), deadlineMs);
    QCOMPARE(deadlines.first()->timerType(), Qt::PreciseTimer);
    // Even a reply that fails at once leaves the watchdog to run out.
    QTest::qWait(deadlineMs - 250);
    if (clock.elapsed() < deadlineMs) { // the wait may oversleep
        QVERIFY(prompt_->shown.isEmpty());
        QCOMPARE(failed.size(), 0);
    }
    if (!box) {
        QTRY_COMPARE_WITH_TIMEOUT(settled, 1, waitMs);
        QVERIFY(noDeadlineLeft());
        QVERIFY(prompt_->shown.isEmpty());
        QCOMPARE(failed.size(), 0);
        QCOMPARE(settled, 1);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(prompt_->shown.size(), 1, waitMs);
    QVERIFY(clock.elapsed() >= deadlineMs);
    QVERIFY(!waiting());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(settled, 1);
    // A timer's box: it holds nothing.
    QVERIFY(!prompt_->shown.first().waited);
    QCOMPARE(prompt_->shown.first().kind, QStringLiteral("critical"));
    QCOMPARE(prompt_->shown.first().title, QStringLiteral("TMX connection problem"));
    QCOMPARE(prompt_->shown.first().text, QStringLiteral("TMX %1 is unreachable!").arg(generator_->address()));
    // Once per run: a later request that goes unanswered shows none.
    link_->sendTMXRun();
    QVERIFY(waitForSettled());
    QCOMPARE(failed.size(), 2);
    QCOMPARE(prompt_->shown.size(), 1);
}

// A run sends a request for every frame shown: a silent generator is still
// reported about a second after the first request it left unanswered, and
// only once per run; the log hears of the first miss and, when the
// generator answers again, of their end, not of every one.
void TestTmxLink::eachRequestHasItsDeadline()
{
    const LogLines log("kessane.station.tmx");
    const QString noAnswer = QStringLiteral("no answer from %1: ").arg(generator_->address());
    generator_->setMode(PulseGeneratorSim::Mode::Silent);
    QSignalSpy failed(link_, &TmxLink::requestFailed);
    QElapsedTimer clock;
    clock.start();
    link_->setTMXIP(generator_->address(), false);
    // A deadline that later requests pushed back would not run out while they
    // come: the box comes while they do.
    while (prompt_->shown.isEmpty() && clock.elapsed() < waitMs) {
        link_->sendTMXRun();
        QTest::qWait(100);
    }
    const qint64 reportedAt = clock.elapsed();
    QCOMPARE(prompt_->titles(), QStringList{"TMX connection problem"});
    QVERIFY2(reportedAt >= deadlineMs, qPrintable(QString::number(reportedAt)));

    // Every unanswered request counts; the box came once.
    QVERIFY(waitForSettled());
    QCOMPARE(quint64(failed.size()), link_->lastRequest());
    QCOMPARE(prompt_->shown.size(), 1);

    // The next run reports again.
    link_->newRun();
    link_->sendTMXRun();
    QTRY_COMPARE_WITH_TIMEOUT(prompt_->shown.size(), 2, waitMs);
    QCOMPARE(log.count(noAnswer), 1);
    QCOMPARE(log.count(noAnswer + firstOfMany), 1);

    generator_->setMode(PulseGeneratorSim::Mode::Answer200);
    link_->sendTMXRun();
    QTRY_COMPARE_WITH_TIMEOUT(log.count(noAnswer + "over after "), 1, waitMs);
    QCOMPARE(log.count(noAnswer), 2);
}

// A generator that refuses every request of a run (one a frame) is logged
// once, and its end once, not a line a frame.
void TestTmxLink::failedRepliesAreCounted()
{
    const LogLines log("kessane.station.tmx");
    const QString failedReply = QStringLiteral("finishedSlot: ");
    generator_->setMode(PulseGeneratorSim::Mode::Refuse);
    link_->setTMXIP(generator_->address(), false);
    for (int i = 0; i < 5; ++i)
        link_->sendTMXRun();
    QVERIFY(waitForSettled());
    QCOMPARE(log.count(failedReply), 1);
    QCOMPARE(log.count(failedReply + "http://" + generator_->address()), 1);
    QCOMPARE(log.count(firstOfMany), 2); // and the deadlines' own line

    generator_->setMode(PulseGeneratorSim::Mode::Answer200);
    link_->sendTMXRun();
    const QString over = QStringLiteral("finishedSlot: requests to %1 failed: over after ").arg(generator_->address());
    QTRY_COMPARE_WITH_TIMEOUT(log.count(over), 1, waitMs);
    QCOMPARE(log.count(failedReply), 2);
}

// A capture asks after its own requests: those made after it (a preview's)
// neither hold it nor count against it.
void TestTmxLink::requestsSettleByNumber()
{
    QList<quint64> failed;
    connect(link_, &TmxLink::requestFailed, this, [&failed](quint64 request) { failed << request; });
    link_->setTMXIP(generator_->address(), false);
    QCOMPARE(link_->lastRequest(), 1ull);
    QTRY_VERIFY_WITH_TIMEOUT(link_->settledUpTo(1), waitMs);

    generator_->setMode(PulseGeneratorSim::Mode::Silent);
    link_->sendTMXRun();
    QVERIFY(link_->settledUpTo(1));
    QVERIFY(!link_->settledUpTo(2));
    // A program refused before it went out fails at once, under its own number.
    QVERIFY(!link_->sendTMXProgram(0, 10, 0, 30, 0, 30));
    QCOMPARE(failed, QList<quint64>{3});
    QTRY_VERIFY_WITH_TIMEOUT(link_->settledUpTo(3), waitMs);
    QCOMPARE(failed, (QList<quint64>{3, 2}));
}

// A generator answering with an endless body: the answer counts, the body is
// neither kept nor read to its end.
void TestTmxLink::floodedAnswerIsNotKept()
{
    const auto residentBytes = [] {
        QFile statm("/proc/self/statm");
        if (!statm.open(QIODevice::ReadOnly))
            return qint64(0);
        return statm.readAll().split(' ').value(1).toLongLong() * 4096;
    };
    const LogLines log("kessane.station.tmx");
    generator_->setMode(PulseGeneratorSim::Mode::Flood);
    const qint64 before = residentBytes();
    link_->setTMXIP(generator_->address(), false);
    QTRY_VERIFY_WITH_TIMEOUT(log.has(QStringLiteral("bytes; the rest is not read")), waitMs);
    QVERIFY(link_->settledUpTo(link_->lastRequest()));
    QVERIFY(prompt_->shown.isEmpty());
    QVERIFY2(generator_->floodedBytes() < 64 << 20, qPrintable(QString::number(generator_->floodedBytes())));
    QVERIFY2(residentBytes() - before < 64 << 20, qPrintable(QString::number(residentBytes() - before)));
}

QTEST_MAIN(TestTmxLink)
#include "tst_tmx_link.moc"
