#include "win32_support.h"

#include <aclapi.h>

#include <cstdint>
#include <cstring>

#include "tidelin/errors.h"
#include "tidelin/utf16.h"

namespace tidelin::fs::win32 {

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    if (!utf16::TryWiden(text, wide)) {
        throw EngineError(err::BadFileName, DescribeError(err::BadFileName));
    }
    return wide;
}

namespace {

// `wide` with "/" turned into "\", and its absolute form (with the "\\?\" prefix when it is
// too long for the classic limit, less room for a file name in a new folder).
std::wstring Absolute(std::wstring& wide) {
    for (wchar_t& c : wide) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        RaiseLastError();
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        RaiseLastError();
    }
    full.resize(length);
    if (full.size() < MAX_PATH - 12) {
        return full;
    }
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    }
    return L"\\\\?\\" + full;
}

}  // namespace

std::wstring Win32Path(const std::string& path) {
    std::wstring wide = Widen(path);
    std::wstring full = Absolute(wide);
    // A path within the classic limit is used as given, with the usual meaning of its parts.
    return full.rfind(L"\\\\?\\", 0) == 0 ? full : wide;
}

std::wstring FullPath(const std::string& path) {
    std::wstring wide = Widen(path);
    return Absolute(wide);
}

namespace {

// The system's text for a Win32 error code, without its closing line break.
std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return text.empty() ? "Unknown error" : utf16::Narrow(text);
}

}  // namespace

void RaiseWin32Error(DWORD code) {
    std::int32_t number = err::DeviceIo;
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            number = err::FileNotFound;
            break;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            number = err::PathNotFound;
            break;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_INVALID_PARAMETER:
            number = err::BadFileName;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            // Another program has the file open without sharing it.
            throw EngineError(err::PermissionDenied, "Файл занят другой программой.", code,
                              SystemText(code));
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_PRIVILEGE_NOT_HELD:
            number = err::PermissionDenied;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_FILE_TOO_LARGE:
            number = err::DiskFull;
            break;
        case ERROR_TOO_MANY_OPEN_FILES:
            number = err::TooManyOpenFiles;
            break;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
        case ERROR_DIR_NOT_EMPTY:
        case ERROR_NOT_SAME_DEVICE:
        case ERROR_CANT_RESOLVE_FILENAME:
            number = err::PathFileAccess;
            break;
        default:
            number = err::DeviceIo;
            break;
    }
    throw EngineError(number, DescribeError(number), code, SystemText(code));
}

namespace {

// 100-nanosecond ticks since 1601 to nanoseconds since 1970.
std::int64_t TicksToNs(std::int64_t ticks) { return (ticks - 116444736000000000LL) * 100; }

}  // namespace

PathInfo FromAttributes(DWORD attributes, DWORD sizeHigh, DWORD sizeLow) {
    PathInfo info;
    if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        info.kind = EntryKind::Other;
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        info.kind = EntryKind::Directory;
    } else {
        info.kind = EntryKind::Regular;
    }
    info.size =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow);
    info.readOnly = info.kind == EntryKind::Regular && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    info.system = info.kind == EntryKind::Other || (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    info.mode = info.readOnly ? 0444 : 0666;
    return info;
}

PathInfo InfoOf(HANDLE handle) {
    PathInfo info;
    if (::GetFileType(handle) != FILE_TYPE_DISK) {  // a pipe, a console, a device
        info.kind = EntryKind::Other;
        info.system = true;
        return info;
    }
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handle, &data)) {
        RaiseLastError();
    }
    info = FromAttributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
    info.device = data.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.links = data.nNumberOfLinks;
    FILE_BASIC_INFO times{};
    if (::GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times)) {
        info.modifiedNs = TicksToNs(times.LastWriteTime.QuadPart);
        info.accessedNs = TicksToNs(times.LastAccessTime.QuadPart);
        info.changedNs = TicksToNs(times.ChangeTime.QuadPart);
    }
    return info;
}

File Adopt(Handle& handle) {
    return File(static_cast<NativeHandle>(reinterpret_cast<std::intptr_t>(handle.Release())));
}

HANDLE OpenEntry(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                 DWORD flags, SECURITY_ATTRIBUTES* security) {
    return ::CreateFileW(path.c_str(), access, share, security, disposition,
                         flags | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
}


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

std::vector<std::uint8_t> PrivateAcl() {
    std::vector<std::uint8_t> user = TokenPart(TokenUser);
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const DWORD size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid);
    std::vector<std::uint8_t> acl(size);
    auto* list = reinterpret_cast<ACL*>(acl.data());
    if (!::InitializeAcl(list, size, ACL_REVISION) ||
        !::AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, sid)) {
        RaiseLastError();
    }
    return acl;
}

bool OwnedByUser(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<std::uint8_t> user = TokenPart(TokenUser);
    std::vector<std::uint8_t> defaultOwner = TokenPart(TokenOwner);
    const bool mine =
        ::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) ||
        ::EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(defaultOwner.data())->Owner);
    ::LocalFree(descriptor);
    return mine;
}

DWORD RenameTo(HANDLE file, const std::wstring& target, bool replace) {
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(rename->FileName, target.data(), bytes);
    if (!::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size()))) {
        return ::GetLastError();
    }
    return ERROR_SUCCESS;
}

void DeleteOpenFile(HANDLE file) noexcept {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace tidelin::fs::win32
