#include "engine_core.h"

#include <algorithm>
#include <limits>

#include "tidelin/errors.h"
#include "filesystem.h"
#include "process_limits.h"

namespace tidelin {

namespace {

const char* const WorkFileName = "k5ywhqx";
// A replaced source of this size or more is closed on another thread.
constexpr std::int64_t ReleaseOnAThreadFrom = std::int64_t{2} << 20;

}  // namespace

EngineCore::EngineCore(EngineHost& host, MessageLog& log)
    : host_(host),
      log_(log),
      converter_(ThreadCount() > 1),
      pageRelease_(ThreadCount() > 1 ? std::make_unique<PageRelease>() : nullptr) {}

EngineCore::~EngineCore() = default;

void EngineCore::ChooseWorkFile() {
    fs::RemoveStaleWorkFiles(fs::TemporaryFolder(), WorkFileName);
    ChooseFreeWorkFileName();
}

void EngineCore::ChooseFreeWorkFileName() {
    const std::string base = fs::JoinPath(fs::TemporaryFolder(), WorkFileName);
    std::string candidate = base;
    std::int32_t counter = 0;
    while (fs::EntryExists(candidate)) {
        candidate = base + std::to_string(counter);
        if (counter == std::numeric_limits<std::int32_t>::max()) {
            RaiseOverflow();
        }
        ++counter;
        host_.Yield();
    }
    workFile_ = candidate;
}

void EngineCore::RemoveOwnWorkFile() noexcept {
    if (ownWorkFile_.inode != 0) {
        fs::RemoveIfSameFile(workFile_, ownWorkFile_);
        ownWorkFile_ = fs::PathInfo();
    }
}

void EngineCore::StartBatching(PublishBatch::FailureReport failed) {
    batchFailed_ = std::move(failed);
    lastReplaced_.clear();
    tally_ = WalkOutcome();
}

void EngineCore::PublishWaiting() {
    if (!batch_.Empty()) {
        PublishBatch::Published published = batch_.Publish(batchFailed_);
        tally_.converted += published.replaced;
        if (!published.last.empty()) {
            lastReplaced_ = std::move(published.last);
        }
    }
}

void EngineCore::FinishBatching() {
    PublishWaiting();
    batchFailed_ = nullptr;
}

void EngineCore::StopBatching() noexcept {
    batch_.Drop();
    batchFailed_ = nullptr;
}

void EngineCore::AddToBatch(const std::string& path, const fs::PathInfo& read, fs::File copy) {
    batch_.Add(path, read, std::move(copy));
    if (batch_.Full()) {
        PublishWaiting();
    }
}

void EngineCore::Unload() noexcept {
    StopBatching();
    files_.CloseAll();
    RemoveOwnWorkFile();
}

bool EngineCore::Convert(const std::string& path, Direction direction) {
    const bool testBinary = host_.SkipBinary();
    if (!batchFailed_) {
        fs::RemoveAbandonedCopiesBeside(path);  // a walk meets them one by one instead
    }
    // The state the content is read in: the source is replaced only while it still shows it.
    const fs::PathInfo before = fs::QueryPath(path);
    if (IsTooLarge(before)) {
        LogTooLargeFile(path);
        return false;
    }
    const auto makeCopy = [this](const std::string& source, const fs::PathInfo& keep) {
        return CreateCopy(source, keep);
    };
    const FileConverter::Result result =
        converter_.Convert(files_, path, before, direction, testBinary, options_, makeCopy, &host_);
    if (result != FileConverter::Result::Converted) {
        files_.CloseAll();
        RemoveOwnWorkFile();
        if (result == FileConverter::Result::Unchanged) {
            NoteUnchanged();
            return true;
        }
        LogBinaryFile(path);
        return false;
    }
    PutInPlace(path, before);
    return true;
}

void EngineCore::LogBinaryFile(const std::string& path) {
    PublishWaiting();
    log_.Append(Engine::BinaryEntryPrefix + path, path);
    ++tally_.binary;
}

void EngineCore::LogTooLargeFile(const std::string& path) {
    PublishWaiting();
    log_.Append(Engine::TooLargeEntryPrefix + path);
    ++tally_.tooLarge;
}

fs::File EngineCore::CreateUnnamedCopy(const std::string& path, const fs::PathInfo& keep) {
    fs::File copy = fs::File::CreateUnnamedBeside(path);
    if (copy.IsOpen()) {
        fs::KeepOwner(copy, keep);
    }
    return copy;
}

fs::File EngineCore::CreateCopy(const std::string& path, const fs::PathInfo& keep) {
    fs::File copy = CreateUnnamedCopy(path, keep);
    return copy.IsOpen() ? std::move(copy) : CreateNamedWorkFile();
}

fs::File EngineCore::CreateNamedWorkFile() {
    RemoveOwnWorkFile();  // left over by a failed conversion of this run
    for (int attempt = 0;; ++attempt) {
        fs::File work = fs::File::CreateWorkFile(workFile_);
        if (work.IsOpen()) {
            ownWorkFile_ = work.Info();
            return work;
        }
        // The name was taken since it was chosen: move on to a free one.
        if (attempt == 100) {
            throw EngineError(err::PathFileAccess,
                              "Рабочий файл не создан: его имя всё время занимают.");
        }
        ChooseFreeWorkFileName();
    }
}

void EngineCore::PutInPlace(const std::string& path, const fs::PathInfo& read) {
    fs::File& source = files_.Get(OpenFileTable::Source);
    const bool unnamed = ownWorkFile_.inode == 0;
    if (unnamed) {
        fs::File& copy = files_.Get(OpenFileTable::Work);
        fs::KeepAttributes(copy, source, read);
        if (options_.keepDate) {
            fs::KeepTimes(copy, read);
        }
        if (batchFailed_) {
            fs::File waiting = std::move(copy);
            files_.CloseAll();
            AddToBatch(path, read, std::move(waiting));
            return;
        }
        copy.Sync();
        // Where there are threads, a large source stays open through the rename and its last
        // close, which frees its pages, is left to another thread. Elsewhere it is closed first:
        // Windows renames over no open file.
        const bool release = pageRelease_ && read.size >= ReleaseOnAThreadFrom;
        if (!release) {
            files_.Close(OpenFileTable::Source);
        }
        fs::PublishOver(copy, std::string(), path, read);
        if (release) {
            pageRelease_->Hand(std::move(files_.Get(OpenFileTable::Source)));
        }
    } else {
        // The named work file must leave the shared temporary folder before it may get the
        // source's owner and permissions.
        std::string name;
        fs::File copy =
            fs::MoveBeside(std::move(files_.Get(OpenFileTable::Work)), workFile_, path, name);
        ownWorkFile_ = fs::PathInfo();
        try {
            fs::KeepOwner(copy, read);
            fs::KeepAttributes(copy, source, read);
            if (options_.keepDate) {
                fs::KeepTimes(copy, read);
            }
            copy.Sync();
            files_.Close(OpenFileTable::Source);  // Windows renames over no open file
            fs::PublishOver(copy, name, path, read);
        } catch (const EngineError&) {
            fs::RemoveIfSameFile(name, copy.Info());
            throw;
        }
    }
    files_.CloseAll();
    lastReplaced_ = path;
    fs::SyncFolderOf(path);
    ++tally_.converted;
}

bool EngineCore::IsBinaryFile(const std::string& path) {
    // Every step here may fail without an error reaching the caller.
    std::int64_t size = 0;
    try {
        size = fs::QueryPath(path).size;
    } catch (const EngineError&) {
        size = 0;
    }
    // Number 1 in use: the open would fail, and a failed open finds nothing.
    if (size > Engine::MaxFileSize || size < 0 || files_.IsOpen(OpenFileTable::Source)) {
        return false;
    }
    const bool binary = converter_.RestIsBinary(files_, path, size, 0, &host_);
    files_.Get(OpenFileTable::Source).CloseQuietly();
    return binary;
}

}  // namespace tidelin
