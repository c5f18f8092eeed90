// Windows implementation of the engine's file-system layer. Paths are UTF-8 at the engine's
// boundary and UTF-16 at every Win32 call, so any name Windows can hold works. Read-only,
// hidden and system are the files' own attributes; reparse points (links, junctions) are
// system entries and are never followed. The twin of filesystem_posix.cpp, with the same
// functions in the same order: looking at entries, open files, the removal of left-overs,
// folder listings and the temporary folder.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <filesystem>
#include <string>
#include <vector>

#include "tidelin/errors.h"
#include "filesystem.h"
#include "filesystem_shared.h"
#include "tidelin/utf16.h"
#include "win32_support.h"

namespace tidelin::fs {

const char PathSeparator = '\\';
const char* const PathSeparators = "\\/";
const char* const SystemCodeName = "Win32 error";
const bool NamesIgnoreCase = true;

using win32::Handle;
using win32::HandleOf;
using win32::RaiseLastError;
using win32::Win32Path;

namespace {

// Only the entry's attributes are read: this opens also files that another program holds
// open without sharing.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The position of a read or write at byte `at` of the file.
OVERLAPPED PositionAt(std::uint64_t at) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    return position;
}

}  // namespace

PathInfo QueryPath(const std::string& path) {
    const std::wstring wide = Win32Path(path);
    Handle entry(win32::OpenEntry(wide, FILE_READ_ATTRIBUTES, ShareAll, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS));
    if (entry.IsValid()) {
        return win32::InfoOf(entry.Get());
    }
    const DWORD error = ::GetLastError();
    // Some entries (a file waiting to be deleted, a system's paging file) cannot be opened
    // at all; the folder still tells their attributes and size.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        !::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        win32::RaiseWin32Error(error);
    }
    return win32::FromAttributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
}

