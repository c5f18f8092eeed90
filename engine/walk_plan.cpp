#include "walk_plan.h"

#include <algorithm>

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

}  // namespace

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
