// The single-instance lock: a file in a private place of the user's, locked while the program
// runs. No other user can create, hold or replace it there.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "filesystem.h"
#include "posix_support.h"

namespace tidelin::fs {

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// Opens `path` as a folder that only this user may write: not a link, owned by the user, not
// writable by group or others. -1 otherwise.
int OpenPrivateFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0) {
        return fd;
    }
    posix::CloseFd(fd);
    return -1;
}

// $XDG_RUNTIME_DIR when set, otherwise ~/.cache/tidelin, created with mode 0700 as needed.
int OpenLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        return OpenPrivateFolder(runtime);
    }
    const std::string home = HomeFolder();
    if (home.empty()) {
        return -1;
    }
    const std::string cache = home + "/.cache";
    ::mkdir(cache.c_str(), 0700);
    ::mkdir((cache + "/tidelin").c_str(), 0700);
    return OpenPrivateFolder(cache + "/tidelin");
}

// The lock's name, one per temporary folder: a hash of the folder's path.
std::string LockName() {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : TemporaryFolder()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "tidelin-%016llx.lock", static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

// The private folder, kept open to remove the lock file at the end, and the locked file.
struct InstanceLock::Held {
    int folder = -1;
    std::string name;
    int fd = -1;
    ~Held() {
        if (fd >= 0) {
            // Removed while still locked: an instance that opened it meanwhile finds, once it
            // holds the lock, that the name no longer leads to it, and starts over.
            ::unlinkat(folder, name.c_str(), 0);
        }
        posix::CloseFd(fd);
        posix::CloseFd(folder);
    }
};

void InstanceLock::Release::operator()(Held* held) const noexcept { delete held; }

InstanceLock InstanceLock::Acquire() {
    InstanceLock lock;
    lock.held_.reset(new Held);
    Held& held = *lock.held_;
    held.folder = OpenLockFolder();
    if (held.folder < 0) {
        return lock;
    }
    held.name = LockName();
    const std::string& name = held.name;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd =
            ::openat(held.folder, name.c_str(),
                     O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
        struct stat opened {};
        if (fd < 0 || ::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) ||
            opened.st_uid != ::geteuid()) {
            posix::CloseFd(fd);
            return lock;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            lock.state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
            posix::CloseFd(fd);
            return lock;
        }
        struct stat named {};
        if (::fstatat(held.folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == opened.st_ino && named.st_dev == opened.st_dev) {
            held.fd = fd;
            lock.state_ = State::Acquired;
            return lock;
        }
        posix::CloseFd(fd);  // the lock file of an instance that has just ended: start over
    }
    return lock;
}

}  // namespace tidelin::fs
