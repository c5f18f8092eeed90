// POSIX implementation of the engine's file-system layer.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "errors.h"
#include "filesystem.h"

namespace tidelin::fs {

namespace {

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
    info.readOnly = info.kind == EntryKind::Regular && (info.mode & 0200) == 0;
    info.system = info.kind == EntryKind::Other;
    return info;
}

[[noreturn]] void RaiseNotRegular(EntryKind kind) {
    if (kind == EntryKind::Directory) {
        throw EngineError(err::PathFileAccess, "Это папка, а не файл.");
    }
    throw EngineError(err::PathFileAccess,
                      "Системные файлы (ссылки, каналы, устройства) не изменяются.");
}


// A hidden entry is one whose name begins with ".".
bool IsHiddenName(const std::string& path) {
    const std::string name = BaseName(path);
    return !name.empty() && name[0] == '.';
}

void CloseFd(int fd) noexcept {
    if (fd >= 0) {
        ::close(fd);
    }
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

// Copies the whole content of `from` (read from its start) into `to`.
void CopyContent(int from, int to) {
    off_t inOffset = 0;
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, &inOffset, to, nullptr, 1 << 30, 0);
        if (copied > 0) {
            continue;
        }
        if (copied == 0) {
            return;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            RaiseSystemError(errno);
        }
        break;  // not offered between these file systems: copy through a buffer
    }
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    for (;;) {
        const ssize_t got = ::pread(from, buffer.get(), 1 << 20, inOffset);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseSystemError(errno);
        }
        if (got == 0) {
            return;
        }
        ssize_t done = 0;
        while (done < got) {
            const ssize_t put = ::write(to, buffer.get() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                RaiseSystemError(errno);
            }
            done += put;
        }
        inOffset += got;
    }
}

// Gives the open file the owner, group and permission bits of `keep`. Changing the owner
// needs privileges the user usually lacks, so only the permission bits must succeed.
void ApplyOwnerAndMode(int fd, const PathInfo& keep) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        RaiseSystemError(errno);
    }
    if (st.st_uid != keep.owner || st.st_gid != keep.group) {
        (void)::fchown(fd, keep.owner, keep.group);
    }
    if (::fchmod(fd, keep.mode) != 0) {
        RaiseSystemError(errno);
    }
}

}  // namespace

PathInfo QueryPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        RaiseSystemError(errno);
    }
    PathInfo info = FromStat(st);
    info.hidden = IsHiddenName(path);
    return info;
}

bool EntryExists(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        return true;
    }
    if (errno == ENOENT) {
        return false;
    }
    RaiseSystemError(errno);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == PathSeparator) {
        return folder + name;
    }
    return folder + PathSeparator + name;
}

File::~File() { CloseQuietly(); }

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        CloseQuietly();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

File File::OpenForReading(const std::string& path) {
    // Looking first keeps devices and FIFOs from being opened at all; the check on the
    // opened descriptor below closes the gap between the look and the open.
    const PathInfo before = QueryPath(path);
    if (before.kind != EntryKind::Regular) {
        RaiseNotRegular(before.kind);
    }
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) {
            RaiseNotRegular(EntryKind::Other);
        }
        RaiseSystemError(errno);
    }
    File file(fd);
    const PathInfo opened = file.Info();
    if (opened.kind != EntryKind::Regular) {
        RaiseNotRegular(opened.kind);
    }
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

File File::CreateWorkFile(const std::string& path) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == ELOOP || errno == EISDIR || errno == ENXIO) {
            throw EngineError(err::PathFileAccess,
                              "Рабочий файл не создан: на его месте папка, ссылка или "
                              "особый файл.");
        }
        RaiseSystemError(errno);
    }
    File file(fd);
    const PathInfo info = file.Info();
    if (info.kind != EntryKind::Regular || info.owner != ::geteuid()) {
        throw EngineError(err::PathFileAccess,
                          "Рабочий файл не создан: на его месте чужой или особый файл.");
    }
    if (::ftruncate(fd, 0) != 0) {
        RaiseSystemError(errno);
    }
    if ((info.mode & 0777) != 0600 && ::fchmod(fd, 0600) != 0) {
        RaiseSystemError(errno);
    }
    return file;
}

