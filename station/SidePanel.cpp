#include "SidePanel.h"

#include "capture/CaptureNaming.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <QValidator>

namespace Range = StationSettings::Range;

namespace {

// The prefix and point go into every file name of a capture: what would take
// a name out of the work folder cannot be typed.
class FileNamePartValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override { return isFileNamePart(input) ? Acceptable : Invalid; }
};

void restoreName(QLineEdit* field, const QString& stored)
{
    if (isFileNamePart(stored))
        field->setText(stored);
    else
        qWarning("SidePanel::restoreRun: stored file-name part \"%s\" dropped (separator, \"..\" or control "
                 "character)", qUtf8Printable(stored));
}

} // namespace

SidePanel::SidePanel()
    : m_holder(std::make_unique<QWidget>())
{
    QWidget* h = m_holder.get();

    exposure = new QDoubleSpinBox(h);
    exposureLabel = new QLabel(QStringLiteral("Exposure (us)"), h);
    exposure->setRange(Range::ExposureMin, Range::ExposureMax);
    exposure->setDecimals(0);
    exposure->setSingleStep(1000);
    exposure->setButtonSymbols(QAbstractSpinBox::NoButtons);

    gateLabel[0] = new QLabel(QStringLiteral("Gate1:"), h);
    gateLabel[1] = new QLabel(QStringLiteral("Gate2:"), h);
    gateExposureLabel = new QLabel(QStringLiteral("Exposure(us):"), h);
    countLabel = new QLabel(QStringLiteral("Count:"), h);
    periodLabel = new QLabel(QStringLiteral("Period(us):"), h);
    delayLabel = new QLabel(QStringLiteral("CamDelay(us):"), h);
    ledWidthLabel = new QLabel(QStringLiteral("LED Width(us):"), h);
    for (Gate& g : gate) {
        g.exposure = new QLineEdit(h);
        g.count = new QSpinBox(h);
        g.count->setRange(Range::CountMin, Range::CountMax);
        g.period = new QLineEdit(h);
        g.delay = new QLineEdit(h);
        g.ledWidth = new QLineEdit(h);
    }

    framesLabel = new QLabel(QStringLiteral("Frames"), h);
    frames = new QSpinBox(h);
    frames->setRange(Range::FramesMin, Range::FramesMax);
    averageLabel = new QLabel(QStringLiteral("Average"), h);
    average = new QSpinBox(h);
    average->setRange(Range::AverageMin, Range::AverageMax);

    extTriggerLabel = new QLabel(QStringLiteral(" Ext.Trigger"), h);
    extTrigger = new QCheckBox(h);

    prefixLabel = new QLabel(QStringLiteral("Run#:"), h);
    workFolderLabel = new QLabel(QStringLiteral("Work folder:"), h);
    pointLabel = new QLabel(QStringLiteral("Point:"), h);
    prefix = new QLineEdit(h);
    point = new QLineEdit(h);
    prefix->setValidator(new FileNamePartValidator(prefix));
    point->setValidator(new FileNamePartValidator(point));
    workFolder = new QLineEdit(h);
    workFolder->setReadOnly(true);
    workFolder->setFixedWidth(400);
    workFolder->setEnabled(false);

    splitColors = new QCheckBox(QStringLiteral("Split Colors"), h);
    splitColors->setEnabled(false);
    multipage = new QCheckBox(QStringLiteral("Multipage TIFF"), h);
    multipage->setEnabled(false);
    folderChooser = new QToolButton(h);
    folderChooser->setText(QStringLiteral("..."));
    folderChooser->setEnabled(false);
}

SidePanel::~SidePanel() = default;

void SidePanel::restoreGates(const StationSettings::SidePanelValues& values)
{
    for (int i = 0; i < 2; ++i) {
        gate[i].exposure->setText(values.gate[i].exposure);
        gate[i].count->setValue(values.gate[i].count);
        gate[i].period->setText(values.gate[i].period);
        gate[i].delay->setText(values.gate[i].delay);
        gate[i].ledWidth->setText(values.gate[i].ledWidth);
    }
}

void SidePanel::restoreRun(const StationSettings::SidePanelValues& values)
{
    frames->setValue(values.frames);
    average->setValue(values.average);
    extTrigger->setChecked(values.extTrigger);
    restoreName(prefix, values.prefix);
    restoreName(point, values.point);
    workFolder->setText(values.workFolder);
}

void SidePanel::setGateWidgetsEnabled(bool on)
{
    for (QWidget* w : {static_cast<QWidget*>(gateLabel[0]), static_cast<QWidget*>(gateLabel[1]),
                       static_cast<QWidget*>(gateExposureLabel), static_cast<QWidget*>(countLabel),
                       static_cast<QWidget*>(periodLabel), static_cast<QWidget*>(delayLabel),
                       static_cast<QWidget*>(ledWidthLabel)})
        w->setEnabled(on);
    for (Gate& g : gate) {
        g.exposure->setEnabled(on);
        g.count->setEnabled(on);
        g.period->setEnabled(on);
        g.delay->setEnabled(on);
        g.ledWidth->setEnabled(on);
    }
}

void SidePanel::setCameraWidgetsEnabled(bool on)
{
    exposure->setEnabled(on);
    exposureLabel->setEnabled(on);
    setGateWidgetsEnabled(on);
    folderChooser->setEnabled(on);
}

QWidget* SidePanel::buildFileWidget()
{
    auto* widget = new QWidget;
    auto* grid = new QGridLayout(widget);
    grid->addWidget(prefixLabel, 0, 0, 1, 1);
    grid->addWidget(prefix, 0, 1, 1, 3);
    grid->addWidget(pointLabel, 0, 4, 1, 1);
    grid->addWidget(point, 0, 5, 1, 3);
    grid->addWidget(workFolderLabel, 0, 8, 1, 1);
    grid->addWidget(workFolder, 0, 9, 1, 4);
    grid->addWidget(folderChooser, 0, 13, 1, 1);
    grid->addWidget(splitColors, 0, 14, 1, 1);
    grid->addWidget(multipage, 0, 15, 1, 1);
    return widget;
}
