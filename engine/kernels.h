// The byte-level work of the engine: line-break conversion of one chunk, fused with the
// search for control bytes, and that search alone. Each kernel comes in levels: a plain
// reference that defines the result, and vector versions (SSE2, AVX2, AVX-512) that the tests
// hold to it. The best level the processor offers runs unless TIDELIN_KERNELS names another
// ("reference", "sse2", "avx2" or "avx512"), or UseLevel (a LevelGuard in tests) chooses one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tidelin/stream.h"

namespace tidelin::kernels {

constexpr std::uint8_t CR = 13;
constexpr std::uint8_t LF = 10;

// Room a conversion may write beyond its result: the vector levels store whole vectors.
constexpr std::size_t OutputSlack = 64;
// What a conversion returns when asked to test for control bytes and the chunk holds one.
constexpr std::size_t ControlByteFound = static_cast<std::size_t>(-1);

enum class Level { Reference, Sse2, Avx2, Avx512 };

const char* LevelName(Level level);
// Whether this build and this processor can run the level. The reference always can.
bool LevelSupported(Level level);
// The level TIDELIN_KERNELS asks for, or the best supported one when it is unset, empty or
// unknown; a level the processor lacks falls back to the best it has below it.
Level LevelFromEnvironment();
Level ActiveLevel();
// Runs `level` from now on, or the best supported level below it.
void UseLevel(Level level);

// Chooses a level for its lifetime and then restores the one that ran before.
class LevelGuard {
public:
    explicit LevelGuard(Level level) : previous_(ActiveLevel()) { UseLevel(level); }
    ~LevelGuard() { UseLevel(previous_); }
    LevelGuard(const LevelGuard&) = delete;
    LevelGuard& operator=(const LevelGuard&) = delete;

private:
    Level previous_;
};

// Windows to Unix for one chunk: every CR directly followed by LF is dropped. A CR that ends
// the chunk is held back in `pendingCr` and decided with the first byte of the next chunk;
// a CR held from the previous chunk is written first unless this chunk starts with LF. An
// empty chunk keeps a held CR. `out` must hold n + OutputSlack bytes. Returns the bytes
// written, or ControlByteFound when `testControl` is on and the chunk holds a control byte.
std::size_t WinToUnix(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr,
                      bool testControl = false);

// Unix to Windows for one chunk: every CR is removed, then every LF becomes CR LF.
// `out` must hold 2 * n + OutputSlack bytes. Returns as WinToUnix does.
std::size_t UnixToWin(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                      bool testControl = false);

// Whether the bytes hold a tested control byte: 0 to 8, 11, 12 or 14 to 31.
bool HasControlByte(const std::uint8_t* in, std::size_t n);

using BreakCounts = tidelin::BreakCounts;

// Adds the line breaks of one chunk to `counts`, pairing as WinToUnix does: a CR that ends
// the chunk is held in `pendingCr` and counted with the next chunk's first byte (a file that
// ends with it ends with a lone CR). Returns whether the chunk holds a tested control byte.
bool CountBreaks(const std::uint8_t* in, std::size_t n, BreakCounts& counts, bool& pendingCr);

}  // namespace tidelin::kernels
