#include "message_list.h"

#include <algorithm>

#include "wide.h"

namespace tidelin::win32 {

int MessageList::TextWidth(const std::wstring& text) const {
    HDC dc = ::GetDC(list_);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(list_, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(list_, dc);
    return size.cx;
}

void MessageList::ApplyExtent() {
    ::SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widestText_ + TextMargin), 0);
}

void MessageList::EntryAppended(const std::string& entry) {
    const std::wstring text = Wide(entry);
    ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    widestText_ = std::max(widestText_, TextWidth(text));
    ApplyExtent();
}

void MessageList::EntriesCleared() {
    ::SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    widestText_ = 0;
    ApplyExtent();
}

void MessageList::Remeasure() {
    widestText_ = 0;
    const auto count = static_cast<int>(::SendMessageW(list_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(::SendMessageW(list_, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            ::SendMessageW(list_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        widestText_ = std::max(widestText_, TextWidth(text));
    }
    ApplyExtent();
}

}  // namespace tidelin::win32
