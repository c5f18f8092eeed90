// Every operating-system call the engine makes. The rest of the engine sees files only
// through this header, so another platform's implementation can sit beside the POSIX one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tidelin/file_system.h"

namespace tidelin::fs {

// What the system's own error codes are called in a tool's message: "errno" on Linux,
// "Win32 error" on Windows.
extern const char* const SystemCodeName;
// Whether names are told apart regardless of case (Windows), so patterns match that way too.
extern const bool NamesIgnoreCase;

// Whether two looks show the same file in the same state: the same device and inode, size,
// modification and change time. Any write, truncation, rename over it or change of its owner,
// permissions or attributes in between makes them differ.
bool SameFileState(const PathInfo& a, const PathInfo& b);

// Whether `path` is the root of the file system, however it is spelled ("..", ".", doubled
// separators, links, junctions): on Linux the folder with the device and inode of "/", on
// Windows a drive's or a share's root. False when `path` leads nowhere.
bool IsFileSystemRoot(const std::string& path);

// An open file as the operating system names it: a descriptor on Linux, a HANDLE on Windows.
// Both fit a pointer-sized number, and -1 (INVALID_HANDLE_VALUE on Windows) is none.
enum class NativeHandle : std::intptr_t { None = -1 };

// One open file; closed when the object goes away.
class File {
public:
    File() = default;
    // Takes over an open file (or NativeHandle::None, for a closed File).
    explicit File(NativeHandle handle) : handle_(handle) {}
    ~File() { CloseQuietly(); }
    File(File&& other) noexcept : handle_(std::exchange(other.handle_, NativeHandle::None)) {}
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            CloseQuietly();
            handle_ = std::exchange(other.handle_, NativeHandle::None);
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a regular file for reading. Never follows a link and never waits: links, FIFOs,
    // sockets, devices and folders are refused with an error before any byte is read. With
    // `looked`, the state a look at `path` found just now, it does not look again, and a file
    // opened that is not the one looked at fails as changed while read.
    static File OpenForReading(const std::string& path, const PathInfo* looked = nullptr);

    // An unnamed file (mode 0600, this user's) in the folder of `path`: no other user or
    // program can reach it until PublishOver gives it a name, and a crash leaves nothing
    // behind. Locked while open, like the work file. A closed File when that folder's file
    // system offers no unnamed files.
    static File CreateUnnamedBeside(const std::string& path);

    // Creates the named work file at `path` exclusively: mode 0600, never through an existing
    // entry of any kind, and locked for as long as it is open, so that no start of the program
    // takes it for a crashed run's left-over. A closed File when the name is taken.
    static File CreateWorkFile(const std::string& path);

    // Standard input or standard output as a file of its own: closing it leaves the
    // process's own stream open.
    static File StandardInput();
    static File StandardOutput();

    // A private file in the temporary folder that no name leads to (an unnamed one where the
    // file system offers it, else one whose name is gone at once, or on Windows one deleted
    // when it is closed): it disappears when it is closed, also after a crash.
    static File CreateUnnamedTemporary();

    bool IsOpen() const { return handle_ != NativeHandle::None; }
    // Whether the file is a terminal.
    bool IsTerminal() const;
    PathInfo Info() const;

    // Reads up to `count` bytes at `offset`; fewer only at the end of the file.
    std::size_t ReadAt(void* buffer, std::size_t count, std::int64_t offset);
    // Writes all `count` bytes at `offset`.
    void WriteAt(const void* buffer, std::size_t count, std::int64_t offset);
    // Reads up to `count` bytes from where a stream (a pipe, a terminal, a file) stands;
    // fewer only at its end.
    std::size_t Read(void* buffer, std::size_t count);
    // Writes all `count` bytes where a stream stands.
    void Write(const void* buffer, std::size_t count);
    // Flushes the file's content to the disk.
    void Sync();
    // Flushes everything written to the file system that holds the file (this file's content,
    // every other file's and their names) in one go. False where the system offers no such
    // flush; raises when the flush fails.
    bool SyncFileSystem();
    // Closes the file and reports a failure of the close itself.
    void Close();
    // Closes the file, ignoring any failure.
    void CloseQuietly() noexcept;

