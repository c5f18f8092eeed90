// The engine tests' shared pieces on Windows: a fresh folder per test in the temporary folder,
// with TMP pointing at its "tmp" (GetTempPathW reads TMP first), and helpers for real files.
// A mode without the owner write bit (0444) stands for the read-only attribute.
// First: it tames the macros windows.h defines over names the engine uses.
#include "win32_support.h"

#include <cstdlib>
#include <vector>

#include "tidelin/errors.h"
#include "test_support.h"
#include "tidelin/utf16.h"
#include "win32_test_support.h"

namespace tidelin::test {

using fs::win32::Widen;

namespace {

// Removes a tree without ever following a reparse point: a link or junction is removed as
// itself, whatever it leads to.
void RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::DeleteFileW(path.c_str());
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        WIN32_FIND_DATAW data{};
        const HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") {
                    RemoveTree(path + L"\\" + name);
                }
            } while (::FindNextFileW(search, &data));
            ::FindClose(search);
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

std::wstring LongPath(const std::string& path) { return fs::win32::Win32Path(path); }

// Holds every test to leaving the process as it found it: the working folder and TMP.
class ProcessStateGuard : public ::testing::EmptyTestEventListener {
    static std::vector<std::wstring> Snapshot() {
        std::vector<std::wstring> state(2, std::wstring(32768, L'\0'));
        state[0].resize(::GetCurrentDirectoryW(32768, state[0].data()));
        state[1].resize(::GetEnvironmentVariableW(L"TMP", state[1].data(), 32768));
        return state;
    }
    void OnTestStart(const ::testing::TestInfo&) override { before_ = Snapshot(); }
    void OnTestEnd(const ::testing::TestInfo&) override {
        EXPECT_TRUE(Snapshot() == before_) << "the test did not put the working folder or TMP back";
    }
    std::vector<std::wstring> before_;
};

const bool guardInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ProcessStateGuard);
    return true;
}();

}  // namespace

void TempFolderTest::SetUp() {
    wchar_t saved[32768];
    const DWORD length = ::GetEnvironmentVariableW(L"TMP", saved, 32768);
    hadTmpdir_ = length > 0 && length < 32768;
    savedTmpdir_ = hadTmpdir_ ? utf16::Narrow(std::wstring_view(saved, length)) : "";
    std::string parent = parent_.empty() ? fs::TemporaryFolder() : parent_;
    for (unsigned attempt = 0;; ++attempt) {
        root_ = fs::JoinPath(parent, "tidelin-test-" + std::to_string(::GetCurrentProcessId()) +
                                         "-" + std::to_string(::GetTickCount64() + attempt));
        if (::CreateDirectoryW(LongPath(root_).c_str(), nullptr)) {
            break;
        }
        ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS))
            << "cannot create a test folder in " << parent;
    }
    tempDir_ = root_ + "\\tmp";
    ASSERT_TRUE(::CreateDirectoryW(LongPath(tempDir_).c_str(), nullptr));
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", Widen(tempDir_).c_str()));
}

void TempFolderTest::TearDown() {
    if (root_.empty()) {
        return;  // skipped before SetUp ran: nothing to put back
    }
    ::SetEnvironmentVariableW(L"TMP", hadTmpdir_ ? Widen(savedTmpdir_).c_str() : nullptr);
    RemoveTree(LongPath(root_));
}

void EngineTest::SetUp() {
    TempFolderTest::SetUp();
    engine = std::make_unique<Engine>(host, log);
    engine->ChooseWorkFile();
    host.yields = 0;
}

void WriteFile(const std::string& path, const std::string& content, unsigned mode) {
    const std::wstring wide = LongPath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << " error " << ::GetLastError();
    DWORD written = 0;
    const BOOL ok = content.empty() || ::WriteFile(file, content.data(),
                                                   static_cast<DWORD>(content.size()), &written,
                                                   nullptr);
    ::CloseHandle(file);
    ASSERT_TRUE(ok && written == content.size()) << path;
    if ((mode & 0200) == 0) {
        ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    }
}

std::string ReadFile(const std::string& path) {
    const HANDLE file = ::CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    ::CloseHandle(file);
    return content;
}

void MakeSparseFile(const std::string& path, std::int64_t size) {
    const HANDLE file = ::CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    EXPECT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
    ::CloseHandle(file);
}

std::uint32_t ModeOf(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 0xFFFFFFFF;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD AttributesOf(const std::string& path) {
    return ::GetFileAttributesW(LongPath(path).c_str());
}

bool MakeLink(const std::string& link, const std::string& target, bool folder) {
    const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) |
                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!::CreateSymbolicLinkW(LongPath(link).c_str(), LongPath(target).c_str(), flags)) {
        return false;
    }
    const DWORD attributes = AttributesOf(link);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int CopiesIn(const std::string& folder) {
    int copies = 0;
    for (const fs::FolderEntry& entry : fs::ListFolder(folder)) {
        copies += fs::IsCopyName(entry.name) ? 1 : 0;
    }
    return copies;
}

HeldFile::HeldFile(const std::string& path, const wchar_t* share) {
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring helper(self, length);
    helper = helper.substr(0, helper.find_last_of(L'\\') + 1) + L"tidelin_hold_file.exe";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    if (!::CreatePipe(&childIn, &input_, &inherit, 0) ||
        !::CreatePipe(&output_, &childOut, &inherit, 0)) {
        return;
    }
    ::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command = L"\"" + helper + L"\" \"" + LongPath(path) + L"\" " + share;
    const BOOL started = ::CreateProcessW(helper.c_str(), command.data(), nullptr, nullptr,
                                          TRUE, 0, nullptr, nullptr, &startup, &process_);
    ::CloseHandle(childIn);
    ::CloseHandle(childOut);
    char line[4] = {};
    DWORD got = 0;
    held_ = started && ::ReadFile(output_, line, 4, &got, nullptr) &&
            std::string(line, got) == "held";
}

HeldFile::~HeldFile() {
    ::CloseHandle(input_);  // the helper's standard input ends: it lets go
    if (process_.hProcess != nullptr) {
        ::WaitForSingleObject(process_.hProcess, 10000);
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
    }
    ::CloseHandle(output_);
}

int ErrorNumberOf(const std::function<void()>& function) {
    try {
        function();
    } catch (const EngineError& error) {
        return error.Number();
    }
    return 0;
}

}  // namespace tidelin::test
