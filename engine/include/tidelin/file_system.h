// The file-system questions the application layer and the tool ask of the engine: what stands
// at a path, where a link leads, the temporary folder, the stop signals of a program without a
// window, and the lock that keeps a second window from starting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace tidelin::fs {

enum class EntryKind { Regular, Directory, Other };

// The separator between a folder and the names in it, and every character that separates.
// On Windows "\\", which also accepts "/"; elsewhere "/".
extern const char PathSeparator;
extern const char* const PathSeparators;

// `folder`, the separator (unless `folder` already ends with one, as a root does) and `name`.
std::string JoinPath(const std::string& folder, const std::string& name);

// `path` made absolute against `workingFolder` (itself absolute), with empty and "."
// components dropped. ".." stays as it is: where it leads depends on the links on the way.
// On Windows by the system's own rules (drives, "\\server\share"), against the process's
// working folder.
std::string AbsolutePath(const std::string& path, const std::string& workingFolder);
// The last component of a path.
std::string BaseName(const std::string& path);
// The folder that holds `path`: "." for a bare name, a root with its separator ("/", or
// "C:\" on Windows).
std::string FolderOf(const std::string& path);

// What the engine needs to know of one folder entry, read without following links.
struct PathInfo {
    EntryKind kind = EntryKind::Other;
    std::int64_t size = 0;
    std::uint32_t mode = 0;  // permission bits
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t links = 0;
    std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
    std::int64_t accessedNs = 0;  // access time
    std::int64_t changedNs = 0;   // change time (content, owner, permissions, attributes)
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

// Where `path` leads with every link and junction on the way resolved, as an absolute path;
// empty when it leads nowhere or cannot be resolved.
std::string FinalPath(const std::string& path);

// The folder for temporary files: TMPDIR when set and not empty, otherwise /tmp (on Windows
// the folder GetTempPathW names).
std::string TemporaryFolder();

// Ctrl-C, SIGTERM and SIGHUP (on Windows the console's Ctrl-C and Ctrl-Break) ask a program
// without a window to stop. From this call on, the first one is only recorded, for the work
// in hand to end cleanly (StopSignalStatus tells it), unless `atOnce`: then it ends the process
// at once, as a second one always does, with its exit status. A signal the process was started
// ignoring (nohup) stays ignored.
void CatchStopSignals(bool atOnce);
// 0 while no stop signal came; otherwise the exit status it asks for: 128 and the signal's
// number (130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP; on Windows always 130).
int StopSignalStatus();

// Keeps a second copy of the program (per user and temporary folder) from running at the
// same time. The lock dies with the process, so a crashed instance leaves nothing locked;
// its file is removed when the lock is released.
class InstanceLock {
public:
    enum class State { Acquired, HeldElsewhere, Unavailable };

    InstanceLock() = default;
    InstanceLock(InstanceLock&& other) noexcept
        : held_(std::move(other.held_)), state_(std::exchange(other.state_, State::Unavailable)) {}
    InstanceLock& operator=(InstanceLock&& other) noexcept {
        if (this != &other) {
            held_ = std::move(other.held_);
            state_ = std::exchange(other.state_, State::Unavailable);
        }
        return *this;
    }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Locks a file in a private place of this user's: $XDG_RUNTIME_DIR when set, otherwise
    // ~/.cache/tidelin (a folder only the user may write), named after the temporary folder.
    // On Windows a named mutex in the session's Local\ namespace, keyed by the temporary folder.
    static InstanceLock Acquire();
    State GetState() const { return state_; }

private:
    struct Held;  // what the platform's lock holds; released when it goes away
    struct Release {
        void operator()(Held* held) const noexcept;
    };
    std::unique_ptr<Held, Release> held_;
    State state_ = State::Unavailable;
};

}  // namespace tidelin::fs
