// Form1's logic: the main window's state for the whole run (the work file through the engine,
// the chosen file and folder, the message list's entries and the widest logged path, the
// skip-binary setting), its four conversion commands with their confirmations and failure
// reports, the choosers' rules, the busy state, a walk's progress and the close rule. It
// draws nothing: a window shows it through Form1View.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "tidelin/direction.h"
#include "tidelin/engine.h"
#include "form1_view.h"
#include "tidelin/host.h"
#include "tidelin/message_log.h"

namespace tidelin::app {

// What a button of the main window does.
enum class Command { FileWinToUnix, FileUnixToWin, FolderWinToUnix, FolderUnixToWin };
// The command of the button named `name` (Command1 ... Command4); none for any other control.
std::optional<Command> CommandOf(const std::string& name);

// Form1 is the engine's host and the message log's observer for its own engine and log; the
// windows see only its commands and state.
class Form1 : private EngineHost, private MessageLogObserver {
public:
    explicit Form1(Form1View& view);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Load step: chooses the work file. An error is left to the caller, which reports it
    // (text::ErrorText) and ends the program.
    void Load();
    // The close box: true when the window may close, after the unload step has run. While a
    // command runs it is refused; during a folder walk the user is offered to stop the walk
    // after the file in hand.
    bool QueryClose();

    // A click on Command1 ... Command4 (ignored while busy).
    void Click(Command command);

    // Check1, "Не изменять бинарные файлы": ticked at every start.
    void SetSkipBinary(bool skip) { skipBinary_ = skip; }
    bool SkipBinary() override { return skipBinary_; }

    bool IsBusy() const { return busy_; }
    const std::string& DlgFilename() const { return dlgFilename_; }
    const std::string& FolderPath() const { return folderPath_; }
    std::int16_t MaxEntryWidth() const { return maxEntryWidth_; }
    Engine& GetEngine() { return engine_; }
    MessageLog& Log() { return log_; }

    // Events are processed at most every YieldInterval, the title shows a walk's progress at
    // most every TitleInterval.
    static constexpr std::chrono::milliseconds YieldInterval{8};
    static constexpr std::chrono::milliseconds TitleInterval{250};

private:
    using Clock = std::chrono::steady_clock;
    void ConvertFileCommand(Direction direction);
    void ConvertFolderCommand(Direction direction);
    // Confirm and run the engine work; true when the file was converted / the walk ran.
    bool ConfirmFileConversion(Direction direction);
    bool ConfirmFolderConversion(const std::string& folder, Direction direction);
    // The file chooser: the path of an existing file, exactly as chosen, or empty on cancel.
    std::string ShowOpenFile(const std::string& title, const std::string& filterDescription,
                             const std::string& filterPattern);
    // The folder chooser: an accepted folder goes to FolderPath; a cancel leaves it.
    std::string BrowseForFolder(const std::string& title);

    // EngineHost.
    void Yield() override;
    void FileDone() override;
    bool StopRequested() override { return stopRequested_; }
    // MessageLogObserver: the list shows every entry, scrolls over the widest, and paths that
    // count raise MaxEntryWidth.
    void EntryAppended(const std::string& entry, const std::string& widthSubject) override;
    void EntriesCleared() override;

    void EnterBusy();
    void LeaveBusy();
    // Runs `work`; a failure closes every open file and is shown as "Error N description".
    void ReportingFailures(const std::function<void()>& work);
    void WalkWithProgress(const std::function<void()>& walk);
    void ShowFailure(const std::string& text);
    void ShowCompleted();

    Form1View& view_;
    MessageLog log_;
    Engine engine_;
    bool skipBinary_ = true;
    std::string dlgFilename_;
    std::string folderPath_;
    std::int16_t maxEntryWidth_ = 0;
    float widestEntry_ = 0;  // twips, over the entries shown since the list was last cleared
    bool busy_ = false;
    Clock::time_point lastEvents_ = Clock::now();
    // The folder walk in progress: files done, when the title last showed them, and whether
    // the user asked to stop (or is being asked).
    bool walking_ = false;
    long long filesDone_ = 0;
    Clock::time_point lastTitle_ = Clock::now();
    bool stopRequested_ = false;
    bool askingToStop_ = false;
};

}  // namespace tidelin::app
