#include <io.h>

#include <cstdio>

#include "platform/console.h"

namespace tf::platform {

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace tf::platform