PathInfo File::Info() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        RaiseSystemError(errno);
    }
    return FromStat(st);
}

std::size_t File::ReadAt(void* buffer, std::size_t count, std::int64_t offset) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, out + done, count - done, offset + done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseSystemError(errno);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void File::WriteAt(const void* buffer, std::size_t count, std::int64_t offset) {
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put = ::pwrite(fd_, in + done, count - done, offset + done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseSystemError(errno);
        }
        done += static_cast<std::size_t>(put);
    }
}

void File::Sync() {
    if (::fsync(fd_) != 0) {
        RaiseSystemError(errno);
    }
}

void File::Close() {
    const int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
        RaiseSystemError(errno);
    }
}

void File::CloseQuietly() noexcept {
    CloseFd(fd_);
    fd_ = -1;
}

void ReplaceFile(const std::string& workPath, const std::string& target, const PathInfo& keep) {
    const int workFd = ::open(workPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (workFd < 0) {
        RaiseSystemError(errno);
    }
    File work(workFd);
    const PathInfo workInfo = work.Info();
    if (workInfo.kind != EntryKind::Regular || workInfo.owner != ::geteuid()) {
        throw EngineError(err::PathFileAccess, "Рабочий файл подменён.");
    }
    ApplyOwnerAndMode(workFd, keep);
    if (::rename(workPath.c_str(), target.c_str()) == 0) {
        work.Close();
        return;
    }
    if (errno != EXDEV) {
        RaiseSystemError(errno);
    }

    // Different file systems: build the new content beside the target, then rename it over.
    std::string temp = FolderOf(target) + "/.k5ywhqx-XXXXXX";
    const int tempFd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (tempFd < 0) {
        RaiseSystemError(errno);
    }
    File copy(tempFd);
    try {
        CopyContent(workFd, tempFd);
        ApplyOwnerAndMode(tempFd, keep);
        copy.Sync();
        copy.Close();
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            RaiseSystemError(errno);
        }
    } catch (...) {
        copy.CloseQuietly();
        ::unlink(temp.c_str());
        throw;
    }
    work.CloseQuietly();
    ::unlink(workPath.c_str());
}

void RemoveRegularFileQuietly(const std::string& path) noexcept {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::unlink(path.c_str());
    }
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        RaiseSystemError(errno);
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        ::close(fd);
        RaiseSystemError(error);
    }
    std::unique_ptr<DIR, int (*)(DIR*)> owner(dir, ::closedir);
    std::vector<FolderEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                RaiseSystemError(errno);
            }
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDirectory = ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISDIR(st.st_mode);
        }
        entries.push_back({name, isDirectory});
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

std::string TemporaryFolder() {
    const char* value = std::getenv("TMPDIR");
    std::string folder = (value != nullptr && *value != '\0') ? value : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

InstanceLock::~InstanceLock() { CloseFd(fd_); }

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_), state_(other.state_) {
    other.fd_ = -1;
    other.state_ = State::Unavailable;
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        CloseFd(fd_);
        fd_ = other.fd_;
        state_ = other.state_;
        other.fd_ = -1;
        other.state_ = State::Unavailable;
    }
    return *this;
}

InstanceLock InstanceLock::Acquire() {
    InstanceLock lock;
    std::string folder = TemporaryFolder();
    if (folder != "/") {
        folder += '/';
    }
    const std::string path = folder + "tidelin-" + std::to_string(::geteuid()) + ".lock";
    lock.fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (lock.fd_ < 0) {
        return lock;
    }
    if (::flock(lock.fd_, LOCK_EX | LOCK_NB) == 0) {
        lock.state_ = State::Acquired;
    } else {
        lock.state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
        CloseFd(lock.fd_);
        lock.fd_ = -1;
    }
    return lock;
}

}  // namespace tidelin::fs
