#include "generators/GeneratorHttp.h"

#include "TmxRequest.h"
#include "generators/TmxPages.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace {

// Why the request was given up (a property of the reply).
const char* const GivenUp = "kessane.givenUp";

void giveUp(QNetworkReply* reply, const QString& why)
{
    if (reply->isFinished())
        return;
    reply->setProperty(GivenUp, why);
    reply->abort();
}

} // namespace

GeneratorHttp::GeneratorHttp(QObject* parent) : QObject(parent)
{
    // The generators sit on the set-up's own network, never behind a proxy.
    m_manager.setProxy(QNetworkProxy::NoProxy);
}

QNetworkReply* GeneratorHttp::get(const QString& address, const QString& pathAndQuery, int timeoutMs)
{
    QNetworkReply* reply = m_manager.get(QNetworkRequest(QUrl(TmxRequest::url(address, pathAndQuery))));
    // One byte more than a page may have, so that an oversized one shows.
    reply->setReadBufferSize(TmxPages::MaxPageBytes + 1);
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > TmxPages::MaxPageBytes)
            giveUp(reply, tr("the answer is larger than %1 bytes").arg(TmxPages::MaxPageBytes));
    });
    auto* watchdog = new QTimer(reply);
    watchdog->setSingleShot(true);
    watchdog->setTimerType(Qt::PreciseTimer);
    connect(watchdog, &QTimer::timeout, reply, [reply, timeoutMs] {
        giveUp(reply, tr("no answer within %1 ms").arg(timeoutMs));
    });
    watchdog->start(timeoutMs);
    return reply;
}

QString GeneratorHttp::failure(QNetworkReply* reply)
{
    const QString givenUp = reply->property(GivenUp).toString();
    if (!givenUp.isEmpty())
        return givenUp;
    const QNetworkReply::NetworkError error = reply->error();
    // Content (2xx codes) and server (4xx codes) errors are HTTP answers.
    const bool answered = error == QNetworkReply::NoError
                          || (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
                              && ((error >= 201 && error <= 299) || (error >= 401 && error <= 499)));
    return answered ? QString() : reply->errorString();
}
