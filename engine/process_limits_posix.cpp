// What this process may run and open on Linux: the processors it may run on and the
// descriptors left below its limit.
#include <dirent.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "process_limits.h"

namespace tidelin {

unsigned ThreadCount() {
    const char* asked = std::getenv("TIDELIN_THREADS");
    if (asked != nullptr && *asked != '\0') {
        char* end = nullptr;
        const long value = std::strtol(asked, &end, 10);
        if (*end == '\0' && value >= 1) {
            return static_cast<unsigned>(std::min<long>(value, 256));
        }
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

std::size_t FreeDescriptors() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::size_t{1} << 20;
    }
    // The limit bounds the descriptors' numbers: count those open below it.
    std::size_t open = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(fds);
        while (const dirent* entry = ::readdir(fds)) {
            char* end = nullptr;
            const unsigned long fd = std::strtoul(entry->d_name, &end, 10);
            if (end != entry->d_name && *end == '\0' && fd != static_cast<unsigned long>(own) && fd < limit.rlim_cur) {
                ++open;
            }
        }
        ::closedir(fds);
    } else {
        open = 16;  // a guess where the open descriptors cannot be counted
    }
    return limit.rlim_cur > open ? static_cast<std::size_t>(limit.rlim_cur) - open : 0;
}

}  // namespace tidelin
