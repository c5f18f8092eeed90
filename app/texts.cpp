#include "texts.h"

#include "app_info.h"

namespace tidelin::app::text {

namespace {

std::string Confirmation(const char* opening, const std::string& target, const char* middle,
                         Direction direction, const char* question) {
    return std::string(opening) + '"' + target + '"' + middle + SourceKeyword(direction) +
           " символами перехода строки " + TargetKeyword(direction) + ".\r\n" + question;
}

}  // namespace

const char* SourceKeyword(Direction direction) {
    return direction == Direction::WinToUnix ? "Windows" : "Unix";
}

const char* TargetKeyword(Direction direction) {
    return direction == Direction::WinToUnix ? "Unix" : "Windows";
}

std::string ErrorText(int number, const std::string& description) {
    return "Error " + std::to_string(number) + ' ' + description;
}

std::string FileConfirmation(const std::string& file, Direction direction) {
    return Confirmation("Внимание! В файле ", file, " будут заменены все символы перехода строки ",
                        direction, "Перезаписать файл ?");
}

std::string FolderConfirmation(const std::string& folder, Direction direction) {
    return Confirmation("Внимание! Во всех файлах, находящихся в папке ", folder,
                        " и её вложенных папках будут заменены все символы перехода строки ",
                        direction, "Перезаписать все файлы ?");
}

std::string ProgressTitle(long long filesDone) {
    return std::string(Title) + " — файлов: " + std::to_string(filesDone);
}

std::string AboutTitle() { return std::string("О программе ") + Title; }

std::string VersionLine() {
    return "Версия " + std::to_string(VersionMajor) + '.' + std::to_string(VersionMinor) + '.' +
           std::to_string(VersionRevision);
}

}  // namespace tidelin::app::text
