// tidelin-convert's options for source trees, run as a separate process on a real git
// repository: plain paths, lists, patterns, hidden files, unchanged files and dates.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "test_support.h"
#include "tool_runner.h"

namespace tidelin::test {
namespace {

// Every file of the repository, with the content it starts with: CR LF in the sources and
// the ignore file, LF in the hook git runs and in one source already right.
const std::map<std::string, std::string> Files = {
    {"a.c", "a\r\n"},
    {"-top.c", "t\r\n"},
    {"src/b.c", "b\r\n"},
    {"src/ok.c", "ok\n"},
    {"src/-dash.c", "d\r\n"},
    {".gitignore", "build/\r\n"},
    {"build/out.o", "o\r\n"},
    {"notes.txt", "n\r\n"},
    {".git/hooks/pre-commit", "#!/bin/sh\nexit 0\n"},
};

std::string Converted(const std::string& content, bool toUnix) {
    std::string unix;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (!(content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')) {
            unix += content[i];
        }
    }
    if (toUnix) {
        return unix;
    }
    std::string windows;
    for (const char c : unix) {
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return windows;
}

class ToolOptionsTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        MakeRepository("repo");
    }
    // A fresh repository in the folder `name`, which the tool then runs in.
    void MakeRepository(const std::string& name) {
        repo_ = Path(name);
        ASSERT_EQ(std::system(("git init -q '" + repo_ + "'").c_str()), 0);
        for (const auto& [name, content] : Files) {
            std::filesystem::create_directories(std::filesystem::path(repo_ + "/" + name).parent_path());
            WriteFile(repo_ + "/" + name, content, name.find("hooks") != std::string::npos ? 0755 : 0644);
        }
        // A second name of the file already right, and a read-only file that needs a change.
        ASSERT_EQ(::link((repo_ + "/src/ok.c").c_str(), (repo_ + "/src/ok-link.c").c_str()), 0);
        WriteFile(repo_ + "/ro.txt", "r\r\n", 0444);
        ASSERT_EQ(std::system(("cd '" + repo_ + "' && git add a.c src .gitignore").c_str()), 0);
    }
    ToolResult Run(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
        return RunConvertTool(args, Root(), repo_, input);
    }
    std::string repo_;
};

// Each row converts a fresh repository; the files it names end converted, every other file as
// it began.
TEST_F(ToolOptionsTest, SourceTreeOptions) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> converted;
        int status;
    };
    const std::string list = Path("list");
    const std::vector<Case> cases = {
        // Plain paths: a file and a folder by what each is; after "--" a name may begin with "-".
        {{"--win-to-unix", "a.c", "--", "-top.c"}, {"a.c", "-top.c"}, 0},
        {{"--win-to-unix", "src"}, {"src/b.c", "src/-dash.c"}, 0},
        // Without options, a walk goes into .git and refuses the hidden and read-only files.
        {{"--unix-to-win", "."}, {"src/ok.c", ".git/hooks/pre-commit"}, 1},
        // Out of version control, with dot-files, leaving out a folder and a name by pattern.
        {{"--win-to-unix", "--exclude-vcs", "--include-hidden", "--exclude", "/build/", "--exclude", "*.txt", "."},
         {"a.c", "-top.c", "src/b.c", "src/-dash.c", ".gitignore"}, 0},
        {{"--win-to-unix", "--exclude-vcs", "--include", "src/*.c", "--exclude", "-*", "."}, {"src/b.c"}, 0},
        {{"--win-to-unix", "--include", "**/b.c", "--folder", "."}, {"src/b.c"}, 0},
        // A list: its entries as named files, a folder entry walked, patterns on the entries.
        {{"--win-to-unix", "--include-hidden", "--files-from", list}, {"a.c", ".gitignore", "build/out.o"}, 0},
        {{"--win-to-unix", "--exclude", "*.o", "--files-from", list}, {"a.c"}, 1},
    };
    int row = 0;
    for (const Case& c : cases) {
        MakeRepository("repo" + std::to_string(++row));
        WriteFile(list, "a.c\n.gitignore\n./build\n");
        const ToolResult result = Run(c.args);
        SCOPED_TRACE(c.args[1] + " ... " + c.args.back());
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        for (const auto& [name, content] : Files) {
            const bool converted = std::find(c.converted.begin(), c.converted.end(), name) != c.converted.end();
            EXPECT_EQ(ReadFile(repo_ + "/" + name), converted ? Converted(content, c.args[0] == "--win-to-unix") : content)
                << name;
        }
        EXPECT_EQ(ReadFile(repo_ + "/ro.txt"), "r\r\n");
    }
}

