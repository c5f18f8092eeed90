#include "messages.h"

namespace tidelin::tool {

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
