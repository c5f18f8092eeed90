#include "info_report.h"

#include <iostream>

#include "command_line.h"
#include "filter.h"
#include "tidelin/engine.h"
#include "tidelin/errors.h"
#include "tidelin/file_system.h"
#include "messages.h"
#include "target_runner.h"
#include "targets.h"
#include "tidelin/tree_listing.h"

namespace tidelin::tool {

int InfoReport::Run(const CommandLine& line, const std::vector<std::vector<std::string>>& lists,
                    const std::string& workingFolder) {
    std::optional<Direction> direction;
    if (line.directionGiven) {
        direction = line.direction;
    }
    InfoReport report(direction, !line.convertBinary, line.options.includeHidden, line.selection);
    for (std::size_t i = 0; i < line.targets.size(); ++i) {
        const Target& target = line.targets[i];
        if (CommandLine::IsStandardInput(target)) {
            report.ReportStandardInput();
            continue;
        }
        if (target.kind == Target::Kind::List) {
            report.ReportList(app::ListedPaths(lists[i], workingFolder));
            continue;
        }
        const std::string path = fs::AbsolutePath(target.path, workingFolder);
        if (target.kind == Target::Kind::File ||
            (target.kind == Target::Kind::Path && !TargetRunner::IsFolderTarget(path))) {
            report.ReportFile(path);
            continue;
        }
        const std::string folder = TargetRunner::FolderToWalk(path);
        if (folder.empty()) {
            report.TargetUnreadable();
        } else {
            report.ReportFolder(folder);
        }
    }
    report.PrintSummary();
    return report.ExitStatus();
}

InfoReport::InfoReport(std::optional<Direction> direction, bool skipBinary, bool includeHidden,
                       const WalkSelection& selection)
    : direction_(direction), skipBinary_(skipBinary), includeHidden_(includeHidden), selection_(selection) {}

void InfoReport::ReportFile(const std::string& path) {
    try {
        const fs::PathInfo info = fs::QueryPath(path);
        ReportRegularFile(path, info.size, Refused(info));
    } catch (const EngineError& error) {
        Unreadable(path, error);
    }
}

void InfoReport::ReportFolder(const std::string& folder) {
    VisitTreeFiles(folder, selection_, [&](const std::string& path) { ReportWalkedFile(path); },
                   [&](const std::string& path, const EngineError& error) { Unreadable(path, error); });
}

void InfoReport::ReportList(const std::vector<ListedPath>& entries) {
    VisitListedFiles(
        entries, selection_,
        [&](const std::string& path, bool named) { named ? ReportFile(path) : ReportWalkedFile(path); },
        [&](const std::string& path, const EngineError& error) { Unreadable(path, error); });
}

void InfoReport::ReportWalkedFile(const std::string& path) {
    try {
        const fs::PathInfo info = fs::QueryPath(path);
        if (info.IsSystem() || (info.IsHidden() && !includeHidden_)) {
            ++skipped_;
            return;
        }
        ReportRegularFile(path, info.size, Refused(info));
    } catch (const EngineError& error) {
        Unreadable(path, error);
    }
}

bool InfoReport::Refused(const fs::PathInfo& info) const {
    return info.IsReadOnly() || (info.IsHidden() && !includeHidden_);
}

void InfoReport::ReportRegularFile(const std::string& path, std::int64_t size, bool refused) {
    PrintLine(CountFile(path, size), path, true, refused);
}

void InfoReport::ReportStandardInput() {
    try {
        PrintLine(CountStandardInput(), "-", false, false);
    } catch (const StreamError& error) {
        ++unreadable_;
        ReportStreamError(error);
    }
}

void InfoReport::PrintLine(const ContentFacts& facts, const std::string& path, bool limited, bool refused) {
    // The binary test does not look at a file over the size limit; the conversion skips it.
    const bool tooLarge = limited && facts.size > Engine::MaxFileSize;
    const bool binary = facts.binary && !tooLarge;
    const BreakCounts& counts = facts.breaks;
    std::string line = std::to_string(counts.crlf) + '\t' + std::to_string(counts.lf) + '\t' +
                       std::to_string(counts.cr) + '\t' + (binary ? "binary" : "text") + '\t';
    if (direction_) {
        const bool changes = *direction_ == Direction::WinToUnix ? counts.crlf > 0
                                                                 : counts.lf > 0 || counts.cr > 0;
        if (tooLarge || (binary && skipBinary_)) {
            line += "skipped\t";
        } else {
            // A file the conversion would refuse is no less in need of a change.
            line += !changes ? "unchanged\t" : refused ? "refused\t" : "changes\t";
            changing_ += changes ? 1 : 0;
            refused_ += changes && refused ? 1 : 0;
        }
    }
    line += EscapePath(path);
    line += '\n';
    std::cout << line;
    ++read_;
    binary_ += binary ? 1 : 0;
}

void InfoReport::Unreadable(const std::string& path, const EngineError& error) {
    ++unreadable_;
    std::cout.flush();
    std::cerr << "Error " << error.Number() << ' ' << error.Description() << " - " << path << '\n';
}

void InfoReport::PrintSummary() const {
    std::cout.flush();
    const std::string read = std::to_string(read_);
    const std::string binary = std::to_string(binary_);
    const std::string skipped = std::to_string(skipped_);
    const std::string unreadable = std::to_string(unreadable_);
    std::cerr << "tidelin-convert: "
              << (direction_ ? Tr("files read: %s, would change: %s, refused: %s, binary: %s, "
                                  "skipped: %s, not read: %s",
                                  {read, std::to_string(changing_ - refused_), std::to_string(refused_),
                                   binary, skipped, unreadable})
                             : Tr("files read: %s, binary: %s, skipped: %s, not read: %s",
                                  {read, binary, skipped, unreadable}))
              << '\n';
}

int InfoReport::ExitStatus() const {
    if (unreadable_ > 0) {
        return 3;
    }
    return changing_ > 0 ? 1 : 0;
}

std::string InfoReport::EscapePath(const std::string& path) {
    std::string escaped;
    escaped.reserve(path.size());
    for (const char c : path) {
        switch (c) {
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '\\':
                escaped += "\\\\";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace tidelin::tool
