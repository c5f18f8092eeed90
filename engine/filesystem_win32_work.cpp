// Windows implementation of the private parts of the file-system layer: the work file, the
// replacement of a source by its converted content, and the single-instance lock.
//
// The replacement renames the finished file over the source through the handle this process
// holds (the rename MoveFileExW with MOVEFILE_REPLACE_EXISTING performs), after giving it the
// source's attributes and security descriptor. ReplaceFileW would copy those itself, but some
// of its failures leave the source's path empty (ERROR_UNABLE_TO_MOVE_REPLACEMENT,
// ERROR_UNABLE_TO_MOVE_REPLACEMENT_2); a rename with replacement on one volume either happens
// or leaves everything as it was.
#include <aclapi.h>
#include <io.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "errors.h"
#include "filesystem.h"
#include "win32_support.h"

namespace tidelin::fs {

using win32::Handle;
using win32::RaiseLastError;
using win32::Win32Path;

namespace {

const char* const NotCreated = "Рабочий файл не создан: на его месте папка, ссылка или особый файл.";
const char* const Foreign = "Рабочий файл не создан: на его месте чужой или особый файл.";

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// One piece of information about this process's access token (the user, the default owner).
std::vector<std::uint8_t> TokenPart(TOKEN_INFORMATION_CLASS part) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        RaiseLastError();
    }
    const Handle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), part, nullptr, 0, &size);
    std::vector<std::uint8_t> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), part, buffer.data(), size, &size)) {
        RaiseLastError();
    }
    return buffer;
}

PSID UserSid(std::vector<std::uint8_t>& user) {
    return reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

// An access list that lets only `user` in: the twin of mode 0600.
std::vector<std::uint8_t> PrivateAcl(PSID user) {
    const DWORD size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(user);
    std::vector<std::uint8_t> acl(size);
    auto* list = reinterpret_cast<ACL*>(acl.data());
    if (!::InitializeAcl(list, size, ACL_REVISION) ||
        !::AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, user)) {
        RaiseLastError();
    }
    return acl;
}

// What a replaced file keeps of its source: attributes, owner, group and access list.
struct Kept {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL dacl = nullptr;
    bool protectedDacl = false;
    ~Kept() { ::LocalFree(descriptor); }
};

void ReadKept(HANDLE source, Kept& kept) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(source, &data)) {
        RaiseLastError();
    }
    kept.attributes = data.dwFileAttributes &
                      (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                       FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY);
    if (kept.attributes == 0) {
        kept.attributes = FILE_ATTRIBUTE_NORMAL;
    }
    const DWORD error = ::GetSecurityInfo(
        source, SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &kept.owner, &kept.group, &kept.dacl, nullptr, &kept.descriptor);
    if (error != ERROR_SUCCESS) {
        win32::RaiseWin32Error(error);
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (::GetSecurityDescriptorControl(kept.descriptor, &control, &revision)) {
        kept.protectedDacl = (control & SE_DACL_PROTECTED) != 0;
    }
}

// The access list of the source; one that inherits takes its inherited part from the folder
// the file is in when this runs.
void ApplyDacl(HANDLE file, const Kept& kept) {
    const DWORD error = ::SetSecurityInfo(
        file, SE_FILE_OBJECT,
        DACL_SECURITY_INFORMATION | (kept.protectedDacl ? PROTECTED_DACL_SECURITY_INFORMATION
                                                        : UNPROTECTED_DACL_SECURITY_INFORMATION),
        nullptr, nullptr, kept.dacl, nullptr);
    if (error != ERROR_SUCCESS) {
        win32::RaiseWin32Error(error);
    }
}

// Owner and group only where this user may set them, as on Linux; attributes and the access
// list must take.
void ApplyKept(HANDLE file, const Kept& kept) {
    (void)::SetSecurityInfo(file, SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, kept.owner,
                            kept.group, nullptr, nullptr);
    ApplyDacl(file, kept);
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = kept.attributes;
    if (!::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) {
        RaiseLastError();
    }
}

// Renames the open file over `target` in one step. Returns the Win32 error, 0 on success.
DWORD RenameOver(HANDLE file, const std::wstring& target) {
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(rename->FileName, target.data(), bytes);
    if (!::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size()))) {
        return ::GetLastError();
    }
    return 0;
}

void DeleteOpenFile(HANDLE file) noexcept {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

void CopyContent(HANDLE from, HANDLE to) {
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) {
        RaiseLastError();
    }
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from, buffer.get(), 1 << 20, &got, nullptr)) {
            RaiseLastError();
        }
        if (got == 0) {
            return;
        }
        DWORD put = 0;
        if (!::WriteFile(to, buffer.get(), got, &put, nullptr) || put != got) {
            RaiseLastError();
        }
    }
}

std::string FolderOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? "." : path.substr(0, separator + 1);
}

}  // namespace

