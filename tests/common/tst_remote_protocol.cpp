#include "RemoteProtocol.h"

#include <QtTest>

using namespace RemoteProtocol;
using Commands = QList<RemoteCommand>;

Q_DECLARE_METATYPE(RemoteProtocol::Command)
Q_DECLARE_METATYPE(RemoteProtocol::RemoteCommand)
Q_DECLARE_METATYPE(RemoteProtocol::StationState)

class TestRemoteProtocol : public QObject
{
    Q_OBJECT

private slots:
    void everyWord_data();
    void everyWord();
    void lensCommands();
    void blocks_data();
    void blocks();
    void roiRequest_data();
    void roiRequest();
    void numbers();
    void conditions_data();
    void conditions();
    void statusReply_data();
    void statusReply();
    void consoleBytes_data();
    void consoleBytes();
    void consoleBytesParseBack();
    void replies_data();
    void replies();
};

void TestRemoteProtocol::everyWord_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("value");

    // The words a console sends, as it sends them.
    const struct
    {
        const char* block;
        int size;
        Command command;
        const char* value;
    } rows[] = {
        {"#lcdelete=Near", 14, Command::LensDelete, "Near"},
        {"#normon\0", 8, Command::NormOn, ""},
        {"#normoff\0", 9, Command::NormOff, ""},
        {"#camname=Cam 1", 14, Command::CamName, "Cam 1"},
        {"#lcconn=127.0.0.5", 17, Command::LensConnect, "127.0.0.5"},
        {"#lchide", 7, Command::LensHide, ""},
        {"#lcshow", 7, Command::LensShow, ""},
        {"#lcsave=Far away", 16, Command::LensSave, "Far away"},
        {"#lcload=Far", 11, Command::LensLoad, "Far"},
        {"#start\0", 7, Command::Start, ""},
        {"#stop\0", 6, Command::Stop, ""},
        {"#split\0", 7, Command::Split, ""},
        {"#nosplit\0", 9, Command::NoSplit, ""},
        {"#overclck\0", 10, Command::Overclock, ""},
        {"#nooverclck\0", 12, Command::NoOverclock, ""},
        {"#pulsew\0", 8, Command::PulseWidth, ""},
        {"#nopulsew\0", 10, Command::NoPulseWidth, ""},
        {"#lut\0", 5, Command::Lut, ""},
        {"#nolut\0", 7, Command::NoLut, ""},
        {"#sens\0", 6, Command::Sensitive, ""},
        {"#ref\0", 5, Command::Reference, ""},
        {"#preview\0", 9, Command::Preview, ""},
        {"#nopreview\0\0\0", 13, Command::NoPreview, ""},
        {"#trig\0", 6, Command::Trigger, ""},
        {"#notrig\0", 8, Command::NoTrigger, ""},
        {"#exp=1500", 9, Command::Exposure, "1500"},
        {"#aver=4", 7, Command::Average, "4"},
        {"#fr=20\0\0\0", 9, Command::Frames, "20"},
        {"#pre=Run7", 9, Command::Prefix, "Run7"},
        {"#pnt=P 3", 8, Command::Point, "P 3"},
        {"#folder=/data/run 7", 19, Command::Folder, "/data/run 7"},
    };
    for (const auto& r : rows) {
        QTest::newRow(r.block) << QByteArray(r.block, r.size) << r.command << QString::fromLatin1(r.value);
    }
}

void TestRemoteProtocol::everyWord()
{
    QFETCH(QByteArray, block);
    QFETCH(Command, command);
    QFETCH(QString, value);
    const ParsedBlock parsed = parseBlock(block);
    QVERIFY(!parsed.roiRequest);
    QCOMPARE(parsed.commands, (Commands{{command, value}}));
}

// The commands the station passes on to its lens controller, and no other.
void TestRemoteProtocol::lensCommands()
{
    QList<QByteArray> lens;
    for (int i = 0; i < CommandCount; ++i)
        if (isLensCommand(Command(i)))
            lens << word(Command(i));
    QCOMPARE(lens, (QList<QByteArray>{"#lcdelete=", "#lcconn=", "#lchide", "#lcshow", "#lcsave=", "#lcload="}));
}

