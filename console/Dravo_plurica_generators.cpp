// The pulse generators: run and stop of the master's two generators, the
// read-back of the master's settings into its dialog, and the slaves'
// read-back that a logged run writes into the run log. Every request is
// given up when its generator stays silent (1000 ms for run and stop,
// 2000 ms for a page); an HTTP error or redirect is a refusal, told with the
// status the generator answered; every failure is warned of from the event
// loop, naming the generator. The log records only runs the master took.

#include "Dravo_plurica.h"

#include "EventWait.h"
#include "Prompt.h"
#include "TmxRequest.h"
#include "generators/GeneratorHttp.h"
#include "generators/TmxPages.h"
#include "generators/mastertmxdialog.h"
#include "ui_Dravo_pluricaClass.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <QProgressDialog>
#include <QScopedValueRollback>

#include <memory>
#include <optional>

Q_LOGGING_CATEGORY(lcGenerators, "kessane.console.generators")

namespace {

constexpr int RunTimeoutMs = 1000;
constexpr int PageTimeoutMs = 2000;

} // namespace

void Dravo_plurica::runMaster()
{
    runGenerators(TmxRequest::RunBothPath);
}

void Dravo_plurica::runMaster1()
{
    runGenerators(TmxRequest::RunPath);
}

void Dravo_plurica::runMaster2()
{
    runGenerators(TmxRequest::RunGenerator2Path);
}

void Dravo_plurica::stopTMX()
{
    sendToMaster(TmxRequest::ResetPath);
}

void Dravo_plurica::runGenerators(const char* pathAndQuery)
{
    // A second run inside the first one's read-back would mix their log
    // entries (both share the generator text and the answer flag).
    if (m_running) {
        qCInfo(lcGenerators) << "runGenerators: refused" << pathAndQuery << "while a run is under way";
        statusBar()->showMessage(tr("A generator run is under way: this one was not started."), 5000);
        return;
    }
    const QScopedValueRollback<bool> running(m_running, true);
    ui->runBoth->setEnabled(false);
    // Kept beyond this call: the answer may come after it.
    auto taken = std::make_shared<std::optional<bool>>();
    sendToMaster(pathAndQuery, [taken](bool ok) { *taken = ok; });
    if (isLogging()) {
        querySlaveTMXs();
        // The request's watchdog ends it; the bound here only guards against
        // a reply that never finishes.
        waitUntil([taken] { return taken->has_value(); }, 2 * RunTimeoutMs);
        if (taken->value_or(false)) {
            writeLog(RunRecord::timestamp(QDateTime::currentDateTime()));
            writeLog(RunRecord::comments(ui->plainTextEdit->toPlainText()));
            writeLog(RunRecord::record(runRecord()));
            writeLog(m_generatorText);
        } else {
            qCWarning(lcGenerators) << "runGenerators:" << pathAndQuery << "not taken by" << m_master << "- not logged";
            statusBar()->showMessage(tr("The master TMX did not take the run: it is not logged."), 5000);
        }
    }
    ui->runBoth->setEnabled(true);
}

void Dravo_plurica::sendToMaster(const char* pathAndQuery, std::function<void(bool taken)> taken)
{
    QNetworkReply* reply = m_generatorHttp->get(m_master, QLatin1String(pathAndQuery), RunTimeoutMs);
    connect(reply, &QNetworkReply::finished, this, [this, reply, taken] {
        const bool ok = !GeneratorHttp::failure(reply).failed();
        finishedSlot(reply);
        if (taken)
            taken(ok);
    });
}

bool Dravo_plurica::waitUntil(const std::function<bool()>& done, int boundMs)
{
    return m_wait->waitUntil(done, boundMs) == EventWait::Until::Done;
}

void Dravo_plurica::finishedSlot(QNetworkReply* reply)
{
    reply->deleteLater();
    const GeneratorHttp::Failure failure = GeneratorHttp::failure(reply);
    if (!failure.failed())
        return;
    qCWarning(lcGenerators) << "finishedSlot:" << reply->url().toString() << failure.detail;
    const QString generator = reply->url().authority();
    warnLater(tr("TMX's connection problem"),
              failure.refused()
                  ? tr("TMX at %1 refused the request: it answered %2.").arg(generator, failure.detail)
                  : tr("TMX at %1 did not response! \n%2").arg(generator, failure.detail));
}

