#include "platform/thread_priority.h"

#include <windows.h>

namespace tf::platform {

void LowerThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace tf::platform
