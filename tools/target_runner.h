// Runs the targets of one tidelin-convert command one after another through one engine and
// says on standard error why a target failed, naming its path.
#pragma once

#include <string>

#include "tidelin/direction.h"

namespace tidelin {
class Engine;
}

namespace tidelin::tool {

class TargetRunner {
  public:
    TargetRunner(Engine& engine, Direction direction) : engine_(engine), direction_(direction) {}

    // Converts one file, as the window's file commands do. True when it was converted or
    // skipped as the window skips it (binary, too large); false when it failed.
    bool ConvertFile(const std::string& path);

    // Converts every file of a folder tree, as the window's folder commands do. A link to a
    // folder is walked where it leads. True when the tree was walked and no file failed.
    bool ConvertFolder(const std::string& path);

    // The folder a walk of `path` starts from, or empty after reporting why there is none.
    static std::string FolderToWalk(const std::string& path);
    // Says on standard error why the target `path` was not converted.
    static void Report(const std::string& path, const std::string& reason);

  private:
    Engine& engine_;
    Direction direction_;
};

}  // namespace tidelin::tool
