#include "khcli.h"

#include <sys/resource.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace kh::cli {

void protectProcess() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#ifdef __linux__
    // Also no core through a crash handler, and no ptrace or /proc/PID/mem by the user's
    // other processes.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

} // namespace kh::cli
