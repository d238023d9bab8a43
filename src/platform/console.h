#pragma once

namespace tf::platform {

// True when the standard error stream is an interactive terminal.
bool StderrIsTerminal();

}  // namespace tf::platform
