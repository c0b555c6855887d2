// orchestrel-peers: stand-in stations and a stand-in pulse generator for the
// console, until stopped. Run it inside a loopback-only network namespace.

#include "AnsweringPrompt.h"
#include "FakeStation.h"
#include "SocketStation.h"
#include "PulseGeneratorSim.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QHash>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QHash<QString, FakeStation::Fault> Faults{{"late", FakeStation::Fault::LateCommands},
                                                 {"silent", FakeStation::Fault::Silent},
                                                 {"hangup", FakeStation::Fault::HangUp},
                                                 {"reset", FakeStation::Fault::Reset}};
const QHash<QString, PulseGeneratorSim::Mode> Modes{{"200", PulseGeneratorSim::Mode::Answer200},
                                                     {"404", PulseGeneratorSim::Mode::Answer404},
                                                     {"500", PulseGeneratorSim::Mode::Answer500},
                                                     {"302", PulseGeneratorSim::Mode::Redirect},
                                                     {"refuse", PulseGeneratorSim::Mode::Refuse},
                                                     {"silent", PulseGeneratorSim::Mode::Silent}};

int fail(const QString& text)
{
    std::fprintf(stderr, "orchestrel-peers: %s\n", qPrintable(text));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The stations' remote servers belong to a widget program; nothing is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AnsweringPrompt prompt; // a station's boxes (remote control on) wait for nobody
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Stand-in stations (a connected camera, ready) on consecutive loopback addresses at port 1910, "
        "and a stand-in pulse generator at port 80. Prints \"ready\" once all listen.");
    parser.addHelpOption();
    const QCommandLineOption first("first", "Address of the first station.", "address", "127.0.1.1");
    const QCommandLineOption count("count", "Number of stations.", "n", "1");
    const QCommandLineOption fault("fault",
                                   "A station that fails: late (answers commands --late-ms late, status polls "
                                   "at once), silent, hangup, reset, or off (connections never complete). "
                                   "Repeatable.",
                                   "address=kind");
    const QCommandLineOption lateMs("late-ms", "How late a late station answers.", "ms", "2000");
    const QCommandLineOption generator("generator", "Address of a pulse generator.", "address");
    const QCommandLineOption mode("generator-mode", "Its answers: 200, 404, 500, 302, refuse or silent.", "mode",
                                  "200");
    parser.addOptions({first, count, fault, lateMs, generator, mode});
    parser.process(app);

    const quint32 base = QHostAddress(parser.value(first)).toIPv4Address();
    const int stations = parser.value(count).toInt();
    if (!base || stations < 0)
        return fail("bad --first or --count");
    QHash<int, QString> faults; // by station
    for (const QString& item : parser.values(fault)) {
        const int index = int(QHostAddress(item.section('=', 0, 0)).toIPv4Address() - base);
        const QString kind = item.section('=', 1);
        if (index < 0 || index >= stations || !(Faults.contains(kind) || kind == QLatin1String("off")))
            return fail(QStringLiteral("bad --fault %1").arg(item));
        faults.insert(index, kind);
    }
    std::vector<std::unique_ptr<FakeStation>> peers;
    std::vector<std::unique_ptr<SocketStation>> offPeers;
    for (int i = 0; i < stations; ++i) {
        const QHostAddress address(base + quint32(i));
        bool listening = false;
        if (faults.value(i) == QLatin1String("off")) {
            offPeers.push_back(std::make_unique<SocketStation>());
            listening = offPeers.back()->listen(address, SocketStation::Start::Off);
        } else {
            auto station = std::make_unique<FakeStation>();
            station->state.connected = true;
            station->lateMs = parser.value(lateMs).toInt();
            station->fault = Faults.value(faults.value(i), FakeStation::Fault::None);
            listening = station->listen(address);
            peers.push_back(std::move(station));
        }
        if (!listening)
            return fail(QStringLiteral("cannot listen on %1:1910").arg(address.toString()));
    }
    PulseGeneratorSim pulseGenerator;
    if (parser.isSet(generator)) {
        if (!Modes.contains(parser.value(mode)))
            return fail(QStringLiteral("bad --generator-mode %1").arg(parser.value(mode)));
        pulseGenerator.setMode(Modes.value(parser.value(mode)));
        if (!pulseGenerator.start(parser.value(generator), 80))
            return fail(QStringLiteral("cannot listen on %1:80").arg(parser.value(generator)));
    }
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
