// The folder walk on real trees.
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tidelin/folder_walk.h"
#include "process_limits.h"
#include "walk_plan.h"
#include "test_support.h"
#include "tool_runner.h"

namespace tidelin::test {
namespace {

const std::string Protected = "!_ Ошибка 75 Системные, скрытые и файлы только для чтения не перезаписываются. - ";
const std::string TooLong = "!_ Ошибка 52 Неверное имя файла. - ";
const std::string SystemFile = "!_ Ошибка 75 Системные файлы (ссылки, каналы, устройства) не изменяются. - ";

class FolderWalkTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        host.skipBinary = true;
        tree_ = Path("tree");
        ASSERT_EQ(::mkdir(tree_.c_str(), 0755), 0);
    }
    // Creates the file `relative` below the tree, creating the folders on the way.
    std::string Make(const std::string& relative, const std::string& content, unsigned mode = 0644) {
        const std::string path = tree_ + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::remove(path);  // a read-only file of an earlier step
        WriteFile(path, content, mode);
        return path;
    }
    std::string tree_;
};

TEST(PlanWalkTest, ConvertingThreadsFitTheDescriptorsLeft) {
    // TIDELIN_THREADS counts the converting threads; the walk's own comes on top of two or
    // more. One thread, or descriptors for one worker only, is the walk on its own thread.
    const struct {
        unsigned threads;
        std::size_t free;
        WalkPlan plan;
    } cases[] = {
        {1, 1024, {0, 0, 200}},  {2, 1024, {2, 400, 200}}, {4, 1024, {4, 400, 200}},
        {64, 1024, {64, 400, 200}}, {4, 100, {4, 80, 40}},  {4, 51, {0, 0, 41}},
        {4, 40, {0, 0, 30}},     {2, 9, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        const WalkPlan plan = PlanWalk(c.threads, c.free);
        EXPECT_EQ(plan.workers, c.plan.workers) << c.threads << " threads, " << c.free << " descriptors";
        EXPECT_EQ(plan.inFlight, c.plan.inFlight) << c.threads << " threads, " << c.free << " descriptors";
        EXPECT_EQ(plan.batchFiles, c.plan.batchFiles) << c.threads << " threads, " << c.free << " descriptors";
    }
}

TEST(NormaliseWalkFolderTest, Cases) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        // Blanks belong to the name: a Linux name may begin or end with one.
        {"/data/x", "/data/x"},   {"/data/x/", "/data/x"}, {"  /data/x  ", "  /data/x  "},
        {"/data/x /", "/data/x "}, {"/data/x//", "/data/x/"}, {"", ""},
        {"    ", ""},             {"/", ""},               {"//", ""},
        {" /", ""},               {"data", ""},            {"data/", ""},
        {"a/b", "a/b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormaliseWalkFolder(c.in), c.out) << "'" << c.in << "'";
    }
}

TEST_F(FolderWalkTest, FilesBeforeSubfoldersDepthFirstInByteOrder) {
    // Every file is read-only, so each one leaves an entry in the order it was visited.
    for (const char* name : {"y/d.txt", "x/z/e.txt", "b.txt", "x/c.txt", "a.txt"}) {
        Make(name, "1\r\n", 0444);
    }
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    std::vector<std::string> expected;
    for (const char* name : {"a.txt", "b.txt", "x/c.txt", "x/z/e.txt", "y/d.txt"}) {
        expected.push_back(Protected + tree_ + "/" + name);
    }
    EXPECT_EQ(log.Entries(), expected);
    EXPECT_EQ(ReadFile(tree_ + "/x/z/e.txt"), "1\r\n");
}

