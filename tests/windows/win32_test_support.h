// Helpers of the Windows engine tests beside those of test_support.h.
#pragma once

#include <string>

#include "win32_support.h"

namespace tidelin::test {

// The attributes of the entry at `path` itself (INVALID_FILE_ATTRIBUTES when there is none).
DWORD AttributesOf(const std::string& path);

// Creates a symbolic link to a file or folder; false when this system does not let the user
// make one (or, as Wine 8 does, reports success without making any).
bool MakeLink(const std::string& link, const std::string& target, bool folder);

}  // namespace tidelin::test
