// The shape of one folder walk: how many threads convert and how many files it holds open.
#pragma once

#include <cstddef>

namespace tidelin {

// The shape of one folder walk, fitted to the threads and to the descriptors it may open.
struct WalkPlan {
    unsigned workers = 0;          // threads converting and publishing; 0: all on the walk's own
    std::size_t inFlight = 0;      // files handed to the workers and not yet taken back
    std::size_t batchFiles = 0;    // copies waiting together to replace their sources
};
// The plan for `threads` threads with `freeDescriptors` more files this process may open.
WalkPlan PlanWalk(unsigned threads, std::size_t freeDescriptors);

}  // namespace tidelin
