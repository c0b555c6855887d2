#include "ipsettingsdialog.h"

#include "AddressList.h"
#include "ConsoleSettings.h"
#include "Ipv4.h"
#include "ui_IPDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSettings>

Q_LOGGING_CATEGORY(lcIpSettings, "kessane.console.settings")

namespace {

QString withoutBlanks(QString text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.remove(blanks);
}

} // namespace

ipsettingsdialog::ipsettingsdialog(QWidget* parent)
    : QDialog(parent, Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(std::make_unique<Ui::IPDialog>())
{
    ui->setupUi(this);
    connect(ui->pushButton, &QPushButton::clicked, this, &ipsettingsdialog::setSettings);
    connect(ui->camEdit, &QLineEdit::textChanged, this, &ipsettingsdialog::editCamIPList);
    connect(ui->tmxIPEdit, &QLineEdit::textChanged, this, &ipsettingsdialog::editTMXIPList);
    connect(ui->pushButton_2, &QPushButton::clicked, this, &ipsettingsdialog::cancelSet);
    connect(ui->tmxMIPEdit, &QLineEdit::textChanged, this, &ipsettingsdialog::editMTMXIPList);
    connect(ui->camAliasEdit, &QLineEdit::textChanged, this, &ipsettingsdialog::editCamAliasList);
    connect(ui->lcIPEdit, &QLineEdit::textChanged, this, &ipsettingsdialog::editLCIPList);

    m_settings = ConsoleSettings::open();
    m_settings->sync();
    for (const auto& [key, edit] : storedEdits()) {
        if (const auto stored = ConsoleSettings::text(*m_settings, key)) {
            edit->setText(*stored);
            continue;
        }
        qCWarning(lcIpSettings) << "ipsettingsdialog: the stored" << key << "is no text; kept until Set has another";
        m_unread << QLatin1String(key);
        edit->clear();
        edit->setPlaceholderText(tr("The stored list could not be read: type one, or Set keeps it."));
    }
    // A stored text equal to the form's default emitted nothing: fill the
    // lists from what the edits show in every case.
    editCamIPList();
    editCamAliasList();
    editTMXIPList();
    editMTMXIPList();
    editLCIPList();

    // Stored lists are taken as they are; only the aliases, which travel as
    // command values, must be safe.
    m_masterValid = m_slavesValid = m_stationsValid = m_lensControllersValid = true;
    updateSetButton();
}

ipsettingsdialog::~ipsettingsdialog() = default;

QVector<QPair<const char*, QLineEdit*>> ipsettingsdialog::storedEdits() const
{
    using namespace ConsoleSettings;
    return {{StationsKey, ui->camEdit},
            {AliasesKey, ui->camAliasEdit},
            {SlavesKey, ui->tmxIPEdit},
            {MasterKey, ui->tmxMIPEdit},
            {LensControllersKey, ui->lcIPEdit}};
}

void ipsettingsdialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void ipsettingsdialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void ipsettingsdialog::colour(QLineEdit* edit, bool valid)
{
    edit->setStyleSheet(valid ? QStringLiteral("QLineEdit{background: white;}")
                              : QStringLiteral("QLineEdit{background: red;}"));
}

bool ipsettingsdialog::editList(QLineEdit* edit, QStringList* list)
{
    *list = AddressList::items(edit->text());
    const bool valid = AddressList::allValid(*list);
    colour(edit, valid);
    return valid;
}

void ipsettingsdialog::updateSetButton()
{
    ui->pushButton->setEnabled(m_masterValid && m_slavesValid && m_stationsValid && m_lensControllersValid
                               && m_aliasesSafe);
}

void ipsettingsdialog::editCamIPList()
{
    m_stationsValid = editList(ui->camEdit, &m_stations);
    updateSetButton();
}

void ipsettingsdialog::editCamAliasList()
{
    // Aliases go to the stations in "#camname=": one that would carry a
    // command of its own is refused.
    m_aliasesSafe = AddressList::allSafe(AddressList::items(ui->camAliasEdit->text()));
    colour(ui->camAliasEdit, m_aliasesSafe);
    updateSetButton();
}

void ipsettingsdialog::editTMXIPList()
{
    m_slavesValid = editList(ui->tmxIPEdit, &m_slaves);
    if (m_slavesValid)
        emit TMXListUpdated(m_slaves);
    updateSetButton();
}

void ipsettingsdialog::editMTMXIPList()
{
    const QString master = withoutBlanks(ui->tmxMIPEdit->text());
    m_masterValid = Ipv4::isValid(master);
    if (m_masterValid)
        m_master = master;
    colour(ui->tmxMIPEdit, m_masterValid);
    updateSetButton();
}

void ipsettingsdialog::editLCIPList()
{
    m_lensControllersValid = editList(ui->lcIPEdit, &m_lensControllers);
    if (m_lensControllersValid)
        emit LCListUpdated(m_lensControllers);
    updateSetButton();
}

void ipsettingsdialog::setSettings()
{
    // What could not be read stays stored until something is typed in its place.
    QSet<QString> keep;
    for (const auto& [key, edit] : storedEdits()) {
        if (m_unread.contains(QLatin1String(key)) && edit->text().isEmpty())
            keep << QLatin1String(key);
    }
    m_unread = keep;

    if (!ui->camAliasEdit->text().isEmpty())
        m_aliases = AddressList::items(ui->camAliasEdit->text());
    m_aliases = AddressList::fitted(m_aliases, m_stations);
    ui->camAliasEdit->setText(m_aliases.join(QLatin1Char(',')));

    auto store = [this, &keep](const char* key, const QString& text) {
        if (!keep.contains(QLatin1String(key)))
            m_settings->setValue(QLatin1String(key), text);
    };
    using namespace ConsoleSettings;
    store(StationsKey, m_stations.join(QLatin1Char(',')));
    store(AliasesKey, m_aliases.join(QLatin1Char(',')));
    store(SlavesKey, ui->tmxIPEdit->text());
    store(MasterKey, ui->tmxMIPEdit->text());
    store(LensControllersKey, ui->lcIPEdit->text());
    m_settings->sync();

    hide();

    // The lists go out without blanks, as the editors emit them while typing,
    // and without the gaps a stored list may have (stored as written).
    const AddressList::Stations listed = AddressList::stations(m_stations, m_aliases);
    emit PCListUpdated(listed.addresses, listed.aliases);
    emit TMXListUpdated(AddressList::items(ui->tmxIPEdit->text()));
    emit masterUpdated(withoutBlanks(ui->tmxMIPEdit->text()));
    emit LCListUpdated(AddressList::items(ui->lcIPEdit->text()));
    emit connectLCs();
    emit camNameUpdated(listed.aliases);
}

void ipsettingsdialog::cancelSet()
{
    hide();
}
