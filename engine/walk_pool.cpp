#include "walk_pool.h"

#include <chrono>

#include "engine.h"
#include "file_converter.h"
#include "open_files.h"

namespace tidelin {

namespace {

// How long the walk's thread waits for a worker before the host gets a turn.
constexpr std::chrono::milliseconds YieldEvery{10};

// Where a folder offers no unnamed files, the file goes back to the walk's own thread, which
// alone may use the named work file.
struct NoUnnamedFiles {};

// Everything of a file's conversion up to its publication, on a worker: no host, no entries.
void ConvertOnWorker(WalkPool::File& file, Direction direction, FileConverter& converter, OpenFileTable& files) {
    const auto makeCopy = [](const std::string& path, const fs::PathInfo& keep) {
        fs::File copy = fs::File::CreateUnnamedBeside(path);
        if (!copy.IsOpen()) {
            throw NoUnnamedFiles{};
        }
        fs::KeepOwner(copy, keep);
        return copy;
    };
    try {
        const fs::PathInfo before = fs::QueryPath(file.path);
        if (Engine::IsTooLarge(before)) {
            file.outcome = WalkPool::Outcome::TooLarge;
        } else if (converter.Convert(files, file.path, before, direction, file.testBinary, makeCopy, nullptr) ==
                   FileConverter::Result::Binary) {
            file.outcome = WalkPool::Outcome::Binary;
        } else {
            fs::KeepAttributes(files.Get(OpenFileTable::Work), files.Get(OpenFileTable::Source), before);
            file.read = before;
            file.copy = std::move(files.Get(OpenFileTable::Work));
            file.outcome = WalkPool::Outcome::Ready;
        }
    } catch (const EngineError& error) {
        file.error = error;
        file.outcome = WalkPool::Outcome::Failed;
    } catch (...) {
        file.outcome = WalkPool::Outcome::OnOwner;  // tried again there, where any failure is logged
    }
    files.CloseAll();
}

}  // namespace

WalkPool::WalkPool(unsigned workers, std::size_t inFlight, Direction direction, EngineHost& host, Finish finish)
    : direction_(direction), host_(host), finish_(std::move(finish)), inFlight_(std::max<std::size_t>(inFlight, 1)) {
    for (unsigned i = 0; i < workers; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

WalkPool::~WalkPool() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void WalkPool::Work() {
    FileConverter converter(false);
    OpenFileTable files;
    for (;;) {
        File* file = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
            if (stop_) {
                return;
            }
            file = waiting_.front();
            waiting_.pop_front();
        }
        ConvertOnWorker(*file, direction_, converter, files);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            file->done = true;
        }
        done_.notify_one();
    }
}

void WalkPool::Submit(const std::string& folder, const std::string& name, bool toWorker) {
    auto file = std::make_unique<File>();
    file->folder = folder;
    file->name = name;
    file->path = fs::JoinPath(folder, name);
    if (workers_.empty()) {
        finish_(*file);  // the one-thread walk, exactly
        return;
    }
    while (FinishOldest(false)) {
    }
    while (order_.size() >= inFlight_) {
        FinishOldest(true);
    }
    File& added = *order_.emplace_back(std::move(file));
    if (!toWorker) {
        added.done = true;
        return;
    }
    added.testBinary = host_.SkipBinary();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_.push_back(&added);
    }
    work_.notify_one();
}

void WalkPool::FinishAll() {
    while (!order_.empty()) {
        FinishOldest(true);
    }
}

bool WalkPool::FinishOldest(bool wait) {
    if (order_.empty()) {
        return false;
    }
    File& oldest = *order_.front();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!oldest.done) {
            if (!wait) {
                return false;
            }
            if (!done_.wait_for(lock, YieldEvery, [&] { return oldest.done; })) {
                lock.unlock();
                host_.Yield();
                lock.lock();
            }
        }
    }
    const std::unique_ptr<File> file = std::move(order_.front());
    order_.pop_front();
    finish_(*file);
    host_.Yield();
    return true;
}

}  // namespace tidelin
