#include "command_line.h"

#include <algorithm>
#include <string_view>

#include "messages.h"

namespace tidelin::tool {

const char* const UsageText =
    "usage: tidelin-convert (--win-to-unix | --unix-to-win) [OPTION...]\n"
    "                       [PATH | --file PATH | --folder PATH | --files-from LIST]...\n"
    "       tidelin-convert --info [--win-to-unix | --unix-to-win] [OPTION...]\n"
    "                       [PATH | --file PATH | --folder PATH | --files-from LIST]...\n"
    "       tidelin-convert --help | --version\n";

const char* const HelpText =
    "Usage: tidelin-convert (--win-to-unix | --unix-to-win) [OPTION...]\n"
    "                       [PATH | --file PATH | --folder PATH | --files-from LIST]...\n"
    "       tidelin-convert --info [--win-to-unix | --unix-to-win] [OPTION...]\n"
    "                       [PATH | --file PATH | --folder PATH | --files-from LIST]...\n"
    "       tidelin-convert --help | --version\n"
    "\n"
    "Rewrites the line breaks of text files in place, as the Tidelin window does: for each\n"
    "file given with --file, and for every file of each folder given with --folder and of all\n"
    "its subfolders. A PATH given alone is a file or a folder, by what it is. Without a\n"
    "target it converts standard input to standard output.\n"
    "\n"
    "  --win-to-unix     turn CR LF line breaks into LF; a lone CR or LF stays as it is\n"
    "  --unix-to-win     turn LF and CR LF into CR LF; a CR not followed by LF is removed,\n"
    "                    so old Mac line breaks (CR alone) are lost\n"
    "  --convert-binary  convert files that look binary too (they are skipped otherwise)\n"
    "  --file PATH       convert the file PATH (\"-\": standard input); may be given more\n"
    "                    than once\n"
    "  --folder PATH     convert every file under the folder PATH; may be given more than once\n"
    "  --files-from LIST convert the paths listed in the file LIST (\"-\": standard input),\n"
    "                    one per line, as one walk; may be given more than once\n"
    "  -0, --null        the entries of the lists end with NUL, not with a line break\n"
    "  --include GLOB    in folders and lists, convert only the files that GLOB matches\n"
    "  --exclude GLOB    in folders and lists, leave out what GLOB matches (a folder is not\n"
    "                    entered); it wins over --include; both may be given more than once\n"
    "  --exclude-vcs     leave out .git, .hg, .svn, .bzr, _darcs and CVS at any depth\n"
    "  --include-hidden  convert hidden files (names beginning with \".\") like any other\n"
    "  --skip-unchanged  leave a file that converting would not change as it is: its inode,\n"
    "                    its times and its other names stay\n"
    "  --keep-date       a converted file keeps its modification and access times\n"
    "  --info            change nothing: print what each file holds (see Report)\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "Targets are converted one after another in the order given; a relative PATH is taken\n"
    "from the current folder, and after \"--\" every argument is a PATH, even one beginning\n"
    "with \"-\". A folder given through a link is walked where the link leads.\n"
    "Links met inside a folder, and a file given as a link, are never followed: they are\n"
    "refused like read-only, hidden and other system files, which are never overwritten.\n"
    "\n"
    "Every entry of the message list is printed on standard output as it is logged, and each\n"
    "target that was converted or walked ends with \"Операция завершена.\". A target that\n"
    "fails, is missing or is of the wrong kind is reported on standard error with its path,\n"
    "and the next target is converted. A list ends with one \"Операция завершена.\"; it is\n"
    "read whole before anything is converted, and an empty entry is a usage error.\n"
    "\n"
    "Patterns (--include, --exclude) are matched against the path below the folder walked, or\n"
    "against a list's entry as listed, with \"/\" between names: \"*\" and \"?\" within a\n"
    "name, \"**\" across folders, \"[...]\" a class, \"\\\" before a character takes it as it is.\n"
    "A pattern without \"/\" matches a name at any depth, a leading \"/\" anchors it at the\n"
    "folder walked, and a trailing \"/\" matches folders only. A file left out gets no entry.\n"
    "A path given as a target is never matched.\n"
    "\n"
    "Examples:\n"
    "  git ls-files -z | tidelin-convert --win-to-unix --include-hidden --files-from - -0\n"
    "  tidelin-convert --unix-to-win --exclude-vcs --skip-unchanged .\n"
    "\n"
    "Filter: with no target and standard input not a terminal, or with \"--file -\" alone,\n"
    "standard input is converted to standard output, which then carries nothing else: the\n"
    "entries and \"Операция завершена.\" go to standard error. While binary files are skipped,\n"
    "the input waits in a private temporary file until its end, and a binary input comes out\n"
    "unchanged. The options that choose files are a usage error there.\n"
    "\n"
    "Report (--info): one line for each file, walked as a conversion walks the targets\n"
    "(links, special files and, without --include-hidden, hidden files met in a folder are\n"
    "left out), with tab-separated fields: the number of CR LF, of lone LF and of lone CR;\n"
    "\"text\" or \"binary\"; with a direction, \"changes\", \"refused\" (it would change, but\n"
    "the conversion refuses it: read-only or hidden), \"unchanged\" or \"skipped\" (binary,\n"
    "or over 2047 MB); and the\n"
    "path, with a tab, a line break or a backslash written as \\t, \\n, \\r or \\\\. A summary\n"
    "goes to standard error. Nothing is changed.\n"
    "\n"
    "Exit status:\n"
    "  0  every target was converted, or skipped as the window skips it (a binary file,\n"
    "     a file over 2047 MB); with --info: every file was read and none would change\n"
    "  1  a target failed, was missing or of the wrong kind, or a folder walk logged an\n"
    "     error entry (\"!_ Ошибка ...\"); with --info: some file would change or be refused\n"
    "  2  the command line was wrong\n"
    "  3  with --info: a target or a file could not be read\n"
    "  130  Ctrl-C stopped it after the files in hand (143: SIGTERM, 129: SIGHUP)\n";

namespace {

// The value that follows the option args[i], which it steps over: a PATH or, with `glob`, a
// GLOB; never empty.
const std::string& Value(const std::vector<std::string>& args, std::size_t& i, bool glob) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) {
        throw UsageError(glob ? Tr("%s needs a GLOB", {option}) : Tr("%s needs a PATH", {option}));
    }
    const std::string& value = args[++i];
    if (value.empty()) {
        throw UsageError(glob ? Tr("%s needs a GLOB, not an empty text", {option})
                              : Tr("%s needs a PATH, not an empty text", {option}));
    }
    return value;
}

