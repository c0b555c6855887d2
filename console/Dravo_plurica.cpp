// The main window: construction and wiring, the address lists, the dialogs
// it shows, and the window's own switches. The station commands are in
// Dravo_plurica_commands.cpp.

#include "Dravo_plurica.h"

#include "CommandValue.h"
#include "ConsoleSettings.h"
#include "EventWait.h"
#include "PressWarnings.h"
#include "Prompt.h"
#include "camstatusdialog.h"
#include "generators/GeneratorHttp.h"
#include "generators/mastertmxdialog.h"
#include "generators/multitmxdialog.h"
#include "generators/tmxWorker.h"
#include "ipsettingsdialog.h"
#include "multilcDlg.h"
#include "ui_Dravo_pluricaClass.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QSettings>
#include <QShowEvent>
#include <QUrl>

Dravo_plurica::Dravo_plurica(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::Dravo_pluricaClass>())
{
    ui->setupUi(this);
    connectForm();
    // Every action of the tool bar shows, whatever the desktop's font.
    setMinimumWidth(qMax(minimumSizeHint().width(), ui->mainToolBar->sizeHint().width()));

    m_ipDialog = new ipsettingsdialog(this);
    connect(m_ipDialog, &ipsettingsdialog::PCListUpdated, this, &Dravo_plurica::updatePCList);
    connect(m_ipDialog, &ipsettingsdialog::TMXListUpdated, this, &Dravo_plurica::updateTMXList);
    connect(m_ipDialog, &ipsettingsdialog::masterUpdated, this, &Dravo_plurica::updateMasterIP);
    connect(m_ipDialog, &ipsettingsdialog::ignoreIPSet, this, &Dravo_plurica::enableGUI);
    connect(m_ipDialog, &ipsettingsdialog::LCListUpdated, this, &Dravo_plurica::updateLCList);
    connect(m_ipDialog, &ipsettingsdialog::connectLCs, this, &Dravo_plurica::connectLCNow);
    connect(m_ipDialog, &ipsettingsdialog::camNameUpdated, this, &Dravo_plurica::updateCamName);
    // On screen before the main window; the lists stay empty until Set.
    m_ipDialog->setModal(true);
    m_ipDialog->show();

    m_answerReceived = false;
    m_slaveDialog = new multitmxdialog(this);

    m_statusDialog = new camstatusdialog(this);
    connect(m_statusDialog, &camstatusdialog::readyAllSignal, this, &Dravo_plurica::everybodyIsReady);
    connect(m_statusDialog, &camstatusdialog::availableSignal, this, &Dravo_plurica::allCamsAvailable);
    connect(m_statusDialog, &camstatusdialog::captureNotStarted, this, &Dravo_plurica::warnCaptureNotStarted);

    m_commands = new StationCommandClient(this);
    m_pressWarnings = new PressWarnings(this);
    connect(m_pressWarnings, &PressWarnings::unconfirmed, this,
            [this](const QString& text) { warnLater(tr("Connection Error"), text); });

    m_masterDialog = new mastertmxdialog(this);
    connect(m_masterDialog, &mastertmxdialog::startMasterTMX, this, &Dravo_plurica::runMaster);
    connect(m_masterDialog, &mastertmxdialog::startMasterTMX1, this, &Dravo_plurica::runMaster1);
    connect(m_masterDialog, &mastertmxdialog::startMasterTMX2, this, &Dravo_plurica::runMaster2);
    connect(m_masterDialog, &mastertmxdialog::stopMasterTMX, this, &Dravo_plurica::stopTMX);

    m_lensDialog = new multilcDlg(this);
    connect(m_lensDialog, &multilcDlg::saveProfile, this, &Dravo_plurica::saveProfileMultiLC);
    connect(m_lensDialog, &multilcDlg::loadProfile, this, &Dravo_plurica::loadProfileMultiLC);
    connect(m_lensDialog, &multilcDlg::deleteProfile, this, &Dravo_plurica::deleteProfileMultiLC);
    connect(m_lensDialog, &multilcDlg::LCClosed, this, &Dravo_plurica::closeLCDialog);

    m_settings = ConsoleSettings::open();
    m_settings->sync();
    restoreSettings();

    setWindowTitle(QCoreApplication::translate("Lumi_camClass",
                                               "Lumivar Tessaran 64-bit :: v.%1 (64-bit) %2 ::  Marrowind Inc. ")
                       .arg(QStringLiteral("2.4.4"), QString()));

    m_generatorHttp = new GeneratorHttp(this);
    m_wait = new EventWait(this);

    // Red channel and colour table on; no station is listed yet, so nothing is sent.
    ui->pushButton_4->setChecked(true);
    ui->pushButton_2->setChecked(true);
}

