// What the windows and tidelin-convert share about a chosen target: where a folder chosen
// through a link is walked, and the engine work a confirmed command runs.
#pragma once

#include <optional>
#include <string>

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
std::optional<WalkOutcome> ConvertChosenFolder(Engine& engine, const std::string& folder, Direction direction);

}  // namespace tidelin::app