// The engine's reason why a pattern cannot be matched, in the user's language.
std::string PatternReason(const std::string& reason) {
    if (reason == "an unclosed [") {
        return Tr("an unclosed [");
    }
    if (reason == "a trailing \\") {
        return Tr("a trailing \\");
    }
    if (reason == "an empty pattern") {
        return Tr("an empty pattern");
    }
    return reason;
}

// A path given without an option: a file or a folder by what it is, "-" standard input.
Target PlainPath(const std::string& path) {
    if (path.empty()) {
        throw UsageError(Tr("a PATH cannot be an empty text"));
    }
    return {path == "-" ? Target::Kind::File : Target::Kind::Path, path};
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, bool inputIsTerminal) {
    CommandLine line;
    bool selects = false;  // an option that chooses files, which the filter has none of
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "--version") {
            line.action =
                arg == "--help" ? CommandLine::Action::Help : CommandLine::Action::Version;
            return line;
        }
        if (arg == "--win-to-unix" || arg == "--unix-to-win") {
            if (line.directionGiven) {
                throw UsageError(Tr("give one direction, --win-to-unix or --unix-to-win"));
            }
            line.directionGiven = true;
            line.direction = arg == "--win-to-unix" ? Direction::WinToUnix : Direction::UnixToWin;
        } else if (arg == "--convert-binary") {
            line.convertBinary = true;
        } else if (arg == "--info") {
            line.action = CommandLine::Action::Info;
        } else if (arg == "--file" || arg == "--folder" || arg == "--files-from") {
            const std::string& path = Value(args, i, false);
            line.targets.push_back({arg == "--file"     ? Target::Kind::File
                                    : arg == "--folder" ? Target::Kind::Folder
                                                        : Target::Kind::List,
                                    path});
        } else if (arg == "--include" || arg == "--exclude") {
            const std::string& pattern = Value(args, i, true);
            const std::string problem = PatternProblem(pattern);
            if (!problem.empty()) {
                throw UsageError(Tr("%s cannot be matched: %s", {pattern, PatternReason(problem)}));
            }
            (arg == "--include" ? line.selection.include : line.selection.exclude).push_back(pattern);
            selects = true;
        } else if (arg == "--exclude-vcs") {
            line.selection.excludeVcs = selects = true;
        } else if (arg == "--include-hidden") {
            line.options.includeHidden = selects = true;
        } else if (arg == "-0" || arg == "--null") {
            line.nulSeparated = selects = true;
        } else if (arg == "--skip-unchanged") {
            line.options.skipUnchanged = true;
        } else if (arg == "--keep-date") {
            line.options.keepDate = true;
        } else if (arg == "--") {
            for (++i; i < args.size(); ++i) {
                line.targets.push_back(PlainPath(args[i]));
            }
        } else if (arg == "-" || (!arg.empty() && arg[0] != '-')) {
            line.targets.push_back(PlainPath(arg));
        } else {
            throw UsageError(Tr("unknown argument: %s", {arg}));
        }
    }
    if (!line.directionGiven && line.action == CommandLine::Action::Convert) {
        throw UsageError(Tr("a direction is required: --win-to-unix or --unix-to-win"));
    }
    if (line.targets.empty()) {
        if (inputIsTerminal) {
            throw UsageError(Tr("a target is required: --file PATH or --folder PATH"));
        }
        line.targets.push_back({Target::Kind::File, "-"});
    }
    const auto isInput = [](const Target& target) { return CommandLine::IsStandardInput(target); };
    const auto isInputList = [](const Target& target) {
        return target.kind == Target::Kind::List && target.path == "-";
    };
    if (std::any_of(line.targets.begin(), line.targets.end(), isInput) &&
        std::any_of(line.targets.begin(), line.targets.end(), isInputList)) {
        throw UsageError(Tr("standard input cannot be both a list (--files-from -) and converted (--file -)"));
    }
    if (line.targets.size() > 1 && std::any_of(line.targets.begin(), line.targets.end(), isInput)) {
        throw UsageError(Tr("standard input (--file -) cannot be given with other targets"));
    }
    if (selects && line.ReadsStandardInput()) {
        throw UsageError(Tr("the filter converts standard input alone: no option may choose files"));
    }
    return line;
}

}  // namespace tidelin::tool
