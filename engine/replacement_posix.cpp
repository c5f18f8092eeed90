// Putting converted content in the place of its source: the copy gets the source's owner,
// attributes and permissions where no other user can reach it, and takes the source's name
// in one rename only while the source still shows what was read. The twin of
// replacement_win32.cpp, with the same functions in the same order.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tidelin/errors.h"
#include "filesystem.h"
#include "filesystem_shared.h"
#include "posix_support.h"

namespace tidelin::fs {

namespace {

using posix::RaiseSystemError;

const char* const AccessList = "system.posix_acl_access";

[[noreturn]] void RaiseAccessListLost() {
    throw EngineError(err::PermissionDenied, "Список доступа файла сохранить нельзя.");
}

// The names of the extended attributes of `fd`; none where the file system keeps none.
std::vector<std::string> AttributeNames(int fd) {
    std::vector<char> buffer;
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) {
            if (errno == EOPNOTSUPP) {
                return {};
            }
            RaiseSystemError(errno);
        }
        if (size == 0) {
            return {};
        }
        buffer.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::flistxattr(fd, buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) {  // ERANGE: the list grew meanwhile
            RaiseSystemError(errno);
        }
    }
    std::vector<std::string> names;
    for (std::size_t at = 0; at < buffer.size();) {
        names.emplace_back(buffer.data() + at);
        at += names.back().size() + 1;
    }
    return names;
}

// Copies one attribute. One that this user may not set is left out, unless it is `required`.
void CopyAttribute(int from, int to, const std::string& name, bool required) {
    std::vector<char> value;
    for (;;) {
        const ssize_t size = ::fgetxattr(from, name.c_str(), nullptr, 0);
        if (size < 0) {
            if (errno == ENODATA) {
                return;  // gone meanwhile: the source's changed state will refuse the file
            }
            RaiseSystemError(errno);
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::fgetxattr(from, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) {
            RaiseSystemError(errno);
        }
    }
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0) {
        return;
    }
    if (errno != EPERM && errno != EACCES && errno != EOPNOTSUPP) {
        RaiseSystemError(errno);
    }
    if (required) {
        RaiseAccessListLost();
    }
}

// Whether this process may link a descriptor directly (a privilege), until it finds it may not.
std::atomic<bool> linksDescriptors{true};

// Gives the unnamed `copy` a fresh hidden name beside `target` and returns that path.
std::string LinkBeside(File& copy, const std::string& target) {
    // Linking the descriptor directly spares looking up its /proc name, which needs no
    // privilege and is the way without one.
    const std::string self = "/proc/self/fd/" + std::to_string(posix::Fd(copy));
    for (int attempt = 0; attempt < shared::NameAttempts; ++attempt) {
        const std::string name = shared::NewCopyPathBeside(target);
        if (linksDescriptors) {
            if (::linkat(posix::Fd(copy), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
                return name;
            }
            if (errno == EEXIST) {
                continue;
            }
            if (errno != ENOENT && errno != EPERM && errno != EINVAL) {
                RaiseSystemError(errno);
            }
            linksDescriptors = false;  // no privilege: the /proc name from now on
        }
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            RaiseSystemError(errno);
        }
    }
    RaiseSystemError(EEXIST);
}

}  // namespace

void KeepOwner(File& copy, const PathInfo& keep) {
    const PathInfo now = copy.Info();
    if (now.owner == keep.owner && now.group == keep.group) {
        return;
    }
    if (::fchown(posix::Fd(copy), keep.owner, keep.group) != 0) {
        if (errno == EPERM || errno == EACCES || errno == EINVAL) {
            throw EngineError(err::PermissionDenied, "Владельца и группу файла сохранить нельзя.");
        }
        RaiseSystemError(errno);
    }
}

void KeepTimes(File& copy, const PathInfo& keep) {
    const auto time = [](std::int64_t ns) {
        std::int64_t seconds = ns / 1000000000;
        std::int64_t rest = ns % 1000000000;
        if (rest < 0) {  // before 1970
            --seconds;
            rest += 1000000000;
        }
        return timespec{static_cast<time_t>(seconds), static_cast<long>(rest)};
    };
    const timespec times[2] = {time(keep.accessedNs), time(keep.modifiedNs)};
    if (::futimens(posix::Fd(copy), times) != 0) {
        RaiseSystemError(errno);
    }
}

void KeepAttributes(File& copy, File& source, const PathInfo& keep) {
    const int to = posix::Fd(copy);
    bool hasAccessList = false;
    for (const std::string& name : AttributeNames(posix::Fd(source))) {
        if (name == AccessList) {
            hasAccessList = true;
        } else {
            // Access lists of other kinds (system.*) must be kept like the POSIX one.
            CopyAttribute(posix::Fd(source), to, name, name.compare(0, 7, "system.") == 0);
        }
    }
    // The access list goes last: it may take away the write permission that setting the other
    // attributes needs. Without one, a list inherited from the folder's default must go.
    if (hasAccessList) {
        CopyAttribute(posix::Fd(source), to, AccessList, true);
    } else if (::fremovexattr(to, AccessList) != 0 && errno != ENODATA && errno != EOPNOTSUPP) {
        RaiseAccessListLost();
    }
    if (::fchmod(to, keep.mode) != 0) {
        RaiseSystemError(errno);
    }
}

void PublishOver(File& copy, const std::string& copyName, const std::string& target,
                 const PathInfo& read) {
    // A file with other names stays at them: a look that outlasts this name tells its state
    // after the rename (O_PATH: no access to its content, and nothing that could block).
    const auto linked = shared::LockWhileLinked(read);
    File replaced;
    if (read.links > 1) {
        replaced = posix::Adopt(::open(target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    }
    const PathInfo before = shared::CheckUnchangedBeforePublish(target, read);
    // From here to the rename only two system calls: the remaining window for a change.
    const std::string name = copyName.empty() ? LinkBeside(copy, target) : copyName;
    if (::rename(name.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(name.c_str());
        RaiseSystemError(error);
    }
    if (replaced.IsOpen()) {
        try {
            shared::RecordOwnRename(before, replaced.Info());
        } catch (const EngineError&) {
            // Unrecorded, the other names are refused with error 57 as if edited: nothing lost.
        }
    }
}

void SyncFolderOf(const std::string& path) {
    File folder = posix::Adopt(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) {
        RaiseSystemError(errno);
    }
    if (::fsync(posix::Fd(folder)) != 0 && errno != EINVAL && errno != EROFS) {
        RaiseSystemError(errno);
    }
}

namespace shared {

Renamed RenameWithoutReplacing(File&, const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return Renamed::Done;
    }
    if (errno == EEXIST) {
        return Renamed::NameTaken;
    }
    if (errno == EXDEV || errno == EINVAL) {
        return Renamed::OtherVolume;  // or a file system without this kind of rename: copy
    }
    RaiseSystemError(errno);
}

bool CopyInSystem(File& from, File& to, std::int64_t& copied) {
    off_t inOffset = 0;
    for (;;) {
        const ssize_t done =
            ::copy_file_range(posix::Fd(from), &inOffset, posix::Fd(to), nullptr, 1 << 30, 0);
        copied = inOffset;
        if (done > 0 || (done < 0 && errno == EINTR)) {
            continue;
        }
        if (done == 0) {
            return true;
        }
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            RaiseSystemError(errno);
        }
        return false;  // not offered between these file systems
    }
}

}  // namespace shared

}  // namespace tidelin::fs
