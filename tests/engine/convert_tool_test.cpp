// The headless driver, run as a separate process.
#include <sys/wait.h>

#include <cstdlib>

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

}  // namespace
}  // namespace tidelin::test
