// Form1: Tidelin's main window. It holds the program's state for the whole run (the work
// file through the engine, the chosen file and folder, the message list and the widest
// logged path) and runs the four conversion commands.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "engine.h"
#include "message_log.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tidelin {

class Dialogs;
class MessageList;

class Form1 : public QWidget, public EngineHost {
    Q_OBJECT
public:
    explicit Form1(Dialogs& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    // Load step: chooses the work file. An error here is left to the caller, which reports
    // it and ends the program.
    void Load();

    // EngineHost
    bool SkipBinary() override;
    float MeasureTwips(const std::string& text) override;
    void Yield() override;
    void FileDone() override;
    bool StopRequested() override;

    // The four commands, as their buttons run them.
    void ConvertFileCommand(const QString& sourceKeyword, const QString& targetKeyword);
    void ConvertFolderCommand(const QString& sourceKeyword, const QString& targetKeyword);

    // Confirms and runs the engine work; true when the file was converted / the walk ran.
    bool ConfirmFileConversion(const QString& sourceKeyword, const QString& targetKeyword);
    bool ConfirmFolderConversion(const QString& folder, const QString& sourceKeyword,
                                 const QString& targetKeyword);

    // The file chooser: the full path of an existing file, or empty when cancelled.
    QString ShowOpenFile(const QString& title, const QString& filterDescription,
                         const QString& filterPattern);
    // The folder chooser: writes the accepted folder into FolderPath, leaves it on cancel.
    QString BrowseForFolder(const QString& title);

    // Command5: the modal About window.
    void ShowAbout();

    bool IsBusy() const { return busy_; }
    const QString& FolderPath() const { return folderPath_; }
    Engine& GetEngine() { return engine_; }
    MessageLog& Log() { return log_; }

    // Called from every yield of the engine, before events are processed (for tests).
    void SetYieldProbe(std::function<void()> probe) { yieldProbe_ = std::move(probe); }

    static const char* const ConvertFileTitle;
    static const char* const ConvertFolderTitle;
    static const char* const Completed;
    static const char* const StopQuestion;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void FitCaptions();
    void EnterBusy();
    void LeaveBusy();
    // Runs `work`; a failure closes every open file and is shown as "Error N description".
    void ReportingFailures(const std::function<void()>& work);
    // Runs the folder walk with its progress in the title bar and the close box able to
    // stop it; the title is back to the program's own when the walk ends.
    void WalkWithProgress(const std::function<void()>& walk);

    Dialogs& dialogs_;
    MessageLog log_;
    Engine engine_;
    QString folderPath_;
    bool busy_ = false;
    QElapsedTimer sinceEvents_;
    // The folder walk in progress: files done, when the title last showed them, and whether
    // the user asked to stop (or is being asked).
    bool walking_ = false;
    int filesDone_ = 0;
    QElapsedTimer sinceTitle_;
    bool stopRequested_ = false;
    bool askingToStop_ = false;
    std::function<void()> yieldProbe_;

    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;
    QCheckBox* check1_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    MessageList* list1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* dlgFilename_ = nullptr;
};

}  // namespace tidelin
