#pragma once

class QAction;
class QMainWindow;
class QWidgetAction;
class SidePanel;

namespace Ui {
class LUMI_camClass;
}

// The camera tool bar of the main window, laid out for each acquisition mode
// (ModeLayout): the mode label, the mode's actions, the exposure, frames and
// averaging boxes (label above input) and the gate panel, plus the generator
// action of the main tool bar. The boxes reuse the side panel's widgets; they
// and the labels are children of the window, which owns them, so tests find
// them by object name.
class ModeToolBar
{
public:
    // None is owned; all outlive the tool bar.
    ModeToolBar(QMainWindow& window, Ui::LUMI_camClass& form, SidePanel& panel);

    // Lays the camera tool bar out for mode layout `layoutNumber` (1..3).
    void rebuild(int layoutNumber);

    // "TMX IP" in the main tool bar while a gated layout is shown.
    QAction* generatorAction() const { return m_generatorAction; }

private:
    void buildGatePanel();

    QMainWindow& m_window;
    Ui::LUMI_camClass& m_form;
    SidePanel& m_panel;
    QAction* m_generatorAction = nullptr;
    QWidgetAction* m_exposureBox = nullptr;
    QWidgetAction* m_framesBox = nullptr;
    QWidgetAction* m_averageBox = nullptr;
    QWidgetAction* m_gatePanel = nullptr;
    QAction* m_modeLabels[4] = {};
};
