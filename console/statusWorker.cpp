#include "statusWorker.h"

#include "StationPoll.h"

#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcStatus, "kessane.console.status")

statusWorker::statusWorker(const QString& ip, QObject* parent) : QThread(parent), m_ip(ip) {}

statusWorker::~statusWorker()
{
    stop();
}

void statusWorker::stop()
{
    quit(); // an event loop not yet entered returns at once
    wait();
}

void statusWorker::run()
{
    // Everything here lives on this thread and goes with it.
    StationPoll station(m_ip);
    connect(&station, &StationPoll::status, this, &statusWorker::answerStatus);
    QTimer beat;
    connect(&beat, &QTimer::timeout, &station, &StationPoll::beat);
    beat.start(PauseMs);
    station.beat();
    exec();
}