Dravo_plurica::~Dravo_plurica()
{
    if (m_tmxWorker)
        m_tmxWorker->stop();
}

void Dravo_plurica::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous() || !m_ipDialog->isVisible())
        return;
    // The IP settings opened before the window had its place; without a
    // window manager they would stay in the screen's corner. Once the window
    // is placed, they go over it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_ipDialog->isVisible())
                m_ipDialog->move(frameGeometry().center() - m_ipDialog->rect().center());
        },
        Qt::QueuedConnection);
}

void Dravo_plurica::connectForm()
{
    Ui::Dravo_pluricaClass& f = *ui;
    connect(f.actionCamStatus, &QAction::toggled, this, &Dravo_plurica::showCamStatusDialog);
    connect(f.actionAlways_On_Top, &QAction::toggled, this, &Dravo_plurica::alwaysOnTop);
    connect(f.actionTMX_Settings, &QAction::triggered, this, &Dravo_plurica::showTMXMultiDialog);
    connect(f.actionIp_Settings, &QAction::triggered, this, &Dravo_plurica::showIPSettings);
    connect(f.actionPreview, &QAction::toggled, this, &Dravo_plurica::startPreview);
    // A click only: everybodyIsReady unchecks it from code without traffic.
    connect(f.actionCapture, &QAction::triggered, this, &Dravo_plurica::startCapture);
    connect(f.extTriggerButton, &QToolButton::toggled, this, &Dravo_plurica::extTrigger);
    connect(f.exposure_edit, &QLineEdit::textChanged, this, &Dravo_plurica::setExposure);
    connect(f.spinBox, qOverload<int>(&QSpinBox::valueChanged), this, &Dravo_plurica::setFramesToCapture);
    connect(f.lineEdit, &QLineEdit::textChanged, this, &Dravo_plurica::setFilePrefix);
    connect(f.folder_edit, &QLineEdit::textChanged, this, &Dravo_plurica::checkPath);
    connect(f.loggingGroup, &QGroupBox::toggled, this, &Dravo_plurica::selectLogFile);
    connect(f.checkBox, &QCheckBox::toggled, this, &Dravo_plurica::syncExposure);
    connect(f.pushButton, &QPushButton::clicked, this, &Dravo_plurica::syncCam);
    connect(f.pointEdit, &QLineEdit::textChanged, this, &Dravo_plurica::setFilePoint);
    connect(f.runBoth, &QPushButton::clicked, this, &Dravo_plurica::runMaster);
    connect(f.runBoth_2, &QPushButton::clicked, this, &Dravo_plurica::stopTMX);
    connect(f.actionMaster_TMX, &QAction::triggered, this, &Dravo_plurica::showMasterTMXSettings);
    connect(f.runTMX1, &QPushButton::clicked, this, &Dravo_plurica::runMaster1);
    connect(f.runTMX2, &QPushButton::clicked, this, &Dravo_plurica::runMaster2);
    connect(f.spinBox_2, qOverload<int>(&QSpinBox::valueChanged), this, &Dravo_plurica::setAverage);
    connect(f.checkBox_2, &QCheckBox::toggled, this, &Dravo_plurica::splitToggle);
    connect(f.pushButton_3, &QPushButton::toggled, this, &Dravo_plurica::setOverClock);
    connect(f.pushButton_2, &QPushButton::toggled, this, &Dravo_plurica::setLUT);
    connect(f.pushButton_4, &QPushButton::toggled, this, &Dravo_plurica::channelToggle);
    connect(f.extTriggerButton_2, &QToolButton::toggled, this, &Dravo_plurica::pulseWidthExposure);
    connect(f.actionHelp, &QAction::triggered, this, &Dravo_plurica::showHelp);
    connect(f.actionLC, &QAction::toggled, this, &Dravo_plurica::showLC);
    connect(f.pushButton_5, &QPushButton::toggled, this, &Dravo_plurica::normToggle);
}

