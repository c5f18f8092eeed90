// The folder walk and the work file on Windows: "\" between names, drive roots never walked,
// links and junctions never walked into, and the work file in GetTempPathW's folder.
// First: it tames the macros windows.h defines over names the engine uses.
#include "win32_support.h"

#include "tidelin/errors.h"
#include "tidelin/folder_walk.h"
#include "test_support.h"
#include "win32_test_support.h"

namespace tidelin::test {
namespace {

using fs::win32::Win32Path;

const std::string Protected =
    "!_ Ошибка 75 Системные, скрытые и файлы только для чтения не перезаписываются. - ";
const std::string SystemFile =
    "!_ Ошибка 75 Системные файлы (ссылки, каналы, устройства) не изменяются. - ";

TEST(Win32NormaliseWalkFolderTest, Cases) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\data\\x", "C:\\data\\x"}, {"C:\\data\\x\\", "C:\\data\\x"},
        {"C:\\data\\x\\\\", "C:\\data\\x\\"}, {"C:\\", ""}, {"C:", ""}, {"D:\\", ""},
        {"\\\\server\\share\\", "\\\\server\\share"}, {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormaliseWalkFolder(c.in), c.out) << "'" << c.in << "'";
    }
}

TEST(Win32IsRootFolderTest, DriveRootsHoweverSpelled) {
    // Only looked at, never walked.
    const std::string temp = fs::TemporaryFolder();
    std::string up = temp;
    for (const char c : temp) {
        if (c == '\\') {
            up += "\\..";
        }
    }
    const struct {
        std::string folder;
        bool root;
    } cases[] = {
        {"C:\\", true},      {"C:", true},     {"C:\\.", true},        {"C:/", true},
        {"C:\\windows\\..", true}, {up, true}, {up + "\\.", true},
        {temp, false},       {"C:\\windows", false}, {"", false},       {"C:\\no such folder\\..\\x", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsRootFolder(c.folder), c.root) << "'" << c.folder << "'";
    }
}

class Win32WalkTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        tree_ = Path("tree");
        ASSERT_TRUE(::CreateDirectoryW(Win32Path(tree_).c_str(), nullptr));
    }
    std::string Make(const std::string& relative, const std::string& content, DWORD attributes) {
        std::string path = tree_;
        std::size_t start = 0;
        for (std::size_t end; (end = relative.find('\\', start)) != std::string::npos; start = end + 1) {
            path += "\\" + relative.substr(start, end - start);
            ::CreateDirectoryW(Win32Path(path).c_str(), nullptr);
        }
        path = tree_ + "\\" + relative;
        WriteFile(path, content);
        ::SetFileAttributesW(Win32Path(path).c_str(), attributes);
        return path;
    }
    std::string tree_;
};

TEST_F(Win32WalkTest, FilesBeforeSubfoldersInByteOrderWithBackslashes) {
    // Every file is read-only, so each one leaves an entry in the order it was visited;
    // names without a dot are found too (the pattern is "*.*").
    for (const char* name : {"y\\d.txt", "x\\z\\e", "B.txt", "x\\c.txt", "a.txt"}) {
        Make(name, "1\r\n", FILE_ATTRIBUTE_READONLY);
    }
    Make("x\\plain.txt", "2\r\n", FILE_ATTRIBUTE_NORMAL);
    ConvertFolderTree(*engine, tree_ + "\\", Direction::WinToUnix);
    std::vector<std::string> expected;
    for (const char* name : {"B.txt", "a.txt", "x\\c.txt", "x\\z\\e", "y\\d.txt"}) {
        expected.push_back(Protected + tree_ + "\\" + name);
    }
    EXPECT_EQ(log.Entries(), expected);
    EXPECT_EQ(ReadFile(tree_ + "\\x\\plain.txt"), "2\n");
    EXPECT_EQ(ReadFile(tree_ + "\\x\\z\\e"), "1\r\n");
}

TEST_F(Win32WalkTest, LinksInTheTreeAreNeverWalkedInto) {
    const std::string outside = Path("outside");
    ASSERT_TRUE(::CreateDirectoryW(Win32Path(outside).c_str(), nullptr));
    WriteFile(outside + "\\o.txt", "o\r\n");
    if (!MakeLink(tree_ + "\\link", outside, true)) {
        GTEST_SKIP() << "symbolic links cannot be made here";
    }
    Make("t.txt", "t\r\n", FILE_ATTRIBUTE_NORMAL);
    ConvertFolderTree(*engine, tree_, Direction::WinToUnix);
    EXPECT_EQ(log.Entries(), std::vector<std::string>{SystemFile + tree_ + "\\link"});
    EXPECT_EQ(ReadFile(outside + "\\o.txt"), "o\r\n");
    EXPECT_EQ(ReadFile(tree_ + "\\t.txt"), "t\n");
    // A link chosen as the folder itself is not walked either.
    log.Clear();
    ConvertFolderTree(*engine, tree_ + "\\link", Direction::WinToUnix);
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_EQ(ReadFile(outside + "\\o.txt"), "o\r\n");
}

