#include "read_ahead.h"

#include <algorithm>

#include "process_limits.h"

namespace tidelin {

ReadAhead::ReadAhead(fs::File& source, std::int64_t size, std::size_t block, std::size_t slots)
    : source_(source), size_(size), block_(block), slots_(slots) {
    for (Slot& slot : slots_) {
        slot.data.reset(new std::uint8_t[block]);
    }
    reader_ = StartThread([this] { Run(); });
}

ReadAhead::~ReadAhead() {
    if (!Started()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAhead::Run() {
    struct Finish {
        ReadAhead& self;
        ~Finish() {
            {
                const std::lock_guard<std::mutex> lock(self.mutex_);
                self.finished_ = true;
            }
            self.changed_.notify_all();
        }
    } finish{*this};
    for (std::size_t index = 0;; ++index) {
        const auto position = static_cast<std::int64_t>(index * block_);
        if (position >= size_) {
            return;
        }
        Slot& slot = slots_[index % slots_.size()];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !slot.full; });
            if (stop_) {
                return;
            }
        }
        // The slot is this thread's until it is marked full.
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size_ - position, static_cast<std::int64_t>(block_)));
        std::size_t got = 0;
        std::exception_ptr error;
        try {
            got = source_.ReadAt(slot.data.get(), want, position);
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            slot.got = got;
            slot.error = error;
            slot.full = true;
        }
        changed_.notify_all();
        if (error || got != want) {
            return;  // the reader of the blocks raises or stops there
        }
    }
}

const std::uint8_t* ReadAhead::Next(std::size_t& got) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (holding_) {
        slots_[(next_ - 1) % slots_.size()].full = false;
        holding_ = false;
        changed_.notify_all();
    }
    Slot& slot = slots_[next_ % slots_.size()];
    changed_.wait(lock, [&] { return slot.full || finished_; });
    if (!slot.full) {
        got = 0;  // asked past what the file gave
        return slot.data.get();
    }
    ++next_;
    holding_ = true;
    if (slot.error) {
        std::rethrow_exception(slot.error);
    }
    got = slot.got;
    return slot.data.get();
}

}  // namespace tidelin
