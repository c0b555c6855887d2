#include "generators/TmxProfiles.h"

#include "ConsoleSettings.h"
#include "Prompt.h"
#include "generators/GeneratorForm.h"
#include "generators/TmxGenerators.h"

#include <QComboBox>
#include <QSettings>

#include <algorithm>

TmxProfiles::TmxProfiles(QWidget* dialog, QComboBox* combo, TmxGenerators* form)
    : QObject(dialog), m_dialog(dialog), m_combo(combo), m_form(form),
      m_store(ConsoleSettings::openGeneratorProfiles())
{
    m_store->sync();
    fill();
}

TmxProfiles::~TmxProfiles() = default;

void TmxProfiles::fill()
{
    m_store->sync(); // the other dialog may have saved or deleted since
    QStringList names = m_store->childKeys();
    std::sort(names.begin(), names.end());
    m_combo->clear();
    m_combo->addItems(names);
}

void TmxProfiles::save()
{
    Prompt& prompt = Prompt::current();
    QString name;
    if (!prompt.getText(m_dialog, tr("Set Profile Name"), tr("Profile Name:"), QString(), &name))
        return;
    if (name.isEmpty()) {
        prompt.message(m_dialog, Prompt::Warning, tr("Empty name"), tr("Profile name should not be empty!"));
        return;
    }
    // The store would read '/' and '\' as a group: such a name could never be loaded.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        prompt.message(m_dialog, Prompt::Warning, tr("TMX Profile"),
                       tr("Profile name <b>%1</b> cannot hold '/' or '\\'!").arg(name.toHtmlEscaped()));
        return;
    }
    if (m_combo->count() >= MaxProfiles) {
        prompt.message(m_dialog, Prompt::Information, tr("TMX"), tr("Only 10 TMX profiles could be created!"));
        return;
    }
    const int existing = m_combo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (existing >= 0) {
        if (!prompt.question(m_dialog, Prompt::Warning, tr("TMX Profile"),
                             tr("Profile with name <b>%1</b> is already exist!<br>Overwrite it?")
                                 .arg(name.toHtmlEscaped()),
                             Prompt::DefaultNo))
            return;
        m_combo->removeItem(existing);
    }
    m_combo->addItem(name);
    m_store->setValue(name, GeneratorForm::profileRecord(m_form->values()));
    m_store->sync();
}

void TmxProfiles::load()
{
    if (m_combo->count() == 0) {
        Prompt::current().message(m_dialog, Prompt::Warning, tr("Presets"), tr("Nothing to load!"));
        return;
    }
    const QString record = m_store->value(m_combo->currentText(),
                                          QString::fromLatin1(GeneratorForm::MissingProfileRecord))
                               .toString();
    m_form->setValues(GeneratorForm::fromProfileRecord(record));
}

void TmxProfiles::remove()
{
    if (m_combo->count() == 0) {
        Prompt::current().message(m_dialog, Prompt::Warning, tr("Presets"), tr("Nothing to delete!"));
        return;
    }
    const QString name = m_combo->currentText();
    if (!Prompt::current().question(m_dialog, Prompt::Warning, tr("TMX Profile"),
                                    tr("Delete preset <b>%1</b>?").arg(name.toHtmlEscaped()), Prompt::DefaultNo))
        return;
    m_store->remove(name);
    m_store->sync();
    m_combo->removeItem(m_combo->currentIndex());
}
