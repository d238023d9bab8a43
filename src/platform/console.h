#pragma once

namespace tf::platform {

// True when the standard error stream is an interactive terminal.
bool StderrIsTerminal();

// Ctrl+C, and where the platform has them SIGTERM and SIGHUP, ask the running
// listing to stop; a second one ends the process at once.
void InstallStopSignals();

// The signal that asked to stop, or 0.
int StopSignal();

}  // namespace tf::platform
