#include "runs/TmxLink.h"

#include "Prompt.h"
#include "TmxRequest.h"
#include "runs/TmxSettings.h"

#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QSettings>

Q_LOGGING_CATEGORY(lcTmx, "kessane.station.tmx")

TmxLink::TmxLink(QObject* parent) : QObject(parent)
{
    // The generator sits on the station's own network, never behind a proxy.
    manager_.setProxy(QNetworkProxy::NoProxy);
    watchdog_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the user is promised a second.
    watchdog_.setTimerType(Qt::PreciseTimer);
    connect(&manager_, &QNetworkAccessManager::finished, this, &TmxLink::finishedSlot);
    connect(&watchdog_, &QTimer::timeout, this, &TmxLink::stopTryingTMX);
}

void TmxLink::setBoxParent(QWidget* parent)
{
    boxParent_ = parent;
}

void TmxLink::setTMXIP(const QString& ip, bool externallyTriggered)
{
    if (ip.isEmpty()) {
        controlling_ = false;
        return;
    }
    externallyTriggered_ = externallyTriggered;
    controlling_ = true;
    if (ip != address_) {
        // The failures logged were the old generator's.
        endFailures();
        address_ = ip;
    }
    reported_ = false;
    send(QLatin1String(TmxRequest::StatusPath));
    QSettings settings(QStringLiteral("Kessane"), QStringLiteral("Lumivar"));
    settings.setValue(QLatin1String(TmxSettings::LastIpKey), ip);
    settings.setValue(QLatin1String(TmxSettings::LastExtKey), externallyTriggered);
    settings.sync();
}

void TmxLink::sendTMXRun()
{
    send(QLatin1String(TmxRequest::RunPath));
}

bool TmxLink::sendTMXProgram(double period, quint64 pulses, double ledStart, double ledWidth,
                             double delay, double exposure)
{
    const TmxRequest::Program program{period, pulses, ledStart, ledWidth, delay, exposure,
                                      externallyTriggered_};
    QString why;
    const QString pathAndQuery = TmxRequest::programPathAndQuery(program, &why);
    if (pathAndQuery.isEmpty()) {
        qCWarning(lcTmx) << "sendTMXProgram: not sent:" << why;
        emit requestFailed(++requests_);
        Prompt::current().message(boxParent_, Prompt::Warning, tr("TMX settings error"),
                                  tr("TMX %1 was not programmed: %2").arg(address_, why));
        return false;
    }
    send(pathAndQuery);
    return true;
}

void TmxLink::newRun()
{
    reported_ = false;
}

void TmxLink::TryingTMX()
{
    watchdog_.start(WatchdogMs);
}

void TmxLink::send(const QString& pathAndQuery)
{
    const QUrl url(TmxRequest::url(address_, pathAndQuery));
    QNetworkReply* reply = manager_.get(QNetworkRequest(url));
    // Network data waits in the socket, not in the reply, until it is read.
    reply->setReadBufferSize(64 * 1024);

    // Each request has its own second: a run sends one for every frame shown,
    // and a silent generator must not be hidden behind the next request.
    auto* deadline = new QTimer(this);
    deadline->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the generator is promised a second.
    deadline->setTimerType(Qt::PreciseTimer);
    pending_.insert(deadline, ++requests_);
    const QPointer<QNetworkReply> waiting(reply);
    connect(deadline, &QTimer::timeout, this, [this, deadline, waiting] {
        if (waiting) // given up; its connection is freed for the next request
            waiting->abort();
        expired(deadline);
    });
    const QPointer<QTimer> until(deadline);
    // Only a success status is an answer: an error page or a redirect is
    // not the generator doing what it was asked.
    const auto succeeded = [reply] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return status >= 200 && status < 300;
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, succeeded, until] {
        if (succeeded())
            answered(until);
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, read = qint64(0)]() mutable {
        read += reply->skip(reply->bytesAvailable());
        if (read > MaxBodyBytes) {
            qCWarning(lcTmx) << "send:" << reply->url().toString() << "answered with more than" << MaxBodyBytes
                             << "bytes; the rest is not read";
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, succeeded, until] {
        if (reply->error() == QNetworkReply::NoError && succeeded())
            answered(until);
    });
    deadline->start(WatchdogMs);
}

void TmxLink::answered(QTimer* deadline)
{
    watchdog_.stop();
    endFailures();
    // Null once answered; expired ones are no longer pending.
    if (!deadline || !pending_.remove(deadline))
        return;
    delete deadline;
    emit settled();
}

void TmxLink::expired(QTimer* deadline)
{
    const quint64 request = pending_.take(deadline);
    deadline->deleteLater(); // its own timeout is running
    stopTryingTMX();
    emit requestFailed(request);
    emit settled();
}

bool TmxLink::settledUpTo(quint64 request) const
{
    for (const quint64 waiting : pending_)
        if (waiting <= request)
            return false;
    return true;
}

void TmxLink::finishedSlot(QNetworkReply* reply)
{
    // Cancelled here (deadline passed, body too long): logged already.
    if (reply->error() != QNetworkReply::NoError && reply->error() != QNetworkReply::OperationCanceledError) {
        if (const RepeatedFailure::Line line = failedReplies_.occurred())
            failedReplies_.log(lcTmx(), QStringLiteral("finishedSlot: %1 %2").arg(reply->url().toString(),
                                                                                   reply->errorString()),
                               line, QtInfoMsg);
    }
    reply->deleteLater();
}

void TmxLink::stopTryingTMX()
{
    watchdog_.stop();
    if (const RepeatedFailure::Line line = unanswered_.occurred())
        unanswered_.log(lcTmx(), QStringLiteral("stopTryingTMX: no answer from %1").arg(address_), line);
    // Within a run the user hears of it once. A timer's handler, maybe run
    // inside the frame slot: the box must not hold the run.
    if (reported_)
        return;
    reported_ = true;
    const Prompt::NoWait noWait;
    Prompt::current().message(boxParent_, Prompt::Critical, tr("TMX connection problem"),
                              tr("TMX %1 is unreachable!").arg(address_));
}

void TmxLink::endFailures()
{
    if (const RepeatedFailure::Line line = unanswered_.ended())
        unanswered_.log(lcTmx(), QStringLiteral("stopTryingTMX: no answer from %1").arg(address_), line);
    if (const RepeatedFailure::Line line = failedReplies_.ended())
        failedReplies_.log(lcTmx(), QStringLiteral("finishedSlot: requests to %1 failed").arg(address_), line,
                           QtInfoMsg);
}