TEST_F(FolderWalkTest, SpellingsOfTheSameFolderWalkIdentically) {
    Make("a.txt", "a\r\n", 0444);  // read-only: never rewritten, so made once
    for (const std::string& spelling : {tree_, tree_ + "/"}) {
        log.Clear();
        Make("sub/b.txt", "b\r\n");
        ConvertFolderTree(*engine, spelling, Direction::WinToUnix);
        EXPECT_EQ(log.Entries(), std::vector<std::string>{Protected + tree_ + "/a.txt"}) << spelling;
        EXPECT_EQ(ReadFile(tree_ + "/sub/b.txt"), "b\n") << spelling;
    }
    // A folder whose name ends in a blank is another folder, walked as chosen.
    const std::string blank = tree_ + " ";
    ASSERT_EQ(::mkdir(blank.c_str(), 0755), 0);
    WriteFile(blank + "/c.txt", "c\r\n");
    ConvertFolderTree(*engine, blank + "/", Direction::UnixToWin);
    EXPECT_EQ(ReadFile(blank + "/c.txt"), "c\r\n");
    EXPECT_EQ(ReadFile(tree_ + "/sub/b.txt"), "b\n");
}

TEST_F(FolderWalkTest, NothingIsWalkedForPathsThatAreNotFolders) {
    const std::string file = Make("a.txt", "a\r\n");
    ASSERT_EQ(::chdir(tree_.c_str()), 0);  // the fixture puts the working folder back
    ASSERT_EQ(::symlink(tree_.c_str(), Path("link-to-tree").c_str()), 0);
    for (const std::string& folder :
         {std::string(), std::string("   "), std::string("a.txt"), file, file + "/", Path("missing"),
          std::string("."), Path("link-to-tree"), " " + tree_, tree_ + " "}) {
        ConvertFolderTree(*engine, folder, Direction::WinToUnix);
        EXPECT_EQ(ReadFile(file), "a\r\n") << folder;
    }
    EXPECT_TRUE(log.Entries().empty());
}

TEST(IsRootFolderTest, TheRootHoweverSpelled) {
    // Only looked at, never walked.
    const std::string here = std::filesystem::current_path().string();
    std::string up = here;
    for (std::size_t i = 0; i < static_cast<std::size_t>(std::count(here.begin(), here.end(), '/')); ++i) {
        up += "/..";
    }
    const struct {
        std::string folder;
        bool root;
    } cases[] = {
        {"/", true},         {"//", true},        {"/.", true},           {"/tmp/..", true},
        {"/tmp/../.", true}, {"/tmp/../", true},  {up, true},             {up + "/.", true},
        {"/tmp", false},     {here, false},       {"", false},            {"/no such folder/..", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsRootFolder(c.folder), c.root) << "'" << c.folder << "'";
    }
}

