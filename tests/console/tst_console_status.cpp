#include "ConsoleDriver.h"
#include "FakeStation.h"
#include "ScriptedPrompt.h"
#include "StationPoll.h"
#include "TimerOrder.h"
#include "camstatusdialog.h"
#include "statusWorker.h"

#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using ConsoleDriver::action;

// The status list against stations on 127.0.0.x, port 1910: colours and
// texts, replies split across reads, readiness of several stations, a
// station that cannot be reached or stops answering, the end of a capture,
// and closing.
class ConsoleStatusTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowsFollowStations();
    void repliesSplitAcrossReads();
    void closingEndsPolling();
    void onlyChangesAreHandedOn();
    void stationThatStopsAnswering_data();
    void stationThatStopsAnswering();
    void slowStationStaysShown();
    void stationBackOnAFreshConnection();
    void judgedOnEveryStation();
    void capturePopsOutWhenEveryStationFinished();
    void stationThatDoesNotCaptureIsNamed();
    void longListScrolls();

private:
    void startWindow(const QString& stations, const QString& aliases);
    // Whether every row's text shows whole, were it `status`.
    bool rowsFit(const QString& status = QString()) const;
    std::unique_ptr<FakeStation> station(const char* address);
    QListWidget* list() const { return m_dialog->findChild<QListWidget*>(); }
    QString text(int row) const { return list()->item(row)->text(); }
    QColor colour(int row) const { return list()->item(row)->background().color(); }

    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<FakeStation> m_a;
    std::unique_ptr<FakeStation> m_b;
    std::unique_ptr<Dravo_plurica> m_window;
    camstatusdialog* m_dialog = nullptr;
};

void ConsoleStatusTest::init()
{
    m_prompt = std::make_unique<ScriptedPrompt>();
}

void ConsoleStatusTest::cleanup()
{
    m_window.reset();
    m_a.reset();
    m_b.reset();
    m_prompt.reset();
}

void ConsoleStatusTest::startWindow(const QString& stations, const QString& aliases)
{
    m_window = std::make_unique<Dravo_plurica>();
    m_window->show();
    ConsoleDriver::setLists(*m_window, stations, aliases, "127.0.0.9");
    m_dialog = m_window->findChild<camstatusdialog*>();
    m_prompt->shown.clear(); // the stations' own boxes
}

bool ConsoleStatusTest::rowsFit(const QString& status) const
{
    const QListWidget* rows = list();
    for (int i = 0; i < rows->count(); ++i) {
        const QString text = status.isEmpty() ? rows->item(i)->text()
                                              : rows->item(i)->text().section(" - ", 0, 0) + " - " + status;
        if (rows->fontMetrics().horizontalAdvance(text) + rows->iconSize().width() > rows->viewport()->width())
            return false;
    }
    return true;
}

std::unique_ptr<FakeStation> ConsoleStatusTest::station(const char* address)
{
    auto s = std::make_unique<FakeStation>();
    s->state.connected = true;
    if (!s->listen(QHostAddress(QString::fromLatin1(address))))
        qFatal("cannot listen on %s:1910", address);
    return s;
}

