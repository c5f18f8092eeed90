// tidelin-convert: Tidelin's four commands without a window, for scripts and terminals. It runs
// beside the window and beside other runs of itself. `tidelin-convert --help` and the manual
// page tell how to use it; the exit status is 0 when every target was converted or skipped as
// the window skips it, 1 when any target failed, 2 for a wrong command line, and 128 and the
// signal's number when Ctrl-C, SIGTERM or SIGHUP stopped it. It also reports what files hold
// (--info, info_report.h) and converts standard input (filter.h).
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "app_info.h"
#include "command_line.h"
#include "console_host.h"
#include "tidelin/engine.h"
#include "tidelin/errors.h"
#include "tidelin/file_system.h"
#include "filter.h"
#include "info_report.h"
#include "messages.h"
#include "target_runner.h"

int main(int argc, char** argv) {
    using namespace tidelin;
    using namespace tidelin::tool;

    SetUpMessages();
    CommandLine line;
    try {
        line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                StandardInputIsTerminal());
    } catch (const UsageError& error) {
        std::cerr << "tidelin-convert: " << error.what() << '\n'
                  << Tr(UsageText) << Tr("Try 'tidelin-convert --help' for more.\n");
        return 2;
    }
    if (line.action == CommandLine::Action::Help) {
        std::cout << Tr(HelpText);
        return 0;
    }
    if (line.action == CommandLine::Action::Version) {
        std::cout << "tidelin-convert (" << app::Title << ") " << app::VersionMajor << '.'
                  << app::VersionMinor << '.' << app::VersionRevision << '\n';
        return 0;
    }

    const Direction direction = line.direction;
    // Ctrl-C stops a conversion after the files in hand, with every file old or new; the report
    // and the filter have nothing to finish and end at once.
    const bool converting = line.action == CommandLine::Action::Convert && !line.ReadsStandardInput();
    fs::CatchStopSignals(!converting);
    if (line.action == CommandLine::Action::Convert && line.ReadsStandardInput()) {
        return RunFilter(direction, !line.convertBinary);
    }
    std::error_code noFolder;
    const std::string workingFolder = std::filesystem::current_path(noFolder).string();
    if (noFolder) {
        std::cerr << "tidelin-convert: " << Tr("the current folder cannot be read: %s", {noFolder.message()})
                  << '\n';
        return line.action == CommandLine::Action::Info ? 3 : 1;
    }
    const auto lists = TargetRunner::ReadLists(line);
    if (!lists) {
        return 2;
    }
    if (line.action == CommandLine::Action::Info) {
        return InfoReport::Run(line, *lists, workingFolder);
    }

    ConsoleHost host(!line.convertBinary);
    MessageLog log;
    log.SetObserver(&host);
    Engine engine(host, log);
    engine.SetOptions(line.options);
    try {
        engine.ChooseWorkFile();
    } catch (const EngineError& error) {
        std::cerr << "Error " << error.Number() << ' ' << error.Description() << CauseSuffix(error)
                  << '\n';
        return 1;
    }
    TargetRunner runner(engine, line.direction, line.selection);
    bool allDone = true;
    for (std::size_t i = 0; i < line.targets.size(); ++i) {
        if (fs::StopSignalStatus() != 0) {
            break;  // stopped: later targets are not started
        }
        const Target& target = line.targets[i];
        if (target.kind == Target::Kind::List) {
            allDone = runner.ConvertList((*lists)[i], workingFolder) && allDone;
            continue;
        }
        const std::string path = fs::AbsolutePath(target.path, workingFolder);
        const bool folder = target.kind == Target::Kind::Folder ||
                            (target.kind == Target::Kind::Path && TargetRunner::IsFolderTarget(path));
        const bool done = folder ? runner.ConvertFolder(path) : runner.ConvertFile(path);
        allDone = allDone && done;
    }
    engine.Unload();
    std::cout.flush();
    if (const int stopped = fs::StopSignalStatus()) {
        return stopped;
    }
    return allDone ? 0 : 1;
}
