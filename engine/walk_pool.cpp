#include "walk_pool.h"

#include <algorithm>
#include <chrono>

#include "engine.h"

namespace tidelin {

namespace {

// How long the walk's thread waits for a worker before the host gets a turn.
constexpr std::chrono::milliseconds YieldEvery{10};

// Where a folder offers no unnamed files, the file goes back to the walk's own thread, which
// alone may use the named work file.
struct NoUnnamedFiles {};

}  // namespace

// Everything of a file's conversion up to its publication: no entries, and no host but the
// `yield` of the walk's own thread when it converts a file itself.
void WalkPool::Convert(File& file, Converter& converter, EngineHost* yield) {
    OpenFileTable& files = converter.files;
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
        } else if (converter.converter.Convert(files, file.path, before, direction_, file.testBinary, makeCopy, yield) ==
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
    Converter converter;
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
        Convert(*file, converter, nullptr);
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
    if (stopped_) {
        return;
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

void WalkPool::DropWaiting() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.empty()) {
        return;
    }
    // The threads take files in the order they were handed out, so those not begun are the
    // last ones handed out.
    const File* first = waiting_.front();
    waiting_.clear();
    order_.erase(std::find_if(order_.begin(), order_.end(), [&](const auto& file) { return file.get() == first; }),
                 order_.end());
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
            // Rather than wait, this thread converts the next file no worker has taken yet.
            if (!waiting_.empty()) {
                File* file = waiting_.front();
                waiting_.pop_front();
                lock.unlock();
                Convert(*file, own_, &host_);
                lock.lock();
                file->done = true;
                continue;
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
    if (!stopped_ && host_.StopRequested()) {
        stopped_ = true;
        DropWaiting();
    }
    return true;
}

}  // namespace tidelin
