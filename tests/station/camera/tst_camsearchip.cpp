#include "GvcpScriptedPeer.h"
#include "ScriptedPrompt.h"
#include "camera/camSearchDlg.h"

#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

namespace {

uint32_t ip(const char* text)
{
    uint32_t value = 0;
    NqGvcp::parseIp(text, value);
    return value;
}

NqGvcp::DeviceRecord farCamera()
{
    NqGvcp::DeviceRecord identity;
    identity.ip = ip("192.168.5.10"); // never contacted: it only travels inside the ack
    identity.subnetMask = ip("255.255.255.0");
    identity.gateway = ip("192.168.5.1");
    NqGvcp::parseMac("02:4b:53:00:00:99", identity.mac);
    identity.manufacturer = "Kessane";
    identity.model = "GEV_K3370C";
    identity.serial = "PEER0001";
    identity.userName = "Far";
    return identity;
}

} // namespace

// A scripted GVCP peer on 127.0.0.1 answers discovery for a camera whose
// address it chooses, and records the FORCEIP commands it receives.
class tst_CamSearchIp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void otherSubnetIsGreyAndRefused();
    void newAddressIsForcedAndSearchedAgain();
    void invalidAddressIsRefusedBeforeSending_data();
    void invalidAddressIsRefusedBeforeSending();
    void cancelledChangeSearchesAgain();
    void unansweredChangeIsReported();
    void changeWithoutSelectionDoesNothing();

private:
    QModelIndex cameraRow() const;
    void searchAndSelectCamera();

    std::unique_ptr<GvcpScriptedPeer> m_peer;
    std::unique_ptr<camSearchDlg> m_dlg;
    QTreeView* m_tree = nullptr;
};

void tst_CamSearchIp::init()
{
    m_peer = std::make_unique<GvcpScriptedPeer>("127.0.0.1");
    m_peer->setIdentity(farCamera());
    QVERIFY(m_peer->start());
    m_dlg = std::make_unique<camSearchDlg>();
    m_tree = m_dlg->findChild<QTreeView*>("treeView");
}

void tst_CamSearchIp::cleanup()
{
    m_dlg.reset();
    m_peer.reset();
}

QModelIndex tst_CamSearchIp::cameraRow() const
{
    return m_tree->model()->index(0, 0, m_tree->model()->index(0, 0));
}

void tst_CamSearchIp::searchAndSelectCamera()
{
    m_dlg->startSearch();
    QVERIFY(cameraRow().isValid());
    m_tree->selectionModel()->setCurrentIndex(cameraRow(), QItemSelectionModel::ClearAndSelect);
}

void tst_CamSearchIp::otherSubnetIsGreyAndRefused()
{
    ScriptedPrompt prompt;
    QSignalSpy picked(m_dlg.get(), &camSearchDlg::selectedCamera);
    m_dlg->show();
    m_dlg->startSearch();
    const QModelIndex cam = cameraRow();
    QCOMPARE(cam.data().toString(), QString("Cam: Tarnel-C  [192.168.5.10] #PEER0001 (Far)"));
    QCOMPARE(cam.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::darkGray));
    QVERIFY(!cam.data(Qt::BackgroundRole).isValid());

    m_dlg->treeViewOneClick(cam);
    QVERIFY(!m_dlg->findChild<QPushButton*>("pushButtonConnect")->isEnabled());
    m_dlg->treeViewDoubleClick(cam);
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QString("warning"));
    QCOMPARE(prompt.shown[0].title, QString("IP Network Error"));
    QCOMPARE(prompt.shown[0].text,
             QString("Camera <b>192.168.5.10</b> is in other subnetwork,<br> please correct IP address and try again."));
    QCOMPARE(picked.count(), 0);
    QVERIFY(m_dlg->isVisible());
}

