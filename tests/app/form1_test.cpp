// The main window's commands, choosers, message list, busy state and close rule, once, against
// a scripted window and real files. The same suite runs on Linux and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "app_info.h"
#include "form1.h"
#include "scripted_view.h"
#include "test_support.h"
#include "texts.h"
#include "width_rule.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace tidelin::test {
namespace {

using app::Command;
using Answer = app::Form1View::Answer;
using Icon = app::Form1View::Icon;

const std::string Completed = app::text::Completed;
const std::string Protected = "Error 75 Системные, скрытые и файлы только для чтения не перезаписываются.";

void MakeFolder(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(std::u8string(path.begin(), path.end())));
}

void SetTemporaryFolder(const std::string& folder) {
#ifdef _WIN32
    ::SetEnvironmentVariableA("TMP", folder.c_str());
    ::SetEnvironmentVariableA("TEMP", folder.c_str());
#else
    ::setenv("TMPDIR", folder.c_str(), 1);
#endif
}

class Form1Test : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        form = std::make_unique<app::Form1>(view);
        form->Load();
    }
    void TearDown() override {
        EXPECT_EQ(view.unscripted, 0);
        EXPECT_FALSE(view.busy);
        form.reset();
        TempFolderTest::TearDown();
    }
    // `name` below the test's folder, "/" standing for the platform's separator.
    std::string At(std::string name) const {
        std::replace(name.begin(), name.end(), '/', fs::PathSeparator);
        return Path(name);
    }
    std::string File(const std::string& name, const std::string& content, unsigned mode = 0644) {
        const std::string path = At(name);
        MakeFolder(std::filesystem::path(path).parent_path().string());
        WriteFile(path, content, mode);
        return path;
    }
    // Runs a file command on `path` with `answer` to its confirmation.
    void ConvertFile(Command command, const std::string& path, Answer answer = Answer::Yes) {
        view.files.push_back(path);
        view.answers.push_back(answer);
        form->Click(command);
    }
    void ConvertFolder(Command command, const std::string& folder, Answer answer = Answer::Yes) {
        view.folders.push_back(folder);
        view.answers.push_back(answer);
        form->Click(command);
    }

    ScriptedView view;
    std::unique_ptr<app::Form1> form;
};

TEST_F(Form1Test, ConfirmationsOfTheFourCommands) {
    const std::string file = File("a.txt", "a\r\n");
    const std::string folder = At("tree");
    MakeFolder(folder);
    const struct {
        Command command;
        std::string target;
        std::string text;
        bool yesIsDefault;
    } cases[] = {
        {Command::FileWinToUnix, file,
         "Внимание! В файле \"" + file + "\" будут заменены все символы перехода строки Windows символами "
         "перехода строки Unix.\r\nПерезаписать файл ?", true},
        {Command::FileUnixToWin, file,
         "Внимание! В файле \"" + file + "\" будут заменены все символы перехода строки Unix символами "
         "перехода строки Windows.\r\nПерезаписать файл ?", true},
        {Command::FolderWinToUnix, folder,
         "Внимание! Во всех файлах, находящихся в папке \"" + folder + "\" и её вложенных папках будут заменены "
         "все символы перехода строки Windows символами перехода строки Unix.\r\nПерезаписать все файлы ?", false},
        {Command::FolderUnixToWin, folder,
         "Внимание! Во всех файлах, находящихся в папке \"" + folder + "\" и её вложенных папках будут заменены "
         "все символы перехода строки Unix символами перехода строки Windows.\r\nПерезаписать все файлы ?", false},
    };
    for (const auto& c : cases) {
        const bool folderCommand = c.command == Command::FolderWinToUnix || c.command == Command::FolderUnixToWin;
        folderCommand ? ConvertFolder(c.command, c.target, Answer::No) : ConvertFile(c.command, c.target, Answer::No);
        ASSERT_EQ(view.shown.size(), 1u) << c.text;
        EXPECT_EQ(view.shown[0].text, c.text);
        EXPECT_EQ(view.shown[0].icon, Icon::Warning);
        EXPECT_EQ(view.shown[0].yesIsDefault, c.yesIsDefault);
        EXPECT_TRUE(view.shown[0].busy) << "the box is shown while the window is busy";
        view.shown.clear();
    }
    EXPECT_EQ(ReadFile(file), "a\r\n");
    EXPECT_EQ(view.fileDialogs.size(), 2u);
    EXPECT_EQ(view.fileDialogs[0].title, app::text::ConvertFileTitle);
    EXPECT_EQ(view.folderTitles, std::vector<std::string>(2, app::text::ConvertFolderTitle));
}

