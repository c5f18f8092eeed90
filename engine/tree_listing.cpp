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
                pending.push_back(fs::JoinPath(current, entry.name));
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

void VisitTreeFiles(const std::string& folder, const std::function<void(const std::string&)>& file,
                    const std::function<void(const std::string&, const EngineError&)>& unlisted) {
    VisitInWalkOrder(folder, {[&file](const std::string& current, const std::vector<std::string>& names) {
                                  for (const std::string& name : names) {
                                      if (!fs::IsCopyName(name)) {
                                          file(fs::JoinPath(current, name));
                                      }
                                  }
                                  return true;
                              },
                              unlisted});
}

}  // namespace tidelin
