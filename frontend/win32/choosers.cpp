// The file and folder choosers of the main window: the system's own dialogs, in their wide
// forms, so that any name Windows can hold comes back intact.
#include <shlobj.h>
#include <commdlg.h>

#include <vector>

#include "form1.h"
#include "wide.h"

namespace tidelin::win32 {

namespace {

// Long enough for any path the system can give (long paths included).
constexpr DWORD PathBuffer = 32768;

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

// Shows the open dialog until the user accepts an existing file (hidden and system files
// count) or cancels; a missing name is reported and the dialog comes back with the filter
// pair the user had chosen.
std::wstring Form1::ShowOpenFile(const std::wstring& title, const std::wstring& description,
                                 const std::wstring& pattern) {
    // Pairs of NUL-ended texts, ended by an empty one: all files first, then the caller's.
    std::wstring filter = L"Все файлы (*.*)";
    filter.push_back(L'\0');
    filter += L"*.*";
    filter.push_back(L'\0');
    filter += description + L" (" + pattern + L")";
    filter.push_back(L'\0');
    filter += pattern;
    filter.push_back(L'\0');

    for (;;) {
        std::vector<wchar_t> file(PathBuffer, L'\0');
        std::vector<wchar_t> folder(PathBuffer, L'\0');
        ::GetCurrentDirectoryW(PathBuffer, folder.data());
        OPENFILENAMEW record{};
        record.lStructSize = sizeof(record);
        record.hwndOwner = window_;
        record.hInstance = instance_;
        record.lpstrFilter = filter.c_str();
        record.nFilterIndex = filterIndex_;
        record.lpstrFile = file.data();
        record.nMaxFile = PathBuffer;
        record.lpstrInitialDir = folder.data();
        record.lpstrTitle = title.c_str();
        record.Flags = 0;  // the existence check is ours, below
        const BOOL accepted = ::GetOpenFileNameW(&record);
        filterIndex_ = record.nFilterIndex;
        if (!accepted) {
            return {};
        }
        const std::wstring name(file.data());
        if (IsFile(name)) {
            return name;  // exactly as chosen
        }
        Message(L"Не удаётся найти файл " + name, MB_OK | MB_ICONERROR);
    }
}

// Shows the folder dialog; an accepted folder's path goes to FolderPath, a cancel leaves it.
std::wstring Form1::BrowseForFolder(const std::wstring& title) {
    BROWSEINFOW record{};
    record.hwndOwner = window_;
    record.lpszTitle = title.c_str();
    record.ulFlags = BIF_RETURNONLYFSDIRS;
    if (PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&record)) {
        std::vector<wchar_t> path(PathBuffer, L'\0');
        // The long form where the system has it; the classic one takes MAX_PATH characters.
        using GetPathExFn = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, PWSTR, DWORD, int);
        static const auto getPathEx = reinterpret_cast<GetPathExFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), "SHGetPathFromIDListEx")));
        if (getPathEx == nullptr || !getPathEx(item, path.data(), PathBuffer, 0)) {
            ::SHGetPathFromIDListW(item, path.data());
        }
        ::CoTaskMemFree(item);
        folderPath_ = path.data();
    }
    return folderPath_;
}

}  // namespace tidelin::win32
