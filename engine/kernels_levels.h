// The kernels of each level, as kernels.cpp dispatches to them. The vector levels live in
// files of their own, each compiled for its instruction set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels.h"

namespace tidelin::kernels {

struct LevelKernels {
    std::size_t (*winToUnix)(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                             bool& pendingCr, bool testControl);
    std::size_t (*unixToWin)(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                             bool testControl);
    bool (*hasControlByte)(const std::uint8_t* in, std::size_t n);
    bool (*countBreaks)(const std::uint8_t* in, std::size_t n, BreakCounts& counts, bool& pendingCr);
};

extern const LevelKernels referenceKernels;
#if defined(TIDELIN_X86_KERNELS)
extern const LevelKernels sse2Kernels;
#endif
#if defined(TIDELIN_AVX2_KERNELS)
extern const LevelKernels avx2Kernels;
extern const LevelKernels avx512Kernels;
#endif

}  // namespace tidelin::kernels
