#pragma once

#include "camera/NqSystem.h"

#include <QDialog>

#include <memory>

class QModelIndex;
class QStandardItemModel;
class camWorker;

namespace Ui {
class camSrch;
}

// Lists the GigE Vision cameras found on the PC's interfaces, forces a new
// address onto a camera and hands the picked camera to the main window.
class camSearchDlg : public QDialog
{
    Q_OBJECT

public:
    // Item data roles of the tree rows: where the row's camera is in the
    // system's last discovery (device index -1 on interface rows).
    enum Role { InterfaceIndexRole = Qt::UserRole + 1, DeviceIndexRole };

    explicit camSearchDlg(QWidget* parent = nullptr);
    ~camSearchDlg() override;

    // Fresh discovery and tree; called each time the dialog is opened.
    void startSearch();
    // The picked camera while selectedCamera(true) is being delivered, else null.
    const NqDeviceInfo* currentDeviceInfo() const { return m_current; }

signals:
    void selectedCamera(bool);
    void dialogClosed();

public slots:
    void runReload(bool ok);
    void reload();
    void manualReload();
    void treeViewOneClick(const QModelIndex& index);
    void treeViewDoubleClick(const QModelIndex& index);
    void connectCam();
    void setCamNewIP();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const NqDeviceInfo* deviceAt(const QModelIndex& index) const;
    void stopSearchThread();

    std::unique_ptr<Ui::camSrch> ui;
    NqSystem m_system;
    std::unique_ptr<camWorker> m_worker;
    QThread* m_searchThread;
    QStandardItemModel* m_model;
    const NqDeviceInfo* m_current = nullptr;
    bool m_picked = false; // selectedCamera was emitted since the dialog last closed
};
