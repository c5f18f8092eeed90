// The file and folder choosers of the main window.
#include <filesystem>
#include <system_error>

#include "tidelin/file_system.h"
#include "form1.h"
#include "targets.h"
#include "texts.h"

namespace tidelin::app {

namespace {

// The working folder, where the file chooser opens; empty when it cannot be read.
std::string WorkingFolder() {
    std::error_code error;
    const std::u8string folder = std::filesystem::current_path(error).u8string();
    return error ? std::string() : std::string(folder.begin(), folder.end());
}

}  // namespace

std::string Form1::ShowOpenFile(const std::string& title, const std::string& filterDescription,
                                const std::string& filterPattern) {
    const std::vector<FileFilter> filters = {
        {text::AllFilesDescription, text::AllFilesPattern},
        {filterDescription + " (" + filterPattern + ")", filterPattern},
    };
    // Every call opens on all files; showing the chooser again after a missing name keeps
    // the pair the user had chosen.
    int filterIndex = 0;
    for (;;) {
        const std::string name = view_.ChooseFile(title, filters, filterIndex, WorkingFolder());
        if (name.empty()) {
            return {};
        }
        // Any file counts, hidden and system ones included; a folder does not. A lookup that
        // fails (rather than finding nothing) reaches the command's failure report.
        if (fs::EntryExists(name) && !fs::QueryPath(name).IsDirectory()) {
            return name;  // exactly as chosen: a name may end in a blank
        }
        view_.ShowMessage(text::CannotFindFile + name, Form1View::Icon::Critical, Form1View::Buttons::Ok,
                          true);
    }
}

std::string Form1::BrowseForFolder(const std::string& title) {
    const std::string chosen = view_.ChooseFolder(title);
    if (!chosen.empty()) {
        folderPath_ = FolderToWalk(chosen);
    }
    return folderPath_;
}

}  // namespace tidelin::app
