// How a converted file takes the place of its source, and how the work file is guarded.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "errors.h"
#include "test_support.h"

namespace tidelin::test {
namespace {

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(EngineTest, ReplacementKeepsPermissionBitsAndLeavesNoWorkFile) {
    for (const unsigned mode : {0755u, 0640u, 0600u, 0744u}) {
        const std::string path = Path("script.sh");
        WriteFile(path, "#!/bin/sh\r\necho hi\r\n", mode);
        ASSERT_TRUE(engine->ConvertWinToUnix(path)) << std::oct << mode;
        EXPECT_EQ(ReadFile(path), "#!/bin/sh\necho hi\n");
        EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
        EXPECT_FALSE(Exists(engine->WorkFile()));
    }
    EXPECT_EQ(Names(Root()), (std::vector<std::string>{"script.sh", "tmp"}));
}

TEST_F(EngineTest, ReplacementPutsANewFileInPlaceInOneStep) {
    // A hard link to the old file keeps the old content: the source was never rewritten in
    // place, so a failure on the way could not have left it half-written.
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\nb\r\n");
    ASSERT_EQ(::link(path.c_str(), Path("old").c_str()), 0);
    const ino_t before = InodeOf(path);
    ASSERT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_NE(InodeOf(path), before);
    EXPECT_EQ(ReadFile(Path("old")), "a\r\nb\r\n");
    EXPECT_EQ(ReadFile(path), "a\nb\n");
}

// The work file in a folder in /dev/shm, the source in a folder of its own on another file
// system (the usual temporary folder, or /var/tmp when that is in memory too).
class CrossFileSystemTest : public EngineTest {
protected:
    void SetUp() override {
        struct stat shm {};
        if (::stat("/dev/shm", &shm) != 0 || ::access("/dev/shm", W_OK) != 0) {
            GTEST_SKIP() << "needs a writable /dev/shm";
        }
        const char* tmpdir = std::getenv("TMPDIR");
        for (const std::string& parent : {std::string(tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp"),
                                         std::string("/var/tmp")}) {
            struct stat st {};
            if (::stat(parent.c_str(), &st) == 0 && st.st_dev != shm.st_dev) {
                std::string pattern = parent + "/tidelin-cross-XXXXXX";
                if (::mkdtemp(pattern.data()) != nullptr) {
                    source_ = pattern;
                    break;
                }
            }
        }
        if (source_.empty()) {
            GTEST_SKIP() << "needs a writable folder on another file system than /dev/shm";
        }
        parent_ = "/dev/shm";
        EngineTest::SetUp();
    }
    void TearDown() override {
        if (!source_.empty()) {
            std::filesystem::remove_all(source_);
        }
        EngineTest::TearDown();
    }
    std::string source_;
};

TEST_F(CrossFileSystemTest, ReplacesAcrossFileSystems) {
    const std::string path = source_ + "/file.txt";
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += "line " + std::to_string(i) + "\n";
    }
    WriteFile(path, content, 0750);
    ASSERT_TRUE(engine->ConvertUnixToWin(path));
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        expected += "line " + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(ModeOf(path), 0750u);
    EXPECT_FALSE(Exists(engine->WorkFile()));
    EXPECT_EQ(Names(source_), std::vector<std::string>{"file.txt"});  // no temporary copy left
}

TEST_F(EngineTest, WorkFileCannotBeRedirected) {
    const std::string path = Path("a.txt");
    const std::string victim = Path("victim");
    const struct {
        const char* name;
        std::function<void()> make;
    } cases[] = {
        {"link to a file", [&] {
             WriteFile(victim, "keep");
             ASSERT_EQ(::symlink(victim.c_str(), engine->WorkFile().c_str()), 0);
         }},
        {"dangling link", [&] { ASSERT_EQ(::symlink(victim.c_str(), engine->WorkFile().c_str()), 0); }},
        {"folder", [&] { ASSERT_EQ(::mkdir(engine->WorkFile().c_str(), 0700), 0); }},
        {"fifo", [&] { ASSERT_EQ(::mkfifo(engine->WorkFile().c_str(), 0600), 0); }},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(victim);
        std::filesystem::remove_all(engine->WorkFile());
        WriteFile(path, "a\r\n");
        c.make();
        EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::PathFileAccess) << c.name;
        engine->CloseAllFiles();
        EXPECT_EQ(ReadFile(path), "a\r\n") << c.name;
        if (std::string(c.name) == "link to a file") {
            EXPECT_EQ(ReadFile(victim), "keep");
        } else {
            EXPECT_FALSE(Exists(victim)) << c.name;
        }
    }
}

TEST_F(EngineTest, WorkFileOfAnotherUserIsNotUsed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another user";
    }
    WriteFile(engine->WorkFile(), "theirs", 0666);
    ASSERT_EQ(::chown(engine->WorkFile().c_str(), 65534, 65534), 0);
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\n");
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::PathFileAccess);
    EXPECT_EQ(ReadFile(engine->WorkFile()), "theirs");
    EXPECT_EQ(ReadFile(path), "a\r\n");
}

TEST_F(EngineTest, WorkFileIsPrivate) {
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\n", 0444);  // refused at the end: the work file stays behind
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::PathFileAccess);
    engine->CloseAllFiles();
    EXPECT_EQ(ModeOf(engine->WorkFile()), 0600u);
    // An existing work file with wider permissions is narrowed and emptied before use.
    ::chmod(engine->WorkFile().c_str(), 0666);
    WriteFile(Path("b.txt"), "b\r\n", 0444);
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(Path("b.txt")); }), err::PathFileAccess);
    EXPECT_EQ(ModeOf(engine->WorkFile()), 0600u);
    EXPECT_EQ(ReadFile(engine->WorkFile()), "b\n");
}

TEST_F(EngineTest, ReplacementRefusedByTheFolderLeavesTheSourceWhole) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write into any folder";
    }
    ASSERT_EQ(::mkdir(Path("locked").c_str(), 0755), 0);
    const std::string path = Path("locked/a.txt");
    WriteFile(path, "a\r\n");
    ASSERT_EQ(::chmod(Path("locked").c_str(), 0555), 0);
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::PermissionDenied);
    EXPECT_EQ(ReadFile(path), "a\r\n");
}

}  // namespace
}  // namespace tidelin::test
