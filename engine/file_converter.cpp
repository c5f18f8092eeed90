#include "file_converter.h"

#include <algorithm>
#include <optional>

#include "tidelin/errors.h"
#include "pump.h"
#include "read_ahead.h"

namespace tidelin {

namespace {

// A source from this size on is read ahead on a second thread, with this many blocks in flight.
constexpr std::int64_t ReadAheadFrom = std::int64_t{2} << 20;
constexpr std::size_t ReadAheadSlots = 4;

}  // namespace

FileConverter::FileConverter(bool readAhead)
    : readAhead_(readAhead), input_(new std::uint8_t[ReadBlock]), pump_(std::make_unique<Pump>()) {}

FileConverter::~FileConverter() = default;

FileConverter::Result FileConverter::Convert(OpenFileTable& files, const std::string& path,
                                             const fs::PathInfo& before, Direction direction,
                                             bool testBinary, const ConversionOptions& options,
                                             const CopyMaker& makeCopy, EngineHost* yield) {
    // With skipping on, the binary test runs on each chunk as it is read for the conversion,
    // so the file is read once. The answer is the same as testing the whole file first: a
    // file with a control byte anywhere is skipped, and the source is never touched before
    // the whole file has been read.
    std::int64_t tested = 0;  // the source's bytes found free of control bytes so far
    try {
        fs::File& source = files.Open(OpenFileTable::Source, [&] { return fs::File::OpenForReading(path, &before); });
        fs::File& copy = files.Open(OpenFileTable::Work, [&] { return makeCopy(path, before); });
        if (!CopyConverted(source, copy, before, direction, testBinary, options.skipUnchanged, tested, yield)) {
            return Result::Binary;
        }
    } catch (const EngineError&) {
        // A binary file is skipped whatever failed on the way: finish its test first.
        if (!testBinary || !RestIsBinary(files, path, before.size, tested, yield)) {
            throw;
        }
        return Result::Binary;
    }
    if (options.skipUnchanged && pump_->Unchanged()) {
        return Result::Unchanged;
    }
    // Read-only, hidden and system files are not overwritten: the source keeps its content
    // and the converted one is dropped.
    const fs::PathInfo current = fs::QueryPath(path);
    if (current.IsReadOnly() || (current.IsHidden() && !options.includeHidden) || current.IsSystem() ||
        current.IsDirectory()) {
        throw EngineError::Refusal(ProtectedFileText);
    }
    return Result::Converted;
}

bool FileConverter::CopyConverted(fs::File& source, fs::File& work, const fs::PathInfo& before,
                                  Direction direction, bool testBinary, bool noticeUnchanged,
                                  std::int64_t& tested, EngineHost* yield) {
    // The source opened is the file `before` was looked at (File::OpenForReading).
    const std::int64_t size = before.size;
    // Converted chunks go to the copy in large writes, one after the other.
    std::int64_t written = 0;
    pump_->Start(direction, testBinary,
                 [&](const std::uint8_t* data, std::size_t count) {
                     work.WriteAt(data, count, written);
                     written += static_cast<std::int64_t>(count);
                 },
                 MaxOutputSize, noticeUnchanged);
    // A large source is read on a second thread, a few blocks ahead of the conversion.
    std::optional<ReadAhead> ahead;
    if (readAhead_ && size >= ReadAheadFrom) {
        ahead.emplace(source, size, static_cast<std::size_t>(ReadBlock), ReadAheadSlots);
        if (!ahead->Started()) {
            ahead.reset();
        }
    }
    // The source is read a block of whole chunks at a time; each chunk is then converted,
    // tested and yielded for on its own, as if it had been read alone.
    const std::uint8_t* block = input_.get();
    std::int64_t blockStart = 0;
    std::int64_t blockEnd = 0;  // the source's bytes [blockStart, blockEnd) are in `block`
    for (std::int64_t position = 0;; position += ChunkSize) {
        const std::int64_t n = std::clamp<std::int64_t>(size - position, 0, ChunkSize);
        if (position + n > blockEnd) {
            const auto want = static_cast<std::size_t>(std::min(size - position, ReadBlock));
            std::size_t got = 0;
            if (ahead) {
                block = ahead->Next(got);
            } else {
                got = source.ReadAt(input_.get(), want, position);
            }
            if (got != want) {
                RaiseChangedWhileRead();
            }
            blockStart = position;
            blockEnd = position + static_cast<std::int64_t>(want);
        }
        if (!pump_->Convert(block + (position - blockStart), static_cast<std::size_t>(n))) {
            return false;
        }
        tested = position + n;
        if (yield != nullptr) {
            yield->Yield();
        }
        if (n != ChunkSize) {
            break;
        }
    }
    pump_->Finish();
    // A file that grew or shrank meanwhile would lose its change if it were replaced now.
    if (source.Info().size != size) {
        RaiseChangedWhileRead();
    }
    return true;
}

bool FileConverter::RestIsBinary(OpenFileTable& files, const std::string& path, std::int64_t size,
                                 std::int64_t from, EngineHost* yield) {
    if (!files.IsOpen(OpenFileTable::Source)) {
        try {
            files.Open(OpenFileTable::Source, [&] { return fs::File::OpenForReading(path); });
        } catch (const EngineError&) {
            return false;
        }
    }
    return HasControlBytesFrom(files.Get(OpenFileTable::Source), size, from, yield);
}

bool FileConverter::HasControlBytesFrom(fs::File& file, std::int64_t size, std::int64_t from, EngineHost* yield) {
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
        if (Pump::HasControlByte(input_.get(), got)) {
            return true;
        }
        if (yield != nullptr) {
            yield->Yield();
        }
        if (n != ChunkSize) {
            return false;
        }
    }
}

}  // namespace tidelin
