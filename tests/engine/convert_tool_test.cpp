// The headless driver, run as a separate process.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "filesystem.h"
#include "test_support.h"
#include "tool_runner.h"

namespace tidelin::test {

ToolResult RunConvertTool(const std::vector<std::string>& args, const std::string& scratchFolder) {
    std::string command = "'" TIDELIN_CONVERT_TOOL "'";
    for (const auto& arg : args) {
        command += " '" + arg + "'";
    }
    const std::string out = scratchFolder + "/tool.out";
    const std::string err = scratchFolder + "/tool.err";
    command += " >'" + out + "' 2>'" + err + "' </dev/null";
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

TEST_F(ConvertToolTest, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--win-to-unix"},
        {"--file", Path("a")},
        {"--win-to-unix", "--unix-to-win", "--file", Path("a")},
        {"--win-to-unix", "--file"},
        {"--win-to-unix", "--file", Path("a"), "--folder", Path("b")},
        {"--win-to-unix", "--bogus", "--file", Path("a")},
    };
    for (const auto& args : cases) {
        const ToolResult result = Run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("usage:"), std::string::npos);
        EXPECT_EQ(result.out, "");
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
    EXPECT_EQ(result.err, "Error 75 Системные, скрытые и файлы только для чтения не перезаписываются.\n");
    EXPECT_EQ(ReadFile(path), "a\r\n");
    EXPECT_FALSE(Exists(TempDir() + "/k5ywhqx"));

    const ToolResult missing = Run({"--unix-to-win", "--file", Path("missing")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.substr(0, 9), "Error 53 ");
}

TEST_F(ConvertToolTest, SecondInstanceIsTurnedAway) {
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\n");
    {
        const auto lock = fs::InstanceLock::Acquire();
        ASSERT_EQ(lock.GetState(), fs::InstanceLock::State::Acquired);
        const ToolResult result = Run({"--win-to-unix", "--file", path});
        EXPECT_EQ(result.status, 3);
        EXPECT_NE(result.err.find("another instance"), std::string::npos);
        EXPECT_EQ(ReadFile(path), "a\r\n");
    }
    EXPECT_EQ(Run({"--win-to-unix", "--file", path}).status, 0);
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

}  // namespace
}  // namespace tidelin::test
