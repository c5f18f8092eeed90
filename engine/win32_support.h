// Pieces shared by the Windows implementation of the file-system layer: UTF-8 paths turned
// into UTF-16 Win32 paths, Win32 errors turned into engine errors, and owned handles.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winioctl.h>
// windows.h gives two names the engine uses to macros: ReplaceFile (for ReplaceFileW) and
// Yield (a no-op left from 16-bit Windows).
#undef ReplaceFile
#undef Yield

#include <cstdint>
#include <string>
#include <vector>

#include "filesystem.h"

namespace tidelin::fs::win32 {

// A UTF-8 path in UTF-16; one that is not valid UTF-8 is a bad file name.
std::wstring Widen(const std::string& text);

// The UTF-16 path for a Win32 call, with "/" turned into "\". A path too long for the
// classic limit is made absolute and given the "\\?\" prefix, so it works whatever the
// system's long-path setting.
std::wstring Win32Path(const std::string& path);

// The absolute UTF-16 path (with the "\\?\" prefix when long), as a rename needs it.
std::wstring FullPath(const std::string& path);

// Turns a Win32 error code into the error the user sees, keeping the code and the system's
// text for it.
[[noreturn]] void RaiseWin32Error(DWORD code);
[[noreturn]] inline void RaiseLastError() { RaiseWin32Error(::GetLastError()); }

// What the engine needs to know of an entry with these attributes and size.
PathInfo FromAttributes(DWORD attributes, DWORD sizeHigh, DWORD sizeLow);
// What the engine needs to know of an open file or folder, with its identity.
PathInfo InfoOf(HANDLE handle);

// CreateFileW on `path` itself: a reparse point (link, junction) is opened as what it is,
// never followed. Folders open only with FILE_FLAG_BACKUP_SEMANTICS in `flags`.
HANDLE OpenEntry(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                 DWORD flags = 0, SECURITY_ATTRIBUTES* security = nullptr);

// The HANDLE behind an open file, and an open handle taken over as a file of its own.
inline HANDLE HandleOf(NativeHandle handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }
inline HANDLE HandleOf(const File& file) { return HandleOf(file.Native()); }
class Handle;
File Adopt(Handle& handle);

// One Win32 handle, closed when the object goes away.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE Get() const { return handle_; }
    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) noexcept {
        if (IsValid()) {
            ::CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// One piece of information about this process's access token (TokenUser, TokenOwner).
std::vector<std::uint8_t> TokenPart(TOKEN_INFORMATION_CLASS part);

// An access list that lets only the current user in: the twin of mode 0600.
std::vector<std::uint8_t> PrivateAcl();

// Whether the open file belongs to the current user (or to the default owner of what the
// user creates, such as the Administrators group of an elevated administrator).
bool OwnedByUser(HANDLE file);

// Renames the open file to the absolute path `target` in one step, over an existing file
// when `replace` (the rename that MoveFileExW with MOVEFILE_REPLACE_EXISTING performs, done
// through the handle this process holds). Returns the Win32 error, ERROR_SUCCESS on success.
DWORD RenameTo(HANDLE file, const std::wstring& target, bool replace);

// Marks the open file for deletion when its last handle closes; never fails.
void DeleteOpenFile(HANDLE file) noexcept;

}  // namespace tidelin::fs::win32
