#pragma once

#include <QDialog>

#include <memory>

class NqDevice;
class NqGenParameterArray;

namespace Ui {
class ioSettingsDialog;
}

// The signal on the camera's output line 1 and its polarity, written as soon
// as the user picks them. Filling the boxes from the camera writes nothing.
class ioSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    // `device` is not owned and must outlive the dialog.
    explicit ioSettingsDlg(NqDevice* device, QWidget* parent = nullptr);
    ~ioSettingsDlg() override;

    void loadFromCamera();

public slots:
    void typeChanged(int index);
    void activeChanged(int index);

private:
    NqGenParameterArray* camera();

    NqDevice* m_device;
    std::unique_ptr<Ui::ioSettingsDialog> ui;
};