void Dravo_plurica::querySlaveTMXs()
{
    m_generatorText.clear();
    const QStringList slaves = m_slaves; // the list may be replaced meanwhile
    for (const QString& slave : slaves) {
        m_generatorText += QStringLiteral(" TMX:%1\r\n").arg(slave);
        m_answerReceived = false;
        const quint64 page = ++m_pageSerial;
        m_slavePage = page;
        QNetworkReply* reply = m_generatorHttp->get(slave, QLatin1String(TmxRequest::SlaveValuesPath), PageTimeoutMs);
        connect(reply, &QNetworkReply::finished, this, [this, reply, page, slave] {
            reply->deleteLater();
            if (page != m_slavePage)
                return; // the read-back went on without it
            const GeneratorHttp::Failure failure = GeneratorHttp::failure(reply);
            if (failure.failed())
                qCWarning(lcGenerators) << "querySlaveTMXs:" << reply->url().toString() << failure.detail;
            m_pageBuffer = failure.failed() ? QByteArray() : reply->readAll();
            if (failure.refused()) {
                m_slaveFailure = tr("TMX %1 refused the read-back of its settings: it answered %2.")
                                     .arg(slave, failure.detail);
            } else if (failure.failed()) {
                m_slaveFailure =
                    tr("At least one TMX in list did not response after 2 sec!\nCheck Ethernet connection.")
                    + QLatin1Char('\n') + tr("TMX %1: %2").arg(slave, failure.detail);
            }
            handleHTTPResponseSlave(failure.failed());
        });
        // The page's watchdog ends the request; the bound here only guards
        // against a reply that never finishes.
        if (!waitUntil([this] { return m_answerReceived; }, 2 * PageTimeoutMs))
            qCWarning(lcGenerators) << "querySlaveTMXs: no outcome from" << slave << "- going on";
        m_slavePage = 0;
    }
}

void Dravo_plurica::handleHTTPResponseSlave(bool error)
{
    if (error) {
        const quint64 page = m_slavePage;
        warnLater(tr("Slave TMX's connection problem"), m_slaveFailure, [this, page] {
            if (page == m_slavePage)
                m_answerReceived = true;
        });
        return;
    }
    // A page that does not match leaves the slave's " TMX:" line alone.
    if (const auto values = TmxPages::readSlavePage(TmxPages::pageText(m_pageBuffer)))
        m_generatorText += TmxPages::slaveBlock(*values);
    m_answerReceived = true;
}

void Dravo_plurica::showMasterTMXSettings()
{
    if (m_readingMaster) {
        statusBar()->showMessage(tr("The master TMX's settings are being read already."), 5000);
        return;
    }
    const QScopedValueRollback<bool> reading(m_readingMaster, true);
    // "Abort" stops nothing: the request ends by its answer or its watchdog.
    QProgressDialog progress(tr("Getting TMX Settings..."), tr("Abort"), 0, 0, this,
                             Qt::Window | Qt::CustomizeWindowHint);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    const quint64 page = ++m_pageSerial;
    m_masterPage = page;
    QNetworkReply* reply = m_generatorHttp->get(m_master, QLatin1String(TmxRequest::MasterSetupPath), PageTimeoutMs);
    connect(reply, &QNetworkReply::finished, this, [this, reply, page] {
        reply->deleteLater();
        if (page != m_masterPage)
            return; // a newer read-back is under way
        const GeneratorHttp::Failure failure = GeneratorHttp::failure(reply);
        if (failure.failed())
            qCWarning(lcGenerators) << "showMasterTMXSettings:" << reply->url().toString() << failure.detail;
        m_pageBuffer = failure.failed() ? QByteArray() : reply->readAll();
        m_masterFailure = failure;
        handleHTTPResponseMaster(failure.failed());
    });
    m_masterDialog->fillProfiles();
    m_masterDialog->show();
    // The answer normally comes meanwhile; a later one fills the dialog when it comes.
    m_wait->wait(700);
    progress.setValue(1);
    progress.close();
}

void Dravo_plurica::handleHTTPResponseMaster(bool error)
{
    if (error && m_masterFailure.refused()) {
        statusBar()->showMessage(tr("Master TMX refused the read-back of its settings."), 5000);
        warnLater(tr("Master TMX's connection problem"),
                  tr("Master TMX at %1 refused the read-back of its settings: it answered %2.")
                      .arg(m_master, m_masterFailure.detail));
        return;
    }
    if (error) {
        statusBar()->showMessage(tr("Master TMX connection error."), 5000);
        warnLater(tr("Master TMX's connection problem"),
                  tr("At Master TMX with IP %1 did not response after 2 sec!\nCheck Ethernet connection.")
                          .arg(m_master)
                      + QLatin1Char('\n') + m_masterFailure.detail);
        return;
    }
    // What the page lacks keeps the dialog's value: zeros would go out with
    // the next Apply or Run.
    bool understood = false;
    m_masterDialog->setValues(
        TmxPages::readMasterPage(TmxPages::pageText(m_pageBuffer), m_masterDialog->values(), &understood));
    if (understood) {
        statusBar()->showMessage(tr("Master TMX recieved the command."), 5000);
    } else {
        qCWarning(lcGenerators) << "handleHTTPResponseMaster: settings page of" << m_master << "not understood";
        statusBar()->showMessage(tr("Master TMX recieved the command, but its settings page was not understood: "
                                    "the dialog keeps what the page lacked."),
                                 5000);
    }
}
