#include "win32_support.h"

#include <fcntl.h>
#include <io.h>

#include <climits>
#include <cstdint>

#include "errors.h"

namespace tidelin::fs::win32 {

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > INT_MAX) {
        throw EngineError(err::BadFileName, DescribeError(err::BadFileName));
    }
    const int size = static_cast<int>(text.size());
    const int length =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) {
        throw EngineError(err::BadFileName, DescribeError(err::BadFileName));
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
    if (length == 0 || length > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(length);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, size, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

std::wstring Win32Path(const std::string& path) {
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    // A relative path counts with the folder it is relative to.
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
    // Below the classic limit (less room for a file name in a new folder) no prefix is
    // needed, and the path is used as given.
    if (full.size() < MAX_PATH - 12) {
        return wide;
    }
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    }
    return L"\\\\?\\" + full;
}

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
            throw EngineError(err::PermissionDenied, "Файл занят другой программой.");
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
    throw EngineError(number, DescribeError(number));
}

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
    return info;
}

int AdoptHandle(Handle& handle) {
    const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle.Get()), _O_BINARY);
    if (fd < 0) {
        throw EngineError(err::DeviceIo, DescribeError(err::DeviceIo));
    }
    handle.Release();
    return fd;
}

HANDLE OpenEntry(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                 DWORD flags, SECURITY_ATTRIBUTES* security) {
    return ::CreateFileW(path.c_str(), access, share, security, disposition,
                         flags | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
}

}  // namespace tidelin::fs::win32
