// The headless driver, run as a separate process.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>
#include <utility>

#include "filesystem.h"
#include "test_support.h"
#include "tool_runner.h"

namespace tidelin::test {

ToolResult RunConvertTool(const std::vector<std::string>& args, const std::string& scratchFolder,
                          const std::string& workingFolder, const std::string& input,
                          const std::string& environment) {
    std::string command = "env -u LANGUAGE LC_ALL=C " + environment + " '" TIDELIN_CONVERT_TOOL "'";
    if (!workingFolder.empty()) {
        command = "cd '" + workingFolder + "' && " + command;
    }
    for (const auto& arg : args) {
        command += " '" + arg + "'";
    }
    const std::string out = scratchFolder + "/tool.out";
    const std::string err = scratchFolder + "/tool.err";
    command += " >'" + out + "' 2>'" + err + "' <'" + input + "'";
    const int raw = std::system(command.c_str());
    ToolResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return result;
}

namespace {

class ConvertToolTest : public TempFolderTest {
  protected:
    ToolResult Run(const std::vector<std::string>& args) { return RunConvertTool(args, Root()); }
};

// A terminal for standard input, or nothing ("/dev/null") where no pseudo-terminal can be had.
class Terminal {
  public:
    Terminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            path_ = ::ptsname(master_);
        }
    }
    ~Terminal() {
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    const std::string& Path() const { return path_; }

  private:
    int master_;
    std::string path_;
};

TEST_F(ConvertToolTest, UsageErrorsExitWithTwo) {
    const Terminal terminal;
    // Without a target, standard input is the target unless it is a terminal.
    const std::string tty = terminal.Path();
    const std::string none = "/dev/null";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, none},
        {{"--file", Path("a")}, none},
        {{"--win-to-unix", "--unix-to-win", "--file", Path("a")}, none},
        {{"--win-to-unix", "--file"}, none},
        {{"--win-to-unix", "--file", Path("a"), "--folder"}, none},
        {{"--win-to-unix", "--file", ""}, none},
        {{"--win-to-unix", "--bogus", "--file", Path("a")}, none},
        {{"--bogus", "--help"}, none},
        {{"--info", "--unix-to-win", "--win-to-unix"}, none},
        {{"--win-to-unix", "--file", "-", "--file", Path("a")}, none},
        {{"--info", "--folder", Path("a"), "--file", "-"}, none},
        {{"--win-to-unix"}, tty},
        {{"--info", "--unix-to-win"}, tty},
    };
    for (const auto& [args, input] : cases) {
        if (input.empty()) {
            std::cout << "no pseudo-terminal here: a row for a terminal is left out\n";
            continue;
        }
        const ToolResult result = RunConvertTool(args, Root(), "", input);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("usage:"), std::string::npos);
        EXPECT_EQ(result.out, "");
    }
}

// The tool's own texts follow the locale; the entries, the engine's descriptions and
// "Операция завершена." stay as they are. The Russian locale is made here, in a private
// folder, so that it exists whoever runs the test.
TEST_F(ConvertToolTest, HelpAndVersionExitWithZeroInTheUsersLanguage) {
    const std::string locales = Path("locales");
    std::filesystem::create_directory(locales);
    ASSERT_EQ(std::system(("localedef -i ru_RU -f UTF-8 '" + locales + "/ru_RU.UTF-8' 2>/dev/null").c_str()), 0)
        << "localedef (package locales) could not make ru_RU.UTF-8";
    const std::string russian = "LOCPATH='" + locales + "' LC_ALL=ru_RU.UTF-8";
    const std::string version = "tidelin-convert (Tidelin) " TIDELIN_VERSION "\n";
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\n");
    struct Case {
        std::vector<std::string> args;
        std::string environment;
        int status;
        std::string out;  // found in standard output
        std::string err;  // found in standard error
    };
    const std::vector<Case> cases = {
        {{"--help"}, "", 0, "Exit status:", ""},
        {{"--win-to-unix", "--help", "--bogus"}, "", 0, "--folder PATH", ""},
        {{"--version"}, "", 0, version, ""},
        {{"--file", Path("a"), "--version"}, "", 0, version, ""},
        {{"--help"}, "LANG=ru_RU.UTF-8 LC_ALL= LOCPATH='" + locales + "'", 0, "Код возврата:", ""},
        {{"--help"}, russian, 0, "  --folder ПУТЬ     преобразовать каждый файл", ""},
        {{"--version"}, russian, 0, version, ""},
        {{"--bogus"}, russian, 2, "", "tidelin-convert: неизвестный аргумент: --bogus\nиспользование:"},
        {{"--win-to-unix", "--file", Path("missing")}, russian, 1, "", "Error 53 Файл не найден. - "},
        {{"--win-to-unix", "--file", path}, russian, 0, "Операция завершена.\n", ""},
    };
    for (const Case& c : cases) {
        const ToolResult result = RunConvertTool(c.args, Root(), "", "/dev/null", c.environment);
        SCOPED_TRACE(c.environment + " " + c.args[0]);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(result.err.empty(), c.err.empty()) << result.err;
    }
}