TEST_F(Form1Test, YesConvertsEachWayAndReportsCompletion) {
    const std::string file = File("a.txt", "a\r\nb\n");
    ConvertFile(Command::FileWinToUnix, file);
    EXPECT_EQ(ReadFile(file), "a\nb\n");
    ConvertFile(Command::FileUnixToWin, file);
    EXPECT_EQ(ReadFile(file), "a\r\nb\r\n");
    ASSERT_EQ(view.shown.size(), 4u);
    EXPECT_EQ(view.shown[1].text, Completed);
    EXPECT_EQ(view.shown[1].icon, Icon::None);
    EXPECT_TRUE(view.shown[1].busy) << "the report is dismissed before the window is idle again";

    const std::string tree = At("tree");
    File("tree/x/b.txt", "b\r\n");
    ConvertFolder(Command::FolderWinToUnix, tree);
    EXPECT_EQ(ReadFile(At("tree/x/b.txt")), "b\n");
    EXPECT_EQ(view.shown.back().text, Completed);
    EXPECT_EQ(view.titles.back(), app::Title) << "the title is the program's own after a walk";
}

TEST_F(Form1Test, CancelledChoosersEndTheCommandQuietly) {
    form->Log().Append("kept");
    view.files = {""};
    form->Click(Command::FileWinToUnix);
    view.folders = {""};
    form->Click(Command::FolderUnixToWin);
    EXPECT_TRUE(view.shown.empty());
    EXPECT_EQ(view.busyChanges, 0);
    EXPECT_EQ(form->DlgFilename(), "");
    EXPECT_EQ(form->FolderPath(), "");
    EXPECT_EQ(form->Log().Entries(), std::vector<std::string>{"kept"});
}

TEST_F(Form1Test, EveryFileCommandStartsOnAllFilesAndTheMissingFileLoopKeepsTheChoice) {
    const std::string file = File("a.txt", "a\r\n");
    const std::string missing = Path("missing.txt");
    const std::string folder = Path("folder");
    const std::string belowFile = file + fs::PathSeparator + "inside.txt";  // a file on the way
    MakeFolder(folder);
    view.files = {missing, folder, belowFile, file};
    view.filterChoices = {1, 1, 1, 1};
    view.answers = {Answer::No};
    form->Click(Command::FileWinToUnix);
    ASSERT_EQ(view.fileDialogs.size(), 4u);
    const std::vector<app::FileFilter>& filters = view.fileDialogs[0].filters;
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].display, "Все файлы (*.*)");
    EXPECT_EQ(filters[0].pattern, "*.*");
    EXPECT_EQ(filters[1].display, "Perl и PHP файлы (*.cgi;*.pl;*.pm;*.php;*.php3;*.php4;*.inc;*.phtml)");
    EXPECT_EQ(filters[1].pattern, "*.cgi;*.pl;*.pm;*.php;*.php3;*.php4;*.inc;*.phtml");
    EXPECT_EQ(view.fileDialogs[0].filterIndex, 0);
    EXPECT_EQ(view.fileDialogs[1].filterIndex, 1);
    EXPECT_EQ(view.fileDialogs[3].filterIndex, 1);
    EXPECT_EQ(view.fileDialogs[0].folder, std::filesystem::current_path().string());
    const std::vector<std::string> texts = view.TakeTexts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Не удаётся найти файл " + missing);
    EXPECT_EQ(texts[1], "Не удаётся найти файл " + folder) << "a folder is no file";
    EXPECT_EQ(texts[2], "Не удаётся найти файл " + belowFile);
    EXPECT_EQ(form->DlgFilename(), file);

    view.files = {std::string()};
    form->Click(Command::FileUnixToWin);
    EXPECT_EQ(view.fileDialogs.back().filterIndex, 0) << "the next command opens on all files again";
    EXPECT_EQ(form->DlgFilename(), "");
}

#ifndef _WIN32
TEST_F(Form1Test, ALookupThatFailsIsReportedAsTheCommandsFailure) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root looks into every folder";
    }
    const std::string closed = Path("closed");
    MakeFolder(closed);
    ASSERT_EQ(::chmod(closed.c_str(), 0), 0);
    view.files = {closed + "/inside.txt"};  // a folder on the way that may not be looked into
    form->Click(Command::FileWinToUnix);
    ::chmod(closed.c_str(), 0755);
    ASSERT_EQ(view.shown.size(), 1u);
    EXPECT_EQ(view.shown[0].text.rfind("Error ", 0), 0u) << view.shown[0].text;
    EXPECT_EQ(view.shown[0].icon, Icon::Critical);
    EXPECT_EQ(view.fileDialogs.size(), 1u) << "no second showing of the chooser";
}
#endif

