#pragma once

// The station's remote-control protocol: plain ASCII blocks over TCP (port
// 1910), no length prefix and no line terminator. A command starts with '#';
// parameter commands are "#word=" followed by a value that runs to the end of
// the text. Each reply text ends with exactly one NUL byte. The console sends
// fixed words followed by NUL bytes and parameter commands without any.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace RemoteProtocol {

constexpr quint16 DefaultPort = 1910;
// Only this many bytes of one received block are interpreted.
constexpr int MaxBlockSize = 512;

// Every command the station obeys, in the order in which a block is searched
// and acted on (the console relies on this order when it packs several
// commands into one block).
enum class Command {
    LensDelete,    // "#lcdelete=" preset name
    NormOn,        // "#normon"
    NormOff,       // "#normoff"
    CamName,       // "#camname=" camera name
    LensConnect,   // "#lcconn=" lens-controller address
    LensHide,      // "#lchide"
    LensShow,      // "#lcshow"
    LensSave,      // "#lcsave=" preset name
    LensLoad,      // "#lcload=" preset name
    Start,         // "#start"
    Stop,          // "#stop"
    Split,         // "#split"
    NoSplit,       // "#nosplit"
    Overclock,     // "#overclck"
    NoOverclock,   // "#nooverclck"
    PulseWidth,    // "#pulsew"
    NoPulseWidth,  // "#nopulsew"
    Lut,           // "#lut"
    NoLut,         // "#nolut"
    Sensitive,     // "#sens"
    Reference,     // "#ref"
    Preview,       // "#preview"
    NoPreview,     // "#nopreview"
    Trigger,       // "#trig"
    NoTrigger,     // "#notrig"
    Exposure,      // "#exp=" value in the exposure box's unit
    Average,       // "#aver=" averaging count
    Frames,        // "#fr=" frames to capture
    Prefix,        // "#pre=" file prefix
    Point,         // "#pnt=" measurement point
    Folder,        // "#folder=" work folder
};
constexpr int CommandCount = int(Command::Folder) + 1;

// Asks for the ROI value instead of the status; nothing else in its block runs.
constexpr char RoiRequestWord[] = "#getroi";
// What the console's status poll sends; it matches no command.
constexpr char StatusWord[] = "#status";

// Reply texts (each goes out followed by one NUL).
constexpr char ReplyReady[] = "Ready";
constexpr char ReplyReadyDone[] = "ReadyDone";
constexpr char ReplyPreview[] = "Preview";
constexpr char ReplyCaptured[] = "Captured %1/%2";
constexpr char ReplyNoCamera[] = "No Camera";

// The command word as sent, with the '=' of a parameter command.
QByteArray word(Command command);
bool takesValue(Command command);
// The lens-controller commands ("#lcdelete=", "#lcconn=", "#lchide",
// "#lcshow", "#lcsave=", "#lcload=").
bool isLensCommand(Command command);

struct RemoteCommand
{
    Command command;
    QString value; // everything after the '=' up to the end of the text; empty for fixed words

    bool operator==(const RemoteCommand& other) const
    {
        return command == other.command && value == other.value;
    }
};

struct ParsedBlock
{
    bool roiRequest = false;       // "#getroi" found: answer the ROI value, run nothing
    QList<RemoteCommand> commands; // in table order; empty when roiRequest is set
};

// The text a block carries: at most the first MaxBlockSize bytes, cut at the
// first NUL, read as Latin-1.
QString blockText(const QByteArray& block);
// Finds every command in a received block.
ParsedBlock parseBlock(const QByteArray& block);

// Numeric values of "#exp=", "#aver=" and "#fr=": 0 when not a number (NaN
// and the infinities are none).
double doubleValue(const QString& value);
int intValue(const QString& value);

// What the station is doing, as the status reply and the command conditions
// see it at one moment.
struct StationState
{
    bool connected = false;    // a camera is connected
    bool colourCamera = false; // the colour model
    bool previewing = false;
    bool capturing = false;
    bool captureDone = false;  // a capture reached its target since the last status reply
    quint64 framesReceived = 0;
    int targetFrames = -1;
};

// Whether a matched command acts in the given state: the colour-plane and
// split commands need a colour camera, preview and trigger switches depend on
// the preview, and the run commands and "#camname=" need a connected camera.
bool appliesTo(Command command, const StationState& state);

// The status reply: "No Camera", or "ReadyDone" (when the capture-done flag is
// up), then "Preview" or "Ready" (when idle), then "Captured n/target" (when
// capturing), each followed by one NUL.
QByteArray statusReply(const StationState& state);
// The ROI value as decimal text followed by one NUL.
QByteArray roiReply(int roiValue);

// Console side: a fixed word as the console writes it (followed by one NUL,
// "#nopreview" by three, "#lcshow" and "#lchide" by none); a parameter
// command as its Latin-1 bytes without NUL.
QByteArray fixedCommandBytes(Command command);
QByteArray parameterCommandBytes(Command command, const QString& value);

// Takes every complete NUL-terminated reply text off the front of `buffer`;
// an unterminated tail stays in the buffer for the next read.
QList<QByteArray> takeReplies(QByteArray* buffer);

} // namespace RemoteProtocol
