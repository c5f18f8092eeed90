// Pieces shared by the POSIX files of the file-system layer.
#pragma once

#include <sys/stat.h>

#include <string>

#include "filesystem.h"

namespace tidelin::fs::posix {

// The hidden names of the program's copies beside a source begin so.
constexpr const char* CopyNamePrefix = ".k5ywhqx-";

PathInfo FromStat(const struct stat& st);
void CloseFd(int fd) noexcept;
// The folder part of `path`: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);
// A fresh name for a copy beside a source: ".k5ywhqx-" and six random letters.
std::string NewCopyName();
// Creates `path` exclusively with mode 0600 and takes the lock that marks it as in use. -1
// with errno EEXIST when the name is taken or the file was taken away before it was locked.
int CreateExclusiveLocked(const std::string& path);

}  // namespace tidelin::fs::posix
