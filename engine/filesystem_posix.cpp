// POSIX implementation of the engine's file-system layer: looking at entries, open files, the
// removal of left-overs, folder listings and the temporary folder. Its twin is
// filesystem_win32.cpp, with the same functions in the same order; what does not depend on the
// platform is in filesystem.cpp.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>

#include "tidelin/errors.h"
#include "filesystem.h"
#include "filesystem_shared.h"
#include "posix_support.h"

namespace tidelin::fs {

const char PathSeparator = '/';
const char* const PathSeparators = "/";
const char* const SystemCodeName = "errno";
const bool NamesIgnoreCase = false;

namespace {

using posix::CloseFd;
using posix::FromStat;
using posix::RaiseSystemError;

bool unnamedFilesOffered = true;
// From this size on, a file opened for reading is read ahead as one read in sequence.
constexpr std::int64_t SequentialFrom = std::int64_t{256} << 10;

// A hidden entry is one whose name begins with ".".
bool IsHiddenName(const std::string& path) {
    const std::string name = BaseName(path);
    return !name.empty() && name[0] == '.';
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
    // ENOTDIR: a parent on the way is a file, so nothing can stand there (as on Windows).
    if (errno == ENOENT || errno == ENOTDIR) {
        return false;
    }
    RaiseSystemError(errno);
}

std::string AbsolutePath(const std::string& path, const std::string& workingFolder) {
    const std::string joined =
        !path.empty() && path.front() == '/' ? path : workingFolder + '/' + path;
    std::string result;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string_view part(joined.data() + start, end - start);
        if (!part.empty() && part != ".") {
            result += '/';
            result += part;
        }
        start = end + 1;
    }
    return result.empty() ? "/" : result;
}

std::string FinalPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                                &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool IsFileSystemRoot(const std::string& path) {
    // The folder itself, every link on the way followed, against the root this process sees.
    struct stat at {};
    struct stat root {};
    return ::stat(path.c_str(), &at) == 0 && ::stat("/", &root) == 0 && at.st_dev == root.st_dev &&
           at.st_ino == root.st_ino;
}

File File::OpenForReading(const std::string& path, const PathInfo* looked) {
    // Looking first keeps devices and FIFOs from being opened at all; the check on the
    // opened descriptor below closes the gap between the look and the open.
    const PathInfo before = looked != nullptr ? *looked : QueryPath(path);
    shared::RequireRegular(before);
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) {
            shared::RequireRegular(PathInfo());  // a link: a system entry
        }
        RaiseSystemError(errno);
    }
    File file = posix::Adopt(fd);
    const PathInfo opened = file.Info();
    shared::RequireRegular(opened);
    if (looked != nullptr) {
        shared::RequireLookedAt(opened, *looked);
    }
    // A small file is read in one go: only a large one gains from reading ahead.
    if (opened.size > SequentialFrom) {
        (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return file;
}

File File::CreateUnnamedBeside(const std::string& path) {
    if (!unnamedFilesOffered) {
        return File();
    }
    const int fd = ::open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        // Once it has a name, the lock tells a walk that it belongs to a running conversion.
        ::flock(fd, LOCK_EX | LOCK_NB);
        return posix::Adopt(fd);
    }
    // EISDIR: a kernel that does not know unnamed files at all.
    if (errno == EOPNOTSUPP || errno == EISDIR) {
        return File();
    }
    RaiseSystemError(errno);
}

File File::CreateWorkFile(const std::string& path) {
    const int fd = posix::CreateExclusiveLocked(path);
    if (fd >= 0) {
        return posix::Adopt(fd);
    }
    if (errno == EEXIST) {
        return File();
    }
    RaiseSystemError(errno);
}

PathInfo File::Info() const {
    struct stat st {};
    if (::fstat(posix::Fd(handle_), &st) != 0) {
        RaiseSystemError(errno);
    }
    return FromStat(st);
}

namespace {

// Repeats `step(done)` (a read or write of the bytes from `done` on, returning what the system
// call did) until all `count` bytes are done or, for a read, the end comes; a signal that cuts
// a call short starts it again.
template <typename Step>
std::size_t Repeat(std::size_t count, bool stopAtEnd, Step&& step) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t moved = step(done);
        if (moved < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseSystemError(errno);
        }
        if (moved == 0 && stopAtEnd) {
            break;
        }
        done += static_cast<std::size_t>(moved);
    }
    return done;
}

}  // namespace

