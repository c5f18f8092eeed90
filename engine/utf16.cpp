#include "tidelin/utf16.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <climits>

namespace tidelin::utf16 {

namespace {

std::wstring Convert(std::string_view text, DWORD flags, bool& valid) {
    valid = text.size() <= INT_MAX;
    if (text.empty() || !valid) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    valid = length > 0;
    if (!valid) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

bool TryWiden(std::string_view text, std::wstring& wide) {
    bool valid = false;
    wide = Convert(text, MB_ERR_INVALID_CHARS, valid);
    return valid;
}

std::wstring Widen(std::string_view text) {
    bool valid = false;
    return Convert(text, 0, valid);
}

std::string Narrow(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

}  // namespace tidelin::utf16
