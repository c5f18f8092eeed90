#include "window_driver.h"

namespace tidelin::gui_test {

namespace {

constexpr DWORD PollMs = 20;
constexpr int MessageBoxTextId = 0xFFFF;

}  // namespace

void Check(bool condition, const std::string& what) {
    if (!condition) {
        throw Failure(what);
    }
}

void CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::string& what) {
    if (actual != expected) {
        throw Failure(what + ": got \"" + tidelin::utf16::Narrow(actual) + "\", expected \"" + tidelin::utf16::Narrow(expected) + "\"");
    }
}

void WaitFor(const std::function<bool()>& condition, const std::string& what, DWORD limitMs) {
    const ULONGLONG end = ::GetTickCount64() + limitMs;
    while (!condition()) {
        if (::GetTickCount64() > end) {
            throw Failure("timed out waiting for " + what);
        }
        ::Sleep(PollMs);
    }
}

std::wstring TextOf(HWND window) {
    // WM_GETTEXT crosses into the other process with its buffer.
    const auto length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got = ::SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                    reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

Program::Program(const std::wstring& exe, const std::wstring& temp) {
    ::SetEnvironmentVariableW(L"TMP", temp.c_str());
    ::SetEnvironmentVariableW(L"TEMP", temp.c_str());
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    Check(::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process_) != FALSE,
          "starting " + tidelin::utf16::Narrow(exe));
}

Program::~Program() {
    for (void* memory : placed_) {
        ::VirtualFreeEx(process_.hProcess, memory, 0, MEM_RELEASE);
    }
    if (!Exited()) {
        ::TerminateProcess(process_.hProcess, 1);
        ::WaitForSingleObject(process_.hProcess, 10000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
}

bool Program::Exited(DWORD waitMs) const {
    return ::WaitForSingleObject(process_.hProcess, waitMs) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::vector<HWND> Program::Windows() const {
    struct Search {
        DWORD id;
        std::vector<HWND> found;
    } search{process_.dwProcessId, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s->id && ::IsWindowVisible(window)) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Program::Find(const std::wstring& className, const std::wstring& title) const {
    for (HWND window : Windows()) {
        if (ClassOf(window) == className && (title.empty() || TextOf(window) == title)) {
            return window;
        }
    }
    return nullptr;
}

HWND Program::WaitForWindow(const std::wstring& className, const std::wstring& title) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = Find(className, title)) != nullptr; },
            "window " + tidelin::utf16::Narrow(className) + " \"" + tidelin::utf16::Narrow(title) + "\"");
    return found;
}

HWND Program::WaitForDialog(const std::wstring& title) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND window : Windows()) {
                if (ClassOf(window) == L"#32770" && ::IsWindowEnabled(window) &&
                    (title.empty() || TextOf(window) == title)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        "dialog \"" + tidelin::utf16::Narrow(title) + "\"");
    return found;
}

void* Program::Place(const void* data, std::size_t bytes) {
    void* memory = ::VirtualAllocEx(process_.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    Check(memory != nullptr && ::WriteProcessMemory(process_.hProcess, memory, data, bytes, nullptr),
          "writing into the program's memory");
    placed_.push_back(memory);
    return memory;
}

void Program::Fetch(const void* remote, void* data, std::size_t bytes) const {
    Check(::ReadProcessMemory(process_.hProcess, remote, data, bytes, nullptr) != FALSE,
          "reading the program's memory");
}

void Press(HWND window, int id) {
    HWND control = ::GetDlgItem(window, id);
    Check(control != nullptr, "control " + std::to_string(id));
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void Answer(HWND dialog, int id) {
    Press(dialog, id);
    WaitFor([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, "the dialog to close");
}

std::wstring BoxText(HWND box) { return TextOf(::GetDlgItem(box, MessageBoxTextId)); }

int DefaultButton(HWND dialog) {
    // The button drawn as the default (the one Enter presses); Wine's message boxes answer
    // DM_GETDEFID with IDOK whatever their buttons, so the style is read first.
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const auto style = ::GetWindowLongW(child, GWL_STYLE);
        if (ClassOf(child) == L"Button" && ::IsWindowVisible(child) && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            return ::GetDlgCtrlID(child);
        }
    }
    const auto result = ::SendMessageW(dialog, DM_GETDEFID, 0, 0);
    return HIWORD(result) == DC_HASDEFID ? LOWORD(result) : 0;
}

bool ShowsIcon(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const auto style = ::GetWindowLongW(child, GWL_STYLE);
        if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON && ::IsWindowVisible(child) &&
            ::SendMessageW(child, STM_GETICON, 0, 0) != 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> ListEntries(HWND list) {
    std::vector<std::wstring> entries;
    const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()))));
        entries.push_back(text);
    }
    return entries;
}

}  // namespace tidelin::gui_test
