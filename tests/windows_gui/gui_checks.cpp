// Checks of the Windows window, run under Wine + Xvfb (scripts/windows_gui.sh): each case
// starts tidelin.exe with a temporary folder of its own, drives it through its controls and
// dialogs, and reads back what it shows. Usage: tidelin_gui_checks.exe [CASE...]; the program is
// the tidelin.exe beside the driver, and TIDELIN_GUI_ROOT names the folder to work in (the
// temporary folder otherwise).
#include <windows.h>
#undef Yield  // a no-op macro left from 16-bit Windows; the engine host has a Yield of its own

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app_info.h"
#include "control_ids.h"
#include "tidelin/engine.h"
#include "folder_tree.h"
#include "tidelin/folder_walk.h"
#include "layout.h"
#include "layout_check.h"
#include "texts.h"
#include "window_driver.h"

using namespace tidelin::gui_test;
namespace app = tidelin::app;
namespace text = tidelin::app::text;
using tidelin::Direction;

namespace {

const std::wstring Title = tidelin::utf16::Widen(app::Title);
const std::wstring FormClass = L"TidelinForm1";
const std::wstring AboutClass = L"TidelinFrmAbout";
const std::wstring FileChooserTitle = tidelin::utf16::Widen(text::ConvertFileTitle);
const std::wstring FolderChooserTitle = tidelin::utf16::Widen(text::ConvertFolderTitle);
const std::wstring Completed = tidelin::utf16::Widen(text::Completed);
constexpr int FileNameBox = 0x47C;  // cmb13 of the open dialog (edt1 = 0x480 in older ones)
constexpr int FilterBox = 0x470;    // cmb1: the file-type list

std::wstring program;
std::wstring root;  // this run's folder, removed at the end

HWND Form1Control(HWND form, const char* name) {
    return ControlOf(form, app::Form1Layout, name);
}
int Form1Id(const char* name) {
    return tidelin::win32::ControlId(app::Form1Layout, name);
}

void WriteFile(const std::wstring& path, const std::string& content) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << content;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A case's folder for files and the program's temporary folder.
struct Folders {
    std::wstring files;
    std::wstring temp;
};

Folders MakeFolders(const std::wstring& name) {
    Folders folders{root + L"\\" + name, root + L"\\" + name + L"-tmp"};
    ::CreateDirectoryW(folders.files.c_str(), nullptr);
    ::CreateDirectoryW(folders.temp.c_str(), nullptr);
    return folders;
}

void Close(Program& tidelin, HWND form) {
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    WaitFor([&] { return tidelin.Exited(); }, "the program to end");
}

HWND Start(Program& tidelin) {
    return tidelin.WaitForWindow(FormClass, Title);
}

bool IsIdle(HWND form) {
    return ::IsWindowEnabled(Form1Control(form, "Command5")) != FALSE;
}

HWND FileNameControl(HWND chooser) {
    HWND name = ::GetDlgItem(chooser, FileNameBox);
    return name != nullptr ? name : ::GetDlgItem(chooser, 0x480);
}

// Types `path` into the open dialog and accepts it.
void ChooseFile(HWND chooser, const std::wstring& path) {
    HWND name = FileNameControl(chooser);
    Check(name != nullptr, "the file chooser's name box");
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Answer(chooser, IDOK);
}

// Confirms a file with Command1/Command2 and checks the confirmation box and the result.
void ConvertOneFile(Program& tidelin, HWND form, const char* command, const std::wstring& file,
                    Direction direction) {
    Press(form, Form1Id(command));
    ChooseFile(tidelin.WaitForDialog(FileChooserTitle), file);
    HWND box = tidelin.WaitForDialog(Title);
    CheckEqual(BoxText(box), tidelin::utf16::Widen(text::FileConfirmation(tidelin::utf16::Narrow(file), direction)),
               "file confirmation");
    Check(DefaultButton(box) == IDYES, "Yes is the default of the file confirmation");
    Check(ShowsIcon(box), "the file confirmation shows its warning icon");
    Check(!IsIdle(form), "the window is busy while it asks");
    Answer(box, IDYES);
    box = tidelin.WaitForDialog(Title);
    CheckEqual(BoxText(box), Completed, "completion report");
    Check(!ShowsIcon(box), "the completion report shows no icon");
    Answer(box, IDOK);
    WaitFor([&] { return IsIdle(form); }, "the idle state");
}

// Opens the folder chooser with `command`, leads it to `tree` and accepts it.
void ChooseFolder(Program& tidelin, HWND form, const char* command, const std::wstring& tree) {
    Press(form, Form1Id(command));
    HWND chooser = nullptr;
    WaitFor(
        [&] {
            chooser = tidelin.Find(L"#32770");
            return chooser != nullptr &&
                   ::FindWindowExW(chooser, nullptr, L"SysTreeView32", nullptr) != nullptr;
        },
        "the folder chooser");
    Check(::FindWindowExW(chooser, nullptr, L"Static", FolderChooserTitle.c_str()) != nullptr,
          "the folder chooser shows its title");
    SelectInTree(tidelin, chooser, tree);
    Answer(chooser, IDOK);
}

void StartUp() {
    const Folders folders = MakeFolders(L"startup");
    Program tidelin(program, folders.temp);
    HWND form = Start(tidelin);
    CheckLayout(form, app::Form1Layout);
    Check(::SendMessageW(Form1Control(form, "Check1"), BM_GETCHECK, 0, 0) == BST_CHECKED,
          "Check1 is ticked");
    Check(ListEntries(Form1Control(form, "List1")).empty(), "the message list is empty");
    Check(!::IsWindowVisible(Form1Control(form, "DlgFilename")), "DlgFilename is never shown");
    const LONG style = ::GetWindowLongW(form, GWL_STYLE);
    Check((style & WS_MAXIMIZEBOX) == 0 && (style & WS_THICKFRAME) == 0 &&
              (style & WS_MINIMIZEBOX) != 0,
          "fixed frame with a minimise box only");
    Close(tidelin, form);
}

// Temporary folders that do not exist do not keep the window from starting.
void MissingTemporaryFolder() {
    Program tidelin(program, root + L"\\нет-такой-папки");
    HWND form = nullptr;
    WaitFor(
        [&] {
            if (HWND box = tidelin.Find(L"#32770")) {
                throw Failure("the program shows \"" + tidelin::utf16::Narrow(BoxText(box)) +
                              "\" instead of its window");
            }
            return (form = tidelin.Find(FormClass, Title)) != nullptr;
        },
        "the main window");
    Close(tidelin, form);
    Check(tidelin.ExitCode() == 0, "the window then closes normally");
}

void OneFileEachWay() {
    const Folders folders = MakeFolders(L"file");
    const std::wstring file = folders.files + L"\\письмо.txt";
    WriteFile(file, "one\r\ntwo\r\n");
    Program tidelin(program, folders.temp);
    HWND form = Start(tidelin);
    ConvertOneFile(tidelin, form, "Command1", file, Direction::WinToUnix);
    Check(ReadFile(file) == "one\ntwo\n", "Windows to Unix rewrote the file");
    ConvertOneFile(tidelin, form, "Command2", file, Direction::UnixToWin);
    Check(ReadFile(file) == "one\r\ntwo\r\n", "Unix to Windows rewrote the file");
    Close(tidelin, form);
}

int SelectedFilter(HWND chooser) {
    return static_cast<int>(::SendMessageW(::GetDlgItem(chooser, FilterBox), CB_GETCURSEL, 0, 0));
}

// Within one command the chooser comes back after a missing name with the pair the user
// chose; the next command opens on all files again.
void MissingFileLoop() {
    const Folders folders = MakeFolders(L"missing");
    const std::wstring missing = folders.files + L"\\нет.txt";
    Program tidelin(program, folders.temp);
    HWND form = Start(tidelin);
    Press(form, Form1Id("Command1"));
    HWND chooser = tidelin.WaitForDialog(FileChooserTitle);
    HWND filters = ::GetDlgItem(chooser, FilterBox);
    Check(::SendMessageW(filters, CB_GETCOUNT, 0, 0) == 2, "two filter pairs");
    Check(SelectedFilter(chooser) == 0, "the all-files pair is selected first");
    // The second pair's text, read through the list's own message.
    std::wstring second(256, L'\0');
    second.resize(static_cast<std::size_t>(
        ::SendMessageW(filters, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(second.data()))));
    CheckEqual(second,
               tidelin::utf16::Widen(std::string(text::PerlPhpDescription) + " (" + text::PerlPhpPattern + ")"),
               "second filter");
    ::SendMessageW(filters, CB_SETCURSEL, 1, 0);
    for (const WORD notification :
         {CBN_SELCHANGE, CBN_SELENDOK}) {  // as a user's choice sends them
        ::PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(FilterBox, notification),
                       reinterpret_cast<LPARAM>(filters));
    }
    ChooseFile(chooser, missing);
    HWND box = tidelin.WaitForDialog(Title);
    CheckEqual(BoxText(box), tidelin::utf16::Widen(text::CannotFindFile) + missing, "missing-file report");
    Check(ShowsIcon(box), "the missing-file report shows its icon");
    Answer(box, IDOK);
    chooser = tidelin.WaitForDialog(FileChooserTitle);
    Check(SelectedFilter(chooser) == 1, "the chooser comes back with the pair chosen before");
    Answer(chooser, IDCANCEL);
    WaitFor([&] { return tidelin.Find(L"#32770") == nullptr; }, "no dialog after a cancel");
    Check(IsIdle(form), "the window stays idle");
    for (const char* command : {"Command1", "Command2"}) {
        Press(form, Form1Id(command));
        chooser = tidelin.WaitForDialog(FileChooserTitle);
        Check(SelectedFilter(chooser) == 0,
              std::string(command) + " opens the chooser on all files again");
        Answer(chooser, IDCANCEL);
        WaitFor([&] { return IsIdle(form) && tidelin.Find(L"#32770") == nullptr; },
                "the idle state");
    }
    Close(tidelin, form);
}

