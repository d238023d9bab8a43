#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tf::platform {

void LowerThreadPriority() {
#if defined(__linux__)
    // Linux keeps a nice value per thread, named by the thread's own id.
    // Two steps leave the thread about two fifths of a processor it shares
    // with a thread of the usual priority (one step did as well in our
    // measures, five no better), and any processor no one else wants.
    constexpr int kSteps = 2;
    const id_t self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0) setpriority(PRIO_PROCESS, self, std::min(nice + kSteps, 19));
#endif
}

}  // namespace tf::platform
