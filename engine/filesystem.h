// Every operating-system call the engine makes. The rest of the engine sees files only
// through this header, so another platform's implementation can sit beside the POSIX one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tidelin::fs {

enum class EntryKind { Regular, Directory, Other };

// The separator between a folder and the names in it.
#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif

// `folder`, the separator (unless `folder` already ends with one, as a root does) and `name`.
std::string JoinPath(const std::string& folder, const std::string& name);

// What the engine needs to know of one folder entry, read without following links.
struct PathInfo {
    EntryKind kind = EntryKind::Other;
    std::int64_t size = 0;
    std::uint32_t mode = 0;  // permission bits
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The attributes that protect a file from being overwritten. On Linux a read-only file
    // has its owner write bit clear, a hidden one a name beginning with ".", and anything
    // that is neither a regular file nor a folder counts as a system file. On Windows they
    // are the file's own attributes, and a reparse point (link, junction) is a system entry.
    // QueryPath fills all three; an open file's Info() has no name to judge `hidden` by.
    bool readOnly = false;
    bool hidden = false;
    bool system = false;

    bool IsDirectory() const { return kind == EntryKind::Directory; }
    bool IsReadOnly() const { return readOnly; }
    bool IsHidden() const { return hidden; }
    bool IsSystem() const { return system; }
};

// The entry at `path` itself (a link is reported as a link), with its protecting attributes.
// Raises when it cannot be read.
PathInfo QueryPath(const std::string& path);

// True when anything at all stands at `path`: a file, a folder, a link (dangling ones too).
// Raises when the question cannot be answered (for example a folder on the way is unreadable).
bool EntryExists(const std::string& path);

// The last component of a path.
std::string BaseName(const std::string& path);

// One open file descriptor; closed when the object goes away.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a regular file for reading. Never follows a link and never waits: links, FIFOs,
    // sockets, devices and folders are refused with an error before any byte is read.
    static File OpenForReading(const std::string& path);

    // Creates the private work file (mode 0600) or empties an existing one. Never writes
    // through a link; refuses anything that is not a regular file owned by this user.
    static File CreateWorkFile(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    PathInfo Info() const;

    // Reads up to `count` bytes at `offset`; fewer only at the end of the file.
    std::size_t ReadAt(void* buffer, std::size_t count, std::int64_t offset);
    // Writes all `count` bytes at `offset`.
    void WriteAt(const void* buffer, std::size_t count, std::int64_t offset);
    // Flushes the file's content to the disk.
    void Sync();
    // Closes the file and reports a failure of the close itself.
    void Close();
    // Closes the file, ignoring any failure.
    void CloseQuietly() noexcept;

private:
    friend void ReplaceFile(const std::string&, const std::string&, const struct PathInfo&);
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Puts the finished work file at `workPath` in the place of `target` in one step, giving it
// the permission bits (and, where allowed, the owner and group) of `keep`. When the two lie
// on different file systems the content is first copied to a new file beside `target`.
// At no moment is `target` missing or partly written.
void ReplaceFile(const std::string& workPath, const std::string& target, const PathInfo& keep);

// Deletes `path` when it is a regular file; does nothing otherwise and never raises.
void RemoveRegularFileQuietly(const std::string& path) noexcept;

struct FolderEntry {
    std::string name;
    bool isDirectory = false;  // the entry itself is a folder; a link to one is not
};

// The whole listing of a folder, "." and ".." left out, in byte order of the names.
// Raises when the folder cannot be opened.
std::vector<FolderEntry> ListFolder(const std::string& path);

// The folder for temporary files: TMPDIR when set and not empty, otherwise /tmp.
std::string TemporaryFolder();

// Keeps a second copy of the program (per user and temporary folder) from running at the
// same time. The lock dies with the process, so a crashed instance leaves nothing locked.
class InstanceLock {
public:
    enum class State { Acquired, HeldElsewhere, Unavailable };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    static InstanceLock Acquire();
    State GetState() const { return state_; }

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
};

}  // namespace tidelin::fs
