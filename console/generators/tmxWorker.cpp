#include "generators/tmxWorker.h"

tmxWorker::tmxWorker(const QString& address, QObject* parent) : QThread(parent), m_address(address) {}

tmxWorker::~tmxWorker()
{
    stop();
}

void tmxWorker::stop()
{
    requestInterruption();
    wait();
}

void tmxWorker::run() {}
