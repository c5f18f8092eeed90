// Files that another program holds open, and the single-instance lock.
// First: it tames the macros windows.h defines over names the engine uses.
#include "win32_support.h"

#include <string>

#include "tidelin/errors.h"
#include "test_support.h"
#include "win32_test_support.h"

namespace tidelin::test {
namespace {

using fs::win32::Win32Path;

TEST_F(EngineTest, Win32FileHeldByAnotherProgramStaysWhole) {
    const struct {
        const char* name;
        const wchar_t* share;
    } cases[] = {
        // Not shared at all: the source cannot even be read.
        {"unshared", L"none"},
        // Shared for reading only: it is read and converted, but cannot be replaced.
        {"read-shared", L"read"},
    };
    for (const auto& c : cases) {
        const std::string path = Path(std::string(c.name) + ".txt");
        WriteFile(path, "a\r\nb\r\n");
        {
            const HeldFile held(path, c.share);
            ASSERT_TRUE(held.Held()) << c.name;
            const int number = ErrorNumberOf([&] { engine->ConvertWinToUnix(path); });
            engine->CloseAllFiles();
            EXPECT_EQ(number, err::PermissionDenied) << c.name;
        }
        EXPECT_EQ(CopiesIn(Root()), 0) << c.name;  // nothing left beside the source
        EXPECT_EQ(ReadFile(path), "a\r\nb\r\n") << c.name;
        // Once the other program has let go, the file converts.
        EXPECT_TRUE(engine->ConvertWinToUnix(path)) << c.name;
        EXPECT_EQ(ReadFile(path), "a\nb\n") << c.name;
    }
}

TEST_F(EngineTest, Win32UnsharedFileGivesAClearMessage) {
    const std::string path = Path("a.txt");
    WriteFile(path, "a\r\n");
    const HeldFile held(path, L"none");
    ASSERT_TRUE(held.Held());
    try {
        engine->ConvertWinToUnix(path);
        ADD_FAILURE() << "converted a file another program holds";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.Description(), "Файл занят другой программой.");
    }
}

TEST_F(TempFolderTest, Win32InstanceLockIsPerTemporaryFolder) {
    auto first = fs::InstanceLock::Acquire();
    ASSERT_EQ(first.GetState(), fs::InstanceLock::State::Acquired);
    EXPECT_EQ(fs::InstanceLock::Acquire().GetState(), fs::InstanceLock::State::HeldElsewhere);
    // The same folder spelt in other letter case is the same folder.
    std::string upper = TempDir();
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", fs::win32::Widen(upper).c_str()));
    EXPECT_EQ(fs::InstanceLock::Acquire().GetState(), fs::InstanceLock::State::HeldElsewhere);
    // Another temporary folder has a lock of its own.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", fs::win32::Widen(Root()).c_str()));
    EXPECT_EQ(fs::InstanceLock::Acquire().GetState(), fs::InstanceLock::State::Acquired);
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", fs::win32::Widen(TempDir()).c_str()));
    first = fs::InstanceLock();
    EXPECT_EQ(fs::InstanceLock::Acquire().GetState(), fs::InstanceLock::State::Acquired);
}

}  // namespace
}  // namespace tidelin::test
