// Reads a file on a thread of its own, a few blocks ahead of the one that uses them, so that
// reading a large source overlaps with converting and writing it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "filesystem.h"

namespace tidelin {

class ReadAhead {
public:
    // Reads `source` from its start in blocks of `block` bytes (the last one shorter), the
    // first `size` bytes of it, with up to `slots` blocks waiting to be used.
    ReadAhead(fs::File& source, std::int64_t size, std::size_t block, std::size_t slots);
    // Stops the reading thread, also in the middle of the file.
    ~ReadAhead();
    // False when the system started no reading thread: the caller then reads for itself.
    bool Started() const { return reader_.joinable(); }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next block and, in `got`, how many bytes the read gave (fewer only at the end of the
    // file). Raises what the read raised. The previous block's bytes are released by this call.
    const std::uint8_t* Next(std::size_t& got);

private:
    struct Slot {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t got = 0;
        std::exception_ptr error;
        bool full = false;
    };
    void Run();

    fs::File& source_;
    const std::int64_t size_;
    const std::size_t block_;
    std::vector<Slot> slots_;
    std::size_t next_ = 0;     // the block Next hands out next
    bool holding_ = false;     // the block handed out last is still in use
    bool stop_ = false;
    bool finished_ = false;  // the reading thread has read all it will
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread reader_;
};

}  // namespace tidelin