// The README's example: git's own list of the tracked files, NUL-separated, dot-files
// included; the hook, the ignored build output and the untracked files stay as they are.
TEST_F(ToolOptionsTest, GitListOfTrackedFiles) {
    const std::string command = "cd '" + repo_ + "' && git ls-files -z | '" TIDELIN_CONVERT_TOOL
                                "' --win-to-unix --include-hidden --files-from - -0 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : {"a.c", "src/b.c", "src/-dash.c", ".gitignore"}) {
        EXPECT_EQ(ReadFile(repo_ + "/" + name), Converted(Files.at(name), true)) << name;
    }
    for (const char* name : {"build/out.o", "notes.txt", "-top.c", ".git/hooks/pre-commit"}) {
        EXPECT_EQ(ReadFile(repo_ + "/" + name), Files.at(name)) << name;
    }
    ASSERT_EQ(std::system(("cd '" + repo_ + "' && git diff --quiet --ignore-cr-at-eol").c_str()), 0);
}

// --skip-unchanged leaves a file that needs no change exactly as it was: its inode, its time
// and its second name; --keep-date gives a converted file back its times.
TEST_F(ToolOptionsTest, UnchangedFilesAndDates) {
    struct stat before {};
    ASSERT_EQ(::stat((repo_ + "/src/ok.c").c_str(), &before), 0);
    const timespec old[2] = {{1000000000, 123456789}, {1000000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (repo_ + "/a.c").c_str(), old, 0), 0);
    const ToolResult result = Run({"--win-to-unix", "--skip-unchanged", "--keep-date", "a.c", "src"});
    EXPECT_EQ(result.status, 0) << result.err;
    struct stat ok {};
    ASSERT_EQ(::stat((repo_ + "/src/ok.c").c_str(), &ok), 0);
    EXPECT_EQ(ok.st_ino, before.st_ino);
    EXPECT_EQ(ok.st_nlink, 2u);
    EXPECT_EQ(ok.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    struct stat a {};
    ASSERT_EQ(::stat((repo_ + "/a.c").c_str(), &a), 0);
    EXPECT_EQ(ReadFile(repo_ + "/a.c"), "a\n");
    EXPECT_EQ(a.st_mtim.tv_sec, old[1].tv_sec);
    EXPECT_EQ(a.st_mtim.tv_nsec, old[1].tv_nsec);
    EXPECT_EQ(a.st_atim.tv_nsec, old[0].tv_nsec);
    EXPECT_EQ(ReadFile(repo_ + "/src/b.c"), "b\n");
}

// What the command line refuses (2) before anything is converted, and what --info predicts.
TEST_F(ToolOptionsTest, UsageErrorsAndTheReportsRefusals) {
    WriteFile(Path("empty-entry"), "a.c\n\nsrc/b.c\n");
    const struct {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string err;
    } cases[] = {
        {{"--win-to-unix", "--include", "a[b", "."}, "", 2, "an unclosed ["},
        {{"--win-to-unix", "--exclude", "a\\", "."}, "", 2, "a trailing \\"},
        {{"--win-to-unix", "--files-from", "-", "--file", "-"}, "", 2, "standard input"},
        {{"--win-to-unix", "--files-from", Path("empty-entry")}, "", 2, "entry 2 of the list is empty"},
        {{"--win-to-unix", "--files-from", Path("missing")}, "", 2, "cannot be read"},
        {{"--win-to-unix", "--include", "*.c"}, "a\r\n", 2, "the filter"},
        {{"--info", "--win-to-unix", "ro.txt", ".gitignore", "a.c"}, "", 1, "refused: 2"},
        {{"--info", "--win-to-unix", "--include-hidden", "--exclude-vcs", "--include", ".*", "."}, "", 1,
         "files read: 1, would change: 1, refused: 0"},
    };
    for (const auto& c : cases) {
        WriteFile(Path("input"), c.input);
        const ToolResult result = Run(c.args, Path("input"));
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
    EXPECT_EQ(ReadFile(repo_ + "/a.c"), "a\r\n");
    const ToolResult report = Run({"--info", "--win-to-unix", "ro.txt"});
    EXPECT_EQ(report.out, "1\t0\t0\ttext\trefused\t" + repo_ + "/ro.txt\n");
}

}  // namespace
}  // namespace tidelin::test