// Runs `body` in a child process whose root folder is `jail` (a user namespace of its own gives
// a user without privileges the right to change it) and returns what the child wrote to the
// descriptor it got; `status` is the child's exit status, 77 where the system offers no such
// root.
std::string RunInPrivateRoot(const std::string& jail, const std::function<void(int out)>& body, int& status) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        status = -1;
        return {};
    }
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        const auto write = [](const char* path, const std::string& text) {
            const int fd = ::open(path, O_WRONLY);
            const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            ::close(fd);
            return written;
        };
        if (uid != 0 && (::unshare(CLONE_NEWUSER) != 0 || !write("/proc/self/setgroups", "deny") ||
                         !write("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
                         !write("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))) {
            ::_exit(77);
        }
        if (::chroot(jail.c_str()) != 0 || ::chdir("/") != 0) {
            ::_exit(77);
        }
        body(pipeFds[1]);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    int raw = 0;
    ::waitpid(child, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

// Copies `program` and the libraries it loads to the same places below `jail`, so that it runs
// with `jail` as its root.
[[maybe_unused]] void CopyProgramInto(const std::string& jail, const std::string& program) {
    std::vector<std::string> files = {program};
    FILE* ldd = ::popen(("ldd '" + program + "'").c_str(), "r");
    ASSERT_NE(ldd, nullptr);
    char line[4096];
    while (std::fgets(line, sizeof line, ldd) != nullptr) {
        std::string text = line;
        const std::size_t slash = text.find('/');
        if (slash != std::string::npos) {
            files.push_back(text.substr(slash, text.find(' ', slash) - slash));
        }
    }
    ::pclose(ldd);
    for (const std::string& file : files) {
        std::filesystem::create_directories(jail + std::filesystem::path(file).parent_path().string());
        std::filesystem::copy_file(file, jail + file);
    }
}

// A folder that is the root, however spelled, is never walked: tried with the root of a
// private root folder, where a walk that went ahead could harm nothing outside it.
TEST_F(FolderWalkTest, TheRootIsNeverWalkedHoweverSpelled) {
    const std::string jail = Path("jail");
    std::filesystem::create_directories(jail + "/tmp/sub");
    std::filesystem::create_directories(jail + "/etc");
    WriteFile(jail + "/a.txt", "a\r\n");
    WriteFile(jail + "/etc/b.conf", "b\r\n");
    ASSERT_EQ(::symlink("/", (jail + "/tmp/to-root").c_str()), 0);
#if !defined(__SANITIZE_ADDRESS__)  // its runtime needs /proc, which the private root lacks
    CopyProgramInto(jail, TIDELIN_CONVERT_TOOL);
    const bool withTool = true;
#else
    const bool withTool = false;
#endif
    // Each spelling, and the path the tool names it by (a relative path made absolute, the
    // separators and the trailing "." it drops).
    const std::vector<std::pair<std::string, std::string>> spellings = {
        {"/", "/"},             {"//", "/"},           {"/.", "/"},
        {"/tmp/..", "/tmp/.."}, {"/etc/..", "/etc/.."}, {"/tmp/../.", "/tmp/.."},
        {"/tmp/sub/../..", "/tmp/sub/../.."}, {"/tmp/to-root", "/tmp/to-root"}};
    int status = 0;
    const std::string out = RunInPrivateRoot(
        jail,
        [&](int fd) {
            std::string report;
            for (const auto& [spelling, named] : spellings) {
                log.Clear();
                const WalkOutcome outcome = ConvertFolderTree(*engine, spelling, Direction::WinToUnix);
                if (!outcome.rootRefused || outcome.Clean() || outcome.converted != 0) {
                    report += "walked or not refused: " + spelling + "\n";
                }
                for (const std::string& entry : log.Entries()) {
                    report += entry + "\n";
                }
                if (withTool) {
                    const pid_t tool = ::fork();
                    if (tool == 0) {
                        const int sink = ::open("/tool.err", O_WRONLY | O_CREAT | O_TRUNC, 0600);
                        ::dup2(sink, 1);
                        ::dup2(sink, 2);
                        ::execl(TIDELIN_CONVERT_TOOL, "tidelin-convert", "--win-to-unix", "--folder",
                                spelling.c_str(), static_cast<char*>(nullptr));
                        ::_exit(127);
                    }
                    int raw = 0;
                    ::waitpid(tool, &raw, 0);
                    report += "status " + std::to_string(WEXITSTATUS(raw)) + ": " + ReadFile("/tool.err");
                    ::unlink("/tool.err");
                }
            }
            (void)!::write(fd, report.data(), report.size());
        },
        status);
    if (status == 77) {
        GTEST_SKIP() << "no private root folder can be had here";
    }
    ASSERT_EQ(status, 0);
    std::string expected;
    for (const auto& [spelling, named] : spellings) {
        expected += RootFolderEntryPrefix + spelling + "\n";
        if (withTool) {
            expected += "status 1: tidelin-convert: " + named + ": the root folder is never walked\n";
        }
    }
    EXPECT_EQ(out, expected);
    EXPECT_EQ(ReadFile(jail + "/a.txt"), "a\r\n");
    EXPECT_EQ(ReadFile(jail + "/etc/b.conf"), "b\r\n");
}

TEST_F(FolderWalkTest, EachDirectionConvertsItsWay) {
    const std::string file = Make("a.txt", "a\r\n");
    ConvertFolderTree(*engine, tree_, Direction::UnixToWin);
    EXPECT_EQ(ReadFile(file), "a\r\n");
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(ReadFile(file), "a\n");
    EXPECT_TRUE(log.Entries().empty());
}

TEST_F(FolderWalkTest, AFailureNeitherStopsTheWalkNorLeavesFilesOpen) {
    Make("1.txt", "1\r\n");
    // Changed by another program while its converted copy waits to replace it.
    const std::string changed = Make("1b.txt", "1b\r\n");
    Make("2.txt", "2\r\n", 0444);
    Make("2b.bin", std::string("\0\r\n", 3));
    MakeSparseFile(tree_ + "/2c.big", Engine::MaxFileSize + 1);
    Make("3.txt", "3\r\n");
    Make("later/4.txt", "4\r\n", 0444);
    Make("later/5.txt", "5\r\n");
    Make(".hidden-folder/6.txt", "6\r\n");
    Make(".hidden-file", "7\r\n");
    const BeforePublish change([&](const std::string& target) {
        if (target == changed) {
            WriteFile(changed, "other\r\n");
        }
    });
    const WalkOutcome outcome = ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    // The entries come in the walk's order, whenever each file's failure showed.
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{Protected + tree_ + "/.hidden-file",
                                                       "!_ Ошибка 57 Файл изменился во время чтения. - " + changed,
                                                       Protected + tree_ + "/2.txt",
                                                       "!_  Бинарный файл: " + tree_ + "/2b.bin",
                                                       "!_  Размер файла больше 2047 МБ: " + tree_ + "/2c.big",
                                                       Protected + tree_ + "/later/4.txt"}));
    EXPECT_EQ(ReadFile(changed), "other\r\n");
    for (const char* name : {"1.txt", "3.txt", "later/5.txt", ".hidden-folder/6.txt"}) {
        EXPECT_EQ(ReadFile(tree_ + "/" + name).back(), '\n') << name;
        EXPECT_EQ(ReadFile(tree_ + "/" + name).size(), 2u) << name;
    }
    EXPECT_EQ(ReadFile(tree_ + "/2.txt"), "2\r\n");
    // The outcome counts each file once: a refusal by rule apart from a failure.
    EXPECT_EQ(outcome.converted, 4u);
    EXPECT_EQ(outcome.binary, 1u);
    EXPECT_EQ(outcome.tooLarge, 1u);
    EXPECT_EQ(outcome.refused, 3u);
    EXPECT_EQ(outcome.failed, 1u);
    EXPECT_FALSE(outcome.Clean());
    EXPECT_FALSE(outcome.stopped);
    EXPECT_FALSE(engine->Core().Files().IsOpen(OpenFileTable::Source));
    EXPECT_FALSE(engine->Core().Files().IsOpen(OpenFileTable::Work));
}

TEST_F(FolderWalkTest, AStoppedWalkFinishesOnlyTheFilesInHand) {
    // The stop is answered during the host's turn once two files are done, as the window's
    // question is: nothing is replaced while it is open, and afterwards only the files other
    // threads are converting right then (at most one each). Every other file keeps its old
    // content, those whose converted copies waited to be published too; nothing of the
    // program's own is left beside them.
    const int files = 3 * 200;  // more than the batches in flight at once
    const auto converted = [this] {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(tree_)) {
            EXPECT_FALSE(fs::IsCopyName(entry.path().filename().string())) << entry.path();
            count += ReadFile(entry.path().string()) == "x\n";
        }
        return count;
    };
    for (const char* threads : {"1", "4"}) {
        SCOPED_TRACE(std::string(threads) + " threads");
        log.Clear();
        host.filesDone = 0;
        for (int i = 0; i < files; ++i) {
            Make("f" + std::to_string(1000 + i) + ".txt", "x\r\n");
        }
        const Threads set(threads);
        int atStop = -1;
        host.onYield = [&] {
            if (atStop < 0 && host.filesDone >= 2) {
                atStop = converted();
                host.stopAfterFiles = 0;
            }
        };
        const WalkOutcome outcome = ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
        host.onYield = nullptr;
        host.stopAfterFiles = -1;
        EXPECT_TRUE(outcome.stopped);
        EXPECT_TRUE(outcome.Clean());
        const int after = converted();
        EXPECT_LT(after, files);
        EXPECT_LE(after - atStop, std::atoi(threads));
        EXPECT_EQ(outcome.converted, static_cast<std::size_t>(after));
        // The entry names the folder of the last file replaced.
        EXPECT_EQ(log.Entries(), std::vector<std::string>{"!_  Остановлено пользователем: " + tree_});
    }
}

TEST_F(FolderWalkTest, ThreadsThatCannotStartAreNoFailure) {
    // Four threads asked for, none or one of which the system starts: the walk, a large file's
    // read-ahead and the release of its pages fall back to the calling thread.
    const std::string large = Make("large.txt", std::string(3 << 20, 'x') + "\r\n");
    for (int i = 0; i < 300; ++i) {
        Make("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt", "x\r\n");
    }
    const Threads four("4");
    for (const int start : {0, 1}) {
        SetThreadsThatStart(start);
        Engine threaded(host, log);
        ConvertFolderTree(threaded, tree_, start == 0 ? Direction::WinToUnix : Direction::UnixToWin);
        EXPECT_TRUE(threaded.ConvertUnixToWin(large)) << start;
        SetThreadsThatStart(-1);
        EXPECT_EQ(log.Entries(), std::vector<std::string>{}) << start;
        EXPECT_EQ(ReadFile(tree_ + "/d2/f299.txt"), start == 0 ? "x\n" : "x\r\n") << start;
        EXPECT_EQ(ReadFile(large).size(), (3u << 20) + 2) << start;
    }
}

// Hard links inside one tree: every name ends with the converted content, as a file of its
// own; the walk's rename of one name is not taken for an edit of the others, while another
// program's edit of the file meanwhile still is.
TEST_F(FolderWalkTest, EveryNameOfAHardLinkedFileIsConverted) {
    const std::string changed = "!_ Ошибка 57 Файл изменился во время чтения. - ";
    for (const char* threads : {"1", "4"}) {
        for (const bool edited : {false, true}) {
            SCOPED_TRACE(std::string(threads) + (edited ? " threads, edited" : " threads"));
            log.Clear();
            std::filesystem::remove_all(tree_);
            const std::string x = Make("x.txt", "x\r\n");
            const std::string y = tree_ + "/y.txt";
            const std::string z = tree_ + "/s/z.txt";
            std::filesystem::create_directories(tree_ + "/s");
            ASSERT_EQ(::link(x.c_str(), y.c_str()), 0);
            ASSERT_EQ(::link(x.c_str(), z.c_str()), 0);
            // Another program appends to the file that y.txt and s/z.txt still name, just before
            // y.txt would be replaced.
            const BeforePublish edit([&](const std::string& target) {
                if (edited && target == y) {
                    std::ofstream(y, std::ios::app) << "more\r\n";
                }
            });
            const Threads set(threads);
            ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
            if (edited) {
                // Each name replaced after the edit is refused and keeps it; on one thread those
                // are y and z. Threads may replace a name of another folder first (z, or x
                // while y's batch goes ahead), and that name then ends converted.
                std::vector<std::string> refused;
                for (const std::string& name : {x, y, z}) {
                    const bool kept = ReadFile(name) == "x\r\nmore\r\n";
                    EXPECT_TRUE(kept || ReadFile(name) == "x\n") << name;
                    if (kept) {
                        refused.push_back(changed + name);
                    }
                }
                EXPECT_EQ(log.Entries(), refused);
                EXPECT_EQ(ReadFile(y), "x\r\nmore\r\n");
                if (std::string(threads) == "1") {
                    EXPECT_EQ(refused, (std::vector<std::string>{changed + y, changed + z}));
                }
            } else {
                EXPECT_EQ(ReadFile(x), "x\n");
                EXPECT_EQ(log.Entries(), std::vector<std::string>{});
                EXPECT_EQ(ReadFile(y), "x\n");
                EXPECT_EQ(ReadFile(z), "x\n");
                struct stat a {}, b {}, c {};
                ASSERT_EQ(::stat(x.c_str(), &a) | ::stat(y.c_str(), &b) | ::stat(z.c_str(), &c), 0);
                EXPECT_TRUE(a.st_ino != b.st_ino && b.st_ino != c.st_ino && a.st_ino != c.st_ino);
                EXPECT_EQ(a.st_nlink + b.st_nlink + c.st_nlink, 3u);
            }
        }
    }
}

TEST_F(FolderWalkTest, EachFileIsConvertedExactlyOnce) {
    // Converting CR CR LF twice would leave LF: once leaves CR LF.
    for (int i = 0; i < 200; ++i) {
        Make("f" + std::to_string(i) + ".txt", "x\r\r\n");
    }
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(ReadFile(tree_ + "/f" + std::to_string(i) + ".txt"), "x\r\n") << i;
    }
    EXPECT_TRUE(log.Entries().empty());
}

