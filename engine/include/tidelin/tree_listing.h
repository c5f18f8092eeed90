// The files a folder walk (or the walk of a list) would convert, visited in the walk's order
// without changing anything: for reports about a tree.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tidelin/folder_walk.h"

namespace tidelin {

class EngineError;

// Calls `file` with the path of every file of `folder` and of all its subfolders that
// ConvertFolderTree would hand to the conversion with `selection`, in the same order:
// depth-first, a folder's files before its subfolders, in byte order of the names. Links are
// never followed (a link is a file here, as in the walk); the program's own copies beside their
// sources are left out, as the walk leaves them. A folder that cannot be listed goes to
// `unlisted` and the visit goes on. `folder` is a folder the walk would start from
// (NormaliseWalkFolder).
void VisitTreeFiles(const std::string& folder, const WalkSelection& selection,
                    const std::function<void(const std::string&)>& file,
                    const std::function<void(const std::string&, const EngineError&)>& unlisted);

// The same for a list, as ConvertPathList takes it: `file` gets each file entry (`named`) and
// each file of a folder entry's tree (not named), in the list's order.
void VisitListedFiles(const std::vector<ListedPath>& entries, const WalkSelection& selection,
                      const std::function<void(const std::string&, bool named)>& file,
                      const std::function<void(const std::string&, const EngineError&)>& unlisted);

}  // namespace tidelin
