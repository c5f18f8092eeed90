#include "walk_plan.h"

#include <algorithm>

#include "publish_batch.h"

namespace tidelin {

namespace {

// Descriptors the walk's own thread may need: a folder listing, a folder flush, a source, its
// copy and a copy moved out of the temporary folder, and some room for the program around the
// engine.
constexpr std::size_t OwnDescriptors = 8;
// A worker holds a source and its copy, and a folder or a look at a file while it publishes.
constexpr std::size_t WorkerDescriptors = 3;
// Below this many copies per batch, more threads are not worth their descriptors.
constexpr std::size_t SmallestUsefulBatch = 16;
// Files in flight per worker: a batch's worth, so that the workers go on converting while a
// batch is published, and two batches in all at least.
constexpr std::size_t FilesPerWorker = PublishBatch::MaxFiles;
constexpr std::size_t MaxInFlight = 2 * PublishBatch::MaxFiles;
// Fewer than this many files in flight per worker, and more threads are not worth it.
constexpr std::size_t FewestFilesPerWorker = 4;

}  // namespace

WalkPlan PlanWalk(unsigned threads, std::size_t freeDescriptors) {
    const std::size_t room = freeDescriptors > OwnDescriptors ? freeDescriptors - OwnDescriptors : 0;
    WalkPlan plan;
    // One thread converts and publishes everything itself. With more, each converts and
    // publishes while the walk's own thread only hands the files out and takes them back. Each
    // worker costs its own descriptors, and each file in flight a waiting copy.
    unsigned workers = threads > 1 ? threads : 0;
    while (workers > 0 && room < (WorkerDescriptors + FewestFilesPerWorker) * workers + 2 * SmallestUsefulBatch) {
        --workers;
    }
    if (workers == 1) {
        workers = 0;  // one worker beside a thread that only waits is the one-thread walk, slower
    }
    plan.workers = workers;
    if (workers == 0) {
        // The walk's own thread: a source and a copy, and the batch in the rest.
        plan.batchFiles = std::clamp<std::size_t>(room > 2 ? room - 2 : 1, 1, PublishBatch::MaxFiles);
        return plan;
    }
    // The copies in flight wait in batches: two at least, so that one fills while one is published.
    const std::size_t left = room - WorkerDescriptors * workers;
    plan.inFlight = std::min({FilesPerWorker * static_cast<std::size_t>(workers), MaxInFlight, left});
    plan.batchFiles = std::clamp<std::size_t>(plan.inFlight / 2, 1, PublishBatch::MaxFiles);
    return plan;
}

}  // namespace tidelin