void ConsoleStatusTest::rowsFollowStations()
{
    m_a = station("127.0.0.2");
    m_b = station("127.0.0.3");
    m_b->state.capturing = true;
    m_b->state.framesReceived = 12;
    m_b->state.targetFrames = 100;
    m_window = std::make_unique<Dravo_plurica>();
    m_window->show();
    // Set opens the status list; the third station is never reachable.
    ConsoleDriver::setLists(*m_window, "127.0.0.2,127.0.0.3,127.0.0.4", "A,B,C", "127.0.0.9");
    m_dialog = m_window->findChild<camstatusdialog*>();
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Cam Status List"));
    QCOMPARE(m_dialog->pos(), QPoint(m_window->x() + m_window->width() + 20, m_window->y()));
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QCOMPARE(colour(0), QColor(Qt::green));
    QTRY_COMPARE(text(1), QStringLiteral("B - Captured 12/100"));
    QCOMPARE(colour(1), QColor(Qt::red));
    QTRY_COMPARE_WITH_TIMEOUT(text(2), QStringLiteral("C - Can't connect"), ConsoleDriver::WaitMs);
    QCOMPARE(colour(2), QColor(Qt::darkGray));
    // The list fits its texts, the longest counts included.
    QVERIFY(rowsFit());
    QVERIFY(rowsFit("Captured 10000/10000"));
    m_a->state.previewing = true;
    QTRY_COMPARE(text(0), QStringLiteral("A - Preview"));
    QCOMPARE(colour(0), QColor(Qt::yellow));
    m_a->state.connected = false;
    QTRY_COMPARE(text(0), QStringLiteral("A - No Camera"));
    QCOMPARE(colour(0), QColor(Qt::gray));

    // Two stations, both reachable: Capture pops out once both are ready,
    // not when one of them is.
    ConsoleDriver::setLists(*m_window, "127.0.0.2,127.0.0.3", "A,B", "127.0.0.9");
    m_a->state = {};
    m_a->state.connected = true;
    QAction* capture = action(*m_window, "actionCapture");
    capture->setChecked(true); // as if pressed; no command goes out
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QTRY_COMPARE(text(1), QStringLiteral("B - Captured 12/100"));
    QVERIFY(capture->isChecked()); // judged as each of these came
    QSignalSpy ready(m_dialog, &camstatusdialog::readyAllSignal);
    m_b->state.capturing = false;
    m_b->state.captureDone = true; // the next reply is "ReadyDone" then "Ready"
    QTRY_VERIFY(!capture->isChecked());
    QCOMPARE(text(1), QStringLiteral("B - Ready"));
    QCOMPARE(colour(1), QColor(Qt::green));
}

void ConsoleStatusTest::repliesSplitAcrossReads()
{
    // A station whose replies arrive in pieces: "ReadyDone", then
    // "Preview" split across two reads, then a text longer than any status,
    // then a flood in one read, of which the latest replies count.
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress("127.0.0.5"), 1910));
    const QByteArray longText("Captured 1234567/7654321 at a station of another make");
    QByteArray flood;
    for (int i = 0; i < 2 * StationPoll::MaxTextsPerRead; ++i)
        flood += QByteArray("No Camera\0", 10);
    QList<QByteArray> chunks{QByteArray("ReadyDone\0Prev", 14), QByteArray("iew\0", 4), longText + '\0',
                             flood + QByteArray("Preview\0", 8)};
    QStringList seen;
    // Each piece answers a poll once the row shows what the one before it
    // brought: two pieces read at once would show only the later one.
    int sent = 0;
    QTcpSocket* client = nullptr;
    connect(&peer, &QTcpServer::newConnection, [&] {
        client = peer.nextPendingConnection();
        connect(client, &QTcpSocket::readyRead, [&] {
            client->readAll();
            if (!chunks.isEmpty() && seen.size() == sent) {
                client->write(chunks.takeFirst());
                ++sent;
            }
        });
    });
    camstatusdialog dialog;
    connect(dialog.findChild<QListWidget*>()->model(), &QAbstractItemModel::dataChanged, [&] {
        const QString t = dialog.findChild<QListWidget*>()->item(0)->text();
        if (t.contains(QLatin1String(" - ")) && (seen.isEmpty() || seen.last() != t))
            seen << t;
    });
    dialog.setCameras({"127.0.0.5"}, {"P"});
    QTRY_COMPARE(seen, (QStringList{"P - Ready", "P - Preview", "P - " + longText, "P - Preview"}));
    const QListWidget* list = dialog.findChild<QListWidget*>();
    QCOMPARE(list->item(0)->background().color(), QColor(Qt::yellow));
    // The list widened for the text that grew.
    QVERIFY(list->minimumWidth() >= list->fontMetrics().horizontalAdvance(seen.at(2)) + list->iconSize().width());
    dialog.close();
}

void ConsoleStatusTest::closingEndsPolling()
{
    m_a = station("127.0.0.2");
    m_window = std::make_unique<Dravo_plurica>();
    ConsoleDriver::setLists(*m_window, "127.0.0.2", "A", "127.0.0.9");
    m_dialog = m_window->findChild<camstatusdialog*>();
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QCOMPARE(m_dialog->workerCount(), 1);
    action(*m_window, "actionCamStatus")->setChecked(false);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->workerCount(), 0);
    m_a->state.previewing = true;
    QTest::qWait(400);
    QCOMPARE(text(0), QStringLiteral("A - Ready")); // the rows stay, nobody polls
    // Escape does not close it; reopening polls afresh.
    action(*m_window, "actionCamStatus")->setChecked(true);
    QTest::keyClick(m_dialog, Qt::Key_Escape);
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_dialog->workerCount(), 1);
    QTRY_COMPARE(text(0), QStringLiteral("A - Preview"));
}

