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

// How many of the program's marked copies (fs::IsCopyName) lie in `folder`.
int CopiesIn(const std::string& folder);

// Another program (tidelin_hold_file.exe) that holds `path` open for reading and writing,
// sharing it as `share` says ("none" or "read"), until the object goes away.
class HeldFile {
public:
    HeldFile(const std::string& path, const wchar_t* share);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return held_; }

private:
    HANDLE input_ = nullptr;
    HANDLE output_ = nullptr;
    PROCESS_INFORMATION process_{};
    bool held_ = false;
};

}  // namespace tidelin::test
