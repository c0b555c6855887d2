// The station commands: every control of the form sends its command to all
// stations, Sync re-sends the run set-up, and Set names the cameras and
// connects their lens controllers. Each slot reads its widget when it runs,
// so Sync can call them all.

#include "Dravo_plurica.h"

#include "AddressList.h"
#include "CommandValue.h"
#include "ConsoleSettings.h"
#include "PressWarnings.h"
#include "camstatusdialog.h"
#include "ui_Dravo_pluricaClass.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSettings>

Q_DECLARE_LOGGING_CATEGORY(lcCommands)

using RemoteProtocol::Command;

namespace {

const QString whiteEdit = QStringLiteral("QLineEdit{background: white;}");
const QString redEdit = QStringLiteral("QLineEdit{background: red;}");

} // namespace

QByteArray Dravo_plurica::parameterBytes(Command command, const QString& value)
{
    if (!CommandValue::isSafe(value)) {
        qCWarning(lcCommands) << "Dravo_plurica: refused to send" << RemoteProtocol::word(command) << "with"
                              << value;
        return QByteArray();
    }
    return RemoteProtocol::parameterCommandBytes(command, value);
}

QString Dravo_plurica::stationName(Naming naming, int i) const
{
    const QString alias = m_aliases.value(i, m_stations.at(i)).toHtmlEscaped();
    switch (naming) {
    case Naming::PcAlias:
        return tr("Connection problem with PC <b>%1</b>").arg(alias);
    case Naming::Address:
        return tr("Connection problem with <b>%1</b>").arg(m_stations.at(i).toHtmlEscaped());
    case Naming::Alias:
        break;
    }
    return tr("Connection problem with <b>%1</b>").arg(alias);
}

void Dravo_plurica::sendToStations(const Outgoing& outgoing)
{
    const int count = outgoing.stationCount < 0 ? m_stations.size()
                                                : qMin(outgoing.stationCount, m_stations.size());
    QVector<StationCommandClient::Delivery> deliveries;
    QVector<std::function<void(bool)>> settle; // for each delivery, its part of the press's warning
    for (int i = 0; i < count; ++i) {
        const QByteArray bytes = outgoing.bytes(i);
        if (bytes.isEmpty())
            continue; // a refused value, logged by parameterBytes
        deliveries.append({m_stations.at(i), bytes});
        // The warning names a station once, whatever its commands call it.
        settle << m_pressWarnings->expect(AddressList::connectable(m_stations.at(i)),
                                          stationName(outgoing.naming, i),
                                          RemoteProtocol::blockText(bytes).toHtmlEscaped());
    }
    if (deliveries.isEmpty())
        return;
    if (outgoing.before)
        outgoing.before();
    const QString statusText = outgoing.statusText;
    const int statusMs = outgoing.statusMs;
    m_commands->send(deliveries, [this, settle, statusText, statusMs](int k, bool delivered) {
        settle.at(k)(delivered);
        if (delivered && !statusText.isEmpty())
            statusBar()->showMessage(statusText, statusMs);
    });
    if (outgoing.after)
        outgoing.after();
}

void Dravo_plurica::sendFixed(Command command, const QString& statusText, int statusMs, Naming naming)
{
    Outgoing out;
    const QByteArray bytes = RemoteProtocol::fixedCommandBytes(command);
    out.bytes = [bytes](int) { return bytes; };
    out.statusText = statusText;
    out.statusMs = statusMs;
    out.naming = naming;
    sendToStations(out);
}

void Dravo_plurica::sendParameter(Command command, const std::function<QString()>& value,
                                  const QString& statusText, int statusMs)
{
    if (parameterBytes(command, value()).isEmpty())
        return;
    Outgoing out;
    // The value is read again for each station (and checked again).
    out.bytes = [command, value](int) { return parameterBytes(command, value()); };
    out.statusText = statusText;
    out.statusMs = statusMs;
    sendToStations(out);
}

bool Dravo_plurica::checkValue(QWidget* edit, const QString& text)
{
    const bool safe = CommandValue::isSafe(text);
    edit->setStyleSheet(safe ? whiteEdit : redEdit);
    return safe;
}

