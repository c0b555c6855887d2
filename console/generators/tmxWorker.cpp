#include "generators/tmxWorker.h"

#include "TmxRequest.h"
#include "generators/GeneratorHttp.h"
#include "generators/TmxPages.h"

#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

tmxWorker::tmxWorker(const QString& address, QObject* parent) : QThread(parent), m_address(address) {}

tmxWorker::~tmxWorker()
{
    stop();
}

void tmxWorker::stop()
{
    // quit() before the loop runs is kept by QThread, so a stop right after
    // start() still ends run().
    quit();
    wait();
}

void tmxWorker::run()
{
    // Everything here lives on this thread; the replies are handled here too.
    GeneratorHttp http;
    QPointer<QNetworkReply> pending;
    const auto report = [this](QNetworkReply* reply) {
        if (GeneratorHttp::failure(reply).failed()) {
            emit answerStatus(m_address, 2, 2);
            return;
        }
        const auto outputs = TmxPages::readStatusPage(TmxPages::pageText(reply->readAll(), true));
        if (outputs)
            emit answerStatus(m_address, outputs->generator1 ? 1 : 0, outputs->generator2 ? 1 : 0);
    };
    const auto ask = [&] {
        if (m_paused || pending)
            return;
        pending = http.get(m_address, QLatin1String(TmxRequest::StatusPath), PollMs);
        QNetworkReply* reply = pending;
        connect(reply, &QNetworkReply::finished, reply, [reply, &report, &pending] {
            reply->deleteLater();
            pending = nullptr;
            report(reply);
        });
    };
    QTimer poll;
    connect(&poll, &QTimer::timeout, ask);
    poll.start(PollMs);
    ask();
    exec();
    if (pending) {
        // Dropped at the stop, without a report.
        pending->disconnect();
        pending->abort();
    }
}
