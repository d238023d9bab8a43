#include <signal.h>
#include <unistd.h>

#include "platform/console.h"

namespace tf::platform {
namespace {

volatile sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    if (gStopSignal == 0) gStopSignal = signal;
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // The handler is reset when it runs: the next such signal is fatal.
    action.sa_flags = SA_RESETHAND;
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signal : signals) sigaction(signal, &action, nullptr);
}

int StopSignal() { return gStopSignal; }

}  // namespace tf::platform
