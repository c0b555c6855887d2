#include "generators/TmxGenerators.h"

#include "ui_TMXGenerators.h"

namespace {

void setIndex(QComboBox* combo, int index)
{
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
}

} // namespace

TmxGenerators::TmxGenerators(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TmxGenerators>())
{
    ui->setupUi(this);
    ui->sourceG1->setCurrentIndex(2); // "Ext.Trig. Rising Edge"
    ui->sourceG2->setCurrentIndex(1); // "Gen1 Slave"
}

TmxGenerators::~TmxGenerators() = default;

GeneratorForm::Values TmxGenerators::values() const
{
    GeneratorForm::Values v;
    v.source[0] = GeneratorForm::sourceCode(0, ui->sourceG1->currentIndex());
    v.source[1] = GeneratorForm::sourceCode(1, ui->sourceG2->currentIndex());
    v.period[0] = ui->periodG1->value();
    v.period[1] = ui->periodG2->value();
    v.pulses[0] = ui->pulsesG1->value();
    v.pulses[1] = ui->pulsesG2->value();
    v.delay[0][0] = ui->g1c1start->value();
    v.width[0][0] = ui->g1c1stop->value();
    v.delay[0][1] = ui->g1c2start->value();
    v.width[0][1] = ui->g1c2stop->value();
    v.delay[1][0] = ui->g2c1start->value();
    v.width[1][0] = ui->g2c1stop->value();
    v.delay[1][1] = ui->g2c2start->value();
    v.width[1][1] = ui->g2c2stop->value();
    v.timeUnit[0] = ui->timeUnitG1->currentIndex();
    v.timeUnit[1] = ui->timeUnitG2->currentIndex();
    return v;
}

void TmxGenerators::setValues(const GeneratorForm::Values& v)
{
    setIndex(ui->timeUnitG1, v.timeUnit[0]);
    setIndex(ui->timeUnitG2, v.timeUnit[1]);
    ui->periodG1->setValue(v.period[0]);
    ui->periodG2->setValue(v.period[1]);
    ui->pulsesG1->setValue(v.pulses[0]);
    ui->pulsesG2->setValue(v.pulses[1]);
    ui->g1c1start->setValue(v.delay[0][0]);
    ui->g1c1stop->setValue(v.width[0][0]);
    ui->g1c2start->setValue(v.delay[0][1]);
    ui->g1c2stop->setValue(v.width[0][1]);
    ui->g2c1start->setValue(v.delay[1][0]);
    ui->g2c1stop->setValue(v.width[1][0]);
    ui->g2c2start->setValue(v.delay[1][1]);
    ui->g2c2stop->setValue(v.width[1][1]);
    setIndex(ui->sourceG1, GeneratorForm::sourceIndex(0, v.source[0]));
    setIndex(ui->sourceG2, GeneratorForm::sourceIndex(1, v.source[1]));
}
