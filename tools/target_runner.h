// Runs the targets of one tidelin-convert command one after another through one engine and
// says on standard error why a target failed, naming its path.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"

#include "tidelin/direction.h"
#include "tidelin/folder_walk.h"

namespace tidelin {
class Engine;
}

namespace tidelin::tool {

class TargetRunner {
  public:
    TargetRunner(Engine& engine, Direction direction, const WalkSelection& selection)
        : engine_(engine), direction_(direction), selection_(selection) {}

    // Converts one file, as the window's file commands do. True when it was converted or
    // skipped as the window skips it (binary, too large); false when it failed.
    bool ConvertFile(const std::string& path);

    // Converts every file of a folder tree, as the window's folder commands do. A link to a
    // folder is walked where it leads. True when the tree was walked and no file failed.
    bool ConvertFolder(const std::string& path);

    // Converts a list's entries as one walk. True when no entry failed.
    bool ConvertList(const std::vector<std::string>& entries, const std::string& workingFolder);

    // A walk's outcome, with "Операция завершена." unless it was stopped. True when clean.
    static bool Finished(const WalkOutcome& outcome);

    // The entries of every --files-from list of `line`, in the order of its targets, all read
    // before anything is converted; nothing after reporting a list that cannot be read or
    // holds an empty entry (a wrong command line).
    static std::optional<std::vector<std::vector<std::string>>> ReadLists(const CommandLine& line);
    // Whether the plain path `path` is walked as a folder (a folder, or a link to one) rather
    // than converted as a file.
    static bool IsFolderTarget(const std::string& path);

    // The folder a walk of `path` starts from, or empty after reporting why there is none.
    static std::string FolderToWalk(const std::string& path);
    // Says on standard error why the target `path` was not converted.
    static void Report(const std::string& path, const std::string& reason);

  private:
    Engine& engine_;
    Direction direction_;
    const WalkSelection& selection_;
};

}  // namespace tidelin::tool