TEST_F(FolderWalkTest, LinksAreLoggedAndNeverFollowed) {
    Make("a.txt", "a\r\n");
    Make("sub/b.txt", "b\r\n");
    const std::string outside = Make("../outside.txt", "o\r\n");
    ASSERT_EQ(::symlink(tree_.c_str(), (tree_ + "/loop").c_str()), 0);
    ASSERT_EQ(::symlink(tree_.c_str(), (tree_ + "/sub/up").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (tree_ + "/to-file").c_str()), 0);
    ASSERT_EQ(::mkfifo((tree_ + "/fifo").c_str(), 0644), 0);
    const WalkOutcome outcome = ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(outcome.converted, 2u);
    EXPECT_EQ(outcome.refused, 4u);
    EXPECT_EQ(outcome.failed, 0u);
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{SystemFile + tree_ + "/fifo",
                                                       SystemFile + tree_ + "/loop",
                                                       SystemFile + tree_ + "/to-file",
                                                       SystemFile + tree_ + "/sub/up"}));
    EXPECT_EQ(ReadFile(tree_ + "/a.txt"), "a\n");
    EXPECT_EQ(ReadFile(tree_ + "/sub/b.txt"), "b\n");
    EXPECT_EQ(ReadFile(outside), "o\r\n");
}

