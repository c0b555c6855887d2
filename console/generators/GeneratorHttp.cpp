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
    // A generator that points elsewhere has not done what it was asked.
    m_manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
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

GeneratorHttp::Failure GeneratorHttp::failure(QNetworkReply* reply)
{
    const QString givenUp = reply->property(GivenUp).toString();
    if (!givenUp.isEmpty())
        return {Failure::Kind::NoAnswer, givenUp};
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.toInt();
    if (status.isValid() && (code < 200 || code > 299)) {
        const QString reason =
            QString::fromLatin1(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
        return {Failure::Kind::Refused, QStringLiteral("%1 %2").arg(code).arg(reason).trimmed()};
    }
    if (reply->error() != QNetworkReply::NoError)
        return {Failure::Kind::NoAnswer, reply->errorString()};
    return {};
}
