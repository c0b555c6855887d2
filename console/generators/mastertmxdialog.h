#pragma once

#include "generators/GeneratorForm.h"

#include <QDialog>
#include <QString>

#include <memory>

class EventWait;
class TmxApply;
class TmxProfiles;

namespace Ui {
class DalogMaster;
}

// The master pulse generator's settings: the two-generator form, its
// profiles, Apply, and the run and stop buttons that apply the form before
// they ask the main window to start or stop the generators. A run is asked
// for only once the master has taken the settings; a stop always.
class mastertmxdialog : public QDialog
{
    Q_OBJECT

public:
    explicit mastertmxdialog(QWidget* parent = nullptr);
    ~mastertmxdialog() override;

    // The address every Apply goes to; shown in the dialog.
    void setMasterIP(const QString& address);
    GeneratorForm::Values values() const;
    // Fills the form (from the master's read-back).
    void setValues(const GeneratorForm::Values& values);
    // Refills the profile list before the dialog is shown.
    void fillProfiles();

signals:
    void stopMasterTMX();
    void startMasterTMX();
    void startMasterTMX1();
    void startMasterTMX2();

public slots:
    // Sends the form to the master and keeps the dialog busy for 600 ms; the
    // answer may come later (a failure is warned of).
    void applySettings();
    void saveSettings();
    void loadSettings();
    void deleteSettings();
    void runMaster();
    void stopMaster();
    void runMaster1();
    void runMaster2();

private:
    // Sends the form with the progress window up for 600 ms. When a run is
    // to follow, the window stays until the master has answered or the
    // request failed (its warning closed); true when the master took it.
    bool applyForm(bool runFollows);

    std::unique_ptr<Ui::DalogMaster> ui;
    QString m_master;
    TmxProfiles* m_profiles = nullptr;
    TmxApply* m_apply = nullptr;
    EventWait* m_wait = nullptr;
    bool m_applying = false;
};
