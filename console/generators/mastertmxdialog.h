#pragma once

#include <QDialog>
#include <QString>

// The master pulse generator's settings with its run and stop buttons. Its
// form and requests are still to come; the main window already listens to
// its signals and hands it the master address.
class mastertmxdialog : public QDialog
{
    Q_OBJECT

public:
    explicit mastertmxdialog(QWidget* parent = nullptr);

    void setMasterIP(const QString& address);

signals:
    void startMasterTMX();
    void startMasterTMX1();
    void startMasterTMX2();
    void stopMasterTMX();
};
