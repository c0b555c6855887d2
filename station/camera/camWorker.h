#pragma once

#include <QObject>

class NqSystem;

// Runs a camera discovery on the system object of the search dialog.
class camWorker : public QObject
{
    Q_OBJECT

public:
    explicit camWorker(NqSystem* system);

public slots:
    // Discovery with a 500 ms detection time-out; blocks the caller that long.
    void camReload();

signals:
    // Discovery finished; true when the camera SDK reported success.
    void resultSignal(bool ok);

private:
    NqSystem* m_system;
};
