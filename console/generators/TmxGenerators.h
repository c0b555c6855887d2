#pragma once

#include "generators/GeneratorForm.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TmxGenerators;
}

// The two generator groups that both generator dialogs show: per generator
// its trigger source, period, pulse count, two channels (delay and width)
// and time unit.
class TmxGenerators : public QWidget
{
    Q_OBJECT

public:
    explicit TmxGenerators(QWidget* parent = nullptr);
    ~TmxGenerators() override;

    GeneratorForm::Values values() const;
    // Time units first, then periods, pulses, delays and widths, sources
    // last. A trigger code or time unit the combos lack leaves its combo as
    // it is; a spin box clamps a value outside its range.
    void setValues(const GeneratorForm::Values& values);

private:
    std::unique_ptr<Ui::TmxGenerators> ui;
};
