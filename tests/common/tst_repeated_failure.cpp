#include "RepeatedFailure.h"

#include <QtTest>

namespace {

// What happened at a time: the failure (true) or a success (false).
struct Event
{
    qint64 ms;
    bool failed;
};
using Events = QVector<Event>;

// A failure every `stepMs` from 0 to `toMs` inclusive.
Events every(qint64 toMs, qint64 stepMs)
{
    Events events;
    for (qint64 t = 0; t <= toMs; t += stepMs)
        events.append({t, true});
    return events;
}

// Failures and successes in turn, every `stepMs`, from a failure at 0.
Events flapping(qint64 toMs, qint64 stepMs)
{
    Events events;
    for (qint64 t = 0, i = 0; t <= toMs; t += stepMs, ++i)
        events.append({t, i % 2 == 0});
    return events;
}

// A line as "kind count/ms @time", e.g. "count 60/60000 @60000".
QString written(const RepeatedFailure::Line& line, qint64 at)
{
    static const char* const kinds[] = {"none", "first", "count", "closing"};
    return QStringLiteral("%1 %2/%3 @%4").arg(QLatin1String(kinds[line.kind])).arg(line.count).arg(line.ms).arg(at);
}

} // namespace

Q_DECLARE_METATYPE(Events)

class TestRepeatedFailure : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
};

void TestRepeatedFailure::lines_data()
{
    QTest::addColumn<Events>("events");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("once, between successes")
        << Events{{0, false}, {1000, true}, {6000, false}, {7000, false}}
        << QStringList{"first 1/0 @1000", "closing 1/5000 @6000"};
    QTest::newRow("every second for three minutes, then a success")
        << every(180000, 1000) + Events{{180500, false}}
        << QStringList{"first 1/0 @0", "count 60/60000 @60000", "count 60/60000 @120000",
                       "count 60/60000 @180000", "closing 181/180500 @180500"};
    // A failure that stops unreported is counted with its next occurrence.
    QTest::newRow("stops without an end, comes back later")
        << Events{{0, true}, {1000, true}, {600000, true}}
        << QStringList{"first 1/0 @0", "count 2/600000 @600000"};
    QTest::newRow("back after a quiet hour: first again")
        << Events{{0, true}, {1000, false}, {3600000, true}, {3601000, false}}
        << QStringList{"first 1/0 @0", "closing 1/1000 @1000", "first 1/0 @3600000", "closing 1/1000 @3601000"};
    // Back within the interval after its closing line: counted, and its end
    // is told at once once it was logged.
    QTest::newRow("back soon after its end")
        << Events{{0, true}, {1000, false}, {2000, true}, {3000, true}, {61000, true}, {62000, false}}
        << QStringList{"first 1/0 @0", "closing 1/1000 @1000", "count 3/60000 @61000", "closing 3/60000 @62000"};
    // Failing and working in turn (a generator answering every other
    // request): about a line a minute.
    QTest::newRow("flapping every 100 ms for two minutes")
        << flapping(120100, 100)
        << QStringList{"first 1/0 @0", "closing 1/100 @100", "closing 300/59900 @60100",
                       "closing 300/59900 @120100"};
}

void TestRepeatedFailure::lines()
{
    QFETCH(Events, events);
    QFETCH(QStringList, expected);

    RepeatedFailure failure;
    QStringList lines;
    for (const Event& e : events) {
        const RepeatedFailure::Line line = e.failed ? failure.occurred(e.ms) : failure.ended(e.ms);
        if (line)
            lines << written(line, e.ms);
        QCOMPARE(failure.isFailing(), e.failed);
    }
    QCOMPARE(lines, expected);
}

QTEST_APPLESS_MAIN(TestRepeatedFailure)
#include "tst_repeated_failure.moc"
