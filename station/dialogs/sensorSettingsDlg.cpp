#include "dialogs/sensorSettingsDlg.h"

#include "camera/FeatureValues.h"
#include "camera/NqDevice.h"
#include "dialogs/SensorFeatures.h"
#include "ui_sensorSettingsDialog.h"

#include <QSignalBlocker>

namespace {

const char* const depthTexts[] = {"8-bit", "12-bit", "14-bit"};

void select(QComboBox* box, int index)
{
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

} // namespace

sensorSettingsDlg::sensorSettingsDlg(NqDevice* device, QWidget* parent)
    : QDialog(parent), m_device(device), ui(std::make_unique<Ui::sensorSettingsDialog>())
{
    ui->setupUi(this);
    const auto changed = qOverload<int>(&QComboBox::currentIndexChanged);
    connect(ui->comboBox, changed, this, &sensorSettingsDlg::changeTap);
    connect(ui->comboBox_2, changed, this, &sensorSettingsDlg::changeSpeed);
    connect(ui->comboBox_3, changed, this, &sensorSettingsDlg::changeDepth);
    connect(ui->comboBox_4, changed, this, &sensorSettingsDlg::changeBin);
    connect(ui->comboBox_5, changed, this, &sensorSettingsDlg::changeFlatField);
    connect(ui->comboBox_10, changed, this, &sensorSettingsDlg::changeVerticalSmear);
    connect(ui->comboBox_11, changed, this, &sensorSettingsDlg::changeBlackLevel);
}

sensorSettingsDlg::~sensorSettingsDlg() = default;

NqGenParameterArray* sensorSettingsDlg::camera()
{
    return m_device && m_device->IsConnected() ? m_device->GetGenParameters() : nullptr;
}

void sensorSettingsDlg::fillDepthList(int entries, int selected)
{
    const QSignalBlocker block(ui->comboBox_3);
    ui->comboBox_3->clear();
    for (int i = 0; i < entries; ++i)
        ui->comboBox_3->addItem(QLatin1String(depthTexts[i]));
    ui->comboBox_3->setCurrentIndex(selected);
}

void sensorSettingsDlg::loadFromCamera()
{
    NqGenParameterArray* params = camera();
    if (!params)
        return;
    const SensorFeatures::Shown shown = SensorFeatures::load(*params);
    select(ui->comboBox_4, shown.binning);
    select(ui->comboBox_2, shown.speed);
    select(ui->comboBox, shown.taps);
    fillDepthList(shown.depthEntries, shown.depth);
    select(ui->comboBox_11, shown.blackLevel);
    select(ui->comboBox_5, shown.flatField);
    select(ui->comboBox_10, shown.verticalSmear);
}

void sensorSettingsDlg::exposureModeChanged()
{
    if (NqGenParameterArray* params = camera())
        if (const std::optional<int> limit = SensorFeatures::exposureLimit(*params))
            emit updMaxExposure(*limit);
}

void sensorSettingsDlg::setRunActive(bool active)
{
    for (QWidget* w : {static_cast<QWidget*>(ui->label), static_cast<QWidget*>(ui->comboBox),
                       static_cast<QWidget*>(ui->label_3), static_cast<QWidget*>(ui->comboBox_3),
                       static_cast<QWidget*>(ui->label_4), static_cast<QWidget*>(ui->comboBox_4)})
        w->setEnabled(!active);
}

template <typename Change>
void sensorSettingsDlg::write(Change change)
{
    NqGenParameterArray* params = camera();
    if (!params)
        return;
    const FeatureValues::RefusedWrites refused;
    change(*params);
    if (refused.features().isEmpty())
        return;
    loadFromCamera();
    emit writeRefused(refused.text());
}

void sensorSettingsDlg::changeTap(int index)
{
    write([this, index](NqGenParameterArray& params) {
        const std::optional<SensorFeatures::TapChange> change = SensorFeatures::changeTaps(params, index);
        if (!change)
            return;
        fillDepthList(change->depthEntries, 0);
        if (change->depthBits)
            emit setDepth(*change->depthBits);
        if (change->maxExposure)
            emit updMaxExposure(*change->maxExposure);
    });
}

void sensorSettingsDlg::changeSpeed(int index)
{
    write([this, index](NqGenParameterArray& params) {
        if (const std::optional<int> limit = SensorFeatures::changeSpeed(params, index))
            emit updMaxExposure(*limit);
    });
}

void sensorSettingsDlg::changeDepth(int)
{
    write([this](NqGenParameterArray& params) {
        if (const std::optional<int> bits = SensorFeatures::changeDepth(params, ui->comboBox_3->currentIndex()))
            emit setDepth(*bits);
    });
}

void sensorSettingsDlg::changeBin(int index)
{
    write([this, index](NqGenParameterArray& params) {
        if (const std::optional<int> factor = SensorFeatures::changeBinning(params, index))
            emit setBinning(*factor);
    });
}

void sensorSettingsDlg::changeFlatField(int index)
{
    write([index](NqGenParameterArray& params) { SensorFeatures::changeFlatField(params, index); });
}

void sensorSettingsDlg::changeVerticalSmear(int index)
{
    write([index](NqGenParameterArray& params) { SensorFeatures::changeVerticalSmear(params, index); });
}

void sensorSettingsDlg::changeBlackLevel(int index)
{
    write([index](NqGenParameterArray& params) { SensorFeatures::changeBlackLevel(params, index); });
}
