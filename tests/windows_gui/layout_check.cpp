#include "layout_check.h"

#include <string>
#include <vector>

#include "control_ids.h"
#include "tidelin/utf16.h"
#include "window_driver.h"

namespace tidelin::gui_test {


HWND ControlOf(HWND window, const app::WindowLayout& layout, const char* name) {
    return ::GetDlgItem(window, win32::ControlId(layout, name));
}

void CheckLayout(HWND window, const app::WindowLayout& layout) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    const auto pixels = [dpi](int twips) { return ::MulDiv(twips, dpi, app::TwipsPerInch); };
    const std::string at = " at " + std::to_string(dpi) + " DPI";
    RECT client{};
    ::GetClientRect(window, &client);
    Check(
        client.right == pixels(layout.clientWidth) && client.bottom == pixels(layout.clientHeight),
        "client area of " + std::to_string(layout.clientWidth) + " x " +
            std::to_string(layout.clientHeight) + " twips" + at + ", got " +
            std::to_string(client.right) + " x " + std::to_string(client.bottom));
    std::vector<HWND> tabOrder;
    for (const app::Control& control : layout.controls) {
        HWND made = ControlOf(window, layout, control.name);
        const std::string name = control.name;
        Check(made != nullptr, name + " is there");
        RECT place{};
        ::GetWindowRect(made, &place);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        const app::Rect twips = app::OnClientArea(layout, control);
        // A picture takes its image's own size.
        const bool sized = control.kind == app::ControlKind::Picture ||
                           (place.right - place.left == pixels(twips.width) &&
                            place.bottom - place.top == pixels(twips.height));
        Check(place.left == pixels(twips.left) && place.top == pixels(twips.top) && sized,
              name + " in its place" + at);
        if (*control.caption != '\0') {
            CheckEqual(TextOf(made), tidelin::utf16::Widen(control.caption), "caption of " + name);
        }
        if (control.frame != nullptr) {
            POINT centre{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
            Check(::ChildWindowFromPointEx(window, centre, CWP_SKIPINVISIBLE) == made,
                  name + " is not hidden under " + control.frame);
        }
        if (control.takesFocus) {
            tabOrder.push_back(made);
        }
    }
    Check(!tabOrder.empty(), "a control takes the focus");
    for (std::size_t i = 0; i < tabOrder.size(); ++i) {
        Check(
            ::GetNextDlgTabItem(window, tabOrder[i], FALSE) == tabOrder[(i + 1) % tabOrder.size()],
            "Tab after the control with ID " + std::to_string(::GetDlgCtrlID(tabOrder[i])));
    }
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread);
    Check(thread.hwndFocus == tabOrder.front(),
          "the focus starts on the first control in tab order");
}

}  // namespace tidelin::gui_test
