// The folder-tree conversion: every file of a folder and of all its subfolders, depth-first,
// a folder's files before its subfolders. A file that fails is logged and the walk goes on.
#include <optional>
#include <string>
#include <vector>

#include "engine_core.h"
#include "tidelin/errors.h"
#include "filesystem.h"
#include "tidelin/folder_walk.h"
#include "process_limits.h"
#include "walk_plan.h"
#include "path_patterns.h"
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
        case WalkPool::Outcome::Replaced:
            engine.NoteReplaced(file.path);
            break;
        case WalkPool::Outcome::Ready:    // only ever seen by the workers
        case WalkPool::Outcome::Dropped:  // never finished
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

std::string PatternProblem(const std::string& pattern) {
    try {
        CompilePatterns(WalkSelection{{pattern}, {}, false});
    } catch (const PatternError& error) {
        return error.Reason();
    }
    return {};
}

namespace {

// One walk over folders' trees and the files of a list, through one pool of threads; its
// Visitor takes what VisitTree and VisitList meet.
class Walk {
public:
    Walk(EngineCore& engine, Direction direction) : engine_(engine) {
        // Up to one file per thread is converted at once, each on a worker of its own, which
        // also publishes the batches; the files come back here in the walk's order. Batches
        // and threads fit the descriptors left. When the user stops the walk, only the files
        // whose conversion has begun are finished (the one in hand, or those on the workers);
        // every other copy is dropped unseen. With workers, a file left to this thread (a
        // folder that offers no unnamed files) is published on its own before the next one
        // comes back, so the entries keep the walk's order.
        const WalkPlan plan = PlanWalk(ThreadCount(), FreeDescriptors());
        engine.LimitBatch(plan.workers > 0 ? 1 : plan.batchFiles);
        pool_.emplace(
            plan.workers, plan.inFlight, plan.batchFiles, direction, engine.Options(), engine.Host(),
            [this, direction](WalkPool::File& file) { FinishInWalk(engine_, outcome_, file, direction); },
            [this](const std::string& inHand) { engine_.DropWaitingBut(inHand); });
        // The files' new content is flushed to disk in batches, not one file at a time. Should
        // the walk end abnormally, the waiting copies are dropped and their sources stay old.
        engine.StartBatching([this](const std::string& path, const EngineError& error) {
            LogFailure(engine_, error, path);
            ++(error.IsRefusal() ? outcome_.refused : outcome_.failed);
        });
    }
    ~Walk() { engine_.StopBatching(); }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    // What the walk does with what its trees and lists hold.
    WalkVisitor Visitor() {
        return {[this](const std::string& path) {
                    last_ = fs::FolderOf(path);
                    return Submit(last_, fs::BaseName(path));
                },
                [this](const std::string& folder, const std::string& name) {
                    last_ = folder;
                    return Submit(folder, name);
                },
                [this](const std::string& folder, const EngineError& error) {
                    // A folder that cannot be listed (no permission, a path too long to
                    // open) is one entry, after those of the files before it.
                    last_ = folder;
                    pool_->FinishAll();
                    engine_.PublishWaiting();
                    LogFailure(engine_, error, folder);
                    ++outcome_.unlistedFolders;
                },
                [this](const std::string& folder) { RefuseRoot(folder); }};
    }

    WalkOutcome Finish() {
        pool_->FinishAll();
        if (pool_->Stopped()) {
            // The entry names the folder of the last file replaced, where the user finds the
            // walk ended; without any, the folder it was in.
            engine_.PublishWaiting();
            const std::string& replaced = engine_.LastReplaced();
            engine_.Log().Append(StoppedEntryPrefix + (replaced.empty() ? last_ : fs::FolderOf(replaced)));
        }
        engine_.FinishBatching();
        // The engine counted what it replaced and what it left alone; the walk, what failed.
        const WalkOutcome& tally = engine_.Tally();
        outcome_.converted = tally.converted;
        outcome_.binary = tally.binary;
        outcome_.tooLarge = tally.tooLarge;
        outcome_.unchanged = tally.unchanged;
        outcome_.stopped = pool_->Stopped();
        return outcome_;
    }

private:
    // A root folder named in a list is never walked: it gets one entry.
    void RefuseRoot(const std::string& folder) {
        pool_->FinishAll();
        engine_.PublishWaiting();
        engine_.Log().Append(RootFolderEntryPrefix + folder);
        outcome_.rootRefused = true;
    }

    // False once the walk is stopped: no other file is touched.
    bool Submit(const std::string& folder, const std::string& name) {
        if (pool_->CheckStop()) {
            return false;
        }
        pool_->Submit(folder, name, !fs::IsCopyName(name));
        return !pool_->Stopped();
    }

    EngineCore& engine_;
    WalkOutcome outcome_;
    std::optional<WalkPool> pool_;
    std::string last_;  // the folder entered last
};

}  // namespace

WalkOutcome ConvertFolderTree(Engine& walked, const std::string& folder, Direction direction,
                              const WalkSelection& selection) {
    EngineCore& engine = walked.Core();
    const PathPatterns patterns = CompilePatterns(selection);
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
    Walk walk(engine, direction);
    VisitTree(root, patterns, walk.Visitor());
    return walk.Finish();
}

WalkOutcome ConvertPathList(Engine& walked, const std::vector<ListedPath>& entries, Direction direction,
                            const WalkSelection& selection) {
    EngineCore& engine = walked.Core();
    const PathPatterns patterns = CompilePatterns(selection);
    Walk walk(engine, direction);
    VisitList(entries, patterns, walk.Visitor());
    return walk.Finish();
}

}  // namespace tidelin
