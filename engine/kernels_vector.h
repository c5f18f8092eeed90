// The vector kernels, written once for any register width. kernels_sse2.cpp and
// kernels_avx2.cpp instantiate them with their own register type V, each in a file compiled
// for its instruction set. Everything here is a template over V, so no code compiled for one
// instruction set can be shared with (and run by) another level.
//
// V provides: Reg, Width, Bits (an unsigned integer of Width bits), Load and Store (unaligned),
// Zero, Or, Any, Mask(v, byte) (one bit per lane equal to the byte) and Control(v) (the lanes
// holding a tested control byte); and may provide Compress(v, keep) (the lanes whose bits are
// set in `keep`, moved to the front), which then drops CRs without a store per CR.
//
// The main loops look one register ahead, so they stop 2 * Width bytes before the end of the
// chunk and the rest goes byte by byte. A run of bytes between line breaks is copied with one
// whole-register store, which may write up to Width bytes past the result (OutputSlack).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tidelin::kernels::vector {

constexpr std::uint8_t CR = 13;
constexpr std::uint8_t LF = 10;
constexpr std::size_t ControlByteFound = static_cast<std::size_t>(-1);

// A tested control byte: below 32 and none of TAB (9), LF (10) and CR (13).
template <typename V>
inline bool IsControl(std::uint8_t b) {
    return b < 32 && ((0xFFFFD9FFu >> b) & 1u) != 0;
}

// Copies the register at `in` to `out` without the bytes whose bits are set in `skipped`,
// calling `after(k, o)` behind each skipped byte k. Returns the new output position.
template <typename V, typename After>
inline std::size_t CopyWithout(const std::uint8_t* in, typename V::Bits skipped, std::uint8_t* out,
                               std::size_t o, After after) {
    std::size_t start = 0;
    while (skipped != 0) {
        const auto k = static_cast<std::size_t>(std::countr_zero(skipped));
        V::Store(out + o, V::Load(in + start));
        o = after(k, o + (k - start));
        start = k + 1;
        skipped &= skipped - 1;
    }
    V::Store(out + o, V::Load(in + start));
    return o + (V::Width - start);
}

template <typename V>
std::size_t WinToUnix(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr,
                      bool testControl) {
    constexpr std::size_t W = V::Width;
    if (n == 0) {
        return 0;
    }
    std::size_t o = 0;
    if (pendingCr) {
        pendingCr = false;
        if (in[0] != LF) {
            out[o++] = CR;
        }
    }
    typename V::Reg control = V::Zero();
    std::size_t i = 0;
    for (; i + 2 * W <= n; i += W) {
        const typename V::Reg v = V::Load(in + i);
        control = V::Or(control, V::Control(v));
        // A CR is dropped when the next byte, perhaps the next register's first, is LF.
        const typename V::Bits dropped = V::Mask(v, CR) & V::Mask(V::Load(in + i + 1), LF);
        if (dropped == 0) {
            V::Store(out + o, v);
            o += W;
        } else if constexpr (requires { V::Compress(v, dropped); }) {
            V::Store(out + o, V::Compress(v, static_cast<typename V::Bits>(~dropped)));
            o += W - static_cast<std::size_t>(std::popcount(dropped));
        } else {
            o = CopyWithout<V>(in + i, dropped, out, o, [](std::size_t, std::size_t at) { return at; });
        }
    }
    bool found = V::Any(control);
    for (; i < n; ++i) {
        const std::uint8_t b = in[i];
        found = found || IsControl<V>(b);
        if (b == CR) {
            if (i + 1 == n) {
                pendingCr = true;  // decided with the next chunk
                break;
            }
            if (in[i + 1] == LF) {
                continue;
            }
        }
        out[o++] = b;
    }
    return testControl && found ? ControlByteFound : o;
}

template <typename V>
std::size_t UnixToWin(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool testControl) {
    constexpr std::size_t W = V::Width;
    std::size_t o = 0;
    typename V::Reg control = V::Zero();
    std::size_t i = 0;
    for (; i + 2 * W <= n; i += W) {
        const typename V::Reg v = V::Load(in + i);
        control = V::Or(control, V::Control(v));
        const typename V::Bits lf = V::Mask(v, LF);
        const typename V::Bits breaks = V::Mask(v, CR) | lf;
        if (breaks == 0) {
            V::Store(out + o, v);
            o += W;
        } else {
            // Every CR and LF is left out; behind each LF goes CR LF.
            o = CopyWithout<V>(in + i, breaks, out, o, [&](std::size_t k, std::size_t at) {
                if ((lf >> k) & 1u) {
                    out[at++] = CR;
                    out[at++] = LF;
                }
                return at;
            });
        }
    }
    bool found = V::Any(control);
    for (; i < n; ++i) {
        const std::uint8_t b = in[i];
        found = found || IsControl<V>(b);
        if (b == LF) {
            out[o++] = CR;
            out[o++] = LF;
        } else if (b != CR) {
            out[o++] = b;
        }
    }
    return testControl && found ? ControlByteFound : o;
}

template <typename V>
bool HasControlByte(const std::uint8_t* in, std::size_t n) {
    constexpr std::size_t W = V::Width;
    std::size_t i = 0;
    for (; i + 4 * W <= n; i += 4 * W) {
        const typename V::Reg any = V::Or(V::Or(V::Control(V::Load(in + i)), V::Control(V::Load(in + i + W))),
                                          V::Or(V::Control(V::Load(in + i + 2 * W)),
                                                V::Control(V::Load(in + i + 3 * W))));
        if (V::Any(any)) {
            return true;
        }
    }
    for (; i < n; ++i) {
        if (IsControl<V>(in[i])) {
            return true;
        }
    }
    return false;
}

// Counts CR, LF and the pairs of them; a lone CR or LF is what no pair took. A CR held from
// the previous chunk pairs with a leading LF; a CR that ends this chunk is held.
template <typename V, typename Counts>
bool CountBreaks(const std::uint8_t* in, std::size_t n, Counts& counts, bool& pendingCr) {
    constexpr std::size_t W = V::Width;
    std::size_t i = 0;
    if (pendingCr && n > 0) {
        pendingCr = false;
        if (in[0] == LF) {
            ++counts.crlf;
            i = 1;
        } else {
            ++counts.cr;
        }
    }
    std::uint64_t crs = 0;
    std::uint64_t lfs = 0;
    std::uint64_t pairs = 0;
    typename V::Reg control = V::Zero();
    for (; i + 2 * W <= n; i += W) {
        const typename V::Reg v = V::Load(in + i);
        control = V::Or(control, V::Control(v));
        const std::uint64_t cr = V::Mask(v, CR);
        crs += static_cast<unsigned>(__builtin_popcountll(cr));
        lfs += static_cast<unsigned>(__builtin_popcountll(V::Mask(v, LF)));
        pairs += static_cast<unsigned>(__builtin_popcountll(cr & V::Mask(V::Load(in + i + 1), LF)));
    }
    bool found = V::Any(control);
    for (; i < n; ++i) {
        const std::uint8_t b = in[i];
        found = found || IsControl<V>(b);
        if (b == LF) {
            ++lfs;
        } else if (b == CR) {
            if (i + 1 == n) {
                pendingCr = true;  // counted with the next chunk
                break;
            }
            ++crs;
            pairs += in[i + 1] == LF;
        }
    }
    counts.crlf += pairs;
    counts.lf += lfs - pairs;
    counts.cr += crs - pairs;
    return found;
}

}  // namespace tidelin::kernels::vector