void ConsoleStatusTest::onlyChangesAreHandedOn()
{
    // A station that says the same at every beat is heard once, and again at
    // each change; one that cannot be reached, once too. Each is named as
    // listed, leading zeros and all: that is how its row knows it.
    m_a = station("127.0.0.2");
    statusWorker worker(QStringLiteral("127.0.0.002"));
    statusWorker away(QStringLiteral("127.0.0.4"));
    QSignalSpy heard(&worker, &statusWorker::answerStatus);
    QSignalSpy unreachable(&away, &statusWorker::answerStatus);
    worker.start();
    away.start();
    QTRY_COMPARE(heard.size(), 1);
    QCOMPARE(heard.last(), (QList<QVariant>{"127.0.0.002", QStringList{"Ready"}}));
    QTRY_COMPARE(unreachable.size(), 1);
    QCOMPARE(unreachable.last(), (QList<QVariant>{"127.0.0.4", QStringList{"Can't connect"}}));
    QTest::qWait(10 * statusWorker::PauseMs);
    QCOMPARE(heard.size(), 1);
    m_a->state.previewing = true;
    QTRY_COMPARE(heard.size(), 2);
    QCOMPARE(heard.last(), (QList<QVariant>{"127.0.0.002", QStringList{"Preview"}}));
    QTest::qWait(2 * StationPoll::ConnectWaitMs);
    QCOMPARE(unreachable.size(), 1);
    worker.stop();
    away.stop();
}

Q_DECLARE_METATYPE(FakeStation::Fault)

void ConsoleStatusTest::stationThatStopsAnswering_data()
{
    QTest::addColumn<FakeStation::Fault>("fault");
    QTest::newRow("silent") << FakeStation::Fault::Silent;
    QTest::newRow("hangs up") << FakeStation::Fault::HangUp;
    QTest::newRow("resets") << FakeStation::Fault::Reset;
    // Each reply 2.5 s late: past the bound of 2 s, within a bound of 3 s.
    QTest::newRow("answers late") << FakeStation::Fault::Late;
}

void ConsoleStatusTest::stationThatStopsAnswering()
{
    // Shown as not answering, counted neither ready nor available, and back
    // with its state at its next answer (a station whose answers come later
    // than the silence bound is dropped each time, so it answers first).
    QFETCH(FakeStation::Fault, fault);
    m_a = station("127.0.0.2");
    m_a->lateMs = 2500;
    camstatusdialog dialog;
    m_dialog = &dialog;
    dialog.setCameras({"127.0.0.2"}, {"A"});
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    m_a->fault = fault;
    QTRY_COMPARE_WITH_TIMEOUT(text(0), QStringLiteral("A - Not answering"), ConsoleDriver::WaitMs);
    QCOMPARE(colour(0), QColor(Qt::darkGray));
    QSignalSpy available(&dialog, &camstatusdialog::availableSignal);
    QSignalSpy ready(&dialog, &camstatusdialog::readyAllSignal);
    QTest::qWait(300);
    QCOMPARE(text(0), QStringLiteral("A - Not answering"));
    QVERIFY(available.isEmpty() && ready.isEmpty());
    m_a->fault = FakeStation::Fault::None;
    QTRY_COMPARE_WITH_TIMEOUT(text(0), QStringLiteral("A - Ready"), ConsoleDriver::WaitMs);
    QCOMPARE(colour(0), QColor(Qt::green));
    QTRY_VERIFY(!available.isEmpty() && !ready.isEmpty());
    dialog.close();
    m_dialog = nullptr;
}

void ConsoleStatusTest::slowStationStaysShown()
{
    // A station whose answers take 1.2 s, within the silence bound of 2 s,
    // keeps its row for as long as it answers: the bound counts from its
    // latest answer, not from its connection.
    m_a = station("127.0.0.2");
    camstatusdialog dialog;
    m_dialog = &dialog;
    dialog.setCameras({"127.0.0.2"}, {"A"});
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QStringList seen{text(0)}; // the row's texts, one per change
    connect(list()->model(), &QAbstractItemModel::dataChanged, &dialog, [&] {
        if (seen.last() != text(0))
            seen << text(0);
    });
    m_a->lateMs = 1200;
    m_a->fault = FakeStation::Fault::Late;
    m_a->state.previewing = true; // said by the slow answers only
    QTRY_COMPARE_WITH_TIMEOUT(text(0), QStringLiteral("A - Preview"), ConsoleDriver::WaitMs);
    // The slow answers now follow each other at the beat; a silence counted
    // from the connection would end within the bound's own time.
    QTest::qWait(2600);
    QCOMPARE(seen, (QStringList{"A - Ready", "A - Preview"}));
    dialog.close();
    m_dialog = nullptr;
}