void Dravo_plurica::enableTriggerButtons(bool previewOrCaptureOn)
{
    ui->extTriggerButton->setEnabled(!previewOrCaptureOn);
    if (ui->extTriggerButton->isChecked())
        ui->extTriggerButton_2->setEnabled(!previewOrCaptureOn);
}

void Dravo_plurica::startPreview(bool on)
{
    enableTriggerButtons(on);
    if (on)
        sendFixed(Command::Preview, tr("Preview started"), 5000);
    else
        sendFixed(Command::NoPreview, tr("Preview stoped"), 5000);
    if (on)
        ui->actionCapture->setChecked(false); // toggled only: no "#stop"
}

void Dravo_plurica::startCapture(bool on)
{
    enableTriggerButtons(on);
    if (on)
        sendFixed(Command::Start, tr("Capture started"), 3000, Naming::PcAlias);
    else
        sendFixed(Command::Stop, tr("Capture stoped"), 3000, Naming::Address);
    if (on)
        ui->actionPreview->setChecked(false); // a running preview stops on every station
    m_statusDialog->setCaptureRunning(on);
    // Only stations report a capture over: with none, it is over at once.
    if (on && m_stations.isEmpty()) {
        ui->actionCapture->setChecked(false);
        enableTriggerButtons(false);
    }
}

void Dravo_plurica::extTrigger(bool)
{
    const bool on = ui->extTriggerButton->isChecked();
    Outgoing out;
    const QByteArray bytes = RemoteProtocol::fixedCommandBytes(on ? Command::Trigger : Command::NoTrigger);
    out.bytes = [bytes](int) { return bytes; };
    out.statusText = on ? tr("Ext.Trigger has been enabled") : tr("Ext.Trigger has been disabled");
    out.statusMs = 3000;
    if (on)
        out.after = [this] { ui->extTriggerButton_2->setEnabled(true); };
    else
        out.before = [this] { ui->extTriggerButton_2->setEnabled(false); };
    sendToStations(out);
}

void Dravo_plurica::pulseWidthExposure(bool)
{
    const bool on = ui->extTriggerButton_2->isChecked();
    Outgoing out;
    const QByteArray bytes = RemoteProtocol::fixedCommandBytes(on ? Command::PulseWidth : Command::NoPulseWidth);
    out.bytes = [bytes](int) { return bytes; };
    out.statusText = on ? tr("Exposure as pulse width has been enabled")
                        : tr("Exposure as pulse width has been disabled");
    out.statusMs = 3000;
    // The exposure then follows the pulse width.
    out.after = [this, on] { ui->exposure_edit->setEnabled(!on); };
    sendToStations(out);
}

void Dravo_plurica::setOverClock(bool)
{
    const bool on = ui->pushButton_3->isChecked();
    sendFixed(on ? Command::Overclock : Command::NoOverclock,
              on ? tr("OverClock has been enabled") : tr("OverClock has been disabled"), 3000);
}

void Dravo_plurica::setLUT(bool)
{
    const bool on = ui->pushButton_2->isChecked();
    sendFixed(on ? Command::Lut : Command::NoLut, on ? tr("LUT has been enabled") : tr("LUT  has been disabled"),
              3000);
}

void Dravo_plurica::splitToggle(bool)
{
    const bool on = ui->checkBox_2->isChecked();
    sendFixed(on ? Command::Split : Command::NoSplit,
              on ? tr("Split Colors has been enabled") : tr("Split Colors has been disabled"), 3000);
}

void Dravo_plurica::channelToggle(bool)
{
    const bool red = ui->pushButton_4->isChecked();
    Outgoing out;
    const QByteArray bytes = RemoteProtocol::fixedCommandBytes(red ? Command::Sensitive : Command::Reference);
    out.bytes = [bytes](int) { return bytes; };
    out.statusText = red ? tr("Channel switched to RED") : tr("Channel switched to GREEN");
    out.statusMs = 3000;
    out.before = [this, red] {
        ui->pushButton_4->setIcon(QIcon(red ? QStringLiteral(":/Dravo_plurica/sens.png")
                                            : QStringLiteral(":/Dravo_plurica/ref.png")));
    };
    sendToStations(out);
}

