#include "generators/mastertmxdialog.h"

#include "EventWait.h"
#include "generators/TmxApply.h"
#include "generators/TmxProfiles.h"
#include "ui_TMXMaster.h"

#include <QProgressDialog>
#include <QScopedValueRollback>

mastertmxdialog::mastertmxdialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::DalogMaster>()), m_wait(new EventWait(this))
{
    ui->setupUi(this);
    m_apply = new TmxApply(this, tr("Master TMX's connection problem"),
                           tr("At Master TMX did not response after 2 sec!\nCheck Ethernet connection."));
    m_profiles = new TmxProfiles(this, ui->TMXcomboProfile, ui->generators);
    connect(ui->pushButtonSave, &QPushButton::clicked, this, &mastertmxdialog::saveSettings);
    connect(ui->pushButtonLoad, &QPushButton::clicked, this, &mastertmxdialog::loadSettings);
    connect(ui->pushButton_3, &QPushButton::clicked, this, &mastertmxdialog::deleteSettings);
    connect(ui->pushButton, &QPushButton::clicked, this, &mastertmxdialog::applySettings);
    connect(ui->stopTMX, &QPushButton::clicked, this, &mastertmxdialog::stopMaster);
    connect(ui->runTMX1, &QPushButton::clicked, this, &mastertmxdialog::runMaster1);
    connect(ui->runTMX2, &QPushButton::clicked, this, &mastertmxdialog::runMaster2);
    connect(ui->runTMX, &QPushButton::clicked, this, &mastertmxdialog::runMaster);
}

mastertmxdialog::~mastertmxdialog() = default;

void mastertmxdialog::setMasterIP(const QString& address)
{
    m_master = address;
    ui->label_9->setText(address.isEmpty() ? QStringLiteral("n/a") : address);
}

GeneratorForm::Values mastertmxdialog::values() const
{
    return ui->generators->values();
}

void mastertmxdialog::setValues(const GeneratorForm::Values& values)
{
    ui->generators->setValues(values);
}

void mastertmxdialog::fillProfiles()
{
    m_profiles->fill();
}

void mastertmxdialog::applySettings()
{
    applyForm(false);
}

bool mastertmxdialog::applyForm(bool runFollows)
{
    if (m_applying)
        return false; // the progress window keeps the user out; this guards calls from code
    const QScopedValueRollback<bool> applying(m_applying, true);
    const QString pathAndQuery = GeneratorForm::applyPathAndQuery(ui->generators->values());
    // "Abort" stops nothing: the request ends by its answer or its watchdog.
    QProgressDialog progress(tr("Applying Settings to TMX's..."), tr("Abort"), 0, 0, this,
                             Qt::Window | Qt::CustomizeWindowHint);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    m_apply->send(m_master, pathAndQuery,
                  runFollows ? tr("The settings were not applied: nothing was started.") : QString());
    m_wait->wait(300);
    progress.setValue(1);
    m_wait->wait(300);
    progress.setValue(1);
    // A run on settings the master did not take would run on its old ones.
    if (runFollows && !m_apply->waitForDone(*m_wait))
        return false; // the program is quitting
    progress.close();
    return m_apply->isTaken();
}

void mastertmxdialog::saveSettings()
{
    m_profiles->save();
}

void mastertmxdialog::loadSettings()
{
    m_profiles->load();
}

void mastertmxdialog::deleteSettings()
{
    m_profiles->remove();
}

void mastertmxdialog::runMaster()
{
    if (applyForm(true))
        emit startMasterTMX();
}

void mastertmxdialog::stopMaster()
{
    applyForm(false);
    emit stopMasterTMX(); // whatever became of the settings
}

void mastertmxdialog::runMaster1()
{
    if (applyForm(true))
        emit startMasterTMX1();
}

void mastertmxdialog::runMaster2()
{
    if (applyForm(true))
        emit startMasterTMX2();
}
