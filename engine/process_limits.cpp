#include "process_limits.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace tidelin {

namespace {

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

}  // namespace tidelin
