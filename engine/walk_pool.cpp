#include "walk_pool.h"

#include <algorithm>
#include <chrono>

#include "engine_core.h"
#include "process_limits.h"

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
        fs::File copy = EngineCore::CreateUnnamedCopy(path, keep);
        if (!copy.IsOpen()) {
            throw NoUnnamedFiles{};
        }
        return copy;
    };
    try {
        const fs::PathInfo before = fs::QueryPath(file.path);
        if (EngineCore::IsTooLarge(before)) {
            file.outcome = WalkPool::Outcome::TooLarge;
        } else if (const auto result = converter.converter.Convert(files, file.path, before, direction_,
                                                                   file.testBinary, options_, makeCopy, yield);
                   result == FileConverter::Result::Binary) {
            file.outcome = WalkPool::Outcome::Binary;
        } else if (result == FileConverter::Result::Unchanged) {
            file.outcome = WalkPool::Outcome::Unchanged;
        } else {
            fs::KeepAttributes(files.Get(OpenFileTable::Work), files.Get(OpenFileTable::Source), before);
            if (options_.keepDate) {
                fs::KeepTimes(files.Get(OpenFileTable::Work), before);
            }
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

WalkPool::WalkPool(unsigned workers, std::size_t inFlight, Direction direction, const ConversionOptions& options,
                   EngineHost& host, Finish finish, Stopping stopping)
    : direction_(direction),
      options_(options),
      host_(host),
      finish_(std::move(finish)),
      stopping_(std::move(stopping)),
      inFlight_(std::max<std::size_t>(inFlight, 1)) {
    // The workers the system lets start: with none, every file is converted on the walk's own
    // thread.
    for (unsigned i = 0; i < workers; ++i) {
        std::thread worker = StartThread([this] { Work(); });
        if (!worker.joinable()) {
            break;
        }
        workers_.push_back(std::move(worker));
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
            file->begun = true;
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
    if (stopped_) {
        return;
    }
    auto file = std::make_unique<File>();
    file->folder = folder;
    file->name = name;
    file->path = fs::JoinPath(folder, name);
    if (workers_.empty()) {
        finish_(*file);  // the one-thread walk, exactly
        CheckStop(nullptr, file->path);
        return;
    }
    while (FinishOldest(false)) {
    }
    while (!stopped_ && order_.size() >= inFlight_) {
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

bool WalkPool::CheckStop() {
    CheckStop(nullptr, std::string());
    return stopped_;
}

void WalkPool::CheckStop(const File* converting, const std::string& finished) {
    if (stopped_ || !host_.StopRequested()) {
        return;
    }
    stopped_ = true;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_.clear();
        // What a worker holds (begun, not done) stays: it is finished as usual.
        std::erase_if(order_, [converting](const std::unique_ptr<File>& file) {
            return file.get() != converting && !(file->begun && !file->done);
        });
    }
    stopping_(finished);
}

bool WalkPool::FinishOldest(bool wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (order_.empty()) {
            return false;
        }
        if (order_.front()->done) {
            break;
        }
        if (!wait) {
            return false;
        }
        // Rather than wait, this thread converts the next file no worker has taken yet.
        if (!waiting_.empty()) {
            File* file = waiting_.front();
            waiting_.pop_front();
            file->begun = true;
            lock.unlock();
            Convert(*file, own_, &host_);
            lock.lock();
            file->done = true;
            lock.unlock();
            CheckStop(file, std::string());  // a stop during its conversion still finishes it
            lock.lock();
            continue;
        }
        const File* oldest = order_.front().get();
        if (!done_.wait_for(lock, YieldEvery, [oldest] { return oldest->done; })) {
            lock.unlock();
            host_.Yield();
            CheckStop(nullptr, std::string());
            lock.lock();
        }
    }
    const std::unique_ptr<File> file = std::move(order_.front());
    order_.pop_front();
    lock.unlock();
    finish_(*file);
    host_.Yield();
    CheckStop(nullptr, file->path);
    return true;
}

}  // namespace tidelin
