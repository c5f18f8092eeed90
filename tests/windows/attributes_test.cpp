// The conversion on Windows: the files' own read-only, hidden and system attributes protect
// them, reparse points are never followed, and any name Windows can hold works, however
// long the path.
// First: it tames the macros windows.h defines over names the engine uses.
#include "win32_support.h"

#include "tidelin/errors.h"
#include "test_support.h"
#include "win32_test_support.h"

namespace tidelin::test {
namespace {

using fs::win32::Win32Path;

const std::string Protected = "Системные, скрытые и файлы только для чтения не перезаписываются.";

std::string Description(const std::function<void()>& function) {
    try {
        function();
    } catch (const EngineError& error) {
        return std::to_string(error.Number()) + " " + error.Description();
    }
    return "";
}

TEST_F(EngineTest, Win32ConvertsBothWaysInPlace) {
    const struct {
        const char* content;
        bool winToUnix;
        const char* expected;
    } cases[] = {
        {"a\r\nb\r\n", true, "a\nb\n"},
        {"a\rb\r", true, "a\rb\r"},
        {"a\nb", false, "a\r\nb"},
        {"a\r\nb\n", false, "a\r\nb\r\n"},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        const std::string path = Path("file.txt");
        WriteFile(path, c.content);
        ASSERT_TRUE(c.winToUnix ? engine->ConvertWinToUnix(path) : engine->ConvertUnixToWin(path));
        EXPECT_EQ(ReadFile(path), c.expected);
        EXPECT_FALSE(Exists(engine->WorkFile()));
    }
    // The work file lies in the folder GetTempPathW names, joined with "\".
    EXPECT_EQ(engine->WorkFile(), TempDir() + "\\k5ywhqx");
}

TEST_F(EngineTest, Win32ProtectingAttributesAreTheFilesOwn) {
    const struct {
        const char* name;
        DWORD attributes;
        bool replaced;
    } cases[] = {
        {"read-only.txt", FILE_ATTRIBUTE_READONLY, false},
        {"hidden.txt", FILE_ATTRIBUTE_HIDDEN, false},
        {"system.txt", FILE_ATTRIBUTE_SYSTEM, false},
        {"hidden-system.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
        {"archive.txt", FILE_ATTRIBUTE_ARCHIVE, true},
    };
    for (const auto& c : cases) {
        const std::string path = Path(c.name);
        WriteFile(path, "a\r\n");
        ASSERT_TRUE(::SetFileAttributesW(Win32Path(path).c_str(), c.attributes)) << c.name;
        const std::string failure = Description([&] { engine->ConvertWinToUnix(path); });
        engine->CloseAllFiles();
        if (c.replaced) {
            EXPECT_EQ(failure, "") << c.name;
            EXPECT_EQ(ReadFile(path), "a\n") << c.name;
            EXPECT_EQ(AttributesOf(path) & ~FILE_ATTRIBUTE_ARCHIVE, 0u) << c.name;
        } else {
            EXPECT_EQ(failure, "75 " + Protected) << c.name;
            EXPECT_EQ(ReadFile(path), "a\r\n") << c.name;
            EXPECT_EQ(AttributesOf(path) & ~FILE_ATTRIBUTE_ARCHIVE, c.attributes) << c.name;
        }
    }
}


TEST_F(EngineTest, Win32ReparsePointsAreSystemEntriesAndNeverFollowed) {
    const std::string target = Path("target.txt");
    WriteFile(target, "t\r\n");
    ASSERT_TRUE(::CreateDirectoryW(Win32Path(Path("folder")).c_str(), nullptr));
    const struct {
        const char* name;
        std::string to;
        bool folder;
    } cases[] = {
        {"link-to-file.txt", target, false},
        {"link-to-folder", Path("folder"), true},
        {"dangling-link.txt", Path("missing.txt"), false},
    };
    for (const auto& c : cases) {
        if (!MakeLink(Path(c.name), c.to, c.folder)) {
            GTEST_SKIP() << "symbolic links cannot be made here";
        }
        const fs::PathInfo info = fs::QueryPath(Path(c.name));
        EXPECT_TRUE(info.IsSystem()) << c.name;
        EXPECT_FALSE(info.IsDirectory()) << c.name;
        EXPECT_EQ(Description([&] { engine->ConvertWinToUnix(Path(c.name)); }),
                  "75 Системные файлы (ссылки, каналы, устройства) не изменяются.")
            << c.name;
        engine->CloseAllFiles();
        EXPECT_FALSE(engine->IsBinaryFile(Path(c.name))) << c.name;
        EXPECT_NE(AttributesOf(Path(c.name)) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << c.name;
    }
    EXPECT_EQ(ReadFile(target), "t\r\n");
    // The work file's place taken by a link: the link's target is never written.
    ASSERT_TRUE(MakeLink(engine->WorkFile(), target, false));
    WriteFile(Path("a.txt"), "a\r\n");
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(Path("a.txt")); }), err::PathFileAccess);
    engine->CloseAllFiles();
    EXPECT_EQ(ReadFile(target), "t\r\n");
    EXPECT_EQ(ReadFile(Path("a.txt")), "a\r\n");
    engine->Unload();
    EXPECT_TRUE(Exists(engine->WorkFile()));  // only the program's own work file is deleted
}

TEST_F(EngineTest, Win32NamesBeyondAnyCodePageAndLongPathsWork) {
    // Greek, Japanese, Cyrillic and a character outside the 16-bit range: no 8-bit code page
    // spells them all.
    const std::string name = "ελληνικά 日本語 Привет \xF0\x9F\x98\x80.txt";
    std::string deep = Root();
    while (deep.size() < 400) {
        deep += "\\" + std::string(60, 'd');
        ASSERT_TRUE(::CreateDirectoryW(Win32Path(deep).c_str(), nullptr)) << ::GetLastError();
    }
    for (const std::string& folder : {Root(), deep}) {
        const std::string path = folder + "\\" + name;
        WriteFile(path, "x\r\ny\r\n");
        ASSERT_TRUE(engine->ConvertWinToUnix(path)) << path.size();
        EXPECT_EQ(ReadFile(path), "x\ny\n") << path.size();
        EXPECT_FALSE(engine->IsBinaryFile(path));
        const std::vector<fs::FolderEntry> entries = fs::ListFolder(folder);
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                                [&](const fs::FolderEntry& e) { return e.name == name; }));
    }
    // A name that is not UTF-8 is a bad file name, not some other file.
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(Path("bad\xFF.txt")); }),
              err::BadFileName);
}

}  // namespace
}  // namespace tidelin::test
