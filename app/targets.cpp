#include "targets.h"

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

std::optional<WalkOutcome> ConvertChosenFolder(Engine& engine, const std::string& folder, Direction direction) {
    engine.Log().Clear();
    if (!fs::EntryExists(folder)) {
        return std::nullopt;
    }
    return ConvertFolderTree(engine, folder, direction);
}

}  // namespace tidelin::app
