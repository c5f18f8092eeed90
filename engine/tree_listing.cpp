#include "tidelin/tree_listing.h"

#include <algorithm>

#include "filesystem.h"
#include "tidelin/errors.h"
#include "walk_order.h"

namespace tidelin {

void VisitInWalkOrder(const std::string& root, const WalkOrderVisitor& visitor) {
    // Folders still to visit, the next one last: a folder's subfolders are pushed in reverse
    // order, so the first of them, with everything below it, comes before the second.
    std::vector<std::string> pending{root};
    std::vector<std::string> files;
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        std::vector<fs::FolderEntry> entries;
        try {
            entries = fs::ListFolder(current);
        } catch (const EngineError& error) {
            visitor.unlisted(current, error);
            continue;
        }
        const std::size_t firstSubfolder = pending.size();
        files.clear();
        for (fs::FolderEntry& entry : entries) {
            if (entry.isDirectory) {
                std::string subfolder = fs::JoinPath(current, entry.name);
                if (!visitor.enters || visitor.enters(subfolder)) {
                    pending.push_back(std::move(subfolder));
                }
            } else {
                files.push_back(std::move(entry.name));
            }
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstSubfolder), pending.end());
        if (!visitor.files(current, files)) {
            return;
        }
    }
}

PathPatterns CompilePatterns(const WalkSelection& selection) {
    PathPatterns patterns(fs::NamesIgnoreCase ? PatternRules::Windows : PatternRules::Posix);
    for (const std::string& glob : selection.include) {
        patterns.Include(glob);
    }
    for (const std::string& glob : selection.exclude) {
        patterns.Exclude(glob);
    }
    if (selection.excludeVcs) {
        patterns.ExcludeVcs();
    }
    return patterns;
}

bool VisitTree(const std::string& root, const PathPatterns& patterns, const WalkVisitor& visitor) {
    // The patterns see a path below the walked folder, without the folder itself.
    const auto below = [&root](const std::string& path) { return path.substr(root.size() + 1); };
    bool ended = false;
    VisitInWalkOrder(root, {[&](const std::string& folder, const std::vector<std::string>& files) {
                                for (const std::string& name : files) {
                                    if ((patterns.Empty() || patterns.SelectsFile(below(fs::JoinPath(folder, name)))) &&
                                        !visitor.walked(folder, name)) {
                                        ended = true;
                                        return false;
                                    }
                                }
                                return true;
                            },
                            visitor.unlisted,
                            [&](const std::string& subfolder) {
                                return patterns.Empty() || patterns.EntersFolder(below(subfolder));
                            }});
    return !ended;
}

void VisitList(const std::vector<ListedPath>& entries, const PathPatterns& patterns, const WalkVisitor& visitor) {
    for (const ListedPath& entry : entries) {
        bool folder = false;
        try {
            folder = fs::QueryPath(entry.path).IsDirectory();  // a link is never a folder here
        } catch (const EngineError&) {
            // Missing or unreadable: taken as a named file, whose entry says why.
        }
        if (!patterns.Empty() && !(folder ? patterns.EntersFolder(entry.listed) : patterns.SelectsFile(entry.listed))) {
            continue;
        }
        if (folder && IsRootFolder(entry.path)) {
            visitor.root(entry.path);
            continue;
        }
        if (!folder) {
            if (!visitor.named(entry.path)) {
                return;
            }
            continue;
        }
        const std::string root = NormaliseWalkFolder(entry.path);
        if (!root.empty() && !VisitTree(root, patterns, visitor)) {
            return;
        }
    }
}

namespace {

// The report's view of a walk: the program's own copies are left out, as the walk leaves them.
WalkVisitor ReportVisitor(const std::function<void(const std::string&, bool named)>& file,
                          const std::function<void(const std::string&, const EngineError&)>& unlisted) {
    return {[&file](const std::string& path) {
                file(path, true);
                return true;
            },
            [&file](const std::string& folder, const std::string& name) {
                if (!fs::IsCopyName(name)) {
                    file(fs::JoinPath(folder, name), false);
                }
                return true;
            },
            unlisted, [](const std::string&) {}};
}

}  // namespace

void VisitTreeFiles(const std::string& folder, const WalkSelection& selection,
                    const std::function<void(const std::string&)>& file,
                    const std::function<void(const std::string&, const EngineError&)>& unlisted) {
    const std::function<void(const std::string&, bool)> each = [&file](const std::string& path, bool) { file(path); };
    VisitTree(folder, CompilePatterns(selection), ReportVisitor(each, unlisted));
}

void VisitListedFiles(const std::vector<ListedPath>& entries, const WalkSelection& selection,
                      const std::function<void(const std::string&, bool named)>& file,
                      const std::function<void(const std::string&, const EngineError&)>& unlisted) {
    VisitList(entries, CompilePatterns(selection), ReportVisitor(file, unlisted));
}

}  // namespace tidelin
