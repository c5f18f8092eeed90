// Helpers of the folder walk that its callers and tests share.
#pragma once

#include <string>

namespace tidelin {

// The chosen folder as the walk uses it: blanks trimmed at both ends and one trailing "/"
// removed. Empty when there is nothing to walk: no path, no "/" left, or the root itself.
std::string NormaliseWalkFolder(const std::string& folder);

}  // namespace tidelin
