// The lens dialog: construction, the connection to a controller, the
// controller's replies, closing, and the bounded waits of its sequences.
// Controls, presets and autofocus live in the focusDlg_*.cpp files.

#include "focusDlg.h"

#include "LensLink.h"
#include "LensProtocol.h"
#include "Prompt.h"
#include "pingWorker.h"
#include "ui_focusDlg.h"

#include "Ipv4.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QProgressDialog>
#include <QShortcut>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcLensDialog, "kessane.lens.dialog")

namespace {
const QString AddressKey = QStringLiteral("LC_IP");
const QString DefaultAddress = QStringLiteral("192.168.2.252");
constexpr int PingerResumeDelayMs = 10;
} // namespace

focusDlg::focusDlg(QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::focusDialog_2>()),
      m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kessane"), QStringLiteral("Focalis"))
{
    QElapsedTimer monotonic;
    monotonic.start();
    m_clock = [monotonic] { return monotonic.elapsed(); };

    ui->setupUi(this);
    m_ranges = {ui->label_20->text(), ui->label_18->text(), ui->label_22->text(), ui->label_21->text()};
    raise();
    ui->label->setStyleSheet(QStringLiteral("color: darkgray"));
    m_settings.sync();

    buildConnectProgress();
    disableControls();
    bindLink();
    connectControls();
    connect(this, &focusDlg::isProductCorrect, this, &focusDlg::initSettings);

    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this, this, &focusDlg::sendReboot2LC);
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F10), this, this, &focusDlg::doAutoFocus);
}

focusDlg::~focusDlg()
{
    // Before the link they send through goes.
    stopWorkers();
}

void focusDlg::buildConnectProgress()
{
    m_connectProgress = new QProgressDialog(QStringLiteral("Connecting.."), QStringLiteral("Stop"), 0, 0, this,
                                            Qt::Window | Qt::CustomizeWindowHint);
    // A progress dialog shows itself after a while unless reset; this one
    // shows only while a handshake runs.
    m_connectProgress->reset();
    m_connectProgress->hide();
    connect(m_connectProgress, &QProgressDialog::canceled, this, &focusDlg::stopConnecting);
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &focusDlg::initSettings);
}

void focusDlg::bindLink()
{
    m_link = new LensLink(this);
    if (!m_link->bind())
        qCWarning(lcLensDialog) << "focusDlg: the lens socket is not bound yet:" << m_link->errorString();
    connect(m_link, &LensLink::replyReceived, this,
            [this](const QString&, const LensReplyEffects& effects) { applyReply(effects); });
}

void focusDlg::getLCIP()
{
    m_address = m_settings.value(AddressKey, DefaultAddress).toString();
    QString answer;
    if (!Prompt::current().getText(this, QStringLiteral("Set Brevan IP:"), QStringLiteral("IP:"), m_address, &answer))
        answer.clear();
    acceptAddress(answer);
}

bool focusDlg::connectLC(const QString& ip)
{
    return acceptAddress(ip);
}

bool focusDlg::acceptAddress(const QString& ip)
{
    if (ip.isEmpty() || !Ipv4::isValid(ip)) {
        Prompt::current().message(this, Prompt::Information, QStringLiteral("KT3 Error"),
                                  QStringLiteral("Wrong or empty IP!"));
        m_address.clear();
        return false;
    }
    if (!isKessaneProduct(ip))
        return false;
    m_settings.setValue(AddressKey, ip);
    m_settings.sync();
    return true;
}

bool focusDlg::isKessaneProduct(const QString& ip)
{
    m_address = ip;
    if (!m_link->isBound() && !m_link->bind()) {
        Prompt::current().message(this, Prompt::Warning, QStringLiteral("Connecting Error"),
                                  m_link->errorString().toHtmlEscaped());
        return false;
    }
    m_link->setController(ip);
    m_connectProgress->setLabelText(QStringLiteral("Connecting to %1").arg(ip));
    m_connectProgress->setWindowModality(Qt::WindowModal);
    m_connectProgress->show();
    m_identified = false;
    m_link->send(LensProtocol::Ver);
    m_connectTimer.start(IdentityWaitMs);
    return true;
}

void focusDlg::stopConnecting()
{
    m_connectTimer.stop();
    m_connectProgress->hide();
    disableControls();
}

void focusDlg::initSettings()
{
    if (!m_identified) {
        stopConnecting();
        Prompt::current().message(this, Prompt::Warning, QStringLiteral("Connecting Error"),
                                  QStringLiteral("Can't find <b>Kessane Orvane Controller</b> on <b>%1</b>")
                                      .arg(m_address.toHtmlEscaped()));
        return;
    }
    m_identified = false;
    m_connectTimer.stop();
    m_connectProgress->hide();
    replaceWorkers();
    enableControls();
}

