// The order every folder walk takes, written once: the conversion and the reports about a tree
// list its folders the same way.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tidelin {

class EngineError;

struct WalkOrderVisitor {
    // A folder's files (every entry that is not a subfolder, links and the program's own copies
    // included), in byte order of their names. False ends the visit.
    std::function<bool(const std::string& folder, const std::vector<std::string>& files)> files;
    // A folder that could not be listed; the visit goes on without what lies below it.
    std::function<void(const std::string& folder, const EngineError& error)> unlisted;
};

// Visits `root` and all the folders below it depth-first, a folder's files before its
// subfolders, in byte order of the names. Each folder's whole listing is read before its
// files are visited, so a file replaced meanwhile cannot come back in it; a link is never a
// subfolder. An explicit stack keeps a deep tree from exhausting the call stack.
void VisitInWalkOrder(const std::string& root, const WalkOrderVisitor& visitor);

}  // namespace tidelin
