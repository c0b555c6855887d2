// The lens dialog's controls: motor buttons, step slider, position displays
// and the two control groups.

#include "focusDlg.h"

#include "LensLink.h"
#include "LensProtocol.h"
#include "pingWorker.h"
#include "ui_focusDlg.h"

using Motor = zoomWorker::Motor;

namespace {
// Between lowering the fast-open flag and resuming the pinger.
constexpr int FastOpenReleaseMs = 30;
} // namespace

QList<focusDlg::MotorButton> focusDlg::motorButtons() const
{
    return {
        {ui->slowNearFocus, Motor::FocusNearSlow}, {ui->fastNearFocus, Motor::FocusNearFast},
        {ui->slowFarFocus, Motor::FocusFarSlow},   {ui->fastFarFocus, Motor::FocusFarFast},
        {ui->slowCloseIris, Motor::IrisCloseSlow}, {ui->fastCloseIris, Motor::IrisCloseFast},
        {ui->slowOpenIris, Motor::IrisOpenSlow},   {ui->fastOpenIris, Motor::IrisOpenFast},
    };
}

void focusDlg::connectControls()
{
    // A motor runs between its button's press and release.
    for (const MotorButton& m : motorButtons()) {
        const Motor motor = m.motor;
        connect(m.button, &QAbstractButton::pressed, this, [this, motor] { motorPressed(motor); });
        connect(m.button, &QAbstractButton::released, this, [this, motor] { motorReleased(motor); });
    }
    connect(ui->focusStepSlider, &QSlider::sliderReleased, this, &focusDlg::focusSpeedSlider);
    connect(ui->pushButton, &QPushButton::clicked, this, &focusDlg::getLCIP);
    connect(ui->comboProfile, &QComboBox::textHighlighted, this, &focusDlg::overPreset);
    connect(ui->loadButton, &QPushButton::clicked, this, &focusDlg::loadSettings);
    connect(ui->pushButton_2, &QPushButton::clicked, this, &focusDlg::saveSettings);
    connect(ui->pushButton_4, &QPushButton::clicked, this, qOverload<>(&focusDlg::deleteSelected));
    connect(ui->pushButton_3, &QPushButton::clicked, this, &focusDlg::doAutoFocus);
}

void focusDlg::motorPressed(Motor motor)
{
    pausePinger();
    if (m_motor)
        m_motor->setMotor(motor, true);
}

void focusDlg::motorReleased(Motor motor)
{
    if (m_motor)
        m_motor->setMotor(motor, false);
    if (motor == Motor::IrisOpenFast)
        delay(FastOpenReleaseMs);
    resumePinger();
}

void focusDlg::focusSpeedSlider()
{
    const int step = ui->focusStepSlider->value();
    if (m_motor)
        m_motor->setFocusStep(step);
    ui->label_27->setText(QStringLiteral("Step:%1").arg(step));
}

void focusDlg::focusSliderMovedTo(int position)
{
    m_link->send(LensProtocol::setFocus(position));
}

void focusDlg::sendReboot2LC()
{
    m_link->send(LensProtocol::Reboot);
}

void focusDlg::focusUpdateVal(int position)
{
    m_focusPosition = position;
    ui->focusVal->setText(m_af ? QString::number(position) : QStringLiteral("Manual"));
    for (QWidget* w : std::initializer_list<QWidget*>{ui->label_19, ui->fastFarFocus, ui->slowFarFocus,
                                                      ui->slowNearFocus, ui->focusStepSlider, ui->fastNearFocus,
                                                      ui->label_18, ui->label_20})
        w->setEnabled(m_af);
    resumePinger();
}

void focusDlg::irisUpdateVal(float fNumber)
{
    m_aperture = fNumber;
    ui->irisVal->setText(QStringLiteral("f/%1").arg(LensProtocol::real(fNumber)));
}

void focusDlg::pingError(const QString&)
{
    // The ranges it gave are kept (m_ranges) for when it answers again.
    m_lost = true;
    for (const MotorButton& m : motorButtons())
        m.button->setEnabled(false);
    ui->focusStepSlider->setEnabled(false);
    ui->label_27->setEnabled(false);
    ui->focusVal->setText(QStringLiteral("N/A"));
    ui->irisVal->setText(QStringLiteral("N/A"));
    for (QLabel* label : {ui->label_20, ui->label_18, ui->label_22, ui->label_21})
        label->clear();
    m_lensText = QStringLiteral("Lens: N/A ");
    const QString unknown = QStringLiteral("n/a");
    ui->label->setText(QStringLiteral("Device: %1 v.%2 @%3").arg(unknown, unknown, m_address));
}

void focusDlg::enableControls()
{
    setFocusGroupEnabled(m_af);
    setApertureGroupEnabled(true);
}

void focusDlg::disableControls()
{
    setFocusGroupEnabled(false);
    setApertureGroupEnabled(false);
}

void focusDlg::setFocusGroupEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->fastNearFocus, ui->slowNearFocus, ui->slowFarFocus, ui->fastFarFocus, ui->focusStepSlider,
             ui->label_27, ui->label_24, ui->label_19, ui->label_20, ui->label_18, ui->label_22, ui->label_21})
        w->setEnabled(on);
}

void focusDlg::setApertureGroupEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{ui->slowOpenIris, ui->fastOpenIris, ui->slowCloseIris,
                                                      ui->fastCloseIris, ui->loadButton, ui->pushButton_2,
                                                      ui->comboProfile, ui->pushButton_4})
        w->setEnabled(on);
}