void TestRemoteProtocol::blocks_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<Commands>("commands");

    QTest::newRow("status matches nothing") << QByteArray("#status") << Commands{};
    QTest::newRow("empty") << QByteArray() << Commands{};
    QTest::newRow("case matters") << QByteArray("#START") << Commands{};
    QTest::newRow("several, acted on in table order")
        << QByteArray("#stop#lut#normon#split#exp=100")
        << Commands{{Command::NormOn, {}}, {Command::Stop, {}}, {Command::Split, {}},
                    {Command::Lut, {}}, {Command::Exposure, "100"}};
    QTest::newRow("start then split") << QByteArray("#start#split")
                                      << Commands{{Command::Start, {}}, {Command::Split, {}}};
    QTest::newRow("a value runs to the end of the text")
        << QByteArray("#exp=100#fr=20")
        << Commands{{Command::Exposure, "100#fr=20"}, {Command::Frames, "20"}};
    QTest::newRow("a word inside a value still counts")
        << QByteArray("#pre=#start") << Commands{{Command::Start, {}}, {Command::Prefix, "#start"}};
    QTest::newRow("words need not start the text")
        << QByteArray("xx#lcshow yy") << Commands{{Command::LensShow, {}}};
    QTest::newRow("first NUL ends the text")
        << QByteArray("#start\0#stop", 12) << Commands{{Command::Start, {}}};
    QTest::newRow("leading NUL: nothing") << QByteArray("\0#start", 7) << Commands{};
    QTest::newRow("empty value") << QByteArray("#folder=") << Commands{{Command::Folder, ""}};
    QTest::newRow("Latin-1 value") << QByteArray("#pnt=caf\xe9") << Commands{{Command::Point, QString::fromUtf8("café")}};

    // Only the first 512 bytes of a block are read; the rest is dropped.
    QByteArray padded = "#normon" + QByteArray(600 - 7 - 5, ' ') + "#stop";
    QTest::newRow("600 bytes, word past 512") << padded << Commands{{Command::NormOn, {}}};
    QByteArray longValue = "#pre=" + QByteArray(595, 'a');
    QTest::newRow("600 bytes, value cut at 512")
        << longValue << Commands{{Command::Prefix, QString(507, QLatin1Char('a'))}};
    QByteArray atEdge = QByteArray(506, ' ') + "#start" + "#stop";
    QTest::newRow("word ending at byte 512") << atEdge << Commands{{Command::Start, {}}};
    QByteArray across = QByteArray(507, ' ') + "#start";
    QTest::newRow("word across byte 512") << across << Commands{};
}

void TestRemoteProtocol::blocks()
{
    QFETCH(QByteArray, block);
    QFETCH(Commands, commands);
    const ParsedBlock parsed = parseBlock(block);
    QVERIFY(!parsed.roiRequest);
    QCOMPARE(parsed.commands, commands);
}

void TestRemoteProtocol::roiRequest_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("roi");

    QTest::newRow("alone") << QByteArray("#getroi") << true;
    QTest::newRow("with NUL") << QByteArray("#getroi\0", 8) << true;
    QTest::newRow("other commands are dropped") << QByteArray("#start#getroi#fr=3") << true;
    QTest::newRow("after the NUL") << QByteArray("#status\0#getroi", 15) << false;
    QTest::newRow("past 512 bytes") << QByteArray(510, ' ') + "#getroi" << false;
}

void TestRemoteProtocol::roiRequest()
{
    QFETCH(QByteArray, block);
    QFETCH(bool, roi);
    const ParsedBlock parsed = parseBlock(block);
    QCOMPARE(parsed.roiRequest, roi);
    if (roi)
        QVERIFY(parsed.commands.isEmpty());
}