TEST_F(FolderWalkTest, BinaryFilesGetTheirOwnEntryOnly) {
    const std::string binary = Make("data.bin", std::string("\0\r\n", 3));
    Make("text.txt", "t\r\n");
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(log.Entries(), std::vector<std::string>{"!_  Бинарный файл: " + binary});
    EXPECT_EQ(ReadFile(binary), std::string("\0\r\n", 3));
    host.skipBinary = false;
    log.Clear();
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_EQ(ReadFile(binary), std::string("\0\n", 2));
}

TEST_F(FolderWalkTest, AnErrorEntryRecordsTheWidthOfItsPath) {
    const std::string shortPath = Make("a", "a\r\n", 0444);
    const std::string longPath = Make("a-much-longer-name.txt", "a\r\n", 0444);
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(host.widthSubjects, (std::vector<std::string>{shortPath, longPath}));
}

TEST_F(FolderWalkTest, DeepChainOfAThousandFolders) {
    std::string relative;
    for (int depth = 0; depth < 1000; ++depth) {
        relative += "d/";
    }
    Make(relative + "deep.txt", "deep\r\n");
    Make("d/d/shallow.txt", "shallow\r\n", 0444);
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(ReadFile(tree_ + "/" + relative + "deep.txt"), "deep\n");
    EXPECT_EQ(log.Entries(), std::vector<std::string>{Protected + tree_ + "/d/d/shallow.txt"});
}

