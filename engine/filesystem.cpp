// The parts of the file-system layer that are not about the platform: paths, the state of a
// file, the program's own copies and work files and which of them may be removed, moving the
// work file beside its source. The platform's calls are in the twins filesystem_posix.cpp and
// filesystem_win32.cpp, replacement_posix.cpp and replacement_win32.cpp.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tidelin/errors.h"
#include "filesystem.h"
#include "filesystem_shared.h"

namespace tidelin::fs {

namespace {

// A copy's name: the prefix, random letters, then a check of those letters. Letters of one
// case only, so that a name means the same on Windows.
const char* const CopyNamePrefix = ".k5ywhqx-";
constexpr std::size_t RandomLetters = 10;
constexpr std::size_t CheckLetters = 6;
const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::uint64_t LetterCount = sizeof Letters - 1;

// The check that marks a name as the program's: a hash of the random letters, in letters. A
// user's file carries it only if the user computed it (about one name in two thousand
// million of the same length has it by chance).
std::string CheckOf(const std::string& random) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : std::string("tidelin copy ") + random) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    std::string check;
    for (std::size_t i = 0; i < CheckLetters; ++i) {
        check += Letters[hash % LetterCount];
        hash /= LetterCount;
    }
    return check;
}

// Deletes the crash left-overs (as RemoveIfStale) among the entries of `folder` whose names
// `wanted` accepts.
void RemoveStaleNamed(const std::string& folder,
                      const std::function<bool(const std::string&)>& wanted,
                      bool anyMode) noexcept {
    std::vector<FolderEntry> entries;
    try {
        entries = ListFolder(folder);
    } catch (...) {
        return;  // nothing can be cleaned where nothing can be listed
    }
    for (const FolderEntry& entry : entries) {
        if (!entry.isDirectory && wanted(entry.name)) {
            RemoveIfStale(JoinPath(folder, entry.name), anyMode);
        }
    }
}

std::function<void(const std::string&)>& BeforePublishHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

// The states this process's own renames left files with other names in, per file (device and
// inode), in the order the renames happened. A walk's threads publish at once.
class OwnRenames {
public:
    void Record(const PathInfo& before, const PathInfo& after) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const Key key{after.device, after.inode};
        if (after.links == 0) {
            renames_.erase(key);  // no name is left to replace
        } else {
            renames_[key].push_back({before, after});
        }
    }
    // Whether the renames recorded, and nothing else, lead from `read` to `now`.
    bool Lead(const PathInfo& read, const PathInfo& now) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto found = renames_.find(Key{read.device, read.inode});
        if (found == renames_.end()) {
            return false;
        }
        PathInfo state = read;
        for (const auto& [before, after] : found->second) {
            if (SameFileState(state, before)) {
                state = after;
            }
        }
        return SameFileState(state, now);
    }

private:
    using Key = std::pair<std::uint64_t, std::uint64_t>;
    std::mutex mutex_;
    std::map<Key, std::vector<std::pair<PathInfo, PathInfo>>> renames_;
};

OwnRenames& TheOwnRenames() {
    static OwnRenames renames;
    return renames;
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.find_last_of(PathSeparators) == folder.size() - 1) {
        return folder + name;
    }
    return folder + PathSeparator + name;
}

