// The command line of tidelin-convert: a direction, the binary switch and the targets in the
// order they were given.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "direction.h"

namespace tidelin::tool {

struct Target {
    bool folder = false;
    std::string path;  // as given: it may be relative
};

struct CommandLine {
    enum class Action { Convert, Help, Version };
    Action action = Action::Convert;
    Direction direction = Direction::WinToUnix;
    bool convertBinary = false;
    std::vector<Target> targets;
};

// A command line that cannot be run; the text says why in one line.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments that follow the program's name. --help and --version win over
// anything after them; anything else wrong raises UsageError.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The synopsis printed with every usage error, and the whole text of --help.
extern const char* const UsageText;
extern const char* const HelpText;

// `path` made absolute against `workingFolder` (itself absolute), with empty and "."
// components dropped. ".." stays as it is: where it leads depends on the links on the way.
std::string AbsolutePath(const std::string& path, const std::string& workingFolder);

}  // namespace tidelin::tool