bool EntryExists(const std::string& path) {
    // The attributes of the entry itself: a dangling link exists too.
    if (::GetFileAttributesW(Win32Path(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    // A missing folder on the way is as good an answer as a missing last component.
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return false;
    }
    win32::RaiseWin32Error(error);
}

std::string AbsolutePath(const std::string& path, const std::string&) {
    // Windows resolves a path by its own rules (drives, "\\server\share", "." and ".."), as
    // GetFullPathNameW does for std::filesystem::absolute; UTF-8 goes in and out as char8_t.
    const std::u8string full =
        std::filesystem::absolute(std::u8string(path.begin(), path.end())).u8string();
    return std::string(full.begin(), full.end());
}

std::string FinalPath(const std::string& path) {
    // Opened without FILE_FLAG_OPEN_REPARSE_POINT, so that the system follows every link.
    Handle entry(::CreateFileW(Win32Path(path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!entry.IsValid()) {
        return {};
    }
    std::wstring final(32768, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(entry.Get(), final.data(),
                                                     static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= final.size()) {
        return {};
    }
    final.resize(length);
    // The system answers with the long-path prefix; the program's paths carry none.
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        final = L"\\\\" + final.substr(8);
    } else if (final.rfind(L"\\\\?\\", 0) == 0) {
        final = final.substr(4);
    }
    return utf16::Narrow(final);
}

bool IsFileSystemRoot(const std::string& path) {
    // Where the path leads, with "." and "..", links and junctions resolved by the system.
    std::string final = FinalPath(path);
    if (final.empty()) {
        return false;
    }
    std::replace(final.begin(), final.end(), '/', '\\');
    while (final.size() > 1 && final.back() == '\\') {
        final.pop_back();
    }
    // A drive's root ("C:"), or a share's ("\\server\share": one separator after the server).
    if (final.size() == 2 && final[1] == ':') {
        return true;
    }
    if (final.rfind("\\\\", 0) != 0) {
        return false;
    }
    const std::size_t share = final.find('\\', 2);
    return share != std::string::npos && final.find('\\', share + 1) == std::string::npos;
}

File File::OpenForReading(const std::string& path, const PathInfo* looked) {
    const PathInfo before = looked != nullptr ? *looked : QueryPath(path);
    shared::RequireRegular(before);
    // Others may go on reading and writing (a change is caught by the size and identity
    // checks, as on Linux), but nobody may rename or delete the source while it is read.
    Handle handle(win32::OpenEntry(Win32Path(path), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN));
    if (!handle.IsValid()) {
        RaiseLastError();
    }
    File file = win32::Adopt(handle);
    const PathInfo opened = file.Info();
    shared::RequireRegular(opened);
    if (looked != nullptr) {
        shared::RequireLookedAt(opened, *looked);
    }
    return file;
}

File File::CreateUnnamedBeside(const std::string&) {
    return File();  // Windows has no unnamed files: the named work file is moved beside
}

File File::CreateWorkFile(const std::string& path) {
    const std::wstring wide = Win32Path(path);
    std::vector<std::uint8_t> acl = win32::PrivateAcl();
    SECURITY_DESCRIPTOR descriptor{};
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(acl.data()), FALSE);
    ::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    SECURITY_ATTRIBUTES security{sizeof security, &descriptor, FALSE};
    // Created exclusively and hidden, only this user may reach it, and while it is open no
    // other program may read or write it (which marks it as in use); it may only be deleted,
    // as the program itself does through another handle.
    Handle handle(win32::OpenEntry(wide, GENERIC_READ | GENERIC_WRITE | DELETE | READ_CONTROL |
                                             WRITE_DAC | WRITE_OWNER,
                                   FILE_SHARE_DELETE, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN,
                                   &security));
    if (!handle.IsValid()) {
        const DWORD error = ::GetLastError();
        // A folder or a file waiting to be deleted at that name answers "access denied".
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
            (error == ERROR_ACCESS_DENIED && EntryExists(path))) {
            return File();
        }
        win32::RaiseWin32Error(error);
    }
    return win32::Adopt(handle);
}

PathInfo File::Info() const { return win32::InfoOf(HandleOf(handle_)); }

std::size_t File::ReadAt(void* buffer, std::size_t count, std::int64_t offset) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        OVERLAPPED position = PositionAt(static_cast<std::uint64_t>(offset) + done);
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(HandleOf(handle_), out + done, wanted, &got, &position)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            RaiseLastError();
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

void File::WriteAt(const void* buffer, std::size_t count, std::int64_t offset) {
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        OVERLAPPED position = PositionAt(static_cast<std::uint64_t>(offset) + done);
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(HandleOf(handle_), in + done, wanted, &put, &position)) {
            RaiseLastError();
        }
        done += put;
    }
}

std::size_t File::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(HandleOf(handle_), out + done, wanted, &got, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) {  // the writer closed it
                break;
            }
            win32::RaiseWin32Error(error);
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

void File::Write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(HandleOf(handle_), in + done, wanted, &put, nullptr)) {
            RaiseLastError();
        }
        done += put;
    }
}

namespace {

File DuplicateOf(DWORD standard) {
    HANDLE copy = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, ::GetStdHandle(standard), process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        throw EngineError(err::BadFileName, DescribeError(err::BadFileName));
    }
    Handle handle(copy);
    return win32::Adopt(handle);
}

}  // namespace

File File::StandardInput() { return DuplicateOf(STD_INPUT_HANDLE); }

File File::StandardOutput() { return DuplicateOf(STD_OUTPUT_HANDLE); }

File File::CreateUnnamedTemporary() {
    // Only this process may open it while it exists, and the system deletes it with the last
    // handle, also when the process ends abnormally.
    for (int attempt = 0;; ++attempt) {
        const std::wstring path = Win32Path(JoinPath(TemporaryFolder(), NewCopyName()));
        Handle handle(win32::OpenEntry(path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE));
        if (handle.IsValid()) {
            return win32::Adopt(handle);
        }
        const DWORD error = ::GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100) {
            win32::RaiseWin32Error(error);
        }
    }
}

bool File::IsTerminal() const { return ::GetFileType(HandleOf(handle_)) == FILE_TYPE_CHAR; }