std::size_t File::ReadAt(void* buffer, std::size_t count, std::int64_t offset) {
    auto* out = static_cast<char*>(buffer);
    return Repeat(count, true, [&](std::size_t done) { return ::pread(posix::Fd(handle_), out + done, count - done, offset + done); });
}

void File::WriteAt(const void* buffer, std::size_t count, std::int64_t offset) {
    const auto* in = static_cast<const char*>(buffer);
    Repeat(count, false, [&](std::size_t done) { return ::pwrite(posix::Fd(handle_), in + done, count - done, offset + done); });
}

std::size_t File::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<char*>(buffer);
    return Repeat(count, true, [&](std::size_t done) { return ::read(posix::Fd(handle_), out + done, count - done); });
}

void File::Write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    Repeat(count, false, [&](std::size_t done) { return ::write(posix::Fd(handle_), in + done, count - done); });
}

namespace {

File DuplicateOf(int fd) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        RaiseSystemError(errno);
    }
    return posix::Adopt(copy);
}

}  // namespace

File File::StandardInput() { return DuplicateOf(0); }

File File::StandardOutput() { return DuplicateOf(1); }

File File::CreateUnnamedTemporary() {
    const std::string folder = TemporaryFolder();
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        return posix::Adopt(unnamed);
    }
    std::string name = JoinPath(folder, "tidelin-XXXXXX");
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        RaiseSystemError(errno);
    }
    ::unlink(name.c_str());
    return posix::Adopt(fd);
}

bool File::IsTerminal() const { return ::isatty(posix::Fd(handle_)) != 0; }

void File::Sync() {
    if (::fsync(posix::Fd(handle_)) != 0) {
        RaiseSystemError(errno);
    }
}

bool File::SyncFileSystem() {
#if defined(__linux__)
    if (::syncfs(posix::Fd(handle_)) != 0) {
        RaiseSystemError(errno);
    }
    return true;
#else
    return false;
#endif
}

void File::Close() {
    const int fd = posix::Fd(std::exchange(handle_, NativeHandle::None));
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
        RaiseSystemError(errno);
    }
}

void File::CloseQuietly() noexcept {
    CloseFd(posix::Fd(std::exchange(handle_, NativeHandle::None)));
}

void RemoveIfSameFile(const std::string& path, const PathInfo& id) noexcept {
    // Only the file's owner may remove or replace it in a sticky folder such as /tmp, so the
    // name cannot be turned to another file between the look and the unlink.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == id.device &&
        st.st_ino == id.inode) {
        ::unlink(path.c_str());
    }
}

void RemoveIfStale(const std::string& path, bool anyMode) noexcept {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat opened {};
    struct stat named {};
    // A running instance holds its work file locked; the lock is held here until the unlink,
    // so that no instance can take the file up meanwhile.
    if (::fstat(fd, &opened) == 0 &&
        shared::IsOwnLeftOver(FromStat(opened), opened.st_uid == ::geteuid(), anyMode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        named.st_ino == opened.st_ino && named.st_dev == opened.st_dev) {
        ::unlink(path.c_str());
    }
    ::close(fd);
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
    shared::SortByName(entries);
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

namespace {

std::atomic<int> stopSignal{0};  // the first stop signal's number
std::atomic<bool> stopAtOnce{false};

// Runs as a signal handler: only lock-free atomics and _exit.
void OnStopSignal(int number) {
    int first = 0;
    if (stopAtOnce.load() || !stopSignal.compare_exchange_strong(first, number)) {
        ::_exit(128 + (first != 0 ? first : number));
    }
}

}  // namespace

void CatchStopSignals(bool atOnce) {
    stopAtOnce = atOnce;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a read or write under way goes on
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (::sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            ::sigaction(number, &action, nullptr);
        }
    }
}

int StopSignalStatus() {
    const int number = stopSignal.load();
    return number == 0 ? 0 : 128 + number;
}

void SetUnnamedFilesOffered(bool offered) { unnamedFilesOffered = offered; }

}  // namespace tidelin::fs
