// The byte-level work of the engine: line-break conversion of one chunk and the search for
// control bytes. Each fast kernel has a plain reference beside it that defines the result;
// the tests hold the two to the same output, and TIDELIN_REFERENCE_KERNELS=1 (or
// UseReferenceKernels) makes the engine run the references.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tidelin::kernels {

constexpr std::uint8_t CR = 13;
constexpr std::uint8_t LF = 10;

// Whether the reference kernels run instead of the fast ones. Starts from the environment.
bool ReferenceKernelsInUse();
void UseReferenceKernels(bool on);

// Windows to Unix for one chunk: every CR directly followed by LF is dropped. A CR that ends
// the chunk is held back in `pendingCr` and decided with the first byte of the next chunk;
// a CR held from the previous chunk is written first unless this chunk starts with LF. An
// empty chunk keeps a held CR. `out` must hold n + 1 bytes. Returns the bytes written.
std::size_t WinToUnix(const std::uint8_t* in, std::size_t n, std::uint8_t* out, bool& pendingCr);
std::size_t WinToUnixReference(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                               bool& pendingCr);

// Unix to Windows for one chunk: every CR is removed, then every LF becomes CR LF.
// `out` must hold 2 * n bytes. Returns the bytes written.
std::size_t UnixToWin(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
std::size_t UnixToWinReference(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

// Whether the bytes hold a tested control byte: 0 to 8, 11, 12 or 14 to 31.
bool HasControlByte(const std::uint8_t* in, std::size_t n);
// The reference searches value by value in the order 31 down to 14, 12, 11, 8 down to 0.
bool HasControlByteReference(const std::uint8_t* in, std::size_t n);

}  // namespace tidelin::kernels
