// The AVX2 level: the vector kernels on 32-byte registers. Only this file is compiled for
// AVX2, and kernels.cpp runs it only on processors that have it.
#include <immintrin.h>

#include "kernels_levels.h"
#include "kernels_vector.h"

namespace tidelin::kernels {

namespace {

struct Avx2 {
    using Reg = __m256i;
    using Bits = std::uint32_t;
    static constexpr std::size_t Width = 32;

    static Reg Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(std::uint8_t* p, Reg v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static Reg Zero() { return _mm256_setzero_si256(); }
    static Reg Or(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static bool Any(Reg v) { return _mm256_testz_si256(v, v) == 0; }
    static Reg Equal(Reg v, std::uint8_t b) { return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(b))); }
    static std::uint32_t Mask(Reg v, std::uint8_t b) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(Equal(v, b)));
    }
    static Reg Control(Reg v) {
        const __m256i limit = _mm256_set1_epi8(31);
        const __m256i low = _mm256_cmpeq_epi8(_mm256_max_epu8(v, limit), limit);
        const __m256i allowed =
            _mm256_or_si256(_mm256_or_si256(Equal(v, 9), Equal(v, vector::LF)), Equal(v, vector::CR));
        return _mm256_andnot_si256(allowed, low);
    }
};

std::size_t WinToUnixAvx2(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr,
                          bool testControl) {
    return vector::WinToUnix<Avx2>(in, n, out, pendingCr, testControl);
}

std::size_t UnixToWinAvx2(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool testControl) {
    return vector::UnixToWin<Avx2>(in, n, out, testControl);
}

bool HasControlByteAvx2(const std::uint8_t* in, std::size_t n) { return vector::HasControlByte<Avx2>(in, n); }

bool CountBreaksAvx2(const std::uint8_t* in, std::size_t n, BreakCounts& counts, bool& pendingCr) {
    return vector::CountBreaks<Avx2>(in, n, counts, pendingCr);
}

}  // namespace

const LevelKernels avx2Kernels = {WinToUnixAvx2, UnixToWinAvx2, HasControlByteAvx2, CountBreaksAvx2};

}  // namespace tidelin::kernels
