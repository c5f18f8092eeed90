// Every Russian text of the main window and the About window, once, and the messages built
// from them. The windows draw these texts; they hold none of their own.
#pragma once

#include <string>

#include "tidelin/direction.h"

namespace tidelin::app::text {

inline constexpr char ConvertFileTitle[] = "Выберите файл для конвертирования";
inline constexpr char ConvertFolderTitle[] = "Выберите папку, все файлы которой нужно сконвертировать";
inline constexpr char AllFilesDescription[] = "Все файлы (*.*)";
inline constexpr char AllFilesPattern[] = "*.*";
inline constexpr char PerlPhpDescription[] = "Perl и PHP файлы";
inline constexpr char PerlPhpPattern[] = "*.cgi;*.pl;*.pm;*.php;*.php3;*.php4;*.inc;*.phtml";
inline constexpr char Completed[] = "Операция завершена.";
inline constexpr char StopQuestion[] = "Остановить после текущего файла?";
inline constexpr char CannotFindFile[] = "Не удаётся найти файл ";
inline constexpr char OutOfMemory[] = "Недостаточно памяти.";
inline constexpr int OutOfMemoryNumber = 7;
// The single-instance lock cannot be had: on Linux its folder is unusable, on Windows the
// session's named lock.
inline constexpr char LockUnavailable[] =
    "Tidelin не запущен: личная папка пользователя для защиты от второго экземпляра недоступна "
    "($XDG_RUNTIME_DIR или ~/.cache/tidelin).";
inline constexpr char LockUnavailableWindows[] = "Tidelin не запущен: защита от второго экземпляра недоступна.";

// The About window.
inline constexpr char Author[] = "© 2026 Команда Tidelin";
inline constexpr char Site[] = "https://www.tidelin.example/";
inline constexpr char Ok[] = "OK";
inline constexpr char SiteFailureTitle[] = "Error";
// The start of the report on an address that cannot be opened; the address follows it.
inline constexpr char CannotOpenSite[] = "Не удалось открыть адрес ";

// "Windows" for the convention a direction starts from, "Unix" for the other; as the user
// reads them in the confirmations.
const char* SourceKeyword(Direction direction);
const char* TargetKeyword(Direction direction);

// "Error ", the number, one blank, the description: a failure as the message box shows it.
std::string ErrorText(int number, const std::string& description);
// The confirmations before a file, or every file of a folder tree, is overwritten.
std::string FileConfirmation(const std::string& file, Direction direction);
std::string FolderConfirmation(const std::string& folder, Direction direction);
// The main window's title while a walk runs: the files finished so far.
std::string ProgressTitle(long long filesDone);
// The About window's title and version line.
std::string AboutTitle();
std::string VersionLine();

}  // namespace tidelin::app::text
