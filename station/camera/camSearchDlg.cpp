#include "camera/camSearchDlg.h"

#include "Ipv4.h"
#include "Prompt.h"
#include "camera/CameraRows.h"
#include "camera/camWorker.h"
#include "camera/NqDevice.h"
#include "ui_camSrch.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QStandardItemModel>
#include <QThread>

Q_LOGGING_CATEGORY(lcSearch, "kessane.station.search")

namespace {

const char networkErrorTitle[] = "IP Network Error";

QString text(const NqString& s)
{
    return QString::fromUtf8(s.GetAscii());
}

} // namespace

camSearchDlg::camSearchDlg(QWidget* parent)
    : QDialog(parent, Qt::WindowTitleHint),
      ui(new Ui::camSrch),
      m_worker(new camWorker(&m_system)),
      m_searchThread(new QThread(this)),
      m_model(new QStandardItemModel(this))
{
    ui->setupUi(this);
    ui->treeView->setModel(m_model);

    connect(ui->pushButton, &QPushButton::clicked, this, &camSearchDlg::manualReload);
    connect(ui->pushButton_2, &QPushButton::clicked, this, &camSearchDlg::setCamNewIP);
    connect(ui->pushButtonConnect, &QPushButton::clicked, this, &camSearchDlg::connectCam);
    connect(ui->treeView, &QTreeView::clicked, this, &camSearchDlg::treeViewOneClick);
    connect(ui->treeView, &QTreeView::doubleClicked, this, &camSearchDlg::treeViewDoubleClick);
    connect(m_worker.get(), &camWorker::resultSignal, this, &camSearchDlg::runReload);
}

camSearchDlg::~camSearchDlg()
{
    stopSearchThread();
}

void camSearchDlg::startSearch()
{
    ui->label_5->hide();
    // The worker belongs to the search thread, but discovery is short and its
    // result is wanted at once, so it is called directly from here.
    if (m_worker->thread() != m_searchThread)
        m_worker->moveToThread(m_searchThread);
    if (!m_searchThread->isRunning())
        m_searchThread->start(QThread::InheritPriority);
    m_worker->camReload();
    reload();
}

void camSearchDlg::runReload(bool ok)
{
    if (!ok)
        qCWarning(lcSearch) << "camera discovery failed; the list shows what was found";
}

void camSearchDlg::reload()
{
    static const QFont interfaceFont(QStringLiteral("MS Shell Dlg 2"), 8, QFont::Bold);
    static const QFont cameraFont(QStringLiteral("MS Shell Dlg 2"), 8, QFont::Light);
    const QIcon interfaceIcon(QStringLiteral(":/newPrefix/awatch_icon.png"));
    const QIcon cameraIcon(QStringLiteral(":/Dravo_cam/device.png"));

    m_current = nullptr;
    m_model->clear();
    ui->pushButtonConnect->setEnabled(false);
    for (uint32_t i = 0; i < m_system.GetInterfaceCount(); ++i) {
        const NqInterface* itf = m_system.GetInterface(i);
        auto* row = new QStandardItem(
            interfaceIcon,
            CameraRows::interfaceText(text(itf->GetDescription()), text(itf->GetIPAddress())));
        row->setFont(interfaceFont);
        row->setEditable(false);
        row->setData(int(i), InterfaceIndexRole);
        row->setData(-1, DeviceIndexRole);
        for (uint32_t d = 0; d < itf->GetDeviceCount(); ++d) {
            const NqDeviceInfo* info = itf->GetDeviceInfo(d);
            auto* cam = new QStandardItem(
                cameraIcon,
                CameraRows::cameraText(CameraRows::displayModel(text(info->GetModel())),
                                       text(info->GetIPAddress()), text(info->GetSerialNumber()),
                                       text(info->GetUserDefinedName())));
            cam->setFont(cameraFont);
            cam->setEditable(false);
            cam->setData(int(i), InterfaceIndexRole);
            cam->setData(int(d), DeviceIndexRole);
            if (info->GetAccessStatus() == NqDeviceInfo::AccessOtherSubnet)
                cam->setForeground(QColor(Qt::darkGray));
            else if (info->GetAccessStatus() == NqDeviceInfo::AccessBusy)
                cam->setBackground(QColor(Qt::yellow));
            row->appendRow(cam);
        }
        m_model->setItem(int(i), 0, row);
    }
    m_model->sort(0, Qt::AscendingOrder);
    ui->treeView->expandAll();
}

