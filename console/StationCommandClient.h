#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

// Sends the station commands, one connection per command and station. A
// station answers every block it reads with its status, so that reply is the
// acknowledgement: a command counts as delivered when a reply (a text ending
// in NUL) arrives within ReplyWaitMs of the command being written, on the
// clock (a reply that is in when the bound passes counts, read or not); a
// station that cannot be reached, closes or resets the connection, or stays
// silent, did not get it.
//
// send() connects to all stations of a command at once and gives each
// connection ConnectWaitMs from its start, blocking the calling (GUI) thread
// without running events: a station that is off costs the command that
// bound once, and takes it from no other station. The replies are then
// collected from the event loop, so a silent station holds up neither the
// GUI nor the other stations, and a Sync to many stations takes no longer
// than to one.
class StationCommandClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int ConnectWaitMs = 2000;
    // A station's event loop may be held for seconds (a slow disk, a slow
    // camera) while the command is already in; its reply then comes late.
    static constexpr int ReplyWaitMs = 3000;
    // A reply is a short status text; a peer that sends more without a NUL
    // is not a station.
    static constexpr int MaxReplyBytes = 512;

    struct Delivery
    {
        QString address;
        QByteArray bytes;
    };
    // Called once per delivery (its index in the list given to send): at
    // once for a station that cannot be reached, otherwise from a socket's
    // or a timer's handler, so it must not wait or show a box.
    using Outcome = std::function<void(int index, bool delivered)>;

    explicit StationCommandClient(QObject* parent = nullptr);

    void send(const QVector<Delivery>& deliveries, const Outcome& outcome);

private:
    class Pending;
};
