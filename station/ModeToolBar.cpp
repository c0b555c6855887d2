#include "ModeToolBar.h"

#include "SidePanel.h"
#include "runs/ModeLayout.h"
#include "ui_LUMI_camClass.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QSpinBox>
#include <QToolBar>
#include <QWidgetAction>

ModeToolBar::ModeToolBar(QMainWindow& window, Ui::LUMI_camClass& form, SidePanel& panel)
    : m_window(window), m_form(form), m_panel(panel)
{
    m_generatorAction = new QAction(&m_window);
    m_generatorAction->setObjectName(QStringLiteral("generatorAction"));

    const auto box = [this](QLabel* label, QWidget* input, const char* name) {
        auto* widget = new QWidget;
        auto* grid = new QGridLayout(widget);
        grid->setContentsMargins(2, 0, 2, 0);
        grid->addWidget(label, 0, 0);
        grid->addWidget(input, 1, 0);
        auto* action = new QWidgetAction(&m_window);
        action->setObjectName(QLatin1String(name));
        action->setDefaultWidget(widget);
        return action;
    };
    m_exposureBox = box(m_panel.exposureLabel, m_panel.exposure, "exposureBox");
    m_framesBox = box(m_panel.framesLabel, m_panel.frames, "framesBox");
    m_averageBox = box(m_panel.averageLabel, m_panel.average, "averageBox");
    buildGatePanel();
}

void ModeToolBar::buildGatePanel()
{
    auto* panel = new QWidget;
    auto* grid = new QGridLayout(panel);
    grid->setSpacing(GatePanelSpacing);
    grid->setContentsMargins(2, 0, 2, 0);
    const SidePanel::Gate* gates = m_panel.gate;
    for (const GatePanelCell& cell : gatePanelCells()) {
        QWidget* w = nullptr;
        switch (cell.widget) {
        case GatePanelCell::LabelExposure: w = m_panel.gateExposureLabel; break;
        case GatePanelCell::LabelCount: w = m_panel.countLabel; break;
        case GatePanelCell::LabelPeriod: w = m_panel.periodLabel; break;
        case GatePanelCell::LabelDelay: w = m_panel.delayLabel; break;
        case GatePanelCell::LabelWidth: w = m_panel.ledWidthLabel; break;
        case GatePanelCell::LabelGate1: w = m_panel.gateLabel[0]; break;
        case GatePanelCell::LabelGate2: w = m_panel.gateLabel[1]; break;
        case GatePanelCell::Exposure1: w = gates[0].exposure; break;
        case GatePanelCell::Count1: w = gates[0].count; break;
        case GatePanelCell::Period1: w = gates[0].period; break;
        case GatePanelCell::Delay1: w = gates[0].delay; break;
        case GatePanelCell::Width1: w = gates[0].ledWidth; break;
        case GatePanelCell::Exposure2: w = gates[1].exposure; break;
        case GatePanelCell::Count2: w = gates[1].count; break;
        case GatePanelCell::Period2: w = gates[1].period; break;
        case GatePanelCell::Delay2: w = gates[1].delay; break;
        case GatePanelCell::Width2: w = gates[1].ledWidth; break;
        }
        grid->addWidget(w, cell.row, cell.column);
    }
    m_gatePanel = new QWidgetAction(&m_window);
    m_gatePanel->setObjectName(QStringLiteral("gatePanel"));
    m_gatePanel->setDefaultWidget(panel);
}

void ModeToolBar::rebuild(int layoutNumber)
{
    QToolBar* bar = m_form.toolBarCam;
    bar->clear();
    const ModeLayout layout = ModeLayout::forNumber(layoutNumber);
    if (!layout.modeLabel.isEmpty()) {
        QAction*& label = m_modeLabels[layoutNumber];
        if (!label) {
            label = new QAction(layout.modeLabel, &m_window);
            label->setObjectName(QStringLiteral("modeLabel"));
            label->setEnabled(false);
        }
        bar->addAction(label);
    }
    for (const QString& name : layout.actions)
        if (QAction* action = m_window.findChild<QAction*>(name))
            bar->addAction(action);
    QAction* turbo = m_form.actionTurbo;
    for (ModeLayout::Box b : layout.boxes) {
        QWidgetAction* box = nullptr;
        switch (b) {
        case ModeLayout::Box::Exposure: box = m_exposureBox; break;
        case ModeLayout::Box::Frames: box = m_framesBox; break;
        case ModeLayout::Box::Average: box = m_averageBox; break;
        case ModeLayout::Box::GatePanel: box = m_gatePanel; break;
        }
        bar->insertAction(bar->actions().contains(turbo) ? turbo : nullptr, box);
    }
    if (!layout.framesLabel.isEmpty())
        m_panel.framesLabel->setText(layout.framesLabel);
    switch (layout.generator) {
    case ModeLayout::GeneratorAction::Added:
        m_generatorAction->setIcon(QIcon(QLatin1String(ModeLayout::GeneratorIcon)));
        m_generatorAction->setText(QLatin1String(ModeLayout::GeneratorText));
        m_form.mainToolBar->addAction(m_generatorAction);
        break;
    case ModeLayout::GeneratorAction::Removed:
        m_form.mainToolBar->removeAction(m_generatorAction);
        break;
    case ModeLayout::GeneratorAction::Untouched:
        break;
    }
    if (layout.showExposure) {
        m_panel.exposureLabel->show();
        m_panel.exposure->show();
    }
    if (layout.checkTriggerAndWidth) {
        m_form.actionTrigger->setChecked(true);
        m_form.actionPulseWidth->setChecked(true);
    }
    if (layout.framesInPairs) {
        m_panel.frames->setSingleStep(ModeLayout::PairsStep);
        m_panel.frames->setRange(ModeLayout::FramesMinimum, ModeLayout::FramesMaximum);
    }
}