void File::Sync() {
    if (!::FlushFileBuffers(HandleOf(handle_))) {
        RaiseLastError();
    }
}

bool File::SyncFileSystem() {
    return false;  // no flush of a whole volume for an ordinary user: each file is flushed
}

void File::Close() {
    const HANDLE handle = HandleOf(std::exchange(handle_, NativeHandle::None));
    if (handle != INVALID_HANDLE_VALUE && !::CloseHandle(handle)) {
        RaiseLastError();
    }
}

void File::CloseQuietly() noexcept {
    const HANDLE handle = HandleOf(std::exchange(handle_, NativeHandle::None));
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
    }
}

void RemoveIfSameFile(const std::string& path, const PathInfo& id) noexcept {
    try {
        // The program's own files share deletion, so this works while one is still open.
        const Handle file(win32::OpenEntry(Win32Path(path), DELETE | FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           OPEN_EXISTING));
        if (!file.IsValid()) {
            return;
        }
        const PathInfo info = win32::InfoOf(file.Get());
        if (info.kind == EntryKind::Regular && info.device == id.device && info.inode == id.inode) {
            win32::DeleteOpenFile(file.Get());
        }
    } catch (...) {
        // A copy that cannot be looked at stays; a later start removes it as a left-over.
    }
}

void RemoveIfStale(const std::string& path, bool) noexcept {
    try {
        // Sharing nothing: a file that a running instance holds open does not open here. The
        // access list stands in for the mode: the work file's is private, a copy beside its
        // source may already carry the source's, so it is not judged.
        const Handle file(win32::OpenEntry(Win32Path(path),
                                           DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0,
                                           OPEN_EXISTING));
        if (!file.IsValid()) {
            return;
        }
        const PathInfo info = win32::InfoOf(file.Get());
        if (shared::IsOwnLeftOver(info, win32::OwnedByUser(file.Get()), true)) {
            win32::DeleteOpenFile(file.Get());
        }
    } catch (...) {
        // A left-over that cannot be looked at stays; the next start tries again.
    }
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
    // The folder stays open while it is listed, so it cannot be replaced by a link meanwhile;
    // a reparse point is never listed through.
    Handle folder(win32::OpenEntry(Win32Path(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS));
    if (!folder.IsValid()) {
        RaiseLastError();
    }
    if (win32::InfoOf(folder.Get()).kind != EntryKind::Directory) {
        shared::RequireRegular(PathInfo());  // a system entry
    }
    WIN32_FIND_DATAW data{};
    const HANDLE search =
        ::FindFirstFileExW(Win32Path(JoinPath(path, "*.*")).c_str(), FindExInfoBasic, &data,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    std::vector<FolderEntry> entries;
    if (search == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return entries;  // an empty drive root lists not even "." and ".."
        }
        RaiseLastError();
    }
    const std::unique_ptr<void, BOOL (*)(HANDLE)> owner(search, ::FindClose);
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const bool isDirectory =
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        entries.push_back({utf16::Narrow(name), isDirectory});
    } while (::FindNextFileW(search, &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        RaiseLastError();
    }
    shared::SortByName(entries);
    return entries;
}

std::string TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
        RaiseLastError();
    }
    std::wstring folder(buffer, length);
    // "C:\Users\x\AppData\Local\Temp\" loses its last "\"; a drive root "C:\" keeps it.
    if (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return utf16::Narrow(folder);
}

namespace {

std::atomic<bool> stopped{false};
std::atomic<bool> stopAtOnce{false};

// Runs on a thread the system starts for the console's event.
BOOL WINAPI OnConsoleStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (stopAtOnce.load() || stopped.exchange(true)) {
        ::ExitProcess(130);
    }
    return TRUE;
}

}  // namespace

void CatchStopSignals(bool atOnce) {
    stopAtOnce = atOnce;
    ::SetConsoleCtrlHandler(OnConsoleStop, TRUE);
}

int StopSignalStatus() { return stopped.load() ? 130 : 0; }

void SetUnnamedFilesOffered(bool) {
    // Windows never offers them.
}

}  // namespace tidelin::fs
