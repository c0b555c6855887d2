// The console's cost of polling: the share of one core the console takes
// while its status list polls 64 stand-in stations (orchestrel-peers, a
// process of its own) at the usual rate, beside the same console with the
// status list closed. The console's window and list are drawn offscreen.
// Run inside the loopback namespace:
//   scripts/in-loopback-netns.sh <build>/bench/bench_console [seconds]
#include "AnsweringPrompt.h"
#include "BenchTable.h"
#include "Dravo_plurica.h"
#include "EventWait.h"
#include "camstatusdialog.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdlib>

namespace {

constexpr int kStations = 64;
constexpr int kSettleMs = 3000; // every station connected and answering

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Percent of one core this process used while running events for `seconds`.
double coreShare(EventWait& wait, double seconds)
{
    const double cpu = cpuSeconds();
    const bench::Clock::time_point start = bench::Clock::now();
    wait.wait(int(seconds * 1000));
    return 100 * (cpuSeconds() - cpu) / bench::secondsSince(start);
}

bool startPeers(QProcess& peers)
{
    peers.start(QStringLiteral(ORCHESTREL_PEERS),
                {"--first", "127.0.1.1", "--count", QString::number(kStations)});
    const QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!out.contains("ready") && peers.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        out += peers.readAllStandardOutput();
    return out.contains("ready");
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home; // the console's settings stay in this run
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AnsweringPrompt prompt;
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;

    QProcess peers;
    peers.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!startPeers(peers)) {
        std::fprintf(stderr, "the stand-in stations did not start (run inside the loopback namespace)\n");
        return 1;
    }
    QStringList addresses;
    QStringList aliases;
    for (int i = 1; i <= kStations; ++i) {
        addresses << QStringLiteral("127.0.1.%1").arg(i);
        aliases << QStringLiteral("Station%1").arg(i);
    }
    Dravo_plurica window;
    window.show();
    window.updatePCList(addresses, aliases);
    QAction* statusList = window.findChild<QAction*>(QStringLiteral("actionCamStatus"));
    EventWait wait;

    const double idle = coreShare(wait, seconds);
    statusList->setChecked(true);
    wait.wait(kSettleMs);
    const double polling = coreShare(wait, seconds);

    const QListWidget* rows = window.findChild<camstatusdialog*>()->findChild<QListWidget*>();
    int ready = 0;
    for (int i = 0; i < rows->count(); ++i)
        ready += rows->item(i)->text().endsWith(QLatin1String(" - Ready")) ? 1 : 0;
    statusList->setChecked(false);
    peers.kill();
    peers.waitForFinished(5000);

    bench::row(bench::format("console polling %d stand-in stations (%d answering), %.0f s", kStations, ready, seconds),
               bench::format("%.1f %% of a core", polling),
               bench::format("%.1f %% (status list closed)", idle), bench::ratio(idle, polling),
               "<= 5 % of a core");
    return ready == kStations ? 0 : 1;
}
