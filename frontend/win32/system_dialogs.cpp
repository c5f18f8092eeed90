#include "system_dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include "app_info.h"
#include "tidelin/utf16.h"

namespace tidelin::win32 {

namespace {

using View = app::Form1View;

// Long enough for any path the system can give (long paths included).
constexpr DWORD PathBuffer = 32768;

}  // namespace

View::Answer ShowMessageBox(HWND owner, const std::string& text, View::Icon icon,
                            View::Buttons buttons, bool yesIsDefault) {
    UINT flags = icon == View::Icon::Critical  ? MB_ICONERROR
                 : icon == View::Icon::Warning ? MB_ICONWARNING
                                               : 0;
    if (buttons == View::Buttons::YesNo) {
        flags |= MB_YESNO | (yesIsDefault ? MB_DEFBUTTON1 : MB_DEFBUTTON2);
    }
    switch (::MessageBoxW(owner, utf16::Widen(text).c_str(), utf16::Widen(app::Title).c_str(), flags)) {
        case IDYES:
            return View::Answer::Yes;
        case IDNO:
            return View::Answer::No;
        default:
            return View::Answer::Ok;
    }
}

std::string ChooseFile(HWND owner, const std::string& title,
                       const std::vector<app::FileFilter>& filters, int& filterIndex,
                       const std::string& folder) {
    // Pairs of NUL-ended texts, ended by an empty one.
    std::wstring pairs;
    for (const app::FileFilter& filter : filters) {
        pairs += utf16::Widen(filter.display) + L'\0' + utf16::Widen(filter.pattern) + L'\0';
    }
    const std::wstring caption = utf16::Widen(title);
    const std::wstring initialFolder = utf16::Widen(folder);
    std::wstring file(PathBuffer, L'\0');
    OPENFILENAMEW record{};
    record.lStructSize = sizeof(record);
    record.hwndOwner = owner;
    record.lpstrFilter = pairs.c_str();
    record.nFilterIndex = static_cast<DWORD>(filterIndex + 1);  // the dialog counts from 1
    record.lpstrFile = file.data();
    record.nMaxFile = PathBuffer;
    record.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
    record.lpstrTitle = caption.c_str();
    record.Flags = 0;  // the existence check is the caller's
    const BOOL accepted = ::GetOpenFileNameW(&record);
    if (record.nFilterIndex > 0) {
        filterIndex = static_cast<int>(record.nFilterIndex) - 1;
    }
    return accepted ? utf16::Narrow(file.c_str()) : std::string();
}

std::string ChooseFolder(HWND owner, const std::string& title) {
    const std::wstring caption = utf16::Widen(title);
    BROWSEINFOW record{};
    record.hwndOwner = owner;
    record.lpszTitle = caption.c_str();
    record.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&record);
    if (item == nullptr) {
        return {};
    }
    std::wstring path(PathBuffer, L'\0');
    // The long form where the system has it; the classic one takes MAX_PATH characters.
    using GetPathExFn = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, PWSTR, DWORD, int);
    static const auto getPathEx = reinterpret_cast<GetPathExFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), "SHGetPathFromIDListEx")));
    if (getPathEx == nullptr || !getPathEx(item, path.data(), PathBuffer, 0)) {
        ::SHGetPathFromIDListW(item, path.data());
    }
    ::CoTaskMemFree(item);
    return utf16::Narrow(path.c_str());
}

}  // namespace tidelin::win32
