#include "multilcDlg.h"

#include "CommandValue.h"
#include "ConsoleSettings.h"
#include "Prompt.h"
#include "ui_LCMulti.h"

#include <QCloseEvent>
#include <QSettings>

multilcDlg::multilcDlg(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::LCMulti>()), m_settings(ConsoleSettings::openLensPresets())
{
    ui->setupUi(this);
    connect(ui->saveButton, &QPushButton::clicked, this, &multilcDlg::saveSettings);
    connect(ui->loadButton, &QPushButton::clicked, this, &multilcDlg::loadSettings);
    connect(ui->pushButton_3, &QPushButton::clicked, this, &multilcDlg::deleteSelected);
    m_settings->sync();
}

multilcDlg::~multilcDlg() = default;

void multilcDlg::fillProfiles()
{
    ui->comboProfile->clear();
    ui->comboProfile->addItems(m_settings->allKeys());
    ui->loadButton->setEnabled(ui->comboProfile->count() > 0);
}

void multilcDlg::saveSettings()
{
    const QString title = tr("Setpoint Name");
    QString name;
    if (!Prompt::current().getText(this, title, title, QString(), &name) || name.isEmpty())
        return;
    // A name goes to the stations as the value of "#lcsave=" and later
    // "#lcload=": one that would carry a command of its own is refused.
    // '/' and '\' would make the store read a group instead of a name.
    if (!CommandValue::isSafe(name) || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        Prompt::current().message(this, Prompt::Warning, title,
                                  tr("The preset name <b>%1</b> cannot be used: it may not hold "
                                     "control characters, '/', '\\' or '#' followed by a letter.")
                                      .arg(name.toHtmlEscaped()));
        return;
    }
    m_settings->setValue(name, QStringLiteral("OK"));
    m_settings->sync();
    emit saveProfile(name);
    fillProfiles();
}

void multilcDlg::loadSettings()
{
    emit loadProfile(ui->comboProfile->currentText());
}

void multilcDlg::deleteSelected()
{
    const QString name = ui->comboProfile->currentText();
    const bool yes = Prompt::current().question(
        nullptr, Prompt::Warning, windowTitle(),
        tr("Are you sure you want to delete profile <b>%1</b>?").arg(name.toHtmlEscaped()), Prompt::DefaultNo);
    if (yes) {
        emit deleteProfile(name);
        if (!name.isEmpty())
            m_settings->remove(name);
        m_settings->sync();
    }
    fillProfiles();
}

void multilcDlg::closeEvent(QCloseEvent* event)
{
    emit LCClosed();
    event->accept();
}
