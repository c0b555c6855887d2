#include "pingWorker.h"

#include "LensLink.h"
#include "LensProtocol.h"

pingWorker::pingWorker(const QString& host, LensLink* link, QObject* parent) : QThread(parent), host_(host)
{
    connect(this, &pingWorker::sendDatagram, link, &LensLink::sendTo);
}

pingWorker::~pingWorker()
{
    stop();
    wait();
}

void pingWorker::pause()
{
    loop_.pause();
}

void pingWorker::resume()
{
    missCount_ = 0;
    loop_.resume();
}

void pingWorker::stop()
{
    loop_.stop();
}

void pingWorker::setHost(const QString& host)
{
    std::lock_guard<std::mutex> lock(hostLock_);
    host_ = host;
}

QString pingWorker::host() const
{
    std::lock_guard<std::mutex> lock(hostLock_);
    return host_;
}

void pingWorker::pingOnce()
{
    emit sendDatagram(host(), QByteArray(LensProtocol::Ping));
    if (++missCount_ > 1)
        emit cantsendping(QStringLiteral("ERROR"));
}

void pingWorker::run()
{
    if (loop_.takeEarlyStop())
        return;
    while (loop_.waitWhilePaused()) {
        pingOnce();
        loop_.sleep(PeriodMs);
    }
    loop_.clearStop();
}
