#include "kernels.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "kernels_levels.h"

namespace tidelin::kernels {

namespace {

constexpr bool IsTested(unsigned value) {
    return value < 32 && value != 9 && value != LF && value != CR;
}

// The references: plain byte-by-byte code that defines what every level computes.

// Searches value by value in the order 31 down to 14, 12, 11, 8 down to 0.
bool HasControlByteReference(const std::uint8_t* in, std::size_t n) {
    for (int value = 31; value >= 0; --value) {
        if (IsTested(static_cast<unsigned>(value)) && std::memchr(in, value, n) != nullptr) {
            return true;
        }
    }
    return false;
}

std::size_t WinToUnixReference(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                               bool& pendingCr, bool testControl) {
    if (testControl && HasControlByteReference(in, n)) {
        return ControlByteFound;
    }
    std::size_t o = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = in[i];
        if (pendingCr) {
            pendingCr = false;
            if (b != LF) {
                out[o++] = CR;
            }
        }
        if (b == CR) {
            pendingCr = true;
        } else {
            out[o++] = b;
        }
    }
    return o;
}

std::size_t UnixToWinReference(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                               bool testControl) {
    if (testControl && HasControlByteReference(in, n)) {
        return ControlByteFound;
    }
    // First pass: remove every CR.
    std::vector<std::uint8_t> withoutCr;
    for (std::size_t i = 0; i < n; ++i) {
        if (in[i] != CR) {
            withoutCr.push_back(in[i]);
        }
    }
    // Second pass: every LF becomes CR LF.
    std::size_t o = 0;
    for (const std::uint8_t b : withoutCr) {
        if (b == LF) {
            out[o++] = CR;
        }
        out[o++] = b;
    }
    return o;
}

bool CountBreaksReference(const std::uint8_t* in, std::size_t n, BreakCounts& counts,
                          bool& pendingCr) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = in[i];
        if (pendingCr) {
            pendingCr = false;
            if (b == LF) {
                ++counts.crlf;
                continue;
            }
            ++counts.cr;
        }
        if (b == CR) {
            pendingCr = true;
        } else if (b == LF) {
            ++counts.lf;
        }
    }
    return HasControlByteReference(in, n);
}

const LevelKernels& KernelsOf(Level level) {
    switch (level) {
#if defined(TIDELIN_AVX2_KERNELS)
        case Level::Avx512:
            return avx512Kernels;
        case Level::Avx2:
            return avx2Kernels;
#endif
#if defined(TIDELIN_X86_KERNELS)
        case Level::Sse2:
            return sse2Kernels;
#endif
        default:
            return referenceKernels;
    }
}

// The best supported level not above `level`.
Level Supported(Level level) {
    while (!LevelSupported(level)) {
        level = static_cast<Level>(static_cast<int>(level) - 1);
    }
    return level;
}

Level active = LevelFromEnvironment();
const LevelKernels* activeKernels = &KernelsOf(active);

}  // namespace

const LevelKernels referenceKernels = {WinToUnixReference, UnixToWinReference, HasControlByteReference,
                                       CountBreaksReference};

const char* LevelName(Level level) {
    switch (level) {
        case Level::Avx512:
            return "avx512";
        case Level::Avx2:
            return "avx2";
        case Level::Sse2:
            return "sse2";
        default:
            return "reference";
    }
}

bool LevelSupported(Level level) {
    switch (level) {
#if defined(TIDELIN_AVX2_KERNELS)
        case Level::Avx512:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2");
        case Level::Avx2:
            // May run before any constructor, when the processor has not been probed yet.
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2");
#endif
#if defined(TIDELIN_X86_KERNELS)
        case Level::Sse2:
            return true;
#endif
        case Level::Reference:
            return true;
        default:
            return false;
    }
}

Level LevelFromEnvironment() {
    const char* value = std::getenv("TIDELIN_KERNELS");
    Level wanted = Level::Avx512;
    for (const Level level : {Level::Reference, Level::Sse2, Level::Avx2, Level::Avx512}) {
        if (value != nullptr && std::strcmp(value, LevelName(level)) == 0) {
            wanted = level;
        }
    }
    return Supported(wanted);
}

Level ActiveLevel() { return active; }

void UseLevel(Level level) {
    active = Supported(level);
    activeKernels = &KernelsOf(active);
}

std::size_t WinToUnix(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr,
                      bool testControl) {
    return activeKernels->winToUnix(in, n, out, pendingCr, testControl);
}

std::size_t UnixToWin(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool testControl) {
    return activeKernels->unixToWin(in, n, out, testControl);
}

bool HasControlByte(const std::uint8_t* in, std::size_t n) {
    return activeKernels->hasControlByte(in, n);
}

bool CountBreaks(const std::uint8_t* in, std::size_t n, BreakCounts& counts, bool& pendingCr) {
    return activeKernels->countBreaks(in, n, counts, pendingCr);
}

}  // namespace tidelin::kernels
