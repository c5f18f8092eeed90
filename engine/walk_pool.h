// The threads of a folder walk. The walk's own thread only lists the folders, hands each file
// out, takes the files back strictly in the order it handed them out, writes their entries and
// talks to the host. The workers do everything per file: each converts a file into a private
// unnamed copy beside it and keeps its owner and attributes; its copy then waits in a batch,
// and a worker publishes each batch (one flush of the file system before the batch's renames,
// each source checked unchanged and renamed over, one flush after), so after a crash every
// file is old or new. Batches are published on several workers at once. While the host may
// be asking whether to stop (during its yield) nothing is renamed. With no workers (none
// asked for, or none the system would start), every file is converted and published on the
// walk's own thread exactly as without the pool.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "file_converter.h"
#include "filesystem.h"
#include "open_files.h"
#include "tidelin/direction.h"
#include "tidelin/errors.h"
#include "tidelin/host.h"

namespace tidelin {

class WalkPool {
public:
    enum class Outcome {
        OnOwner,    // left to the walk's own thread (a copy of the program's own, no workers, or a
                    // folder that offers no unnamed files)
        Ready,      // converted: its copy waits to be published (never seen by Finish)
        Replaced,   // its converted copy replaced it
        Binary,     // skipped: it holds a control byte
        TooLarge,   // skipped: past the size limit
        Unchanged,  // left as it is: converting it changes nothing (skipUnchanged)
        Failed,     // converting or replacing it failed: `error` says why
        Dropped,    // the walk was stopped first: it keeps its old content, and gets no entry
    };
    struct File {
        std::string path;
        bool testBinary = false;
        Outcome outcome = Outcome::OnOwner;
        std::optional<EngineError> error;
        fs::PathInfo read;
        fs::File copy;
    };
    // Runs on the walk's own thread for each file, in the order the files were handed out.
    using Finish = std::function<void(File& file)>;
    // Runs on the walk's own thread once, when the host asks to stop.
    using Stopping = std::function<void(const std::string& finished)>;

    // Up to `workers` threads (those the system starts) converting in `direction`, with at
    // most `inFlight` files handed out and not yet finished, and batches of at most
    // `batchFiles` copies. `host` gets a turn while the walk's thread waits.
    WalkPool(unsigned workers, std::size_t inFlight, std::size_t batchFiles, Direction direction,
             const ConversionOptions& options, EngineHost& host, Finish finish, Stopping stopping);
    // Stops the workers. Files not finished are dropped: their copies were never named, so their
    // sources keep their old content.
    ~WalkPool();
    WalkPool(const WalkPool&) = delete;
    WalkPool& operator=(const WalkPool&) = delete;

    // Hands out the file `name` of `folder`, to a worker when `toWorker` and there are workers.
    // Finishes the files that are done first, waiting while `inFlight` files are out. Once the
    // pool is stopped it hands out nothing more.
    void Submit(const std::string& folder, const std::string& name, bool toWorker);
    // Finishes every file handed out.
    void FinishAll();
    // Asks the host whether to stop, as the pool also does after each file it finishes and
    // after each turn the host gets. On the first yes the pool keeps only the files a worker
    // is converting right now, which are finished as usual; every other file is dropped
    // untouched: those no worker has begun, and those converted already whose copies wait to
    // be published (unnamed, so their sources keep their old content). `stopping` then gets
    // the path of the file finished just before (empty when none). True once stopped.
    bool CheckStop();
    bool Stopped() const { return stopped_; }

private:
    enum class State {
        Waiting,     // for a worker to convert it
        Converting,  // a worker converts it
        Batched,     // its copy waits in the open batch
        Sealed,      // its copy waits in a batch that no worker publishes yet
        Publishing,  // a worker publishes its batch
        Done,        // ready to be finished
    };
    struct Handed : File {
        std::uint64_t number = 0;  // its place in the walk's order
        State state = State::Waiting;
    };
    struct Batch {
        std::vector<Handed*> files;
        std::int64_t bytes = 0;
        // Sealed after a stop: its files were being converted when the stop came, and are
        // published.
        bool sealedAfterStop = false;
    };
    void Work();
    void Convert(File& file, FileConverter& converter, OpenFileTable& files);
    void Publish(Batch& batch);
    // Closes the open batch to newcomers: a worker publishes it next. Under `mutex_`.
    void Seal();
    // Seals the open batch when the walk's thread waits for a file in it and no other copy
    // could join it first. Under `mutex_`.
    void SealIfOwnerWaitsForIt();
    // Marks `file` done and wakes the walk's thread when it waits for that file. Under `mutex_`.
    void MarkDone(Handed& file);
    // Finishes the oldest file, waiting for it when `wait`; false when it is not done.
    bool FinishOldest(bool wait);
    // The host's turn (`always`, or when the last was a while ago): the renames under way end
    // first, nothing is renamed while it lasts, and a stop it brings is in force before the
    // renames go on.
    void HostTurn(bool always);
    // Asks the host whether to stop (see CheckStop), telling `stopping` of `finished`.
    void CheckStop(const std::string& finished);
    // Drops every file but those being converted. Under `mutex_`.
    void DropUnbegun();

    Direction direction_;
    ConversionOptions options_;
    EngineHost& host_;
    Finish finish_;
    Stopping stopping_;
    std::size_t inFlight_;
    std::size_t batchFiles_;
    std::string lastFinished_;
    std::uint64_t handedOut_ = 0;
    std::deque<std::unique_ptr<Handed>> order_;  // every file handed out, oldest first
    std::deque<Handed*> waiting_;                // those no worker has taken yet
    Batch open_;                                 // copies waiting for more to join them
    std::deque<Batch> sealed_;                   // batches no worker publishes yet
    bool end_ = false;           // the workers end
    bool stopped_ = false;       // the walk is being stopped
    bool hostTurn_ = false;      // the host has its turn: no renames
    bool ownerWaits_ = false;    // the walk's thread waits for the oldest file
    int renaming_ = 0;           // renames under way
    int converting_ = 0;         // files being converted
    std::chrono::steady_clock::time_point lastTurn_;
    std::mutex mutex_;
    std::condition_variable work_;     // for the workers: a file to convert or a batch to publish
    std::condition_variable done_;     // for the walk's thread: the oldest file is done
    std::condition_variable renames_;  // for the publishers: the host's turn is over
    std::vector<std::thread> workers_;
};

}  // namespace tidelin
