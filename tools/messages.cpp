#include "messages.h"

#ifdef TIDELIN_GETTEXT
#include <libintl.h>

#include <clocale>
#include <filesystem>
#include <system_error>
#endif

namespace tidelin::tool {

namespace {

#ifdef TIDELIN_GETTEXT
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
#endif

}  // namespace

void SetUpMessages() {
#ifdef TIDELIN_GETTEXT
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    const std::string beside = LocaleFolderBesideProgram();
    ::bindtextdomain(Domain, beside.empty() ? TIDELIN_LOCALE_DIR : beside.c_str());
    ::textdomain(Domain);
#endif
}

const char* Tr(const char* text) {
#ifdef TIDELIN_GETTEXT
    return ::gettext(text);
#else
    return text;
#endif
}

std::string Tr(const char* text, std::initializer_list<std::string> values) {
    std::string result = Tr(text);
    std::size_t from = 0;
    for (const std::string& value : values) {
        const std::size_t at = result.find("%s", from);
        if (at == std::string::npos) {
            break;
        }
        result.replace(at, 2, value);
        from = at + value.size();
    }
    return result;
}

}  // namespace tidelin::tool
