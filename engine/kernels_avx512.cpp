// The AVX-512 level: the vector kernels on 64-byte registers, with the byte compress of VBMI2
// dropping the CR of each CR LF pair in one step. Only this file is compiled for AVX-512, and
// kernels.cpp runs it only on processors that have AVX-512 BW and VBMI2.
#include <immintrin.h>

#include "kernels_levels.h"
#include "kernels_vector.h"

namespace tidelin::kernels {

namespace {

struct Avx512 {
    using Reg = __m512i;
    using Bits = std::uint64_t;
    static constexpr std::size_t Width = 64;

    static Reg Load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
    static void Store(std::uint8_t* p, Reg v) { _mm512_storeu_si512(p, v); }
    static Reg Zero() { return _mm512_setzero_si512(); }
    static Reg Or(Reg a, Reg b) { return _mm512_or_si512(a, b); }
    static bool Any(Reg v) { return _mm512_test_epi8_mask(v, v) != 0; }
    static Bits Mask(Reg v, std::uint8_t b) { return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(b))); }
    static Reg Control(Reg v) {
        // Below 32 and none of TAB, LF and CR: all ones in those lanes.
        const Bits control = _mm512_cmplt_epu8_mask(v, _mm512_set1_epi8(32)) & ~(Mask(v, 9) | Mask(v, vector::LF) | Mask(v, vector::CR));
        return _mm512_movm_epi8(control);
    }
    static Reg Compress(Reg v, Bits keep) { return _mm512_maskz_compress_epi8(keep, v); }
};

std::size_t WinToUnixAvx512(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr,
                            bool testControl) {
    return vector::WinToUnix<Avx512>(in, n, out, pendingCr, testControl);
}

std::size_t UnixToWinAvx512(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool testControl) {
    return vector::UnixToWin<Avx512>(in, n, out, testControl);
}

bool HasControlByteAvx512(const std::uint8_t* in, std::size_t n) { return vector::HasControlByte<Avx512>(in, n); }

bool CountBreaksAvx512(const std::uint8_t* in, std::size_t n, BreakCounts& counts, bool& pendingCr) {
    return vector::CountBreaks<Avx512>(in, n, counts, pendingCr);
}

}  // namespace

const LevelKernels avx512Kernels = {WinToUnixAvx512, UnixToWinAvx512, HasControlByteAvx512, CountBreaksAvx512};

}  // namespace tidelin::kernels