void ConsoleStatusTest::stationBackOnAFreshConnection()
{
    // The station's host went off and came back: its open connection never
    // answers nor closes, a new one is served. The row recovers on that new
    // connection, not when TCP gives up (never, for a connection that stays
    // open and silent).
    m_a = station("127.0.0.2");
    camstatusdialog dialog;
    m_dialog = &dialog;
    dialog.setCameras({"127.0.0.2"}, {"A"});
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QStringList seen{text(0)}; // the row's texts, one per change
    connect(list()->model(), &QAbstractItemModel::dataChanged, &dialog, [&] {
        if (seen.isEmpty() || seen.last() != text(0))
            seen << text(0);
    });
    m_a->forgetConnections();
    QTRY_VERIFY_WITH_TIMEOUT(seen.contains(QStringLiteral("A - Not answering")), ConsoleDriver::WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(text(0), QStringLiteral("A - Ready"), ConsoleDriver::WaitMs);
    QCOMPARE(seen, (QStringList{"A - Ready", "A - Not answering", "A - Ready"}));
    dialog.close();
    m_dialog = nullptr;
}

void ConsoleStatusTest::judgedOnEveryStation()
{
    // Available once every station is, judged as each status comes.
    m_a = station("127.0.0.2");
    m_b = station("127.0.0.3");
    m_a->state.connected = false;
    m_a->state.targetFrames = 10;
    camstatusdialog dialog;
    m_dialog = &dialog;
    QSignalSpy available(&dialog, &camstatusdialog::availableSignal);
    dialog.setCameras({"127.0.0.2", "127.0.0.3"}, {"A", "B"});
    QTRY_COMPARE(text(0), QStringLiteral("A - No Camera"));
    QTRY_COMPARE(text(1), QStringLiteral("B - Ready"));
    QVERIFY(available.isEmpty());
    m_a->state.connected = true;
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QVERIFY(!available.isEmpty());

    // While a capture runs, a station that says "Ready" without having
    // reported this capture (a capture state, or "ReadyDone" even in the read
    // that ends in "Ready") is not ready yet; at every capture anew.
    for (int capture = 1; capture <= 2; ++capture) {
        QSignalSpy ready(&dialog, &camstatusdialog::readyAllSignal);
        dialog.setCaptureRunning(true);
        m_a->state.capturing = true;
        QTRY_COMPARE(text(0), QStringLiteral("A - Captured 0/10"));
        m_a->state.capturing = false;
        m_a->state.captureDone = true;
        QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
        QVERIFY2(ready.isEmpty(), "judged as A's status came: B has not reported this capture");
        // B reports it only as done, in the read that ends in "Ready".
        m_b->state.captureDone = true;
        QTRY_VERIFY(!ready.isEmpty());
        QCOMPARE(text(1), QStringLiteral("B - Ready"));
        dialog.setCaptureRunning(false);
    }
    dialog.close();
    m_dialog = nullptr;
}

void ConsoleStatusTest::capturePopsOutWhenEveryStationFinished()
{
    m_a = station("127.0.0.2");
    m_b = station("127.0.0.3");
    m_a->state.targetFrames = m_b->state.targetFrames = 10;
    startWindow("127.0.0.2,127.0.0.3", "A,B");
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QTRY_COMPARE(text(1), QStringLiteral("B - Ready"));
    // B's replies come late: its "Ready"s are on their way when Capture is pressed.
    m_b->fault = FakeStation::Fault::Late;
    m_b->lateMs = 700;
    QTest::qWait(300);
    QSignalSpy ready(m_dialog, &camstatusdialog::readyAllSignal);
    QAction* capture = action(*m_window, "actionCapture");
    capture->trigger();
    QTRY_COMPARE(text(0), QStringLiteral("A - Captured 0/10"));
    QTRY_COMPARE(text(1), QStringLiteral("B - Captured 0/10"));
    QVERIFY(capture->isChecked());

    // One read holds "ReadyDone" and "Captured 3/10": A is capturing, not ready.
    m_a->state.captureDone = true;
    m_a->state.framesReceived = 3;
    QTRY_VERIFY(!m_a->state.captureDone);
    QTRY_COMPARE(text(0), QStringLiteral("A - Captured 3/10"));
    QCOMPARE(colour(0), QColor(Qt::red));
    // A finishes; B still captures.
    m_a->state.capturing = false;
    m_a->state.captureDone = true;
    QTRY_COMPARE(text(0), QStringLiteral("A - Ready"));
    QVERIFY(capture->isChecked()); // judged as A's status came
    QVERIFY(ready.isEmpty());
    // B finishes: every station is done, the button pops out, no command goes out.
    m_b->executed.clear();
    m_b->state.capturing = false;
    m_b->state.captureDone = true;
    QTRY_VERIFY(!capture->isChecked());
    // (The late stand-in may hand on two replies due in the same millisecond
    // in either order, an older "Captured" after "Ready".)
    QTRY_COMPARE(text(1), QStringLiteral("B - Ready"));
    QVERIFY(!ready.isEmpty());
    QTest::qWait(200);
    QVERIFY(m_b->executed.isEmpty());
    QVERIFY(m_prompt->shown.isEmpty());
}

void ConsoleStatusTest::stationThatDoesNotCaptureIsNamed()
{
    // B has no camera: it takes "#start" and answers, but never captures.
    m_a = station("127.0.0.2");
    m_b = station("127.0.0.3");
    m_b->state.connected = false;
    startWindow("127.0.0.2,127.0.0.3", "A,B");
    QTRY_COMPARE(text(1), QStringLiteral("B - No Camera"));
    QAction* capture = action(*m_window, "actionCapture");
    QElapsedTimer clock;
    qint64 namedAt = -1;
    QObject listening;
    connect(m_dialog, &camstatusdialog::captureNotStarted, &listening, [&] { namedAt = clock.elapsed(); });
    clock.start();
    capture->trigger();
    // Named by the console's own bound of 5 s from the press (its timer may
    // be 5 % off either way): not before 4.75 s, and a timer due 6 s after
    // the press finds the box shown.
    QVERIFY(TimerOrder::by(6000, [&] { return m_prompt->titles() == QStringList{"Capture problem"}; }));
    QVERIFY2(namedAt >= 4750, qPrintable(QString::number(namedAt)));
    QTRY_COMPARE(text(0).left(12), QStringLiteral("A - Captured"));
    QCOMPARE(m_prompt->shown.first().text, QStringLiteral("<b>B</b> did not start capturing within 5 s of Capture."));
    QVERIFY(capture->isChecked());
}

void ConsoleStatusTest::longListScrolls()
{
    // More stations than the screen has rows for, beside a window placed
    // low: the list ends on the screen and scrolls, every text still whole.
    QWidget window;
    const QRect screen = window.screen()->availableGeometry();
    window.setGeometry(screen.left(), screen.top() + screen.height() / 2, 200, 100);
    window.show();
    QStringList ips;
    QStringList aliases;
    for (int i = 1; i <= 64; ++i) {
        ips << QStringLiteral("127.0.1.%1").arg(i);
        aliases << QStringLiteral("Station %1").arg(i);
    }
    camstatusdialog dialog;
    m_dialog = &dialog;
    dialog.setCameras(ips, aliases);
    dialog.moveBeside(window);
    dialog.show();
    QCOMPARE(list()->count(), 64);
    QVERIFY(dialog.frameGeometry().top() >= screen.top());
    QVERIFY(dialog.frameGeometry().bottom() <= screen.bottom());
    QVERIFY(dialog.frameGeometry().left() > window.frameGeometry().right());
    QTRY_VERIFY(list()->verticalScrollBar()->isVisible());
    QVERIFY(rowsFit("Captured 10000/10000"));
    list()->scrollToBottom();
    QTRY_VERIFY(list()->viewport()->rect().contains(list()->visualItemRect(list()->item(63))));
    QTRY_COMPARE(text(63), QStringLiteral("Station 64 - Can't connect"));
    QVERIFY(rowsFit());
    dialog.close();
    m_dialog = nullptr;
}

QTEST_MAIN(ConsoleStatusTest)
#include "tst_console_status.moc"