TEST_F(Form1Test, SkippedAndFailedFiles) {
    const std::string binary = File("data.bin", std::string("a\0\r\n", 4));
    ConvertFile(Command::FileWinToUnix, binary);
    EXPECT_EQ(view.TakeTexts().size(), 1u) << "a skipped file gets no completion report";
    EXPECT_EQ(view.entries, std::vector<std::string>{"!_  Бинарный файл: " + binary});

    const std::string locked = File("locked.txt", "l\r\n", 0444);
    ConvertFile(Command::FileWinToUnix, locked);
    ASSERT_EQ(view.shown.size(), 2u);
    EXPECT_EQ(view.shown[1].text, Protected);
    EXPECT_EQ(view.shown[1].icon, Icon::Critical);
    EXPECT_TRUE(view.entries.empty()) << "the list holds only the last run's entries";
    EXPECT_FALSE(form->IsBusy());
    EXPECT_FALSE(form->GetEngine().Core().Files().IsOpen(OpenFileTable::Source));

    // The window works again: the next command converts.
    view.shown.clear();
    const std::string text = File("b.txt", "b\r\n");
    ConvertFile(Command::FileWinToUnix, text);
    EXPECT_EQ(ReadFile(text), "b\n");
}

TEST_F(Form1Test, AnsweringNoKeepsTheListOfTheRunBefore) {
    const std::string binary = File("tree/data.bin", std::string("\0", 1));
    ConvertFolder(Command::FolderWinToUnix, At("tree"));
    const std::vector<std::string> entries = {"!_  Бинарный файл: " + binary};
    EXPECT_EQ(view.entries, entries);
    ConvertFolder(Command::FolderUnixToWin, At("tree"), Answer::No);
    ConvertFile(Command::FileUnixToWin, binary, Answer::No);
    EXPECT_EQ(view.entries, entries);
    EXPECT_EQ(form->MaxEntryWidth(), 0) << "each folder command starts its record afresh";
}

TEST_F(Form1Test, TheListScrollsOverItsWidestEntryAndTheRecordCountsPathsOnly) {
    const std::string shortBinary = File("tree/a.bin", std::string("\0", 1));
    const std::string longBinary = File("tree/a-longer-name.bin", std::string("\0", 1));
    ConvertFolder(Command::FolderWinToUnix, At("tree"));
    const std::string widest = "!_  Бинарный файл: " + longBinary;
    EXPECT_EQ(view.range, static_cast<float>(widest.size()) * 100.0f);
    EXPECT_EQ(form->MaxEntryWidth(), static_cast<std::int16_t>(longBinary.size() * 100));
    // A single-file run clears the list and scrolls over its own entries alone.
    ConvertFile(Command::FileWinToUnix, shortBinary);
    EXPECT_EQ(view.range, static_cast<float>(("!_  Бинарный файл: " + shortBinary).size()) * 100.0f);
}

TEST_F(Form1Test, APathTooWideForTheRecordStillConvertsOrSkipsItsFile) {
    // 100 twips a byte: a path of more than 400 bytes passes the record's 16-bit limit.
    const std::string wide = File(std::string(200, 'n') + "/" + std::string(200, 'm'), std::string("\0", 1));
    ConvertFile(Command::FileWinToUnix, wide);
    EXPECT_EQ(view.TakeTexts().size(), 1u) << "no overflow box after the binary entry";
    EXPECT_EQ(view.entries, std::vector<std::string>{"!_  Бинарный файл: " + wide});
    EXPECT_EQ(form->MaxEntryWidth(), 32767);
}

TEST_F(Form1Test, WidthRule) {
    const struct {
        const char* name;
        std::vector<float> widths;
        std::int16_t expected;
    } cases[] = {
        {"starts at zero", {}, 0},
        {"stores a greater width", {1234.0f}, 1234},
        {"keeps the greatest", {500.0f, 400.0f}, 500},
        {"equal changes nothing", {500.0f, 500.0f}, 500},
        {"strictly greater by a fraction", {500.0f, 500.25f}, 500},
        {"half rounds to even below", {2.5f}, 2},
        {"half rounds to even above", {3.5f}, 4},
        {"just over a half rounds up", {10.5001f}, 11},
        {"rounds to the largest value", {32767.4f}, 32767},
        {"negative widths change nothing", {-5.0f}, 0},
        {"rounding past 32767 stops there", {100.0f, 32767.5f}, 32767},
        {"far too wide stops there", {7.0f, 1e9f}, 32767},
        {"not a number changes nothing", {7.0f, std::nanf("")}, 7},
    };
    for (const auto& c : cases) {
        std::int16_t record = 0;
        for (const float width : c.widths) {
            record = app::ApplyWidthRule(record, width);
        }
        EXPECT_EQ(record, c.expected) << c.name;
    }
}

