#include "generators/TmxApply.h"

#include "EventWait.h"
#include "Prompt.h"
#include "generators/GeneratorHttp.h"

#include <QLoggingCategory>
#include <QNetworkReply>
#include <QWidget>

Q_LOGGING_CATEGORY(lcApply, "kessane.console.generators")

TmxApply::TmxApply(QWidget* boxParent, const QString& warningTitle, const QString& warningText)
    : QObject(boxParent), m_boxParent(boxParent), m_warningTitle(warningTitle), m_warningText(warningText),
      m_http(new GeneratorHttp(this))
{
}

void TmxApply::send(const QString& address, const QString& pathAndQuery)
{
    m_done = false;
    const quint64 request = ++m_current;
    if (address.isEmpty()) {
        // No generator chosen yet: nothing to ask, the user is told so.
        qCWarning(lcApply) << "TmxApply: no generator to send" << pathAndQuery << "to";
        const QString detail = tr("No TMX address is set.");
        QMetaObject::invokeMethod(this, [this, request, detail] { warn(request, detail); }, Qt::QueuedConnection);
        return;
    }
    QNetworkReply* reply = m_http->get(address, pathAndQuery, WatchdogMs);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, address, request] { finished(reply, address, request); });
}

void TmxApply::finished(QNetworkReply* reply, const QString& address, quint64 request)
{
    reply->deleteLater();
    const QString failure = GeneratorHttp::failure(reply);
    if (failure.isEmpty()) {
        if (request == m_current)
            m_done = true;
        return;
    }
    qCWarning(lcApply) << "TmxApply:" << reply->url().toString() << failure;
    const QString detail = tr("TMX %1: %2").arg(address, failure);
    QMetaObject::invokeMethod(this, [this, request, detail] { warn(request, detail); }, Qt::QueuedConnection);
}

void TmxApply::warn(quint64 request, const QString& detail)
{
    Prompt::current().message(m_boxParent, Prompt::Warning, m_warningTitle, m_warningText + QLatin1Char('\n') + detail);
    if (request == m_current)
        m_done = true;
}

bool TmxApply::waitForDone(EventWait& wait)
{
    // The reply ends within the watchdog's time; a warning box holds the
    // wait only as long as the user leaves it open.
    const int bound = 2 * WatchdogMs;
    switch (wait.waitUntil([this] { return m_done; }, bound)) {
    case EventWait::Until::Cancelled:
        return false; // the program is quitting
    case EventWait::Until::TimedOut:
        qCWarning(lcApply) << "TmxApply: no outcome within" << bound << "ms; going on";
        break;
    case EventWait::Until::Done:
        break;
    }
    return true;
}
