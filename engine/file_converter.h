// One file's content converted into its copy: the source is read a block at a time, each chunk
// is converted and tested for control bytes in one pass, and the output goes to the copy in
// large writes. The engine runs one for its own conversions; each thread of a folder walk runs
// one of its own, with no host to yield to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tidelin/direction.h"
#include "filesystem.h"
#include "tidelin/host.h"
#include "open_files.h"
#include "tidelin/engine.h"

namespace tidelin {

class Pump;

class FileConverter {
public:
    static constexpr std::int64_t ChunkSize = Engine::ChunkSize;
    static constexpr std::int64_t MaxOutputSize = Engine::MaxOutputSize;

    // Makes the copy of `path` that the converted content goes to, given `keep`'s owner.
    using CopyMaker = std::function<fs::File(const std::string& path, const fs::PathInfo& keep)>;
    // Unchanged: with skipUnchanged, the converted content equals the source's, and the copy
    // is to be dropped.
    enum class Result { Converted, Binary, Unchanged };

    // With `readAhead`, a large source is read on a second thread, ahead of the conversion.
    explicit FileConverter(bool readAhead);
    ~FileConverter();
    FileConverter(const FileConverter&) = delete;
    FileConverter& operator=(const FileConverter&) = delete;

    // Opens `path`, seen in the state `before`, as number 1 of `files` and its copy (made by
    // `makeCopy`) as number 2, and converts the one into the other; `yield` (if any) gets a
    // turn after every chunk. Binary when `testBinary` finds a control byte anywhere in the file,
    // whatever else failed on the way; the source is then untouched. A source that turns out
    // protected (read-only, hidden unless `options` include hidden files, system, a folder) is
    // refused with error 75 once converted, unless it needed no change at all (Unchanged).
    // Other failures are raised and leave the files open for the caller to close.
    Result Convert(OpenFileTable& files, const std::string& path, const fs::PathInfo& before,
                   Direction direction, bool testBinary, const ConversionOptions& options,
                   const CopyMaker& makeCopy, EngineHost* yield);

    // Whether the source (number 1, opened here when it is not open) holds a control byte from
    // `from` on. Never raises: only bytes that were actually read can make the answer true.
    bool RestIsBinary(OpenFileTable& files, const std::string& path, std::int64_t size, std::int64_t from,
                      EngineHost* yield);

private:
    // Returns false as soon as `testBinary` finds a control byte; `tested` counts the bytes
    // found free of them.
    bool CopyConverted(fs::File& source, fs::File& work, const fs::PathInfo& before, Direction direction,
                       bool testBinary, bool noticeUnchanged, std::int64_t& tested, EngineHost* yield);
    bool HasControlBytesFrom(fs::File& file, std::int64_t size, std::int64_t from, EngineHost* yield);

    // The source is read in blocks of whole chunks (about 256 KiB: fewer, larger reads).
    static constexpr std::int64_t ReadBlock = 4 * ChunkSize;

    bool readAhead_;
    // A block in, allocated once, and the pump with its output buffer.
    std::unique_ptr<std::uint8_t[]> input_;
    std::unique_ptr<Pump> pump_;
};

}  // namespace tidelin
