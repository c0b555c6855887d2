#include "AutoFocusSearch.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>

using Stage = AutoFocusSearch::Stage;
using ScoreAt = std::function<double(int)>;
Q_DECLARE_METATYPE(ScoreAt)

namespace {

// A triangular peak: 1000 at `peak`, `slope` less per unit of distance, at least 1.
ScoreAt peakAt(int peak, double slope)
{
    return [=](int p) { return std::max(1.0, 1000 - slope * std::abs(p - peak)); };
}

// Scores from a table by position, `otherwise` elsewhere.
ScoreAt table(const QMap<int, double>& scores, double otherwise)
{
    return [=](int p) { return scores.value(p, otherwise); };
}

struct Run
{
    QList<QByteArray> commands;
    QList<int> settleMs; // of each command
    QList<int> coarse; // measured positions, in order
    QList<int> fine;
    QByteArray log;
};

// Drives the search as the dialog does, with the score a function of the
// search's own position.
Run drive(int nearEnd, const ScoreAt& scoreAt)
{
    Run run;
    AutoFocusSearch search(nearEnd);
    while (!search.isDone() && run.commands.size() < 1000) {
        const AutoFocusSearch::Step step = search.current();
        run.commands << step.command;
        run.settleMs << step.settleMs;
        if (!step.measure) {
            search.next();
            continue;
        }
        const double score = scoreAt(step.position);
        (step.stage == Stage::Coarse ? run.coarse : run.fine) << step.position;
        run.log += AutoFocusSearch::logLine(step.stage, step.position, score);
        search.next(score);
    }
    return run;
}

QList<int> range(int from, int to, int step)
{
    QList<int> list;
    for (int p = from; step > 0 ? p <= to : p >= to; p += step)
        list << p;
    return list;
}

} // namespace

// The search on scripted scores: positions visited, the final "setFocus",
// the stop rules of both stages and the log lines.
class TestAutoFocusSearch : public QObject
{
    Q_OBJECT

private slots:
    void visits_data();
    void visits();
    void logLinesAndShortRanges();
    void equalScoresAndNonNumbers();
};

void TestAutoFocusSearch::visits_data()
{
    QTest::addColumn<int>("nearEnd");
    QTest::addColumn<ScoreAt>("scoreAt");
    QTest::addColumn<QList<int>>("coarse");
    QTest::addColumn<QList<int>>("fine");
    QTest::addColumn<QByteArray>("last");

    // Near end 1000: start 990, coarse step 40; the drop after the peak at 830
    // ends the coarse stage at 790; fine step 7 up to 830 + 80 = 910.
    QTest::newRow("peak at 830") << 1000 << peakAt(830, 5) << QList<int>{950, 910, 870, 830, 790}
                                 << range(797, 916, 7) << QByteArray("setFocus=832");
    // A sharp fine peak: 832 then 839 scores less than 832's / 1.23, so the
    // fine stage ends right after its best.
    QTest::newRow("sharp peak") << 1000 << peakAt(832, 30) << QList<int>{950, 910, 870, 830, 790}
                                << QList<int>{797, 804, 811, 818, 825, 832, 839} << QByteArray("setFocus=832");
    // No drop: the coarse stage runs down to the lower bound (above 20).
    QTest::newRow("rising to far") << 500 << ScoreAt([](int p) { return 2000.0 - p; })
                                   << range(490 - 20, 10, -20) << range(10 + 1, 10 + 2 * 20, 1)
                                   << QByteArray("setFocus=11");
    // A short range: the coarse stage ends below 100, where 1 % is 0; the
    // fine step is 1 so the fine stage still moves.
    QTest::newRow("fine step at least 1") << 60 << peakAt(30, 50) << range(48, 28, -2) << range(29, 34, 1)
                                          << QByteArray("setFocus=30");
    // The stop ratios, a hundredth either side. Near end 100: coarse step 4
    // from 86, fine step 1, the fine stage up to the best coarse position + 8.
    QTest::newRow("coarse drop of 1.07 ends it")
        << 100 << table({{86, 1000}}, 1000 / 1.07) << QList<int>{86, 82} << range(83, 94, 1)
        << QByteArray("setFocus=86");
    QTest::newRow("coarse drop of 1.05 does not")
        << 100 << table({{86, 1000}}, 1000 / 1.05) << range(86, 18, -4) << range(19, 94, 1)
        << QByteArray("setFocus=86");
    // The coarse stage ends at 78, after its best at 82; the fine one peaks at 81.
    const auto finePeak = [](double at82) {
        return table({{86, 500}, {82, at82}, {78, 400}, {79, 700}, {80, 900}, {81, 1000}}, 100);
    };
    QTest::newRow("fine drop of 1.24 ends it")
        << 100 << finePeak(1000 / 1.24) << QList<int>{86, 82, 78} << range(79, 82, 1) << QByteArray("setFocus=81");
    QTest::newRow("fine drop of 1.22 does not")
        << 100 << finePeak(1000 / 1.22) << QList<int>{86, 82, 78} << range(79, 90, 1) << QByteArray("setFocus=81");
}

