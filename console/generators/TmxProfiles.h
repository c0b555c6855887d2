#pragma once

#include <QObject>

#include <memory>

class QComboBox;
class QSettings;
class QWidget;
class TmxGenerators;

// Named snapshots of a generator dialog's form, shared by both dialogs
// through one store: save, load and delete with the dialog's profile combo.
// A profile only fills the form; Apply sends it.
class TmxProfiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxProfiles = 10;

    TmxProfiles(QWidget* dialog, QComboBox* combo, TmxGenerators* form);
    ~TmxProfiles() override;

    // The combo lists the store's names, sorted by character code.
    void fill();
    // Asks for a name and stores the form under it.
    void save();
    // Fills the form from the profile the combo shows.
    void load();
    // Deletes the profile the combo shows, when the user confirms.
    void remove();

private:
    QWidget* m_dialog;
    QComboBox* m_combo;
    TmxGenerators* m_form;
    std::unique_ptr<QSettings> m_store;
};
