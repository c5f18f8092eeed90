// tidelin-convert --info: what each file of the targets holds, one line per file, without
// changing anything. The files are those a conversion would walk, in its order; each byte is
// read once and counted as the conversion reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tidelin/direction.h"
#include "tidelin/stream.h"

namespace tidelin {
class EngineError;
}

namespace tidelin::tool {

struct CommandLine;

class InfoReport {
  public:
    // Reports every target of `line` (relative paths taken from `workingFolder`), prints the
    // summary and returns the exit status.
    static int Run(const CommandLine& line, const std::string& workingFolder);

    // With a direction, each line says whether that direction would change the file;
    // `skipBinary` as for a conversion (binary files are then skipped by it).
    InfoReport(std::optional<Direction> direction, bool skipBinary);

    // A file given by name: reported even when hidden; a link, a special file or a folder
    // cannot be read as a file.
    void ReportFile(const std::string& path);
    // Every file a folder walk from `folder` (as TargetRunner::FolderToWalk gives it) would
    // convert; links, hidden and special files met there are left out.
    void ReportFolder(const std::string& folder);
    void ReportStandardInput();
    // A target that could not be read at all (reported already).
    void TargetUnreadable() { ++unreadable_; }

    // The totals on standard error.
    void PrintSummary() const;
    // 3 when something could not be read, else 1 when some file would change, else 0.
    int ExitStatus() const;

    // `path` as the report prints it: a tab, CR, LF or backslash becomes \t, \r, \n or \\.
    static std::string EscapePath(const std::string& path);

  private:
    // `limited`: a file, to which the conversion's size limit applies (a stream has none).
    void PrintLine(const ContentFacts& facts, const std::string& path, bool limited);
    // Reads a regular file of `size` bytes (as it was looked at) and prints its line.
    void ReportRegularFile(const std::string& path, std::int64_t size);
    void Unreadable(const std::string& path, const EngineError& error);

    std::optional<Direction> direction_;
    bool skipBinary_;
    std::uint64_t read_ = 0;
    std::uint64_t changing_ = 0;
    std::uint64_t binary_ = 0;
    std::uint64_t skipped_ = 0;  // links, hidden and special files met in folders
    std::uint64_t unreadable_ = 0;
};

}  // namespace tidelin::tool
