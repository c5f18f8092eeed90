#include "posix_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tidelin/errors.h"

namespace tidelin::fs::posix {

void RaiseSystemError(int errnoValue) {
    std::int32_t number = err::DeviceIo;
    switch (errnoValue) {
        case ENOENT:
            number = err::FileNotFound;
            break;
        case ENOTDIR:
            number = err::PathNotFound;
            break;
        case ENAMETOOLONG:
        case EINVAL:
            number = err::BadFileName;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            number = err::PermissionDenied;
            break;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            number = err::DiskFull;
            break;
        case EMFILE:
        case ENFILE:
            number = err::TooManyOpenFiles;
            break;
        case EISDIR:
        case ELOOP:
        case EEXIST:
        case ENOTEMPTY:
        case EBUSY:
        case EXDEV:
            number = err::PathFileAccess;
            break;
        default:
            number = err::DeviceIo;
            break;
    }
    throw EngineError(number, DescribeError(number), errnoValue, std::strerror(errnoValue));
}

PathInfo FromStat(const struct stat& st) {
    PathInfo info;
    if (S_ISREG(st.st_mode)) {
        info.kind = EntryKind::Regular;
    } else if (S_ISDIR(st.st_mode)) {
        info.kind = EntryKind::Directory;
    } else {
        info.kind = EntryKind::Other;
    }
    info.size = static_cast<std::int64_t>(st.st_size);
    info.mode = st.st_mode & 07777;
    info.owner = st.st_uid;
    info.group = st.st_gid;
    info.device = st.st_dev;
    info.inode = st.st_ino;
    info.links = st.st_nlink;
    const auto nanoseconds = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    info.modifiedNs = nanoseconds(st.st_mtim);
    info.accessedNs = nanoseconds(st.st_atim);
    info.changedNs = nanoseconds(st.st_ctim);
    info.readOnly = info.kind == EntryKind::Regular && (info.mode & 0200) == 0;
    info.system = info.kind == EntryKind::Other;
    return info;
}

void CloseFd(int fd) noexcept {
    if (fd >= 0) {
        ::close(fd);
    }
}

int CreateExclusiveLocked(const std::string& path) {
    const int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        return -1;
    }
    // Between the creation and the lock another start may have removed the file as stale:
    // then the name no longer leads to it, and it counts as taken.
    struct stat opened {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &opened) != 0 ||
        ::lstat(path.c_str(), &named) != 0 || opened.st_ino != named.st_ino ||
        opened.st_dev != named.st_dev) {
        ::close(fd);
        errno = EEXIST;
        return -1;
    }
    return fd;
}

}  // namespace tidelin::fs::posix