// Every name of a hard-linked file in the tree is converted and becomes a file of its own; the
// walk's rename of one name is not taken for an edit of the others, while another program's
// edit of the file meanwhile still is, at every name it reaches.
TEST_F(Win32WalkTest, EveryNameOfAHardLinkedFileIsConverted) {
    const std::string changed = "!_ Ошибка 57 Файл изменился во время чтения. - ";
    for (const bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "edited meanwhile" : "not edited");
        log.Clear();
        const std::string dir = Path(edited ? "tree\\edited" : "tree\\plain");
        const std::string x = Make(std::string(edited ? "edited" : "plain") + "\\x.txt", "x\r\n", FILE_ATTRIBUTE_NORMAL);
        const std::string y = dir + "\\y.txt";
        const std::string z = dir + "\\s\\z.txt";
        ASSERT_TRUE(::CreateDirectoryW(Win32Path(dir + "\\s").c_str(), nullptr));
        if (!::CreateHardLinkW(Win32Path(y).c_str(), Win32Path(x).c_str(), nullptr) ||
            !::CreateHardLinkW(Win32Path(z).c_str(), Win32Path(x).c_str(), nullptr)) {
            GTEST_SKIP() << "hard links cannot be made here";
        }
        const BeforePublish edit([&](const std::string& target) {
            if (edited && target == y) {
                WriteFile(y, "x\r\nmore\r\n");  // in place: y.txt and s\\z.txt see it
            }
        });
        ConvertFolderTree(*engine, dir, Direction::WinToUnix);
        EXPECT_EQ(ReadFile(x), "x\n");
        if (edited) {
            // y.txt keeps the edit; s\z.txt, read after it (the walk publishes each file before
            // it reads the next), converts the edited content.
            EXPECT_EQ(log.Entries(), std::vector<std::string>{changed + y});
            EXPECT_EQ(ReadFile(y), "x\r\nmore\r\n");
            EXPECT_EQ(ReadFile(z), "x\nmore\n");
        } else {
            EXPECT_EQ(log.Entries(), std::vector<std::string>{});
            EXPECT_EQ(ReadFile(y), "x\n");
            EXPECT_EQ(ReadFile(z), "x\n");
        }
    }
}

// Only a marked copy that no running conversion holds open is removed, by a walk or by a
// single-file run in its folder; a file merely named like a copy is converted like any other.
TEST_F(Win32WalkTest, OnlyAbandonedMarkedCopiesAreRemoved) {
    for (const bool walk : {true, false}) {
        const std::string dir = Path(walk ? "tree\\walk" : "tree\\single");
        ASSERT_TRUE(::CreateDirectoryW(Win32Path(dir).c_str(), nullptr));
        const std::string abandoned = dir + "\\" + fs::NewCopyName();
        const std::string held = dir + "\\" + fs::NewCopyName();
        const std::string usersOwn = dir + "\\.k5ywhqx-notes1";
        for (const std::string& path : {abandoned, held, usersOwn, dir + "\\a.txt"}) {
            WriteFile(path, "x\r\n");
        }
        {
            const HeldFile holder(held, L"none");  // as a running conversion holds its copy
            ASSERT_TRUE(holder.Held());
            if (walk) {
                ConvertFolderTree(*engine, dir, Direction::WinToUnix);
            } else {
                EXPECT_TRUE(engine->ConvertWinToUnix(dir + "\\a.txt"));
            }
        }
        EXPECT_FALSE(Exists(abandoned));
        EXPECT_EQ(ReadFile(held), "x\r\n");
        EXPECT_EQ(ReadFile(usersOwn), walk ? "x\n" : "x\r\n");
        EXPECT_EQ(ReadFile(dir + "\\a.txt"), "x\n");
        EXPECT_TRUE(log.Entries().empty());
    }
}

TEST_F(TempFolderTest, Win32WorkFileIsExclusiveAndOnlyCrashedOnesAreRemoved) {
    TestHost host;
    MessageLog log;
    const std::string base = TempDir() + "\\k5ywhqx";
    WriteFile(base, "another instance's");
    const HeldFile held(base, L"none");  // a running instance holds its work file open
    ASSERT_TRUE(held.Held());
    ASSERT_TRUE(::CreateDirectoryW(Win32Path(base + "0").c_str(), nullptr));
    WriteFile(base + "1", "a crashed run's");  // this user's, held by nobody
    Engine engine(host, log);
    engine.ChooseWorkFile();
    EXPECT_EQ(engine.WorkFile(), base + "1");  // the crashed run's was removed at load
    EXPECT_TRUE(Exists(base));
    EXPECT_TRUE(Exists(base + "0"));
    // A refused conversion leaves nothing behind once the program unloads.
    WriteFile(Path("a.txt"), "a\r\n", 0444);
    EXPECT_EQ(ErrorNumberOf([&] { engine.ConvertWinToUnix(Path("a.txt")); }), err::PathFileAccess);
    engine.CloseAllFiles();
    engine.Unload();
    EXPECT_FALSE(Exists(base + "1"));
    EXPECT_TRUE(Exists(base));
    EXPECT_EQ(CopiesIn(Root()), 0);
}

}  // namespace
}  // namespace tidelin::test
