// How a converted file takes the place of its source, and how the work file is guarded.
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "tidelin/errors.h"
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
    // The named work file (in the temporary folder, on another file system) is copied beside
    // the source; an unnamed one is made there in the first place.
    const std::string path = source_ + "/file.txt";
    std::string content;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        content += "line " + std::to_string(i) + "\n";
        expected += "line " + std::to_string(i) + "\r\n";
    }
    for (const bool unnamed : {false, true}) {
        std::unique_ptr<NamedWorkFileOnly> named(unnamed ? nullptr : new NamedWorkFileOnly);
        WriteFile(path, content, 0750);
        ASSERT_TRUE(engine->ConvertUnixToWin(path));
        EXPECT_TRUE(ReadFile(path) == expected);
        EXPECT_EQ(ModeOf(path), 0750u);
        EXPECT_FALSE(Exists(engine->WorkFile()));
        EXPECT_EQ(Names(source_), std::vector<std::string>{"file.txt"});  // no temporary copy left
    }
}

TEST_F(EngineTest, WorkFileNeverGoesThroughAnExistingEntry) {
    // Entries that appear at the work file's name after it was chosen: the conversion moves on
    // to a free name and writes through none of them, and the unload step leaves them alone.
    NamedWorkFileOnly named;
    const std::string path = Path("a.txt");
    const std::string victim = Path("victim");
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        bool needsRoot;
    } cases[] = {
        {"link to a file", [&](const std::string& at) { ASSERT_EQ(::symlink(victim.c_str(), at.c_str()), 0); }, false},
        {"hard link to a file", [&](const std::string& at) { ASSERT_EQ(::link(victim.c_str(), at.c_str()), 0); }, false},
        {"dangling link", [&](const std::string& at) { ASSERT_EQ(::symlink(Path("nowhere").c_str(), at.c_str()), 0); }, false},
        {"folder", [](const std::string& at) { ASSERT_EQ(::mkdir(at.c_str(), 0700), 0); }, false},
        {"fifo", [](const std::string& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }, false},
        {"another user's file", [](const std::string& at) {
             WriteFile(at, "theirs", 0600);
             ASSERT_EQ(::chown(at.c_str(), 65534, 65534), 0);
         }, true},
    };
    for (const auto& c : cases) {
        if (c.needsRoot && ::geteuid() != 0) {
            continue;
        }
        std::filesystem::remove_all(TempDir());
        ASSERT_EQ(::mkdir(TempDir().c_str(), 0700), 0);
        engine->ChooseWorkFile();
        const std::string taken = engine->WorkFile();
        WriteFile(path, "a\r\n");
        WriteFile(victim, "keep", 0666);
        c.make(taken);
        EXPECT_TRUE(engine->ConvertWinToUnix(path)) << c.name;
        EXPECT_EQ(ReadFile(path), "a\n") << c.name;
        EXPECT_EQ(engine->WorkFile(), taken + "0") << c.name;
        engine->Unload();
        EXPECT_EQ(ReadFile(victim), "keep") << c.name;
        EXPECT_TRUE(Exists(taken)) << c.name;
        EXPECT_FALSE(Exists(Path("nowhere"))) << c.name;
    }
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TEST_F(EngineTest, CopyIsPrivateUntilItTakesTheSourcesPlace) {
    // A world-writable source (as root, another user's): while the conversion runs, nothing
    // new is named beside it, and the named work file is the user's own with mode 0600.
    const bool root = ::geteuid() == 0;
    for (const bool unnamed : {true, false}) {
        std::unique_ptr<NamedWorkFileOnly> named(unnamed ? nullptr : new NamedWorkFileOnly);
        const std::string path = Path("a.txt");
        WriteFile(path, "a\r\n", 0666);
        if (root) {
            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        }
        int yields = 0;
        host.onYield = [&] {
            ++yields;
            EXPECT_EQ(Names(Root()), (std::vector<std::string>{"a.txt", "tmp"}));
            if (unnamed) {
                EXPECT_TRUE(Names(TempDir()).empty());
            } else {
                EXPECT_EQ(Names(TempDir()), std::vector<std::string>{"k5ywhqx"});
                EXPECT_EQ(StatOf(engine->WorkFile()).st_mode & 07777, 0600u);
                EXPECT_EQ(StatOf(engine->WorkFile()).st_uid, ::geteuid());
            }
        };
        ASSERT_TRUE(engine->ConvertWinToUnix(path)) << unnamed;
        host.onYield = nullptr;
        EXPECT_GT(yields, 0);
        EXPECT_EQ(ReadFile(path), "a\n");
        EXPECT_EQ(ModeOf(path), 0666u);
        EXPECT_EQ(StatOf(path).st_uid, root ? 65534u : ::geteuid());
        EXPECT_EQ(Names(Root()), (std::vector<std::string>{"a.txt", "tmp"}));
        EXPECT_TRUE(Names(TempDir()).empty());
    }
}

