// The SSE2 level: the vector kernels on 16-byte registers. Every x86-64 processor has SSE2.
#include <emmintrin.h>

#include "kernels_levels.h"
#include "kernels_vector.h"

namespace tidelin::kernels {

namespace {

struct Sse2 {
    using Reg = __m128i;
    using Bits = std::uint32_t;
    static constexpr std::size_t Width = 16;

    static Reg Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(std::uint8_t* p, Reg v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static Reg Zero() { return _mm_setzero_si128(); }
    static Reg Or(Reg a, Reg b) { return _mm_or_si128(a, b); }
    static bool Any(Reg v) { return _mm_movemask_epi8(v) != 0; }
    static Reg Equal(Reg v, std::uint8_t b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); }
    static std::uint32_t Mask(Reg v, std::uint8_t b) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(Equal(v, b)));
    }
    static Reg Control(Reg v) {
        const __m128i limit = _mm_set1_epi8(31);
        const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(v, limit), limit);
        const __m128i allowed = _mm_or_si128(_mm_or_si128(Equal(v, 9), Equal(v, vector::LF)), Equal(v, vector::CR));
        return _mm_andnot_si128(allowed, low);
    }
};

std::size_t WinToUnixSse2(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr,
                          bool testControl) {
    return vector::WinToUnix<Sse2>(in, n, out, pendingCr, testControl);
}

std::size_t UnixToWinSse2(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool testControl) {
    return vector::UnixToWin<Sse2>(in, n, out, testControl);
}

bool HasControlByteSse2(const std::uint8_t* in, std::size_t n) { return vector::HasControlByte<Sse2>(in, n); }

bool CountBreaksSse2(const std::uint8_t* in, std::size_t n, BreakCounts& counts, bool& pendingCr) {
    return vector::CountBreaks<Sse2>(in, n, counts, pendingCr);
}

}  // namespace

const LevelKernels sse2Kernels = {WinToUnixSse2, UnixToWinSse2, HasControlByteSse2, CountBreaksSse2};

}  // namespace tidelin::kernels
