// The parts of the file-system layer that are not about the platform: paths, the state of a
// file, the program's own copies and work files and which of them may be removed. The
// platform's calls are in filesystem_posix.cpp and filesystem_win32.cpp.
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "errors.h"
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

std::function<void(const std::string&)>& BeforePublishHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
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
    static std::random_device random;
    std::string letters;
    for (std::size_t i = 0; i < RandomLetters; ++i) {
        letters += Letters[random() % LetterCount];
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
    std::vector<FolderEntry> entries;
    try {
        entries = ListFolder(FolderOf(path));
    } catch (...) {
        return;  // nothing can be cleaned where nothing can be listed
    }
    const std::string folder = FolderOf(path);
    for (const FolderEntry& entry : entries) {
        if (!entry.isDirectory && IsCopyName(entry.name)) {
            RemoveIfStale(JoinPath(folder, entry.name), true);
        }
    }
}

void RemoveStaleWorkFiles(const std::string& folder, const std::string& baseName) noexcept {
    std::vector<FolderEntry> entries;
    try {
        entries = ListFolder(folder);
    } catch (...) {
        return;  // nothing can be cleaned where nothing can be listed
    }
    for (const FolderEntry& entry : entries) {
        const std::string& name = entry.name;
        if (name.compare(0, baseName.size(), baseName) == 0 &&
            name.find_first_not_of("0123456789", baseName.size()) == std::string::npos) {
            RemoveIfStale(JoinPath(folder, name));
        }
    }
}

void SetBeforePublishHook(std::function<void(const std::string& target)> hook) {
    BeforePublishHook() = std::move(hook);
}

namespace shared {

void RaiseNotRegular(EntryKind kind) {
    if (kind == EntryKind::Directory) {
        throw EngineError(err::PathFileAccess, "Это папка, а не файл.");
    }
    throw EngineError(err::PathFileAccess,
                      "Системные файлы (ссылки, каналы, устройства) не изменяются.");
}

std::string NewCopyPathBeside(const std::string& target) {
    const auto separator = target.find_last_of(PathSeparators);
    const std::string folder =
        separator == std::string::npos ? std::string() : target.substr(0, separator + 1);
    return folder + NewCopyName();
}

void RunBeforePublishHook(const std::string& target) {
    if (BeforePublishHook()) {
        BeforePublishHook()(target);
    }
}

}  // namespace shared

}  // namespace tidelin::fs
