// The lens-preset relay: the console has no link of its own to the lens
// controllers; it shows its preset dialog and relays every preset action to
// all stations, each of which drives its own controller.

#include "Dravo_plurica.h"

#include "CommandValue.h"
#include "Prompt.h"
#include "multilcDlg.h"
#include "ui_Dravo_pluricaClass.h"

using RemoteProtocol::Command;

void Dravo_plurica::showLC(bool on)
{
    if (on) {
        m_lensDialog->setModal(false);
        m_lensDialog->fillProfiles();
        m_lensDialog->show();
    } else {
        m_lensDialog->hide();
        ui->actionLC->setChecked(false);
    }
    sendFixed(on ? Command::LensShow : Command::LensHide, QString(), 0);
}

void Dravo_plurica::closeLCDialog()
{
    showLC(false);
}

void Dravo_plurica::relayPreset(Command command, const QString& name, const QString& statusText)
{
    if (!CommandValue::isSafe(name)) {
        Prompt::current().message(this, Prompt::Warning, tr("Setpoint Name"),
                                  tr("The preset name <b>%1</b> cannot be sent to the stations.")
                                      .arg(name.toHtmlEscaped()));
        return;
    }
    Outgoing out;
    out.bytes = [command, name](int) { return parameterBytes(command, name); };
    out.statusText = statusText;
    out.statusMs = 5000;
    sendToStations(out);
}

void Dravo_plurica::saveProfileMultiLC(const QString& name)
{
    relayPreset(Command::LensSave, name, tr("LC preset saved"));
}

void Dravo_plurica::loadProfileMultiLC(const QString& name)
{
    relayPreset(Command::LensLoad, name, tr("LC preset loaded"));
}

void Dravo_plurica::deleteProfileMultiLC(const QString& name)
{
    relayPreset(Command::LensDelete, name, tr("LC preset deleted"));
}
