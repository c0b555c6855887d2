#include "runs/TmxLink.h"

#include "Prompt.h"
#include "TmxRequest.h"
#include "runs/TmxSettings.h"

#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QNetworkReply>
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
    address_ = ip;
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
        Prompt::current().message(boxParent_, Prompt::Warning, tr("TMX settings error"),
                                  tr("TMX %1 was not programmed: %2").arg(address_, why));
        return false;
    }
    send(pathAndQuery);
    return true;
}

void TmxLink::TryingTMX()
{
    watchdog_.start(WatchdogMs);
}

void TmxLink::send(const QString& pathAndQuery)
{
    const QUrl url(TmxRequest::url(address_, pathAndQuery));
    manager_.get(QNetworkRequest(url));
    TryingTMX();
}

void TmxLink::finishedSlot(QNetworkReply* reply)
{
    if (reply->error() == QNetworkReply::NoError)
        watchdog_.stop();
    else
        qCInfo(lcTmx) << "finishedSlot:" << reply->url().toString() << reply->errorString();
    reply->deleteLater();
}

void TmxLink::stopTryingTMX()
{
    watchdog_.stop();
    // Requests the generator never answered would otherwise pile up on its
    // connections; they are given up together with the report.
    for (QNetworkReply* reply : manager_.findChildren<QNetworkReply*>()) {
        if (reply->isRunning())
            reply->abort();
    }
    qCWarning(lcTmx) << "stopTryingTMX: no answer from" << address_;
    Prompt::current().message(boxParent_, Prompt::Critical, tr("TMX connection problem"),
                              tr("TMX %1 is unreachable!").arg(address_));
}
