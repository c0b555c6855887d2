#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class EventWait;
class TmxApply;
class TmxProfiles;

namespace Ui {
class Dialog;
}

// The slave pulse generators' settings: the two-generator form and its
// profiles, applied to one chosen slave or to every slave in turn.
class multitmxdialog : public QDialog
{
    Q_OBJECT

public:
    explicit multitmxdialog(QWidget* parent = nullptr);
    ~multitmxdialog() override;

    // The slaves to choose from, after "All Slave TMX".
    void setSlaveTMXList(const QStringList& addresses);
    // Refills the profile list before the dialog is shown.
    void fillProfiles();

public slots:
    // One chosen slave: one request and 600 ms of pacing. All slaves: each
    // in list order, 300 ms apart, the next only once the previous one has
    // answered or failed (its warning closed).
    void applySettings();
    void saveSettings();
    void loadSettings();
    void deleteSettings();

private:
    std::unique_ptr<Ui::Dialog> ui;
    QStringList m_slaves;
    TmxProfiles* m_profiles = nullptr;
    TmxApply* m_apply = nullptr;
    EventWait* m_wait = nullptr;
    bool m_applying = false;
};
