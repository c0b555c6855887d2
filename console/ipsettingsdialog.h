#pragma once

#include <QDialog>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <memory>

class QLineEdit;
class QSettings;

namespace Ui {
class IPDialog;
}

// The addresses of everything the console talks to: the station PCs with an
// alias each, the slave and master pulse generators and the lens controllers
// (entry i belongs to station i). Every list is checked while typed (a bad
// one turns red and disables Set); Set stores the lists and hands them to the
// main window. The dialog is closed only by Set or Cancel. A stored list that
// cannot be read as a text is said so in its empty edit, and Set leaves it
// stored until a list is typed in its place.
class ipsettingsdialog : public QDialog
{
    Q_OBJECT

public:
    explicit ipsettingsdialog(QWidget* parent = nullptr);
    ~ipsettingsdialog() override;

signals:
    void LCListUpdated(const QStringList& addresses);
    void TMXListUpdated(const QStringList& addresses);
    void PCListUpdated(const QStringList& addresses, const QStringList& aliases);
    void masterUpdated(const QString& address);
    void ignoreIPSet(bool);
    void connectLCs();
    void camNameUpdated(const QStringList& aliases);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void setSettings();
    void editCamIPList();
    void editCamAliasList();
    void editTMXIPList();
    void editMTMXIPList();
    void editLCIPList();
    void cancelSet();

private:
    // Checks the list in `edit`, colours it and stores it in *list; true when valid.
    static bool editList(QLineEdit* edit, QStringList* list);
    static void colour(QLineEdit* edit, bool valid);
    void updateSetButton();
    // The settings keys and the edits that show them.
    QVector<QPair<const char*, QLineEdit*>> storedEdits() const;

    std::unique_ptr<Ui::IPDialog> ui;
    std::unique_ptr<QSettings> m_settings;
    QString m_master;
    QStringList m_stations;
    QStringList m_aliases;
    QStringList m_slaves;
    QStringList m_lensControllers;
    bool m_masterValid = false;
    bool m_slavesValid = false;
    bool m_stationsValid = false;
    bool m_lensControllersValid = false;
    bool m_aliasesSafe = true;
    QSet<QString> m_unread; // keys whose stored value could not be read
};