void TestRemoteProtocol::numbers()
{
    QCOMPARE(doubleValue("1500.5"), 1500.5);
    QCOMPARE(doubleValue("fast"), 0.0);
    QCOMPARE(doubleValue(""), 0.0);
    for (const char* notFinite : {"nan", "NaN", "inf", "-inf", "infinity", "1e999"})
        QCOMPARE(doubleValue(notFinite), 0.0);
    QCOMPARE(doubleValue("-5"), -5.0);
    QCOMPARE(intValue("20"), 20);
    QCOMPARE(intValue("20x"), 0);
    QCOMPARE(intValue("99999999999"), 0); // does not fit an int
}

void TestRemoteProtocol::conditions_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<StationState>("state");
    QTest::addColumn<bool>("applies");

    StationState none;
    StationState mono;
    mono.connected = true;
    StationState colour = mono;
    colour.colourCamera = true;
    StationState previewing = mono;
    previewing.previewing = true;

    QTest::newRow("start without camera") << Command::Start << none << false;
    QTest::newRow("stop without camera") << Command::Stop << none << false;
    QTest::newRow("preview without camera") << Command::Preview << none << false;
    QTest::newRow("camname without camera") << Command::CamName << none << false;
    QTest::newRow("folder without camera") << Command::Folder << none << true;
    QTest::newRow("frames without camera") << Command::Frames << none << true;
    QTest::newRow("start") << Command::Start << mono << true;
    QTest::newRow("camname") << Command::CamName << mono << true;
    QTest::newRow("split on mono") << Command::Split << mono << false;
    QTest::newRow("nosplit on mono") << Command::NoSplit << mono << false;
    QTest::newRow("sens on mono") << Command::Sensitive << mono << false;
    QTest::newRow("ref on mono") << Command::Reference << mono << false;
    QTest::newRow("split on colour") << Command::Split << colour << true;
    QTest::newRow("ref on colour") << Command::Reference << colour << true;
    QTest::newRow("preview while idle") << Command::Preview << mono << true;
    QTest::newRow("preview while previewing") << Command::Preview << previewing << false;
    QTest::newRow("nopreview while idle") << Command::NoPreview << mono << false;
    QTest::newRow("nopreview while previewing") << Command::NoPreview << previewing << true;
    QTest::newRow("trig while previewing") << Command::Trigger << previewing << false;
    QTest::newRow("notrig while previewing") << Command::NoTrigger << previewing << false;
    QTest::newRow("trig while idle") << Command::Trigger << mono << true;
    QTest::newRow("lens show without camera") << Command::LensShow << none << true;
}

void TestRemoteProtocol::conditions()
{
    QFETCH(Command, command);
    QFETCH(StationState, state);
    QFETCH(bool, applies);
    QCOMPARE(appliesTo(command, state), applies);
}

void TestRemoteProtocol::statusReply_data()
{
    QTest::addColumn<StationState>("state");
    QTest::addColumn<QByteArray>("reply");

    StationState none;
    QTest::newRow("no camera") << none << QByteArray("No Camera\0", 10);
    StationState noneDone = none;
    noneDone.captureDone = true;
    QTest::newRow("no camera, done flag ignored") << noneDone << QByteArray("No Camera\0", 10);

    StationState idle;
    idle.connected = true;
    QTest::newRow("idle") << idle << QByteArray("Ready\0", 6);
    StationState preview = idle;
    preview.previewing = true;
    QTest::newRow("previewing") << preview << QByteArray("Preview\0", 8);
    StationState capture = idle;
    capture.capturing = true;
    capture.framesReceived = 7;
    capture.targetFrames = 20;
    QTest::newRow("capturing") << capture << QByteArray("Captured 7/20\0", 14);
    StationState both = capture;
    both.previewing = true;
    QTest::newRow("previewing and capturing") << both << QByteArray("Preview\0Captured 7/20\0", 22);
    StationState done = idle;
    done.captureDone = true;
    QTest::newRow("capture done") << done << QByteArray("ReadyDone\0Ready\0", 16);
    StationState big = capture;
    big.framesReceived = Q_UINT64_C(18446744073709551615);
    big.targetFrames = -1;
    QTest::newRow("counts at their limits")
        << big << QByteArray("Captured 18446744073709551615/-1\0", 33);
}

