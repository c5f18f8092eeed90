// The controls of a Windows window, made from the application layer's layout and laid out at
// the window's own DPI, in the system's dialog font of that DPI.
#pragma once

#include <windows.h>

#include "layout.h"

namespace tidelin::win32 {

// Twips to whole pixels at `dpi` dots per inch, rounded as the system rounds dialog units.
inline int Pixels(int twips, int dpi) {
    return ::MulDiv(twips, dpi, app::TwipsPerInch);
}

class Controls {
  public:
    explicit Controls(const app::WindowLayout& layout) : layout_(layout) {}
    ~Controls();
    Controls(const Controls&) = delete;
    Controls& operator=(const Controls&) = delete;

    // Makes the layout's controls on `window` in the table's order, which is the tab order,
    // each with its ControlId and caption, and lays the window out at its DPI.
    void Create(HWND window);
    // Sizes the window (keeping its place) and places every control at `dpi`, in the dialog
    // font of that DPI.
    void LayOut(int dpi);
    // WM_DPICHANGED: lays out at the new DPI where the system suggests.
    void DpiChanged(WPARAM wParam, LPARAM lParam);

    // The control named `name` in the layout.
    HWND operator[](const char* name) const;
    const app::WindowLayout& Layout() const { return layout_; }
    int Dpi() const { return dpi_; }
    HFONT Font() const { return font_; }
    int Pixels(int twips) const { return win32::Pixels(twips, dpi_); }

  private:
    const app::WindowLayout& layout_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
};

}  // namespace tidelin::win32
