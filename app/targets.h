// What the windows and tidelin-convert share about a chosen target: where a folder chosen
// through a link is walked, and the engine work a confirmed command runs.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tidelin/direction.h"
#include "tidelin/folder_walk.h"

namespace tidelin {
class Engine;
}

namespace tidelin::app {

// The folder a walk of `chosen` covers. The walk never follows links, but a folder the user
// chose through one (a symbolic link, a junction) is walked where it leads, since that is the
// folder the user meant. Anything else comes back as chosen.
std::string FolderToWalk(const std::string& chosen);

// A confirmed single-file command: the message list is emptied, then the file converted.
// True when it was replaced; false when skipped (its entry says why). Failures are raised.
bool ConvertChosenFile(Engine& engine, const std::string& path, Direction direction);

// A confirmed folder command: the message list is emptied and, when the folder still exists,
// its tree is walked. What the walk did, or nothing when the folder is gone; the walk logs its
// own failures.
std::optional<WalkOutcome> ConvertChosenFolder(Engine& engine, const std::string& folder, Direction direction,
                                               const WalkSelection& selection = {});

// The entries of a list of paths (--files-from): one per line, or each ended by a NUL with
// `nulSeparated`; a last entry needs no terminator. Read to the end before anything is
// converted. An empty entry makes the list unusable: `empty` then tells its number, from 1.
struct PathList {
    std::vector<std::string> entries;
    std::size_t empty = 0;
};
PathList ReadPathList(std::istream& in, bool nulSeparated);

// A list converted as one walk (ConvertPathList): relative entries are taken from
// `workingFolder`, and the patterns see each entry as listed, less a leading "./".
WalkOutcome ConvertListedPaths(Engine& engine, const std::vector<std::string>& entries,
                               const std::string& workingFolder, Direction direction,
                               const WalkSelection& selection);
// The same entries as ConvertPathList takes them.
std::vector<ListedPath> ListedPaths(const std::vector<std::string>& entries, const std::string& workingFolder);

}  // namespace tidelin::app
