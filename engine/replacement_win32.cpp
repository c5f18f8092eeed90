// Putting converted content in the place of its source on Windows. The work file, created
// private in the temporary folder, is moved beside the source (copied there when the two lie
// on different volumes), gets the source's owner, group, access list and attributes, and
// takes the source's name in one rename only while the source still shows what was read.
//
// The rename is the one MoveFileExW with MOVEFILE_REPLACE_EXISTING performs, done through the
// handle this process holds, so that no other program can swap the file in between and
// rights the copy's new access list would deny are not needed. ReplaceFileW would copy the
// attributes and access list itself, but some of its failures leave the source's name empty
// (ERROR_UNABLE_TO_MOVE_REPLACEMENT, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), and it needs its
// own check of the source's state; a rename with replacement on one volume either happens or
// leaves everything as it was. MOVEFILE_WRITE_THROUGH adds nothing to a rename on one volume:
// the content is flushed before (FlushFileBuffers), and the file system logs the rename.
#include <aclapi.h>

#include <functional>
#include <memory>
#include <string>

#include "errors.h"
#include "filesystem.h"
#include "filesystem_shared.h"
#include "win32_support.h"

namespace tidelin::fs {

using win32::Handle;
using win32::HandleOf;
using win32::RaiseLastError;
using win32::Win32Path;

namespace {

// The security descriptor of a file: owner, group and access list.
struct Security {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL dacl = nullptr;
    bool protectedDacl = false;
    ~Security() { ::LocalFree(descriptor); }
};

void ReadSecurity(HANDLE file, Security& security) {
    const DWORD error = ::GetSecurityInfo(
        file, SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &security.owner, &security.group, &security.dacl, nullptr, &security.descriptor);
    if (error != ERROR_SUCCESS) {
        win32::RaiseWin32Error(error);
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (::GetSecurityDescriptorControl(security.descriptor, &control, &revision)) {
        security.protectedDacl = (control & SE_DACL_PROTECTED) != 0;
    }
}

void CopyContent(HANDLE from, HANDLE to) {
    const DWORD size = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[size]);
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) {
        RaiseLastError();
    }
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from, buffer.get(), size, &got, nullptr)) {
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

}  // namespace

void KeepOwner(File&, const PathInfo&) {
    // The owner is part of the security descriptor, which KeepAttributes copies whole.
}

void KeepAttributes(File& copy, File& source, const PathInfo&) {
    const HANDLE to = HandleOf(copy.Descriptor());
    const HANDLE from = HandleOf(source.Descriptor());
    Security security;
    ReadSecurity(from, security);
    // Owner and group: an owner that differs from the copy's and cannot be set refuses the
    // file, as on Linux.
    if (::SetSecurityInfo(to, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                          security.owner, security.group, nullptr, nullptr) != ERROR_SUCCESS) {
        Security now;
        ReadSecurity(to, now);
        if (!::EqualSid(now.owner, security.owner)) {
            throw EngineError(err::PermissionDenied, "Владельца и группу файла сохранить нельзя.");
        }
    }
    // An inheriting access list takes its inherited part from the folder the copy is in,
    // which is the source's.
    const DWORD protection = security.protectedDacl ? PROTECTED_DACL_SECURITY_INFORMATION
                                                    : UNPROTECTED_DACL_SECURITY_INFORMATION;
    if (::SetSecurityInfo(to, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | protection, nullptr,
                          nullptr, security.dacl, nullptr) != ERROR_SUCCESS) {
        throw EngineError(err::PermissionDenied, "Список доступа файла сохранить нельзя.");
    }
    // The source's attributes (read-only, hidden and system ones are never replaced), which
    // also ends the copy's being hidden.
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(from, &data)) {
        RaiseLastError();
    }
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = data.dwFileAttributes &
                           (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                            FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY);
    if (basic.FileAttributes == 0) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!::SetFileInformationByHandle(to, FileBasicInfo, &basic, sizeof basic)) {
        RaiseLastError();
    }
}

void PublishOver(File& copy, const std::string&, const std::string& target,
                 const PathInfo& read) {
    shared::RunBeforePublishHook(target);
    const HANDLE file = HandleOf(copy.Descriptor());
    bool unchanged = false;
    try {
        unchanged = SameFileState(QueryPath(target), read);
    } catch (const EngineError& error) {
        if (error.Number() != err::FileNotFound) {
            throw;
        }
    }
    if (!unchanged) {
        throw EngineError(err::DeviceIo, "Файл изменился во время чтения.");
    }
    const DWORD error = win32::RenameTo(file, win32::FullPath(target), true);
    if (error != ERROR_SUCCESS) {
        win32::DeleteOpenFile(file);
        win32::RaiseWin32Error(error);
    }
}

void SyncFolderOf(const std::string&) {
    // Windows offers no flush of a folder; the file system logs the rename before it returns.
}

File MoveBeside(File work, const std::string& /*workPath: the handle is enough*/,
                const std::string& target, std::string& name) {
    const HANDLE file = HandleOf(work.Descriptor());
    for (int attempt = 0; attempt < shared::NameAttempts; ++attempt) {
        name = shared::NewCopyPathBeside(target);
        const DWORD error = win32::RenameTo(file, win32::FullPath(name), false);
        if (error == ERROR_SUCCESS) {
            return work;  // the same file, still open, now beside the target
        }
        if (error == ERROR_NOT_SAME_DEVICE) {
            break;  // another volume: copy
        }
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            win32::RaiseWin32Error(error);
        }
    }
    File copy;
    for (int attempt = 0; attempt < shared::NameAttempts && !copy.IsOpen(); ++attempt) {
        name = shared::NewCopyPathBeside(target);
        copy = File::CreateWorkFile(name);
    }
    if (!copy.IsOpen()) {
        win32::RaiseWin32Error(ERROR_FILE_EXISTS);
    }
    try {
        CopyContent(file, HandleOf(copy.Descriptor()));
    } catch (...) {
        win32::DeleteOpenFile(HandleOf(copy.Descriptor()));
        throw;
    }
    win32::DeleteOpenFile(file);  // gone when `work` closes on return
    return copy;
}

}  // namespace tidelin::fs
