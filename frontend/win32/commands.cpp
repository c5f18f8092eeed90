// The four conversion commands of the main window.
#include <new>

#include "errors.h"
#include "filesystem.h"
#include "folder_walk.h"
#include "form1.h"
#include "wide.h"

namespace tidelin::win32 {

namespace {

const wchar_t* const ConvertFileTitle = L"Выберите файл для конвертирования";
const wchar_t* const ConvertFolderTitle = L"Выберите папку, все файлы которой нужно сконвертировать";
const wchar_t* const Completed = L"Операция завершена.";
const wchar_t* const PerlPhpDescription = L"Perl и PHP файлы";
const wchar_t* const PerlPhpPattern = L"*.cgi;*.pl;*.pm;*.php;*.php3;*.php4;*.inc;*.phtml";

constexpr int OutOfMemory = 7;
const char* const OutOfMemoryText = "Недостаточно памяти.";

}  // namespace

void Form1::ConvertFileCommand(const std::wstring& sourceKeyword, const std::wstring& targetKeyword) {
    ReportingFailures([&] {
        ::SetWindowTextW(dlgFilename_, ShowOpenFile(ConvertFileTitle, PerlPhpDescription, PerlPhpPattern).c_str());
        if (WindowText(dlgFilename_).empty()) {
            return;
        }
        EnterBusy();
        if (ConfirmFileConversion(sourceKeyword, targetKeyword)) {
            Message(Completed, MB_OK);
        }
    });
    LeaveBusy();  // whether or not the busy state had been entered
}

void Form1::ConvertFolderCommand(const std::wstring& sourceKeyword, const std::wstring& targetKeyword) {
    folderPath_.clear();
    log_.ResetMaxEntryWidth();
    BrowseForFolder(ConvertFolderTitle);
    if (folderPath_.empty()) {
        return;
    }
    EnterBusy();
    // The walk logs its own failures; anything that fails around it (the probe of the
    // folder, for example) is reported like a single-file failure.
    ReportingFailures([&] {
        if (ConfirmFolderConversion(folderPath_, sourceKeyword, targetKeyword)) {
            Message(Completed, MB_OK);
        }
    });
    LeaveBusy();
}

void Form1::ReportingFailures(const std::function<void()>& work) {
    const auto report = [this](int number, const std::string& description) {
        engine_.CloseAllFiles();
        Message(L"Error " + std::to_wstring(number) + L" " + Wide(description), MB_OK | MB_ICONERROR);
    };
    try {
        work();
    } catch (const EngineError& error) {
        report(error.Number(), error.Description());
    } catch (const std::bad_alloc&) {
        report(OutOfMemory, OutOfMemoryText);
    }
}

bool Form1::ConfirmFileConversion(const std::wstring& sourceKeyword, const std::wstring& targetKeyword) {
    const std::wstring file = WindowText(dlgFilename_);
    const std::wstring text = L"Внимание! В файле \"" + file + L"\" будут заменены все символы перехода строки " +
                              sourceKeyword + L" символами перехода строки " + targetKeyword + L".\r\n" +
                              L"Перезаписать файл ?";
    if (Message(text, MB_YESNO | MB_ICONWARNING) == IDNO) {
        return false;
    }
    log_.Clear();
    const std::string path = Utf8(WindowText(dlgFilename_));
    if (sourceKeyword == L"Windows") {
        return engine_.ConvertWinToUnix(path);
    }
    if (sourceKeyword == L"Unix") {
        return engine_.ConvertUnixToWin(path);
    }
    return false;
}

bool Form1::ConfirmFolderConversion(const std::wstring& folder, const std::wstring& sourceKeyword,
                                    const std::wstring& targetKeyword) {
    const std::wstring text = L"Внимание! Во всех файлах, находящихся в папке \"" + folder +
                              L"\" и её вложенных папках будут заменены все символы перехода строки " +
                              sourceKeyword + L" символами перехода строки " + targetKeyword + L".\r\n" +
                              L"Перезаписать все файлы ?";
    if (Message(text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDNO) {
        return false;
    }
    log_.Clear();
    const Direction direction = sourceKeyword == L"Windows" ? Direction::WinToUnix : Direction::UnixToWin;
    const std::string path = Utf8(folder);
    if (!fs::EntryExists(path)) {
        return false;
    }
    WalkWithProgress([&] { ConvertFolderTree(engine_, path, direction); });
    return true;
}

}  // namespace tidelin::win32