// Runs `work` in a child process as the user nobody; returns its exit status.
int AsNobody(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(255);
        }
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(EngineTest, OwnerThatCannotBeKeptRefusesTheFileBeforeAnythingIsWritten) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files to other users";
    }
    ASSERT_EQ(::chmod(Root().c_str(), 0777), 0);
    const struct {
        const char* name;
        uid_t owner;
        gid_t group;
    } cases[] = {
        {"another user's file", 0, 0},
        {"the user's file in a group the user is not in", 65534, 0},
    };
    for (const auto& c : cases) {
        const std::string path = Path("shared.txt");
        WriteFile(path, "a\r\n", 0666);
        ASSERT_EQ(::chown(path.c_str(), c.owner, c.group), 0);
        const int status = AsNobody([&] {
            TestHost nobodyHost;
            MessageLog nobodyLog;
            Engine nobodyEngine(nobodyHost, nobodyLog);
            return ErrorNumberOf([&] { nobodyEngine.ConvertWinToUnix(path); });
        });
        EXPECT_EQ(status, err::PermissionDenied) << c.name;
        EXPECT_EQ(ReadFile(path), "a\r\n") << c.name;
        EXPECT_EQ(StatOf(path).st_uid, c.owner) << c.name;
        EXPECT_EQ(Names(Root()), (std::vector<std::string>{"shared.txt", "tmp"})) << c.name;
    }
}

// The output of a command, or "missing" when it cannot run.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        if (::pclose(pipe) != 0) {
            return "missing";
        }
    }
    return out;
}

TEST_F(EngineTest, AccessListAndAttributesAreKept) {
    if (Output("command -v setfacl setfattr") == "missing") {
        GTEST_SKIP() << "needs setfacl and setfattr (the acl and attr packages)";
    }
    const std::string path = Path("a.txt");
    const std::string quoted = "'" + path + "'";
    const struct {
        const char* name;
        std::string setUp;
        bool needsRoot;
    } cases[] = {
        {"user attribute", "setfattr -n user.note -v kept " + quoted, false},
        // The owning group keeps r-- under a wider mask.
        {"access list with a mask", "setfacl -m u:nobody:rw,g::r,m::rw " + quoted, false},
        {"access list of groups", "setfacl -m g:nogroup:r,o::- " + quoted, false},
        // The folder's default list reaches a new file; a source without one must not get it.
        {"folder default, file without a list",
         "setfacl -d -m u:nobody:rwx '" + Root() + "' && setfacl -b " + quoted, false},
        {"security attribute", "setfattr -n security.tidelin -v kept " + quoted, true},
        {"trusted attribute", "setfattr -n trusted.tidelin -v kept " + quoted, true},
    };
    for (const bool unnamed : {true, false}) {
        std::unique_ptr<NamedWorkFileOnly> named(unnamed ? nullptr : new NamedWorkFileOnly);
        for (const auto& c : cases) {
            if (c.needsRoot && ::geteuid() != 0) {
                continue;
            }
            Output("setfacl -b -k '" + Root() + "'");
            std::filesystem::remove(path);
            WriteFile(path, "a\r\n", 0640);
            ASSERT_NE(Output(c.setUp), "missing") << c.name;
            const std::string dump = "getfacl -cp " + quoted + "; getfattr -d -m - " + quoted;
            const std::string before = Output(dump);
            ASSERT_TRUE(engine->ConvertWinToUnix(path)) << c.name;
            EXPECT_EQ(ReadFile(path), "a\n") << c.name;
            EXPECT_EQ(Output(dump), before) << c.name << (unnamed ? " unnamed" : " named");
        }
    }
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