void camSearchDlg::manualReload()
{
    m_worker->camReload();
    reload();
}

const NqDeviceInfo* camSearchDlg::deviceAt(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    bool itfOk = false;
    bool devOk = false;
    const int itfIndex = index.data(InterfaceIndexRole).toInt(&itfOk);
    const int devIndex = index.data(DeviceIndexRole).toInt(&devOk);
    if (!itfOk || !devOk || itfIndex < 0 || devIndex < 0)
        return nullptr;
    const NqInterface* itf = m_system.GetInterface(uint32_t(itfIndex));
    return itf ? itf->GetDeviceInfo(uint32_t(devIndex)) : nullptr;
}

void camSearchDlg::treeViewOneClick(const QModelIndex& index)
{
    const NqDeviceInfo* info = deviceAt(index);
    ui->pushButtonConnect->setEnabled(info && info->GetAccessStatus() == NqDeviceInfo::AccessOpen);
}

void camSearchDlg::treeViewDoubleClick(const QModelIndex& index)
{
    const NqDeviceInfo* info = deviceAt(index);
    if (!info)
        return;
    const QString ip = text(info->GetIPAddress());
    switch (info->GetAccessStatus()) {
    case NqDeviceInfo::AccessOtherSubnet:
        Prompt::current().message(
            this, Prompt::Warning, tr(networkErrorTitle),
            tr("Camera <b>%1</b> is in other subnetwork,<br> please correct IP address and try again.")
                .arg(ip));
        break;
    case NqDeviceInfo::AccessBusy:
        Prompt::current().message(this, Prompt::Warning, tr(networkErrorTitle),
                                  tr("Camera <b>%1</b> is busy!").arg(ip));
        break;
    case NqDeviceInfo::AccessOpen:
        // The main window connects while the signal is delivered and reads the
        // pick through currentDeviceInfo().
        m_current = info;
        m_picked = true;
        emit selectedCamera(true);
        close();
        break;
    default:
        break;
    }
    m_current = nullptr;
}

void camSearchDlg::connectCam()
{
    const QModelIndexList selected = ui->treeView->selectionModel()->selectedIndexes();
    if (!selected.isEmpty())
        treeViewDoubleClick(selected.first());
}

void camSearchDlg::setCamNewIP()
{
    m_current = nullptr;
    const QModelIndexList selected = ui->treeView->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const NqDeviceInfo* info = deviceAt(selected.first());
    if (!info)
        return;

    // The next discovery replaces `info`: keep what the change needs.
    const NqString mac = info->GetMACAddress();
    const NqString gateway = info->GetDefaultGateway();
    const QString name = text(info->GetUserDefinedName());
    const NqInterface* itf = m_system.GetInterface(uint32_t(selected.first().data(InterfaceIndexRole).toInt()));
    QString base = itf ? text(itf->GetIPAddress()) : QString();
    if (!Ipv4::isValid(base))
        base = text(info->GetIPAddress());

    QString entered;
    if (Prompt::current().getText(this, tr("Set new IP"), tr("New IP:"),
                                  CameraRows::subnetProposal(base), &entered)) {
        if (!Ipv4::isValid(entered)) {
            Prompt::current().message(this, Prompt::Warning, tr(networkErrorTitle),
                                      tr("<b>%1</b> is not a valid IP address.").arg(entered.toHtmlEscaped()));
            return;
        }
        const QByteArray ip = Ipv4::normalized(entered).toLatin1();
        const NqResult result =
            NqDevice::SetIPConfiguration(mac, ip.constData(), "255.255.0.0", gateway);
        if (!result.IsOK()) {
            qCWarning(lcSearch) << "FORCEIP" << ip << "failed:" << result.GetDescription().GetAscii();
            Prompt::current().message(this, Prompt::Information, tr(networkErrorTitle),
                                      tr("Can't assign IP:%1 to Camera:%2").arg(entered, name));
        }
    }
    m_worker->camReload();
    reload();
}

void camSearchDlg::stopSearchThread()
{
    m_searchThread->quit();
    m_searchThread->wait();
}

void camSearchDlg::closeEvent(QCloseEvent* event)
{
    if (!m_picked)
        emit dialogClosed();
    m_picked = false;
    stopSearchThread();
    event->accept();
}

void camSearchDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        emit dialogClosed();
        stopSearchThread();
    }
    QDialog::keyPressEvent(event);
}
