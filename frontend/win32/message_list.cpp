#include "message_list.h"

#include <cmath>

#include "layout.h"
#include "tidelin/utf16.h"

namespace tidelin::win32 {

void MessageList::Append(const std::string& entry) {
    ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(utf16::Widen(entry).c_str()));
}

void MessageList::Clear() {
    ::SendMessageW(list_, LB_RESETCONTENT, 0, 0);
}

void MessageList::SetRange(float widestTwips) {
    widestTwips_ = widestTwips;
    ApplyRange();
}

void MessageList::SetDpi(int dpi) {
    dpi_ = dpi;
    ApplyRange();
}

void MessageList::ApplyRange() {
    // The twips came from the window's own measure, so they turn back into whole pixels.
    const auto pixels =
        static_cast<int>(std::ceil(app::PixelsFromTwips(widestTwips_, dpi_) - 0.01));
    ::SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels + TextMargin), 0);
}

}  // namespace tidelin::win32
