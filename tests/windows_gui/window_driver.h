// Drives a running tidelin.exe from outside, as a user would: finds its windows and their
// controls by control ID, presses buttons, answers its dialogs and reads back what they show.
// Every wait polls for its condition with a time limit.
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tidelin/utf16.h"

namespace tidelin::gui_test {

// A failed check: the test run reports it and stops the case.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Check(bool condition, const std::string& what);
void CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::string& what);

// Polls `condition` until it holds; fails with `what` after the time limit.
void WaitFor(const std::function<bool()>& condition, const std::string& what, DWORD limitMs = 20000);

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);

class Program {
public:
    // Starts the program with its own temporary folder `temp` (TMP and TEMP), which keys its
    // single-instance lock.
    Program(const std::wstring& exe, const std::wstring& temp);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    DWORD Id() const { return process_.dwProcessId; }
    HANDLE Process() const { return process_.hProcess; }
    bool Exited(DWORD waitMs = 0) const;
    DWORD ExitCode() const;

    // A visible top-level window of the program with this class (and title, when given).
    HWND Find(const std::wstring& className, const std::wstring& title = L"") const;
    HWND WaitForWindow(const std::wstring& className, const std::wstring& title = L"") const;
    // The dialog (message box, file or folder chooser) that is visible and enabled now.
    HWND WaitForDialog(const std::wstring& title) const;
    std::vector<HWND> Windows() const;

    // Copies bytes into the program's memory and back, for messages that carry a pointer.
    void* Place(const void* data, std::size_t bytes);
    void* Place(const std::wstring& text) { return Place(text.c_str(), (text.size() + 1) * sizeof(wchar_t)); }
    void Fetch(const void* remote, void* data, std::size_t bytes) const;

private:
    PROCESS_INFORMATION process_{};
    std::vector<void*> placed_;
};

// Presses the control `id` of `window` (a button click reaching its window).
void Press(HWND window, int id);
// Answers a message box or dialog with the button `id` and waits until it has gone.
void Answer(HWND dialog, int id);
// The text of a message box, its default button and whether it shows an icon.
std::wstring BoxText(HWND box);
int DefaultButton(HWND dialog);
bool ShowsIcon(HWND box);
// The entries of a list box.
std::vector<std::wstring> ListEntries(HWND list);

}  // namespace tidelin::gui_test
