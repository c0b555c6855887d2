#pragma once

#include <QDialog>

#include <memory>

class NqDevice;
class NqGenParameterArray;

namespace Ui {
class sensorSettingsDialog;
}

// The camera's sensor read-out: taps, speed, pixel depth, binning and the
// data corrections. Each combo box writes its feature as soon as the user
// changes it; the window hears of a new depth, binning or exposure limit
// through the signals. When the camera refuses a write, the boxes show the
// camera's settings again and writeRefused() names the features. Filling the
// boxes from the camera writes nothing.
class sensorSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    // `device` is not owned and must outlive the dialog.
    explicit sensorSettingsDlg(NqDevice* device, QWidget* parent = nullptr);
    ~sensorSettingsDlg() override;

    void loadFromCamera();
    // Reports the longest exposure of the current frame time (timed exposures only).
    void exposureModeChanged();
    // Taps, depth and binning change the frame's size or format: they are
    // locked while a preview or capture runs.
    void setRunActive(bool active);

signals:
    void setDepth(int bits);
    void setBinning(int factor);
    void updMaxExposure(int maximum);
    // "The camera refused <features>", after a change the camera did not take whole.
    void writeRefused(const QString& text);

public slots:
    void changeTap(int index);
    void changeSpeed(int index);
    // The depth entry is read from its box: rebuilding the list changes it.
    void changeDepth(int ignored);
    void changeBin(int index);
    void changeFlatField(int index);
    void changeVerticalSmear(int index);
    void changeBlackLevel(int index);

private:
    // The camera's features while it is connected, else null.
    NqGenParameterArray* camera();
    void fillDepthList(int entries, int selected);
    // Runs one change on the camera's features, then shows the camera's
    // settings again if it refused any of the change's writes.
    template <typename Change>
    void write(Change change);

    NqDevice* m_device;
    std::unique_ptr<Ui::sensorSettingsDialog> ui;
};
