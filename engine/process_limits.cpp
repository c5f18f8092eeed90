#include "threads.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <system_error>
#include <cstring>
#include <thread>

#if !defined(_WIN32)
#include <dirent.h>
#include <sched.h>
#include <sys/resource.h>
#endif

#include "publish_batch.h"

namespace tidelin {

namespace {

// Descriptors the walk's own thread may need beside its batch: a folder listing, a folder
// flush, a source, its copy and a copy moved out of the temporary folder, and some room for
// the program around the engine.
constexpr std::size_t OwnDescriptors = 8;
// A worker holds a source and its copy; a finished copy waits with one.
constexpr std::size_t WorkerDescriptors = 2;
// Below this many copies per batch, more threads are not worth their descriptors.
constexpr std::size_t SmallestUsefulBatch = 16;
// Files in flight per worker: enough that neither side often waits for the other.
// A batch's worth, so that the workers go on converting while the walk's thread publishes one.
constexpr std::size_t FilesPerWorker = PublishBatch::MaxFiles;
constexpr std::size_t MaxInFlight = 2 * PublishBatch::MaxFiles;
// Fewer than this many files in flight per worker, and more threads are not worth it.
constexpr std::size_t FewestFilesPerWorker = 4;

std::atomic<int> threadsThatStart{-1};

}  // namespace

std::thread StartThread(std::function<void()> work) {
    int left = threadsThatStart.load();
    while (left >= 0) {
        if (left == 0) {
            return {};
        }
        if (threadsThatStart.compare_exchange_weak(left, left - 1)) {
            break;
        }
    }
    try {
        return std::thread(std::move(work));
    } catch (const std::system_error&) {
        return {};  // EAGAIN: no more processes or threads for this user
    }
}

void SetThreadsThatStart(int count) { threadsThatStart = count; }

unsigned ThreadCount() {
#if defined(_WIN32)
    return 1;
#else
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
#endif
}

std::size_t FreeDescriptors() {
#if defined(_WIN32)
    return std::size_t{1} << 20;  // handles are limited by memory alone
#else
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
#endif
}

WalkPlan PlanWalk(unsigned threads, std::size_t freeDescriptors) {
    const std::size_t room = freeDescriptors > OwnDescriptors ? freeDescriptors - OwnDescriptors : 0;
    WalkPlan plan;
    // The walk's own thread publishes and converts when it has nothing else to do; the workers
    // convert. Each worker costs a source and a copy, and each file in flight a waiting copy.
    unsigned workers = threads > 1 ? threads - 1 : 0;
    while (workers > 0 && room < (WorkerDescriptors + FewestFilesPerWorker) * workers + 2 * SmallestUsefulBatch) {
        --workers;
    }
    plan.workers = workers;
    // Half of what is left after the workers' own goes to the files in flight, half to the batch.
    const std::size_t left = room > WorkerDescriptors * workers ? room - WorkerDescriptors * workers : 0;
    plan.inFlight = std::min({FilesPerWorker * static_cast<std::size_t>(workers), MaxInFlight, left / 2});
    const std::size_t held = workers > 0 ? WorkerDescriptors * workers + plan.inFlight : WorkerDescriptors;
    plan.batchFiles = std::clamp<std::size_t>(room > held ? room - held : 1, 1, PublishBatch::MaxFiles);
    return plan;
}

}  // namespace tidelin
