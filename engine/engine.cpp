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
      input_(new std::uint8_t[ChunkSize]),
      output_(new std::uint8_t[2 * ChunkSize + 1]) {}

Engine::~Engine() = default;

void Engine::ChooseWorkFile() {
    std::string folder = fs::TemporaryFolder();
    if (folder != "/") {
        folder += '/';
    }
    const std::string base = folder + WorkFileName;
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

void Engine::Unload() noexcept {
    files_.CloseAll();
    if (!workFile_.empty()) {
        fs::RemoveRegularFileQuietly(workFile_);
    }
}

bool Engine::ConvertWinToUnix(const std::string& path) {
    return ConvertFile(path, Direction::WinToUnix);
}

bool Engine::ConvertUnixToWin(const std::string& path) {
    return ConvertFile(path, Direction::UnixToWin);
}

bool Engine::ConvertFile(const std::string& path, Direction direction) {
    if (host_.SkipBinary() && IsBinaryFile(path)) {
        log_.Append(BinaryEntryPrefix + path);
        log_.ApplyWidthRule(host_.MeasureTwips(path));
        return false;
    }
    const fs::PathInfo before = fs::QueryPath(path);
    if (before.size > MaxFileSize || before.size < 0) {
        log_.Append(TooLargeEntryPrefix + path);
        return false;
    }

    fs::File& source = files_.Open(OpenFileTable::Source, [&] { return fs::File::OpenForReading(path); });
    fs::File& work = files_.Open(OpenFileTable::Work, [&] { return fs::File::CreateWorkFile(workFile_); });
    const fs::PathInfo opened = source.Info();
    if (opened.inode != before.inode || opened.device != before.device) {
        RaiseChangedWhileRead();
    }
    CopyConverted(before.size, direction);
    // A file that grew or shrank meanwhile would lose its change if it were replaced now.
    if (source.Info().size != before.size) {
        RaiseChangedWhileRead();
    }
    work.Sync();
    files_.Close(OpenFileTable::Source);
    files_.Close(OpenFileTable::Work);

    // Read-only, hidden and system files are not overwritten: the converted content stays
    // in the work file and the source keeps its own.
    const fs::PathInfo current = fs::QueryPath(path);
    if (current.IsReadOnly() || current.IsSystem() || current.IsDirectory() ||
        fs::IsHiddenName(path)) {
        throw EngineError(err::PathFileAccess,
                          "Системные, скрытые и файлы только для чтения не перезаписываются.");
    }
    fs::ReplaceFile(workFile_, path, current);
    return true;
}

void Engine::CopyConverted(std::int64_t size, Direction direction) {
    fs::File& source = files_.Get(OpenFileTable::Source);
    fs::File& work = files_.Get(OpenFileTable::Work);
    std::int64_t readPosition = 0;
    std::int64_t written = 0;
    bool pendingCr = false;
    const auto write = [&](std::size_t count) {
        if (count > 0) {
            work.WriteAt(output_.get(), count, written);
        }
        written += static_cast<std::int64_t>(count);
        if (written > MaxOutputSize) {
            RaiseOverflow();
        }
    };
    for (;;) {
        const std::int64_t n = std::clamp<std::int64_t>(size - readPosition, 0, ChunkSize);
        const std::size_t count = static_cast<std::size_t>(n);
        if (source.ReadAt(input_.get(), count, readPosition) != count) {
            RaiseChangedWhileRead();
        }
        write(direction == Direction::WinToUnix
                  ? kernels::WinToUnix(input_.get(), count, output_.get(), pendingCr)
                  : kernels::UnixToWin(input_.get(), count, output_.get()));
        readPosition += ChunkSize;
        host_.Yield();
        if (n != ChunkSize) {
            break;
        }
    }
    if (pendingCr) {  // the file ends with a CR: it stays
        output_[0] = kernels::CR;
        write(1);
    }
}

bool Engine::IsBinaryFile(const std::string& path) {
    // Every step here may fail without an error reaching the caller: only bytes that were
    // actually read can make the answer true.
    std::int64_t size = 0;
    try {
        size = fs::QueryPath(path).size;
    } catch (const EngineError&) {
        size = 0;
    }
    if (size > MaxFileSize || size < 0) {
        return false;
    }
    fs::File* file = nullptr;
    try {
        file = &files_.Open(OpenFileTable::Source, [&] { return fs::File::OpenForReading(path); });
    } catch (const EngineError&) {
        return false;
    }
    bool binary = false;
    for (std::int64_t position = 0;; position += ChunkSize) {
        const std::int64_t n = std::clamp<std::int64_t>(size - position, 0, ChunkSize);
        std::size_t got = 0;
        try {
            got = file->ReadAt(input_.get(), static_cast<std::size_t>(n), position);
        } catch (const EngineError&) {
            got = 0;
        }
        if (kernels::HasControlByte(input_.get(), got)) {
            binary = true;
            break;
        }
        host_.Yield();
        if (n != ChunkSize) {
            break;
        }
    }
    file->CloseQuietly();
    return binary;
}

}  // namespace tidelin