TEST_F(FolderWalkTest, UnreadableFolderIsLoggedAndTheWalkGoesOn) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    Make("closed/a.txt", "a\r\n");
    Make("open/b.txt", "b\r\n");
    ASSERT_EQ(::chmod((tree_ + "/closed").c_str(), 0000), 0);
    const WalkOutcome outcome = ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(outcome.unlistedFolders, 1u);
    EXPECT_EQ(outcome.converted, 1u);
    EXPECT_EQ(log.Entries(), std::vector<std::string>{"!_ Ошибка 70 Доступ запрещён. - " + tree_ + "/closed"});
    EXPECT_EQ(ReadFile(tree_ + "/open/b.txt"), "b\n");
}

TEST_F(FolderWalkTest, PathTooLongToOpenIsLoggedOnce) {
    // Folders of 200-byte names, 30 levels deep, each with a file: those whose paths fit are
    // converted, the first folder past the limit gets one entry, and nothing below it is seen.
    const std::string name(200, 'n');
    const std::string CopyBeside = "/" + fs::NewCopyName();
    int fd = ::open(tree_.c_str(), O_RDONLY | O_DIRECTORY);
    std::string path = tree_;
    std::vector<std::string> expected;  // the walk's entries, in order
    for (int level = 0; level < 30; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        const int file = ::openat(fd, "f.txt", O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::write(file, "f\r\n", 3), 3);
        ::close(file);
        const bool aboveFits = path.size() + 1 <= PATH_MAX;
        path += "/" + name;
        if (aboveFits && path.size() + 1 > PATH_MAX) {
            expected.push_back(TooLong + path);
        } else if (path.size() + 1 <= PATH_MAX && path.size() + CopyBeside.size() + 1 > PATH_MAX) {
            // The folder fits, but not its file or the copy that would be made beside it.
            expected.push_back(TooLong + path + "/f.txt");
        }
    }
    ::close(fd);
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(log.Entries(), expected);
    EXPECT_EQ(ReadFile(tree_ + "/" + name + "/f.txt"), "f\n");
}

