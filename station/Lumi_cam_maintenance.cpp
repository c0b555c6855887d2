// The main window's camera information and maintenance slots: temperature,
// information and help boxes, quantum-efficiency picture, reboot and reset,
// camera name and work folder.

#include "Lumi_cam.h"

#include "MaintenanceTexts.h"
#include "Prompt.h"
#include "SidePanel.h"
#include "StationTexts.h"
#include "capture/CaptureNaming.h"
#include "runs/SettingsKeys.h"
#include "ui_LUMI_camClass.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

void Lumi_cam::updateCamTemp(int temperature)
{
    m_cameraTemperature = temperature;
    // During a run the label shows the stream errors.
    if (!m_previewing && !m_capturing)
        m_temperatureLabel->setText(MaintenanceTexts::temperature(temperature));
}

void Lumi_cam::camAbout()
{
    if (NqGenParameterArray* params = cameraParameters())
        Prompt::current().about(this, QStringLiteral("About Camera"), MaintenanceTexts::cameraInformation(*params));
}

void Lumi_cam::about()
{
    Prompt::current().about(this, QStringLiteral("About"), MaintenanceTexts::about());
}

void Lumi_cam::help()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm");
    if (!QFileInfo(path).isFile()) {
        Prompt::current().message(this, Prompt::Information, QStringLiteral("Help"),
                                  MaintenanceTexts::helpMissing(path));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        Prompt::current().message(this, Prompt::Information, QStringLiteral("Help"),
                                  MaintenanceTexts::helpNotOpened(path));
}

void Lumi_cam::updateCamHealth(quint32, quint32, quint32)
{
    Prompt::current().about(this, QStringLiteral("Help"), MaintenanceTexts::manualHint());
}

void Lumi_cam::showQE()
{
    const MaintenanceTexts::QePicture qe = MaintenanceTexts::qePicture(m_colourCamera, m_cameraModel);
    m_pictureBox->setWindowTitle(qe.title);
    if (!qe.picture.isEmpty())
        m_pictureBox->setIconPixmap(QPixmap(qe.picture));
    // A message box is modal unless told otherwise: the picture stays beside the window.
    m_pictureBox->setModal(false);
    m_pictureBox->show();
}

void Lumi_cam::rebootCamera()
{
    restartCamera("DeviceReset", QStringLiteral("Are you sure you want to reboot this camera?"));
}

void Lumi_cam::resetCamera()
{
    restartCamera("CameraHeadReset", QStringLiteral("Are you sure you want to reset camera's circuitry?"));
}

void Lumi_cam::restartCamera(const char* command, const QString& question)
{
    if (!m_connected)
        return;
    if (!Prompt::current().question(this, Prompt::Critical, QStringLiteral("Kessane Lumivar"), question,
                                    Prompt::DefaultNo))
        return;
    // The question ran events: the camera may have gone meanwhile.
    if (!m_connected)
        return;
    if (m_capturing)
        ui->actionCapture->setChecked(false);
    if (m_previewing)
        ui->actionRun->setChecked(false);
    // The thread must not be retrieving from a camera that reboots.
    endAcquisitionThread();
    if (NqGenParameterArray* params = cameraParameters())
        params->ExecuteCommand(command);
    if (ui->actionOpenCam->isChecked())
        ui->actionOpenCam->setChecked(false); // the normal disconnect path
    else
        openCam(false);
}

void Lumi_cam::setCamName()
{
    NqGenParameterArray* params = cameraParameters();
    if (!params)
        return;
    NqString current;
    params->GetStringValue("DeviceUserID", current);
    QString name;
    const bool confirmed = Prompt::current().getText(this, QStringLiteral("Set camera name"),
                                                     QStringLiteral("New name:"), StationTexts::fromSdk(current), &name);
    // The input ran events: the camera may have gone meanwhile.
    params = cameraParameters();
    if (!params)
        return;
    if (confirmed) {
        if (name.size() > MaintenanceTexts::MaxCameraNameLength) {
            Prompt::current().message(this, Prompt::Information, QStringLiteral("Error"),
                                      QStringLiteral("Camera name should be less than 16 symbols"));
            return;
        }
        const NqResult written = params->SetStringValue("DeviceUserID", name.toLatin1().constData());
        if (!written.IsOK())
            Prompt::current().message(this, Prompt::Warning, QStringLiteral("Error"),
                                      QStringLiteral("The camera did not take the name <b>%1</b>: %2")
                                          .arg(name.toHtmlEscaped(),
                                               StationTexts::fromSdk(written.GetDescription()).toHtmlEscaped()));
    }
    // The discovery record's name: it changes with the next camera search.
    showCameraIdentity(StationTexts::fromSdk(m_device.GetDeviceInfo()->GetUserDefinedName()));
}

void Lumi_cam::changePath()
{
    if (m_workDirectory.isEmpty())
        m_workDirectory = m_panel->workFolder->text();
    QString chosen;
    Prompt::current().existingDirectory(this, QStringLiteral("Select work directory"), m_workDirectory, &chosen);
    m_workDirectory = chosen;
    if (!chosen.isEmpty()) {
        m_panel->workFolder->setText(chosen);
        ui->actionCapture->setEnabled(true);
    }
    m_settings->setValue(QLatin1String(SettingsKeys::WorkFolder), m_panel->workFolder->text());
    m_workPath = cameraWorkPath();
    if (!m_workPath.isEmpty())
        createWorkPath(m_workPath);
}

QString Lumi_cam::cameraWorkPath() const
{
    const NqDeviceInfo* info = m_connected ? m_device.GetDeviceInfo() : nullptr;
    return workPathFor(m_panel->workFolder->text(), m_subFolder && info,
                       info ? StationTexts::fromSdk(info->GetUserDefinedName()) : QString());
}

bool Lumi_cam::createWorkPath(const QString& path)
{
    if (QDir().mkpath(path))
        return true;
    Prompt::current().message(this, Prompt::Critical, QStringLiteral("Folder error"),
                              QStringLiteral("Could not create output folder: %1").arg(path));
    return false;
}

// Declared slots that nothing connects: they do nothing.
void Lumi_cam::setCCDTemp() {}
void Lumi_cam::workFolderUpdated(QString) {}
