// Every kernel level against the reference, on random content across chunk boundaries and
// vector widths, the binary test's choice of byte values, and which level is running.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <vector>

#include "engine_core.h"
#include "kernels.h"

namespace tidelin::kernels {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr Level FastLevels[] = {Level::Sse2, Level::Avx2, Level::Avx512};

// What one level makes of an input: both directions cut into chunks as the engine cuts them,
// with and without the control-byte test, the test alone, and the line breaks counted.
struct Results {
    Bytes winToUnix;
    Bytes unixToWin;
    bool winToUnixFoundControl = false;
    bool unixToWinFoundControl = false;
    bool hasControlByte = false;
    BreakCounts counts;
    bool countFoundControl = false;

    bool operator==(const Results&) const = default;
};

// Runs the level over `input` cut into chunks of `chunk` bytes, each copied to a buffer of its
// exact size at `offset` bytes past an aligned start (so that reading past the chunk shows in a
// sanitizer build).
Results RunLevel(Level level, const Bytes& input, std::size_t chunk, std::size_t offset, bool testControl) {
    const LevelGuard guard(level);
    Results results;
    bool pending = false;
    bool countPending = false;
    for (std::size_t at = 0;; at += chunk) {
        const std::size_t n = std::min(chunk, input.size() - std::min(at, input.size()));
        const auto in = std::make_unique<std::uint8_t[]>(n + offset);
        std::copy_n(input.begin() + static_cast<long>(std::min(at, input.size())), n, in.get() + offset);
        Bytes out(2 * n + OutputSlack);
        const std::uint8_t* chunkStart = in.get() + offset;
        // A direction stops at its first control byte, as the engine does.
        if (!results.winToUnixFoundControl) {
            const std::size_t w = WinToUnix(chunkStart, n, out.data(), pending, testControl);
            results.winToUnixFoundControl = w == ControlByteFound;
            if (w != ControlByteFound) {
                results.winToUnix.insert(results.winToUnix.end(), out.begin(), out.begin() + static_cast<long>(w));
            }
        }
        if (!results.unixToWinFoundControl) {
            const std::size_t u = UnixToWin(chunkStart, n, out.data(), testControl);
            results.unixToWinFoundControl = u == ControlByteFound;
            if (u != ControlByteFound) {
                results.unixToWin.insert(results.unixToWin.end(), out.begin(), out.begin() + static_cast<long>(u));
            }
        }
        results.hasControlByte |= HasControlByte(chunkStart, n);
        results.countFoundControl |= CountBreaks(chunkStart, n, results.counts, countPending);
        if (n < chunk) {
            break;
        }
    }
    if (pending && !results.winToUnixFoundControl) {
        results.winToUnix.push_back(CR);
    }
    results.counts.cr += countPending ? 1 : 0;
    return results;
}

// Text dense in CR and LF, or with a line break now and then; with a control byte in some
// inputs and any byte value in others.
Bytes RandomBytes(std::mt19937& random, std::size_t size) {
    static const std::uint8_t alphabet[] = {CR, LF, CR, LF, 'a', ' ', 9, 32, 127, 200, 255};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    const int kind = static_cast<int>(random() % 3);
    const bool sparse = random() % 2 == 0;
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = kind == 2 && random() % 4 == 0 ? static_cast<std::uint8_t>(random()) : alphabet[pick(random)];
        if (sparse && (b == CR || b == LF) && random() % 16 != 0) {
            b = 'a';
        }
    }
    if (kind == 1 && size > 0) {
        bytes[random() % size] = static_cast<std::uint8_t>(random() % 32);
    }
    return bytes;
}

