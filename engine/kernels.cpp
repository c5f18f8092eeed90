#include "kernels.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tidelin::kernels {

namespace {

bool ReferenceFromEnvironment() {
    const char* value = std::getenv("TIDELIN_REFERENCE_KERNELS");
    return value != nullptr && value[0] == '1';
}

bool referenceKernels = ReferenceFromEnvironment();

constexpr bool IsTested(unsigned value) {
    return value < 32 && value != 9 && value != LF && value != CR;
}

struct ControlTable {
    bool tested[256] = {};
    constexpr ControlTable() {
        for (unsigned v = 0; v < 256; ++v) {
            tested[v] = IsTested(v);
        }
    }
};
constexpr ControlTable controlTable;

// Index of the first CR or LF in [p, p + n), or n.
std::size_t FindLineBreakByte(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8(static_cast<char>(CR));
    const __m128i lf = _mm_set1_epi8(static_cast<char>(LF));
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == CR || p[i] == LF) {
            return i;
        }
    }
    return n;
}

}  // namespace

bool ReferenceKernelsInUse() { return referenceKernels; }
void UseReferenceKernels(bool on) { referenceKernels = on; }

std::size_t WinToUnixReference(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                               bool& pendingCr) {
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

std::size_t WinToUnix(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr) {
    if (referenceKernels) {
        return WinToUnixReference(in, n, out, pendingCr);
    }
    if (n == 0) {
        return 0;
    }
    std::size_t o = 0;
    std::size_t i = 0;
    if (pendingCr) {
        pendingCr = false;
        if (in[0] != LF) {
            out[o++] = CR;
        }
    }
    while (i < n) {
        const void* hit = std::memchr(in + i, CR, n - i);
        if (hit == nullptr) {
            std::memcpy(out + o, in + i, n - i);
            return o + (n - i);
        }
        const std::size_t at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - in);
        std::memcpy(out + o, in + i, at - i);
        o += at - i;
        if (at + 1 == n) {
            pendingCr = true;  // decided with the next chunk
            return o;
        }
        if (in[at + 1] != LF) {
            out[o++] = CR;
        }
        i = at + 1;
    }
    return o;
}

std::size_t UnixToWinReference(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
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

std::size_t UnixToWin(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    if (referenceKernels) {
        return UnixToWinReference(in, n, out);
    }
    std::size_t o = 0;
    std::size_t i = 0;
    while (i < n) {
        const std::size_t run = FindLineBreakByte(in + i, n - i);
        std::memcpy(out + o, in + i, run);
        o += run;
        i += run;
        if (i == n) {
            break;
        }
        if (in[i] == LF) {
            out[o++] = CR;
            out[o++] = LF;
        }
        ++i;  // a CR is dropped
    }
    return o;
}

bool HasControlByteReference(const std::uint8_t* in, std::size_t n) {
    for (int value = 31; value >= 0; --value) {
        if (!IsTested(static_cast<unsigned>(value))) {
            continue;
        }
        if (std::memchr(in, value, n) != nullptr) {
            return true;
        }
    }
    return false;
}

bool HasControlByte(const std::uint8_t* in, std::size_t n) {
    if (referenceKernels) {
        return HasControlByteReference(in, n);
    }
    std::size_t i = 0;
#if defined(__SSE2__)
    // A byte is tested when it is at most 31 (unsigned) and none of TAB, LF and CR.
    const __m128i limit = _mm_set1_epi8(31);
    const __m128i tab = _mm_set1_epi8(9);
    const __m128i lf = _mm_set1_epi8(static_cast<char>(LF));
    const __m128i cr = _mm_set1_epi8(static_cast<char>(CR));
    const auto tested = [&](const std::uint8_t* p) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(v, limit), limit);
        const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lf)),
                                             _mm_cmpeq_epi8(v, cr));
        return _mm_andnot_si128(allowed, low);
    };
    for (; i + 64 <= n; i += 64) {
        const __m128i any = _mm_or_si128(_mm_or_si128(tested(in + i), tested(in + i + 16)),
                                         _mm_or_si128(tested(in + i + 32), tested(in + i + 48)));
        if (_mm_movemask_epi8(any) != 0) {
            return true;
        }
    }
    for (; i + 16 <= n; i += 16) {
        if (_mm_movemask_epi8(tested(in + i)) != 0) {
            return true;
        }
    }
#endif
    for (; i < n; ++i) {
        if (controlTable.tested[in[i]]) {
            return true;
        }
    }
    return false;
}

}  // namespace tidelin::kernels
