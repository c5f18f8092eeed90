#include "target_runner.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "engine.h"
#include "errors.h"
#include "folder_walk.h"

namespace tidelin::tool {

namespace {

const char* const Completed = "Операция завершена.";

// The program's paths are UTF-8; std::filesystem takes them as char8_t, so that Windows does
// not read them in its 8-bit code page (on Linux the bytes pass unchanged).
std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

bool TargetRunner::ConvertFile(const std::string& path) {
    engine_.Log().Clear();
    try {
        const bool converted =
            winToUnix_ ? engine_.ConvertWinToUnix(path) : engine_.ConvertUnixToWin(path);
        if (converted) {
            std::cout << Completed << '\n';
        }
        return true;
    } catch (const EngineError& error) {
        engine_.CloseAllFiles();
        std::cout.flush();
        std::cerr << "Error " << error.Number() << ' ' << error.Description() << " - " << path
                  << CauseSuffix(error) << '\n';
        return false;
    }
}

bool TargetRunner::ConvertFolder(const std::string& path) {
    const std::string folder = FolderToWalk(path);
    if (folder.empty()) {
        return false;
    }
    MessageLog& log = engine_.Log();
    log.ResetMaxEntryWidth();
    log.Clear();
    try {
        ConvertFolderTree(engine_, folder, winToUnix_ ? "Win-Unix" : "Unix-Win");
    } catch (const EngineError& error) {
        engine_.CloseAllFiles();
        Report(folder, "Error " + std::to_string(error.Number()) + ' ' + error.Description() +
                           CauseSuffix(error));
        return false;
    }
    std::cout << Completed << '\n';
    for (const std::string& entry : log.Entries()) {
        if (entry.rfind(WalkErrorEntryPrefix, 0) == 0) {
            return false;
        }
    }
    return true;
}

std::string TargetRunner::FolderToWalk(const std::string& path) {
    namespace stdfs = std::filesystem;
    std::error_code error;
    const stdfs::file_status status = stdfs::symlink_status(FsPath(path), error);
    if (!stdfs::exists(status)) {
        Report(path, error && error != std::errc::no_such_file_or_directory ? error.message()
                                                                            : "no such folder");
        return {};
    }
    std::string folder = path;
    if (stdfs::is_symlink(status)) {
        // The walk never follows links; a folder named through one is walked where it leads,
        // as the window does with a folder chosen through a link.
        const stdfs::path target = stdfs::canonical(FsPath(path), error);
        if (error) {
            Report(path, "a link that leads nowhere");
            return {};
        }
        folder = Utf8(target);
    }
    if (!stdfs::is_directory(FsPath(folder), error)) {
        Report(path, "not a folder");
        return {};
    }
    if (NormaliseWalkFolder(folder).empty()) {
        Report(path, "the root folder is never walked");
        return {};
    }
    return folder;
}

void TargetRunner::Report(const std::string& path, const std::string& reason) {
    std::cout.flush();
    std::cerr << "tidelin-convert: " << path << ": " << reason << '\n';
}

}  // namespace tidelin::tool
