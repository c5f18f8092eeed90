// The conversion engine: rewrites the line breaks of files in place through one private work
// file and tests files for binary content; folder_walk.h walks folder trees with it. It reports
// skipped files in the message log and failures as EngineError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "direction.h"
#include "file_converter.h"
#include "filesystem.h"
#include "host.h"
#include "message_log.h"
#include "open_files.h"
#include "page_release.h"
#include "publish_batch.h"

namespace tidelin {

class Engine {
public:
    // The reading unit of the conversion and of the binary test.
    static constexpr std::int64_t ChunkSize = FileConverter::ChunkSize;
    // The largest source that is converted.
    static constexpr std::int64_t MaxFileSize = 2147483634;
    // The output may not pass this many bytes (a signed 32-bit write position from 1).
    static constexpr std::int64_t MaxOutputSize = FileConverter::MaxOutputSize;

    static constexpr const char* BinaryEntryPrefix = "!_  Бинарный файл: ";
    static constexpr const char* TooLargeEntryPrefix = "!_  Размер файла больше 2047 МБ: ";

    Engine(EngineHost& host, MessageLog& log);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Load step: removes this user's work files that crashed runs left in the temporary folder,
    // then chooses WorkFile there, k5ywhqx or the first free one of k5ywhqx0, k5ywhqx1, ...
    // Any entry of a candidate's name counts as taken.
    void ChooseWorkFile();
    // The named work file, used where a source's folder offers no unnamed files; otherwise a
    // conversion writes into an unnamed file beside its source.
    const std::string& WorkFile() const { return workFile_; }

    // Unload step: closes every open file and deletes a work file that this run created and
    // left over (never another file found at its name). Never fails.
    void Unload() noexcept;

    // Rewrite `path` in place: CR LF to LF, or every line break to CR LF. True when the file
    // was replaced, false when it was skipped with an entry in the message log. Failures are
    // raised; the files they leave open are closed by the caller (CloseAllFiles).
    bool ConvertWinToUnix(const std::string& path);
    bool ConvertUnixToWin(const std::string& path);
    bool Convert(const std::string& path, Direction direction);

    // Whether the file holds a control byte other than TAB, LF and CR. Never raises: a file
    // that cannot be read is not binary.
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
    // A walk's batch holds at most this many copies (each an open file), fewer than MaxFiles
    // where the process may open few files.
    void LimitBatch(std::size_t files) { batch_.SetMaxFiles(files); }
    // Lets the finished unnamed `copy` of `path` (read in the state `read`, its attributes
    // kept) wait in the batch; publishes the batch when it is full.
    void AddToBatch(const std::string& path, const fs::PathInfo& read, fs::File copy);

    // Whether a file of this size is refused as too large.
    static bool IsTooLarge(const fs::PathInfo& info) { return info.size > MaxFileSize || info.size < 0; }
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
    FileConverter converter_;
    std::unique_ptr<PageRelease> pageRelease_;  // none where there is one thread
};

}  // namespace tidelin
