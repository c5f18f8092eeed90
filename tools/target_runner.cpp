#include "target_runner.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include "tidelin/engine.h"
#include "tidelin/errors.h"
#include "tidelin/file_system.h"
#include "tidelin/folder_walk.h"
#include "messages.h"
#include "targets.h"
#include "texts.h"

namespace tidelin::tool {

bool TargetRunner::ConvertFile(const std::string& path) {
    try {
        if (app::ConvertChosenFile(engine_, path, direction_)) {
            std::cout << app::text::Completed << '\n';
        }
        return true;
    } catch (const EngineError& error) {
        engine_.CloseAllFiles();
        std::cout.flush();
        std::cerr << app::text::ErrorText(error.Number(), error.Description()) << " - " << path
                  << CauseSuffix(error) << '\n';
        return false;
    }
}

bool TargetRunner::ConvertFolder(const std::string& path) {
    const std::string folder = FolderToWalk(path);
    if (folder.empty()) {
        return false;
    }
    std::optional<WalkOutcome> outcome;
    try {
        outcome = app::ConvertChosenFolder(engine_, folder, direction_, selection_);
    } catch (const EngineError& error) {
        engine_.CloseAllFiles();
        Report(folder, app::text::ErrorText(error.Number(), error.Description()) + CauseSuffix(error));
        return false;
    }
    if (!outcome) {
        Report(path, Tr("no such folder"));
        return false;
    }
    return Finished(*outcome);
}

bool TargetRunner::ConvertList(const std::vector<std::string>& entries, const std::string& workingFolder) {
    WalkOutcome outcome;
    try {
        outcome = app::ConvertListedPaths(engine_, entries, workingFolder, direction_, selection_);
    } catch (const EngineError& error) {
        engine_.CloseAllFiles();
        Report("--files-from", app::text::ErrorText(error.Number(), error.Description()) + CauseSuffix(error));
        return false;
    }
    return Finished(outcome);
}

bool TargetRunner::Finished(const WalkOutcome& outcome) {
    if (!outcome.stopped) {  // a walk stopped by Ctrl-C ends with its stop entry
        std::cout << app::text::Completed << '\n';
    }
    return outcome.Clean();
}

std::optional<std::vector<std::vector<std::string>>> TargetRunner::ReadLists(const CommandLine& line) {
    std::vector<std::vector<std::string>> lists;
    for (const Target& target : line.targets) {
        if (target.kind != Target::Kind::List) {
            lists.emplace_back();
            continue;
        }
        app::PathList list;
        if (target.path == "-") {
            list = app::ReadPathList(std::cin, line.nulSeparated);
        } else {
            std::ifstream in(std::filesystem::path(std::u8string(target.path.begin(), target.path.end())),
                             std::ios::binary);
            if (!in) {
                Report(target.path, Tr("the list of paths cannot be read"));
                return std::nullopt;
            }
            list = app::ReadPathList(in, line.nulSeparated);
            if (in.bad()) {
                Report(target.path, Tr("the list of paths cannot be read"));
                return std::nullopt;
            }
        }
        if (list.empty != 0) {
            Report(target.path, Tr("entry %s of the list is empty", {std::to_string(list.empty)}));
            return std::nullopt;
        }
        lists.push_back(std::move(list.entries));
    }
    return lists;
}

bool TargetRunner::IsFolderTarget(const std::string& path) {
    try {
        return fs::EntryExists(path) && fs::QueryPath(app::FolderToWalk(path)).IsDirectory();
    } catch (const EngineError&) {
        return false;  // converted as a file, whose failure says why
    }
}

std::string TargetRunner::FolderToWalk(const std::string& path) {
    std::string folder;
    try {
        if (!fs::EntryExists(path)) {
            Report(path, Tr("no such folder"));
            return {};
        }
        // A folder named through a link is walked where it leads, as in the window.
        folder = app::FolderToWalk(path);
        if (!fs::QueryPath(folder).IsDirectory()) {
            Report(path, fs::QueryPath(path).IsSystem() && fs::FinalPath(path).empty()
                             ? Tr("a link that leads nowhere")
                             : Tr("not a folder"));
            return {};
        }
    } catch (const EngineError& error) {
        Report(path, error.Description());
        return {};
    }
    if (IsRootFolder(folder) || NormaliseWalkFolder(folder).empty()) {
        Report(path, Tr("the root folder is never walked"));
        return {};
    }
    return folder;
}

void TargetRunner::Report(const std::string& path, const std::string& reason) {
    std::cout.flush();
    std::cerr << "tidelin-convert: " << path << ": " << reason << '\n';
}

}  // namespace tidelin::tool
