#include "tidelin/tree_listing.h"

#include <algorithm>
#include <vector>

#include "tidelin/errors.h"
#include "filesystem.h"

namespace tidelin {

void VisitTreeFiles(const std::string& folder, const std::function<void(const std::string&)>& file,
                    const std::function<void(const std::string&, const EngineError&)>& unlisted) {
    // Folders still to visit, the next one last: a folder's subfolders are pushed in reverse
    // order, so the first of them, with everything below it, comes before the second.
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        std::vector<fs::FolderEntry> entries;
        try {
            entries = fs::ListFolder(current);
        } catch (const EngineError& error) {
            unlisted(current, error);
            continue;
        }
        const std::size_t firstSubfolder = pending.size();
        for (const fs::FolderEntry& entry : entries) {
            if (entry.isDirectory) {
                pending.push_back(fs::JoinPath(current, entry.name));
            } else if (!fs::IsCopyName(entry.name)) {
                file(fs::JoinPath(current, entry.name));
            }
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstSubfolder), pending.end());
    }
}

}  // namespace tidelin
