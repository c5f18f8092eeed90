// The folder-tree conversion: every file of a folder and of all its subfolders, depth-first,
// a folder's files before its subfolders. A file that fails is logged and the walk goes on.
#include <string>
#include <vector>

#include "engine_core.h"
#include "tidelin/errors.h"
#include "filesystem.h"
#include "tidelin/folder_walk.h"
#include "process_limits.h"
#include "walk_plan.h"
#include "walk_order.h"
#include "walk_pool.h"

namespace tidelin {

namespace {

const char* const StoppedEntryPrefix = "!_  Остановлено пользователем: ";

// Logs a failure in the walk's error-entry form; the walk goes on.
void LogFailure(EngineCore& engine, const EngineError& error, const std::string& path) {
    engine.Log().Append(WalkErrorEntryPrefix + std::to_string(error.Number()) + ' ' +
                            error.Description() + " - " + path,
                        path);
}

// A file of the walk that could not be rewritten, or was refused: its entry follows those of
// the copies waiting before it.
void FailInWalk(EngineCore& engine, WalkOutcome& outcome, const EngineError& error, const std::string& path) {
    engine.CloseAllFiles();
    engine.PublishWaiting();
    LogFailure(engine, error, path);
    ++(error.IsRefusal() ? outcome.refused : outcome.failed);
}

// Converts one file of the walk; a failure becomes an error entry and the walk goes on.
void ConvertInWalk(EngineCore& engine, WalkOutcome& outcome, const std::string& path, Direction direction) {
    if (fs::RemoveIfAbandonedCopy(path)) {
        return;  // the program's own copy: a crashed run's is removed, a running one's left
    }
    try {
        engine.Convert(path, direction);
    } catch (const EngineError& error) {
        FailInWalk(engine, outcome, error, path);
    }
}

// Takes back a file the walk handed out, in the walk's order, as if it had been converted
// right then: its entries, and its copy into the batch.
void FinishInWalk(EngineCore& engine, WalkOutcome& outcome, WalkPool::File& file, Direction direction) {
    switch (file.outcome) {
        case WalkPool::Outcome::OnOwner:
            ConvertInWalk(engine, outcome, file.path, direction);
            break;
        case WalkPool::Outcome::Ready:
            engine.AddToBatch(file.path, file.read, std::move(file.copy));
            break;
        case WalkPool::Outcome::Binary:
            try {
                engine.LogBinaryFile(file.path);
            } catch (const EngineError& error) {
                FailInWalk(engine, outcome, error, file.path);
            }
            break;
        case WalkPool::Outcome::TooLarge:
            engine.LogTooLargeFile(file.path);
            break;
        case WalkPool::Outcome::Unchanged:
            engine.NoteUnchanged();
            break;
        case WalkPool::Outcome::Failed:
            FailInWalk(engine, outcome, *file.error, file.path);
            break;
    }
    engine.Host().FileDone();
}

}  // namespace

bool IsRootFolder(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    // Spelled as one ("/", "//", on Windows "E:" or "E:\\"), whether or not it exists.
    std::string rest = folder;
    if (rest.find_first_not_of(fs::PathSeparator) == std::string::npos) {
        return true;
    }
    if (rest.back() == fs::PathSeparator) {
        rest.pop_back();
    }
    if (fs::PathSeparator == '\\' && rest.size() == 2 && rest[1] == ':') {
        return true;
    }
    // Or spelled otherwise: "/tmp/..", "/.", a link to it.
    return fs::IsFileSystemRoot(folder);
}

std::string NormaliseWalkFolder(const std::string& folder) {
    if (folder.empty()) {
        return {};
    }
    std::string path = folder;
    if (path.back() == fs::PathSeparator) {
        path.pop_back();
    }
    if (path.find(fs::PathSeparator) == std::string::npos ||
        path.find_first_not_of(fs::PathSeparator) == std::string::npos) {
        return {};
    }
    return path;
}

WalkOutcome ConvertFolderTree(Engine& walked, const std::string& folder, Direction direction) {
    EngineCore& engine = walked.Core();
    WalkOutcome outcome;
    if (IsRootFolder(folder)) {
        // A root is never walked; saying so keeps the finish from looking clean.
        engine.Log().Append(RootFolderEntryPrefix + folder);
        outcome.rootRefused = true;
        return outcome;
    }
    const std::string root = NormaliseWalkFolder(folder);
    if (root.empty()) {
        return outcome;
    }
    try {
        if (!fs::QueryPath(root).IsDirectory()) {
            return outcome;
        }
    } catch (const EngineError&) {
        return outcome;
    }

    // Up to one file per thread is converted at once, each on a worker of its own; the files
    // come back here in the walk's order. Batches and threads fit the descriptors left.
    // When the user stops the walk, only the files whose conversion has begun are finished
    // (the one in hand and those on other threads); every other copy is dropped unseen.
    const WalkPlan plan = PlanWalk(ThreadCount(), FreeDescriptors());
    engine.LimitBatch(plan.batchFiles);
    WalkPool pool(
        plan.workers, plan.inFlight, direction, engine.Options(), engine.Host(),
        [&engine, &outcome, direction](WalkPool::File& file) { FinishInWalk(engine, outcome, file, direction); },
        [&engine](const std::string& inHand) { engine.DropWaitingBut(inHand); });

    // The files' new content is flushed to disk in batches, not one file at a time. Should
    // the walk end abnormally, the waiting copies are dropped and their sources stay old.
    engine.StartBatching([&engine, &outcome](const std::string& path, const EngineError& error) {
        LogFailure(engine, error, path);
        ++(error.IsRefusal() ? outcome.refused : outcome.failed);
    });
    struct StopBatching {
        EngineCore& engine;
        ~StopBatching() { engine.StopBatching(); }
    } stopBatching{engine};
    std::string last;  // the folder entered last
    VisitInWalkOrder(
        root, {[&](const std::string& current, const std::vector<std::string>& files) {
                   last = current;
                   for (const std::string& name : files) {
                       if (pool.CheckStop()) {
                           return false;  // no other file is touched
                       }
                       pool.Submit(current, name, !fs::IsCopyName(name));
                   }
                   return !pool.Stopped();
               },
               [&](const std::string& current, const EngineError& error) {
                   // A folder that cannot be listed (no permission, a path too long to open)
                   // is one entry, after those of the files before it.
                   last = current;
                   pool.FinishAll();
                   engine.PublishWaiting();
                   LogFailure(engine, error, current);
                   ++outcome.unlistedFolders;
               }});
    pool.FinishAll();
    if (pool.Stopped()) {
        // The entry names the folder of the last file replaced, where the user finds the walk
        // ended; without any, the folder it was in.
        engine.PublishWaiting();
        const std::string& replaced = engine.LastReplaced();
        engine.Log().Append(StoppedEntryPrefix + (replaced.empty() ? last : fs::FolderOf(replaced)));
    }
    engine.FinishBatching();
    // The engine counted what it replaced and what it left alone; the walk, what failed.
    outcome.converted = engine.Tally().converted;
    outcome.binary = engine.Tally().binary;
    outcome.tooLarge = engine.Tally().tooLarge;
    outcome.unchanged = engine.Tally().unchanged;
    outcome.stopped = pool.Stopped();
    return outcome;
}

}  // namespace tidelin
