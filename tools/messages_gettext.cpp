// The tool's texts through the C library's gettext, where the build has it.
#include <libintl.h>

#include <clocale>
#include <filesystem>
#include <system_error>

#include "messages.h"

namespace tidelin::tool {

namespace {

const char* const Domain = "tidelin-convert";

// The locale folder beside the running program, when it holds the catalogue.
std::string LocaleFolderBesideProgram() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    const std::filesystem::path folder = program.parent_path().parent_path() / "share" / "locale";
    if (!std::filesystem::exists(folder / "ru" / "LC_MESSAGES" / (std::string(Domain) + ".mo"), error)) {
        return {};
    }
    return folder.string();
}

}  // namespace

void SetUpMessages() {
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    const std::string beside = LocaleFolderBesideProgram();
    ::bindtextdomain(Domain, beside.empty() ? TIDELIN_LOCALE_DIR : beside.c_str());
    ::textdomain(Domain);
}

const char* Tr(const char* text) { return ::gettext(text); }

}  // namespace tidelin::tool