    NativeHandle Native() const { return handle_; }

private:
    NativeHandle handle_ = NativeHandle::None;
};

// Replacing a file with converted content, in these separable steps (a folder walk may run the
// first steps for several files and flush them together):
//   1. the copy is created beside the source (File::CreateUnnamedBeside) and KeepOwner runs on
//      it before anything is written;
//   2. the converted content is written, then KeepAttributes runs;
//   3. the copy is flushed (File::Sync);
//   4. PublishOver checks that the source is unchanged and puts the copy in its place;
//   5. SyncFolderOf makes the new name durable.
// At no moment is the source's path missing or partly written, and the copy gets the source's
// owner, permissions and attributes only where no other user can reach it.

// Gives `copy` the owner and group of `keep`. Error 70 when they cannot be kept.
void KeepOwner(File& copy, const PathInfo& keep);

// Gives `copy` the extended attributes of `source` (its access list among them) and the
// permission bits of `keep`. Error 70 when the access list cannot be kept; other attributes
// that this user may not set (security.* and trusted.* without privilege) are left out.
void KeepAttributes(File& copy, File& source, const PathInfo& keep);
// Gives the copy the modification and access times of `keep`, the state its source was read
// in, once nothing more is written to it.
void KeepTimes(File& copy, const PathInfo& keep);

// Puts `copy` in the place of `target` in one rename, when `target` still shows the state
// `read` that its content was read in (error 57 otherwise, and `target` keeps the other
// program's change). An unnamed copy first gets a fresh hidden name beside `target`; a named
// one (`copyName`, beside `target`) is renamed as it is.
void PublishOver(File& copy, const std::string& copyName, const std::string& target,
                 const PathInfo& read);

// Flushes the folder that holds `path`, so that a replacement in it survives a crash.
void SyncFolderOf(const std::string& path);

// Where the source's folder offers no unnamed files: moves the finished work file `work` (at
// `workPath`) beside `target` under a fresh hidden name, copying it when the two lie on
// different file systems, and returns it open with that name in `name`. The work file's name
// is gone afterwards.
File MoveBeside(File work, const std::string& workPath, const std::string& target,
                std::string& name);

// The program's copies beside a source carry a marked hidden name: ".k5ywhqx-", ten random
// letters and six letters of a check computed from them, which no user's file carries by
// accident. A fresh such name, and whether `name` is one.
std::string NewCopyName();
bool IsCopyName(const std::string& name);

// Deletes `path` when it is still the file `id` (same device and inode); never raises.
void RemoveIfSameFile(const std::string& path, const PathInfo& id) noexcept;

// Deletes `path` when it is this user's crash left-over: a regular file owned by this user,
// with one link, that no running conversion holds (locked on Linux, open on Windows), and of
// mode 0600 unless `anyMode` (a copy beside its source may already carry the source's
// permissions). Never raises.
void RemoveIfStale(const std::string& path, bool anyMode = false) noexcept;

// True when `path` carries a copy's marked name: such a file is never converted. It is
// deleted when it is abandoned (as RemoveIfStale); one a running conversion holds stays.
bool RemoveIfAbandonedCopy(const std::string& path) noexcept;

// Deletes the abandoned copies (as RemoveIfAbandonedCopy) in the folder that holds `path`.
void RemoveAbandonedCopiesBeside(const std::string& path) noexcept;

// Deletes the crash left-overs (as RemoveIfStale) among the work files in `folder`: the
// entries named `baseName` or `baseName` and digits. Never raises.
void RemoveStaleWorkFiles(const std::string& folder, const std::string& baseName) noexcept;

// Run just before a copy is published, so that tests can change the source at that moment.
void SetBeforePublishHook(std::function<void(const std::string& target)> hook);
// Makes every folder look as if it offered no unnamed files (for tests of the other way).
void SetUnnamedFilesOffered(bool offered);

struct FolderEntry {
    std::string name;
    bool isDirectory = false;  // the entry itself is a folder; a link to one is not
};

// The whole listing of a folder, "." and ".." left out, in byte order of the names.
// Raises when the folder cannot be opened.
std::vector<FolderEntry> ListFolder(const std::string& path);

}  // namespace tidelin::fs
