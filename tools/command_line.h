// The command line of tidelin-convert: the action, a direction, the binary switch and the
// targets in the order they were given.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "tidelin/direction.h"
#include "tidelin/engine.h"
#include "tidelin/folder_walk.h"

namespace tidelin::tool {

struct Target {
    // --file, --folder, a plain path (a file or a folder, by what it is), --files-from.
    enum class Kind { File, Folder, Path, List };
    Kind kind = Kind::File;
    std::string path;  // as given: it may be relative; a list's own file ("-": standard input)
};

struct CommandLine {
    enum class Action { Convert, Info, Help, Version };
    Action action = Action::Convert;
    bool directionGiven = false;  // a conversion always has one; a report may have none
    Direction direction = Direction::WinToUnix;
    bool convertBinary = false;
    std::vector<Target> targets;
    // How files are chosen and converted (see --help): a list's entries end with NUL rather
    // than a line break; the patterns; hidden files; files that would not change; the times.
    bool nulSeparated = false;
    WalkSelection selection;
    ConversionOptions options;

    // The one target is standard input ("--file -", or no target at all with data piped in).
    bool ReadsStandardInput() const { return targets.size() == 1 && IsStandardInput(targets[0]); }
    static bool IsStandardInput(const Target& target) {
        return target.kind == Target::Kind::File && target.path == "-";
    }
};

// A command line that cannot be run; the text says why in one line.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments that follow the program's name. --help and --version win over
// anything after them; anything else wrong raises UsageError. Without a target, standard
// input is the target unless it is a terminal (`inputIsTerminal`): then a target is required.
CommandLine ParseCommandLine(const std::vector<std::string>& args, bool inputIsTerminal);

// The synopsis printed with every usage error, and the whole text of --help (untranslated:
// pass them through Tr).
extern const char* const UsageText;
extern const char* const HelpText;

}  // namespace tidelin::tool
