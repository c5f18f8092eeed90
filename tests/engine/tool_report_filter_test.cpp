// tidelin-convert --info and tidelin-convert as a filter, run as a separate process.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"
#include "tool_runner.h"

namespace tidelin::test {
namespace {

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

class ToolReportFilterTest : public TempFolderTest {
  protected:
    ToolResult Run(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
        return RunConvertTool(args, Root(), "", input);
    }
};

// The report of a mixed, a binary, an empty and an oddly named file, and of a folder walked as
// a conversion walks it: links, hidden files and FIFOs met there are left out, and nothing is
// changed or left behind.
TEST_F(ToolReportFilterTest, ReportHasOneLinePerFileInTheWalksOrder) {
    const std::string mixed = Path("mixed.txt");
    const std::string binary = Path("bin.dat");
    const std::string empty = Path("empty");
    const std::string odd = Path("tab\there\\back\nline");
    const std::string tree = Path("tree");
    WriteFile(mixed, "a\r\nb\nc\rd\n\r\r\n\r");  // 2 CR LF, 2 lone LF, 3 lone CR (one at the end)
    WriteFile(binary, std::string("\0\r\n\n", 4));
    WriteFile(empty, "");
    WriteFile(odd, "x\r\n");
    std::filesystem::create_directories(tree + "/a");
    WriteFile(tree + "/b", "b\n");
    WriteFile(tree + "/a/z", "z\r\n");
    WriteFile(tree + "/c", "c\r");
    WriteFile(tree + "/.hidden", "h\r\n");
    std::filesystem::create_symlink("b", tree + "/link");
    ASSERT_EQ(::mkfifo((tree + "/fifo").c_str(), 0600), 0);
    const std::string oddShown = Path("tab\\there\\\\back\\nline");
    struct Case {
        std::vector<std::string> args;
        std::string out;
        std::string summary;
        int status;
    };
    const std::vector<Case> cases = {
        {{"--file", mixed, "--file", binary, "--file", empty, "--file", odd},
         "2\t2\t3\ttext\t" + mixed + "\n1\t1\t0\tbinary\t" + binary + "\n0\t0\t0\ttext\t" + empty +
             "\n1\t0\t0\ttext\t" + oddShown + "\n",
         "files read: 4, binary: 1, skipped: 0, not read: 0",
         0},
        {{"--win-to-unix", "--file", mixed, "--file", binary, "--file", empty},
         "2\t2\t3\ttext\tchanges\t" + mixed + "\n1\t1\t0\tbinary\tskipped\t" + binary +
             "\n0\t0\t0\ttext\tunchanged\t" + empty + "\n",
         "files read: 3, would change: 1, refused: 0, binary: 1, skipped: 0, not read: 0",
         1},
        {{"--unix-to-win", "--convert-binary", "--file", binary}, "1\t1\t0\tbinary\tchanges\t" + binary + "\n", "", 1},
        {{"--win-to-unix", "--file", Path("tree/b")}, "0\t1\t0\ttext\tunchanged\t" + tree + "/b\n", "", 0},
        {{"--unix-to-win", "--folder", tree + "/"},
         "0\t1\t0\ttext\tchanges\t" + tree + "/b\n0\t0\t1\ttext\tchanges\t" + tree + "/c\n" +
             "1\t0\t0\ttext\tunchanged\t" + tree + "/a/z\n",
         "files read: 3, would change: 2, refused: 0, binary: 0, skipped: 3, not read: 0",
         1},
    };
    for (const Case& c : cases) {
        const ToolResult result = Run(Args({"--info"}, c.args));
        SCOPED_TRACE(c.args[0]);
        EXPECT_EQ(result.out, c.out);
        EXPECT_NE(result.err.find("tidelin-convert: " + c.summary), std::string::npos) << result.err;
        EXPECT_EQ(result.status, c.status);
    }
    EXPECT_EQ(ReadFile(mixed), "a\r\nb\nc\rd\n\r\r\n\r");
    EXPECT_EQ(ReadFile(tree + "/a/z"), "z\r\n");
    EXPECT_TRUE(std::filesystem::is_empty(TempDir()));
}

// A target that cannot be read makes the status 3, whatever else the report found.
TEST_F(ToolReportFilterTest, ReportExitsWithThreeWhenATargetCannotBeRead) {
    const std::string crlf = Path("crlf.txt");
    WriteFile(crlf, "a\r\n");
    std::filesystem::create_symlink("crlf.txt", Path("link"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--file", Path("missing"), "--file", crlf}, "Error 53 Файл не найден. - " + Path("missing")},
        {{"--folder", Path("missing")}, "tidelin-convert: " + Path("missing") + ": no such folder"},
        {{"--file", Path("link")}, "Error 75 Системные файлы (ссылки, каналы, устройства) не изменяются. - " + Path("link")},
        {{"--file", Root()}, "Error 75 Это папка, а не файл. - " + Root()},
        {{"--folder", "/"}, "the root folder is never walked"},
    };
    for (const auto& [args, error] : cases) {
        const ToolResult result = Run(Args({"--info", "--win-to-unix"}, args));
        EXPECT_EQ(result.status, 3) << args[1];
        EXPECT_NE(result.err.find(error), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("not read: 1"), std::string::npos) << result.err;
    }
}

// Standard input to standard output, which carries nothing but the data; a binary input comes
// out unchanged however long it is (the longer ones wait in a temporary file, which is gone
// afterwards).
TEST_F(ToolReportFilterTest, FilterConvertsStandardInputToStandardOutput) {
    // "ab\r\n" does not divide a chunk: some CR LF pairs straddle two chunks.
    std::string long_;
    std::string longUnix;
    for (int i = 0; i < 800000; ++i) {
        long_ += "ab\r\n";
        longUnix += "ab\n";
    }
    const std::string longBinary = long_ + '\x1b';
    const std::string done = "Операция завершена.\n";
    const std::string binaryEntry = "!_  Бинарный файл: -\n";
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string out;
        std::string err;
        int status;
    };
    const std::vector<Case> cases = {
        {{"--win-to-unix"}, "a\r\nb\n\r\r\n\r", "a\nb\n\r\n\r", done, 0},
        {{"--unix-to-win", "--file", "-"}, "a\nb\rc\r\n\n\r", "a\r\nbc\r\n\r\n", done, 0},
        {{"--unix-to-win"}, "", "", done, 0},
        {{"--win-to-unix"}, std::string("a\0\r\n", 4), std::string("a\0\r\n", 4), binaryEntry, 0},
        {{"--win-to-unix", "--convert-binary"}, std::string("a\0\r\n", 4), std::string("a\0\n", 3), done, 0},
        {{"--win-to-unix"}, long_, longUnix, done, 0},
        {{"--win-to-unix", "--convert-binary"}, long_, longUnix, done, 0},
        {{"--win-to-unix"}, longBinary, longBinary, binaryEntry, 0},
        {{"--info", "--win-to-unix"}, "a\r\nb\n", "1\t1\t0\ttext\tchanges\t-\n", "", 1},
        {{"--info"}, long_, "800000\t0\t0\ttext\t-\n", "", 0},
    };
    const std::string input = Path("input");
    for (const Case& c : cases) {
        WriteFile(input, c.input);
        const ToolResult result = Run(c.args, input);
        SCOPED_TRACE(c.args[0] + " " + std::to_string(c.input.size()));
        EXPECT_TRUE(result.out == c.out) << result.out.size() << " bytes";
        EXPECT_EQ(result.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(std::filesystem::is_empty(TempDir()));
    }
}

}  // namespace
}  // namespace tidelin::test
