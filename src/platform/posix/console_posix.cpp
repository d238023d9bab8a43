#include <unistd.h>

#include "platform/console.h"

namespace tf::platform {

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace tf::platform
