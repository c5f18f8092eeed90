#include "walk_pool.h"

#include <algorithm>
#include <chrono>

#include "engine_core.h"
#include "process_limits.h"
#include "publish_batch.h"

namespace tidelin {

namespace {

// How long the walk's thread waits for a worker before the host gets a turn.
constexpr std::chrono::milliseconds YieldEvery{10};
// Files finished one after another give the host a turn at most this often: each turn holds
// the renames back.
constexpr std::chrono::microseconds TurnEvery{1000};

// Where a folder offers no unnamed files, the file goes back to the walk's own thread, which
// alone may use the named work file.
struct NoUnnamedFiles {};

}  // namespace

// Everything of a file's conversion up to its publication: no entries and no host.
void WalkPool::Convert(File& file, FileConverter& converter, OpenFileTable& files) {
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
            file.outcome = Outcome::TooLarge;
        } else if (const auto result = converter.Convert(files, file.path, before, direction_, file.testBinary,
                                                         options_, makeCopy, nullptr);
                   result == FileConverter::Result::Binary) {
            file.outcome = Outcome::Binary;
        } else if (result == FileConverter::Result::Unchanged) {
            file.outcome = Outcome::Unchanged;
        } else {
            fs::KeepAttributes(files.Get(OpenFileTable::Work), files.Get(OpenFileTable::Source), before);
            if (options_.keepDate) {
                fs::KeepTimes(files.Get(OpenFileTable::Work), before);
            }
            file.read = before;
            file.copy = std::move(files.Get(OpenFileTable::Work));
            file.outcome = Outcome::Ready;
        }
    } catch (const EngineError& error) {
        file.error = error;
        file.outcome = Outcome::Failed;
    } catch (...) {
        file.outcome = Outcome::OnOwner;  // tried again there, where any failure is logged
    }
    files.CloseAll();
}

// Publishes one sealed batch on a worker; each file's fate becomes its outcome.
void WalkPool::Publish(Batch& batch) {
    // The copies joined the batch as their conversions ended; they replace their sources in
    // the walk's order.
    std::sort(batch.files.begin(), batch.files.end(),
              [](const Handed* a, const Handed* b) { return a->number < b->number; });
    PublishBatch publish;
    publish.SetMaxFiles(batch.files.size());
    for (Handed* file : batch.files) {
        publish.Add(file->path, file->read, std::move(file->copy));
    }
    // No rename while the host has its turn; a stop drops the copies that waited before it,
    // not those begun before it.
    struct Gate final : PublishBatch::RenameGate {
        WalkPool& pool;
        const Batch& batch;
        Gate(WalkPool& walkPool, const Batch& published) : pool(walkPool), batch(published) {}
        bool Enter() override {
            std::unique_lock<std::mutex> lock(pool.mutex_);
            pool.renames_.wait(lock, [this] { return !pool.hostTurn_ || pool.stopped_ || pool.end_; });
            if (pool.end_ || (pool.stopped_ && !batch.sealedAfterStop)) {
                return false;
            }
            ++pool.renaming_;
            return true;
        }
        void Leave() noexcept override {
            const std::lock_guard<std::mutex> lock(pool.mutex_);
            if (--pool.renaming_ == 0 && pool.hostTurn_) {
                pool.renames_.notify_all();
            }
        }
    } gate(*this, batch);
    std::vector<EngineError> failures;
    const PublishBatch::Published published = publish.Publish(
        [&failures](const std::string&, const EngineError& error) { failures.push_back(error); }, &gate);
    auto failure = failures.begin();
    for (std::size_t i = 0; i < batch.files.size(); ++i) {
        Handed& file = *batch.files[i];
        switch (published.fates[i]) {
            case PublishBatch::Fate::Replaced: file.outcome = Outcome::Replaced; break;
            case PublishBatch::Fate::Dropped: file.outcome = Outcome::Dropped; break;
            case PublishBatch::Fate::Failed:
                file.outcome = Outcome::Failed;
                file.error = *failure++;
                break;
        }
    }
}

WalkPool::WalkPool(unsigned workers, std::size_t inFlight, std::size_t batchFiles, Direction direction,
                   const ConversionOptions& options, EngineHost& host, Finish finish, Stopping stopping)
    : direction_(direction),
      options_(options),
      host_(host),
      finish_(std::move(finish)),
      stopping_(std::move(stopping)),
      inFlight_(std::max<std::size_t>(inFlight, 1)),
      batchFiles_(std::max<std::size_t>(batchFiles, 1)) {
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
        end_ = true;
        stopped_ = true;  // a batch being published drops what it has not renamed yet
    }
    work_.notify_all();
    renames_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void WalkPool::Work() {
    FileConverter converter{false};
    OpenFileTable files;  // this thread's own numbers 1 and 2
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return end_ || !sealed_.empty() || !waiting_.empty(); });
        if (end_) {
            return;
        }
        // A batch first: the walk's thread may be waiting for it.
        if (!sealed_.empty()) {
            Batch batch = std::move(sealed_.front());
            sealed_.pop_front();
            for (Handed* file : batch.files) {
                file->state = State::Publishing;
            }
            lock.unlock();
            Publish(batch);
            lock.lock();
            for (Handed* file : batch.files) {
                MarkDone(*file);
            }
            continue;
        }
        Handed& file = *waiting_.front();
        waiting_.pop_front();
        file.state = State::Converting;
        ++converting_;
        lock.unlock();
        Convert(file, converter, files);
        lock.lock();
        --converting_;
        if (file.outcome != Outcome::Ready) {
            MarkDone(file);
        } else {
            // Begun before any stop, it is published even when the walk stops meanwhile.
            file.state = State::Batched;
            open_.files.push_back(&file);
            open_.bytes += file.read.size;
            if (open_.files.size() >= batchFiles_ || open_.bytes >= PublishBatch::MaxBytes) {
                Seal();
            }
        }
        SealIfOwnerWaitsForIt();
    }
}

