#include "dialogs/ioSettingsDlg.h"

#include "camera/FeatureValues.h"
#include "camera/NqDevice.h"
#include "dialogs/OutputLine.h"
#include "ui_ioSettingsDialog.h"

#include <QSignalBlocker>

ioSettingsDlg::ioSettingsDlg(NqDevice* device, QWidget* parent)
    : QDialog(parent), m_device(device), ui(std::make_unique<Ui::ioSettingsDialog>())
{
    ui->setupUi(this);
    connect(ui->comboBox_2, qOverload<int>(&QComboBox::currentIndexChanged), this, &ioSettingsDlg::typeChanged);
    connect(ui->comboBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &ioSettingsDlg::activeChanged);
}

ioSettingsDlg::~ioSettingsDlg() = default;

NqGenParameterArray* ioSettingsDlg::camera()
{
    return m_device && m_device->IsConnected() ? m_device->GetGenParameters() : nullptr;
}

void ioSettingsDlg::loadFromCamera()
{
    NqGenParameterArray* params = camera();
    if (!params)
        return;
    const OutputLine::Shown shown = OutputLine::load(*params);
    const QSignalBlocker blockSelector(ui->comboBox_2);
    const QSignalBlocker blockPolarity(ui->comboBox);
    ui->comboBox_2->setCurrentIndex(shown.selector);
    ui->comboBox->setCurrentIndex(shown.polarity);
}

void ioSettingsDlg::write(void (*writeEntry)(NqGenParameterArray&, int), int index)
{
    NqGenParameterArray* params = camera();
    if (!params)
        return;
    const FeatureValues::RefusedWrites refused;
    writeEntry(*params, index);
    if (refused.features().isEmpty())
        return;
    loadFromCamera();
    emit writeRefused(refused.text());
}

void ioSettingsDlg::typeChanged(int index)
{
    write(&OutputLine::writeSelector, index);
}

void ioSettingsDlg::activeChanged(int index)
{
    write(&OutputLine::writePolarity, index);
}