TEST_F(Form1Test, FolderChoices) {
    File("tree/a.txt", "a\r\n");
    const struct {
        const char* name;
        std::string chosen;
        bool walked;  // a completion report
    } cases[] = {
        {"a folder whose parent vanished returns silently", Path("gone") + fs::PathSeparator + "sub", false},
        {"a folder that vanished returns silently", Path("vanished"), false},
        {"a folder below a file returns silently", At("tree/a.txt") + fs::PathSeparator + "sub", false},
        {"the root is never walked and says so", std::string(1, fs::PathSeparator), true},
    };
    for (const auto& c : cases) {
        ConvertFolder(Command::FolderWinToUnix, c.chosen);
        const std::vector<std::string> texts = view.TakeTexts();
        EXPECT_EQ(texts.size(), c.walked ? 2u : 1u) << c.name;
        EXPECT_EQ(!texts.empty() && texts.back() == Completed, c.walked) << c.name;
        EXPECT_TRUE(!texts.empty() && texts.front().rfind("Внимание!", 0) == 0) << c.name << ": no confirmation";
    }
    EXPECT_EQ(view.entries, std::vector<std::string>{std::string("!_  Корневая папка не конвертируется: ") +
                                                     fs::PathSeparator});
    EXPECT_EQ(ReadFile(At("tree/a.txt")), "a\r\n");
}

#ifndef _WIN32
TEST_F(Form1Test, AFolderChosenThroughALinkIsWalkedWhereItLeads) {
    const std::string file = File("tree/a.txt", "a\r\n");
    std::filesystem::create_directory_symlink(Path("tree"), Path("link"));
    ConvertFolder(Command::FolderWinToUnix, Path("link"));
    EXPECT_EQ(form->FolderPath(), std::filesystem::canonical(Path("tree")).string());
    EXPECT_EQ(ReadFile(file), "a\n");
}

TEST_F(Form1Test, ChosenNamesAreUsedExactly) {
    const std::string blank = File("name ", "x\r\n");
    const std::string other = File("name", "y\r\n");
    ConvertFile(Command::FileWinToUnix, blank);
    EXPECT_EQ(ReadFile(blank), "x\n");
    EXPECT_EQ(ReadFile(other), "y\r\n");
}
#endif

TEST_F(Form1Test, ClosingDuringAWalkOffersToStopIt) {
    for (int i = 0; i < 400; ++i) {
        File("tree/f" + std::to_string(1000 + i) + ".txt", std::string(2000, 'x') + "\r\n");
    }
    bool asked = false;
    bool closed = true;
    view.onEvents = [&] {
        if (!asked) {
            asked = true;
            view.answers.push_back(Answer::Yes);
            closed = form->QueryClose();
        }
    };
    ConvertFolder(Command::FolderWinToUnix, At("tree"));
    EXPECT_TRUE(asked);
    EXPECT_FALSE(closed) << "a busy window does not close";
    ASSERT_EQ(view.shown.size(), 3u);
    EXPECT_EQ(view.shown[1].text, "Остановить после текущего файла?");
    EXPECT_FALSE(view.shown[1].yesIsDefault);
    EXPECT_EQ(view.shown[2].text, Completed);
    ASSERT_EQ(view.entries.size(), 1u);
    EXPECT_EQ(view.entries[0].rfind("!_  Остановлено пользователем: ", 0), 0u) << view.entries[0];
    EXPECT_EQ(ReadFile(At("tree/f1399.txt")), std::string(2000, 'x') + "\r\n") << "the walk stopped early";
    EXPECT_TRUE(form->QueryClose()) << "an idle window closes";
}

TEST_F(Form1Test, StartsWhenTheTemporaryFolderIsMissing) {
    SetTemporaryFolder(Path("no-such-folder"));
    ScriptedView other;
    app::Form1 started(other);
    EXPECT_NO_THROW(started.Load());
}

}  // namespace
}  // namespace tidelin::test
