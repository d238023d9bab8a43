#include <io.h>

#include <csignal>
#include <cstdio>

#include "platform/console.h"

namespace tf::platform {
namespace {

volatile std::sig_atomic_t gStopSignal = 0;

// The runtime resets a handler to the default before calling it, so a
// second Ctrl+C ends the process.
extern "C" void OnStopSignal(int signal) {
    if (gStopSignal == 0) gStopSignal = signal;
}

}  // namespace

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

int StopSignal() { return gStopSignal; }

}  // namespace tf::platform
