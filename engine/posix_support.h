// Pieces shared by the POSIX files of the file-system layer (the twin of win32_support.h).
#pragma once

#include <sys/stat.h>

#include <string>

#include "filesystem.h"

namespace tidelin::fs::posix {

PathInfo FromStat(const struct stat& st);
void CloseFd(int fd) noexcept;
// Creates `path` exclusively with mode 0600 and takes the lock that marks it as in use. -1
// with errno EEXIST when the name is taken or the file was taken away before it was locked.
int CreateExclusiveLocked(const std::string& path);

}  // namespace tidelin::fs::posix
