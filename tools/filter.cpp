#include "filter.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <string>
#include <system_error>

#include "engine.h"
#include "errors.h"
#include "filesystem.h"
#include "kernels.h"
#include "messages.h"

namespace tidelin::tool {

namespace {

// Standard input is read a block of whole chunks at a time (about 1 MiB), so the chunks fall
// where they fall in a file; converted output goes out in writes of about 1 MiB.
constexpr std::size_t Block = 16 * Engine::ChunkSize;
constexpr std::size_t OutputBatch = 1 << 20;
constexpr std::size_t Chunk = Engine::ChunkSize;

[[noreturn]] void RaiseErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void WriteStandardOutput(const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
#ifdef _WIN32
        const int done = ::_write(1, data, static_cast<unsigned>(std::min<std::size_t>(count, 1 << 30)));
#else
        const ssize_t done = ::write(1, data, count);
#endif
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrno(Tr("standard output"));
        }
        data += done;
        count -= static_cast<std::size_t>(done);
    }
}

// A private file that no name leads to, in the temporary folder: an unnamed one where the
// file system offers it, else a fresh one (mode 0600) whose name is removed at once.
fs::File OpenSpool() {
#ifdef _WIN32
    errno = ENOSYS;
    RaiseErrno(Tr("a temporary file for the input"));
#else
    const std::string folder = fs::TemporaryFolder();
#ifdef O_TMPFILE
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        return fs::File(unnamed);
    }
#endif
    std::string name = fs::JoinPath(folder, "tidelin-convert-XXXXXX");
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        RaiseErrno(Tr("a temporary file for the input"));
    }
    ::unlink(name.c_str());
    return fs::File(fd);
#endif
}

}  // namespace

bool StandardInputIsTerminal() {
#ifdef _WIN32
    return ::_isatty(0) != 0;
#else
    return ::isatty(0) != 0;
#endif
}

std::size_t ReadStandardInput(std::uint8_t* buffer, std::size_t count) {
    std::size_t got = 0;
    while (got < count) {
#ifdef _WIN32
        const int n = ::_read(0, buffer + got, static_cast<unsigned>(std::min<std::size_t>(count - got, 1 << 30)));
#else
        const ssize_t n = ::read(0, buffer + got, count - got);
#endif
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrno(Tr("standard input"));
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return got;
}

int Filter::Run() {
    output_.reset(new std::uint8_t[OutputBatch + 2 * Chunk + kernels::OutputSlack]);
    const std::unique_ptr<std::uint8_t[]> input(new std::uint8_t[Block]);
    std::uint8_t* const in = input.get();
    bool binary = false;
    try {
        if (!skipBinary_) {
            for (std::size_t got = Block; got == Block;) {
                got = ReadStandardInput(in, Block);
                Convert(in, got);
            }
        } else {
            // Nothing goes out before the whole input has been found free of control bytes.
            std::size_t got = ReadStandardInput(in, Block);
            binary = kernels::HasControlByte(in, got);
            fs::File spool;
            std::int64_t total = static_cast<std::int64_t>(got);
            if (got == Block) {
                spool = OpenSpool();
                spool.WriteAt(in, got, 0);
                while (got == Block) {
                    got = ReadStandardInput(in, Block);
                    binary = binary || kernels::HasControlByte(in, got);
                    spool.WriteAt(in, got, total);
                    total += static_cast<std::int64_t>(got);
                }
            }
            const auto emit = [&](std::size_t n) { binary ? PassThrough(in, n) : Convert(in, n); };
            if (!spool.IsOpen()) {
                emit(got);
            }
            for (std::int64_t at = 0; spool.IsOpen() && at < total; at += static_cast<std::int64_t>(Block)) {
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(total - at, Block));
                if (spool.ReadAt(in, want, at) != want) {
                    throw EngineError(err::DeviceIo, DescribeError(err::DeviceIo));
                }
                emit(want);
            }
        }
        Finish();
    } catch (const std::system_error& error) {
        std::cerr << "tidelin-convert: " << error.what() << '\n';
        return 1;
    } catch (const EngineError& error) {
        std::cerr << "tidelin-convert: " << Tr("a temporary file for the input") << ": Error "
                  << error.Number() << ' ' << error.Description() << '\n';
        return 1;
    }
    std::cerr << (binary ? std::string(Engine::BinaryEntryPrefix) + "-" : "Операция завершена.") << '\n';
    return 0;
}

void Filter::Convert(const std::uint8_t* in, std::size_t n) {
    for (std::size_t at = 0; at < n; at += Chunk) {
        const std::size_t count = std::min(Chunk, n - at);
        std::uint8_t* out = output_.get() + gathered_;
        gathered_ += direction_ == Direction::WinToUnix ? kernels::WinToUnix(in + at, count, out, pendingCr_)
                                                        : kernels::UnixToWin(in + at, count, out);
        if (gathered_ >= OutputBatch) {
            Flush();
        }
    }
}

void Filter::PassThrough(const std::uint8_t* in, std::size_t n) {
    Flush();
    WriteStandardOutput(in, n);
}

void Filter::Finish() {
    if (pendingCr_) {  // the input ends with a CR: it stays
        output_[gathered_++] = kernels::CR;
        pendingCr_ = false;
    }
    Flush();
}

void Filter::Flush() {
    WriteStandardOutput(output_.get(), gathered_);
    gathered_ = 0;
}

}  // namespace tidelin::tool
