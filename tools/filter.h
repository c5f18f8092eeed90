// tidelin-convert as a filter: standard input converted to standard output with the
// conversion's kernels and chunk rules. Standard output carries only the data; entries and
// "Операция завершена." go to standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "direction.h"

namespace tidelin::tool {

class Filter {
  public:
    // With `skipBinary`, the whole input is read before anything is written: a binary input
    // comes out unchanged, never half converted. Memory stays about 3 MiB whatever the size;
    // an input of more than one block (about 1 MiB) waits in a private unnamed file in the
    // temporary folder, as large as the input, which disappears when the filter ends.
    Filter(Direction direction, bool skipBinary) : direction_(direction), skipBinary_(skipBinary) {}

    // 0 when the input was converted or passed through as binary; 1 when reading, writing or
    // the temporary file failed (said on standard error).
    int Run();

  private:
    // Converts whole chunks (the last one may be short) into the output.
    void Convert(const std::uint8_t* in, std::size_t n);
    // Writes the bytes as they are.
    void PassThrough(const std::uint8_t* in, std::size_t n);
    // The end of the input: a CR held back is written, and the output flushed.
    void Finish();
    void Flush();

    Direction direction_;
    bool skipBinary_;
    bool pendingCr_ = false;
    std::unique_ptr<std::uint8_t[]> output_;
    std::size_t gathered_ = 0;
};

// Whether standard input is a terminal (and so holds no data to convert).
bool StandardInputIsTerminal();

// Reads `count` bytes from standard input, fewer only at its end. Raises std::system_error.
std::size_t ReadStandardInput(std::uint8_t* buffer, std::size_t count);

}  // namespace tidelin::tool
