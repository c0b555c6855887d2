#include "zoomWorker.h"

#include "LensLink.h"
#include "LensPacketChannel.h"

#include "Ipv4.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>

#include <cmath>

Q_LOGGING_CATEGORY(lcLensMotor, "kessane.lens.motor")

using namespace LensProtocol;

namespace {

struct MoveCommand
{
    const char* name;
    zoomWorker::Axis axis;
    int factor; // of the axis step, with the direction's sign
};

// Indexed by zoomWorker::Motor.
const MoveCommand moveCommands[zoomWorker::MotorCount] = {
    {ZoomW, zoomWorker::Axis::Zoom, 1},      {ZoomW, zoomWorker::Axis::Zoom, 2},
    {ZoomN, zoomWorker::Axis::Zoom, 1},      {ZoomN, zoomWorker::Axis::Zoom, 2},
    {MoveFocus, zoomWorker::Axis::Focus, 1}, {MoveFocus, zoomWorker::Axis::Focus, 2},
    {MoveFocus, zoomWorker::Axis::Focus, -1}, {MoveFocus, zoomWorker::Axis::Focus, -2},
    {MoveAper, zoomWorker::Axis::Iris, -1},  {MoveAper, zoomWorker::Axis::Iris, -2},
    {MoveAper, zoomWorker::Axis::Iris, 1},   {MoveAper, zoomWorker::Axis::Iris, 2},
};

struct SearchDirection
{
    const char* command;
    zoomWorker::Axis axis;
    zoomWorker::Motor fastMotor; // also repeated by the loop while searching
    bool highEnd;
};

// Indexed by zoomWorker::Search.
const SearchDirection searchDirections[zoomWorker::SearchCount] = {
    {ZoomN, zoomWorker::Axis::Zoom, zoomWorker::Motor::ZoomNarrowFast, true},
    {ZoomW, zoomWorker::Axis::Zoom, zoomWorker::Motor::ZoomWideFast, false},
    {FocusN, zoomWorker::Axis::Focus, zoomWorker::Motor::FocusNearFast, true},
    {FocusF, zoomWorker::Axis::Focus, zoomWorker::Motor::FocusFarFast, false},
    {IrisO, zoomWorker::Axis::Iris, zoomWorker::Motor::IrisOpenFast, true},
    {IrisC, zoomWorker::Axis::Iris, zoomWorker::Motor::IrisCloseFast, false},
};

// Target drive commands per axis: toward the high end, toward the low end.
const char* const driveUp[3] = {ZoomN, FocusN, IrisO};
const char* const driveDown[3] = {ZoomW, FocusF, IrisC};

// numerator / denominator < limit; a zero denominator counts as not below,
// which picks the slow speed.
bool ratioBelow(double numerator, double denominator, double limit)
{
    return denominator != 0 && numerator / denominator < limit;
}

} // namespace

zoomWorker::zoomWorker(const QString& host, LensLink* link, QObject* parent) : QThread(parent), host_(host)
{
    clearState(5);
    connectLink(link);
}

zoomWorker::~zoomWorker()
{
    stop();
    wait();
}

void zoomWorker::connectLink(LensLink* link)
{
    if (link_)
        disconnect(this, &zoomWorker::sendDatagram, link_, nullptr);
    link_ = link;
    connect(this, &zoomWorker::sendDatagram, link, &LensLink::sendTo);
}

void zoomWorker::clearState(int focusStep)
{
    for (auto& m : motors_)
        m = false;
    for (auto& p : panTilt_)
        p = false;
    steps_[int(Axis::Zoom)] = 2;
    steps_[int(Axis::Focus)] = focusStep;
    steps_[int(Axis::Iris)] = 1;
    zoomPosition_ = 0;
    focusPosition_ = 0;
    aperture_ = 0;
    for (int i = 0; i < 3; ++i) {
        targets_[i] = 0;
        targetPending_[i] = false;
    }
    for (auto& s : searches_)
        s = false;
    addressChange_ = false;
    std::lock_guard<std::mutex> lock(lock_);
    limits_ = Limits();
    newAddress_.clear();
}

void zoomWorker::pause()
{
    loop_.pause();
}

void zoomWorker::resume()
{
    loop_.resume();
}

void zoomWorker::stop()
{
    loop_.stop();
}

void zoomWorker::reset(const QString& host, LensLink* link)
{
    setHost(host);
    clearState(2);
    connectLink(link);
}

void zoomWorker::setHost(const QString& host)
{
    std::lock_guard<std::mutex> lock(lock_);
    host_ = host;
}

QString zoomWorker::host() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return host_;
}

void zoomWorker::setTarget(Axis axis, int target)
{
    targets_[int(axis)] = target;
    targetPending_[int(axis)] = true;
}

zoomWorker::Limits zoomWorker::limits() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return limits_;
}