void TestAutoFocusSearch::visits()
{
    QFETCH(int, nearEnd);
    QFETCH(ScoreAt, scoreAt);
    QFETCH(QList<int>, coarse);
    QFETCH(QList<int>, fine);
    QFETCH(QByteArray, last);

    const Run run = drive(nearEnd, scoreAt);
    QCOMPARE(run.commands.first(), "setFocus=" + QByteArray::number(nearEnd - AutoFocusSearch::StartOffset));
    QCOMPARE(run.coarse, coarse);
    QCOMPARE(run.fine, fine);
    // Back to where the coarse stage ended before the fine moves.
    QCOMPARE(run.commands.at(1 + coarse.size()), "setFocus=" + QByteArray::number(coarse.last()));
    QCOMPARE(run.commands.last(), last);
    QCOMPARE(run.commands.size(), 1 + coarse.size() + 1 + fine.size() + 1);
    // The lens settles 20 ms after each move, 500 ms after the return.
    QList<int> settleMs{0};
    for (int i = 0; i < coarse.size(); ++i)
        settleMs << 20;
    settleMs << 500;
    for (int i = 0; i < fine.size(); ++i)
        settleMs << 20;
    settleMs << 0;
    QCOMPARE(run.settleMs, settleMs);
}

// Log lines; a near end must leave a start position above 20 ("Near" reads as 0).
void TestAutoFocusSearch::logLinesAndShortRanges()
{
    QVERIFY(drive(1000, peakAt(830, 5)).log.startsWith("950,400\r\n910,600\r\n870,800\r\n830,1000\r\n"
                                                        "790,800\r\n797, 835\r\n"));
    QCOMPARE(AutoFocusSearch::logLine(Stage::Coarse, 950, 0.41234567), QByteArray("950,0.412346\r\n"));
    QVERIFY(!AutoFocusSearch::canStart(0));
    QVERIFY(!AutoFocusSearch::canStart(30));
    QCOMPARE(drive(31, peakAt(20, 1)).coarse, QList<int>{20});
}

// A score equal to the best neither replaces it nor ends a stage; a score that
// is not a number counts as 0.
void TestAutoFocusSearch::equalScoresAndNonNumbers()
{
    const Run flat = drive(1000, [](int) { return 5.0; });
    QCOMPARE(flat.coarse, range(950, -10, -40));

    const ScoreAt peak = peakAt(830, 5);
    const Run nan = drive(1000, [&](int p) { return p == 950 ? std::nan("") : peak(p); });
    QVERIFY(nan.log.startsWith("950,nan\r\n910,600\r\n"));
    QCOMPARE(nan.commands, drive(1000, peak).commands);
}

QTEST_GUILESS_MAIN(TestAutoFocusSearch)
#include "tst_autofocus_search.moc"