File File::CreateWorkFile(const std::string& path) {
    const std::wstring wide = Win32Path(path);
    std::vector<std::uint8_t> user = TokenPart(TokenUser);
    std::vector<std::uint8_t> acl = PrivateAcl(UserSid(user));
    SECURITY_DESCRIPTOR descriptor{};
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(acl.data()), FALSE);
    ::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    SECURITY_ATTRIBUTES security{sizeof security, &descriptor, FALSE};
    // Nobody else may open the work file while it is written.
    Handle handle(win32::OpenEntry(wide, GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, &security));
    if (!handle.IsValid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = ::GetFileAttributesW(wide.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
                throw EngineError(err::PathFileAccess, NotCreated);
            }
        }
        win32::RaiseWin32Error(error);
    }
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    File file(win32::AdoptHandle(handle));
    const HANDLE raw = HandleOf(file.fd_);
    if (file.Info().kind != EntryKind::Regular) {
        throw EngineError(err::PathFileAccess, NotCreated);
    }
    if (existed) {
        // A left-over work file is used only when it is this user's; it is narrowed to this
        // user and emptied.
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR ownerDescriptor = nullptr;
        if (::GetSecurityInfo(raw, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                              nullptr, nullptr, &ownerDescriptor) != ERROR_SUCCESS) {
            throw EngineError(err::PathFileAccess, Foreign);
        }
        std::vector<std::uint8_t> defaultOwner = TokenPart(TokenOwner);
        const bool mine =
            ::EqualSid(owner, UserSid(user)) ||
            ::EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(defaultOwner.data())->Owner);
        ::LocalFree(ownerDescriptor);
        if (!mine) {
            throw EngineError(err::PathFileAccess, Foreign);
        }
        const DWORD error = ::SetSecurityInfo(
            raw, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
            nullptr, nullptr, reinterpret_cast<ACL*>(acl.data()), nullptr);
        if (error != ERROR_SUCCESS) {
            win32::RaiseWin32Error(error);
        }
        FILE_END_OF_FILE_INFO end{};
        if (!::SetFileInformationByHandle(raw, FileEndOfFileInfo, &end, sizeof end)) {
            RaiseLastError();
        }
    }
    return file;
}

void ReplaceFile(const std::string& workPath, const std::string& target, const PathInfo& keep) {
    (void)keep;  // on Windows the source's own attributes and security descriptor are kept
    const DWORD access = GENERIC_READ | DELETE | WRITE_DAC | WRITE_OWNER | FILE_WRITE_ATTRIBUTES;
    Handle work(win32::OpenEntry(Win32Path(workPath), access, 0, OPEN_EXISTING));
    if (!work.IsValid()) {
        RaiseLastError();
    }
    if (win32::InfoOf(work.Get()).kind != EntryKind::Regular) {
        throw EngineError(err::PathFileAccess, "Рабочий файл подменён.");
    }
    Kept kept;
    {
        const Handle source(win32::OpenEntry(Win32Path(target), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             OPEN_EXISTING));
        if (!source.IsValid()) {
            RaiseLastError();
        }
        ReadKept(source.Get(), kept);
    }
    const std::wstring targetPath = Win32Path(target);
    ApplyKept(work.Get(), kept);
    DWORD error = RenameOver(work.Get(), targetPath);
    if (error == 0) {
        // An inheriting access list takes its inherited part from the source's folder.
        if (!kept.protectedDacl) {
            ApplyDacl(work.Get(), kept);
        }
        return;
    }
    if (error != ERROR_NOT_SAME_DEVICE) {
        win32::RaiseWin32Error(error);
    }

    // Another volume: build the new content beside the source, then rename it over. Hidden
    // until it takes the source's place, and deleted whenever that fails.
    Handle copy;
    for (unsigned attempt = 0; !copy.IsValid(); ++attempt) {
        const std::string name = FolderOf(target) + ".k5ywhqx-" +
                                 std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string(::GetTickCount64() + attempt);
        copy.Reset(win32::OpenEntry(Win32Path(name), GENERIC_READ | GENERIC_WRITE | access, 0,
                                       CREATE_NEW,
                                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY));
        if (!copy.IsValid() && (::GetLastError() != ERROR_FILE_EXISTS || attempt == 100)) {
            RaiseLastError();
        }
    }
    try {
        CopyContent(work.Get(), copy.Get());
        if (!::FlushFileBuffers(copy.Get())) {
            RaiseLastError();
        }
        ApplyKept(copy.Get(), kept);
        error = RenameOver(copy.Get(), targetPath);
        if (error != 0) {
            win32::RaiseWin32Error(error);
        }
    } catch (...) {
        DeleteOpenFile(copy.Get());
        throw;
    }
    DeleteOpenFile(work.Get());
}

namespace {

void CloseLock(int number) noexcept {
    if (number >= 0) {
        ::CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(number)));
    }
}

}  // namespace

InstanceLock::~InstanceLock() { CloseLock(fd_); }

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_), state_(other.state_) {
    other.fd_ = -1;
    other.state_ = State::Unavailable;
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        CloseLock(fd_);
        fd_ = other.fd_;
        state_ = other.state_;
        other.fd_ = -1;
        other.state_ = State::Unavailable;
    }
    return *this;
}

// A named mutex in the session's own namespace, keyed by the temporary folder: other users'
// sessions cannot see it, and it goes away with the last process that holds it. Its handle
// is kept in the lock's number: Windows handles fit in 32 bits.
InstanceLock InstanceLock::Acquire() {
    InstanceLock lock;
    std::wstring folder;
    try {
        folder = win32::Widen(TemporaryFolder());
    } catch (const EngineError&) {
        return lock;
    }
    // The same folder however its name is cased.
    std::wstring upper(folder.size(), L'\0');
    if (!folder.empty() &&
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folder.c_str(),
                        static_cast<int>(folder.size()), upper.data(),
                        static_cast<int>(upper.size()), nullptr, nullptr, 0) == 0) {
        upper = folder;
    }
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const wchar_t c : upper) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Tidelin-%016llx", static_cast<unsigned long long>(hash));
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    if (mutex == nullptr) {
        return lock;  // a same-named object of another user: run without the lock
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        lock.state_ = State::HeldElsewhere;
        return lock;
    }
    lock.fd_ = static_cast<int>(reinterpret_cast<std::intptr_t>(mutex));
    lock.state_ = State::Acquired;
    return lock;
}

}  // namespace tidelin::fs