void TestRemoteProtocol::statusReply()
{
    QFETCH(StationState, state);
    QFETCH(QByteArray, reply);
    QCOMPARE(RemoteProtocol::statusReply(state), reply);
}

void TestRemoteProtocol::consoleBytes_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<int>("size");

    // The byte counts the console is known to write.
    QTest::newRow("preview") << Command::Preview << 9;
    QTest::newRow("nopreview") << Command::NoPreview << 13;
    QTest::newRow("start") << Command::Start << 7;
    QTest::newRow("stop") << Command::Stop << 6;
    QTest::newRow("trig") << Command::Trigger << 6;
    QTest::newRow("notrig") << Command::NoTrigger << 8;
    QTest::newRow("pulsew") << Command::PulseWidth << 8;
    QTest::newRow("nopulsew") << Command::NoPulseWidth << 10;
    QTest::newRow("overclck") << Command::Overclock << 10;
    QTest::newRow("nooverclck") << Command::NoOverclock << 12;
    QTest::newRow("lut") << Command::Lut << 5;
    QTest::newRow("nolut") << Command::NoLut << 7;
    QTest::newRow("split") << Command::Split << 7;
    QTest::newRow("nosplit") << Command::NoSplit << 9;
    QTest::newRow("sens") << Command::Sensitive << 6;
    QTest::newRow("ref") << Command::Reference << 5;
    QTest::newRow("normon") << Command::NormOn << 8;
    QTest::newRow("normoff") << Command::NormOff << 9;
    QTest::newRow("lcshow") << Command::LensShow << 7;
    QTest::newRow("lchide") << Command::LensHide << 7;
}

void TestRemoteProtocol::consoleBytes()
{
    QFETCH(Command, command);
    QFETCH(int, size);
    const QByteArray bytes = fixedCommandBytes(command);
    QCOMPARE(bytes.size(), size);
    QVERIFY(bytes.startsWith(word(command)));
}

void TestRemoteProtocol::consoleBytesParseBack()
{
    // What the console builds, the station reads back as the same command.
    for (int i = 0; i < CommandCount; ++i) {
        const Command c = Command(i);
        const QByteArray bytes = takesValue(c) ? parameterCommandBytes(c, QStringLiteral("v 1"))
                                               : fixedCommandBytes(c);
        const RemoteCommand expected{c, takesValue(c) ? QStringLiteral("v 1") : QString()};
        QCOMPARE(parseBlock(bytes).commands, Commands{expected});
    }
    QCOMPARE(parameterCommandBytes(Command::Point, QString::fromUtf8("é€")), QByteArray("#pnt=\xe9?"));
}

void TestRemoteProtocol::replies_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QByteArray>("left");

    QTest::newRow("one") << QByteArray("Ready\0", 6) << QList<QByteArray>{"Ready"} << QByteArray();
    QTest::newRow("two") << QByteArray("ReadyDone\0Ready\0", 16)
                         << QList<QByteArray>{"ReadyDone", "Ready"} << QByteArray();
    QTest::newRow("tail kept") << QByteArray("Preview\0Capt", 12) << QList<QByteArray>{"Preview"}
                               << QByteArray("Capt");
    QTest::newRow("no NUL yet") << QByteArray("No Cam") << QList<QByteArray>{} << QByteArray("No Cam");
    QTest::newRow("empty text") << QByteArray("\0", 1) << QList<QByteArray>{""} << QByteArray();
}

void TestRemoteProtocol::replies()
{
    QFETCH(QByteArray, received);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QByteArray, left);
    QByteArray buffer = received;
    QCOMPARE(takeReplies(&buffer), replies);
    QCOMPARE(buffer, left);
}

QTEST_GUILESS_MAIN(TestRemoteProtocol)
#include "tst_remote_protocol.moc"
