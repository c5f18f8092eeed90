// What the engine does behind its front door (tidelin/engine.h): the conversion through the
// work file or an unnamed copy, the binary test, and the batches a folder walk publishes its
// copies in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tidelin/direction.h"
#include "file_converter.h"
#include "filesystem.h"
#include "tidelin/host.h"
#include "tidelin/message_log.h"
#include "open_files.h"
#include "page_release.h"
#include "publish_batch.h"
#include "tidelin/engine.h"
#include "tidelin/folder_walk.h"

namespace tidelin {

class EngineCore {
public:
    EngineCore(EngineHost& host, MessageLog& log);
    ~EngineCore();
    EngineCore(const EngineCore&) = delete;
    EngineCore& operator=(const EngineCore&) = delete;

    // Engine's load and unload steps and its work file.
    void ChooseWorkFile();
    const std::string& WorkFile() const { return workFile_; }
    void Unload() noexcept;

    // Engine's conversion and binary test, with the options set last.
    bool Convert(const std::string& path, Direction direction);
    void SetOptions(const ConversionOptions& options) { options_ = options; }
    const ConversionOptions& Options() const { return options_; }
    // A file of the walk left as it is, since converting it changes nothing.
    void NoteUnchanged() { ++tally_.unchanged; }
    // A file of the walk that a worker of the walk replaced.
    void NoteReplaced(const std::string& path) {
        ++tally_.converted;
        lastReplaced_ = path;
    }
    bool IsBinaryFile(const std::string& path);

    // Folder walks: from StartBatching on, finished copies wait in a batch and replace their
    // sources together (PublishBatch); `failed` reports each file that could not be replaced.
    // The waiting copies are published before the engine appends an entry, and a walk calls
    // PublishWaiting before it appends one, so the entries keep the walk's order.
    // FinishBatching publishes the rest; StopBatching drops them (their sources stay as they
    // were). A single-file conversion never waits.
    void StartBatching(PublishBatch::FailureReport failed);
    void PublishWaiting();
    void FinishBatching();
    void StopBatching() noexcept;
    // A walk being stopped drops the copies waiting in the batch, all but that of `path` (the
    // file in hand when the stop came); their sources keep their old content.
    void DropWaitingBut(const std::string& path) noexcept { batch_.KeepOnly(path); }
    // The file a rename last put new content in, since StartBatching (empty when none).
    const std::string& LastReplaced() const { return lastReplaced_; }
    // The files replaced, and those left alone as binary or too large, since StartBatching;
    // the walk counts its failures itself.
    const WalkOutcome& Tally() const { return tally_; }
    // A walk's batch holds at most this many copies (each an open file), fewer than MaxFiles
    // where the process may open few files.
    void LimitBatch(std::size_t files) { batch_.SetMaxFiles(files); }
    // Lets the finished unnamed `copy` of `path` (read in the state `read`, its attributes
    // kept) wait in the batch; publishes the batch when it is full.
    void AddToBatch(const std::string& path, const fs::PathInfo& read, fs::File copy);

    // The unnamed copy beside `path` that its converted content goes to, given `keep`'s owner
    // before anything is written; a closed File where that folder offers no unnamed files.
    static fs::File CreateUnnamedCopy(const std::string& path, const fs::PathInfo& keep);
    // Whether a file of this size is refused as too large.
    static bool IsTooLarge(const fs::PathInfo& info) { return info.size > Engine::MaxFileSize || info.size < 0; }
    // The entries of a skipped file, after the waiting copies are published: a binary one
    // (raises when its width cannot be recorded) and one too large.
    void LogBinaryFile(const std::string& path);
    void LogTooLargeFile(const std::string& path);

    void CloseAllFiles() noexcept { files_.CloseAll(); }
    OpenFileTable& Files() { return files_; }
    MessageLog& Log() { return log_; }
    EngineHost& Host() { return host_; }

private:
    // The file the conversion writes into: unnamed beside the source, given the source's owner
    // before anything is written; or, where that folder offers none, the named work file.
    fs::File CreateCopy(const std::string& path, const fs::PathInfo& keep);
    fs::File CreateNamedWorkFile();
    // Puts the finished copy in the place of `path`, read in the state `read`.
    void PutInPlace(const std::string& path, const fs::PathInfo& read);
    void ChooseFreeWorkFileName();
    void RemoveOwnWorkFile() noexcept;

    EngineHost& host_;
    MessageLog& log_;
    OpenFileTable files_;
    std::string workFile_;
    // The named work file this run created and has not removed yet (inode 0: none).
    fs::PathInfo ownWorkFile_;
    PublishBatch batch_;
    PublishBatch::FailureReport batchFailed_;  // empty while no walk batches
    std::string lastReplaced_;
    WalkOutcome tally_;
    ConversionOptions options_;
    FileConverter converter_;
    std::unique_ptr<PageRelease> pageRelease_;  // none where there is one thread
};

}  // namespace tidelin