void Dravo_plurica::restoreSettings()
{
    // Writing into the connected widgets runs their slots; with no station
    // listed yet the command slots send nothing.
    // A text read as a list (a hand-written one with commas) is whole again.
    using namespace ConsoleSettings;
    const QSettings& s = *m_settings;
    auto stored = [&s](const char* key) { return text(s, key).value_or(defaultValue(key).toString()); };
    ui->exposure_edit->setText(stored(ExposureKey));
    ui->checkBox->setChecked(value(s, SyncExposureKey).toBool());
    ui->folder_edit->setText(stored(WorkFolderKey));
    ui->extTriggerButton->setChecked(value(s, ExtTriggerKey).toBool());
    ui->lineEdit->setText(stored(PrefixKey));
    ui->pointEdit->setText(stored(PointKey));
    ui->spinBox->setValue(value(s, FramesKey).toInt());
}

void Dravo_plurica::updatePCList(const QStringList& addresses, const QStringList& aliases)
{
    m_stations = addresses;
    m_aliases = aliases;
}

void Dravo_plurica::updateTMXList(const QStringList& addresses)
{
    m_slaves = addresses;
    m_slaveDialog->setSlaveTMXList(addresses);
}

void Dravo_plurica::updateMasterIP(const QString& address)
{
    m_master = address;
    if (m_tmxWorker) {
        m_tmxWorker->stop();
        m_tmxWorker->deleteLater();
        m_tmxWorker = nullptr;
    }
    if (!address.isEmpty())
        m_tmxWorker = new tmxWorker(address, this); // started by nobody yet
    m_masterDialog->setMasterIP(address);
}

void Dravo_plurica::updateLCList(const QStringList& addresses)
{
    m_lensControllers = addresses;
}

void Dravo_plurica::enableGUI(bool) {}

void Dravo_plurica::changeMasterMode(int) {}

void Dravo_plurica::showIPSettings()
{
    m_ipDialog->setModal(true);
    m_ipDialog->show();
}

void Dravo_plurica::showTMXMultiDialog()
{
    m_slaveDialog->fillProfiles();
    m_slaveDialog->show();
}

void Dravo_plurica::showCamStatusDialog(bool on)
{
    if (on) {
        m_statusDialog->setCameras(m_stations, m_aliases);
        m_statusDialog->moveBeside(*this);
        m_statusDialog->show();
    } else {
        m_statusDialog->close();
    }
}

void Dravo_plurica::alwaysOnTop(bool on)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show(); // changing the flags hides the window
}

void Dravo_plurica::checkPath(const QString& text)
{
    const bool valid = CommandValue::isWorkFolder(text);
    ui->folder_edit->setStyleSheet(valid ? QStringLiteral("QLineEdit{background: white;}")
                                         : QStringLiteral("QLineEdit{background: red;}"));
    ui->pushButton->setEnabled(valid);
}

void Dravo_plurica::syncExposure(bool on)
{
    ui->exposure_edit->setEnabled(on);
}

void Dravo_plurica::everybodyIsReady()
{
    if (ui->actionCapture->isChecked())
        ui->actionCapture->setChecked(false); // toggled only: no command goes out
}

void Dravo_plurica::allCamsAvailable(bool on)
{
    ui->actionCapture->setEnabled(on);
    ui->actionPreview->setEnabled(on);
    ui->groupBox->setEnabled(on);
    ui->loggingGroup->setEnabled(on);
    ui->groupBox_5->setEnabled(on);
}

void Dravo_plurica::warnCaptureNotStarted(const QStringList& aliases)
{
    warnLater(tr("Capture problem"),
              tr("<b>%1</b> did not start capturing within %2 s of Capture.")
                  .arg(aliases.join(QStringLiteral(", ")).toHtmlEscaped())
                  .arg(camstatusdialog::CaptureStartMs / 1000));
}

void Dravo_plurica::warnLater(const QString& title, const QString& text, std::function<void()> then)
{
    m_warnings.append({title, text, std::move(then)});
    if (m_warningsScheduled)
        return; // shown after those before it
    m_warningsScheduled = true;
    QMetaObject::invokeMethod(this, &Dravo_plurica::showWarnings, Qt::QueuedConnection);
}

void Dravo_plurica::showWarnings()
{
    // Warnings asked for while a box is open follow it here, not on top of it.
    while (!m_warnings.isEmpty()) {
        const Warning warning = m_warnings.takeFirst();
        Prompt::current().message(this, Prompt::Warning, warning.title, warning.text);
        if (warning.then)
            warning.then();
    }
    m_warningsScheduled = false;
}

void Dravo_plurica::showHelp()
{
    const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/multihelp.chm");
    if (!QFileInfo::exists(file) || !QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        statusBar()->showMessage(tr("No help viewer could open %1").arg(file), 5000);
}
