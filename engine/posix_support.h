// Pieces shared by the POSIX files of the file-system layer (the twin of win32_support.h).
#pragma once

#include <sys/stat.h>

#include <string>

#include "filesystem.h"

namespace tidelin::fs::posix {

// Turns a failed system call's errno into the error the user sees, keeping errno and its text.
[[noreturn]] void RaiseSystemError(int errnoValue);

PathInfo FromStat(const struct stat& st);
// The descriptor behind an open file, and a descriptor (or -1) as a file of its own.
inline int Fd(NativeHandle handle) { return static_cast<int>(handle); }
inline int Fd(const File& file) { return Fd(file.Native()); }
inline File Adopt(int fd) { return File(static_cast<NativeHandle>(fd)); }
void CloseFd(int fd) noexcept;
// Creates `path` exclusively with mode 0600 and takes the lock that marks it as in use. -1
// with errno EEXIST when the name is taken or the file was taken away before it was locked.
int CreateExclusiveLocked(const std::string& path);

}  // namespace tidelin::fs::posix
