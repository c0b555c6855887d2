#pragma once

#include <QDialog>
#include <QStringList>

// The slave pulse generators' settings and profiles. Its form and requests
// are still to come; the main window already hands it the slave list.
class multitmxdialog : public QDialog
{
    Q_OBJECT

public:
    explicit multitmxdialog(QWidget* parent = nullptr);

    void setSlaveTMXList(const QStringList& addresses);
    // Refills the profile list before the dialog is shown.
    void fillProfiles();
};
