// Content that is not converted in place: standard input converted to standard output, and
// what a file or standard input holds, counted. Both read and convert exactly as a file's
// conversion does, chunk by chunk.
#pragma once

#include <cstdint>
#include <string>

#include "tidelin/direction.h"
#include "tidelin/errors.h"

namespace tidelin {

// The line breaks of a content: CR LF pairs, LFs without a CR before them, CRs without an LF
// after them.
struct BreakCounts {
    std::uint64_t crlf = 0;
    std::uint64_t lf = 0;
    std::uint64_t cr = 0;

    bool operator==(const BreakCounts&) const = default;
};

// What a content holds: its line breaks, whether it holds a control byte other than TAB, LF
// and CR (the binary test's answer), and its size in bytes.
struct ContentFacts {
    BreakCounts breaks;
    bool binary = false;
    std::int64_t size = 0;
};

// A failure of standard input, of standard output, or of the private file that holds the
// input while it is tested (Which).
class StreamError : public EngineError {
public:
    enum class Stream { Input, Output, Spool };
    StreamError(Stream which, const EngineError& cause) : EngineError(cause), which_(which) {}
    Stream Which() const { return which_; }

private:
    Stream which_;
};

// Counts the regular file `path` up to `size` bytes, the size it had when it was looked at.
// Raises EngineError when it cannot be opened or read; it is never changed.
ContentFacts CountFile(const std::string& path, std::int64_t size);
// Counts standard input to its end. Raises StreamError.
ContentFacts CountStandardInput();

// Converts standard input to standard output in `direction`, with the conversion's chunks.
// With `skipBinary`, nothing is written before the whole input is known to be free of control
// bytes, and a binary input comes out unchanged: an input of more than about 1 MiB waits in a
// private unnamed file in the temporary folder, as large as the input, that disappears at the
// end. Memory stays about 3 MiB whatever the size. Returns whether the input was binary (and
// so passed through). Raises StreamError.
bool ConvertStandardStreams(Direction direction, bool skipBinary);

// Whether standard input is a terminal (and so holds no data to convert).
bool StandardInputIsTerminal();

}  // namespace tidelin
