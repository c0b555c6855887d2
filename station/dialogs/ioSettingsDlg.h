#pragma once

#include <QDialog>

#include <memory>

class NqDevice;
class NqGenParameterArray;

namespace Ui {
class ioSettingsDialog;
}

// The signal on the camera's output line 1 and its polarity, written as soon
// as the user picks them. When the camera refuses one, the boxes show the
// camera's settings again and writeRefused() names the feature. Filling the
// boxes from the camera writes nothing.
class ioSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    // `device` is not owned and must outlive the dialog.
    explicit ioSettingsDlg(NqDevice* device, QWidget* parent = nullptr);
    ~ioSettingsDlg() override;

    void loadFromCamera();

signals:
    // "The camera refused <feature>", after a write the camera did not take.
    void writeRefused(const QString& text);

public slots:
    void typeChanged(int index);
    void activeChanged(int index);

private:
    NqGenParameterArray* camera();
    // Writes one box's entry through `writeEntry`; shows the camera's settings
    // again when the camera refused it.
    void write(void (*writeEntry)(NqGenParameterArray&, int), int index);

    NqDevice* m_device;
    std::unique_ptr<Ui::ioSettingsDialog> ui;
};