TEST_F(ConvertToolTest, ConvertsAFileAndReportsCompletion) {
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\nb\r\n");
    ToolResult result = Run({"--win-to-unix", "--file", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Операция завершена.\n");
    EXPECT_EQ(ReadFile(path), "a\nb\n");
    result = Run({"--unix-to-win", "--file", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(ReadFile(path), "a\r\nb\r\n");
    EXPECT_FALSE(Exists(TempDir() + "/k5ywhqx"));
}

TEST_F(ConvertToolTest, BinaryFileIsSkippedUnlessAskedOtherwise) {
    const std::string path = Path("a.bin");
    WriteFile(path, std::string("\0\r\n", 3));
    ToolResult result = Run({"--win-to-unix", "--file", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "!_  Бинарный файл: " + path + "\n");
    EXPECT_EQ(ReadFile(path), std::string("\0\r\n", 3));
    result = Run({"--win-to-unix", "--convert-binary", "--file", path});
    EXPECT_EQ(result.out, "Операция завершена.\n");
    EXPECT_EQ(ReadFile(path), std::string("\0\n", 2));
}

TEST_F(ConvertToolTest, FailureIsReportedOnStandardErrorAndTheWorkFileRemoved) {
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\n", 0444);
    const ToolResult result = Run({"--win-to-unix", "--file", path});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "Error 75 Системные, скрытые и файлы только для чтения не перезаписываются. - " +
                  path + "\n");
    EXPECT_EQ(ReadFile(path), "a\r\n");
    EXPECT_FALSE(Exists(TempDir() + "/k5ywhqx"));

    // A failure of the system names the system's own cause after the tool's message.
    const ToolResult missing = Run({"--unix-to-win", "--file", Path("missing")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Error 53 Файл не найден. - " + Path("missing") +
                               ": No such file or directory (errno 2)\n");
}

TEST_F(ConvertToolTest, ReplacementRefusedByTheFolderNamesTheSystemCause) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write into any folder";
    }
    ASSERT_EQ(::mkdir(Path("locked").c_str(), 0755), 0);
    const std::string path = Path("locked/a.txt");
    WriteFile(path, "a\r\n");
    ASSERT_EQ(::chmod(Path("locked").c_str(), 0555), 0);
    const ToolResult result = Run({"--win-to-unix", "--file", path});
    ::chmod(Path("locked").c_str(), 0755);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "Error 70 Доступ запрещён. - " + path + ": Permission denied (errno 13)\n");
    EXPECT_EQ(ReadFile(path), "a\r\n");
}

// Targets given by relative names, through links and of the wrong kind, run from the test's
// folder: each is converted or reported in turn, and the exit status sums them up.
TEST_F(ConvertToolTest, EveryTargetIsConvertedOrReportedWithItsPath) {
    const std::string root = std::filesystem::canonical(Root()).string();
    std::filesystem::create_directory(root + "/dir");
    std::filesystem::create_directory_symlink("dir", root + "/dirlink");
    std::filesystem::create_symlink("a.txt", root + "/filelink");
    std::filesystem::create_symlink("gone", root + "/dangling");
    WriteFile(root + "/bin.dat", std::string("\0\r\n", 3));
    const std::string done = "Операция завершена.\n";
    const std::string systemFile =
        "Error 75 Системные файлы (ссылки, каналы, устройства) не изменяются. - ";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
        std::vector<std::string> converted;
    };
    const std::vector<Case> cases = {
        {{"--file", "a.txt", "--folder", "dir", "--file", "a.txt"},
         0,
         done + done + done,
         "",
         {"a.txt", "dir/c.txt"}},
        {{"--folder", "./dirlink/"}, 0, done, "", {"dir/c.txt"}},
        {{"--file", "./bin.dat"}, 0, "!_  Бинарный файл: " + root + "/bin.dat\n", "", {}},
        {{"--file", "filelink"}, 1, "", systemFile + root + "/filelink\n", {}},
        {{"--folder", "missing", "--file", "a.txt"},
         1,
         done,
         "tidelin-convert: " + root + "/missing: no such folder\n",
         {"a.txt"}},
        {{"--folder", "a.txt"}, 1, "", "tidelin-convert: " + root + "/a.txt: not a folder\n", {}},
        {{"--folder", "filelink"},
         1,
         "",
         "tidelin-convert: " + root + "/filelink: not a folder\n",
         {}},
        {{"--folder", "dangling"},
         1,
         "",
         "tidelin-convert: " + root + "/dangling: a link that leads nowhere\n",
         {}},
    };
    for (const Case& c : cases) {
        WriteFile(root + "/a.txt", "x\r\n");
        WriteFile(root + "/dir/c.txt", "x\r\n");
        std::vector<std::string> args = {"--win-to-unix"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult result = RunConvertTool(args, Root(), root);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        for (const std::string name : {"a.txt", "dir/c.txt"}) {
            const bool converted =
                std::find(c.converted.begin(), c.converted.end(), name) != c.converted.end();
            EXPECT_EQ(ReadFile(root + "/" + name), converted ? "x\n" : "x\r\n") << name;
        }
    }
    // A folder given as a file fails like any file that is not a regular one.
    const ToolResult folder = Run({"--win-to-unix", "--file", root + "/dir"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find(" - " + root + "/dir\n"), std::string::npos) << folder.err;
}

TEST_F(ConvertToolTest, RunsBesideTheWindow) {
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\n");
    const auto lock = fs::InstanceLock::Acquire();
    ASSERT_EQ(lock.GetState(), fs::InstanceLock::State::Acquired);
    const ToolResult result = Run({"--win-to-unix", "--file", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(ReadFile(path), "a\n");
}

// A folder walk killed at any moment leaves every file with its old or its new content; once a
// later walk has run, nothing of the program's own is left beside them.
TEST_F(ConvertToolTest, WalkKilledAtAnyMomentLeavesEveryFileOldOrNew) {
    const std::string tree = Path("tree");
    const std::string oldContent = "one\r\ntwo\r\n";
    const std::string newContent = "one\ntwo\n";
    std::vector<std::string> files;
    for (int folder = 0; folder < 8; ++folder) {
        std::filesystem::create_directories(tree + "/d" + std::to_string(folder));
        for (int file = 0; file < 60; ++file) {
            files.push_back(tree + "/d" + std::to_string(folder) + "/f" + std::to_string(file));
        }
    }
    const auto reset = [&] {
        for (const std::string& file : files) {
            WriteFile(file, oldContent);
        }
    };
    // The number of files converted; every file is old or new, and beside them stand only
    // copies of the program's own that a later walk removes.
    const auto check = [&](bool finished) {
        int converted = 0;
        for (const std::string& file : files) {
            const std::string content = ReadFile(file);
            EXPECT_TRUE(content == oldContent || content == newContent) << file;
            converted += content == newContent;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(tree)) {
            const std::string name = entry.path().filename();
            const bool own = (name[0] == 'd' && entry.is_directory()) || (name[0] == 'f' && entry.is_regular_file());
            EXPECT_TRUE(own || (!finished && fs::IsCopyName(name))) << entry.path();
        }
        return converted;
    };
    reset();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Run({"--win-to-unix", "--folder", tree}).status, 0);
    const auto walkTime = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(check(true), static_cast<int>(files.size()));

    std::mt19937 random(1207);
    for (int round = 0; round < 6; ++round) {
        reset();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::freopen("/dev/null", "w", stdout);
            ::execl(TIDELIN_CONVERT_TOOL, TIDELIN_CONVERT_TOOL, "--win-to-unix", "--folder", tree.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::this_thread::sleep_for(walkTime * std::uniform_real_distribution<double>(0, 1)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        check(false);
    }
    EXPECT_EQ(Run({"--win-to-unix", "--folder", tree}).status, 0);
    EXPECT_EQ(check(true), static_cast<int>(files.size()));
}

// A user whose process limit is reached gets no thread: the walk, a large file's read-ahead and
// the release of its pages run on the one thread there is, and everything is converted. The
// limit does not bind root, so a suite run as root runs this as nobody.
TEST_F(ConvertToolTest, WalksWhenNoThreadCanStart) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the process limit does not bind root";
    }
    const std::string tree = Path("tree");
    std::filesystem::create_directories(tree + "/sub");
    WriteFile(tree + "/large.txt", std::string(3 << 20, 'x') + "\r\n");
    for (int i = 0; i < 300; ++i) {
        WriteFile(tree + "/sub/f" + std::to_string(i) + ".txt", "x\r\n");
    }
    const ToolResult result = RunConvertTool({"--win-to-unix", "--folder", tree}, Root(), "", "/dev/null",
                                             // The sanitizers' leak check stops the process
                                             // on a thread of its own, which cannot start here.
                                             "ASAN_OPTIONS=detect_leaks=0 TIDELIN_THREADS=4 prlimit --nproc=1");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Операция завершена.\n");
    EXPECT_EQ(ReadFile(tree + "/sub/f299.txt"), "x\n");
    EXPECT_EQ(ReadFile(tree + "/large.txt").size(), (3u << 20) + 1);
}

// Ctrl-C, SIGTERM and SIGHUP stop a walk as the window's stop does: the files in hand are
// finished, the stop entry ends the output, later targets are not started, nothing of the
// program's own is left beside the files and the exit status tells the signal. A second Ctrl-C
// ends the run at once, every file still old or new.
TEST_F(ConvertToolTest, AStopSignalStopsTheWalkAfterTheFilesInHand) {
    const std::string tree = Path("tree");
    const std::string later = Path("later.txt");
    std::filesystem::create_directories(tree);
    // Read-only files first: their entries fill a pipe that the test leaves unread, so the walk
    // waits at an entry while the signal comes. The files after them would be converted.
    for (int i = 0; i < 1000; ++i) {
        WriteFile(tree + "/a" + std::to_string(1000 + i) + ".txt", "x\r\n", 0444);
    }
    const struct {
        std::vector<int> signals;
        int status;
    } cases[] = {{{SIGINT}, 130}, {{SIGTERM}, 143}, {{SIGHUP}, 129}, {{SIGINT, SIGINT}, 130}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.signals.size()) + " signal(s) " + std::to_string(c.signals[0]));
        for (int i = 0; i < 200; ++i) {
            WriteFile(tree + "/b" + std::to_string(1000 + i) + ".txt", "x\r\n");
        }
        WriteFile(later, "x\r\n");
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            ::freopen("/dev/null", "w", stderr);
            ::execl(TIDELIN_CONVERT_TOOL, TIDELIN_CONVERT_TOOL, "--win-to-unix", "--folder", tree.c_str(), "--file",
                    later.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // The pipe full, the walk waits to print its next entry.
        const int capacity = ::fcntl(out[0], F_GETPIPE_SZ);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int available = 0;
        while (available < capacity && std::chrono::steady_clock::now() < deadline &&
               ::waitpid(child, nullptr, WNOHANG) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ::ioctl(out[0], FIONREAD, &available);
        }
        ASSERT_EQ(available, capacity) << "the walk did not fill the pipe";
        for (const int number : c.signals) {
            ::kill(child, number);
        }
        std::string output;
        char buffer[65536];
        for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) {
            output.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(out[0]);
        int raw = 0;
        ASSERT_EQ(::waitpid(child, &raw, 0), child);
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), c.status);
        if (c.signals.size() == 1) {
            const std::string stopEntry = "!_  Остановлено пользователем: " + tree + "\n";
            ASSERT_GE(output.size(), stopEntry.size());
            EXPECT_EQ(output.substr(output.size() - stopEntry.size()), stopEntry);
            EXPECT_EQ(output.find("Операция завершена."), std::string::npos);
        }
        EXPECT_EQ(ReadFile(later), "x\r\n") << "a later target was started";
        int converted = 0;
        for (const auto& entry : std::filesystem::directory_iterator(tree)) {
            const std::string name = entry.path().filename().string();
            ASSERT_FALSE(fs::IsCopyName(name)) << "a copy was left: " << name;
            const std::string content = ReadFile(entry.path().string());
            EXPECT_TRUE(content == "x\r\n" || content == "x\n") << name;
            converted += content == "x\n";
        }
        EXPECT_LT(converted, 200) << "the walk went on to its end";
    }
}

}  // namespace
}  // namespace tidelin::test
