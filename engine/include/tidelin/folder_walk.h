// The folder-tree conversion: every file of a folder and of all its subfolders, through the
// engine's file conversions.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tidelin/direction.h"

namespace tidelin {

class Engine;

// The start of the entry the walk logs for a file that failed: then the error's number and
// description, " - " and the file's path.
inline constexpr char WalkErrorEntryPrefix[] = "!_ Ошибка ";
// The entry for a chosen root folder, which is never walked; the folder follows it.
inline constexpr char RootFolderEntryPrefix[] = "!_  Корневая папка не конвертируется: ";

// What one folder walk did with the files and folders it met; each file counts once, in the
// count its entry (or its lack of one) belongs to.
struct WalkOutcome {
    std::size_t converted = 0;        // rewritten with the new line breaks
    std::size_t binary = 0;           // left alone as binary
    std::size_t tooLarge = 0;         // left alone: past the size limit
    std::size_t unchanged = 0;        // left as they were: converting them changes nothing
    std::size_t refused = 0;          // not rewritten by rule: links, special, read-only, hidden files
    std::size_t failed = 0;           // could not be rewritten: the error entry says why
    std::size_t unlistedFolders = 0;  // could not be listed: nothing below them was seen
    bool rootRefused = false;         // the chosen folder is a root folder and was not walked
    bool stopped = false;             // the host stopped it; the files after kept their content

    // Whether every file met was converted or left alone by choice (binary, too large), as
    // far as the walk went: no error entry and no root entry.
    bool Clean() const { return refused == 0 && failed == 0 && unlistedFolders == 0 && !rootRefused; }
};

// Which of the files a walk meets are converted: patterns matched against a file's or a
// folder's path below the walked folder, or against a list's entry as it was listed, with "/"
// between names (on Windows "\\" too, and case-insensitive). A folder that an exclude pattern
// matches is not entered; with any include pattern only the files it matches are converted;
// an exclude wins. A path given as a target itself is never matched. `excludeVcs` excludes
// the folders (and files) of version control: .git, .hg, .svn, .bzr, _darcs and CVS.
struct WalkSelection {
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    bool excludeVcs = false;
};

// Why `pattern` cannot be matched ("an unclosed [", "a trailing \\"), empty when it can.
std::string PatternProblem(const std::string& pattern);

// Converts every file of `folder` and of all its subfolders, depth-first, a folder's files
// before its subfolders, in byte order of the names. A file that fails is logged as an error
// entry and the walk goes on; nothing is raised to the caller, which learns what happened from
// the outcome. Between two files the host may end the walk (EngineHost::StopRequested); it
// then logs one entry naming the folder it was in. A root folder (on Windows a drive root) is
// never walked: it gets one entry.
WalkOutcome ConvertFolderTree(Engine& engine, const std::string& folder, Direction direction,
                              const WalkSelection& selection = {});

// One entry of a list of paths: as it was listed, which the patterns see, and absolute.
struct ListedPath {
    std::string listed;
    std::string path;
};

// Converts the files of a list as one walk, in the list's order, on every thread: a file as a
// named file is converted (a link is refused with its entry), a folder as ConvertFolderTree
// walks it. The patterns apply to the entries as listed and to what the folders hold.
WalkOutcome ConvertPathList(Engine& engine, const std::vector<ListedPath>& entries, Direction direction,
                            const WalkSelection& selection = {});

// Whether `folder` is the root of the file system (on Windows a drive's or a share's root),
// however it is spelled: "/", "//", "/tmp/..", "/.", a link to "/". Such a folder is never
// walked.
bool IsRootFolder(const std::string& folder);

// The chosen folder as the walk uses it: exactly as chosen (a name may end in a blank), with
// one trailing separator ("/", on Windows "\") removed. Empty when there is nothing to walk:
// no path, no separator left, or the root itself (on Windows a drive root).
std::string NormaliseWalkFolder(const std::string& folder);

}  // namespace tidelin
