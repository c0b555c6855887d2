#include "generators/TmxApply.h"

#include "EventWait.h"
#include "Prompt.h"
#include "generators/GeneratorHttp.h"

#include <QLoggingCategory>
#include <QNetworkReply>
#include <QWidget>

Q_LOGGING_CATEGORY(lcApply, "kessane.console.generators")

namespace {

QString withLine(const QString& text, const QString& line)
{
    return line.isEmpty() ? text : text + QLatin1Char('\n') + line;
}

} // namespace

TmxApply::TmxApply(QWidget* boxParent, const QString& warningTitle, const QString& warningText)
    : QObject(boxParent), m_boxParent(boxParent), m_warningTitle(warningTitle), m_warningText(warningText),
      m_http(new GeneratorHttp(this))
{
}

void TmxApply::send(const QString& address, const QString& pathAndQuery, const QString& ifNotTaken)
{
    m_done = false;
    m_taken = false;
    const quint64 request = ++m_current;
    if (address.isEmpty()) {
        // No generator chosen yet: nothing to ask, the user is told so.
        qCWarning(lcApply) << "TmxApply: no generator to send" << pathAndQuery << "to";
        const QString text = withLine(withLine(m_warningText, tr("No TMX address is set.")), ifNotTaken);
        QMetaObject::invokeMethod(this, [this, request, text] { warn(request, text); }, Qt::QueuedConnection);
        return;
    }
    QNetworkReply* reply = m_http->get(address, pathAndQuery, WatchdogMs);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, address, ifNotTaken, request] { finished(reply, address, ifNotTaken, request); });
}

void TmxApply::finished(QNetworkReply* reply, const QString& address, const QString& ifNotTaken, quint64 request)
{
    reply->deleteLater();
    const GeneratorHttp::Failure failure = GeneratorHttp::failure(reply);
    if (!failure.failed()) {
        if (request == m_current)
            m_taken = m_done = true;
        return;
    }
    qCWarning(lcApply) << "TmxApply:" << reply->url().toString() << failure.detail;
    const QString text =
        failure.refused() ? tr("TMX %1 refused the settings: it answered %2.").arg(address, failure.detail)
                          : withLine(m_warningText, tr("TMX %1: %2").arg(address, failure.detail));
    QMetaObject::invokeMethod(
        this, [this, request, text = withLine(text, ifNotTaken)] { warn(request, text); }, Qt::QueuedConnection);
}

void TmxApply::warn(quint64 request, const QString& text)
{
    Prompt::current().message(m_boxParent, Prompt::Warning, m_warningTitle, text);
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
