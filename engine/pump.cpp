#include "pump.h"

#include <cstring>

#include "kernels.h"
#include "tidelin/engine.h"
#include "tidelin/errors.h"

namespace tidelin {

Pump::Pump() : output_(new std::uint8_t[OutputBatch + 2 * Engine::ChunkSize + kernels::OutputSlack]) {}

Pump::~Pump() = default;

void Pump::Start(Direction direction, bool testBinary, Sink sink, std::int64_t maxOutput, bool noticeUnchanged) {
    direction_ = direction;
    testBinary_ = testBinary;
    sink_ = std::move(sink);
    maxOutput_ = maxOutput;
    pendingCr_ = false;
    written_ = 0;
    read_ = 0;
    noticeUnchanged_ = noticeUnchanged;
    unchanged_ = true;
    gathered_ = 0;
}

bool Pump::Convert(const std::uint8_t* chunk, std::size_t count) {
    std::uint8_t* out = output_.get() + gathered_;
    const std::size_t converted = direction_ == Direction::WinToUnix
                                      ? kernels::WinToUnix(chunk, count, out, pendingCr_, testBinary_)
                                      : kernels::UnixToWin(chunk, count, out, testBinary_);
    if (converted == kernels::ControlByteFound) {
        return false;
    }
    read_ += static_cast<std::int64_t>(count);
    if (noticeUnchanged_ && unchanged_ && direction_ == Direction::UnixToWin) {
        unchanged_ = converted == count && std::memcmp(out, chunk, count) == 0;
    }
    Produced(converted);
    return true;
}

void Pump::Finish() {
    if (pendingCr_) {
        output_[gathered_] = kernels::CR;
        pendingCr_ = false;
        Produced(1);
    }
    Flush();
}

void Pump::Produced(std::size_t count) {
    gathered_ += count;
    written_ += static_cast<std::int64_t>(count);
    if (written_ > maxOutput_) {
        Flush();
        RaiseOverflow();
    }
    if (gathered_ >= OutputBatch) {
        Flush();
    }
}

void Pump::Flush() {
    if (gathered_ > 0) {
        const std::size_t count = gathered_;
        gathered_ = 0;
        sink_(output_.get(), count);
    }
}

bool Pump::HasControlByte(const std::uint8_t* data, std::size_t count) { return kernels::HasControlByte(data, count); }

void Pump::Count(const std::uint8_t* chunk, std::size_t count, ContentFacts& facts, bool& pendingCr) {
    facts.binary = kernels::CountBreaks(chunk, count, facts.breaks, pendingCr) || facts.binary;
    facts.size += static_cast<std::int64_t>(count);
}

void Pump::FinishCount(ContentFacts& facts, bool pendingCr) {
    if (pendingCr) {  // the last byte
        ++facts.breaks.cr;
    }
}

}  // namespace tidelin
