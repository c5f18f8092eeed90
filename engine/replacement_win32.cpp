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
// The twin of replacement_posix.cpp, with the same functions in the same order.
#include <aclapi.h>

#include <functional>
#include <memory>
#include <string>

#include "tidelin/errors.h"
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

}  // namespace

void KeepOwner(File&, const PathInfo&) {
    // The owner is part of the security descriptor, which KeepAttributes copies whole.
}

void KeepTimes(File& copy, const PathInfo& keep) {
    // Nanoseconds since 1970 back to 100-nanosecond ticks since 1601.
    const auto time = [](std::int64_t ns) {
        const auto ticks = static_cast<std::uint64_t>(ns / 100 + 116444736000000000LL);
        return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    };
    const FILETIME accessed = time(keep.accessedNs);
    const FILETIME modified = time(keep.modifiedNs);
    if (!::SetFileTime(HandleOf(copy), nullptr, &accessed, &modified)) {
        RaiseLastError();
    }
}

void KeepAttributes(File& copy, File& source, const PathInfo&) {
    const HANDLE to = HandleOf(copy);
    const HANDLE from = HandleOf(source);
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
    // The source's attributes (read-only and system files are never replaced, a hidden one
    // only when hidden files are asked for, and it stays hidden); a copy of a file that is not
    // hidden so stops being hidden itself.
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(from, &data)) {
        RaiseLastError();
    }
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = data.dwFileAttributes &
                           (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                            FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN);
    if (basic.FileAttributes == 0) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!::SetFileInformationByHandle(to, FileBasicInfo, &basic, sizeof basic)) {
        RaiseLastError();
    }
}

void PublishOver(File& copy, const std::string&, const std::string& target,
                 const PathInfo& read) {
    const auto linked = shared::LockWhileLinked(read);
    const PathInfo before = shared::CheckUnchangedBeforePublish(target, read);
    const HANDLE file = HandleOf(copy);
    const DWORD error = win32::RenameTo(file, win32::FullPath(target), true);
    if (error != ERROR_SUCCESS) {
        win32::DeleteOpenFile(file);
        win32::RaiseWin32Error(error);
    }
    // A file with other names stays at them: it is found again by its file number (on the
    // volume of the copy, which now holds its name) to tell its state after the rename.
    if (read.links > 1) {
        FILE_ID_DESCRIPTOR id{};
        id.dwSize = sizeof id;
        id.Type = FileIdType;
        id.FileId.QuadPart = static_cast<LONGLONG>(read.inode);
        const Handle replaced(::OpenFileById(file, &id, FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
        if (replaced.IsValid()) {
            try {
                shared::RecordOwnRename(before, win32::InfoOf(replaced.Get()));
            } catch (const EngineError&) {
                // Unrecorded, the other names are refused with error 57 as if edited.
            }
        }
    }
}

void SyncFolderOf(const std::string&) {
    // Windows offers no flush of a folder; the file system logs the rename before it returns.
}

namespace shared {

Renamed RenameWithoutReplacing(File& file, const std::string&, const std::string& to) {
    // Through the handle this process holds, so the path it was opened by is not needed.
    const DWORD error = win32::RenameTo(HandleOf(file), win32::FullPath(to), false);
    if (error == ERROR_SUCCESS) {
        return Renamed::Done;
    }
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return Renamed::NameTaken;
    }
    if (error == ERROR_NOT_SAME_DEVICE) {
        return Renamed::OtherVolume;
    }
    win32::RaiseWin32Error(error);
}

bool CopyInSystem(File&, File&, std::int64_t& copied) {
    copied = 0;
    return false;  // no copy between two open handles: through a buffer
}

}  // namespace shared

}  // namespace tidelin::fs