// The program's copies beside sources: only one with the copies' marked name that this user
// owns, with one link, that no running conversion holds is removed, by a walk or by a
// single-file run in its folder, and a marked one is never converted. A user's file merely
// named like one is met like any other hidden file.
TEST_F(FolderWalkTest, OnlyAbandonedMarkedCopiesAreRemoved) {
    struct Case {
        std::string name;
        unsigned mode;
        enum { Abandoned, Held, Linked, OtherUser, UsersOwn } kind;
    };
    const std::vector<Case> cases = {
        {fs::NewCopyName(), 0600, Case::Abandoned},
        {fs::NewCopyName(), 0644, Case::Abandoned},  // already carries its source's mode
        {fs::NewCopyName(), 0600, Case::Held},       // a running conversion's
        {fs::NewCopyName(), 0600, Case::Linked},
        {fs::NewCopyName(), 0600, Case::OtherUser},
        {".k5ywhqx-notes1", 0600, Case::UsersOwn},
        {".k5ywhqx-" + std::string(16, 'a'), 0600, Case::UsersOwn},  // a copy's length, no mark
    };
    for (const bool walk : {true, false}) {
        const std::string file = Make(walk ? "walk/a.txt" : "single/a.txt", "a\r\n");
        const std::string dir = fs::FolderOf(file);
        std::vector<int> holders;
        std::vector<std::string> expected;
        for (const Case& c : cases) {
            const std::string path = dir + "/" + c.name;
            WriteFile(path, "copy\r\n", c.mode);
            if (c.kind == Case::Held) {
                holders.push_back(::open(path.c_str(), O_RDONLY));
                ASSERT_EQ(::flock(holders.back(), LOCK_EX), 0);
            } else if (c.kind == Case::Linked) {
                ASSERT_EQ(::link(path.c_str(), Path(c.name + (walk ? "w" : "s")).c_str()), 0);
            } else if (c.kind == Case::OtherUser && ::geteuid() == 0) {
                ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
            } else if (c.kind == Case::UsersOwn) {
                expected.push_back(Protected + path);
            }
        }
        if (walk) {
            ConvertFolderTree(*engine, dir, Direction::WinToUnix);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(log.Entries(), expected);
        } else {
            EXPECT_TRUE(engine->ConvertWinToUnix(file));
        }
        EXPECT_EQ(ReadFile(file), "a\n");
        for (const Case& c : cases) {
            const bool removed = c.kind == Case::Abandoned ||
                                 (c.kind == Case::OtherUser && ::geteuid() != 0);
            EXPECT_EQ(Exists(dir + "/" + c.name), !removed) << c.name << (walk ? " walk" : " single");
            if (!removed) {
                EXPECT_EQ(ReadFile(dir + "/" + c.name), "copy\r\n") << c.name;
            }
        }
        for (const int holder : holders) {
            ::close(holder);
        }
        log.Clear();
    }
}