void WalkPool::SealIfOwnerWaitsForIt() {
    // Only when no copy could join it before the walk's thread hands out more.
    if (ownerWaits_ && waiting_.empty() && converting_ == 0 && order_.front()->state == State::Batched) {
        Seal();
    }
}

void WalkPool::Seal() {
    if (open_.files.empty()) {
        return;
    }
    for (Handed* file : open_.files) {
        file->state = State::Sealed;
    }
    open_.sealedAfterStop = stopped_;
    sealed_.push_back(std::move(open_));
    open_ = Batch();
    work_.notify_one();
}

void WalkPool::MarkDone(Handed& file) {
    file.state = State::Done;
    if (ownerWaits_ && order_.front().get() == &file) {
        done_.notify_one();
    }
}

void WalkPool::Submit(const std::string& folder, const std::string& name, bool toWorker) {
    if (stopped_) {
        return;
    }
    auto file = std::make_unique<Handed>();
    file->path = fs::JoinPath(folder, name);
    file->number = handedOut_++;
    if (workers_.empty()) {
        finish_(*file);  // the one-thread walk, exactly
        CheckStop(file->path);
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
    file->testBinary = host_.SkipBinary();
    const std::lock_guard<std::mutex> lock(mutex_);
    Handed& added = *order_.emplace_back(std::move(file));
    if (!toWorker) {
        added.state = State::Done;  // left to the walk's own thread
        return;
    }
    waiting_.push_back(&added);
    work_.notify_one();
}

void WalkPool::FinishAll() {
    while (!order_.empty()) {
        FinishOldest(true);
    }
}

bool WalkPool::CheckStop() {
    CheckStop(std::string());
    return stopped_;
}

void WalkPool::CheckStop(const std::string& finished) {
    if (stopped_ || !host_.StopRequested()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        DropUnbegun();
    }
    renames_.notify_all();
    stopping_(finished);
}

void WalkPool::DropUnbegun() {
    stopped_ = true;
    // What a worker converts stays: it is finished as usual. A batch being published drops
    // the copies it has not renamed yet (see Publish).
    for (const std::unique_ptr<Handed>& file : order_) {
        if (file->state == State::Waiting || file->state == State::Batched || file->state == State::Sealed) {
            file->copy = fs::File();
            file->outcome = Outcome::Dropped;
            file->state = State::Done;
        }
    }
    waiting_.clear();
    open_ = Batch();
    sealed_.clear();
}

void WalkPool::HostTurn(bool always) {
    const auto now = std::chrono::steady_clock::now();
    if (!always && now - lastTurn_ < TurnEvery) {
        return;
    }
    lastTurn_ = now;
    {
        // The renames under way end first.
        std::unique_lock<std::mutex> lock(mutex_);
        hostTurn_ = true;
        renames_.wait(lock, [this] { return renaming_ == 0; });
    }
    host_.Yield();
    // A stop answered during the turn is in force before any rename goes on.
    const bool stop = !stopped_ && host_.StopRequested();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        hostTurn_ = false;
        if (stop) {
            DropUnbegun();
        }
    }
    renames_.notify_all();
    if (stop) {
        stopping_(lastFinished_);
    }
}

bool WalkPool::FinishOldest(bool wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (order_.empty()) {
            return false;
        }
        Handed& oldest = *order_.front();
        if (oldest.state == State::Done) {
            break;
        }
        if (!wait) {
            return false;
        }
        ownerWaits_ = true;
        SealIfOwnerWaitsForIt();
        const bool done = done_.wait_for(lock, YieldEvery, [&oldest] { return oldest.state == State::Done; });
        ownerWaits_ = false;
        if (!done) {
            lock.unlock();
            HostTurn(true);
            lock.lock();
        }
    }
    const std::unique_ptr<Handed> file = std::move(order_.front());
    order_.pop_front();
    lock.unlock();
    if (file->outcome == Outcome::Dropped) {
        return true;  // the walk was stopped before it: untouched, and no entry
    }
    finish_(*file);
    lastFinished_ = file->path;
    HostTurn(false);
    return true;
}

}  // namespace tidelin
