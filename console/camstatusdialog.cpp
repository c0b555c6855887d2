#include "camstatusdialog.h"

#include "statusWorker.h"
#include "ui_camStatDlg.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

namespace {

// The status texts a row may show; the list is made wide enough for the
// widest of them at the start (frame counts go up to the form's 10000).
const char* const RowStatuses[] = {"Ready", "Preview", "No Camera", "Captured 10000/10000",
                                   StationStatus::CantConnect, StationStatus::NotAnswering};

} // namespace

camstatusdialog::camstatusdialog(QWidget* parent)
    : QDialog(parent, Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(std::make_unique<Ui::camStatDlg>())
{
    ui->setupUi(this);
    m_captureStart.setSingleShot(true);
    connect(&m_captureStart, &QTimer::timeout, this, &camstatusdialog::checkCaptureStarted);
}

camstatusdialog::~camstatusdialog()
{
    stopWorkers();
}

void camstatusdialog::setCameras(const QStringList& ips, const QStringList& aliases)
{
    stopWorkers();
    ui->listWidget->clear();
    ui->listWidget->setMinimumSize(0, 0);
    m_rows.clear();
    const int count = qMin(ips.size(), aliases.size());
    const QIcon icon(QStringLiteral(":/camstat/1397596073_cctv_camera.png"));
    QString widest;
    for (const char* status : RowStatuses) {
        const QString text = QString::fromLatin1(status);
        if (fontMetrics().horizontalAdvance(text) > fontMetrics().horizontalAdvance(widest))
            widest = text;
    }
    for (int i = 0; i < count; ++i) {
        m_rows.append({ips.at(i), aliases.at(i), false, false, {}});
        new QListWidgetItem(icon, StationStatus::rowText(aliases.at(i), widest), ui->listWidget);
    }
    fitRows();
    for (int i = 0; i < count; ++i)
        ui->listWidget->item(i)->setText(aliases.at(i));
    for (int i = 0; i < count; ++i) {
        auto worker = std::make_unique<statusWorker>(ips.at(i));
        // The worker is the context: a reply still queued when the worker is
        // deleted is dropped with it.
        connect(worker.get(), &statusWorker::answerStatus, worker.get(),
                [this](const QString& ip, const QStringList& texts) { showStatus(ip, texts); });
        worker->start(QThread::InheritPriority);
        m_workers.push_back(std::move(worker));
    }
}

void camstatusdialog::setCaptureRunning(bool on)
{
    m_captureRunning = on;
    for (Row& row : m_rows)
        row.captureSeen = false;
    if (on && !m_workers.empty())
        m_captureStart.start(CaptureStartMs);
    else
        m_captureStart.stop();
}

void camstatusdialog::showStatus(const QString& ip, const QStringList& texts)
{
    emit opened(isVisible());
    if (texts.isEmpty())
        return;
    // A read may hold several replies; the capture may show in an earlier one
    // ("ReadyDone", then "Ready"), the station's state is the latest one.
    const StationStatus::Look latest = StationStatus::look(texts.last());
    bool reportedCapture = false;
    for (const QString& text : texts) {
        const StationStatus::Look look = StationStatus::look(text);
        reportedCapture = reportedCapture || look.capturing || look.captureDone;
    }
    for (int i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        if (row.ip != ip)
            continue;
        row.heard = true;
        row.last = latest;
        row.captureSeen = row.captureSeen || reportedCapture;
        QListWidgetItem* item = ui->listWidget->item(i);
        if (latest.coloured)
            item->setBackground(QBrush(latest.colour));
        const QString text = StationStatus::rowText(row.alias, latest.shown);
        if (item->text() != text) {
            item->setText(text);
            fitWidth(i);
        }
    }
    if (m_rows.isEmpty())
        return;
    bool available = true;
    bool ready = true;
    bool allCaptureSeen = true;
    for (const Row& row : qAsConst(m_rows)) {
        available = available && row.heard && row.last.available;
        ready = ready && row.heard && row.last.ready && (!m_captureRunning || row.captureSeen);
        allCaptureSeen = allCaptureSeen && row.captureSeen;
    }
    if (allCaptureSeen)
        m_captureStart.stop();
    if (available)
        emit availableSignal(true);
    if (ready)
        emit readyAllSignal();
}

void camstatusdialog::checkCaptureStarted()
{
    QStringList late;
    for (const Row& row : qAsConst(m_rows)) {
        if (!row.captureSeen)
            late << row.alias;
    }
    if (m_captureRunning && !late.isEmpty())
        emit captureNotStarted(late);
}

void camstatusdialog::fitRows()
{
    QListWidget* list = ui->listWidget;
    const int frame = 2 * list->frameWidth();
    const int rowsHeight = qMax(1, list->count()) * qMax(1, list->sizeHintForRow(0)) + frame;
    const QMargins margins = layout()->contentsMargins();
    const int room = screen()->availableGeometry().height() - frameHeight() - margins.top() - margins.bottom();
    m_scrollBarWidth = rowsHeight > room ? list->verticalScrollBar()->sizeHint().width() : 0;
    list->setMinimumWidth(list->sizeHintForColumn(0) + frame + m_scrollBarWidth);
    list->setMinimumHeight(qMin(rowsHeight, room));
}

void camstatusdialog::fitWidth(int row)
{
    QListWidget* list = ui->listWidget;
    const int width = list->sizeHintForIndex(list->model()->index(row, 0)).width() + 2 * list->frameWidth()
                      + m_scrollBarWidth;
    if (width > list->minimumWidth())
        list->setMinimumWidth(width);
}

int camstatusdialog::frameHeight() const
{
    // Known from the window system once the dialog has been shown; until
    // then, a title bar's height stands for it.
    const int known = frameGeometry().height() - height();
    return known > 0 ? known : style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
}

void camstatusdialog::moveBeside(const QWidget& window)
{
    layout()->activate(); // the dialog takes the size its rows need now, not when shown
    const QRect screen = window.screen()->availableGeometry();
    const int highest = screen.bottom() + 1 - frameHeight() - height();
    move(window.x() + window.width() + 20, qMax(screen.top(), qMin(window.y(), highest)));
}

void camstatusdialog::stopWorkers()
{
    // All asked first, so that they end side by side.
    for (const auto& worker : m_workers)
        worker->quit();
    m_workers.clear(); // each destructor waits for its thread
    m_captureStart.stop(); // nobody reports any more
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
