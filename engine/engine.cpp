#include "engine.h"

#include <algorithm>
#include <limits>

#include "errors.h"
#include "filesystem.h"
#include "kernels.h"

namespace tidelin {

namespace {

const char* const WorkFileName = "k5ywhqx";

[[noreturn]] void RaiseChangedWhileRead() {
    throw EngineError(err::DeviceIo, "Файл изменился во время чтения.");
}

}  // namespace

Engine::Engine(EngineHost& host, MessageLog& log)
    : host_(host),
      log_(log),
      input_(new std::uint8_t[ReadBlock]),
      output_(new std::uint8_t[OutputBatch + 2 * ChunkSize + kernels::OutputSlack]) {}

Engine::~Engine() = default;

void Engine::ChooseWorkFile() {
    fs::RemoveStaleWorkFiles(fs::TemporaryFolder(), WorkFileName);
    ChooseFreeWorkFileName();
}

void Engine::ChooseFreeWorkFileName() {
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

void Engine::RemoveOwnWorkFile() noexcept {
    if (ownWorkFile_.inode != 0) {
        fs::RemoveIfSameFile(workFile_, ownWorkFile_);
        ownWorkFile_ = fs::PathInfo();
    }
}

void Engine::StartBatching(PublishBatch::FailureReport failed) { batchFailed_ = std::move(failed); }

void Engine::PublishWaiting() {
    if (!batch_.Empty()) {
        batch_.Publish(batchFailed_);
    }
}

void Engine::FinishBatching() {
    PublishWaiting();
    batchFailed_ = nullptr;
}

void Engine::StopBatching() noexcept {
    batch_.Drop();
    batchFailed_ = nullptr;
}

void Engine::Unload() noexcept {
    StopBatching();
    files_.CloseAll();
    RemoveOwnWorkFile();
}

bool Engine::ConvertWinToUnix(const std::string& path) {
    return Convert(path, Direction::WinToUnix);
}

bool Engine::ConvertUnixToWin(const std::string& path) {
    return Convert(path, Direction::UnixToWin);
}

bool Engine::Convert(const std::string& path, Direction direction) {
    // With skipping on, the binary test runs on each chunk as it is read for the conversion,
    // so the file is read once. The answer is the same as testing the whole file first: a
    // file with a control byte anywhere is skipped, and the source is never touched before
    // the whole file has been read.
    const bool testBinary = host_.SkipBinary();
    if (!batchFailed_) {
        fs::RemoveAbandonedCopiesBeside(path);  // a walk meets them one by one instead
    }
    // The state the content is read in: the source is replaced only while it still shows it.
    const fs::PathInfo before = fs::QueryPath(path);
    if (before.size > MaxFileSize || before.size < 0) {
        PublishWaiting();
        log_.Append(TooLargeEntryPrefix + path);
        return false;
    }
    std::int64_t tested = 0;  // the source's bytes found free of control bytes so far
    bool binary = false;
    try {
        files_.Open(OpenFileTable::Source, [&] { return fs::File::OpenForReading(path); });
        files_.Open(OpenFileTable::Work, [&] { return CreateCopy(path, before); });
        binary = !CopyConverted(before, direction, testBinary, tested);
    } catch (const EngineError&) {
        // A binary file is skipped whatever failed on the way: finish its test first.
        if (!testBinary || !RestIsBinary(path, before.size, tested)) {
            throw;
        }
        binary = true;
    }
    if (binary) {
        files_.CloseAll();
        RemoveOwnWorkFile();
        PublishWaiting();
        log_.Append(BinaryEntryPrefix + path, path);
        return false;
    }

    // Read-only, hidden and system files are not overwritten: the source keeps its content
    // and the converted one is dropped.
    const fs::PathInfo current = fs::QueryPath(path);
    if (current.IsReadOnly() || current.IsHidden() || current.IsSystem() ||
        current.IsDirectory()) {
        throw EngineError(err::PathFileAccess,
                          "Системные, скрытые и файлы только для чтения не перезаписываются.");
    }
    PutInPlace(path, before);
    return true;
}

fs::File Engine::CreateCopy(const std::string& path, const fs::PathInfo& keep) {
    fs::File copy = fs::File::CreateUnnamedBeside(path);
    if (!copy.IsOpen()) {
        return CreateNamedWorkFile();
    }
    fs::KeepOwner(copy, keep);
    return copy;
}

fs::File Engine::CreateNamedWorkFile() {
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

void Engine::PutInPlace(const std::string& path, const fs::PathInfo& read) {
    fs::File& source = files_.Get(OpenFileTable::Source);
    const bool unnamed = ownWorkFile_.inode == 0;
    if (unnamed) {
        fs::File& copy = files_.Get(OpenFileTable::Work);
        fs::KeepAttributes(copy, source, read);
        if (batchFailed_) {
            batch_.Add(path, read, std::move(copy));
            files_.CloseAll();
            if (batch_.Full()) {
                PublishWaiting();
            }
            return;
        }
        copy.Sync();
        files_.Close(OpenFileTable::Source);  // Windows renames over no open file
        fs::PublishOver(copy, std::string(), path, read);
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
            copy.Sync();
            files_.Close(OpenFileTable::Source);  // Windows renames over no open file
            fs::PublishOver(copy, name, path, read);
        } catch (const EngineError&) {
            fs::RemoveIfSameFile(name, copy.Info());
            throw;
        }
    }
    files_.CloseAll();
    fs::SyncFolderOf(path);
}

bool Engine::CopyConverted(const fs::PathInfo& before, Direction direction, bool testBinary,
                           std::int64_t& tested) {
    fs::File& source = files_.Get(OpenFileTable::Source);
    fs::File& work = files_.Get(OpenFileTable::Work);
    const fs::PathInfo opened = source.Info();
    if (opened.inode != before.inode || opened.device != before.device) {
        RaiseChangedWhileRead();
    }
    const std::int64_t size = before.size;
    // Converted chunks gather in the output buffer and go to the work file in large writes.
    std::int64_t written = 0;  // bytes produced so far
    std::size_t gathered = 0;  // of which still in the buffer
    bool pendingCr = false;
    const auto flush = [&] {
        if (gathered > 0) {
            work.WriteAt(output_.get(), gathered, written - static_cast<std::int64_t>(gathered));
            gathered = 0;
        }
    };
    const auto produced = [&](std::size_t count) {
        gathered += count;
        written += static_cast<std::int64_t>(count);
        if (written > MaxOutputSize) {
            flush();
            RaiseOverflow();
        }
        if (gathered >= OutputBatch) {
            flush();
        }
    };
    // The source is read a block of whole chunks at a time; each chunk is then converted,
    // tested and yielded for on its own, as if it had been read alone.
    std::int64_t blockStart = 0;
    std::int64_t blockEnd = 0;  // the source's bytes [blockStart, blockEnd) are in input_
    for (std::int64_t position = 0;; position += ChunkSize) {
        const std::int64_t n = std::clamp<std::int64_t>(size - position, 0, ChunkSize);
        if (position + n > blockEnd) {
            const auto want = static_cast<std::size_t>(std::min(size - position, ReadBlock));
            if (source.ReadAt(input_.get(), want, position) != want) {
                RaiseChangedWhileRead();
            }
            blockStart = position;
            blockEnd = position + static_cast<std::int64_t>(want);
        }
        const std::uint8_t* chunk = input_.get() + (position - blockStart);
        const auto count = static_cast<std::size_t>(n);
        std::uint8_t* out = output_.get() + gathered;
        const std::size_t converted = direction == Direction::WinToUnix
                                          ? kernels::WinToUnix(chunk, count, out, pendingCr, testBinary)
                                          : kernels::UnixToWin(chunk, count, out, testBinary);
        if (converted == kernels::ControlByteFound) {
            return false;
        }
        tested = position + n;
        produced(converted);
        host_.Yield();
        if (n != ChunkSize) {
            break;
        }
    }
    if (pendingCr) {  // the file ends with a CR: it stays
        output_[gathered] = kernels::CR;
        produced(1);
    }
    flush();
    // A file that grew or shrank meanwhile would lose its change if it were replaced now.
    if (source.Info().size != size) {
        RaiseChangedWhileRead();
    }
    return true;
}

bool Engine::RestIsBinary(const std::string& path, std::int64_t size, std::int64_t from) {
    if (!files_.IsOpen(OpenFileTable::Source)) {
        try {
            files_.Open(OpenFileTable::Source, [&] { return fs::File::OpenForReading(path); });
        } catch (const EngineError&) {
            return false;
        }
    }
    return HasControlBytesFrom(files_.Get(OpenFileTable::Source), size, from);
}

bool Engine::HasControlBytesFrom(fs::File& file, std::int64_t size, std::int64_t from) {
    // Every step may fail without an error reaching the caller: only bytes that were
    // actually read can make the answer true.
    for (std::int64_t position = from;; position += ChunkSize) {
        const std::int64_t n = std::clamp<std::int64_t>(size - position, 0, ChunkSize);
        std::size_t got = 0;
        try {
            got = file.ReadAt(input_.get(), static_cast<std::size_t>(n), position);
        } catch (const EngineError&) {
            got = 0;
        }
        if (kernels::HasControlByte(input_.get(), got)) {
            return true;
        }
        host_.Yield();
        if (n != ChunkSize) {
            return false;
        }
    }
}

bool Engine::IsBinaryFile(const std::string& path) {
    // Every step here may fail without an error reaching the caller.
    std::int64_t size = 0;
    try {
        size = fs::QueryPath(path).size;
    } catch (const EngineError&) {
        size = 0;
    }
    // Number 1 in use: the open would fail, and a failed open finds nothing.
    if (size > MaxFileSize || size < 0 || files_.IsOpen(OpenFileTable::Source)) {
        return false;
    }
    const bool binary = RestIsBinary(path, size, 0);
    files_.Get(OpenFileTable::Source).CloseQuietly();
    return binary;
}

}  // namespace tidelin
