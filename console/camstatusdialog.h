#pragma once

#include "StationStatus.h"

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <memory>
#include <vector>

class statusWorker;

namespace Ui {
class camStatDlg;
}

// The list of stations with the colour of each one's latest status, polled by
// one statusWorker per station while the dialog is open. Ready and available are judged
// whenever a station's status changes, on the latest status of every row,
// so with several stations the main window hears them once all stations
// agree. While a capture runs, a station counts as ready only once it has
// reported the capture (a capture state or "ReadyDone") since it started; a
// station that has not within CaptureStartMs is named by captureNotStarted.
class camstatusdialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int CaptureStartMs = 5000;

    explicit camstatusdialog(QWidget* parent = nullptr);
    ~camstatusdialog() override;

    // Rebuilds the rows and their workers (the old workers are stopped first).
    // Rows are made for the stations that have both an address and an alias.
    void setCameras(const QStringList& ips, const QStringList& aliases);

    // Written by the main window when a capture starts or stops.
    void setCaptureRunning(bool on);
    bool captureRunning() const { return m_captureRunning; }

    int workerCount() const { return int(m_workers.size()); }

    // Moves the dialog to the right of `window`, at its height, or higher
    // where the list would otherwise end below the screen.
    void moveBeside(const QWidget& window);

signals:
    void readyAllSignal();
    void availableSignal(bool);
    void opened(bool);
    // The aliases of the stations that did not report the capture in time.
    void captureNotStarted(const QStringList& aliases);

private slots:
    void showStatus(const QString& ip, const QStringList& texts);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void stopWorkers();
    void checkCaptureStarted();
    // Sizes the list to its rows, each showing the widest status text a row
    // may show; once, when the rows are made. Rows that need more than the
    // screen's height get what it has, and a scroll bar.
    void fitRows();
    // Widens the list (never narrows it) so that this row's text shows whole.
    // Measuring a row costs; only a row whose text changed is measured.
    void fitWidth(int row);
    // What the window's frame adds to the dialog's height.
    int frameHeight() const;

    struct Row
    {
        QString ip;
        QString alias;
        bool heard = false;          // a status has arrived since setCameras
        bool captureSeen = false;    // the capture was reported since it started
        StationStatus::Look last;
    };

    std::unique_ptr<Ui::camStatDlg> ui;
    std::vector<std::unique_ptr<statusWorker>> m_workers; // one per row
    QVector<Row> m_rows;
    int m_scrollBarWidth = 0; // while the list scrolls
    bool m_captureRunning = false;
    QTimer m_captureStart;
};
