// The order every folder walk takes, written once: the conversion and the reports about a tree
// list its folders the same way.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "path_patterns.h"
#include "tidelin/folder_walk.h"

namespace tidelin {

class EngineError;

struct WalkOrderVisitor {
    // A folder's files (every entry that is not a subfolder, links and the program's own copies
    // included), in byte order of their names. False ends the visit.
    std::function<bool(const std::string& folder, const std::vector<std::string>& files)> files;
    // A folder that could not be listed; the visit goes on without what lies below it.
    std::function<void(const std::string& folder, const EngineError& error)> unlisted;
    // Whether a subfolder is entered at all (empty: every one is).
    std::function<bool(const std::string& subfolder)> enters;
};

// Visits `root` and all the folders below it depth-first, a folder's files before its
// subfolders, in byte order of the names. Each folder's whole listing is read before its
// files are visited, so a file replaced meanwhile cannot come back in it; a link is never a
// subfolder. An explicit stack keeps a deep tree from exhausting the call stack.
void VisitInWalkOrder(const std::string& root, const WalkOrderVisitor& visitor);

// What a walk of trees and lists meets, in its order. Each call but `unlisted` and `root`
// returns false to end the visit.
struct WalkVisitor {
    // A file named in a list (it may be missing, a link or a folder that cannot be walked).
    std::function<bool(const std::string& path)> named;
    // A file met in a tree that the patterns select, the program's own copies included.
    std::function<bool(const std::string& folder, const std::string& name)> walked;
    std::function<void(const std::string& folder, const EngineError& error)> unlisted;
    // A root folder named in a list, which is never walked.
    std::function<void(const std::string& folder)> root;
};

// Visits the tree of `root` (a folder as NormaliseWalkFolder gives it): the subfolders the
// patterns let in and the files they select, matched below `root`. False once ended.
bool VisitTree(const std::string& root, const PathPatterns& patterns, const WalkVisitor& visitor);
// Visits a list's entries in order: those the patterns select as listed; a folder (not a link
// to one) as its tree, any other entry as a named file.
void VisitList(const std::vector<ListedPath>& entries, const PathPatterns& patterns, const WalkVisitor& visitor);

}  // namespace tidelin