bool zoomWorker::changeAddress(const QString& address)
{
    if (!Ipv4::isValid(address))
        return false;
    std::lock_guard<std::mutex> lock(lock_);
    newAddress_ = Ipv4::normalized(address);
    addressChange_ = true;
    return true;
}

void zoomWorker::send(const QByteArray& datagram)
{
    emit sendDatagram(host(), datagram);
}

void zoomWorker::sendCommand(const QString& name, int value)
{
    send(nameValue(name, value));
    loop_.sleep(CommandPauseMs);
}

void zoomWorker::panStep()
{
    if (panTilt_[int(PanTilt::Right)]) {
        send(MoveR);
        loop_.sleep(PanTiltPauseMs);
    }
    if (panTilt_[int(PanTilt::Left)]) {
        send(MoveL);
        loop_.sleep(PanTiltPauseMs);
    }
}

void zoomWorker::tiltStep()
{
    if (panTilt_[int(PanTilt::Down)]) {
        send(MoveD);
        loop_.sleep(PanTiltPauseMs);
    }
    if (panTilt_[int(PanTilt::Up)]) {
        send(MoveU);
        loop_.sleep(PanTiltPauseMs);
    }
}

void zoomWorker::readUDPDatagramsZ(const QString& text)
{
    // A report word without its '=' carries no value.
    if (!hasSection1(text))
        return;
    const QString value = section1(text);
    if (text.contains(QLatin1String("Zoom"))) {
        zoomPosition_ = value.toInt();
        emit zoomValue(zoomPosition_);
    }
    if (text.contains(QLatin1String("Focus")))
        focusPosition_ = value.toInt();
    if (text.contains(QLatin1String("Iris"))) {
        aperture_ = value.toFloat();
        emit irisValue(aperture_);
    }
}

void zoomWorker::run()
{
    if (loop_.takeEarlyStop())
        return;
    // Made here, so that its socket belongs to this thread.
    LensPacketChannel channel([this](PacketQuery query, int position) { packetPosition(query, position); });
    while (loop_.waitWhilePaused()) {
        sendHeldMoves();
        sendChangeIP();
        goToTargets();
        findLimits();
        runPacketWork(channel);
        // Replies of the packet channel are read while the loop waits.
        packetWait(channel, TurnPauseMs);
    }
    loop_.clearStop();
}

void zoomWorker::sendHeldMoves()
{
    for (int i = 0; i < MotorCount && !loop_.isStopping(); ++i) {
        if (motors_[i]) {
            const MoveCommand& c = moveCommands[i];
            sendCommand(QLatin1String(c.name), c.factor * step(c.axis));
        }
    }
}

void zoomWorker::sendChangeIP()
{
    if (!addressChange_ || loop_.isStopping())
        return;
    QString address;
    {
        std::lock_guard<std::mutex> lock(lock_);
        address = newAddress_;
    }
    send(changeIp(address));
    addressChange_ = false;
    if (loop_.sleep(AddressChangeWaitMs))
        emit ipSettingChanged(address);
}

void zoomWorker::goToTargets()
{
    for (Axis axis : {Axis::Zoom, Axis::Focus, Axis::Iris}) {
        if (targetPending_[int(axis)] && !loop_.isStopping())
            driveAxis(axis);
    }
}

void zoomWorker::driveAxis(Axis axis)
{
    const double target = targets_[int(axis)];
    const double position =
        axis == Axis::Zoom ? zoomPosition_.load() : axis == Axis::Focus ? focusPosition_.load() : aperture_.load();
    const double d = target - position;
    const double r = axis == Axis::Focus ? 2.0 : 0.1;
    // The two direction tests overlap below 3: such a drive sends one more
    // command toward the low end before it ends.
    if (d > 3) {
        const int speed = ratioBelow(position, target, r) ? 5 : 2;
        setStep(axis, speed);
        emitStepChange(axis, speed);
        sendCommand(QLatin1String(driveUp[int(axis)]), speed);
    }
    if (d < 3) {
        const int speed = ratioBelow(target, position, r) ? 5 : 2;
        setStep(axis, speed);
        emitStepChange(axis, speed);
        sendCommand(QLatin1String(driveDown[int(axis)]), speed);
    }
    if (d <= 3) {
        targetPending_[int(axis)] = false;
        switch (axis) {
        case Axis::Zoom: emit setZoomDone(); break;
        case Axis::Focus: emit setFocusDone(); break;
        case Axis::Iris: emit setIrisDone(); break;
        }
    }
}

void zoomWorker::emitStepChange(Axis axis, int step)
{
    switch (axis) {
    case Axis::Zoom: emit changeZoomStep(step); break;
    case Axis::Focus: emit changeFocusStep(step); break;
    case Axis::Iris: emit changeIrisStep(step); break;
    }
}

