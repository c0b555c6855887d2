#include "camera/StreamWatch.h"

#include <QtTest>

// A script of what happens to a watch: at time `at` (ms) a limit is set
// ('L' with `value`), a complete ('C') or incomplete ('I') frame comes, or the
// camera is looked at ('S'). Each step says what the watch answers: for a
// frame, whether the run ends; for a look, whether the camera is silent.
struct Step
{
    char what;
    qint64 at;
    unsigned value = 0;
    bool expected = false;
};
using Script = QVector<Step>;
Q_DECLARE_METATYPE(Script)

class tst_StreamWatch : public QObject
{
    Q_OBJECT

private slots:
    void script_data();
    void script();
    void newRunReportsAgain();
};

void tst_StreamWatch::script_data()
{
    QTest::addColumn<Script>("steps");
    const unsigned row = unsigned(StreamWatch::UntimedIncompleteRow);

    QTest::newRow("free-running: silent once the limit has passed")
        << Script{{'L', 0, 3000}, {'S', 2999}, {'C', 2000}, {'S', 5000}, {'S', 5001, 0, true}};
    QTest::newRow("not watched: never silent") << Script{{'L', 0, 0}, {'S', 100000}};
    QTest::newRow("free-running: incomplete frames end the run from the first of them")
        << Script{{'L', 0, 3000}, {'C', 10}, {'I', 5000}, {'I', 7000}, {'I', 8000}, {'I', 8001, 0, true},
                  {'I', 9000}};
    QTest::newRow("free-running: a complete frame starts the row again")
        << Script{{'L', 0, 3000}, {'I', 100}, {'I', 3000}, {'C', 3050}, {'I', 4000}, {'I', 6900},
                  {'I', 7001, 0, true}};
    // One late frame after a long gap is no row of failures.
    QTest::newRow("free-running: a single incomplete frame never ends the run")
        << Script{{'L', 0, 3000}, {'I', 2900}, {'C', 2950}, {'I', 9000}};

    Script untimed{{'L', 0, 0}};
    for (unsigned i = 1; i < row; ++i)
        untimed.append({'I', qint64(i) * 3600000});
    untimed.append({'I', qint64(row) * 3600000, 0, true});
    QTest::newRow("triggered: a row of incomplete frames ends the run, however far apart") << untimed;
    Script interrupted{{'L', 0, 0}};
    for (unsigned i = 1; i < row; ++i)
        interrupted.append({'I', qint64(i)});
    interrupted.append({'C', qint64(row)});
    interrupted.append({'I', qint64(row) + 1});
    QTest::newRow("triggered: a complete frame in the row keeps the run") << interrupted;

    // A 5 s frame under way when the frame time went back to 40 ms.
    QTest::newRow("a shorter limit holds from the second frame after it")
        << Script{{'L', 0, 18000}, {'C', 100}, {'L', 200, 3120}, {'S', 10000}, {'C', 5100}, {'S', 8300},
                  {'C', 8400}, {'S', 11400}, {'S', 11600, 0, true}};
    // The frame time went to 40 ms and back to 5 s before the shorter limit took hold.
    QTest::newRow("a longer limit cancels a shorter one still to come")
        << Script{{'L', 0, 18000}, {'C', 100}, {'L', 200, 3120}, {'L', 300, 18000}, {'C', 5100}, {'C', 10100},
                  {'S', 14000}, {'S', 28100}, {'S', 28101, 0, true}};
    QTest::newRow("a longer limit holds at once, counted from when it is set")
        << Script{{'L', 0, 3120}, {'C', 100}, {'L', 3000, 18000}, {'S', 20000}, {'S', 21001, 0, true}};
    QTest::newRow("watching begins with the limit, counted from then")
        << Script{{'L', 0, 0}, {'S', 50000}, {'L', 60000, 3000}, {'S', 62999}, {'S', 63001, 0, true}};
}

void tst_StreamWatch::script()
{
    QFETCH(Script, steps);
    StreamWatch watch;
    for (int i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        bool answer = false;
        switch (s.what) {
        case 'L': watch.setLimit(s.value, s.at); continue;
        case 'C': answer = watch.frame(true, s.at); break;
        case 'I': answer = watch.frame(false, s.at); break;
        case 'S': answer = watch.silent(s.at); break;
        }
        QVERIFY2(answer == s.expected, qPrintable(QStringLiteral("step %1 (%2 at %3 ms)").arg(i).arg(s.what).arg(s.at)));
    }
}

// A row is reported once; the next run starts a row of its own.
void tst_StreamWatch::newRunReportsAgain()
{
    StreamWatch watch;
    watch.setLimit(0, 0);
    qint64 t = 0;
    for (unsigned long long i = 1; i < StreamWatch::UntimedIncompleteRow; ++i)
        QVERIFY(!watch.frame(false, ++t));
    QVERIFY(watch.frame(false, ++t));
    QVERIFY(!watch.frame(false, ++t));
    QCOMPARE(watch.incompleteRow(), StreamWatch::UntimedIncompleteRow + 1);
    watch.newRun();
    QCOMPARE(watch.incompleteRow(), 0ull);
    for (unsigned long long i = 1; i < StreamWatch::UntimedIncompleteRow; ++i)
        QVERIFY(!watch.frame(false, ++t));
    QVERIFY(watch.frame(false, ++t));
}

QTEST_APPLESS_MAIN(tst_StreamWatch)
#include "tst_streamwatch.moc"
