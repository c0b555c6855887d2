// The pulse generators: run and stop of the master's two generators, the
// read-back of the master's settings into its dialog, and the slaves'
// read-back that a logged run writes into the run log. Every request is
// given up when its generator stays silent (1000 ms for run and stop,
// 2000 ms for a page); every failure is warned of from the event loop.

#include "Dravo_plurica.h"

#include "EventWait.h"
#include "Prompt.h"
#include "TmxRequest.h"
#include "generators/GeneratorHttp.h"
#include "generators/TmxPages.h"
#include "generators/mastertmxdialog.h"
#include "ui_Dravo_pluricaClass.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <QProgressDialog>
#include <QScopedValueRollback>

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
    sendToMaster(pathAndQuery);
    if (isLogging()) {
        querySlaveTMXs();
        writeLog(RunRecord::timestamp(QDateTime::currentDateTime()));
        writeLog(RunRecord::comments(ui->plainTextEdit->toPlainText()));
        writeLog(RunRecord::record(runRecord()));
        writeLog(m_generatorText);
    }
    ui->runBoth->setEnabled(true);
}

void Dravo_plurica::sendToMaster(const char* pathAndQuery)
{
    QNetworkReply* reply = m_generatorHttp->get(m_master, QLatin1String(pathAndQuery), RunTimeoutMs);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishedSlot(reply); });
}

void Dravo_plurica::finishedSlot(QNetworkReply* reply)
{
    reply->deleteLater();
    const QString failure = GeneratorHttp::failure(reply);
    if (failure.isEmpty())
        return;
    qCWarning(lcGenerators) << "finishedSlot:" << reply->url().toString() << failure;
    warnLater(tr("TMX's connection problem"),
              tr("TMX at %1 did not response! \n%2").arg(reply->url().authority(), failure));
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
        connect(reply, &QNetworkReply::finished, this, [this, reply, page] {
            reply->deleteLater();
            if (page != m_slavePage)
                return; // the read-back went on without it
            const QString failure = GeneratorHttp::failure(reply);
            if (!failure.isEmpty())
                qCWarning(lcGenerators) << "querySlaveTMXs:" << reply->url().toString() << failure;
            m_pageBuffer = failure.isEmpty() ? reply->readAll() : QByteArray();
            handleHTTPResponseSlave(!failure.isEmpty());
        });
        // The page's watchdog ends the request; the bound here only guards
        // against a reply that never finishes.
        QElapsedTimer elapsed;
        elapsed.start();
        bool quitting = false;
        while (!m_answerReceived && elapsed.elapsed() < 2 * PageTimeoutMs && !quitting)
            quitting = !m_wait->wait(10);
        if (!m_answerReceived)
            qCWarning(lcGenerators) << "querySlaveTMXs: no outcome from" << slave << "- going on";
        m_slavePage = 0;
        if (quitting)
            return; // the entry is written with the slaves read so far
    }
}

void Dravo_plurica::handleHTTPResponseSlave(bool error)
{
    if (error) {
        const quint64 page = m_slavePage;
        warnLater(tr("Slave TMX's connection problem"),
                  tr("At least one TMX in list did not response after 2 sec!\nCheck Ethernet connection."),
                  [this, page] {
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
        const QString failure = GeneratorHttp::failure(reply);
        if (!failure.isEmpty())
            qCWarning(lcGenerators) << "showMasterTMXSettings:" << reply->url().toString() << failure;
        m_pageBuffer = failure.isEmpty() ? reply->readAll() : QByteArray();
        handleHTTPResponseMaster(!failure.isEmpty());
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
    if (error) {
        statusBar()->showMessage(tr("Master TMX connection error."), 5000);
        warnLater(tr("Master TMX's connection problem"),
                  tr("At Master TMX with IP %1 did not response after 2 sec!\nCheck Ethernet connection.")
                      .arg(m_master));
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

void Dravo_plurica::warnLater(const QString& title, const QString& text, std::function<void()> then)
{
    QMetaObject::invokeMethod(
        this,
        [this, title, text, then] {
            Prompt::current().message(this, Prompt::Warning, title, text);
            if (then)
                then();
        },
        Qt::QueuedConnection);
}