void zoomWorker::findLimits()
{
    // In each pair the second direction runs only when the first is not (or
    // no longer) searching.
    for (int first = 0; first < SearchCount; first += 2) {
        if (searches_[first] && !loop_.isStopping())
            searchStep(Search(first));
        if (!searches_[first] && searches_[first + 1] && !loop_.isStopping())
            searchStep(Search(first + 1));
    }
}

void zoomWorker::searchStep(Search direction)
{
    const SearchDirection& d = searchDirections[int(direction)];
    setMotor(d.fastMotor, true);
    sendCommand(QLatin1String(d.command), 7 * step(d.axis));
    if (!loop_.sleep(SearchWaitMs))
        return;
    emitStepChange(d.axis, step(d.axis));
    if (d.axis == Axis::Iris) {
        const float fNumber = aperture_;
        if (std::abs(fNumber - lastAperture_) >= 3) {
            lastAperture_ = int(fNumber);
            return;
        }
    } else {
        const int position = d.axis == Axis::Zoom ? zoomPosition_.load() : focusPosition_.load();
        if (std::abs(position - lastPosition_) > 2) {
            lastPosition_ = position;
            return;
        }
    }
    if (++stalls_ < 2)
        return;
    {
        std::lock_guard<std::mutex> lock(lock_);
        switch (d.axis) {
        case Axis::Zoom: (d.highEnd ? limits_.zoomHigh : limits_.zoomLow) = zoomPosition_; break;
        case Axis::Focus: (d.highEnd ? limits_.focusHigh : limits_.focusLow) = focusPosition_; break;
        case Axis::Iris: (d.highEnd ? limits_.irisHigh : limits_.irisLow) = aperture_; break;
        }
    }
    searches_[int(direction)] = false;
    setMotor(d.fastMotor, false);
    lastPosition_ = 0;
    stalls_ = 0;
}

void zoomWorker::postPacketWork(PacketWork work)
{
    std::lock_guard<std::mutex> lock(lock_);
    packetWork_.append(std::move(work));
}

void zoomWorker::runPacketWork(LensPacketChannel& channel)
{
    QList<PacketWork> work;
    {
        std::lock_guard<std::mutex> lock(lock_);
        work.swap(packetWork_);
    }
    if (work.isEmpty())
        return;
    channel.setPeer(host(), packetPort_);
    for (const PacketWork& w : qAsConst(work)) {
        if (loop_.isStopping()) {
            qCWarning(lcLensMotor) << "zoomWorker: stopped with" << work.size() << "packet operations queued";
            return;
        }
        w(channel);
    }
}

void zoomWorker::packetWait(LensPacketChannel& channel, int ms)
{
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    while (!loop_.isStopping()) {
        const int left = int(deadline.remainingTime());
        if (left <= 0)
            return;
        const int slice = std::min(left, 20);
        if (!channel.receive(slice))
            loop_.sleep(slice);
    }
}

void zoomWorker::packetPosition(PacketQuery query, int position)
{
    switch (query) {
    case PacketQuery::Zoom:
        zoomPosition_ = position;
        emit zoomValue(position);
        break;
    case PacketQuery::Focus: focusPosition_ = position; break;
    case PacketQuery::Iris:
        aperture_ = float(position);
        emit irisValue(aperture_);
        break;
    }
}

void zoomWorker::tcpSendMove(PacketMove move, quint8 value)
{
    postPacketWork([this, move, value](LensPacketChannel& channel) {
        channel.clearBuffer();
        channel.send(movePacket(move, value));
        packetWait(channel, PacketPauseMs);
    });
}

void zoomWorker::tcpFocusFarPulse()
{
    postPacketWork([this](LensPacketChannel& channel) {
        channel.send(movePacket(PacketMove::FocusFar, 1));
        packetWait(channel, PulseMs);
        channel.send(movePacket(PacketMove::FocusFar, 0));
        packetWait(channel, PacketPauseMs);
    });
}

bool zoomWorker::tcpMoveFor(const QString& name, int ms)
{
    const std::optional<PacketMove> move = packetMoveNamed(name);
    const std::optional<PacketQuery> query = packetQueryNamed(name);
    if (!move || !query) {
        qCWarning(lcLensMotor) << "zoomWorker::tcpMoveFor: no move is named" << name;
        return false;
    }
    postPacketWork([this, move = *move, query = *query, ms](LensPacketChannel& channel) {
        channel.setPendingQuery(query);
        channel.send(movePacket(move, 1));
        packetWait(channel, ms);
        channel.send(movePacket(move, 0));
        packetWait(channel, PacketPauseMs);
        channel.clearBuffer();
        channel.send(queryPacket(query));
        packetWait(channel, PacketPauseMs);
    });
    return true;
}

void zoomWorker::tcpPollStatus()
{
    postPacketWork([this](LensPacketChannel& channel) {
        channel.clearBuffer();
        for (PacketQuery query : {PacketQuery::Zoom, PacketQuery::Focus, PacketQuery::Iris})
            channel.send(queryPacket(query));
        packetWait(channel, PollWaitMs);
    });
}
