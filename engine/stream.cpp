// Standard input converted to standard output, and counting a file or standard input: read in
// blocks of whole chunks and handed to the pump chunk by chunk, as a file's conversion is.
#include <algorithm>
#include <memory>

#include "filesystem.h"
#include "pump.h"
#include "tidelin/engine.h"
#include "tidelin/stream.h"

namespace tidelin {

namespace {

constexpr std::size_t Chunk = static_cast<std::size_t>(Engine::ChunkSize);
// Files are counted a block of whole chunks at a time, as the conversion reads them.
constexpr std::size_t FileBlock = 4 * Chunk;
// Standard input is read about 1 MiB at a time: the chunks still fall where they fall in a file.
constexpr std::size_t StreamBlock = 16 * Chunk;

using Stream = StreamError::Stream;

// Runs `step`, raising what fails in it as a failure of `which`.
template <typename Step>
auto On(Stream which, Step&& step) {
    try {
        return step();
    } catch (const StreamError&) {
        throw;
    } catch (const EngineError& error) {
        throw StreamError(which, error);
    }
}

// Counts what `read` gives, a block at a time, to the end (a block shorter than asked).
template <typename Read>
ContentFacts CountBlocks(std::size_t block, Read&& read) {
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[block]);
    ContentFacts facts;
    bool pendingCr = false;
    for (;;) {
        const std::size_t got = read(buffer.get(), block);
        for (std::size_t at = 0; at < got; at += Chunk) {
            Pump::Count(buffer.get() + at, std::min(Chunk, got - at), facts, pendingCr);
        }
        if (got < block) {
            break;
        }
    }
    Pump::FinishCount(facts, pendingCr);
    return facts;
}

}  // namespace

ContentFacts CountFile(const std::string& path, std::int64_t size) {
    fs::File file = fs::File::OpenForReading(path);
    // Up to the size the file had when it was looked at: a small file costs one read.
    std::int64_t position = 0;
    return CountBlocks(FileBlock, [&](std::uint8_t* buffer, std::size_t count) -> std::size_t {
        const auto want = static_cast<std::size_t>(
            std::clamp<std::int64_t>(size - position, 0, static_cast<std::int64_t>(count)));
        const std::size_t got = want == 0 ? 0 : file.ReadAt(buffer, want, position);
        position += static_cast<std::int64_t>(got);
        return got;
    });
}

ContentFacts CountStandardInput() {
    fs::File input = On(Stream::Input, [] { return fs::File::StandardInput(); });
    return CountBlocks(StreamBlock, [&](std::uint8_t* buffer, std::size_t count) {
        return On(Stream::Input, [&] { return input.Read(buffer, count); });
    });
}

bool ConvertStandardStreams(Direction direction, bool skipBinary) {
    fs::File input = On(Stream::Input, [] { return fs::File::StandardInput(); });
    fs::File output = On(Stream::Output, [] { return fs::File::StandardOutput(); });
    const auto write = [&](const std::uint8_t* data, std::size_t count) {
        On(Stream::Output, [&] { output.Write(data, count); });
    };
    const auto read = [&](std::uint8_t* buffer) {
        return On(Stream::Input, [&] { return input.Read(buffer, StreamBlock); });
    };
    Pump pump;
    pump.Start(direction, false, write, INT64_MAX);
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[StreamBlock]);
    std::uint8_t* const in = block.get();
    const auto convert = [&](std::size_t count) {
        for (std::size_t at = 0; at < count; at += Chunk) {
            pump.Convert(in + at, std::min(Chunk, count - at));
        }
    };
    if (!skipBinary) {
        for (std::size_t got = StreamBlock; got == StreamBlock;) {
            got = read(in);
            convert(got);
        }
        pump.Finish();
        return false;
    }
    // Nothing goes out before the whole input has been found free of control bytes; an input
    // longer than one block waits in a private file meanwhile.
    std::size_t got = read(in);
    bool binary = Pump::HasControlByte(in, got);
    fs::File spool;
    std::int64_t total = static_cast<std::int64_t>(got);
    if (got == StreamBlock) {
        spool = On(Stream::Spool, [] { return fs::File::CreateUnnamedTemporary(); });
        On(Stream::Spool, [&] { spool.WriteAt(in, got, 0); });
        while (got == StreamBlock) {
            got = read(in);
            binary = binary || Pump::HasControlByte(in, got);
            On(Stream::Spool, [&] { spool.WriteAt(in, got, total); });
            total += static_cast<std::int64_t>(got);
        }
    }
    const auto emit = [&](std::size_t count) { binary ? write(in, count) : convert(count); };
    if (!spool.IsOpen()) {
        emit(got);
    }
    for (std::int64_t at = 0; spool.IsOpen() && at < total; at += static_cast<std::int64_t>(StreamBlock)) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(total - at, StreamBlock));
        On(Stream::Spool, [&] {
            if (spool.ReadAt(in, want, at) != want) {
                RaiseChangedWhileRead();
            }
        });
        emit(want);
    }
    pump.Finish();
    return binary;
}

bool StandardInputIsTerminal() {
    try {
        return fs::File::StandardInput().IsTerminal();
    } catch (const EngineError&) {
        return false;  // no standard input at all: nothing to read from a terminal either
    }
}

}  // namespace tidelin
