#pragma once

#include "StationStatus.h"

#include <QDialog>
#include <QStringList>
#include <QVector>

#include <memory>

class statusWorker;

namespace Ui {
class camStatDlg;
}

// The list of stations with the colour of each one's latest status, polled by
// one statusWorker per station while the dialog is open. Ready and available
// come from the latest status of every row, so with several stations the
// main window hears them once all stations agree.
class camstatusdialog : public QDialog
{
    Q_OBJECT

public:
    explicit camstatusdialog(QWidget* parent = nullptr);
    ~camstatusdialog() override;

    // Rebuilds the rows and their workers (the old workers are stopped first).
    // Rows are made for the stations that have both an address and an alias.
    void setCameras(const QStringList& ips, const QStringList& aliases);

    // Written by the main window when a capture starts or stops.
    void setCaptureRunning(bool on) { m_captureRunning = on; }
    bool captureRunning() const { return m_captureRunning; }

    int workerCount() const { return m_workers.size(); }

signals:
    void readyAllSignal();
    void availableSignal(bool);
    void opened(bool);

private slots:
    void showStatus(const QString& ip, const QString& status);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void stopWorkers();

    struct Row
    {
        QString ip;
        QString alias;
        bool heard = false; // a status has arrived since setCameras
        StationStatus::Look last;
    };

    std::unique_ptr<Ui::camStatDlg> ui;
    QVector<statusWorker*> m_workers;
    QVector<Row> m_rows;
    bool m_captureRunning = false;
};
