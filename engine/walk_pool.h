// The threads of a folder walk. The walk's own thread hands each file to the workers, which
// convert it into a private unnamed copy beside it, keep its owner and attributes and hand it
// back; the walk's thread takes the files back strictly in the order it handed them out and
// does everything else there: the entries, the batches, their flushes and renames, and every
// call to the host. While the oldest file is not back it converts files itself. With no
// workers (none asked for, or none the system would start), every file is converted on the
// walk's own thread exactly as without the pool.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tidelin/direction.h"
#include "tidelin/errors.h"
#include "file_converter.h"
#include "filesystem.h"
#include "tidelin/host.h"
#include "open_files.h"

namespace tidelin {

class WalkPool {
public:
    enum class Outcome {
        OnOwner,   // left to the walk's own thread (a copy of the program's own, no workers, or a
                   // folder that offers no unnamed files)
        Ready,     // `copy` holds the converted content, read in the state `read`
        Binary,    // skipped: it holds a control byte
        TooLarge,  // skipped: past the size limit
        Unchanged, // left as it is: converting it changes nothing (skipUnchanged)
        Failed,    // `error` says why
    };
    struct File {
        std::string folder;
        std::string name;
        std::string path;
        bool testBinary = false;
        Outcome outcome = Outcome::OnOwner;
        std::optional<EngineError> error;
        fs::PathInfo read;
        fs::File copy;
        bool begun = false;  // a thread has taken it up
        bool done = false;
    };
    // Runs on the walk's own thread for each file, in the order the files were handed out.
    using Finish = std::function<void(File& file)>;
    // Runs on the walk's own thread once, when the host asks to stop (CheckStop).
    using Stopping = std::function<void(const std::string& finished)>;

    // Up to `workers` threads (those the system starts) converting in `direction`, with at
    // most `inFlight` files handed out and not yet finished. `host` gets a turn while the
    // walk's thread waits for a worker.
    WalkPool(unsigned workers, std::size_t inFlight, Direction direction, const ConversionOptions& options,
             EngineHost& host, Finish finish, Stopping stopping);
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
    // whenever the walk's thread has waited or converted a file itself. On the first yes the
    // pool keeps only the files a thread is converting right now, which are finished as usual;
    // every other file is taken back untouched: those no thread has begun, and those converted
    // already whose copies wait to be finished (dropped unnamed, so their sources keep their
    // old content). `stopping` then gets the path of the file finished just before (empty
    // when none), whose copy the walk keeps too. True once the pool is stopped.
    bool CheckStop();
    bool Stopped() const { return stopped_; }

private:
    // What one thread needs to convert files: its buffers and its own numbers 1 and 2.
    struct Converter {
        FileConverter converter{false};
        OpenFileTable files;
    };
    void Work();
    void Convert(File& file, Converter& converter, EngineHost* yield);
    // Finishes the oldest file, waiting for its worker when `wait`; false when it is not done.
    bool FinishOldest(bool wait);
    // CheckStop, keeping also `converting` (the file this thread has just converted itself)
    // and telling `stopping` of `finished`.
    void CheckStop(const File* converting, const std::string& finished);

    Direction direction_;
    ConversionOptions options_;
    EngineHost& host_;
    Finish finish_;
    Stopping stopping_;
    std::size_t inFlight_;
    Converter own_;                            // the walk's own thread's
    std::deque<std::unique_ptr<File>> order_;  // every file handed out, oldest first
    std::deque<File*> waiting_;                // those no worker has taken yet
    bool stop_ = false;     // the workers end
    bool stopped_ = false;  // the walk is being stopped
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::vector<std::thread> workers_;
};

}  // namespace tidelin
