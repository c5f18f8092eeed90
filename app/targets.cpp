#include "targets.h"

#include <istream>

#include "tidelin/engine.h"
#include "tidelin/file_system.h"
#include "tidelin/folder_walk.h"

namespace tidelin::app {

std::string FolderToWalk(const std::string& chosen) {
    if (chosen.empty() || !fs::EntryExists(chosen) || fs::QueryPath(chosen).IsDirectory()) {
        return chosen;
    }
    const std::string target = fs::FinalPath(chosen);
    if (!target.empty() && fs::EntryExists(target) && fs::QueryPath(target).IsDirectory()) {
        return target;
    }
    return chosen;
}

bool ConvertChosenFile(Engine& engine, const std::string& path, Direction direction) {
    engine.Log().Clear();
    return engine.Convert(path, direction);
}

std::optional<WalkOutcome> ConvertChosenFolder(Engine& engine, const std::string& folder, Direction direction,
                                               const WalkSelection& selection) {
    engine.Log().Clear();
    if (!fs::EntryExists(folder)) {
        return std::nullopt;
    }
    return ConvertFolderTree(engine, folder, direction, selection);
}

PathList ReadPathList(std::istream& in, bool nulSeparated) {
    PathList list;
    std::string entry;
    while (std::getline(in, entry, nulSeparated ? '\0' : '\n')) {
        if (entry.empty() && list.empty == 0) {
            list.empty = list.entries.size() + 1;
        }
        list.entries.push_back(std::move(entry));
    }
    return list;
}

std::vector<ListedPath> ListedPaths(const std::vector<std::string>& entries, const std::string& workingFolder) {
    std::vector<ListedPath> listed;
    listed.reserve(entries.size());
    for (const std::string& entry : entries) {
        std::string asListed = entry;
        while (asListed.size() > 2 && asListed.compare(0, 2, "./") == 0) {
            asListed.erase(0, 2);
        }
        listed.push_back({std::move(asListed), fs::AbsolutePath(entry, workingFolder)});
    }
    return listed;
}

WalkOutcome ConvertListedPaths(Engine& engine, const std::vector<std::string>& entries,
                               const std::string& workingFolder, Direction direction,
                               const WalkSelection& selection) {
    engine.Log().Clear();
    return ConvertPathList(engine, ListedPaths(entries, workingFolder), direction, selection);
}

}  // namespace tidelin::app
