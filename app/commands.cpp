// The four conversion commands of the main window.
#include <new>

#include "tidelin/errors.h"
#include "form1.h"
#include "targets.h"
#include "texts.h"

namespace tidelin::app {

void Form1::ConvertFileCommand(Direction direction) {
    ReportingFailures([&] {
        dlgFilename_ = ShowOpenFile(text::ConvertFileTitle, text::PerlPhpDescription, text::PerlPhpPattern);
        if (dlgFilename_.empty()) {
            return;
        }
        EnterBusy();
        if (ConfirmFileConversion(direction)) {
            ShowCompleted();
        }
    });
    LeaveBusy();  // whether or not the busy state had been entered
}

void Form1::ConvertFolderCommand(Direction direction) {
    folderPath_.clear();
    maxEntryWidth_ = 0;
    // Anything that fails around the walk (the chooser's look at a link, the probe of the
    // folder) is reported like a single-file failure; the walk logs its own.
    ReportingFailures([&] {
        BrowseForFolder(text::ConvertFolderTitle);
        if (folderPath_.empty()) {
            return;
        }
        EnterBusy();
        if (ConfirmFolderConversion(folderPath_, direction)) {
            ShowCompleted();
        }
    });
    LeaveBusy();
}

void Form1::ReportingFailures(const std::function<void()>& work) {
    try {
        work();
    } catch (const EngineError& error) {
        engine_.CloseAllFiles();
        ShowFailure(text::ErrorText(error.Number(), error.Description()));
    } catch (const std::bad_alloc&) {
        engine_.CloseAllFiles();
        ShowFailure(text::ErrorText(text::OutOfMemoryNumber, text::OutOfMemory));
    }
}

bool Form1::ConfirmFileConversion(Direction direction) {
    if (view_.ShowMessage(text::FileConfirmation(dlgFilename_, direction), Form1View::Icon::Warning,
                          Form1View::Buttons::YesNo, true) != Form1View::Answer::Yes) {
        return false;
    }
    return ConvertChosenFile(engine_, dlgFilename_, direction);
}

bool Form1::ConfirmFolderConversion(const std::string& folder, Direction direction) {
    if (view_.ShowMessage(text::FolderConfirmation(folder, direction), Form1View::Icon::Warning,
                          Form1View::Buttons::YesNo, false) != Form1View::Answer::Yes) {
        return false;
    }
    bool walked = false;
    WalkWithProgress([&] { walked = ConvertChosenFolder(engine_, folder, direction).has_value(); });
    return walked;
}

}  // namespace tidelin::app