void Dravo_plurica::normToggle(bool)
{
    const bool on = ui->pushButton_5->isChecked();
    sendFixed(on ? Command::NormOn : Command::NormOff,
              on ? tr("Normalization is ON") : tr("Normalization is OFF"), 3000);
}

void Dravo_plurica::setExposure(const QString&)
{
    if (checkValue(ui->exposure_edit, ui->exposure_edit->text()))
        sendParameter(Command::Exposure, [this] { return ui->exposure_edit->text(); },
                      tr("Exposure has been changed"), 5000);
}

void Dravo_plurica::setFramesToCapture(int)
{
    sendParameter(Command::Frames, [this] { return QString::number(ui->spinBox->value()); },
                  tr("Frames number has been changed"), 3000);
}

void Dravo_plurica::setAverage(int)
{
    sendParameter(Command::Average, [this] { return QString::number(ui->spinBox_2->value()); },
                  tr("Average number has been changed"), 3000);
}

void Dravo_plurica::setFilePrefix(const QString&)
{
    if (checkValue(ui->lineEdit, ui->lineEdit->text()))
        sendParameter(Command::Prefix, [this] { return ui->lineEdit->text(); },
                      tr("File prefix has been changed"), 5000);
}

void Dravo_plurica::setFilePoint(const QString&)
{
    if (checkValue(ui->pointEdit, ui->pointEdit->text()))
        sendParameter(Command::Point, [this] { return ui->pointEdit->text(); }, tr("Point has been changed"),
                      5000);
}

void Dravo_plurica::setFolder()
{
    // checkPath has coloured the edit; a folder it refuses is not sent.
    if (CommandValue::isWorkFolder(ui->folder_edit->text()))
        sendParameter(Command::Folder, [this] { return ui->folder_edit->text(); },
                      tr("Capturing folder has been changed"), 5000);
}

void Dravo_plurica::updateCamName(const QStringList& aliases)
{
    Outgoing out;
    out.bytes = [aliases](int i) { return parameterBytes(Command::CamName, aliases.at(i)); };
    out.stationCount = aliases.size();
    sendToStations(out);
}

void Dravo_plurica::connectLCNow()
{
    Outgoing out;
    const QStringList controllers = m_lensControllers;
    out.bytes = [controllers](int i) {
        return parameterBytes(Command::LensConnect, AddressList::connectable(controllers.at(i)));
    };
    out.stationCount = controllers.size(); // lens controllers beyond the stations have none to go to
    sendToStations(out);

    // A visible status dialog reopens with the new lists; a hidden one opens.
    if (m_statusDialog->isVisible())
        ui->actionCamStatus->setChecked(false);
    ui->actionCamStatus->setChecked(true);
}

void Dravo_plurica::syncCam()
{
    ui->groupBox->setEnabled(false);
    QCoreApplication::processEvents();
    setFramesToCapture(0);
    setFilePrefix(QString());
    setFilePoint(QString());
    if (ui->checkBox->isChecked())
        setExposure(QString());
    setFolder();
    ui->groupBox->setEnabled(true);
    setAverage(0);
    channelToggle(false);
    splitToggle(false);
    setLUT(false);
    setOverClock(false);

    using namespace ConsoleSettings;
    m_settings->setValue(QLatin1String(ExposureKey), ui->exposure_edit->text());
    m_settings->setValue(QLatin1String(SyncExposureKey), ui->checkBox->isChecked());
    m_settings->setValue(QLatin1String(WorkFolderKey), ui->folder_edit->text());
    m_settings->setValue(QLatin1String(PrefixKey), ui->lineEdit->text());
    m_settings->setValue(QLatin1String(PointKey), ui->pointEdit->text());
    m_settings->setValue(QLatin1String(FramesKey), ui->spinBox->value());
    m_settings->setValue(QLatin1String(ExtTriggerKey), ui->extTriggerButton->isChecked());
    m_settings->sync();
}
