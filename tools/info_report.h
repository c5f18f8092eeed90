// tidelin-convert --info: what each file of the targets holds, one line per file, without
// changing anything. The files are those a conversion would walk, in its order; each byte is
// read once and counted as the conversion reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tidelin/direction.h"
#include "tidelin/file_system.h"
#include "tidelin/folder_walk.h"
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
    // `lists` holds the entries of each --files-from target, by the target's place.
    static int Run(const CommandLine& line, const std::vector<std::vector<std::string>>& lists,
                   const std::string& workingFolder);

    // With a direction, each line says whether that direction would change the file;
    // `skipBinary`, `includeHidden` and `selection` as for a conversion: binary files are then
    // skipped by it, hidden files converted, and only the files selected walked.
    InfoReport(std::optional<Direction> direction, bool skipBinary, bool includeHidden,
               const WalkSelection& selection);

    // A file given by name: reported even when hidden (as refused, unless hidden files are
    // converted); a link, a special file or a folder cannot be read as a file.
    void ReportFile(const std::string& path);
    // Every file a folder walk from `folder` (as TargetRunner::FolderToWalk gives it) would
    // convert; links, special files and (unless they are converted) hidden files met there
    // are left out.
    void ReportFolder(const std::string& folder);
    // The files of a list, as a conversion of the list takes them.
    void ReportList(const std::vector<ListedPath>& entries);
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
    // `limited`: a file, to which the conversion's size limit applies (a stream has none);
    // `refused`: one the conversion would refuse to rewrite (read-only, hidden).
    void PrintLine(const ContentFacts& facts, const std::string& path, bool limited, bool refused);
    // Reads a regular file of `size` bytes (as it was looked at) and prints its line.
    void ReportRegularFile(const std::string& path, std::int64_t size, bool refused);
    void ReportWalkedFile(const std::string& path);
    bool Refused(const fs::PathInfo& info) const;
    void Unreadable(const std::string& path, const EngineError& error);

    std::optional<Direction> direction_;
    bool skipBinary_;
    bool includeHidden_;
    const WalkSelection& selection_;
    std::uint64_t read_ = 0;
    std::uint64_t changing_ = 0;  // refused ones included
    std::uint64_t refused_ = 0;
    std::uint64_t binary_ = 0;
    std::uint64_t skipped_ = 0;  // links, hidden and special files met in folders
    std::uint64_t unreadable_ = 0;
};

}  // namespace tidelin::tool
