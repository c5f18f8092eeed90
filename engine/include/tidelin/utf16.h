// UTF-8 and UTF-16 on Windows: the program's texts and paths are UTF-8, every Win32 call
// takes UTF-16. One copy for the engine, the Windows window, its checks and the tool.
#pragma once

#include <string>
#include <string_view>

namespace tidelin::utf16 {

// UTF-8 to UTF-16. False (and `wide` empty) when `text` is not valid UTF-8.
bool TryWiden(std::string_view text, std::wstring& wide);
// UTF-8 to UTF-16; each byte that is not valid UTF-8 becomes U+FFFD.
std::wstring Widen(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view text);

}  // namespace tidelin::utf16
