#include "AddressList.h"
#include "CommandValue.h"
#include "StationStatus.h"

#include <QtTest>

// The console's pure rules: address lists, command values and work folders,
// and how a station's status text is shown and counted.
class ConsoleRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void listItems_data();
    void listItems();
    void aliasesFitStations();
    void storedListGaps_data();
    void storedListGaps();
    void connectableAddress();
    void commandValues_data();
    void commandValues();
    void workFolders_data();
    void workFolders();
    void statusLooks_data();
    void statusLooks();
};

void ConsoleRulesTest::listItems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("valid");
    QTest::newRow("two, blanks ignored") << "192.168.0.30, 192.168. 0.203"
                                         << QStringList{"192.168.0.30", "192.168.0.203"} << true;
    QTest::newRow("leading zeros") << "010.001.000.001" << QStringList{"010.001.000.001"} << true;
    QTest::newRow("empty middle item") << "1.2.3.4,,1.2.3.5" << QStringList{"1.2.3.4", "", "1.2.3.5"} << false;
    QTest::newRow("trailing comma") << "1.2.3.4," << QStringList{"1.2.3.4", ""} << false;
    QTest::newRow("256") << "192.168.0.256" << QStringList{"192.168.0.256"} << false;
    // No stations (or generators, or lens controllers), not one without an address.
    QTest::newRow("empty text") << "" << QStringList{} << true;
    QTest::newRow("blank text") << " \t " << QStringList{} << true;
    QTest::newRow("only a comma") << "," << QStringList{"", ""} << false;
}

void ConsoleRulesTest::listItems()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QFETCH(bool, valid);
    QCOMPARE(AddressList::items(text), items);
    QCOMPARE(AddressList::allValid(AddressList::items(text)), valid);
}

void ConsoleRulesTest::aliasesFitStations()
{
    const QStringList stations{"10.0.0.1", "10.0.0.2", "10.0.0.3"};
    QCOMPARE(AddressList::fitted({"A", "B"}, stations), (QStringList{"A", "B", "10.0.0.3"}));
    QCOMPARE(AddressList::fitted({"A", "B", "C", "D", "E"}, stations), (QStringList{"A", "B", "C"}));
    QCOMPARE(AddressList::fitted({}, stations), stations);
    QVERIFY(AddressList::allSafe({"Bench 1", "#1"}));
    QVERIFY(!AddressList::allSafe({"Bench 1", "x#stop"}));
}

void ConsoleRulesTest::storedListGaps_data()
{
    // Lists as stored, with the aliases fitted to them.
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("aliases");
    QTest::addColumn<QStringList>("stations");
    QTest::addColumn<QStringList>("theirAliases");
    QTest::newRow("none") << "10.0.0.1,10.0.0.2" << QStringList{"A", "B"} << QStringList{"10.0.0.1", "10.0.0.2"}
                          << QStringList{"A", "B"};
    QTest::newRow("trailing comma") << "10.0.0.1," << QStringList{"A", "Ghost"} << QStringList{"10.0.0.1"}
                                    << QStringList{"A"};
    QTest::newRow("gap") << "10.0.0.1,,10.0.0.3" << QStringList{"A", "Ghost", "C"}
                         << QStringList{"10.0.0.1", "10.0.0.3"} << QStringList{"A", "C"};
    QTest::newRow("leading comma") << ",10.0.0.2" << QStringList{"Ghost", "B"} << QStringList{"10.0.0.2"}
                                   << QStringList{"B"};
    QTest::newRow("only a comma") << "," << QStringList{"", ""} << QStringList{} << QStringList{};
}

void ConsoleRulesTest::storedListGaps()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, aliases);
    QFETCH(QStringList, stations);
    QFETCH(QStringList, theirAliases);
    const AddressList::Stations listed = AddressList::stations(AddressList::items(stored), aliases);
    QCOMPARE(listed.addresses, stations);
    QCOMPARE(listed.aliases, theirAliases);
}

