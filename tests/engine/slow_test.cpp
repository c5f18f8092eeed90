// A Unix-to-Windows conversion whose output would pass 2147483647 bytes: it stops with the
// overflow error and leaves the source as it was. Writes about 3 GiB, so it runs on its own
// (ctest -L slow), in a memory file system when one is there.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "tidelin/errors.h"
#include "test_support.h"

namespace tidelin::test {
namespace {

class SlowTest : public EngineTest {
protected:
    void SetUp() override {
        struct stat st {};
        if (::stat("/dev/shm", &st) == 0 && ::access("/dev/shm", W_OK) == 0) {
            parent_ = "/dev/shm";
        }
        EngineTest::SetUp();
    }
};

TEST_F(SlowTest, OutputPastTheWritePositionLimitRaisesOverflow) {
    host.skipBinary = false;
    const std::string path = Path("lines.txt");
    const std::int64_t size = 1073741824;  // LF only: the output doubles to 2147483648 bytes
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const std::vector<char> block(1 << 20, '\n');
        for (std::int64_t done = 0; done < size; done += static_cast<std::int64_t>(block.size())) {
            ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
        }
        ::close(fd);
    }
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertUnixToWin(path); }), err::Overflow);
    // Stopped right after the chunk that crossed the limit.
    const std::int64_t written = engine->Core().Files().Get(OpenFileTable::Work).Info().size;
    EXPECT_GT(written, Engine::MaxOutputSize);
    EXPECT_LE(written, Engine::MaxOutputSize + 2 * Engine::ChunkSize);
    engine->CloseAllFiles();

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, size);
    engine->Unload();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Root()), {}), 2);  // lines.txt, tmp
}

}  // namespace
}  // namespace tidelin::test
