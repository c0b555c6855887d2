#pragma once

#include "LensProtocol.h"
#include "LoopControl.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

class LensLink;
class LensPacketChannel;

// The motor thread of the lens link: while the dialog holds a motor flag it
// sends the matching relative move to the controller, once per turn and
// 200 ms apart, so a held button repeats its command about every 210 ms.
// It also carries operations that no control of the station starts: an
// address change, pan and tilt, a drive toward target positions, an end-stop
// search and a second command channel of 15-byte packets over TCP.
//
// Flags, steps and positions may be written from any thread and are read by
// the loop on its next turn. UDP commands go out through the link; the packet
// channel lives on this worker's thread, so its operations are carried out
// by the loop.
class zoomWorker : public QThread
{
    Q_OBJECT

public:
    static constexpr int CommandPauseMs = 200;
    static constexpr int TurnPauseMs = 10;
    static constexpr int AddressChangeWaitMs = 1000;
    static constexpr int SearchWaitMs = 550;
    static constexpr int PanTiltPauseMs = 50;
    static constexpr int PacketPauseMs = 11;
    static constexpr int PulseMs = 8;
    static constexpr int PollWaitMs = 200;

    // The held-button moves, in the order every turn sends them.
    enum class Motor {
        ZoomWideSlow,   // "ZoomW" with the zoom step
        ZoomWideFast,   // "ZoomW" with 2 x the zoom step
        ZoomNarrowSlow, // "ZoomN"
        ZoomNarrowFast,
        FocusNearSlow,  // "moveFocus" with + the focus step
        FocusNearFast,  // "moveFocus" with + 2 x the focus step
        FocusFarSlow,   // "moveFocus" with - the focus step
        FocusFarFast,
        IrisCloseSlow,  // "moveAper" with - the iris step
        IrisCloseFast,
        IrisOpenSlow,   // "moveAper" with + the iris step
        IrisOpenFast,
    };
    static constexpr int MotorCount = 12;
    enum class PanTilt { Right, Left, Down, Up };
    enum class Axis { Zoom, Focus, Iris };
    // End-stop search directions, in the order a turn runs them.
    enum class Search { ZoomNarrow, ZoomWide, FocusNear, FocusFar, IrisOpen, IrisClose };
    static constexpr int SearchCount = 6;

    // End stops found by the search; 0 while unknown.
    struct Limits
    {
        int zoomLow = 0;
        int zoomHigh = 0;
        int focusLow = 0;
        int focusHigh = 0;
        float irisLow = 0;
        float irisHigh = 0;
    };

    // Sends through `link` (queued from the loop's thread).
    zoomWorker(const QString& host, LensLink* link, QObject* parent = nullptr);
    ~zoomWorker() override; // stops the thread and waits for it

    void pause();
    void resume();
    // Ends the loop at once (even in a pause or a sleep); returns without
    // waiting: wait() for the thread.
    void stop();
    // As new, on another host and link, with the focus step 2.
    void reset(const QString& host, LensLink* link);
    // The packet channel reconnects to the new host.
    void setHost(const QString& host);
    QString host() const;
    // TCP port of the packet channel (80 on a controller).
    void setPacketPort(quint16 port) { packetPort_ = port; }

    void setMotor(Motor motor, bool held) { motors_[int(motor)] = held; }
    bool isHeld(Motor motor) const { return motors_[int(motor)]; }
    void setPanTilt(PanTilt direction, bool held) { panTilt_[int(direction)] = held; }

    void setStep(Axis axis, int step) { steps_[int(axis)] = step; }
    int step(Axis axis) const { return steps_[int(axis)]; }
    void setFocusStep(int step) { setStep(Axis::Focus, step); }

    void setZoomPosition(int position) { zoomPosition_ = position; }
    void setFocusPosition(int position) { focusPosition_ = position; }
    void setAperture(float fNumber) { aperture_ = fNumber; }
    int zoomPosition() const { return zoomPosition_; }
    int focusPosition() const { return focusPosition_; }
    float aperture() const { return aperture_; }

    // Drives the axis toward `target` (an f-number for the iris).
    void setTarget(Axis axis, int target);
    bool isTargetPending(Axis axis) const { return targetPending_[int(axis)]; }
    void startSearch(Search direction) { searches_[int(direction)] = true; }
    bool isSearching(Search direction) const { return searches_[int(direction)]; }
    Limits limits() const;
    // Gives the controller a new address on the next turn. False, and
    // nothing is sent, unless `address` is a dotted-quad IPv4 address.
    bool changeAddress(const QString& address);

    // "name=value" to the host, then the command pause. Sleeps on the
    // calling thread; the loop calls it.
    void sendCommand(const QString& name, int value);
    // One pan (right, then left) or tilt (down, then up) step for each held
    // direction; sleeps on the calling thread.
    void panStep();
    void tiltStep();

    // Packet channel operations, carried out by the loop in order.
    // One move packet (value 1 starts, 0 stops).
    void tcpSendMove(LensProtocol::PacketMove move, quint8 value);
    // Focus far for 8 ms.
    void tcpFocusFarPulse();
    // The move `name` selects ("ZoomWide", "FocusNear", ...) for `ms`, then a
    // query of its axis; false, and nothing is queued, for an unknown name.
    bool tcpMoveFor(const QString& name, int ms);
    // Queries zoom, focus and iris.
    void tcpPollStatus();

public slots:
    // A position report text ("Zoom=", "Focus=", "Iris="): stores the
    // positions it carries. The dialog's parser already hands the focus and
    // iris reports to the worker; this is for a reader that passes texts.
    void readUDPDatagramsZ(const QString& text);

signals:
    void zoomValue(int position);
    void irisValue(float fNumber);
    void ipSettingChanged(const QString& address);
    void setZoomDone();
    void setFocusDone();
    void setIrisDone();
    void changeZoomStep(int step);
    void changeFocusStep(int step);
    void changeIrisStep(int step);
    // To the link's sendTo(), queued when sent from the loop.
    void sendDatagram(const QString& host, const QByteArray& datagram);

protected:
    void run() override;

private:
    using PacketWork = std::function<void(LensPacketChannel&)>;

    void connectLink(LensLink* link);
    void clearState(int focusStep);
    void send(const QByteArray& datagram);
    void sendHeldMoves();
    void sendChangeIP();
    void goToTargets();
    void driveAxis(Axis axis);
    void findLimits();
    void searchStep(Search direction);
    void emitStepChange(Axis axis, int step);
    void postPacketWork(PacketWork work);
    void runPacketWork(LensPacketChannel& channel);
    void packetWait(LensPacketChannel& channel, int ms);
    void packetPosition(LensProtocol::PacketQuery query, int position);

    QPointer<LensLink> link_;
    mutable std::mutex lock_; // host, new address, limits, packet work
    QString host_;
    QString newAddress_;
    Limits limits_;
    QList<PacketWork> packetWork_;

    LoopControl loop_;
    std::atomic<bool> motors_[MotorCount] = {};
    std::atomic<bool> panTilt_[4] = {};
    std::atomic<int> steps_[3] = {};
    std::atomic<int> zoomPosition_{0};
    std::atomic<int> focusPosition_{0};
    std::atomic<float> aperture_{0};
    std::atomic<int> targets_[3] = {};
    std::atomic<bool> targetPending_[3] = {};
    std::atomic<bool> searches_[SearchCount] = {};
    std::atomic<bool> addressChange_{false};
    std::atomic<quint16> packetPort_{LensProtocol::PacketPort};

    // The search's own, on the loop's thread.
    int lastPosition_ = 0;
    int lastAperture_ = 0;
    int stalls_ = 0;
};
