#pragma once

#include <QDialog>

#include <memory>

class QSettings;

namespace Ui {
class LCMulti;
}

// The names of the lens presets that the console saves, loads and deletes on
// every station at once. Only the names are kept here (group "MultiProfiles"
// of the lens settings); the stations keep the positions. Each action is
// handed on as a signal with the name; the main window relays it.
class multilcDlg : public QDialog
{
    Q_OBJECT

public:
    explicit multilcDlg(QWidget* parent = nullptr);
    ~multilcDlg() override;

    // Refills the name list from the store.
    void fillProfiles();

public slots:
    void saveSettings();
    void loadSettings();
    void deleteSelected();

signals:
    void saveProfile(const QString& name);
    void loadProfile(const QString& name);
    void deleteProfile(const QString& name);
    void LCClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::LCMulti> ui;
    std::unique_ptr<QSettings> m_settings;
};
