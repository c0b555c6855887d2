#pragma once

// The lens controller's wire formats. Commands and replies are plain ASCII
// texts, one per UDP datagram to and from port 1339 of the controller, with no
// terminator, line end or length prefix. Beside them the controller takes
// 15-byte binary packets over TCP (port 80), used only by the motor worker.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace LensProtocol {

constexpr quint16 ControllerPort = 1339;
// The local socket is bound to a port drawn from LocalPortBase + 0..LocalPortSpan-1.
constexpr quint16 LocalPortBase = 60000;
constexpr int LocalPortSpan = 5001;
// Longest reply text taken in; a controller's replies are a few dozen bytes.
constexpr int MaxReplySize = 512;

// Command words.
constexpr char Ver[] = "ver";
constexpr char Ping[] = "ping";
constexpr char StopFocus[] = "stopFocus";
constexpr char Reboot[] = "Reboot";
constexpr char MoveFocus[] = "moveFocus";
constexpr char MoveAper[] = "moveAper";
constexpr char ZoomW[] = "ZoomW";
constexpr char ZoomN[] = "ZoomN";
constexpr char FocusN[] = "FocusN";
constexpr char FocusF[] = "FocusF";
constexpr char IrisO[] = "IrisO";
constexpr char IrisC[] = "IrisC";
constexpr char MoveR[] = "MoveR";
constexpr char MoveL[] = "MoveL";
constexpr char MoveU[] = "MoveU";
constexpr char MoveD[] = "MoveD";

// "setFocus=%1": absolute focus position.
QByteArray setFocus(int position);
// "setAper=%1": f-number with at most 6 significant digits ("setAper=5.6").
QByteArray setAper(double fNumber);
// "moveFocus=%1": relative focus step, positive toward near.
QByteArray moveFocus(int step);
// "%1=%2": the motor worker's name-and-value commands ("moveAper=-2", "ZoomN=5").
QByteArray nameValue(const QString& name, int value);
// "ChangeIP=%1".
QByteArray changeIp(const QString& address);

// A real number as the controller reads and the dialog shows it: shortest
// form with at most 6 significant digits.
QString real(double value);

// The text of a received datagram: Latin-1, up to the first NUL.
QString replyText(const QByteArray& datagram);
// The text between the first '=' and the next one (or the end); empty
// without a '=', so `hasSection1` tells a missing field from an empty one.
QString section1(const QString& text);
bool hasSection1(const QString& text);

// The packet channel: 255, group, command, value, ten zeros, checksum (sum of
// bytes 0..13 modulo 256).
constexpr quint16 PacketPort = 80;
constexpr int PacketSize = 15;
constexpr int PacketReplySize = 3;

enum class PacketGroup : quint8 { LensMove = 3, Query = 8, IrisMove = 46 };
enum class PacketMove { ZoomWide, ZoomNarrow, FocusNear, FocusFar, IrisClose, IrisOpen };
enum class PacketQuery : quint8 { Zoom = 0, Focus = 1, Iris = 2 };

QByteArray packet(quint8 group, quint8 command, quint8 value);
// value 1 starts the move, 0 stops it.
QByteArray movePacket(PacketMove move, quint8 value);
QByteArray queryPacket(PacketQuery query);
// A query reply is exactly 3 bytes; bytes 1 and 2 are the position, big-endian.
std::optional<int> packetReplyPosition(const QByteArray& reply);
// The move and the query a name selects by containment: "ZoomWide",
// "ZoomNarrow", "FocusNear", "FocusFar", "IrisClose", "IrisOpen"; "Zoom",
// "Focus", "Iris".
std::optional<PacketMove> packetMoveNamed(const QString& name);
std::optional<PacketQuery> packetQueryNamed(const QString& name);

} // namespace LensProtocol