TEST_F(FolderWalkTest, AWalkFitsTheDescriptorsTheProcessMayOpen) {
    // A batch of copies alone would need 200 descriptors. With room for 40 more the walk fits
    // itself to them; with room for one, each file fails on its own with error 67.
    for (int i = 0; i < 300; ++i) {
        Make("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt", "x\r\n");
    }
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const struct {
        std::size_t room;
        bool converted;
    } cases[] = {{40, true}, {1, false}};
    for (const auto& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizers' runtime opens a pipe of its own to check memory: with no descriptor
        // to spare it reports its own failure, not the walk's.
        if (!c.converted) {
            continue;
        }
#endif
        log.Clear();
        // The limit bounds the descriptors' numbers: leave exactly `room` free numbers below it.
        rlimit limited = saved;
        limited.rlim_cur = 0;
        for (std::size_t free = 0; free < c.room; ++limited.rlim_cur) {
            free += ::fcntl(static_cast<int>(limited.rlim_cur), F_GETFD) == -1 ? 1 : 0;
        }
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
        ConvertFolderTree(*engine, tree_, c.converted ? Direction::WinToUnix : Direction::UnixToWin);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        if (c.converted) {
            EXPECT_EQ(log.Entries(), std::vector<std::string>{}) << c.room;
            EXPECT_EQ(ReadFile(tree_ + "/d2/f299.txt"), "x\n");
        } else {
            ASSERT_EQ(log.Entries().size(), 300u);
            EXPECT_EQ(log.Entries()[0], "!_ Ошибка 67 Слишком много открытых файлов. - " + tree_ + "/d0/f0.txt");
            EXPECT_EQ(ReadFile(tree_ + "/d0/f0.txt"), "x\n");
        }
    }
}

class FolderToolTest : public TempFolderTest {};

TEST_F(FolderToolTest, PrintsEveryEntryThenCompletion) {
    const std::string tree = Path("tree");
    std::filesystem::create_directories(tree + "/sub");
    WriteFile(tree + "/a.txt", "a\r\n", 0444);
    WriteFile(tree + "/sub/b.bin", std::string("\0", 1));
    WriteFile(tree + "/sub/c.txt", "c\r\n");
    ToolResult result = RunConvertTool({"--win-to-unix", "--folder", tree + "/"}, Root());
    EXPECT_EQ(result.status, 1);  // the walk logged an error entry
    EXPECT_EQ(result.out, Protected + tree + "/a.txt\n!_  Бинарный файл: " + tree +
                              "/sub/b.bin\nОперация завершена.\n");
    EXPECT_EQ(ReadFile(tree + "/sub/c.txt"), "c\n");

    // Every file skipped or failed: the walk ran, so it still reports completion.
    result = RunConvertTool({"--unix-to-win", "--folder", tree + "/sub"}, Root());
    EXPECT_EQ(result.out, "!_  Бинарный файл: " + tree + "/sub/b.bin\nОперация завершена.\n");

    EXPECT_EQ(result.status, 0);

    result = RunConvertTool({"--unix-to-win", "--folder", Path("missing")}, Root());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tidelin-convert: " + Path("missing") + ": no such folder\n");
}

}  // namespace
}  // namespace tidelin::test
