// lumivar-simcam: runs one simulated camera until SIGTERM or SIGINT.

#include "SimCamArgs.h"
#include "SimulatedCamera.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char** argv)
{
    SimulatedCameraOptions options;
    std::string error;
    const simcam::ArgsResult parsed =
        simcam::parseArgs(std::vector<std::string>(argv + 1, argv + argc), options, error);
    if (parsed == simcam::ArgsResult::Help) {
        std::fputs(simcam::usage().c_str(), stdout);
        return 0;
    }
    if (parsed == simcam::ArgsResult::Error) {
        std::fprintf(stderr, "lumivar-simcam: %s\n%s", error.c_str(), simcam::usage().c_str());
        return 2;
    }

    // Block the stop signals before the camera's thread exists, so only the
    // sigwait below receives them and the camera is stopped (joined) in order.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimulatedCamera camera(options);
    if (!camera.start()) {
        std::fprintf(stderr, "lumivar-simcam: cannot listen on %s:3956\n", options.address.c_str());
        return 1;
    }
    std::printf("%s\n", simcam::readyLine(options).c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    camera.stop();
    std::printf("lumivar-simcam: stopped\n");
    return 0;
}
