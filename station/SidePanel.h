#pragma once

#include "StationSettings.h"

#include <memory>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;
class QWidget;

// The run-parameter widgets of the main window. The main window places them
// on its tool bars (the layout depends on the acquisition mode); until then
// they live in a hidden holder that owns whatever has not been placed.
class SidePanel
{
public:
    struct Gate
    {
        QLineEdit* exposure;
        QSpinBox* count;
        QLineEdit* period;
        QLineEdit* delay;
        QLineEdit* ledWidth;
    };

    SidePanel(); // every widget created, ranges set, nothing restored yet
    ~SidePanel();
    SidePanel(const SidePanel&) = delete;
    SidePanel& operator=(const SidePanel&) = delete;

    void restoreGates(const StationSettings::SidePanelValues& values);
    // Frames, average, external trigger, prefix, point and work folder.
    void restoreRun(const StationSettings::SidePanelValues& values);
    void setGateWidgetsEnabled(bool on); // gate labels and fields
    // The widgets that need a camera: exposure and its label, the gate
    // labels and fields, and the folder chooser.
    void setCameraWidgetsEnabled(bool on);
    // The "File Bar" widget: prefix, point, work folder and file options in one row.
    QWidget* buildFileWidget();

    QDoubleSpinBox* exposure;
    QLabel* exposureLabel;
    QLabel* gateLabel[2];
    QLabel* gateExposureLabel;
    QLabel* countLabel;
    QLabel* periodLabel;
    QLabel* delayLabel;
    QLabel* ledWidthLabel;
    Gate gate[2];
    QLabel* framesLabel;
    QSpinBox* frames;
    QLabel* averageLabel;
    QSpinBox* average;
    QLabel* extTriggerLabel;
    QCheckBox* extTrigger;
    QLabel* prefixLabel;
    QLineEdit* prefix;
    QLabel* pointLabel;
    QLineEdit* point;
    QLabel* workFolderLabel;
    QLineEdit* workFolder;
    QToolButton* folderChooser;
    QCheckBox* splitColors;
    QCheckBox* multipage;

private:
    std::unique_ptr<QWidget> m_holder;
};
