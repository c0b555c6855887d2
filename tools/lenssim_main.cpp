// lumivar-lenssim: runs one simulated lens controller until it is stopped.

#include "LensControllerSim.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString address = QStringLiteral("127.0.0.1");
    if (args.size() == 2 && args[0] == QLatin1String("--address")) {
        address = args[1];
    } else if (!args.isEmpty()) {
        std::fputs("Usage: lumivar-lenssim [--address 127.x.y.z]\n"
                   "A simulated network lens controller on UDP port 1339 of a loopback address\n"
                   "(run it inside a loopback-only network namespace).\n",
                   args[0] == QLatin1String("--help") ? stdout : stderr);
        return args[0] == QLatin1String("--help") ? 0 : 2;
    }
    LensControllerSim controller;
    if (!controller.start(address)) {
        std::fprintf(stderr, "lumivar-lenssim: cannot listen on %s:1339\n", qPrintable(address));
        return 1;
    }
    std::printf("lumivar-lenssim: lens controller on %s:1339\n", qPrintable(address));
    std::fflush(stdout);
    return app.exec();
}