void ConsoleRulesTest::connectableAddress()
{
    QCOMPARE(AddressList::connectable("010.001.000.001"), QStringLiteral("10.1.0.1"));
    QCOMPARE(AddressList::connectable("127.0.0.2"), QStringLiteral("127.0.0.2"));
    QCOMPARE(AddressList::connectable("no.address"), QStringLiteral("no.address"));
}

void ConsoleRulesTest::commandValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "run_0" << true;
    QTest::newRow("hash digit") << "#1" << true;
    QTest::newRow("hash at end") << "run#" << true;
    QTest::newRow("second command") << "run#stop" << false;
    QTest::newRow("upper-case word") << "#Start" << false;
    QTest::newRow("NUL") << QString::fromLatin1("a\0#x", 4) << false;
    QTest::newRow("line feed") << "a\nb" << false;
}

void ConsoleRulesTest::commandValues()
{
    QFETCH(QString, value);
    QFETCH(bool, safe);
    QCOMPARE(CommandValue::isSafe(value), safe);
}

void ConsoleRulesTest::workFolders_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("form default") << "C:\\Users\\" << true;
    QTest::newRow("deeper, blanks, #1") << "D:\\Data sets\\#1 run\\" << true;
    QTest::newRow("no trailing backslash") << "C:\\Test" << false;
    QTest::newRow("one character") << "C:\\a\\" << false;
    QTest::newRow("question mark") << "C:\\ab?\\" << false;
    QTest::newRow("network path") << "\\\\server\\share\\" << false;
    QTest::newRow("posix default") << "/var/tmp/Test/" << true;
    QTest::newRow("posix #1") << "/data/#1/" << true;
    QTest::newRow("posix root") << "/" << false;
    QTest::newRow("posix one character") << "/a/" << false;
    QTest::newRow("command in segment") << "/data/#stop/" << false;
    QTest::newRow("command in windows segment") << "C:\\x#start\\" << false;
}

void ConsoleRulesTest::workFolders()
{
    QFETCH(QString, folder);
    QFETCH(bool, accepted);
    QCOMPARE(CommandValue::isWorkFolder(folder), accepted);
}

void ConsoleRulesTest::statusLooks_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("coloured");
    QTest::addColumn<int>("colour");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("capture"); // a capture state or a finished capture
    QTest::addColumn<QString>("shown");
    QTest::newRow("ready") << "Ready" << true << int(Qt::green) << true << true << false << "Ready";
    QTest::newRow("ready done") << "ReadyDone" << true << int(Qt::green) << true << true << true << "Ready";
    QTest::newRow("capturing") << "Captured 12/100" << true << int(Qt::red) << true << false << true
                               << "Captured 12/100";
    QTest::newRow("preview") << "Preview" << true << int(Qt::yellow) << true << false << false << "Preview";
    QTest::newRow("no camera") << "No Camera" << true << int(Qt::gray) << false << false << false << "No Camera";
    QTest::newRow("can't connect") << "Can't connect" << true << int(Qt::darkGray) << false << false << false
                                   << "Can't connect";
    QTest::newRow("not answering") << "Not answering" << true << int(Qt::darkGray) << false << false << false
                                   << "Not answering";
    QTest::newRow("roi value") << "4711" << false << int(Qt::white) << false << false << false << "4711";
}

void ConsoleRulesTest::statusLooks()
{
    QFETCH(QString, status);
    QFETCH(bool, coloured);
    QFETCH(int, colour);
    QFETCH(bool, available);
    QFETCH(bool, ready);
    QFETCH(bool, capture);
    QFETCH(QString, shown);
    const StationStatus::Look look = StationStatus::look(status);
    QCOMPARE(look.coloured, coloured);
    if (coloured)
        QCOMPARE(int(look.colour), colour);
    QCOMPARE(look.available, available);
    QCOMPARE(look.ready, ready);
    QCOMPARE(look.capturing || look.captureDone, capture);
    QCOMPARE(look.shown, shown);
    QCOMPARE(StationStatus::rowText(QStringLiteral("Bench"), look.shown), QStringLiteral("Bench - ") + shown);
}

QTEST_APPLESS_MAIN(ConsoleRulesTest)
#include "tst_console_rules.moc"
