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

// Runs the tool with `args` from `workingFolder` (this process's own when empty), standard
// input from the file `input`, in the C locale unless `environment` ("NAME=value ...", quoted
// for the shell) says otherwise; what it printed passes through files in `scratchFolder`.
ToolResult RunConvertTool(const std::vector<std::string>& args, const std::string& scratchFolder,
                          const std::string& workingFolder = "",
                          const std::string& input = "/dev/null",
                          const std::string& environment = "");

}  // namespace tidelin::test
