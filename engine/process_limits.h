// How much a folder walk may run at once: its threads and the files it may hold open.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace tidelin {

// The threads a conversion may use: TIDELIN_THREADS when it holds a whole number from 1, else
// the processors this process may run on. Always 1 on Windows, where a walk goes through the
// named work file.
unsigned ThreadCount();

// Starts `work` on a thread of its own. A thread the system will not start (a limit on this
// user's processes or threads reached) is no failure: the result is then not joinable and the
// caller does the work on its own thread.
std::thread StartThread(std::function<void()> work);
// For tests: only `count` more threads start, none after them (a negative count: no limit).
void SetThreadsThatStart(int count);

// How many more files this process may open now: the soft limit on open descriptors less
// those open (a large number where the system sets no useful limit).
std::size_t FreeDescriptors();

// The shape of one folder walk, fitted to the threads and to the descriptors it may open.
struct WalkPlan {
    unsigned workers = 0;          // threads converting beside the walk's own; 0: all on its own
    std::size_t inFlight = 0;      // files handed to the workers and not yet taken back
    std::size_t batchFiles = 0;    // copies waiting together to replace their sources
};
WalkPlan PlanWalk(unsigned threads, std::size_t freeDescriptors);

}  // namespace tidelin