void tst_CamSearchIp::newAddressIsForcedAndSearchedAgain()
{
    ScriptedPrompt prompt;
    prompt.textAnswers << "127.0.0.077";
    searchAndSelectCamera();
    const int searches = m_peer->discoveryCount();
    m_dlg->setCamNewIP();

    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].kind, QString("getText"));
    QCOMPARE(prompt.shown[0].title, QString("Set new IP"));
    QCOMPARE(prompt.shown[0].text, QString("New IP:|127.0.0.")); // the interface's prefix
    const std::vector<NqGvcp::ForceIp> sent = m_peer->forceIpRequests();
    QCOMPARE(sent.size(), size_t(1));
    QCOMPARE(NqGvcp::formatMac(sent[0].mac), std::string("02:4b:53:00:00:99"));
    QCOMPARE(NqGvcp::formatIp(sent[0].ip), std::string("127.0.0.77"));
    QCOMPARE(NqGvcp::formatIp(sent[0].subnetMask), std::string("255.255.0.0"));
    QCOMPARE(NqGvcp::formatIp(sent[0].gateway), std::string("192.168.5.1"));

    // Searched again: the camera now answers with its new address.
    QCOMPARE(m_peer->discoveryCount(), searches + 1);
    QCOMPARE(cameraRow().data().toString(), QString("Cam: Tarnel-C  [127.0.0.77] #PEER0001 (Far)"));
    QVERIFY(!cameraRow().data(Qt::ForegroundRole).isValid());
}

void tst_CamSearchIp::invalidAddressIsRefusedBeforeSending_data()
{
    QTest::addColumn<QString>("entered");
    QTest::newRow("proposal unchanged") << "127.0.0.";
    QTest::newRow("part above 255") << "127.0.0.300";
    QTest::newRow("text") << "camera";
    QTest::newRow("empty") << "";
}

void tst_CamSearchIp::invalidAddressIsRefusedBeforeSending()
{
    QFETCH(QString, entered);
    ScriptedPrompt prompt;
    prompt.textAnswers << entered;
    searchAndSelectCamera();
    const int searches = m_peer->discoveryCount();
    m_dlg->setCamNewIP();
    QCOMPARE(prompt.shown.size(), 2);
    QCOMPARE(prompt.shown[1].kind, QString("warning"));
    QCOMPARE(prompt.shown[1].title, QString("IP Network Error"));
    QVERIFY(prompt.shown[1].text.contains("not a valid IP address"));
    // Nothing went out, nor was searched: a FORCEIP would have reached the
    // peer before the search made now.
    m_dlg->startSearch();
    QVERIFY(cameraRow().isValid());
    QCOMPARE(m_peer->discoveryCount(), searches + 1);
    QVERIFY(m_peer->forceIpRequests().empty());
}

void tst_CamSearchIp::cancelledChangeSearchesAgain()
{
    ScriptedPrompt prompt;
    prompt.textAnswers << QString();
    searchAndSelectCamera();
    const int searches = m_peer->discoveryCount();
    m_dlg->setCamNewIP();
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(m_peer->discoveryCount(), searches + 1);
    QVERIFY(m_peer->forceIpRequests().empty());
}

void tst_CamSearchIp::unansweredChangeIsReported()
{
    ScriptedPrompt prompt;
    prompt.textAnswers << "127.0.0.77";
    searchAndSelectCamera();
    m_peer->stop(); // the camera went away after the search
    m_dlg->setCamNewIP();
    QCOMPARE(prompt.shown.size(), 2);
    QCOMPARE(prompt.shown[1].kind, QString("information"));
    QCOMPARE(prompt.shown[1].title, QString("IP Network Error"));
    QCOMPARE(prompt.shown[1].text, QString("Can't assign IP:127.0.0.77 to Camera:Far"));
    QCOMPARE(m_tree->model()->rowCount(m_tree->model()->index(0, 0)), 0); // searched again
}

void tst_CamSearchIp::changeWithoutSelectionDoesNothing()
{
    ScriptedPrompt prompt;
    m_dlg->startSearch();
    const int searches = m_peer->discoveryCount();
    m_dlg->setCamNewIP();
    QVERIFY(prompt.shown.isEmpty());
    QCOMPARE(m_peer->discoveryCount(), searches);

    // An interface row selected is no camera either.
    m_tree->selectionModel()->setCurrentIndex(m_tree->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    m_dlg->setCamNewIP();
    QVERIFY(prompt.shown.isEmpty());
    // Nothing went out, nor was searched: a FORCEIP would have reached the
    // peer before the search made now.
    m_dlg->startSearch();
    QVERIFY(cameraRow().isValid());
    QCOMPARE(m_peer->discoveryCount(), searches + 1);
    QVERIFY(m_peer->forceIpRequests().empty());
}

QTEST_MAIN(tst_CamSearchIp)
#include "tst_camsearchip.moc"