void focusDlg::replaceWorkers()
{
    stopWorkers();
    m_pinger = new pingWorker(m_address, m_link, this);
    m_motor = new zoomWorker(m_address, m_link, this);
    m_motor->setZoomPosition(m_zoomPosition);
    m_motor->setFocusPosition(m_focusPosition);
    m_motor->setAperture(m_aperture);
    connect(m_motor, &zoomWorker::irisValue, this, &focusDlg::irisUpdateVal);
    connect(m_pinger, &pingWorker::cantsendping, this, &focusDlg::pingError);
    m_motor->start();
    m_pinger->start();
}

void focusDlg::stopWorkers()
{
    // Each worker's destructor stops its loop and waits for its thread.
    if (m_pinger)
        m_pinger->pause();
    if (m_motor)
        m_motor->pause();
    delete m_pinger;
    m_pinger = nullptr;
    delete m_motor;
    m_motor = nullptr;
}

void focusDlg::pausePinger()
{
    if (m_pinger)
        m_pinger->pause();
}

void focusDlg::resumePinger()
{
    if (m_pinger)
        m_pinger->resume();
}

// Runs in the link's socket handler: nothing here opens a box or waits.
void focusDlg::applyReply(const LensReplyEffects& e)
{
    const LensState& state = m_link->state();
    if (m_lost)
        showControllerAgain();
    if (e.identified) {
        m_identified = true;
        ui->label->setText(LensReplyParser::deviceLabel(state));
        emit isProductCorrect(true);
        QTimer::singleShot(PingerResumeDelayMs, this, &focusDlg::resumePinger);
    }
    if (e.lensText)
        m_lensText = *e.lensText;
    if (e.zoomPosition)
        m_zoomPosition = *e.zoomPosition;
    if (e.focusUpdate)
        focusUpdateVal(*e.focusUpdate);
    if (e.apertureUpdate)
        irisUpdateVal(*e.apertureUpdate);
    if (e.closeLabel || e.openLabel || e.farLabel || e.nearLabel) {
        m_ranges.close = e.closeLabel.value_or(m_ranges.close);
        m_ranges.open = e.openLabel.value_or(m_ranges.open);
        m_ranges.far = e.farLabel.value_or(m_ranges.far);
        m_ranges.near = e.nearLabel.value_or(m_ranges.near);
        showRanges();
    }
    if (e.deviceLabel)
        ui->label->setText(*e.deviceLabel);
    if (e.af)
        m_af = *e.af;
    if (e.controllerName) {
        m_controllerName = *e.controllerName;
        ui->label->setToolTip(m_controllerName);
    }
    if (e.focusDone)
        m_focusDone = true;
    if (e.irisDone)
        m_irisDone = true;
    if (e.focusReport) {
        if (m_motor)
            m_motor->setFocusPosition(*e.focusReport);
        focusUpdateVal(*e.focusReport);
        m_focusReply = true;
    }
    if (e.irisReport) {
        if (m_motor)
            m_motor->setAperture(*e.irisReport);
        irisUpdateVal(*e.irisReport);
    }
    if (e.enableControls)
        enableControls();
    if (e.resumePinger)
        resumePinger();
    if (e.pingerMissBack && m_pinger)
        m_pinger->missBack();
}

void focusDlg::showControllerAgain()
{
    m_lost = false;
    showRanges();
    ui->label->setText(LensReplyParser::deviceLabel(m_link->state()));
    enableControls();
    qCInfo(lcLensDialog) << "The lens controller at" << m_address << "answers again";
}

void focusDlg::showRanges()
{
    ui->label_20->setText(m_ranges.far);
    ui->label_18->setText(m_ranges.near);
    ui->label_22->setText(m_ranges.close);
    ui->label_21->setText(m_ranges.open);
}

void focusDlg::closeEvent(QCloseEvent* event)
{
    emit focusClosed();
    pausePinger();
    hide();
    event->accept();
}

void focusDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape) {
        QDialog::keyPressEvent(event);
        return;
    }
    emit focusClosed();
    pausePinger();
    hide();
    event->accept();
}

bool focusDlg::beginSequence(Caller caller, const char* what)
{
    if (m_sequenceRunning) {
        if (caller == Caller::User)
            Prompt::current().message(this, Prompt::Warning, QStringLiteral("Canon Lens Controller"),
                                      QStringLiteral("Lens positions are being set or focused: wait until that ends."));
        else
            qCWarning(lcLensDialog) << "Dropped a remote" << what << "while a lens sequence runs";
        return false;
    }
    m_sequenceRunning = true;
    return true;
}

focusDlg::WaitEnd focusDlg::waitUntil(const std::function<bool()>& done, int sliceMs, int limitMs,
                                      const std::function<bool()>& stop)
{
    const qint64 start = m_clock();
    for (;;) {
        if (done())
            return WaitEnd::Done;
        if (stop && stop())
            return WaitEnd::Stopped;
        if (m_clock() - start >= limitMs)
            return WaitEnd::TimedOut;
        if (!delay(sliceMs))
            return WaitEnd::Aborted;
    }
}

QString focusDlg::autofocusLogPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/log.txt");
}
