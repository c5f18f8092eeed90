#include "form1.h"

#include "app_info.h"
#include "texts.h"
#include "width_rule.h"

namespace tidelin::app {

std::optional<Command> CommandOf(const std::string& name) {
    if (name == "Command1") return Command::FileWinToUnix;
    if (name == "Command2") return Command::FileUnixToWin;
    if (name == "Command3") return Command::FolderWinToUnix;
    if (name == "Command4") return Command::FolderUnixToWin;
    return std::nullopt;
}

Form1::Form1(Form1View& view) : view_(view), engine_(*this, log_) { log_.SetObserver(this); }

Form1::~Form1() { log_.SetObserver(nullptr); }

void Form1::Load() { engine_.ChooseWorkFile(); }

bool Form1::QueryClose() {
    // A command runs to its end: closing now would cut a conversion off mid-file. A folder
    // walk can be stopped, though, after the file in hand.
    if (busy_) {
        if (walking_ && !stopRequested_ && !askingToStop_) {
            askingToStop_ = true;
            stopRequested_ = view_.ShowMessage(text::StopQuestion, Form1View::Icon::Warning,
                                               Form1View::Buttons::YesNo,
                                               false) == Form1View::Answer::Yes;
            askingToStop_ = false;
        }
        return false;
    }
    engine_.Unload();
    return true;
}

void Form1::Click(Command command) {
    if (busy_) {
        return;
    }
    switch (command) {
    case Command::FileWinToUnix: ConvertFileCommand(Direction::WinToUnix); break;
    case Command::FileUnixToWin: ConvertFileCommand(Direction::UnixToWin); break;
    case Command::FolderWinToUnix: ConvertFolderCommand(Direction::WinToUnix); break;
    case Command::FolderUnixToWin: ConvertFolderCommand(Direction::UnixToWin); break;
    }
}

void Form1::Yield() {
    const Clock::time_point now = Clock::now();
    if (now - lastEvents_ >= YieldInterval) {
        view_.ProcessEvents();
        lastEvents_ = Clock::now();
    }
}

void Form1::FileDone() {
    ++filesDone_;
    const Clock::time_point now = Clock::now();
    if (now - lastTitle_ >= TitleInterval) {
        view_.SetTitle(text::ProgressTitle(filesDone_));
        lastTitle_ = now;
    }
}

void Form1::WalkWithProgress(const std::function<void()>& walk) {
    walking_ = true;
    filesDone_ = 0;
    stopRequested_ = false;
    lastTitle_ = Clock::now();
    struct Restore {
        Form1* form;
        ~Restore() {
            form->walking_ = false;
            form->view_.SetTitle(Title);
        }
    } restore{this};
    walk();
}

void Form1::EntryAppended(const std::string& entry, const std::string& widthSubject) {
    if (!widthSubject.empty()) {
        maxEntryWidth_ = ApplyWidthRule(maxEntryWidth_, view_.MeasureTwips(widthSubject));
    }
    view_.AppendEntry(entry);
    const float width = view_.MeasureTwips(entry);
    if (width > widestEntry_) {
        widestEntry_ = width;
        view_.SetListRange(widestEntry_);
    }
}

void Form1::EntriesCleared() {
    widestEntry_ = 0;
    view_.ClearEntries();
    view_.SetListRange(0);
}

void Form1::EnterBusy() {
    busy_ = true;
    view_.SetBusy(true);
}

void Form1::LeaveBusy() {
    if (busy_) {
        busy_ = false;
        view_.SetBusy(false);
    }
}

void Form1::ShowFailure(const std::string& message) {
    view_.ShowMessage(message, Form1View::Icon::Critical, Form1View::Buttons::Ok, true);
}

void Form1::ShowCompleted() {
    view_.ShowMessage(text::Completed, Form1View::Icon::None, Form1View::Buttons::Ok, true);
}

}  // namespace tidelin::app
