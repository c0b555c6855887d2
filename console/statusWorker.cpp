#include "statusWorker.h"

#include "StationPoll.h"

#include <QLoggingCategory>
#include <QTimer>

#include <memory>
#include <vector>

Q_LOGGING_CATEGORY(lcStatus, "kessane.console.status")

statusWorker::statusWorker(const QStringList& ips, QObject* parent) : QThread(parent), m_ips(ips) {}

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
    std::vector<std::unique_ptr<StationPoll>> stations;
    for (const QString& ip : m_ips) {
        stations.push_back(std::make_unique<StationPoll>(ip));
        connect(stations.back().get(), &StationPoll::status, this, &statusWorker::answerStatus);
    }
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer); // one beat for all: no slack to spread them
    connect(&beat, &QTimer::timeout, [&] {
        for (const auto& station : stations)
            station->beat();
    });
    beat.start(PauseMs);
    for (const auto& station : stations)
        station->beat();
    exec();
}