TEST(KernelsTest, EveryLevelMatchesTheReferenceOnRandomContent) {
    std::mt19937 random(20261207);
    const std::size_t chunks[] = {1, 2, 3, 15, 16, 17, 31, 32, 33, 63, 64, 65, 1000, Engine::ChunkSize};
    for (const Level level : FastLevels) {
        if (!LevelSupported(level)) {
            continue;
        }
        for (int round = 0; round < 600; ++round) {
            const std::size_t chunk = chunks[static_cast<std::size_t>(round) % std::size(chunks)];
            const std::size_t size =
                std::uniform_int_distribution<std::size_t>(0, std::min<std::size_t>(3 * chunk + 70, 150000))(random);
            const Bytes input = RandomBytes(random, size);
            const std::size_t offset = random() % 32;
            const bool testControl = round % 2 == 0;
            const Results expected = RunLevel(Level::Reference, input, chunk, 0, testControl);
            EXPECT_TRUE(RunLevel(level, input, chunk, offset, testControl) == expected)
                << LevelName(level) << ": chunk " << chunk << " size " << size << " offset " << offset;
            // The chunking must not change the Windows-to-Unix result nor the counts, and the
            // counts say how much each direction removes or adds.
            if (!testControl) {
                const Results whole = RunLevel(Level::Reference, input, size + 1, 0, false);
                EXPECT_EQ(expected.winToUnix, whole.winToUnix);
                EXPECT_TRUE(expected.counts == whole.counts);
                EXPECT_EQ(input.size() - expected.winToUnix.size(), expected.counts.crlf);
                EXPECT_EQ(input.size() + expected.counts.lf - expected.counts.cr, expected.unixToWin.size());
            }
        }
    }
}

TEST(KernelsTest, TestedValuesAreExactlyTheControlBytesBesideTabLfAndCrAtEveryOffset) {
    for (const Level level : {Level::Reference, Level::Sse2, Level::Avx2, Level::Avx512}) {
        if (!LevelSupported(level)) {
            continue;
        }
        for (int value = 0; value < 256; ++value) {
            const bool expected = value < 32 && value != 9 && value != 10 && value != 13;
            for (const std::size_t size : {1, 31, 64, 65, 100, 200}) {
                for (const std::size_t at : {std::size_t{0}, size / 2, size - 1}) {
                    Bytes bytes(size, 'x');
                    bytes[at] = static_cast<std::uint8_t>(value);
                    const Results results = RunLevel(level, bytes, size, 0, true);
                    EXPECT_EQ(results.hasControlByte, expected) << LevelName(level) << " " << value << " " << at;
                    EXPECT_EQ(results.winToUnixFoundControl, expected) << LevelName(level) << " " << value;
                    EXPECT_EQ(results.unixToWinFoundControl, expected) << LevelName(level) << " " << value;
                    EXPECT_EQ(results.countFoundControl, expected) << LevelName(level) << " " << value;
                }
            }
        }
    }
}

// Proves which level the run uses: the one TIDELIN_KERNELS names, or the best one when it is
// unset. The suite's reruns per level rely on this check and on every test that changes the
// level putting the previous one back (checked once more when the run ends).
TEST(KernelsTest, TheLevelAskedForIsTheOneRunning) {
    const char* asked = std::getenv("TIDELIN_KERNELS");
    std::cout << "kernels: " << LevelName(ActiveLevel()) << "\n";
    if (asked == nullptr || asked[0] == '\0') {
        Level best = Level::Avx512;
        while (!LevelSupported(best)) {
            best = static_cast<Level>(static_cast<int>(best) - 1);
        }
        EXPECT_EQ(ActiveLevel(), best);
        return;
    }
    for (const Level level : {Level::Reference, Level::Sse2, Level::Avx2, Level::Avx512}) {
        if (std::strcmp(asked, LevelName(level)) == 0) {
            if (!LevelSupported(level)) {
                GTEST_SKIP() << "this processor lacks " << asked;
            }
            EXPECT_EQ(ActiveLevel(), level);
            return;
        }
    }
    ADD_FAILURE() << "TIDELIN_KERNELS names no level: " << asked;
}

class LevelKeptToTheEnd : public ::testing::Environment {
public:
    void TearDown() override {
        EXPECT_EQ(LevelName(ActiveLevel()), std::string(LevelName(LevelFromEnvironment())))
            << "a test changed the kernel level and did not restore it";
    }
};
[[maybe_unused]] const auto* const levelKept = ::testing::AddGlobalTestEnvironment(new LevelKeptToTheEnd);

}  // namespace
}  // namespace tidelin::kernels
