// How a converted file takes the place of its source on Windows: in one rename, keeping the
// source's access list, also when the work file lies on another volume.
// First: it tames the macros windows.h defines over names the engine uses.
#include "win32_support.h"

#include <aclapi.h>

#include "tidelin/errors.h"
#include "test_support.h"
#include "win32_test_support.h"

namespace tidelin::test {
namespace {

using fs::win32::Win32Path;

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::FolderEntry& entry : fs::ListFolder(folder)) {
        names.push_back(entry.name);
    }
    return names;
}

TEST_F(EngineTest, Win32ReplacementKeepsTheAccessList) {
    // An explicit, protected access list on the source: this user and everyone may read.
    const std::string path = Path("shared.txt");
    WriteFile(path, "a\r\n");
    EXPLICIT_ACCESS_W access[2] = {};
    ::BuildExplicitAccessWithNameW(&access[0], const_cast<wchar_t*>(L"CURRENT_USER"),
                                   FILE_ALL_ACCESS, SET_ACCESS, NO_INHERITANCE);
    ::BuildExplicitAccessWithNameW(&access[1], const_cast<wchar_t*>(L"EVERYONE"),
                                   FILE_GENERIC_READ, SET_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    ASSERT_EQ(::SetEntriesInAclW(2, access, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD set = ::SetNamedSecurityInfoW(
        const_cast<wchar_t*>(Win32Path(path).c_str()), SE_FILE_OBJECT,
        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
        nullptr);
    ::LocalFree(acl);
    ASSERT_EQ(set, static_cast<DWORD>(ERROR_SUCCESS));
    const auto aceCount = [](const std::string& file) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (::GetNamedSecurityInfoW(const_cast<wchar_t*>(Win32Path(file).c_str()),
                                    SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
            return -1;
        }
        const int count = dacl == nullptr ? -1 : dacl->AceCount;
        ::LocalFree(descriptor);
        return count;
    };
    const int before = aceCount(path);
    if (before != 2) {
        // Wine 8 accepts an access list but reports one made from the POSIX mode instead.
        GTEST_SKIP() << "this system does not keep a file's access list as set";
    }
    ASSERT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_EQ(ReadFile(path), "a\n");
    EXPECT_EQ(aceCount(path), before);
}

TEST_F(EngineTest, Win32EditMadeMeanwhileIsNeverLost) {
    const struct {
        const char* name;
        const char* edit;
    } cases[] = {
        {"longer", "another program's text\r\n"},
        {"same size", "b\r\n"},
    };
    const std::string path = Path("a.txt");
    struct HookGuard {
        ~HookGuard() { fs::SetBeforePublishHook(nullptr); }
    } guard;
    for (const auto& c : cases) {
        WriteFile(path, "a\r\n");
        fs::SetBeforePublishHook([&](const std::string&) { WriteFile(path, c.edit); });
        EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::DeviceIo) << c.name;
        engine->CloseAllFiles();
        fs::SetBeforePublishHook(nullptr);
        EXPECT_EQ(ReadFile(path), c.edit) << c.name;
        EXPECT_EQ(CopiesIn(Root()), 0) << c.name;
    }
    // Without a change meanwhile the same file converts.
    ASSERT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_EQ(ReadFile(path), "b\n");
}

class Win32CrossVolumeTest : public EngineTest {
protected:
    void SetUp() override {
        // The work file in /dev/shm (tmpfs), the source on the disk: a rename cannot join them.
        if (AttributesOf("Z:\\dev\\shm") == INVALID_FILE_ATTRIBUTES) {
            GTEST_SKIP() << "needs Wine's view of /dev/shm";
        }
        source_ = fs::JoinPath(fs::TemporaryFolder(),
                               "tidelin-volume-" + std::to_string(::GetCurrentProcessId()));
        ASSERT_TRUE(::CreateDirectoryW(Win32Path(source_).c_str(), nullptr));
        parent_ = "Z:\\dev\\shm";
        EngineTest::SetUp();
    }
    void TearDown() override {
        EngineTest::TearDown();
        if (!source_.empty()) {
            for (const std::string& name : Names(source_)) {
                ::DeleteFileW(Win32Path(source_ + "\\" + name).c_str());
            }
            ::RemoveDirectoryW(Win32Path(source_).c_str());
        }
    }
    std::string source_;
};

TEST_F(Win32CrossVolumeTest, ReplacesThroughACopyBesideTheSource) {
    const std::string path = source_ + "\\file.txt";
    std::string content;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        content += "line " + std::to_string(i) + "\n";
        expected += "line " + std::to_string(i) + "\r\n";
    }
    WriteFile(path, content);
    ASSERT_TRUE(engine->ConvertUnixToWin(path));
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_FALSE(Exists(engine->WorkFile()));
    EXPECT_EQ(Names(source_), std::vector<std::string>{"file.txt"});  // no copy left behind
    EXPECT_EQ(Names(TempDir()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tidelin::test
