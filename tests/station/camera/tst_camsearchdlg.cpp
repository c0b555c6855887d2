#include "ScriptedPrompt.h"
#include "SimulatedCamera.h"
#include "camera/camSearchDlg.h"

#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

namespace {

struct Dialog
{
    Dialog()
    {
        tree = dlg.findChild<QTreeView*>("treeView");
        connectButton = dlg.findChild<QPushButton*>("pushButtonConnect");
    }

    QStandardItemModel* model() const { return qobject_cast<QStandardItemModel*>(tree->model()); }
    QModelIndex interfaceRow() const { return model()->index(0, 0); }
    QModelIndex cameraRow() const { return model()->index(0, 0, interfaceRow()); }
    void select(const QModelIndex& index)
    {
        tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }

    camSearchDlg dlg;
    QTreeView* tree;
    QPushButton* connectButton;
};

SimulatedCameraOptions loopbackCamera()
{
    SimulatedCameraOptions options;
    options.address = "127.0.0.1";
    options.model = "GEV_K3370M";
    options.serial = "SIM00042";
    options.userName = "Bench";
    return options;
}

} // namespace

// Discovery runs against the simulated camera on 127.0.0.1, the address the
// loopback interface's discovery reaches.
class tst_CamSearchDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsInterfaceAndCamera();
    void oneClickEnablesConnectForAnOpenCamera();
    void busyCameraIsYellowAndRefused();
    void pickHandsOverTheCameraAndCloses();
    void closingWithoutPickReportsIt();
    void connectButtonPicksTheSelection();
    void escapeReportsClosing();

private:
    std::unique_ptr<SimulatedCamera> m_camera;
};

void tst_CamSearchDlg::init()
{
    m_camera = std::make_unique<SimulatedCamera>(loopbackCamera());
    QVERIFY(m_camera->start());
}

void tst_CamSearchDlg::cleanup()
{
    m_camera.reset();
}

void tst_CamSearchDlg::listsInterfaceAndCamera()
{
    Dialog d;
    d.dlg.startSearch();
    QCOMPARE(d.model()->rowCount(), 1);
    QCOMPARE(d.interfaceRow().data().toString(), QString("lo [127.0.0.1]"));
    QCOMPARE(d.model()->rowCount(d.interfaceRow()), 1);
    const QModelIndex cam = d.cameraRow();
    QCOMPARE(cam.data().toString(), QString("Cam: Tarnel-M  [127.0.0.1] #SIM00042 (Bench)"));
    QVERIFY(!cam.data(Qt::BackgroundRole).isValid());
    QVERIFY(!cam.data(Qt::ForegroundRole).isValid());
    QCOMPARE(d.interfaceRow().data(Qt::FontRole).value<QFont>().weight(), int(QFont::Bold));
    QCOMPARE(cam.data(Qt::FontRole).value<QFont>().weight(), int(QFont::Light));
    QVERIFY(!(d.model()->itemFromIndex(cam)->flags() & Qt::ItemIsEditable));
    QVERIFY(d.tree->isExpanded(d.interfaceRow()));

    // A second search rebuilds the tree instead of adding to it: an interface
    // an earlier search listed and that is gone now leaves no row behind.
    d.model()->appendRow(new QStandardItem(QStringLiteral("eth9 [10.0.0.1]")));
    d.dlg.manualReload();
    QCOMPARE(d.model()->rowCount(), 1);
    QCOMPARE(d.interfaceRow().data().toString(), QString("lo [127.0.0.1]"));
    QCOMPARE(d.model()->rowCount(d.interfaceRow()), 1);
}

void tst_CamSearchDlg::oneClickEnablesConnectForAnOpenCamera()
{
    Dialog d;
    d.dlg.startSearch();
    QVERIFY(!d.connectButton->isEnabled());
    d.dlg.treeViewOneClick(d.cameraRow());
    QVERIFY(d.connectButton->isEnabled());
    d.dlg.treeViewOneClick(d.interfaceRow());
    QVERIFY(!d.connectButton->isEnabled());
}

void tst_CamSearchDlg::busyCameraIsYellowAndRefused()
{
    m_camera->setControlPrivilege(2); // another controller holds it
    ScriptedPrompt prompt;
    Dialog d;
    QSignalSpy picked(&d.dlg, &camSearchDlg::selectedCamera);
    d.dlg.show();
    d.dlg.startSearch();
    const QModelIndex cam = d.cameraRow();
    QCOMPARE(cam.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
    d.dlg.treeViewOneClick(cam);
    QVERIFY(!d.connectButton->isEnabled());
    d.dlg.treeViewDoubleClick(cam);
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QString("warning"));
    QCOMPARE(prompt.shown[0].title, QString("IP Network Error"));
    QCOMPARE(prompt.shown[0].text, QString("Camera <b>127.0.0.1</b> is busy!"));
    QCOMPARE(picked.count(), 0);
    QVERIFY(d.dlg.isVisible());
}

void tst_CamSearchDlg::pickHandsOverTheCameraAndCloses()
{
    Dialog d;
    QSignalSpy closed(&d.dlg, &camSearchDlg::dialogClosed);
    QString pickedIp;
    QObject::connect(&d.dlg, &camSearchDlg::selectedCamera, &d.dlg, [&](bool on) {
        QVERIFY(on);
        const NqDeviceInfo* info = d.dlg.currentDeviceInfo();
        pickedIp = info ? QString(info->GetIPAddress().GetAscii()) : QString("none");
    });
    d.dlg.show();
    d.dlg.startSearch();
    d.dlg.treeViewDoubleClick(d.cameraRow());
    QCOMPARE(pickedIp, QString("127.0.0.1"));
    QVERIFY(!d.dlg.isVisible());
    QCOMPARE(closed.count(), 0);
    QVERIFY(!d.dlg.currentDeviceInfo());

    // Opened again and closed without a pick: now the closing is reported.
    d.dlg.show();
    d.dlg.startSearch();
    d.dlg.close();
    QCOMPARE(closed.count(), 1);
}

void tst_CamSearchDlg::closingWithoutPickReportsIt()
{
    m_camera->setControlPrivilege(2);
    ScriptedPrompt prompt;
    Dialog d;
    QSignalSpy closed(&d.dlg, &camSearchDlg::dialogClosed);
    d.dlg.show();
    d.dlg.startSearch();
    d.dlg.treeViewDoubleClick(d.cameraRow()); // refused: no pick
    d.dlg.close();
    QCOMPARE(closed.count(), 1);
}

void tst_CamSearchDlg::connectButtonPicksTheSelection()
{
    Dialog d;
    QSignalSpy picked(&d.dlg, &camSearchDlg::selectedCamera);
    d.dlg.show();
    d.dlg.startSearch();
    d.dlg.connectCam(); // nothing selected
    QCOMPARE(picked.count(), 0);
    d.select(d.cameraRow());
    d.dlg.treeViewOneClick(d.cameraRow());
    QTest::mouseClick(d.connectButton, Qt::LeftButton);
    QCOMPARE(picked.count(), 1);
}

void tst_CamSearchDlg::escapeReportsClosing()
{
    Dialog d;
    QSignalSpy closed(&d.dlg, &camSearchDlg::dialogClosed);
    d.dlg.show();
    d.dlg.startSearch();
    QTest::keyClick(&d.dlg, Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!d.dlg.isVisible());
}

QTEST_MAIN(tst_CamSearchDlg)
#include "tst_camsearchdlg.moc"
