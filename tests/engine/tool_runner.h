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

ToolResult RunConvertTool(const std::vector<std::string>& args, const std::string& scratchFolder);

}  // namespace tidelin::test
