#include "remote/HeldCommands.h"
#include "remote/RemoteBlockQueue.h"

#include <QtTest>

using namespace RemoteProtocol;

namespace {

// A block's commands as sent.
QString text(const RemoteBlockQueue::Block& block)
{
    QString text;
    for (const RemoteCommand& c : block)
        text += QString::fromLatin1(word(c.command)) + c.value;
    return text;
}

// Every block of the queue.
QStringList contents(RemoteBlockQueue queue)
{
    QStringList blocks;
    while (!queue.isEmpty())
        blocks << text(queue.take());
    return blocks;
}

bool add(RemoteBlockQueue& queue, const QByteArray& block)
{
    return queue.add(parseBlock(block).commands);
}

} // namespace

// Which blocks join the last one waiting and what the joined block runs.
class TestRemoteBlockQueue : public QObject
{
    Q_OBJECT

private slots:
    void joining_data();
    void joining();
    void fullQueue();
    void heldForTheCapture_data();
    void heldForTheCapture();
};

void TestRemoteBlockQueue::joining_data()
{
    QTest::addColumn<QList<QByteArray>>("arrived");
    QTest::addColumn<QStringList>("queued");

    QTest::newRow("a flood of one setting ends on its last value")
        << QList<QByteArray>{"#exp=1", "#exp=2", "#exp=3"} << QStringList{"#exp=3"};
    // Run in the order they last arrived, as one after the other would.
    QTest::newRow("settings run in the order of their last arrival")
        << QList<QByteArray>{"#exp=1", "#fr=5", "#pre=a", "#exp=3", "#pnt=p", "#aver=4"}
        << QStringList{"#fr=5#pre=a#exp=3#pnt=p#aver=4"};
    QTest::newRow("settings never pass another command")
        << QList<QByteArray>{"#exp=1", "#start", "#exp=2", "#exp=3"}
        << QStringList{"#exp=1", "#start", "#exp=3"};
    QTest::newRow("a block with another command stands alone")
        << QList<QByteArray>{"#exp=1", "#lut#exp=2", "#exp=3"}
        << QStringList{"#exp=1", "#lut#exp=2", "#exp=3"};
    // Each leaves more than a value behind: a folder made, a preset saved.
    QTest::newRow("folders and lens presets are no settings")
        << QList<QByteArray>{"#folder=/a", "#folder=/b", "#lcsave=x", "#lcsave=y"}
        << QStringList{"#folder=/a", "#folder=/b", "#lcsave=x", "#lcsave=y"};
}

void TestRemoteBlockQueue::joining()
{
    QFETCH(QList<QByteArray>, arrived);
    QFETCH(QStringList, queued);
    RemoteBlockQueue queue;
    for (const QByteArray& block : arrived)
        QVERIFY(add(queue, block));
    QCOMPARE(contents(queue), queued);
}

// Up to 256 blocks wait, as the README says.
void TestRemoteBlockQueue::fullQueue()
{
    const int documentedBlocks = 256;
    RemoteBlockQueue queue;
    for (int i = 0; i < documentedBlocks - 1; ++i)
        QVERIFY(add(queue, "#lut"));
    QVERIFY(add(queue, "#exp=1"));
    QCOMPARE(queue.size(), documentedBlocks);
    // Full: settings still join the last block; nothing else finds room.
    QVERIFY(add(queue, "#exp=2"));
    QVERIFY(!add(queue, "#nolut"));
    QVERIFY(!add(queue, "#lut#exp=3"));
    QCOMPARE(queue.size(), documentedBlocks);
    QCOMPARE(contents(queue).last(), QStringLiteral("#exp=2"));
    queue.take();
    QVERIFY(add(queue, "#nolut"));
}

void TestRemoteBlockQueue::heldForTheCapture_data()
{
    QTest::addColumn<QList<QByteArray>>("arrived");
    QTest::addColumn<QString>("held");

    QTest::newRow("the last exposure") << QList<QByteArray>{"#exp=1", "#exp=2"} << "#exp=2";
    QTest::newRow("a switch and its opposite are one")
        << QList<QByteArray>{"#trig", "#pulsew", "#notrig", "#overclck", "#nopulsew", "#nooverclck"}
        << "#notrig#nopulsew#nooverclck";
    QTest::newRow("in the order they last came") << QList<QByteArray>{"#exp=1#trig", "#exp=3"} << "#trig#exp=3";
    QTest::newRow("nothing else waits") << QList<QByteArray>{"#stop#fr=2#aver=3#lut#pre=a#preview"} << "";
}

void TestRemoteBlockQueue::heldForTheCapture()
{
    QFETCH(QList<QByteArray>, arrived);
    QFETCH(QString, held);
    HeldCommands commands;
    int firstOfKind = 0; // each is logged; later ones replace it silently
    for (const QByteArray& block : arrived)
        for (const RemoteCommand& c : parseBlock(block).commands)
            if (HeldCommands::waitsForCapture(c.command))
                firstOfKind += commands.hold(c);
    QCOMPARE(firstOfKind, int(held.count(QLatin1Char('#'))));
    QCOMPARE(text(commands.take()), held);
    QVERIFY(commands.isEmpty());
}

QTEST_APPLESS_MAIN(TestRemoteBlockQueue)
#include "tst_remote_block_queue.moc"
