// The one place where content meets the conversion kernels. Content is handed over chunk by
// chunk (Engine::ChunkSize bytes each, the last one shorter), and each chunk is converted,
// tested for control bytes or counted as if it had been read alone; a CR that ends a chunk
// is decided with the next one. Files, standard input and a walk's workers all go through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "tidelin/direction.h"
#include "tidelin/stream.h"

namespace tidelin {

class Pump {
public:
    // Where converted output goes, in writes of about OutputBatch bytes.
    using Sink = std::function<void(const std::uint8_t* data, std::size_t count)>;

    Pump();
    ~Pump();
    Pump(const Pump&) = delete;
    Pump& operator=(const Pump&) = delete;

    // Begins converting one content in `direction` into `sink`. With `testBinary`, a chunk
    // holding a control byte ends the conversion (Convert returns false). The output may not
    // pass `maxOutput` bytes: error 6 once it does, after what was produced has gone out.
    // With `noticeUnchanged`, the pump also tells whether the output is the content itself
    // (Unchanged); otherwise no chunk is compared.
    void Start(Direction direction, bool testBinary, Sink sink, std::int64_t maxOutput,
               bool noticeUnchanged = false);
    // Converts one chunk; false when the test found a control byte in it.
    bool Convert(const std::uint8_t* chunk, std::size_t count);
    // The end of the content: a CR held back stays, and everything goes out.
    void Finish();
    // After Finish: whether the output is the content itself, so that replacing the file would
    // change nothing. Windows to Unix only removes bytes, so equal sizes tell; Unix to Windows
    // compares each chunk with its output, and may call a content changed whose only change
    // is a CR LF split between two chunks (its file is then rewritten as it was).
    bool Unchanged() const { return noticeUnchanged_ && unchanged_ && written_ == read_; }

    // Whether the bytes hold a control byte other than TAB, LF and CR.
    static bool HasControlByte(const std::uint8_t* data, std::size_t count);
    // Adds the line breaks of one chunk to `facts` (its size and binary flag too); a CR that
    // ends the chunk waits in `pendingCr`. FinishCount counts a CR still waiting at the end.
    static void Count(const std::uint8_t* chunk, std::size_t count, ContentFacts& facts, bool& pendingCr);
    static void FinishCount(ContentFacts& facts, bool pendingCr);

    // Output is gathered and handed to the sink in writes of about this size.
    static constexpr std::size_t OutputBatch = 1 << 20;

private:
    void Produced(std::size_t count);
    void Flush();

    Direction direction_ = Direction::WinToUnix;
    bool testBinary_ = false;
    Sink sink_;
    std::int64_t maxOutput_ = 0;
    bool pendingCr_ = false;
    std::int64_t written_ = 0;  // bytes produced so far
    std::int64_t read_ = 0;     // bytes handed in so far
    bool noticeUnchanged_ = false;
    bool unchanged_ = true;
    std::size_t gathered_ = 0;  // of which still in the buffer
    // A batch plus up to twice a chunk (with the kernels' slack), allocated once.
    std::unique_ptr<std::uint8_t[]> output_;
};

}  // namespace tidelin
