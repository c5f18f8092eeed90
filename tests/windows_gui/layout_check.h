// What a window of the application layer's layout shows, read from outside: its controls
// found by their place in the layout table, their places, captions and tab order.
#pragma once

#include <windows.h>

#include "layout.h"

namespace tidelin::gui_test {

// The control of `window` named `name` in `layout`.
HWND ControlOf(HWND window, const app::WindowLayout& layout, const char* name);

// What a window of `layout` shows at the display's DPI: its client area and every control at
// their twips, each caption, the tab order, the focus on the first control that takes it, and
// no control hidden under the frame it sits in.
void CheckLayout(HWND window, const app::WindowLayout& layout);

}  // namespace tidelin::gui_test
