#include "filter.h"

#include <iostream>
#include <string>

#include "messages.h"
#include "texts.h"
#include "tidelin/engine.h"

namespace tidelin::tool {

int RunFilter(Direction direction, bool skipBinary) {
    bool binary = false;
    try {
        binary = ConvertStandardStreams(direction, skipBinary);
    } catch (const StreamError& error) {
        ReportStreamError(error);
        return 1;
    }
    std::cerr << (binary ? std::string(Engine::BinaryEntryPrefix) + "-" : std::string(app::text::Completed)) << '\n';
    return 0;
}

void ReportStreamError(const StreamError& error) {
    const char* const streams[] = {Tr("standard input"), Tr("standard output"), Tr("a temporary file for the input")};
    std::cout.flush();
    std::cerr << "tidelin-convert: " << streams[static_cast<int>(error.Which())] << ": "
              << app::text::ErrorText(error.Number(), error.Description()) << CauseSuffix(error) << '\n';
}

}  // namespace tidelin::tool
