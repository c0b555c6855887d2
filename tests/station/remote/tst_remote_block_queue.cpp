#include "remote/RemoteBlockQueue.h"

#include <QtTest>

using namespace RemoteProtocol;

namespace {

// Every block of the queue as "number commands", the commands as sent.
QStringList contents(RemoteBlockQueue queue)
{
    QStringList blocks;
    while (!queue.isEmpty()) {
        const RemoteBlockQueue::Block block = queue.take();
        QString text = QString::number(block.number) + ' ';
        for (const RemoteCommand& c : block.commands)
            text += QString::fromLatin1(word(c.command)) + c.value;
        blocks << text;
    }
    return blocks;
}

bool add(RemoteBlockQueue& queue, quint64 number, const QByteArray& block)
{
    return queue.add(number, parseBlock(block).commands);
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
};

void TestRemoteBlockQueue::joining_data()
{
    QTest::addColumn<QList<QByteArray>>("arrived");
    QTest::addColumn<QStringList>("queued");

    QTest::newRow("a flood of one setting ends on its last value")
        << QList<QByteArray>{"#exp=1", "#exp=2", "#exp=3"} << QStringList{"3 #exp=3"};
    // Run in the order they last arrived, as one after the other would.
    QTest::newRow("settings run in the order of their last arrival")
        << QList<QByteArray>{"#exp=1", "#fr=5", "#pre=a", "#exp=3", "#pnt=p", "#aver=4"}
        << QStringList{"6 #fr=5#pre=a#exp=3#pnt=p#aver=4"};
    QTest::newRow("settings never pass another command")
        << QList<QByteArray>{"#exp=1", "#start", "#exp=2", "#exp=3"}
        << QStringList{"1 #exp=1", "2 #start", "4 #exp=3"};
    QTest::newRow("a block with another command stands alone")
        << QList<QByteArray>{"#exp=1", "#lut#exp=2", "#exp=3"}
        << QStringList{"1 #exp=1", "2 #lut#exp=2", "3 #exp=3"};
    // Each leaves more than a value behind: a folder made, a preset saved.
    QTest::newRow("folders and lens presets are no settings")
        << QList<QByteArray>{"#folder=/a", "#folder=/b", "#lcsave=x", "#lcsave=y"}
        << QStringList{"1 #folder=/a", "2 #folder=/b", "3 #lcsave=x", "4 #lcsave=y"};
}

void TestRemoteBlockQueue::joining()
{
    QFETCH(QList<QByteArray>, arrived);
    QFETCH(QStringList, queued);
    RemoteBlockQueue queue;
    quint64 number = 0;
    for (const QByteArray& block : arrived)
        QVERIFY(add(queue, ++number, block));
    QCOMPARE(contents(queue), queued);
}

void TestRemoteBlockQueue::fullQueue()
{
    RemoteBlockQueue queue;
    quint64 number = 0;
    for (int i = 0; i < RemoteBlockQueue::MaxBlocks - 1; ++i)
        QVERIFY(add(queue, ++number, "#lut"));
    QVERIFY(add(queue, ++number, "#exp=1"));
    QCOMPARE(queue.size(), RemoteBlockQueue::MaxBlocks);
    // Full: settings still join the last block; nothing else finds room.
    QVERIFY(add(queue, ++number, "#exp=2"));
    QVERIFY(!add(queue, ++number, "#nolut"));
    QVERIFY(!add(queue, ++number, "#lut#exp=3"));
    QCOMPARE(queue.size(), RemoteBlockQueue::MaxBlocks);
    QCOMPARE(contents(queue).last(), QStringLiteral("%1 #exp=2").arg(RemoteBlockQueue::MaxBlocks + 1));
    queue.take();
    QVERIFY(add(queue, ++number, "#nolut"));
}

QTEST_APPLESS_MAIN(TestRemoteBlockQueue)
#include "tst_remote_block_queue.moc"