std::string BaseName(const std::string& path) {
    const auto separator = path.find_last_of(PathSeparators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string FolderOf(const std::string& path) {
    const auto separator = path.find_last_of(PathSeparators);
    if (separator == std::string::npos) {
        return ".";
    }
    // A root keeps its separator: "/", "C:\".
    if (separator == 0 || path[separator - 1] == ':') {
        return path.substr(0, separator + 1);
    }
    return path.substr(0, separator);
}

bool SameFileState(const PathInfo& a, const PathInfo& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs;
}

std::string NewCopyName() {
    // One generator per thread, seeded once from the system's random source: a read of that
    // source is a system call (about 20 µs on some processors, ten per name), and one generator
    // shared by a walk's threads would be a data race.
    thread_local std::mt19937_64 generator = [] {
        std::random_device source;
        std::seed_seq seed{source(), source(), source(), source()};
        return std::mt19937_64(seed);
    }();
    std::string letters;
    for (std::size_t i = 0; i < RandomLetters; ++i) {
        letters += Letters[generator() % LetterCount];
    }
    return CopyNamePrefix + letters + CheckOf(letters);
}

bool IsCopyName(const std::string& name) {
    const std::string prefix = CopyNamePrefix;
    if (name.size() != prefix.size() + RandomLetters + CheckLetters ||
        name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return CheckOf(name.substr(prefix.size(), RandomLetters)) ==
           name.substr(prefix.size() + RandomLetters);
}

bool RemoveIfAbandonedCopy(const std::string& path) noexcept {
    if (!IsCopyName(BaseName(path))) {
        return false;
    }
    RemoveIfStale(path, true);
    return true;
}

void RemoveAbandonedCopiesBeside(const std::string& path) noexcept {
    RemoveStaleNamed(FolderOf(path), IsCopyName, true);
}

void RemoveStaleWorkFiles(const std::string& folder, const std::string& baseName) noexcept {
    RemoveStaleNamed(
        folder,
        [&baseName](const std::string& name) {
            return name.compare(0, baseName.size(), baseName) == 0 &&
                   name.find_first_not_of("0123456789", baseName.size()) == std::string::npos;
        },
        false);
}

File MoveBeside(File work, const std::string& workPath, const std::string& target,
                std::string& name) {
    for (int attempt = 0; attempt < shared::NameAttempts; ++attempt) {
        name = shared::NewCopyPathBeside(target);
        const shared::Renamed renamed = shared::RenameWithoutReplacing(work, workPath, name);
        if (renamed == shared::Renamed::Done) {
            return work;  // the same file, still open and held, now beside the target
        }
        if (renamed == shared::Renamed::OtherVolume) {
            break;
        }
    }
    File copy;
    for (int attempt = 0; attempt < shared::NameAttempts && !copy.IsOpen(); ++attempt) {
        name = shared::NewCopyPathBeside(target);
        copy = File::CreateWorkFile(name);
    }
    if (!copy.IsOpen()) {
        throw EngineError(err::PathFileAccess, DescribeError(err::PathFileAccess));
    }
    try {
        std::int64_t offset = 0;
        if (!shared::CopyInSystem(work, copy, offset)) {
            const std::size_t bufferSize = 1 << 20;
            const std::unique_ptr<char[]> buffer(new char[bufferSize]);
            for (;;) {
                const std::size_t got = work.ReadAt(buffer.get(), bufferSize, offset);
                copy.WriteAt(buffer.get(), got, offset);
                offset += static_cast<std::int64_t>(got);
                if (got < bufferSize) {
                    break;
                }
            }
        }
    } catch (...) {
        RemoveIfSameFile(name, copy.Info());
        throw;
    }
    RemoveIfSameFile(workPath, work.Info());
    return copy;
}

void SetBeforePublishHook(std::function<void(const std::string& target)> hook) {
    BeforePublishHook() = std::move(hook);
}

namespace shared {

void RequireLookedAt(const PathInfo& opened, const PathInfo& looked) {
    if (opened.inode != looked.inode || opened.device != looked.device) {
        RaiseChangedWhileRead();
    }
}

void RequireRegular(const PathInfo& info) {
    if (info.kind == EntryKind::Directory) {
        throw EngineError::Refusal("Это папка, а не файл.");
    }
    if (info.kind != EntryKind::Regular) {
        throw EngineError::Refusal("Системные файлы (ссылки, каналы, устройства) не изменяются.");
    }
}

std::string NewCopyPathBeside(const std::string& target) {
    const auto separator = target.find_last_of(PathSeparators);
    const std::string folder =
        separator == std::string::npos ? std::string() : target.substr(0, separator + 1);
    return folder + NewCopyName();
}

bool IsOwnLeftOver(const PathInfo& info, bool ownedByUser, bool anyMode) {
    return info.kind == EntryKind::Regular && ownedByUser && info.links == 1 &&
           (anyMode || (info.mode & 07777) == 0600);
}

PathInfo CheckUnchangedBeforePublish(const std::string& target, const PathInfo& read) {
    if (BeforePublishHook()) {
        BeforePublishHook()(target);
    }
    PathInfo now;
    bool unchanged = false;
    try {
        now = QueryPath(target);
        unchanged = SameFileState(now, read) || TheOwnRenames().Lead(read, now);
    } catch (const EngineError& error) {
        if (error.Number() != err::FileNotFound) {
            throw;
        }
    }
    if (!unchanged) {
        RaiseChangedWhileRead();
    }
    return now;
}

void RecordOwnRename(const PathInfo& before, const PathInfo& after) { TheOwnRenames().Record(before, after); }

std::unique_lock<std::mutex> LockWhileLinked(const PathInfo& read) {
    static std::mutex linked;
    return read.links > 1 ? std::unique_lock<std::mutex>(linked) : std::unique_lock<std::mutex>();
}

void SortByName(std::vector<FolderEntry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
}

}  // namespace shared

}  // namespace tidelin::fs
