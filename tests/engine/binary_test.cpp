// The binary-file test on real files.
#include <cstdlib>

#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "kernels.h"
#include "test_support.h"

namespace tidelin::test {
namespace {

const std::int64_t Chunk = Engine::ChunkSize;

TEST_F(EngineTest, EveryByteValueInTheMiddleOfText) {
    for (const kernels::Level level :
         {kernels::Level::Reference, kernels::Level::Sse2, kernels::Level::Avx2, kernels::Level::Avx512}) {
        const kernels::LevelGuard guard(level);
        for (int value = 0; value < 256; ++value) {
            const std::string path = Path("v.txt");
            std::string content(300, 'a');
            content[150] = static_cast<char>(value);
            WriteFile(path, content);
            const bool expected = value <= 8 || value == 11 || value == 12 || (value >= 14 && value <= 31);
            EXPECT_EQ(engine->IsBinaryFile(path), expected) << "value " << value << " " << kernels::LevelName(level);
        }
    }
    EXPECT_FALSE(engine->Core().Files().IsOpen(OpenFileTable::Source));
}

TEST_F(EngineTest, BinaryTestCases) {
    const std::string text(Chunk, 'a');
    const struct {
        const char* name;
        std::string content;
        bool binary;
        int yields;
    } cases[] = {
        {"empty", "", false, 1},
        {"tab lf cr", "a\tb\r\nc\n", false, 1},
        {"utf-8 and 127", "\xd0\x9f\xd1\x80\xd0\xb8\x7f\xff", false, 1},
        {"utf-16", std::string("a\0b\0", 4), true, 0},
        {"nul as very last byte", text + std::string(4, 'b') + std::string(1, '\0'), true, 1},
        {"escape only in second chunk", text + "\x1b", true, 1},
        {"exactly one chunk", text, false, 2},
        {"form feed at the start", "\x0c" + text, true, 0},
        {"vertical tab in last chunk of three", text + text + "b\x0b", true, 2},
    };
    for (const auto& c : cases) {
        const std::string path = Path("f.txt");
        WriteFile(path, c.content);
        host.yields = 0;
        EXPECT_EQ(engine->IsBinaryFile(path), c.binary) << c.name;
        EXPECT_EQ(host.yields, c.yields) << c.name;
    }
}

TEST_F(EngineTest, UnreadableEntriesAreNotBinaryAndRaiseNothing) {
    WriteFile(Path("target.bin"), std::string("\0\0", 2));
    ASSERT_EQ(::symlink(Path("target.bin").c_str(), Path("link").c_str()), 0);
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir(Path("folder").c_str(), 0755), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A socket's address holds little more than 100 bytes, less than the test folder's path
    // inside a deep build folder (a package build): the socket is bound by its name alone,
    // from within the test folder.
    const std::string socketName = "socket";
    std::copy(socketName.begin(), socketName.end(), address.sun_path);
    char* const workingFolder = ::getcwd(nullptr, 0);
    ASSERT_NE(workingFolder, nullptr);
    ASSERT_EQ(::chdir(Path("").c_str()), 0);
    const int bound = ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ASSERT_EQ(::chdir(workingFolder), 0);
    std::free(workingFolder);
    ASSERT_EQ(bound, 0);

    for (const char* name : {"missing", "link", "fifo", "folder", "socket", "missing/below"}) {
        EXPECT_FALSE(engine->IsBinaryFile(Path(name))) << name;
    }
    ::close(sock);
    EXPECT_FALSE(engine->Core().Files().IsOpen(OpenFileTable::Source));
}

TEST_F(EngineTest, FileWithoutReadPermissionIsNotBinary) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    const std::string path = Path("secret.bin");
    WriteFile(path, std::string("\0", 1), 0000);
    EXPECT_FALSE(engine->IsBinaryFile(path));
}

}  // namespace
}  // namespace tidelin::test
