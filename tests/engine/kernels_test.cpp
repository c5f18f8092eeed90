// The fast kernels against their plain references, on random content across chunk
// boundaries, and the binary test's choice of byte values.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine.h"
#include "kernels.h"

namespace tidelin::kernels {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Random content rich in CR, LF and control bytes.
Bytes RandomBytes(std::mt19937& random, std::size_t size) {
    static const std::uint8_t alphabet[] = {CR, LF, CR, LF, 'a', ' ', 0, 9, 31, 32, 127, 200};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    std::uniform_int_distribution<int> any(0, 255);
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = random() % 4 == 0 ? static_cast<std::uint8_t>(any(random)) : alphabet[pick(random)];
    }
    return bytes;
}

// Runs a Windows-to-Unix kernel over `input` cut into chunks of `chunk` bytes, as the engine
// does, flushing a held CR at the end.
template <typename Kernel>
Bytes WinToUnixInChunks(const Bytes& input, std::size_t chunk, Kernel kernel) {
    Bytes output;
    Bytes buffer(chunk + 1);
    bool pending = false;
    for (std::size_t at = 0; at < input.size() || at == 0; at += chunk) {
        const std::size_t n = std::min(chunk, input.size() - std::min(at, input.size()));
        const std::size_t got = kernel(input.data() + at, n, buffer.data(), pending);
        output.insert(output.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
        if (n < chunk) {
            break;
        }
    }
    if (pending) {
        output.push_back(CR);
    }
    return output;
}

TEST(KernelsTest, FastKernelsMatchReferencesOnRandomContent) {
    std::mt19937 random(20261207);
    const std::size_t chunks[] = {1, 2, 3, 15, 16, 17, 63, 64, 65, 1000, Engine::ChunkSize};
    for (int round = 0; round < 400; ++round) {
        const std::size_t chunk = chunks[static_cast<std::size_t>(round) % std::size(chunks)];
        const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 3 * chunk + 70)(random);
        const Bytes input = RandomBytes(random, size);

        EXPECT_EQ(WinToUnixInChunks(input, chunk, WinToUnix),
                  WinToUnixInChunks(input, chunk, WinToUnixReference))
            << "chunk " << chunk << " size " << size;
        // The chunking must not change the Windows-to-Unix result.
        EXPECT_EQ(WinToUnixInChunks(input, chunk, WinToUnix),
                  WinToUnixInChunks(input, input.size() + 1, WinToUnixReference));

        Bytes fast(2 * size + 1);
        Bytes reference(2 * size + 1);
        const std::size_t fastSize = UnixToWin(input.data(), size, fast.data());
        const std::size_t referenceSize = UnixToWinReference(input.data(), size, reference.data());
        ASSERT_EQ(fastSize, referenceSize);
        EXPECT_TRUE(std::equal(fast.begin(), fast.begin() + static_cast<long>(fastSize), reference.begin()));

        EXPECT_EQ(HasControlByte(input.data(), size), HasControlByteReference(input.data(), size));
    }
}

TEST(KernelsTest, ControlByteFoundAtEveryOffsetAroundVectorWidths) {
    for (std::size_t size = 1; size <= 200; ++size) {
        for (const std::size_t at : {std::size_t{0}, size / 2, size - 1}) {
            Bytes bytes(size, 'x');
            bytes[at] = 27;
            EXPECT_TRUE(HasControlByte(bytes.data(), size)) << size << " " << at;
            bytes[at] = LF;
            EXPECT_FALSE(HasControlByte(bytes.data(), size)) << size << " " << at;
        }
    }
}

TEST(KernelsTest, TestedValuesAreExactlyTheControlBytesBesideTabLfAndCr) {
    for (const bool reference : {false, true}) {
        for (int value = 0; value < 256; ++value) {
            Bytes bytes(100, ' ');
            bytes[70] = static_cast<std::uint8_t>(value);
            const bool expected = value < 32 && value != 9 && value != 10 && value != 13;
            const bool found = reference ? HasControlByteReference(bytes.data(), bytes.size())
                                         : HasControlByte(bytes.data(), bytes.size());
            EXPECT_EQ(found, expected) << "value " << value << (reference ? " reference" : " fast");
        }
    }
}

}  // namespace
}  // namespace tidelin::kernels
