#include "RepeatedFailure.h"

#include <QLoggingCategory>
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

// The lines the logging category "test.failure" was given, as "type: text".
QStringList s_logged;
QtMessageHandler s_previousHandler = nullptr;

void keepLine(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    static const char* const types[] = {"debug", "warning", "critical", "fatal", "info"};
    if (qstrcmp(context.category, "test.failure") == 0)
        s_logged << QStringLiteral("%1: %2").arg(QLatin1String(types[type]), msg);
    else
        s_previousHandler(type, context, msg);
}

} // namespace

Q_LOGGING_CATEGORY(lcTestFailure, "test.failure", QtDebugMsg)

Q_DECLARE_METATYPE(Events)
Q_DECLARE_METATYPE(RepeatedFailure::Line)

class TestRepeatedFailure : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void texts_data();
    void texts();
    void logged();
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

void TestRepeatedFailure::texts_data()
{
    using Line = RepeatedFailure::Line;
    QTest::addColumn<qint64>("intervalMs");
    QTest::addColumn<Line>("line");
    QTest::addColumn<QString>("text");

    QTest::newRow("first") << qint64(60000) << Line{Line::First, 1, 0}
                           << "the first; repeats are counted, a line per 60 s at most";
    QTest::newRow("first, 10 s interval") << qint64(10000) << Line{Line::First, 1, 0}
                                          << "the first; repeats are counted, a line per 10 s at most";
    QTest::newRow("count once") << qint64(60000) << Line{Line::Count, 1, 60000} << "again once in 60 s";
    // Seconds are rounded to the nearest.
    QTest::newRow("count, 1499 ms") << qint64(60000) << Line{Line::Count, 2, 1499} << "again 2 times in 1 s";
    QTest::newRow("count, 1500 ms") << qint64(60000) << Line{Line::Count, 359, 1500} << "again 359 times in 2 s";
    QTest::newRow("closing") << qint64(60000) << Line{Line::Closing, 181, 180500} << "over after 181 times in 181 s";
    QTest::newRow("closing once") << qint64(60000) << Line{Line::Closing, 1, 400} << "over after once in 0 s";
}

void TestRepeatedFailure::texts()
{
    QFETCH(qint64, intervalMs);
    QFETCH(RepeatedFailure::Line, line);
    QFETCH(QString, text);

    QCOMPARE(RepeatedFailure(intervalMs).text(line), text);
}

// A failure's lines go out as the type asked; its end is news, not a
// warning: information, or debug when its failures were debug.
void TestRepeatedFailure::logged()
{
    using Line = RepeatedFailure::Line;
    s_logged.clear();
    s_previousHandler = qInstallMessageHandler(keepLine);
    RepeatedFailure failure;
    const Line first{Line::First, 1, 0};
    const Line count{Line::Count, 3, 60000};
    const Line closing{Line::Closing, 4, 61000};
    failure.log(lcTestFailure(), "poll", first);
    failure.log(lcTestFailure(), "poll", count);
    failure.log(lcTestFailure(), "poll", closing);
    failure.log(lcTestFailure(), "poll", Line{});
    failure.log(lcTestFailure(), "read", first, QtInfoMsg);
    failure.log(lcTestFailure(), "read", closing, QtInfoMsg);
    failure.log(lcTestFailure(), "frame", first, QtDebugMsg);
    failure.log(lcTestFailure(), "frame", closing, QtDebugMsg);
    qInstallMessageHandler(s_previousHandler);
    QCOMPARE(s_logged, (QStringList{
        "warning: poll: the first; repeats are counted, a line per 60 s at most",
        "warning: poll: again 3 times in 60 s",
        "info: poll: over after 4 times in 61 s",
        "info: read: the first; repeats are counted, a line per 60 s at most",
        "info: read: over after 4 times in 61 s",
        "debug: frame: the first; repeats are counted, a line per 60 s at most",
        "debug: frame: over after 4 times in 61 s",
    }));
}

QTEST_APPLESS_MAIN(TestRepeatedFailure)
#include "tst_repeated_failure.moc"
