#include "generators/multitmxdialog.h"

#include "EventWait.h"
#include "generators/TmxApply.h"
#include "generators/TmxProfiles.h"
#include "ui_TMXMulti.h"

#include <QProgressDialog>
#include <QScopedValueRollback>

multitmxdialog::multitmxdialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::Dialog>()), m_wait(new EventWait(this))
{
    ui->setupUi(this);
    m_apply = new TmxApply(this, tr("Slave TMX's connection problem"),
                           tr("At least one TMX in list did not response after 2 sec!\nCheck Ethernet connection."));
    m_profiles = new TmxProfiles(this, ui->TMXcomboProfile, ui->generators);
    connect(ui->pushButtonSave, &QPushButton::clicked, this, &multitmxdialog::saveSettings);
    connect(ui->pushButtonLoad, &QPushButton::clicked, this, &multitmxdialog::loadSettings);
    connect(ui->pushButton_3, &QPushButton::clicked, this, &multitmxdialog::deleteSettings);
    connect(ui->pushButton, &QPushButton::clicked, this, &multitmxdialog::applySettings);
}

multitmxdialog::~multitmxdialog() = default;

void multitmxdialog::setSlaveTMXList(const QStringList& addresses)
{
    m_slaves = addresses;
    ui->TMXcombo->clear();
    ui->TMXcombo->addItem(tr("All Slave TMX"));
    ui->TMXcombo->addItems(addresses);
}

void multitmxdialog::fillProfiles()
{
    m_profiles->fill();
}

void multitmxdialog::applySettings()
{
    if (m_applying)
        return; // the progress window keeps the user out; this guards calls from code
    const QScopedValueRollback<bool> applying(m_applying, true);
    const QString pathAndQuery = GeneratorForm::applyPathAndQuery(ui->generators->values());
    const QStringList slaves = m_slaves; // the list may be replaced meanwhile
    QProgressDialog progress(tr("Applying Settings to TMX's..."), tr("Abort"), 0, slaves.size(), this,
                             Qt::Window | Qt::CustomizeWindowHint);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    if (ui->TMXcombo->currentIndex() != 0) {
        m_apply->send(ui->TMXcombo->currentText(), pathAndQuery);
        m_wait->wait(300);
        progress.setValue(slaves.size());
        m_wait->wait(300);
    } else {
        for (int i = 0; i < slaves.size(); ++i) {
            m_apply->send(slaves.at(i), pathAndQuery);
            progress.setValue(i);
            if (!m_wait->wait(300) || !m_apply->waitForDone(*m_wait))
                break; // the program is quitting
            m_apply->clearDone();
        }
    }
    progress.setValue(slaves.size());
    progress.close();
}

void multitmxdialog::saveSettings()
{
    m_profiles->save();
}

void multitmxdialog::loadSettings()
{
    m_profiles->load();
}

void multitmxdialog::deleteSettings()
{
    m_profiles->remove();
}
