#include "camstatusdialog.h"

#include "statusWorker.h"
#include "ui_camStatDlg.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>

camstatusdialog::camstatusdialog(QWidget* parent)
    : QDialog(parent, Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(std::make_unique<Ui::camStatDlg>())
{
    ui->setupUi(this);
}

camstatusdialog::~camstatusdialog()
{
    stopWorkers();
}

void camstatusdialog::setCameras(const QStringList& ips, const QStringList& aliases)
{
    stopWorkers();
    ui->listWidget->clear();
    m_rows.clear();
    const int count = qMin(ips.size(), aliases.size());
    const QIcon icon(QStringLiteral(":/camstat/1397596073_cctv_camera.png"));
    for (int i = 0; i < count; ++i) {
        m_rows.append({ips.at(i), aliases.at(i), false, {}});
        new QListWidgetItem(icon, aliases.at(i), ui->listWidget);
        auto* worker = new statusWorker(ips.at(i));
        // The worker is the context: a reply still queued when the worker is
        // deleted is dropped with it.
        connect(worker, &statusWorker::answerStatus, worker,
                [this](const QString& ip, const QString& status) { showStatus(ip, status); });
        m_workers.append(worker);
        worker->start(QThread::InheritPriority);
    }
}

void camstatusdialog::showStatus(const QString& ip, const QString& status)
{
    emit opened(isVisible());
    const StationStatus::Look look = StationStatus::look(status);
    for (int i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        if (row.ip != ip)
            continue;
        row.heard = true;
        row.last = look;
        QListWidgetItem* item = ui->listWidget->item(i);
        if (look.coloured)
            item->setBackground(QBrush(look.colour));
        item->setText(StationStatus::rowText(row.alias, look.shown));
    }
    if (m_rows.isEmpty())
        return;
    bool available = true;
    bool ready = true;
    for (const Row& row : qAsConst(m_rows)) {
        available = available && row.heard && row.last.available;
        ready = ready && row.heard && row.last.ready;
    }
    if (available)
        emit availableSignal(true);
    if (ready)
        emit readyAllSignal();
}

void camstatusdialog::stopWorkers()
{
    // Ask all first, then wait for each: the waits overlap.
    for (statusWorker* worker : qAsConst(m_workers))
        worker->quit();
    qDeleteAll(m_workers); // each destructor waits for its thread
    m_workers.clear();
}

void camstatusdialog::closeEvent(QCloseEvent* event)
{
    stopWorkers();
    emit opened(false);
    event->accept();
}

void camstatusdialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
