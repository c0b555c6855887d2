// The run log: switched on with the Logging group, which asks for the file
// and starts it anew; every logged run then appends its entry. The file is
// opened for each write, so nothing holds it between runs.

#include "Dravo_plurica.h"

#include "Prompt.h"
#include "ui_Dravo_pluricaClass.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

Q_DECLARE_LOGGING_CATEGORY(lcGenerators)

namespace {

// Writes `text` in the local 8-bit encoding, line ends as they stand.
bool writeText(QFile& file, const QString& text)
{
    QTextStream stream(&file);
    stream << text;
    stream.flush();
    return stream.status() == QTextStream::Ok && file.flush();
}

void warnUnwritable(QWidget* parent, const QString& fileName, const QString& why)
{
    qCWarning(lcGenerators) << "run log" << fileName << why;
    Prompt::current().message(parent, Prompt::Warning, Dravo_plurica::tr("Log file error"),
                              Dravo_plurica::tr("Warning: Can't open log file for writing!"));
}

} // namespace

void Dravo_plurica::selectLogFile(bool on)
{
    ui->plainTextEdit->setEnabled(on);
    if (!on) {
        m_logFileName.clear();
        ui->logNameEdit->clear();
        return;
    }
    QString name;
    if (!Prompt::current().saveFileName(this, tr("Kessane log file name"), QDir::homePath(), tr("*.txt"), &name)
        || name.isEmpty()) {
        ui->loggingGroup->setChecked(false); // runs this slot again, switched off
        return;
    }
    m_logFileName = name;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || !writeText(file, RunRecord::startLine(QDateTime::currentDateTime()))) {
        // Logging stays on with this name: every run will warn again.
        warnUnwritable(this, name, file.errorString());
        return;
    }
    ui->logNameEdit->setText(QDir::toNativeSeparators(name));
}

bool Dravo_plurica::isLogging() const
{
    return ui->loggingGroup->isChecked() && !m_logFileName.isEmpty();
}

void Dravo_plurica::writeLog(const QString& text)
{
    if (!isLogging())
        return;
    QFile file(m_logFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || !writeText(file, text + QStringLiteral("\r\n")))
        warnUnwritable(this, m_logFileName, file.errorString());
}

RunRecord::Run Dravo_plurica::runRecord() const
{
    RunRecord::Run run;
    run.stations = m_stations;
    run.slaves = m_slaves;
    run.master = m_master;
    run.frames = ui->spinBox->text();
    run.folder = ui->folder_edit->text();
    run.prefix = ui->lineEdit->text();
    run.point = ui->pointEdit->text();
    run.exposure = ui->exposure_edit->text();
    return run;
}
