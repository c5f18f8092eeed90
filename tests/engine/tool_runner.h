// Runs the built tidelin-convert and collects what it printed.
#pragma once

#include <string>
#include <vector>

namespace tidelin::test {

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the tool with `args` from `workingFolder` (this process's own when empty); what it
// printed passes through files in `scratchFolder`.
ToolResult RunConvertTool(const std::vector<std::string>& args, const std::string& scratchFolder,
                          const std::string& workingFolder = "");

}  // namespace tidelin::test