void FolderWalk() {
    const Folders folders = MakeFolders(L"folder");
    const std::wstring tree = folders.files + L"\\дерево";
    ::CreateDirectoryW(tree.c_str(), nullptr);
    WriteFile(tree + L"\\a.txt", "1\r\n2\r\n");
    WriteFile(tree + L"\\bin.dat", std::string("x\0\x01y", 4));
    WriteFile(tree + L"\\ro.txt", "r\r\n");
    ::SetFileAttributesW((tree + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Program tidelin(program, folders.temp);
    HWND form = Start(tidelin);
    ChooseFolder(tidelin, form, "Command3", tree);
    HWND box = tidelin.WaitForDialog(Title);
    CheckEqual(BoxText(box), tidelin::utf16::Widen(text::FolderConfirmation(tidelin::utf16::Narrow(tree), Direction::WinToUnix)),
               "folder confirmation");
    Check(DefaultButton(box) == IDNO, "No is the default of the folder confirmation");
    Answer(box, IDYES);
    box = tidelin.WaitForDialog(Title);
    CheckEqual(BoxText(box), Completed, "completion report after the walk");
    Answer(box, IDOK);
    WaitFor([&] { return IsIdle(form); }, "the idle state");
    CheckEqual(TextOf(form), Title, "the title is back after the walk");

    Check(ReadFile(tree + L"\\a.txt") == "1\n2\n", "the walk converted a.txt");
    Check(ReadFile(tree + L"\\ro.txt") == "r\r\n", "the read-only file is left alone");
    HWND list = Form1Control(form, "List1");
    const auto entries = ListEntries(list);
    Check(entries.size() == 2, "two entries, got " + std::to_string(entries.size()));
    CheckEqual(entries[0], tidelin::utf16::Widen(tidelin::Engine::BinaryEntryPrefix) + tree + L"\\bin.dat",
               "binary-file entry");
    const std::wstring failed = entries[1];
    const std::wstring tail = L" - " + tree + L"\\ro.txt";
    Check(failed.rfind(tidelin::utf16::Widen(tidelin::WalkErrorEntryPrefix), 0) == 0 &&
              failed.size() > tail.size() &&
              failed.compare(failed.size() - tail.size(), tail.size(), tail) == 0,
          "error entry for ro.txt, got \"" + tidelin::utf16::Narrow(failed) + "\"");
    // The scroll range is in pixels over the widest entry: a few pixels per character, not
    // the fifteen-fold of twips.
    const auto extent = ::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0);
    const auto widest = static_cast<LRESULT>(std::max(entries[0].size(), entries[1].size()));
    Check(extent >= 3 * widest && extent <= 20 * widest,
          "horizontal extent in pixels over the widest entry, got " + std::to_string(extent));
    ::SetFileAttributesW((tree + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    Close(tidelin, form);
}

// Closing the window during a walk offers to stop it after the file in hand; the title shows
// the progress meanwhile.
void StopWalk() {
    const Folders folders = MakeFolders(L"stop");
    const std::wstring tree = folders.files + L"\\many";
    ::CreateDirectoryW(tree.c_str(), nullptr);
    constexpr int Files = 3000;
    for (int i = 0; i < Files; ++i) {
        WriteFile(tree + L"\\" + std::to_wstring(10000 + i) + L".txt", "a\r\nb\r\n");
    }
    Program tidelin(program, folders.temp);
    HWND form = Start(tidelin);
    ChooseFolder(tidelin, form, "Command3", tree);
    Answer(tidelin.WaitForDialog(Title), IDYES);
    std::wstring progress = tidelin::utf16::Widen(text::ProgressTitle(0));
    progress.pop_back();  // the count
    WaitFor([&] { return TextOf(form).rfind(progress, 0) == 0; }, "the progress in the title");
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    HWND box = tidelin.WaitForDialog(Title);
    CheckEqual(BoxText(box), tidelin::utf16::Widen(text::StopQuestion), "stop question");
    Check(DefaultButton(box) == IDNO, "No is the default of the stop question");
    Answer(box, IDYES);
    box = tidelin.WaitForDialog(Title);
    CheckEqual(BoxText(box), Completed, "completion report after a stopped walk");
    Answer(box, IDOK);
    // One entry says where the walk stopped.
    const auto entries = ListEntries(Form1Control(form, "List1"));
    const std::wstring tail = L": " + tree;
    Check(entries.size() == 1 && entries[0].size() > tail.size() &&
              entries[0].compare(entries[0].size() - tail.size(), tail.size(), tail) == 0 &&
              entries[0].rfind(tidelin::utf16::Widen(tidelin::WalkErrorEntryPrefix), 0) != 0,
          "one entry says where the walk stopped, got " + std::to_string(entries.size()) +
              " entries");
    CheckEqual(TextOf(form), Title, "the title is back after the walk");
    Check(ReadFile(tree + L"\\" + std::to_wstring(10000 + Files - 1) + L".txt") == "a\r\nb\r\n",
          "the files after the stop are left alone");
    Close(tidelin, form);
    Check(tidelin.ExitCode() == 0, "the window then closes normally");
}

// The About window, opened twice (it is loaded anew at each opening) and laid out at the
// display's DPI.
void About() {
    const Folders folders = MakeFolders(L"about");
    Program tidelin(program, folders.temp);
    HWND form = Start(tidelin);
    const auto label = [](HWND about, const char* name) {
        return TextOf(ControlOf(about, app::AboutLayout, name));
    };
    for (const WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        // Enter on the focused About button opens the window, as a click does.
        ::PostMessageW(Form1Control(form, "Command5"), WM_KEYDOWN, VK_RETURN, 0);
        HWND about = tidelin.WaitForWindow(AboutClass, tidelin::utf16::Widen(text::AboutTitle()));
        CheckLayout(about, app::AboutLayout);
        CheckEqual(label(about, "lblTitle"), Title, "lblTitle");
        CheckEqual(label(about, "lblVersion"), tidelin::utf16::Widen(text::VersionLine()), "lblVersion");
        CheckEqual(label(about, "lblDescription"), tidelin::utf16::Widen(app::Description), "lblDescription");
        Check(::SendMessageW(about, WM_GETICON, ICON_SMALL, 0) == 0 &&
                  ::SendMessageW(about, WM_GETICON, ICON_BIG, 0) == 0,
              "the About window has no icon of its own");
        Check(::SendMessageW(ControlOf(about, app::AboutLayout, "Image1"), STM_GETICON, 0, 0) != 0,
              "Image1 shows the icon");
        Check(!::IsWindowEnabled(form), "the main window takes no input meanwhile");
        ::PostMessageW(ControlOf(about, app::AboutLayout, "cmdOK"), WM_KEYDOWN, key, 0);
        WaitFor([&] { return !::IsWindow(about); }, "the About window to close");
        WaitFor([&] { return ::IsWindowEnabled(form) != FALSE; },
                "the main window to take input again");
    }
    Close(tidelin, form);
}

void SecondStart() {
    const Folders folders = MakeFolders(L"second");
    Program first(program, folders.temp);
    HWND form = Start(first);
    Program second(program, folders.temp);
    WaitFor(
        [&] {
            Check(second.Windows().empty(), "the second start shows no window");
            return second.Exited();
        },
        "the second start to end");
    Check(second.ExitCode() == 0, "the second start ends without failure");
    Check(::IsWindow(form) && !first.Exited(), "the first instance runs on");
    Close(first, form);
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + L"\\" + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    program = self.substr(0, self.find_last_of(L'\\') + 1) + L"tidelin.exe";
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    root = std::wstring(temp) + L"tidelin-gui-" + std::to_wstring(::GetCurrentProcessId());
    if (const wchar_t* folder = _wgetenv(L"TIDELIN_GUI_ROOT")) {
        root = std::wstring(folder) + L"\\tidelin-gui-" + std::to_wstring(::GetCurrentProcessId());
    }
    ::CreateDirectoryW(root.c_str(), nullptr);

    const struct {
        const char* name;
        void (*run)();
    } cases[] = {
        {"StartUp", StartUp},
        {"MissingTemporaryFolder", MissingTemporaryFolder},
        {"OneFileEachWay", OneFileEachWay},
        {"MissingFileLoop", MissingFileLoop},
        {"FolderWalk", FolderWalk},
        {"StopWalk", StopWalk},
        {"About", About},
        {"SecondStart", SecondStart},
    };
    // The cases named on the command line, or all of them.
    const std::vector<std::wstring> wanted(argv + 1, argv + argc);
    int failures = 0;
    int run = 0;
    for (const auto& c : cases) {
        if (!wanted.empty() &&
            std::find(wanted.begin(), wanted.end(), tidelin::utf16::Widen(c.name)) == wanted.end()) {
            continue;
        }
        ++run;
        try {
            c.run();
            std::printf("PASS %s\n", c.name);
        } catch (const Failure& failure) {
            std::printf("FAIL %s: %s\n", c.name, failure.what());
            ++failures;
        }
        std::fflush(stdout);
    }
    RemoveTree(root);
    if (run == 0) {
        std::fputs("no such case\n", stderr);
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
